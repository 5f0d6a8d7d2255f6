// Where the program and its data live.
#pragma once

#include <string>

namespace plastora {

// The folder of the running executable (no trailing slash). The program's
// settings file, help pages, samples and detection data sit beside it.
std::string programFolder();
// Overrides programFolder() (tests and the command-line tool's --bundle).
void setProgramFolder(const std::string& folder);
// The temporary folder (no trailing slash).
std::string tempFolder();
// `folder` + '/' + `name`.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace plastora
