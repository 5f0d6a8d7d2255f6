#include "core/StereoWorkspace.h"
#include "output/PdfPrintTarget.h"
#include "output/Print.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A printer that records what it was asked to do.
struct FakeTarget : PrintTarget {
    std::string name = "Test Printer";
    int dpi = 340, pageW = 2000, pageH = 3000;
    bool docStarts = true, pageStarts = true, drawWorks = true;
    bool jobTaken = true, printer = false;  // what the print system answered; a printer or a file
    std::vector<std::string> calls;
    Rect drawnAt;
    Surface drawn;  // a copy of the picture handed over
    std::string docName;

    std::string deviceName() const override { return name; }
    int dpiX() const override { return dpi; }
    int dpiY() const override { return dpi; }
    int pageWidth() const override { return pageW; }
    int pageHeight() const override { return pageH; }
    bool startDoc(const std::string& n) override { docName = n; calls.push_back("startDoc"); return docStarts; }
    bool startFailed() const override { return !docStarts; }
    bool startPage() override { calls.push_back("startPage"); return pageStarts; }
    bool drawImage(const Rect& dst, const Surface& image) override {
        calls.push_back("draw");
        drawnAt = dst;
        drawn.createCopy(image);
        return drawWorks;
    }
    void endPage() override { calls.push_back("endPage"); }
    void endDoc() override { calls.push_back("endDoc"); }
    bool written() const override { return jobTaken; }
    bool spooled() const override { return printer; }
};

// Hands the calls on to a FakeTarget that outlives the print.
struct ForwardTarget : PrintTarget {
    FakeTarget& t;
    explicit ForwardTarget(FakeTarget& target) : t(target) {}
    std::string deviceName() const override { return t.deviceName(); }
    int dpiX() const override { return t.dpiX(); }
    int dpiY() const override { return t.dpiY(); }
    int pageWidth() const override { return t.pageWidth(); }
    int pageHeight() const override { return t.pageHeight(); }
    bool startDoc(const std::string& n) override { return t.startDoc(n); }
    bool startFailed() const override { return t.startFailed(); }
    bool startPage() override { return t.startPage(); }
    bool drawImage(const Rect& dst, const Surface& image) override { return t.drawImage(dst, image); }
    void endPage() override { t.endPage(); }
    void endDoc() override { t.endDoc(); }
};

// Dialogs answered from data; the print dialog hands out `target`.
struct FakeDialogs : PrintDialogs {
    bool setupOk = true;
    PrinterSettings setupResult;
    std::vector<std::pair<PrinterSettings, bool>> setupCalls;
    std::unique_ptr<PrintTarget> target;
    FakeTarget fake;
    // Hands out a target that forwards to `fake`.
    FakeTarget& useFake() {
        target = std::make_unique<ForwardTarget>(fake);
        return fake;
    }
    std::vector<std::optional<PrinterSettings>> printCalls;

    bool printerSetupDialog(PrinterSettings& s, bool stored) override {
        setupCalls.emplace_back(s, stored);
        if (setupOk) s = setupResult;
        return setupOk;
    }
    std::unique_ptr<PrintTarget> printDialog(const PrinterSettings* s) override {
        printCalls.push_back(s ? std::optional<PrinterSettings>(*s) : std::nullopt);
        return std::move(target);
    }
};

// A w x h document with its views and composite (display mode 3).
struct PrintDoc : TestDocument {
    std::string prn;
    PrintDoc(int w, int h, const std::string& ini = "") : TestDocument(w, h, ini), prn(dir.file("Plastora.prn")) {
        paintRect(ws->region(0).mask, w / 4, 0, w / 2, h);
        ws->GenerateViews(nullptr, 2, false);
        EXPECT_TRUE(ws->Compose());
    }
    // Gives the picture a high-resolution copy (the photo enlarged R times).
    void addHighRes() {
        const int r = ws->settings().hdRatio;
        Surface& hr = ws->highRes(0);
        ASSERT_TRUE(hr.create(ws->width() * r, ws->height() * r));
        stretchBlit(hr, 0, 0, hr.width(), hr.height(), ws->source(), 0, 0, ws->width(), ws->height(), Rop::Copy,
                    StretchMode::Nearest);
        ws->setHighResCount(1);
    }
};

Surface stretched(const Surface& src, int w, int h) {
    Surface out;
    out.create(w, h);
    stretchBlit(out, 0, 0, w, h, src, 0, 0, src.width(), src.height(), Rop::Copy, StretchMode::Halftone);
    return out;
}

}  // namespace

// ---- geometry ---------------------------------------------------------------

TEST(PrintGeometry, HandWorkedSizes) {
    // N 4, P 2, LPI 60: s = 240 dpi; the 956 x 1414 composite is 3.98 x 5.89 in.
    PrintGeometry g = computePrintGeometry(478, 707, 4, 2, 60.0, 3, false, 600, 600, 4000, 5000);
    EXPECT_EQ(g.pw, 2390);
    EXPECT_EQ(g.ph, 3535);  // 600 x 1414 / 240 = 3535
    EXPECT_EQ(g.ox, 805);
    EXPECT_EQ(g.oy, 732);  // (5000 - 3535) / 2 truncated

    // The R-times picture at 340 dpi: 600 x 478 x 3 / 340 = 2530.6, 600 x 707 x 3 / 340 = 3742.9.
    g = computePrintGeometry(478, 707, 4, 2, 60.0, 3, true, 600, 600, 4000, 5000);
    EXPECT_EQ(g.pw, 2530);
    EXPECT_EQ(g.ph, 3742);

    // W x N / P is an integer before the division by s: 101 x 5 / 3 = 168 (not
    // 168.33), s = 169.33, so 300 x 168 / s = 297.6 -> 297.
    g = computePrintGeometry(101, 30, 5, 3, 50.8, 3, false, 300, 150, 400, 400);
    EXPECT_EQ(g.pw, 297);
    EXPECT_EQ(g.ph, 44);  // 150 x 50 / 169.33 = 44.3; the vertical resolution is the printer's own
    // A picture larger than the printable area hangs over both sides evenly.
    EXPECT_EQ(g.ox, (400 - 297) / 2);

    g = computePrintGeometry(478, 707, 4, 2, 60.0, 3, false, 600, 600, 2000, 3000);
    EXPECT_EQ(g.ox, -195);
    EXPECT_EQ(g.oy, -267);
}

TEST(PrintGeometry, SizesThatCannotBePrinted) {
    EXPECT_FALSE(computePrintGeometry(478, 707, 4, 2, 0.0, 3, false, 600, 600, 4000, 5000).valid()) << "no LPI";
    EXPECT_FALSE(computePrintGeometry(478, 707, 4, 2, -1.0, 3, false, 600, 600, 4000, 5000).valid());
    EXPECT_FALSE(computePrintGeometry(478, 707, 4, 2, 1e-9, 3, false, 600, 600, 4000, 5000).valid())
        << "beyond any bitmap";
    EXPECT_FALSE(computePrintGeometry(478, 707, 4, 2, 60.0, 3, false, 0, 600, 4000, 5000).valid());
    EXPECT_FALSE(computePrintGeometry(0, 707, 4, 2, 60.0, 3, false, 600, 600, 4000, 5000).valid());
    // A picture smaller than a printer dot prints as one dot, not as a
    // failure (which was told as lack of memory).
    PrintGeometry g = computePrintGeometry(1, 1, 4, 2, 60.0, 3, false, 72, 72, 600, 800);
    EXPECT_EQ(g.pw, 1);
    EXPECT_EQ(g.ph, 1);
    g = computePrintGeometry(1, 1, 4, 2, 60.0, 3, true, 72, 72, 600, 800);
    EXPECT_EQ(g.pw, 1);
    EXPECT_EQ(g.ph, 1);
}

// ---- the set-up file ----------------------------------------------------------

TEST(PrinterSetupFile, RoundTripAndDamagedContent) {
    TempDir dir;
    PrinterSettings s;
    s.printer = "RICOH 写真プリンタ";
    s.paper = "A4";
    s.paperWidthMM = 210;
    s.paperHeightMM = 297;
    s.source = 3;
    s.colorMode = 1;
    s.resolution = 1200;
    s.duplex = 0;
    s.orientation = kLandscape;
    ASSERT_TRUE(writePrinterSettings(dir.file("Plastora.prn"), s));
    PrinterSettings back;
    ASSERT_TRUE(readPrinterSettings(dir.file("Plastora.prn"), back));
    EXPECT_EQ(back, s);
    EXPECT_FALSE(readPrinterSettings(dir.file("missing.prn"), back));

    // A line break in a name cannot smuggle in a key of its own.
    s.printer = "evil\norientation=1";
    ASSERT_TRUE(parsePrinterSettings(formatPrinterSettings(s), back));
    EXPECT_EQ(back.orientation, kLandscape);
    EXPECT_EQ(back.printer, "evil orientation=1");
    // A control character inside a stored name (a lone CR, a tab) reads as a
    // space, so what is read is what is written back.
    ASSERT_TRUE(parsePrinterSettings("printer=a\rb\tc\r\npaper=A4\x7f\n", back));
    EXPECT_EQ(back.printer, "a b c");
    EXPECT_EQ(back.paper, "A4 ");
    PrinterSettings again;
    ASSERT_TRUE(parsePrinterSettings(formatPrinterSettings(back), again));
    EXPECT_EQ(again, back);

    // Unknown keys, junk lines and values out of range leave the defaults.
    ASSERT_TRUE(parsePrinterSettings("junk\nresolution=-5\norientation=7\ncolorMode=x\npaperWidthMM=nan\n"
                                     "paper=Letter\r\nzzz=1\n",
                                     back));
    EXPECT_EQ(back.resolution, 0);
    EXPECT_EQ(back.orientation, kPortrait);
    EXPECT_EQ(back.colorMode, -1);
    EXPECT_EQ(back.paperWidthMM, 0.0);
    EXPECT_EQ(back.paper, "Letter");

    // A file far larger than any set-up is not read.
    std::ofstream(dir.file("big.prn")) << std::string(100000, 'x');
    EXPECT_FALSE(readPrinterSettings(dir.file("big.prn"), back));
    // A folder that does not exist cannot take the file; nothing is left behind.
    EXPECT_FALSE(writePrinterSettings(dir.file("no/such/Plastora.prn"), s));
}

TEST(PrinterSetupCommand, StoresTheChosenSettingsAndReportsWriteFailure) {
    PrintDoc doc(40, 16);
    FakeDialogs dialogs;
    dialogs.setupResult.printer = "Office";
    dialogs.setupResult.resolution = 600;
    doc.host.expectMessage(kPrinterSetupInfo, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
    EXPECT_EQ(PrinterSetup(*doc.ws, dialogs, doc.prn), 1);
    ASSERT_EQ(dialogs.setupCalls.size(), 1u);
    EXPECT_FALSE(dialogs.setupCalls[0].second) << "no stored set-up yet";
    PrinterSettings stored;
    ASSERT_TRUE(readPrinterSettings(doc.prn, stored));
    EXPECT_EQ(stored, dialogs.setupResult);

    // The next set-up starts from the stored one; Cancel keeps the file.
    dialogs.setupOk = false;
    const std::string before = readFile(doc.prn);
    doc.host.expectMessage(kPrinterSetupInfo);
    EXPECT_EQ(PrinterSetup(*doc.ws, dialogs, doc.prn), 0);
    ASSERT_EQ(dialogs.setupCalls.size(), 2u);
    EXPECT_TRUE(dialogs.setupCalls[1].second);
    EXPECT_EQ(dialogs.setupCalls[1].first.printer, "Office");
    EXPECT_EQ(readFile(doc.prn), before);

    dialogs.setupOk = true;
    doc.host.expectMessage(kPrinterSetupInfo).expectMessage(kPrinterSetupWriteFailed);
    EXPECT_EQ(PrinterSetup(*doc.ws, dialogs, doc.dir.file("gone/Plastora.prn")), 0);
}

// ---- the print command ----------------------------------------------------------

TEST(PrintCommand, QuestionsAndTheSetUpLoop) {
    PrintDoc doc(40, 16);
    // The composite is printed without asking; with no set-up the question
    // comes first, and No gives the print dialog its own defaults.
    {
        FakeDialogs dialogs;
        dialogs.target = std::make_unique<FakeTarget>();
        doc.host.expectMessage(kPrintSetupQuestion, MsgResult::No, MsgButtons::YesNo);
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 1);
        ASSERT_EQ(dialogs.printCalls.size(), 1u);
        EXPECT_FALSE(dialogs.printCalls[0].has_value());
    }
    // Yes runs the set-up and, the file now being there, prints with it.
    {
        FakeDialogs dialogs;
        dialogs.setupResult.printer = "Office";
        dialogs.setupResult.orientation = kPortrait;
        dialogs.target = std::make_unique<FakeTarget>();
        doc.host.expectMessage(kPrintSetupQuestion, MsgResult::Yes).expectMessage(kPrinterSetupInfo);
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 1);
        ASSERT_EQ(dialogs.printCalls.size(), 1u);
        ASSERT_TRUE(dialogs.printCalls[0].has_value());
        EXPECT_EQ(dialogs.printCalls[0]->printer, "Office");
        EXPECT_EQ(dialogs.printCalls[0]->orientation, kLandscape) << "40 x 16 is wider than high";
        PrinterSettings file;
        ASSERT_TRUE(readPrinterSettings(doc.prn, file));
        EXPECT_EQ(file.orientation, kPortrait) << "the orientation is set for this print only";
    }
    // Cancel of the print dialog prints nothing.
    {
        FakeDialogs dialogs;
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 0);
    }
    // A printer that cannot begin a document (none usable) is said so.
    {
        FakeDialogs dialogs;
        dialogs.useFake().docStarts = false;
        doc.host.expectMessage(kPrintStartFailedMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 0);
    }
    // The anaglyph and the edit image are printed only after Yes.
    doc.ws->setDisplayMode(kModeAnaglyph);
    {
        FakeDialogs dialogs;
        doc.host.expectMessage(kPrintAnaglyphQuestion, MsgResult::No, MsgButtons::YesNo);
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 0);
        EXPECT_TRUE(dialogs.printCalls.empty());
    }
    ASSERT_TRUE(doc.ws->SetMode(kModeImage));
    {
        FakeDialogs dialogs;
        FakeTarget* t = &dialogs.useFake();
        doc.host.expectMessage(kPrintEditImageQuestion, MsgResult::Yes, MsgButtons::YesNo);
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 1);
        EXPECT_TRUE(samePixels(t->drawn, doc.ws->display())) << "the edit image handed over as it is shown";
        EXPECT_EQ(t->docName, "ﾌﾟﾗｽﾄｰﾗ");
    }
}

TEST(PrintCommand, PortraitPictureOverridesTheStoredOrientation) {
    PrintDoc doc(16, 40);
    PrinterSettings landscape;
    landscape.orientation = kLandscape;
    ASSERT_TRUE(writePrinterSettings(doc.prn, landscape));
    FakeDialogs dialogs;
    dialogs.target = std::make_unique<FakeTarget>();
    EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 1);
    ASSERT_TRUE(dialogs.printCalls.at(0).has_value());
    EXPECT_EQ(dialogs.printCalls[0]->orientation, kPortrait);
}

TEST(PrintCommand, RicohPrintersAreOfferedTheMemoryCopy) {
    PrintDoc doc(40, 16);
    writePrinterSettings(doc.prn, PrinterSettings{});
    auto run = [&](const std::string& device) {
        FakeDialogs dialogs;
        dialogs.useFake().name = device;
        EXPECT_EQ(PrintPicture(*doc.ws, dialogs, doc.prn), 1);
        return dialogs.fake.drawn.width();
    };
    // Other printers are not asked; No keeps direct drawing (the composite handed over whole).
    EXPECT_EQ(run("Canon"), doc.ws->composite().width());
    doc.host.expectMessage(kPrintCopyQuestion, MsgResult::No, MsgButtons::YesNo);
    EXPECT_EQ(run("RICOH SP C250"), doc.ws->composite().width());
    EXPECT_EQ(readFile(doc.dir.file("Plastora.ini")).find("CopyPrint"), std::string::npos);

    // Yes stores the choice and this very print goes through memory at pw x ph.
    doc.host.expectMessage(kPrintCopyQuestion, MsgResult::Yes);
    const int pw = computePrintGeometry(40, 16, 4, 2, 60.0, 3, false, 340, 340, 0, 0).pw;
    EXPECT_EQ(run("RICOH SP C250"), pw);
    EXPECT_TRUE(doc.ws->settings().copyPrint);
    EXPECT_NE(readFile(doc.dir.file("Plastora.ini")).find("CopyPrint=1"), std::string::npos);
    // Asked no more.
    EXPECT_EQ(run("RICOH SP C250"), pw);
}

// ---- drawing ---------------------------------------------------------------------

TEST(PrintDrawing, DirectAndMemoryDrawTheSamePicture) {
    PrintDoc doc(40, 16);
    FakeTarget direct;
    direct.dpi = 203;  // an odd resolution: the picture is really stretched
    ASSERT_EQ(PrintOnTarget(*doc.ws, direct, false), 1);
    const PrintGeometry g = computePrintGeometry(40, 16, 4, 2, 60.0, 3, false, 203, 203, 2000, 3000);
    EXPECT_EQ(direct.drawnAt, (Rect{g.ox, g.oy, g.ox + g.pw, g.oy + g.ph}));
    EXPECT_TRUE(samePixels(direct.drawn, doc.ws->composite()));
    EXPECT_EQ(direct.calls, (std::vector<std::string>{"startDoc", "startPage", "draw", "endPage", "endDoc"}));

    doc.ws->settings().copyPrint = true;
    FakeTarget memory;
    memory.dpi = 203;
    ASSERT_EQ(PrintOnTarget(*doc.ws, memory, false), 1);
    EXPECT_EQ(memory.drawnAt, direct.drawnAt);
    EXPECT_TRUE(samePixels(memory.drawn, stretched(doc.ws->composite(), g.pw, g.ph)));
}

TEST(PrintDrawing, HighResolutionPrintsTheEnlargedPictureAt340Dpi) {
    PrintDoc doc(40, 16);
    doc.addHighRes();
    ASSERT_TRUE(doc.ws->SetMode(kModeImage));
    doc.ws->setCurrentObject(0);
    FakeTarget t;  // 340 dpi: the R-times picture lands pixel for pixel
    ASSERT_EQ(PrintOnTarget(*doc.ws, t, true), 1);
    EXPECT_EQ(doc.ws->currentObject(), -1) << "no selection frame on paper";
    EXPECT_EQ(t.drawnAt.width(), 120);
    EXPECT_EQ(t.drawnAt.height(), 48);
    EXPECT_TRUE(samePixels(t.drawn, doc.ws->highRes(0)));

    // With the interlace image shown the composite is printed at its own size.
    doc.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(doc.ws->BuildComposite());
    doc.ws->setDisplayMode(kModeInterlace);
    FakeTarget c;
    ASSERT_EQ(PrintOnTarget(*doc.ws, c, false), 1);
    EXPECT_TRUE(samePixels(c.drawn, doc.ws->composite()));
}

// The picture is never scaled to the paper: one larger than the printable
// area is printed cut only when the user says so; a job the print system
// refuses is told as a printing failure.
TEST(PrintDrawing, APictureLargerThanThePageAsksFirstAndARefusedJobIsTold) {
    PrintDoc doc(40, 16);
    const PrintGeometry g = computePrintGeometry(40, 16, 4, 2, 60.0, 3, false, 340, 340, 0, 0);
    const auto question = [&](int pageW, int pageH) {
        char text[512];
        std::snprintf(text, sizeof text, kPrintLargerThanPageQuestion, g.pw * 25.4 / 340, g.ph * 25.4 / 340,
                      pageW * 25.4 / 340, pageH * 25.4 / 340);
        return std::string(text);
    };
    FakeTarget narrow;
    narrow.pageW = g.pw - 1;
    doc.host.expectMessage(question(g.pw - 1, 3000), MsgResult::Cancel, MsgButtons::OkCancel, MsgIcon::Warning);
    EXPECT_EQ(PrintOnTarget(*doc.ws, narrow, false), 0);
    EXPECT_TRUE(narrow.calls.empty()) << "nothing sent to the printer";
    FakeTarget low;
    low.pageH = g.ph - 1;
    doc.host.expectMessage(question(2000, g.ph - 1), MsgResult::Ok);
    EXPECT_EQ(PrintOnTarget(*doc.ws, low, false), 1);
    EXPECT_EQ(low.drawnAt.width(), g.pw) << "printed at its own size, cut";
    // Exactly the printable area: no question.
    FakeTarget exact;
    exact.pageW = g.pw;
    exact.pageH = g.ph;
    EXPECT_EQ(PrintOnTarget(*doc.ws, exact, false), 1);
    EXPECT_TRUE(doc.host.done());

    FakeTarget refused;
    refused.printer = true;
    refused.jobTaken = false;
    doc.host.expectMessage(kPrintStartFailedMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_EQ(PrintOnTarget(*doc.ws, refused, false), 0);
    EXPECT_TRUE(doc.host.done());
}

TEST(PrintDrawing, FailuresEndTheDocument) {
    PrintDoc doc(40, 16);
    // A page that does not start: nothing drawn, the document ended.
    FakeTarget noPage;
    noPage.pageStarts = false;
    EXPECT_EQ(PrintOnTarget(*doc.ws, noPage, false), 0);
    EXPECT_EQ(noPage.calls, (std::vector<std::string>{"startDoc", "startPage", "endDoc"}));

    // Direct drawing that fails.
    FakeTarget broken;
    broken.drawWorks = false;
    doc.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_EQ(PrintOnTarget(*doc.ws, broken, false), 0);
    EXPECT_EQ(broken.calls.back(), "endDoc");

    // The memory picture cannot be had: the message depends on CopyPrint.
    const int pw = computePrintGeometry(40, 16, 4, 2, 60.0, 3, false, 340, 340, 0, 0).pw;
    Surface::setAllocationHook([pw](int w, int) { return w != pw; });
    doc.ws->settings().copyPrint = true;
    FakeTarget t1;
    doc.host.expectMessage(kPrintCopyMemoryMessage);
    EXPECT_EQ(PrintOnTarget(*doc.ws, t1, false), 0);
    EXPECT_EQ(t1.calls, (std::vector<std::string>{"startDoc", "startPage", "endPage", "endDoc"}));

    doc.ws->settings().copyPrint = false;
    doc.addHighRes();
    ASSERT_TRUE(doc.ws->SetMode(kModeImage));
    Surface::setAllocationHook([](int w, int) { return w != 120; });  // the R-times picture
    FakeTarget t2;
    doc.host.expectMessage(kOutOfMemoryMessage);
    EXPECT_EQ(PrintOnTarget(*doc.ws, t2, true), 0);
    EXPECT_EQ(t2.calls.back(), "endDoc");
    Surface::setAllocationHook(nullptr);

    // No lens resolution: no size to print at.
    doc.ws->setLpi(0.0);
    doc.ws->settings().copyPrint = true;
    ASSERT_TRUE(doc.ws->SetMode(kModeMask));
    doc.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(doc.ws->Compose());
    FakeTarget t3;
    doc.host.expectMessage(kPrintCopyMemoryMessage);
    EXPECT_EQ(PrintOnTarget(*doc.ws, t3, false), 0);
}
