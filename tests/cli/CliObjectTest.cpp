// object from the command line: objects added to the sample project show in
// info and in the outputs made from the saved project.
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kSample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";

long countColour(const Surface& s, ColorRef c) {
    long n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) n += s.getPixel(x, y) == c;
    return n;
}

}  // namespace

TEST(CliObject, AddedObjectsAreListedAndDrawnIntoEveryOutput) {
    TempDir dir;
    const std::string p = dir.file("p.lyr");
    CliRun r = cli("object " + q(kSample) + " --shape rectangle --line-width 0 --colour 000000 --at 100,100 --box 48,48 "
                   "--depth 12 -o " + q(p));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("object 0 at 100,100 size 48 x 48"), std::string::npos) << r.out;
    r = cli("object " + q(p) + " --text FLAT --flat --size 30 --colour 00ff00 --at 300,20 -o " + q(p));
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("object " + q(p) + " --clipart " + q(std::string(PLASTORA_SOURCE_DIR) + "/tests/linewisp/data/face.wmf") +
            " --at 400,300 --box 60,60 -o " + q(p));
    ASSERT_EQ(r.code, 0) << r.out;

    r = cli("info " + q(p));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("objects: 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("shape at 100,100 size 48 x 48, depth 12, rectangle"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"FLAT\", 30 px, kept flat"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("clip art at 400,300 size 60 x 60"), std::string::npos) << r.out;
    // A text holding control characters (escape sequences a project from
    // someone else may carry) reaches the terminal written out, never raw.
    ASSERT_EQ(cli("object " + q(p) + " --text " + q("A\x1b]0;T\x07\x1b[2J\xc2\x9b" "2J\\B") + " -o " + q(dir.file("e.lyr"))).code, 0);
    r = cli("info " + q(dir.file("e.lyr")));
    EXPECT_NE(r.out.find("\"A\\x1b]0;T\\x07\\x1b[2J\\u009b2J\\B\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find_first_of("\x1b\x07"), std::string::npos);
    EXPECT_EQ(r.out.find("\xc2\x9b"), std::string::npos);

    // Views: the white square (40 x 40 inside its 4-pixel margin) moved by
    // its depth in each, the flat text in none.
    r = cli("views " + q(p) + " -o " + q(dir.file("v")) + " --strength 2");
    ASSERT_EQ(r.code, 0) << r.out;
    for (const int a : {0, 3}) {
        const Surface v = load(dir.file("v/view_0" + std::to_string(a) + ".bmp"));
        const int shift = (a - 2) * 12 * 2 / 4;
        EXPECT_EQ(v.getPixel(104 + shift, 120), RGB(255, 255, 255)) << a;
        EXPECT_EQ(v.getPixel(143 + shift, 120), RGB(255, 255, 255)) << a;
        EXPECT_EQ(countColour(v, RGB(0, 255, 0)), 0) << a;
    }
    // The composite carries the flat text, once.
    r = cli("lenticular " + q(p) + " -o " + q(dir.file("c.bmp")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_GT(countColour(load(dir.file("c.bmp")), RGB(0, 255, 0)), 100);
}

TEST(CliObject, BadOptionsAndRefusedObjects) {
    TempDir dir;
    const std::string out = q(dir.file("x.lyr"));
    EXPECT_EQ(cli("object " + q(kSample) + " --text A --shape ellipse -o " + out).code, 2);
    EXPECT_EQ(cli("object " + q(kSample) + " --shape star -o " + out).code, 2);
    EXPECT_EQ(cli("object " + q(kSample) + " --text A --colour red -o " + out).code, 2);
    EXPECT_EQ(cli("object " + q(kSample) + " --text A --size 99 -o " + out).code, 2);
    // Beyond what a project stores (it would be cut on reading).
    EXPECT_EQ(cli("object " + q(kSample) + " --shape ellipse --at -50000,0 -o " + out).code, 2);
    EXPECT_EQ(cli("object " + q(kSample) + " --shape ellipse --box 40000,10 -o " + out).code, 2);
    // A font name is limited by its stored bytes (two a kana), not its UTF-8.
    std::string kana15;
    for (int i = 0; i < 15; ++i) kana15 += "あ";
    EXPECT_EQ(cli("object " + q(kSample) + " --text A --font " + q(kana15 + "あ") + " -o " + out).code, 2);
    EXPECT_EQ(cli("object " + q(kSample) + " --text A --font " + q(kana15) + " -o " + out).code, 0);
    // A line without a width: the shape dialog's own message.
    CliRun r = cli("object " + q(kSample) + " --shape rising --line-width 0 -o " + out);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("直線の太さは１以上を指定してください。"), std::string::npos) << r.out;
    r = cli("object " + q(kSample) + " --clipart " + q(dir.file("none.png")) + " -o " + out);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("ｸﾘｯﾌﾟﾌｧｲﾙの読み込みに失敗しました"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(dir.file("none.png") + ":"), std::string::npos) << "the clip art is named: " << r.out;
}
