// A stereo-pair document's saved pictures carry what the user added on top.
#include "core/StereoWorkspace.h"
#include "overlay/OverlayObject.h"
#include "stereo/Mpo.h"
#include "stereo/StereoFiles.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "stereo/StereoFileSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace plastora {
namespace {

using namespace stereotest;
using test::ScriptedHost;
using test::TempDir;

// Pixels that are clearly not the flat background colour.
long pixelsUnlike(const Surface& s, ColorRef background) {
    long n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const ColorRef c = colorRefFromPixel(s.at(x, y));
            if (std::abs(int(GetRValue(c)) - int(GetRValue(background))) + std::abs(int(GetGValue(c)) - int(GetGValue(background))) +
                    std::abs(int(GetBValue(c)) - int(GetBValue(background))) > 120)
                ++n;
        }
    return n;
}

TEST(StereoSave, PairPicturesCarryTheTextsTheUserAdded) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    const ColorRef grey = RGB(128, 128, 128);
    ws.adoptPicture(flatPicture(80, 60, grey));
    for (int i = 0; i < ws.viewCount(); ++i) ws.view(i) = flatPicture(80, 60, grey);
    ws.setStereoPair(true);
    const int r = ws.settings().hdRatio;
    ws.highRes(0) = flatPicture(80 * r, 60 * r, grey);
    ws.highRes(1) = flatPicture(80 * r, 60 * r, grey);
    ws.setHighResCount(2);
    auto text = std::make_shared<OverlayObject>();
    text->x = 10;
    text->y = 10;
    text->width = text->naturalWidth = 60;
    text->height = text->naturalHeight = 30;
    text->colour = RGB(0, 0, 0);
    text->flags = 28 | kTextBold;
    text->text = "3D";
    text->face = "ＭＳ Ｐゴシック";
    text->depth = 4;
    ws.appendObject(kObjectText, text);

    ASSERT_EQ(SaveStereoPair(ws, dir.file("pair.jpg")), 1);
    for (const char* eye : {"pair_L.jpg", "pair_R.jpg"}) {
        const Surface s = loadPicture(dir.file(eye));
        ASSERT_EQ(s.width(), 80 * r) << eye;
        EXPECT_GT(pixelsUnlike(s, grey), 50 * r * r) << eye << ": the text is missing";
    }
    ASSERT_EQ(SaveStereoPair(ws, dir.file("pair.mpo")), 1);
    for (int k = 0; k < 2; ++k) {
        Surface s;
        int w = 0, h = 0;
        ASSERT_EQ(ReadMpoImage(host, dir.file("pair.mpo"), k, s, w, h), 2);
        EXPECT_GT(pixelsUnlike(s, grey), 50 * r * r) << "MPO picture " << k << ": the text is missing";
    }
    // Pictures made at another [Picture] HDRatio (twice the working size,
    // against today's three) get the text too, at their own scale.
    ASSERT_NE(r, 2);
    ws.highRes(0) = flatPicture(160, 120, grey);
    ws.highRes(1) = flatPicture(160, 120, grey);
    EXPECT_EQ(ws.highResRatio(), 2);
    ASSERT_EQ(SaveStereoPair(ws, dir.file("half.jpg")), 1);
    const Surface s = loadPicture(dir.file("half_L.jpg"));
    ASSERT_EQ(s.width(), 160);
    EXPECT_GT(pixelsUnlike(s, grey), 50 * 4) << "the text is missing";
}

}  // namespace
}  // namespace plastora
