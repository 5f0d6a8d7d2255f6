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
#include <filesystem>

namespace plastora {

const char* const kDepthMapReadFailedMessage = "深度マップの読込みに失敗しました";

namespace {
constexpr int kMaxDepthSide = 16384;
constexpr std::size_t kMaxDepthFileSize = std::size_t{512} << 20;

bool endsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png";
}
}  // namespace

std::string depthMapPath(const std::string& projectBase) { return projectBase + "_depth.png"; }

bool parseDepthMapImage(const std::vector<std::uint8_t>& bytes, Surface& out) {
    if (bytes.empty()) return false;
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    allowLargeQtImages();
    QImageReader reader(&buffer);
    // The size is checked before any pixel is decoded.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxDepthSide || size.height() > kMaxDepthSide)) return false;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return false;
    if (image.width() > kMaxDepthSide || image.height() > kMaxDepthSide) return false;
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

bool readDepthMapImage(const std::string& path, Surface& out) {
    // Only a plain file: reading a pipe or a device would wait for ever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
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
