// English beside Japanese: the language chosen from --lang, the settings file
// and the locale; the main window's menus and a message box in English; Qt's
// own buttons in Japanese under Japanese.
#include "platform/Profile.h"
#include "platform/Translation.h"
#include "support/TempDir.h"
#include "ui/MainFrame.h"
#include "support/Pictures.h"
#include "ui/QtHost.h"
#include "ui/TrimingDlg.h"
#include "ui/WindowTranslator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kTranslations = std::string(PLASTORA_BUNDLE_DIR) + "/translations";

// Sets (or clears) the locale variables for the length of a scope.
class LocaleScope {
public:
    LocaleScope(const char* lcAll, const char* lang) {
        for (const char* n : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* v = std::getenv(n);
            m_saved.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
            ::unsetenv(n);
        }
        if (lcAll) ::setenv("LC_ALL", lcAll, 1);
        if (lang) ::setenv("LANG", lang, 1);
    }
    ~LocaleScope() {
        for (const auto& [n, v] : m_saved) {
            if (v) ::setenv(n.c_str(), v->c_str(), 1);
            else ::unsetenv(n.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Back to Japanese whatever a test did.
struct JapaneseAfterwards {
    ~JapaneseAfterwards() { loadTranslations(Language::Japanese, kTranslations); }
};

QStringList menuTitles(QMainWindow& w) {
    QStringList titles;
    for (QAction* a : w.menuBar()->actions()) titles << a->text();
    return titles;
}

}  // namespace

TEST(Language, ChosenByOptionThenSettingThenLocale) {
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    {
        LocaleScope l("en_US.UTF-8", nullptr);
        EXPECT_EQ(chooseLanguage(std::nullopt, ini), Language::English);
        EXPECT_EQ(chooseLanguage(std::string("ja"), ini), Language::Japanese);
        EXPECT_EQ(chooseLanguage(std::string("fr"), ini), Language::English) << "an unknown option is ignored";
    }
    {
        LocaleScope l(nullptr, "ja_JP.UTF-8");
        EXPECT_EQ(chooseLanguage(std::nullopt, ini), Language::Japanese);
        EXPECT_EQ(chooseLanguage(std::string("en"), ini), Language::English);
        std::ofstream(ini) << "[Option]\nLanguage=en\n";
        EXPECT_EQ(chooseLanguage(std::nullopt, ini), Language::English) << "the setting beats the locale";
        EXPECT_EQ(chooseLanguage(std::string("ja"), ini), Language::Japanese) << "the option beats the setting";
    }
    {
        LocaleScope l("C.UTF-8", "en_GB.UTF-8");
        EXPECT_EQ(chooseLanguage(std::nullopt, dir.file("none.ini")), Language::Japanese)
            << "C names no language: the program's own";
    }
}

TEST(Language, EnglishMenusMessagesAndDialogs) {
    JapaneseAfterwards restore;
    ASSERT_TRUE(loadTranslations(Language::English, kTranslations)) << kTranslations;
    EXPECT_EQ(translateText("ファイルの読み込みに失敗しました。"), "The file could not be read.");
    // Numbers inside a composed text are carried into the translation.
    EXPECT_EQ(translateText("保存した画像は解像度を240DPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることが"
                            "できません"),
              "Print the saved picture at 240 DPI. Printed without setting the resolution it will not look "
              "three-dimensional.");
    EXPECT_EQ(translateText("まだ訳のない文"), "まだ訳のない文");
    // A message that names a file keeps the file (digits and spaces in it included).
    EXPECT_EQ(translateText("追加切出し領域ファイル /tmp/p 2/d26 x.m01 が壊れています。この追加切出し領域以降を削除します。"),
              "The region file /tmp/p 2/d26 x.m01 is damaged. This region and the ones after it are removed.");
    EXPECT_EQ(translateText("/tmp/my dir/coffee.lyr は既に存在します。\n上書きしますか？"),
              "/tmp/my dir/coffee.lyr already exists.\nDo you want to replace it?");
    EXPECT_EQ(translateText("追加切出し領域ファイル /tmp/p2/d26.m01 が壊れています。この追加切出し領域以降を削除します。"),
              "The region file /tmp/p2/d26.m01 is damaged. This region and the ones after it are removed.");
    // A name that is not UTF-8 (a Shift-JIS folder) comes out byte for byte.
    EXPECT_EQ(translateText("追加切出し領域ファイル /tmp/\x8e\xca/d.m01 が壊れています。この追加切出し領域以降を削除します。"),
              "The region file /tmp/\x8e\xca/d.m01 is damaged. This region and the ones after it are removed.");
    // The program installed in such a folder finds its translations.
    {
        TempDir installed;
        const std::string folder = installed.file("\x8e\xca\x90\x5e");
        std::filesystem::create_directory(folder);
        for (const char* qm : {"/plastora_en.qm", "/plastora_ja.qm"})
            std::filesystem::copy_file(kTranslations + qm, folder + qm);
        ASSERT_TRUE(loadTranslations(Language::English, folder));
        EXPECT_EQ(translateText("ファイルの読み込みに失敗しました。"), "The file could not be read.");
        ASSERT_TRUE(loadTranslations(Language::English, kTranslations));
    }

    TempDir dir;
    ui::CMainFrame frame(dir.file("Plastora.ini"));
    EXPECT_EQ(menuTitles(frame), (QStringList{"&File", "&Edit", "&View", "&Options", "&Help"}));
    // English entries mark their access key in the word, not in a Japanese-style "(&M)" suffix.
    for (QAction* top : frame.menuBar()->actions())
        for (QAction* a : top->menu()->actions())
            EXPECT_FALSE(a->text().contains(QRegularExpression(R"(\(&\w\))"))) << a->text().toStdString();

    // A dialog built with Japanese texts shows English once translated.
    QDialog dlg;
    dlg.setWindowTitle("遠近設定ダイアログ");
    auto* label = new QLabel("明るさ", &dlg);
    auto* button = new QPushButton("キャンセル", &dlg);
    ui::WindowTranslator::translateTree(&dlg);
    EXPECT_EQ(dlg.windowTitle(), "Depth");
    EXPECT_EQ(label->text(), "Brightness");
    EXPECT_EQ(button->text(), "Cancel");

    // A message box shows the translation of the core's Japanese text.
    QString shown;
    QTimer::singleShot(50, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    ui::QtHost qtHost(nullptr);
    Host& host = qtHost;
    host.message("ファイルの保存に失敗しました", MsgButtons::Ok, MsgIcon::Warning);
    EXPECT_EQ(shown, "The file could not be saved");
}

// The trimming dialog's buttons take the width of their English texts, and
// the dialog of a narrow photo widens to hold them.
TEST(Language, TheTrimmingButtonsHoldTheirEnglishTexts) {
    JapaneseAfterwards restore;
    ASSERT_TRUE(loadTranslations(Language::English, kTranslations));
    const Surface narrow = gradientPicture(300, 960);
    TrimmingDialogData d;
    d.photo = &narrow;
    d.workingWidth = 707;
    d.workingHeight = 478;
    ui::CTrimingDlg dlg(d);
    ui::WindowTranslator::translateTree(&dlg);
    dlg.show();
    int left = 0;
    for (QPushButton* b : {dlg.okButton(), dlg.cancelButton(), dlg.straightenButton(), dlg.aspectButton()}) {
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
        EXPECT_GE(b->x(), left) << b->text().toStdString();
        left = b->x() + b->width();
    }
    EXPECT_LE(left, dlg.width());
    dlg.hide();
}

TEST(Language, JapaneseKeepsTheTextsAndTranslatesQtsOwnButtons) {
    JapaneseAfterwards restore;
    ASSERT_TRUE(loadTranslations(Language::Japanese, kTranslations)) << "qtbase_ja.qm from qt6-translations-l10n";
    EXPECT_EQ(translateText("ファイルの読み込みに失敗しました。"), "ファイルの読み込みに失敗しました。");
    TempDir dir;
    ui::CMainFrame frame(dir.file("Plastora.ini"));
    EXPECT_EQ(menuTitles(frame).value(0), "ファイル(&F)");
    QStringList buttons;
    QTimer::singleShot(50, [&buttons] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (QAbstractButton* b : box->buttons()) buttons << b->text();
            box->button(QMessageBox::No)->click();
        }
    });
    ui::QtHost qtHost(nullptr);
    Host& host = qtHost;
    EXPECT_EQ(host.message("切出し領域を追加しますか？", MsgButtons::YesNo, MsgIcon::Question), MsgResult::No);
    buttons.sort();
    EXPECT_TRUE(buttons.join(",").contains("はい")) << buttons.join(",").toStdString();
    EXPECT_TRUE(buttons.join(",").contains("いいえ")) << buttons.join(",").toStdString();
}

TEST(Language, ChosenInTheProgramChangesEveryOpenWindowAtOnce) {
    JapaneseAfterwards restore;
    LocaleScope locale("en_US.UTF-8", nullptr);
    ASSERT_TRUE(loadTranslations(Language::Japanese, kTranslations));
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    ui::CMainFrame frame(ini);
    ASSERT_TRUE(frame.action("languageSystem") && frame.action("languageJapanese") && frame.action("languageEnglish"));
    EXPECT_TRUE(frame.action("languageSystem")->isChecked()) << "nothing stored: the system's language";
    // A dialog that is open while the language changes.
    QDialog dlg;
    dlg.setWindowTitle("遠近設定ダイアログ");
    auto* label = new QLabel("明るさ", &dlg);
    auto* button = new QPushButton("キャンセル", &dlg);
    auto* later = new QLabel(&dlg);

    frame.action("languageEnglish")->trigger();
    EXPECT_EQ(readProfileString(ini, "Option", "Language", "", 16), "en");
    EXPECT_EQ(currentLanguage(), Language::English);
    EXPECT_EQ(menuTitles(frame), (QStringList{"&File", "&Edit", "&View", "&Options", "&Help"}));
    EXPECT_EQ(frame.action("undo")->text(), "&Undo");
    EXPECT_EQ(frame.action("open")->statusTip(), "Opens a photo or a project file");
    EXPECT_EQ(frame.maskPalette()->windowTitle().toStdString(), translateText("ﾏｽｸﾂｰﾙ"));
    EXPECT_EQ(dlg.windowTitle(), "Depth");
    EXPECT_EQ(label->text(), "Brightness");
    EXPECT_EQ(button->text(), "Cancel");
    // A text the dialog sets while it is open comes in the shown language.
    later->setText(ui::shownText("切出し領域 %1 / %2").arg(2).arg(3));
    EXPECT_EQ(later->text(), "Cut-out region 2 / 3");

    // Back to Japanese: the stored texts come back, in the menus too.
    frame.action("languageJapanese")->trigger();
    EXPECT_EQ(readProfileString(ini, "Option", "Language", "", 16), "ja");
    EXPECT_EQ(menuTitles(frame).value(0), "ファイル(&F)");
    EXPECT_EQ(frame.action("undo")->text(), "元に戻す(&U)");
    EXPECT_EQ(frame.action("open")->statusTip(), "写真またはプロジェクトファイルを開きます");
    EXPECT_EQ(dlg.windowTitle(), "遠近設定ダイアログ");
    EXPECT_EQ(label->text(), "明るさ");
    EXPECT_EQ(button->text(), "キャンセル");

    // The system's language: the setting is cleared and the locale decides.
    frame.action("languageSystem")->trigger();
    EXPECT_EQ(readProfileString(ini, "Option", "Language", "?", 16), "");
    EXPECT_EQ(currentLanguage(), Language::English);
    EXPECT_EQ(menuTitles(frame).value(0), "&File");
    EXPECT_EQ(chooseLanguage(std::nullopt, ini), Language::English);
}

TEST(Language, TheProgramsMenusFollowLang) {
    JapaneseAfterwards restore;
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    for (const auto& [lang, file] : {std::pair<const char*, const char*>{"en_US.UTF-8", "&File"},
                                     {"ja_JP.UTF-8", "ファイル(&F)"}}) {
        LocaleScope locale(nullptr, lang);
        // As the program starts: no --lang, no setting, the locale decides.
        ASSERT_TRUE(loadTranslations(chooseLanguage(std::nullopt, ini), kTranslations)) << lang;
        ui::CMainFrame frame(ini);
        EXPECT_EQ(menuTitles(frame).value(0), file) << lang;
        EXPECT_EQ(frame.action(std::string("language") +
                               (std::string(lang).rfind("ja", 0) == 0 ? "Japanese" : "English"))->isChecked(),
                  false)
            << "the menu shows the stored choice (none), not the locale";
    }
}

TEST(Language, TheCommandLinesEnglishTextsComeInJapanese) {
    JapaneseAfterwards restore;
    ASSERT_TRUE(loadTranslations(Language::Japanese, kTranslations)) << "plastora_ja.qm";
    EXPECT_EQ(translateEnglish("option --%1 needs a value", {"size"}), "オプション --size には値が必要です");
    // The values go in once: a file name holding "%2" stays as it is.
    EXPECT_EQ(translateEnglish("the folder %1 does not exist", {"/tmp/100%2"}), "フォルダー /tmp/100%2 がありません");
    EXPECT_EQ(translateEnglish("no translation for %1 yet", {"this"}), "no translation for this yet");
    ASSERT_TRUE(loadTranslations(Language::English, kTranslations));
    EXPECT_EQ(translateEnglish("option --%1 needs a value", {"size"}), "option --size needs a value");
}
