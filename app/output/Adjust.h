// Whole-picture operations on the source photo: brightness and contrast in
// HSV ("画質調整") and the 90-degree rotation ("画像回転"), which for a
// stereo-pair document is a half turn with left and right exchanged.
#pragma once

#include "core/StereoWorkspace.h"
#include "platform/Surface.h"

namespace plastora {

constexpr int kAdjustMin = -50;
constexpr int kAdjustMax = 50;

constexpr const char* kStereoRotateQuestion =
    "ステレオ画像の場合は180度回転します。また左右の画像を入れ替えます。";

// One pixel with brightness B and contrast C (each -50..50, 0 = unchanged).
// Hue is kept; V (and with C < 0 also S) is changed.
Pixel AdjustPixel(Pixel p, int brightness, int contrast);

// dst = src adjusted pixel by pixel. `dst` is made at src's size when it has
// another; it may be src itself. False when dst cannot be allocated.
bool AdjustSurface(const Surface& src, Surface& dst, int brightness, int contrast);

// The trackbar's page step: from `value` to the next multiple of ten below
// (direction < 0) or above (direction > 0), clamped to -50..50. The step is
// taken from the value truncated toward zero, so -23 pages left to -30 and
// 23 right to 30.
int AdjustPageStep(int value, int direction);

// The dialog's state while it is open: the display image as it was when the
// dialog opened, from which every preview starts.
class CAdjustSession {
public:
    explicit CAdjustSession(CStereoWorkspace& ws) : m_ws(ws) {}
    // Copies the display image and sets B = C = 0. False when there is no
    // display image or the copy cannot be allocated.
    bool Begin();
    bool active() const { return !m_copy.empty(); }
    int brightness() const { return m_brightness; }
    int contrast() const { return m_contrast; }
    // Sets B and C (clamped to -50..50) and shows the copy adjusted by them
    // in the display image.
    void Preview(int brightness, int contrast);
    // "リセット": B = C = 0 and the unadjusted copy shown.
    void Reset() { Preview(0, 0); }
    // OK: the copy goes back into the display and is freed; when B or C is not
    // 0 the source (and the high-resolution images) are adjusted. Returns 1
    // when the picture changed, 0 when nothing was to do or memory failed
    // (after the memory message; the source is then unchanged).
    int Ok();
    // "キャンセル": the copy goes back, is freed, and the display is redrawn.
    void Cancel();

private:
    void restoreDisplay();

    CStereoWorkspace& m_ws;
    Surface m_copy;
    int m_brightness = 0;
    int m_contrast = 0;
};

// Applies B and C to the source image and to every high-resolution image the
// document holds (the stereo pictures of a pair, or the photo's
// high-resolution copy, so that a saved high-resolution picture matches the
// edit image), sets the modified flag and redraws. Returns 1, or 0 when B and
// C are both 0 or memory failed (after the message; nothing is changed).
int ApplyAdjustment(CStereoWorkspace& ws, int brightness, int contrast);

// Rotation of a picture: `dst` is made at the rotated size.
// Quarter turn counter-clockwise: dst(x', y') = src(W - 1 - y', x').
bool RotateQuarterLeft(const Surface& src, Surface& dst);
// Half turn: dst(x, y) = src(W - 1 - x, H - 1 - y).
bool RotateHalf(const Surface& src, Surface& dst);

// "画像回転" is offered while a photo is open and no mask stroke was drawn.
bool CanRotateImage(const CStereoWorkspace& ws);

// "画像回転". An ordinary document turns a quarter left: the source, every
// region mask, the paint layer and its mask, every high-resolution image and
// every overlay object are turned with the picture, views and undo are
// dropped, W and H are exchanged. A stereo-pair document asks first
// (OK/Cancel), then turns the source, the masks, the paint layer and the
// objects half round and every high-resolution image too, exchanging image k
// with image n+1-k. Returns 1 when rotated, 0 when cancelled, not allowed or
// out of memory (after the message; the document is then unchanged).
int RotateImage(CStereoWorkspace& ws);

// An overlay object turned with its picture: a quarter left on a picture
// that was oldW x oldH, or half round on a W x H picture. Shapes and clip
// art turn their box (and clip art its picture and outline; a line runs the
// other way and its ends keep their arrows); text keeps its upright
// lettering and moves with its centre, kept on the picture. False when
// memory fails (the object is then unchanged).
bool TurnObjectQuarterLeft(OverlayObject& o, std::int32_t type, int oldW, int oldH);
bool TurnObjectHalf(OverlayObject& o, std::int32_t type, int W, int H);

}  // namespace plastora
