// Reading GIF files: files from giflib and from our writer, the placement on
// the logical screen, further images of an animation, the animation test,
// and damaged or hostile input.
#include "GifTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>

using namespace giftest;
using plastora::Point;

namespace {

// A hand-made GIF: header, optional global table, the given blocks, one
// image with the given code-size byte and compressed data, trailer.
struct Handmade {
    int screenW = 8, screenH = 4;
    short globalBits = 2;  // 0: no global table
    std::string version = "GIF89a";
    Bytes before;  // blocks before the image
    int left = 0, top = 0, width = 8, height = 4;
    int flags = 0;
    int codeSize = 2;
    Bytes data;  // compressed data, put into sub-blocks
    bool trailer = true;

    Bytes bytes() const {
        Bytes b(version.begin(), version.end());
        auto put16 = [&](int v) {
            b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(static_cast<std::uint8_t>(v >> 8));
        };
        put16(screenW);
        put16(screenH);
        b.push_back(static_cast<std::uint8_t>(globalBits > 0 ? 0xF0 | (globalBits - 1) : 0x70));
        b.push_back(0);
        b.push_back(0);
        for (int i = 0; globalBits > 0 && i < (1 << globalBits); ++i) {
            b.push_back(static_cast<std::uint8_t>(i * 40));
            b.push_back(static_cast<std::uint8_t>(i * 40 + 1));
            b.push_back(static_cast<std::uint8_t>(i * 40 + 2));
        }
        b.insert(b.end(), before.begin(), before.end());
        b.push_back(0x2C);
        put16(left);
        put16(top);
        put16(width);
        put16(height);
        b.push_back(static_cast<std::uint8_t>(flags));
        b.push_back(static_cast<std::uint8_t>(codeSize));
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            b.push_back(static_cast<std::uint8_t>(n));
            b.insert(b.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
        }
        b.push_back(0);
        if (trailer) b.push_back(0x3B);
        return b;
    }
};

// Codes packed least significant bit first, each at the width given.
Bytes pack(const std::vector<std::pair<int, int>>& codeAndWidth) {
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    for (auto [code, width] : codeAndWidth) {
        bits |= static_cast<std::uint32_t>(code) << count;
        count += width;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0) out.push_back(static_cast<std::uint8_t>(bits));
    return out;
}

Bytes extension(int label, const std::vector<Bytes>& subBlocks) {
    Bytes b{0x21, static_cast<std::uint8_t>(label)};
    for (const Bytes& s : subBlocks) {
        b.push_back(static_cast<std::uint8_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
    }
    b.push_back(0);
    return b;
}

Bytes control(int packed, int delay, int index) {
    return extension(0xF9, {{static_cast<std::uint8_t>(packed), static_cast<std::uint8_t>(delay),
                             static_cast<std::uint8_t>(delay >> 8), static_cast<std::uint8_t>(index)}});
}

GiflibImage rasterOf(const Picture& p) {
    GiflibImage im;
    im.width = p.width;
    im.height = p.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) im.raster.push_back(p.at(x, y));
    return im;
}

int wrongPixels(const Decoded& d, const Picture& p) {
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) wrong += d.at(x, y) != p.at(x, y);
    return wrong;
}

}  // namespace

TEST(GifRead, GiflibFilesDecodeToTheSamePixels) {
    std::vector<Picture> pictures;
    for (short bits = 1; bits <= 8; ++bits) pictures.push_back(noise(37 + bits, 23, bits, 100u + bits));
    pictures.push_back(noise(1, 40, 8, 1));
    pictures.push_back(noise(300, 200, 8, 2));  // giflib fills and clears the table many times
    pictures.push_back(bands(250, 130, 4));
    for (const Picture& p : pictures) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + " bits " + std::to_string(p.bits) +
                         (interlace ? " interlaced" : ""));
            GiflibImage im = rasterOf(p);
            im.interlace = interlace;
            const Bytes f = giflibWrite(p.width, p.height, p.palette, p.bits, {im});
            ASSERT_FALSE(f.empty());
            const Decoded d = readFirst(f);
            ASSERT_EQ(d.result, 1);
            EXPECT_EQ(d.width, p.width);
            EXPECT_EQ(d.height, p.height);
            EXPECT_EQ(d.bits, p.bits);
            EXPECT_EQ(wrongPixels(d, p), 0);
            for (int i = 0; i < (1 << p.bits); ++i) EXPECT_EQ(d.palette[i], p.palette[i]) << i;
            // Entries past the table are left as they were.
            if (p.bits < 8) {
                EXPECT_EQ(d.palette[1u << p.bits], 0xDEADBEEFu);
            }
        }
    }
}

TEST(GifRead, OwnFilesRoundTrip) {
    Picture p = noise(33, 17, 5, 9);
    p.stride += 4;
    p.pixels.resize(static_cast<std::size_t>(p.stride) * p.height);
    p.at(3, 2) = 21;
    const Bytes f = writeStill(p, 45, Point{3, 2}, 1);
    const Decoded d = readFirst(f);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(wrongPixels(d, p), 0);
    EXPECT_EQ(d.bits, 5);
    EXPECT_EQ(d.delay, 45);
    // The transparent entry's colour, as a COLORREF (0x00BBGGRR).
    const std::uint32_t c = p.palette[21];
    EXPECT_EQ(d.transparentColour, plastora::RGB(c >> 16, c >> 8, c));
    // The buffer's rows are padded to 4 bytes: 36 for 33 pixels.
    EXPECT_EQ(d.stride, 36);

    // No transparency: the colour is left alone.
    EXPECT_EQ(readFirst(writeStill(p)).transparentColour, 0xFEFEFEFEu);
}

TEST(GifRead, ExtensionsAreSkippedBlockByBlock) {
    // Comment and application data holding the bytes 0x21 and 0x2C, and a
    // graphic control extension after them.
    Picture p = bands(20, 9, 3);
    GiflibImage im = rasterOf(p);
    im.comment = "a, b! 0x2C, 0x21 !!,,";
    im.delay = 8;
    im.transparent = 2;
    const Bytes f = giflibWrite(20, 9, p.palette, 3, {im});
    const Decoded d = readFirst(f);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(wrongPixels(d, p), 0);
    EXPECT_EQ(d.delay, 8);
    EXPECT_EQ(d.transparentColour, plastora::RGB(p.palette[2] >> 16, p.palette[2] >> 8, p.palette[2]));

    // The same in a GIF87a file, and an application block of several
    // sub-blocks.
    Handmade h;
    h.version = "GIF87a";
    h.before = extension(0xFF, {{'X', ',', '!', ','}, {0x2C, 0x2C}, {0x21}});
    Bytes g = control(0, 3, 0);
    h.before.insert(h.before.end(), g.begin(), g.end());
    h.width = 2;
    h.height = 1;
    h.data = pack({{4, 3}, {1, 3}, {2, 3}, {5, 3}});
    const Decoded e = readFirst(h.bytes());
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.at(0, 0), 1);
    EXPECT_EQ(e.at(1, 0), 2);
    EXPECT_EQ(e.delay, 3);
}

TEST(GifRead, ColourTablesAndCodeSize) {
    // Only a local colour table: it gives the colours and bits.
    Picture p = noise(10, 6, 3, 4);
    GiflibImage im = rasterOf(p);
    im.localPalette = p.palette;
    im.localBits = 3;
    const Bytes f = giflibWrite(10, 6, p.palette, 0, {im});
    ASSERT_FALSE(f.empty());
    ASSERT_EQ(f[10] & 0x80, 0);
    const Decoded d = readFirst(f);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.bits, 3);
    EXPECT_EQ(wrongPixels(d, p), 0);
    EXPECT_EQ(d.palette[5], p.palette[5]);

    // A local table replaces the global one.
    Picture q = noise(10, 6, 2, 5);
    GiflibImage local = rasterOf(q);
    for (int i = 0; i < 4; ++i) local.localPalette.push_back(0x010203u * (i + 1));
    local.localBits = 2;
    const Decoded e = readFirst(giflibWrite(10, 6, q.palette, 8, {local}));
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.bits, 2);
    EXPECT_EQ(e.palette[3], 0x04080Cu);
    EXPECT_EQ(e.palette[4], 0xDEADBEEFu);

    // Data written with code size 8 under a 2-colour table: the code size
    // comes from the file.
    Picture two = noise(31, 11, 8, 6, 2);
    const Layout eight = walk(giflibWrite(31, 11, two.palette, 8, {rasterOf(two)}));
    ASSERT_TRUE(eight.ok);
    Handmade h;
    h.globalBits = 1;
    h.width = 31;
    h.height = 11;
    h.screenW = 31;
    h.screenH = 11;
    h.codeSize = 8;
    h.data = eight.blocks.back().data;
    const Decoded t = readFirst(h.bytes());
    ASSERT_EQ(t.result, 1);
    EXPECT_EQ(t.bits, 1);
    EXPECT_EQ(wrongPixels(t, two), 0);

    // A code size byte out of range: the colour table's bits decide (2 for
    // a 1-bit table).
    for (int bad : {0, 1, 9, 12, 255}) {
        Handmade b;
        b.globalBits = 1;
        b.width = 3;
        b.height = 1;
        b.codeSize = bad;
        b.data = pack({{4, 3}, {1, 3}, {0, 3}, {1, 3}, {5, 4}});
        const Decoded r = readFirst(b.bytes());
        ASSERT_EQ(r.result, 1) << bad;
        EXPECT_EQ(r.at(0, 0), 1);
        EXPECT_EQ(r.at(1, 0), 0);
        EXPECT_EQ(r.at(2, 0), 1);
    }
}

TEST(GifRead, HandMadeCodeStreams) {
    // 2-bit streams (clear 4, end 5), worked by hand and read by giflib too:
    // without a leading clear, with clears in a row, with codes defined by
    // their own use. Codes are 3 bits wide until the code after the one that
    // makes the count since the clear reach 8.
    struct Stream {
        std::vector<std::pair<int, int>> codes;
        Bytes pixels;
    };
    const std::vector<Stream> streams = {
        // 1, 1 (6 = 11), 6 (7 = 11), 2 (8 = 112)
        {{{1, 3}, {1, 3}, {6, 3}, {2, 4}, {5, 4}}, {1, 1, 1, 1, 2}},
        // clear, clear, 3, clear, 2, 6 = 22, 7 = 222
        {{{4, 3}, {4, 3}, {3, 3}, {4, 3}, {2, 3}, {6, 3}, {7, 3}, {5, 4}}, {3, 2, 2, 2, 2, 2, 2}},
        // 0, 6 = 00, 7 = 000, 1 (8 = 0001), 8
        {{{4, 3}, {0, 3}, {6, 3}, {7, 3}, {1, 4}, {8, 4}, {5, 4}}, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
    };
    for (std::size_t i = 0; i < streams.size(); ++i) {
        SCOPED_TRACE(i);
        const int w = static_cast<int>(streams[i].pixels.size());
        Handmade h;
        h.width = h.screenW = w;
        h.height = h.screenH = 1;
        h.data = pack(streams[i].codes);
        const Bytes f = h.bytes();
        const Decoded d = readFirst(f);
        ASSERT_EQ(d.result, 1);
        Giflib g(f);
        ASSERT_TRUE(g.ok());
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(d.at(x, 0), streams[i].pixels[static_cast<std::size_t>(x)]) << x;
            EXPECT_EQ(g.at(0, x, 0), streams[i].pixels[static_cast<std::size_t>(x)]) << x;
        }
    }
}

TEST(GifRead, ImagePlacedOnTheLogicalScreen) {
    // A 5 x 3 image at (4, 2) of a 12 x 8 screen.
    Picture p = noise(5, 3, 4, 12);
    for (auto& v : p.pixels) v = static_cast<std::uint8_t>(v | 1);  // never zero
    GiflibImage im = rasterOf(p);
    im.left = 4;
    im.top = 2;
    const Bytes f = giflibWrite(12, 8, p.palette, 4, {im});

    const Decoded d = readFirst(f, true);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.width, 12);
    EXPECT_EQ(d.height, 8);
    EXPECT_EQ(d.position, (Point{4, 2}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 4 && x < 9 && y >= 2 && y < 5;
            EXPECT_EQ(d.at(x, y), inside ? p.at(x - 4, y - 2) : 0) << x << "," << y;
        }

    // Without a position: the image's own size.
    const Decoded own = readFirst(f, false);
    ASSERT_EQ(own.result, 1);
    EXPECT_EQ(own.width, 5);
    EXPECT_EQ(own.height, 3);
    EXPECT_EQ(wrongPixels(own, p), 0);

    // GifReadFile reads onto the screen.
    plastora::test::TempDir dir;
    writeAll(dir.file("placed.gif"), f);
    unsigned char* pixels = nullptr;
    short bits = 0;
    std::vector<std::uint32_t> palette(256);
    int w = 0, h = 0;
    ASSERT_EQ(GifReadFile(dir.file("placed.gif").c_str(), &pixels, &bits, palette.data(), &w, &h), 1);
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(bits, 4);
    EXPECT_EQ(pixels[(8 - 1 - 3) * 12 + 6], p.at(2, 1));
    std::free(pixels);
    EXPECT_EQ(GifReadFile(dir.file("missing.gif").c_str(), &pixels, &bits, palette.data(), &w, &h), 0);
}

TEST(GifRead, ImageReachingPastTheScreenIsClipped) {
    // A 6 x 5 image at (9, 6) of a 12 x 8 screen: its top-left 3 x 2 shows.
    Picture p = noise(6, 5, 8, 13);
    for (auto& v : p.pixels) v = static_cast<std::uint8_t>(v | 1);
    GiflibImage im = rasterOf(p);
    im.left = 9;
    im.top = 6;
    im.interlace = true;
    const Bytes f = giflibWrite(12, 8, p.palette, 8, {im});
    const Decoded d = readFirst(f, true);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.position, (Point{9, 6}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 9 && y >= 6;
            EXPECT_EQ(d.at(x, y), inside ? p.at(x - 9, y - 6) : 0) << x << "," << y;
        }

    // Wholly outside: nothing shows and the offsets are not reported.
    Handmade h;
    h.screenW = 4;
    h.screenH = 4;
    h.left = 40;
    h.top = 1;
    h.width = 2;
    h.height = 1;
    h.data = pack({{4, 3}, {3, 3}, {3, 3}, {5, 3}});
    const Decoded o = readFirst(h.bytes(), true);
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(o.position, (Point{-9, -9}));
    EXPECT_EQ(std::count(o.pixels.begin(), o.pixels.end(), 0), static_cast<long>(o.pixels.size()));
}

TEST(GifRead, FurtherImagesOfAnAnimation) {
    // Our animation: a full first frame, then changed rectangles.
    std::vector<Picture> frames;
    Picture base = bands(24, 16, 8);
    frames.push_back(base);
    for (int i = 1; i < 4; ++i) {
        Picture p = frames.back();
        for (int y = 2 * i; y < 2 * i + 3; ++y)
            for (int x = 3 * i; x < 3 * i + 5; ++x) p.at(x, y) = static_cast<std::uint8_t>(200 + i);
        frames.push_back(p);
    }
    std::FILE* f = std::tmpfile();
    Bytes previous = frames[0].pixels;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (i > 0) std::fseek(f, -1, SEEK_END);
        ASSERT_EQ(GifWrite(i == 0 ? 0 : 1, f, frames[i].pixels.data(), i == 2 ? frames[i].palette.data() : (i == 0 ? frames[0].palette.data() : nullptr),
                           8, 24, 16, frames[i].stride, i > 0 ? previous.data() : nullptr, static_cast<int>(10 * (i + 1)),
                           Point{-1, -1}, 0),
                  1);
    }
    std::rewind(f);

    Decoded first = readImage(f, 0, true);
    ASSERT_EQ(first.result, 1);
    EXPECT_EQ(first.delay, 10);
    EXPECT_EQ(wrongPixels(first, frames[0]), 0);
    EXPECT_EQ(first.transparentIndex, -5);  // left alone for a first image
    std::vector<std::uint8_t> canvas(first.pixels);
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        Decoded d = readImage(f, 1, true);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.delay, 10 * (i + 1));
        EXPECT_EQ(d.transparentIndex, -1);
        // The box holds the changed square, widened to a multiple of 4.
        EXPECT_EQ(d.position, (Point{3 * i, 2 * i}));
        EXPECT_EQ(d.width, 8);
        EXPECT_EQ(d.height, 3);
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x)
                EXPECT_EQ(d.at(x, y), frames[static_cast<std::size_t>(i)].at(3 * i + x, 2 * i + y));
    }
    // Past the last image: the trailer is no image descriptor.
    EXPECT_EQ(readImage(f, 1, true).result, 0);
    std::fclose(f);

    // Transparency that disposes to the background or the previous frame
    // is reported for further images; other disposals are not.
    std::vector<GiflibImage> images;
    for (int disposal : {DISPOSAL_UNSPECIFIED, DISPOSE_BACKGROUND, DISPOSE_DO_NOT, DISPOSE_PREVIOUS}) {
        GiflibImage im = rasterOf(bands(4, 2, 2));
        im.delay = 1;
        im.transparent = 3;
        im.disposal = disposal;
        images.push_back(im);
    }
    std::FILE* g = fileWith(giflibWrite(4, 2, base.palette, 2, images));
    ASSERT_EQ(readImage(g, 0, false).result, 1);
    EXPECT_EQ(readImage(g, 1, false).transparentIndex, 3);
    EXPECT_EQ(readImage(g, 1, false).transparentIndex, -1);
    EXPECT_EQ(readImage(g, 1, false).transparentIndex, 3);
    std::fclose(g);
}

TEST(GifRead, CheckAnimation) {
    plastora::test::TempDir dir;
    auto check = [&](const Bytes& b) {
        writeAll(dir.file("x.gif"), b);
        return CheckAnimation(dir.file("x.gif").c_str());
    };
    const Picture p = bands(8, 8, 8);
    EXPECT_EQ(check(writeStill(p, 0)), 0);
    EXPECT_EQ(check(writeStill(p, 25)), 1);  // one frame, but a delay

    // Extensions before the control extension are skipped.
    Handmade h;
    h.before = extension(0xFE, {{',', '!', ','}});
    Bytes loop = extension(0xFF, {{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}, {1, 0, 0}});
    h.before.insert(h.before.end(), loop.begin(), loop.end());
    Bytes g = control(0, 7, 0);
    h.before.insert(h.before.end(), g.begin(), g.end());
    h.data = pack({{4, 3}, {5, 3}});
    EXPECT_EQ(check(h.bytes()), 1);
    h.version = "GIF87a";
    EXPECT_EQ(check(h.bytes()), 0);

    // No control extension before the image; a zero delay; no global table.
    Handmade plain;
    plain.data = h.data;
    EXPECT_EQ(check(plain.bytes()), 0);
    Handmade zero = h;
    zero.version = "GIF89a";
    zero.before = control(0, 0, 0);
    EXPECT_EQ(check(zero.bytes()), 0);
    Handmade noTable = h;
    noTable.version = "GIF89a";
    noTable.globalBits = 0;
    EXPECT_EQ(check(noTable.bytes()), 1);

    const Bytes animated = h.bytes();
    EXPECT_EQ(check(Bytes(animated.begin(), animated.begin() + 12)), 0);
    EXPECT_EQ(check(Bytes{'P', 'N', 'G'}), 0);
    EXPECT_EQ(CheckAnimation(dir.file("missing.gif").c_str()), 0);
}

TEST(GifRead, DamagedDataLeavesTheRestZero) {
    // Cut short anywhere: before the image data the read fails; inside it
    // the image so far is right and the rest zero; the longer the file, the
    // more of the image is right.
    for (int interlace : {0, 1}) {
        SCOPED_TRACE(interlace);
        Picture p = noise(41, 29, 8, 21);
        for (auto& v : p.pixels) v = static_cast<std::uint8_t>(v | 1);
        const Bytes f = writeStill(p, 0, Point{-1, -1}, interlace);
        const Layout l = walk(f);
        const std::size_t dataStart = l.blocks.back().offset + 10 + 1;  // descriptor, code size
        int lastRight = -1;
        for (std::size_t n = 0; n < f.size(); ++n) {
            const Decoded d = readFirst(Bytes(f.begin(), f.begin() + static_cast<long>(n)));
            if (n < dataStart - 1) {
                ASSERT_EQ(d.result, 0) << n;
                continue;
            }
            ASSERT_EQ(d.result, 1) << n;
            int right = 0, other = 0;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) {
                    if (d.at(x, y) == p.at(x, y)) ++right;
                    else if (d.at(x, y) != 0) ++other;
                }
            EXPECT_EQ(other, 0) << n;
            EXPECT_GE(right, lastRight) << n;
            lastRight = right;
        }
        EXPECT_EQ(lastRight, p.width * p.height);
    }

    // An undefined code (beyond the next free one, 6) ends decoding.
    Handmade h;
    h.data = pack({{4, 3}, {1, 3}, {7, 3}, {3, 3}, {5, 3}});
    const Decoded d = readFirst(h.bytes());
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.at(0, 0), 1);
    EXPECT_EQ(std::count(d.pixels.begin(), d.pixels.end(), 0), static_cast<long>(d.pixels.size()) - 1);
    // So does the end code or another code in place of the first pixel
    // after a clear.
    h.data = pack({{4, 3}, {6, 3}, {1, 3}, {5, 3}});
    const Decoded e = readFirst(h.bytes());
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(std::count(e.pixels.begin(), e.pixels.end(), 0), static_cast<long>(e.pixels.size()));
}

TEST(GifRead, RefusesWhatIsNoImage) {
    Handmade h;
    h.data = pack({{4, 3}, {1, 3}, {5, 3}});
    const Bytes good = h.bytes();
    ASSERT_EQ(readFirst(good).result, 1);

    Bytes notGif = good;
    notGif[2] = 'X';
    EXPECT_EQ(readFirst(notGif).result, 0);
    EXPECT_EQ(readFirst(Bytes{}).result, 0);

    // The trailer, or an unknown block, where the image should be.
    Bytes noImage(good.begin(), good.begin() + 13 + 12);
    noImage.push_back(0x3B);
    EXPECT_EQ(readFirst(noImage).result, 0);
    noImage.back() = 0x00;
    EXPECT_EQ(readFirst(noImage).result, 0);

    // Empty images and pictures over the size limit.
    Handmade empty = h;
    empty.width = 0;
    EXPECT_EQ(readFirst(empty.bytes()).result, 0);
    Handmade screen = h;
    screen.screenW = 65535;
    screen.screenH = 65535;
    EXPECT_EQ(readFirst(screen.bytes(), true).result, 0);
    EXPECT_EQ(readFirst(screen.bytes(), false).result, 1);  // the image's own 8 x 4
    Handmade huge = h;
    huge.width = 65535;
    huge.height = 2000;
    EXPECT_EQ(readFirst(huge.bytes(), false).result, 0);
    huge.height = 1024;  // 64 Mi pixels: the limit itself
    EXPECT_EQ(readFirst(huge.bytes(), false).result, 1);

    // Nothing but a header asks for the first image only.
    std::FILE* f = fileWith(good);
    unsigned char* pixels = nullptr;
    int w = 0, hgt = 0;
    EXPECT_EQ(GifRead(0, nullptr, &pixels, nullptr, nullptr, &w, &hgt, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(GifRead(0, f, nullptr, nullptr, nullptr, &w, &hgt, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(GifRead(0, f, &pixels, nullptr, nullptr, &w, &hgt, nullptr, nullptr, nullptr, nullptr), 1);
    std::free(pixels);
    std::fclose(f);
}

TEST(GifRead, WriteFileReplacesOnlyOnSuccess) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("still.gif");
    const Picture p = noise(19, 7, 6, 30);
    ASSERT_EQ(GifWriteFile(path.c_str(), p.pixels.data(), p.palette.data(), p.bits, p.width, p.height, p.stride), 1);
    const Bytes written = readAll(path);
    EXPECT_TRUE(written == writeStill(p));

    // A refused write leaves the file as it was, and nothing beside it.
    EXPECT_EQ(GifWriteFile(path.c_str(), p.pixels.data(), p.palette.data(), 9, p.width, p.height, p.stride), 0);
    EXPECT_TRUE(readAll(path) == written);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(GifWriteFile(dir.file("no/such/folder.gif").c_str(), p.pixels.data(), p.palette.data(), p.bits,
                           p.width, p.height, p.stride),
              0);

    unsigned char* pixels = nullptr;
    short bits = 0;
    std::vector<std::uint32_t> palette(256);
    int w = 0, h = 0;
    ASSERT_EQ(GifReadFile(path.c_str(), &pixels, &bits, palette.data(), &w, &h), 1);
    EXPECT_EQ(bits, 6);
    EXPECT_EQ(w, 19);
    EXPECT_EQ(h, 7);
    int wrong = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) wrong += pixels[(6 - y) * 20 + x] != p.at(x, y);
    EXPECT_EQ(wrong, 0);
    std::free(pixels);
}
