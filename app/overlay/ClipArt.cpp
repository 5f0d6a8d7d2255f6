#include "overlay/ClipArt.h"

#include "layers/Outline.h"
#include "pixelune/pixelune.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace plastora {

Size fitClipArt(int pw, int ph, int w, int h) {
    long long cw = pw, ch = ph;
    if (cw > w) {
        ch = ch * w / cw;
        cw = w;
    }
    if (ch > h) {
        cw = cw * h / ch;
        ch = h;
    }
    return {static_cast<int>(std::max(1LL, cw)), static_cast<int>(std::max(1LL, ch))};
}

namespace {

bool isMetafileName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".wmf";
}

// Twice the signed area of a closed polyline (positive: clockwise on the
// screen, where y grows downward).
long long signedArea2(const std::vector<Point>& pts) {
    long long a = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        a += static_cast<long long>(pts[i].x) * pts[i + 1].y - static_cast<long long>(pts[i + 1].x) * pts[i].y;
    if (!pts.empty()) a += static_cast<long long>(pts.back().x) * pts.front().y - static_cast<long long>(pts.front().x) * pts.back().y;
    return a;
}

}  // namespace

bool loadClipArt(Host& host, const std::string& path, int w, int h, Surface& picture) {
    PixDisplay display;
    display.host = &host;
    Surface loaded;
    int pw = 0, ph = 0;
    int ok;
    if (isMetafileName(path)) {
        const std::uint32_t background = kClipArtBackground;
        ok = WmfReadFile(&display, &loaded, path.c_str(), &pw, &ph, &background);
    } else {
        std::uint32_t palette[kPixPaletteSize] = {};
        std::uint32_t paletteOut[kPixPaletteSize] = {};
        int bits = 0;
        ok = ReadRasterFile(&display, &loaded, palette, path.c_str(), nullptr, 0, nullptr, &pw, &ph, &bits, 1,
                            paletteOut);
    }
    if (ok != 1 || loaded.empty()) return false;
    pw = loaded.width();
    ph = loaded.height();
    const Size fit = fitClipArt(pw, ph, std::max(1, w), std::max(1, h));
    if (fit.cx == pw && fit.cy == ph) {
        picture = std::move(loaded);
        return true;
    }
    Surface shrunk;
    if (!shrunk.create(fit.cx, fit.cy) ||
        !stretchBlit(shrunk, 0, 0, fit.cx, fit.cy, loaded, 0, 0, pw, ph, Rop::Copy, StretchMode::Halftone))
        return false;
    picture = std::move(shrunk);
    return true;
}

std::vector<OutlinePolygon> traceClipArt(Surface& picture) {
    std::vector<OutlinePolygon> out;
    const int w = picture.width(), h = picture.height();
    if (w < 3 || h < 3) return out;
    const Pixel key = picture.at(0, 0) | kOpaque;
    std::vector<unsigned char> map(static_cast<std::size_t>(w) * h, 0);
    for (int y = 1; y < h - 1; ++y) {
        Pixel* row = picture.row(y);
        unsigned char* m = map.data() + static_cast<std::size_t>(y) * w;
        for (int x = 1; x < w - 1; ++x) {
            if ((row[x] | kOpaque) == key) row[x] = kBlack;
            else m[x] = 1;
        }
    }
    // Cleaning: a lone opaque pixel (no opaque 4-neighbour) goes, a lone
    // transparent pixel inside opaque area is filled.
    const std::vector<unsigned char> before = map;
    const auto at = [&](int x, int y) { return before[static_cast<std::size_t>(y) * w + x]; };
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            const int n = at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1);
            unsigned char& m = map[static_cast<std::size_t>(y) * w + x];
            if (m && n == 0) m = 0;
            else if (!m && n == 4) m = 1;
        }
    for (Polyline& p : traceOutlineMap(map, w, h)) {
        if (p.size() < 3) continue;
        OutlinePolygon poly;
        // The tracer goes round the opaque area counter-clockwise on the
        // screen and round a hole the other way.
        poly.outer = signedArea2(p) < 0;
        poly.points = std::move(p);
        out.push_back(std::move(poly));
    }
    return out;
}

}  // namespace plastora
