// The command-line tool end to end: exit codes, messages, and the pictures
// it writes, read back independently of the tool.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/ViewSynthesis.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kSample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.jpg";

}  // namespace

TEST(Cli, ExitCodesAndMessages) {
    EXPECT_EQ(cli("").code, 2);
    EXPECT_EQ(cli("no-such-command").code, 2);
    EXPECT_EQ(cli("info").code, 2);
    EXPECT_EQ(cli("convert a.jpg b.jpg --quality 5").code, 2);
    const CliRun missing = cli("info /no/such/file.jpg");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("ファイルの読み込みに失敗しました。"), std::string::npos);
    const CliRun help = cli("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* name : {"info", "convert", "open", "views", "lenticular", "wmf"})
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
}

TEST(Cli, ConvertWritesWhatInfoReads) {
    TempDir dir;
    const CliRun r = cli("convert " + q(kSample) + " " + q(dir.file("c.bmp")));
    ASSERT_EQ(r.code, 0) << r.out;
    const CliRun info = cli("info " + q(dir.file("c.bmp")));
    EXPECT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("size: 600 x 400"), std::string::npos) << info.out;
    EXPECT_EQ(std::filesystem::file_size(dir.file("c.bmp")), 54u + 1800u * 400u);
}

// A photo opened at a paper size, given two painted regions in the core,
// then made into views and a composite by the tool: the region cards move by
// exactly the shift rule, and the composite interleaves the view files.
TEST(Cli, ViewsAndCompositeFromARealPhoto) {
    TempDir dir;
    const std::string project = dir.file("coffee.lyr");
    CliRun r = cli("open " + q(kSample) + " -o " + q(project) + " --paper 3 --trim 1");
    ASSERT_EQ(r.code, 0) << r.out;

    SilentHost host;
    int w = 0, h = 0;
    {
        CStereoWorkspace ws(host, dir.file("none.ini"));
        ASSERT_EQ(ws.Open(project), 1);
        w = ws.width();
        h = ws.height();
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        ws.backgroundDepth = -10;
        ws.region(0).depth = 4;
        paintRect(ws.region(0).mask, 100, 100, 300, 380);
        ASSERT_TRUE(ws.appendRegion(12));
        paintRect(ws.region(1).mask, 380, 150, 520, 300);
        ASSERT_EQ(ws.Save(project), 1);
    }
    const CliRun info = cli("info " + q(project));
    ASSERT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("region 0: depth 4"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("region 1: depth 12"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("background depth: -10"), std::string::npos) << info.out;

    r = cli("views " + q(project) + " -o " + q(dir.file("views")) + " --strength 3");
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface source = load(dir.file("coffee.bmp"));
    std::vector<Surface> views;
    for (int a = 0; a < 4; ++a) {
        char name[32];
        std::snprintf(name, sizeof name, "views/view_%02d.bmp", a);
        views.push_back(load(dir.file(name)));
    }
    // Region 1 lies on top: its card is the photo at x + shift(a, 12).
    for (int a = 0; a < 4; ++a) {
        const int shift = viewShift(a, 4, 12, 3);
        int matches = 0, offByOne = 0;
        for (int y = 150; y < 300; y += 7)
            for (int x = 380; x < 520; x += 5) {
                matches += views[static_cast<std::size_t>(a)].at(x + shift, y) == source.at(x, y);
                offByOne += views[static_cast<std::size_t>(a)].at(x + shift + 1, y) == source.at(x, y);
            }
        EXPECT_EQ(matches, 22 * 28) << "view " << a << ": the card is exactly at the shifted place";
        EXPECT_LT(offByOne, matches / 2) << "view " << a;
    }
    // The card's left edge: in view 3 the pixel left of it is not the card's.
    EXPECT_EQ(views[3].at(380 + viewShift(3, 4, 12, 3), 200), source.at(380, 200));
    EXPECT_TRUE(samePixels(views[2], source)) << "view N/2 is the photo";

    r = cli("lenticular " + q(project) + " -o " + q(dir.file("lenticular.bmp")) + " --strength 3");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("240DPI"), std::string::npos) << "the print-resolution message";
    const Surface composite = load(dir.file("lenticular.bmp"));
    ASSERT_EQ(composite.width(), 1280);
    ASSERT_EQ(composite.height(), 960);
    for (int k = 0; k < 320; k += 3)
        for (int i = 0; i < 4; ++i)
            for (int y = 0; y < 960; y += 37)
                ASSERT_EQ(composite.at(4 * k + i, y), views[static_cast<std::size_t>(i)].at(2 * k, y / 2))
                    << "column " << 4 * k + i << " row " << y;
}

// Under a locale that writes a decimal comma, numbers keep their point:
// drawing text starts Qt, which takes the C library's locale from the
// environment, and every later command of a batch printed "lpi: 60,5" (and
// the pitch sheet's labels, the translated questions, ...).
TEST(Cli, NumbersKeepTheirDecimalPointUnderACommaLocale) {
    TempDir dir;
    const CliRun made = shell("localedef -i de_DE -f UTF-8 " + q(dir.file("de_DE.UTF-8")));
    ASSERT_EQ(made.code, 0) << made.out;
    ASSERT_EQ(cli("open " + q(kSample) + " --lpi 60.5 --yes -o " + q(dir.file("p.lyr"))).code, 0);
    std::ofstream(dir.file("batch.txt")) << "object\t" << dir.file("p.lyr") << "\t--text\tA\t-o\t" << dir.file("q.lyr")
                                         << "\ninfo\t" << dir.file("q.lyr") << "\n";
    const CliRun r = shell("LOCPATH=" + q(dir.path().string()) + " LC_ALL=de_DE.UTF-8 '" + PLASTORA_CLI + "' --lang en batch " +
                           q(dir.file("batch.txt")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("lpi: 60.5\n"), std::string::npos) << r.out;
}
