#include "layers/ViewSynthesis.h"

#include <opencv2/core/utility.hpp>

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

void mirrorFillSpan(const Pixel* src, const Pixel* msk, Pixel* out, int w, int x0, int x1) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, w);
    if (x1 <= x0) return;
    // Widen to whole runs: a run's fill depends on the run and what lies
    // beyond its two ends, never on other runs.
    if (masked(msk[x0]))
        while (x0 > 0 && masked(msk[x0 - 1])) --x0;
    if (masked(msk[x1 - 1]))
        while (x1 < w && masked(msk[x1])) ++x1;
    std::memcpy(out + x0, src + x0, static_cast<std::size_t>(x1 - x0) * sizeof(Pixel));
    int x = x0;
    while (x < x1) {
        // Skip unmasked pixels eight at a time.
        while (x + 8 <= x1 && !anyMasked(msk + x, 8)) x += 8;
        if (x >= x1) break;
        if (!masked(msk[x])) {
            ++x;
            continue;
        }
        const int s = x;
        int e = s + 1;
        while (e < x1 && masked(msk[e])) ++e;
        const int n = (e - s) / 2;
        // Left half: the nearest unmasked pixels to the left, mirrored in.
        // When the n + 1 pixels before the run are all unmasked and inside
        // the row this is a reversed copy of them.
        if (s - 1 - n >= 0 && !anyMasked(msk + (s - 1 - n), n + 1)) {
            for (int k = 0; k <= n; ++k) out[s + k] = src[s - 1 - k];
        } else {
            int j = s;
            for (int k = 0; k <= n; ++k) {
                if (j > 0) {
                    --j;
                    while (j > 0 && masked(msk[j])) --j;
                }
                out[s + k] = src[j];
            }
        }
        // Right half, written last so it wins where the halves meet.
        if (e + n <= w - 1 && !anyMasked(msk + e, n + 1)) {
            for (int k = 0; k <= n; ++k) out[e - 1 - k] = src[e + k];
        } else {
            int r = e - 1;
            for (int k = 0; k <= n; ++k) {
                if (r < w - 1) {
                    ++r;
                    while (r < w - 1 && masked(msk[r])) ++r;
                }
                out[e - 1 - k] = src[r];
            }
        }
        x = e + 1;
    }
}

void mirrorFillRow(const Pixel* src, const Pixel* msk, Pixel* out, int w) { mirrorFillSpan(src, msk, out, w, 0, w); }

bool buildRegionPlate(Surface& plate, const Surface& source, const Surface& unionMask) {
    const int w = source.width(), h = source.height();
    if (w <= 0 || unionMask.width() != w || unionMask.height() != h) return false;
    if (!plate.createUninitialized(w, h)) return false;
    for (int y = 0; y < h; ++y) mirrorFillRow(source.row(y), unionMask.row(y), plate.row(y), w);
    return true;
}

void copyShiftedOnWhite(Surface& to, const Surface& from, int x) { copyShiftedOnWhite(to, from, x, 0, to.height()); }

void copyShiftedOnWhite(Surface& to, const Surface& from, int x, int y0, int y1, int top) {
    const int w = to.width();
    const int keep = std::max(0, w - std::abs(x));
    for (int y = std::max({0, y0, top}); y < std::min({from.height(), top + to.height(), y1}); ++y) {
        Pixel* d = to.row(y - top);
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
    if (mask.height() != target.height()) return;
    paintThroughMask(target, 0, mask, layer, colour, x, bounds);
}

void paintThroughMask(Surface& target, int top, const Surface& mask, const Surface* layer, ColorRef colour, int x,
                      const Rect& bounds) {
    const int w = target.width();
    if (w <= 0 || mask.width() != w || top < 0) return;
    if (layer && (layer->width() != w || layer->height() != mask.height())) return;
    const Span span = shiftedSpan(bounds, x, w);
    if (span.x1 <= span.x0) return;
    const Pixel brush = pixelFromColorRef(colour);
    for (int y = std::max(top, bounds.top); y < std::min({top + target.height(), mask.height(), bounds.bottom}); ++y) {
        const Pixel* m = mask.row(y);
        const Pixel* l = layer ? layer->row(y) : nullptr;
        Pixel* d = target.row(y - top) + x;
        for (int sx = span.x0; sx < span.x1; ++sx) {
            const Pixel t = l ? l[sx] : brush;
            d[sx] = ((d[sx] | m[sx]) & (t | ~m[sx])) | kOpaque;
        }
    }
}

namespace {

bool allocateCard(Card& card, const Rect& b) {
    card.bounds = b;
    card.rows.clear();
    if (b.width() <= 0 || b.height() <= 0) {
        card.pixels.reset();
        return true;
    }
    if (!card.pixels.createUninitialized(b.width(), b.height())) return false;
    card.rows.resize(static_cast<std::size_t>(b.height()));
    return true;
}

// Card row y (a picture row) from a plate row addressed from column 0 and a
// mask row addressed from the card's left column.
void fillCardRow(Card& card, int y, const Pixel* plate, const Pixel* m) {
    const Rect& b = card.bounds;
    const int n = b.width();
    const Pixel* p = plate + b.left;
    Pixel* c = card.pixels.row(y - b.top);
    for (int x = 0; x < n; ++x) c[x] = masked(m[x]) ? (p[x] | kOpaque) : kColourBits;
    CardRow& r = card.rows[static_cast<std::size_t>(y - b.top)];
    int first = 0;
    while (first < n && !masked(m[first])) ++first;
    int last = n;
    while (last > first && !masked(m[last - 1])) --last;
    bool solid = true;
    for (int x = first; x < last; ++x) solid &= masked(m[x]);
    r = CardRow{first, last, solid};
}

}  // namespace

bool buildCard(Card& card, const Surface& source, const Surface& mask, const Rect& b) {
    if (!allocateCard(card, b)) return false;
    for (int y = b.top; y < b.bottom && !card.empty(); ++y) fillCardRow(card, y, source.row(y), mask.row(y) + b.left);
    return true;
}

void drawCard(Surface& target, const Card& card, int x) { drawCard(target, card, x, 0, target.height()); }

void drawCard(Surface& target, const Card& card, int x, int y0, int y1, int top) {
    if (card.empty()) return;
    const Rect& b = card.bounds;
    const Span span = shiftedSpan(b, x, target.width());
    if (span.x1 <= span.x0) return;
    for (int y = std::max({b.top, y0, top}); y < std::min({b.bottom, y1, top + target.height()}); ++y) {
        const CardRow& r = card.rows[static_cast<std::size_t>(y - b.top)];
        const int x0 = std::max(span.x0, b.left + r.x0), x1 = std::min(span.x1, b.left + r.x1);
        if (x1 <= x0) continue;
        const Pixel* c = card.pixels.row(y - b.top) + (x0 - b.left);
        Pixel* d = target.row(y - top) + x + x0;
        const int n = x1 - x0;
        if (r.solid) {
            std::memcpy(d, c, static_cast<std::size_t>(n) * sizeof(Pixel));
            continue;
        }
        for (int i = 0; i < n; ++i) {
            // All ones inside the card (top byte set), zero outside.
            const Pixel inside = static_cast<Pixel>(static_cast<std::int32_t>(c[i]) >> 31);
            d[i] = (d[i] & ~inside) | (c[i] & inside);
        }
    }
}

bool buildRegionCards(std::vector<Card>& cards, Surface& plate, const Surface& source,
                      const std::vector<const Surface*>& masks, const std::vector<Rect>& bounds) {
    const int w = source.width(), h = source.height();
    const int c = static_cast<int>(masks.size());
    cards.resize(masks.size());
    if (c == 0) return true;
    if (bounds.size() != masks.size()) return false;
    // A mask is the whole picture or just its bounds; either way its row y is
    // read from the column bounds.left on.
    const auto whole = [&](const Surface& m) { return m.width() == w && m.height() == h; };
    for (int i = 0; i < c; ++i) {
        const Surface* m = masks[static_cast<std::size_t>(i)];
        const Rect& b = bounds[static_cast<std::size_t>(i)];
        if (!m || (!whole(*m) && (m->width() != b.width() || m->height() != b.height()))) return false;
    }
    const auto maskRow = [&](int i, int y) {
        const Surface& m = *masks[static_cast<std::size_t>(i)];
        const Rect& b = bounds[static_cast<std::size_t>(i)];
        return whole(m) ? m.row(y) + b.left : m.row(y - b.top);
    };
    for (int i = 0; i < c; ++i)
        if (!allocateCard(cards[static_cast<std::size_t>(i)], bounds[static_cast<std::size_t>(i)])) return false;
    if (!plate.createUninitialized(w, h)) return false;
    // The columns any mask covers: the union rows are cleared only there.
    int left = w, right = 0;
    for (const Rect& b : bounds)
        if (b.width() > 0 && b.height() > 0) {
            left = std::min(left, b.left);
            right = std::max(right, b.right);
        }
    const auto inRows = [](const Rect& b, int y) { return y >= b.top && y < b.bottom && b.width() > 0; };
    // Each row on its own: the union of the masks drawn after region i grows
    // from the last region down, one row long, so no full-size union is made.
    cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& range) {
        std::vector<Pixel> unionRow(static_cast<std::size_t>(w), 0), plateRow(static_cast<std::size_t>(w));
        for (int y = range.start; y < range.end; ++y) {
            const Pixel* src = source.row(y);
            bool any = false;
            if (left < right) std::fill(unionRow.begin() + left, unionRow.begin() + right, 0);
            for (int i = c - 1; i >= 0; --i) {
                if (i < c - 1) {
                    const Rect& after = bounds[static_cast<std::size_t>(i + 1)];
                    if (inRows(after, y)) {
                        const Pixel* m = maskRow(i + 1, y);
                        Pixel* u = unionRow.data() + after.left;
                        for (int x = 0; x < after.width(); ++x) u[x] |= m[x];
                        any = true;
                    }
                }
                Card& card = cards[static_cast<std::size_t>(i)];
                if (card.empty() || !inRows(card.bounds, y)) continue;
                const Pixel* from = src;
                if (any) {
                    mirrorFillSpan(src, unionRow.data(), plateRow.data(), w, card.bounds.left, card.bounds.right);
                    from = plateRow.data();
                }
                fillCardRow(card, y, from, maskRow(i, y));
            }
            const Rect& first = bounds[0];
            if (inRows(first, y)) {
                const Pixel* m = maskRow(0, y);
                Pixel* u = unionRow.data() + first.left;
                for (int x = 0; x < first.width(); ++x) u[x] |= m[x];
                any = true;
            }
            if (any) mirrorFillRow(src, unionRow.data(), plate.row(y), w);
            else std::memcpy(plate.row(y), src, static_cast<std::size_t>(w) * sizeof(Pixel));
        }
    }, std::max(1.0, h / 64.0));
    return true;
}

}  // namespace plastora
