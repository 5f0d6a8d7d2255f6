// Writing a file so that a failed save leaves the previous file as it was.
//
// The data goes to a new file beside the target, created exclusively under
// an unpredictable name (never through a symbolic link), and is renamed over
// the target only after every write, the flush to disk and the close have
// succeeded. A file that is never committed is removed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace plastora {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { discard(); }

    // Creates the temporary file in the target's folder. False when the
    // folder cannot take a new file (missing, not a folder, not writable).
    bool open(const std::string& target);

    // The buffered stream over the temporary file (null when not open).
    std::FILE* stream() const { return m_file; }
    // Appends bytes; false (and the file marked failed) on any short write.
    bool write(const void* data, std::size_t size);

    // Flushes, syncs to disk, closes and renames over the target. False when
    // any of these fails or any earlier write failed; the temporary file is
    // then removed and the target left untouched.
    bool commit();
    // Closes and removes the temporary file without touching the target.
    void discard();

    const std::string& temporaryPath() const { return m_temp; }

private:
    std::string m_target;
    std::string m_temp;
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

}  // namespace plastora
