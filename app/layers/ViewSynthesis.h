// The pieces of view synthesis: the shift rule, the mirror fill that builds
// region plates, and drawing a layer or a flat colour through a mask.
#pragma once

#include "platform/Surface.h"

#include <cstdint>
#include <vector>

namespace plastora {

// Shifts are bounded far beyond any picture width, so that callers may add a
// picture width to one (or negate it) in int without overflow.
constexpr std::int32_t kMaxViewShift = 1 << 24;

namespace detail {
// Every factor of the shift rule is clamped to +-2^15 (real values are a few
// views, depths of -32..16, strengths up to 99 and small ratios), so that the
// product of four of them fits in 64 bits whatever a file or setting held.
constexpr std::int64_t shiftFactor(std::int64_t v) { return v < -32768 ? -32768 : v > 32768 ? 32768 : v; }
constexpr std::int32_t boundedShift(std::int64_t v) {
    return static_cast<std::int32_t>(v < -kMaxViewShift ? -kMaxViewShift : v > kMaxViewShift ? kMaxViewShift : v);
}
}  // namespace detail

// shift(a, d) = (a - N/2) x d x S / N: N/2 truncated, the multiplications
// first, one division truncating toward zero. Within the ranges the program
// uses this equals the 32-bit computation; it is done in 64 bits so that a
// huge depth or strength read from a file cannot overflow, and the result is
// bounded by kMaxViewShift.
constexpr std::int32_t viewShift(std::int32_t a, std::int32_t n, std::int32_t depth, std::int32_t strength) {
    if (n <= 0) return 0;
    using detail::shiftFactor;
    const std::int64_t offset = shiftFactor(std::int64_t{a} - n / 2);
    return detail::boundedShift(offset * shiftFactor(depth) * shiftFactor(strength) / n);
}
// The same for the high-resolution pair: R multiplied in before the division.
constexpr std::int32_t viewShiftHighRes(std::int32_t a, std::int32_t n, std::int32_t depth, std::int32_t strength,
                                        std::int32_t ratio) {
    if (n <= 0) return 0;
    using detail::shiftFactor;
    const std::int64_t offset = shiftFactor(std::int64_t{a} - n / 2);
    return detail::boundedShift(offset * shiftFactor(depth) * shiftFactor(strength) * shiftFactor(ratio) / n);
}
// A working-size shift scaled by R, bounded like the others.
constexpr std::int32_t scaledViewShift(std::int32_t shift, std::int32_t ratio) {
    return detail::boundedShift(std::int64_t{shift} * detail::shiftFactor(ratio));
}

// The mirror fill: `plate` becomes `source` with every pixel masked in
// `unionMask` (any colour byte non-zero) replaced, run by run along each row,
// by the unmasked pixels mirrored in from both sides. All three are the same
// size; `plate` is (re)created when its size differs.
bool buildRegionPlate(Surface& plate, const Surface& source, const Surface& unionMask);

// One row of the mirror fill: `out` = `src` with the runs masked in `msk`
// filled (all three are `width` pixels).
void mirrorFillRow(const Pixel* src, const Pixel* msk, Pixel* out, int width);

// The part [x0, x1) of a row's mirror fill: `out` (addressed from column 0,
// like `src` and `msk`) receives those columns, and the rest of the masked
// runs that cross x0 or x1, exactly as mirrorFillRow would fill them.
void mirrorFillSpan(const Pixel* src, const Pixel* msk, Pixel* out, int width, int x0, int x1);
// Copies `from` to `to` moved right by x; the strip it leaves is white.
void copyShiftedOnWhite(Surface& to, const Surface& from, int x);
// The same for rows [y0, y1) only. `to` may hold just a band of the
// picture: its row 0 is picture row `top` (and it must reach row y1).
void copyShiftedOnWhite(Surface& to, const Surface& from, int x, int y0, int y1, int top = 0);

// The bounding box of a mask's inside pixels (empty Rect when none).
Rect maskBounds(const Surface& mask);

// Draws through `mask` at horizontal offset x: target = (target OR mask) AND
// (layer OR NOT mask), where `layer` is given, else a flat colour in place of
// it. Only the part of the mask inside `bounds` is visited (pass maskBounds or
// the whole surface); everything outside [0, W) after shifting is clipped.
void paintThroughMask(Surface& target, const Surface& mask, const Surface* layer, ColorRef colour, int x,
                      const Rect& bounds);
// The same into a band of the picture whose row 0 is picture row `top`:
// only the rows of `bounds` the band holds are drawn.
void paintThroughMask(Surface& target, int top, const Surface& mask, const Surface* layer, ColorRef colour, int x,
                      const Rect& bounds);

// A region's card: the source (or plate) pixel where the mask is inside and
// 0x00FFFFFF (white, top byte clear) outside, stored at the size of its
// bounds. For each row it also keeps the columns from the first to the last
// inside pixel and whether every pixel between is inside, so that drawing
// copies solid rows and blends only the rows with holes.
struct CardRow {
    int x0 = 0, x1 = 0;  // relative to bounds.left; empty when equal
    bool solid = false;
};
struct Card {
    Surface pixels;
    Rect bounds;
    std::vector<CardRow> rows;
    bool empty() const { return pixels.empty(); }
};
bool buildCard(Card& card, const Surface& source, const Surface& mask, const Rect& bounds);
// Draws a card at offset x: the target takes the card's pixels inside and
// keeps its own outside. For a black-and-white mask this is
// target = (target OR mask) AND ((source AND mask) OR NOT mask).
void drawCard(Surface& target, const Card& card, int x);
// The same for the picture rows [y0, y1) only, into a target whose row 0
// is picture row `top` (a band of the picture, or the whole one).
void drawCard(Surface& target, const Card& card, int x, int y0, int y1, int top = 0);

// Every region's card and the background plate, for regions 0..C-1 drawn in
// that order: card i comes from the plate in which every region drawn after
// i is removed and mirror-filled (the last card from the source itself), and
// the background plate has every region removed. Only the rows and columns
// the cards need are filled; the work runs over row bands on every core and
// gives the same bytes on any number of them. `bounds[i]` must be the
// bounding box of mask i (maskBounds); masks[i] is either the whole picture's
// mask or just the part inside bounds[i] (which spares a picture-sized mask
// per region at print sizes). With no regions the plate is left alone. False
// when memory runs out or a mask fits neither size.
bool buildRegionCards(std::vector<Card>& cards, Surface& backgroundPlate, const Surface& source,
                      const std::vector<const Surface*>& masks, const std::vector<Rect>& bounds);

}  // namespace plastora
