// Alignment of a stereo pair.
//
// Hand-held and twin-camera pairs are rarely aligned: the right picture is
// usually a little higher or lower, turned or larger than the left one. The
// rows of both pictures have to show the same scene lines before views can
// be matched or the pair viewed in comfort.
//
// estimatePairAlignment finds corresponding points (ORB features, ratio-
// tested Hamming matches) and fits, with RANSAC, a similarity transform of
// the right picture that only has to agree with the left picture on the
// VERTICAL coordinate of every match: the horizontal coordinate holds the
// disparity, which differs from point to point and must stay as it is. The
// fit gives the right picture's rotation, scale and vertical offset about
// the picture centre; its horizontal offset is left at zero. The matches
// that agree with the fit also give the pair's horizontal disparity range.
//
// All functions are pure: pictures in, numbers or pictures out.
#pragma once

#include "platform/Surface.h"

#include <string>

namespace plastora {

struct PairAlignment {
    // True when enough matches agreed on one transform. When false the other
    // numbers (but `matches`) are zero and the pair should be left as it is.
    bool ok = false;
    int matches = 0;   // ratio-tested feature matches
    int inliers = 0;   // matches within the vertical tolerance of the fit
    // The correction applied to the right picture about its centre (cx, cy):
    //   x' = cx + scale (cos a (x - cx) - sin a (y - cy))
    //   y' = cy + scale (sin a (x - cx) + cos a (y - cy)) + dy
    // in the pixels of the pictures given. The right picture is resampled by
    // the inverse of this map.
    double angleDegrees = 0.0;
    double scale = 1.0;
    double dy = 0.0;
    // Horizontal disparity of the agreeing matches after correction, as
    // x(right) - x(left): a low and a high percentile (2 % and 98 %) and the
    // median, in the pixels of the pictures given.
    double disparityLow = 0.0;
    double disparityHigh = 0.0;
    double disparityMedian = 0.0;
    // Remaining vertical error of the agreeing matches after correction
    // (root mean square, pixels).
    double residual = 0.0;

    // Whether resampling would change anything visible (more than 0.05 px
    // at the picture's corners).
    bool changesPicture(int width, int height) const;
};

struct PairAlignOptions {
    // Pictures are searched for features at most this wide (larger ones are
    // reduced first; the result is given in the pictures' own pixels).
    int analysisWidth = 1024;
    int features = 4000;
    // Fewer agreeing matches than this: the pair is left as it is.
    int minInliers = 20;
    // Largest correction believed: a larger one means the pictures are not a
    // pair (or the features matched the wrong things).
    double maxAngleDegrees = 10.0;
    double maxScaleChange = 0.15;
};

// Measures how the right picture sits against the left one. Pictures of
// different sizes are compared in the left picture's pixels.
PairAlignment estimatePairAlignment(const Surface& left, const Surface& right, const PairAlignOptions& options = {});

// The right picture resampled (bilinear) with the correction, at its own
// size. Edges the picture does not cover take `fill` there (the left
// picture, of the same size: the same scene, so the edge shows no smear) or,
// without one, repeat the nearest pixel rather than showing a black wedge.
// False when `out` cannot be allocated.
bool applyPairAlignment(const Surface& right, const PairAlignment& alignment, Surface& out,
                        const Surface* fill = nullptr);

// What was corrected, for the status bar: "縦 12.3 px, 回転 0.8°" and, when the
// scale changed by 0.1 % or more, ", 拡大 100.5%". `pixelScale` converts the
// offset into the pixels the user sees (e.g. the working size).
std::string describeAlignment(const PairAlignment& alignment, double pixelScale = 1.0);

// Shown when a pair is left as it is for lack of agreeing features.
extern const char* const kPairNotAlignedMessage;

}  // namespace plastora
