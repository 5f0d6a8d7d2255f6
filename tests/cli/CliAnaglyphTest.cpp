// anaglyph, interlace and spectral from the command line, checked against
// the view files the tool writes and against the photo.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Diffraction.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

using namespace plastora;
using namespace plastora::test;

namespace {

// The sample project: a 707 x 478 photo with two regions.
const std::string kProject = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";

unsigned grey(ColorRef c) { return GetRValue(c) * 30 / 100 + GetGValue(c) * 59 / 100 + GetBValue(c) * 11 / 100; }

}  // namespace

TEST(CliAnaglyph, AnaglyphAndInterlaceAreMadeOfTheExtremeViews) {
    TempDir dir;
    CliRun r = cli("views " + q(kProject) + " -o " + q(dir.file("views")) + " --strength 5");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface right = load(dir.file("views/view_00.bmp"));
    const Surface left = load(dir.file("views/view_03.bmp"));
    ASSERT_EQ(right.width(), 707);

    r = cli("anaglyph " + q(kProject) + " -o " + q(dir.file("grey.bmp")) + " --strength 5");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("707 x 478"), std::string::npos) << r.out;
    r = cli("anaglyph " + q(kProject) + " -o " + q(dir.file("blue.bmp")) + " --strength 5 --filter 2 --colour");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface greyCyan = load(dir.file("grey.bmp")), colourBlue = load(dir.file("blue.bmp"));
    ASSERT_EQ(greyCyan.width(), 707);
    ASSERT_EQ(colourBlue.height(), 478);
    for (int y = 0; y < 478; y += 11)
        for (int x = 0; x < 707; x += 3) {
            const ColorRef a = left.getPixel(x, y), b = right.getPixel(x, y);
            ASSERT_EQ(greyCyan.getPixel(x, y), RGB(grey(a), grey(b), grey(b))) << x << "," << y;
            ASSERT_EQ(colourBlue.getPixel(x, y), RGB(GetRValue(a), 0, GetBValue(b))) << x << "," << y;
        }

    r = cli("interlace " + q(kProject) + " -o " + q(dir.file("rows.bmp")) + " --strength 5");
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("interlace " + q(kProject) + " -o " + q(dir.file("cols.bmp")) + " --strength 5 --columns --swap");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface rows = load(dir.file("rows.bmp")), cols = load(dir.file("cols.bmp"));
    // As JPEG, pictures alternating the views column by column or row by
    // row keep each pixel's colour: subsampled chroma would mix the eyes.
    ASSERT_EQ(cli("interlace " + q(kProject) + " -o " + q(dir.file("cols.jpg")) + " --columns").code, 0);
    ASSERT_EQ(cli("lenticular " + q(kProject) + " -o " + q(dir.file("lent.jpg"))).code, 0);
    ASSERT_EQ(cli("frame " + q(kProject) + " -o " + q(dir.file("frame.jpg")) + " --kind 4").code, 0);
    ASSERT_EQ(cli("anaglyph " + q(kProject) + " -o " + q(dir.file("grey.jpg"))).code, 0);
    EXPECT_EQ(lumaSampling(dir.file("cols.jpg")), 0x11);
    EXPECT_EQ(lumaSampling(dir.file("lent.jpg")), 0x11);
    EXPECT_EQ(lumaSampling(dir.file("frame.jpg")), 0x11);
    EXPECT_EQ(lumaSampling(dir.file("grey.jpg")), 0x22);
    for (int y = 0; y < 478; y += 7)
        for (int x = 0; x < 707; x += 5) {
            ASSERT_EQ(rows.at(x, y), (y % 2 ? right : left).at(x, y)) << x << "," << y;
            ASSERT_EQ(cols.at(x, y), (x % 2 ? right : left).at(x, y)) << x << "," << y;
        }
}

TEST(CliAnaglyph, SpectralKeepsTheForegroundOverTheBackground) {
    TempDir dir;
    const CliRun r = cli("spectral " + q(kProject) + " -o " + q(dir.file("s.bmp")) +
                         " --colour 0,0,0 --fill --background-masks 1");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface out = load(dir.file("s.bmp"));
    // Region 1 shows the photo, everything else (region 0 too) is black.
    SilentHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ASSERT_EQ(ws.Open(kProject), 1);
    ASSERT_EQ(ws.regionCount(), 2);
    long inside = 0;
    for (int y = 0; y < ws.height(); y += 3)
        for (int x = 0; x < ws.width(); x += 3) {
            const bool front = (ws.region(1).mask.at(x, y) & 0xFFFFFFu) != 0;
            inside += front;
            ASSERT_EQ(out.at(x, y), front ? ws.source().at(x, y) : kBlack) << x << "," << y;
        }
    EXPECT_GT(inside, 1000) << "the region is not empty";

    const CliRun tinted = cli("spectral " + q(kProject) + " -o " + q(dir.file("t.bmp")) + " --contrast");
    ASSERT_EQ(tinted.code, 0) << tinted.out;
    const Surface t = load(dir.file("t.bmp"));
    EXPECT_EQ(t.at(2, 2), spectralTint(ws.source().at(2, 2), RGB(0, 0, 255), true)) << "blue by default";
}

TEST(CliAnaglyph, AProjectsStrengthIsTakenAsTheAnaglyphDialogTakesIt) {
    // A project may keep 0 to 99; the anaglyph dialog makes 1 to 50, and so
    // do anaglyph and print --anaglyph by default.
    TempDir dir;
    SilentHost host;
    for (const int strength : {0, 60}) {
        CStereoWorkspace ws(host, dir.file("none.ini"));
        ASSERT_EQ(ws.Open(kProject), 1);
        ws.setStrength(strength);
        const std::string project = dir.file("s" + std::to_string(strength) + ".lyr");
        ASSERT_EQ(ws.Save(project), 1);
        const std::string bound = strength == 0 ? "1" : "50";
        ASSERT_EQ(cli("anaglyph " + q(project) + " -o " + q(dir.file("own.bmp"))).code, 0);
        ASSERT_EQ(cli("anaglyph " + q(project) + " -o " + q(dir.file("bound.bmp")) + " --strength " + bound).code, 0);
        EXPECT_TRUE(samePixels(load(dir.file("own.bmp")), load(dir.file("bound.bmp")))) << strength;
    }
    EXPECT_EQ(cli("print " + q(kProject) + " --anaglyph --strength 60 -o " + q(dir.file("p.pdf"))).code, 2);
}

TEST(CliAnaglyph, BadUsageAndMissingFiles) {
    TempDir dir;
    const std::string out = " -o " + q(dir.file("x.bmp"));
    EXPECT_EQ(cli("anaglyph " + q(kProject) + out + " --filter 3").code, 2);
    EXPECT_EQ(cli("anaglyph " + q(kProject) + out + " --strength 0").code, 2);
    EXPECT_EQ(cli("anaglyph " + q(kProject)).code, 2) << "no output";
    EXPECT_EQ(cli("interlace " + q(kProject) + out + " --rows").code, 2);
    EXPECT_EQ(cli("spectral " + q(kProject) + out + " --colour 0,0").code, 2);
    EXPECT_EQ(cli("spectral " + q(kProject) + out + " --colour 0,0,256").code, 2);
    const CliRun tooMany = cli("spectral " + q(kProject) + out + " --background-masks 2");
    EXPECT_EQ(tooMany.code, 2) << "two regions: K is 0 or 1";
    EXPECT_NE(tooMany.out.find("(2)"), std::string::npos) << tooMany.out;
    const CliRun missing = cli("anaglyph " + q(dir.file("none.lyr")) + out);
    EXPECT_EQ(missing.code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmp")));
    // Two projects whose names would make one file in the output folder,
    // also when they differ only in case (one file on a memory card).
    for (const char* second : {"b/cat.lyr", "b/Cat.lyr"})
        EXPECT_EQ(cli("anaglyph " + q(dir.file("a/Cat.lyr")) + " " + q(dir.file(second)) + " -o " + q(dir.file("out/")))
                      .code,
                  2)
            << second;
    // Two names in Shift-JIS (not UTF-8) are two names: refused only for
    // being missing.
    EXPECT_EQ(cli("anaglyph " + q(dir.file("a/\x8e\xca.lyr")) + " " + q(dir.file("b/\x93\xae.lyr")) + " -o " +
                  q(dir.file("out/")))
                  .code,
              1);
}
