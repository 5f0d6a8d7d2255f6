// MPO writers and reader: the written bytes of a hand-worked pair and a
// five-image file, reading our files and Pillow's, damaged files, and the
// independent readers (exiftool, Pillow) on our files.
#include "StereoFileSupport.h"
#include "stereo/Exif.h"
#include "stereo/Mpo.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace plastora;
using namespace plastora::stereotest;
using plastora::test::TempDir;

namespace {

// A stand-in Exif JPEG of `size` bytes whose APP1 segment is `app1Length`
// long (so the SOI and APP1 take app1Length + 4 bytes); its bytes after the
// APP1 are numbered so that misplaced copies show.
std::vector<std::uint8_t> fakeExifJpeg(std::size_t size, std::uint16_t app1Length, std::uint8_t seed) {
    std::vector<std::uint8_t> b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    b[0] = 0xFF, b[1] = 0xD8, b[2] = 0xFF, b[3] = 0xE1;
    b[4] = static_cast<std::uint8_t>(app1Length >> 8);
    b[5] = static_cast<std::uint8_t>(app1Length);
    return b;
}

// Real Exif JPEGs of flat colours through the program's own chain.
std::string writeExifView(const TempDir& dir, const std::string& name, const Surface& view) {
    SilentHost host;
    const std::string main = dir.file(name + "_tmp.jpg"), thumb = dir.file(name + "_s.jpg"), out = dir.file(name + ".jpg");
    EXPECT_EQ(SaveStillImage(host, view, view.width(), view.height(), main, 90), 1);
    EXPECT_EQ(SaveThumbnail(host, view, thumb, 90), 1);
    EXPECT_EQ(WriteExifJpeg(main, thumb, out, ExifMode::Normal), 1);
    return out;
}

const ColorRef kColours[] = {RGB(220, 30, 30), RGB(30, 200, 40), RGB(40, 60, 230), RGB(230, 230, 30), RGB(30, 220, 220)};

// True when a decoded picture is close to a flat colour.
bool looksLike(const Surface& s, ColorRef c) {
    const auto m = meanColour(s);
    return std::abs(m[0] - static_cast<int>(GetRValue(c))) < 8 && std::abs(m[1] - static_cast<int>(GetGValue(c))) < 8 &&
           std::abs(m[2] - static_cast<int>(GetBValue(c))) < 8;
}

}  // namespace

TEST(MpoWriter, StereoPairOfThousandAndTwelveHundredBytes) {
    TempDir dir;
    const auto left = fakeExifJpeg(1000, 740, 1), right = fakeExifJpeg(1200, 740, 2);
    writeBytes(dir.file("l.jpg"), left);
    writeBytes(dir.file("r.jpg"), right);
    ASSERT_EQ(WriteStereoMpo(dir.file("l.jpg"), dir.file("r.jpg"), dir.file("pair.mpo")), 1);
    const auto f = readBytes(dir.file("pair.mpo"));
    ASSERT_EQ(f.size(), 1168u + 1298u);  // image 1 padded from 1160, image 2 not padded

    // Image 1: its SOI and APP1, the 158-byte APP2, the rest, zero padding.
    EXPECT_TRUE(std::equal(left.begin(), left.begin() + 744, f.begin()));
    const std::size_t a = 744, M = a + 8;
    EXPECT_EQ(be16(f, a), 0xFFE2u);
    EXPECT_EQ(be16(f, a + 2), 158u);
    EXPECT_EQ(std::memcmp(&f[a + 4], "MPF\0II*\0\x08\0\0\0", 12), 0);
    EXPECT_EQ(le16(f, M + 8), 3u);
    EXPECT_EQ(le16(f, M + 10), 0xB000u);
    EXPECT_EQ(std::memcmp(&f[M + 18], "0100", 4), 0);
    EXPECT_EQ(le16(f, M + 22), 0xB001u);
    EXPECT_EQ(le32(f, M + 30), 2u);
    EXPECT_EQ(le16(f, M + 34), 0xB002u);
    EXPECT_EQ(le32(f, M + 38), 32u);
    EXPECT_EQ(le32(f, M + 42), 50u);
    EXPECT_EQ(le32(f, M + 46), 82u);  // the attribute IFD
    // MP entries at 50.
    EXPECT_EQ(le32(f, M + 50), 0x20020002u);
    EXPECT_EQ(le32(f, M + 54), 1168u);
    EXPECT_EQ(le32(f, M + 58), 0u);
    EXPECT_EQ(le32(f, M + 66), 0x00020002u);
    EXPECT_EQ(le32(f, M + 70), 1298u);
    EXPECT_EQ(le32(f, M + 74), 416u);
    EXPECT_EQ(M + 416, 1168u);  // the offset leads to image 2's SOI
    // Attribute IFD at 82, its two values at 136 and 144.
    EXPECT_EQ(le16(f, M + 82), 4u);
    EXPECT_EQ(le16(f, M + 84 + 24), 0xB205u);
    EXPECT_EQ(le16(f, M + 84 + 26), 12u);
    EXPECT_EQ(le32(f, M + 84 + 32), 136u);
    EXPECT_EQ(le32(f, M + 84 + 44), 144u);
    for (std::size_t i = 136; i < 152; ++i) EXPECT_EQ(f[M + i], 0xFF);
    EXPECT_EQ(M + 152, 744u + 160u);  // end of the APP2 (2 + 158 bytes)
    EXPECT_TRUE(std::equal(left.begin() + 744, left.end(), f.begin() + 904));
    for (std::size_t i = 1160; i < 1168; ++i) EXPECT_EQ(f[i], 0);

    // Image 2 with its 98-byte APP2.
    const std::size_t b = 1168 + 744;
    EXPECT_TRUE(std::equal(right.begin(), right.begin() + 744, f.begin() + 1168));
    EXPECT_EQ(be16(f, b), 0xFFE2u);
    EXPECT_EQ(be16(f, b + 2), 0x60u);
    EXPECT_EQ(std::memcmp(&f[b + 4], "MPF\0II*\0\x08\0\0\0", 12), 0);
    EXPECT_EQ(le16(f, b + 16), 5u);
    EXPECT_EQ(le16(f, b + 30), 0xB101u);
    EXPECT_EQ(le32(f, b + 38), 2u);
    EXPECT_EQ(le16(f, b + 54), 0xB205u);
    EXPECT_EQ(le16(f, b + 56), 10u);
    EXPECT_EQ(le32(f, b + 62), 74u);
    EXPECT_EQ(le32(f, b + 74), 82u);
    for (std::size_t i = b + 82; i < b + 98; ++i) EXPECT_EQ(f[i], 0xFF);
    EXPECT_TRUE(std::equal(right.begin() + 744, right.end(), f.begin() + static_cast<long>(b) + 98));

    // The reader finds both images where the writer put them.
    MpoIndex index;
    ASSERT_TRUE(parseMpoIndex(f, index));
    EXPECT_EQ(index.imageCount, 2u);
    EXPECT_EQ(index.headerOffset, M);
    ASSERT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.entries[1].offset, 1168u);
    EXPECT_EQ(index.entries[1].size, 1298u);
}

TEST(MpoWriter, FiveViewsArePaddedAndChained) {
    TempDir dir;
    const std::size_t sizes[] = {1001, 1500, 1234, 999, 2048};
    const std::uint16_t app1[] = {740, 500, 650, 740, 300};
    std::vector<std::vector<std::uint8_t>> in;
    for (int i = 0; i < 5; ++i) {
        in.push_back(fakeExifJpeg(sizes[i], app1[i], static_cast<std::uint8_t>(i)));
        char name[32];
        std::snprintf(name, sizeof name, "v_%02d.jpg", i + 1);
        writeBytes(dir.file(name), in.back());
    }
    ASSERT_EQ(WriteMultiViewMpo(dir.file("v_%02d.jpg"), 5, dir.file("five.mpo")), 1);
    // The same pictures in a folder whose own name holds "%02d" (a
    // temporary folder named so): only the last one is the number.
    std::filesystem::create_directory(dir.file("t%02d"));
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "/v_0" + std::to_string(i) + ".jpg";
        std::filesystem::copy_file(dir.file(name.substr(1)), dir.file("t%02d") + name);
    }
    ASSERT_EQ(WriteMultiViewMpo(dir.file("t%02d") + "/v_%02d.jpg", 5, dir.file("again.mpo")), 1);
    EXPECT_TRUE(readBytes(dir.file("again.mpo")) == readBytes(dir.file("five.mpo")));
    const auto f = readBytes(dir.file("five.mpo"));
    const std::size_t M = 744 + 8;
    EXPECT_EQ(be16(f, 744 + 2), 206u);
    EXPECT_EQ(le32(f, M + 30), 5u);   // NumberOfImages
    EXPECT_EQ(le32(f, M + 38), 80u);  // MPEntry count
    EXPECT_EQ(le32(f, M + 46), 130u); // attribute IFD
    EXPECT_EQ(le32(f, M + 130 + 2 + 24 + 8), 184u);
    EXPECT_EQ(le32(f, M + 130 + 2 + 36 + 8), 192u);

    std::size_t start = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const std::size_t e = M + 50 + 16 * k;
        const std::size_t added = k == 0 ? 16 * 5 + 128 : 98;
        const std::size_t padded = (sizes[k] + added + 15) / 16 * 16;
        EXPECT_EQ(le32(f, e), k == 0 ? 0x20020002u : 0x00020002u);
        EXPECT_EQ(le32(f, e + 4), padded);
        EXPECT_EQ(le32(f, e + 8), k == 0 ? 0u : start - M);
        EXPECT_EQ(be32(f, start), 0xFFD8FFE1u);
        if (k > 0) {
            EXPECT_EQ(le32(f, start + app1[k] + 4 + 8 + 30), k + 1);  // MPIndividualNum
        }
        start += padded;
    }
    EXPECT_EQ(f.size(), start);  // the last image is padded too

    // Read back; with the third entry pointing where the second does, the
    // index is refused (one picture would be decoded twice).
    MpoIndex index;
    EXPECT_TRUE(parseMpoIndex(f, index));
    auto twice = f;
    std::copy_n(f.begin() + static_cast<long>(M + 50 + 16 + 8), 4, twice.begin() + static_cast<long>(M + 50 + 32 + 8));
    EXPECT_FALSE(parseMpoIndex(twice, index));
}

TEST(MpoWriter, RefusesInputsThatAreNotExifJpegs) {
    TempDir dir;
    writeBytes(dir.file("ok.jpg"), fakeExifJpeg(500, 100, 0));
    auto jfif = fakeExifJpeg(500, 100, 0);
    jfif[3] = 0xE0;
    writeBytes(dir.file("jfif.jpg"), jfif);
    writeBytes(dir.file("long.jpg"), fakeExifJpeg(500, 600, 0));  // APP1 longer than the file
    writeBytes(dir.file("tiny.jpg"), {0xFF, 0xD8});
    const std::string out = dir.file("out.mpo");
    EXPECT_EQ(WriteStereoMpo(dir.file("ok.jpg"), dir.file("jfif.jpg"), out), 0);
    EXPECT_EQ(WriteStereoMpo(dir.file("long.jpg"), dir.file("ok.jpg"), out), 0);
    EXPECT_EQ(WriteStereoMpo(dir.file("ok.jpg"), dir.file("tiny.jpg"), out), 0);
    EXPECT_EQ(WriteStereoMpo(dir.file("ok.jpg"), dir.file("missing.jpg"), out), 0);
    EXPECT_EQ(WriteMultiViewMpo(dir.file("none_%02d.jpg"), 3, out), 0);
    EXPECT_EQ(WriteMultiViewMpo(dir.file("ok.jpg"), 2, out), 0);  // no number in the pattern
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(MpoReader, ReadsEveryImageOfOurFiles) {
    TempDir dir;
    for (int i = 0; i < 4; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m_%02d", i + 1);
        writeExifView(dir, name, flatPicture(96 + 16 * i, 64, kColours[i]));
    }
    ASSERT_EQ(WriteMultiViewMpo(dir.file("m_%02d.jpg"), 4, dir.file("four.mpo")), 1);
    ASSERT_EQ(WriteStereoMpo(dir.file("m_01.jpg"), dir.file("m_02.jpg"), dir.file("two.MPO")), 1);
    SilentHost host;
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        Surface s;
        int w = 0, h = 0;
        EXPECT_EQ(ReadMpoImage(host, dir.file("four.mpo"), k, s, w, h), 4);
        EXPECT_EQ(w, 96 + 16 * k);
        EXPECT_EQ(h, 64);
        EXPECT_TRUE(looksLike(s, kColours[k]));
    }
    Surface s;
    int w = 0, h = 0;
    EXPECT_EQ(ReadMpoImage(host, dir.file("four.mpo"), 4, s, w, h), 0);
    EXPECT_EQ(ReadMpoImage(host, dir.file("two.MPO"), 1, s, w, h), 2);
    EXPECT_TRUE(looksLike(s, kColours[1]));
    EXPECT_EQ(ReadMpoImage(host, dir.file("two.MPO"), 2, s, w, h), 0);
    // A plain Exif JPEG has no MP index.
    EXPECT_EQ(ReadMpoImage(host, dir.file("m_01.jpg"), 0, s, w, h), 0);
    EXPECT_TRUE(host.lastMessage.empty());
}

TEST(MpoReader, DamagedFilesGiveZeroNeverAStrayRead) {
    TempDir dir;
    writeExifView(dir, "a", flatPicture(40, 30, kColours[0]));
    writeExifView(dir, "b", flatPicture(40, 30, kColours[1]));
    ASSERT_EQ(WriteStereoMpo(dir.file("a.jpg"), dir.file("b.jpg"), dir.file("ok.mpo")), 1);
    const auto good = readBytes(dir.file("ok.mpo"));
    MpoIndex index;
    ASSERT_TRUE(parseMpoIndex(good, index));
    const std::size_t M = static_cast<std::size_t>(index.headerOffset);
    const std::size_t app2 = M - 8;

    // Every cut of the file: the index is found only when its segment is
    // whole and image 2's start is inside what is left.
    for (std::size_t n = 0; n < good.size(); n += 7) {
        MpoIndex cut;
        const bool found = parseMpoIndex(std::span(good.data(), n), cut);
        EXPECT_EQ(found, n > index.entries[1].offset) << n;
    }

    // A file that ends inside or just after the MP header's TIFF header (byte
    // order, IFD offset): each cut held in a buffer of exactly its size, and
    // on disk, so that a read past the end is seen by the sanitizers.
    for (std::size_t n = M; n <= M + 10; ++n) {
        const std::vector<std::uint8_t> head(good.begin(), good.begin() + static_cast<long>(n));
        MpoIndex cut;
        EXPECT_FALSE(parseMpoIndex(head, cut)) << n;
        const std::string path = dir.file("cut.mpo");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(head.data()), static_cast<long>(n));
        EXPECT_FALSE(readMpoIndex(path, cut)) << n;
    }

    auto damaged = [&](auto edit) {
        auto b = good;
        edit(b);
        MpoIndex i;
        return parseMpoIndex(b, i);
    };
    EXPECT_FALSE(damaged([&](auto& b) { b[app2 + 2] = 0, b[app2 + 3] = 1; }));             // APP2 length 1
    EXPECT_FALSE(damaged([&](auto& b) { b[M] = 'X'; }));                                   // no byte order
    EXPECT_FALSE(damaged([&](auto& b) { b[M + 4] = 0xF0; }));                              // IFD outside
    EXPECT_FALSE(damaged([&](auto& b) { b[M + 8] = 0xFF, b[M + 9] = 0xFF; }));             // entry count too large
    EXPECT_FALSE(damaged([&](auto& b) { b[M + 42] = 0xFF, b[M + 43] = 0x7F; }));           // MPEntry offset outside
    EXPECT_FALSE(damaged([&](auto& b) { b[M + 77] = 0x7F; }));                             // image 2 beyond the file
    EXPECT_FALSE(damaged([&](auto& b) { b[4] = 0, b[5] = 1; }));                            // APP1 length 1
    EXPECT_FALSE(damaged([&](auto& b) { b[0] = 0; }));                                     // no SOI
    // An MP index claiming thousands of images yields only the entries present.
    MpoIndex many;
    auto b = good;
    b[M + 30] = 0xFF, b[M + 31] = 0xFF;
    ASSERT_TRUE(parseMpoIndex(b, many));
    EXPECT_EQ(many.imageCount, 0xFFFFu);
    EXPECT_EQ(many.entries.size(), 2u);

    // An MPF segment placed after a DQT is not looked for.
    auto late = good;
    const std::vector<std::uint8_t> dqt = {0xFF, 0xDB, 0x00, 0x04, 0x00, 0x00};
    late.insert(late.begin() + static_cast<long>(app2), dqt.begin(), dqt.end());
    MpoIndex none;
    EXPECT_FALSE(parseMpoIndex(late, none));

    // A file of nothing but empty application segments ends the search.
    std::vector<std::uint8_t> endless = {0xFF, 0xD8};
    for (int i = 0; i < 5000; ++i) endless.insert(endless.end(), {0xFF, 0xE3, 0x00, 0x02});
    EXPECT_FALSE(parseMpoIndex(endless, none));
}

// An MPO we did not write: three JPEGs from Pillow joined by a small
// independent assembler with a big-endian MP header after the JFIF segment,
// its MP entries a few bytes away from the IFD. Pillow's own reader checks
// that the file is well made.
TEST(MpoReader, ReadsForeignMpoWhoseFirstSegmentIsJfif) {
    if (!havePillow()) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    const std::string out = dir.file("foreign.mpo");
    const std::string script = R"PY(
import io, struct, sys
from PIL import Image
cols = [(220, 30, 30), (30, 200, 40), (40, 60, 230)]
def jpeg(c):
    b = io.BytesIO(); Image.new('RGB', (120, 80), c).save(b, 'JPEG', quality=90); return b.getvalue()
imgs = [jpeg(c) for c in cols]
n = len(imgs)
assert imgs[0][2:4] == b'\xff\xe0'
def segment(entries):
    first = 8 + 2 + 3 * 12 + 4 + 6
    ifd = struct.pack('>H', 3) + struct.pack('>HHI4s', 0xB000, 7, 4, b'0100') \
        + struct.pack('>HHII', 0xB001, 4, 1, n) + struct.pack('>HHII', 0xB002, 7, 16 * n, first) + struct.pack('>I', 0)
    body = b'MM\x00\x2a' + struct.pack('>I', 8) + ifd + b'\0' * 6 \
        + b''.join(struct.pack('>IIIHH', a, s, o, 0, 0) for a, s, o in entries)
    payload = b'MPF\0' + body
    return b'\xff\xe2' + struct.pack('>H', len(payload) + 2) + payload
app0 = 4 + (imgs[0][4] << 8 | imgs[0][5])
seg_len = len(segment([(0, 0, 0)] * n))
sizes = [len(imgs[0]) + seg_len] + [len(i) for i in imgs[1:]]
header = app0 + 8
starts = [sum(sizes[:k]) for k in range(n)]
entries = [(0x20020002 if k == 0 else 0x00020002, sizes[k], 0 if k == 0 else starts[k] - header) for k in range(n)]
data = imgs[0][:app0] + segment(entries) + imgs[0][app0:] + b''.join(imgs[1:])
with open(sys.argv[1], 'wb') as f:
    f.write(data)
with Image.open(sys.argv[1]) as im:
    print(im.format, getattr(im, 'n_frames', 1))
)PY";
    writeBytes(dir.file("assemble.py"), std::vector<std::uint8_t>(script.begin(), script.end()));
    const CommandRun r = runCommand("/usr/bin/python3 -W error::UserWarning " + shellQuote(dir.file("assemble.py")) + " " + shellQuote(out) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "MPO 3\n");
    const auto bytes = readBytes(out);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[3], 0xE0);  // the first segment is JFIF, not Exif
    MpoIndex index;
    ASSERT_TRUE(readMpoIndex(out, index));
    EXPECT_FALSE(index.littleEndian);
    SilentHost host;
    for (int k = 0; k < 3; ++k) {
        Surface s;
        int w = 0, h = 0;
        EXPECT_EQ(ReadMpoImage(host, out, k, s, w, h), 3) << k;
        EXPECT_EQ(w, 120);
        EXPECT_EQ(h, 80);
        EXPECT_TRUE(looksLike(s, kColours[k])) << k;
    }
}

TEST(MpoReader, IndependentReadersAcceptOurFiles) {
    const bool exiftool = haveExiftool(), pillow = havePillow();
    if (!exiftool && !pillow) GTEST_SKIP() << "neither exiftool nor Pillow is installed";
    TempDir dir;
    writeExifView(dir, "v_01", flatPicture(160, 100, kColours[0]));
    // Same sizes: Pillow's reader takes every frame to be as large as the first.
    writeExifView(dir, "v_02", flatPicture(160, 100, kColours[1]));
    writeExifView(dir, "v_03", flatPicture(160, 100, kColours[2]));
    ASSERT_EQ(WriteStereoMpo(dir.file("v_01.jpg"), dir.file("v_02.jpg"), dir.file("pair.mpo")), 1);
    ASSERT_EQ(WriteMultiViewMpo(dir.file("v_%02d.jpg"), 3, dir.file("three.mpo")), 1);
    for (const auto& [name, count] : {std::pair<std::string, unsigned>{"pair.mpo", 2}, {"three.mpo", 3}}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        MpoIndex index;
        ASSERT_TRUE(readMpoIndex(path, index));
        if (exiftool) {
            const auto tags = exiftoolTags(path);
            EXPECT_TRUE(tagValues(tags, "ExifTool:Warning").empty()) << tagValues(tags, "ExifTool:Warning").front();
            EXPECT_EQ(tagValues(tags, "MPF0:NumberOfImages"), std::vector<std::string>{std::to_string(count)});
            EXPECT_EQ(tagValues(tags, "IFD0:Make").front(), "Orvane Labs");
            EXPECT_EQ(tagValues(tags, "IFD0:Software").front(), "00260");
            EXPECT_FALSE(tagValues(tags, "IFD1:ThumbnailLength").empty());
            const auto lengths = tagValues(tags, "MPImage2:MPImageLength");
            const auto starts = tagValues(tags, "MPImage2:MPImageStart");
            ASSERT_EQ(lengths.size(), 1u);
            ASSERT_EQ(starts.size(), 1u);
            EXPECT_EQ(std::stoul(lengths[0]), index.entries[1].size);
            EXPECT_EQ(std::stoul(starts[0]), index.entries[1].offset);
            if (count == 3) {
                EXPECT_EQ(std::stoul(tagValues(tags, "MPImage3:MPImageStart").at(0)), index.entries[2].offset);
            }
        }
        if (pillow) {
            const CommandRun r = runCommand("/usr/bin/python3 -c \"from PIL import Image;im=Image.open('" + path +
                                     "');print(im.format,im.n_frames)\n"
                                     "for i in range(im.n_frames):\n im.seek(i);im.load();print(im.size[0],im.size[1],im.getpixel((8,8)))\" 2>&1");
            EXPECT_EQ(r.status, 0) << r.out;
            std::istringstream in(r.out);
            std::string format;
            unsigned frames = 0;
            in >> format >> frames;
            EXPECT_EQ(format, "MPO");
            EXPECT_EQ(frames, count);
            for (unsigned k = 0; k < frames; ++k) {
                int w = 0, h = 0;
                in >> w >> h;
                EXPECT_EQ(w, 160) << r.out;
                EXPECT_EQ(h, 100);
                // "(r, g, b)"
                std::string pixel;
                std::getline(in, pixel);
                int r = -1, g = -1, b = -1;
                EXPECT_EQ(std::sscanf(pixel.c_str(), " (%d, %d, %d)", &r, &g, &b), 3) << pixel;
                EXPECT_NEAR(r, static_cast<int>(GetRValue(kColours[k])), 8);
                EXPECT_NEAR(g, static_cast<int>(GetGValue(kColours[k])), 8);
                EXPECT_NEAR(b, static_cast<int>(GetBValue(kColours[k])), 8);
            }
        }
    }
}
