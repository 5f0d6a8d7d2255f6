// Starting the GUI run time from a program that has none: each case runs in
// a fresh process, since a process gets only one application object.
#include "platform/GuiRuntime.h"
#include "platform/Paths.h"
#include "platform/Surface.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace plastora;

namespace {

// A font configuration that adds one alias of its own to the system's.
const char* const kFontsConf = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <alias binding="same">
    <family>Plastora Probe Face</family>
    <prefer><family>IPAPGothic</family></prefer>
  </alias>
</fontconfig>
)";

// Runs in the child: starts the run time with a program folder that holds
// fonts.conf and reports through the exit code what it found.
[[noreturn]] void startWithBundledFontConfiguration() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("plastora-gui-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "fonts.conf") << kFontsConf;
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("FONTCONFIG_FILE");
    setProgramFolder(dir.string());

    ensureGuiRuntime();
    int code = 0;
    if (!qGuiApp) code |= 1;
    else if (QGuiApplication::platformName() != QStringLiteral("offscreen")) code |= 2;
    if (qgetenv("FONTCONFIG_FILE") != QByteArray::fromStdString((dir / "fonts.conf").string())) code |= 4;
    Font probe;
    probe.face = "Plastora Probe Face";
    probe.height = -20;
    if (QFontInfo(qfontFor(probe)).family() != QStringLiteral("IPAPGothic")) code |= 8;
    shutdownGuiRuntime();
    std::filesystem::remove_all(dir);
    std::_Exit(code);
}

}  // namespace

TEST(GuiRuntime, StartsOffscreenWithTheProgramFoldersFontConfiguration) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(startWithBundledFontConfiguration(), ::testing::ExitedWithCode(0), "");
}

TEST(GuiRuntime, KeepsASettingGivenByTheEnvironment) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("QT_QPA_PLATFORM", "minimal", 1);
            ::setenv("FONTCONFIG_FILE", "/etc/fonts/fonts.conf", 1);
            setProgramFolder(PLASTORA_SOURCE_DIR "/data");  // holds a fonts.conf too
            ensureGuiRuntime();
            const bool ok = qGuiApp && QGuiApplication::platformName() == QStringLiteral("minimal") &&
                            qgetenv("FONTCONFIG_FILE") == "/etc/fonts/fonts.conf";
            shutdownGuiRuntime();
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
