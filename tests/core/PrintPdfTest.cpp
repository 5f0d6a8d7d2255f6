// Printing into PDF files, checked by rendering them with pdftoppm at the
// printer's resolution and finding the picture on the page.
#include "core/PhotoFile.h"
#include "core/StereoWorkspace.h"
#include "output/PdfPrintTarget.h"
#include "output/Print.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

// Renders page 1 at `dpi` into a surface (empty when pdftoppm fails).
Surface render(const std::string& pdf, int dpi) {
    const std::string prefix = pdf + ".page";
    const std::string cmd = "pdftoppm -r " + std::to_string(dpi) + " -singlefile '" + pdf + "' '" + prefix + "'";
    Surface out;
    if (std::system(cmd.c_str()) != 0) return out;
    std::ifstream in(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxv = 0;
    in >> magic >> w >> h >> maxv;
    in.get();
    if (magic != "P6" || maxv != 255 || !out.create(w, h)) return out;
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
        for (int x = 0; x < w; ++x)
            out.set(x, y, pixelFromColorRef(RGB(row[x * 3u], row[x * 3u + 1], row[x * 3u + 2])));
    }
    return out;
}

// The bounding box of everything that is not white.
Rect inkBox(const Surface& page) {
    Rect r{page.width(), page.height(), 0, 0};
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.at(x, y) & 0xFFFFFFu) != 0xFFFFFFu) {
                r.left = std::min(r.left, x), r.right = std::max(r.right, x + 1);
                r.top = std::min(r.top, y), r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

// The mean absolute channel difference between `picture` and the block of
// `page` at `at`.
double meanDifference(const Surface& page, Point at, const Surface& picture) {
    double sum = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Pixel a = page.at(at.x + x, at.y + y), b = picture.at(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        }
    return sum / (3.0 * picture.width() * picture.height());
}

std::string pdfInfo(const std::string& pdf) {
    const std::string cmd = "pdfinfo '" + pdf + "'";
    std::string text;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) text += buf;
        ::pclose(p);
    }
    return text;
}

}  // namespace

TEST(PrintPdf, CompositeAtTheLensMatchedSizeCentred) {
    TestDocument doc(478, 707);
    paintRect(doc.ws->region(0).mask, 100, 100, 300, 600);
    doc.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(doc.ws->Compose());
    const std::string pdf = doc.dir.file("out.pdf");
    PrinterSettings paper;  // A4, portrait
    int pageW = 0, pageH = 0;
    {
        PdfPrintTarget target(pdf, 600, paper);
        pageW = target.pageWidth(), pageH = target.pageHeight();
        ASSERT_EQ(PrintOnTarget(*doc.ws, target, false), 1);
    }
    const Surface page = render(pdf, 600);
    ASSERT_FALSE(page.empty()) << "pdftoppm failed";
    EXPECT_NEAR(page.width(), pageW, 1);
    EXPECT_NEAR(page.height(), pageH, 1);
    // The picture is the composite stretched to pw x ph by area averaging,
    // placed centred (its own white edges, where the shifted layers left
    // nothing, show as paper).
    Surface expected;
    ASSERT_TRUE(expected.create(2390, 3535));
    stretchBlit(expected, 0, 0, 2390, 3535, doc.ws->composite(), 0, 0, doc.ws->composite().width(),
                doc.ws->composite().height(), Rop::Copy, StretchMode::Halftone);
    const int ox = (pageW - 2390) / 2, oy = (pageH - 3535) / 2;
    const Rect box = inkBox(page), own = inkBox(expected);
    EXPECT_NEAR(box.left, ox + own.left, 1);
    EXPECT_NEAR(box.right, ox + own.right, 1);
    EXPECT_NEAR(box.top, oy + own.top, 1);
    EXPECT_NEAR(box.bottom, oy + own.bottom, 1);
    // Neighbouring columns come from different views, so the renderer's
    // sub-pixel resampling costs more here than on a photo; a picture that
    // is not the stretched composite differs by several times this.
    EXPECT_LT(meanDifference(page, {ox, oy}, expected), 12.0);
    const std::string info = pdfInfo(pdf);
    EXPECT_NE(info.find("ﾌﾟﾗｽﾄｰﾗ"), std::string::npos) << info;
}

TEST(PrintPdf, HighResolutionEditImageAndPortraitPage) {
    TestDocument doc(478, 707);
    const int r = doc.ws->settings().hdRatio;
    Surface& hr = doc.ws->highRes(0);
    ASSERT_TRUE(hr.create(478 * r, 707 * r));
    stretchBlit(hr, 0, 0, hr.width(), hr.height(), doc.ws->source(), 0, 0, 478, 707, Rop::Copy, StretchMode::Nearest);
    doc.ws->setHighResCount(1);
    ASSERT_TRUE(doc.ws->SetMode(kModeImage));
    const std::string pdf = doc.dir.file("hr.pdf");
    // The print dialog keeps the orientation it was handed; a landscape
    // set-up is turned to portrait for this portrait picture.
    struct PdfDialogs : PrintDialogs {
        std::string path;
        bool printerSetupDialog(PrinterSettings&, bool) override { return false; }
        std::unique_ptr<PrintTarget> printDialog(const PrinterSettings* s) override {
            return std::make_unique<PdfPrintTarget>(path, 600, s ? *s : PrinterSettings{}, 5.0);
        }
    } dialogs;
    dialogs.path = pdf;
    PrinterSettings landscape;
    landscape.paper = "A4";
    landscape.orientation = kLandscape;
    ASSERT_TRUE(writePrinterSettings(doc.dir.file("Plastora.prn"), landscape));
    doc.host.expectMessage(kPrintEditImageQuestion, MsgResult::Yes);
    ASSERT_EQ(PrintPicture(*doc.ws, dialogs, doc.dir.file("Plastora.prn")), 1);

    const Surface page = render(pdf, 600);
    ASSERT_FALSE(page.empty());
    EXPECT_LT(page.width(), page.height()) << "portrait";
    const Rect box = inkBox(page);
    EXPECT_NEAR(box.width(), 2530, 1);  // the page renderer may smear one edge pixel
    EXPECT_NEAR(box.height(), 3742, 1);
    // Centred in the printable area, which starts 5 mm in.
    const int margin = static_cast<int>(5.0 / 25.4 * 600 + 0.5);
    EXPECT_NEAR(box.left - margin, (page.width() - 2 * margin - 2530) / 2, 2);
    Surface expected;
    ASSERT_TRUE(expected.create(2530, 3742));
    stretchBlit(expected, 0, 0, 2530, 3742, hr, 0, 0, hr.width(), hr.height(), Rop::Copy, StretchMode::Halftone);
    EXPECT_LT(meanDifference(page, {box.left, box.top}, expected), 4.0);
}

TEST(PrintPdf, APictureTooLargeForOneImageGoesInBandsOfRows) {
    // The band size is brought down so that a small picture shows what a
    // picture of hundreds of millions of pixels does: every row arrives, in
    // its place, with no seam between the bands.
    TempDir dir;
    const std::string pdf = dir.file("bands.pdf");
    const Surface picture = gradientPicture(120, 90);
    {
        PdfPrintTarget target(pdf, 72, PrinterSettings{});
        target.setBandBytes(120 * 4 * 7);
        ASSERT_TRUE(target.startDoc("bands"));
        ASSERT_TRUE(target.startPage());
        ASSERT_TRUE(target.drawImage(Rect{30, 40, 150, 130}, picture));
        target.endPage();
        target.endDoc();
    }
    // Cairo's renderer draws an image placed on whole device pixels pixel
    // for pixel (pdftoppm's smooths it).
    ASSERT_EQ(std::system(("pdftocairo -png -r 72 -singlefile '" + pdf + "' '" + pdf + "'").c_str()), 0);
    ScriptedHost host;
    Surface page;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(host, pdf + ".png", page, w, h), 1);
    Surface printed;
    ASSERT_TRUE(printed.create(120, 90));
    blit(printed, 0, 0, 120, 90, &page, 30, 40, Rop::Copy);
    EXPECT_TRUE(samePixels(printed, picture));
    EXPECT_EQ(inkBox(page).top, 40);
    EXPECT_EQ(inkBox(page).bottom, 130);
}
