// The printer settings carried to and from a QPrinter, and printing through a
// QPrinter that writes a PDF file.
#include "support/Pictures.h"
#include "support/TestDocument.h"
#include "ui/PrintDlg.h"

#include <QPageLayout>
#include <QPrinter>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

TEST(PrintDlg, SettingsSurviveAQPrinter) {
    PrinterSettings s;
    s.paper = "A5";
    s.colorMode = 0;
    s.resolution = 1200;
    s.orientation = kLandscape;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    applyPrinterSettings(printer, s);
    const PrinterSettings back = printerSettingsFrom(printer);
    EXPECT_EQ(back.paper, "A5");
    EXPECT_NEAR(back.paperWidthMM, 148.0, 0.5);
    EXPECT_NEAR(back.paperHeightMM, 210.0, 0.5);
    EXPECT_EQ(back.colorMode, 0);
    EXPECT_EQ(back.resolution, 1200);
    EXPECT_EQ(back.orientation, kLandscape);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);

    // A paper known by its size only; unset fields keep the printer's own.
    PrinterSettings custom;
    custom.paper = "Lens sheet";
    custom.paperWidthMM = 120;
    custom.paperHeightMM = 170;
    QPrinter other(QPrinter::HighResolution);
    other.setOutputFormat(QPrinter::PdfFormat);
    const int resolution = other.resolution();
    applyPrinterSettings(other, custom);
    const PrinterSettings got = printerSettingsFrom(other);
    EXPECT_NEAR(got.paperWidthMM, 120.0, 0.5);
    EXPECT_NEAR(got.paperHeightMM, 170.0, 0.5);
    EXPECT_EQ(got.resolution, resolution);
    EXPECT_EQ(got.orientation, kPortrait);
}

// The print system's job options: whatever would print the picture at
// another size or not at all is set to one page per sheet, unscaled; the
// rest is kept, and a choice of the user's among them is told.
TEST(PrintDlg, JobOptionsPrintThePictureAtItsOwnSize) {
    const auto value = [](const QStringList& options, const char* name) {
        const qsizetype at = options.indexOf(QLatin1String(name));
        return at >= 0 && at % 2 == 0 && at + 1 < options.size() ? options[at + 1].toStdString() : std::string("-");
    };
    bool changed = false;
    const QStringList chosen{"media", "A4", "number-up", "2", "page-set", "even", "page-ranges", "1-1",
                             "fit-to-page", "true", "sides", "one-sided"};
    const QStringList out = exactSizeJobOptions(chosen, &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(value(out, "media"), "A4");
    EXPECT_EQ(value(out, "sides"), "one-sided");
    EXPECT_EQ(value(out, "number-up"), "1");
    EXPECT_EQ(value(out, "page-set"), "all");
    EXPECT_EQ(value(out, "fit-to-page"), "false");
    EXPECT_EQ(value(out, "print-scaling"), "none");
    EXPECT_EQ(value(out, "page-ranges"), "-");
    EXPECT_EQ(out.count(QStringLiteral("number-up")), 1);
    // Nothing chosen (a queue's own fit-to-page default is overridden all
    // the same, without a word).
    const QStringList plain = exactSizeJobOptions({"media", "Letter", "number-up", "1"}, &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(value(plain, "fit-to-page"), "false");
    EXPECT_EQ(value(plain, "media"), "Letter");
}

TEST(PrintDlg, QPrinterTargetPrintsTheCompositeCentred) {
    TestDocument doc(48, 20);
    doc.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(doc.ws->Compose());
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(doc.dir.file("q.pdf")));
    printer->setResolution(480);
    QtPrinterTarget target(std::move(printer));
    ASSERT_EQ(target.dpiX(), 480);
    const PrintGeometry g = computePrintGeometry(48, 20, 4, 2, 60.0, 3, false, 480, 480, target.pageWidth(),
                                                 target.pageHeight());
    EXPECT_EQ(g.pw, 192);  // 480 x 96 / 240
    ASSERT_EQ(PrintOnTarget(*doc.ws, target, false), 1);
    target.endDoc();
    std::ifstream in(doc.dir.file("q.pdf"), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str().rfind("%PDF", 0), 0u);
    // The picture went in at pw x ph pixels, losslessly.
    EXPECT_NE(bytes.str().find("/Width 192"), std::string::npos);
    EXPECT_EQ(bytes.str().find("/DCTDecode"), std::string::npos);
}
