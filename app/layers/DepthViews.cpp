#include "layers/DepthViews.h"

#include "core/DepthMapFile.h"
#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/ViewSynthesis.h"
#include "output/Trimming.h"
#include "overlay/ObjectDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace plastora {

namespace {

constexpr const char* kDepthSaveFilter =
    "PNGﾌｧｲﾙ (*.png)|*.png|JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||";
constexpr const char* kPhotoOpenFilter =
    "画像ﾌｧｲﾙ (*.jpg,*.jpeg,*.bmp)|*.jpg;*.jpeg;*.bmp|すべてのﾌｧｲﾙ (*.*)|*.*||";
constexpr const char* kDepthOpenFilter =
    "深度マップ (*.png,*.jpg,*.jpeg,*.bmp)|*.png;*.jpg;*.jpeg;*.bmp|すべてのﾌｧｲﾙ (*.*)|*.*||";
constexpr const char* kDepthForStereoPairMessage = "ステレオ画像には深度マップを使えません";

constexpr int kNoPixel = INT_MIN;

// Neighbouring pixels of a depth map at most this many grey levels apart lie
// on one surface; a larger step is the edge of a nearer object.
constexpr int kSurfaceGreyStep = 3;

// Gaps of one row after the pixels were moved: runs of `z` = kNoPixel. A run
// at either picture edge stays white; an inner run is mirrored in from its
// farther neighbour (the background side), like the mirror fill of the
// region plates. As those skip the masked pixels, the mirror skips pixels
// clearly nearer than the far side (over half-way to the near side): a
// second object beyond the background would otherwise be copied into the
// hole as a ghost of itself.
constexpr int kMinNearerGreys = 8;

void fillGaps(Pixel* out, int* z, int w) {
    for (int x = 0; x < w;) {
        if (z[x] != kNoPixel) {
            ++x;
            continue;
        }
        int e = x;
        while (e < w && z[e] == kNoPixel) ++e;
        const int s = x;
        if (s == 0 || e == w) {
            for (int i = s; i < e; ++i) out[i] = kWhite;
        } else if (z[s - 1] <= z[e]) {
            // The left neighbour is farther (or as far): mirror from the left.
            const int zl = z[s - 1];
            const int nearer = zl + std::max(kMinNearerGreys, (z[e] - zl) / 2);
            int skipped = 0, last = s - 1;
            for (int k = 0; s + k < e; ++k) {
                int j;
                for (;;) {
                    j = std::max(0, s - 1 - k - skipped);
                    // The white run at the picture's edge is no picture.
                    if (z[j] == kNoPixel) {
                        j = last;
                        break;
                    }
                    if (z[j] <= nearer) break;
                    if (s - 1 - k - skipped <= 0) {
                        j = last;
                        break;
                    }
                    ++skipped;
                }
                last = j;
                out[s + k] = out[j];
                z[s + k] = zl;
            }
        } else {
            const int zr = z[e];
            const int nearer = zr + std::max(kMinNearerGreys, (z[s - 1] - zr) / 2);
            int skipped = 0, last = e;
            for (int k = 0; e - 1 - k >= s; ++k) {
                int j;
                for (;;) {
                    j = std::min(w - 1, e + k + skipped);
                    // Past another gap on the right the last real pixel repeats.
                    while (j > e && z[j] == kNoPixel) --j;
                    if (j == e || z[j] <= nearer) break;
                    if (e + k + skipped >= w - 1) {
                        j = last;
                        break;
                    }
                    ++skipped;
                }
                last = j;
                out[e - 1 - k] = out[j];
                z[e - 1 - k] = zr;
            }
        }
        x = e;
    }
}

// A soft edge (an estimator's map blurs a near object's outline) has pixels
// of depths between the near and the far side; each lands on its own across
// the hole the near side leaves and would stand in it as a stripe of the
// near object. Runs of at most two landed pixels with a gap on either side
// (and landed pixels beyond both gaps), all of them soft-edge pixels (`soft`:
// a depth between their neighbours', a step from each), are made part of the
// hole, which is then filled from the background side. A thin thing nearer
// than what is around it (a pole, a wire) is no soft edge and stays.
// `solid`: scratch of w + 1.
void dropSoftEdgeIslands(int* z, const unsigned char* soft, int w, std::vector<int>& solid) {
    constexpr int kIsland = 2;
    // solid[x]: whether a run longer than an island lands at or after x.
    solid[static_cast<std::size_t>(w)] = 0;
    for (int x = w - 1, run = 0; x >= 0; --x) {
        run = z[x] == kNoPixel ? 0 : run + 1;
        solid[static_cast<std::size_t>(x)] = solid[static_cast<std::size_t>(x) + 1] || run > kIsland;
    }
    bool landedLeft = false;
    for (int x = 0; x < w;) {
        if (z[x] == kNoPixel) {
            ++x;
            continue;
        }
        int e = x;
        bool allSoft = true;
        for (; e < w && z[e] != kNoPixel; ++e) allSoft = allSoft && soft[e] != 0;
        if (e - x <= kIsland && allSoft && x > 0 && e < w && landedLeft && solid[static_cast<std::size_t>(e)]) {
            for (int i = x; i < e; ++i) z[i] = kNoPixel;
        } else {
            landedLeft = true;
        }
        x = e;
    }
}

ColorRef shadowGrey(int level) {
    const unsigned l = static_cast<unsigned>(std::clamp(level, 0, 255));
    return RGB(l, l, l);
}

// Where an object draws: the pixels that drawing it changes on black or on
// white.
bool objectFootprint(Surface& footprint, int type, const OverlayObject& o, int w, int h) {
    Surface onBlack, onWhite;
    if (!onBlack.create(w, h) || !onWhite.create(w, h) || !footprint.create(w, h)) return false;
    blit(onWhite, Rop::Whiteness);
    drawObject(onBlack, type, o, 0, 1, false, 0);
    drawObject(onWhite, type, o, 0, 1, false, 0);
    for (int y = 0; y < h; ++y) {
        const Pixel* b = onBlack.row(y);
        const Pixel* wt = onWhite.row(y);
        Pixel* f = footprint.row(y);
        for (int x = 0; x < w; ++x) f[x] = (b[x] != kBlack || wt[x] != kWhite) ? kWhite : kBlack;
    }
    return true;
}

// The map resampled to w x h by nearest pixel when its size differs (a
// document whose size changed after the map came in).
const Surface* mapAtSize(const Surface& map, int w, int h, Surface& scratch) {
    if (map.width() == w && map.height() == h) return &map;
    if (map.empty() || !scratch.create(w, h) ||
        !stretchBlit(scratch, 0, 0, w, h, map, 0, 0, map.width(), map.height(), Rop::Copy, StretchMode::Nearest))
        return nullptr;
    return &scratch;
}

}  // namespace

std::uint8_t greyOfDepth(int depth) {
    const int d = std::clamp(depth, kDepthFarthest, kDepthNearest) - kDepthFarthest;
    constexpr int span = kDepthNearest - kDepthFarthest;
    return static_cast<std::uint8_t>((d * 255 + span / 2) / span);
}

int quarterDepthOfGrey(unsigned grey) {
    constexpr int span4 = 4 * (kDepthNearest - kDepthFarthest);
    return (static_cast<int>(std::min(grey, 255u)) * span4 + 127) / 255 + 4 * kDepthFarthest;
}

namespace {

// Each layer's grey over `out` wherever its mask is set, in order.
void drawDepthLayers(Surface& out, const std::vector<DepthLayer>& layers) {
    const int w = out.width(), h = out.height();
    for (const DepthLayer& layer : layers) {
        if (!layer.mask || layer.mask->width() < w || layer.mask->height() < h) continue;
        const Pixel grey = kOpaque | Pixel{greyOfDepth(layer.depth)} * 0x010101u;
        for (int y = 0; y < h; ++y) {
            const Pixel* m = layer.mask->row(y);
            Pixel* o = out.row(y);
            for (int x = 0; x < w; ++x)
                if (m[x] & 0x00FFFFFFu) o[x] = grey;
        }
    }
}

}  // namespace

bool BuildLayerDepthMap(Surface& out, int w, int h, int backgroundDepth, const std::vector<DepthLayer>& layers) {
    if (!out.createUninitialized(w, h)) return false;
    const Pixel background = kOpaque | Pixel{greyOfDepth(backgroundDepth)} * 0x010101u;
    for (int y = 0; y < h; ++y) std::fill(out.row(y), out.row(y) + w, background);
    drawDepthLayers(out, layers);
    return true;
}

bool BuildDocumentDepthMap(const CStereoWorkspace& ws, Surface& out) {
    const int w = ws.width(), h = ws.height();
    if (w <= 0 || h <= 0 || ws.source().empty() || ws.stereoPair()) return false;
    // The regions (over the imported map, when there is one), then the
    // paint layer and the objects over them, as the views layer them.
    std::vector<DepthLayer> layers;
    for (int j = 0; j < ws.regionCount(); ++j) layers.push_back({&ws.region(j).mask, ws.region(j).depth});
    auto& mutableWs = const_cast<CStereoWorkspace&>(ws);
    if (ws.hasPaintLayer()) layers.push_back({&mutableWs.paintMask(), ws.paintDepth});
    std::vector<Surface> footprints(static_cast<std::size_t>(ws.objectCount()));
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (!e.object) continue;
        if (!objectFootprint(footprints[static_cast<std::size_t>(i)], e.type, *e.object, w, h)) return false;
        // Texts kept flat sit in the picture plane in every view.
        const bool flat = e.type == kObjectText && (e.object->flags & kTextFlat);
        layers.push_back({&footprints[static_cast<std::size_t>(i)], flat ? 0 : e.object->depth});
    }
    if (!ws.hasDepthMap()) return BuildLayerDepthMap(out, w, h, ws.backgroundDepth, layers);
    Surface scratch;
    const Surface* map = mapAtSize(ws.depthMap(), w, h, scratch);
    if (!map || !out.createCopy(*map)) return false;
    drawDepthLayers(out, layers);
    return true;
}

bool BuildDocumentPhoto(const CStereoWorkspace& ws, Surface& out) {
    if (ws.source().empty() || !out.createCopy(ws.source())) return false;
    auto& mutableWs = const_cast<CStereoWorkspace&>(ws);
    if (ws.hasPaintLayer()) copyThroughMask(out, mutableWs.paintLayer(), mutableWs.paintMask());
    ws.DrawObjects(out, -1);
    return true;
}

bool BuildRgbd(Surface& out, const Surface& photo, const Surface& depthMap) {
    if (photo.empty() || photo.width() != depthMap.width() || photo.height() != depthMap.height()) return false;
    const int w = photo.width();
    if (!out.createUninitialized(2 * w, photo.height())) return false;
    for (int y = 0; y < photo.height(); ++y) {
        std::copy(photo.row(y), photo.row(y) + w, out.row(y));
        std::copy(depthMap.row(y), depthMap.row(y) + w, out.row(y) + w);
    }
    return true;
}

bool RenderDepthView(Surface& view, const Surface& source, const Surface& depthMap, int a, int n, int strength,
                     int ratio) {
    const int w = source.width(), h = source.height();
    if (source.empty() || depthMap.width() != w || depthMap.height() != h || n < 1) return false;
    if ((view.width() != w || view.height() != h) && !view.createUninitialized(w, h)) return false;
    // The shift of every grey level, once.
    int shiftOf[256];
    for (unsigned g = 0; g < 256; ++g) shiftOf[g] = quarterDepthShift(a, n, quarterDepthOfGrey(g), strength, ratio);
    std::vector<int> z(static_cast<std::size_t>(w)), solid(static_cast<std::size_t>(w) + 1);
    std::vector<unsigned char> soft(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        const Pixel* src = source.row(y);
        const Pixel* d = depthMap.row(y);
        Pixel* out = view.row(y);
        std::fill(z.begin(), z.end(), kNoPixel);
        std::fill(soft.begin(), soft.end(), 0);
        for (int x = 0; x < w; ++x) {
            const unsigned g = d[x] & 0xFFu;
            const int to = x + shiftOf[g];
            // Nearer (brighter) wins; of equals the later pixel.
            const int q = static_cast<int>(g);
            if (to >= 0 && to < w && q >= z[static_cast<std::size_t>(to)]) {
                z[static_cast<std::size_t>(to)] = q;
                out[to] = src[x];
                // A pixel of a soft edge: its depth between its neighbours',
                // each a step away (an estimator blurs an outline so).
                const int gl = x > 0 ? static_cast<int>(d[x - 1] & 0xFFu) : q;
                const int gr = x + 1 < w ? static_cast<int>(d[x + 1] & 0xFFu) : q;
                soft[static_cast<std::size_t>(to)] = std::min(gl, gr) + kSurfaceGreyStep < q &&
                                                     q + kSurfaceGreyStep < std::max(gl, gr);
            }
            if (x + 1 >= w) continue;
            const unsigned g1 = d[x + 1] & 0xFFu;
            const int q1 = static_cast<int>(g1);
            const int next = x + 1 + shiftOf[g1];
            if (std::abs(q1 - q) <= kSurfaceGreyStep) {
                // A surface whose depth rises along the row is stretched: its
                // neighbouring pixels land apart. The columns between them
                // are the surface's own (at the nearer of its two depths
                // there), not a gap a farther pixel landing there could show
                // through.
                const int zs = std::min(q, q1);
                for (int t = std::max(0, to + 1); t < std::min(w, next); ++t)
                    if (zs >= z[static_cast<std::size_t>(t)]) {
                        z[static_cast<std::size_t>(t)] = zs;
                        out[t] = src[x];
                        soft[static_cast<std::size_t>(t)] = 0;
                    }
            } else if (next - to <= 3) {
                // One or two columns opened at a step (a noisy or enlarged
                // map steps by more than a surface's greys; a hole so narrow
                // shows no background worth the name): taken by the farther
                // side, where nothing at least as near has landed.
                const int zf = std::min(q, q1);
                const Pixel far = q <= q1 ? src[x] : src[x + 1];
                for (int t = std::max(0, to + 1); t < std::min(w, next); ++t)
                    if (zf > z[static_cast<std::size_t>(t)]) {
                        z[static_cast<std::size_t>(t)] = zf;
                        out[t] = far;
                        soft[static_cast<std::size_t>(t)] = 0;
                    }
            }
        }
        dropSoftEdgeIslands(z.data(), soft.data(), w, solid);
        fillGaps(out, z.data(), w);
    }
    return true;
}

namespace {

// The document's map at the working size with its cut-out regions drawn
// over it at their depths, as the layer views draw regions over the
// background: a region cut on a map document comes forward or goes back as
// a whole. Null when memory runs out.
const Surface* mapWithRegions(const CStereoWorkspace& ws, Surface& scratch, Surface& combined) {
    const Surface* map = mapAtSize(ws.depthMap(), ws.width(), ws.height(), scratch);
    if (!map || ws.regionCount() == 0) return map;
    std::vector<DepthLayer> layers;
    for (int j = 0; j < ws.regionCount(); ++j) layers.push_back({&ws.region(j).mask, ws.region(j).depth});
    if (!combined.createCopy(*map)) return nullptr;
    drawDepthLayers(combined, layers);
    return &combined;
}

}  // namespace

void GenerateDepthViews(CStereoWorkspace& ws, ProgressSink* progress, int strength, bool extremesOnly) {
    ws.setStrength(strength);
    ws.ClearUndo();
    if (progress) {
        progress->setRange(0, 100);
        progress->setPosition(1);
    }
    ws.discardViews();
    const int n = ws.viewCount();
    Surface scratch, combined;
    const Surface* map = mapWithRegions(ws, scratch, combined);
    if (!map) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    const ColorRef shadow = shadowGrey(ws.settings().shadowLevel);
    const Rect paintBounds = ws.hasPaintLayer() ? maskBounds(ws.paintMask()) : Rect{};
    const int step = extremesOnly ? std::max(1, n - 1) : 1;
    for (int a = 0; a < n; a += step) {
        Surface& v = ws.view(a);
        if (!RenderDepthView(v, ws.source(), *map, a, n, strength)) {
            v.reset();
            ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            break;
        }
        if (ws.hasPaintLayer()) {
            if (ws.paintShadow)
                paintThroughMask(v, ws.paintMask(), nullptr, shadow, viewShift(a, n, ws.backgroundDepth, strength),
                                 paintBounds);
            paintThroughMask(v, ws.paintMask(), &ws.paintLayer(), 0, viewShift(a, n, ws.paintDepth, strength),
                             paintBounds);
        }
        ws.DrawObjects(v, a);
        if (progress && !extremesOnly) progress->setPosition(100 * (a + 1) / n);
    }
}

bool GenerateDepthHighResPair(CStereoWorkspace& ws, Surface& left, Surface& right) {
    const int r = std::max(1, ws.settings().hdRatio);
    const int W = ws.width() * r, H = ws.height() * r, n = ws.viewCount();
    Surface enlarged, bigMap, scratch, combined;
    const Surface* source = &ws.highRes(0);
    bool ok = true;
    if (ws.highResCount() < 1 || source->width() != W || source->height() != H) {
        ok = enlarged.create(W, H) && stretchBlit(enlarged, 0, 0, W, H, ws.source(), 0, 0, ws.width(), ws.height(),
                                                  Rop::Copy, StretchMode::Halftone);
        source = &enlarged;
    }
    const Surface* map = ok ? mapWithRegions(ws, scratch, combined) : nullptr;
    ok = ok && map && bigMap.create(W, H) &&
         stretchBlit(bigMap, 0, 0, W, H, *map, 0, 0, map->width(), map->height(), Rop::Copy, StretchMode::Nearest) &&
         RenderDepthView(right, *source, bigMap, 0, n, ws.strength(), r) &&
         RenderDepthView(left, *source, bigMap, n - 1, n, ws.strength(), r);
    if (!ok) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    return true;
}

int ExportDepthMap(CStereoWorkspace& ws, const std::string& pathIn, bool rgbd) {
    if (ws.source().empty()) return 0;
    if (ws.stereoPair()) {
        ws.host().message(kDepthForStereoPairMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = ws.host().askSavePath("png", kDepthSaveFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    Surface depth, photo, both;
    if (!BuildDocumentDepthMap(ws, depth) ||
        (rgbd && (!BuildDocumentPhoto(ws, photo) || !BuildRgbd(both, photo, depth)))) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    return writeDepthMapImage(ws.host(), rgbd ? both : depth, path, !rgbd, ws.settings().jpegQuality);
}

bool StretchMapThroughPhoto(Surface& out, const Surface& map, Size photo, const Rect& src, const Rect& dst) {
    if (map.empty() || out.empty() || photo.cx <= 0 || photo.cy <= 0) return false;
    // Nearest-pixel stretches work one axis at a time. For each axis, a line
    // of the map's column or row numbers (plus one) is sent through both
    // stretches, to the photo's length and then through the rectangles;
    // what lands on `out`'s line is the map column or row of each pixel, 0
    // where nothing lands.
    const auto axis = [](int photoLen, int mapLen, int srcPos, int srcLen, int dstPos, int dstLen, int outLen,
                         std::vector<int>& taken) {
        Surface numbers, line, placed;
        if (!numbers.createUninitialized(mapLen, 1) || !line.create(photoLen, 1) || !placed.create(outLen, 1))
            return false;
        for (int i = 0; i < mapLen; ++i) numbers.row(0)[i] = static_cast<Pixel>(i + 1);
        if (!stretchBlit(line, 0, 0, photoLen, 1, numbers, 0, 0, mapLen, 1, Rop::Copy, StretchMode::Nearest) ||
            !stretchBlit(placed, dstPos, 0, dstLen, 1, line, srcPos, 0, srcLen, 1, Rop::Copy, StretchMode::Nearest))
            return false;
        taken.resize(static_cast<std::size_t>(outLen));
        for (int i = 0; i < outLen; ++i)
            taken[static_cast<std::size_t>(i)] = static_cast<int>(placed.row(0)[i] & 0xFFFFFF);
        return true;
    };
    std::vector<int> columns, rows;
    try {
        if (!axis(photo.cx, map.width(), src.left, src.width(), dst.left, dst.width(), out.width(), columns) ||
            !axis(photo.cy, map.height(), src.top, src.height(), dst.top, dst.height(), out.height(), rows))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int y = 0; y < out.height(); ++y) {
        const int r = rows[static_cast<std::size_t>(y)];
        if (r == 0) continue;
        const Pixel* m = map.row(r - 1);
        Pixel* o = out.row(y);
        for (int x = 0; x < out.width(); ++x)
            if (const int c = columns[static_cast<std::size_t>(x)]) o[x] = m[c - 1];
    }
    return true;
}

namespace {

bool sameShape(int w, int h, int pw, int ph) {
    if (w <= 0 || h <= 0 || pw <= 0 || ph <= 0) return false;
    const double a = static_cast<double>(w) / h, b = static_cast<double>(pw) / ph;
    return std::abs(a - b) <= 0.02 * b;
}

// A map whose shape is not the photo's as shown, but one a map for it comes
// in: the photo and the depth side by side (the RGBD layout) gives its right
// half; a map of the camera's own pixels, as a phone stores its depth image
// (with no orientation of its own), is turned as the photo's Exif
// orientation turns the photo. Any other map is stretched over the photo
// as it is. False only when memory runs out.
bool fitMapToPhotoShape(Surface& map, const std::string& photoPath, Size shown) {
    const int w = map.width(), h = map.height();
    if (sameShape(w, h, shown.cx, shown.cy)) return true;
    if (w % 2 == 0 && sameShape(w / 2, h, shown.cx, shown.cy)) {
        Surface right;
        if (!right.create(w / 2, h)) return false;
        blit(right, 0, 0, w / 2, h, &map, w / 2, 0, Rop::Copy);
        map = std::move(right);
        return true;
    }
    if (!sameShape(h, w, shown.cx, shown.cy)) return true;
    const int orientation = PhotoOrientation(photoPath);
    if (orientation < 5 || orientation > 8) return true;
    return ApplyExifOrientation(map, orientation);
}

}  // namespace

int OpenPhotoWithDepth(CStereoWorkspace& ws, const std::string& photoPathIn, const std::string& depthPathIn) {
    std::string photoPath = photoPathIn, depthPath = depthPathIn;
    if (photoPath.empty()) {
        auto chosen = ws.host().askOpenPath("jpg", kPhotoOpenFilter);
        if (!chosen) return 0;
        photoPath = *chosen;
    }
    if (depthPath.empty()) {
        auto chosen = ws.host().askOpenPath("png", kDepthOpenFilter);
        if (!chosen) return 0;
        depthPath = *chosen;
    }
    Surface map;
    if (!readDepthMapImage(depthPath, map)) {
        ws.host().message(kDepthMapReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    if (!ws.Open(photoPath)) return 0;
    if (ws.stereoPair()) {
        ws.host().message(kDepthForStereoPairMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    if (!isProjectPath(photoPath) && !fitMapToPhotoShape(map, photoPath, ws.trimPhotoSize())) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    // The map follows the photo: first to the photo's own size, turned by
    // the manual trimming's straightening when there was one (the corners it
    // brings in are farthest), then through the rectangles the working-size
    // step used (margins are farthest).
    const Size photoSize = ws.trimPhotoSize();
    const Rect src = ws.trimSource(), dst = ws.trimDest();
    const double angle = ws.rotationAngle();
    Surface atPhoto, turned, working;
    // A project opened this way has no trimming of its own: the map is
    // stretched over the whole picture.
    const bool haveRects = !isProjectPath(photoPath) && photoSize.cx > 0 && photoSize.cy > 0 && src.width() > 0 &&
                           src.height() > 0 && dst.width() > 0 && dst.height() > 0;
    bool ok = working.create(ws.width(), ws.height());
    if (ok && haveRects && angle == 0.0) {
        ok = StretchMapThroughPhoto(working, map, photoSize, src, dst);
    } else if (ok && haveRects) {
        ok = atPhoto.create(photoSize.cx, photoSize.cy) &&
             stretchBlit(atPhoto, 0, 0, photoSize.cx, photoSize.cy, map, 0, 0, map.width(), map.height(), Rop::Copy,
                         StretchMode::Nearest) &&
             (angle == 0.0 || rotatePicture(turned, atPhoto, angle, kBlack, true));
        const Surface& from = angle == 0.0 ? atPhoto : turned;
        ok = ok && stretchBlit(working, dst.left, dst.top, dst.width(), dst.height(), from, src.left, src.top,
                               src.width(), src.height(), Rop::Copy, StretchMode::Nearest);
    } else if (ok) {
        ok = stretchBlit(working, 0, 0, ws.width(), ws.height(), map, 0, 0, map.width(), map.height(), Rop::Copy,
                         StretchMode::Nearest);
    }
    if (!ok) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    ws.depthMap() = std::move(working);
    ws.setDepthMapSource(depthPath);
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

}  // namespace plastora
