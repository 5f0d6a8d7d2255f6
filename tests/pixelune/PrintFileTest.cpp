// Drawing a picture onto a target at a chosen size: onto an image (exact
// pixels) and onto a PDF page read back by poppler.
#include "pixelune/pixelune.h"
#include "platform/GuiRuntime.h"
#include "platform/Surface.h"
#include "support/TempDir.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using plastora::Surface;

// 3 x 2: red, green, blue over white, black, grey.
Surface sixColours() {
    Surface s;
    s.create(3, 2);
    const plastora::Pixel top[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    const plastora::Pixel bottom[] = {0xFFFFFFFF, 0xFF000000, 0xFF808080};
    for (int x = 0; x < 3; ++x) s.set(x, 0, top[x]), s.set(x, 1, bottom[x]);
    return s;
}

TEST(PrintFile, StretchesEachPixelToItsBlockAndLeavesTheRest) {
    const Surface s = sixColours();
    QImage target(10, 8, QImage::Format_RGB32);
    target.fill(0xFF123456);
    {
        QPainter p(&target);
        RatserPrintFile(&p, &s, 3, 2, 6, 4, 2, 3);  // every pixel 2 x 2 at (2, 3)
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 8 && y >= 3 && y < 7;
            const QRgb want = inside ? s.at((x - 2) / 2, (y - 3) / 2) : 0xFF123456;
            EXPECT_EQ(target.pixel(x, y), want) << x << "," << y;
        }
}

TEST(PrintFile, BlockBeyondThePictureIsBlackAndBadSizesDrawNothing) {
    const Surface s = sixColours();
    QImage target(4, 3, QImage::Format_RGB32);
    target.fill(0xFFFFFFFF);
    {
        QPainter p(&target);
        RatserPrintFile(&p, &s, 4, 3, 4, 3, 0, 0);  // one column and one row more than the picture
        RatserPrintFile(&p, &s, 3, 2, 0, 3, 0, 0);
        RatserPrintFile(&p, &s, 3, 2, 3, -1, 0, 0);
        RatserPrintFile(&p, nullptr, 3, 2, 3, 2, 0, 0);
        RatserPrintFile(nullptr, &s, 3, 2, 3, 2, 0, 0);
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.pixel(x, y), x < 3 && y < 2 ? s.at(x, y) : 0xFF000000u) << x << "," << y;
}

TEST(PrintFile, PrintsOntoAPdfPage) {
    plastora::ensureGuiRuntime();
    plastora::test::TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    const Surface s = sixColours();
    {
        QPdfWriter writer(QString::fromStdString(pdf));
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        RatserPrintFile(&p, &s, 3, 2, 300, 200, 100, 150);  // 100 points a pixel
    }
    const std::string png = dir.file("page");
    ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + png + "'").c_str()), 0)
        << "pdftoppm (poppler-utils) must be installed";
    const QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    // The centre of every 100 x 100 block has its pixel's colour; around the
    // picture the paper stays white.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(page.pixel(150 + 100 * x, 200 + 100 * y), s.at(x, y)) << x << "," << y;
    EXPECT_EQ(page.pixel(50, 50), 0xFFFFFFFFu);
    EXPECT_EQ(page.pixel(450, 300), 0xFFFFFFFFu);
}

}  // namespace
