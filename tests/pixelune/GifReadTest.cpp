// Reading GIF files: files from giflib and hand-made streams, the placement
// on the logical screen, further images, the animation test, and damaged or
// hostile input.
#include "GifTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>

using namespace giftest;
using plastora::Point;

namespace {

// A hand-made GIF: 4-colour global table (or none), the given blocks, one
// image with the given code-size byte and data, trailer.
struct Handmade {
    std::string version = "GIF89a";
    int screenW = 8, screenH = 4;
    short globalBits = 2;
    Bytes before;
    int left = 0, top = 0, width = 8, height = 4, flags = 0, codeSize = 2;
    Bytes data;

    Bytes bytes() const {
        Bytes b(version.begin(), version.end());
        auto put16 = [&](int v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); };
        put16(screenW);
        put16(screenH);
        b.insert(b.end(), {static_cast<std::uint8_t>(globalBits ? 0xF0 | (globalBits - 1) : 0x70), 0, 0});
        for (int i = 0; i < 3 * (globalBits ? 1 << globalBits : 0); ++i) b.push_back(static_cast<std::uint8_t>(i * 13));
        b.insert(b.end(), before.begin(), before.end());
        b.push_back(0x2C);
        for (int v : {left, top, width, height}) put16(v);
        b.insert(b.end(), {static_cast<std::uint8_t>(flags), static_cast<std::uint8_t>(codeSize)});
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            b.push_back(static_cast<std::uint8_t>(n));
            b.insert(b.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
        }
        b.insert(b.end(), {0, 0x3B});
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
        for (count += width; count >= 8; count -= 8, bits >>= 8) out.push_back(static_cast<std::uint8_t>(bits));
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

Bytes control(int delay) { return extension(0xF9, {{0, static_cast<std::uint8_t>(delay), 0, 0}}); }

plastora::ColorRef colorRef(std::uint32_t rgb) { return plastora::RGB(rgb >> 16, rgb >> 8, rgb); }

}  // namespace

TEST(GifRead, GiflibFilesDecodeToTheSamePixels) {
    std::vector<Picture> pictures;
    for (short bits = 1; bits <= 8; ++bits) pictures.push_back(noise(37 + bits, 23, bits, 100u + bits));
    pictures.push_back(noise(1, 40, 8, 1));
    pictures.push_back(noise(300, 200, 8, 2));  // giflib fills and clears the table many times
    for (const Picture& p : pictures)
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(std::to_string(p.width) + " bits " + std::to_string(p.bits) + (interlace ? " interlaced" : ""));
            GiflibImage im = rasterOf(p);
            im.interlace = interlace;
            const Decoded d = readFirst(giflibWrite(p.width, p.height, p.palette, p.bits, {im}));
            ASSERT_EQ(d.result, 1);
            EXPECT_EQ(d.width * 1000 + d.height, p.width * 1000 + p.height);
            EXPECT_EQ(d.bits, p.bits);
            EXPECT_EQ(wrongPixels(d, p), 0);
            EXPECT_TRUE(std::equal(p.palette.begin(), p.palette.begin() + (1 << p.bits), d.palette.begin()));
            EXPECT_TRUE(p.bits == 8 || d.palette[1u << p.bits] == 0xDEADBEEFu);  // the rest left alone
        }

    // Comments and graphic control data holding the bytes 0x21 and 0x2C;
    // delay and transparent colour (a COLORREF) from the control extension.
    const Picture p = bands(20, 9, 3);
    GiflibImage im = rasterOf(p);
    im.comment = "a, b! 0x2C, 0x21 !!,,";
    im.delay = 8;
    im.transparent = 2;
    const Decoded d = readFirst(giflibWrite(20, 9, p.palette, 3, {im}));
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(wrongPixels(d, p), 0);
    EXPECT_EQ(d.delay, 8);
    EXPECT_EQ(d.transparentColour, colorRef(p.palette[2]));
    EXPECT_EQ(readFirst(writeStill(p)).transparentColour, 0xFEFEFEFEu);  // none: left alone

    // Only a local colour table; a local table replacing the global one.
    GiflibImage local = rasterOf(p);
    local.localPalette = std::vector<std::uint32_t>(8, 0x010203);
    local.localBits = 3;
    const Decoded onlyLocal = readFirst(giflibWrite(20, 9, p.palette, 0, {local}));
    ASSERT_EQ(onlyLocal.result, 1);
    EXPECT_EQ(wrongPixels(onlyLocal, p), 0);
    EXPECT_EQ(onlyLocal.palette[7], 0x010203u);
    const Decoded replaced = readFirst(giflibWrite(20, 9, p.palette, 8, {local}));
    EXPECT_EQ(replaced.bits, 3);
    EXPECT_EQ(replaced.palette[7], 0x010203u);
    EXPECT_EQ(replaced.palette[8], 0xDEADBEEFu);
}

TEST(GifRead, HandMadeStreams) {
    // 2-bit streams (clear 4, end 5), worked by hand and read by giflib too:
    // without a leading clear, with clears in a row, with codes defined by
    // their own use. Codes are 3 bits wide until the code after the one that
    // makes the count since the clear (from 6) reach 8.
    const std::vector<std::pair<std::vector<std::pair<int, int>>, Bytes>> streams = {
        // 1, 1 (6 = 11), 6 (7 = 11), 2 (8 = 112)
        {{{1, 3}, {1, 3}, {6, 3}, {2, 4}, {5, 4}}, {1, 1, 1, 1, 2}},
        // clear, clear, 3, clear, 2, 6 = 22, 7 = 222
        {{{4, 3}, {4, 3}, {3, 3}, {4, 3}, {2, 3}, {6, 3}, {7, 3}, {5, 4}}, {3, 2, 2, 2, 2, 2, 2}},
        // 0, 6 = 00, 7 = 000, 1 (8 = 0001), 8
        {{{4, 3}, {0, 3}, {6, 3}, {7, 3}, {1, 4}, {8, 4}, {5, 4}}, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
    };
    for (const auto& [codes, pixels] : streams) {
        Handmade h;
        h.width = h.screenW = static_cast<int>(pixels.size());
        h.height = h.screenH = 1;
        h.data = pack(codes);
        const Decoded d = readFirst(h.bytes());
        Giflib g(h.bytes());
        ASSERT_EQ(d.result, 1);
        ASSERT_TRUE(g.ok());
        for (int x = 0; x < h.width; ++x) {
            EXPECT_EQ(d.at(x, 0), pixels[x]) << x;
            EXPECT_EQ(g.at(0, x, 0), pixels[x]) << x;
        }
    }

    // Data written with code size 8 under a 2-colour table: the code size
    // is the file's.
    const Picture two = noise(31, 11, 8, 6, 2);
    const Bytes eight = giflibWrite(31, 11, two.palette, 8, {rasterOf(two)});
    Handmade h;
    h.globalBits = 1;
    h.width = h.screenW = 31;
    h.height = h.screenH = 11;
    h.codeSize = 8;
    h.data.clear();
    for (std::size_t i = 13 + 768 + 10 + 1; eight[i] != 0; i += eight[i] + 1)
        h.data.insert(h.data.end(), eight.begin() + static_cast<long>(i) + 1, eight.begin() + static_cast<long>(i) + 1 + eight[i]);
    const Decoded t = readFirst(h.bytes());
    EXPECT_EQ(t.bits, 1);
    EXPECT_EQ(wrongPixels(t, two), 0);

    // A code-size byte out of range: the colour table's bits decide (2 for a
    // 1-bit table).
    for (int bad : {0, 1, 9, 12, 255}) {
        Handmade b;
        b.globalBits = 1;
        b.width = 3;
        b.height = 1;
        b.codeSize = bad;
        b.data = pack({{4, 3}, {1, 3}, {0, 3}, {1, 3}, {5, 4}});
        const Decoded r = readFirst(b.bytes());
        ASSERT_EQ(r.result, 1) << bad;
        EXPECT_EQ(r.at(0, 0) * 100 + r.at(1, 0) * 10 + r.at(2, 0), 101) << bad;
    }
}

TEST(GifRead, ImageOnTheLogicalScreen) {
    // A 5 x 3 image at (4, 2) and an interlaced 6 x 5 one at (9, 6) reaching
    // past a 12 x 8 screen: placed, clipped, the rest zero.
    for (const auto& [w, h, left, top] : std::vector<std::tuple<int, int, int, int>>{{5, 3, 4, 2}, {6, 5, 9, 6}}) {
        Picture p = noise(w, h, 4, 12);
        for (auto& v : p.pixels) v |= 1;
        GiflibImage im = rasterOf(p);
        im.left = left;
        im.top = top;
        im.interlace = h == 5;
        const Bytes f = giflibWrite(12, 8, p.palette, 4, {im});
        const Decoded d = readFirst(f, true);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.width * 100 + d.height, 1208);
        EXPECT_EQ(d.position, (Point{left, top}));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= left && x < left + w && y >= top && y < top + h;
                EXPECT_EQ(d.at(x, y), inside ? p.at(x - left, y - top) : 0) << x << "," << y;
            }
        // Without a position: the image's own size.
        const Decoded own = readFirst(f, false);
        EXPECT_EQ(own.width * 100 + own.height, w * 100 + h);
        EXPECT_EQ(wrongPixels(own, p), 0);
    }

    // Wholly outside: nothing shows and the offsets are not reported.
    Handmade h;
    h.left = 40;
    h.width = 2;
    h.height = 1;
    h.data = pack({{4, 3}, {3, 3}, {3, 3}, {5, 3}});
    const Decoded o = readFirst(h.bytes(), true);
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(o.position, (Point{-9, -9}));
    EXPECT_TRUE(o.allZero());
}

TEST(GifRead, FurtherImagesOfAnAnimation) {
    // Our animation with changed rectangles, read image by image.
    std::FILE* f = std::tmpfile();
    Picture frame = bands(24, 16, 8);
    Bytes previous = frame.pixels;
    for (int i = 0; i < 4; ++i) {
        for (int y = 2 * i; i > 0 && y < 2 * i + 3; ++y)
            for (int x = 3 * i; x < 3 * i + 5; ++x) frame.at(x, y) = static_cast<std::uint8_t>(200 + i);
        if (i > 0) std::fseek(f, -1, SEEK_END);
        ASSERT_EQ(GifWrite(i, f, frame.pixels.data(), i != 1 ? frame.palette.data() : nullptr, 8, 24, 16, 24,
                           i ? previous.data() : nullptr, 10 * (i + 1), Point{-1, -1}, 0),
                  1);
    }
    std::rewind(f);
    const Decoded first = readImage(f, 0, true);
    ASSERT_EQ(first.result, 1);
    EXPECT_EQ(first.delay, 10);
    EXPECT_EQ(first.transparentIndex, -5);  // left alone for a first image
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Decoded d = readImage(f, 1, true);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.delay, 10 * (i + 1));
        EXPECT_EQ(d.transparentIndex, -1);
        // The new square, widened to 8.
        EXPECT_EQ(d.position, (Point{3 * i, 2 * i}));
        EXPECT_EQ(d.width * 100 + d.height, 803);
        EXPECT_EQ(d.at(4, 2), 200 + i);
        EXPECT_EQ(d.at(5, 0), frame.at(3 * i + 5, 2 * i));
    }
    EXPECT_EQ(readImage(f, 1, true).result, 0);  // the trailer is no image
    std::fclose(f);

    // Transparency with disposal to the background or the previous frame
    // is reported for further images; with other disposals it is not.
    std::vector<GiflibImage> images;
    for (int disposal : {DISPOSAL_UNSPECIFIED, DISPOSE_BACKGROUND, DISPOSE_DO_NOT, DISPOSE_PREVIOUS}) {
        images.push_back(rasterOf(bands(4, 2, 2)));
        images.back().delay = 1;
        images.back().transparent = 3;
        images.back().disposal = disposal;
    }
    std::FILE* g = fileWith(giflibWrite(4, 2, frame.palette, 2, images));
    EXPECT_EQ(readImage(g, 0, false).result, 1);
    for (int expected : {3, -1, 3}) EXPECT_EQ(readImage(g, 1, false).transparentIndex, expected);
    std::fclose(g);
}

TEST(GifRead, CheckAnimation) {
    plastora::test::TempDir dir;
    auto check = [&](const Bytes& b) {
        writeAll(dir.file("x.gif"), b);
        return CheckAnimation(dir.file("x.gif").c_str());
    };
    EXPECT_EQ(check(writeStill(bands(8, 8, 8), 0)), 0);
    EXPECT_EQ(check(writeStill(bands(8, 8, 8), 25)), 1);  // one frame, but a delay

    // Extensions before the control extension are skipped block by block.
    Handmade h;
    h.before = extension(0xFE, {{',', '!', ','}});
    const Bytes loop = extension(0xFF, {{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}, {1, 0, 0}});
    const Bytes delayed = control(7);
    h.before.insert(h.before.end(), loop.begin(), loop.end());
    h.before.insert(h.before.end(), delayed.begin(), delayed.end());
    h.data = pack({{4, 3}, {5, 3}});
    EXPECT_EQ(check(h.bytes()), 1);
    Handmade noTable = h;
    noTable.globalBits = 0;
    EXPECT_EQ(check(noTable.bytes()), 1);
    Handmade old = h;
    old.version = "GIF87a";
    EXPECT_EQ(check(old.bytes()), 0);
    Handmade zero = h;
    zero.before = control(0);
    EXPECT_EQ(check(zero.bytes()), 0);
    zero.before.clear();  // the image comes first
    EXPECT_EQ(check(zero.bytes()), 0);
    const Bytes whole = h.bytes();
    EXPECT_EQ(check(Bytes(whole.begin(), whole.begin() + 12)), 0);
    EXPECT_EQ(CheckAnimation(dir.file("missing.gif").c_str()), 0);
}

TEST(GifRead, DamagedAndHostileInput) {
    // Cut short anywhere: before the image data the read fails; inside it
    // what was decoded is right and the rest zero, more of it the longer
    // the file.
    for (int interlace : {0, 1}) {
        Picture p = noise(41, 29, 8, 21);
        for (auto& v : p.pixels) v |= 1;
        const Bytes f = writeStill(p, 0, Point{-1, -1}, interlace);
        const std::size_t codeSizeAt = 13 + 768 + 8 + 10;
        int lastRight = 0;
        for (std::size_t n = 0; n < f.size(); ++n) {
            const Decoded d = readFirst(Bytes(f.begin(), f.begin() + static_cast<long>(n)));
            ASSERT_EQ(d.result, n >= codeSizeAt ? 1 : 0) << n;
            int right = 0, other = 0;
            for (int y = 0; d.result && y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) {
                    if (d.at(x, y) == p.at(x, y)) ++right;
                    else other += d.at(x, y) != 0;
                }
            EXPECT_EQ(other, 0) << n;
            EXPECT_GE(right, lastRight) << n;
            lastRight = std::max(lastRight, right);
        }
        EXPECT_EQ(lastRight, p.width * p.height);
    }

    // A code beyond the next free one (6) ends decoding; so does a code in
    // place of the first pixel after a clear.
    Handmade h;
    h.data = pack({{4, 3}, {1, 3}, {7, 3}, {3, 3}, {5, 3}});
    const Decoded d = readFirst(h.bytes());
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.at(0, 0), 1);
    EXPECT_EQ(std::count(d.pixels.begin(), d.pixels.end(), 0), static_cast<long>(d.pixels.size()) - 1);
    h.data = pack({{4, 3}, {6, 3}, {1, 3}, {5, 3}});
    EXPECT_TRUE(readFirst(h.bytes()).allZero());

    // Not a GIF; the trailer or an unknown block where the image should be.
    const Bytes good = h.bytes();
    Bytes notGif = good;
    notGif[2] = 'X';
    EXPECT_EQ(readFirst(notGif).result, 0);
    for (std::uint8_t b : {0x3B, 0x00}) {
        Bytes noImage(good.begin(), good.begin() + 25);
        noImage.push_back(b);
        EXPECT_EQ(readFirst(noImage).result, 0);
    }
    // Empty pictures and pictures over the size limit; the limit itself.
    Handmade big = h;
    big.width = 0;
    EXPECT_EQ(readFirst(big.bytes()).result, 0);
    big.width = 8;
    big.screenW = big.screenH = 65535;
    EXPECT_EQ(readFirst(big.bytes(), true).result, 0);
    EXPECT_EQ(readFirst(big.bytes(), false).result, 1);  // the image's own 8 x 4
    big.width = 65535;
    big.height = 2000;
    EXPECT_EQ(readFirst(big.bytes(), false).result, 0);
    big.height = 1024;  // 64 Mi pixels
    EXPECT_EQ(readFirst(big.bytes(), false).result, 1);
}

TEST(GifRead, Files) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("still.gif");
    const Picture p = noise(19, 7, 6, 30);
    ASSERT_EQ(GifWriteFile(path.c_str(), p.pixels.data(), p.palette.data(), p.bits, p.width, p.height, p.stride), 1);
    unsigned char* pixels = nullptr;
    short bits = 0;
    std::vector<std::uint32_t> palette(256);
    int w = 0, h = 0;
    ASSERT_EQ(GifReadFile(path.c_str(), &pixels, &bits, palette.data(), &w, &h), 1);
    EXPECT_EQ(bits * 10000 + w * 100 + h, 61907);
    int wrong = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) wrong += pixels[(6 - y) * 20 + x] != p.at(x, y);
    EXPECT_EQ(wrong, 0);
    std::free(pixels);

    // A refused write leaves the file as it was, and nothing beside it.
    const auto before = std::filesystem::last_write_time(path);
    EXPECT_EQ(GifWriteFile(path.c_str(), p.pixels.data(), p.palette.data(), 9, p.width, p.height, p.stride), 0);
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_EQ(GifWriteFile(dir.file("no/folder.gif").c_str(), p.pixels.data(), p.palette.data(), 6, 19, 7, 20), 0);
    EXPECT_EQ(GifReadFile(dir.file("missing.gif").c_str(), &pixels, &bits, palette.data(), &w, &h), 0);
}
