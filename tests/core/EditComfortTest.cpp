// What makes editing easier to follow: the mask seen through at less than
// full opacity, the outline display leaving the window's background, and
// the project name proposed by "名前を付けて保存".
#include "core/StillImage.h"
#include "core/MaskBlend.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "support/Pictures.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace plastora;
using namespace plastora::test;

namespace {

unsigned channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

}  // namespace

TEST(MaskBlend, MixesColourAndPhotoByTheOpacityInsideTheMaskOnly) {
    const Surface photo = gradientPicture(16, 4);
    Surface mask;
    ASSERT_TRUE(mask.create(16, 4));
    paintRect(mask, 0, 0, 8, 4);
    const ColorRef colour = RGB(200, 100, 10);  // red 200, green 100, blue 10
    const Pixel c = pixelFromColorRef(colour);

    for (const int opacity : {0, 25, 50, 100}) {
        Surface shown;
        ASSERT_TRUE(shown.createCopy(photo));
        blendThroughMask(shown, mask, colour, opacity);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) {
                const Pixel p = photo.at(x, y), s = shown.at(x, y);
                if (x >= 8) {
                    EXPECT_EQ(s, p) << "outside the mask at " << x;
                    continue;
                }
                for (const int shift : {0, 8, 16}) {
                    // The weighted mean, to the nearest whole value.
                    const double want = (channel(p, shift) * (100.0 - opacity) + channel(c, shift) * opacity) / 100.0;
                    EXPECT_NEAR(channel(s, shift), want, 0.5) << opacity << "% at " << x << "," << y;
                }
                EXPECT_EQ(s >> 24, 0xFFu);
            }
    }
    // Out-of-range opacities are held to 0..100.
    Surface over;
    ASSERT_TRUE(over.createCopy(photo));
    blendThroughMask(over, mask, colour, 400);
    EXPECT_EQ(over.at(2, 2), c);
}

TEST(MaskBlend, MaskEditingAtHalfOpacityShowsTheMeanOfPhotoAndMaskColour) {
    // Green mask colour over the gradient photo: every channel is the mean.
    TestDocument d(40, 30, "[Mask]\nOpacity=50\n");
    EXPECT_EQ(d.ws->settings().maskOpacity, 50);
    paintRect(d.ws->region(0).mask, 0, 0, 20, 30);
    d.ws->Redraw();
    const Pixel green = pixelFromColorRef(65280);
    for (const Point q : {Point{2, 3}, Point{19, 29}, Point{11, 17}}) {
        const Pixel p = d.ws->source().at(q.x, q.y), s = d.ws->display().at(q.x, q.y);
        for (const int shift : {0, 8, 16}) {
            const unsigned sum = channel(p, shift) + channel(green, shift);
            // The mean; a half is rounded up.
            EXPECT_EQ(channel(s, shift), (sum + 1) / 2) << q.x << "," << q.y;
        }
    }
    EXPECT_EQ(d.ws->display().at(30, 5), d.ws->source().at(30, 5));

    // The parameter dialog's value goes to the display and the file; the
    // standard value is the flat colour.
    ParamValues v = currentParameters(*d.ws);
    EXPECT_EQ(v.maskOpacity, 50);
    EXPECT_EQ(standardParameters().maskOpacity, 100);
    v.maskOpacity = 100;
    EXPECT_EQ(applyParameters(*d.ws, v), 1);
    EXPECT_EQ(Settings(d.ws->settingsPath()).getInt(SettingKey::MaskOpacity), 100);
    d.ws->Redraw();
    EXPECT_EQ(d.ws->display().at(2, 3), green);

    // Settings that cannot be written are told (the values still hold).
    std::filesystem::remove(d.ws->settingsPath());
    std::filesystem::create_directory(d.ws->settingsPath());
    v.maskOpacity = 70;
    d.host.expectMessage(kSaveFailedMessage);
    EXPECT_EQ(applyParameters(*d.ws, v), 1);
    EXPECT_TRUE(d.host.done());
    EXPECT_EQ(d.ws->settings().maskOpacity, 70);

    // A file value out of range is held to it.
    TestDocument odd(10, 10, "[Mask]\nOpacity=-20\n");
    EXPECT_EQ(odd.ws->settings().maskOpacity, 0);
}

TEST(OutlineDisplay, LeavesTheWindowOutsideThePictureToTheView) {
    TestDocument d(20, 10);
    paintRect(d.ws->region(0).mask, 2, 2, 8, 8);
    ASSERT_TRUE(d.ws->SelectTool(kToolOutline));
    Surface out;
    // A window larger than the picture: only the picture's part is made.
    ASSERT_TRUE(d.ws->renderOutlineDisplay(out, 300, 200));
    EXPECT_EQ(out.width(), 20);
    EXPECT_EQ(out.height(), 10);
    EXPECT_EQ(out.at(15, 5), d.ws->source().at(15, 5));
    // Zoomed and scrolled: what is left of the picture from the scroll offset.
    d.ws->ZoomTool();
    d.ws->setScrollPosition(6, 4);
    ASSERT_TRUE(d.ws->renderOutlineDisplay(out, 300, 200));
    EXPECT_EQ(out.width(), 40 - 6);
    EXPECT_EQ(out.height(), 20 - 4);
    EXPECT_EQ(out.at(30, 14), d.ws->source().at(18, 9));  // ((30 + 6) / 2, (14 + 4) / 2)
    // A window smaller than the picture is filled whole.
    ASSERT_TRUE(d.ws->renderOutlineDisplay(out, 12, 9));
    EXPECT_EQ(out.width(), 12);
    EXPECT_EQ(out.height(), 9);
}

TEST(SaveAs, ProposesTheProjectNameOfTheOpenPicture) {
    TestDocument d(10, 10);
    d.ws->setCurrentPath(d.dir.file("chelsea.jpg"));
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws->Save(), 0);
    d.ws->setCurrentPath(d.dir.file("holiday.photo.lyr"));
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws->Save(), 0);
    d.ws->setCurrentPath({});
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws->Save(), 0);
    ASSERT_EQ(d.host.fileRequests.size(), 3u);
    EXPECT_EQ(d.host.fileRequests[0].initialPath, d.dir.file("chelsea.lyr"));
    EXPECT_EQ(d.host.fileRequests[1].initialPath, d.dir.file("holiday.photo.lyr"));
    EXPECT_EQ(d.host.fileRequests[2].initialPath, "");
}
