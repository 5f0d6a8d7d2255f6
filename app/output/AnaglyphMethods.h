// Anaglyphs beyond the channel picks: least-squares projections for three
// kinds of glasses, and the half-colour and optimised red-cyan mixes.
//
// Each method is a pure function of the two views. They extend the filter
// numbers of the anaglyph (0 red-cyan, 1 red-green, 2 red-blue) so that one
// stored value, [Option] "AnaglyphFilter", names every choice; a program that
// knows only 0..2 reads the higher numbers as red-cyan. The colour mode does
// not apply to them: each method defines its own use of colour.
#pragma once

#include "platform/Surface.h"

#include <string>

namespace plastora {

enum AnaglyphMethod : int {
    kFilterDuboisRedCyan = 3,       // least squares, red-cyan glasses
    kFilterDuboisGreenMagenta = 4,  // least squares, green-magenta glasses
    kFilterDuboisAmberBlue = 5,     // least squares, amber-blue glasses
    kFilterHalfColour = 6,          // red-cyan: left red from grey, right in colour
    kFilterOptimised = 7,           // red-cyan: left red from green and blue, gamma-lifted
};
constexpr int kAnaglyphFilterCount = 8;

inline bool isAnaglyphMethod(int filter) { return filter >= kFilterDuboisRedCyan && filter <= kFilterOptimised; }
inline bool isDuboisMethod(int filter) { return filter >= kFilterDuboisRedCyan && filter <= kFilterDuboisAmberBlue; }

// The command-line names of every filter number (0..7), and back (-1 for an
// unknown name).
const char* anaglyphMethodName(int filter);
int anaglyphMethodFromName(const std::string& name);

// A least-squares projection: output (r, g, b) in linear light =
// left x (left eye's linear r, g, b) + right x (right eye's), rows = output
// channels. Null for a filter that is not a least-squares method.
struct AnaglyphProjection {
    double left[3][3];
    double right[3][3];
};
const AnaglyphProjection* anaglyphProjection(int filter);

// The sRGB transfer functions on [0, 1].
double srgbToLinear(double v);
double linearToSrgb(double v);

// Builds the anaglyph of `method` (3..7) from the right-eye view (view 0)
// and the left-eye view (view N-1) into `dst`, made at the smaller of the
// two sizes when its size differs, in bands of rows on every core (the
// bytes are the same whatever the number of threads). Rows [y0, y1) only
// with the row form (`dst` must already have its size); disjoint row ranges
// may run in parallel. False when a view is empty, the method unknown or `dst` cannot
// be allocated.
//  - least squares: both pixels linearised, the 3 x 6 projection applied,
//    each channel clipped to [0, 1] and encoded back to sRGB (rounded);
//  - half colour: (grey of left, right g, right b), grey as the plain
//    anaglyph computes it (r x 30 / 100 + g x 59 / 100 + b x 11 / 100);
//  - optimised: red = 255 x (v / 255)^(1 / 1.5) rounded, with
//    v = (7 x left g + 3 x left b + 5) / 10; green and blue from the right.
bool BuildAnaglyphMethod(Surface& dst, const Surface& right, const Surface& left, int method);

// How many bands of rows an anaglyph of w x h pixels is split into for the
// cores (about 65536 pixels each: small enough to share out evenly, large
// enough that handing one out costs nothing).
double anaglyphBands(int w, int h);
void BuildAnaglyphMethodRows(Surface& dst, const Surface& right, const Surface& left, int method, int y0, int y1);

// The least-squares methods have three kernels: integer tables, on every
// processor; eight pixels at a time in single-precision floats with AVX2 and
// FMA; and sixteen at a time with AVX-512 (F, BW and VBMI: the wide
// kernel), where the processor has them. All are within one grey level of
// the double-precision result; their bytes may differ by one level. One
// process takes one kernel for every row and thread (the widest it can), so
// a picture does not depend on how its rows are split.
enum class AnaglyphKernel { Portable, Vector, Wide };
AnaglyphKernel anaglyphKernel();               // the kernel the builds above take
bool anaglyphKernelAvailable(AnaglyphKernel);  // whether this processor can run it
// The row form on a chosen kernel (the next narrower one where it is not
// available), for tests and benchmarks.
void BuildAnaglyphMethodRows(Surface& dst, const Surface& right, const Surface& left, int method, int y0, int y1,
                             AnaglyphKernel kernel);

}  // namespace plastora
