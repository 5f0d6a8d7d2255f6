// Depth maps in and out of a document.
//
// Out: the document's layers (background, regions, paint layer, objects, in
// the order the views draw them) as one grey picture, nearer = brighter.
// In: a photo with such a map makes its views by depth-image-based rendering:
// every pixel moves by its own depth with the shift rule of the layer views,
// nearer pixels win, and the gaps a nearer pixel leaves are filled from the
// side of the farther one.
//
// Grey and depth: the depth range -32 (far) .. 16 (near) is spread over
// 0 .. 255, grey = round((d + 32) x 255 / 48). Back from grey the depth is
// kept in quarter steps, q = round(grey x 192 / 255) - 128 (d = q / 4), which
// gives every whole depth back exactly, so a map that the program wrote makes
// the same shifts as the layers it came from.
#pragma once

#include "core/Progress.h"
#include "platform/Surface.h"

#include <cstdint>
#include <vector>

namespace plastora {

class CStereoWorkspace;

constexpr int kDepthFarthest = -32;
constexpr int kDepthNearest = 16;

std::uint8_t greyOfDepth(int depth);
int quarterDepthOfGrey(unsigned grey);

// The layer shift rule for a depth in quarter steps: (a - N/2) x q x S x R /
// (4 N), truncated toward zero (for q = 4 d exactly the layers' shift).
constexpr std::int32_t quarterDepthShift(std::int32_t a, std::int32_t n, std::int32_t q, std::int32_t strength,
                                         std::int32_t ratio = 1) {
    return (a - n / 2) * q * strength * ratio / (4 * n);
}

// One flat layer of a depth map: inside `mask` (any colour byte non-zero)
// the layer has `depth`.
struct DepthLayer {
    const Surface* mask = nullptr;
    int depth = 0;
};

// The depth map of w x h layers: the background depth everywhere, then each
// layer in order over what is below it. False when memory fails.
bool BuildLayerDepthMap(Surface& out, int w, int h, int backgroundDepth, const std::vector<DepthLayer>& layers);

// The document's depth map: the imported one for a document made from a
// depth map, else the background; over it the regions, the paint layer and
// each object where it draws. False when there is no picture, for a
// stereo-pair document or when memory fails.
bool BuildDocumentDepthMap(const CStereoWorkspace& ws, Surface& out);
// The picture the depth map belongs to: the photo with the paint layer and
// the objects drawn flat, as view N/2 shows it.
bool BuildDocumentPhoto(const CStereoWorkspace& ws, Surface& out);
// Photo and depth side by side (2 W x H), the layout 3D photo viewers take.
bool BuildRgbd(Surface& out, const Surface& photo, const Surface& depthMap);

// View a of n of `source` by its depth map (same size; r = g = b grey), at
// strength S and with the shift multiplied by `ratio` (the high-resolution
// pair). Picture columns no pixel reaches at the left or right edge stay
// white, as the layer views leave the strip the background uncovers. False
// when the sizes differ or memory fails.
bool RenderDepthView(Surface& view, const Surface& source, const Surface& depthMap, int a, int n, int strength,
                     int ratio = 1);

// The workspace's views for a document with a depth map: the views (or
// views 0 and N-1 only) by RenderDepthView from the map with the cut-out
// regions drawn over it at their depths, then the paint layer and the
// objects as the layer views draw them.
void GenerateDepthViews(CStereoWorkspace& ws, ProgressSink* progress, int strength, bool extremesOnly);
// The pictures of the high-resolution pair of such a document, from the
// high-resolution copy (or the working image enlarged) and the map (with
// the regions, as for the views) enlarged by R; the caller adds the paint
// layer, objects and texts.
bool GenerateDepthHighResPair(CStereoWorkspace& ws, Surface& left, Surface& right);

// Export: the document's depth map (or, with `rgbd`, photo and depth side by
// side) to `path`; with no path a save dialog asks. An 8-bit grey PNG for a
// ".png" name. Returns 1 when written.
int ExportDepthMap(CStereoWorkspace& ws, const std::string& path = {}, bool rgbd = false);

// Import: opens `photoPath` as a photo (the working-size step included) and
// gives it the depth map read from `depthPath`, resampled the way the photo
// was (nearest pixel). With empty paths open dialogs ask. Returns 1 when the
// document was made; 0 after the reason's message (a depth map that cannot
// be read is refused before the photo is opened).
int OpenPhotoWithDepth(CStereoWorkspace& ws, const std::string& photoPath = {}, const std::string& depthPath = {});

// Into `out`: the map stretched over a photo of `photo` size, then that
// picture's `src` rectangle stretched onto `dst`, both by nearest pixel, as
// two stretchBlit calls would make it, without the photo-sized picture
// between them (gigabytes for a very large photo). Pixels of `out` nothing
// lands on keep their value. False when memory fails.
bool StretchMapThroughPhoto(Surface& out, const Surface& map, Size photo, const Rect& src, const Rect& dst);

}  // namespace plastora
