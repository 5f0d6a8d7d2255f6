#include "ui/MainFrame.h"

#include "ui/Commands.h"
#include "ui/PlastoraView.h"
#include "ui/QtHost.h"
#include "core/RecentFiles.h"
#include "core/StillImage.h"
#include "ui/QtWorkspaceDialogs.h"
#include "ui/ToolIcons.h"
#include "ui/MaskOpacitySlider.h"
#include "ui/MenuMnemonics.h"
#include "ui/UndoText.h"
#include "ui/WindowTranslator.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Translation.h"

#include <optional>

#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QUrl>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace plastora::ui {

namespace {

const char* menuTitle(MenuId m) {
    switch (m) {
    case MenuId::File: return "ファイル(&F)";
    case MenuId::Edit: return "編集(&E)";
    case MenuId::View: return "表示(&V)";
    case MenuId::Option: return "オプション(&O)";
    case MenuId::Help: return "ヘルプ(&H)";
    case MenuId::None: break;
    }
    return "";
}

// The main tool bar, in order; "" is a separator.
const char* const kToolBar[] = {"open",    "save",      "",        "maskMode", "imageMode", "",      "faces", "",
                                "stereo",  "compose",   "",        "animation", "showComposite", "", "adjust", "undo",
                                "",        "print",     "about"};

// The Japanese source of a text shown on an action or a bar, kept so that
// the window can show it again in another language.
constexpr const char* kSourceText = "plastoraSourceText";
constexpr const char* kSourceTip = "plastoraSourceTip";

void setShownText(QAction* a, const std::string& source) {
    a->setProperty(kSourceText, QString::fromStdString(source));
    a->setText(shownText(source));
}

// A command's "prompt\ntool tip": the prompt on the status bar, the rest as
// the tool tip.
void setShownTip(QAction* a, const std::string& source) {
    a->setProperty(kSourceTip, QString::fromStdString(source));
    const QString tip = shownText(source);
    a->setStatusTip(tip.section('\n', 0, 0));
    a->setToolTip(tip.section('\n', 1));
}

// The [Option] "Language" values of the language menu, in its order: the
// system's language, Japanese, English.
constexpr const char* kLanguageValues[] = {"", "ja", "en"};

// The palettes' buttons, in order.
const char* const kMaskPalette[] = {"pen", "eraser", "fill", "zoom", "outline", "switchRegion", "masking"};
const char* const kPaintPalette[] = {"pen", "eraser", "fill", "zoom", "move", "colour", "text", "clipArt", "shape"};

}  // namespace

CMainFrame::CMainFrame(const std::string& settingsPath, QWidget* parent) : QMainWindow(parent) {
    m_view = new CPlastoraView(settingsPath, this);
    setCentralWidget(m_view);
    setAcceptDrops(true);
    m_dialogs = std::make_unique<QtWorkspaceDialogs>(this, m_view->host());
    m_view->workspace().setDialogs(m_dialogs.get());
    connect(m_view, &CPlastoraView::titleChanged, this, &CMainFrame::updateTitle);
    connect(m_view, &CPlastoraView::statusChanged, this, [this](const QString& text) { statusBar()->showMessage(text); });
    connect(m_view, &CPlastoraView::stateChanged, this, &CMainFrame::updateCommands);
    connect(m_view, &CPlastoraView::contextMenuWanted, this, &CMainFrame::showContextMenu);
    buildMenus();
    buildPalettes();
    statusBar()->showMessage(shownText("レディ"));
    updateTitle(QString());
    // The usual size, but never beyond the screen's free area: on a small
    // screen the palettes and the status bar would be out of reach.
    QSize size(1024, 768);
    if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
    resize(size);
    updateCommands();
}

CMainFrame::~CMainFrame() { m_view->workspace().setDialogs(nullptr); }

void CMainFrame::buildMenus() {
    std::map<MenuId, QMenu*> menus;
    for (MenuId m : {MenuId::File, MenuId::Edit, MenuId::View, MenuId::Option, MenuId::Help}) {
        QMenu* menu = menuBar()->addMenu(QString());
        setShownText(menu->menuAction(), menuTitle(m));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
        reachEnabledEntriesByAccessKey(menu);
        menus[m] = menu;
    }
    for (const Command& c : commandTable()) {
        QAction* a;
        if (c.menu == MenuId::None) {
            // Not in a menu: reached from palettes, the right-button menu or
            // a shortcut, which needs the action on the window.
            a = new QAction(this);
            setShownText(a, c.text);
            addAction(a);
        } else {
            QMenu* menu = menus[c.menu];
            if (c.id == "exit") addRecentFileEntries(menu);
            if (c.separatorBefore && !menu->isEmpty()) menu->addSeparator();
            a = menu->addAction(QString());
            setShownText(a, c.text);
        }
        if (c.id == "undo") a->setShortcuts({c.shortcut, QKeySequence("Alt+Backspace")});
        else if (c.id == "redo") a->setShortcuts({c.shortcut, QKeySequence("Ctrl+Shift+Z")});
        else if (!c.shortcut.isEmpty()) a->setShortcut(c.shortcut);
        a->setCheckable(static_cast<bool>(c.pressed));
        if (const std::string tip = commandTip(c.id); !tip.empty()) setShownTip(a, tip);
        const std::string id = c.id;
        connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
        m_actions[c.id] = a;
    }
    QToolBar* bar = addToolBar(shownText("ツール バー"));
    bar->setProperty(kSourceText, QStringLiteral("ツール バー"));
    bar->setObjectName("mainToolBar");
    for (const char* id : kToolBar) {
        if (!*id) bar->addSeparator();
        else if (QAction* a = action(id)) bar->addAction(a);
    }
    QMenu* viewMenu = menus[MenuId::View];
    QAction* first = viewMenu->actions().value(0);
    viewMenu->insertAction(first, bar->toggleViewAction());
    setShownText(bar->toggleViewAction(), "ツール バー(&T)");
    auto* statusToggle = new QAction(this);
    setShownText(statusToggle, "ステータス バー(&S)");
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    viewMenu->insertAction(first, statusToggle);
    viewMenu->insertSeparator(first);
    m_actions["statusBar"] = statusToggle;
    m_actions["toolBar"] = bar->toggleViewAction();
    buildLanguageMenu(menus[MenuId::Option]);
}

void CMainFrame::buildLanguageMenu(QMenu* options) {
    options->addSeparator();
    QMenu* menu = options->addMenu(QString());
    setShownText(menu->menuAction(), "言語(&L)");
    auto* group = new QActionGroup(menu);
    const std::string stored = readProfileString(m_view->workspace().settingsPath(), "Option", "Language", "", 16);
    for (const char* value : kLanguageValues) {
        QAction* a = menu->addAction(QString());
        // The languages are named in their own language, whatever is shown.
        if (*value == '\0') setShownText(a, "システムの言語に合わせる");
        else a->setText(std::string(value) == "ja" ? QStringLiteral("日本語") : QStringLiteral("English"));
        a->setCheckable(true);
        a->setChecked(stored == value || (*value == '\0' && !languageFromName(stored)));
        group->addAction(a);
        const std::string v = value;
        connect(a, &QAction::triggered, this, [this, v] { setLanguageChoice(v); });
        m_actions[std::string("language") + (v.empty() ? "System" : v == "ja" ? "Japanese" : "English")] = a;
    }
}

void CMainFrame::setLanguageChoice(const std::string& value) {
    const std::string& settings = m_view->workspace().settingsPath();
    // Unwritten, the next start would be in the old language: said, and the
    // choice still made for this session.
    if (!writeProfileString(settings, "Option", "Language", value))
        m_view->workspace().host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    // The choice made here wins over the one the program was started with.
    const Language language = value.empty() ? chooseLanguage(std::nullopt, settings) : *languageFromName(value);
    const std::string folder =
        loadedTranslationsFolder().empty() ? joinPath(programFolder(), "translations") : loadedTranslationsFolder();
    loadTranslations(language, folder);
    retranslate();
    WindowTranslator::translateAll();
}

void CMainFrame::retranslate() {
    for (QAction* a : findChildren<QAction*>()) {
        if (const QVariant text = a->property(kSourceText); text.isValid()) setShownText(a, text.toString().toStdString());
        if (const QVariant tip = a->property(kSourceTip); tip.isValid()) setShownTip(a, tip.toString().toStdString());
    }
    for (QToolBar* bar : findChildren<QToolBar*>())
        if (const QVariant title = bar->property(kSourceText); title.isValid())
            bar->setWindowTitle(shownText(title.toString().toStdString()));
    statusBar()->showMessage(shownText("レディ"));
    updateTitle(QString::fromStdString(m_view->workspace().currentPath()));
    updateRecentFiles();
    updateCommands();
}

void CMainFrame::buildPalettes() {
    auto make = [this](const char* title, const char* name) {
        auto* bar = new QToolBar(shownText(title), this);
        bar->setProperty(kSourceText, QString::fromUtf8(title));
        bar->setObjectName(name);
        bar->setIconSize(QSize(32, 32));
        bar->setOrientation(Qt::Vertical);
        addToolBar(Qt::RightToolBarArea, bar);
        return bar;
    };
    m_maskPalette = make("ﾏｽｸﾂｰﾙ", "maskPalette");
    for (const char* id : kMaskPalette) {
        QAction* a = action(id);
        if (!a) continue;
        a->setIcon(toolIcon(id));
        m_maskPalette->addAction(a);
    }
    // How strongly the mask colour covers the photo.
    m_maskPalette->addWidget(new MaskOpacitySlider(m_view, m_maskPalette));
    m_paintPalette = make("ﾍﾟｲﾝﾄﾂｰﾙ", "paintPalette");
    for (const char* id : kPaintPalette) {
        QAction* a = action(id);
        if (!a) continue;
        if (std::string(id) == "colour") {
            // The colour button shows the paint colour itself.
            m_colourButton = new QToolButton(m_paintPalette);
            m_colourButton->setDefaultAction(a);
            m_colourButton->setIconSize(QSize(32, 32));
            m_paintPalette->addWidget(m_colourButton);
            continue;
        }
        a->setIcon(toolIcon(id));
        m_paintPalette->addAction(a);
    }
    m_paintPalette->hide();
}

void CMainFrame::addRecentFileEntries(QMenu* menu) {
    menu->addSeparator();
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = menu->addAction(QString());
        connect(a, &QAction::triggered, this, [this, i] {
            const auto files = recentFiles();
            if (static_cast<std::size_t>(i) < files.size()) openFile(files[static_cast<std::size_t>(i)]);
        });
        m_recentActions.push_back(a);
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateRecentFiles);
    updateRecentFiles();
}

void CMainFrame::updateRecentFiles() {
    const auto files = recentFiles();
    for (std::size_t i = 0; i < m_recentActions.size(); ++i) {
        QAction* a = m_recentActions[i];
        if (i < files.size()) {
            // An '&' in a path would mark an access key and vanish from the menu.
            a->setText(QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(files[i]).replace('&', "&&")));
            a->setEnabled(true);
            a->setVisible(true);
        } else {
            // The first entry stays as a disabled placeholder while the list is empty.
            a->setText(shownText("最近使ったファイル"));
            a->setEnabled(false);
            a->setVisible(i == 0);
        }
    }
}

void CMainFrame::showContextMenu(const QPoint& globalPos, const plastora::Point& window) {
    // A right click on an object selects it before its entries are offered.
    const auto entries = m_view->workspace().RButtonDown(window);
    updateCommands();
    if (entries.empty()) return;
    QMenu menu(this);
    for (const auto& e : entries) {
        if (e.command.empty()) {
            menu.addSeparator();
            continue;
        }
        const std::string id = e.command;
        menu.addAction(shownText(e.text), this, [this, id] { runCommand(id); });
    }
    menu.exec(globalPos);
}

QAction* CMainFrame::action(const std::string& id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::runCommand(const std::string& id) {
    const Command* c = findCommand(id);
    if (!c || !c->run || !c->enabled(m_view->workspace())) return;
    c->run(*this);
    updateCommands();
}

void CMainFrame::updateCommands() {
    const CStereoWorkspace& ws = m_view->workspace();
    for (const Command& c : commandTable()) {
        QAction* a = action(c.id);
        if (!a) continue;
        a->setEnabled(static_cast<bool>(c.run) && c.enabled(ws));
        if (c.pressed) a->setChecked(c.pressed(ws));
    }
    // Undo and redo name the step they take back or bring again.
    if (QAction* a = action("undo")) a->setText(undoMenuText(ws.canUndo() ? ws.nextUndo() : UndoInfo{}));
    if (QAction* a = action("redo")) a->setText(redoMenuText(ws.canRedo() ? ws.nextRedo() : UndoInfo{}));
    // The Edit menu's order entries: the objects' in image editing, the
    // regions' otherwise.
    const bool objects = ws.mode() == kModeImage;
    for (const char* id : {"regionTop", "regionUp", "regionDown", "regionBottom"})
        if (QAction* a = action(id)) a->setVisible(!objects);
    for (const char* id : {"objectTop", "objectUp", "objectDown", "objectBottom"})
        if (QAction* a = action(id)) a->setVisible(objects);
    // The mask palette is shown exactly in mask editing, the paint palette otherwise.
    if (m_maskPalette && m_paintPalette) {
        const bool mask = ws.mode() == kModeMask;
        if (m_maskPalette->isHidden() == mask) m_maskPalette->setVisible(mask);
        if (m_paintPalette->isHidden() != mask) m_paintPalette->setVisible(!mask);
    }
    const ColorRef paint = m_view->workspace().paintPen().color;
    if (m_colourButton && paint != m_swatchColour) {
        m_swatchColour = paint;
        if (QAction* a = action("colour")) a->setIcon(colourSwatch(paint));
    }
}

void CMainFrame::updateTitle(const QString& path) {
    const QString name = path.isEmpty() ? shownText("無題") : QFileInfo(path).fileName();
    setWindowTitle(name + " - Plastora");
}

bool CMainFrame::openFile(const std::string& path) {
    const bool ok = m_view->workspace().Open(path) == 1;
    updateCommands();
    return ok;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_view->workspace().SaveModified()) event->accept();
    else event->ignore();
}

namespace {
// The first local file among dropped items (web addresses and the like are
// passed over); empty when there is none.
std::optional<QUrl> firstLocalFile(const QMimeData* data) {
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url;
    return std::nullopt;
}
}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    // Only a drag holding a file is taken: anything else shows as refused.
    if (firstLocalFile(event->mimeData())) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const auto url = firstLocalFile(event->mimeData());
    if (!url) return;
    event->acceptProposedAction();
    // The name's bytes from the URL's own percent-encoding: toLocalFile()
    // has already replaced bytes that are not UTF-8.
    const std::string path =
        QByteArray::fromPercentEncoding(url->path(QUrl::FullyEncoded).toLatin1()).toStdString();
    // Open after the drop has finished, outside the drag-and-drop loop.
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}

bool CMainFrame::event(QEvent* e) {
    const bool r = QMainWindow::event(e);
    if (!m_startupDone && isVisible() &&
        (e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint || e->type() == QEvent::Expose)) {
        m_startupDone = true;
        if (!m_startupFile.empty()) {
            std::string f = m_startupFile;
            // One pair of surrounding quotes is stripped, as a shell would have.
            if (f.size() >= 2 && (f.front() == '"' || f.front() == '\'') && f.back() == f.front()) f = f.substr(1, f.size() - 2);
            QTimer::singleShot(0, this, [this, f] {
                if (!openFile(f)) m_view->workspace().setCurrentPath({});
            });
        }
    }
    return r;
}

}  // namespace plastora::ui
