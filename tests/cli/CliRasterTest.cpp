// The raster command against independent readers and writers: Pillow reads
// what we write, and we read what ImageMagick writes, to the same pixels.
#include "core/StillImage.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

int run(const std::string& cmd) { return std::system((cmd + " > /dev/null 2>&1").c_str()); }
std::string q(const std::string& s) { return "'" + s + "'"; }
const std::string kCli = PLASTORA_CLI;
const char* kPython = "/usr/bin/python3";
const char* kConvert = "/usr/bin/convert";

bool havePillow() { return run(std::string(kPython) + " -c 'import PIL'") == 0; }

// Pillow's reading of a picture as "r g b" lines, top row first.
std::vector<Pixel> pillowPixels(const std::string& path) {
    const std::string out = path + ".txt";
    const std::string script = "from PIL import Image\nim = Image.open('" + path + "').convert('RGB')\n"
                               "open('" + out + "', 'w').write('\\n'.join('%d %d %d' % p for p in im.getdata()))\n";
    std::ofstream(path + ".py") << script;
    EXPECT_EQ(run(std::string(kPython) + " " + q(path + ".py")), 0);
    std::ifstream in(out);
    std::vector<Pixel> px;
    unsigned r, g, b;
    while (in >> r >> g >> b) px.push_back(pixelFromColorRef(RGB(r, g, b)));
    return px;
}

std::vector<Pixel> pixelsOf(const Surface& s) {
    std::vector<Pixel> px;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) px.push_back(s.at(x, y));
    return px;
}

}  // namespace

TEST(CliRaster, PngWeWriteReadsBackInPillowUnchanged) {
    if (!havePillow()) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    SilentHost host;
    const Surface picture = gradientPicture(37, 11);
    ASSERT_EQ(SaveStillImage(host, picture, 37, 11, dir.file("in.bmp"), 80), 1);
    ASSERT_EQ(run(q(kCli) + " raster " + q(dir.file("in.bmp")) + " -o " + q(dir.file("out.png"))), 0);
    EXPECT_EQ(pillowPixels(dir.file("out.png")), pixelsOf(picture));
    // And back through the tool to BMP, unchanged.
    ASSERT_EQ(run(q(kCli) + " raster " + q(dir.file("out.png")) + " -o " + q(dir.file("back.bmp"))), 0);
    Surface back;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, dir.file("back.bmp"), std::nullopt, back, w, h), 1);
    EXPECT_TRUE(samePixels(back, picture));
}

TEST(CliRaster, AMetafileWrittenAsGifKeepsItsColours) {
    // The help's own example: a rendered metafile had no palette to be
    // mapped onto, and every pixel came out black.
    if (!havePillow()) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    const std::string wmf = std::string(PLASTORA_SOURCE_DIR) + "/data/auto_data/body_data_default.wmf";
    ASSERT_EQ(run(q(kCli) + " raster " + q(wmf) + " -o " + q(dir.file("clip.gif")) + " --reduce"), 0);
    ASSERT_EQ(run(q(kCli) + " raster " + q(wmf) + " -o " + q(dir.file("clip.png"))), 0);
    EXPECT_EQ(pillowPixels(dir.file("clip.gif")), pillowPixels(dir.file("clip.png")));
}

TEST(CliRaster, GifsFromImageMagickDecodeToTheSamePixels) {
    if (!havePillow() || run(std::string(kConvert) + " -version") != 0) GTEST_SKIP() << "ImageMagick or Pillow missing";
    TempDir dir;
    // A picture of few colours, so the GIF holds it exactly; interlaced too.
    for (const char* extra : {"", "-interlace GIF"}) {
        const std::string gif = dir.file(std::string("im") + (*extra ? "_i" : "") + ".gif");
        ASSERT_EQ(run(std::string(kConvert) + " -size 41x17 plasma:red-blue -colors 29 " + extra + " " + q(gif)), 0);
        // Our decoding, written losslessly as PNG, against Pillow's decoding.
        ASSERT_EQ(run(q(kCli) + " raster " + q(gif) + " -o " + q(gif + ".png")), 0);
        const auto theirs = pillowPixels(gif);
        EXPECT_EQ(theirs.size(), 41u * 17u);
        EXPECT_EQ(pillowPixels(gif + ".png"), theirs) << extra;
    }
}

TEST(CliRaster, FailuresAndUsage) {
    TempDir dir;
    EXPECT_EQ(WEXITSTATUS(run(q(kCli) + " raster /no/such.png -o " + q(dir.file("x.bmp")))), 1);
    EXPECT_EQ(WEXITSTATUS(run(q(kCli) + " raster a.png")), 2);
    EXPECT_EQ(WEXITSTATUS(run(q(kCli) + " raster a.png -o b.gif --transparent 3")), 2);
}
