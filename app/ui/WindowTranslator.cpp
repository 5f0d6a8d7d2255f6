#include "ui/WindowTranslator.h"

#include "platform/Translation.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QWidget>

namespace plastora::ui {

namespace {

constexpr const char* kDoneProperty = "plastoraTranslated";

QString translated(const QString& text) {
    if (text.isEmpty()) return text;
    return QString::fromStdString(translateText(text.toStdString()));
}

}  // namespace

void WindowTranslator::translateTree(QWidget* window) {
    if (!window || window->property(kDoneProperty).toBool()) return;
    window->setProperty(kDoneProperty, true);
    window->setWindowTitle(translated(window->windowTitle()));
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->toolTip().isEmpty()) w->setToolTip(translated(w->toolTip()));
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(translated(label->text()));
        else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(translated(button->text()));
        else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(translated(group->title()));
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) combo->setItemText(i, translated(combo->itemText(i)));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) tabs->setTabText(i, translated(tabs->tabText(i)));
        }
    }
}

bool WindowTranslator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow()) translateTree(w);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace plastora::ui
