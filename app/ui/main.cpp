// The Plastora desktop program.
#include "core/BandRunner.h"
#include "platform/SignalCleanup.h"
#include "platform/StandardDescriptors.h"
#include "platform/GuiRuntime.h"
#include "core/Settings.h"
#include "platform/Paths.h"
#include "platform/Translation.h"
#include "ui/GuardedApplication.h"
#include "ui/MainFrame.h"
#include "ui/WindowTranslator.h"

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
    plastora::openClosedStandardDescriptors();
    // A kill or a closed session while a file is written leaves no temporary file.
    plastora::removeTemporariesOnSignals();
    plastora::runSurfaceBandsOnEveryCore();
    plastora::startWorkerPool();
    // The program's own font set maps the Japanese face names its files use
    // onto installed fonts; it must be in place before Qt starts fontconfig.
    const std::string fonts = plastora::joinPath(plastora::programFolder(), "fonts.conf");
    if (!std::getenv("FONTCONFIG_FILE") && ::access(fonts.c_str(), R_OK) == 0)
        setenv("FONTCONFIG_FILE", fonts.c_str(), 0);
    plastora::ui::GuardedApplication app(argc, argv);
    // Qt sets the C library's locale from the environment; numbers the
    // program prints (settings, messages, PDF labels) keep a decimal point
    // under German or French locales.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName("Plastora");
    QApplication::setApplicationName("Plastora");
    plastora::installFontAliases();

    // "--lang ja|en" (or --lang=ja) chooses the language over the settings
    // file and the locale; the first other argument is the file to open.
    std::optional<std::string> lang;
    const char* startupFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc) lang = argv[++i];
        else if (std::strncmp(argv[i], "--lang=", 7) == 0) lang = argv[i] + 7;
        else if (!startupFile) startupFile = argv[i];
    }
    // The settings beside the program, or the user's own copy of them when
    // the program folder cannot be written (an installed copy).
    const std::string settings = plastora::programSettingsPath();
    plastora::loadTranslations(plastora::chooseLanguage(lang, settings),
                               plastora::joinPath(plastora::programFolder(), "translations"));
    // Dialogs, palettes and menus are translated whenever they are shown (the
    // language can change while the program runs).
    plastora::ui::WindowTranslator windowTranslator;
    app.installEventFilter(&windowTranslator);

    plastora::ui::CMainFrame frame(settings);
    // One file name on the command line (the shell has already removed any quotes).
    if (startupFile) frame.setStartupFile(startupFile);
    frame.show();
    return app.exec();
}
