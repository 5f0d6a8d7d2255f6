#include "ui/MenuMnemonics.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

#include <vector>

namespace plastora::ui {

namespace {

class EnabledAccessKeys : public QObject {
public:
    explicit EnabledAccessKeys(QMenu* menu) : QObject(menu), m_menu(menu) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_menu || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((mods != Qt::NoModifier && mods != Qt::AltModifier && mods != Qt::ShiftModifier) ||
            key->text().size() != 1)
            return false;
        const QChar letter = key->text().at(0).toUpper();
        int sharing = 0;
        std::vector<QAction*> enabled;
        for (QAction* a : m_menu->actions()) {
            if (a->isSeparator() || !a->isVisible()) continue;
            const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
            if (mnemonic.isEmpty() || (mnemonic[0].toCombined() & 0xFFFF) != letter.unicode()) continue;
            ++sharing;
            if (a->isEnabled()) enabled.push_back(a);
        }
        // A letter of one entry, or of none enabled: Qt's own handling.
        if (sharing < 2 || enabled.empty()) return false;
        // A shared letter only moves the highlight to the next enabled entry
        // that has it, even when just one is enabled: the key that picks
        // Redo in one mode must not rotate the photo in another. Enter
        // runs the entry.
        std::size_t next = 0;
        for (std::size_t i = 0; i < enabled.size(); ++i)
            if (enabled[i] == m_menu->activeAction()) next = (i + 1) % enabled.size();
        m_menu->setActiveAction(enabled[next]);
        return true;
    }

private:
    QMenu* m_menu;
};

}  // namespace

void reachEnabledEntriesByAccessKey(QMenu* menu) { menu->installEventFilter(new EnabledAccessKeys(menu)); }

}  // namespace plastora::ui
