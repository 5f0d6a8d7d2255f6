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

namespace plastora {

class CStereoWorkspace;
class ProgressSink;
struct PictureDialogData;   // output/WorkingSize.h
struct TrimmingDialogData;  // output/WorkingSize.h

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
};

}  // namespace plastora
