// Private profile files: the sectioned key=value settings format.
//
//   [Section]
//   Key=Value
//
// The semantics are those of the classic private-profile calls:
// - section and key names match without regard to ASCII case; only the first
//   section of a name is consulted, and in it the first key of a name;
// - whitespace around names and values is ignored; a value enclosed in a
//   matching pair of double (or single) quotes is read without them;
// - a line starting with ';' is a comment; a line with neither a complete
//   "[...]" header nor '=' carries nothing;
// - values are plain bytes: no escapes, backslashes are ordinary characters,
//   Japanese text is stored as UTF-8; a NUL byte ends a value as it would end
//   a C string;
// - a missing file or key gives the caller's default; reading never creates
//   anything;
// - writing one key changes only that key's line (or adds the key, section or
//   file when missing); every other byte of the file stays as it was,
//   including comments, order, unknown sections and CRLF or LF line ends.
//
// Files are read afresh on every call. Nothing here throws.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plastora {

// The buffer size used for text values when the caller names none.
constexpr int kProfileTextBufferSize = 260;

// A settings file larger than this is not a settings file; it is neither read
// (it reads as missing) nor rewritten (that would mean holding and copying all
// of it).
constexpr std::size_t kMaxProfileBytes = 16u << 20;

// Reads an integer like GetPrivateProfileInt: an optional sign followed by
// the leading decimal digits of the value ("12abc" gives 12, "abc" gives 0);
// a missing file, missing key or empty value gives `defaultValue`. Digits
// beyond the range of 32 bits wrap around as the classic call does.
int readProfileInt(const std::string& file, std::string_view section, std::string_view key,
                   int defaultValue);

// Reads a text value like GetPrivateProfileString into a buffer of
// `bufferSize` bytes: at most bufferSize - 1 bytes are returned, cut back to
// a whole UTF-8 character. A missing file or key gives `defaultValue` (without
// trailing blanks, truncated the same way). An empty value is returned as an
// empty text, not as the default. bufferSize <= 0 gives an empty text.
std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue, int bufferSize = kProfileTextBufferSize);

// Writes `value` for `key` in `section`, creating the file, the section or the
// key when missing. The file is replaced atomically (a temporary file in the
// same folder, then a rename), so a failed write leaves the old file intact.
// Returns false when the file cannot be read or written, or when a name or the
// value cannot be stored in this format (empty key; a line break or NUL in any
// of them; '=' in the key or ']' in the section; blanks around a name; a key
// starting with '[' or ';').
bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

// One key of a profile file and its new value.
struct ProfileWrite {
    std::string section, key, value;
};
// Writes several values as writeProfileString writes one, with one reading
// and one replacement of the file for all of them; nothing is written unless
// every name and value can be stored.
bool writeProfileStrings(const std::string& file, const std::vector<ProfileWrite>& writes);

// The integer reading rule of readProfileInt applied to one value text.
int profileIntFromText(std::string_view text, int defaultValue);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character: the start of a multi-byte sequence that the
// limit cuts is dropped. Other bytes, valid UTF-8 or not, are kept as they are.
std::string truncateUtf8(std::string_view text, std::size_t maxBytes);

// The contents of one profile file held in memory; the file functions above
// are built on it.
class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string bytes) : m_bytes(std::move(bytes)) {}

    // The value of `key` in `section` (blanks and enclosing quotes removed,
    // cut at a NUL byte), or nothing when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets `key` in `section` to `value`, changing nothing else; false (and
    // nothing changed) when the names or value cannot be stored, as described
    // for writeProfileString.
    bool set(std::string_view section, std::string_view key, std::string_view value);

    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

}  // namespace plastora
