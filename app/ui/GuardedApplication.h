// The desktop program's application object. Work started by a click or a
// key runs inside Qt's event dispatch; anything it throws (memory running
// out on a worker, a thread refused, an error of OpenCV's) would end the
// program on the spot, the document and its unsaved edits with it. Here it
// is caught where every event is handed out, reported, and the program goes
// on with the document as the interrupted work left it.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

namespace plastora::ui {

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Where a report goes: a message box over the active window, unless
    // given another place (tests). Pass nullptr for the message box.
    static void setReporter(std::function<void(const std::string& text)> reporter);
};

}  // namespace plastora::ui
