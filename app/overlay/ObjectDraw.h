// Drawing overlay objects: text, shapes (with their arrowheads) and clip art
// through its outline polygons, at any view's shift and at any scale.
#pragma once

#include "overlay/OverlayObject.h"

#include <array>
#include <utility>

namespace plastora {

class CStereoWorkspace;

// The font a text object is drawn and measured in (character height = the
// point size), its height multiplied by `scale`.
Font objectFont(const OverlayObject& o, int scale = 1);

// A text object's text with its top-left at (x, y): horizontal text as one
// line, vertical text one character under the other at the left edge, each
// below the previous by that character's height.
void drawObjectText(Surface& dc, const OverlayObject& o, const Font& font, int x, int y, ColorRef colour);

// An arrowhead at `end` of the line that comes from `other`: the end pulled
// back along the line by half the size (where the line now stops) and the
// filled triangle whose tip lies on the original end.
struct ArrowHead {
    Point base;
    std::array<Point, 3> triangle;
};
ArrowHead arrowHead(Point end, Point other, int size);

// The two ends of a line shape (kinds 3 and 4) in a box inset by 4 pixels:
// first the left end, then the right end.
std::pair<Point, Point> lineEnds(const OverlayObject& o);

// One object at horizontal offset dx (both in working-size pixels), every
// coordinate multiplied by `scale`. `shadowPass` draws its shadow instead:
// the same outline in `shadowColour`.
void drawObject(Surface& dc, int type, const OverlayObject& o, int dx, int scale, bool shadowPass,
                ColorRef shadowColour);

// Whether any text object is marked "立体化しない".
bool hasFlatTexts(const CStereoWorkspace& ws);
// Draws every "立体化しない" text unshifted onto a view or a copy of one
// (a high-resolution one with `scale` R). True when there was one.
bool drawFlatTexts(const CStereoWorkspace& ws, Surface& picture, int scale = 1);
// The same texts once onto the lenticular composite of N views at pitch P:
// font height size x N / P, position (N x / P, N y / P), one line each.
void drawCompositeFlatTexts(const CStereoWorkspace& ws, Surface& composite, int n, int p);

}  // namespace plastora
