#include "platform/Profile.h"
#include "platform/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plastora {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare without regard to ASCII case; other bytes (UTF-8 text) must
// be equal.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

// One line of the file, as offsets into the whole text.
struct Line {
    std::size_t begin = 0;       // first byte of the line
    std::size_t end = 0;         // end of its content, before "\n" or "\r\n"
    std::size_t next = 0;        // first byte of the following line
    bool terminated = false;     // the line ends with a line break
    LineKind kind = LineKind::Blank;
    std::string_view name;       // section or key name, without blanks
    std::size_t afterEquals = 0; // key lines: the byte after '='
    std::size_t valueBegin = 0;  // key lines: the value without blanks
    std::size_t valueEnd = 0;
};

// Walks the lines of a text one at a time.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        line = Line{};
        line.begin = m_pos;
        // A line ends at "\n", "\r\n" or a lone "\r" (files from old Mac
        // editors, which would otherwise read as one line).
        const std::size_t nl = m_text.find_first_of("\r\n", m_pos);
        if (nl == std::string_view::npos) {
            line.end = m_text.size();
            line.next = m_text.size();
        } else {
            line.end = nl;
            line.next = nl + (m_text.compare(nl, 2, "\r\n") == 0 ? 2 : 1);
            line.terminated = true;
        }
        m_pos = line.next;
        classify(line);
        return true;
    }

private:
    void classify(Line& line) const {
        std::string_view content = m_text.substr(line.begin, line.end - line.begin);
        // A UTF-8 byte-order mark in front of the first line is not part of it
        // (it would hide a section name there); the bytes stay in the file.
        if (line.begin == 0 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
        const std::string_view t = trim(content);
        if (t.empty()) {
            line.kind = LineKind::Blank;
            return;
        }
        if (t.front() == ';') {
            line.kind = LineKind::Comment;
            return;
        }
        if (t.front() == '[') {
            const std::size_t close = t.find(']');
            if (close == std::string_view::npos) {
                line.kind = LineKind::Other;  // '[' without ']' starts nothing
                return;
            }
            line.kind = LineKind::Section;
            line.name = trim(t.substr(1, close - 1));
            return;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) {
            line.kind = LineKind::Other;
            return;
        }
        line.kind = LineKind::Key;
        line.name = trim(t.substr(0, eq));
        const std::size_t tStart = static_cast<std::size_t>(t.data() - m_text.data());
        line.afterEquals = tStart + eq + 1;
        const std::string_view value = trim(t.substr(eq + 1));
        line.valueBegin = value.empty() ? line.afterEquals : static_cast<std::size_t>(value.data() - m_text.data());
        line.valueEnd = line.valueBegin + value.size();
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// The value as a reader sees it: enclosing quotes dropped, cut at a NUL byte
// (where a C string would end).
std::string readableValue(std::string_view raw) {
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    const std::size_t nul = raw.find('\0');
    if (nul != std::string_view::npos) raw = raw.substr(0, nul);
    return std::string(raw);
}

std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key) {
    LineReader reader(text);
    Line line;
    bool inSection = false;
    while (reader.next(line)) {
        if (line.kind == LineKind::Section) {
            // Only the first section of a name counts.
            if (inSection) return std::nullopt;
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && sameName(line.name, key)) {
            return readableValue(text.substr(line.valueBegin, line.valueEnd - line.valueBegin));
        }
    }
    return std::nullopt;
}

bool hasAny(std::string_view s, std::string_view chars) { return s.find_first_of(chars) != std::string_view::npos; }

const std::string_view kLineBreaksAndNul("\r\n\0", 3);

// Whether section, key and value can be written so that reading them back
// finds the same names (and the line structure of the file stays intact).
bool storable(std::string_view section, std::string_view key, std::string_view value) {
    if (hasAny(section, kLineBreaksAndNul) || hasAny(section, "]") || trim(section) != section) return false;
    if (key.empty() || hasAny(key, kLineBreaksAndNul) || hasAny(key, "=") || trim(key) != key) return false;
    if (key.front() == '[' || key.front() == ';') return false;
    return !hasAny(value, kLineBreaksAndNul);
}

// The line break the file already uses; LF for a file without any.
std::string_view lineBreakOf(std::string_view text) {
    const std::size_t nl = text.find_first_of("\r\n");
    if (nl == std::string_view::npos || text[nl] == '\n') return "\n";
    return text.compare(nl, 2, "\r\n") == 0 ? "\r\n" : "\r";
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    // Without O_NONBLOCK a named pipe given as the settings file would
    // block here until something writes to it; it is refused below instead.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxProfileBytes) {
        ::close(fd);
        return ReadResult::Failed;
    }
    // Read straight into the result; the size from fstat is a hint only (the
    // file may change while it is read).
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            if (out.size() > kMaxProfileBytes) {
                ::close(fd);
                out.clear();
                return ReadResult::Failed;
            }
            out.resize(out.size() * 2);
        }
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return ReadResult::Failed;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > kMaxProfileBytes) {
        out.clear();
        return ReadResult::Failed;
    }
    out.resize(got);
    return ReadResult::Ok;
}

// Replaces the file with `bytes` through a temporary file in the same folder,
// so that the old contents survive any failure before the final rename.
bool replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    return writeFileReplacing(path, bytes.data(), bytes.size());
}

}  // namespace

std::string truncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    std::size_t n = maxBytes;
    // Find the start of the character that the limit falls into: at most
    // three continuation bytes (10xxxxxx) back.
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const auto c = static_cast<unsigned char>(text[n - k]);
        if ((c & 0xC0u) == 0x80u) continue;
        std::size_t length = 1;
        if (c >= 0xF0u && c < 0xF8u)
            length = 4;
        else if (c >= 0xE0u && c < 0xF0u)
            length = 3;
        else if (c >= 0xC0u && c < 0xE0u)
            length = 2;
        if (length > k) n -= k;  // the character would be cut: leave it out
        break;
    }
    return std::string(text.substr(0, n));
}

int profileIntFromText(std::string_view text, int defaultValue) {
    text = trim(text);
    if (text.empty()) return defaultValue;
    std::size_t i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps like the 32-bit accumulator of the classic call.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

std::optional<std::string> ProfileText::value(std::string_view section, std::string_view key) const {
    return findValue(m_bytes, section, key);
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
    if (!storable(section, key, value)) return false;
    const std::string_view eol = lineBreakOf(m_bytes);

    LineReader reader(m_bytes);
    Line line;
    Line lastContent;  // last non-blank line of the section, where a new key goes
    Line lastLine;
    bool inSection = false;
    bool sectionFound = false;
    while (reader.next(line)) {
        lastLine = line;
        if (line.kind == LineKind::Section) {
            if (inSection) break;
            if (sameName(line.name, section)) {
                inSection = sectionFound = true;
                lastContent = line;
            }
            continue;
        }
        if (!inSection) continue;
        if (line.kind == LineKind::Key && sameName(line.name, key)) {
            // Keep the line's own layout up to the value; replace the value.
            const std::size_t from = line.valueBegin;
            m_bytes.replace(from, line.end - from, value);
            return true;
        }
        if (line.kind != LineKind::Blank) lastContent = line;
    }

    std::string add;
    if (sectionFound) {
        if (!lastContent.terminated) add += eol;
        add.append(key).append("=").append(value).append(eol);
        m_bytes.insert(lastContent.next, add);
        return true;
    }
    if (!m_bytes.empty()) {
        if (m_bytes.back() != '\n' && m_bytes.back() != '\r') add += eol;
        if (lastLine.kind != LineKind::Blank) add += eol;  // a blank line between sections
    }
    add.append("[").append(section).append("]").append(eol);
    add.append(key).append("=").append(value).append(eol);
    m_bytes += add;
    return true;
}

int readProfileInt(const std::string& file, std::string_view section, std::string_view key, int defaultValue) {
    std::string bytes;
    if (readWholeFile(file, bytes) != ReadResult::Ok) return defaultValue;
    const auto v = findValue(bytes, section, key);
    return v ? profileIntFromText(*v, defaultValue) : defaultValue;
}

std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue, int bufferSize) {
    if (bufferSize <= 0) return {};
    const auto limit = static_cast<std::size_t>(bufferSize - 1);
    std::string bytes;
    if (readWholeFile(file, bytes) == ReadResult::Ok) {
        if (const auto v = findValue(bytes, section, key)) return truncateUtf8(*v, limit);
    }
    // The default is taken as a C string without its trailing blanks.
    const std::size_t nul = defaultValue.find('\0');
    if (nul != std::string_view::npos) defaultValue = defaultValue.substr(0, nul);
    while (!defaultValue.empty() && isBlank(defaultValue.back())) defaultValue.remove_suffix(1);
    return truncateUtf8(defaultValue, limit);
}

bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    return writeProfileStrings(file, {ProfileWrite{std::string(section), std::string(key), std::string(value)}});
}

bool writeProfileStrings(const std::string& file, const std::vector<ProfileWrite>& writes) {
    // Each change reads the file, changes it and puts a new copy in its
    // place: two programs doing so at once lost one's changes.
    const FolderLock lock(file);
    std::string bytes;
    if (readWholeFile(file, bytes) == ReadResult::Failed) return false;
    ProfileText text(std::move(bytes));
    for (const ProfileWrite& w : writes)
        if (!text.set(w.section, w.key, w.value)) return false;
    return replaceFile(file, text.bytes());
}

}  // namespace plastora
