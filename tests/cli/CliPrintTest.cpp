// print from the command line: the sizes it reports against the PDF it writes.
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace plastora::test;

namespace {

// The line of the output that starts with a digit (Qt may warn on stderr).
std::string sizeLine(const std::string& out) {
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') return line;
    return {};
}

const std::string kCli = PLASTORA_CLI;
const std::string kProject = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";

// The sample photo opened with `options` as the project `project`.
CliRun openSample(const std::string& options, const std::string& project) {
    return shell(q(kCli) + " open " + q(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.jpg") + " " + options +
                 " --yes -o " + q(project));
}

// The sample opened with `options` as `name`.lyr in `dir`, then printed to
// `name`.pdf with `printOptions`: the print's run (or the open's, when it failed).
CliRun printSample(const TempDir& dir, const std::string& name, const std::string& options,
                   const std::string& printOptions) {
    const CliRun opened = openSample(options, dir.file(name + ".lyr"));
    if (opened.code != 0) return opened;
    return shell(q(kCli) + " print " + q(dir.file(name + ".lyr")) + " -o " + q(dir.file(name + ".pdf")) + " " +
                 printOptions);
}

}  // namespace

TEST(CliPrint, LandscapeCompositeAndAnaglyphAtTheLensMatchedSize) {
    TempDir dir;
    const std::string pdf = dir.file("c.pdf");
    CliRun r = shell(q(kCli) + " print " + q(kProject) + " -o " + q(pdf) + " --dpi 300");
    ASSERT_EQ(r.code, 0) << r.out;
    // 707 x 478 with 4 views at pitch 2 and 60 LPI: 1414 x 956 at 240 dpi.
    int pw = 0, ph = 0, ox = 0, oy = 0, pageW = 0, pageH = 0;
    ASSERT_EQ(std::sscanf(sizeLine(r.out).c_str(), "%d x %d at %d,%d on %d x %d", &pw, &ph, &ox, &oy, &pageW, &pageH), 6) << r.out;
    EXPECT_EQ(pw, 1767);  // 300 x 1414 / 240 = 1767.5
    EXPECT_EQ(ph, 1195);  // 300 x 956 / 240
    EXPECT_GT(pageW, pageH) << "landscape paper for a landscape picture";
    EXPECT_EQ(ox, (pageW - pw) / 2);

    // The rendered page: pdftoppm's bounding box of the ink is the picture.
    r = shell("pdftoppm -r 300 -singlefile -gray " + q(pdf) + " " + q(dir.file("page")));
    ASSERT_EQ(r.code, 0) << r.out;
    r = shell("/usr/bin/python3 -c \"from PIL import Image, ImageOps; im=Image.open('" + dir.file("page.pgm") +
            "'); print(im.size, ImageOps.invert(im).getbbox())\"");
    ASSERT_EQ(r.code, 0) << r.out;
    int w = 0, h = 0, l = 0, t = 0, rr = 0, b = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "(%d, %d) (%d, %d, %d, %d)", &w, &h, &l, &t, &rr, &b), 6) << r.out;
    EXPECT_NEAR(w, pageW, 1);
    // The composite's outer columns, where the shifted layers left nothing,
    // are as white as the paper: a few pixels at most.
    EXPECT_NEAR(l, ox, 3);
    EXPECT_NEAR(rr, ox + pw, 3);
    EXPECT_NEAR(t, oy, 1);
    EXPECT_NEAR(b, oy + ph, 1);

    r = shell(q(kCli) + " print " + q(kProject) + " -o " + q(dir.file("a.pdf")) + " --anaglyph --copy --dpi 150");
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string line = sizeLine(r.out);
    EXPECT_EQ(line.substr(0, line.find(" at")), "883 x 597");
}

// A picture for A4 paper comes out a little larger than an A4 page at its
// lens-matched size: it goes on A3 whole instead of being cut at the edges.
TEST(CliPrint, APictureLargerThanThePageGoesOnTheNextSizeWhole) {
    TempDir dir;
    const CliRun r = printSample(dir, "a4", "--paper 4 --trim 1", "--dpi 300");
    ASSERT_EQ(r.code, 0) << r.out;
    int pw = 0, ph = 0, ox = -1, oy = -1, pageW = 0, pageH = 0;
    ASSERT_EQ(std::sscanf(sizeLine(r.out).c_str(), "%d x %d at %d,%d on %d x %d", &pw, &ph, &ox, &oy, &pageW, &pageH), 6) << r.out;
    EXPECT_GE(ox, 0);
    EXPECT_GE(oy, 0);
    EXPECT_LE(ox + pw, pageW);
    EXPECT_NEAR(pageW, 4961, 3) << "A3 landscape at 300 dpi";
}

TEST(CliPrint, BadUsage) {
    TempDir dir;
    const std::string out = " -o " + q(dir.file("x.pdf"));
    EXPECT_EQ(shell(q(kCli) + " print " + q(kProject)).code, 2) << "no output";
    EXPECT_EQ(shell(q(kCli) + " print " + q(kProject) + out + " --dpi 10").code, 2);
    EXPECT_EQ(shell(q(kCli) + " print " + q(kProject) + out + " --edit --anaglyph").code, 2);
    EXPECT_EQ(shell(q(kCli) + " print " + q(dir.file("none.lyr")) + out).code, 1);
}

// A picture too large for any A size is refused before any view is made
// (on a banner-sized paper that took minutes and gigabytes first).
TEST(CliPrint, APictureLargerThanA0IsRefusedBeforeTheWork) {
    TempDir dir;
    const CliRun r = printSample(dir, "banner", "--mm 1300,900 --lpi 20 --trim 1", "--progress");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("A0"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('%'), std::string::npos) << "no views were made first:\n" << r.out;
    EXPECT_FALSE(std::ifstream(dir.file("banner.pdf")).good());
}
