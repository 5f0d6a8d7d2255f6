// The variable-width LZW coder of GIF image data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixelune {

// Codes are at most 12 bits wide; a table holds 4096 codes.
constexpr int kLzwMaxBits = 12;
constexpr int kLzwTableSize = 1 << kLzwMaxBits;

// Appends to `out` the compressed data of an image: its LZW codes packed
// least significant bit first, in sub-blocks of at most 255 bytes each
// preceded by its length, then the zero-length block terminator.
//  codeSize  the initial code size (2..8): clear code 2^codeSize, first code
//            width codeSize + 1.
//  rows      rowCount pointers, in the order the rows are coded; each row
//            gives `width` pixel bytes, of which only the bits in `mask`
//            count.
void lzwEncode(int codeSize, const unsigned char* const* rows, int rowCount, int width, unsigned mask,
               std::vector<std::uint8_t>& out);

// Where decoded pixels go: `rowCount` rows of `width` pixels, filled in the
// order given. rowStart[i] points at the byte that receives pixel
// `visibleBegin` of row i, or is null when the row lies outside the buffer;
// pixels outside [visibleBegin, visibleEnd) are decoded and dropped.
struct LzwTarget {
    int width = 0;
    int rowCount = 0;
    int visibleBegin = 0;
    int visibleEnd = 0;
    std::vector<unsigned char*> rowStart;
};

// Decodes compressed image data (sub-block contents, concatenated) into
// `target`. Decoding stops at the end code, at the first code that cannot be
// expanded, at the end of the data or after the last row; whatever was not
// reached keeps its old bytes. Reads nothing outside data[0, size) and writes
// nothing outside the rows of `target`. Returns false only when memory runs
// out.
bool lzwDecode(int codeSize, const std::uint8_t* data, std::size_t size, LzwTarget& target);

}  // namespace pixelune
