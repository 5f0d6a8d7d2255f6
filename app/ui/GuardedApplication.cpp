#include "ui/GuardedApplication.h"

#include "core/EscapedError.h"
#include "platform/Host.h"
#include "platform/Translation.h"
#include "ui/QtHost.h"

#include <exception>

namespace plastora::ui {

namespace {

constexpr const char* kStoppedByErrorMessage = "エラーが発生したため、処理を中止しました。\n%1";

std::function<void(const std::string&)>& reporter() {
    static std::function<void(const std::string&)> r;
    return r;
}

void report(const std::string& text) {
    if (reporter()) {
        reporter()(text);
        return;
    }
    QtHost host(QApplication::activeWindow());
    host.message(MessageRequest{text, MsgButtons::Ok, MsgIcon::Error});
}

// The text in the chosen language, then the error's own words in it.
std::string stoppedBy(const std::string& what) {
    std::string text = translateText(kStoppedByErrorMessage);
    const std::size_t at = text.find("%1");
    return at == std::string::npos ? text + "\n" + what : text.replace(at, 2, what);
}

}  // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void GuardedApplication::setReporter(std::function<void(const std::string&)> r) { reporter() = std::move(r); }

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        const EscapedError error = describeEscapedError(e);
        report(error.outOfMemory ? std::string(kOutOfMemoryMessage) : stoppedBy(error.what));
    }
    return false;
}

}  // namespace plastora::ui
