// The face detector's entry point, in a module of its own that is loaded
// only when faces are detected: OpenCV's object detection pulls in dozens of
// libraries (its neural network module, protobuf, LAPACK, ...) whose loading
// would otherwise slow the start of every command.
#pragma once

#include <cstddef>
#include <cstdint>

// The name of the module and of its one function.
#define PLASTORA_FACE_MODULE "libplastora_faces.so"
#define PLASTORA_FACE_FUNCTION "plastoraDetectFaces"
// What the function returns when memory (or a thread) ran out in the search.
#define PLASTORA_FACES_NO_MEMORY (-2)

extern "C" {

// Detects faces with the Haar cascade in `cascadePath` on a width x height
// picture of 32-bit words B, G, R, X (`stride` bytes a row). Writes up to
// `maxBoxes` boxes as x, y, width, height into `boxes`. Returns the number
// written, -1 when the cascade cannot be loaded, 0 when the detector refuses
// its settings (a scale factor of 1 or less), PLASTORA_FACES_NO_MEMORY when
// memory (or a thread) runs out. Never throws.
typedef int (*PlastoraDetectFacesFn)(const char* cascadePath, const std::uint8_t* bgrx, int width, int height,
                                     std::size_t stride, double scaleFactor, int minNeighbors, int cannyPruning,
                                     int minSize, int* boxes, int maxBoxes);

int plastoraDetectFaces(const char* cascadePath, const std::uint8_t* bgrx, int width, int height, std::size_t stride,
                        double scaleFactor, int minNeighbors, int cannyPruning, int minSize, int* boxes, int maxBoxes);
}
