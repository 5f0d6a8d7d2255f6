// OverlayObject: one text, clip-art or shape card placed on the picture with
// a depth of its own. The project file stores it as a 56-byte record; in
// memory the pointer fields of that record are owned members here.
#pragma once

#include "platform/Surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plastora {

enum ObjectType : std::int32_t {
    kObjectNone = 0,
    kObjectText = 2,
    kObjectPicture = 3,  // clip art
    kObjectShape = 4,
};

// Text flags.
constexpr std::int32_t kTextPointSizeMask = 0xFF;
constexpr std::int32_t kTextVertical = 0x100;
constexpr std::int32_t kTextBold = 0x200;
constexpr std::int32_t kTextItalic = 0x400;
constexpr std::int32_t kTextAntialiased = 0x800;
constexpr std::int32_t kTextFlat = 0x1000;  // "立体化しない": drawn flat, not moved per view

// Shape flags.
constexpr std::int32_t kShapeArrowFirst = 0x1;
constexpr std::int32_t kShapeArrowSecond = 0x2;
constexpr std::int32_t kShapeSquare = 0x10;
constexpr std::int32_t kShapeNoFill = 0x20;

// Shape kinds (the `count` field of a shape).
enum ShapeKind : std::int32_t {
    kShapeRectangle = 0,
    kShapeEllipse = 1,
    kShapeRoundRect = 2,
    kShapeLineRising = 3,
    kShapeLineFalling = 4,
};

// One boundary of a clip-art picture's opaque area, in the picture's pixels.
struct OutlinePolygon {
    bool outer = true;  // false: a hole
    std::vector<Point> points;
    friend bool operator==(const OutlinePolygon&, const OutlinePolygon&) = default;
};

struct OverlayObject {
    std::int32_t depth = 0;
    std::int32_t shadow = 0;
    std::int32_t x = 0, y = 0;
    std::int32_t width = 0, height = 0;
    std::int32_t naturalWidth = 0, naturalHeight = 0;
    ColorRef colour = 0;
    std::int32_t flags = 0;
    // Text: length in bytes; clip art: number of outline polygons; shape: kind.
    std::int32_t count = 0;
    // Shape only: line width (0 = no outline), line colour, corner/arrow size.
    std::int32_t lineWidth = 0;
    ColorRef lineColour = 0;
    std::int32_t cornerSize = 0;

    // Text only.
    std::string text;  // UTF-8
    std::string face;  // at most 31 bytes
    // Clip art only.
    std::vector<OutlinePolygon> outlines;
    Surface picture;

    OverlayObject() = default;
    OverlayObject(const OverlayObject& o) { *this = o; }
    OverlayObject& operator=(const OverlayObject& o);
    // Copies every field except the picture (for record-level undo), and
    // the clip-art outlines only when asked: they are traced from the
    // picture once and change only with it, and a dithered clip art has
    // hundreds of thousands of points, which every moving step would copy.
    void copyRecord(const OverlayObject& o, bool withOutlines = true);
};

}  // namespace plastora
