// Boundary tracing: turns a black-and-white mask into the polylines of its
// outlines. The mask editor shows them over the photo, and clip art builds
// its outlines with the same tracer.
#pragma once

#include "platform/Surface.h"

#include <vector>

namespace plastora {

using Polyline = std::vector<Point>;

// The contour limit: a trace that has not closed after this many points is
// given up (no contour).
constexpr int kMaxContourPoints = 10000;

// Traces every contour of the inside pixels (any colour byte set) of `mask`.
// The outermost row and column on every side never count as inside. Each
// contour is closed (its last point is its first), and is reduced to the
// points where the direction of travel changes. A pixel with no inside
// neighbour gives no contour.
std::vector<Polyline> traceOutlines(const Surface& mask);

// The same, over a byte map of w x h (0 outside, 1 inside), which the tracer
// marks as it goes: 3 for boundary pixels it visited, 2 for isolated pixels.
// maxPoints: the contour limit (a smaller one lets tests reach it on small
// maps). walkEveryStart: walk every start on a boundary over the limit in
// full instead of going by the boundaries already walked (slow; the same
// result, which tests check).
std::vector<Polyline> traceOutlineMap(std::vector<unsigned char>& map, int w, int h,
                                      int maxPoints = kMaxContourPoints, bool walkEveryStart = false);

}  // namespace plastora
