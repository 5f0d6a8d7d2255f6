// The display interlace image: the two extreme views interleaved row by row
// or column by column for 3D monitors that show alternate lines to the two
// eyes (display mode 6). Its settings live in [Interlace] of the settings
// file: "Type" (0 rows, 1 columns), "Stereo" (show views this way after view
// generation) and "ReverseStereo" (swap the views).
#pragma once

#include "platform/Surface.h"

#include <string>

namespace plastora {

class CStereoWorkspace;

enum InterlaceType : int { kInterlaceRows = 0, kInterlaceColumns = 1 };

// The interleave of view 0 (`right`) and view N-1 (`left`) into `dst` (made
// at the smaller of their sizes when its size differs), rows and columns
// counted from the top-left starting at 0:
//   rows:    even rows (the top one too) from view N-1, odd rows from view 0;
//   columns: even columns (the leftmost too) from view 0, odd from view N-1;
// `swap` exchanges the two views. False when a view is empty or `dst`
// cannot be allocated.
bool BuildInterlace(Surface& dst, const Surface& right, const Surface& left, int type, bool swap);

// The three settings, as CInterlaceDlg shows them.
struct InterlaceSettings {
    int type = kInterlaceRows;  // "横インターレース" (0) / "縦インターレース" (1)
    bool stereo = false;        // "立体画像をインターレースで表示"
    bool swap = false;          // "左右画像入替"
};
InterlaceSettings readInterlaceSettings(const std::string& settingsPath);
// OK of the dialog: writes all three keys ("1" or "0") and sets the
// workspace's interlace type. False when the settings file was not written.
bool ApplyInterlaceSettings(CStereoWorkspace& ws, const InterlaceSettings& settings);

// "インターレース画像の作成": reads "Type" and "ReverseStereo" from the
// settings file again (the file is the authority at build time), builds the
// image from view 0 and view N-1 (with flat texts drawn on copies, see
// prepareStereoSources) into the workspace's interlace picture, shows it
// (mode 6, which stops the view animation) and redraws. Returns 1, or 0
// when the two views are missing or memory fails (display left as it was).
int CreateInterlace(CStereoWorkspace& ws);

// The one-pixel shift with which the view window draws the interlace image
// so that the picture's first row and column land on even lines of the
// screen, where a line-interlaced monitor expects them: `origin` is the
// client area's top-left corner on the screen and `scroll` how far the
// picture is scrolled. Moving the window or scrolling by one pixel changes
// the shift, never which eye a screen line shows. (The size of the client
// area says nothing about where it sits: a status bar or a window that is
// not maximised puts its edges anywhere.)
Point interlaceParityShift(Point origin, Point scroll);

}  // namespace plastora
