// Depth maps, anaglyph methods and the pitch test sheet from the command
// line.
#include "core/DepthMapFile.h"
#include "layers/DepthViews.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <QImage>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;

namespace {
const std::string kProject = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";
}  // namespace

TEST(CliDepth, ExportIsGreyAtWorkingSizeAndRgbdSideBySide) {
    TempDir dir;
    CliRun r = cli("depthmap " + q(kProject) + " -o " + q(dir.file("depth.png")));
    ASSERT_EQ(r.code, 0) << r.out;
    const QImage depth(QString::fromStdString(dir.file("depth.png")));
    EXPECT_EQ(depth.format(), QImage::Format_Grayscale8) << "an 8-bit grey PNG";
    EXPECT_EQ(depth.width(), 707);
    EXPECT_EQ(depth.height(), 478);

    r = cli("depthmap " + q(kProject) + " -o " + q(dir.file("rgbd.png")) + " --rgbd");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("1414 x 478"), std::string::npos) << r.out;
    const QImage rgbd(QString::fromStdString(dir.file("rgbd.png")));
    ASSERT_EQ(rgbd.width(), 1414);
    for (int y = 0; y < 478; y += 37)
        for (int x = 0; x < 707; x += 29) EXPECT_EQ(qGray(rgbd.pixel(707 + x, y)), qGray(depth.pixel(x, y)));

    EXPECT_EQ(cli("depthmap " + q(kProject)).code, 2) << "no output";
    EXPECT_EQ(cli("depthmap " + q(dir.file("none.lyr")) + " -o " + q(dir.file("x.png"))).code, 1);
}

// A photo opened with a depth map keeps it in its project: exporting the
// project's depth gives the map back.
TEST(CliDepth, OpenWithDepthRoundTrip) {
    TempDir dir;
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, gradientPicture(64, 48), 64, 48, dir.file("photo.bmp"), 80), 1);
    Surface map;
    map.create(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) map.set(x, y, kOpaque | static_cast<Pixel>(x * 4) * 0x010101u);
    ASSERT_EQ(writeDepthMapImage(host, map, dir.file("in.png"), true, 80), 1);
    CliRun r = cli("open " + q(dir.file("photo.bmp")) + " --trim 0 --depth " + q(dir.file("in.png")) + " -o " +
                   q(dir.file("p.lyr")));
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("depthmap " + q(dir.file("p.lyr")) + " -o " + q(dir.file("out.png")));
    ASSERT_EQ(r.code, 0) << r.out;
    Surface back;
    ASSERT_TRUE(readDepthMapImage(dir.file("out.png"), back));
    EXPECT_TRUE(samePixels(back, map));
    // An older project may have the region shadow stored with its map;
    // nothing draws it under a map, and info does not claim it.
    {
        std::fstream f(dir.file("p.lyr"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(36);
        f.put(1);
    }
    r = cli("info " + q(dir.file("p.lyr")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("region 0: depth"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("shadow"), std::string::npos) << r.out;
    // Views come from the map: the far left edge moves, the near right one too.
    r = cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("views")));
    ASSERT_EQ(r.code, 0) << r.out;
    // With its map gone the project's views would be flat: refused.
    std::filesystem::rename(dir.file("p_depth.png"), dir.file("kept.png"));
    for (const std::string c : {"views", "depthmap"}) {
        r = cli(c + " " + q(dir.file("p.lyr")) + " -o " + q(dir.file("flat.png")));
        EXPECT_EQ(r.code, 1) << c << r.out;
        EXPECT_NE(r.out.find(kDepthMapReadFailedMessage), std::string::npos) << r.out;
    }
    // The edit image needs no views: it still prints.
    EXPECT_EQ(cli("print " + q(dir.file("p.lyr")) + " --edit -o " + q(dir.file("e.pdf"))).code, 0);
    // faces needs layers: a stereo pair has none to keep.
    ASSERT_EQ(cli("stereo " + q(dir.file("photo.bmp")) + " " + q(dir.file("photo.bmp")) + " --no-align -o " +
                  q(dir.file("pair.lyr"))).code, 0);
    EXPECT_EQ(cli("faces " + q(dir.file("pair.lyr")) + " -o " + q(dir.file("pair2.lyr"))).code, 2);

    std::ofstream(dir.file("bad.png")) << "no picture";
    r = cli("open " + q(dir.file("photo.bmp")) + " --trim 0 --depth " + q(dir.file("bad.png")) + " -o " +
            q(dir.file("q.lyr")));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find(kDepthMapReadFailedMessage), std::string::npos) << r.out;
    // Only a project keeps a depth map: a picture as the output is refused.
    r = cli("open " + q(dir.file("photo.bmp")) + " --trim 0 --depth " + q(dir.file("in.png")) + " -o " +
            q(dir.file("q.jpg")));
    EXPECT_EQ(r.code, 2) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("q.jpg")));
}

TEST(CliDepth, AnaglyphMethodOption) {
    TempDir dir;
    CliRun r = cli("anaglyph " + q(kProject) + " -o " + q(dir.file("d.bmp")) + " --method dubois-amber-blue");
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("anaglyph " + q(kProject) + " -o " + q(dir.file("h.bmp")) + " --method half-colour");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface amber = load(dir.file("d.bmp")), half = load(dir.file("h.bmp"));
    ASSERT_EQ(amber.width(), 707);
    EXPECT_FALSE(samePixels(amber, half));
    EXPECT_EQ(cli("anaglyph " + q(kProject) + " -o " + q(dir.file("x.bmp")) + " --method sepia").code, 2);
    EXPECT_EQ(cli("anaglyph " + q(kProject) + " -o " + q(dir.file("x.bmp")) + " --method optimised --filter 1").code,
              2);
}

TEST(CliDepth, PitchTestSheet) {
    TempDir dir;
    CliRun r = cli("pitch-test -o " + q(dir.file("sheet.pdf")) + " --lpi 60 --range 1.5 --step 0.1 --dpi 600");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("58.5 lpi: page 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("61.5 lpi: page 1"), std::string::npos) << r.out;
    EXPECT_GT(std::filesystem::file_size(dir.file("sheet.pdf")), 1000u);
    EXPECT_EQ(cli("pitch-test -o " + q(dir.file("s.pdf")) + " --range 40 --step 0.1").code, 2) << "too many strips";
    EXPECT_EQ(cli("pitch-test -o " + q(dir.file("s.pdf")) + " --lpi 500").code, 2);
}
