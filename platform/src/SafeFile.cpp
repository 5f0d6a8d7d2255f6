#include "platform/SafeFile.h"
#include "platform/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plastora {

namespace {

// Eight letters nobody can guess: from the kernel's random source, or (when
// that fails) from the clock, the process and a counter.
std::string randomTag() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[8];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static std::atomic<std::uint64_t> counter{0};
        std::uint64_t v = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15ull);
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(v);
            v = (v >> 8) | (v << 56);
            v *= 0xBF58476D1CE4E5B9ull;
        }
    }
    std::string tag;
    for (unsigned char b : bytes) tag += kLetters[b % (sizeof kLetters - 1)];
    return tag;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A target that exists but is no regular file (a folder, a device) cannot be
// replaced by a file, and may not be written: refused before anything is made.
bool replaceableTarget(const std::string& target, LinkAtTarget links) {
    struct stat st {};
    // A link that is itself replaced: the rename puts the file in its place.
    if (links == LinkAtTarget::Replace && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    return ::access(target.c_str(), W_OK) == 0;
}

// The system's reason for the last write that failed, and the file it was
// meant for, for the message.
std::mutex g_lastSaveMutex;
int g_lastSaveError = 0;
std::string g_lastSaveTarget;

// Keeps errno as it was: callers go on to report it themselves.
void noteError(int error, const std::string& target) {
    const int saved = errno;
    {
        const std::lock_guard<std::mutex> lock(g_lastSaveMutex);
        g_lastSaveError = error;
        g_lastSaveTarget = target;
    }
    errno = saved;
}

// Notes errno, just set by a call that failed, as the reason the save of
// `target` failed.
void noteSaveError(const std::string& target) {
    if (errno != 0) noteError(errno, target);
}

// The same for a stream a writer gave up on: its errno may have been
// overwritten since the write failed, so only the reasons a write can have
// are taken, and a full disk is told by the disk itself.
void noteStreamError(std::FILE* stream, const std::string& target) {
    int error = errno;
    struct statvfs fs {};
    if (::fstatvfs(::fileno(stream), &fs) == 0 && fs.f_bavail == 0) error = ENOSPC;
    if (error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO) noteError(error, target);
}

bool closeChecked(int fd) {
    // A close that reports an error may have lost data on some file systems.
    return ::close(fd) == 0;
}

}  // namespace

int createFileBeside(const std::string& target, std::string& tempPath) {
    const std::string folder = folderOf(target);
    // The name keeps the target's own name at its end, so writers that
    // choose a format by extension see the right one. A long one is cut from
    // the front to 100 bytes, on a character's first byte: the whole name
    // stays within every file system's limit (255 bytes, 143 on eCryptfs),
    // and half a UTF-8 character, which ext4 takes, is refused by exFAT,
    // FAT and NTFS (memory cards and USB sticks).
    std::string name = nameOf(target);
    constexpr std::size_t kKeptNameBytes = 100;
    if (name.size() > kKeptNameBytes) {
        std::size_t from = name.size() - kKeptNameBytes;
        while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
        name.erase(0, from);
    }
    mode_t mode = 0666;
    struct stat st {};
    // (A link being replaced gives nothing: the file it points to is not
    // this file's.)
    const bool replacing = ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = (folder == "/" ? std::string() : folder) + "/.~plastora-" + randomTag() + "-" + name;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            noteSaveError(target);
            const int saved = errno;
            tempPath.clear();
            errno = saved;
            return -1;
        }
        // A file being replaced keeps its owner and group where this process
        // may give them (its group, for a member; both, for root: a shared
        // file saved by another user would otherwise be locked against its
        // owner), then its permissions.
        if (replacing) {
            if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
                (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
            // Only the permission bits: a set-user-ID or set-group-ID bit
            // has no place on a picture written over a program.
            (void)::fchmod(fd, st.st_mode & 0777);
        }
        trackTemporaryFile(tempPath);
        return fd;
    }
    tempPath.clear();
    errno = EEXIST;
    return -1;
}

std::string resolveSaveTarget(const std::string& path) {
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
        // A link to a file not made yet: the file is made where the link
        // points (in a folder that exists), not put in the link's place.
        std::vector<char> to(PATH_MAX + 1);
        const ssize_t n = ::readlink(path.c_str(), to.data(), PATH_MAX);
        if (n > 0) {
            std::string linked(to.data(), static_cast<std::size_t>(n));
            if (linked.front() != '/') linked = folderOf(path) + "/" + linked;
            if (char* folder = ::realpath(folderOf(linked).c_str(), nullptr)) {
                std::string resolved = folder;
                std::free(folder);
                return (resolved == "/" ? resolved : resolved + "/") + nameOf(linked);
            }
        }
    }
    return path;
}

namespace {

// The file a save of `path` replaces: a link is followed, or replaced itself.
std::string targetOf(const std::string& path, LinkAtTarget links) {
    return links == LinkAtTarget::Follow ? resolveSaveTarget(path) : path;
}

}  // namespace

void startWriteback(std::FILE* stream) {
    const int fd = stream ? ::fileno(stream) : -1;
    if (fd < 0 || std::fflush(stream) != 0) return;  // a failed flush shows again at the commit
    // Only a hint: the commit's fsync still makes the data durable.
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    // A temporary file has the permissions of the file it replaces, which
    // its owner may be allowed to write but not to read.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return closeChecked(fd) && ok;
}

// ---- ReplacingFile ------------------------------------------------------------------

bool ReplacingFile::open(const std::string& target, LinkAtTarget links) {
    discard();
    m_failed = false;
    m_synced = false;
    m_target = targetOf(target, links);
    // A file we may not write stays as it is, as it would if written in place.
    if (!replaceableTarget(m_target, links)) {
        noteSaveError(m_target);
        return false;
    }
    const int fd = createFileBeside(m_target, m_temp);
    if (fd < 0) return false;
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        ::close(fd);
        discard();
        return false;
    }
    // Replacing a large file drops its pages from the page cache, which
    // the rename would otherwise do at the very end (a tenth of a second
    // for a few hundred megabytes). It is done meanwhile, beside the
    // writing; the file itself stays as it is until the rename.
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0 && st.st_size >= kDropCacheBytes) {
        try {
            m_droppingOld = std::async(std::launch::async, [target = m_target] {
                const int old = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
                if (old < 0) return;
                ::posix_fadvise(old, 0, 0, POSIX_FADV_DONTNEED);
                ::close(old);
            });
        } catch (const std::system_error&) {
            // No thread: the rename drops the pages.
        }
    }
    // Pictures are written a row at a time, a few kilobytes each. A large
    // buffer hands the kernel whole megabytes instead: writes of a few
    // kilobytes cost it two to three times the system time per byte. Without
    // the buffer (no memory for it) the stream still works.
    m_buffer.reset(new (std::nothrow) char[kWriteBufferSize]);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kWriteBufferSize);
    return true;
}

bool ReplacingFile::write(const void* data, std::size_t size) {
    if (!m_file || m_failed) return false;
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) {
        noteSaveError(m_target);
        m_failed = true;
    }
    return !m_failed;
}

bool ReplacingFile::close() {
    if (m_file) {
        bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
        if (!ok) noteStreamError(m_file, m_target);
        ok = std::fclose(m_file) == 0 && ok;
        m_file = nullptr;
        m_buffer.reset();
        if (!ok) m_failed = true;
    }
    return !m_failed && !m_temp.empty();
}

bool ReplacingFile::sync() {
    if (m_temp.empty() || m_failed) return false;
    if (m_synced) return true;
    bool ok = true;
    if (m_file) {
        ok = std::fflush(m_file) == 0 && !std::ferror(m_file) && ::fsync(::fileno(m_file)) == 0;
        if (!ok) noteStreamError(m_file, m_target);
        ok = std::fclose(m_file) == 0 && ok;
        m_file = nullptr;
        m_buffer.reset();
    } else {
        // Closed already, or written by a writer of its own through tempPath().
        ok = syncFile(m_temp);
        if (!ok) noteSaveError(m_target);
    }
    if (!ok) m_failed = true;
    m_synced = ok;
    return ok;
}

bool ReplacingFile::commit() {
    if (m_droppingOld.valid()) m_droppingOld.wait();
    if (m_temp.empty()) return false;
    // sync() does nothing more for a file it has made safe already.
    if (sync()) {
        if (std::rename(m_temp.c_str(), m_target.c_str()) == 0) {
            untrackTemporary(m_temp);
            m_temp.clear();
            return true;
        }
        noteSaveError(m_target);
    }
    discard();
    return false;
}

void ReplacingFile::discard() {
    if (m_droppingOld.valid()) m_droppingOld.wait();
    m_failed = false;
    m_synced = false;
    if (m_file) {
        // A writer that failed on the stream itself (a full disk) gives up
        // here, with the stream's error and its errno still standing.
        if (std::ferror(m_file)) noteStreamError(m_file, m_target);
        std::fclose(m_file);
        m_file = nullptr;
        m_buffer.reset();
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        untrackTemporary(m_temp);
        m_temp.clear();
    }
}

bool writeFileReplacing(const std::string& path, const void* bytes, std::size_t size) {
    ReplacingFile file;
    if (!file.open(path)) return false;
    if (size > 0 && std::fwrite(bytes, 1, size, file.stream()) != size) return false;
    return file.commit();
}

// ---- FolderLock ---------------------------------------------------------------------

FolderLock::FolderLock(const std::string& file, LinkAtTarget links) {
    const std::string target = targetOf(file, links);
    m_fd = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return;
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        ::usleep(5000);
    }
    ::close(m_fd);
    m_fd = -1;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

// ---- ReplacingFileSet ---------------------------------------------------------------

std::string ReplacingFileSet::add(const std::string& targetIn, LinkAtTarget links) {
    const std::string target = targetOf(targetIn, links);
    if (!replaceableTarget(target, links)) {
        noteSaveError(target);
        return {};
    }
    std::string temp;
    const int fd = createFileBeside(target, temp);
    if (fd < 0) return {};
    if (!closeChecked(fd)) {
        ::unlink(temp.c_str());
        untrackTemporary(temp);
        return {};
    }
    m_entries.push_back({target, temp});
    return temp;
}

bool ReplacingFileSet::commit() {
    // Everything reaches the disk before any target is replaced.
    for (const Entry& e : m_entries) {
        if (!syncFile(e.temp)) {
            noteSaveError(e.target);
            discard();
            return false;
        }
    }
    // Another save into the folder puts its set in place before or after
    // this one, and a signal to stop waits until every file is in place.
    const std::optional<FolderLock> lock =
        m_entries.empty() ? std::nullopt
                          : std::make_optional<FolderLock>(m_entries.front().target, LinkAtTarget::Replace);
    const SignalsHeld held;
    while (!m_entries.empty()) {
        const Entry e = m_entries.front();
        if (std::rename(e.temp.c_str(), e.target.c_str()) != 0) {
            noteSaveError(e.target);
            discard();
            return false;
        }
        untrackTemporary(e.temp);
        m_entries.erase(m_entries.begin());
    }
    return true;
}

void ReplacingFileSet::discard() {
    for (const Entry& e : m_entries) {
        ::unlink(e.temp.c_str());
        untrackTemporary(e.temp);
    }
    m_entries.clear();
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
    // Only a plain file: opening or reading a pipe or a device could wait
    // for ever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > limit) return false;
    in.seekg(0);
    try {
        out.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (size > 0) in.read(reinterpret_cast<char*>(out.data()), size);
    return static_cast<bool>(in) || in.gcount() == size;
}

int lastSaveError() {
    const std::lock_guard<std::mutex> lock(g_lastSaveMutex);
    return g_lastSaveError;
}

std::string lastSaveTarget() {
    const std::lock_guard<std::mutex> lock(g_lastSaveMutex);
    return g_lastSaveTarget;
}

void clearLastSaveError() { noteError(0, {}); }

std::FILE* openRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}

}  // namespace plastora
