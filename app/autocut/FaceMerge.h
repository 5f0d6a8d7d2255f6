// Merging the face boxes several classifiers found in one picture.
#pragma once

#include "autocut/FaceBox.h"

#include <vector>

namespace plastora {

// Groups boxes that show the same face (their overlap covers at least half
// of the smaller box, directly or through a chain of such boxes) and gives
// one box per group, each edge the rounded mean of the group's. Only groups
// that two or more boxes agree on are kept. The result runs left to right
// (then top to bottom).
std::vector<FaceBox> mergeFaceBoxes(const std::vector<FaceBox>& boxes);
// Whether two boxes show the same face, by that rule (directly).
bool sameFace(const FaceBox& a, const FaceBox& b);
// The indices of the boxes no other box shows the same face as.
std::vector<std::size_t> loneFaceBoxes(const std::vector<FaceBox>& boxes);

}  // namespace plastora
