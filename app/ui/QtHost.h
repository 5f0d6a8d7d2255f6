// QtHost: the Host of the desktop program, with real Qt dialogs.
#pragma once

#include "platform/Host.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;
class QProgressDialog;

namespace plastora::ui {

// A text of the program as shown: in the language chosen at start-up.
QString shownText(const std::string& text);
inline QString shownText(const char* text) { return shownText(std::string(text ? text : "")); }

// "Name|*.a;*.b|Other|*.c||" -> "Name (*.a *.b);;Other (*.c)".
QString qtFilterFromClassic(const std::string& filter);

class QtHost : public Host {
public:
    explicit QtHost(QWidget* parent);

    MsgResult message(const MessageRequest& request) override;
    std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
    std::optional<ColorRef> chooseColor(ColorRef initial) override;
    void progressBegin(const std::string& caption, int minimum, int maximum) override;
    void progressSet(int position) override;
    void progressEnd() override;
    void redraw() override;
    void setTitle(const std::string& title) override;
    void status(const std::string& text) override;

    std::function<void()> onRedraw;
    std::function<void(const QString&)> onTitle;
    std::function<void(const QString&)> onStatus;

private:
    QWidget* m_parent;
    QPointer<QProgressDialog> m_progress;
};

}  // namespace plastora::ui
