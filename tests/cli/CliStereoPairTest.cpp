// Real stereo pairs through the command line: Debian's aloe pair (opencv-doc)
// opened, aligned and made into views whose in-between view puts the plant
// where the ground-truth disparity says; a hand-held pair (turned and moved)
// opened aligned; an unrelated pair warned about.
#include "core/StillImage.h"
#include "stereo/StereoScenes.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;
namespace fs = std::filesystem;

namespace {

const std::string kData = "/usr/share/doc/opencv-doc/examples/data/";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The number following `label` in `text`, or NaN.
double numberAfter(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return std::nan("");
    return std::stod(text.substr(at + label.size()));
}

// "x,y,w,h" after `label` (the source rectangle the tool prints).
std::vector<int> rectAfter(const std::string& text, const std::string& label) {
    std::vector<int> v;
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return v;
    std::stringstream ss(text.substr(at + label.size()));
    std::string item;
    for (int i = 0; i < 4 && std::getline(ss, item, i < 3 ? ',' : '\n'); ++i) v.push_back(std::stoi(item));
    return v;
}

bool haveAloe() { return fs::exists(kData + "aloeL.jpg") && fs::exists(kData + "aloeGT.png"); }

int maxChannelDifference(Pixel a, Pixel b) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)));
    return d;
}

}  // namespace

TEST(CliStereoPair, AloeViewsFollowTheTrueDisparity) {
    if (!haveAloe()) GTEST_SKIP() << "opencv-doc is not installed";
    TempDir dir;
    const CliRun made = cli("stereo " + q(kData + "aloeL.jpg") + " " + q(kData + "aloeR.jpg") + " -o " + q(dir.file("p.lyr")));
    ASSERT_EQ(made.code, 0) << made.out;
    EXPECT_TRUE(contains(made.out, "size: 707 x 478")) << made.out;
    // A rectified pair: next to nothing to correct.
    EXPECT_TRUE(contains(made.out, "位置合わせ: 縦 ")) << made.out;
    EXPECT_LT(std::abs(numberAfter(made.out, "縦 ")), 1.0) << made.out;
    const std::vector<int> src = rectAfter(made.out, "source: ");
    ASSERT_EQ(src.size(), 4u) << made.out;

    // Four views (the default lens); view 1 is 2/3 of the way to the right
    // picture. Strength 4 ticks pattern matching as the stereo dialog does.
    const CliRun views = cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("v")) + " --strength 4");
    ASSERT_EQ(views.code, 0) << views.out;
    EXPECT_FALSE(contains(views.out, "認識できなかったパターン")) << views.out;
    const Surface left = load(dir.file("v/view_03.bmp"));
    const Surface view1 = load(dir.file("v/view_01.bmp"));
    ASSERT_EQ(left.width(), 707);

    // The ground truth brought to the working picture the way the tool
    // brought the photo (its source rectangle scaled to 707 x 478).
    QImage gt(QString::fromStdString(kData + "aloeGT.png"));
    gt = gt.convertToFormat(QImage::Format_Grayscale8);
    const double scale = 707.0 / src[2];
    int placed = 0, counted = 0;
    for (int y = 8; y < 478 - 8; y += 2)
        for (int x = 100; x < 707 - 8; x += 2) {
            const int gx = src[0] + x * src[2] / 707, gy = src[1] + y * src[3] / 478;
            const int v = gt.constScanLine(std::min(gy, gt.height() - 1))[std::min(gx, gt.width() - 1)];
            if (v == 0) continue;
            // Only the textured pixels say where they went.
            if (maxChannelDifference(left.at(x, y), left.at(x + 2, y)) < 24) continue;
            const double d = v * scale;
            const int xt = static_cast<int>(std::lround(x - 2.0 / 3.0 * d));
            if (xt < 1 || xt >= 706) continue;
            ++counted;
            const Pixel p = left.at(x, y);
            if (maxChannelDifference(view1.at(xt, y), p) <= 30 || maxChannelDifference(view1.at(xt - 1, y), p) <= 30 ||
                maxChannelDifference(view1.at(xt + 1, y), p) <= 30)
                ++placed;
        }
    ASSERT_GT(counted, 2000);
    EXPECT_GT(placed * 100 / counted, 80) << placed << " of " << counted;

    // The block matcher stays reachable; a bad method name is a usage error.
    const CliRun blocks = cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("b")) + " --strength 4 --method blocks");
    EXPECT_EQ(blocks.code, 0) << blocks.out;
    EXPECT_EQ(cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("b")) + " --method fast").code, 2);
    // A method given asks for matching at the pair's own strength too: the
    // in-between views are not copies of the two pictures.
    ASSERT_EQ(cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("d")) + " --method dense").code, 0);
    EXPECT_FALSE(samePixels(load(dir.file("d/view_01.bmp")), load(dir.file("d/view_00.bmp"))));
    EXPECT_FALSE(samePixels(load(dir.file("d/view_02.bmp")), load(dir.file("d/view_03.bmp"))));

    // Fitted inside the paper with white margins, the pair's in-between
    // views keep the margins where both pictures have them (the matcher gave
    // them the picture's disparity, and they tore into the picture).
    ASSERT_EQ(cli("stereo " + q(kData + "aloeL.jpg") + " " + q(kData + "aloeR.jpg") + " --trim 2 -o " + q(dir.file("m.lyr"))).code, 0);
    ASSERT_EQ(cli("views " + q(dir.file("m.lyr")) + " -o " + q(dir.file("mv")) + " --strength 4").code, 0);
    const Surface m0 = load(dir.file("mv/view_00.bmp")), m3 = load(dir.file("mv/view_03.bmp"));
    const Surface m1 = load(dir.file("mv/view_01.bmp")), m2 = load(dir.file("mv/view_02.bmp"));
    int marginColumns = 0;
    for (int x = 0; x < m0.width(); ++x) {
        bool white = true;
        for (int y = 0; y < m0.height() && white; ++y) white = m0.at(x, y) == kWhite && m3.at(x, y) == kWhite;
        if (!white) continue;
        ++marginColumns;
        for (int y = 0; y < m0.height(); y += 7) {
            EXPECT_EQ(m1.at(x, y), kWhite) << x << "," << y;
            EXPECT_EQ(m2.at(x, y), kWhite) << x << "," << y;
        }
    }
    EXPECT_GT(marginColumns, 0) << "the test needs a picture with margins";
}

TEST(CliStereoPair, HandHeldPairOpensAlignedAndPaperAndTrimAreTaken) {
    if (!haveAloe()) GTEST_SKIP() << "opencv-doc is not installed";
    TempDir dir;
    // The right picture turned by 1 degree and 20 pixels lower.
    const Surface right = load(kData + "aloeR.jpg");
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, misaligned(right, 1.0, 20.0), right.width(), right.height(), dir.file("R.jpg"), 95), 1);
    const CliRun made = cli("stereo " + q(kData + "aloeL.jpg") + " " + q(dir.file("R.jpg")) + " -o " +
                            q(dir.file("p.lyr")) + " --paper 3 --trim 2");
    ASSERT_EQ(made.code, 0) << made.out;
    // VGA paper, whole picture with margins: 1282 x 1110 fits 554 x 480.
    EXPECT_TRUE(contains(made.out, "size: 640 x 480")) << made.out;
    EXPECT_TRUE(contains(made.out, "dest: 43,0,554,480")) << made.out;
    // Reported in working-size pixels: 20 x 480 / 1110.
    EXPECT_NEAR(numberAfter(made.out, "縦 "), -20.0 * 480 / 1110, 1.0) << made.out;
    EXPECT_NEAR(numberAfter(made.out, "回転 "), -1.0, 0.1) << made.out;

    const CliRun plain = cli("stereo " + q(kData + "aloeL.jpg") + " " + q(dir.file("R.jpg")) + " -o " +
                             q(dir.file("q.lyr")) + " --no-align");
    ASSERT_EQ(plain.code, 0) << plain.out;
    EXPECT_FALSE(contains(plain.out, "縦 ")) << plain.out;
    EXPECT_EQ(cli("stereo " + q(kData + "aloeL.jpg") + " " + q(dir.file("R.jpg")) + " -o " + q(dir.file("x.lyr")) +
                  " --trim 4")
                  .code,
              2);
}

// OpenCV's stereo and feature matchers (and the libraries behind them) are
// loaded by the work that matches a pair, not at the start of every command.
TEST(CliStereoPair, TheMatchersAreLoadedOnlyForAPair) {
    if (!haveAloe()) GTEST_SKIP() << "opencv-doc is not installed";
    TempDir dir;
    const auto loaded = [](const std::string& args) {
        return shell(std::string("LD_DEBUG=files LC_ALL=C.UTF-8 '") + PLASTORA_CLI + "' " + args);
    };
    const CliRun info = loaded("info " + q(kData + "aloeL.jpg"));
    ASSERT_EQ(info.code, 0) << info.out;
    for (const char* library : {"libopencv_calib3d", "libopencv_features2d", "libplastora_stereocv"})
        EXPECT_FALSE(contains(info.out, library)) << library;
    const CliRun pair = loaded("stereo " + q(kData + "aloeL.jpg") + " " + q(kData + "aloeR.jpg") + " -o " +
                               q(dir.file("p.lyr")));
    ASSERT_EQ(pair.code, 0) << pair.out;
    EXPECT_TRUE(contains(pair.out, "libplastora_stereocv")) << pair.out;
}

TEST(CliStereoPair, UnrelatedPicturesAreWarnedAbout) {
    if (!haveAloe() || !fs::exists(kData + "baboon.jpg")) GTEST_SKIP() << "opencv-doc is not installed";
    TempDir dir;
    const CliRun made = cli("stereo " + q(kData + "aloeL.jpg") + " " + q(kData + "baboon.jpg") + " -o " +
                            q(dir.file("p.lyr")) + " --yes");
    ASSERT_EQ(made.code, 0) << made.out;
    EXPECT_TRUE(contains(made.out, "位置合わせをせずにそのまま使います")) << made.out;
    const CliRun views = cli("views " + q(dir.file("p.lyr")) + " -o " + q(dir.file("v")) + " --strength 4");
    EXPECT_EQ(views.code, 0) << views.out;
    EXPECT_TRUE(contains(views.out, "左右の画像が異なりすぎているためマルチビューの作成に失敗しました。\n認識できなかったパターンが"))
        << views.out;
}

// What cannot make a sound pair is refused or reported, never written as if
// it were one: a project or MPO given with a second file, an output that is
// not a project, pictures of different sizes without --yes, a stereo
// project whose second picture was replaced by one of another size.
TEST(CliStereoPair, WhatCannotMakeAPairIsRefused) {
    TempDir dir;
    const std::string sample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/";
    const std::string left = q(sample + "coffee.jpg"), other = q(sample + "chelsea.jpg");
    EXPECT_EQ(cli("stereo " + q(sample + "coffee.lyr") + " " + left + " -o " + q(dir.file("a.lyr"))).code, 2);
    EXPECT_EQ(cli("stereo " + left + " " + left + " -o " + q(dir.file("a.jpg"))).code, 2);
    EXPECT_FALSE(fs::exists(dir.file("a.lyr")));

    const CliRun differ = cli("stereo " + left + " " + other + " -o " + q(dir.file("b.lyr")));
    EXPECT_EQ(differ.code, 1) << differ.out;
    EXPECT_TRUE(contains(differ.out, "サイズが異なります")) << differ.out;
    EXPECT_FALSE(fs::exists(dir.file("b.lyr")));
    EXPECT_EQ(cli("stereo " + left + " " + other + " --yes -o " + q(dir.file("b.lyr"))).code, 0);

    // A lens setting outside the picture dialog's range (a project may hold
    // one) opens with the standard 60, in a program folder of its own.
    const fs::path program = dir.path() / "program";
    fs::create_directories(program);
    std::ofstream(program / "Plastora.ini") << "[Lenticular]\nLPI=10\n";
    std::ofstream(dir.file("batch.tsv")) << "PLASTORA_PROGRAM_FOLDER=" << program.string() << "\tstereo\t"
                                         << sample + "coffee.jpg\t" << sample + "coffee.jpg\t-o\t"
                                         << dir.file("c.lyr") << "\n";
    const CliRun lens = cli("batch " + q(dir.file("batch.tsv")));
    EXPECT_EQ(lens.code, 0) << lens.out;

    // The stereo project made above, its second picture replaced by a small
    // one: the anaglyph is not written at the wrong size.
    ASSERT_TRUE(fs::exists(dir.file("b_hd02.jpg")));
    ASSERT_EQ(shell("convert -size 3x2 xc:red " + q(dir.file("b_hd02.jpg"))).code, 0);
    const CliRun anaglyph = cli("anaglyph " + q(dir.file("b.lyr")) + " -o " + q(dir.file("b.png")));
    EXPECT_EQ(anaglyph.code, 1) << anaglyph.out;
    EXPECT_FALSE(fs::exists(dir.file("b.png")));
    // Both replaced alike, by pictures that are no multiple of the working
    // size: neither is taken for the project's.
    ASSERT_EQ(shell("convert -size 3x2 xc:red " + q(dir.file("b_hd01.jpg"))).code, 0);
    const CliRun both = cli("anaglyph " + q(dir.file("b.lyr")) + " -o " + q(dir.file("b.png")));
    EXPECT_EQ(both.code, 1) << both.out;
    EXPECT_FALSE(fs::exists(dir.file("b.png")));
}
