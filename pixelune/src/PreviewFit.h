// Where a picture goes in the 128 x 96 preview box.
#pragma once

#include <cstdint>

namespace pixelune {

constexpr int kPreviewWidth = 128;
constexpr int kPreviewHeight = 96;

struct PreviewPlace {
    int x = 0, y = 0, width = 0, height = 0;
};

// ratio = w x 9600 / (h x 128), a hundred times the picture's width over the
// box's 4:3. Above 99 the picture is wider than 4:3 and fills the width,
// centred vertically; otherwise it fills the height, centred horizontally.
// False for a picture without area.
inline bool fitPreview(int w, int h, PreviewPlace* place) {
    if (w <= 0 || h <= 0) return false;
    const std::int64_t ratio = std::int64_t{w} * 9600 / (std::int64_t{h} * kPreviewWidth);
    PreviewPlace p;
    if (ratio > 99) {
        p.width = kPreviewWidth;
        p.height = static_cast<int>(9600 / ratio);
        p.y = (kPreviewHeight - p.height) / 2;
    } else {
        p.height = kPreviewHeight;
        p.width = static_cast<int>(ratio * kPreviewWidth / 100);
        p.x = (kPreviewWidth - p.width) / 2;
    }
    *place = p;
    return true;
}

}  // namespace pixelune
