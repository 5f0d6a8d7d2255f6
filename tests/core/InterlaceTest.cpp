#include "core/StereoWorkspace.h"
#include "output/Anaglyph.h"
#include "output/Interlace.h"
#include "overlay/ObjectDraw.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr Pixel kRight = 0xFF000011;  // view 0
constexpr Pixel kLeft = 0xFF0000EE;   // view N-1

Surface flat(int w, int h, Pixel p) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, p);
    return s;
}

// Which view each pixel came from, row by row: 'R' view 0, 'L' view N-1.
std::string sourcesOf(const Surface& s) {
    std::string out;
    for (int y = 0; y < s.height(); ++y) {
        if (y) out += '/';
        for (int x = 0; x < s.width(); ++x) out += s.at(x, y) == kRight ? 'R' : s.at(x, y) == kLeft ? 'L' : '?';
    }
    return out;
}

std::string interlaceOf(int w, int h, int type, bool swap) {
    Surface out;
    EXPECT_TRUE(BuildInterlace(out, flat(w, h, kRight), flat(w, h, kLeft), type, swap));
    return sourcesOf(out);
}

struct Doc : TestDocument {
    explicit Doc(const std::string& ini = "") : TestDocument(30, 10, ini) {
        ws->region(0).depth = 8;
        paintRect(ws->region(0).mask, 10, 2, 20, 8);
    }
    void writeIni(const std::string& text) { std::ofstream(dir.file("Plastora.ini")) << text; }
    std::string ini() const {
        std::ifstream in(dir.file("Plastora.ini"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

}  // namespace

TEST(InterlacePixels, RowsAndColumnsWithAndWithoutSwap) {
    // Columns: even ones (the leftmost too) from view 0.
    EXPECT_EQ(interlaceOf(4, 2, kInterlaceColumns, false), "RLRL/RLRL");
    EXPECT_EQ(interlaceOf(4, 2, kInterlaceColumns, true), "LRLR/LRLR");
    EXPECT_EQ(interlaceOf(5, 1, kInterlaceColumns, false), "RLRLR") << "an odd width ends on view 0";
    // Rows: even ones (the top one too) from view N-1.
    EXPECT_EQ(interlaceOf(2, 1, kInterlaceRows, false), "LL") << "H = 1 takes view N-1";
    EXPECT_EQ(interlaceOf(2, 3, kInterlaceRows, false), "LL/RR/LL");
    EXPECT_EQ(interlaceOf(2, 3, kInterlaceRows, true), "RR/LL/RR");
    Surface out, none;
    EXPECT_FALSE(BuildInterlace(out, none, flat(2, 2, kLeft), kInterlaceRows, false));
}

TEST(Interlace, CreateReadsTheSettingsFileAtBuildTime) {
    Doc d;
    EXPECT_EQ(CreateInterlace(*d.ws), 0) << "no views";
    EXPECT_EQ(d.ws->mode(), kModeMask);
    d.ws->GenerateViews(nullptr, 2, false);
    // Output displays are shown whole: an editing zoom would stay on with
    // the zoom tool disabled (and the interlace image is drawn unzoomed).
    d.ws->setZoom(8);
    d.ws->StartViewAnimation();
    EXPECT_EQ(d.ws->zoom(), 1);
    d.ws->setZoom(8);
    // The workspace's type says rows; the file, written behind its back, says
    // swapped columns, and the file wins.
    EXPECT_EQ(d.ws->interlaceType(), kInterlaceRows);
    d.writeIni("[Interlace]\nType=1\nReverseStereo=1\n");
    ASSERT_EQ(CreateInterlace(*d.ws), 1);
    EXPECT_EQ(d.ws->mode(), kModeInterlace) << "the animation is left";
    EXPECT_EQ(d.ws->zoom(), 1);
    Surface expect;
    ASSERT_TRUE(BuildInterlace(expect, d.ws->view(0), d.ws->view(3), kInterlaceColumns, true));
    EXPECT_TRUE(samePixels(d.ws->display(), expect));
    EXPECT_FALSE(samePixels(d.ws->view(0), d.ws->view(3))) << "the test needs two different views";
    // Saved as the edit image in JPEG, the interlace keeps every pixel's
    // colour (full chroma): subsampled, each eye's colour would bleed into
    // the other's columns.
    ASSERT_EQ(d.ws->SaveEditImage(d.dir.file("interlace.jpg")), 1);
    EXPECT_EQ(lumaSampling(d.dir.file("interlace.jpg")), 0x11);
}

TEST(Interlace, SettingsDialogWritesAllThreeKeys) {
    Doc d("[Interlace]\nType=1\nStereo=1\nReverseStereo=1\n");
    InterlaceSettings s = readInterlaceSettings(d.ws->settingsPath());
    EXPECT_EQ(s.type, kInterlaceColumns);
    EXPECT_TRUE(s.stereo);
    EXPECT_TRUE(s.swap);
    // "標準に戻す" then OK: every key written as "0".
    ApplyInterlaceSettings(*d.ws, InterlaceSettings{});
    EXPECT_NE(d.ini().find("Type=0"), std::string::npos) << d.ini();
    EXPECT_NE(d.ini().find("Stereo=0"), std::string::npos) << d.ini();
    EXPECT_NE(d.ini().find("ReverseStereo=0"), std::string::npos) << d.ini();
    EXPECT_EQ(d.ws->interlaceType(), kInterlaceRows);
    ApplyInterlaceSettings(*d.ws, InterlaceSettings{kInterlaceColumns, false, true});
    EXPECT_EQ(d.ws->interlaceType(), kInterlaceColumns);
    CStereoWorkspace restarted(d.host, d.ws->settingsPath());
    EXPECT_EQ(restarted.interlaceType(), kInterlaceColumns);
    CStereoWorkspace unwritable(d.host, d.ws->settingsPath() + ".missing/Plastora.ini");
    EXPECT_FALSE(ApplyInterlaceSettings(unwritable, InterlaceSettings{}));
}

TEST(Interlace, ViewGenerationShowsTheInterlaceImageWhenAsked) {
    Doc plain;
    ASSERT_EQ(plain.ws->RunStereoDialog(false), 1);
    EXPECT_EQ(plain.ws->mode(), kModeAnimation);

    Doc asked("[Interlace]\nStereo=1\n");
    ASSERT_EQ(asked.ws->RunStereoDialog(false), 1);
    EXPECT_EQ(asked.ws->mode(), kModeInterlace);
    Surface expect;
    ASSERT_TRUE(BuildInterlace(expect, asked.ws->view(0), asked.ws->view(3), kInterlaceRows, false));
    EXPECT_TRUE(samePixels(asked.ws->display(), expect));
}

TEST(Interlace, FlatTextsSitInBothSources) {
    Doc d;
    d.ws->GenerateViews(nullptr, 2, true);
    auto text = std::make_shared<OverlayObject>();
    text->flags = kTextFlat | 12;
    text->text = "HH";
    text->colour = RGB(1, 2, 3);
    text->x = 8;
    text->y = 1;
    ASSERT_TRUE(d.ws->appendObject(kObjectText, text));
    Surface alone;
    ASSERT_TRUE(alone.create(d.ws->width(), d.ws->height()));
    ASSERT_TRUE(drawFlatTexts(*d.ws, alone));
    ASSERT_EQ(CreateInterlace(*d.ws), 1);
    // Every text pixel shows in the interlaced picture, whichever view its
    // row came from.
    int pixels = 0;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x)
            if (alone.getPixel(x, y) == RGB(1, 2, 3)) {
                ++pixels;
                EXPECT_EQ(d.ws->display().getPixel(x, y), RGB(1, 2, 3)) << x << "," << y;
            }
    EXPECT_GT(pixels, 10);
}

// Wherever the client area sits on the screen (odd places, off the left or
// top edge) and however far the picture is scrolled, the picture's first
// row and column land on even screen lines.
TEST(Interlace, ParityShiftPutsTheFirstLineOnAnEvenScreenLine) {
    for (int origin : {-3, -2, -1, 0, 1, 2, 49, 50})
        for (int scroll : {0, 1, 2, 7}) {
            const Point shift = interlaceParityShift({origin, origin + 1}, {scroll, scroll + 1});
            EXPECT_EQ((origin + shift.x - scroll) % 2, 0) << origin << " " << scroll;
            EXPECT_EQ((origin + 1 + shift.y - (scroll + 1)) % 2, 0) << origin << " " << scroll;
            EXPECT_TRUE(shift.x == 0 || shift.x == 1);
        }
}
