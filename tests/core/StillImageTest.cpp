// Still image files: JPEG and BMP writing and reading.
#include "platform/SafeFile.h"
#include "core/StillImage.h"

#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <QImage>
#include <QString>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <future>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <vector>

#include <sys/resource.h>

#include <jpeglib.h>

using namespace plastora;
using plastora::test::ScriptedHost;
using Bytes = std::vector<std::uint8_t>;

namespace {

const char* const kSaveFailed = "ファイルの保存に失敗しました";

// Each channel differs between the quadrants, so red and blue exchanged fails.
constexpr Pixel kQuadrants[4] = {0xFFE01020, 0xFF20C040, 0xFF1830E0, 0xFFC87832};

Surface quadrants(int w, int h) {
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
        for (int x = 0; x < w; ++x) s.set(x, y, Pixel((x * 37 + y) & 0xFF) << 16 | Pixel((y * 53) & 0xFF) << 8 | ((x * y * 11) & 0xFF));
    return s;
}

testing::AssertionResult near(Pixel got, Pixel want, int tol) {
    for (int shift : {16, 8, 0})
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tol)
            return testing::AssertionFailure() << std::hex << "got 0x" << got << ", want 0x" << want;
    return testing::AssertionSuccess();
}

void expectQuadrants(const Surface& s, int tol) {
    const int w = s.width(), h = s.height();
    EXPECT_TRUE(near(s.at(w / 4, h / 4), kQuadrants[0], tol));
    EXPECT_TRUE(near(s.at(3 * w / 4, h / 4), kQuadrants[1], tol));
    EXPECT_TRUE(near(s.at(w / 4, 3 * h / 4), kQuadrants[2], tol));
    EXPECT_TRUE(near(s.at(3 * w / 4, 3 * h / 4), kQuadrants[3], tol));
}

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
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

struct Loaded {
    int result = -1;
    Surface picture;
    int w = -1, h = -1;
};

class StillImage : public testing::Test {
protected:
    void TearDown() override { Surface::setAllocationHook(nullptr); }

    std::string file(const std::string& name) const { return dir.file(name); }
    Bytes bytes(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void put(const std::string& name, const Bytes& b) const {
        std::ofstream(file(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    // Saving and loading that must show no message.
    int save(const Surface& s, const std::string& name, int quality = 90) const {
        ScriptedHost host;
        return SaveStillImage(host, s, s.width(), s.height(), file(name), quality);
    }
    Loaded load(const std::string& name, std::optional<long long> offset = std::nullopt) const {
        ScriptedHost host;
        Loaded l;
        l.result = LoadStillImage(host, file(name), offset, l.picture, l.w, l.h);
        return l;
    }

    plastora::test::TempDir dir;
};

// The markers of a JPEG stream up to its end marker, which must close the
// file; the contents of its quantisation tables are returned in `dqt`.
std::vector<int> jpegMarkers(const Bytes& b, std::vector<Bytes>& dqt) {
    std::vector<int> markers{b.size() > 2 && b[0] == 0xFF ? b[1] : -1};
    std::size_t p = 2;
    while (p + 4 <= b.size() && b[p] == 0xFF && markers.back() != 0xDA) {
        const std::size_t len = (b[p + 2] << 8) | b[p + 3];
        markers.push_back(b[p + 1]);
        if (b[p + 1] == 0xE0) markers.push_back(len == 16 && std::equal(b.begin() + p + 4, b.begin() + p + 9, "JFIF") ? 1 : -1);
        if (b[p + 1] == 0xDB) dqt.emplace_back(b.begin() + p + 4, b.begin() + p + 2 + len);
        p += 2 + len;
    }
    // In entropy-coded data 0xFF is followed only by a stuffed 0 or a restart.
    while (p + 1 < b.size() && !(b[p] == 0xFF && b[p + 1] != 0 && (b[p + 1] & 0xF8) != 0xD0)) ++p;
    markers.push_back(p + 2 == b.size() ? b[p + 1] : -1);
    return markers;
}

}  // namespace

TEST_F(StillImage, JpegRoundTripKeepsSizeAndColourOrder) {
    for (auto [w, h] : {std::pair{32, 32}, std::pair{48, 40}}) {
        ASSERT_EQ(save(quadrants(w, h), "p.jpg"), 1);
        const Loaded l = load("p.jpg");
        ASSERT_EQ(l.result, 1);
        EXPECT_EQ(l.w, w);
        EXPECT_EQ(l.h, h);
        EXPECT_EQ(l.picture.width(), w);
        expectQuadrants(l.picture, 8);
    }
}

TEST_F(StillImage, JpegStreamHasAFixedMarkerOrderAndBaselineTablesOfTheQuality) {
    const Surface pic = quadrants(40, 24);
    for (int quality : {1, 80, 100}) {
        ASSERT_EQ(save(pic, "q.jpeg", quality), 1);
        std::vector<Bytes> dqt;
        EXPECT_EQ(jpegMarkers(bytes("q.jpeg"), dqt),
                  (std::vector<int>{0xD8, 0xE0, 1, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9}))
            << "quality " << quality;
        ASSERT_EQ(dqt.size(), 2u);
        for (const Bytes& t : dqt) {
            ASSERT_EQ(t.size(), 65u);  // one table of 64 eight-bit values
            const auto [lo, hi] = std::minmax_element(t.begin() + 1, t.end());
            if (quality == 100) {
                EXPECT_EQ(*hi, 1);
            } else if (quality == 1) {
                EXPECT_EQ(*lo, 255);  // clamped to the baseline limit
            }
        }
    }
}

TEST_F(StillImage, BmpIsWrittenByteForByte) {
    Surface pic;
    ASSERT_TRUE(pic.create(101, 2));
    pic.set(0, 0, 0xFF112233);    // top-left
    pic.set(100, 1, 0xFFAABBCC);  // bottom-right
    ASSERT_EQ(save(pic, "h.bmp"), 1);
    const Bytes b = bytes("h.bmp");
    const Bytes header = {'B', 'M', 0x96, 0x02, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file size 662, pixels at 54
                          40, 0, 0, 0, 101, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                          0x60, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // image size 608, resolutions 0
                          0, 0, 0, 0, 0, 0, 0, 0};                    // colours used and important
    ASSERT_EQ(b.size(), 54u + 2 * 304);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 54), header);
    // Bottom row first, blue-green-red, 304-byte rows ending in a zero pad byte.
    EXPECT_EQ(Bytes(b.begin() + 54 + 300, b.begin() + 54 + 304), (Bytes{0xCC, 0xBB, 0xAA, 0}));
    EXPECT_EQ(Bytes(b.begin() + 54 + 304, b.begin() + 54 + 307), (Bytes{0x33, 0x22, 0x11}));
    EXPECT_EQ(b.back(), 0);

    ASSERT_TRUE(pic.create(100, 1));
    ASSERT_EQ(save(pic, "w100.bmp"), 1);
    EXPECT_EQ(bytes("w100.bmp").size(), 54u + 300);
    // w and h other than the surface's own size never make it read outside it.
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, pic, 600, 400, file("big.bmp"), 80), 1);
    EXPECT_EQ(bytes("big.bmp"), bytes("w100.bmp"));
}

// ImageMagick, which many tools are built on, refuses a 24-bit BMP whose
// colours-used field is not 0: it must read every BMP the program writes
// (pictures, a project's companions, the shipped samples) to our pixels.
TEST_F(StillImage, ImageMagickReadsEveryBmpWeWrite) {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    const auto magick = [](const std::string& cmd) {
        std::string out;
        FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
        if (!p) return std::make_pair(-1, out);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        return std::make_pair(::pclose(p), out);
    };
    const Surface pic = varied(101, 7);
    ASSERT_EQ(save(pic, "v.bmp"), 1);
    const auto [rc, raw] = magick("convert '" + file("v.bmp") + "' -depth 8 rgb:-");
    ASSERT_EQ(rc, 0) << raw;
    ASSERT_EQ(raw.size(), 101u * 7 * 3);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 101; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * 101 + x) * 3;
            const Pixel got = kOpaque | Pixel(std::uint8_t(raw[i])) << 16 | Pixel(std::uint8_t(raw[i + 1])) << 8 |
                              std::uint8_t(raw[i + 2]);
            ASSERT_EQ(got, pic.at(x, y)) << x << "," << y;
        }
    // A project's edit image, masks and paint layer.
    {
        plastora::test::TestDocument doc(40, 30);
        ASSERT_TRUE(doc.ws->ensurePaintLayer());
        plastora::test::paintRect(doc.ws->region(0).mask, 3, 4, 20, 25);
        plastora::test::paintRect(doc.ws->paintMask(), 1, 1, 5, 5);
        ASSERT_EQ(doc.ws->Save(file("p.lyr")), 1);
        for (const char* ext : {".bmp", ".msk", ".pai"}) {
            ASSERT_TRUE(std::filesystem::exists(file(std::string("p") + ext))) << ext;
            const auto [code, out] = magick("identify '" + file(std::string("p") + ext) + "'");
            EXPECT_EQ(code, 0) << ext << ": " << out;
        }
    }
    // The pictures and masks shipped with the program.
    const std::filesystem::path samples = std::filesystem::path(PLASTORA_SOURCE_DIR) / "data/sample";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".bmp" && ext != ".msk" && ext.rfind(".m", 0) != 0) continue;
        if (ext == ".bmp" || ext == ".msk" || (ext.size() == 4 && std::isdigit(static_cast<unsigned char>(ext[2])))) {
            const auto [code, out] = magick("identify '" + entry.path().string() + "'");
            EXPECT_EQ(code, 0) << out;
            ++checked;
        }
    }
    EXPECT_GE(checked, 4);
}

TEST_F(StillImage, BmpRoundTripIsExactForBottomUpAndTopDownRows) {
    // Tall enough that the rows are read in several bands, the last one short.
    constexpr int kH = 150;
    const Surface pic = varied(7, kH);
    ASSERT_EQ(save(pic, "r.bmp"), 1);
    const Bytes b = bytes("r.bmp");
    Bytes topDown(b.begin(), b.begin() + 54);
    for (int r = kH - 1; r >= 0; --r) topDown.insert(topDown.end(), b.begin() + 54 + r * 24, b.begin() + 54 + (r + 1) * 24);
    putLe32(topDown, 22, std::uint32_t(-kH));
    put("td.bmp", topDown);
    for (const char* name : {"r.bmp", "td.bmp"}) {
        const Loaded l = load(name);
        ASSERT_EQ(l.result, 1) << name;
        ASSERT_EQ(l.w, 7);
        ASSERT_EQ(l.h, kH);
        EXPECT_TRUE(test::samePixels(l.picture, pic)) << name;
    }
}

TEST_F(StillImage, FormatIsChosenByTheEndOfTheName) {
    const Surface pic = quadrants(16, 16);
    // Saving: "jpg" or "jpeg" at the end in any case; ".jpe" is not JPEG.
    for (auto [name, first] : {std::pair{"b.JPEG", 0xFF}, {"b.JpG", 0xFF}, {"photojpg", 0xFF}, {"b.jpe", 'B'}}) {
        ASSERT_EQ(save(pic, name), 1) << name;
        EXPECT_EQ(bytes(name)[0], first) << name;
    }
    const Bytes jpeg = bytes("b.JPEG"), bmp = bytes("b.jpe");
    // Loading: the last character alone decides (g, G, o, O: JPEG).
    for (auto [name, data, result] : {std::tuple{"c.jpg", &jpeg, 1}, {"c.JPEG", &jpeg, 1}, {"c.MPO", &jpeg, 1},
                                      {"c.pic", &jpeg, 0}, {"d.pic", &bmp, 1}, {"d.jpg", &bmp, 0},
                                      // .png ends in 'g': even BMP data under that name is not read.
                                      {"d.png", &bmp, 0}}) {
        put(name, *data);
        EXPECT_EQ(load(name).result, result) << name;
    }
    Surface copy;
    ASSERT_TRUE(copy.createCopy(pic));
    ASSERT_TRUE(copy.image().save(QString::fromStdString(file("real.png")), "PNG"));
    EXPECT_EQ(load("real.png").result, 0);
    // Names are UTF-8.
    ASSERT_EQ(save(pic, "写真.jpg"), 1);
    EXPECT_EQ(load("写真.jpg").result, 1);
}

TEST_F(StillImage, GreyJpegBecomesThreeEqualBytes) {
    Bytes grey(24 * 16);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = i % 24 < 12 ? 40 : 210;
    writeRawJpeg(file("g.jpg"), 24, 16, 1, JCS_GRAYSCALE, grey);
    const Loaded l = load("g.jpg");
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(l.w, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            const Pixel p = l.picture.at(x, y);
            ASSERT_EQ(p & 0xFF, (p >> 8) & 0xFF) << x << "," << y;
            ASSERT_EQ(p & 0xFF, (p >> 16) & 0xFF) << x << "," << y;
        }
    EXPECT_TRUE(near(l.picture.at(4, 8), 0xFF282828, 4));
    EXPECT_TRUE(near(l.picture.at(20, 8), 0xFFD2D2D2, 4));
}

TEST_F(StillImage, JpegOffsetStartsDecodingInsideTheFile) {
    ASSERT_EQ(save(quadrants(32, 32), "inner.jpg"), 1);
    Bytes file(777, 0xA5);
    const Bytes jpeg = bytes("inner.jpg");
    file.insert(file.end(), jpeg.begin(), jpeg.end());
    put("outer.mpo", file);
    const Loaded l = load("outer.mpo", 777);
    ASSERT_EQ(l.result, 1);
    expectQuadrants(l.picture, 8);
    const std::optional<long long> badOffsets[] = {std::nullopt, 776, -1, static_cast<long long>(file.size())};
    for (const auto& bad : badOffsets)
        EXPECT_EQ(load("outer.mpo", bad).result, 0) << bad.value_or(-99);
}

TEST_F(StillImage, ShrinksToHalfWhenFullSizeCannotBeMade) {
    const Surface pic = varied(21, 13);
    ASSERT_EQ(save(pic, "big.bmp"), 1);
    // Expected: the platform's own halftone stretch of the picture.
    Surface want;
    ASSERT_TRUE(want.create(10, 6));
    ASSERT_TRUE(stretchBlit(want, 0, 0, 10, 6, pic, 0, 0, 21, 13, Rop::Copy, StretchMode::Halftone));
    Surface::setAllocationHook([](int w, int h) { return !(w == 21 && h == 13); });
    const Loaded l = load("big.bmp");
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.w, 10);
    EXPECT_EQ(l.h, 6);
    ASSERT_EQ(l.picture.width(), 10);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_TRUE(near(l.picture.at(x, y), want.at(x, y), 1)) << x << "," << y;
}

TEST_F(StillImage, TriesEverySizeDownToOneNinetyNinthThenReportsOutOfMemory) {
    ASSERT_EQ(save(varied(250, 3), "wide.bmp"), 1);
    ASSERT_EQ(save(varied(99, 99), "sq.bmp"), 1);
    std::vector<std::pair<int, int>> tried;
    Surface::setAllocationHook([&](int w, int h) {
        tried.emplace_back(w, h);
        return false;
    });
    ScriptedHost host;
    host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    Surface s;
    int w = -1, h = -1;
    EXPECT_EQ(LoadStillImage(host, file("wide.bmp"), std::nullopt, s, w, h), 0);
    EXPECT_EQ(w, -1);
    // 1/4 of 3 rows is nothing: only 1/1 .. 1/3 are possible.
    EXPECT_EQ(tried, (std::vector<std::pair<int, int>>{{250, 3}, {125, 1}, {83, 1}}));

    int tries = 0;
    Surface::setAllocationHook([&](int, int) { return ++tries == 99; });
    const Loaded l = load("sq.bmp");
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(l.w, 1);
    EXPECT_EQ(l.h, 1);
}

TEST_F(StillImage, DamagedOrHostileBmpFailsQuietly) {
    ASSERT_EQ(save(varied(5, 3), "ok.bmp"), 1);
    const Bytes good = bytes("ok.bmp");
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> cases = {
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
        {"huge both", [](Bytes& b) { putLe32(b, 18, 0x40000000), putLe32(b, 22, 0x40000000); }},
    };
    for (const auto& [what, damage] : cases) {
        Bytes b = good;
        damage(b);
        put("bad.bmp", b);
        const Loaded l = load("bad.bmp");
        EXPECT_EQ(l.result, 0) << what;
        EXPECT_TRUE(l.picture.empty()) << what;
        EXPECT_EQ(l.w, -1) << what;
    }
    EXPECT_EQ(load("missing.bmp").result, 0);
    EXPECT_EQ(load("").result, 0);  // the folder itself
}

TEST_F(StillImage, DamagedOrHostileJpegFailsQuietly) {
    ASSERT_EQ(save(varied(64, 48), "ok.jpg", 95), 1);
    const Bytes good = bytes("ok.jpg");
    const std::uint8_t sofMarker[] = {0xFF, 0xC0};
    const std::size_t sof = std::search(good.begin(), good.end(), std::begin(sofMarker), std::end(sofMarker)) - good.begin();
    ASSERT_LT(sof, good.size());
    const auto setSize = [sof](Bytes& b, std::uint8_t hi, std::uint8_t lo) { b[sof + 5] = b[sof + 7] = hi, b[sof + 6] = b[sof + 8] = lo; };
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> cases = {
        {"cut in the data", [](Bytes& b) { b.resize(b.size() * 2 / 3); }},
        {"cut in the headers", [](Bytes& b) { b.resize(100); }},
        {"only the start marker", [](Bytes& b) { b.resize(2); }},
        {"not a JPEG", [](Bytes& b) { b.assign(500, 0x42); }},
        {"65535 square, little data", [&](Bytes& b) { setSize(b, 0xFF, 0xFF); }},
        {"15000 square, little data", [&](Bytes& b) { setSize(b, 0x3A, 0x98); }},
    };
    for (const auto& [what, damage] : cases) {
        Bytes b = good;
        damage(b);
        put("bad.jpg", b);
        const Loaded l = load("bad.jpg");
        EXPECT_EQ(l.result, 0) << what;
        EXPECT_TRUE(l.picture.empty()) << what;
    }
    // Four-component pictures have no colour conversion: refused, not overrun.
    writeRawJpeg(file("cmyk.jpg"), 8, 8, 4, JCS_CMYK, Bytes(8 * 8 * 4, 0x80));
    EXPECT_EQ(load("cmyk.jpg").result, 0);
    // A file that lacks only its end marker is still a whole picture.
    put("noend.jpg", Bytes(good.begin(), good.end() - 2));
    EXPECT_EQ(load("noend.jpg").result, 1);
}

TEST_F(StillImage, FailedSaveShowsTheMessageAndKeepsTheOldFile) {
    const Surface pic = quadrants(100, 100);
    {
        ScriptedHost host;
        host.expectMessage(kSaveFailed, MsgResult::Ok, MsgButtons::Ok).expectMessage(kSaveFailed);
        EXPECT_EQ(SaveStillImage(host, pic, 100, 100, file("no/such/folder/x.bmp"), 80), 0);
        EXPECT_EQ(SaveStillImage(host, Surface(), 10, 10, file("empty.bmp"), 80), 0);
    }
    // Writes that fail part-way (file size limit) leave the old file whole.
    ASSERT_EQ(save(quadrants(4, 4), "keep.bmp"), 1);
    const Bytes before = bytes("keep.bmp");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int bmpResult = -1, jpegResult = -1;
    {
        ScriptedHost host;
        host.expectMessage(kSaveFailed).expectMessage(kSaveFailed);
        bmpResult = SaveStillImage(host, pic, 100, 100, file("keep.bmp"), 80);
        jpegResult = SaveStillImage(host, varied(400, 400), 400, 400, file("keep.jpg"), 100);
    }
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(bmpResult, 0);
    EXPECT_EQ(jpegResult, 0);
    EXPECT_EQ(bytes("keep.bmp"), before);
    EXPECT_FALSE(std::filesystem::exists(file("keep.jpg")));
    // A successful save replaces the file; no temporary file is left behind.
    ASSERT_EQ(save(pic, "keep.bmp"), 1);
    EXPECT_EQ(bytes("keep.bmp").size(), 54u + 300 * 100);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Written in two steps: nothing is at the target until the commit runs (on
// any thread), which then gives the bytes of the one-step write; a dropped
// commit, or a picture that gives up part way, leaves the old file and no
// temporary one.
TEST_F(StillImage, UncommittedWriteReplacesTheTargetOnlyWhenCommitted) {
    const Surface pic = varied(64, 48);
    ASSERT_TRUE(WriteStillImageRows(rowsOf(pic), file("whole.bmp"), 80));
    ASSERT_EQ(save(quadrants(4, 4), "old.bmp"), 1);
    const Bytes old = bytes("old.bmp");
    const auto entries = [&] { return std::distance(std::filesystem::directory_iterator(dir.path()), {}); };

    std::shared_ptr<ReplacingFile> pending = WriteStillImageRowsPending(rowsOf(pic), file("old.bmp"), 80);
    ASSERT_TRUE(pending);
    EXPECT_EQ(bytes("old.bmp"), old);
    EXPECT_EQ(entries(), 3) << "the picture waits under a temporary name";
    EXPECT_TRUE(std::async(std::launch::async, [&] { return pending->sync(); }).get());
    EXPECT_EQ(bytes("old.bmp"), old) << "made safe, not yet in place";
    EXPECT_TRUE(pending->commit());
    EXPECT_EQ(bytes("old.bmp"), bytes("whole.bmp"));
    EXPECT_EQ(entries(), 2);

    ASSERT_EQ(save(quadrants(4, 4), "old.bmp"), 1);
    WriteStillImageRowsPending(rowsOf(pic), file("old.bmp"), 80) = nullptr;  // dropped uncommitted
    const PictureRows givesUp{64, 48, [&](int y) { return y < 20 ? pic.row(y) : nullptr; }};
    EXPECT_FALSE(WriteStillImageRowsPending(givesUp, file("old.bmp"), 80));
    EXPECT_FALSE(WriteStillImageRowsPending(givesUp, file("new.jpg"), 80));
    EXPECT_EQ(bytes("old.bmp"), old);
    EXPECT_EQ(entries(), 2);
}

// Rows that repeat (a picture stretched by five) and say so by their key
// are copied rather than encoded again, also where a run of equal rows
// crosses from one of the writer's blocks into the next: the BMP is the
// same, byte for byte, as the one written without keys (12 MB, so several
// blocks).
TEST_F(StillImage, RepeatedRowsGiveTheBytesOfRowsWrittenOneByOne) {
    const Surface source = varied(2000, 420);
    const auto rowOf = [&](int y) { return source.row(y / 5); };
    const PictureRows plain{2000, 2100, rowOf};
    PictureRows keyed = plain;
    keyed.key = [](int y) { return static_cast<long long>(y / 5); };
    ASSERT_TRUE(WriteStillImageRows(plain, file("plain.bmp"), 80));
    ASSERT_TRUE(WriteStillImageRows(keyed, file("keyed.bmp"), 80));
    const Bytes want = bytes("plain.bmp");
    ASSERT_EQ(want.size(), 54u + 6000u * 2100u);
    EXPECT_TRUE(bytes("keyed.bmp") == want);
}

// A picture large enough to be encoded in strips in memory, whose rows give
// out part way through a strip after its buffer has grown several times: the
// write fails cleanly (each buffer freed once) and leaves no file.
TEST_F(StillImage, ALargeJpegWhoseRowsGiveOutFailsCleanly) {
    const Surface noise = varied(2400, 64);
    const PictureRows givesUp{2400, 2400, [&](int y) { return y < 1500 ? noise.row(y % 64) : nullptr; }, true};
    ASSERT_GE(static_cast<long long>(givesUp.width) * givesUp.height, kJpegStripMinPixels);
    EXPECT_FALSE(WriteStillImageRows(givesUp, file("large.jpg"), 95));
    EXPECT_FALSE(std::filesystem::exists(file("large.jpg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}

// Pillow, an independent reader, sees the same size and colours.
TEST_F(StillImage, PillowReadsWhatWeWrite) {
    std::string python;
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (python.empty() && std::system((std::string(p) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0) python = p;
    if (python.empty()) GTEST_SKIP() << "python3 with PIL is not available";
    for (const char* name : {"pil.jpeg", "pil.bmp"}) {
        ASSERT_EQ(save(quadrants(48, 32), name), 1);
        const std::string cmd = python + " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert(\"RGB\");"
                                         " print(*im.size, *[v for xy in ((12, 8), (36, 8), (12, 24), (36, 24))"
                                         " for v in im.getpixel(xy)])' '" + file(name) + "'";
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
        for (Pixel want : kQuadrants) {
            unsigned r = 0, g = 0, b = 0;
            in >> r >> g >> b;
            EXPECT_TRUE(near(kOpaque | r << 16 | g << 8 | b, want, std::string(name).ends_with(".bmp") ? 0 : 8)) << name;
        }
    }
}

namespace {

// What one libjpeg encoder writes for `pic` with the program's settings and
// a restart marker every `restartRows` MCU rows (0: none).
Bytes singleEncoder(const Surface& pic, int quality, int restartRows, bool fullChroma = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(pic.width());
    c.image_height = JDIMENSION(pic.height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_set_quality(&c, quality, TRUE);
    if (fullChroma) c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    c.restart_in_rows = restartRows;
    jpeg_start_compress(&c, TRUE);
    Bytes row(std::size_t(pic.width()) * 3);
    while (c.next_scanline < c.image_height) {
        const Pixel* p = pic.row(int(c.next_scanline));
        for (int x = 0; x < pic.width(); ++x) {
            row[3 * x] = std::uint8_t(p[x]);
            row[3 * x + 1] = std::uint8_t(p[x] >> 8);
            row[3 * x + 2] = std::uint8_t(p[x] >> 16);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(mem, mem + size);
    std::free(mem);
    return out;
}

}  // namespace

// A large picture is encoded in strips on every core: the file is exactly
// what one encoder with a restart interval of a strip writes, on one thread
// and on many, including a last strip of part of an MCU row and a picture
// so wide that the interval must hold fewer MCU rows to fit 16 bits.
TEST_F(StillImage, LargeJpegInStripsIsOneEncodersStreamWithRestartsOnAnyNumberOfCores) {
    struct Case {
        int w, h, restartRows;
    };
    // 2050 x 2100: 129 MCU columns and 132 rows (5 strips, the last of 4
    // rows ending inside an MCU row). 33000 x 520: 2063 MCUs a row allow 31
    // rows an interval.
    for (const Case c : {Case{2050, 2100, kJpegStripMcuRows}, Case{33000, 520, 65535 / 2063}}) {
        const Surface pic = varied(c.w, c.h);
        const int threads = cv::getNumThreads();
        cv::setNumThreads(1);
        ASSERT_EQ(save(pic, "one.jpg", 87), 1);
        cv::setNumThreads(4);
        ASSERT_EQ(save(pic, "many.jpg", 87), 1);
        cv::setNumThreads(threads);
        const Bytes one = bytes("one.jpg");
        EXPECT_TRUE(one == bytes("many.jpg")) << c.w << " x " << c.h;
        EXPECT_TRUE(one == singleEncoder(pic, 87, c.restartRows)) << c.w << " x " << c.h;
        const Loaded l = load("one.jpg");
        ASSERT_EQ(l.result, 1);
        EXPECT_EQ(l.w, c.w);
        EXPECT_EQ(l.h, c.h);
    }
    // Interleaved views keep full chroma: strips of 8-row MCUs, the same
    // stream as one encoder's.
    const Surface wide = varied(2050, 2100);
    PictureRows rows = rowsOf(wide);
    rows.fullChroma = true;
    ASSERT_TRUE(WriteStillImageRows(rows, file("full.jpg"), 87));
    EXPECT_TRUE(bytes("full.jpg") == singleEncoder(wide, 87, kJpegStripMcuRows, true));
    // Below the size for strips: a plain stream without restart markers.
    const Surface small = varied(1000, 900);
    ASSERT_EQ(save(small, "small.jpg", 87), 1);
    EXPECT_TRUE(bytes("small.jpg") == singleEncoder(small, 87, 0));
}

// A batch of files written at once gives each file the bytes it gets when
// written alone (a large JPEG in strips among them), on one core and on
// many; a file that cannot be written is reported as such, the others are
// still written.
TEST_F(StillImage, BatchOfFilesWrittenAtOnceHasTheBytesOfEachWrittenAlone) {
    const Surface big = varied(2100, 2050), small = quadrants(301, 203);
    ASSERT_EQ(save(big, "alone.jpg", 85), 1);
    ASSERT_EQ(save(small, "alone.bmp"), 1);
    const int threads = cv::getNumThreads();
    for (const int n : {1, 4}) {
        cv::setNumThreads(n);
        std::vector<StillImageWrite> batch(4);
        batch[0].picture = &small;
        batch[0].path = file("b.bmp");
        batch[1].picture = &big;
        batch[1].path = file("b.jpg");
        batch[1].jpegQuality = 85;
        batch[2].write = [this] { return std::ofstream(file("b.txt")) << "text", true; };
        batch[3].picture = &small;
        batch[3].path = file("no-such-folder/c.bmp");
        const std::vector<char> ok = WriteStillImages(batch);
        EXPECT_EQ(ok, (std::vector<char>{1, 1, 1, 0})) << n << " threads";
        EXPECT_TRUE(bytes("b.jpg") == bytes("alone.jpg")) << n << " threads";
        EXPECT_TRUE(bytes("b.bmp") == bytes("alone.bmp")) << n << " threads";
        EXPECT_EQ(bytes("b.txt").size(), 4u);
    }
    cv::setNumThreads(threads);
}
