// The pitch test dialog: its preset, the checks OK makes, and the settings
// menu's command driven through it to the print dialog and a PDF.
#include "output/PdfPrintTarget.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/PitchTestDlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CPitchTestDlg;

namespace {

// Records what the print dialog was preset with and prints into a PDF
// (or cancels when no path is given).
struct PdfDialogs : PrintDialogs {
    std::string pdf;
    int asked = 0;
    std::optional<PrinterSettings> preset;
    bool printerSetupDialog(PrinterSettings&, bool) override { return false; }
    std::unique_ptr<PrintTarget> printDialog(const PrinterSettings* settings) override {
        ++asked;
        if (settings) preset = *settings;
        if (pdf.empty()) return nullptr;
        PrinterSettings paper;
        paper.paper = "A4";
        return std::make_unique<PdfPrintTarget>(pdf, settings ? settings->resolution : 600, paper);
    }
};

// Runs `inside` on the dialog once it is open; it is cancelled afterwards
// unless `inside` closed it.
void whenOpen(std::function<void(CPitchTestDlg*)> inside) {
    QTimer::singleShot(0, [inside] {
        auto* dlg = qobject_cast<CPitchTestDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "no pitch test dialog";
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        inside(dlg);
        if (dlg->isVisible()) dlg->reject();
    });
}

}  // namespace

TEST(PitchTestDlg, PresetAndTheChecksOfOk) {
    ScriptedHost host;
    PitchTestRequest preset;
    preset.lpi = 60.25;
    CPitchTestDlg dlg(preset, host);
    EXPECT_EQ(dlg.lpiField()->text(), "60.25") << "decimals are kept";
    EXPECT_EQ(dlg.rangeField()->text(), "1.5");
    EXPECT_EQ(dlg.stepField()->text(), "0.1");
    EXPECT_EQ(dlg.dpiField()->text(), "600") << "no resolution given: 600";
    EXPECT_EQ(dlg.countLabel()->text(), "31 本の帯を印刷します");
    dlg.stepField()->setText("0.5");
    EXPECT_EQ(dlg.countLabel()->text(), "7 本の帯を印刷します") << "follows the typing";

    // Each field in turn: refused with its range, the dialog stays open and
    // nothing of the request changes.
    const struct {
        QLineEdit* field;
        const char* text;
        const char* message;
    } refused[] = {
        {dlg.lpiField(), "sixty", "20 から 160 までの数値を入力してください。"},
        {dlg.lpiField(), "160.5", "20 から 160 までの数値を入力してください。"},
        {dlg.rangeField(), "-1", "0 から 10 までの数値を入力してください。"},
        {dlg.stepField(), "0", "0.01 から 5 までの数値を入力してください。"},
        {dlg.dpiField(), "71", "72 から 4800 までの整数を入力してください。"},
        {dlg.dpiField(), "600.5", "72 から 4800 までの整数を入力してください。"},
    };
    for (const auto& r : refused) {
        const QString before = r.field->text();
        r.field->setText(r.text);
        host.expectMessage(r.message);
        dlg.okButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected) << r.text;
        EXPECT_EQ(dlg.request().lpi, 60.25);
        r.field->setText(before);
    }
    // Each value allowed, but together more strips than a sheet takes.
    dlg.rangeField()->setText("10");
    dlg.stepField()->setText("0.05");
    EXPECT_EQ(dlg.countLabel()->text(), "");
    host.expectMessage(ui::kPitchTooManyStripsMessage);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);

    dlg.lpiField()->setText(" 59.8 ");
    dlg.rangeField()->setText("2");
    dlg.stepField()->setText("0.25");
    dlg.dpiField()->setText("720");
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.request().lpi, 59.8);
    EXPECT_EQ(dlg.request().range, 2.0);
    EXPECT_EQ(dlg.request().step, 0.25);
    EXPECT_EQ(dlg.request().dpi, 720);
}

// The menu command: the dialog comes preset with the picture's LPI and the
// stored printer resolution; OK goes on to the print dialog with the typed
// resolution and prints the sheet; Cancel asks no printer.
TEST(PitchTestDlg, CommandAsksThenPrintsAtTheChosenResolution) {
    TempDir dir;
    ScriptedHost host;
    PdfDialogs dialogs;
    PrinterSettings stored;
    stored.paper = "A4";
    stored.resolution = 1200;
    ASSERT_TRUE(writePrinterSettings(dir.file("Plastora.prn"), stored));

    whenOpen([](CPitchTestDlg* dlg) { dlg->reject(); });
    EXPECT_EQ(ui::RunPitchTestCommand(host, dialogs, 72.5, 8, 2, nullptr, dir.file("Plastora.prn")), 0);
    EXPECT_EQ(dialogs.asked, 0);

    dialogs.pdf = dir.file("sheet.pdf");
    QString shownLpi, shownDpi;
    whenOpen([&](CPitchTestDlg* dlg) {
        shownLpi = dlg->lpiField()->text();
        shownDpi = dlg->dpiField()->text();
        dlg->rangeField()->setText("0.5");
        dlg->dpiField()->setText("300");
        dlg->okButton()->click();
    });
    EXPECT_EQ(ui::RunPitchTestCommand(host, dialogs, 72.5, 8, 2, nullptr, dir.file("Plastora.prn")), 1);
    EXPECT_EQ(shownLpi, "72.5");
    EXPECT_EQ(shownDpi, "1200");
    ASSERT_EQ(dialogs.asked, 1);
    ASSERT_TRUE(dialogs.preset.has_value());
    EXPECT_EQ(dialogs.preset->resolution, 300);
    EXPECT_EQ(dialogs.preset->paper, "A4") << "the rest of the stored set-up is kept";
    EXPECT_EQ(dialogs.preset->orientation, kPortrait);
    EXPECT_GT(std::filesystem::file_size(dir.file("sheet.pdf")), 0u);
}
