// Anaglyph images: the two extreme views merged into one picture for glasses
// with coloured filters. View N-1 (the left eye) gives the red channel,
// view 0 (the right eye) green and/or blue.
//
// Also the piece the display interlace image shares: where the two source
// views are read from when texts are kept flat ("立体化しない").
#pragma once

#include "platform/SafeFile.h"
#include "platform/Surface.h"

#include <functional>
#include <string>

namespace plastora {

class CStereoWorkspace;

enum AnaglyphColourMode : int { kAnaglyphGrey = 0, kAnaglyphColour = 1 };
enum AnaglyphFilter : int { kFilterRedCyan = 0, kFilterRedGreen = 1, kFilterRedBlue = 2 };

// The strengths an anaglyph is made at (the dialog's range): a project's own
// strength outside it is taken as its nearest bound.
constexpr int kMinAnaglyphStrength = 1;
constexpr int kMaxAnaglyphStrength = 50;

// The per-pixel rule on W x H pictures. `dst` is made at the smaller of the
// two views' sizes when its size differs. Colour mode 0 replaces both pixels
// by their grey value (each quotient of r x 30 / 100 + g x 59 / 100 +
// b x 11 / 100 truncated alone) before the channels are picked:
//   red-cyan  (A.r, B.g, B.b)   red-green (A.r, B.g, 0)   red-blue (A.r, 0, B.b)
// with A the left-eye pixel (view N-1) and B the right-eye pixel (view 0).
// Filters 3..7 are the methods of AnaglyphMethods.h (the colour mode does
// not apply to them); any other filter outside 0..2 is taken as red-cyan.
// False when either view is empty or `dst` cannot be allocated.
bool BuildAnaglyph(Surface& dst, const Surface& right, const Surface& left, int colourMode, int filter);


// The two views an anaglyph or interlace image is built from: view 0 and
// view N-1 themselves, or, when the workspace has flat texts and a painter is
// set, copies of both with the texts drawn on them (so that the texts sit at
// the same place for both eyes and show no depth).
struct StereoSources {
    const Surface* right = nullptr;  // view 0
    const Surface* left = nullptr;   // view N-1
    Surface rightCopy, leftCopy;
};
// False when view 0 or view N-1 is missing, or a copy cannot be allocated
// (after the memory message).
bool prepareStereoSources(CStereoWorkspace& ws, StereoSources& sources);

// ---- the workspace operations ----------------------------------------------------

// What CAnaglyphDlg edits.
struct AnaglyphDialogData {
    int colourMode = kAnaglyphGrey;
    int filter = kFilterRedCyan;
    bool regenerate = false;  // "立体画像作り直し"
    int strength = 2;         // "立体感", 1..50
};

// The dialog's preset: colour mode and filter as the workspace keeps them,
// its strength, and regeneration ticked when there is no view set.
AnaglyphDialogData anaglyphDialogPreset(const CStereoWorkspace& ws);

// The question "作成" asks for a colour anaglyph with a filter other than
// red-cyan (Yes/No, No by default).
extern const char* const kAnaglyphColourQuestion;
// Whether "作成" has to ask it for these choices.
bool anaglyphNeedsColourQuestion(const AnaglyphDialogData& data);

// Makes view 0 and view N-1 again with strength `strength`: a stereo-pair
// document from its pictures without pattern matching, any other by view
// synthesis of the two extreme views only. Failures are reported by the
// builders.
void RegenerateAnaglyphViews(CStereoWorkspace& ws, int strength);

// Builds the anaglyph of the current views with the workspace's colour mode
// and filter into the workspace's anaglyph picture. False when views are
// missing or memory fails (the memory message is shown for the latter).
bool BuildAnaglyphImage(CStereoWorkspace& ws);

// The dialog's OK: regeneration when ticked, the colour mode and filter
// stored (and written to [Option] only when they changed), the build, then
// the anaglyph display (mode 5, which stops the view animation) and a
// redraw. Returns 1, or 0 when nothing could be built (the display mode is
// then left as it was).
int CreateAnaglyph(CStereoWorkspace& ws, const AnaglyphDialogData& data);

// The anaglyph at R x W by R x H from the high-resolution stereo pair (flat
// texts are not drawn on it). False after the memory message.
bool BuildHighResAnaglyph(CStereoWorkspace& ws, Surface& out);

// "アナグリフ画像の保存": a save dialog when no path is given; then, when the
// picture has a high-resolution copy, the high-resolution anaglyph, else the
// W x H display image (after clearing the object selection). JPEG when the
// name ends in jpg or jpeg, else BMP. Returns 1 when written; 0 when
// cancelled or failed ("ファイルの保存に失敗しました" shown by the writer).
// `links`: what becomes of a symbolic link at `path` (an output folder's
// names, made by the program, replace a link instead of writing through).
int SaveAnaglyph(CStereoWorkspace& ws, const std::string& path = {}, LinkAtTarget links = LinkAtTarget::Follow);

}  // namespace plastora
