#include "ui/WindowTranslator.h"

#include "platform/Translation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>

namespace plastora::ui {

namespace {

// Set on a window once it has been translated: under Japanese only such
// windows need to be walked (back to their own texts).
constexpr const char* kTranslatedProperty = "plastoraTranslated";

QString translated(const QString& text) {
    if (text.isEmpty()) return text;
    return QString::fromStdString(translateText(text.toStdString()));
}

// The text to show in one text slot (`slot` names it: "text", "tip",
// "item3", ...) of `o`, whose text is `current` now. The source text is kept
// as a property: when `current` is still what was shown last, the source
// is translated again; otherwise the program has set a new text since,
// which becomes the source.
QString retranslated(QObject* o, const QByteArray& slot, const QString& current) {
    const QByteArray sourceKey = "plastoraSource_" + slot;
    const QByteArray shownKey = "plastoraShown_" + slot;
    const QVariant shown = o->property(shownKey.constData());
    const QString source =
        shown.isValid() && shown.toString() == current ? o->property(sourceKey.constData()).toString() : current;
    const QString out = translated(source);
    o->setProperty(sourceKey.constData(), source);
    o->setProperty(shownKey.constData(), out);
    return out;
}

}  // namespace

void WindowTranslator::translateTree(QWidget* window) {
    if (!window) return;
    if (currentLanguage() == Language::Japanese && !window->property(kTranslatedProperty).toBool()) return;
    window->setProperty(kTranslatedProperty, true);
    if (!window->windowTitle().isEmpty())
        window->setWindowTitle(retranslated(window, "title", window->windowTitle()));
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->toolTip().isEmpty()) w->setToolTip(retranslated(w, "tip", w->toolTip()));
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A label showing a picture has no text to change.
            if (!label->text().isEmpty()) label->setText(retranslated(w, "text", label->text()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // A tool button showing an action takes its text from the action.
            auto* tool = qobject_cast<QToolButton*>(w);
            if (!(tool && tool->defaultAction()) && !button->text().isEmpty())
                button->setText(retranslated(w, "text", button->text()));
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            if (!group->title().isEmpty()) group->setTitle(retranslated(w, "text", group->title()));
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                combo->setItemText(i, retranslated(w, "item" + QByteArray::number(i), combo->itemText(i)));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(i, retranslated(w, "tab" + QByteArray::number(i), tabs->tabText(i)));
        }
    }
}

void WindowTranslator::translateAll() {
    for (QWidget* w : QApplication::topLevelWidgets()) translateTree(w);
}

bool WindowTranslator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow()) translateTree(w);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace plastora::ui
