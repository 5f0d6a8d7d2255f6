// The Exif wrapper: the APP1 layout walked through its own offsets, the
// thumbnail's size and crop, the joined tables, and exiftool's reading.
#include "StereoFileSupport.h"
#include "stereo/Exif.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace plastora;
using namespace plastora::stereotest;
using plastora::test::TempDir;

namespace {

struct IfdEntry {
    std::uint32_t type = 0, count = 0, value = 0;
};

// Reads the big-endian IFD at TIFF offset `ifd` of a segment whose TIFF
// header sits at segment position 10. `next` gets the next-IFD offset.
std::map<std::uint32_t, IfdEntry> readIfd(const std::vector<std::uint8_t>& seg, std::uint32_t ifd,
                                          std::uint32_t* next = nullptr) {
    std::map<std::uint32_t, IfdEntry> out;
    const std::size_t at = 10 + ifd;
    const std::uint32_t n = be16(seg, at);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::size_t e = at + 2 + 12 * i;
        out[be16(seg, e)] = {be16(seg, e + 2), be32(seg, e + 4), be32(seg, e + 8)};
    }
    if (next) *next = be32(seg, at + 2 + 12 * n);
    return out;
}

std::string textAt(const std::vector<std::uint8_t>& seg, std::uint32_t tiffOffset, std::uint32_t count) {
    const auto* p = reinterpret_cast<const char*>(&seg.at(10 + tiffOffset));
    EXPECT_EQ(p[count - 1], '\0');
    return std::string(p, count - 1);
}

std::time_t fixedTime() {
    std::tm t{};
    t.tm_year = 2011 - 1900;
    t.tm_mon = 1;
    t.tm_mday = 26;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Writes a JPEG main picture and its thumbnail through the program's writers.
void writeInputs(const Surface& view, const std::string& main, const std::string& thumb) {
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, view, view.width(), view.height(), main, 85), 1);
    ASSERT_EQ(SaveThumbnail(host, view, thumb, 85), 1);
}

// The markers of a JPEG's segments up to and including SOS.
std::vector<int> markersUpToScan(const std::vector<std::uint8_t>& j) {
    std::vector<int> m;
    std::size_t pos = 2;
    while (pos + 4 <= j.size() && j[pos] == 0xFF) {
        m.push_back(j[pos + 1]);
        if (j[pos + 1] == 0xDA) break;
        pos += 2 + be16(j, pos + 2);
    }
    return m;
}

}  // namespace

TEST(ExifHeader, EveryIfdIsReachedThroughItsOffsetsInBothModes) {
    struct Mode {
        ExifMode mode;
        std::size_t D;
        const char *make, *model, *software;
    };
    for (const Mode m : {Mode{ExifMode::Card, 155, "Nintendo", "Nintendo 3DS", "00204"},
                         Mode{ExifMode::Normal, 161, "Orvane Labs", "Plastora 3D App", "00260"}}) {
        SCOPED_TRACE(m.make);
        const std::uint32_t T = 4321;
        const std::vector<std::uint8_t> seg = buildExifHeader(m.mode, T, fixedTime());
        ASSERT_EQ(seg.size(), m.D + 537);
        EXPECT_EQ(static_cast<std::size_t>(exifLayoutConstant(m.mode)), m.D);
        EXPECT_EQ(be16(seg, 0), 0xFFE1u);
        EXPECT_EQ(be16(seg, 2), m.D + 535 + T);
        EXPECT_EQ(std::memcmp(&seg[4], "Exif\0\0MM\0*\0\0\0\x08", 14), 0);

        std::uint32_t ifd1 = 0;
        auto ifd0 = readIfd(seg, 8, &ifd1);
        EXPECT_EQ(ifd0.size(), 9u);
        EXPECT_EQ(textAt(seg, ifd0[0x010F].value, ifd0[0x010F].count), m.make);
        EXPECT_EQ(ifd0[0x010F].value, 122u);
        EXPECT_EQ(textAt(seg, ifd0[0x0110].value, ifd0[0x0110].count), m.model);
        EXPECT_EQ(seg[m.D], 0);  // the pad after Model sits at D
        EXPECT_EQ(textAt(seg, ifd0[0x0131].value, 6), m.software);
        EXPECT_EQ(textAt(seg, ifd0[0x0132].value, 20), "2011:02:26 09:05:07");
        for (std::uint32_t tag : {0x011Au, 0x011Bu}) {
            EXPECT_EQ(ifd0[tag].type, 5u);
            EXPECT_EQ(be32(seg, 10 + ifd0[tag].value), 72u);
            EXPECT_EQ(be32(seg, 14 + ifd0[tag].value), 1u);
        }
        EXPECT_EQ(ifd0[0x0128].value, 0x00020000u);  // SHORT 2, left-justified
        EXPECT_EQ(ifd0[0x0213].value, 0x00020000u);

        std::uint32_t next = 1;
        auto exif = readIfd(seg, ifd0[0x8769].value, &next);
        EXPECT_EQ(ifd0[0x8769].value + 10, m.D + 43);
        EXPECT_EQ(next, 0u);
        EXPECT_EQ(exif.size(), 10u);
        EXPECT_EQ(exif[0x9000].value, 0x30323230u);  // "0220"
        EXPECT_EQ(textAt(seg, exif[0x9003].value, 20), "2011:02:26 09:05:07");
        EXPECT_EQ(textAt(seg, exif[0x9004].value, 20), "2011:02:26 09:05:07");
        EXPECT_EQ(exif[0x9101].value, 0x01020300u);
        EXPECT_EQ(exif[0xA001].value, 0x00010000u);
        EXPECT_EQ(exif[0xA002].value, 640u);
        EXPECT_EQ(exif[0xA003].value, 480u);

        // The maker note: a small IFD whose offsets are right in card mode.
        const IfdEntry note = exif[0x927C];
        EXPECT_EQ(note.count, 174u);
        auto noteIfd = readIfd(seg, note.value);
        EXPECT_EQ(noteIfd[0x1100].value, 384u);
        EXPECT_EQ(noteIfd[0x1101].value, 464u);
        const std::uint32_t shift = m.mode == ExifMode::Card ? 0 : 6;  // written unchanged in normal mode
        EXPECT_EQ(seg[10 + 384 + shift], 0x01);
        EXPECT_EQ(std::memcmp(&seg[10 + 464 + shift], "3DS1\x01\0\0\0\x31\xB6\x21\x15", 12), 0);

        auto interop = readIfd(seg, exif[0xA005].value, &next);
        EXPECT_EQ(next, 0u);
        EXPECT_EQ(interop[0x0001].value, 0x52393800u);  // "R98"
        EXPECT_EQ(textAt(seg, interop[0x1000].value, 18), "JPEG Exif Ver 2.2");

        auto thumb = readIfd(seg, ifd1, &next);
        EXPECT_EQ(ifd1 + 10, m.D + 443);
        EXPECT_EQ(next, 0u);
        EXPECT_EQ(thumb[0x0103].value, 0x00060000u);
        EXPECT_EQ(thumb[0x0201].value + 10, seg.size());  // the thumbnail follows the header part
        EXPECT_EQ(thumb[0x0202].value, T);
        EXPECT_EQ(be32(seg, 10 + thumb[0x011A].value), 72u);
    }
}

TEST(ExifHeader, SegmentMustFitSixteenBits) {
    const std::uint32_t largest = 0xFFFF - (161 + 535);
    EXPECT_FALSE(buildExifHeader(ExifMode::Normal, largest, 0).empty());
    EXPECT_TRUE(buildExifHeader(ExifMode::Normal, largest + 1, 0).empty());
    EXPECT_FALSE(buildExifHeader(ExifMode::Card, largest + 6, 0).empty());
    EXPECT_TRUE(buildExifHeader(ExifMode::Card, 70000, 0).empty());
}

TEST(ExifThumbnail, SizeAndCentreCrop) {
    EXPECT_EQ(thumbnailSize(1600, 1200), (Size{160, 120}));
    EXPECT_EQ(thumbnailSize(1200, 1600), (Size{120, 160}));
    EXPECT_EQ(thumbnailSize(500, 500), (Size{160, 120}));
    EXPECT_EQ(thumbnailCrop(1600, 1200, {160, 120}), (Rect{0, 0, 1600, 1200}));
    EXPECT_EQ(thumbnailCrop(1600, 900, {160, 120}), (Rect{200, 0, 1400, 900}));
    EXPECT_EQ(thumbnailCrop(1200, 1600, {120, 160}), (Rect{0, 0, 1200, 1600}));
    EXPECT_EQ(thumbnailCrop(800, 1600, {120, 160}), (Rect{0, 267, 800, 1333}));  // 1066 rows
    EXPECT_EQ(thumbnailCrop(1600, 1600, {160, 120}), (Rect{0, 200, 1600, 1400}));

    // A 1600 x 900 view with red bands outside its centre 1200 columns: none
    // of the red reaches the thumbnail.
    Surface view = flatPicture(1600, 900, RGB(0, 200, 0));
    fillRect(view, {0, 0, 200, 900}, RGB(255, 0, 0));
    fillRect(view, {1400, 0, 1600, 900}, RGB(255, 0, 0));
    Surface thumb;
    ASSERT_TRUE(makeThumbnail(view, thumb));
    EXPECT_EQ(thumb.width(), 160);
    EXPECT_EQ(thumb.height(), 120);
    EXPECT_EQ(colorRefFromPixel(thumb.at(0, 60)), RGB(0, 200, 0));
    EXPECT_EQ(colorRefFromPixel(thumb.at(159, 60)), RGB(0, 200, 0));

    // A tall view keeps its middle rows.
    Surface tall = flatPicture(300, 1000, RGB(0, 0, 255));
    fillRect(tall, {0, 100, 300, 900}, RGB(255, 255, 0));
    ASSERT_TRUE(makeThumbnail(tall, thumb));
    EXPECT_EQ(thumb.width(), 120);
    EXPECT_EQ(thumb.height(), 160);
    EXPECT_EQ(colorRefFromPixel(thumb.at(60, 0)), RGB(255, 255, 0));
    EXPECT_EQ(colorRefFromPixel(thumb.at(60, 159)), RGB(255, 255, 0));
}

TEST(ExifJpeg, TablesAreJoinedAndThePictureDecodesUnchanged) {
    TempDir dir;
    const Surface view = test::gradientPicture(320, 200);
    writeInputs(view, dir.file("main.jpg"), dir.file("thumb.jpg"));
    for (ExifMode mode : {ExifMode::Normal, ExifMode::Card}) {
        const std::string out = dir.file(mode == ExifMode::Card ? "card.jpg" : "exif.jpg");
        ASSERT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("thumb.jpg"), out, mode), 1);
        const auto bytes = readBytes(out);
        const auto main = readBytes(dir.file("main.jpg"));
        const auto thumb = readBytes(dir.file("thumb.jpg"));
        // The main JPEG as our writer makes it: JFIF, two DQT, SOF0, four DHT.
        EXPECT_EQ(markersUpToScan(main), (std::vector<int>{0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
        EXPECT_EQ(markersUpToScan(bytes), (std::vector<int>{0xE1, 0xDB, 0xC0, 0xC4, 0xDA}));
        const std::size_t D = static_cast<std::size_t>(exifLayoutConstant(mode));
        // The embedded thumbnail: a fresh SOI and the thumbnail from byte 20.
        EXPECT_EQ(be16(bytes, 2 + D + 537), 0xFFD8u);
        EXPECT_TRUE(std::equal(thumb.begin() + 20, thumb.end(), bytes.begin() + 2 + static_cast<long>(D) + 539));
        // One DQT header instead of two and one DHT header instead of four.
        EXPECT_EQ(bytes.size(), 2 + (D + 537) + (thumb.size() - 18) + (main.size() - 20) - 4 - 3 * 4);
        // Same coded data, same tables: identical pixels.
        EXPECT_TRUE(test::samePixels(loadPicture(out), loadPicture(dir.file("main.jpg"))));
        // The thumbnail cut out of the file is a 160 x 120 JPEG of its own.
        std::vector<std::uint8_t> embedded(bytes.begin() + 2 + static_cast<long>(D) + 537,
                                           bytes.begin() + 2 + static_cast<long>(D) + 537 + static_cast<long>(thumb.size() - 18));
        writeBytes(dir.file("embedded.jpg"), embedded);
        const Surface t = loadPicture(dir.file("embedded.jpg"));
        EXPECT_EQ(t.width(), 160);
        EXPECT_EQ(t.height(), 120);
    }
}

// A large picture is written with a restart interval (its strips encoded on
// every core): the DRI goes with the tables into the Exif file, and the
// restart markers stay in the coded data.
TEST(ExifJpeg, APictureWithRestartMarkersKeepsThem) {
    TempDir dir;
    const Surface view = test::gradientPicture(2048, 2048);
    writeInputs(view, dir.file("main.jpg"), dir.file("thumb.jpg"));
    const auto main = readBytes(dir.file("main.jpg"));
    ASSERT_EQ(markersUpToScan(main).end()[-2], 0xDD) << "the writer's restart interval";
    ASSERT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("thumb.jpg"), dir.file("exif.jpg"), ExifMode::Normal), 1);
    EXPECT_EQ(markersUpToScan(readBytes(dir.file("exif.jpg"))), (std::vector<int>{0xE1, 0xDB, 0xC0, 0xC4, 0xDD, 0xDA}));
    EXPECT_TRUE(test::samePixels(loadPicture(dir.file("exif.jpg")), loadPicture(dir.file("main.jpg"))));
}

TEST(ExifJpeg, BadInputsWriteNothing) {
    TempDir dir;
    writeInputs(test::gradientPicture(64, 48), dir.file("main.jpg"), dir.file("thumb.jpg"));
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, test::gradientPicture(8, 8), 8, 8, dir.file("pic.bmp"), 80), 1);
    const std::string out = dir.file("out.jpg");
    EXPECT_EQ(WriteExifJpeg(dir.file("missing.jpg"), dir.file("thumb.jpg"), out, ExifMode::Normal), 0);
    EXPECT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("missing.jpg"), out, ExifMode::Normal), 0);
    EXPECT_EQ(WriteExifJpeg(dir.file("pic.bmp"), dir.file("thumb.jpg"), out, ExifMode::Normal), 0);
    EXPECT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("pic.bmp"), out, ExifMode::Normal), 0);
    // A main JPEG cut inside its tables.
    auto main = readBytes(dir.file("main.jpg"));
    main.resize(100);
    writeBytes(dir.file("cut.jpg"), main);
    EXPECT_EQ(WriteExifJpeg(dir.file("cut.jpg"), dir.file("thumb.jpg"), out, ExifMode::Normal), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("thumb.jpg"), dir.file("no/such/dir/x.jpg"), ExifMode::Normal), 0);
}

TEST(ExifJpeg, ExiftoolReadsBothModesWithoutWarnings) {
    if (!haveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    writeInputs(test::gradientPicture(400, 300), dir.file("main.jpg"), dir.file("thumb.jpg"));
    struct Mode {
        ExifMode mode;
        const char *make, *model, *software;
    };
    for (const Mode m : {Mode{ExifMode::Card, "Nintendo", "Nintendo 3DS", "00204"},
                         Mode{ExifMode::Normal, "Orvane Labs", "Plastora 3D App", "00260"}}) {
        SCOPED_TRACE(m.make);
        const std::string out = dir.file(std::string(m.make).substr(0, 3) + ".jpg");
        ASSERT_EQ(WriteExifJpeg(dir.file("main.jpg"), dir.file("thumb.jpg"), out, m.mode), 1);
        const auto tags = exiftoolTags(out);
        EXPECT_TRUE(tagValues(tags, "ExifTool:Warning").empty()) << tagValues(tags, "ExifTool:Warning").front();
        EXPECT_TRUE(tagValues(tags, "ExifTool:Error").empty());
        EXPECT_EQ(tagValues(tags, "IFD0:Make"), std::vector<std::string>{m.make});
        EXPECT_EQ(tagValues(tags, "IFD0:Model"), std::vector<std::string>{m.model});
        EXPECT_EQ(tagValues(tags, "IFD0:Software"), std::vector<std::string>{m.software});
        // The pixel dimensions are the saved picture's own size.
        EXPECT_EQ(tagValues(tags, "ExifIFD:ExifImageWidth"), std::vector<std::string>{"400"});
        EXPECT_EQ(tagValues(tags, "ExifIFD:ExifImageHeight"), std::vector<std::string>{"300"});
        EXPECT_EQ(tagValues(tags, "InteropIFD:InteropIndex").size(), 1u);
        const auto length = tagValues(tags, "IFD1:ThumbnailLength");
        ASSERT_EQ(length.size(), 1u);
        EXPECT_EQ(std::stoul(length[0]), readBytes(dir.file("thumb.jpg")).size() - 18);
        // The thumbnail exiftool extracts is a 160 x 120 JPEG.
        const CommandRun t = runCommand("/usr/bin/exiftool -b -ThumbnailImage " + shellQuote(out) + " > " +
                                 shellQuote(dir.file("t.jpg")));
        EXPECT_EQ(t.status, 0);
        const Surface thumb = loadPicture(dir.file("t.jpg"));
        EXPECT_EQ(thumb.width(), 160);
        EXPECT_EQ(thumb.height(), 120);
    }
}
