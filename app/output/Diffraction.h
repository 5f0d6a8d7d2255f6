// The spectral-glasses image ("分光メガネ用画像作成").
//
// Prism (chroma-depth) glasses make red look near and blue look far, so no
// second view is needed: the picture behind the cut-out foreground is
// replaced by a background that is either one flat colour or the photo in
// grey tinted with that colour, while regions K .. count-1 keep their own
// colours on top of it. The result is the edit display (display mode 2),
// which printing and the edit-image save then output.
#pragma once

#include "platform/Surface.h"

#include <cstdint>

namespace plastora {

class CStereoWorkspace;

enum SpectralState : int {
    kSpectralNone = 0,
    kSpectralFilled = 1,  // the background is the colour
    kSpectralTinted = 2,  // the background is the photo's grey, tinted
};

// The grey value of a pixel: r x 30 / 100 + g x 59 / 100 + b x 11 / 100,
// each quotient truncated on its own (white gives 254).
constexpr int greyValue(int r, int g, int b) { return r * 30 / 100 + g * 59 / 100 + b * 11 / 100; }

// The contrast stretch: below 32 gives 0, above 223 gives 255, and between
// (grey - 32) x 255 / 191, truncated.
constexpr int stretchContrast(int grey) {
    return grey < 32 ? 0 : grey > 223 ? 255 : (grey - 32) * 255 / 191;
}

// One pixel of the tinted background: its grey (stretched when `contrast`),
// then each channel grey x colour_c / 255, truncated. Black stays black and
// white becomes (nearly) the colour.
Pixel spectralTint(Pixel source, ColorRef colour, bool contrast);

// The grey-tint build: `dst` (made at the source's size when its size
// differs) receives the tint of every pixel of `source`. False when `dst`
// cannot be allocated.
bool BuildGreyTint(Surface& dst, const Surface& source, ColorRef colour, bool contrast);

// What CBackDlg edits. The colour is the workspace's, which the colour
// buttons change at once; the rest is taken only on OK.
struct SpectralDialogData {
    ColorRef colour = 0x00FF0000u;
    bool fill = false;       // "背景を塗りつぶす"
    int backgroundMasks = 0; // K, "背景とするマスクの数"
    bool contrast = false;   // "コントラスト補正"
};

// The dialog's preset from the workspace: fill ticked iff the state is 1,
// K and the contrast flag as kept, the current colour.
SpectralDialogData spectralDialogPreset(const CStereoWorkspace& ws);

// The dialog's colour radio for a colour: 0 "青", 1 "黒(塗りつぶし)",
// 2 "赤(飛び出る)", 3 "任意の色" (any other colour).
int spectralColourChoice(ColorRef colour);
// The colour of radios 0..2 ("任意の色" has none of its own).
ColorRef spectralChoiceColour(int choice);

// OK of the dialog: stores colour, K and contrast, switches to the edit
// display when another display is shown, makes the background bitmap when
// there is none, fills it with the colour (state 1) or builds the grey tint
// of the source into it (state 2), and redraws. K is held to 0 .. count so
// that the edit display never reads a region that does not exist. Returns 1,
// or 0 with no picture or after the memory message.
int ApplySpectral(CStereoWorkspace& ws, const SpectralDialogData& data);

// The edit display with a background: the background bitmap, then the source
// through the masks of regions K .. count-1 in drawing order (unshifted),
// then the paint layer through its mask. Returns false, drawing nothing,
// while no background is set (state 0 or no bitmap).
bool drawSpectralEditImage(CStereoWorkspace& ws, Surface& display);

// The edit image at R x W by R x H for high-resolution printing: the
// high-resolution copy (the working image enlarged when there is none),
// with a background set the background made at that size from it with the
// same colour and contrast and regions K .. count-1 over it through their
// masks stretched by R; then the paint layer stretched by R. `out` is made
// here. False after the memory message.
bool BuildHighResEditImage(CStereoWorkspace& ws, Surface& out);

}  // namespace plastora
