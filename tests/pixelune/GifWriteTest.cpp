// Writing GIF files: the bytes of the stream, the compressed data against
// giflib's encoder and decoder, the table resets, animations frame by frame
// with changed rectangles, and Pillow playing the result.
#include "GifTestSupport.h"
#include "support/TempDir.h"

#include <fstream>

using namespace giftest;
using plastora::Point;

namespace {

// From the code-size byte to the block terminator.
Bytes dataOf(const Bytes& file, std::size_t at) { return Bytes(file.begin() + static_cast<long>(at), file.end() - 1); }

// For every clear code, how many pixels the codes before it stand for, by
// LZW's own rule: the first code after a clear is one pixel; each later code
// defines an entry one pixel longer than the code before it.
std::vector<long> clearPositions(const std::vector<int>& codes, int clear) {
    std::vector<long> positions;
    std::vector<int> length(4096, 1);
    int nextFree = clear + 2, previous = -1;
    long pos = 0;
    for (int c : codes) {
        if (c == clear) {
            positions.push_back(pos);
            nextFree = clear + 2;
            previous = -1;
            continue;
        }
        if (previous >= 0) {
            pos += c < nextFree ? length[c] : length[previous] + 1;
            if (nextFree < 4096) length[nextFree++] = length[previous] + 1;
        } else {
            ++pos;
        }
        previous = c;
    }
    return positions;
}

}  // namespace

TEST(GifWrite, StillImageBytes) {
    // 1 bit: initial code size 2, so clear code 4 and 3-bit codes.
    Picture p = bands(13, 7, 1);
    p.palette[0] = 0x102030;
    p.palette[1] = 0xA0B0C0;
    const Bytes f = writeStill(p);
    const Bytes head = {'G', 'I', 'F', '8', '9', 'a', 13, 0, 7, 0, 0xF0, 255, 0,  // screen, 2-entry table
                        0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0,
                        0x21, 0xF9, 4, 0, 0, 0, 0xFF, 0,                      // no delay, no transparency
                        0x2C, 0, 0, 0, 0, 13, 0, 7, 0, 0, 2};                 // full image; code size 2
    EXPECT_EQ(Bytes(f.begin(), f.begin() + static_cast<long>(head.size())), head);
    EXPECT_EQ(f.back(), 0x3B);
    const std::vector<int> codes = giflibCodes(f);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 4);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 4), 1);
    expectGiflibReads(f, p);

    // The transparent index is the pixel at (x, y) counted from the top; a
    // point outside the picture means none.
    Picture t = bands(8, 6, 4);
    t.at(2, 1) = 9;
    const std::size_t gce = 13 + 3 * 16;
    EXPECT_EQ(writeStill(t, 0, Point{2, 1})[gce + 3], 1);
    EXPECT_EQ(writeStill(t, 0, Point{2, 1})[gce + 6], 9);
    for (Point outside : {Point{8, 0}, Point{0, 6}, Point{-1, 3}}) {
        const Bytes o = writeStill(t, 0, outside);
        EXPECT_EQ(o[gce + 3], 0);
        EXPECT_EQ(o[gce + 6], 0xFF);
    }
    // Index bits above the picture's bits do not count.
    Picture dirty = t;
    for (auto& v : dirty.pixels) v |= 0xF0;
    EXPECT_TRUE(writeStill(dirty) == writeStill(t));
}

TEST(GifWrite, CompressedDataIsGiflibsByteForByte) {
    // LZW parsing is fixed by the string table: below 10000 pixels, and
    // while the table does not fill, ours is reset exactly where giflib's
    // is, so the data must be the same bytes, interlaced rows included.
    std::vector<std::pair<Picture, bool>> cases = {
        {bands(1, 1, 1), false}, {bands(1, 50, 2), false}, {bands(77, 1, 3), false},
        {noise(60, 50, 8, 3), false}, {bands(57, 43, 8), true}, {noise(20, 13, 2, 1), true}};
    for (short bits = 1; bits <= 8; ++bits) cases.push_back({noise(57, 31, bits, 7u + bits), false});
    for (const auto& [p, interlace] : cases) {
        SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + " bits " + std::to_string(p.bits));
        const Bytes ours = writeStill(p, 0, Point{-1, -1}, interlace);
        GiflibImage im = rasterOf(p);
        im.interlace = interlace;
        const Bytes theirs = giflibWrite(p.width, p.height, p.palette, p.bits, {im});
        const std::size_t table = 13 + 3 * (std::size_t{1} << p.bits);
        EXPECT_EQ(ours[table + 8 + 9], interlace ? 0x40 | (p.bits - 1) : p.bits - 1);
        EXPECT_TRUE(dataOf(ours, table + 8 + 10) == dataOf(theirs, table + 10));
        expectGiflibReads(ours, p);
    }
}

TEST(GifWrite, TableResets) {
    // An 8-bit picture's table holds codes 258..4094: a full table is 3837
    // codes after a clear. giflib's reading of the codes is the reference.
    const int fullTable = 4094 - 258 + 1;
    auto spans = [](const std::vector<int>& codes) {
        std::vector<int> s;
        for (int c : codes) {
            if (c == 256) s.push_back(0);
            else ++s.back();
        }
        return s;
    };

    // Noise below 10000 pixels fills the table twice; up to the first full
    // table the codes are giflib's, which sends one more code before its
    // clear.
    const Picture small = noise(99, 101, 8, 3);
    const std::vector<int> codes = giflibCodes(writeStill(small));
    EXPECT_EQ(spans(codes)[0], fullTable);
    EXPECT_EQ(spans(codes)[1], fullTable);
    const std::vector<int> theirs = giflibCodes(giflibWrite(99, 101, small.palette, 8, {rasterOf(small)}));
    const auto diverge = std::mismatch(codes.begin(), codes.end(), theirs.begin(), theirs.end());
    ASSERT_NE(diverge.first, codes.end());
    EXPECT_EQ(diverge.first - codes.begin(), 1 + fullTable);
    EXPECT_EQ(*diverge.first, 256);

    // Larger noise compresses worse than the best measured so far at every
    // measurement, so new tables also start early: at the first pixel not in
    // the table after 10000 pixels since the last measurement (that pixel is
    // not yet coded).
    const Picture noisy = noise(400, 300, 8, 11);
    const Bytes n = writeStill(noisy);
    expectGiflibReads(n, noisy);
    const std::vector<int> noisyCodes = giflibCodes(n);
    const std::vector<int> noisySpans = spans(noisyCodes);
    const std::vector<long> positions = clearPositions(noisyCodes, 256);
    EXPECT_LE(*std::max_element(noisySpans.begin(), noisySpans.end()), fullTable);
    std::vector<long> early;
    for (std::size_t i = 1; i < positions.size(); ++i)
        if (noisySpans[i - 1] < fullTable) early.push_back(positions[i]);
    ASSERT_EQ(early.size(), 12u);  // 120000 pixels
    for (std::size_t i = 0; i < early.size(); ++i) EXPECT_EQ(early[i], 9999 + 10000 * static_cast<long>(i));

    // A flat part, then 10-colour noise: compression falls from the best by
    // more than 10 points but stays under 90 (about 54), which restarts at
    // the second measurement, 10000 pixels after the first (which comes
    // where the flat part's last string ends, at pixel 10000).
    Picture mixed = noise(200, 110, 8, 5, 10);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 200; ++x) mixed.at(x, y) = 0;
    const std::vector<long> mixedClears = clearPositions(giflibCodes(writeStill(mixed)), 256);
    ASSERT_EQ(mixedClears.size(), 2u);
    EXPECT_GE(mixedClears[1], 20000);
    EXPECT_LE(mixedClears[1], 20004);

    // A picture that compresses well is never restarted: 120000 pixels of
    // giflib's data, byte for byte.
    Picture tiled(400, 300, 8);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) tiled.at(x, y) = static_cast<std::uint8_t>((x % 7) * 30 + (y % 3));
    const Bytes t = writeStill(tiled);
    expectGiflibReads(t, tiled);
    EXPECT_TRUE(dataOf(t, 13 + 768 + 18) == dataOf(giflibWrite(400, 300, tiled.palette, 8, {rasterOf(tiled)}), 13 + 768 + 10));
}

TEST(GifWrite, RefusesWhatItCannotWrite) {
    const Picture p = bands(8, 8, 8);
    std::FILE* f = std::tmpfile();
    auto write = [&](const std::uint32_t* pal, short bits, int w, int h, int stride, int delay) {
        return GifWrite(0, f, p.pixels.data(), pal, bits, w, h, stride, nullptr, delay, Point{-1, -1}, 0);
    };
    const std::uint32_t* pal = p.palette.data();
    EXPECT_EQ(write(pal, 0, 8, 8, 8, 0) + write(pal, 9, 8, 8, 8, 0) + write(pal, 8, 0, 8, 8, 0) +
                  write(pal, 8, 8, 0, 8, 0) + write(pal, 8, 8, 8, 7, 0) + write(pal, 8, 8, 8, 8, 0x10000) +
                  write(nullptr, 8, 8, 8, 8, 0),
              0);
    EXPECT_EQ(contents(f).size(), 0u);
    std::fclose(f);
    // A file that cannot take the bytes is a failure, not a success.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        EXPECT_EQ(GifWrite(0, full, p.pixels.data(), pal, 8, 8, 8, 8, nullptr, 0, Point{-1, -1}, 0), 0);
        std::fclose(full);
    }
}

// ---------------------------------------------------------------------------
// Animations.

namespace {

// Frames written one call each, moving back over the trailer in between;
// frames listed in `local` get their palette as a local table.
Bytes writeAnimation(const std::vector<Picture>& frames, const std::vector<int>& delays, bool withPrevious,
                     std::size_t local = 0) {
    std::FILE* f = std::tmpfile();
    Bytes previous = frames[0].pixels;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Picture& p = frames[i];
        if (i > 0) std::fseek(f, -1, SEEK_END);
        EXPECT_EQ(GifWrite(i > 0, f, p.pixels.data(), i == 0 || i == local ? p.palette.data() : nullptr, p.bits,
                           p.width, p.height, p.stride, withPrevious && i > 0 ? previous.data() : nullptr, delays[i],
                           Point{-1, -1}, 0),
                  1);
        EXPECT_TRUE(!withPrevious || i == 0 || previous == p.pixels);  // updated to this frame
    }
    Bytes b = contents(f);
    std::fclose(f);
    return b;
}

std::vector<Picture> movingSquare(int w, int h, int count) {
    std::vector<Picture> frames;
    for (int i = 0; i < count; ++i) {
        Picture p = bands(w, h, 8);
        for (int y = 5; y < 12; ++y)
            for (int x = 3 + 4 * i; x < 9 + 4 * i; ++x) p.at(x, y) = static_cast<std::uint8_t>(100 + i);
        frames.push_back(p);
    }
    return frames;
}

}  // namespace

TEST(GifWrite, AnimationFrameByFrame) {
    std::vector<Picture> frames = movingSquare(40, 24, 4);
    for (auto& c : frames[2].palette) c ^= 0x00FFFFFF;
    const std::vector<int> delays = {7, 12, 30, 5};
    const Bytes f = writeAnimation(frames, delays, false, 2);
    // The looping block, once, before the first image: loop count 32760.
    const Bytes loop = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0xF8, 0x7F, 0};
    const auto at = std::search(f.begin(), f.end(), loop.begin(), loop.end());
    EXPECT_EQ(at - f.begin(), 13 + 768);
    EXPECT_EQ(std::search(at + 1, f.end(), loop.begin(), loop.end()), f.end());
    EXPECT_EQ(f.back(), 0x3B);

    // A trailer left between frames would end the file early for giflib.
    Giflib g(f);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->ImageCount, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g.control(i).DelayTime, delays[i]);
        EXPECT_EQ(g.control(i).TransparentColor, NO_TRANSPARENT_COLOR);
        EXPECT_EQ(g.desc(i).Width * 100 + g.desc(i).Height, 4024);
        EXPECT_EQ(g.desc(i).ColorMap != nullptr, i == 2);
        int wrong = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) wrong += g.at(i, x, y) != frames[i].at(x, y);
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(g.desc(2).ColorMap->Colors[100].Red, static_cast<GifByteType>(frames[2].palette[100] >> 16));
}

TEST(GifWrite, ChangedRectangles) {
    // 18 x 10 frames, rows of 24 bytes: only what changed is written, in a
    // box widened to a multiple of 4 and kept inside the picture.
    Picture base(18, 10, 8);
    base.stride = 24;
    base.pixels.assign(240, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 18; ++x) base.at(x, y) = static_cast<std::uint8_t>(x + 20 * y);
    std::vector<Picture> frames{base};
    for (const auto& points : std::vector<std::vector<Point>>{{{5, 3}, {6, 4}}, {{2, 2}, {9, 7}}, {{17, 9}}, {},
                                                               {{0, 0}, {17, 0}}}) {
        Picture p = frames.back();
        for (Point q : points) p.at(q.x, q.y) ^= 0x80;
        frames.push_back(p);
    }
    frames.push_back(frames.back());  // only the row padding changes
    for (int y = 0; y < 10; ++y) frames.back().pixels[y * 24 + 20] = 77;

    const Bytes f = writeAnimation(frames, std::vector<int>(frames.size(), 4), true);
    Giflib g(f);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->ImageCount, 7);
    const std::vector<std::vector<int>> expected = {{0, 0, 18, 10}, {5, 3, 4, 2}, {2, 2, 8, 6}, {14, 9, 4, 1},
                                                    {0, 0, 4, 1},   {0, 0, 18, 1}, {0, 0, 4, 1}};
    std::vector<std::uint8_t> canvas(18 * 10);
    for (int i = 0; i < 7; ++i) {
        const GifImageDesc& d = g.desc(i);
        EXPECT_EQ((std::vector<int>{d.Left, d.Top, d.Width, d.Height}), expected[i]) << i;
        EXPECT_FALSE(d.Interlace);
        // Painting each box over the last picture gives each frame.
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) canvas[(d.Top + y) * 18 + d.Left + x] = g.at(i, x, y);
        int wrong = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 18; ++x) wrong += canvas[y * 18 + x] != frames[i].at(x, y);
        EXPECT_EQ(wrong, 0) << i;
    }
    // The corner box is no wider than a narrow picture.
    Giflib n(writeAnimation({bands(2, 3, 8), bands(2, 3, 8)}, {3, 3}, true));
    ASSERT_TRUE(n.ok());
    EXPECT_EQ(n.desc(1).Width * 10 + n.desc(1).Height, 21);
}

TEST(GifWrite, PillowPlaysTheAnimation) {
    plastora::test::TempDir dir;
    const std::vector<Picture> frames = movingSquare(48, 30, 5);
    writeAll(dir.file("anim.gif"), writeAnimation(frames, {10, 20, 30, 40, 50}, true));
    std::ofstream(dir.file("check.py")) << "import sys\n"
                                           "try:\n  from PIL import Image\nexcept ImportError:\n  sys.exit(3)\n"
                                           "im = Image.open(sys.argv[1])\n"
                                           "print(im.n_frames, im.info.get('loop'))\n"
                                           "for i in range(im.n_frames):\n"
                                           "  im.seek(i)\n"
                                           "  r, g, b = im.convert('RGB').getpixel((4 + 4 * i, 6))\n"
                                           "  print(im.size[0], im.size[1], im.info['duration'], r << 16 | g << 8 | b)\n";
    const std::string python = std::ifstream("/usr/bin/python3").good() ? "/usr/bin/python3" : "python3";
    const int rc = std::system((python + " " + dir.file("check.py") + " " + dir.file("anim.gif") + " > " +
                                dir.file("out.txt") + " 2>&1").c_str());
    if (WEXITSTATUS(rc) == 3 || WEXITSTATUS(rc) == 127) GTEST_SKIP() << "Python Pillow is not installed";
    ASSERT_EQ(rc, 0);
    std::ifstream in(dir.file("out.txt"));
    int count = 0, loop = 0;
    in >> count >> loop;
    EXPECT_EQ(count, 5);
    EXPECT_EQ(loop, 32760);
    for (int i = 0; i < count; ++i) {
        int w = 0, h = 0, duration = 0;
        std::uint32_t colour = 0;
        in >> w >> h >> duration >> colour;
        EXPECT_EQ(w * 100 + h, 4830);
        EXPECT_EQ(duration, 100 * (i + 1));
        // Inside the moving square, after composing the changed boxes.
        EXPECT_EQ(colour, frames[0].palette[100 + i]);
    }
}
