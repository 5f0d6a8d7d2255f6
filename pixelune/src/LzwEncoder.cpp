// LZW compression of GIF image data.
//
// The string table is found through a fixed hash of 5021 slots with an
// open-addressing probe. Both the probe rule and the points at which the
// table is cleared decide the bytes written, so they are kept exactly:
// files written by earlier versions must come out byte for byte the same.
#include "Lzw.h"

#include <algorithm>
#include <array>

namespace pixelune {

namespace {

constexpr int kHashSlots = 5021;
// A slot holds (prefix << 8 | pixel) << 12 | code in one word. Codes stay
// below 4095 and so do prefixes, so an all-ones word is never an entry: it
// marks an empty slot.
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
// The table is cleared once the emitted-code counter passes this, so code
// 4095 is never defined.
constexpr unsigned kLastCounter = 4094;
// Compression is measured every this many pixels (more than).
constexpr unsigned kMeasureEvery = 9999;

class Encoder {
public:
    Encoder(int codeSize, std::vector<std::uint8_t>& out)
        : m_out(out), m_clear(1u << codeSize), m_initialWidth(codeSize + 1) {}

    void encode(const unsigned char* const* rows, int rowCount, int width, unsigned mask) {
        m_width = m_initialWidth;
        m_counter = m_clear + 1;
        m_nextFree = m_clear + 2;
        emit(m_clear);
        emptyTable();

        unsigned prefix = rows[0][0] & mask;
        m_pixels = 1;
        int x = 1;
        for (int r = 0; r < rowCount; ++r, x = 0) {
            const unsigned char* row = rows[r];
            for (; x < width; ++x) {
                const unsigned c = row[x] & mask;
                ++m_pixels;
                // Probe for (prefix, c): start at the hashed slot, step 11,
                // and after more than 5 wraps round the table step 1.
                const std::uint32_t key = (prefix << 8) | c;
                unsigned slot = (((prefix << 7) ^ c) & 0xFFFFu) % kHashSlots;
                int wraps = 0;
                std::uint32_t entry;
                while ((entry = m_slots[slot]) != kEmptySlot && (entry >> 12) != key) {
                    slot += wraps > 5 ? 1 : 11;
                    if (slot >= kHashSlots) {
                        slot -= kHashSlots;
                        ++wraps;
                    }
                }
                if (entry != kEmptySlot) {
                    prefix = entry & 0xFFFu;
                    continue;
                }
                emit(prefix);
                if (m_nextFree < static_cast<unsigned>(kLzwTableSize)) m_slots[slot] = (key << 12) | m_nextFree++;
                if (m_counter > kLastCounter) restart();
                prefix = c;
                measure();
            }
        }
        emit(prefix);
        emit(m_clear + 1);
        if (m_bitCount > 0) putByte(static_cast<std::uint8_t>(m_bits));
        endBlocks();
    }

private:
    void emptyTable() { std::fill(m_slots.begin(), m_slots.end(), kEmptySlot); }

    // Emits a clear code and starts a new table.
    void restart() {
        emit(m_clear);
        emptyTable();
        m_width = m_initialWidth;
        m_nextFree = m_clear + 2;
        m_counter = m_clear + 2;
    }

    // Adaptive reset: every 10000 pixels, compare the bytes the codes would
    // take at 12 bits with the pixels they stand for. When compression gets
    // clearly worse than the best seen, the table has gone stale: start a new
    // one.
    void measure() {
        if (m_pixels <= kMeasureEvery) return;
        const unsigned ratio = static_cast<unsigned>(m_codeBytes * 100 / m_pixels);
        m_codeBytes = 0;
        m_pixels = 0;
        if (ratio <= m_bestRatio)
            m_bestRatio = ratio;
        else if (ratio > 50 && (ratio > 90 || ratio > m_lastRatio + 10))
            restart();
        m_lastRatio = ratio;
    }

    void emit(unsigned code) {
        m_bits |= static_cast<std::uint32_t>(code) << m_bitCount;
        m_bitCount += m_width;
        while (m_bitCount >= 8) {
            putByte(static_cast<std::uint8_t>(m_bits));
            m_bits >>= 8;
            m_bitCount -= 8;
        }
        // Two 12-bit codes take three bytes.
        m_codeBytes += m_secondOfPair ? 2 : 1;
        m_secondOfPair = !m_secondOfPair;
        if (m_counter == (1u << m_width) && m_width < kLzwMaxBits) ++m_width;
        ++m_counter;
    }

    // Bytes are gathered into a sub-block of up to 255 and appended with
    // their length byte when it is full.
    void putByte(std::uint8_t b) {
        m_block[++m_blockLength] = b;
        if (m_blockLength == 255) flushBlock();
    }

    void flushBlock() {
        m_block[0] = static_cast<std::uint8_t>(m_blockLength);
        m_out.insert(m_out.end(), m_block.begin(), m_block.begin() + 1 + m_blockLength);
        m_blockLength = 0;
    }

    void endBlocks() {
        if (m_blockLength > 0) flushBlock();
        m_out.push_back(0);
    }

    std::vector<std::uint8_t>& m_out;
    const unsigned m_clear;
    const int m_initialWidth;

    std::array<std::uint32_t, kHashSlots> m_slots{};
    int m_width = 0;
    unsigned m_counter = 0;
    unsigned m_nextFree = 0;

    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
    std::array<std::uint8_t, 256> m_block{};
    int m_blockLength = 0;

    std::uint64_t m_pixels = 0;
    std::uint64_t m_codeBytes = 0;
    bool m_secondOfPair = false;
    unsigned m_bestRatio = 100;
    unsigned m_lastRatio = 100;
};

}  // namespace

void lzwEncode(int codeSize, const unsigned char* const* rows, int rowCount, int width, unsigned mask,
               std::vector<std::uint8_t>& out) {
    if (rowCount <= 0 || width <= 0) return;
    out.reserve(out.size() + static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(width) / 2 + 64);
    Encoder encoder(codeSize, out);
    encoder.encode(rows, rowCount, width, mask);
}

}  // namespace pixelune
