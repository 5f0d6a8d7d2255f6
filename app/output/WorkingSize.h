// The working size: the pixel size every mask, layer and view of a picture
// has, fixed by a paper, the resolution of the lens sheet (lines per inch)
// and a trimming mode that brings the photo's aspect ratio to the paper's.
//
// Everything here is plain arithmetic on sizes and rectangles, plus the
// resampling of one picture through a pair of rectangles, so that it can be
// checked without a workspace. CStereoWorkspace's opening and paper-change
// operations are built from these pieces.
#pragma once

#include "autocut/FaceBox.h"
#include "core/Settings.h"
#include "platform/Surface.h"

#include <array>
#include <cstdint>
#include <string>
#include <memory>
#include <vector>

namespace plastora {

class Host;

// Papers (the first radio group of the picture dialog).
constexpr int kPaperPostcard = 0;  // "はがき"
constexpr int kPaperL = 1;         // "L判"
constexpr int kPaperCard = 2;      // "名刺(カード)"
constexpr int kPaperVGA = 3;       // "VGA"
constexpr int kPaperA4 = 4;        // "A4"
constexpr int kPaper2L = 5;        // "2 L判": also the limit for the high-resolution copy
constexpr int kPaperUser = 6;      // "ユーザ設定": sized in millimetres
constexpr int kPaperCount = 7;
constexpr int kTablePaperCount = 6;  // papers whose size comes from "PaperSize%d"

// Trimming modes (the second radio group).
constexpr int kTrimNone = 0;     // "トリミングしない": the photo's own size
constexpr int kTrimCrop = 1;     // "はみ出しをカット": centred crop to the paper's ratio
constexpr int kTrimMargins = 2;  // "余白を残す": fitted inside, white margins
constexpr int kTrimStretch = 3;  // "縦横比を変更": stretched to the paper
constexpr int kTrimManual = 4;   // "手動で行う": the trimming dialog chooses
constexpr int kTrimModeCount = 5;

// Field ranges of the picture dialog.
constexpr int kMinPaperMm = 1;
constexpr int kMaxPaperMm = 9999;
constexpr double kMinLpi = 20.0;
constexpr double kMaxLpi = 160.0;

// The paper sizes are given for a 60 lpi sheet; at 60 lpi a millimetre of
// print is 4.78 pixels (0.07966667 = 4.78 / 60 per lpi).
constexpr double kReferenceLpi = 60.0;
constexpr double kPixelsPerMmPerLpi = 0.07966667;
constexpr double kPixelsPerMmAt60 = 4.78;

// The radio texts, by index.
extern const char* const kPaperNames[kPaperCount];
extern const char* const kTrimmingNames[kTrimModeCount];

// The question asked when a picture is opened with another lens resolution
// (%1 = the resolution printed with one decimal).
extern const char* const kAskStandardLpi;

// The picture dialog's fields ("画像読込みダイアログ"), in dialog-data order,
// and the two inputs the caller sets.
struct PictureDialogData {
    int paper = kPaperPostcard;  // 0..6
    int trimming = kTrimCrop;    // 0..4
    int userWidthMm = 130;       // 1..9999
    int userHeightMm = 83;       // 1..9999
    double lpi = 60.0;           // 20..160
    // Inputs: the picture is already open (a paper change), and a
    // high-resolution copy will be made or exists. Either one disables
    // "トリミングしない".
    bool resizing = false;
    bool highRes = false;
};

// The trimming dialog's data ("トリミングダイアログ").
struct TrimmingDialogData {
    // In: the unrotated photo (sw0 x sh0); stays the caller's.
    const Surface* photo = nullptr;
    // In/out: the working size; "縦横比変更" swaps the two.
    int workingWidth = 0;
    int workingHeight = 0;
    // In/out: the accumulated straightening angle in radians.
    double angle = 0.0;
    // In: where the dialog asks its question; may be null (then "縦横比変更"
    // is taken as answered No).
    Host* host = nullptr;
    // In: the initial frame's rectangle; out: the chosen one, in photo pixels
    // (of the straightened copy when the angle is not 0).
    Rect source;
    // Out, optional: the straightened copy the dialog made (photo size, white
    // where no photo pixel maps). When left empty with a non-zero angle, the
    // caller makes it again from the photo.
    Surface rotated;
};

// The paper table from the settings file: "PaperSize1" .. "PaperSize6" as
// written (sizes at 60 lpi; fallback "640,480").
using PaperTable = std::array<SettingSize, kTablePaperCount>;
PaperTable readPaperTable(const Settings& settings);

// A paper's pixel size at a lens resolution: each side w x LPI / 60,
// truncated.
Size scaledPaperSize(const SettingSize& paper, double lpi);
// Millimetres to pixels: trunc(mm x LPI x 0.07966667).
int mmToPixels(int mm, double lpi);
// Pixels to millimetres, for filling the fields from a picture:
// trunc(pixels x 60 / (LPI x 4.78)).
int pixelsToMm(int pixels, double lpi);
// The lens resolution as the program holds it (single precision, as the
// project file stores it); every formula above computes with this value.
double lensValue(double lpi);
// A lens resolution (or any value typed with decimals) written with as many
// decimals as it has, one to three: 60.0, 60.25, 60.125. Within a thousandth
// of a last decimal, as a single-precision value read back is near it.
std::string lensText(double lpi);

// The paper size (f, g) the dialog's choice gives, before orientation:
// trimming 0 gives the photo's own size.
Size paperTarget(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0);
// The paper turns to the photo: a portrait photo (width < height) gets the
// narrow side as width, any other the wide side.
Size orientToPhoto(Size paper, int sw0, int sh0);
// Both steps: the working size W x H.
Size workingSize(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0);

// The dialog presets for opening (resizing = false) or for a paper change of
// an open picture of W x H with lens `lpi`:
// - a name ending in "o"/"O" (an ".mpo") gives "VGA" without trimming, any
//   other "はがき" with "はみ出しをカット";
// - the millimetre fields come from W x H when there is a picture, else 130 x 83;
// - resizing: the paper is the first of 0..4 whose size at `lpi` equals
//   W x H either way round, else "2 L判"; highRes = `hasHighRes`;
// - opening: a photo wider or taller than the "2 L判" entry (as written,
//   width against width) gets "はがき", "はみ出しをカット" and highRes.
PictureDialogData presetPictureDialog(const std::string& path, bool resizing, int W, int H, double lpi,
                                      const PaperTable& papers, int sw0, int sh0, bool hasHighRes);

// Checks the fields against their ranges (what the dialog enforces).
bool pictureDialogValid(const PictureDialogData& d);
// False for a working size a project cannot hold (see kProjectMaxSide):
// such a picture is refused with kWorkingSizeTooLargeMessage.
bool workingSizeStorable(int width, int height);
extern const char* const kWorkingSizeTooLargeMessage;
// A paper (from the settings) so small that the working picture would have
// no pixels.
extern const char* const kWorkingSizeTooSmallMessage;
// False for a high-resolution copy (R times the working size) the project
// could not keep: a side beyond what a JPEG holds, or more rows of pixels
// than a picture file is read back with.
bool highResCopyHoldable(int width, int height);

// How a photo lands on the working image: the source rectangle of the photo
// is stretched onto the destination rectangle of the W x H image; with
// margins the rest of the image is white.
struct TrimPlan {
    Rect source;
    Rect dest;
    bool margins = false;
    friend bool operator==(const TrimPlan&, const TrimPlan&) = default;
};

// The rectangles of the automatic trimming modes 0..3 for a sw0 x sh0 photo
// on a W x H working image. (Mode 4 takes its source rectangle from the
// trimming dialog and its destination is the whole image.)
TrimPlan planTrimming(int mode, int sw0, int sh0, int W, int H);

// A crop rectangle of a sw0 x sh0 photo moved, its size kept, by the least
// distance that brings every face inside it with room for the whole head:
// six tenths of a face height above the face box and a quarter of its width on
// either side. Where not everything fits, the tops of the heads and the
// leftmost face come first. Without faces, or when they already fit, the
// rectangle is returned as it was.
Rect keepFacesInCrop(const Rect& crop, int sw0, int sh0, const std::vector<FaceBox>& faces);

// Both rectangles multiplied: the source by sourceScale, the destination by
// destScale (the high-resolution copy is R times the working image).
Rect scaleRect(const Rect& r, int scale);

// The largest reduction (8, 4 or 2, else 1) at which the `source`
// rectangle of a photo still holds at least needW x needH pixels: a photo
// may be decoded that much smaller when nothing made of it is larger.
int photoReduction(const Rect& source, int needW, int needH);
// A rectangle in photo pixels carried onto the photo read at 1/scale of its
// size (sw x sh pixels there): each edge divided by the scale and rounded,
// kept on the picture and at least a pixel wide and high. Exact when the
// edges are multiples of the scale.
Rect reduceRect(const Rect& r, int scale, int sw, int sh);


// Resamples `src` through `plan` (halftone) into a new W x H picture `out`
// whose uncovered part is `background`. False when memory fails (`out` is
// then empty).
bool resampleThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest,
                     Pixel background);
// The same by nearest pixel, for a depth map: no pixel gets a value between
// two of its neighbours'.
bool resampleNearestThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest,
                            Pixel background);
// resampleThrough from a photo read at 1/scale of its size (`src`, whose
// pixel j covers photo pixels [j x scale - phase, (j + 1) x scale - phase)
// each way; the phase is 0 but for a photo its orientation turned after a
// reduced decode, see PhotoLoadNotes), with
// `source` still in photo pixels: each pixel of `dest` is the average over
// the part of the photo it shows, its edges falling between the pixels of
// `src` where they do. `dest` must lie within the W x H picture. Made in
// bands of rows on every core, the same bytes on any number of cores.
bool resampleReducedThrough(Surface& out, int W, int H, const Surface& src, int scale, const Rect& source,
                            const Rect& dest, Pixel background, Point phase = {0, 0});
// resampleReducedThrough made from the read picture's rows as they come
// (top first, each once), so that the picture need not be held whole: the
// same bytes. valid() is false when memory fails or the geometry needs the
// whole picture (resampleReducedThrough then rounds the rectangle instead);
// take() gives the result once every row it needs has come.
class ReducedRowResampler {
public:
    ReducedRowResampler(int W, int H, int srcW, int srcH, int scale, const Rect& source, const Rect& dest,
                        Pixel background);
    ~ReducedRowResampler();
    ReducedRowResampler(const ReducedRowResampler&) = delete;
    ReducedRowResampler& operator=(const ReducedRowResampler&) = delete;
    bool valid() const;
    void addRow(int y, const Pixel* row, int width);
    bool take(Surface& out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
// The same for a mask: the result is made black and white again, a pixel
// being inside wherever the stretched mask is not black.
bool resampleMaskThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest);

}  // namespace plastora
