// In-between views of a stereo pair from dense disparity.
//
// A disparity is measured for every pixel of both pictures (OpenCV's
// semi-global matcher, once with the left picture as reference and once,
// mirrored, with the right one), pixels whose two measurements disagree are
// dropped, and the holes are filled from their neighbourhood on the far
// side (occlusions belong to the background). A view at fraction t of the
// way from the left picture (t = 0) to the right one (t = 1) is then made by
// warping both pictures toward it: nearer pixels hide farther ones, what one
// eye does not see is taken from the other, and where both see a pixel the
// two are blended by position.
//
// Disparity here is d = x(left) - x(right) of the same scene point (the
// semi-global matcher's sign): positive for points nearer than the plane
// where the pair agrees. The block matcher's displacement is its negative.
#pragma once

#include "platform/Surface.h"

#include <cstdint>
#include <vector>

namespace plastora {

struct DenseMatchOptions {
    // Disparities searched: minDisparity .. maxDisparity inclusive.
    int minDisparity = 0;
    int maxDisparity = 64;
    int blockSize = 5;
    // Left-right agreement: the two measurements may differ by this much.
    float consistency = 1.5f;
};

// Disparity per pixel of both pictures (row by row, width x height);
// `valid` tells which values were measured and agreed before filling.
struct DisparityMaps {
    int width = 0;
    int height = 0;
    std::vector<float> left;    // for each pixel of the left picture
    std::vector<float> right;   // for each pixel of the right picture
    std::vector<std::uint8_t> leftValid;
    std::vector<std::uint8_t> rightValid;
};

// Measures, checks and fills both disparity maps. The pictures must have the
// same size. Returns false (maps empty) when they do not, are empty or too
// small to match.
bool computeDisparityMaps(const Surface& left, const Surface& right, const DenseMatchOptions& options,
                          DisparityMaps& out);

// How far the pair can be trusted: of the textured pixels of the left
// picture (where the grey gradient is strong enough for a match to mean
// anything), the share in percent whose disparity passed the left-right
// check AND whose colour agrees with the right picture's pixel it points
// at. 100 when the left picture has no texture at all.
int consistentSharePercent(const Surface& left, const Surface& right, const DisparityMaps& maps);

// The view at fraction t (0 = left picture, 1 = right picture), same size.
// False when `out` cannot be allocated or the maps do not fit the pictures.
bool synthesizeView(const Surface& left, const Surface& right, const DisparityMaps& maps, double t, Surface& out);

// The fraction of the way from the left picture to the right one of view v
// of n: view 0 is the right picture, view n - 1 the left one, and the views
// between are evenly spaced: (n - 1 - v) / (n - 1).
double viewFraction(int v, int n);

}  // namespace plastora
