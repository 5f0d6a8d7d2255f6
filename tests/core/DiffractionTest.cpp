#include "core/StereoWorkspace.h"
#include "output/Adjust.h"
#include "output/Diffraction.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr ColorRef kBlue = RGB(0, 0, 255);
constexpr ColorRef kRed = RGB(255, 0, 0);

ColorRef tintOf(unsigned r, unsigned g, unsigned b, ColorRef colour, bool contrast) {
    return colorRefFromPixel(spectralTint(pixelFromColorRef(RGB(r, g, b)), colour, contrast));
}

// A 20 x 10 photo with three regions: 0 (columns 0..4), 1 (5..9) and 2
// (10..14); columns 15..19 are background only.
struct Doc : TestDocument {
    Doc() : TestDocument(20, 10, "") {
        paintRect(ws->region(0).mask, 0, 0, 5, 10);
        ws->appendRegion(8);
        paintRect(ws->region(1).mask, 5, 0, 10, 10);
        ws->appendRegion(8);
        paintRect(ws->region(2).mask, 10, 0, 15, 10);
    }
    ColorRef shown(int x, int y) const { return ws->display().getPixel(x, y); }
    ColorRef photo(int x, int y) const { return ws->source().getPixel(x, y); }
};

}  // namespace

TEST(SpectralPixels, GreyTintAndContrastStretch) {
    // White in blue: grey 254, so (0, 0, 254); black stays black.
    EXPECT_EQ(tintOf(255, 255, 255, kBlue, false), RGB(0, 0, 254));
    EXPECT_EQ(tintOf(0, 0, 0, kBlue, true), RGB(0, 0, 0));
    // With the stretch white reaches the colour itself.
    EXPECT_EQ(tintOf(255, 255, 255, kRed, true), RGB(255, 0, 0));
    // The stretch: 100 -> 90, 223 -> 255, 31 -> 0, 32 -> 0, 224 -> 255.
    EXPECT_EQ(stretchContrast(100), 90);
    EXPECT_EQ(stretchContrast(223), 255);
    EXPECT_EQ(stretchContrast(31), 0);
    EXPECT_EQ(stretchContrast(32), 0);
    EXPECT_EQ(stretchContrast(224), 255);
    // Grey 100 from a grey pixel (100, 100, 100): 30 + 59 + 11 = 100, then
    // 90 in a colour of 200 gives 90 x 200 / 255 = 70.
    EXPECT_EQ(tintOf(100, 100, 100, RGB(200, 200, 0), true), RGB(70, 70, 0));
    EXPECT_EQ(tintOf(100, 100, 100, RGB(200, 200, 0), false), RGB(78, 78, 0));
}

TEST(Spectral, FilledBackgroundWithTheForegroundRegionsInColour) {
    Doc d;
    d.ws->GenerateViews(nullptr, 2, false);
    d.ws->StartViewAnimation();
    SpectralDialogData data = spectralDialogPreset(*d.ws);
    EXPECT_EQ(data.colour, kBlue);
    EXPECT_FALSE(data.fill);
    data.colour = RGB(0, 0, 0);
    data.fill = true;
    data.backgroundMasks = 1;
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    EXPECT_EQ(d.ws->mode(), kModeImage) << "the edit display is shown";
    EXPECT_EQ(d.ws->spectralState(), kSpectralFilled);
    // Region 0 is background (black), regions 1 and 2 keep the photo, the
    // rest is black.
    for (int y = 0; y < 10; y += 3) {
        EXPECT_EQ(d.shown(2, y), RGB(0, 0, 0));
        EXPECT_EQ(d.shown(7, y), d.photo(7, y));
        EXPECT_EQ(d.shown(12, y), d.photo(12, y));
        EXPECT_EQ(d.shown(17, y), RGB(0, 0, 0));
    }
    EXPECT_TRUE(spectralDialogPreset(*d.ws).fill);
    EXPECT_EQ(spectralDialogPreset(*d.ws).backgroundMasks, 1);
}

TEST(Spectral, TintedBackgroundAndPaintLayerOnTop) {
    Doc d;
    d.ws->SetMode(kModeImage);
    ASSERT_TRUE(d.ws->ensurePaintLayer());
    fillRect(d.ws->paintLayer(), Rect{0, 0, 20, 10}, RGB(9, 8, 7));
    paintRect(d.ws->paintMask(), 16, 4, 18, 6);
    SpectralDialogData data = spectralDialogPreset(*d.ws);
    data.backgroundMasks = 2;
    data.contrast = true;
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    EXPECT_EQ(d.ws->spectralState(), kSpectralTinted);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool paint = x >= 16 && x < 18 && y >= 4 && y < 6;
            const ColorRef expect = paint ? RGB(9, 8, 7)
                                  : (x >= 10 && x < 15)
                                      ? d.photo(x, y)
                                      : colorRefFromPixel(spectralTint(d.ws->source().at(x, y), kBlue, true));
            ASSERT_EQ(d.shown(x, y), expect) << x << "," << y;
        }
    // An adjustment of the picture afterwards reaches the tinted background.
    ASSERT_EQ(ApplyAdjustment(*d.ws, -50, 0), 1);
    EXPECT_EQ(d.shown(17, 2), colorRefFromPixel(spectralTint(d.ws->source().at(17, 2), kBlue, true)));
}

TEST(Spectral, BackgroundCountIsHeldToTheRegions) {
    Doc d;
    SpectralDialogData data = spectralDialogPreset(*d.ws);
    data.fill = true;
    data.backgroundMasks = -3;  // a signed edit could give this
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    EXPECT_EQ(d.ws->spectralRegions(), 0);
    EXPECT_EQ(d.shown(2, 2), d.photo(2, 2)) << "every region drawn";
    data.backgroundMasks = 40;
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    EXPECT_EQ(d.ws->spectralRegions(), 3);
    EXPECT_EQ(d.shown(12, 2), kBlue) << "no region drawn";

    // With one region K is 0 whatever was kept.
    d.ws->truncateRegions(1);
    EXPECT_EQ(spectralDialogPreset(*d.ws).backgroundMasks, 0);
}

TEST(Spectral, ClearedWithTheDerivedImagesOnly) {
    Doc d;
    SpectralDialogData data = spectralDialogPreset(*d.ws);
    data.colour = kRed;
    data.contrast = true;
    data.backgroundMasks = 2;
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    // Switching editing modes without views keeps it.
    d.ws->SetMode(kModeMask);
    d.ws->SetMode(kModeImage);
    EXPECT_EQ(d.ws->spectralState(), kSpectralTinted);
    EXPECT_NE(d.shown(17, 5), d.photo(17, 5));
    // New views discard it; the colour and the contrast flag stay.
    d.ws->GenerateViews(nullptr, 2, false);
    EXPECT_EQ(d.ws->spectralState(), kSpectralNone);
    EXPECT_EQ(d.ws->spectralRegions(), 0);
    EXPECT_TRUE(d.ws->spectralBackground().empty());
    EXPECT_EQ(d.ws->spectralColour(), kRed);
    d.ws->SetMode(kModeImage);
    EXPECT_EQ(d.shown(17, 5), d.photo(17, 5)) << "the plain edit display again";
    // A new picture resets everything.
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    d.ws->adoptPicture(gradientPicture(8, 8));
    EXPECT_EQ(d.ws->spectralState(), kSpectralNone);
    EXPECT_EQ(d.ws->spectralColour(), kBlue);
    EXPECT_FALSE(d.ws->spectralContrast());
}

TEST(Spectral, HighResolutionEditImage) {
    Doc d;
    d.ws->SetMode(kModeImage);
    // A high-resolution copy (R = 3) that differs from the enlarged photo, so
    // the test sees which one is used.
    ASSERT_TRUE(d.ws->highRes(0).create(60, 30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) d.ws->highRes(0).set(x, y, pixelFromColorRef(RGB(x * 4, y * 8, 77)));
    d.ws->setHighResCount(1);
    Surface out;
    ASSERT_TRUE(BuildHighResEditImage(*d.ws, out));
    EXPECT_TRUE(samePixels(out, d.ws->highRes(0))) << "no background: the copy itself";

    SpectralDialogData data = spectralDialogPreset(*d.ws);
    data.backgroundMasks = 2;
    ASSERT_EQ(ApplySpectral(*d.ws, data), 1);
    ASSERT_TRUE(BuildHighResEditImage(*d.ws, out));
    ASSERT_EQ(out.width(), 60);
    ASSERT_EQ(out.height(), 30);
    const Surface& hr = d.ws->highRes(0);
    for (int y = 0; y < 30; y += 4)
        for (int x = 0; x < 60; ++x) {
            // Region 2 covers columns 10..14, so 30..44 at three times the size.
            const Pixel expect = (x >= 30 && x < 45) ? hr.at(x, y) : spectralTint(hr.at(x, y), kBlue, false);
            ASSERT_EQ(out.at(x, y), expect) << x << "," << y;
        }
}
