// JPEG, PNG, GIF and metafile pictures, the choice of format by name, and
// loading pictures that are too large to hold.
#include "RasterFileTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <QImage>
#include <QImageWriter>
#include <gif_lib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rastertest;

namespace {

const plastora::Point kNoTransparency{-1, -1};

int writeDeep(const std::string& path, const plastora::Surface& s) {
    return WriteRasterFile(path.c_str(), nullptr, 24, &s, s.width(), s.height(), nullptr, kNoTransparency, 0, 0);
}

}  // namespace

TEST(RasterFileCodec, JpegRoundTripsAtEveryNameSpelling) {
    plastora::test::TempDir dir;
    plastora::Surface picture = gradient(40, 24);
    SetJpegQuality(95);
    for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "d.peg"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(writeDeep(path, picture), 1) << name;
        Loaded l = load(path);
        ASSERT_EQ(l.result, 1) << name;
        EXPECT_EQ(l.bits, 24);
        EXPECT_EQ(l.width, 40);
        EXPECT_EQ(l.height, 24);
        QImage q(QString::fromStdString(path));
        ASSERT_FALSE(q.isNull()) << name;
        int worstOurs = 0, worstTheirs = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) {
                worstOurs = std::max(worstOurs, channelDistance(rgb(l.surface, x, y), rgb(picture, x, y)));
                worstTheirs = std::max(worstTheirs, channelDistance(q.pixel(x, y), rgb(picture, x, y)));
            }
        // Red and blue swapped or rows upside down would be far off.
        EXPECT_LT(worstOurs, 40) << name;
        EXPECT_LT(worstTheirs, 40) << name;
    }
}

TEST(RasterFileCodec, JpegQualityDecidesTheFileSize) {
    plastora::test::TempDir dir;
    plastora::Surface picture = gradient(64, 64);
    SetJpegQuality(10);
    ASSERT_EQ(writeDeep(dir.file("low.jpg"), picture), 1);
    SetJpegQuality(100);
    ASSERT_EQ(writeDeep(dir.file("high.jpg"), picture), 1);
    SetJpegQuality(80);
    EXPECT_LT(std::filesystem::file_size(dir.file("low.jpg")) * 2, std::filesystem::file_size(dir.file("high.jpg")));
}

TEST(RasterFileCodec, PngIsExactAndReadsWhatQtWrites) {
    plastora::test::TempDir dir;
    plastora::Surface picture = gradient(17, 9);
    const std::string ours = dir.file("ours.png");
    ASSERT_EQ(writeDeep(ours, picture), 1);
    QImage q(QString::fromStdString(ours));
    ASSERT_FALSE(q.isNull());
    Loaded l = load(ours);
    ASSERT_EQ(l.result, 1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x) {
            EXPECT_EQ(q.pixel(x, y) & 0xFFFFFFu, rgb(picture, x, y));
            EXPECT_EQ(rgb(l.surface, x, y), rgb(picture, x, y));
        }

    // Grey, palette and alpha files written by Qt come out as RGB; the alpha
    // byte is dropped.
    QImage grey(3, 2, QImage::Format_Grayscale8);
    grey.fill(0);
    grey.setPixel(2, 1, qRgb(200, 200, 200));
    ASSERT_TRUE(grey.save(QString::fromStdString(dir.file("grey.png"))));
    Loaded g = load(dir.file("grey.png"));
    ASSERT_EQ(g.result, 1);
    EXPECT_EQ(rgb(g.surface, 2, 1), 0xC8C8C8u);
    EXPECT_EQ(rgb(g.surface, 0, 0), 0u);

    QImage indexed(4, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    indexed.fill(0);
    indexed.setPixel(3, 0, 1);
    ASSERT_TRUE(indexed.save(QString::fromStdString(dir.file("indexed.png"))));
    Loaded i = load(dir.file("indexed.png"));
    ASSERT_EQ(i.result, 1);
    EXPECT_EQ(rgb(i.surface, 3, 0), 0xC86432u);
    EXPECT_EQ(rgb(i.surface, 0, 0), 0x0A141Eu);

    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(1, 2, 3, 255));
    alpha.setPixel(1, 0, qRgba(250, 128, 4, 255));
    ASSERT_TRUE(alpha.save(QString::fromStdString(dir.file("alpha.png"))));
    Loaded a = load(dir.file("alpha.png"));
    ASSERT_EQ(a.result, 1);
    EXPECT_EQ(rgb(a.surface, 1, 0), 0xFA8004u);
}

TEST(RasterFileCodec, DamagedJpegAndPngFilesAreRefused) {
    plastora::test::TempDir dir;
    plastora::Surface picture = gradient(16, 16);
    for (const char* name : {"x.jpg", "x.png"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(writeDeep(path, picture), 1);
        const Bytes good = readBytes(path);
        for (std::size_t n : {std::size_t{0}, std::size_t{7}, std::size_t{30}, good.size() / 2}) {
            writeBytes(path, Bytes(good.begin(), good.begin() + static_cast<long>(n)));
            EXPECT_EQ(load(path).result, 0) << name << " cut at " << n;
        }
        Bytes garbage = good;
        for (std::size_t k = 2; k < 40; ++k) garbage[k] = 0xFF;
        writeBytes(path, garbage);
        EXPECT_EQ(load(path).result, 0) << name;
    }
    // A larger JPEG cut past its header and well into its data: libjpeg
    // fills the missing rows with grey and ends without an error, which is
    // still a truncated file.
    const std::string big = dir.file("big.jpg");
    ASSERT_EQ(writeDeep(big, gradient(320, 240)), 1);
    const Bytes whole = readBytes(big);
    ASSERT_EQ(load(big).result, 1);
    writeBytes(big, Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 3 / 5)));
    EXPECT_EQ(load(big).result, 0);
}

// A progressive JPEG whose last scan stands 600 times over: thousands of
// scans only make decoding take minutes over a large picture, so more than
// a real file has (a few dozen at the most) are refused.
TEST(RasterFileCodec, JpegWithHundredsOfScansIsRefused) {
    plastora::test::TempDir dir;
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(90, 150, 30));
    const std::string path = dir.file("p.jpg");
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(img));
    ASSERT_EQ(load(path).result, 1);
    Bytes bytes = readBytes(path);
    std::size_t last = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) last = i;
    ASSERT_GT(last, 0u);
    const Bytes scan(bytes.begin() + static_cast<long>(last), bytes.end() - 2);  // up to the end marker
    for (int k = 0; k < 600; ++k) bytes.insert(bytes.end() - 2, scan.begin(), scan.end());
    writeBytes(path, bytes);
    EXPECT_EQ(load(path).result, 0);
}

// Devices, pipes and a small JPEG that declares a huge picture are refused
// before anything large is read or allocated; a real large JPEG of little
// content (one flat colour) still loads.
TEST(RasterFileCodec, NonRegularFilesAndEmptyHugeJpegsAreRefusedCheaply) {
    plastora::test::TempDir dir;
    EXPECT_EQ(load("/dev/zero").result, 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.jpg"));
    EXPECT_EQ(load(dir.file("zero.jpg")).result, 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(load(dir.file("pipe.bmp")).result, 0);  // would wait for a writer if opened plainly
    EXPECT_EQ(load(dir.path()).result, 0);

    const std::string small = dir.file("small.jpg");
    ASSERT_EQ(writeDeep(small, gradient(16, 16)), 1);
    Bytes b = readBytes(small);
    std::size_t sof = 2;
    while (sof + 9 < b.size() && !(b[sof] == 0xFF && b[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, b.size());
    b[sof + 5] = 0x20, b[sof + 6] = 0x00;  // height 8192
    b[sof + 7] = 0x20, b[sof + 8] = 0x00;  // width 8192
    b.resize(1024, 0);
    writeBytes(small, b);
    EXPECT_EQ(load(small).result, 0);

    plastora::Surface flat;
    ASSERT_TRUE(flat.create(1024, 1024));
    for (int y = 0; y < 1024; ++y) std::fill(flat.row(y), flat.row(y) + 1024, plastora::kOpaque | 0x808080u);
    const std::string big = dir.file("flat.jpg");
    ASSERT_EQ(writeDeep(big, flat), 1);
    const Loaded l = load(big);
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(l.width, 1024);

    // Arithmetic coding codes a flat A4 page at 300 dpi in a few kilobytes,
    // below the Huffman floor: it loads too.
    std::ofstream(dir.file("page.pgm"), std::ios::binary) << "P5 2480 3508 255\n" << std::string(2480 * 3508, '\xF0');
    ASSERT_EQ(std::system(("cjpeg -arithmetic -outfile '" + dir.file("page.jpg") + "' '" + dir.file("page.pgm") + "'")
                              .c_str()),
              0);
    ASSERT_LT(std::filesystem::file_size(dir.file("page.jpg")), 2480u / 8 * 3508 / 8 / 16);
    const Loaded page = load(dir.file("page.jpg"));
    EXPECT_EQ(page.result, 1);
    EXPECT_EQ(page.height, 3508);
}

#if !defined(__SANITIZE_ADDRESS__)
// With the address space nearly used up, decoding a large picture fails with
// 0; no exception crosses the library's functions (an escaping bad_alloc
// would end the child with SIGABRT). Sanitizer builds reserve too much
// address space for such a limit.
TEST(RasterFileCodec, RunningOutOfMemoryGivesZeroNotAnAbort) {
    plastora::test::TempDir dir;
    plastora::Surface flat;
    ASSERT_TRUE(flat.create(6000, 6000));
    for (int y = 0; y < 6000; ++y) std::fill(flat.row(y), flat.row(y) + 6000, plastora::kOpaque | 0x406080u);
    const std::string path = dir.file("big.jpg");
    ASSERT_EQ(writeDeep(path, flat), 1);
    flat.reset();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64u << 20);
        const rlimit limit{room, room};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(4);
        const int result = load(path).result;
        ::_exit(result == 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(RasterFileCodec, GifKeepsIndicesAndSafReadsPastItsHeader) {
    plastora::test::TempDir dir;
    std::vector<std::uint32_t> palette(256, 0);
    for (int i = 0; i < 256; ++i) palette[i] = static_cast<std::uint32_t>(i) * 0x010101u;
    plastora::Surface s;
    s.create(6, 3);
    s.set(0, 0, 0x050505);
    s.set(5, 2, 0xFAFAFA);
    const std::string path = dir.file("p.gif");
    ASSERT_EQ(WriteRasterFile(path.c_str(), nullptr, 8, &s, 6, 3, palette.data(), kNoTransparency, 0, 0), 1);
    Loaded l = load(path);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.bits, 8);
    EXPECT_EQ(l.pixels[2 * 8 + 0], 5);  // top row is the last row in memory
    EXPECT_EQ(l.pixels[5], 250);
    EXPECT_EQ(rgb(l.surface, 5, 2), 0xFAFAFAu);

    Bytes saf(256, 'S');
    const Bytes gif = readBytes(path);
    saf.insert(saf.end(), gif.begin(), gif.end());
    writeBytes(dir.file("p.SAF"), saf);
    Loaded fromSaf = load(dir.file("p.SAF"));
    ASSERT_EQ(fromSaf.result, 1);
    EXPECT_EQ(fromSaf.pixels, l.pixels);
    // The same bytes under a GIF name do not start with a GIF header.
    writeBytes(dir.file("q.gif"), saf);
    EXPECT_EQ(load(dir.file("q.gif")).result, 0);
}

TEST(RasterFileCodec, GifColourReductionPicksTheFewestBits) {
    plastora::test::TempDir dir;
    std::vector<std::uint32_t> palette(256, 0);
    for (int i = 0; i < 256; ++i) palette[i] = static_cast<std::uint32_t>(i) << 16 | 0x0040;
    struct Case {
        int colours;
        int bits;
    };
    for (Case c : {Case{2, 1}, Case{4, 2}, Case{5, 4}, Case{16, 4}, Case{17, 8}}) {
        plastora::Surface s;
        s.create(20, 2);
        for (int x = 0; x < 20; ++x) {
            s.set(x, 0, palette[200 - x % c.colours]);
            s.set(x, 1, palette[200]);
        }
        const std::string path = dir.file("r" + std::to_string(c.colours) + ".gif");
        ASSERT_EQ(WriteRasterFile(path.c_str(), nullptr, 8, &s, 20, 2, palette.data(), kNoTransparency, 0, 1), 1);
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        EXPECT_EQ(gif->SColorMap->BitsPerPixel, c.bits) << c.colours;
        // Colours survive the renumbering.
        const GifByteType* raster = gif->SavedImages[0].RasterBits;
        for (int x = 0; x < 20; ++x) {
            const GifColorType col = gif->SColorMap->Colors[raster[x]];
            EXPECT_EQ(static_cast<std::uint32_t>(col.Red) << 16 | col.Green << 8 | col.Blue, palette[200 - x % c.colours]);
        }
        const GifColorType below = gif->SColorMap->Colors[raster[20]];
        EXPECT_EQ(static_cast<std::uint32_t>(below.Red) << 16 | below.Green << 8 | below.Blue, palette[200]);
        DGifCloseFile(gif, &error);
    }
}

TEST(RasterFileCodec, UnwritablePlacesGiveEachFormatsCode) {
    plastora::test::TempDir dir;
    plastora::Surface s = gradient(4, 4);
    std::vector<std::uint32_t> palette(256, 0);
    const std::string folder = dir.file("none") + "/";
    auto write = [&](const char* name) {
        return WriteRasterFile((folder + name).c_str(), nullptr, 24, &s, 4, 4, palette.data(), kNoTransparency, 0, 0);
    };
    EXPECT_EQ(write("a.bmp"), kPixCannotCreate);
    EXPECT_EQ(write("a.gif"), kPixCannotCreate);
    EXPECT_EQ(write("a.jpg"), 0);
    EXPECT_EQ(write("a.png"), 0);
    // A size larger than the picture writes nothing.
    EXPECT_EQ(WriteRasterFile(dir.file("big.bmp").c_str(), nullptr, 24, &s, 5, 4, nullptr, kNoTransparency, 0, 0), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.bmp")));
}

class RasterFileLarge : public ::testing::Test {
protected:
    void TearDown() override { PixSetAllocationHook(nullptr); }
    // The decoder's buffer (the first taken) can be had, surfaces wider or
    // taller than 1024 cannot.
    static void limitSurfaces() {
        PixSetAllocationHook([calls = 0](int w, int h) mutable { return ++calls == 1 || (w <= 1024 && h <= 1024); });
    }
};

TEST_F(RasterFileLarge, PicturesTooLargeLoadAtTheReducedSide) {
    plastora::test::TempDir dir;
    struct Case {
        int w, h, rw, rh;
    };
    for (Case c : {Case{3000, 2000, 1024, 682}, Case{2000, 3000, 682, 1024}, Case{1500, 1500, 1024, 1024}}) {
        plastora::Surface s = gradient(c.w, c.h);
        const std::string path = dir.file("large.bmp");
        ASSERT_EQ(writeDeep(path, s), 1);
        limitSurfaces();
        plastora::test::ScriptedHost host;
        host.expectMessage(kPixTooLargeMessage);
        Loaded l = load(path, 32, &host);
        PixSetAllocationHook(nullptr);
        ASSERT_EQ(l.result, 1);
        EXPECT_EQ(l.width, c.rw);
        EXPECT_EQ(l.height, c.rh);
        EXPECT_EQ(l.surface.width(), c.rw);
        EXPECT_EQ(l.pixels.size(), (static_cast<std::size_t>(c.rw) * 3 + 3) / 4 * 4 * c.rh);
        // Corners keep their colours: the picture is scaled, not cropped.
        EXPECT_LT(channelDistance(rgb(l.surface, c.rw - 1, c.rh - 1), rgb(s, c.w - 1, c.h - 1)), 12);
        EXPECT_LT(channelDistance(rgb(l.surface, 0, 0), rgb(s, 0, 0)), 12);
    }
}

TEST_F(RasterFileLarge, SmallPicturesThatCannotBeHeldFailWithoutMessage) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("small.bmp");
    ASSERT_EQ(writeDeep(path, gradient(8, 8)), 1);
    PixSetAllocationHook([](int, int) { return false; });
    plastora::test::ScriptedHost host;
    EXPECT_EQ(load(path, 32, &host).result, 0);
    // On a palette display the picture is decoded, then reduced to 256
    // colours in a copy of its own: without memory for the copy the read
    // fails, it does not write through a buffer it never got.
    int allocations = 0;
    PixSetAllocationHook([&](int, int) { return ++allocations < 2; });
    EXPECT_EQ(load(path, 8, &host).result, 0);
    EXPECT_EQ(allocations, 2);
}

namespace {

// A plain metafile with one rectangle from (10, 5) to (right, bottom), or
// `count` of them.
Bytes rectangleMetafile(bool withRectangle, int right = 50, int bottom = 30, int count = 1) {
    const int rectangles = withRectangle ? count : 0;
    Bytes b;
    put16(b, 1);
    put16(b, 9);
    put16(b, 0x0300);
    put32(b, static_cast<std::uint32_t>(12 + 7 * rectangles));
    put16(b, 0);
    put32(b, 7);
    put16(b, 0);
    for (int i = 0; i < rectangles; ++i) {
        put32(b, 7);
        put16(b, 0x041B);
        for (int v : {bottom, right, 5, 10}) put16(b, static_cast<std::uint32_t>(v));
    }
    put32(b, 3);
    put16(b, 0);
    return b;
}

}  // namespace

TEST(RasterFileWmf, MetafilesRenderAtTheirExtentOverTheBackground) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("r.wmf");
    writeBytes(path, rectangleMetafile(true));
    PixDisplay display;
    plastora::Surface s;
    int w = 0, h = 0;
    const std::uint32_t blue = plastora::RGB(0, 0, 255);
    ASSERT_EQ(WmfReadFile(&display, &s, path.c_str(), &w, &h, &blue), 1);
    EXPECT_EQ(w, 50);
    EXPECT_EQ(h, 30);
    EXPECT_EQ(s.width(), 50);
    EXPECT_EQ(s.height(), 30);
    EXPECT_EQ(rgb(s, 2, 2), 0x0000FFu);
    EXPECT_NE(rgb(s, 30, 15), 0x0000FFu);

    plastora::Surface plain;
    ASSERT_EQ(WmfReadFile(&display, &plain, path.c_str(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(rgb(plain, 2, 2), 0u);

    writeBytes(dir.file("empty.wmf"), rectangleMetafile(false));
    plastora::Surface none;
    EXPECT_EQ(WmfReadFile(&display, &none, dir.file("empty.wmf").c_str(), &w, &h, nullptr), 0);
    EXPECT_EQ(WmfReadFile(&display, &none, dir.file("missing.wmf").c_str(), &w, &h, nullptr), 0);
    Bytes cut = rectangleMetafile(true);
    cut.resize(24);
    writeBytes(dir.file("cut.wmf"), cut);
    EXPECT_EQ(WmfReadFile(&display, &none, dir.file("cut.wmf").c_str(), &w, &h, nullptr), 0);
    EXPECT_TRUE(none.empty());
    // A few bytes asking for 30000 x 30000 pixels (3.6 GB) are refused.
    writeBytes(dir.file("huge.wmf"), rectangleMetafile(true, 30000, 30000));
    EXPECT_EQ(WmfReadFile(&display, &none, dir.file("huge.wmf").c_str(), &w, &h, nullptr), 0);
    EXPECT_TRUE(none.empty());
    // Twenty kilobytes of page-sized rectangles, a minute's painting: not
    // read, rather than handed out unpainted as a picture.
    writeBytes(dir.file("heavy.wmf"), rectangleMetafile(true, 4000, 4000, 1200));
    EXPECT_EQ(WmfReadFile(&display, &none, dir.file("heavy.wmf").c_str(), &w, &h, nullptr), 0);
    EXPECT_TRUE(none.empty());
}
