// Fuzz target: arbitrary bytes as a photo through LoadPhoto (format by
// content: JPEG with its Exif orientation, CMYK and early-ending handling;
// BMP; PNG/TIFF/WebP/GIF through Qt's readers), and the Exif orientation
// readers on the bytes themselves and on the JPEG segments of the file (at
// an offset given by the first byte, as pictures inside an MPO are reached).
#include "StillImageFuzz.h"
#include "core/PhotoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int orientation = plastora::ExifOrientationOf(data, size);
    if (orientation < 1 || orientation > 8) __builtin_trap();
    const std::string& path = plastora::fuzz::scratchPath(".photo");
    if (!plastora::fuzz::writeScratch(path, data, size)) return 0;
    plastora::SilentHost host;
    plastora::Surface picture;
    int w = 0, h = 0;
    if (plastora::LoadPhoto(host, path, picture, w, h) == 1 && (picture.width() != w || picture.height() != h))
        __builtin_trap();
    const int at = plastora::JpegExifOrientationAt(path, size > 0 ? data[0] % 32 : 0);
    if (at < 1 || at > 8) __builtin_trap();
    return 0;
}
