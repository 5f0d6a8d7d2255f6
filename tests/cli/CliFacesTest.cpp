// The faces command end to end: detection with the classifier laid out
// beside the program, the cutout with the shipped body template, and the
// project it saves.
#include "core/StillImage.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

using namespace plastora;
using namespace plastora::test;
namespace fs = std::filesystem;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kAstronaut = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/astronaut.jpg";

// The astronaut at full size and at 60 % beside her: two people.
bool writeTwoPeople(const std::string& path) {
    SilentHost host;
    Surface a, s;
    int w = 0, h = 0;
    if (LoadStillImage(host, kAstronaut, std::nullopt, a, w, h) != 1 || !s.create(w * 8 / 5 + 20, h)) return false;
    fillRect(s, {0, 0, s.width(), s.height()}, RGB(90, 90, 90));
    blit(s, 0, 0, w, h, &a, 0, 0, Rop::Copy);
    stretchBlit(s, w + 20, h / 5, w * 3 / 5, h * 3 / 5, a, 0, 0, w, h, Rop::Copy, StretchMode::Halftone);
    return SaveStillImage(host, s, s.width(), s.height(), path, 90) == 1;
}

}  // namespace

TEST(CliFaces, CutsOutOnePersonOrEachOfTwoIntoItsOwnRegion) {
    TempDir dir;
    const std::string ini = q(dir.file("Plastora.ini"));
    CliRun r = cli("faces " + q(kAstronaut) + " -o " + q(dir.file("one.lyr")) + " --settings " + ini);
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(has(r.out, "faces: 1\n")) << r.out;
    EXPECT_TRUE(has(r.out, "regions: 1\n")) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("one.msk")));
    EXPECT_FALSE(fs::exists(dir.file("one.m01")));
    // --separate with one face still makes one region.
    r = cli("faces " + q(kAstronaut) + " -o " + q(dir.file("sep.lyr")) + " --separate --settings " + ini);
    EXPECT_TRUE(has(r.out, "regions: 1\n")) << r.out;

    ASSERT_TRUE(writeTwoPeople(dir.file("two.bmp")));
    // The project takes another name than the photo: its edit image would
    // otherwise be written over the photo.
    r = cli("faces " + q(dir.file("two.bmp")) + " -o " + q(dir.file("two-cut.lyr")) + " --separate --settings " + ini);
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(has(r.out, "faces: 2\n")) << r.out;
    EXPECT_TRUE(has(r.out, "regions: 2\ndepth 0: 0\ndepth 1: 8\n")) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("two-cut.m01")));
    // The command records no choice in the settings file.
    EXPECT_FALSE(fs::exists(dir.file("Plastora.ini")));
}

TEST(CliFaces, FailuresAndUsage) {
    TempDir dir;
    SilentHost host;
    Surface flat;
    ASSERT_TRUE(flat.create(200, 150));
    ASSERT_EQ(SaveStillImage(host, flat, 200, 150, dir.file("flat.bmp"), 90), 1);
    CliRun r = cli("faces " + q(dir.file("flat.bmp")) + " -o " + q(dir.file("p.lyr")) + " --settings " +
                q(dir.file("Plastora.ini")));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.out, "顔検出に失敗しました。")) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("p.lyr")));

    EXPECT_EQ(cli("faces " + q(kAstronaut)).code, 2);
    EXPECT_EQ(cli("faces -o " + q(dir.file("p.lyr"))).code, 2);
    EXPECT_EQ(cli("faces " + q(kAstronaut) + " -o x.lyr --bogus").code, 2);
}
