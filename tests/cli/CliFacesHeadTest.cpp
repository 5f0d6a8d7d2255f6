// The faces command on the bundled astronaut: her face is found in the
// picture as the program opens it, and the cut-out holds her whole head and
// her shoulders.
#include "core/ProjectFile.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kAstronaut = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/astronaut.jpg";

// White pixels of one mask row.
int whiteInRow(const Surface& mask, int y) {
    int n = 0;
    for (int x = 0; x < mask.width(); ++x) n += mask.at(x, y) == kWhite;
    return n;
}

}  // namespace

TEST(CliFaces, TheAstronautIsCutOutHeadAndShoulders) {
    TempDir dir;
    const CliRun r = cli("faces " + q(kAstronaut) + " -o " + q(dir.file("astro.lyr")) + " --settings " +
                         q(dir.file("Plastora.ini")));
    ASSERT_EQ(r.code, 0) << r.out;
    int left = 0, top = 0, right = 0, bottom = 0;
    const std::size_t at = r.out.find("face: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at, "face: %d,%d,%d,%d", &left, &top, &right, &bottom), 4) << r.out;

    const Surface picture = load(dir.file("astro.bmp"));
    ASSERT_FALSE(picture.empty());
    Surface mask;
    int depth = 0;
    ASSERT_EQ(readMaskFile(dir.file("astro.msk"), picture.width(), picture.height(), mask, depth), MaskRead::Ok);
    const int w = right - left + 1, h = bottom - top + 1, cx = (left + right) / 2;

    // Her face: a sensible size, in the upper middle of the picture.
    EXPECT_GT(w, picture.width() / 10);
    EXPECT_LT(w, picture.width() / 2);
    EXPECT_GT(cx, picture.width() / 4);
    EXPECT_LT(cx, picture.width() * 3 / 4);
    // The picture keeps room above the face for the top of her head (the
    // centred crop of the square photo would start at her forehead), and the
    // cut-out covers it.
    EXPECT_GE(top, h / 2);
    EXPECT_EQ(mask.at(cx, top - h / 4), kWhite);
    EXPECT_EQ(mask.at(cx, (top + bottom) / 2), kWhite);
    // Shoulders: well below the chin the cut-out is much wider than her face,
    // and nothing is cut out at the picture's top corners.
    const int shoulders = std::min(picture.height() - 1, bottom + h);
    EXPECT_GT(whiteInRow(mask, shoulders), 2 * w);
    EXPECT_NE(mask.at(0, 0), kWhite);
    EXPECT_NE(mask.at(picture.width() - 1, 0), kWhite);
}
