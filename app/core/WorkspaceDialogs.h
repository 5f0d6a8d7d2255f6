// WorkspaceDialogs: the modal dialogs an operation of the workspace opens in
// its middle (the paper dialog while a picture is opened, the trimming
// dialog, ...). The desktop program implements them with Qt dialogs; tests
// and the command-line tool answer them from data. Each method gets the
// dialog's fields preset and returns true for OK (fields updated) or false
// for Cancel.
//
// Without a WorkspaceDialogs the workspace takes every dialog as confirmed
// with its preset fields.
#pragma once

#include <string>

namespace plastora {

class CStereoWorkspace;
class ProgressSink;
struct PictureDialogData;   // output/WorkingSize.h
struct TrimmingDialogData;  // output/WorkingSize.h

// "文字入力": a text object's text, font and ticks.
struct TextDialogData {
    std::string text;  // UTF-8; OK needs it non-empty
    std::string face;
    int size = 36;     // 8..72
    bool flat = false;      // "立体化しない"
    bool vertical = false;  // "縦書き"
    bool bold = true;       // "太字"
    bool italic = false;    // "斜体"
    bool antialiased = true;  // "アンチエイリアス"
};

// "図形設定": a shape object's kind, ticks, line width and arrow/corner size.
struct ShapeDialogData {
    int kind = 0;  // 0 "四角形" .. 4 (ShapeKind)
    bool square = false;       // "縦横同じ"
    bool noFill = false;       // "塗つぶしなし"
    bool arrowFirst = false;   // arrowhead at the left end
    bool arrowSecond = false;  // arrowhead at the right end
    int lineWidth = 2;  // 0..8
    int size = 8;       // arrowhead or corner size, 0..32
};

// The fault that keeps "図形設定" from closing with OK (its message), or
// null: a line needs a width of at least 1.
const char* shapeDialogError(const ShapeDialogData& data);

class WorkspaceDialogs {
public:
    virtual ~WorkspaceDialogs() = default;

    // "画像読込みダイアログ": paper, trimming mode, user size and lens
    // resolution for a picture being opened or a paper change.
    virtual bool pictureDialog(PictureDialogData& /*data*/) { return true; }
    // "トリミングダイアログ": the crop rectangle (and straightening) of the
    // manual trimming mode. The preset rectangle is the initial frame.
    virtual bool trimmingDialog(TrimmingDialogData& /*data*/) { return true; }
    // The depth settings dialog ("遠近設定ダイアログ") over the workspace's
    // depths; it writes them back itself on OK. Without dialogs nothing is
    // changed.
    virtual void depthDialog(CStereoWorkspace& /*ws*/) {}
    // The stereo dialog ("立体画像作成ダイアログ"): on "作成" it generates the
    // views itself (with its own progress bar) and returns true with the
    // interlace tick in `interlace`; Cancel returns false. The default makes
    // the views at once with the current strength and the interlace setting.
    virtual bool stereoDialog(CStereoWorkspace& ws, bool autoStart, bool& interlace);
    // "文字入力" for a new or an edited text object (fields preset).
    virtual bool textDialog(TextDialogData& /*data*/) { return true; }
    // "図形設定" for a new or an edited shape object (fields preset).
    virtual bool shapeDialog(ShapeDialogData& /*data*/) { return true; }
};

}  // namespace plastora
