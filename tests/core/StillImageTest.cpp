// Still image files: JPEG and BMP writing and reading.
#include "core/StillImage.h"

#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <sys/resource.h>

#include <jpeglib.h>

using namespace plastora;
using plastora::test::ScriptedHost;
using plastora::test::TempDir;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

// Four 16x16 quadrants of clearly different colours (each channel differs,
// so a picture with red and blue exchanged does not pass).
constexpr Pixel kQuadrants[4] = {0xFFE01020, 0xFF20C040, 0xFF1830E0, 0xFFC87832};

Surface quadrants(int w = 32, int h = 32) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, kQuadrants[(y >= h / 2) * 2 + (x >= w / 2)]);
    return s;
}

Surface varied(int w, int h) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, (Pixel(x * 37 + y) & 0xFF) << 16 | (Pixel(y * 53) & 0xFF) << 8 | (x * y * 11 & 0xFF));
    return s;
}

testing::AssertionResult near(Pixel got, Pixel want, int tol) {
    for (int shift : {16, 8, 0}) {
        const int g = (got >> shift) & 0xFF, w = (want >> shift) & 0xFF;
        if (std::abs(g - w) > tol)
            return testing::AssertionFailure() << std::hex << "got 0x" << got << ", want 0x" << want;
    }
    return testing::AssertionSuccess();
}

void expectQuadrants(const Surface& s, int tol) {
    const int w = s.width(), h = s.height();
    EXPECT_TRUE(near(s.at(w / 4, h / 4), kQuadrants[0], tol));
    EXPECT_TRUE(near(s.at(3 * w / 4, h / 4), kQuadrants[1], tol));
    EXPECT_TRUE(near(s.at(w / 4, 3 * h / 4), kQuadrants[2], tol));
    EXPECT_TRUE(near(s.at(3 * w / 4, 3 * h / 4), kQuadrants[3], tol));
}

// Loads expecting no message at all; returns the result.
int load(const std::string& path, Surface& s, int& w, int& h, std::optional<long long> offset = std::nullopt) {
    ScriptedHost host;
    return LoadStillImage(host, path, offset, s, w, h);
}

int save(const Surface& s, const std::string& path, int quality = 90) {
    ScriptedHost host;
    return SaveStillImage(host, s, s.width(), s.height(), path, quality);
}

// A JPEG made by libjpeg directly, for inputs our writer never produces.
void writeRawJpeg(const std::string& path, int w, int h, int components, J_COLOR_SPACE space, const Bytes& pixels) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + std::size_t(c.next_scanline) * w * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

}  // namespace

TEST(StillImageJpeg, RoundTripKeepsSizeAndColourOrder) {
    TempDir dir;
    for (auto [w, h] : {std::pair{32, 32}, std::pair{48, 40}}) {
        const std::string path = dir.file("p" + std::to_string(w) + ".jpg");
        ASSERT_EQ(save(quadrants(w, h), path), 1);
        Surface s;
        int lw = 0, lh = 0;
        ASSERT_EQ(load(path, s, lw, lh), 1);
        EXPECT_EQ(lw, w);
        EXPECT_EQ(lh, h);
        EXPECT_EQ(s.width(), w);
        expectQuadrants(s, 8);
    }
}

TEST(StillImageJpeg, StreamHasFixedMarkerOrderAndQualityReachesTheTables) {
    TempDir dir;
    const auto markersOf = [](const Bytes& b, std::vector<Bytes>* dqt) {
        std::vector<int> markers;
        std::size_t p = 2;
        EXPECT_TRUE(b.size() > 4 && b[0] == 0xFF && b[1] == 0xD8);
        markers.push_back(0xD8);
        while (p + 4 <= b.size() && b[p] == 0xFF) {
            const int m = b[p + 1];
            const std::size_t len = (b[p + 2] << 8) | b[p + 3];
            markers.push_back(m);
            if (m == 0xE0) {
                EXPECT_EQ(len, 16u);
                EXPECT_EQ(std::string(b.begin() + p + 4, b.begin() + p + 9), std::string("JFIF\0", 5));
            }
            if (m == 0xDB && dqt) dqt->emplace_back(b.begin() + p + 4, b.begin() + p + 2 + len);
            p += 2 + len;
            if (m == 0xDA) break;
        }
        // Entropy-coded data: 0xFF is followed only by stuffing or restarts
        // until the end-of-image marker, which must close the file exactly.
        while (p + 1 < b.size() && !(b[p] == 0xFF && b[p + 1] != 0 && (b[p + 1] < 0xD0 || b[p + 1] > 0xD7))) ++p;
        if (p + 1 < b.size()) markers.push_back(b[p + 1]);
        EXPECT_EQ(p + 2, b.size());
        return markers;
    };
    const Surface pic = quadrants(40, 24);
    for (int quality : {1, 80, 100}) {
        const std::string path = dir.file("q" + std::to_string(quality) + ".jpeg");
        ASSERT_EQ(save(pic, path, quality), 1);
        std::vector<Bytes> tables;
        EXPECT_EQ(markersOf(readBytes(path), &tables),
                  (std::vector<int>{0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9}))
            << "quality " << quality;
        ASSERT_EQ(tables.size(), 2u);
        for (const Bytes& t : tables) {
            ASSERT_EQ(t.size(), 65u);
            EXPECT_EQ(t[0] >> 4, 0) << "8-bit tables (baseline) at quality " << quality;
            const auto [lo, hi] = std::minmax_element(t.begin() + 1, t.end());
            if (quality == 100) {
                EXPECT_EQ(*hi, 1);
            }
            if (quality == 1) {
                EXPECT_EQ(*lo, 255);  // clamped to baseline's limit
            }
        }
    }
}

TEST(StillImageBmp, HeaderAndRowsAreWrittenByteForByte) {
    TempDir dir;
    Surface pic;
    ASSERT_TRUE(pic.create(101, 2));
    pic.set(0, 0, 0xFF112233);    // top-left
    pic.set(100, 1, 0xFFAABBCC);  // bottom-right
    ASSERT_EQ(save(pic, dir.file("h.bmp")), 1);
    const Bytes b = readBytes(dir.file("h.bmp"));
    const Bytes header = {'B', 'M', 0x96, 0x02, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file size 662, offset 54
                          40, 0, 0, 0, 101, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                          0x60, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // image size 608, resolutions 0
                          0, 0, 0, 1, 0, 0, 0, 1};                    // colours used / important
    ASSERT_EQ(b.size(), 54u + 2 * 304);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 54), header);
    // Bottom row first, blue-green-red, one zero pad byte per row.
    EXPECT_EQ(Bytes(b.begin() + 54 + 300, b.begin() + 54 + 304), (Bytes{0xCC, 0xBB, 0xAA, 0}));
    EXPECT_EQ(Bytes(b.begin() + 54 + 304, b.begin() + 54 + 307), (Bytes{0x33, 0x22, 0x11}));
    EXPECT_EQ(b[54 + 2 * 304 - 1], 0);

    ASSERT_TRUE(pic.create(100, 1));
    ASSERT_EQ(save(pic, dir.file("w100.bmp")), 1);
    EXPECT_EQ(readBytes(dir.file("w100.bmp")).size(), 54u + 300);
}

TEST(StillImageBmp, RoundTripIsExactAndTopDownFilesAreReadUpright) {
    TempDir dir;
    const Surface pic = varied(7, 5);
    const std::string path = dir.file("r.bmp");
    ASSERT_EQ(save(pic, path), 1);
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(load(path, s, w, h), 1);
    ASSERT_EQ(w, 7);
    ASSERT_EQ(h, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(s.at(x, y), pic.at(x, y)) << x << "," << y;

    // The same picture stored top row first with a negative height.
    Bytes b = readBytes(path);
    Bytes flipped(b.begin(), b.begin() + 54);
    for (int r = 4; r >= 0; --r) flipped.insert(flipped.end(), b.begin() + 54 + r * 24, b.begin() + 54 + (r + 1) * 24);
    putLe32(flipped, 22, std::uint32_t(-5));
    writeBytes(dir.file("td.bmp"), flipped);
    Surface t;
    ASSERT_EQ(load(dir.file("td.bmp"), t, w, h), 1);
    EXPECT_EQ(h, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(t.at(x, y), pic.at(x, y)) << x << "," << y;
}

TEST(StillImageNames, FormatIsChosenByTheEndOfTheName) {
    TempDir dir;
    const Surface pic = quadrants(16, 16);
    ASSERT_EQ(save(pic, dir.file("a.jpg")), 1);
    ASSERT_EQ(save(pic, dir.file("a.bmp")), 1);
    const Bytes jpeg = readBytes(dir.file("a.jpg")), bmp = readBytes(dir.file("a.bmp"));
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(bmp[0], 'B');

    // Saving: "jpg" or "jpeg" at the end in any case; ".jpe" is not JPEG.
    for (auto [name, first] : {std::pair{"b.JPEG", 0xFF}, {"b.JpG", 0xFF}, {"photojpg", 0xFF}, {"b.jpe", 'B'},
                               {"b.png", 'B'}}) {
        ASSERT_EQ(save(pic, dir.file(name)), 1) << name;
        EXPECT_EQ(readBytes(dir.file(name))[0], first) << name;
    }
    // Loading: the last character alone decides.
    for (const char* name : {"c.JPEG", "c.jpg", "c.MPO", "c.mpo"}) {
        writeBytes(dir.file(name), jpeg);
        Surface s;
        int w = 0, h = 0;
        EXPECT_EQ(load(dir.file(name), s, w, h), 1) << name;
    }
    Surface s;
    int w = 0, h = 0;
    writeBytes(dir.file("bmp-data.jpg"), bmp);
    EXPECT_EQ(load(dir.file("bmp-data.jpg"), s, w, h), 0);
    writeBytes(dir.file("jpeg-data.pic"), jpeg);
    EXPECT_EQ(load(dir.file("jpeg-data.pic"), s, w, h), 0);
    writeBytes(dir.file("bmp-data.pic"), bmp);
    EXPECT_EQ(load(dir.file("bmp-data.pic"), s, w, h), 1);
    // A PNG is read by neither reader. Its name ends in 'g', so it even goes
    // to the JPEG decoder: BMP data under a .png name is not read either.
    Surface copy;
    ASSERT_TRUE(copy.createCopy(pic));
    ASSERT_TRUE(copy.image().save(QString::fromStdString(dir.file("real.png")), "PNG"));
    EXPECT_EQ(load(dir.file("real.png"), s, w, h), 0);
    writeBytes(dir.file("bmp-data.png"), bmp);
    EXPECT_EQ(load(dir.file("bmp-data.png"), s, w, h), 0);
    // UTF-8 names are plain file names.
    ASSERT_EQ(save(pic, dir.file("写真.jpg")), 1);
    EXPECT_EQ(load(dir.file("写真.jpg"), s, w, h), 1);
}

TEST(StillImageJpeg, GreyPicturesBecomeThreeEqualBytes) {
    TempDir dir;
    Bytes grey(24 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) grey[y * 24 + x] = std::uint8_t(x < 12 ? 40 : 210);
    writeRawJpeg(dir.file("g.jpg"), 24, 16, 1, JCS_GRAYSCALE, grey);
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(load(dir.file("g.jpg"), s, w, h), 1);
    ASSERT_EQ(w, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            const Pixel p = s.at(x, y);
            ASSERT_EQ((p >> 16) & 0xFF, p & 0xFF) << x << "," << y;
            ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF) << x << "," << y;
        }
    EXPECT_TRUE(near(s.at(4, 8), 0xFF282828, 4));
    EXPECT_TRUE(near(s.at(20, 8), 0xFFD2D2D2, 4));
}

TEST(StillImageJpeg, OffsetStartsDecodingInsideTheFile) {
    TempDir dir;
    ASSERT_EQ(save(quadrants(), dir.file("inner.jpg")), 1);
    Bytes file(777, 0xA5);
    const Bytes jpeg = readBytes(dir.file("inner.jpg"));
    file.insert(file.end(), jpeg.begin(), jpeg.end());
    writeBytes(dir.file("outer.mpo"), file);
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(load(dir.file("outer.mpo"), s, w, h, 777), 1);
    expectQuadrants(s, 8);
    EXPECT_EQ(load(dir.file("outer.mpo"), s, w, h), 0);
    EXPECT_EQ(load(dir.file("outer.mpo"), s, w, h, 776), 0);
    EXPECT_EQ(load(dir.file("outer.mpo"), s, w, h, -1), 0);
    EXPECT_EQ(load(dir.file("outer.mpo"), s, w, h, static_cast<long long>(file.size())), 0);
}

class StillImageFallback : public testing::Test {
protected:
    void TearDown() override { Surface::setAllocationHook(nullptr); }
};

TEST_F(StillImageFallback, ShrinksToHalfWhenFullSizeCannotBeMade) {
    TempDir dir;
    const Surface pic = varied(21, 13);
    ASSERT_EQ(save(pic, dir.file("big.bmp")), 1);
    // The expected result: the platform's own halftone stretch of the picture.
    Surface want;
    ASSERT_TRUE(want.create(10, 6));
    ASSERT_TRUE(stretchBlit(want, 0, 0, 10, 6, pic, 0, 0, 21, 13, Rop::Copy, StretchMode::Halftone));

    Surface::setAllocationHook([](int w, int h) { return !(w == 21 && h == 13); });
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(load(dir.file("big.bmp"), s, w, h), 1);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 6);
    ASSERT_EQ(s.width(), 10);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_TRUE(near(s.at(x, y), want.at(x, y), 1)) << x << "," << y;
}

TEST_F(StillImageFallback, OutOfMemoryAfterEverySizeDownToOneNinetyNinthFails) {
    TempDir dir;
    ASSERT_EQ(save(varied(250, 3), dir.file("wide.bmp")), 1);
    ASSERT_EQ(save(varied(12, 5), dir.file("small.bmp")), 1);
    ASSERT_EQ(save(varied(99, 99), dir.file("sq.bmp")), 1);
    for (auto [name, wantTries] : {std::pair{"wide.bmp", 3}, std::pair{"small.bmp", 5}}) {
        std::vector<std::pair<int, int>> tried;
        Surface::setAllocationHook([&](int w, int h) {
            tried.emplace_back(w, h);
            return false;
        });
        ScriptedHost host;
        host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
        Surface s;
        int w = -1, h = -1;
        EXPECT_EQ(LoadStillImage(host, dir.file(name), std::nullopt, s, w, h), 0);
        EXPECT_EQ(w, -1);
        ASSERT_EQ(int(tried.size()), wantTries) << name;
        for (int i = 1; i <= wantTries; ++i)
            EXPECT_EQ(tried[i - 1], (std::pair{(name[0] == 'w' ? 250 : 12) / i, (name[0] == 'w' ? 3 : 5) / i}));
    }
    // The full 1..99 range: a picture large enough that 1/99 is still one pixel.
    int tries = 0;
    Surface::setAllocationHook([&](int, int) { return ++tries == 99; });
    Surface s;
    int w = 0, h = 0;
    EXPECT_EQ(load(dir.file("sq.bmp"), s, w, h), 1);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
}

TEST(StillImageBmp, DamagedOrHostileFilesFailQuietly) {
    TempDir dir;
    ASSERT_EQ(save(varied(5, 3), dir.file("ok.bmp")), 1);
    const Bytes good = readBytes(dir.file("ok.bmp"));
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const std::vector<Case> cases = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"headers cut", [](Bytes& b) { b.resize(53); }},
        {"last row cut", [](Bytes& b) { b.pop_back(); }},
        {"signature", [](Bytes& b) { b[1] = 'A'; }},
        {"core header", [](Bytes& b) { putLe32(b, 14, 12); }},
        {"width 0", [](Bytes& b) { putLe32(b, 18, 0); }},
        {"negative width", [](Bytes& b) { putLe32(b, 18, std::uint32_t(-5)); }},
        {"height 0", [](Bytes& b) { putLe32(b, 22, 0); }},
        {"planes", [](Bytes& b) { b[26] = 2; }},
        {"32 bits", [](Bytes& b) { b[28] = 32; }},
        {"compressed", [](Bytes& b) { b[30] = 1; }},
        {"offset past end", [](Bytes& b) { putLe32(b, 10, 0xFFFFFFF0u); }},
        {"offset inside headers", [](Bytes& b) { putLe32(b, 10, 20); }},
        {"huge width", [](Bytes& b) { putLe32(b, 18, 0x7FFFFFFF); }},
        {"huge height", [](Bytes& b) { putLe32(b, 22, 0x7FFFFFFF); }},
        {"most negative height", [](Bytes& b) { putLe32(b, 22, 0x80000000u); }},
        {"huge both", [](Bytes& b) { putLe32(b, 18, 0x40000000); putLe32(b, 22, 0x40000000); }},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        writeBytes(dir.file("bad.bmp"), b);
        Surface s;
        ASSERT_TRUE(s.create(2, 2));
        int w = -1, h = -1;
        EXPECT_EQ(load(dir.file("bad.bmp"), s, w, h), 0) << c.what;
        EXPECT_EQ(s.width(), 2) << c.what;
        EXPECT_EQ(w, -1) << c.what;
    }
    Surface s;
    int w = 0, h = 0;
    EXPECT_EQ(load(dir.file("missing.bmp"), s, w, h), 0);
    EXPECT_EQ(load(dir.path().string(), s, w, h), 0);  // a folder
}

TEST(StillImageJpeg, DamagedOrHostileFilesFailQuietly) {
    TempDir dir;
    ASSERT_EQ(save(varied(64, 48), dir.file("ok.jpg"), 95), 1);
    const Bytes good = readBytes(dir.file("ok.jpg"));
    std::size_t sof = 0;
    for (std::size_t i = 0; i + 1 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_GT(sof, 0u);
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> cases = {
        {"cut in the data", [](Bytes& b) { b.resize(b.size() * 2 / 3); }},
        {"cut in the headers", [](Bytes& b) { b.resize(100); }},
        {"only the start marker", [](Bytes& b) { b.resize(2); }},
        {"not a JPEG", [](Bytes& b) { b.assign(500, 0x42); }},
        {"huge size, little data",
         [sof](Bytes& b) {
             b[sof + 5] = b[sof + 6] = b[sof + 7] = b[sof + 8] = 0xFF;  // 65535 x 65535
         }},
        {"large size, little data",
         [sof](Bytes& b) {
             b[sof + 5] = 0x3A, b[sof + 6] = 0x98, b[sof + 7] = 0x3A, b[sof + 8] = 0x98;  // 15000 x 15000
         }},
    };
    for (const auto& [what, damage] : cases) {
        Bytes b = good;
        damage(b);
        writeBytes(dir.file("bad.jpg"), b);
        Surface s;
        int w = -1, h = -1;
        EXPECT_EQ(load(dir.file("bad.jpg"), s, w, h), 0) << what;
        EXPECT_TRUE(s.empty()) << what;
    }
    // Four-component pictures have no colour conversion: refused, not overrun.
    writeRawJpeg(dir.file("cmyk.jpg"), 8, 8, 4, JCS_CMYK, Bytes(8 * 8 * 4, 0x80));
    Surface s;
    int w = 0, h = 0;
    EXPECT_EQ(load(dir.file("cmyk.jpg"), s, w, h), 0);
    // A file that lacks only its end marker is still a whole picture.
    Bytes noEnd = good;
    noEnd.resize(noEnd.size() - 2);
    writeBytes(dir.file("noend.jpg"), noEnd);
    EXPECT_EQ(load(dir.file("noend.jpg"), s, w, h), 1);
}

TEST(StillImageSave, FailureShowsTheMessageAndKeepsWhatWasThere) {
    TempDir dir;
    const Surface pic = quadrants(100, 100);
    {
        ScriptedHost host;
        host.expectMessage("ファイルの保存に失敗しました", MsgResult::Ok, MsgButtons::Ok);
        EXPECT_EQ(SaveStillImage(host, pic, 100, 100, dir.file("no/such/folder/x.bmp"), 80), 0);
    }
    // The old file survives a write that fails part-way (file size limit).
    const std::string path = dir.file("keep.bmp");
    ASSERT_EQ(save(quadrants(4, 4), path), 1);
    const Bytes before = readBytes(path);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int bmpResult = -1, jpegResult = -1;
    {
        ScriptedHost host;
        host.expectMessage("ファイルの保存に失敗しました").expectMessage("ファイルの保存に失敗しました");
        bmpResult = SaveStillImage(host, pic, 100, 100, path, 80);
        jpegResult = SaveStillImage(host, varied(400, 400), 400, 400, dir.file("keep.jpg"), 100);
    }
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(bmpResult, 0);
    EXPECT_EQ(jpegResult, 0);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("keep.jpg")));
    // A successful save replaces the file; no temporary file is left behind.
    ASSERT_EQ(save(pic, path), 1);
    EXPECT_EQ(readBytes(path).size(), 54u + 300 * 100);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(StillImageSave, SizeArgumentsNeverReachOutsideThePicture) {
    TempDir dir;
    ASSERT_EQ(save(quadrants(6, 4), dir.file("s.bmp")), 1);
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, quadrants(6, 4), 600, 400, dir.file("t.bmp"), 80), 1);
    EXPECT_EQ(readBytes(dir.file("t.bmp")), readBytes(dir.file("s.bmp")));
    host.expectMessage("ファイルの保存に失敗しました");
    EXPECT_EQ(SaveStillImage(host, Surface(), 10, 10, dir.file("e.bmp"), 80), 0);
}

// Pillow, an independent reader, must see the same size and colours.
TEST(StillImageIndependent, PillowReadsWhatWeWrite) {
    std::string python;
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(p) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0) {
            python = p;
            break;
        }
    if (python.empty()) GTEST_SKIP() << "python3 with PIL is not available";
    TempDir dir;
    const Surface pic = quadrants(48, 32);
    for (const char* name : {"pil.jpeg", "pil.bmp"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(save(pic, path), 1);
        const std::string cmd = python +
                                " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert(\"RGB\");"
                                " print(*im.size, *[v for xy in ((12, 8), (36, 8), (12, 24), (36, 24))"
                                " for v in im.getpixel(xy)])' '" + path + "'";
        std::FILE* out = ::popen(cmd.c_str(), "r");
        ASSERT_NE(out, nullptr);
        char buf[512] = {};
        const std::size_t n = std::fread(buf, 1, sizeof buf - 1, out);
        ASSERT_EQ(::pclose(out), 0) << name;
        std::istringstream in(std::string(buf, n));
        int w = 0, h = 0;
        in >> w >> h;
        EXPECT_EQ(w, 48) << name;
        EXPECT_EQ(h, 32) << name;
        const int tol = std::string(name).ends_with(".bmp") ? 0 : 8;
        for (Pixel want : kQuadrants) {
            unsigned r = 0, g = 0, b = 0;
            in >> r >> g >> b;
            EXPECT_TRUE(near(kOpaque | r << 16 | g << 8 | b, want, tol)) << name;
        }
    }
}
