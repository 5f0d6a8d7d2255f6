// The working size: paper and lens arithmetic, trimming rectangles, opening
// a photo through the picture dialog, and the paper change.
#include "core/PhotoFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PaperChange.h"
#include "output/WorkingSize.h"
#include "platform/GuiRuntime.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <cstdio>
#include <iterator>

#include <fstream>
#include <functional>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

// Text objects are measured with the GUI run time; end it with the tests.
struct GuiRuntimeEnvironment : ::testing::Environment {
    void TearDown() override { shutdownGuiRuntime(); }
};
[[maybe_unused]] ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiRuntimeEnvironment);

// The paper table the program ships with (sizes at 60 lpi).
constexpr const char* kPapers =
    "[Picture]\nPaperSize1=707,478\nPaperSize2=607,425\nPaperSize3=434,262\nPaperSize4=640,480\n"
    "PaperSize5=1419,1003\nPaperSize6=850,607\nHDRatio=2\n";
const PaperTable kShipped{SettingSize{707, 478}, {607, 425}, {434, 262}, {640, 480}, {1419, 1003}, {850, 607}};

Surface flatPicture(int w, int h, ColorRef c) {
    Surface s;
    s.create(w, h);
    fillRect(s, {0, 0, w, h}, c);
    return s;
}

Surface copyOf(const Surface& s) {
    Surface c;
    c.createCopy(s);
    return c;
}

// Answers the dialogs from the test and records what they were shown.
struct TestDialogs : WorkspaceDialogs {
    std::function<bool(PictureDialogData&)> onPicture;
    std::function<bool(TrimmingDialogData&)> onTrimming;
    std::vector<PictureDialogData> pictureShown;
    Rect trimmingPreset;

    bool pictureDialog(PictureDialogData& d) override {
        pictureShown.push_back(d);
        return onPicture ? onPicture(d) : true;
    }
    bool trimmingDialog(TrimmingDialogData& d) override {
        trimmingPreset = d.source;
        return onTrimming ? onTrimming(d) : true;
    }
};

// A program folder with the shipped paper table and a workspace over it.
struct Desk {
    TempDir dir;
    ScriptedHost host;
    TestDialogs dialogs;
    std::unique_ptr<CStereoWorkspace> ws;

    Desk() {
        std::ofstream(dir.file("Plastora.ini")) << kPapers;
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        ws->setDialogs(&dialogs);
    }
    // Saves a photo as BMP (lossless) and returns its path.
    std::string photo(const Surface& s) {
        const std::string path = dir.file("photo.bmp");
        EXPECT_EQ(SaveStillImage(host, s, s.width(), s.height(), path, 90), 1);
        return path;
    }
    void choose(int paper, int trimming) {
        dialogs.onPicture = [paper, trimming](PictureDialogData& d) {
            d.paper = paper;
            d.trimming = trimming;
            return true;
        };
    }
};

// The platform's halftone stretch of one rectangle onto a white W x H image:
// what a trimming must give, worked out without the trimming code.
Surface stretched(const Surface& photo, Rect from, int W, int H, Rect to) {
    Surface out = flatPicture(W, H, RGB(255, 255, 255));
    stretchBlit(out, to.left, to.top, to.width(), to.height(), photo, from.left, from.top, from.width(),
                from.height(), Rop::Copy, StretchMode::Halftone);
    return out;
}

}  // namespace

// ---- arithmetic -----------------------------------------------------------------

TEST(PaperGeometry, LensScalingAndMillimetresTruncate) {
    EXPECT_EQ(scaledPaperSize({707, 478}, 75.0), (Size{883, 597}));  // 883.75, 597.5
    EXPECT_EQ(scaledPaperSize({100.9, 50.5}, 60.0), (Size{100, 50}));
    // trunc(100 x 60 x 0.07966667) = trunc(478.00002); 148 mm gives 707.44.
    EXPECT_EQ(mmToPixels(100, 60.0), 478);
    EXPECT_EQ(mmToPixels(148, 60.0), 707);
    EXPECT_EQ(mmToPixels(130, 75.0), 776);  // 776.75
    // Back: pixels x 60 / (LPI x 4.78), up to the next millimetre.
    EXPECT_EQ(pixelsToMm(478, 60.0), 100);
    EXPECT_EQ(pixelsToMm(707, 60.0), 148);  // 147.9
    EXPECT_EQ(pixelsToMm(640, 80.0), 101);  // 100.4
    // A user paper taken back from the picture it made makes that picture
    // again: a paper dialog confirmed twice does not crop.
    for (double lpi : {20.0, 60.0, 75.36, 160.0})
        for (int mm = 10; mm <= 600; mm += 7)
            ASSERT_EQ(mmToPixels(pixelsToMm(mmToPixels(mm, lpi), lpi), lpi), mmToPixels(mm, lpi)) << mm << " at " << lpi;

    PictureDialogData d;
    d.paper = kPaperUser;
    d.userWidthMm = 100;
    d.userHeightMm = 148;
    EXPECT_EQ(workingSize(d, kShipped, 300, 400), (Size{478, 707})) << "portrait photo";
    EXPECT_EQ(workingSize(d, kShipped, 400, 300), (Size{707, 478})) << "landscape photo";
    EXPECT_EQ(workingSize(d, kShipped, 400, 400), (Size{707, 478})) << "a square counts as landscape";
    d.paper = kPaperPostcard;  // 707,478 in the table turns for a portrait photo
    EXPECT_EQ(workingSize(d, kShipped, 300, 500), (Size{478, 707}));
    d.trimming = kTrimNone;
    EXPECT_EQ(workingSize(d, kShipped, 451, 300), (Size{451, 300})) << "no trimming: the photo's size";
}

TEST(PaperGeometry, Presets) {
    PictureDialogData d = presetPictureDialog("/x/photo.jpg", false, 0, 0, 60.0, kShipped, 600, 400, false);
    EXPECT_EQ(d.paper, kPaperPostcard);
    EXPECT_EQ(d.trimming, kTrimCrop);
    EXPECT_EQ(d.userWidthMm, 130);
    EXPECT_EQ(d.userHeightMm, 83);
    EXPECT_FALSE(d.highRes);
    d = presetPictureDialog("/x/PAIR.MPO", false, 0, 0, 60.0, kShipped, 600, 400, false);
    EXPECT_EQ(d.paper, kPaperVGA);
    EXPECT_EQ(d.trimming, kTrimNone);
    // Larger than 2L (850,607) width against width, height against height,
    // as written (not scaled by the lens): a paper, crop and a copy.
    for (Size photo : {Size{851, 400}, Size{607, 850}, Size{900, 700}}) {
        d = presetPictureDialog("/x/a.mpo", false, 0, 0, 75.0, kShipped, photo.cx, photo.cy, false);
        EXPECT_EQ(d.paper, kPaperPostcard) << photo.cx;
        EXPECT_EQ(d.trimming, kTrimCrop) << photo.cx;
        EXPECT_TRUE(d.highRes) << photo.cx;
    }
    EXPECT_FALSE(presetPictureDialog("a.jpg", false, 0, 0, 60.0, kShipped, 850, 607, false).highRes);

    // A paper change: the paper whose size at the lens matches either way round.
    d = presetPictureDialog("/x/a.lyr", true, 425, 607, 60.0, kShipped, 425, 607, true);
    EXPECT_EQ(d.paper, kPaperL);
    EXPECT_TRUE(d.highRes);
    EXPECT_EQ(d.userWidthMm, 89);    // 88.9: the L paper's own 89 x 127 mm
    EXPECT_EQ(d.userHeightMm, 127);  // 126.99
    EXPECT_EQ(presetPictureDialog("a", true, 883, 597, 75.0, kShipped, 883, 597, false).paper, kPaperPostcard);
    EXPECT_EQ(presetPictureDialog("a", true, 500, 500, 60.0, kShipped, 500, 500, false).paper, kPaper2L);
    EXPECT_EQ(presetPictureDialog("a", true, 2, 3, 60.0, kShipped, 2, 3, false).userWidthMm, kMinPaperMm);
}

TEST(PaperGeometry, CropAndMarginRectangles) {
    // Landscape 451 x 300 on 707 x 478: r = 0.676096, 300 / r = 443.72 <= 451,
    // so 443 columns at (451 - 443) / 2 = 4.
    EXPECT_EQ(planTrimming(kTrimCrop, 451, 300, 707, 478), (TrimPlan{{4, 0, 447, 300}, {0, 0, 707, 478}, false}));
    // Landscape 400 x 380: 380 / r = 562 > 400, so trunc(r x 400) = 270 rows at 55.
    EXPECT_EQ(planTrimming(kTrimCrop, 400, 380, 707, 478).source, (Rect{0, 55, 400, 325}));
    // Portrait 300 x 500 on 478 x 707: 500 r = 338.05 > 300, trunc(300 / r) = 443 rows at 28.
    EXPECT_EQ(planTrimming(kTrimCrop, 300, 500, 478, 707).source, (Rect{0, 28, 300, 471}));
    // Portrait 380 x 400: 400 r = 270.4 <= 380, 270 columns at 55.
    EXPECT_EQ(planTrimming(kTrimCrop, 380, 400, 478, 707).source, (Rect{55, 0, 325, 400}));
    EXPECT_EQ(planTrimming(kTrimCrop, 400, 300, 640, 480).source, (Rect{0, 0, 400, 300})) << "same ratio";

    // 451 x 300 on 607 x 425: 300 / r = 428.5 <= 451, 300 x 607 / 451 = 403 rows at 11.
    EXPECT_EQ(planTrimming(kTrimMargins, 451, 300, 607, 425), (TrimPlan{{0, 0, 451, 300}, {0, 11, 607, 414}, true}));
    // Portrait 900 x 1353 on 480 x 640: 1353 x 0.75 > 900, 900 x 640 / 1353 = 425 columns at 27.
    EXPECT_EQ(planTrimming(kTrimMargins, 900, 1353, 480, 640).dest, (Rect{27, 0, 452, 640}));
    EXPECT_EQ(planTrimming(kTrimStretch, 451, 300, 607, 425), (TrimPlan{{0, 0, 451, 300}, {0, 0, 607, 425}, false}));
}

// ---- opening -----------------------------------------------------------------

TEST(OpenPicture, PresetsAreTakenWithoutDialogs) {
    Desk desk;
    desk.ws->setDialogs(nullptr);
    const Surface photo = gradientPicture(451, 300);
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    EXPECT_EQ(desk.ws->width(), 707);
    EXPECT_EQ(desk.ws->height(), 478);
    EXPECT_TRUE(samePixels(desk.ws->source(), stretched(photo, {4, 0, 447, 300}, 707, 478, {0, 0, 707, 478})));
    EXPECT_EQ(desk.ws->highResCount(), 0) << "smaller than 2L: no copy";
    ASSERT_EQ(desk.ws->regionCount(), 1);
    EXPECT_EQ(desk.ws->region(0).mask.width(), 707);
}

TEST(OpenPicture, LargePhotoKeepsAHighResolutionCopy) {
    Desk desk;  // HDRatio=2
    const Surface photo = gradientPicture(1000, 700);
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    EXPECT_TRUE(desk.dialogs.pictureShown.at(0).highRes);
    const int W = desk.ws->width(), H = desk.ws->height();
    ASSERT_EQ(desk.ws->highResCount(), 1);
    // The same part of the photo: only the destination is doubled.
    EXPECT_TRUE(samePixels(desk.ws->highRes(0), stretched(photo, desk.ws->trimSource(), 2 * W, 2 * H, {0, 0, 2 * W, 2 * H})));
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
        EXPECT_EQ(desk.ws->lpi(), 75.0);
        EXPECT_EQ(desk.ws->width(), 883);
        std::stringstream ini;
        ini << std::ifstream(desk.dir.file("Plastora.ini")).rdbuf();
        EXPECT_EQ(ini.str().find("LPI=75.0") != std::string::npos, yes) << ini.str();
    }
}

TEST(OpenPicture, ManualTrimmingAndCancel) {
    Desk desk;
    desk.choose(kPaperVGA, kTrimManual);
    const Surface photo = gradientPicture(800, 600);
    desk.dialogs.onTrimming = [](TrimmingDialogData& d) {
        d.source = {100, 50, 500, 350};
        return true;
    };
    ASSERT_EQ(desk.ws->Open(desk.photo(photo)), 1);
    // The preset is the initial frame (inset by 4 on the 640 x 480 preview) in photo pixels.
    EXPECT_EQ(desk.dialogs.trimmingPreset, (Rect{5, 5, 795, 595}));
    EXPECT_TRUE(samePixels(desk.ws->source(), stretched(photo, {100, 50, 500, 350}, 640, 480, {0, 0, 640, 480})));

    desk.dialogs.onTrimming = [](TrimmingDialogData&) { return false; };
    EXPECT_EQ(desk.ws->Open(desk.photo(photo)), 0);
    EXPECT_EQ(desk.ws->mode(), kModeNone);
    EXPECT_EQ(desk.ws->width(), 0);
}

// ---- paper change ---------------------------------------------------------------

namespace {

// A 640 x 480 picture with two regions, a paint stroke, a high-resolution
// copy, a view, a shape at the bottom-right and a text.
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
        ws->setHighResCount(1);
        ws->highRes(0) = gradientPicture(1280, 960);
        ws->view(0).create(640, 480);
        auto shape = std::make_shared<OverlayObject>();
        shape->x = 600;
        shape->y = 440;
        shape->width = shape->height = 32;
        ws->appendObject(kObjectShape, shape);
        auto text = std::make_shared<OverlayObject>();
        text->y = 400;
        text->flags = 36 | kTextBold;
        text->text = "Plastora";
        text->width = text->naturalWidth = 150;
        text->height = text->naturalHeight = 40;
        ws->appendObject(kObjectText, text);
        ws->setModified(false);
    }
};

}  // namespace

TEST(ChangePaperSize, EveryLayerFollowsThroughTheSameRectangles) {
    Edited e;
    const Surface oldMask = copyOf(e.ws->region(0).mask), oldHigh = copyOf(e.ws->highRes(0));
    e.choose(kPaperPostcard, kTrimCrop);
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);
    const PictureDialogData& shown = e.dialogs.pictureShown.at(1);
    EXPECT_TRUE(shown.resizing);
    EXPECT_EQ(shown.paper, kPaperVGA) << "the current size is preselected";
    EXPECT_TRUE(shown.highRes);

    const int W = e.ws->width(), H = e.ws->height();
    ASSERT_EQ(W, 707);
    ASSERT_EQ(H, 478);
    // 640 x 480 cropped to the postcard ratio keeps rows 24..455.
    const Rect crop{0, 24, 640, 456};
    EXPECT_TRUE(samePixels(e.ws->source(), stretched(e.picture, crop, W, H, {0, 0, W, H})));
    Surface mask = stretched(oldMask, crop, W, H, {0, 0, W, H});
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) mask.set(x, y, (mask.at(x, y) & 0xFFFFFF) ? kWhite : kBlack);
    EXPECT_TRUE(samePixels(e.ws->region(0).mask, mask)) << "black and white, through the crop";
    EXPECT_EQ(e.ws->region(1).mask.width(), W);
    EXPECT_EQ(countWhite(e.ws->region(1).mask), 0) << "the band above the crop is gone";
    EXPECT_EQ(e.ws->paintLayer().width(), W);
    EXPECT_EQ(e.ws->paintMask().height(), H);
    EXPECT_GT(countWhite(e.ws->paintMask()), 0);
    EXPECT_TRUE(samePixels(e.ws->highRes(0), stretched(oldHigh, {0, 48, 1280, 912}, 2 * W, 2 * H, {0, 0, 2 * W, 2 * H})));
    EXPECT_FALSE(e.ws->hasViews());
    EXPECT_EQ(e.ws->mode(), kModeImage) << "regions exist";
    EXPECT_TRUE(e.ws->modified());
}

// A stereo pair (no regions) goes back to image editing, as after opening
// it: mask editing gave it a region 0 that its project never reads back.
TEST(ChangePaperSize, AStereoPairStaysWithoutRegions) {
    Desk desk;
    desk.choose(kPaperVGA, kTrimCrop);
    ASSERT_EQ(desk.ws->Open(desk.photo(gradientPicture(640, 480))), 1);
    desk.ws->truncateRegions(0);
    desk.ws->setStereoPair(true);
    desk.choose(kPaperPostcard, kTrimCrop);
    ASSERT_EQ(desk.ws->ChangePaperSize(), 1);
    EXPECT_EQ(desk.ws->mode(), kModeImage);
    EXPECT_EQ(desk.ws->regionCount(), 0);
}

TEST(ChangePaperSize, ObjectsAreScaledAndKeptOnThePicture) {
    Edited e;
    e.choose(kPaperCard, kTrimCrop);  // 434 x 262
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);
    const int W = e.ws->width(), H = e.ws->height();
    for (int i = 0; i < e.ws->objectCount(); ++i) {
        const OverlayObject& o = *e.ws->objectEntry(i).object;
        EXPECT_GE(o.x, 0);
        EXPECT_GE(o.y, 0);
        EXPECT_LE(o.x + o.width, W);
        EXPECT_LE(o.y + o.height, H);
    }
    // Rows 47..432 are kept: 640 columns become 434 and 386 rows 262, and
    // the box's corners go where the picture's pixels there go.
    const OverlayObject& shape = *e.ws->objectEntry(0).object;
    EXPECT_EQ(shape.x, 406);                  // floor(600 x 434 / 640)
    EXPECT_EQ(shape.width, 428 - 406);        // floor(632 x 434 / 640) - 406
    EXPECT_EQ(shape.height, 288 - 266);       // floor((472 - 47) x 262 / 386) - floor((440 - 47) x 262 / 386)
    EXPECT_EQ(shape.y, H - 22 - 1) << "pushed off the bottom edge";
    const OverlayObject& text = *e.ws->objectEntry(1).object;
    EXPECT_EQ(text.flags, 24 | kTextBold);    // trunc(36 k)
    EXPECT_EQ(text.width, text.naturalWidth) << "measured again";
    EXPECT_LT(text.width, 150);

    // With margins the picture shrinks into the destination: the scale is
    // dw / sw, and the margin is added.
    const TrimPlan margins{{0, 0, 100, 100}, {10, 0, 90, 80}, true};
    EXPECT_DOUBLE_EQ(objectScaleX(margins), 0.8);
    EXPECT_DOUBLE_EQ(objectScaleY(margins), 0.8);
    EXPECT_EQ(mapObjectCoordinate(50, 0.8, 10, 0), 50);
    EXPECT_EQ(mapObjectCoordinate(5, 0.5, 0, 20), -8) << "left of a crop: rounded down";
    EXPECT_EQ(clampObjectPosition(50, 120, 100), 0) << "wider than the picture";
}

// An object marked on a region mask by a patch under its box: after a paper
// change with side margins (and one that stretches) the box still covers the
// patch as the mask carries it.
TEST(ChangePaperSize, ObjectsFollowThePictureLikeTheMasks) {
    for (const int trimming : {kTrimMargins, kTrimStretch}) {
        Edited e;
        const int w0 = e.ws->width(), h0 = e.ws->height();
        for (int i = 0; i < e.ws->regionCount(); ++i) fillRect(e.ws->region(i).mask, {0, 0, w0, h0}, 0);
        paintRect(e.ws->region(0).mask, 200, 120, 400, 280);
        OverlayObject& shape = *e.ws->objectEntry(0).object;
        shape.x = 200, shape.y = 120, shape.width = 200, shape.height = 160;
        e.choose(kPaperPostcard, trimming);  // 707 x 478: margins left and right
        ASSERT_EQ(e.ws->ChangePaperSize(), 1);
        if (trimming == kTrimMargins) {
            ASSERT_GE(e.ws->trimDest().left, 1);
        }
        const Surface& mask = e.ws->region(0).mask;
        int left = mask.width(), top = mask.height(), right = 0, bottom = 0;
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                if (mask.at(x, y) & 0xFFFFFF)
                    left = std::min(left, x), top = std::min(top, y), right = std::max(right, x + 1),
                    bottom = std::max(bottom, y + 1);
        EXPECT_NEAR(shape.x, left, 1) << trimming;
        EXPECT_NEAR(shape.y, top, 1) << trimming;
        EXPECT_NEAR(shape.x + shape.width, right, 1) << trimming;
        EXPECT_NEAR(shape.y + shape.height, bottom, 1) << trimming;
    }
}

TEST(ChangePaperSize, MarginsAreWhiteInThePictureAndOutsideEveryMask) {
    Edited e;
    paintRect(e.ws->region(0).mask, 0, 0, 640, 480);
    e.dialogs.onPicture = [](PictureDialogData& d) {
        d.paper = kPaperUser;
        d.trimming = kTrimMargins;
        d.userWidthMm = d.userHeightMm = 100;  // 478 x 478
        return true;
    };
    ASSERT_EQ(e.ws->ChangePaperSize(), 1);
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
        const Surface source = copyOf(e.ws->source()), mask = copyOf(e.ws->region(0).mask);
        const Surface high = copyOf(e.ws->highRes(0));
        int made = 0;  // outlives the hook that counts in it
        if (failMemory) {
            e.choose(kPaperPostcard, kTrimCrop);
            // The third picture of the new size cannot be had.
            Surface::setAllocationHook([&made](int w, int) { return w != 707 || ++made < 3; });
            e.host.expectMessage(kOutOfMemoryMessage);
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
        EXPECT_EQ(e.ws->objectEntry(0).object->x, 600);
        EXPECT_TRUE(e.ws->hasViews());
        EXPECT_FALSE(e.ws->modified());
    }
    Desk empty;
    EXPECT_EQ(empty.ws->ChangePaperSize(), 0) << "no picture";
    EXPECT_TRUE(empty.dialogs.pictureShown.empty());
}

// ---- resampling on every core ---------------------------------------------------

// The resampled picture is the background with the photo's rectangle
// stretched over it, byte for byte, on one core and on many: area averaging
// with margins, reductions by whole factors (made in bands of rows), a plain
// copy, and a source rectangle reaching outside the photo (cut, with the
// rest left to the background).
TEST(Resampling, SameBytesOnOneCoreAndOnManyAsTheBackgroundWithTheStretchOver) {
    const Surface photo = gradientPicture(1203, 911);
    struct Case {
        Rect source;
        int W, H;
        Rect dest;
    };
    const Case cases[] = {
        {{10, 5, 1190, 900}, 1500, 1100, {37, 20, 1450, 1033}},  // enlarged, margins
        {{3, 1, 1203, 901}, 430, 300, {15, 0, 415, 225}},         // 3 x 4 blocks
        {{0, 0, 1203, 911}, 1203, 911, {0, 0, 1203, 911}},        // copy
        {{-60, -30, 1100, 950}, 900, 700, {0, 0, 900, 700}},      // partly off the photo
    };
    const int threads = cv::getNumThreads();
    for (const Case& c : cases) {
        const Surface want = [&] {
            Surface s = flatPicture(c.W, c.H, RGB(10, 200, 30));
            stretchBlit(s, c.dest.left, c.dest.top, c.dest.width(), c.dest.height(), photo, c.source.left,
                        c.source.top, c.source.width(), c.source.height(), Rop::Copy, StretchMode::Halftone);
            return s;
        }();
        for (const int n : {1, 4}) {
            cv::setNumThreads(n);
            Surface got;
            ASSERT_TRUE(resampleThrough(got, c.W, c.H, photo, c.source, c.dest, 0xFF0AC81E));
            EXPECT_TRUE(samePixels(got, want)) << c.W << " x " << c.H << " on " << n << " threads";
        }
    }
    cv::setNumThreads(threads);
}

// ---- a large JPEG decoded reduced -----------------------------------------------

namespace {

// A JPEG carrying an Exif orientation: the APP1 segment put after SOI.
void writeJpegWithOrientation(const std::string& path, const Surface& picture, int orientation) {
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, picture, picture.width(), picture.height(), path, 92), 1);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    // "Exif\0\0", a little-endian TIFF header and one IFD with the tag 0x0112.
    const unsigned char app1[] = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                                  1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<unsigned char>(orientation), 0,
                                  0, 0, 0, 0, 0, 0};
    b.insert(b.begin() + 2, reinterpret_cast<const char*>(app1), reinterpret_cast<const char*>(app1) + sizeof app1);
    std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

// A photo with detail down to single pixels: the coffee sample enlarged,
// with grain like a camera's (up to 12 levels either way, the same in every
// run).
Surface detailedPhoto(int w, int h) {
    ScriptedHost host;
    Surface sample, out;
    int sw = 0, sh = 0;
    EXPECT_EQ(LoadStillImage(host, std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.jpg", std::nullopt, sample,
                             sw, sh),
              1);
    EXPECT_TRUE(out.create(w, h));
    stretchBlit(out, 0, 0, w, h, sample, 0, 0, sw, sh, Rop::Copy, StretchMode::Halftone);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        Pixel* row = out.row(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 24) % 25 - 12;
            Pixel p = kOpaque;
            for (int shift : {16, 8, 0})
                p |= Pixel(std::clamp(int((row[x] >> shift) & 0xFF) + grain, 0, 255)) << shift;
            row[x] = p;
        }
    }
    return out;
}

struct Difference {
    int max = 0;
    double mean = 0;
};

Difference difference(const Surface& a, const Surface& b) {
    Difference d;
    long long sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift : {16, 8, 0}) {
                const int e = std::abs(int((a.at(x, y) >> shift) & 0xFF) - int((b.at(x, y) >> shift) & 0xFF));
                d.max = std::max(d.max, e);
                sum += e;
            }
    d.mean = double(sum) / (3.0 * a.width() * a.height());
    return d;
}

}  // namespace

// A photo much larger than the pictures made of it is decoded at 1/2 or 1/4
// (turned by its Exif orientation afterwards), and read through the crop's
// rectangle in photo pixels, edges between reduced pixels: on a photo with
// grain the working image and the high-resolution copy stay within a grey
// level on average (a few at most) of those made from the whole photo, and
// every stored rectangle is the same.
TEST(OpenPicture, ALargeJpegIsDecodedReducedWithTheSameGeometry) {
    const Surface photo = detailedPhoto(2400, 1600);
    for (const int orientation : {1, 6}) {
        for (const auto& [lpi, scale] : {std::pair{20, 4}, std::pair{30, 2}}) {
            TempDir dir;
            const std::string ini = dir.file("Plastora.ini");
            std::ofstream(ini) << kPapers << "[Lenticular]\nLPI=" << lpi << ".0\n";
            const std::string jpeg = dir.file("photo.jpg");
            writeJpegWithOrientation(jpeg, photo, orientation);
            ScriptedHost host;
            Surface whole, reduced;
            int w = 0, h = 0;
            ASSERT_EQ(LoadPhoto(host, jpeg, whole, w, h), 1);
            PhotoLoadNotes notes;
            ASSERT_EQ(LoadPhotoReduced(host, jpeg, scale, reduced, w, h, &notes), 1);
            EXPECT_EQ(notes.scale, scale);
            EXPECT_EQ(reduced.width(), (whole.width() + scale - 1) / scale);
            EXPECT_EQ(reduced.height(), (whole.height() + scale - 1) / scale);
            // Today's result: the photo as decoded whole, from a lossless copy.
            const std::string bmp = dir.file("whole.bmp");
            ASSERT_EQ(SaveStillImage(host, whole, whole.width(), whole.height(), bmp, 92), 1);

            CStereoWorkspace fromWhole(host, ini), fromReduced(host, ini);
            ASSERT_EQ(fromWhole.Open(bmp), 1);
            ASSERT_EQ(fromReduced.Open(jpeg), 1);
            EXPECT_EQ(fromReduced.width(), fromWhole.width());
            EXPECT_EQ(fromReduced.height(), fromWhole.height());
            EXPECT_EQ(fromReduced.trimSource(), fromWhole.trimSource());
            EXPECT_EQ(fromReduced.trimDest(), fromWhole.trimDest());
            EXPECT_EQ(fromReduced.trimPhotoSize().cx, fromWhole.trimPhotoSize().cx);
            EXPECT_EQ(fromReduced.trimPhotoSize().cy, fromWhole.trimPhotoSize().cy);
            ASSERT_EQ(fromReduced.highResCount(), 1);
            ASSERT_EQ(fromWhole.highResCount(), 1);
            const Difference work = difference(fromReduced.source(), fromWhole.source());
            const Difference high = difference(fromReduced.highRes(0), fromWhole.highRes(0));
            std::printf("orientation %d, 1/%d: working image max %d mean %.3f; high-resolution max %d mean %.3f\n",
                        orientation, scale, work.max, work.mean, high.max, high.mean);
            EXPECT_LE(work.mean, 1.0);
            EXPECT_LE(high.mean, 1.0);
            EXPECT_LE(work.max, 8);
            EXPECT_LE(high.max, 16);
            // The reduced resampling is made in bands: the same bytes on one core and on many.
            Surface one, many;
            const int threads = cv::getNumThreads();
            cv::setNumThreads(1);
            ASSERT_TRUE(resampleReducedThrough(one, 707, 478, reduced, scale, fromWhole.trimSource(), {3, 2, 700, 470},
                                               kWhite));
            cv::setNumThreads(4);
            ASSERT_TRUE(resampleReducedThrough(many, 707, 478, reduced, scale, fromWhole.trimSource(), {3, 2, 700, 470},
                                               kWhite));
            cv::setNumThreads(threads);
            EXPECT_TRUE(samePixels(one, many));
        }
    }
}

// Resampled from its rows as they come, a reduced picture gives the bytes
// of the whole-picture resampling, whatever the margins, offsets and
// reduction; rows missing, repeated or of another width leave no result.
TEST(Resampling, AReducedPictureFedRowByRowIsTheSameAsWhole) {
    const Surface photo = detailedPhoto(803, 611);
    struct Case {
        int W, H, scale;
        Rect source, dest;
    };
    for (const Case& c : {Case{707, 478, 2, {42, 0, 1580, 1222}, {0, 0, 707, 478}},
                          Case{300, 260, 4, {13, 7, 3203, 2431}, {5, 11, 290, 250}},
                          Case{900, 700, 2, {0, 0, 1606, 1222}, {10, 3, 890, 690}},  // enlarged
                          Case{97, 71, 8, {40, 40, 6400, 4800}, {0, 0, 97, 71}}}) {
        Surface want;
        ASSERT_TRUE(resampleReducedThrough(want, c.W, c.H, photo, c.scale, c.source, c.dest, kWhite));
        ReducedRowResampler stream(c.W, c.H, photo.width(), photo.height(), c.scale, c.source, c.dest, kWhite);
        ASSERT_TRUE(stream.valid());
        for (int y = 0; y < photo.height(); ++y) stream.addRow(y, photo.row(y), photo.width());
        Surface got;
        ASSERT_TRUE(stream.take(got));
        EXPECT_TRUE(samePixels(got, want)) << c.W << " x " << c.H << " at 1/" << c.scale;
    }
    const Rect source{0, 0, 1606, 1222}, dest{0, 0, 400, 300};
    const auto fed = [&](const std::function<void(ReducedRowResampler&)>& rows) {
        ReducedRowResampler stream(400, 300, photo.width(), photo.height(), 2, source, dest, kWhite);
        rows(stream);
        Surface out;
        return stream.take(out);
    };
    EXPECT_FALSE(fed([&](ReducedRowResampler& r) {  // the last row missing
        for (int y = 0; y + 1 < photo.height(); ++y) r.addRow(y, photo.row(y), photo.width());
    }));
    EXPECT_FALSE(fed([&](ReducedRowResampler& r) {  // a row skipped
        for (int y = 0; y < photo.height(); ++y)
            if (y != 100) r.addRow(y, photo.row(y), photo.width());
    }));
    EXPECT_FALSE(fed([&](ReducedRowResampler& r) {  // narrower rows
        for (int y = 0; y < photo.height(); ++y) r.addRow(y, photo.row(y), photo.width() - 1);
    }));
    // A geometry the rows cannot fill (the source beyond the picture) is
    // refused before any row.
    EXPECT_FALSE(ReducedRowResampler(400, 300, photo.width(), photo.height(), 2, {0, 0, 1700, 1222}, dest, kWhite)
                     .valid());
}

// Opening a large upright JPEG reads its rows into the pictures without
// holding the reduced photo, and makes the same bytes as reading it whole;
// a row read that gives up part way falls back to the whole read.
TEST(OpenPicture, AReducedPhotoStreamedIntoThePicturesIsTheSameAsReadWhole) {
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    std::ofstream(ini) << kPapers;
    // A postcard at the standard 60 lpi with its copy three times larger
    // (2121 x 1434) needs at most half of this photo.
    const std::string jpeg = dir.file("photo.jpg");
    writeJpegWithOrientation(jpeg, detailedPhoto(4400, 3000), 1);
    ScriptedHost host;
    int wholeReads = 0, rowReads = 0;
    const auto readWhole = [&](int reduction, Surface& out, int& scale, Point& phase) {
        ++wholeReads;
        PhotoLoadNotes notes;
        int w = 0, h = 0;
        if (!LoadPhotoReduced(host, jpeg, reduction, out, w, h, &notes)) return false;
        scale = notes.scale;
        phase = notes.phase;
        return true;
    };
    const auto readRows = [&](int stopAfter) {
        return [&, stopAfter](int reduction, const std::function<void(int, const Pixel*, int)>& row) {
            ++rowReads;
            int w = 0, h = 0;
            int given = 0;
            const bool ok = ForEachUprightJpegPhotoRowReduced(jpeg, reduction, w, h, [&](int y, const Pixel* p, int n) {
                if (stopAfter < 0 || given++ < stopAfter) row(y, p, n);
            });
            return ok && stopAfter < 0;
        };
    };
    CStereoWorkspace whole(host, ini), streamed(host, ini), gaveUp(host, ini);
    ASSERT_TRUE(whole.OpenPicture(CStereoWorkspace::PhotoReader{4400, 3000, readWhole, {}}, jpeg, false, true));
    ASSERT_EQ(wholeReads, 1);
    ASSERT_TRUE(streamed.OpenPicture(CStereoWorkspace::PhotoReader{4400, 3000, readWhole, readRows(-1)}, jpeg, false,
                                     true));
    EXPECT_EQ(rowReads, 1);
    EXPECT_EQ(wholeReads, 1);  // the photo was not read whole
    ASSERT_TRUE(gaveUp.OpenPicture(CStereoWorkspace::PhotoReader{4400, 3000, readWhole, readRows(300)}, jpeg, false,
                                   true));
    EXPECT_EQ(rowReads, 2);
    EXPECT_EQ(wholeReads, 2);
    for (CStereoWorkspace* ws : {&streamed, &gaveUp}) {
        EXPECT_TRUE(samePixels(ws->source(), whole.source()));
        ASSERT_EQ(ws->highResCount(), 1);
        EXPECT_TRUE(samePixels(ws->highRes(0), whole.highRes(0)));
        EXPECT_EQ(ws->trimSource(), whole.trimSource());
        EXPECT_EQ(ws->trimDest(), whole.trimDest());
    }
}

// A picture reduced from its rows one at a time is the platform's halftone
// stretch of the whole picture, byte for byte: area averaging, whole-factor
// blocks, and rows out of order leave nothing.
TEST(Resampling, AReductionMadeRowByRowIsTheStretchOfTheWholePicture) {
    const Surface photo = gradientPicture(1203, 911);
    // 1203 = 3 x 401: the second is a reduction by whole factors (3 x 1).
    for (const auto& [w, h] : {std::pair{640, 484}, std::pair{401, 911}, std::pair{97, 73}}) {
        Surface want;
        ASSERT_TRUE(want.create(w, h));
        stretchBlit(want, 0, 0, w, h, photo, 0, 0, 1203, 911, Rop::Copy, StretchMode::Halftone);
        StreamedReduction stream(1203, 911, w, h);
        for (int y = 0; y < 911; ++y) stream.addRow(y, photo.row(y));
        EXPECT_TRUE(samePixels(stream.take(), want)) << w << " x " << h;
    }
    StreamedReduction skipped(1203, 911, 640, 484);
    for (int y = 0; y < 911; y += 1 + (y == 500)) skipped.addRow(y, photo.row(y));
    EXPECT_TRUE(skipped.take().empty());
}
