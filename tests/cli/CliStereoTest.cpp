// The stereo commands of the command-line tool end to end: a pair of
// pictures and an MPO made into projects, the pair and all views written as
// MPO, JPEG and BMP, and info on multi-picture files.
#include "core/StillImage.h"
#include "stereo/Mpo.h"
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

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Left picture red, right picture blue.
void writePair(const TempDir& dir) {
    SilentHost host;
    for (const auto& [name, colour] : {std::pair<const char*, ColorRef>{"IMG_L.jpg", RGB(210, 40, 40)}, {"IMG_R.jpg", RGB(40, 40, 210)}}) {
        Surface s;
        ASSERT_TRUE(s.create(300, 200));
        fillRect(s, {0, 0, 300, 200}, colour);
        ASSERT_EQ(SaveStillImage(host, s, 300, 200, dir.file(name), 90), 1);
    }
}

int redOf(const Surface& s) { return static_cast<int>(GetRValue(colorRefFromPixel(s.at(s.width() / 2, s.height() / 2)))); }

}  // namespace

TEST(CliStereo, PairToProjectToMpoAndBack) {
    TempDir dir;
    writePair(dir);
    const CliRun made = cli("stereo " + q(dir.file("IMG_L.jpg")) + " " + q(dir.file("IMG_R.jpg")) + " -o " + q(dir.file("p.lyr")));
    ASSERT_EQ(made.code, 0) << made.out;
    EXPECT_TRUE(contains(made.out, "stereo pair: 2 pictures")) << made.out;
    const CliRun info = cli("info " + q(dir.file("p.lyr")));
    EXPECT_TRUE(contains(info.out, "stereo pair: yes")) << info.out;
    EXPECT_TRUE(contains(info.out, "high-resolution images: 2")) << info.out;

    const CliRun saved = cli("save-views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("out.mpo")));
    ASSERT_EQ(saved.code, 0) << saved.out;
    MpoIndex index;
    ASSERT_TRUE(readMpoIndex(dir.file("out.mpo"), index));
    EXPECT_EQ(index.imageCount, 2u);
    // The left (red) picture comes first.
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, dir.file("out.mpo"), std::nullopt, s, w, h), 1);
    EXPECT_GT(redOf(s), 150);
    ASSERT_EQ(ReadMpoImage(host, dir.file("out.mpo"), 1, s, w, h), 2);
    EXPECT_LT(redOf(s), 100);

    const CliRun listed = cli("info " + q(dir.file("out.mpo")));
    EXPECT_EQ(listed.code, 0);
    EXPECT_TRUE(contains(listed.out, "kind: multi-picture")) << listed.out;
    EXPECT_TRUE(contains(listed.out, "images: 2"));
    EXPECT_TRUE(contains(listed.out, "image 1: offset " + std::to_string(index.entries[1].offset) + ", " +
                                         std::to_string(index.entries[1].size) + " bytes, " + std::to_string(w) + " x " +
                                         std::to_string(h)))
        << listed.out;
    // The sizes come from each image's headers; an image the file cuts
    // short is still not readable.
    fs::copy_file(dir.file("out.mpo"), dir.file("cut.mpo"));
    fs::resize_file(dir.file("cut.mpo"), index.entries[1].offset + index.entries[1].size / 2);
    const CliRun cut = cli("info " + q(dir.file("cut.mpo")));
    EXPECT_EQ(cut.code, 1);
    EXPECT_TRUE(contains(cut.out, "image 1: offset " + std::to_string(index.entries[1].offset) + ", " +
                                      std::to_string(index.entries[1].size) + " bytes, not readable"))
        << cut.out;

    // The MPO opens again as a stereo pair.
    const CliRun again = cli("stereo " + q(dir.file("out.mpo")) + " -o " + q(dir.file("again.lyr")));
    ASSERT_EQ(again.code, 0) << again.out;
    EXPECT_TRUE(contains(again.out, "stereo pair: 2 pictures"));
}

TEST(CliStereo, AllViewsAndPairAsFilesAndRefusals) {
    TempDir dir;
    writePair(dir);
    ASSERT_EQ(cli("stereo " + q(dir.file("IMG_L.jpg")) + " " + q(dir.file("IMG_R.jpg")) + " -o " + q(dir.file("p.lyr"))).code, 0);
    const CliRun all = cli("save-views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("v.bmp")) + " --all");
    ASSERT_EQ(all.code, 0) << all.out;
    EXPECT_TRUE(fs::exists(dir.file("v_01.bmp")));
    EXPECT_TRUE(fs::exists(dir.file("v_04.bmp")));
    EXPECT_FALSE(fs::exists(dir.file("v_05.bmp")));
    const CliRun pair = cli("save-views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("pair.jpg")));
    ASSERT_EQ(pair.code, 0) << pair.out;
    EXPECT_TRUE(fs::exists(dir.file("pair_L.jpg")));
    EXPECT_TRUE(fs::exists(dir.file("pair_R.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("pair_L_tmp.jpg")));

    // A target in a card's picture folder is refused.
    fs::create_directories(dir.path() / "card/DCIM/100NIN03");
    const CliRun card = cli("save-views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("card/DCIM/100NIN03/x.mpo")));
    EXPECT_EQ(card.code, 1);
    EXPECT_TRUE(contains(card.out, "NINTENDO 3DSのメモリーカードに書き込もうとしています。")) << card.out;

    EXPECT_EQ(cli("stereo " + q(dir.file("IMG_L.jpg")) + " -o " + q(dir.file("x.lyr"))).code, 2);
    EXPECT_EQ(cli("stereo " + q(dir.file("IMG_L.jpg")) + " " + q(dir.file("IMG_R.jpg"))).code, 2);
    EXPECT_EQ(cli("save-views " + q(dir.file("p.lyr"))).code, 2);
    const CliRun missing = cli("stereo " + q(dir.file("IMG_L.jpg")) + " " + q(dir.file("nope.jpg")) + " -o " + q(dir.file("x.lyr")));
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(contains(missing.out, "ファイルの読み込みに失敗しました。")) << missing.out;
    // A JPEG named .mpo is no multi-picture file.
    fs::copy_file(dir.file("IMG_L.jpg"), dir.file("plain.mpo"));
    const CliRun plain = cli("info " + q(dir.file("plain.mpo")));
    EXPECT_EQ(plain.code, 1);
    EXPECT_TRUE(contains(plain.out, "マルチピクチャーファイルの読み込みに失敗しました")) << plain.out;
    EXPECT_EQ(cli("stereo " + q(dir.file("plain.mpo")) + " -o " + q(dir.file("x.lyr"))).code, 1);
    EXPECT_FALSE(fs::exists(dir.file("x.lyr")));
}
