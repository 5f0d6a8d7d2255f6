// Shows every window of the program in the chosen language: when a dialog or
// palette is first shown, the texts of its labels, buttons, group boxes,
// lists and its title are replaced by their translations. Dialogs keep their
// Japanese texts in code (and in their tests); nothing is done under
// Japanese.
#pragma once

#include <QObject>

class QWidget;

namespace plastora::ui {

class WindowTranslator : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Translates the texts of `window` and everything inside it.
    static void translateTree(QWidget* window);
};

}  // namespace plastora::ui
