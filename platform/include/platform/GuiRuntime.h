// The Qt GUI run time that text drawing needs, for programs that have none
// of their own (the command-line tool, tests).
#pragma once

#include <QFont>

namespace plastora {

struct Font;

// Makes sure a QGuiApplication exists. When the process has no Qt
// application yet, one is created for the rest of the process: on the
// "offscreen" platform unless QT_QPA_PLATFORM says otherwise, and with the
// program folder's "fonts.conf" as fontconfig's configuration unless
// FONTCONFIG_FILE is set. The Japanese face names the program's settings and
// files use are mapped to installed fonts either way.
void ensureGuiRuntime();

// Ends the application object that ensureGuiRuntime() made, if it made one,
// so that the process exits with Qt and fontconfig torn down properly. Call
// it from main() before returning, never from a static destructor.
void shutdownGuiRuntime();

// Maps the Windows Japanese face names ("ＭＳ Ｐゴシック" and friends) to the
// IPA fonts. Safe to call more than once; the GUI program calls it at start.
void installFontAliases();

// The QFont for one of our font descriptions: a positive height is the cell
// height (ascent + descent), a negative one the character height; a leading
// '@' of the face is dropped. Needs the GUI run time.
QFont qfontFor(const Font& font);

}  // namespace plastora
