// Photos as people have them: a picture file is recognised by its first
// bytes, whatever its name says. JPEG is decoded by libjpeg with the
// tolerance a photo needs (CMYK and YCCK pictures, a file that ends early,
// the Exif orientation of a camera held sideways); BMP goes through the
// still-image reader; PNG, TIFF and WebP come in through Qt's image readers
// as 8-bit RGB (16-bit samples reduced, grey widened, transparency laid over
// white).
#pragma once

#include "platform/Host.h"
#include "platform/Surface.h"

#include <QColorSpace>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace plastora {

enum class PhotoFormat { Unknown, Jpeg, Bmp, Png, Tiff, WebP, Gif };

// The format announced by the first bytes of a file (at least 12 are looked
// at when there are that many).
PhotoFormat DetectPhotoFormat(const std::uint8_t* head, std::size_t size);
// The same for a file on disk; Unknown when it cannot be read.
PhotoFormat DetectPhotoFormatOfFile(const std::string& path);

// The Exif orientation (1..8) held in the payload of a JPEG APP1 segment
// (starting "Exif\0\0"). 1 (as taken) when there is none or the data is not
// a readable Exif block. Reads only within [data, data + size).
int ExifOrientationOf(const std::uint8_t* data, std::size_t size);

// Converts `picture`, decoded from the JPEG that starts at `offset` of
// `path`, to sRGB when that JPEG carries a colour profile, as LoadPhoto does
// for a photo (the second picture of a multi-picture file is read apart).
void ConvertJpegPictureToSrgbAt(const std::string& path, long long offset, Surface& picture);

// The Exif orientation of the JPEG that starts `offset` bytes into the file
// (a picture inside a multi-picture file): its segments are walked from SOI
// up to the first scan, reading at most 1 MiB. 1 when there is none or the
// file cannot be read.
int JpegExifOrientationAt(const std::string& path, long long offset);
// The Exif orientation (1 to 8) a photo file is shown by, as the loader
// applies it: a JPEG's Exif, a PNG's eXIf, a WebP's EXIF chunk, a TIFF's
// orientation tag. 1 when there is none.
int PhotoOrientation(const std::string& path);
// The size as shown (turned by its Exif orientation) of the JPEG that
// starts `offset` bytes into the file, from its headers alone. False when
// they cannot be read.
bool JpegSizeAt(const std::string& path, long long offset, int& width, int& height);

// A JPEG held in memory, decoded whole at full size and turned the right
// way up by its Exif orientation, for a reader that must have every pixel
// (a depth map): refused when its data ends before its last row or pass,
// when it has fewer bytes than its size needs (checked before any pixel
// memory is taken, as is `sizeAllowed`), or when it cannot be decoded.
// Pixels are as stored (no colour conversion); `grey` tells a one-component
// picture (its pixels then have equal channels) and `space` the colour
// space of its embedded profile (invalid without one).
struct WholeJpeg {
    Surface picture;
    bool grey = false;
    QColorSpace space;
};
enum class DecodedJpeg { Ok, Refused, OutOfMemory };
DecodedJpeg DecodeWholeJpeg(const std::uint8_t* data, std::size_t size,
                            const std::function<bool(int width, int height)>& sizeAllowed, WholeJpeg& out);

// Turns a picture as stored into the picture as meant for the given Exif
// orientation: 2 mirror, 3 rotate 180, 4 flip, 5 transpose, 6 rotate 90
// clockwise, 7 transverse, 8 rotate 90 counter-clockwise; 1 and unknown
// values leave it. False (picture unchanged) when memory runs out.
bool ApplyExifOrientation(Surface& picture, int orientation);

// What a photo load found beyond the picture itself.
struct PhotoLoadNotes {
    PhotoFormat format = PhotoFormat::Unknown;
    int orientation = 1;        // Exif orientation applied
    bool cmyk = false;          // converted from CMYK or YCCK
    bool truncated = false;     // the file ended before the picture did
    int missingRows = 0;        // rows at the bottom that were not in the file
    int totalRows = 0;
    int scale = 1;              // a JPEG decoded at 1/scale of its size (1, 2, 4, 8)
    // Where the reduced pixels start, in photo pixels before the first: a
    // picture turned after its reduced decode has its part-filled last block
    // of a flipped side first (scale minus what that block holds).
    Point phase{0, 0};
};

// Whether a GIF holds its first picture whole, and enough data for the
// screen and picture sizes it declares (a few bytes declaring a huge
// picture are refused). Qt's reader accepts both as whole pictures.
bool GifFirstPictureSound(const std::string& path);
bool GifFirstPictureSound(const std::uint8_t* data, std::size_t size);

// The warning shown when a photo's file ends early: `missingRows` of
// `totalRows` rows (and the percentage, rounded up) could not be decoded;
// 0 missing rows means a progressive picture whose finer passes are missing.
extern const char* const kTruncatedPhotoMessage;             // %1 rows, %2 of all, %3 percent
extern const char* const kTruncatedProgressivePhotoMessage;
std::string truncatedPhotoMessage(int missingRows, int totalRows);

// Reads the photo at `path` (UTF-8) into `out`, the right way up, whatever
// its name. A picture too large for one surface is read at 1/2, 1/4 or 1/8 of
// its size (JPEG) or refused with the out-of-memory message. A JPEG that ends
// early opens with what was decoded after truncatedPhotoMessage; one where
// nothing could be decoded is refused. Returns 1 on success; on failure 0 with
// no message (the caller reports it) and `out`, `width` and `height` left
// unchanged. `notes` (optional) receives what was found.
int LoadPhoto(Host& host, const std::string& path, Surface& out, int& width, int& height,
              PhotoLoadNotes* notes = nullptr);

// LoadPhoto for a caller that needs less than the photo's resolution: a
// JPEG is decoded by libjpeg's DCT scaling at 1/2, 1/4 or 1/8 of its size,
// the largest such reduction not above `reduction` (before the Exif
// orientation is applied); `notes->scale` tells the reduction used (a
// picture that does not fit in memory may be reduced further, as LoadPhoto
// does). Every other format is read whole. `reduction` 1 is LoadPhoto.
int LoadPhotoReduced(Host& host, const std::string& path, int reduction, Surface& out, int& width, int& height,
                     PhotoLoadNotes* notes = nullptr);

// The rows of a JPEG photo as stored (before its Exif orientation), each
// decoded at full size and handed to `row` with its width (top first,
// valid during the call), so that a search over the whole photo need not hold it. Only a
// whole sequential colour or grey JPEG: false for anything else, or when the
// data ends early or is damaged (some rows may have been handed over).
bool ForEachJpegPhotoRow(const std::string& path, int& width, int& height, int& orientation,
                         const std::function<void(int y, const Pixel* row, int width)>& row);
// The same at 1/scale of the photo's size (1, 2, 4 or 8, as LoadPhotoReduced
// decodes it: the same pixels, `width` and `height` the reduced size), for a
// photo stored the right way up only: false before any row is handed over
// when its Exif orientation turns it.
bool ForEachUprightJpegPhotoRowReduced(const std::string& path, int scale, int& width, int& height,
                                       const std::function<void(int y, const Pixel* row, int width)>& row);

// The size of the photo at `path` the right way up, from its headers only
// (JPEG frame and Exif orientation; the header of a PNG, TIFF, WebP or GIF).
// A BMP, or a picture whose header says nothing, is read whole as LoadPhoto
// reads it. Returns 1 with the size, or 0 when it is not a photo the program
// opens (no message).
int PhotoSize(Host& host, const std::string& path, int& width, int& height);

// Qt's image readers refuse by default any picture needing more than 128 MB
// once decoded (an 8000 x 6000 PNG photo does). Raised, once, to what the
// largest picture the program takes needs (2^28 pixels of 4 bytes); a
// reader's own size checks still come first.
void allowLargeQtImages();

}  // namespace plastora
