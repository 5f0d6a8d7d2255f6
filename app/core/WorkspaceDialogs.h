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

class WorkspaceDialogs {
public:
    virtual ~WorkspaceDialogs() = default;

    // The depth settings dialog ("遠近設定ダイアログ") over the workspace's
    // depths; it writes them back itself on OK. Without dialogs nothing is
    // changed.
    virtual void depthDialog(CStereoWorkspace& /*ws*/) {}
};

}  // namespace plastora
