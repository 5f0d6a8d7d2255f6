// Fuzz target: arbitrary bytes as a photo through LoadPhoto, whole and
// reduced (format by
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
    // The same decoded reduced (DCT scaling at 1/2 .. 1/8, by the last byte):
    // never larger than the whole picture.
    plastora::Surface reduced;
    plastora::PhotoLoadNotes notes;
    int rw = 0, rh = 0;
    const int reduction = size > 0 ? 1 << (data[size - 1] % 4) : 2;
    if (plastora::LoadPhotoReduced(host, path, reduction, reduced, rw, rh, &notes) == 1 &&
        (reduced.width() != rw || reduced.height() != rh || notes.scale < 1 || notes.scale > 8 ||
         (!picture.empty() && (rw > picture.width() || rh > picture.height()))))
        __builtin_trap();
    // Row by row at full size: every row inside the picture, in order.
    int fw = 0, fh = 0, fo = 0, next = 0;
    bool inOrder = true;
    const bool rows = plastora::ForEachJpegPhotoRow(path, fw, fh, fo, [&](int y, const plastora::Pixel* row, int width) {
        inOrder = inOrder && y == next++ && row != nullptr && width > 0;
    });
    if (!inOrder || (rows && (next != fh || fw <= 0 || fo < 1 || fo > 8))) __builtin_trap();
    // Reduced, for an upright photo: rows in order, each as wide as the
    // reduced picture, never more of them than it has.
    int sw = 0, sh = 0, count = 0;
    bool rowsFit = true;
    const bool reducedRows = plastora::ForEachUprightJpegPhotoRowReduced(
        path, reduction, sw, sh, [&](int y, const plastora::Pixel* row, int width) {
            rowsFit = rowsFit && y == count++ && row != nullptr && width > 0;
        });
    if (!rowsFit || (reducedRows && (count != sh || sw <= 0 || (rows && (sw > fw || sh > fh))))) __builtin_trap();
    const int at = plastora::JpegExifOrientationAt(path, size > 0 ? data[0] % 32 : 0);
    if (at < 1 || at > 8) __builtin_trap();
    return 0;
}
