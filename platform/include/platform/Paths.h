// Where the program and its data live.
#pragma once

#include <functional>
#include <string>

namespace plastora {

// The folder of the running executable (no trailing slash). The program's
// settings file, help pages, samples and detection data sit beside it.
std::string programFolder();
// Overrides programFolder() (tests and the command-line tool's --bundle).
void setProgramFolder(const std::string& folder);
// This run's own temporary folder (no trailing slash): made on first use with
// mkdtemp under $TMPDIR (or /tmp), mode 0700, so no other user can read,
// plant or replace anything in it, and removed with its contents when the
// process ends. A change of $TMPDIR gives a new folder under the new place.
// "" when no folder can be made.
std::string tempFolder();
// Removes every temporary folder this run made (done at exit).
void removeTempFolders();
// The user's configuration folder for Plastora ($XDG_CONFIG_HOME/Plastora, or
// ~/.config/Plastora), created (mode 0700) when missing; "" when it cannot be,
// or when it is not the user's own (owned by someone else, or writable by
// everybody).
std::string userConfigFolder();
// The same folder's name, without making it; "" when no home is known.
std::string userConfigFolderName();
// True when `folder` is a folder of this user's own that nobody else may
// write (the test userConfigFolder makes).
bool isOwnFolder(const std::string& folder);
// `folder` + '/' + `name`.
std::string joinPath(const std::string& folder, const std::string& name);
// Whether two paths name one existing file. Besides one inode, names that
// differ only in case in one folder, describing a regular file of the same
// size and modification time, count as one when the folder does not list
// both spellings: a folder that ignores case (a memory card's exFAT through
// FUSE) may give each spelling of a name its own inode number.
bool isSameFile(const std::string& a, const std::string& b);
// Whether `folder` lists entries named exactly `a` and `b`; the listing
// isSameFile consults, given to it by tests that stand in for such a folder.
bool folderListsBoth(const std::string& folder, const std::string& a, const std::string& b);
using FolderListsBoth = std::function<bool(const std::string& folder, const std::string& a, const std::string& b)>;
bool isSameFile(const std::string& a, const std::string& b, const FolderListsBoth& listsBoth);
// Whether two names are equal ignoring case (Unicode case folding), as a
// memory card's or a USB stick's file system compares them. Names that are
// not UTF-8 are compared by their bytes, ASCII letters without case.
bool namesEqualIgnoringCase(const std::string& a, const std::string& b);

}  // namespace plastora
