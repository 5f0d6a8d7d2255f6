// The Plastora desktop program.
#include "platform/GuiRuntime.h"
#include "core/Settings.h"
#include "platform/Paths.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QFile>

#include <cstdlib>

int main(int argc, char** argv) {
    // The program's own font set maps the Japanese face names its files use
    // onto installed fonts; it must be in place before Qt starts fontconfig.
    const std::string fonts = plastora::joinPath(plastora::programFolder(), "fonts.conf");
    if (!std::getenv("FONTCONFIG_FILE") && QFile::exists(QString::fromStdString(fonts)))
        setenv("FONTCONFIG_FILE", fonts.c_str(), 0);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Plastora");
    QApplication::setApplicationName("Plastora");
    plastora::installFontAliases();

    // The settings beside the program, or the user's own copy of them when
    // the program folder cannot be written (an installed copy).
    plastora::ui::CMainFrame frame(plastora::programSettingsPath());
    // One file name on the command line (the shell has already removed any quotes).
    if (argc > 1) frame.setStartupFile(QString::fromLocal8Bit(argv[1]));
    frame.show();
    return app.exec();
}
