// adjust and rotate from the command line on the sample project: the saved
// edit image and masks checked against the sample's own files, rotated by
// QImage.
#include "output/Adjust.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <QImage>
#include <QTransform>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kSample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee";

// True when the picture file's pixels equal the QImage's (as RGB).
::testing::AssertionResult sameAsImage(const Surface& s, const QImage& expected) {
    if (s.width() != expected.width() || s.height() != expected.height())
        return ::testing::AssertionFailure() << "size " << s.width() << " x " << s.height();
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if ((s.at(x, y) & 0xFFFFFFu) != (expected.pixel(x, y) & 0xFFFFFFu))
                return ::testing::AssertionFailure() << "differs at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(CliAdjust, AdjustWritesTheAdjustedEditImage) {
    TempDir dir;
    const CliRun r = cli("adjust " + q(kSample + ".lyr") + " --brightness 20 --contrast -30 -o " + q(dir.file("p2.lyr")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("707 x 478"), std::string::npos) << r.out;
    Surface expected;
    ASSERT_TRUE(AdjustSurface(load(kSample + ".bmp"), expected, 20, -30));
    EXPECT_TRUE(samePixels(load(dir.file("p2.bmp")), expected));
    // The cut-outs are untouched.
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("p2.m01"))).convertToFormat(QImage::Format_RGB32),
              QImage(QString::fromStdString(kSample + ".m01")).convertToFormat(QImage::Format_RGB32));

    EXPECT_EQ(cli("adjust " + q(kSample + ".lyr") + " --brightness 51 -o " + q(dir.file("x.lyr"))).code, 2);
    EXPECT_EQ(cli("adjust " + q(kSample + ".lyr") + " --contrast 5").code, 2);
    EXPECT_EQ(cli("adjust " + q(dir.file("missing.lyr")) + " -o " + q(dir.file("y.lyr"))).code, 1);
}

TEST(CliAdjust, RotateTurnsPictureAndMasksAQuarterLeft) {
    TempDir dir;
    const CliRun r = cli("rotate " + q(kSample + ".lyr") + " -o " + q(dir.file("r.lyr")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("478 x 707"), std::string::npos) << r.out;
    const QTransform quarterLeft = QTransform().rotate(-90);
    EXPECT_TRUE(sameAsImage(load(dir.file("r.bmp")), QImage(QString::fromStdString(kSample + ".bmp")).transformed(quarterLeft)));
    for (const char* ext : {".msk", ".m01"}) {
        const QImage mask = QImage(QString::fromStdString(dir.file(std::string("r") + ext)));
        const QImage expected = QImage(QString::fromStdString(kSample + ext)).convertToFormat(QImage::Format_RGB32).transformed(quarterLeft);
        EXPECT_EQ(mask.convertToFormat(QImage::Format_RGB32), expected) << ext;
    }
    EXPECT_EQ(cli("rotate " + q(kSample + ".lyr")).code, 2);
    EXPECT_EQ(cli("rotate " + q(kSample + ".lyr") + " --turns 2 -o " + q(dir.file("z.lyr"))).code, 2);
}
