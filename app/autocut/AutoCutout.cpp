// The automatic cutout: the body template placed on every face.
#include "autocut/FaceDetect.h"

#include "core/Settings.h"
#include "core/StillImage.h"
#include "linewisp/linewisp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace plastora {

namespace {

// A placeable metafile starts with this key (little-endian 0x9AC6CDD7).
constexpr std::uint8_t kPlaceableKey[4] = {0xD7, 0xCD, 0xC6, 0x9A};
constexpr int kTemplateObjectLimit = 8;
constexpr int kTemplatePointLimit = 1024;
constexpr ColorRef kWhiteColour = 0x00FFFFFFu;

unsigned u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<unsigned>(b[at]) | (static_cast<unsigned>(b[at + 1]) << 8);
}

}  // namespace

bool readBodyTemplate(const std::string& path, BodyTemplate& out) {
    out = BodyTemplate{};
    // A plain file of a template's size only: a pipe would keep the read
    // waiting, a huge file filling memory.
    constexpr std::uintmax_t kMaxTemplateBytes = 16u << 20;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) > kMaxTemplateBytes || ec)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The header's bounding box gives the template's face centre (L, T) and
    // one face width (R); without the 22-byte placeable header there is none.
    if (bytes.size() < 22 || std::memcmp(bytes.data(), kPlaceableKey, 4) != 0) return false;
    out.left = static_cast<int>(u16(bytes, 6));
    out.top = static_cast<int>(u16(bytes, 8));
    out.right = static_cast<int>(u16(bytes, 10));
    // A right value of 0 leaves the scale undefined (a division by zero):
    // such a template is refused like an unreadable one.
    if (out.right == 0) return false;

    VectObjectList list;
    VectPacket packet{};
    VectPacketSetList(&packet, &list);
    packet.objectLimit = kTemplateObjectLimit;
    packet.pointLimit = kTemplatePointLimit;
    packet.bitDepth = 24;
    const int n = VectWmfRead(nullptr, bytes.data(), bytes.size(), &packet);
    if (n > 0) {
        // Every object is taken as a polygon through its points.
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::vector<Point> poly;
            poly.reserve(list.at(i)->data.size());
            for (std::uint32_t unit : list.at(i)->data) poly.push_back(VectObject::unpackPoint(unit));
            out.polygons.push_back(std::move(poly));
        }
    }
    VectRelease(&list, &packet);
    VectPacketSetList(&packet, nullptr);
    return n > 0;
}

std::vector<std::vector<Point>> placeBodyTemplate(const BodyTemplate& body, const FaceBox& face) {
    const float s = static_cast<float>(static_cast<double>(face.right - face.left) / body.right);
    const int cx = (face.left + face.right) / 2;
    const int cy = (face.top + face.bottom) / 2;
    std::vector<std::vector<Point>> placed;
    placed.reserve(body.polygons.size());
    for (const std::vector<Point>& poly : body.polygons) {
        std::vector<Point> pts;
        pts.reserve(poly.size());
        for (const Point& p : poly) {
            const float dx = s * static_cast<float>(p.x - body.left);
            const float dy = s * static_cast<float>(p.y - body.top);
            pts.push_back(Point{cx + static_cast<int>(std::trunc(dx)), cy + static_cast<int>(std::trunc(dy))});
        }
        placed.push_back(std::move(pts));
    }
    return placed;
}

std::vector<int> gradedDepths(const std::vector<int>& sortedWidths, int foregroundDepth) {
    std::vector<int> depths(sortedWidths.size(), foregroundDepth);
    if (sortedWidths.empty()) return depths;
    const std::int64_t w0 = sortedWidths.front(), wN = sortedWidths.back();
    if (w0 == wN) return depths;
    for (std::size_t j = 0; j < sortedWidths.size(); ++j)
        depths[j] = static_cast<int>((sortedWidths[j] - w0) * foregroundDepth / (wN - w0));
    return depths;
}

int AutoCutout(CStereoWorkspace& ws, bool separate, bool rememberChoice) {
    const FaceDetectSettings settings = readFaceDetectSettings(ws.settingsPath());
    BodyTemplate body;
    if (!readBodyTemplate(resolveAutoDataFile(settings.bodyData), body)) {
        ws.host().message(kBodyDataFailedMessage);
        return 0;
    }
    std::vector<FaceBox> faces = ws.faces();
    const int n = static_cast<int>(faces.size());
    const int F = ws.foregroundDepth;

    // Only region 0 stays, emptied, at the default foreground depth.
    ws.truncateRegions(std::min(ws.regionCount(), 1));
    if (ws.regionCount() == 0 && !ws.appendRegion(F)) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    fillRect(ws.region(0).mask, Rect{0, 0, ws.width(), ws.height()}, 0);
    ws.region(0).depth = F;
    ws.ClearUndo();
    ws.setModified(true);

    if (separate && n > 0) {
        // Narrowest first, by repeated exchange: each later face narrower
        // than the one at i is swapped into position i.
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j)
                if (faces[j].right - faces[j].left < faces[i].right - faces[i].left) std::swap(faces[i], faces[j]);
        std::vector<int> widths;
        for (const FaceBox& f : faces) widths.push_back(f.right - f.left);
        const std::vector<int> depths = gradedDepths(widths, F);
        ws.region(0).depth = depths[0];
        for (int j = 1; j < n; ++j) {
            if (!ws.appendRegion(depths[static_cast<std::size_t>(j)])) {
                ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                ws.setCurrentRegion(0);
                return 0;
            }
        }
    }

    const Pen pen = ws.maskPen();
    const Brush brush{kWhiteColour, false};
    for (int i = 0; i < n; ++i) {
        Surface& mask = ws.region(separate ? i : 0).mask;
        for (const std::vector<Point>& poly : placeBodyTemplate(body, faces[static_cast<std::size_t>(i)]))
            polygon(mask, pen, brush, poly);
    }

    if (const Settings stored(ws.settingsPath());
        n > 1 && rememberChoice && !stored.setFlag(SettingKey::AutoMultiLayer, separate) && stored.writable())
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    ws.setCurrentRegion(0);
    return 1;
}

}  // namespace plastora
