// Writing GIF files: the bytes of the stream, the compressed data against
// giflib's encoder and decoder, interlacing, the table resets, animations
// frame by frame with changed rectangles, and other readers of the result.
#include "GifTestSupport.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace giftest;
using plastora::Point;

namespace {

Bytes imageDataOf(const Bytes& file, int* codeSize = nullptr, std::vector<int>* lengths = nullptr) {
    const Layout l = walk(file);
    for (const Block& b : l.blocks)
        if (b.kind == 0x2C) {
            if (codeSize) *codeSize = b.codeSize;
            if (lengths) *lengths = b.subBlockLengths;
            return b.data;
        }
    return {};
}

GiflibImage asGiflibImage(const Picture& p) {
    GiflibImage im;
    im.width = p.width;
    im.height = p.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) im.raster.push_back(p.at(x, y));
    return im;
}

// giflib decodes the file to the picture's pixels and colours.
void expectGiflibReads(const Bytes& file, const Picture& p) {
    Giflib g(file);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->ImageCount, 1);
    ASSERT_EQ(g->SWidth, p.width);
    ASSERT_EQ(g->SHeight, p.height);
    ASSERT_NE(g->SColorMap, nullptr);
    ASSERT_EQ(g->SColorMap->ColorCount, 1 << p.bits);
    for (int i = 0; i < (1 << p.bits); ++i) {
        const GifColorType c = g->SColorMap->Colors[i];
        EXPECT_EQ((std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue, p.palette[i]) << i;
    }
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) wrong += g.at(0, x, y) != p.at(x, y);
    EXPECT_EQ(wrong, 0);
}

// For every clear code of a code list, how many pixels the codes before it
// stand for. LZW's own rule: the first code after a clear is one pixel; each
// later code defines an entry one pixel longer than the code before it.
std::vector<long> clearPositions(const std::vector<int>& codes, int clear) {
    std::vector<long> positions;
    std::vector<int> length(4096, 1);
    int nextFree = clear + 2;
    int previous = -1;
    long pos = 0;
    for (int c : codes) {
        if (c == clear) {
            positions.push_back(pos);
            nextFree = clear + 2;
            previous = -1;
            continue;
        }
        int n = 1;
        if (previous >= 0) {
            n = c < nextFree ? length[c] : length[previous] + 1;
            if (nextFree < 4096) length[nextFree++] = length[previous] + 1;
        }
        pos += n;
        previous = c;
    }
    return positions;
}

int countOf(const std::vector<int>& codes, int code) {
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
}

}  // namespace

TEST(GifWrite, StillImageLayout) {
    // 1 bit: initial code size 2, 3-bit codes, clear 4, end 5.
    Picture p = bands(13, 7, 1);
    p.palette[0] = 0x102030;
    p.palette[1] = 0xA0B0C0;
    const Bytes f = writeStill(p);
    const Layout l = walk(f);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
    EXPECT_EQ(le16(f, 6), 13);
    EXPECT_EQ(le16(f, 8), 7);
    EXPECT_EQ(f[10], 0xF0);  // global table of 2 entries, colour resolution 8 bits
    EXPECT_EQ(f[11], 255);
    EXPECT_EQ(f[12], 0);
    EXPECT_EQ(Bytes(f.begin() + 13, f.begin() + 19), (Bytes{0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0}));

    // A still image: a graphic control extension with no delay and no
    // transparency, no looping block, then the full image at (0, 0).
    ASSERT_EQ(l.blocks.size(), 2u);
    EXPECT_EQ(l.blocks[0].kind, 0x21);
    EXPECT_EQ(l.blocks[0].label, 0xF9);
    EXPECT_EQ(l.blocks[0].body, (Bytes{0x00, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(l.blocks[1].kind, 0x2C);
    EXPECT_EQ(l.blocks[1].body, (Bytes{0, 0, 0, 0, 13, 0, 7, 0, 0x00}));
    EXPECT_EQ(l.blocks[1].codeSize, 2);
    EXPECT_EQ(l.trailerAt, f.size() - 1);

    const std::vector<int> codes = giflibCodes(f);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 4);
    EXPECT_EQ(countOf(codes, 4), 1);
    // The end code 5 closes the data: the first 3-bit code is 4 (100).
    EXPECT_EQ(l.blocks[1].data[0] & 7, 4);
    expectGiflibReads(f, p);
}

TEST(GifWrite, TransparentIndexComesFromThePixelCountedFromTheTop) {
    Picture p = bands(8, 6, 4);
    p.at(2, 1) = 9;
    p.at(2, 4) = 3;
    const Bytes f = writeStill(p, 0, Point{2, 1});
    const Layout l = walk(f);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.blocks[0].body, (Bytes{0x01, 0x00, 0x00, 9}));
    Giflib g(f);
    ASSERT_TRUE(g.ok());
    EXPECT_EQ(g.control(0).TransparentColor, 9);

    // A point outside the picture means no transparency.
    for (Point outside : {Point{8, 0}, Point{0, 6}, Point{-1, 3}, Point{3, -1}}) {
        const Layout o = walk(writeStill(p, 0, outside));
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.blocks[0].body, (Bytes{0x00, 0x00, 0x00, 0xFF}));
    }
}

TEST(GifWrite, CompressedDataIsGiflibsByteForByte) {
    // LZW parsing is fixed by the string table: below 10000 pixels, and
    // while the table does not fill, ours is reset exactly where giflib's
    // is, so the compressed data must be the same bytes.
    struct Case {
        Picture p;
        const char* what;
    };
    std::vector<Case> cases;
    cases.push_back({bands(1, 1, 1), "1x1, 1 bit"});
    cases.push_back({bands(1, 50, 2), "one pixel wide"});
    cases.push_back({bands(77, 1, 3), "one row"});
    for (short bits = 1; bits <= 8; ++bits) cases.push_back({bands(61, 43, bits), "bands"});
    for (short bits = 1; bits <= 8; ++bits) cases.push_back({noise(57, 31, bits, 7u + bits), "noise"});
    cases.push_back({noise(60, 50, 8, 3), "8-bit noise"});
    Picture padded = noise(30, 20, 6, 5);
    padded.stride += 8;
    padded.pixels.assign(static_cast<std::size_t>(padded.stride) * padded.height, 0xFF);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) padded.at(x, y) = static_cast<std::uint8_t>((x * y) % 64);
    cases.push_back({padded, "row padding of other values"});

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " " + std::to_string(c.p.width) + "x" + std::to_string(c.p.height) +
                     " bits " + std::to_string(c.p.bits));
        const Bytes ours = writeStill(c.p);
        const Bytes theirs = giflibWrite(c.p.width, c.p.height, c.p.palette, c.p.bits, {asGiflibImage(c.p)});
        ASSERT_FALSE(theirs.empty());
        int ourSize = 0, theirSize = 0;
        std::vector<int> ourLengths, theirLengths;
        const Bytes ourData = imageDataOf(ours, &ourSize, &ourLengths);
        const Bytes theirData = imageDataOf(theirs, &theirSize, &theirLengths);
        EXPECT_EQ(ourSize, theirSize);
        EXPECT_EQ(ourLengths, theirLengths);
        EXPECT_TRUE(ourData == theirData);
        expectGiflibReads(ours, c.p);
    }
}

TEST(GifWrite, PixelValuesAboveTheBitsAreMasked) {
    Picture p = bands(16, 16, 2);
    Picture dirty = p;
    for (auto& v : dirty.pixels) v = static_cast<std::uint8_t>(v | 0xF0);
    EXPECT_TRUE(writeStill(dirty) == writeStill(p));
}

TEST(GifWrite, InterlacedRowsGoInTheFourPasses) {
    // Each row holds its own number, so the order giflib meets the rows in
    // the stream shows the pass order.
    const int h = 21;
    Picture p(9, h, 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 9; ++x) p.at(x, y) = static_cast<std::uint8_t>(y * 10 + x % 3);
    const Bytes f = writeStill(p, 0, Point{-1, -1}, 1);
    EXPECT_EQ(walk(f).blocks[1].body[8], 0x40 | 7);

    MemoryInput in{&f};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, readMemory, &error);
    ASSERT_NE(gif, nullptr);
    GifRecordType type;
    do {
        ASSERT_EQ(DGifGetRecordType(gif, &type), GIF_OK);
        if (type == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            DGifGetExtension(gif, &code, &ext);
            while (ext) DGifGetExtensionNext(gif, &ext);
        }
    } while (type != IMAGE_DESC_RECORD_TYPE);
    ASSERT_EQ(DGifGetImageDesc(gif), GIF_OK);
    std::vector<int> order;
    GifPixelType line[9];
    for (int i = 0; i < h; ++i) {
        ASSERT_EQ(DGifGetLine(gif, line, 9), GIF_OK);
        order.push_back(line[0] / 10);
    }
    DGifCloseFile(gif, &error);
    EXPECT_EQ(order, (std::vector<int>{0, 8, 16, 4, 12, 20, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19}));

    // giflib puts the rows back where they belong; so do we.
    expectGiflibReads(f, p);
    const Decoded d = readFirst(f);
    ASSERT_EQ(d.result, 1);
    for (int y = 0; y < h; ++y) EXPECT_EQ(d.at(4, y), p.at(4, y)) << y;
}

TEST(GifWrite, TableResets) {
    // giflib's reading of the codes (its own width rule) is the reference.
    // An 8-bit picture's table holds codes 258..4094: a full table is 3837
    // codes after a clear, and a new one is started before code 4095 would
    // be defined.
    const int fullTable = 4094 - 258 + 1;
    auto spans = [](const std::vector<int>& codes) {
        std::vector<int> s;
        int n = -1;
        for (int c : codes) {
            if (c == 256) {
                if (n >= 0) s.push_back(n);
                n = 0;
            } else {
                ++n;
            }
        }
        s.push_back(n);
        return s;
    };

    // Noise below 10000 pixels fills the table twice. Up to the first full
    // table the codes are giflib's; giflib sends one more code before its
    // clear, so there the streams part.
    const Picture small = noise(99, 101, 8, 3);
    const Bytes f = writeStill(small);
    expectGiflibReads(f, small);
    const std::vector<int> codes = giflibCodes(f);
    EXPECT_EQ(spans(codes)[0], fullTable);
    EXPECT_EQ(spans(codes)[1], fullTable);
    const std::vector<int> theirCodes =
        giflibCodes(giflibWrite(small.width, small.height, small.palette, 8, {asGiflibImage(small)}));
    const auto diverge = std::mismatch(codes.begin(), codes.end(), theirCodes.begin(), theirCodes.end());
    ASSERT_NE(diverge.first, codes.end());
    EXPECT_EQ(diverge.first - codes.begin(), 1 + fullTable);
    EXPECT_EQ(*diverge.first, 256);

    // Larger noise compresses worse than the best measured so far at every
    // measurement, so the coder also starts new tables early there: at the
    // first pixel not found in the table after 10000 pixels since the last
    // measurement (the one not found is not yet coded).
    const Picture noisy = noise(400, 300, 8, 11);
    const Bytes n = writeStill(noisy);
    expectGiflibReads(n, noisy);
    const std::vector<int> noisyCodes = giflibCodes(n);
    const std::vector<int> noisySpans = spans(noisyCodes);
    const std::vector<long> positions = clearPositions(noisyCodes, 256);
    ASSERT_EQ(positions.size(), noisySpans.size());
    EXPECT_LE(*std::max_element(noisySpans.begin(), noisySpans.end()), fullTable);
    std::vector<long> early;
    for (std::size_t i = 1; i < positions.size(); ++i)
        if (noisySpans[i - 1] < fullTable) early.push_back(positions[i]);
    ASSERT_EQ(early.size(), 12u);  // 120000 pixels
    long last = 0;
    for (long at : early) {
        EXPECT_GE(at - last, 9999) << at;
        EXPECT_LE(at - last, 10002) << at;
        last = at + 1;
    }

    // A picture that compresses well is never restarted: its data is
    // giflib's, byte for byte, over 120000 pixels.
    Picture tiled(400, 300, 8);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) tiled.at(x, y) = static_cast<std::uint8_t>((x % 7) * 30 + (y % 3));
    const Bytes t = writeStill(tiled);
    expectGiflibReads(t, tiled);
    EXPECT_EQ(countOf(giflibCodes(t), 256), 1);
    EXPECT_TRUE(imageDataOf(t) == imageDataOf(giflibWrite(400, 300, tiled.palette, 8, {asGiflibImage(tiled)})));
}

TEST(GifWrite, RefusesWhatItCannotWrite) {
    const Picture p = bands(8, 8, 8);
    std::FILE* f = std::tmpfile();
    auto write = [&](int next, const std::uint32_t* pal, short bits, int w, int h, int stride, int delay) {
        return GifWrite(next, f, p.pixels.data(), pal, bits, w, h, stride, nullptr, delay, Point{-1, -1}, 0);
    };
    EXPECT_EQ(write(0, p.palette.data(), 0, 8, 8, 8, 0), 0);
    EXPECT_EQ(write(0, p.palette.data(), 9, 8, 8, 8, 0), 0);
    EXPECT_EQ(write(0, p.palette.data(), 8, 0, 8, 8, 0), 0);
    EXPECT_EQ(write(0, p.palette.data(), 8, 8, 0, 8, 0), 0);
    EXPECT_EQ(write(0, p.palette.data(), 8, 8, 8, 7, 0), 0);
    EXPECT_EQ(write(0, p.palette.data(), 8, 8, 8, 8, 0x10000), 0);
    EXPECT_EQ(write(0, nullptr, 8, 8, 8, 8, 0), 0);
    EXPECT_EQ(contents(f).size(), 0u);
    std::fclose(f);

    // A file that cannot take the bytes is a failure, not a success.
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full) {
        EXPECT_EQ(GifWrite(0, full, p.pixels.data(), p.palette.data(), 8, 8, 8, 8, nullptr, 0, Point{-1, -1}, 0), 0);
        std::fclose(full);
    }
}

// ---------------------------------------------------------------------------
// Animations.

namespace {

// Frames written one call each, moving back over the trailer in between.
Bytes writeAnimation(const std::vector<Picture>& frames, const std::vector<int>& delays, bool withPrevious,
                     const std::vector<bool>& localTable = {}) {
    std::FILE* f = std::tmpfile();
    Bytes previous = frames[0].pixels;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Picture& p = frames[i];
        if (i > 0) std::fseek(f, -1, SEEK_END);
        const bool local = i < localTable.size() && localTable[i];
        EXPECT_EQ(GifWrite(i == 0 ? 0 : 1, f, p.pixels.data(), i == 0 || local ? p.palette.data() : nullptr, p.bits,
                           p.width, p.height, p.stride, withPrevious && i > 0 ? previous.data() : nullptr, delays[i],
                           Point{-1, -1}, 0),
                  1);
        if (withPrevious && i > 0) {
            EXPECT_TRUE(previous == p.pixels);  // updated to this frame
        }
    }
    Bytes b = contents(f);
    std::fclose(f);
    return b;
}

std::vector<Picture> movingSquare(int w, int h, int count) {
    std::vector<Picture> frames;
    for (int i = 0; i < count; ++i) {
        Picture p(w, h, 8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>((x / 8 + y / 8) % 2 ? 10 : 20);
        for (int y = 5; y < 12; ++y)
            for (int x = 3 + 4 * i; x < 9 + 4 * i; ++x) p.at(x, y) = static_cast<std::uint8_t>(100 + i);
        frames.push_back(p);
    }
    return frames;
}

}  // namespace

TEST(GifWrite, AnimationFrameByFrame) {
    const std::vector<Picture> frames = movingSquare(40, 24, 4);
    const std::vector<int> delays = {7, 12, 30, 5};
    Picture local = frames[2];
    std::vector<Picture> withLocal = frames;
    for (auto& c : withLocal[2].palette) c ^= 0x00FFFFFF;
    const Bytes f = writeAnimation(withLocal, delays, false, {false, false, true, false});
    const Layout l = walk(f);
    ASSERT_TRUE(l.ok);
    // Exactly one trailer, at the very end.
    EXPECT_EQ(l.trailerAt, f.size() - 1);

    // The looping block comes once, before the first image: loop count
    // 32760 as bytes F8 7F.
    ASSERT_GE(l.blocks.size(), 9u);
    EXPECT_EQ(l.blocks[0].label, 0xFF);
    EXPECT_EQ(l.blocks[0].subBlockLengths, (std::vector<int>{11, 3}));
    EXPECT_EQ(l.blocks[0].body, (Bytes{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x01, 0xF8, 0x7F}));
    int loops = 0, images = 0;
    for (const Block& b : l.blocks) {
        loops += b.kind == 0x21 && b.label == 0xFF;
        images += b.kind == 0x2C;
    }
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(images, 4);

    Giflib g(f);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->ImageCount, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g.control(i).DelayTime, delays[i]);
        EXPECT_EQ(g.control(i).TransparentColor, NO_TRANSPARENT_COLOR);
        EXPECT_EQ(g.image(i).ImageDesc.Width, 40);
        EXPECT_EQ(g.image(i).ImageDesc.Height, 24);
        // Only the frame given a palette after the first carries a local table.
        EXPECT_EQ(g.image(i).ImageDesc.ColorMap != nullptr, i == 2);
        int wrong = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) wrong += g.at(i, x, y) != frames[static_cast<std::size_t>(i)].at(x, y);
        EXPECT_EQ(wrong, 0);
    }
    ASSERT_NE(g.image(2).ImageDesc.ColorMap, nullptr);
    EXPECT_EQ(g.image(2).ImageDesc.ColorMap->Colors[100].Red, static_cast<GifByteType>(~(withLocal[0].palette[100] >> 16)));

    // Without a delay there is no looping block.
    EXPECT_EQ(walk(writeStill(frames[0], 0)).blocks[0].label, 0xF9);
}

TEST(GifWrite, ChangedRectangles) {
    // 18 x 10 frames with a stride of 24: only what changed is written, in a
    // box widened to a multiple of 4 and kept inside the picture.
    Picture base(18, 10, 8, 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 18; ++x) base.at(x, y) = static_cast<std::uint8_t>(x + 20 * y);
    std::vector<Picture> frames{base};
    auto change = [&](std::vector<std::pair<int, int>> points) {
        Picture p = frames.back();
        for (auto [x, y] : points) p.at(x, y) ^= 0x80;
        frames.push_back(p);
    };
    change({{5, 3}, {6, 4}});             // box 5..8 x 3..4
    change({{2, 2}, {9, 7}});             // 8 wide from 2, rows 2..7
    change({{17, 9}});                    // at the right edge: 14..17
    change({});                           // nothing: 4 x 1 at the corner
    change({{0, 0}, {17, 0}});            // full width
    frames.push_back(frames.back());      // padding bytes change only: nothing
    for (int y = 0; y < 10; ++y) frames.back().pixels[static_cast<std::size_t>(y) * 24 + 20] = 77;

    const std::vector<int> delays(frames.size(), 4);
    const Bytes f = writeAnimation(frames, delays, true);
    std::vector<std::vector<int>> boxes;
    for (const Block& b : walk(f).blocks)
        if (b.kind == 0x2C) {
            boxes.push_back({le16(b.body, 0), le16(b.body, 2), le16(b.body, 4), le16(b.body, 6)});
            EXPECT_EQ(b.body[8] & 0x40, 0);
        }
    const std::vector<std::vector<int>> expected = {{0, 0, 18, 10}, {5, 3, 4, 2},  {2, 2, 8, 6},
                                                    {14, 9, 4, 1},  {0, 0, 4, 1},  {0, 0, 18, 1},
                                                    {0, 0, 4, 1}};
    EXPECT_EQ(boxes, expected);

    // Painting every frame's box over the last picture gives each frame.
    Giflib g(f);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->ImageCount, static_cast<int>(frames.size()));
    std::vector<std::uint8_t> canvas(18 * 10);
    for (int i = 0; i < g->ImageCount; ++i) {
        const GifImageDesc& d = g.image(i).ImageDesc;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) canvas[(d.Top + y) * 18 + d.Left + x] = g.at(i, x, y);
        int wrong = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 18; ++x) wrong += canvas[y * 18 + x] != frames[static_cast<std::size_t>(i)].at(x, y);
        EXPECT_EQ(wrong, 0) << "frame " << i;
    }

    // A narrow picture: the corner box is no wider than the picture.
    std::vector<Picture> narrow{bands(2, 3, 8), bands(2, 3, 8)};
    const Bytes n = writeAnimation(narrow, {3, 3}, true);
    const Layout nl = walk(n);
    ASSERT_TRUE(nl.ok);
    EXPECT_EQ(nl.blocks.back().body, (Bytes{0, 0, 0, 0, 2, 0, 1, 0, 7}));
}

TEST(GifWrite, OtherReadersPlayTheAnimation) {
    plastora::test::TempDir dir;
    const std::string path = dir.file("anim.gif");
    const std::vector<Picture> frames = movingSquare(48, 30, 5);
    const std::vector<int> delays = {10, 20, 30, 40, 50};
    writeAll(path, writeAnimation(frames, delays, true));

    const char* python = std::getenv("PLASTORA_PYTHON");
    const std::string py = python ? python : (std::ifstream("/usr/bin/python3").good() ? "/usr/bin/python3" : "python3");
    const std::string out = dir.file("pillow.txt");
    const std::string script =
        "import sys\n"
        "try:\n"
        "  from PIL import Image\n"
        "except ImportError:\n"
        "  sys.exit(3)\n"
        "im = Image.open(sys.argv[1])\n"
        "out = open(sys.argv[2], 'w')\n"
        "out.write('%d %d %d %s\\n' % (im.n_frames, im.size[0], im.size[1], im.info.get('loop')))\n"
        "for i in range(im.n_frames):\n"
        "  im.seek(i)\n"
        "  im.load()\n"
        "  r, g, b = im.convert('RGB').getpixel((4 + 4 * i, 6))\n"
        "  out.write('%d %d %d %d\\n' % (im.size[0], im.size[1], im.info.get('duration'), (r << 16) | (g << 8) | b))\n";
    const std::string scriptPath = dir.file("check.py");
    std::ofstream(scriptPath) << script;
    const int rc = std::system((py + " " + scriptPath + " " + path + " " + out + " 2>&1").c_str());
    if (WEXITSTATUS(rc) == 3 || WEXITSTATUS(rc) == 127) GTEST_SKIP() << "Python Pillow is not installed";
    ASSERT_EQ(rc, 0);
    std::ifstream in(out);
    int n = 0, w = 0, h = 0;
    std::string loop;
    in >> n >> w >> h >> loop;
    EXPECT_EQ(n, 5);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 30);
    EXPECT_EQ(loop, "32760");
    for (int i = 0; i < n; ++i) {
        int fw = 0, fh = 0, duration = 0;
        std::uint32_t colour = 0;
        in >> fw >> fh >> duration >> colour;
        EXPECT_EQ(fw, 48);
        EXPECT_EQ(fh, 30);
        EXPECT_EQ(duration, delays[static_cast<std::size_t>(i)] * 10);
        // Inside the moving square, after composing the changed boxes.
        EXPECT_EQ(colour, frames[0].palette[static_cast<std::size_t>(100 + i)]);
    }
}
