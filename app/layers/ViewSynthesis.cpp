#include "layers/ViewSynthesis.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace plastora {

namespace {

constexpr Pixel kColourBits = 0x00FFFFFFu;

inline bool masked(Pixel p) { return (p & kColourBits) != 0; }

// True when any pixel of the span is masked; a plain OR over the span, which
// the compiler turns into vector code.
bool anyMasked(const Pixel* m, int n) {
    Pixel acc = 0;
    for (int x = 0; x < n; ++x) acc |= m[x];
    return (acc & kColourBits) != 0;
}

// The columns [x0, x1) of a row of width `width` that land inside [0, width)
// when moved right by `shift`.
struct Span {
    int x0, x1;
};
Span shiftedSpan(const Rect& bounds, int shift, int width) {
    return {std::max(bounds.left, -shift), std::min(bounds.right, width - shift)};
}

}  // namespace

void mirrorFillRow(const Pixel* src, const Pixel* msk, Pixel* out, int w) {
    std::memcpy(out, src, static_cast<std::size_t>(w) * sizeof(Pixel));
    int x = 0;
    while (x < w) {
        // Skip unmasked pixels eight at a time.
        while (x + 8 <= w && !anyMasked(msk + x, 8)) x += 8;
        if (x >= w) break;
        if (!masked(msk[x])) {
            ++x;
            continue;
        }
        const int s = x;
        int e = s + 1;
        while (e < w && masked(msk[e])) ++e;
        const int n = (e - s) / 2;
        // Left half: the nearest unmasked pixels to the left, mirrored in.
        int j = s;
        for (int k = 0; k <= n; ++k) {
            if (j > 0) {
                --j;
                while (j > 0 && masked(msk[j])) --j;
            }
            out[s + k] = src[j];
        }
        // Right half, written last so it wins where the halves meet.
        int r = e - 1;
        for (int k = 0; k <= n; ++k) {
            if (r < w - 1) {
                ++r;
                while (r < w - 1 && masked(msk[r])) ++r;
            }
            out[e - 1 - k] = src[r];
        }
        x = e + 1;
    }
}

bool buildRegionPlate(Surface& plate, const Surface& source, const Surface& unionMask) {
    const int w = source.width(), h = source.height();
    if (w <= 0 || unionMask.width() != w || unionMask.height() != h) return false;
    if (!plate.createUninitialized(w, h)) return false;
    for (int y = 0; y < h; ++y) mirrorFillRow(source.row(y), unionMask.row(y), plate.row(y), w);
    return true;
}

bool buildPlateCard(Surface& card, const Surface& source, const Surface& unionMask, const Surface& mask,
                    const Rect& b) {
    if (b.width() <= 0 || b.height() <= 0) {
        card.reset();
        return true;
    }
    if (!card.createUninitialized(b.width(), b.height())) return false;
    std::vector<Pixel> row(static_cast<std::size_t>(source.width()));
    for (int y = 0; y < b.height(); ++y) {
        mirrorFillRow(source.row(b.top + y), unionMask.row(b.top + y), row.data(), source.width());
        const Pixel* s = row.data() + b.left;
        const Pixel* m = mask.row(b.top + y) + b.left;
        Pixel* c = card.row(y);
        for (int x = 0; x < b.width(); ++x) c[x] = masked(m[x]) ? (s[x] | kOpaque) : kColourBits;
    }
    return true;
}

void orWithin(Surface& target, const Surface& mask, const Rect& b) {
    for (int y = std::max(0, b.top); y < std::min(target.height(), b.bottom); ++y) {
        const Pixel* m = mask.row(y);
        Pixel* d = target.row(y);
        for (int x = std::max(0, b.left); x < std::min(target.width(), b.right); ++x) d[x] |= m[x];
    }
}

void copyShiftedOnWhite(Surface& to, const Surface& from, int x) {
    const int w = to.width();
    const int keep = std::max(0, w - std::abs(x));
    for (int y = 0; y < to.height(); ++y) {
        Pixel* d = to.row(y);
        const Pixel* s = from.row(y);
        if (x >= 0) {
            std::fill(d, d + std::min(x, w), kWhite);
            std::memcpy(d + std::min(x, w), s, static_cast<std::size_t>(keep) * sizeof(Pixel));
        } else {
            std::memcpy(d, s + std::min(-x, w), static_cast<std::size_t>(keep) * sizeof(Pixel));
            std::fill(d + keep, d + w, kWhite);
        }
    }
}

Rect maskBounds(const Surface& mask) {
    const int w = mask.width();
    int x0 = w, x1 = -1, y0 = -1, y1 = -1;
    for (int y = 0; y < mask.height(); ++y) {
        const Pixel* m = mask.row(y);
        if (!anyMasked(m, w)) continue;
        if (y0 < 0) y0 = y;
        y1 = y;
        // Only the parts of the row outside the box found so far need a look.
        int first = 0;
        while (first < x0 && !masked(m[first])) ++first;
        x0 = std::min(x0, first);
        int last = w - 1;
        while (last > x1 && !masked(m[last])) --last;
        x1 = std::max(x1, last);
    }
    if (y0 < 0) return Rect{};
    return Rect{x0, y0, x1 + 1, y1 + 1};
}

void paintThroughMask(Surface& target, const Surface& mask, const Surface* layer, ColorRef colour, int x,
                      const Rect& bounds) {
    const int w = target.width();
    if (w <= 0 || mask.width() != w || mask.height() != target.height()) return;
    if (layer && (layer->width() != w || layer->height() != target.height())) return;
    const Span span = shiftedSpan(bounds, x, w);
    if (span.x1 <= span.x0) return;
    const Pixel brush = pixelFromColorRef(colour);
    for (int y = std::max(0, bounds.top); y < std::min(target.height(), bounds.bottom); ++y) {
        const Pixel* m = mask.row(y);
        const Pixel* l = layer ? layer->row(y) : nullptr;
        Pixel* d = target.row(y) + x;
        for (int sx = span.x0; sx < span.x1; ++sx) {
            const Pixel t = l ? l[sx] : brush;
            d[sx] = ((d[sx] | m[sx]) & (t | ~m[sx])) | kOpaque;
        }
    }
}

bool buildCard(Surface& card, const Surface& source, const Surface& mask, const Rect& b) {
    if (b.width() <= 0 || b.height() <= 0) {
        card.reset();
        return true;
    }
    if (!card.createUninitialized(b.width(), b.height())) return false;
    for (int y = 0; y < b.height(); ++y) {
        const Pixel* s = source.row(b.top + y) + b.left;
        const Pixel* m = mask.row(b.top + y) + b.left;
        Pixel* c = card.row(y);
        for (int x = 0; x < b.width(); ++x) c[x] = masked(m[x]) ? (s[x] | kOpaque) : kColourBits;
    }
    return true;
}

void drawCard(Surface& target, const Surface& card, const Rect& b, int x) {
    if (card.empty()) return;
    const int w = target.width();
    const Span span = shiftedSpan(b, x, w);
    if (span.x1 <= span.x0) return;
    const int n = span.x1 - span.x0;
    for (int y = b.top; y < b.bottom; ++y) {
        const Pixel* c = card.row(y - b.top) + (span.x0 - b.left);
        Pixel* d = target.row(y) + x + span.x0;
        for (int i = 0; i < n; ++i) {
            // All ones inside the card (top byte set), zero outside.
            const Pixel inside = static_cast<Pixel>(static_cast<std::int32_t>(c[i]) >> 31);
            d[i] = (d[i] & ~inside) | (c[i] & inside);
        }
    }
}

}  // namespace plastora
