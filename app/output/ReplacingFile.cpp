#include "output/ReplacingFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <sys/random.h>
#include <unistd.h>

namespace plastora {

namespace {

// 64 random bits as 16 hex digits: the temporary name cannot be guessed by
// another user who wants to plant a file or a link there first.
std::string randomHex() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
        std::random_device rd;
        bits = (std::uint64_t{rd()} << 32) ^ rd();
    }
    static const char kHex[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 0; i < 16; ++i) s[static_cast<std::size_t>(i)] = kHex[(bits >> (4 * i)) & 15u];
    return s;
}

}  // namespace

bool ReplacingFile::open(const std::string& target) {
    discard();
    m_target = target;
    m_failed = false;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 16; ++attempt) {
        // A short fixed name, not the target's: a long target name plus a
        // suffix could pass the file system's name limit.
        std::string temp = folder + ".plastora-" + randomHex() + ".part";
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        m_file = ::fdopen(fd, "w+b");
        if (!m_file) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        m_temp = std::move(temp);
        return true;
    }
    return false;
}

bool ReplacingFile::write(const void* data, std::size_t size) {
    if (!m_file || m_failed) return false;
    if (size != 0 && std::fwrite(data, 1, size, m_file) != size) m_failed = true;
    return !m_failed;
}

bool ReplacingFile::commit() {
    if (!m_file) return false;
    bool ok = !m_failed && std::fflush(m_file) == 0 && !std::ferror(m_file) && ::fsync(::fileno(m_file)) == 0;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) == 0) {
        m_temp.clear();
        return true;
    }
    discard();
    return false;
}

void ReplacingFile::discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

}  // namespace plastora
