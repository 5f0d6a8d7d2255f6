// BMP files and packed DIBs: reading hand-built files, writing files that an
// independent reader (QImage) accepts, and refusing damaged ones.
#include "RasterFileTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

using namespace rastertest;

namespace {

// A 3 x 2 picture at 4 bits: top row indices 1 2 3, bottom row 4 5 6.
Bytes fourBitFile() {
    std::vector<std::uint32_t> table(16, 0);
    for (int i = 0; i < 16; ++i) table[i] = static_cast<std::uint32_t>(i * 0x100401);
    // Bottom-up rows of ((3 * 4 + 31) / 32) * 4 = 4 bytes.
    const Bytes rows{0x45, 0x60, 0, 0, 0x12, 0x30, 0, 0};
    return bmpFile(3, 2, 4, table, rows);
}

}  // namespace

TEST(RasterFileBmp, ReadsFourBitPicturesAsIndicesAndColours) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("four.bmp");
    writeBytes(path, fourBitFile());
    Loaded l = load(path);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.width, 3);
    EXPECT_EQ(l.height, 2);
    EXPECT_EQ(l.bits, 4);
    // Indices come out one byte each, bottom-up, rows padded to 4.
    EXPECT_EQ(l.pixels, (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
    EXPECT_EQ(l.palette[5], 5u * 0x100401);
    EXPECT_EQ(l.logical, l.palette);
    EXPECT_EQ(rgb(l.surface, 0, 0), 1u * 0x100401);
    EXPECT_EQ(rgb(l.surface, 2, 1), 6u * 0x100401);
}

// Files from other programs often store only the colours they use ("colours
// used" = 4 of 256): the table is that long, the pixels follow it, and the
// entries not stored are black.
TEST(RasterFileBmp, AShortColourTableIsReadAsStored) {
    plastora::test::TempDir dir;
    const std::vector<std::uint32_t> table{0x000000FF, 0x0000FF00, 0x00FF0000, 0x00FFFFFF};
    const Bytes rows{3, 2, 1, 0, 0, 1, 2, 0};  // bottom-up, rows of 4 bytes
    Bytes file = bmpFile(3, 2, 8, table, rows);
    file[46] = 4;  // colours used
    writeBytes(dir.file("short.bmp"), file);
    Loaded l = load(dir.file("short.bmp"));
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.pixels, (Bytes{3, 2, 1, 0, 0, 1, 2, 0}));
    EXPECT_EQ(l.palette[2], 0x00FF0000u);
    EXPECT_EQ(l.palette[200], 0u);
    EXPECT_EQ(rgb(l.surface, 0, 0), 0x000000FFu);  // top left: index 0
    // The same as a packed DIB: the pixels right after the four entries.
    const Bytes dib(file.begin() + 14, file.end());
    l = load("", 32, nullptr, &dib);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.pixels, (Bytes{3, 2, 1, 0, 0, 1, 2, 0}));
}

TEST(RasterFileBmp, ReadsOneBitRowsWiderThanAByte) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("one.bmp");
    // 10 pixels: 1010101010 on top, 0000000001 below; 4-byte rows.
    writeBytes(path, bmpFile(10, 2, 1, {0x000000, 0xFFFFFF}, Bytes{0x00, 0x40, 0, 0, 0xAA, 0x80, 0, 0}));
    Loaded l = load(path);
    ASSERT_EQ(l.result, 1);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(rgb(l.surface, x, 0), x % 2 == 0 ? 0xFFFFFFu : 0u) << x;
        EXPECT_EQ(rgb(l.surface, x, 1), x == 9 ? 0xFFFFFFu : 0u) << x;
    }
}

TEST(RasterFileBmp, DefaultPaletteComesFirstAndWidthGivenStaysUntouched) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("keep.bmp");
    writeBytes(path, bmpFile(1, 1, 24, {}, Bytes{1, 2, 3, 0}));
    std::vector<std::uint32_t> palette(256, 0xDEADBEEF);
    int w = 77, h = 88;
    plastora::Surface s;
    PixDisplay display;
    EXPECT_EQ(ReadRasterFile(&display, &s, nullptr, path.c_str(), nullptr, 0, nullptr, &w, &h, nullptr, 0,
                             palette.data()),
              1);
    EXPECT_EQ(w, 77);
    EXPECT_EQ(h, 88);
    EXPECT_EQ(rgb(s, 0, 0), 0x030201u);
    EXPECT_EQ(palette[0], 0x000000u);
    EXPECT_EQ(palette[1], 0xFFFFFFu);
    EXPECT_EQ(palette[7], 0xC0C0C0u);
    EXPECT_EQ(palette[255], 0x800000u);
    EXPECT_EQ(palette[249], 0xFF0000u);
    EXPECT_EQ(palette[251], 0xFFFF00u);
}

TEST(RasterFileBmp, EveryTruncationAndBrokenHeaderIsRefused) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("bad.bmp");
    const Bytes good = fourBitFile();
    for (std::size_t n = 0; n < good.size(); ++n) {
        writeBytes(path, Bytes(good.begin(), good.begin() + static_cast<long>(n)));
        EXPECT_EQ(load(path).result, 0) << n << " bytes";
    }
    struct Damage {
        std::size_t at;
        std::uint8_t value;
    };
    // pixel offset far out, offset inside the headers, 2 planes, 16 bits in a
    // file, compressed, negative width, header size past the end.
    for (Damage d : {Damage{12, 0x40}, Damage{10, 10}, Damage{26, 2}, Damage{28, 16}, Damage{30, 1},
                     Damage{21, 0xFF}, Damage{15, 0x10}}) {
        Bytes bad = good;
        bad[d.at] = d.value;
        writeBytes(path, bad);
        EXPECT_EQ(load(path).result, 0) << "byte " << d.at;
    }
    EXPECT_EQ(load(dir.file("missing.bmp")).result, 0);
}

TEST(RasterFileBmp, WrittenFilesMatchAnIndependentReader) {
    plastora::test::TempDir dir;
    plastora::Surface picture = gradient(13, 7);
    const std::string deep = dir.file("deep.bmp");
    ASSERT_EQ(WriteRasterFile(deep.c_str(), nullptr, 24, &picture, 13, 7, nullptr, {-1, -1}, 0, 0), 1);
    QImage q(QString::fromStdString(deep));
    ASSERT_FALSE(q.isNull());
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) EXPECT_EQ(q.pixel(x, y) & 0xFFFFFFu, rgb(picture, x, y)) << x << "," << y;
    EXPECT_EQ(readBytes(deep).size(), 54u + 40 * 7);

    // 8 bits: each pixel the nearest palette colour.
    std::vector<std::uint32_t> palette(256, 0);
    palette[0] = 0x000000;
    palette[1] = 0xFF0000;
    palette[2] = 0x0000FF;
    plastora::Surface two;
    two.create(5, 3);
    two.set(1, 0, 0xF01010);
    two.set(2, 2, 0x1010F0);
    const std::string indexed = dir.file("indexed.bmp");
    ASSERT_EQ(WriteRasterFile(indexed.c_str(), nullptr, 8, &two, 5, 3, palette.data(), {-1, -1}, 0, 0), 1);
    QImage qi(QString::fromStdString(indexed));
    ASSERT_EQ(qi.format(), QImage::Format_Indexed8);
    EXPECT_EQ(qi.pixelIndex(1, 0), 1);
    EXPECT_EQ(qi.pixelIndex(2, 2), 2);
    EXPECT_EQ(qi.pixelIndex(0, 0), 0);
    EXPECT_EQ(readBytes(indexed).size(), 54u + 1024 + 8 * 3);
    Loaded back = load(indexed);
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(back.bits, 8);
    EXPECT_EQ(rgb(back.surface, 1, 0), 0xFF0000u);
    EXPECT_EQ(rgb(back.surface, 2, 2), 0x0000FFu);
}

TEST(RasterFileBmp, OneBitPicturesStayOneBit) {
    plastora::test::TempDir dir;
    std::vector<std::uint32_t> palette(256, 0);
    palette[1] = 0xFFFFFF;
    plastora::Surface s;
    s.create(40, 2);
    s.set(0, 0, 0xFFFFFF);
    s.set(39, 1, 0xEEEEEE);
    const std::string path = dir.file("mono.bmp");
    ASSERT_EQ(WriteRasterFile(path.c_str(), nullptr, 1, &s, 40, 2, palette.data(), {-1, -1}, 0, 0), 1);
    const Bytes file = readBytes(path);
    // Rows of (40 + 31) / 32 * 4 = 8 bytes after a 2-entry colour table.
    EXPECT_EQ(file.size(), 54u + 8 + 16);
    EXPECT_EQ(file[28], 1);
    QImage q(QString::fromStdString(path));
    ASSERT_FALSE(q.isNull());
    EXPECT_EQ(q.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(q.pixel(39, 1) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(q.pixel(1, 0) & 0xFFFFFFu, 0u);
}

TEST(RasterFileBmp, PackedDibsRoundTripThroughMemory) {
    std::vector<std::uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = static_cast<std::uint32_t>(i) << 8;
    plastora::Surface s;
    s.create(3, 2);
    s.set(0, 0, 0x00FF00);
    s.set(2, 1, 0x008000);
    Bytes dib;
    ASSERT_EQ(WriteRasterFile("", &dib, 8, &s, 3, 2, palette.data(), {-1, -1}, 0, 0), 1);
    ASSERT_EQ(dib.size(), 40u + 1024 + 4 * 2);
    Loaded l = load("", 32, nullptr, &dib);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.pixels, (Bytes{0, 0, 0x80, 0, 0xFF, 0, 0, 0}));
    EXPECT_EQ(rgb(l.surface, 0, 0), 0x00FF00u);
    // A DIB shorter than its pixels is refused.
    dib.pop_back();
    dib.pop_back();
    dib.pop_back();
    dib.pop_back();
    dib.pop_back();
    EXPECT_EQ(load("", 32, nullptr, &dib).result, 0);
}

TEST(RasterFileBmp, SixteenAndThirtyTwoBitDibsBecomeTwentyFourBitsWidenedToFour) {
    // 16 bits, 5-6-5 with masks: red, green, blue, white in one row of 3 + 1.
    Bytes dib = infoHeader(3, 1, 16, 3);
    put32(dib, 0xF800);
    put32(dib, 0x07E0);
    put32(dib, 0x001F);
    for (std::uint32_t v : {0xF800u, 0x07E0u, 0x001Fu}) put16(dib, v);
    put16(dib, 0);
    Loaded l = load("", 32, nullptr, &dib);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.width, 4);
    EXPECT_EQ(l.bits, 24);
    EXPECT_EQ(rgb(l.surface, 0, 0), 0xF80000u);
    EXPECT_EQ(rgb(l.surface, 1, 0), 0x00FC00u);
    EXPECT_EQ(rgb(l.surface, 2, 0), 0x0000F8u);
    EXPECT_EQ(rgb(l.surface, 3, 0), 0u);

    // Without masks, 16 bits are 5-5-5 (the top bit unused): read as 5-6-5
    // the red, green and blue below came out pink, dark green and blue.
    Bytes plain = infoHeader(3, 1, 16);
    for (std::uint32_t v : {0x7C00u, 0x03E0u, 0x001Fu}) put16(plain, v);
    put16(plain, 0);
    l = load("", 32, nullptr, &plain);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(rgb(l.surface, 0, 0), 0xF80000u);
    EXPECT_EQ(rgb(l.surface, 1, 0), 0x00F800u);
    EXPECT_EQ(rgb(l.surface, 2, 0), 0x0000F8u);
    // A longer header holds the masks itself, and the pixels follow it:
    // 32 bits with red in the low byte and blue in the third.
    Bytes v4 = infoHeader(2, 1, 32, 3);
    v4[0] = 108;
    for (std::uint32_t m : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFF000000u}) put32(v4, m);
    v4.resize(108, 0);
    for (std::uint32_t v : {0x00563412u, 0x00EFCDABu}) put32(v4, v);
    l = load("", 32, nullptr, &v4);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(rgb(l.surface, 0, 0), 0x123456u);
    EXPECT_EQ(rgb(l.surface, 1, 0), 0xABCDEFu);

    Bytes wide = infoHeader(2, 1, 32);
    for (std::uint32_t v : {0x00123456u, 0x00ABCDEFu}) put32(wide, v);
    Loaded w = load("", 32, nullptr, &wide);
    ASSERT_EQ(w.result, 1);
    EXPECT_EQ(w.width, 4);
    EXPECT_EQ(rgb(w.surface, 0, 0), 0x123456u);
    EXPECT_EQ(rgb(w.surface, 1, 0), 0xABCDEFu);
    wide.pop_back();
    EXPECT_EQ(load("", 32, nullptr, &wide).result, 0);
}

TEST(RasterFileBmp, PaletteDisplaysGetTheMostFrequentColours) {
    // 24 bits: 6 pixels of 0x305070, 3 of 0xF0F0F0 (key 0xFFF -> white), 1 of
    // 0x000000.
    Bytes dib = infoHeader(10, 1, 24);
    for (int i = 0; i < 10; ++i) {
        const std::uint32_t c = i < 6 ? 0x305070 : i < 9 ? 0xF0F0F0 : 0;
        dib.push_back(static_cast<std::uint8_t>(c));
        dib.push_back(static_cast<std::uint8_t>(c >> 8));
        dib.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    dib.push_back(0);
    dib.push_back(0);
    Loaded l = load("", 8, nullptr, &dib);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.bits, 8);
    EXPECT_EQ(l.palette[16], 0x808000u);
    EXPECT_EQ(l.palette[40], 0u);
    EXPECT_EQ(l.palette[68], 0x305070u);
    EXPECT_EQ(l.palette[69], 0xFFFFFFu);
    EXPECT_EQ(l.palette[70], 0x000000u);
    EXPECT_EQ(l.palette[71], 0u);
    // White is among the fixed colours (15), black is entry 0.
    EXPECT_EQ(l.pixels[0], 68);
    EXPECT_EQ(l.pixels[6], 15);
    EXPECT_EQ(l.pixels[9], 0);
    EXPECT_EQ(rgb(l.surface, 0, 0), 0x305070u);
}
