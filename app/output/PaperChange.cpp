// "用紙サイズ変更(&F)...": the open picture and everything made on it brought
// to a new working size.
#include "output/PaperChange.h"

#include "core/StereoWorkspace.h"
#include "output/Trimming.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace plastora {

double objectScaleX(const TrimPlan& plan) {
    return static_cast<double>(plan.dest.width()) / std::max(plan.source.width(), 1);
}

double objectScaleY(const TrimPlan& plan) {
    return static_cast<double>(plan.dest.height()) / std::max(plan.source.height(), 1);
}

namespace {

int truncProduct(int v, double k) {
    const double p = std::trunc(v * k);
    return static_cast<int>(std::clamp(p, -1e9, 1e9));
}

}  // namespace

int mapObjectCoordinate(int v, double k, int d, int s) {
    const double p = std::floor((static_cast<double>(v) - s) * k) + d;
    return static_cast<int>(std::clamp(p, -1e9, 1e9));
}

int clampObjectPosition(int v, int size, int limit) {
    if (v < 0) v = 0;
    if (v >= limit - size) v = limit - size - 1;
    // An object as large as the picture (or larger) would be pushed off its
    // left or top edge: it starts at the edge instead.
    if (v < 0) v = 0;
    return v;
}

Size measureTextObject(const OverlayObject& o) {
    const int size = o.flags & kTextPointSizeMask;
    Font font;
    font.face = o.face;
    font.height = -size;
    font.weight = (o.flags & kTextBold) ? 700 : 400;
    font.italic = (o.flags & kTextItalic) != 0;
    font.antialiased = (o.flags & kTextAntialiased) != 0;
    font.vertical = (o.flags & kTextVertical) != 0;
    Size extent;
    if (!font.vertical) {
        extent = textExtent(font, o.text);
    } else {
        // One character at a time: the widest by the sum of the heights.
        for (const std::string& ch : textCharacters(o.text)) {
            const Size c = textExtent(font, ch);
            extent.cx = std::max(extent.cx, c.cx);
            extent.cy += c.cy;
        }
    }
    if (font.italic && extent.cx > 0) extent.cx += size / 4;
    return extent;
}

void remapObject(OverlayObject& o, std::int32_t type, const TrimPlan& plan, int W, int H) {
    const double kx = objectScaleX(plan), ky = objectScaleY(plan);
    const auto mapX = [&](int v) { return mapObjectCoordinate(v, kx, plan.dest.left, plan.source.left); };
    const auto mapY = [&](int v) { return mapObjectCoordinate(v, ky, plan.dest.top, plan.source.top); };
    // The box's far edges go where the picture's pixels there go.
    const int right = mapX(o.x + o.width), bottom = mapY(o.y + o.height);
    o.x = mapX(o.x);
    o.y = mapY(o.y);
    const auto scaledX = [kx](int v) { return std::max(1, truncProduct(v, kx)); };
    const auto scaledY = [ky](int v) { return std::max(1, truncProduct(v, ky)); };
    if (type == kObjectText) {
        // The point size (8 bits of the flags) is the letters' height.
        const int size = std::clamp(truncProduct(o.flags & kTextPointSizeMask, ky), 1, kTextPointSizeMask);
        o.flags = (o.flags & ~kTextPointSizeMask) | size;
        const Size extent = measureTextObject(o);
        if (extent.cx > 0 && extent.cy > 0) {
            o.width = o.naturalWidth = extent.cx;
            o.height = o.naturalHeight = extent.cy;
        } else {
            o.width = scaledX(o.width);
            o.height = scaledY(o.height);
        }
    } else {
        o.width = std::max(1, right - o.x);
        o.height = std::max(1, bottom - o.y);
    }
    o.x = clampObjectPosition(o.x, o.width, W);
    o.y = clampObjectPosition(o.y, o.height, H);
}

namespace {

// A rectangle of the old W x H picture in the pixels of an image of
// `size` made from it (the high-resolution images are R times larger).
Rect rectOnImage(const Rect& r, int oldW, int oldH, int imageW, int imageH) {
    const auto sx = [&](int v) { return static_cast<int>(static_cast<long long>(v) * imageW / oldW); };
    const auto sy = [&](int v) { return static_cast<int>(static_cast<long long>(v) * imageH / oldH); };
    return {sx(r.left), sy(r.top), sx(r.right), sy(r.bottom)};
}

enum class LayerKind { Picture, Mask, Depth };

// One layer through the plan, straightened first when the trimming dialog
// turned the picture. A mask stays black and white; a depth map is taken by
// nearest pixel, as a blend of two depths at an edge would be a depth of
// neither side, drawn as a stray line apart from the edge in every view.
bool remapLayer(Surface& out, int W, int H, const Surface& layer, const Rect& source, const Rect& dest, double angle,
                Pixel background, LayerKind kind) {
    Surface turned;
    const Surface* from = &layer;
    if (angle != 0.0) {
        if (!rotatePicture(turned, layer, angle, background, kind == LayerKind::Depth)) return false;
        from = &turned;
    }
    switch (kind) {
        case LayerKind::Mask:
            return resampleMaskThrough(out, W, H, *from, source, dest);
        case LayerKind::Depth:
            return resampleNearestThrough(out, W, H, *from, source, dest, background);
        default:
            return resampleThrough(out, W, H, *from, source, dest, background);
    }
}

}  // namespace

int CStereoWorkspace::ChangePaperSize() {
    if (m_width <= 0 || m_height <= 0 || m_source.empty()) return 0;
    const int sw0 = m_width, sh0 = m_height;
    const Settings settings(m_settingsPath);
    const PaperTable papers = readPaperTable(settings);
    bool hasHighRes = false;
    for (int i = 0; i < m_highResCount && i < kHighResSlots; ++i) hasHighRes |= !m_highRes[static_cast<std::size_t>(i)].empty();

    PictureDialogData d = presetPictureDialog(m_currentPath, true, m_width, m_height, m_lpi, papers, sw0, sh0, hasHighRes);
    if (m_dialogs && !m_dialogs->pictureDialog(d)) return 0;
    if (!pictureDialogValid(d)) return 0;

    const Size size = workingSize(d, papers, sw0, sh0);
    int W = size.cx, H = size.cy;
    if (W <= 0 || H <= 0) {
        m_host.message(kWorkingSizeTooSmallMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    if (!workingSizeStorable(W, H)) {
        m_host.message(kWorkingSizeTooLargeMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    // The copies R times larger: a stereo pair's pictures must follow (they
    // are the document); a photo's copy is dropped when it cannot be kept,
    // printing then enlarges the working image.
    const int R = std::max(1, m_settings.hdRatio);
    const bool keepHighRes = highResCopyHoldable(W * R, H * R);
    if (!keepHighRes && m_stereoPair) {
        m_host.message(kWorkingSizeTooLargeMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    TrimPlan plan;
    double angle = 0.0;
    Surface rotatedSource;
    if (d.trimming == kTrimManual) {
        Rect source;
        if (!runManualTrimming(m_dialogs, m_host, m_source, W, H, angle, source, rotatedSource)) return 0;
        plan = {source, {0, 0, W, H}, false};
    } else {
        plan = planTrimming(d.trimming, sw0, sh0, W, H);
    }

    // Everything is made at the new size first; the workspace changes only
    // when all of it could be had, so a failure leaves the old picture.
    const auto outOfMemory = [this] {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    };
    Surface source;
    if (!resampleThrough(source, W, H, rotatedSource.empty() ? m_source : rotatedSource, plan.source, plan.dest,
                         kWhite))
        return outOfMemory();
    std::array<Surface, kMaxRegions> masks;
    for (int i = 0; i < m_regionCount; ++i) {
        if (!remapLayer(masks[static_cast<std::size_t>(i)], W, H, region(i).mask, plan.source, plan.dest, angle,
                        kBlack, LayerKind::Mask))
            return outOfMemory();
    }
    Surface paint, paintMask;
    if (hasPaintLayer()) {
        if (!remapLayer(paint, W, H, m_paint, plan.source, plan.dest, angle, kBlack, LayerKind::Picture) ||
            !remapLayer(paintMask, W, H, m_paintMask, plan.source, plan.dest, angle, kBlack, LayerKind::Mask))
            return outOfMemory();
    }
    // An imported depth map follows like the paint layer (margins farthest).
    Surface depthMap;
    if (hasDepthMap() && !remapLayer(depthMap, W, H, m_depthMap, plan.source, plan.dest, angle, kBlack, LayerKind::Depth))
        return outOfMemory();
    std::array<Surface, kHighResSlots> high;
    for (int i = 0; keepHighRes && i < m_highResCount && i < kHighResSlots; ++i) {
        const Surface& old = m_highRes[static_cast<std::size_t>(i)];
        if (old.empty()) continue;
        const Rect from = rectOnImage(plan.source, sw0, sh0, old.width(), old.height());
        if (!remapLayer(high[static_cast<std::size_t>(i)], W * R, H * R, old, from, scaleRect(plan.dest, R), angle,
                        kWhite, LayerKind::Picture))
            return outOfMemory();
    }

    // Commit.
    discardViews();
    m_width = W;
    m_height = H;
    m_source = std::move(source);
    for (int i = 0; i < m_regionCount; ++i) region(i).mask = std::move(masks[static_cast<std::size_t>(i)]);
    if (hasPaintLayer()) {
        m_paint = std::move(paint);
        m_paintMask = std::move(paintMask);
    }
    if (hasDepthMap()) m_depthMap = std::move(depthMap);
    if (!keepHighRes) {
        for (Surface& s : m_highRes) s.reset();
        m_highResCount = 0;
    }
    for (int i = 0; i < m_highResCount && i < kHighResSlots; ++i)
        if (!high[static_cast<std::size_t>(i)].empty()) m_highRes[static_cast<std::size_t>(i)] = std::move(high[static_cast<std::size_t>(i)]);
    for (int i = 0; i < m_objectCount; ++i) {
        ObjectEntry& e = objectEntry(i);
        if (e.object) remapObject(*e.object, e.type, plan, W, H);
    }
    // Snapshots taken at the old size cannot be restored any more.
    ClearUndo();
    m_lpi = d.lpi;
    m_trimmingMode = d.trimming;
    m_rotationAngle = angle;
    m_trimSource = plan.source;
    m_trimDest = plan.dest;
    m_trimPhotoSize = {sw0, sh0};
    m_modified = true;
    // A stereo pair goes back to image editing, as after opening it: mask
    // editing would give it a region 0 that its project never reads back.
    SetMode(m_regionCount == 0 && !m_stereoPair ? kModeMask : kModeImage);
    return 1;
}

}  // namespace plastora
