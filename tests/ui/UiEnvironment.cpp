// The widget tests need a QApplication before any widget (and before the
// platform layer would make a plain QGuiApplication for text): the
// program's own, which reports what escapes an event handler.
#include "ui/GuardedApplication.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class WidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char arg0[] = "ui_tests";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance()) m_app = new plastora::ui::GuardedApplication(argc, argv);
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

}  // namespace
