// LZW decompression of GIF image data, in two passes: the first unpacks the
// variable-width codes into fixed 12-bit ones (two codes in three bytes), the
// second expands them through the string table into pixel rows.
#include "Lzw.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pixelune {

namespace {

// Where decoded strings go, row after row.
class Sink {
public:
    explicit Sink(LzwTarget& t) : m_t(t) {}

    // Writes n pixels; false once the last row is full.
    bool put(const std::uint8_t* s, int n) {
        while (n > 0) {
            const int k = std::min(n, m_t.width - m_x);
            if (unsigned char* dst = m_t.rowStart[static_cast<std::size_t>(m_row)]) {
                const int a = std::max(m_x, m_t.visibleBegin);
                const int b = std::min(m_x + k, m_t.visibleEnd);
                if (a < b) std::memcpy(dst + (a - m_t.visibleBegin), s + (a - m_x), static_cast<std::size_t>(b - a));
            }
            s += k;
            n -= k;
            m_x += k;
            if (m_x == m_t.width) {
                m_x = 0;
                if (++m_row == m_t.rowCount) return false;
            }
        }
        return true;
    }

private:
    LzwTarget& m_t;
    int m_row = 0;
    int m_x = 0;
};

// Pass 1: the codes as fixed 12-bit values. The width follows the encoder's:
// it grows by one after a code when the count of codes since the last clear
// (starting at clear + 2) reaches 2^width, and goes back to the initial width
// at every clear code. Unpacking stops at the end code or the end of the
// data; a trailing part code is dropped.
std::size_t unpackCodes(int codeSize, const std::uint8_t* data, std::size_t size, std::uint8_t* packed) {
    const unsigned clear = 1u << codeSize;
    const int initialWidth = codeSize + 1;
    int width = initialWidth;
    unsigned counter = clear + 2;
    std::uint32_t bits = 0;
    int bitCount = 0;
    std::size_t pos = 0;
    std::size_t count = 0;
    for (;;) {
        while (bitCount < width && pos < size) {
            bits |= static_cast<std::uint32_t>(data[pos++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < width) break;
        const unsigned code = bits & ((1u << width) - 1);
        bits >>= width;
        bitCount -= width;

        std::uint8_t* p = packed + count / 2 * 3;
        if (count % 2 == 0) {
            p[0] = static_cast<std::uint8_t>(code >> 4);
            p[1] = static_cast<std::uint8_t>((code & 0xF) << 4);
        } else {
            p[1] = static_cast<std::uint8_t>(p[1] | (code >> 8));
            p[2] = static_cast<std::uint8_t>(code);
        }
        ++count;

        if (code == clear) {
            width = initialWidth;
            counter = clear + 2;
            continue;
        }
        if (code == clear + 1) break;
        if (counter == (1u << width) && width < kLzwMaxBits) ++width;
        ++counter;
    }
    return count;
}

inline unsigned codeAt(const std::uint8_t* packed, std::size_t i) {
    const std::uint8_t* p = packed + i / 2 * 3;
    return i % 2 == 0 ? (static_cast<unsigned>(p[0]) << 4) | (p[1] >> 4)
                      : (static_cast<unsigned>(p[1] & 0xF) << 8) | p[2];
}

}  // namespace

bool lzwDecode(int codeSize, const std::uint8_t* data, std::size_t size, LzwTarget& target) {
    if (target.width <= 0 || target.rowCount <= 0 || codeSize < 1 || codeSize > kLzwMaxBits - 1) return true;
    if (target.rowStart.size() < static_cast<std::size_t>(target.rowCount)) return true;
    const unsigned clear = 1u << codeSize;
    const unsigned end = clear + 1;

    // Every code takes at least the initial width.
    const std::size_t maxCodes = size / static_cast<std::size_t>(codeSize + 1) * 8 + 8;
    std::vector<std::uint8_t> packed;
    std::vector<std::uint16_t> prefix;
    std::vector<std::uint8_t> suffix;
    std::vector<std::uint8_t> work;
    try {
        packed.resize((maxCodes + 1) / 2 * 3);
        prefix.resize(kLzwTableSize);
        suffix.resize(kLzwTableSize);
        // The longest string has one byte per table entry, plus one.
        work.resize(kLzwTableSize + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t count = unpackCodes(codeSize, data, size, packed.data());

    // Literal codes stand for themselves.
    for (unsigned c = 0; c < clear; ++c) suffix[c] = static_cast<std::uint8_t>(c);

    // Writes the string of `code` so that it ends at `stop`; returns its
    // first byte's position. Every defined code's prefix is a smaller code,
    // so the walk ends at a literal within the table's size.
    auto expand = [&](unsigned code, std::uint8_t* stop) {
        std::uint8_t* p = stop;
        while (code >= clear) {
            *--p = suffix[code];
            code = prefix[code];
        }
        *--p = static_cast<std::uint8_t>(code);
        return p;
    };

    Sink sink(target);
    std::uint8_t* const stop = work.data() + work.size() - 1;
    unsigned nextFree = clear + 2;
    bool havePrevious = false;
    unsigned previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned code = codeAt(packed.data(), i);
        if (code == end) break;
        if (code == clear) {
            nextFree = clear + 2;
            havePrevious = false;
            continue;
        }
        if (!havePrevious) {
            // The first code after a clear is a single pixel.
            if (code >= clear) break;
            const std::uint8_t b = static_cast<std::uint8_t>(code);
            if (!sink.put(&b, 1)) break;
            previous = code;
            havePrevious = true;
            continue;
        }
        std::uint8_t* first;
        int length;
        if (code < nextFree) {
            first = expand(code, stop);
            length = static_cast<int>(stop - first);
        } else if (code == nextFree) {
            // Not yet defined: the previous string and its own first byte.
            first = expand(previous, stop);
            *stop = *first;
            length = static_cast<int>(stop - first) + 1;
        } else {
            break;
        }
        if (nextFree < static_cast<unsigned>(kLzwTableSize)) {
            prefix[nextFree] = static_cast<std::uint16_t>(previous);
            suffix[nextFree] = *first;
            ++nextFree;
        }
        previous = code;
        if (!sink.put(first, length)) break;
    }
    return true;
}

}  // namespace pixelune
