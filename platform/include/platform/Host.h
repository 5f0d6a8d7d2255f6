// Host: everything the picture logic needs from a person or a window.
//
// The core never opens a window itself. Message boxes, file and colour
// dialogs, the progress window and redraw requests all go through the Host
// it was given. The desktop program implements it with real Qt dialogs, the
// command-line front end answers from its options, and tests script it.
#pragma once

#include "platform/Surface.h"

#include <optional>
#include <string>

namespace plastora {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MessageRequest {
    std::string text;     // exact UTF-8 text shown to the user
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    int defaultButton = 0;  // 0 = first button, 1 = second, 2 = third
};

struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string defaultExtension;  // without the dot, e.g. "lyr"
    // The filter in the classic form "Name|*.a;*.b|Other|*.c||".
    std::string filter;
    std::string initialPath;       // a file name, a folder, or empty
    bool overwritePrompt = true;   // save dialogs only
};

class Host {
public:
    virtual ~Host() = default;

    virtual MsgResult message(const MessageRequest& request) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<ColorRef> chooseColor(ColorRef initial) = 0;

    // A progress window: begin shows it with a caption and a range, set moves
    // the bar, end closes it. Calls never nest.
    virtual void progressBegin(const std::string& caption, int minimum, int maximum) = 0;
    virtual void progressSet(int position) = 0;
    virtual void progressEnd() = 0;

    // The display image changed: repaint the view.
    virtual void redraw() = 0;
    // The document title (current path) changed.
    virtual void setTitle(const std::string& /*title*/) {}
    // A short note on what an operation did, for the status bar (nothing to
    // answer; hosts without a status bar may ignore it).
    virtual void status(const std::string& /*text*/) {}

    // Shorthands.
    // A save dialog with an overwrite prompt; the chosen path or nothing.
    std::optional<std::string> askSavePath(const std::string& defaultExtension, const std::string& filter,
                                           const std::string& initialPath = {}) {
        return fileDialog(FileDialogRequest{true, {}, defaultExtension, filter, initialPath, true});
    }
    // An open dialog; the chosen path or nothing.
    std::optional<std::string> askOpenPath(const std::string& defaultExtension, const std::string& filter,
                                           const std::string& initialPath = {}) {
        return fileDialog(FileDialogRequest{false, {}, defaultExtension, filter, initialPath, true});
    }
    MsgResult message(const std::string& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                      int defaultButton = 0) {
        return message(MessageRequest{text, buttons, icon, defaultButton});
    }
};

// A Host that answers every question with its default and shows nothing: for
// batch work where no person is present. Messages are collected.
class SilentHost : public Host {
public:
    MsgResult message(const MessageRequest& request) override;
    std::optional<std::string> fileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<ColorRef> chooseColor(ColorRef) override { return std::nullopt; }
    void progressBegin(const std::string&, int, int) override {}
    void progressSet(int) override {}
    void progressEnd() override {}
    void redraw() override {}

    std::string lastMessage;
};

// The out-of-memory message every long operation shows when a picture cannot
// be allocated.
extern const char* const kOutOfMemoryMessage;

}  // namespace plastora
