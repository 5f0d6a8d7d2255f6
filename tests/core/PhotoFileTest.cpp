// Photos by content: PNG/TIFF/WebP through Qt's readers, Exif orientation,
// CMYK/YCCK JPEGs, JPEGs that end early; and pictures written with their
// print resolution, checked with exiftool.
#include "core/DepthMapFile.h"
#include "core/PhotoFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/WorkingSize.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include <jpeglib.h>

using namespace plastora;
using namespace plastora::test;

namespace {

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A picture whose four quadrants have different flat colours: any mirror or
// turn moves them somewhere else.
Surface quadrants(int w, int h) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.set(x, y, x < w / 2 ? (y < h / 2 ? 0xFF0000u : 0x00FF00u) : (y < h / 2 ? 0x0000FFu : 0xFFFF00u));
    return s;
}

bool near(Pixel a, Pixel b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// Writes a w x h JPEG of `components` samples a pixel in `space`, row by
// row: `setUp` adjusts the compressor after its defaults, `fill` makes row y.
void writeJpeg(const std::string& path, int w, int h, int components, J_COLOR_SPACE space,
               const std::function<void(jpeg_compress_struct&)>& setUp,
               const std::function<void(int, std::uint8_t*)>& fill) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    setUp(c);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * static_cast<std::size_t>(components));
    while (c.next_scanline < c.image_height) {
        fill(static_cast<int>(c.next_scanline), row.data());
        JSAMPROW r[1] = {row.data()};
        jpeg_write_scanlines(&c, r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

// A 4-component JPEG of one flat colour, as CMYK or YCCK, the samples stored
// as given (Adobe applications store them inverted).
void writeCmykJpeg(const std::string& path, J_COLOR_SPACE space, const std::uint8_t cmyk[4], int w, int h) {
    writeJpeg(
        path, w, h, 4, JCS_CMYK,
        [space](jpeg_compress_struct& c) {
            jpeg_set_colorspace(&c, space);  // writes the Adobe marker
            jpeg_set_quality(&c, 100, TRUE);
        },
        [&](int, std::uint8_t* row) {
            for (int x = 0; x < w; ++x) std::copy(cmyk, cmyk + 4, row + 4 * x);
        });
}

// What a shell command prints on stdout.
std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::string q(const std::string& s) { return "'" + s + "'"; }

}  // namespace

TEST(PhotoFile, FormatIsTakenFromTheContentNotTheName) {
    TempDir dir;
    const Surface src = quadrants(40, 30);
    QImage image = const_cast<Surface&>(src).image().copy();
    // Misleading names: the first bytes decide.
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("png.jpg")), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("tiff.bmp")), "TIFF"));
    QImageWriter webp(QString::fromStdString(dir.file("webp.png")), "WEBP");
    webp.setQuality(100);  // lossless
    ASSERT_TRUE(webp.write(image));
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, src, 40, 30, dir.file("jpeg.jpg"), 100), 1);
    std::filesystem::rename(dir.file("jpeg.jpg"), dir.file("jpeg.png"));
    ASSERT_EQ(SaveStillImage(host, src, 40, 30, dir.file("bmp.tif"), 100), 1);
    ASSERT_EQ(SaveStillImage(host, src, 40, 30, dir.file("real.png"), 100), 1);

    const struct {
        const char* name;
        PhotoFormat format;
        int tolerance;
    } cases[] = {{"png.jpg", PhotoFormat::Png, 0},  {"tiff.bmp", PhotoFormat::Tiff, 0},
                 {"webp.png", PhotoFormat::WebP, 0}, {"jpeg.png", PhotoFormat::Jpeg, 8},
                 {"bmp.tif", PhotoFormat::Bmp, 0},   {"real.png", PhotoFormat::Png, 0}};
    for (const auto& c : cases) {
        Surface out;
        int w = 0, h = 0;
        PhotoLoadNotes notes;
        ASSERT_EQ(LoadPhoto(host, dir.file(c.name), out, w, h, &notes), 1) << c.name;
        EXPECT_EQ(notes.format, c.format) << c.name;
        ASSERT_EQ(w, 40);
        ASSERT_EQ(h, 30);
        int wrong = 0;
        // Away from the quadrant borders, where JPEG blurs.
        for (int y : {3, 26})
            for (int x : {3, 36}) wrong += !near(out.at(x, y), src.at(x, y), c.tolerance);
        EXPECT_EQ(wrong, 0) << c.name;
    }

    writeBytes(dir.file("text.jpg"), {'h', 'e', 'l', 'l', 'o'});
    writeBytes(dir.file("empty.png"), {});
    for (const char* name : {"text.jpg", "empty.png", "missing.png"}) {
        Surface out;
        int w = 7, h = 7;
        EXPECT_EQ(LoadPhoto(host, dir.file(name), out, w, h), 0) << name;
        EXPECT_EQ(w, 7) << "left unchanged";
    }
    EXPECT_TRUE(host.lastMessage.empty()) << "a refused file shows nothing itself";
}

TEST(PhotoFile, DeepGreyAndTransparentPngsBecomeEightBitRgbOverWhite) {
    TempDir dir;
    QImage grey16(8, 4, QImage::Format_Grayscale16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = static_cast<quint16>(x * 8192);
    ASSERT_TRUE(grey16.save(QString::fromStdString(dir.file("grey16.png")), "PNG"));
    QImage rgba64(2, 1, QImage::Format_RGBA64);
    rgba64.setPixelColor(0, 0, QColor::fromRgba64(65535, 0, 0, 65535));      // opaque red
    rgba64.setPixelColor(1, 0, QColor::fromRgba64(0, 0, 65535, 0));          // fully transparent
    ASSERT_TRUE(rgba64.save(QString::fromStdString(dir.file("rgba64.png")), "PNG"));
    QImage half(1, 1, QImage::Format_ARGB32);
    half.setPixel(0, 0, qRgba(0, 0, 0, 128));  // black at half cover over white
    ASSERT_TRUE(half.save(QString::fromStdString(dir.file("half.png")), "PNG"));

    SilentHost host;
    Surface out;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(host, dir.file("grey16.png"), out, w, h), 1);
    for (int x = 0; x < 8; ++x) {
        const unsigned v = static_cast<unsigned>(x * 8192) >> 8;
        EXPECT_TRUE(near(out.at(x, 2), 0xFF000000u | v << 16 | v << 8 | v, 1)) << x << ": " << std::hex << out.at(x, 2);
    }
    ASSERT_EQ(LoadPhoto(host, dir.file("rgba64.png"), out, w, h), 1);
    EXPECT_EQ(out.at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(out.at(1, 0), 0xFFFFFFFFu) << "transparent is white";
    ASSERT_EQ(LoadPhoto(host, dir.file("half.png"), out, w, h), 1);
    EXPECT_TRUE(near(out.at(0, 0), 0xFF7F7F7Fu, 1)) << std::hex << out.at(0, 0);
}

// Photos in a folder whose name is not UTF-8 (copied from an old disk in
// Shift-JIS) open in every format Qt reads, with their size and orientation
// from the headers (GIF goes through the same reader): the name went
// through a QString and named nothing.
TEST(PhotoFile, APhotoInAFolderNamedInAnotherEncodingOpens) {
    TempDir dir;
    const std::string folder = dir.file("\x8e\xca\x90\x5e");  // Shift-JIS for "photo"
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    QImage picture(12, 8, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 10));
    for (const char* format : {"png", "tiff", "webp"}) {
        const std::string path = folder + "/photo." + format;
        ASSERT_TRUE(picture.save(QString::fromStdString(dir.file(std::string("p.") + format)), format)) << format;
        std::filesystem::rename(dir.file(std::string("p.") + format), path);
        SilentHost host;
        Surface out;
        int w = 0, h = 0;
        EXPECT_EQ(LoadPhoto(host, path, out, w, h), 1) << format;
        EXPECT_EQ(w, 12) << format;
        w = h = 0;
        EXPECT_EQ(PhotoSize(host, path, w, h), 1) << format;
        EXPECT_EQ(h, 8) << format;
    }
}

// A PNG photo that needs more than Qt's default 128 MB once decoded (5800 x
// 5800 in colour: 135 MB) opens like any other, and so does a depth map as
// large (the photo's test leaves the limit raised, so the map goes first).
TEST(PhotoFile, PngsPastQtsDefaultAllocationLimitOpen) {
    TempDir dir;
    QImage big(5800, 5800, QImage::Format_RGB32);
    big.fill(qRgb(10, 200, 30));
    big.setPixel(5799, 5799, qRgb(250, 0, 0));
    ASSERT_TRUE(big.save(QString::fromStdString(dir.file("big.png")), "PNG"));
    big = QImage();
    Surface map;
    ASSERT_TRUE(readDepthMapImage(dir.file("big.png"), map));
    EXPECT_EQ(map.width(), 5800);
    map.reset();
    SilentHost host;
    Surface out;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(host, dir.file("big.png"), out, w, h), 1);
    EXPECT_EQ(w, 5800);
    EXPECT_EQ(out.at(0, 0), 0xFF0AC81Eu);
    EXPECT_EQ(out.at(5799, 5799), 0xFFFA0000u);
}

TEST(PhotoFile, ExifOrientationTurnsThePictureAsQtDoes) {
    TempDir dir;
    const Surface src = quadrants(48, 32);
    SilentHost host;
    for (int o = 1; o <= 8; ++o) {
        const std::string path = dir.file("o" + std::to_string(o) + ".jpg");
        writeOrientedJpeg(path, src, o);
        Surface out;
        int w = 0, h = 0;
        PhotoLoadNotes notes;
        ASSERT_EQ(LoadPhoto(host, path, out, w, h, &notes), 1) << o;
        EXPECT_EQ(notes.orientation, o);
        // The independent result: Qt's reader applying the same tag.
        QImageReader reader(QString::fromStdString(path));
        reader.setAutoTransform(true);
        const QImage expected = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(w, expected.width()) << o;
        ASSERT_EQ(h, expected.height()) << o;
        EXPECT_EQ(w, o >= 5 ? 32 : 48) << o;
        int wrong = 0;
        for (int y = 2; y < h; y += 4)
            for (int x = 2; x < w; x += 4)
                wrong += !near(out.at(x, y), expected.pixel(x, y), 12);
        EXPECT_EQ(wrong, 0) << "orientation " << o;
    }
}

// A photo decoded reduced and then turned by its orientation has the part-
// filled last block of a flipped side first: resampled with the phase the
// decoder reports, it lands in place (a checkerboard of 16-pixel squares
// shows any shift at every edge).
TEST(PhotoFile, AReducedPhotoTurnedByItsOrientationLandsInPlace) {
    TempDir dir;
    constexpr int w = 1203, h = 803;  // 3 pixels over a block of 8 each way
    Surface board;
    ASSERT_TRUE(board.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) board.set(x, y, ((x / 16 + y / 16) % 2) ? 0xFFFFFFu : 0x000000u);
    Surface turned;  // the board a half turn round, stored so with tag 3
    ASSERT_TRUE(turned.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) turned.set(x, y, board.at(w - 1 - x, h - 1 - y));
    writeOrientedJpeg(dir.file("upright.jpg"), board, 1);
    writeOrientedJpeg(dir.file("tagged.jpg"), turned, 3);
    SilentHost host;
    const Rect all{0, 0, w, h};
    constexpr int W = 150, H = 100;
    Surface shown[2];
    int i = 0;
    for (const char* name : {"upright.jpg", "tagged.jpg"}) {
        Surface reduced;
        PhotoLoadNotes notes;
        int pw = 0, ph = 0;
        ASSERT_EQ(LoadPhotoReduced(host, dir.file(name), 8, reduced, pw, ph, &notes), 1);
        ASSERT_EQ(notes.scale, 8);
        EXPECT_EQ(notes.phase, (i == 0 ? Point{0, 0} : Point{5, 5})) << name;
        ASSERT_TRUE(resampleReducedThrough(shown[i], W, H, reduced, notes.scale, all, {0, 0, W, H}, kWhite, notes.phase));
        ++i;
    }
    // Against the board resampled whole: the upright photo is exact; the
    // turned one's blocks straddle the squares' edges, which blurs them, but
    // read without the phase every edge is also shifted 5 pixels, which
    // doubles the error.
    Surface truth;
    ASSERT_TRUE(resampleThrough(truth, W, H, board, all, {0, 0, W, H}, kWhite));
    const auto error = [&](const Surface& s) {
        long total = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                total += std::abs(static_cast<int>(s.at(x, y) & 0xFF) - static_cast<int>(truth.at(x, y) & 0xFF));
        return total / (W * H);
    };
    Surface reduced, unphased;
    PhotoLoadNotes notes;
    int pw = 0, ph = 0;
    ASSERT_EQ(LoadPhotoReduced(host, dir.file("tagged.jpg"), 8, reduced, pw, ph, &notes), 1);
    ASSERT_TRUE(resampleReducedThrough(unphased, W, H, reduced, notes.scale, all, {0, 0, W, H}, kWhite));
    EXPECT_LE(error(shown[0]), 4);
    EXPECT_LT(error(shown[1]) * 3, error(unphased) * 2) << error(shown[1]) << " against " << error(unphased);
}

// A depth map is turned by its orientation as the photo is, so that a map and
// a photo tagged alike stay on the same pixels.
TEST(PhotoFile, ADepthMapIsTurnedByItsOrientationToo) {
    TempDir dir;
    const Surface src = quadrants(48, 32);
    Surface upright;
    writeOrientedJpeg(dir.file("m1.jpg"), src, 1);
    ASSERT_TRUE(readDepthMapImage(dir.file("m1.jpg"), upright));
    for (const int o : {6, 8}) {
        const std::string path = dir.file("m" + std::to_string(o) + ".jpg");
        writeOrientedJpeg(path, src, o);
        Surface map;
        ASSERT_TRUE(readDepthMapImage(path, map));
        ASSERT_EQ(map.width(), 32);
        ASSERT_EQ(map.height(), 48);
        // Quadrant by quadrant, the stored map turned a quarter: clockwise
        // for 6, anticlockwise for 8.
        for (const auto& [x, y] : {std::pair{8, 8}, std::pair{24, 8}, std::pair{8, 40}, std::pair{24, 40}}) {
            const Pixel want = o == 6 ? upright.at(y, 31 - x) : upright.at(47 - y, x);
            EXPECT_NEAR(static_cast<int>(map.at(x, y) & 0xFF), static_cast<int>(want & 0xFF), 6)
                << o << " at " << x << "," << y;
        }
    }
}

TEST(PhotoFile, OrientationOfAPictureInsideALargerFile) {
    // A picture of a multi-picture file starts at an offset: its segments are
    // walked from there.
    TempDir dir;
    const std::string path = dir.file("second.jpg");
    writeOrientedJpeg(path, quadrants(16, 8), 8);
    std::vector<std::uint8_t> bytes = readBytes(path);
    bytes.insert(bytes.begin(), 37, 0xAB);
    writeBytes(path, bytes);
    EXPECT_EQ(JpegExifOrientationAt(path, 37), 8);
    EXPECT_EQ(JpegExifOrientationAt(path, 0), 1) << "no picture starts there";
    EXPECT_EQ(JpegExifOrientationAt(path, 1 << 30), 1) << "beyond the end";
    EXPECT_EQ(JpegExifOrientationAt(dir.file("none.jpg"), 0), 1);
    // A segment length running past the data ends the walk.
    bytes[37 + 4] = 0xFF;
    writeBytes(path, bytes);
    EXPECT_EQ(JpegExifOrientationAt(path, 37), 1);
}

TEST(PhotoFile, TheProgramOpensEveryFormatTheRightWayUp) {
    TempDir dir;
    // Landscape: red on the left half, blue on the right.
    Surface src;
    src.create(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) src.set(x, y, x < 24 ? 0xFF0000u : 0x0000FFu);
    QImage image = src.image().copy();
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("p.png")), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("p.tif")), "TIFF"));
    QImageWriter webp(QString::fromStdString(dir.file("p.webp")), "WEBP");
    webp.setQuality(100);
    ASSERT_TRUE(webp.write(image));
    writeOrientedJpeg(dir.file("upright.jpg"), src, 6);  // held upright: shown portrait, red on top
    const auto red = [](Pixel p) { return ((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 60; };
    const auto blue = [](Pixel p) { return (p & 0xFF) > 200 && ((p >> 16) & 0xFF) < 60; };
    for (const char* name : {"p.png", "p.tif", "p.webp", "upright.jpg"}) {
        ScriptedHost host;
        CStereoWorkspace ws(host, dir.file("none.ini"));
        ASSERT_EQ(ws.Open(dir.file(name)), 1) << name;
        const Surface& s = ws.source();
        const int w = s.width(), h = s.height();
        if (std::string(name) == "upright.jpg") {
            EXPECT_LT(w, h) << name;
            EXPECT_TRUE(red(s.at(w / 2, h / 8))) << name;
            EXPECT_TRUE(blue(s.at(w / 2, h - 1 - h / 8))) << name;
        } else {
            EXPECT_GT(w, h) << name;
            EXPECT_TRUE(red(s.at(w / 8, h / 2))) << name;
            EXPECT_TRUE(blue(s.at(w - 1 - w / 8, h / 2))) << name;
        }
    }
}

TEST(PhotoFile, ExifOrientationReaderStaysInsideItsData) {
    const std::vector<std::uint8_t> le = exifSegment(6, false), be = exifSegment(8, true);
    EXPECT_EQ(ExifOrientationOf(le.data() + 4, le.size() - 4), 6);
    EXPECT_EQ(ExifOrientationOf(be.data() + 4, be.size() - 4), 8);
    // Cut anywhere inside the entry: not read, "as taken".
    for (std::size_t cut = 0; cut < le.size() - 4 - 4; ++cut)
        EXPECT_EQ(ExifOrientationOf(le.data() + 4, cut), 1) << cut;
    std::vector<std::uint8_t> bad = le;
    bad[4 + 6 + 4] = 0xF0;  // IFD0 offset far beyond the block
    EXPECT_EQ(ExifOrientationOf(bad.data() + 4, bad.size() - 4), 1);
    bad = le;
    bad[bad.size() - 8] = 9;  // no such orientation
    EXPECT_EQ(ExifOrientationOf(bad.data() + 4, bad.size() - 4), 1);
}

TEST(PhotoFile, CmykAndYcckJpegsAreConvertedToRgb) {
    TempDir dir;
    SilentHost host;
    // Stored inverted, as Adobe applications do: 255 = no ink.
    const std::uint8_t cyan[4] = {0, 255, 255, 255};         // full cyan
    const std::uint8_t halfBlack[4] = {255, 255, 255, 128};  // half black
    const struct {
        J_COLOR_SPACE space;
        const std::uint8_t* cmyk;
        Pixel rgb;
    } cases[] = {{JCS_CMYK, cyan, 0xFF00FFFFu},
                 {JCS_YCCK, cyan, 0xFF00FFFFu},
                 {JCS_CMYK, halfBlack, 0xFF808080u},
                 {JCS_YCCK, halfBlack, 0xFF808080u}};
    int i = 0;
    for (const auto& c : cases) {
        const std::string path = dir.file("cmyk" + std::to_string(i++) + ".jpg");
        writeCmykJpeg(path, c.space, c.cmyk, 24, 16);
        Surface out;
        int w = 0, h = 0;
        PhotoLoadNotes notes;
        ASSERT_EQ(LoadPhoto(host, path, out, w, h, &notes), 1) << path;
        EXPECT_TRUE(notes.cmyk);
        EXPECT_TRUE(near(out.at(12, 8), c.rgb, 4)) << path << ": " << std::hex << out.at(12, 8);
    }
}

TEST(PhotoFile, JpegThatEndsEarlyOpensWithItsTopAndSaysHowMuchIsMissing) {
    TempDir dir;
    Surface src;
    src.create(64, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 64; ++x) src.set(x, y, static_cast<Pixel>((x * 4) << 16 | y << 8 | 0x40));
    SilentHost silent;
    const std::string whole = dir.file("whole.jpg");
    ASSERT_EQ(SaveStillImage(silent, src, 64, 256, whole, 90), 1);
    Surface full;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(silent, whole, full, w, h), 1);

    std::vector<std::uint8_t> bytes = readBytes(whole);
    bytes.resize(bytes.size() / 2);
    const std::string cut = dir.file("cut.jpg");
    writeBytes(cut, bytes);
    // The exact rows depend on where the data ends; the message must say
    // exactly what the notes say.
    PhotoLoadNotes probe;
    Surface out;
    ASSERT_EQ(LoadPhoto(silent, cut, out, w, h, &probe), 1);
    ASSERT_TRUE(probe.truncated);
    EXPECT_GT(probe.missingRows, 16);
    EXPECT_LT(probe.missingRows, 256 - 16);
    ScriptedHost host;
    host.expectMessage(truncatedPhotoMessage(probe.missingRows, 256), MsgResult::Ok, MsgButtons::Ok, MsgIcon::Warning);
    ASSERT_EQ(LoadPhoto(host, cut, out, w, h), 1);
    EXPECT_EQ(h, 256);
    const int good = 256 - probe.missingRows;
    for (int y = 0; y < good; y += 5) EXPECT_EQ(out.at(20, y), full.at(20, y)) << "row " << y << " as in the whole file";
    for (int y = good; y < 256; y += 5) EXPECT_EQ(out.at(20, y), 0xFF808080u) << "row " << y << " missing: grey";
    EXPECT_EQ(truncatedPhotoMessage(100, 256),
              "画像ファイルが途中で終わっています。\n画像の下側100行（全256行の40%）が読み込めなかったため、灰色で表示されます。");

    // Headers only: nothing to show, refused without a message.
    bytes = readBytes(whole);
    std::size_t sos = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
            sos = i;
            break;
        }
    ASSERT_GT(sos, 0u);
    bytes.resize(sos + 20);
    writeBytes(cut, bytes);
    w = h = 0;
    EXPECT_EQ(LoadPhoto(silent, cut, out, w, h), 0);
    EXPECT_EQ(w, 0);

    // The cut file claiming 20000 x 20000: its bytes cannot hold one bit
    // per block of such a picture, so it is refused before the 1.6 GB
    // picture is made and seconds spent decoding nothing.
    bytes = readBytes(whole);
    bytes.resize(bytes.size() / 2);
    for (std::size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = bytes[i + 7] = 20000 >> 8;
            bytes[i + 6] = bytes[i + 8] = 20000 & 0xFF;
            break;
        }
    writeBytes(cut, bytes);
    int large = 0;
    Surface::setAllocationHook([&](int aw, int ah) { large += aw * std::int64_t{ah} > 1000000; return true; });
    EXPECT_EQ(LoadPhoto(silent, cut, out, w, h), 0);
    // Only coded data counts: comments before the scan do not buy the
    // picture (400 KB of them bought 1.6 GB).
    std::vector<std::uint8_t> commented(bytes.begin(), bytes.begin() + 2);
    for (int k = 0; k < 7; ++k) {
        const std::uint8_t com[4] = {0xFF, 0xFE, 0xFF, 0xFF};
        commented.insert(commented.end(), com, com + 4);
        commented.resize(commented.size() + 65533, 0);
    }
    commented.insert(commented.end(), bytes.begin() + 2, bytes.end());
    writeBytes(cut, commented);
    EXPECT_EQ(LoadPhoto(silent, cut, out, w, h), 0);
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(large, 0);
}

TEST(StillImageResolution, SavedPicturesCarryThePrintResolutionForExiftool) {
    TempDir dir;
    SilentHost host;
    const Surface src = quadrants(30, 20);
    for (const char* name : {"r.jpg", "r.png", "r.bmp", "r.PNG"})
        ASSERT_EQ(SaveStillImage(host, src, 30, 20, dir.file(name), 90, 240.0), 1) << name;
    const std::string exif = "exiftool -s -s -s -n ";
    EXPECT_EQ(run(exif + "-ResolutionUnit -XResolution -YResolution " + q(dir.file("r.jpg"))), "1\n240\n240\n");
    // PNG and BMP keep pixels per metre: 240 dpi = 9449 per metre.
    EXPECT_EQ(run(exif + "-PixelsPerUnitX -PixelsPerUnitY -PixelUnits " + q(dir.file("r.png"))), "9449\n9449\n1\n");
    EXPECT_EQ(run(exif + "-PixelsPerMeterX -PixelsPerMeterY " + q(dir.file("r.bmp"))), "9449\n9449\n");
    EXPECT_EQ(run("exiftool -s -s -s -FileType " + q(dir.file("r.PNG"))), "PNG\n") << "the extension in any case";
    // Without a resolution nothing changes from the plain writer.
    ASSERT_EQ(SaveStillImage(host, src, 30, 20, dir.file("plain.bmp"), 90), 1);
    EXPECT_EQ(run(exif + "-PixelsPerMeterX " + q(dir.file("plain.bmp"))), "0\n");
    Surface back;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(host, dir.file("r.png"), back, w, h), 1);
    EXPECT_EQ(back.at(2, 2), src.at(2, 2));
    EXPECT_EQ(back.at(27, 17), src.at(27, 17));
}

// The size from the headers alone is the size of the picture LoadPhoto makes,
// for every format and every Exif orientation; a file that is no picture has
// none, and a JPEG cut off after its headers still has its frame's size.
TEST(PhotoFile, SizeFromTheHeadersIsTheSizeOfThePictureLoaded) {
    TempDir dir;
    Surface src;
    src.create(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) src.set(x, y, static_cast<Pixel>(x * 5 + y * 7));
    const QImage image = src.image().copy();
    std::vector<std::string> names;
    for (const char* format : {"png", "tif", "webp", "bmp"}) {
        names.push_back(dir.file(std::string("p.") + format));
        ASSERT_TRUE(image.save(QString::fromStdString(names.back())));
    }
    for (int orientation = 1; orientation <= 8; ++orientation) {
        names.push_back(dir.file("o" + std::to_string(orientation) + ".jpg"));
        writeOrientedJpeg(names.back(), src, orientation);
    }
    ScriptedHost host;
    for (const std::string& name : names) {
        Surface loaded;
        int lw = 0, lh = 0, w = 0, h = 0;
        ASSERT_EQ(LoadPhoto(host, name, loaded, lw, lh), 1) << name;
        ASSERT_EQ(PhotoSize(host, name, w, h), 1) << name;
        EXPECT_EQ(w, lw) << name;
        EXPECT_EQ(h, lh) << name;
    }
    std::ofstream(dir.file("text.jpg")) << "not a picture";
    int w = 0, h = 0;
    EXPECT_EQ(PhotoSize(host, dir.file("text.jpg"), w, h), 0);
    EXPECT_EQ(PhotoSize(host, dir.file("missing.jpg"), w, h), 0);
    std::ifstream in(dir.file("o6.jpg"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t scan = bytes.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    std::ofstream(dir.file("cut.jpg"), std::ios::binary) << bytes.substr(0, scan + 20);
    ASSERT_EQ(PhotoSize(host, dir.file("cut.jpg"), w, h), 1);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 48);
}

namespace {

// A flat picture in Adobe RGB (1998) and the same colour in sRGB worked out
// by hand: Adobe RGB's gamma (563/256) and primaries to XYZ, then to linear
// sRGB and through the sRGB curve (both white points are D65).
Pixel adobeToSrgbByHand(int r, int g, int b) {
    const double in[3] = {std::pow(r / 255.0, 563.0 / 256), std::pow(g / 255.0, 563.0 / 256),
                          std::pow(b / 255.0, 563.0 / 256)};
    const double toXyz[3][3] = {{0.5767309, 0.1855540, 0.1881852},
                                {0.2973769, 0.6273491, 0.0752741},
                                {0.0270343, 0.0706872, 0.9911085}};
    const double toSrgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                 {-0.9692660, 1.8760108, 0.0415560},
                                 {0.0556434, -0.2040259, 1.0572252}};
    double xyz[3], out[3];
    for (int i = 0; i < 3; ++i) xyz[i] = toXyz[i][0] * in[0] + toXyz[i][1] * in[1] + toXyz[i][2] * in[2];
    Pixel p = 0xFF000000u;
    for (int i = 0; i < 3; ++i) {
        out[i] = std::clamp(toSrgb[i][0] * xyz[0] + toSrgb[i][1] * xyz[1] + toSrgb[i][2] * xyz[2], 0.0, 1.0);
        const double v = out[i] <= 0.0031308 ? 12.92 * out[i] : 1.055 * std::pow(out[i], 1 / 2.4) - 0.055;
        p |= static_cast<Pixel>(std::lround(v * 255)) << (16 - 8 * i);
    }
    return p;
}

// Puts a chunk with its CRC right after a PNG's IHDR.
void insertPngChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk(4);
    for (int i = 0; i < 4; ++i) chunk[i] = static_cast<std::uint8_t>(data.size() >> (24 - 8 * i));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 4; i < chunk.size(); ++i) {
        crc ^= chunk[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<std::uint8_t>(crc >> (24 - 8 * i)));
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
}

// The offsets of a JPEG's start-of-scan markers.
std::vector<std::size_t> scanStarts(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::size_t> at;
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) at.push_back(i);
    return at;
}

// A colourful 64 x 256 JPEG written scan by scan as the script says.
void writeScriptedJpeg(const std::string& path, const std::vector<jpeg_scan_info>& scans) {
    writeJpeg(
        path, 64, 256, 3, JCS_RGB,
        [&](jpeg_compress_struct& c) {
            jpeg_set_quality(&c, 90, TRUE);
            c.scan_info = scans.data();
            c.num_scans = static_cast<int>(scans.size());
        },
        [](int y, std::uint8_t* row) {
            for (int x = 0; x < 64; ++x) {
                row[3 * x] = static_cast<std::uint8_t>(x * 4);
                row[3 * x + 1] = static_cast<std::uint8_t>(y);
                row[3 * x + 2] = static_cast<std::uint8_t>(255 - x * 4);
            }
        });
}

}  // namespace

// A photo that embeds a colour profile (a camera set to Adobe RGB, a phone's
// Display P3) is converted to sRGB, in JPEG and PNG alike; without the
// conversion its colours come out dull.
TEST(PhotoFile, EmbeddedColourProfilesAreConvertedToSrgb) {
    TempDir dir;
    QImage flat(16, 16, QImage::Format_RGB32);
    flat.fill(qRgb(200, 60, 60));
    flat.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    const Pixel expected = adobeToSrgbByHand(200, 60, 60);
    ASSERT_FALSE(near(expected, 0xFFC83C3Cu, 10));  // the conversion matters
    SilentHost host;
    for (const char* format : {"jpg", "png"}) {
        const std::string path = dir.file(std::string("adobe.") + format);
        ASSERT_TRUE(flat.save(QString::fromStdString(path), nullptr, 100));
        ASSERT_FALSE(QImage(QString::fromStdString(path)).colorSpace().iccProfile().isEmpty()) << format;
        Surface out;
        int w = 0, h = 0;
        ASSERT_EQ(LoadPhoto(host, path, out, w, h), 1) << format;
        EXPECT_TRUE(near(out.at(8, 8), expected, 2)) << format << std::hex << " " << out.at(8, 8) << " " << expected;
    }
    // A PNG's gamma alone (gAMA, as ImageMagick writes into every PNG) is no
    // profile: its pixels stay as they are, as most viewers show them.
    QImage ramp(64, 1, QImage::Format_RGB32);
    for (int x = 0; x < 64; ++x) ramp.setPixel(x, 0, qRgb(x * 4, x * 4, x * 4));
    ASSERT_TRUE(ramp.save(QString::fromStdString(dir.file("plain.png"))));
    std::vector<std::uint8_t> png = readBytes(dir.file("plain.png"));
    insertPngChunk(png, "gAMA", {0, 0, 0xB1, 0x8F});  // 1 / 2.2
    writeBytes(dir.file("gamma.png"), png);
    Surface out;
    int w = 0, h = 0;
    ASSERT_EQ(LoadPhoto(host, dir.file("gamma.png"), out, w, h), 1);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(out.at(x, 0) & 0xFF, static_cast<Pixel>(x * 4)) << x;
    // The row-by-row reading of large photos leaves such a photo to be read
    // whole (and converted there).
    EXPECT_FALSE(ForEachUprightJpegPhotoRowReduced(dir.file("adobe.jpg"), 2, w, h, [](int, const Pixel*, int) {}));
}

// A JPEG in several scans that ends inside a component's first scan has no
// values for that component below the cut: its colours would be wrong, so
// it is refused. Ending in a later (refining) scan only leaves it coarse.
TEST(PhotoFile, JpegInSeveralScansCutBeforeEveryColourArrivedIsRefused) {
    TempDir dir;
    SilentHost silent;
    Surface out;
    int w = 0, h = 0;
    const auto cutInsideScan = [&](const std::string& name, int scan) {
        std::vector<std::uint8_t> bytes = readBytes(dir.file(name));
        const std::vector<std::size_t> sos = scanStarts(bytes);
        EXPECT_GT(sos.size(), static_cast<std::size_t>(scan)) << name;
        const std::size_t end = scan + 1 < static_cast<int>(sos.size()) ? sos[scan + 1] : bytes.size() - 2;
        bytes.resize((sos[scan] + end) / 2);
        const std::string cut = dir.file("cut-" + std::to_string(scan) + "-" + name);
        writeBytes(cut, bytes);
        return cut;
    };
    // Progressive, one DC scan per component, then their AC scans.
    writeScriptedJpeg(dir.file("dc.jpg"), {{1, {0}, 0, 0, 0, 0},
                                           {1, {1}, 0, 0, 0, 0},
                                           {1, {2}, 0, 0, 0, 0},
                                           {1, {0}, 1, 63, 0, 0},
                                           {1, {1}, 1, 63, 0, 0},
                                           {1, {2}, 1, 63, 0, 0}});
    ASSERT_EQ(LoadPhoto(silent, dir.file("dc.jpg"), out, w, h), 1);
    EXPECT_EQ(LoadPhoto(silent, cutInsideScan("dc.jpg", 2), out, w, h), 0);  // inside Cr's DC scan
    PhotoLoadNotes notes;
    ASSERT_EQ(LoadPhoto(silent, cutInsideScan("dc.jpg", 4), out, w, h, &notes), 1);  // inside Cb's AC scan
    EXPECT_TRUE(notes.truncated);
    EXPECT_EQ(notes.missingRows, 0);
    // Sequential, one whole scan per component.
    writeScriptedJpeg(dir.file("seq.jpg"), {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}});
    ASSERT_EQ(LoadPhoto(silent, dir.file("seq.jpg"), out, w, h), 1);
    EXPECT_EQ(LoadPhoto(silent, cutInsideScan("seq.jpg", 1), out, w, h), 0);
    // Cut between two scans: the components after it never arrive.
    std::vector<std::uint8_t> bytes = readBytes(dir.file("seq.jpg"));
    bytes.resize(scanStarts(bytes)[2]);
    writeBytes(dir.file("two-scans.jpg"), bytes);
    EXPECT_EQ(LoadPhoto(silent, dir.file("two-scans.jpg"), out, w, h), 0);
}

// A GIF cut short is refused (Qt's reader would show it whole, the missing
// rows black), and so is one whose data cannot code the size it declares or
// the canvas its picture's place makes.
TEST(PhotoFile, GifCutShortIsRefused) {
    TempDir dir;
    // One white pixel, then the block terminator and the trailer.
    const std::vector<std::uint8_t> gif = {'G',  'I',  'F',  '8',  '9',  'a',  1,    0,    1,    0,    0x80,
                                           0,    0,    0xFF, 0xFF, 0xFF, 0,    0,    0,    0x2C, 0,    0,
                                           0,    0,    1,    0,    1,    0,    0,    2,    2,    0x44, 1,
                                           0,    0x3B};
    SilentHost silent;
    Surface out;
    int w = 0, h = 0;
    writeBytes(dir.file("whole.gif"), gif);
    ASSERT_EQ(LoadPhoto(silent, dir.file("whole.gif"), out, w, h), 1);
    EXPECT_EQ(out.at(0, 0), 0xFFFFFFFFu);
    writeBytes(dir.file("cut.gif"), {gif.begin(), gif.end() - 2});
    EXPECT_EQ(LoadPhoto(silent, dir.file("cut.gif"), out, w, h), 0);
    // The same few bytes declaring a 16383 x 16383 picture: refused, not a
    // gigabyte of black, as a photo and as a depth map.
    std::vector<std::uint8_t> huge = gif;
    for (std::size_t at : {std::size_t{6}, std::size_t{8}, std::size_t{24}, std::size_t{26}}) {
        huge[at] = 0xFF;
        huge[at + 1] = 0x3F;
    }
    writeBytes(dir.file("huge.gif"), huge);
    EXPECT_EQ(LoadPhoto(silent, dir.file("huge.gif"), out, w, h), 0);
    EXPECT_FALSE(parseDepthMapImage(huge, out));
    // The one pixel placed at (16000, 16000) of an empty screen: Qt's reader
    // would make the canvas reach it.
    std::vector<std::uint8_t> far = gif;
    far[6] = far[8] = 0;
    for (std::size_t at : {std::size_t{20}, std::size_t{22}}) {
        far[at] = 0x80;
        far[at + 1] = 0x3E;
    }
    writeBytes(dir.file("far.gif"), far);
    EXPECT_EQ(LoadPhoto(silent, dir.file("far.gif"), out, w, h), 0);
    EXPECT_FALSE(parseDepthMapImage(far, out));
}

// A PNG's Exif orientation (its eXIf chunk) turns the picture as a JPEG's
// does, and the size from the headers says so.
TEST(PhotoFile, PngExifOrientationTurnsThePicture) {
    TempDir dir;
    const Surface src = quadrants(48, 32);
    QImage img(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) img.setPixel(x, y, src.at(x, y));
    const std::string plain = dir.file("plain.png");
    ASSERT_TRUE(img.save(QString::fromStdString(plain)));
    std::vector<std::uint8_t> bytes = readBytes(plain);
    // The eXIf chunk: the Exif block without the JPEG marker's "Exif\0\0".
    const std::vector<std::uint8_t> seg = exifSegment(6, true);
    insertPngChunk(bytes, "eXIf", {seg.begin() + 10, seg.end()});
    const std::string turned = dir.file("turned.png");
    writeBytes(turned, bytes);

    SilentHost host;
    Surface out;
    int w = 0, h = 0;
    PhotoLoadNotes notes;
    ASSERT_EQ(LoadPhoto(host, turned, out, w, h, &notes), 1);
    EXPECT_EQ(notes.orientation, 6);
    Surface expected = quadrants(48, 32);
    ASSERT_TRUE(ApplyExifOrientation(expected, 6));
    ASSERT_EQ(w, 32);
    ASSERT_EQ(h, 48);
    for (auto [x, y] : {std::pair{2, 2}, {29, 2}, {2, 45}, {29, 45}}) EXPECT_EQ(out.at(x, y), expected.at(x, y));
    int sw = 0, sh = 0;
    ASSERT_EQ(PhotoSize(host, turned, sw, sh), 1);
    EXPECT_EQ(sw, 32);
    EXPECT_EQ(sh, 48);
}
