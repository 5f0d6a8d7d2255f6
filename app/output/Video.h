// Moving pictures and stereo movie frames made from the view set.
//
// A movie sweeps through the views forwards and backwards (the camera pan)
// and is written as an AVI file (Motion JPEG, by our own writer) or as an
// animated GIF (256 colours clustered from the first frame, encoded by
// Pixelune's GifWrite). A stereo movie frame is one still picture of the two
// eye images side by side, one above the other, or row- or
// column-interleaved, at a video frame size, for stereo video tools.
//
// Everything is read from [Video] of the settings file at the start of each
// command; nothing carries over between commands.
#pragma once

#include "output/ColourPalette.h"
#include "platform/Surface.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace plastora {

class CStereoWorkspace;
class ProgressSink;

// ---- settings ------------------------------------------------------------

enum StereoMovieKind : int {
    kMovie = 0,                // "立体画像による動画作成"
    kFrameSideBySide = 1,      // "横並び"
    kFrameTopBottom = 2,       // "縦並び"
    kFrameRowInterlace = 3,    // "横インターレース"
    kFrameColumnInterlace = 4, // "縦インターレース"
};

constexpr int kVideoSizeCount = 4;
constexpr double kMinFps = 0.1;
constexpr double kMaxFps = 30.0;
constexpr int kMinLoop = 1;
constexpr int kMaxLoop = 99;

// The six values CVideoDlg edits.
struct VideoSettings {
    int stereoType = kMovie;     // 0..4
    int videoSize = 1;           // index of "Size%d" (index + 1)
    bool reverseStereo = false;  // swap the eye images (stereo movie frames)
    double fps = 8.0;
    int loop = 8;                // forward-and-back sweeps of an AVI
    bool gifOwnSize = true;      // a GIF keeps the picture's own size
};

// The values "標準に戻す" puts back (they differ from the defaults of a
// missing file in FPS and Loop).
VideoSettings videoResetValues();

// Reads the six values. Values the file may hold but the commands cannot
// use are brought into range: a stereo type or size index outside its range
// reads as the default, FPS is held to 0.1..30 and Loop to 1..99 (a frame
// rate of 0 would make the GIF delay a division by zero).
VideoSettings readVideoSettings(const std::string& settingsPath);
// OK of the dialog: all six keys ("%d", "1"/"0", and "%f" for the FPS).
// False when the file could not be written (nothing of it changed then).
bool writeVideoSettings(const std::string& settingsPath, const VideoSettings& s);
// The frame size of "Size%d" for a size index (index + 1), in whole pixels.
Size videoFrameSize(const std::string& settingsPath, int sizeIndex);

// ---- frame geometry --------------------------------------------------------

// The rectangle a w x h picture takes in a wv x hv frame: the full width and
// centred vertically when the picture is wider than the frame, the full
// height and centred horizontally when it is narrower, else the whole frame.
Rect fitIntoFrame(int wv, int hv, int w, int h);

// The view shown by each frame of a movie: `passes` passes over N views,
// even passes forward (views 0 .. N-2), odd passes backward (N-1 .. 1).
// With `extremesOnly` each pass shows only its first frame (view 0, N-1,
// 0, ...). Empty for N < 2 or no passes.
std::vector<int> movieFrameSequence(int viewCount, int passes, bool extremesOnly);

// Whether a movie of this workspace alternates the two extreme views only:
// a stereo-pair document of exactly two pictures whose views were not made
// by pattern matching (its in-between views are plain blends).
bool movieUsesExtremesOnly(const CStereoWorkspace& ws);

// Stretches `view` (halftone) into its fitted rectangle of `frame` (whose
// size is the frame size); the rest of the frame becomes black.
bool renderFittedFrame(Surface& frame, const Surface& view);

// ---- the writers ---------------------------------------------------------------

// The AVI: 2 x Loop passes at [Video] "Size%d" and "FPS", MJPEG-coded, with
// the progress window "動画ファイル作成中". Each view shown is fitted and
// coded once (the views in parallel). The file is written beside the target
// under a private temporary name and renamed into place only when complete.
// Returns 1 when written; 0 with the memory message when a frame cannot be
// made, or with "ファイルの保存に失敗しました" when the file cannot be
// written (missing or unwritable folder, full disk, past the 4 GB an AVI 1.0
// file can hold); the previous file is then left as it was.
int WriteMovieAvi(CStereoWorkspace& ws, const std::string& path);

// The animated GIF: one forward and one backward pass, delay trunc(100 /
// FPS), at the picture's own size (width rounded down to a multiple of 4) or
// fitted into "Size%d". Frames are mapped to the palette and LZW-coded one
// per core. Returns 1 when written; 0 with the memory message when a frame
// cannot be made, or with "ファイルの保存に失敗しました" when the file cannot
// be created or written; the previous file is then left as it was.
int WriteMovieGif(CStereoWorkspace& ws, const std::string& path);

// Combines the two eye images into a wv x hv stereo movie frame of `kind`
// (1..4), A in the first place (left, top, odd rows from the top, even
// columns), B in the second. `squeezeInterlace` false fits the interlace
// kinds unsqueezed (used for the high-resolution pair): each frame row or
// column then comes from the same row or column of its eye image. False when
// memory fails or the kind is not 1..4.
bool BuildStereoMovieFrame(Surface& out, const Surface& a, const Surface& b, int kind, int wv, int hv,
                           bool squeezeInterlace);

// The stereo movie frame of `kind` from the working views 0 and N-1 (with
// flat texts drawn on them when a painter is set), or from the
// high-resolution stereo pair when the picture has one, written through
// SaveStillImage. Returns 1 when written, 0 otherwise (after its message).
int MakeStereoMovieFrame(CStereoWorkspace& ws, const std::string& path, int kind);

// ---- the command ------------------------------------------------------------------

// The text shown when a text object is kept flat ("立体化しない").
extern const char* const kMovieFlatTextMessage;

// Whether the make-movie command is enabled: view 0 or a high-resolution
// copy exists.
bool canMakeMovie(const CStereoWorkspace& ws);

// "動画ファイルの作成(&V)...": dispatches on [Video] "StereoType". A stereo
// movie frame asks for a BMP or JPEG name; a movie refuses flat texts,
// offers to make missing views, asks for an AVI or GIF name (".avi" beside
// the document) and writes the GIF when the name ends in ".gif". Returns 1
// when a file was written.
int MakeMovie(CStereoWorkspace& ws);

}  // namespace plastora
