// Creation of the GUI run time on demand, and font mapping.
#include "platform/GuiRuntime.h"

#include "platform/Paths.h"
#include "platform/Surface.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QString>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

namespace plastora {

namespace {

std::mutex& runtimeMutex() {
    static std::mutex m;
    return m;
}

// The application object made here, if any.
QGuiApplication*& ownApplication() {
    static QGuiApplication* app = nullptr;
    return app;
}

// Height used for a font whose height is 0 ("default size").
constexpr int kDefaultCellHeight = 12;

}  // namespace

void installFontAliases() {
    struct Alias {
        const char* face;
        const char* font;
    };
    static const Alias aliases[] = {
        {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"MS PGothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"},
        {"MS Gothic", "IPAGothic"},
    };
    for (const Alias& a : aliases) {
        const QString face = QString::fromUtf8(a.face);
        const QString font = QString::fromUtf8(a.font);
        if (!QFont::substitutes(face).contains(font)) QFont::insertSubstitution(face, font);
    }
}

void ensureGuiRuntime() {
    std::lock_guard<std::mutex> lock(runtimeMutex());
    if (!QCoreApplication::instance()) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!qEnvironmentVariableIsSet("FONTCONFIG_FILE")) {
            const std::string conf = joinPath(programFolder(), "fonts.conf");
            std::error_code ec;
            if (std::filesystem::is_regular_file(conf, ec)) qputenv("FONTCONFIG_FILE", QByteArray::fromStdString(conf));
        }
        // The application object is not tied to static destruction: Qt
        // cannot be torn down safely that late. shutdownGuiRuntime() ends
        // it; otherwise it lives until the process ends.
        static int argc = 1;
        static char arg0[] = "plastora";
        static char* argv[] = {arg0, nullptr};
        // Qt's application object sets the C library's locale from the
        // environment; under a German or French locale printf would then
        // write decimal commas into files and messages. The numeric part
        // stays as it was.
        const std::string numeric = std::setlocale(LC_NUMERIC, nullptr);
        ownApplication() = new QGuiApplication(argc, argv);
        std::setlocale(LC_NUMERIC, numeric.c_str());
    }
    installFontAliases();
}

void shutdownGuiRuntime() {
    std::lock_guard<std::mutex> lock(runtimeMutex());
    delete ownApplication();
    ownApplication() = nullptr;
}

QFont qfontFor(const Font& font) {
    QString face = QString::fromUtf8(font.face.data(), static_cast<qsizetype>(font.face.size()));
    if (face.startsWith(QLatin1Char('@'))) face.remove(0, 1);
    QFont qf;
    if (!face.isEmpty()) qf.setFamilies({face});
    qf.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight <= 0 ? 400 : font.weight, 1, 1000)));
    qf.setItalic(font.italic);
    qf.setKerning(false);
    qf.setStyleStrategy(font.antialiased ? QFont::PreferAntialias : QFont::NoAntialias);
    if (font.height < 0) {
        qf.setPixelSize(std::max(1, -font.height));
    } else {
        // A cell height: scale the character height so that ascent plus
        // descent comes to the height asked for.
        const int cell = font.height == 0 ? kDefaultCellHeight : font.height;
        qf.setPixelSize(cell);
        const double actual = QFontMetricsF(qf).height();
        if (actual > 0) qf.setPixelSize(std::max(1, static_cast<int>(std::lround(cell * cell / actual))));
    }
    return qf;
}

}  // namespace plastora
