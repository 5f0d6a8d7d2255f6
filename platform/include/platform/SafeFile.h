// Files that are written whole or not at all.
//
// Every file the program writes goes first to a new file beside its target,
// created exclusively under an unpredictable name (O_CREAT | O_EXCL |
// O_NOFOLLOW, so nothing another user planted there is written through), is
// checked on every write and on the close, and is renamed over the target
// only when complete. A failure at any point removes the temporary file and
// leaves the target as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace plastora {

// Creates a new, empty file in the folder of `target` whose name keeps the
// target's extension (".~plastora-XXXXXXXX-name.ext"), exclusively and without
// following a symbolic link; its mode is that of a new file (0666 less the
// umask), or the target's (and its owner and group, as far as this process
// may set them) when the target is a regular file. Returns the open
// descriptor (and the name in `tempPath`), or -1 with errno set.
int createFileBeside(const std::string& target, std::string& tempPath);

// The file a save really replaces: `path` itself, or, when `path` is a
// symbolic link the user named, the file it points to (a save through a link
// writes the linked file, as writing in place would), also when that file
// does not exist yet.
std::string resolveSaveTarget(const std::string& path);

// What a save does with a target that is a symbolic link. The name the
// user gave is followed: the linked file is written, as writing in place
// would. A name the program makes itself (a project's companion files, the
// views of a set) replaces the link with the new file: a project or folder
// from someone else may hold links to files of the user's elsewhere, which
// a save must never write.
enum class LinkAtTarget { Follow, Replace };

// While it lives, other processes taking a FolderLock for a file in the same
// folder wait: a settings file read, changed and replaced, or a set of files
// put in place together, by two programs at once. Files are replaced whole,
// so the lock (flock) is on the folder of `file` (through a link that is
// followed, of the file it points to). Where the folder cannot be locked, or stays locked
// for two seconds (a program stopped midway), the work goes ahead unlocked.
class FolderLock {
public:
    explicit FolderLock(const std::string& file, LinkAtTarget links = LinkAtTarget::Follow);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

// One file written through a temporary name and renamed over its target.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { discard(); }

    // False when the target exists but may not be written, or no temporary
    // file can be made beside it.
    bool open(const std::string& target, LinkAtTarget links = LinkAtTarget::Follow);
    std::FILE* stream() const { return m_file; }
    // Appends bytes to the stream; false (and the file marked failed, so
    // commit() fails too) on a short write.
    bool write(const void* data, std::size_t size);
    // The temporary file's name (for writers that need a path of their own;
    // they write to it and leave the rename to commit()).
    const std::string& tempPath() const { return m_temp; }
    // Closes the stream and checks it, freeing its buffer; the file then
    // waits for commit(). False (and the file marked failed) when the data
    // could not all be written.
    bool close();
    // Closes the stream (when still open), checks it and flushes the data to
    // disk, leaving only the rename to commit(): a set of files can all be
    // made safe first and then put in place together. False (and the file
    // marked failed) when a step fails.
    bool sync();
    // Closes the stream (when still open) and checks it; flushes the data to
    // disk (unless sync() has); renames over the target. False, with the temporary file removed,
    // when any step fails.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

    // The stream's buffer: the size of each write the kernel is given.
    static constexpr std::size_t kWriteBufferSize = std::size_t{1} << 20;
    // A target this large has its cached pages dropped while the new file
    // is written.
    static constexpr long long kDropCacheBytes = 16ll << 20;

private:
    std::string m_target, m_temp;
    std::FILE* m_file = nullptr;
    // The stream's buffer, ours: given no buffer, the C library ignores the
    // size asked for and writes in pieces of 4 KB.
    std::unique_ptr<char[]> m_buffer;
    std::future<void> m_droppingOld;
    bool m_failed = false;
    bool m_synced = false;
};

// Writes `bytes` as the whole of `path`, replacing it only when complete.
bool writeFileReplacing(const std::string& path, const void* bytes, std::size_t size);
inline bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return writeFileReplacing(path, bytes.data(), bytes.size());
}

// Several files that replace their targets together (a project and its
// companions): each is written under a temporary name of its own, and only
// when every one is complete are they renamed into place, in the order they
// were added (so the file that names the others goes last). Anything not
// committed is removed when the set ends.
class ReplacingFileSet {
public:
    ReplacingFileSet() = default;
    ReplacingFileSet(const ReplacingFileSet&) = delete;
    ReplacingFileSet& operator=(const ReplacingFileSet&) = delete;
    ~ReplacingFileSet() { discard(); }

    // Reserves a temporary name beside `target` (an empty file, created
    // exclusively) and returns it, or "" when none can be made. The caller
    // writes the file's contents to that name; a writer that itself replaces
    // the file it is given by rename is fine.
    std::string add(const std::string& target, LinkAtTarget links = LinkAtTarget::Follow);
    // Renames every file over its target, holding the FolderLock of the
    // first one's (two saves of one project at once each put their whole
    // set in place, never a mix). False when a rename fails; the files not
    // yet renamed are removed.
    bool commit();
    void discard();

private:
    struct Entry {
        std::string target, temp;
    };
    std::vector<Entry> m_entries;
};

// Starts writing to disk what has been written to the stream so far, and
// returns without waiting: a writer of a large file calls it now and then so
// that the disk works while the rest is made, and the flush at the end
// waits only for the last part. Does nothing for a stream without a file.
void startWriteback(std::FILE* stream);

// Syncs a written file to disk. False when the data may not have reached it
// (a full disk shows here at the latest, on file systems that delay
// allocation).
bool syncFile(const std::string& path);

// The system's error number (errno) of the last save that failed in this
// process (creating, writing, flushing or renaming its file); 0 when none
// has. The message for a failed save gives it as the reason.
int lastSaveError();
// The file that save was meant for (as resolved through links; empty when
// none failed): a writer of several files (a pair, a project's companions)
// may have failed on one that is not the name the user gave.
std::string lastSaveTarget();
// Forgets both (a new command starts).
void clearLastSaveError();

// Reads a whole plain file (false when it is anything else, such as a pipe,
// cannot be opened or is larger than `limit` bytes).
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit);

// Opens a plain file for reading in binary ("rb"); null for anything else.
// A named pipe is refused without waiting for a writer, which fopen would
// do for ever (a picture or project part replaced by one by mistake).
std::FILE* openRegularFile(const std::string& path);

}  // namespace plastora
