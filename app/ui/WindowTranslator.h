// Shows every window of the program in the chosen language: whenever a
// dialog, palette or menu is shown, the texts of its labels, buttons, group
// boxes, lists, tabs, tool tips and its title are replaced by their
// translations. Dialogs keep their Japanese texts in code (and in their
// tests).
//
// The text a widget had before translation is kept with the widget, so a
// window can be translated again after the language changed (back to
// Japanese too); a text the program set after the last translation is taken
// as the widget's new text. Texts a dialog sets while it is open go through
// shownText (ui/QtHost.h) where they are set.
#pragma once

#include <QObject>

class QWidget;

namespace plastora::ui {

class WindowTranslator : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Translates the texts of `window` and everything inside it into the
    // current language.
    static void translateTree(QWidget* window);
    // Translates every open window again (after the language changed).
    static void translateAll();
};

}  // namespace plastora::ui
