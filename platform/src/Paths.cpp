#include "platform/Paths.h"
#include "platform/SignalCleanup.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <system_error>
#include <vector>

namespace plastora {

namespace {
std::string& overrideFolder() {
    static std::string folder;
    return folder;
}
}  // namespace

std::string programFolder() {
    if (!overrideFolder().empty()) return overrideFolder();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

void setProgramFolder(const std::string& folder) { overrideFolder() = folder; }

namespace {

struct TempFolders {
    std::mutex lock;
    std::map<std::string, std::string> byParent;  // $TMPDIR -> our folder in it
    bool cleanupRegistered = false;
};

TempFolders& tempFolders() {
    static TempFolders* folders = new TempFolders;  // outlives every static that may still save at exit
    return *folders;
}

std::string sharedTempParent() {
    std::error_code ec;
    auto p = std::filesystem::temp_directory_path(ec);
    std::string s = ec ? std::string("/tmp") : p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool isOwnPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

std::string tempFolder() {
    TempFolders& t = tempFolders();
    const std::string parent = sharedTempParent();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.byParent.find(parent);
    if (it != t.byParent.end() && isOwnPrivateFolder(it->second)) return it->second;
    std::string pattern = (parent == "/" ? std::string() : parent) + "/plastora-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) return {};
    std::string made = buffer.data();
    t.byParent[parent] = made;
    trackTemporaryFolder(made);
    if (!t.cleanupRegistered) {
        t.cleanupRegistered = true;
        std::atexit(removeTempFolders);
    }
    return made;
}

void removeTempFolders() {
    TempFolders& t = tempFolders();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto& [parent, folder] : t.byParent) {
        std::error_code ec;
        // Only a folder that is still the private one this run made.
        if (isOwnPrivateFolder(folder)) std::filesystem::remove_all(folder, ec);
        untrackTemporary(folder);
    }
    t.byParent.clear();
}

std::string userConfigFolderName() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return joinPath(xdg, "Plastora");
    if (const char* home = std::getenv("HOME"); home && home[0]) return joinPath(std::string(home) + "/.config", "Plastora");
    return {};
}

bool isOwnFolder(const std::string& folder) {
    // Only a folder of the user's own that no one else may write: settings
    // and the printer set-up are read from it and replaced in it, and a
    // folder made beforehand by another user (a shared XDG_CONFIG_HOME or
    // home) would let them plant links to the user's files, or the values
    // the program then uses. A link the user made (to their dotfiles) is
    // taken, one made by anybody else is not.
    struct stat link {}, st {};
    if (folder.empty() || ::lstat(folder.c_str(), &link) != 0 || ::stat(folder.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return false;
    const uid_t me = ::geteuid();
    return link.st_uid == me && st.st_uid == me && (st.st_mode & S_IWOTH) == 0;
}

std::string userConfigFolder() {
    const std::string folder = userConfigFolderName();
    if (folder.empty()) return {};
    const std::string base = std::filesystem::path(folder).parent_path().string();
    std::error_code ec;
    std::filesystem::create_directories(base, ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return isOwnFolder(folder) ? folder : std::string();
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool namesEqualIgnoringCase(const std::string& a, const std::string& b) {
    const QString qa = QString::fromStdString(a), qb = QString::fromStdString(b);
    // A name that is not UTF-8 (Shift-JIS from an old disk) would turn into
    // replacement characters, equal to any other such name: its bytes are
    // compared, ASCII letters without their case.
    if (qa.toStdString() != a || qb.toStdString() != b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
                   return lower(x) == lower(y);
               });
    }
    return QString::compare(qa, qb, Qt::CaseInsensitive) == 0;
}

bool folderListsBoth(const std::string& folder, const std::string& a, const std::string& b) {
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return true;  // not known: taken as two files
    bool seenA = false, seenB = false;
    while (const dirent* e = ::readdir(d)) {
        if (a == e->d_name) seenA = true;
        if (b == e->d_name) seenB = true;
        if (seenA && seenB) break;
    }
    ::closedir(d);
    return seenA && seenB;
}

namespace {

// Two spellings of one name in one folder name one entry when the folder
// does not list them apart (a folder that ignores case lists the one it
// keeps; copies that kept their time, on a disk that minds case, are both
// listed).
bool oneEntry(const std::filesystem::path& folder, const std::string& a, const std::string& b,
              const FolderListsBoth& listsBoth) {
    return a == b || (namesEqualIgnoringCase(a, b) && !listsBoth(folder.string(), a, b));
}

bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b, const FolderListsBoth& listsBoth) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
    // The folders' own names may differ in case too, on the same card.
    if (sa.st_dev != sb.st_dev || !a.has_relative_path() || !b.has_relative_path()) return false;
    return sameFolder(a.parent_path(), b.parent_path(), listsBoth) &&
           oneEntry(a.parent_path(), a.filename().string(), b.filename().string(), listsBoth);
}

}  // namespace

bool isSameFile(const std::string& a, const std::string& b, const FolderListsBoth& listsBoth) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
    if (sa.st_dev != sb.st_dev || !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size ||
        sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
        return false;
    std::error_code ec;
    const std::filesystem::path pa = std::filesystem::absolute(a, ec).lexically_normal();
    if (ec) return false;
    const std::filesystem::path pb = std::filesystem::absolute(b, ec).lexically_normal();
    if (ec || !pa.has_filename() || !pb.has_filename()) return false;
    if (pa == pb) return true;
    return sameFolder(pa.parent_path(), pb.parent_path(), listsBoth) &&
           oneEntry(pa.parent_path(), pa.filename().string(), pb.filename().string(), listsBoth);
}

bool isSameFile(const std::string& a, const std::string& b) { return isSameFile(a, b, folderListsBoth); }

}  // namespace plastora
