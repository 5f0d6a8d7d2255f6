// The working size: paper and lens arithmetic, trimming rectangles, opening
// a photo through the picture dialog, and the paper change.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PaperChange.h"
#include "output/WorkingSize.h"
#include "platform/GuiRuntime.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

// Text objects are measured with the GUI run time; end it with the tests.
class GuiRuntimeEnvironment : public ::testing::Environment {
public:
    void TearDown() override { shutdownGuiRuntime(); }
};
[[maybe_unused]] ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiRuntimeEnvironment);

// The paper table the program ships with (sizes at 60 lpi).
constexpr const char* kPapers =
    "[Picture]\nPaperSize1=707,478\nPaperSize2=607,425\nPaperSize3=434,262\nPaperSize4=640,480\n"
    "PaperSize5=1419,1003\nPaperSize6=850,607\nHDRatio=2\n";

PaperTable shippedPapers() {
    return {SettingSize{707, 478}, {607, 425}, {434, 262}, {640, 480}, {1419, 1003}, {850, 607}};
}

Surface flatPicture(int w, int h, ColorRef c) {
    Surface s;
    s.create(w, h);
    fillRect(s, {0, 0, w, h}, c);
    return s;
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Answers the dialogs from the test and records what they were shown.
struct TestDialogs : WorkspaceDialogs {
    std::function<bool(PictureDialogData&)> onPicture;
    std::function<bool(TrimmingDialogData&)> onTrimming;
    std::vector<PictureDialogData> pictureShown;
    int trimmingCalls = 0;
    Rect trimmingPreset;
    Size trimmingWorkingSize;

    bool pictureDialog(PictureDialogData& d) override {
        pictureShown.push_back(d);
        return onPicture ? onPicture(d) : true;
    }
    bool trimmingDialog(TrimmingDialogData& d) override {
        ++trimmingCalls;
        trimmingPreset = d.source;
        trimmingWorkingSize = {d.workingWidth, d.workingHeight};
        return onTrimming ? onTrimming(d) : true;
    }
};

// A temporary program folder with the shipped paper table, a workspace over
// it, and photos saved as BMP (lossless) to open.
struct Desk {
    TempDir dir;
    ScriptedHost host;
    TestDialogs dialogs;
    std::unique_ptr<CStereoWorkspace> ws;

    explicit Desk(const std::string& extraIni = {}) {
        std::ofstream(dir.file("Plastora.ini")) << kPapers << extraIni;
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        ws->setDialogs(&dialogs);
    }
    std::string photo(const Surface& s, const std::string& name = "photo.bmp") {
        const std::string path = dir.file(name);
        EXPECT_EQ(SaveStillImage(host, s, s.width(), s.height(), path, 90), 1);
        return path;
    }
    // Picks paper and trimming in the picture dialog.
    void choose(int paper, int trimming) {
        dialogs.onPicture = [paper, trimming](PictureDialogData& d) {
            d.paper = paper;
            d.trimming = trimming;
            return true;
        };
    }
};

// What the platform's halftone stretch makes of one rectangle of a picture on
// a W x H white image: the expected result of a trimming, worked out without
// the trimming code.
Surface stretched(const Surface& photo, Rect from, int W, int H, Rect to) {
    Surface out = flatPicture(W, H, RGB(255, 255, 255));
    stretchBlit(out, to.left, to.top, to.width(), to.height(), photo, from.left, from.top, from.width(),
                from.height(), Rop::Copy, StretchMode::Halftone);
    return out;
}

bool blackAndWhiteOnly(const Surface& s) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) != kWhite && s.at(x, y) != kBlack) return false;
    return true;
}

}  // namespace

// ---- arithmetic -----------------------------------------------------------------

TEST(PaperGeometry, PaperSizesScaleWithTheLensAndTruncate) {
    // 707 x 75 / 60 = 883.75, 478 x 75 / 60 = 597.5.
    EXPECT_EQ(scaledPaperSize({707, 478}, 75.0), (Size{883, 597}));
    EXPECT_EQ(scaledPaperSize({707, 478}, 60.0), (Size{707, 478}));
    // Fractions in the table: 100.9 x 60 / 60 stays below 101.
    EXPECT_EQ(scaledPaperSize({100.9, 50.5}, 60.0), (Size{100, 50}));
    // 640 x 72.5 / 60 = 773.33, 480 x 72.5 / 60 = 580.
    EXPECT_EQ(scaledPaperSize({640, 480}, 72.5), (Size{773, 580}));

    TempDir dir;
    std::ofstream(dir.file("p.ini")) << "[Picture]\nPaperSize2=607,425\nPaperSize6=bad\n";
    const PaperTable t = readPaperTable(Settings(dir.file("p.ini")));
    EXPECT_EQ(t[1].width, 607);
    EXPECT_EQ(t[0].width, 640) << "a missing entry falls back to 640,480";
    EXPECT_EQ(t[5].height, 480) << "an unreadable entry falls back to 640,480";
}

TEST(PaperGeometry, MillimetresUseTheFloatFactorBothWays) {
    // trunc(100 x 60 x 0.07966667) = trunc(478.00002), trunc(148 x 60 x 0.07966667) = trunc(707.44).
    EXPECT_EQ(mmToPixels(100, 60.0), 478);
    EXPECT_EQ(mmToPixels(148, 60.0), 707);
    // 130 x 75 x 0.07966667 = 776.75.
    EXPECT_EQ(mmToPixels(130, 75.0), 776);
    // trunc(478 x 60 / (60 x 4.78)) = 100; 707 gives 147.9.
    EXPECT_EQ(pixelsToMm(478, 60.0), 100);
    EXPECT_EQ(pixelsToMm(707, 60.0), 147);
    EXPECT_EQ(pixelsToMm(640, 80.0), 100);  // 38400 / 382.4 = 100.4

    PictureDialogData d;
    d.paper = kPaperUser;
    d.userWidthMm = 100;
    d.userHeightMm = 148;
    d.lpi = 60.0;
    EXPECT_EQ(workingSize(d, shippedPapers(), 300, 400), (Size{478, 707})) << "portrait photo";
    EXPECT_EQ(workingSize(d, shippedPapers(), 400, 300), (Size{707, 478})) << "landscape photo";
}

TEST(PaperGeometry, ThePaperTurnsToThePhoto) {
    PictureDialogData d;
    d.paper = kPaperPostcard;  // 707,478 in the table: landscape
    d.trimming = kTrimCrop;
    EXPECT_EQ(workingSize(d, shippedPapers(), 300, 500), (Size{478, 707}));
    EXPECT_EQ(workingSize(d, shippedPapers(), 500, 300), (Size{707, 478}));
    EXPECT_EQ(workingSize(d, shippedPapers(), 400, 400), (Size{707, 478})) << "a square photo counts as landscape";
    // A table entry written the other way round gives the same result.
    PaperTable turned = shippedPapers();
    turned[0] = {478, 707};
    EXPECT_EQ(workingSize(d, turned, 500, 300), (Size{707, 478}));
    EXPECT_EQ(workingSize(d, turned, 300, 500), (Size{478, 707}));
    // No trimming keeps the photo's size whatever the paper.
    for (int paper = 0; paper < kPaperCount; ++paper) {
        d.paper = paper;
        d.trimming = kTrimNone;
        EXPECT_EQ(workingSize(d, shippedPapers(), 451, 300), (Size{451, 300})) << paper;
    }
}

TEST(PaperGeometry, PresetsForOpening) {
    const PaperTable papers = shippedPapers();
    PictureDialogData d = presetPictureDialog("/x/photo.jpg", false, 0, 0, 60.0, papers, 600, 400, false);
    EXPECT_EQ(d.paper, kPaperPostcard);
    EXPECT_EQ(d.trimming, kTrimCrop);
    EXPECT_EQ(d.userWidthMm, 130);
    EXPECT_EQ(d.userHeightMm, 83);
    EXPECT_FALSE(d.highRes);
    EXPECT_FALSE(d.resizing);

    for (const char* mpo : {"/x/pair.mpo", "/x/PAIR.MPO"}) {
        d = presetPictureDialog(mpo, false, 0, 0, 60.0, papers, 600, 400, false);
        EXPECT_EQ(d.paper, kPaperVGA) << mpo;
        EXPECT_EQ(d.trimming, kTrimNone) << mpo;
    }

    // Larger than the 2L entry (850,607), width against width and height
    // against height, without turning: paper, crop and a high-resolution copy.
    for (Size photo : {Size{851, 400}, Size{600, 608}, Size{607, 850}}) {
        d = presetPictureDialog("/x/a.mpo", false, 0, 0, 60.0, papers, photo.cx, photo.cy, false);
        EXPECT_EQ(d.paper, kPaperPostcard) << photo.cx << "x" << photo.cy;
        EXPECT_EQ(d.trimming, kTrimCrop);
        EXPECT_TRUE(d.highRes);
    }
    d = presetPictureDialog("/x/a.jpg", false, 0, 0, 60.0, papers, 850, 607, false);
    EXPECT_FALSE(d.highRes) << "exactly the 2L size is not larger";
    d = presetPictureDialog("/x/a.jpg", false, 0, 0, 75.0, papers, 900, 700, false);
    EXPECT_TRUE(d.highRes) << "the limit is the entry as written, not scaled by the lens";
}

TEST(PaperGeometry, PresetsForAPaperChange) {
    const PaperTable papers = shippedPapers();
    // 425 x 607 is the L paper turned.
    PictureDialogData d = presetPictureDialog("/x/a.lyr", true, 425, 607, 60.0, papers, 425, 607, true);
    EXPECT_TRUE(d.resizing);
    EXPECT_EQ(d.paper, kPaperL);
    EXPECT_TRUE(d.highRes);
    EXPECT_EQ(d.userWidthMm, 88);   // 425 / 4.78 = 88.9
    EXPECT_EQ(d.userHeightMm, 126); // 607 / 4.78 = 126.99
    // At 75 lpi the postcard is 883 x 597.
    d = presetPictureDialog("/x/a.lyr", true, 883, 597, 75.0, papers, 883, 597, false);
    EXPECT_EQ(d.paper, kPaperPostcard);
    EXPECT_FALSE(d.highRes);
    // The 2L size itself and sizes matching no paper preselect "2 L判".
    EXPECT_EQ(presetPictureDialog("a.lyr", true, 850, 607, 60.0, papers, 850, 607, false).paper, kPaper2L);
    EXPECT_EQ(presetPictureDialog("a.lyr", true, 500, 500, 60.0, papers, 500, 500, false).paper, kPaper2L);
    // A tiny picture still gives a size the millimetre fields accept.
    d = presetPictureDialog("a.lyr", true, 2, 3, 60.0, papers, 2, 3, false);
    EXPECT_EQ(d.userWidthMm, kMinPaperMm);
}

TEST(PaperGeometry, CropTakesTheCentreOfThePhoto) {
    // Landscape 451 x 300 on 707 x 478: r = 0.676096, 300 / r = 443.72 <= 451,
    // so 443 columns starting at (451 - 443) / 2 = 4.
    TrimPlan p = planTrimming(kTrimCrop, 451, 300, 707, 478);
    EXPECT_EQ(p.source, (Rect{4, 0, 447, 300}));
    EXPECT_EQ(p.dest, (Rect{0, 0, 707, 478}));
    EXPECT_FALSE(p.margins);
    // Landscape 600 x 100 (too wide), same paper: 100 / r = 147.9 -> 147 wide at 226.
    p = planTrimming(kTrimCrop, 600, 100, 707, 478);
    EXPECT_EQ(p.source, (Rect{226, 0, 373, 100}));
    // A landscape photo taller than the paper: 400 x 380 on 707 x 478:
    // 380 / r = 562 > 400, so the height becomes trunc(r x 400) = 270 at 55.
    p = planTrimming(kTrimCrop, 400, 380, 707, 478);
    EXPECT_EQ(p.source, (Rect{0, 55, 400, 325}));
    // Portrait 300 x 500 on 478 x 707: 500 x r = 338.05 > 300, so the height
    // becomes trunc(300 / r) = 443 at (500 - 443) / 2 = 28.
    p = planTrimming(kTrimCrop, 300, 500, 478, 707);
    EXPECT_EQ(p.source, (Rect{0, 28, 300, 471}));
    // Portrait 200 x 500: 500 x r = 338.05 > 200 -> trunc(200 / r) = 295 at 102.
    p = planTrimming(kTrimCrop, 200, 500, 478, 707);
    EXPECT_EQ(p.source, (Rect{0, 102, 200, 397}));
    // Portrait 380 x 400: 400 x r = 270.4 <= 380 -> 270 wide at 55.
    p = planTrimming(kTrimCrop, 380, 400, 478, 707);
    EXPECT_EQ(p.source, (Rect{55, 0, 325, 400}));
    // The same ratio (or the same size) needs no crop.
    EXPECT_EQ(planTrimming(kTrimCrop, 400, 300, 640, 480).source, (Rect{0, 0, 400, 300}));
    EXPECT_EQ(planTrimming(kTrimCrop, 640, 480, 640, 480).source, (Rect{0, 0, 640, 480}));
}

TEST(PaperGeometry, MarginsCentreTheWholePhoto) {
    // 451 x 300 on 607 x 425: 300 / r = 428.5 <= 451, so the height is
    // 300 x 607 / 451 = 403 at (425 - 403) / 2 = 11.
    TrimPlan p = planTrimming(kTrimMargins, 451, 300, 607, 425);
    EXPECT_EQ(p.source, (Rect{0, 0, 451, 300}));
    EXPECT_EQ(p.dest, (Rect{0, 11, 607, 414}));
    EXPECT_TRUE(p.margins);
    // A square on a landscape paper: 512 x 478 / 512 = 478 wide at 114.
    p = planTrimming(kTrimMargins, 512, 512, 707, 478);
    EXPECT_EQ(p.dest, (Rect{114, 0, 592, 478}));
    // Portrait 900 x 1353 on 480 x 640: 1353 x 0.75 = 1014.75 > 900, so the
    // width is 900 x 640 / 1353 = 425 at 27.
    p = planTrimming(kTrimMargins, 900, 1353, 480, 640);
    EXPECT_EQ(p.dest, (Rect{27, 0, 452, 640}));
    // Stretching changes no rectangle.
    p = planTrimming(kTrimStretch, 451, 300, 607, 425);
    EXPECT_EQ(p, (TrimPlan{{0, 0, 451, 300}, {0, 0, 607, 425}, false}));
}

// ---- opening -----------------------------------------------------------------

TEST(OpenPicture, PresetsAreTakenWithoutDialogsAndCropToThePostcard) {
    Desk desk;
    desk.ws->setDialogs(nullptr);
    const Surface photo = gradientPicture(451, 300);
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    EXPECT_EQ(desk.ws->width(), 707);
    EXPECT_EQ(desk.ws->height(), 478);
    EXPECT_TRUE(samePixels(desk.ws->source(), stretched(photo, {4, 0, 447, 300}, 707, 478, {0, 0, 707, 478})));
    EXPECT_EQ(desk.ws->highResCount(), 0) << "a photo smaller than 2L keeps no copy";
    EXPECT_EQ(desk.ws->mode(), kModeMask);
    ASSERT_EQ(desk.ws->regionCount(), 1);
    EXPECT_EQ(desk.ws->region(0).mask.width(), 707);
    EXPECT_EQ(desk.ws->trimmingMode(), kTrimCrop);
}

TEST(OpenPicture, MarginsAreWhiteUpToThePhotoAndNoFurther) {
    Desk desk;
    desk.choose(kPaperPostcard, kTrimMargins);
    ASSERT_EQ(desk.ws->Open(desk.photo(flatPicture(512, 512, RGB(10, 20, 30)))), 1);
    const Surface& s = desk.ws->source();
    ASSERT_EQ(s.width(), 707);
    // The photo covers columns 114..591.
    for (int y : {0, 239, 477}) {
        EXPECT_EQ(s.at(113, y), kWhite) << y;
        EXPECT_EQ(s.at(114, y), pixelFromColorRef(RGB(10, 20, 30))) << y;
        EXPECT_EQ(s.at(591, y), pixelFromColorRef(RGB(10, 20, 30))) << y;
        EXPECT_EQ(s.at(592, y), kWhite) << y;
        EXPECT_EQ(s.at(0, y), kWhite);
        EXPECT_EQ(s.at(706, y), kWhite);
    }
    // Region 0 starts empty: the margins are not part of it.
    EXPECT_EQ(countWhite(desk.ws->region(0).mask), 0);
}

TEST(OpenPicture, LargePhotoKeepsAHighResolutionCopy) {
    Desk desk;  // HDRatio=2
    const Surface photo = gradientPicture(1000, 700);  // wider than the 2L entry
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    ASSERT_EQ(desk.dialogs.pictureShown.size(), 1u);
    EXPECT_TRUE(desk.dialogs.pictureShown[0].highRes);
    const int W = desk.ws->width(), H = desk.ws->height();
    EXPECT_EQ(W, 707);
    ASSERT_EQ(desk.ws->highResCount(), 1);
    const Surface& hd = desk.ws->highRes(0);
    EXPECT_EQ(hd.width(), 2 * W);
    EXPECT_EQ(hd.height(), 2 * H);
    // The copy shows the same part of the photo: the source rectangle is in
    // photo pixels, only the destination is doubled.
    const Rect src = desk.ws->trimSource();
    EXPECT_TRUE(samePixels(hd, stretched(photo, src, 2 * W, 2 * H, {0, 0, 2 * W, 2 * H})));
}

TEST(OpenPicture, HighResolutionCopyOfAnMpoHasWhiteMarginsToo) {
    Desk desk;
    desk.choose(kPaperVGA, kTrimMargins);
    const Surface photo = flatPicture(300, 300, RGB(200, 0, 0));
    // A JPEG named .mpo: always a copy, here with margins (VGA 640 x 480 ->
    // the photo at 80..559, doubled 160..1119).
    const std::string mpo = desk.dir.file("pair.mpo");
    ASSERT_EQ(SaveStillImage(desk.host, photo, 300, 300, desk.dir.file("pair.jpg"), 100), 1);
    std::filesystem::rename(desk.dir.file("pair.jpg"), mpo);
    ASSERT_EQ(desk.ws->Open(mpo), 1);
    ASSERT_EQ(desk.ws->highResCount(), 1);
    const Surface& hd = desk.ws->highRes(0);
    ASSERT_EQ(hd.width(), 1280);
    EXPECT_EQ(hd.at(159, 500), kWhite);
    EXPECT_NE(hd.at(160, 500), kWhite);
    EXPECT_NE(hd.at(1119, 500), kWhite);
    EXPECT_EQ(hd.at(1120, 500), kWhite);
}

TEST(OpenPicture, CancelLeavesNothingLoaded) {
    Desk desk;
    desk.dialogs.onPicture = [](PictureDialogData&) { return false; };
    EXPECT_EQ(desk.ws->Open(desk.photo(gradientPicture(40, 30))), 0);
    EXPECT_EQ(desk.ws->mode(), kModeNone);
    EXPECT_EQ(desk.ws->width(), 0);
    EXPECT_TRUE(desk.ws->source().empty());
}

TEST(OpenPicture, ANewLensIsAskedToBecomeTheStandard) {
    for (const bool yes : {true, false}) {
        Desk desk;
        desk.dialogs.onPicture = [](PictureDialogData& d) {
            d.lpi = 75.0;
            return true;
        };
        desk.host.expectMessage("標準のレンチキューラレンズの解像度を75.0lpiに変更しますか？",
                                yes ? MsgResult::Yes : MsgResult::No, MsgButtons::YesNo);
        ASSERT_EQ(desk.ws->Open(desk.photo(gradientPicture(451, 300))), 1);
        EXPECT_EQ(desk.ws->lpi(), 75.0) << "the document takes the new lens either way";
        EXPECT_EQ(desk.ws->width(), 883);
        EXPECT_EQ(desk.ws->height(), 597);
        const std::string ini = readText(desk.dir.file("Plastora.ini"));
        EXPECT_EQ(ini.find("LPI=75.0") != std::string::npos, yes) << ini;
    }
    // The same lens asks nothing (ScriptedHost fails on any message).
    Desk same;
    ASSERT_EQ(same.ws->Open(same.photo(gradientPicture(45, 30))), 1);
}

TEST(OpenPicture, ManualTrimmingTakesTheDialogsRectangle) {
    Desk desk;
    desk.choose(kPaperVGA, kTrimManual);
    const Surface photo = gradientPicture(800, 600);
    desk.dialogs.onTrimming = [](TrimmingDialogData& d) {
        EXPECT_NE(d.photo, nullptr);
        d.source = {100, 50, 500, 350};
        return true;
    };
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    EXPECT_EQ(desk.dialogs.trimmingCalls, 1);
    EXPECT_EQ(desk.dialogs.trimmingWorkingSize, (Size{640, 480}));
    // The preset is the initial frame: preview 640 x 480, frame inset by 4,
    // scaled by 800 / 640 and 600 / 480.
    EXPECT_EQ(desk.dialogs.trimmingPreset, (Rect{5, 5, 795, 595}));
    EXPECT_TRUE(samePixels(desk.ws->source(), stretched(photo, {100, 50, 500, 350}, 640, 480, {0, 0, 640, 480})));

    // "縦横比変更" in the dialog turns the working size; Cancel ends the open.
    Desk turned;
    turned.choose(kPaperVGA, kTrimManual);
    turned.dialogs.onTrimming = [](TrimmingDialogData& d) {
        std::swap(d.workingWidth, d.workingHeight);
        d.source = {0, 0, 300, 400};
        return true;
    };
    ASSERT_EQ(turned.ws->Open(turned.photo(photo)), 1);
    EXPECT_EQ(turned.ws->width(), 480);
    EXPECT_EQ(turned.ws->height(), 640);

    Desk cancelled;
    cancelled.choose(kPaperVGA, kTrimManual);
    cancelled.dialogs.onTrimming = [](TrimmingDialogData&) { return false; };
    EXPECT_EQ(cancelled.ws->Open(cancelled.photo(photo)), 0);
    EXPECT_EQ(cancelled.ws->width(), 0);
}

// ---- paper change ---------------------------------------------------------------

namespace {

// A 640 x 480 picture (VGA, no crop) with two regions, a paint stroke, a
// high-resolution copy, a view, a shape at the bottom-right and a text.
struct Edited : Desk {
    Surface picture = gradientPicture(640, 480);
    Edited() {
        choose(kPaperVGA, kTrimCrop);
        EXPECT_EQ(ws->Open(photo(picture)), 1);
        paintRect(ws->region(0).mask, 100, 100, 200, 180);
        ws->appendRegion(5);
        paintRect(ws->region(1).mask, 0, 0, 640, 24);  // the band a postcard crop cuts away
        ws->ensurePaintLayer();
        paintRect(ws->paintMask(), 300, 200, 340, 260);
        fillRect(ws->paintLayer(), {300, 200, 340, 260}, RGB(0, 0, 255));
        ws->setHighResCount(1);
        ws->highRes(0) = gradientPicture(1280, 960);
        ws->view(0).create(640, 480);
        auto shape = std::make_shared<OverlayObject>();
        shape->x = 600;
        shape->y = 440;
        shape->width = shape->height = 32;
        ws->appendObject(kObjectShape, shape);
        auto text = std::make_shared<OverlayObject>();
        text->x = 10;
        text->y = 400;
        text->flags = 36 | kTextBold;
        text->text = "Plastora";
        text->face = "ＭＳ Ｐゴシック";
        text->width = text->naturalWidth = 150;
        text->height = text->naturalHeight = 40;
        ws->appendObject(kObjectText, text);
        ws->setModified(false);
    }
};

}  // namespace

TEST(ChangePaperSize, EveryLayerFollowsToTheNewSize) {
    Edited e;
    const Surface oldMask0 = [&] { Surface s; s.createCopy(e.ws->region(0).mask); return s; }();
    const Surface oldHigh = [&] { Surface s; s.createCopy(e.ws->highRes(0)); return s; }();
    e.choose(kPaperPostcard, kTrimCrop);
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);

    ASSERT_EQ(e.dialogs.pictureShown.size(), 2u);
    const PictureDialogData& shown = e.dialogs.pictureShown[1];
    EXPECT_TRUE(shown.resizing);
    EXPECT_EQ(shown.paper, kPaperVGA) << "the current size is preselected";
    EXPECT_TRUE(shown.highRes);

    const int W = e.ws->width(), H = e.ws->height();
    ASSERT_EQ(W, 707);
    ASSERT_EQ(H, 478);
    for (int i = 0; i < e.ws->regionCount(); ++i) {
        EXPECT_EQ(e.ws->region(i).mask.width(), W) << i;
        EXPECT_EQ(e.ws->region(i).mask.height(), H) << i;
        EXPECT_TRUE(blackAndWhiteOnly(e.ws->region(i).mask)) << i;
    }
    EXPECT_EQ(e.ws->paintLayer().width(), W);
    EXPECT_EQ(e.ws->paintMask().height(), H);
    EXPECT_EQ(e.ws->highRes(0).width(), 2 * W);
    EXPECT_EQ(e.ws->highRes(0).height(), 2 * H);
    EXPECT_FALSE(e.ws->hasViews());

    // 640 x 480 cropped to the postcard ratio keeps rows 24..455; every layer
    // went through that same rectangle.
    const Rect crop{0, 24, 640, 456};
    EXPECT_TRUE(samePixels(e.ws->source(), stretched(e.picture, crop, W, H, {0, 0, W, H})));
    Surface expectedMask = stretched(oldMask0, crop, W, H, {0, 0, W, H});
    // (the white background of `stretched` is covered entirely here)
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            expectedMask.set(x, y, (expectedMask.at(x, y) & 0xFFFFFF) ? kWhite : kBlack);
    EXPECT_TRUE(samePixels(e.ws->region(0).mask, expectedMask));
    EXPECT_EQ(countWhite(e.ws->region(1).mask), 0) << "the band above the crop is gone";
    EXPECT_TRUE(samePixels(e.ws->highRes(0), stretched(oldHigh, {0, 48, 1280, 912}, 2 * W, 2 * H, {0, 0, 2 * W, 2 * H})));
    EXPECT_GT(countWhite(e.ws->paintMask()), 0);

    EXPECT_EQ(e.ws->mode(), kModeImage) << "regions exist";
    EXPECT_TRUE(e.ws->modified());
}

TEST(ChangePaperSize, ObjectsAreScaledAndKeptOnThePicture) {
    Edited e;
    e.choose(kPaperCard, kTrimCrop);  // 434 x 262: smaller
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);
    const int W = e.ws->width(), H = e.ws->height();
    ASSERT_EQ(W, 434);
    for (int i = 0; i < e.ws->objectCount(); ++i) {
        const OverlayObject& o = *e.ws->objectEntry(i).object;
        EXPECT_GE(o.x, 0) << i;
        EXPECT_GE(o.y, 0) << i;
        EXPECT_LE(o.x + o.width, W) << i;
        EXPECT_LE(o.y + o.height, H) << i;
    }
    // 640 x 480 to 434 x 262 keeps rows 47..432 (trunc(0.6037 x 640) = 386
    // rows): k = 434 / 640 and y moves up by trunc(47 k) = 31.
    const OverlayObject& shape = *e.ws->objectEntry(0).object;
    EXPECT_EQ(shape.width, 21);  // trunc(32 x 0.678)
    EXPECT_EQ(shape.x, 406);     // trunc(600 x 0.678) = 406 < 434 - 21
    EXPECT_EQ(shape.y, H - 21 - 1) << "pushed up from the bottom edge";
    const OverlayObject& text = *e.ws->objectEntry(1).object;
    EXPECT_EQ(text.flags & kTextPointSizeMask, 24);  // trunc(36 x 0.678)
    EXPECT_EQ(text.flags & ~kTextPointSizeMask, kTextBold);
    EXPECT_GT(text.width, 0);
    EXPECT_EQ(text.width, text.naturalWidth) << "measured again";
    EXPECT_LT(text.width, 150);
}

TEST(ChangePaperSize, ObjectMappingRules) {
    // Margins: k = (dw + 2 dx) / sw, offset dx.
    const TrimPlan margins{{0, 0, 100, 100}, {10, 0, 90, 80}, true};
    EXPECT_DOUBLE_EQ(objectScale(margins), 1.0);
    EXPECT_EQ(mapObjectCoordinate(50, objectScale(margins), 10, 0), 60);
    // Crop: k = dw / sw, offset -trunc(sx k).
    const TrimPlan crop{{20, 0, 120, 100}, {0, 0, 50, 50}, false};
    EXPECT_DOUBLE_EQ(objectScale(crop), 0.5);
    EXPECT_EQ(mapObjectCoordinate(41, 0.5, 0, 20), 10);  // trunc(20.5) - 10
    EXPECT_EQ(mapObjectCoordinate(41, 0.5, 0, 0), 20);
    // Clamping: at or beyond W - width goes to W - width - 1; never below 0.
    EXPECT_EQ(clampObjectPosition(-5, 10, 100), 0);
    EXPECT_EQ(clampObjectPosition(90, 10, 100), 89);
    EXPECT_EQ(clampObjectPosition(89, 10, 100), 89);
    EXPECT_EQ(clampObjectPosition(50, 120, 100), 0) << "wider than the picture";
}

TEST(ChangePaperSize, MarginsAreWhiteInThePictureAndOutsideEveryMask) {
    Edited e;
    paintRect(e.ws->region(0).mask, 0, 0, 640, 480);  // everything inside
    e.dialogs.onPicture = [](PictureDialogData& d) {
        d.paper = kPaperUser;
        d.trimming = kTrimMargins;
        d.userWidthMm = d.userHeightMm = 100;  // 478 x 478
        return true;
    };
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);
    ASSERT_EQ(e.ws->width(), 478);
    // 480 x 478 / 640 = 358 rows at (478 - 358) / 2 = 60.
    EXPECT_EQ(e.ws->source().at(200, 59), kWhite);
    EXPECT_EQ(e.ws->region(0).mask.at(200, 59), kBlack);
    EXPECT_EQ(e.ws->region(0).mask.at(200, 60), kWhite);
    EXPECT_EQ(e.ws->region(0).mask.at(200, 417), kWhite);
    EXPECT_EQ(e.ws->region(0).mask.at(200, 418), kBlack);
    EXPECT_EQ(e.ws->highRes(0).at(400, 119), kWhite);
    EXPECT_NE(e.ws->highRes(0).at(400, 121), kWhite);
}

TEST(ChangePaperSize, CancelAndMemoryFailureLeaveEverythingAsItWas) {
    for (const bool failMemory : {false, true}) {
        Edited e;
        Surface source, mask, high;
        source.createCopy(e.ws->source());
        mask.createCopy(e.ws->region(0).mask);
        high.createCopy(e.ws->highRes(0));
        const int shapeX = e.ws->objectEntry(0).object->x;
        if (failMemory) {
            e.choose(kPaperPostcard, kTrimCrop);
            // The third picture of the new size cannot be had.
            int made = 0;
            Surface::setAllocationHook([&made](int w, int) { return w != 707 || ++made < 3; });
            e.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok);
        } else {
            e.dialogs.onPicture = [](PictureDialogData&) { return false; };
        }
        EXPECT_EQ(e.ws->ChangePaperSize(), 0);
        Surface::setAllocationHook(nullptr);
        EXPECT_EQ(e.ws->width(), 640) << failMemory;
        EXPECT_TRUE(samePixels(e.ws->source(), source));
        EXPECT_TRUE(samePixels(e.ws->region(0).mask, mask));
        EXPECT_EQ(e.ws->region(1).mask.width(), 640);
        EXPECT_EQ(e.ws->paintMask().width(), 640);
        EXPECT_TRUE(samePixels(e.ws->highRes(0), high));
        EXPECT_EQ(e.ws->objectEntry(0).object->x, shapeX);
        EXPECT_TRUE(e.ws->hasViews()) << "nothing was discarded";
        EXPECT_FALSE(e.ws->modified());
    }
}

TEST(ChangePaperSize, NeedsAPictureAndAsksNoLensQuestion) {
    Desk empty;
    EXPECT_EQ(empty.ws->ChangePaperSize(), 0);
    EXPECT_TRUE(empty.dialogs.pictureShown.empty());

    Edited e;
    e.dialogs.onPicture = [](PictureDialogData& d) {
        d.lpi = 75.0;
        return true;
    };
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);  // ScriptedHost fails on any question
    EXPECT_EQ(e.ws->lpi(), 75.0);
    EXPECT_EQ(e.ws->width(), 800);  // the preselected VGA paper at 75 lpi: 640 x 75 / 60
    EXPECT_EQ(e.ws->highRes(0).width(), 1600);
}
