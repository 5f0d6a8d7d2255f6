// The recent-file list: four entries kept in the user's settings (QSettings)
// under the organisation and application names the program has always used.
#pragma once

#include <string>
#include <vector>

namespace plastora {

constexpr int kRecentFileCount = 4;

// The stored entries, most recent first (at most four, none empty).
std::vector<std::string> recentFiles();
// Puts `path`, made absolute against the current folder, at the top of the
// list (removing an older entry of it). Does nothing while the list is
// switched off.
void addRecentFile(const std::string& path);
// Switches recording off (or on again) for this process: the command-line
// tool never changes the desktop program's menu.
void setRecentFilesRecorded(bool recorded);

}  // namespace plastora
