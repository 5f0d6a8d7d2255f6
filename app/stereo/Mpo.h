// Multi-picture (MPO) files: two or more Exif JPEGs one after the other, the
// first carrying an APP2 "MPF" segment with the MP index (number of images,
// each image's size and offset) and every later one a small APP2 with its
// own attributes. All MP values are little-endian.
//
// The writers join Exif JPEGs made by WriteExifJpeg; the reader finds image k
// of any MPO file (ours or another program's) and decodes it through
// LoadStillImage. Every offset, count and length the reader takes from a
// file is checked against the file before it is used.
#pragma once

#include "platform/Host.h"
#include "platform/Surface.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plastora {

// The message shown when a multi-picture file cannot be read.
extern const char* const kMpoReadFailedMessage;

// APP2 bytes added to the first image (A_1 = 16N + 128) and to the others.
constexpr std::uint32_t firstMpfSegmentSize(std::uint32_t imageCount) { return 16 * imageCount + 128; }
constexpr std::uint32_t kOtherMpfSegmentSize = 98;

// Joins the Exif JPEGs (each must begin with SOI directly followed by APP1)
// into one MPO in `out`. Every image is padded with zeros to a multiple of 16
// bytes, except the last one when `padLast` is false (the stereo-pair form).
// False, with `out` untouched, for fewer than two inputs, an input that does
// not begin so, or a result too large for the 32-bit MP offsets.
bool assembleMpo(std::span<const std::vector<std::uint8_t>> images, bool padLast, std::vector<std::uint8_t>& out);

// The stereo-pair writer: `leftJpeg` is image 1, `rightJpeg` image 2 (not
// padded). Returns 1, or 0 when an input is missing or malformed or the
// output cannot be written (written under a temporary name and renamed, so a
// failure leaves no partial file).
int WriteStereoMpo(const std::string& leftJpeg, const std::string& rightJpeg, const std::string& outPath);
// The multi-view writer: the `count` files named by putting 01 .. count in
// place of the last "%02d" of `pattern`, every image padded. Returns 1 or 0.
int WriteMultiViewMpo(const std::string& pattern, int count, const std::string& outPath);

// One image of the MP index.
struct MpoEntry {
    std::uint32_t attribute = 0;
    std::uint32_t size = 0;     // bytes, as the entry gives it
    std::uint64_t offset = 0;   // file offset of the image's SOI (0 for the first)
};

// What the MPF segment of a file says.
struct MpoIndex {
    std::uint32_t imageCount = 0;  // NumberOfImages
    std::uint64_t headerOffset = 0;  // file offset of the MP header (byte-order mark)
    bool littleEndian = true;
    std::vector<MpoEntry> entries;   // the MP entries present, at most imageCount
};

// Reads the MP index from the start of a file held in memory. The MPF APP2
// is looked for among the application segments (APP0..APP15) that follow the
// SOI, stepping over comments; any other segment before it ends the search.
// False when there is no MPF segment, it is damaged, or an entry points
// outside the data.
bool parseMpoIndex(std::span<const std::uint8_t> data, MpoIndex& index);
// The same for a file; only the segments at its start are read.
bool readMpoIndex(const std::string& path, MpoIndex& index);

// The entries (indices into index.entries, in file order) of the file at
// `path` that are views of the scene: every entry but the large thumbnails
// some cameras add as previews of the others (an entry marked so but the
// size of the first image is taken as a view). The first image is always a
// view; a file with no other is no stereo pair.
std::vector<int> mpoViewEntries(const std::string& path, const MpoIndex& index);

// The MPO reader: decodes image k (0-based) of the file into `out` with
// LoadStillImage and returns the number of images the file announces, or 0
// when the file has no readable MP index, has no image k, or image k does not
// decode. No message is shown (the caller shows kMpoReadFailedMessage).
int ReadMpoImage(Host& host, const std::string& path, int k, Surface& out, int& width, int& height);

}  // namespace plastora
