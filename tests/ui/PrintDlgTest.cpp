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
