// The recent-file list: four entries kept in the user's settings (QSettings)
// under the organisation and application names the program has always used.
#pragma once

#include <string>
#include <vector>

namespace plastora {

constexpr int kRecentFileCount = 4;

// The stored entries, most recent first (at most four, none empty).
std::vector<std::string> recentFiles();
// Puts `path` at the top of the list (removing an older entry of it).
void addRecentFile(const std::string& path);

}  // namespace plastora
