// The Exif wrapper: turns a baseline JPEG written by SaveStillImage into an
// Exif JPEG carrying a 160 x 120 thumbnail, the form stereo cameras and the
// Nintendo 3DS expect inside a multi-picture file.
//
// The APP1 segment has a fixed layout (big-endian TIFF): IFD0 with the maker,
// model, software and date, the Exif IFD with a fixed maker note, the
// interoperability IFD and IFD1 describing the thumbnail, which follows the
// header part directly. Two modes differ only in the three texts and so in
// the layout constant D, the segment position of the pad byte after Model.
#pragma once

#include "platform/Host.h"
#include "platform/Surface.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace plastora {

enum class ExifMode {
    Normal,  // "Orvane Labs" / "Plastora 3D App" / "00260"
    Card,    // the 3DS card export: "Nintendo" / "Nintendo 3DS" / "00204"
};

// D: 155 in card mode, 161 otherwise. The header part is D + 537 bytes.
int exifLayoutConstant(ExifMode mode);
constexpr int kExifHeaderTail = 537;
// The JPEG's own SOI and 18-byte JFIF APP0 that are dropped from the
// thumbnail when it is embedded (a fresh SOI replaces the first two).
constexpr int kThumbnailSkip = 20;

// The header part of the APP1 segment (from its FF E1 marker up to where the
// thumbnail starts) for an embedded thumbnail of `thumbnailLength` bytes,
// with all three date fields set to `when` in local time and the picture's
// pixel size in PixelXDimension / PixelYDimension.
// Empty when the segment would not fit the 16-bit segment length.
std::vector<std::uint8_t> buildExifHeader(ExifMode mode, std::uint32_t thumbnailLength, std::time_t when,
                                          Size pixelSize = {640, 480});

// The thumbnail size for a w x h view: 160 x 120, or 120 x 160 when the view
// is narrower than it is tall.
Size thumbnailSize(int w, int h);
// The part of a w x h view that is scaled to a tw x th thumbnail: the view
// cut to the thumbnail's aspect ratio around its centre.
Rect thumbnailCrop(int w, int h, Size thumb);
// Makes the thumbnail picture (halftone stretching of the centre crop).
// False when memory fails or the view is empty.
bool makeThumbnail(const Surface& view, Surface& thumb);
// Makes the thumbnail and writes it with SaveStillImage (a JPEG when the name
// says so). Returns 1, or 0 after SaveStillImage's message (or silently when
// the view is empty or memory fails).
int SaveThumbnail(Host& host, const Surface& view, const std::string& path, int jpegQuality);

// Writes `outPath` as SOI, the Exif APP1 with the thumbnail from
// `thumbnailJpeg`, and the segments of `mainJpeg` after its SOI and APP0
// headers with all DQT tables joined into one segment, then SOF0, then all
// DHT tables in one segment, then the rest unchanged. The Exif pixel
// dimensions are the main picture's frame size. The current time fills
// the date fields (`when` for tests). Returns 1, or 0 when an input cannot be
// read or does not have the expected JPEG structure, when the thumbnail is
// too large for the segment, or when the output cannot be written (nothing
// is left at `outPath` then: it is written under a temporary name first).
int WriteExifJpeg(const std::string& mainJpeg, const std::string& thumbnailJpeg, const std::string& outPath,
                  ExifMode mode, std::time_t when = std::time(nullptr));

// The same over bytes in memory (the file variant reads both and calls this).
bool buildExifJpeg(const std::vector<std::uint8_t>& mainJpeg, const std::vector<std::uint8_t>& thumbnailJpeg,
                   ExifMode mode, std::time_t when, std::vector<std::uint8_t>& out);

}  // namespace plastora
