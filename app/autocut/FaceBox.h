// A detected face: a box of the working image with inclusive edges.
#pragma once

#include <cstdint>

namespace plastora {

// The face list holds at most this many faces.
constexpr int kMaxFaces = 32;

struct FaceBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;   // inclusive
    std::int32_t bottom = 0;  // inclusive
    friend bool operator==(const FaceBox&, const FaceBox&) = default;
};

}  // namespace plastora
