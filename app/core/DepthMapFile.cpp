#include "core/DepthMapFile.h"

#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/StillImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace plastora {

const char* const kDepthMapReadFailedMessage = "深度マップの読込みに失敗しました";

namespace {
// A map as large as a project's picture may be: a project stores its map at
// the working size and must read it back.
constexpr int kMaxDepthSide = kProjectMaxSide;
bool depthSizeAllowed(int w, int h) {
    return w <= kMaxDepthSide && h <= kMaxDepthSide && std::int64_t{w} * h <= kProjectMaxPixels;
}
constexpr std::size_t kMaxDepthFileSize = std::size_t{512} << 20;

// A BMP holds its rows whole: Qt's reader fills rows a cut file lacks with
// black (the farthest depth) and calls it read. Uncompressed pictures are
// checked against the size their header gives (the last row need not carry
// its padding).
bool bmpIsWhole(const std::vector<std::uint8_t>& b) {
    if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') return true;
    if (b.size() < 26) return false;
    const auto u16 = [&](std::size_t at) { return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8; };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    const std::uint32_t offset = u32(10), header = u32(14);
    std::int64_t width = 0, height = 0;
    unsigned bits = 0;
    if (header == 12) {  // the OS/2 core header: 16-bit sizes, no compression
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else if (header >= 40 && b.size() >= 34) {
        const std::uint32_t compression = u32(30);
        if (compression != 0 && compression != 3) return true;  // run-length data has no fixed size
        width = static_cast<std::int32_t>(u32(18));
        height = static_cast<std::int32_t>(u32(22));
        bits = u16(28);
    } else {
        return true;  // left to the reader
    }
    if (width <= 0 || height == 0 || height == INT32_MIN || bits == 0 || bits > 32) return true;
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * bits;
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    return std::uint64_t{offset} + stride * (rows - 1) + (rowBits + 7) / 8 <= b.size();
}

bool endsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png";
}
}  // namespace

std::string depthMapPath(const std::string& projectBase) { return projectBase + "_depth.png"; }

namespace {

// The map's depths: a grey picture's own values, a colour picture's
// luminance as Qt gives it (by the colour space the picture carries).
bool greyToSurface(const QImage& image, Surface& out) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull()) return false;
    Surface s;
    if (!s.createUninitialized(grey.width(), grey.height())) return false;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* g = grey.constScanLine(y);
        Pixel* p = s.row(y);
        for (int x = 0; x < grey.width(); ++x) p[x] = kOpaque | (Pixel{g[x]} * 0x010101u);
    }
    out = std::move(s);
    return true;
}

// A JPEG map goes through our own decoder, which knows when the data ran
// out: Qt's reader fills the missing rows with grey and calls the picture
// read, giving every missing row a middle depth, and an end marker appended
// to a cut file hides the cut from any check of the bytes. Grey and colour
// maps come out as Qt's reader gave them; a CMYK map (rare) takes the photo
// reader's conversion to RGB, which rounds where Qt's truncated and reads a
// map without Adobe's marker as plain ink values.
bool parseJpegDepthMap(const std::vector<std::uint8_t>& bytes, Surface& out) {
    WholeJpeg jpeg;
    if (DecodeWholeJpeg(bytes.data(), bytes.size(), depthSizeAllowed, jpeg) != DecodedJpeg::Ok) return false;
    Surface& pic = jpeg.picture;
    if (jpeg.grey) {  // decoded with equal channels: the depths as they are
        out = std::move(pic);
        return true;
    }
    QImage view(reinterpret_cast<const uchar*>(pic.bits()), pic.width(), pic.height(),
                static_cast<qsizetype>(pic.width()) * 4, QImage::Format_RGB32);
    if (jpeg.space.isValid()) view.setColorSpace(jpeg.space);
    return greyToSurface(view, out);
}

}  // namespace

bool parseDepthMapImage(const std::vector<std::uint8_t>& bytes, Surface& out) {
    if (bytes.empty() || !bmpIsWhole(bytes)) return false;
    // The formats photos come in, as the photo reader takes them; not every
    // format Qt has a reader for (a few bytes of MNG made a canvas of
    // gigabytes).
    const PhotoFormat format = DetectPhotoFormat(bytes.data(), bytes.size());
    if (format == PhotoFormat::Unknown) return false;
    if (format == PhotoFormat::Jpeg) return parseJpegDepthMap(bytes, out);
    if (format == PhotoFormat::Gif && !GifFirstPictureSound(bytes.data(), bytes.size())) return false;
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    allowLargeQtImages();
    QImageReader reader(&buffer);
    // Turned by its Exif orientation as the photo is: a map and a photo
    // from one camera carry the same tag over the same sensor pixels.
    reader.setAutoTransform(true);
    // The size is checked before any pixel is decoded.
    const QSize size = reader.size();
    if (size.isValid() && !depthSizeAllowed(size.width(), size.height())) return false;
    // A BMP codes at most 255 pixels in two bytes (a run); one whose header
    // is beyond checking, or whose size its bytes cannot code, is refused
    // before Qt's reader makes its picture (a 39-byte file made 1.3 GB).
    constexpr std::uint64_t kPixelsPerBmpByte = 128, kAlwaysAllowedPixels = std::uint64_t{1} << 22;
    if (format == PhotoFormat::Bmp &&
        (!size.isValid() || static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height()) >
                                bytes.size() * kPixelsPerBmpByte + kAlwaysAllowedPixels))
        return false;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return false;
    if (!depthSizeAllowed(image.width(), image.height())) return false;
    return greyToSurface(image, out);
}

bool readDepthMapImage(const std::string& path, Surface& out) {
    std::vector<std::uint8_t> bytes;
    return readWholeFile(path, bytes, kMaxDepthFileSize) && parseDepthMapImage(bytes, out);
}

int writeDepthMapImage(Host& host, const Surface& picture, const std::string& path, bool grey, int jpegQuality) {
    if (!endsWithPng(path)) return SaveStillImage(host, picture, picture.width(), picture.height(), path, jpegQuality);
    QImage image(picture.width(), picture.height(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    bool ok = !image.isNull();
    for (int y = 0; ok && y < picture.height(); ++y) {
        const Pixel* p = picture.row(y);
        uchar* o = image.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (grey) {
                o[x] = static_cast<uchar>(p[x] & 0xFFu);
            } else {
                o[3 * x] = static_cast<uchar>(p[x] >> 16);
                o[3 * x + 1] = static_cast<uchar>(p[x] >> 8);
                o[3 * x + 2] = static_cast<uchar>(p[x]);
            }
        }
    }
    QByteArray encoded;
    if (ok) {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        ok = image.save(&buffer, "PNG");
    }
    if (ok)
        ok = writeFileAtomically(path, std::vector<std::uint8_t>(encoded.begin(), encoded.end()));
    if (!ok) host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return ok ? 1 : 0;
}

}  // namespace plastora
