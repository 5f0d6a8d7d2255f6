#include "core/ProjectFile.h"
#include "core/StillImage.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::vector<std::uint8_t> b;
    EXPECT_TRUE(readWholeFile(path, b, 1 << 30)) << path;
    return b;
}

void writeAll(const std::string& path, const std::vector<std::uint8_t>& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::int32_t word(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

void setWord(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v) {
    ASSERT_LE(at + 4, b.size());
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

std::shared_ptr<OverlayObject> textObject() {
    auto o = std::make_shared<OverlayObject>();
    o->depth = 6;
    o->shadow = 1;
    o->x = 3;
    o->y = 4;
    o->width = o->naturalWidth = 20;
    o->height = o->naturalHeight = 10;
    o->colour = RGB(10, 20, 30);
    o->flags = 36 | kTextBold | kTextAntialiased;
    o->text = "立体 Plastora";
    o->face = "ＭＳ Ｐゴシック";
    return o;
}

std::shared_ptr<OverlayObject> pictureObject() {
    auto o = std::make_shared<OverlayObject>();
    o->depth = -3;
    o->x = 1;
    o->y = 2;
    o->width = 12;
    o->height = 9;
    o->naturalWidth = 12;
    o->naturalHeight = 9;
    o->picture = gradientPicture(12, 9);
    o->outlines = {{true, {{1, 1}, {10, 1}, {10, 7}, {1, 7}}}, {false, {{4, 3}, {6, 3}, {5, 5}}}};
    return o;
}

std::shared_ptr<OverlayObject> shapeObject() {
    auto o = std::make_shared<OverlayObject>();
    o->depth = 12;
    o->x = 5;
    o->y = 5;
    o->width = o->height = 32;
    o->colour = 0xFFFFFF;
    o->flags = kShapeArrowSecond;
    o->count = kShapeLineRising;
    o->lineWidth = 3;
    o->lineColour = RGB(200, 0, 0);
    o->cornerSize = 8;
    return o;
}

void expectSameObject(const OverlayObject& a, const OverlayObject& b) {
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(a.shadow, b.shadow);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.naturalWidth, b.naturalWidth);
    EXPECT_EQ(a.naturalHeight, b.naturalHeight);
    EXPECT_EQ(a.colour, b.colour);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.lineWidth, b.lineWidth);
    EXPECT_EQ(a.lineColour, b.lineColour);
    EXPECT_EQ(a.cornerSize, b.cornerSize);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.face, b.face);
    EXPECT_EQ(a.outlines, b.outlines);
    EXPECT_TRUE(samePixels(a.picture, b.picture));
}

// A document of 41 x 23 with three regions, a paint layer and one object of
// each kind, saved as <dir>/doc.lyr.
struct SavedDocument {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws = std::make_unique<CStereoWorkspace>(host, dir.file("none.ini"));
    std::string path = dir.file("doc.lyr");

    SavedDocument() {
        ws->adoptPicture(gradientPicture(41, 23));
        ws->SetMode(kModeMask);
        ws->region(0).depth = -32;
        paintRect(ws->region(0).mask, 0, 0, 41, 23);
        EXPECT_TRUE(ws->appendRegion(0));
        paintRect(ws->region(1).mask, 3, 3, 9, 20);
        EXPECT_TRUE(ws->appendRegion(16));
        paintRect(ws->region(2).mask, 32, 0, 41, 1);  // touches the last column
        ws->setMaskingIndex(1);
        EXPECT_TRUE(ws->ensurePaintLayer());
        ws->paintLayer().set(7, 7, pixelFromColorRef(RGB(255, 0, 0)));
        ws->paintMask().set(7, 7, kWhite);
        ws->appendObject(kObjectText, textObject());
        ws->appendObject(kObjectPicture, pictureObject());
        ws->appendObject(kObjectShape, shapeObject());
        ws->backgroundDepth = -10;
        ws->paintDepth = 5;
        ws->paintShadow = 1;
        ws->setStrength(3);
        ws->setLpi(75.5);
        EXPECT_EQ(ws->Save(path), 1);
    }
};

}  // namespace

TEST(ProjectFile, RoundTripKeepsPixelsRegionsAndObjects) {
    SavedDocument d;
    ScriptedHost host;
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    ASSERT_EQ(back.Open(d.path), 1);

    EXPECT_EQ(back.width(), 41);
    EXPECT_EQ(back.height(), 23);
    EXPECT_TRUE(samePixels(back.source(), d.ws->source()));
    ASSERT_EQ(back.regionCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.region(i).depth, d.ws->region(i).depth) << i;
        EXPECT_TRUE(samePixels(back.region(i).mask, d.ws->region(i).mask)) << i;
    }
    EXPECT_EQ(back.maskingIndex(), 1);
    EXPECT_EQ(back.backgroundDepth, -10);
    EXPECT_EQ(back.paintDepth, 5);
    EXPECT_EQ(back.paintShadow, 1);
    EXPECT_EQ(back.strength(), 3);
    EXPECT_FLOAT_EQ(static_cast<float>(back.lpi()), 75.5f);
    ASSERT_TRUE(back.hasPaintLayer());
    EXPECT_EQ(back.paintLayer().at(7, 7), pixelFromColorRef(RGB(255, 0, 0)));
    EXPECT_EQ(back.paintMask().at(7, 7), kWhite);
    EXPECT_EQ(back.paintMask().at(8, 7), kBlack);
    ASSERT_EQ(back.objectCount(), 3);
    EXPECT_EQ(back.objectEntry(0).type, kObjectText);
    EXPECT_EQ(back.objectEntry(1).type, kObjectPicture);
    EXPECT_EQ(back.objectEntry(2).type, kObjectShape);
    for (int i = 0; i < 3; ++i) expectSameObject(*back.objectEntry(i).object, *d.ws->objectEntry(i).object);
    // A document with objects opens in image editing, unmodified.
    EXPECT_EQ(back.mode(), kModeImage);
    EXPECT_FALSE(back.modified());
    EXPECT_EQ(back.currentPath(), d.path);
}

// A text longer than a project can be read back with is not saved: the
// save fails and leaves the previous project, which still opens.
TEST(ProjectFile, ATextTooLongToReadBackIsNotSaved) {
    SavedDocument d;
    const auto before = readAll(d.path);
    auto longText = textObject();
    longText->text.assign((1 << 20) + 1, 'A');
    longText->count = static_cast<std::int32_t>(longText->text.size());
    ASSERT_TRUE(d.ws->appendObject(kObjectText, longText));
    d.host.expectMessage(kSaveFailedMessage);
    EXPECT_EQ(d.ws->Save(d.path), 0);
    EXPECT_TRUE(d.host.done());
    EXPECT_EQ(readAll(d.path), before);
    ScriptedHost host;
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    EXPECT_EQ(back.Open(d.path), 1);
}

// The clip-art of a busy picture has millions of outline points; what is
// saved opens again.
TEST(ProjectFile, ClipArtWithMillionsOfPointsOpensAgain) {
    SavedDocument d;
    auto busy = pictureObject();
    busy->outlines.assign(1, OutlinePolygon{true, std::vector<Point>((1 << 22) + 10, Point{2, 3})});
    ASSERT_TRUE(d.ws->appendObject(kObjectPicture, busy));
    ASSERT_EQ(d.ws->Save(d.path), 1);
    ScriptedHost host;
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    ASSERT_EQ(back.Open(d.path), 1);
    ASSERT_EQ(back.objectCount(), 4);
    EXPECT_EQ(back.objectEntry(3).object->outlines, busy->outlines);
}

TEST(ProjectFile, HeaderBytesAsWritten) {
    SavedDocument d;
    const auto b = readAll(d.path);
    ASSERT_GE(b.size(), kProjectHeaderSize);
    EXPECT_EQ(std::memcmp(b.data(), ".lyr", 4), 0);
    EXPECT_EQ(word(b, 4), 3);
    EXPECT_EQ(word(b, 8), 41);
    EXPECT_EQ(word(b, 12), 23);
    EXPECT_EQ(word(b, 16), 3);
    EXPECT_EQ(word(b, 20), 3);
    EXPECT_EQ(word(b, 24), -10);
    EXPECT_EQ(word(b, 28), 8);
    EXPECT_EQ(word(b, 32), 5);
    float lpi;
    std::memcpy(&lpi, b.data() + 44, 4);
    EXPECT_FLOAT_EQ(lpi, 75.5f);
    EXPECT_EQ(word(b, 48), 0);
    EXPECT_EQ(word(b, 56), 3);
    EXPECT_EQ(word(b, 60), 1);
    EXPECT_EQ(word(b, 64), 0);
    EXPECT_EQ(word(b, 68), 0);
    for (std::size_t at = 72; at < 96; at += 4) EXPECT_EQ(word(b, at), 0) << at;
    // Object table, then the 56-byte records: a shape keeps its line fields.
    EXPECT_EQ(word(b, 96), kObjectText);
    EXPECT_EQ(word(b, 104), kObjectPicture);
    EXPECT_EQ(word(b, 112), kObjectShape);
    const std::size_t shape = 96 + 3 * 8 + 2 * 56;
    EXPECT_EQ(word(b, shape + 40), kShapeLineRising);
    EXPECT_EQ(word(b, shape + 44), 3);
    EXPECT_EQ(word(b, shape + 48), static_cast<std::int32_t>(RGB(200, 0, 0)));
    EXPECT_EQ(word(b, shape + 52), 8);
    // Text is stored in the Windows Japanese code page: its count is the bytes there.
    const std::size_t text = 96 + 3 * 8;
    EXPECT_EQ(word(b, text + 40), static_cast<std::int32_t>(toDiskText("立体 Plastora").size()));
    EXPECT_EQ(toDiskText("立体 Plastora").size(), 13u);
}

// Every text comes back as it was: code-page text (half-width katakana
// included) as the code page, and what the code page cannot hold, whose
// UTF-8 bytes would often read as other code-page characters, unchanged.
TEST(ProjectFile, TextsOutsideTheCodePageComeBackUnchanged) {
    for (const std::string& text : {std::string("ﾏｽｸﾂｰﾙ 立体"), std::string("café 日本"), std::string("寿司🍣"),
                                    std::string("〜 −1 ¥100"), std::string("é"), std::string()}) {
        EXPECT_EQ(fromDiskText(toDiskText(text)), text);
    }
    EXPECT_EQ(toDiskText("ﾏｽｸ"), "\xCF\xBD\xB8");  // one byte each, as the code page has them
    EXPECT_EQ(fromDiskText("\x97\xa7\x91\xcc"), "立体");
}

TEST(ProjectFile, SavingAPhotoDocumentWritesCompanionsAndLeavesThePhoto) {
    TempDir dir;
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, gradientPicture(16, 12), 16, 12, dir.file("a.jpg"), 90), 1);
    const auto photo = readAll(dir.file("a.jpg"));
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ASSERT_EQ(ws.Open(dir.file("a.jpg")), 1);
    EXPECT_EQ(ws.mode(), kModeMask);
    EXPECT_EQ(ws.regionCount(), 1);
    EXPECT_EQ(ws.backgroundDepth, -8);
    EXPECT_EQ(ws.paintDepth, 4);
    ASSERT_EQ(ws.Save(ws.currentPath()), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.lyr")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.msk")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.m01")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.pai")));
    EXPECT_EQ(readAll(dir.file("a.jpg")), photo);
    EXPECT_EQ(ws.currentPath(), dir.file("a.lyr"));
}

TEST(ProjectFile, MaskFileLayoutCarriesTheDepth) {
    TempDir dir;
    Surface mask;
    ASSERT_TRUE(mask.create(33, 2));
    mask.set(0, 0, kWhite);
    mask.set(32, 1, kWhite);
    ASSERT_TRUE(writeMaskFile(dir.file("m.msk"), mask, -32));
    const auto b = readAll(dir.file("m.msk"));
    // Rows of 33 one-bit pixels take 8 bytes (two 32-bit words).
    ASSERT_EQ(b.size(), 62u + 16u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(word(b, 2), 78);
    EXPECT_EQ(static_cast<std::int16_t>(b[6] | (b[7] << 8)), -32);
    EXPECT_EQ(b[8] | (b[9] << 8), 0);
    EXPECT_EQ(word(b, 10), 62);
    EXPECT_EQ(word(b, 14), 40);
    EXPECT_EQ(word(b, 18), 33);
    EXPECT_EQ(word(b, 22), 2);
    EXPECT_EQ(b[26] | (b[27] << 8), 1);
    EXPECT_EQ(b[28] | (b[29] << 8), 1);
    EXPECT_EQ(word(b, 30), 0);
    EXPECT_EQ(word(b, 34), 16);
    EXPECT_EQ(word(b, 38), 0);
    EXPECT_EQ(word(b, 42), 0);
    EXPECT_EQ(word(b, 46), 2);
    EXPECT_EQ(word(b, 50), 2);
    const std::uint8_t palette[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(std::memcmp(b.data() + 54, palette, 8), 0);
    // Bottom-up: the file's first row is picture row 1, whose pixel 32 is set.
    const std::uint8_t row0[8] = {0, 0, 0, 0, 0x80, 0, 0, 0};
    const std::uint8_t row1[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data() + 62, row0, 8), 0);
    EXPECT_EQ(std::memcmp(b.data() + 70, row1, 8), 0);

    Surface back;
    int depth = 0;
    ASSERT_EQ(readMaskFile(dir.file("m.msk"), 33, 2, back, depth), MaskRead::Ok);
    EXPECT_EQ(depth, -32);
    EXPECT_TRUE(samePixels(back, mask));
    EXPECT_EQ(readMaskFile(dir.file("m.msk"), 32, 2, back, depth), MaskRead::Corrupt) << "size must match";
    EXPECT_EQ(readMaskFile(dir.file("none.msk"), 33, 2, back, depth), MaskRead::Missing);
    // No memory for the mask is no fault of the file: told apart, so that the
    // user hears of the memory, not of a damaged file.
    Surface::setAllocationHook([](int, int) { return false; });
    EXPECT_EQ(readMaskFile(dir.file("m.msk"), 33, 2, back, depth), MaskRead::OutOfMemory);
    Surface::setAllocationHook(nullptr);

    // The same mask as other tools may write it, white first in the palette
    // and every bit the other way round, reads the same.
    auto flipped = b;
    std::swap_ranges(flipped.begin() + 54, flipped.begin() + 58, flipped.begin() + 58);
    for (std::size_t i = 62; i < flipped.size(); ++i) flipped[i] = static_cast<std::uint8_t>(~flipped[i]);
    EXPECT_EQ(parseMaskFile(flipped, 33, 2, back, depth), MaskRead::Ok);
    EXPECT_TRUE(samePixels(back, mask));
}

TEST(ProjectFile, TwentyFourBitMaskFilesAreAccepted) {
    TempDir dir;
    ScriptedHost host;
    Surface m;
    ASSERT_TRUE(m.create(5, 3));
    m.set(1, 1, 0xFF000100);  // any non-zero byte is inside
    ASSERT_EQ(SaveStillImage(host, m, 5, 3, dir.file("old.msk"), 80), 1);
    auto b = readAll(dir.file("old.msk"));
    b[6] = 0xF0;  // depth -16 in the first reserved word
    b[7] = 0xFF;
    writeAll(dir.file("old.msk"), b);
    Surface back;
    int depth = 0;
    ASSERT_EQ(readMaskFile(dir.file("old.msk"), 5, 3, back, depth), MaskRead::Ok);
    EXPECT_EQ(depth, -16);
    EXPECT_EQ(back.at(1, 1), kWhite);
    EXPECT_EQ(countWhite(back), 1);
}

TEST(ProjectFile, AMissingMaskDropsThatRegionAndTheRest) {
    SavedDocument d;
    std::filesystem::remove(d.dir.file("doc.m02"));
    ScriptedHost host;
    host.expectMessage(kMissingMaskMessage);
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    ASSERT_EQ(back.Open(d.path), 1);
    EXPECT_EQ(back.regionCount(), 2);
    EXPECT_EQ(back.maskingIndex(), 0);

    std::filesystem::remove(d.dir.file("doc.m01"));
    host.expectMessage(kMissingMaskMessage);
    ASSERT_EQ(back.Open(d.path), 1);
    EXPECT_EQ(back.regionCount(), 1);
}

// A stereo flag with no picture beside it (a damaged flag, or both pictures
// lost) is told, and the project is not taken as whole.
TEST(ProjectFile, AStereoPairWithoutPicturesIsToldAndKeptFromOverwriting) {
    SavedDocument d;
    auto f = readAll(d.path);
    setWord(f, 64, 1);
    writeAll(d.path, f);
    ScriptedHost host;
    host.expectMessage(kReadFailedMessage);
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    ASSERT_EQ(back.Open(d.path), 1);
    EXPECT_TRUE(host.done());
    EXPECT_TRUE(back.openedIncomplete());
    EXPECT_TRUE(back.lostViewSource());
}

// A project file reached through a symbolic link is read and saved with the
// companion files beside the project it points to.
TEST(ProjectFile, AProjectReachedThroughALinkIsOpenedAndSavedWhereItPoints) {
    SavedDocument d;
    std::filesystem::create_directories(d.dir.file("a"));
    const std::string link = d.dir.file("a/link.lyr");
    std::filesystem::create_symlink(d.path, link);
    ScriptedHost host;
    CStereoWorkspace ws(host, d.dir.file("none.ini"));
    ASSERT_EQ(ws.Open(link), 1);
    ASSERT_EQ(ws.regionCount(), 3);
    ws.region(1).depth = 7;
    ASSERT_EQ(ws.Save(link), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(std::filesystem::exists(d.dir.file("a/link.bmp")));
    CStereoWorkspace back(host, d.dir.file("none.ini"));
    ASSERT_EQ(back.Open(d.path), 1);
    ASSERT_EQ(back.regionCount(), 3);
    EXPECT_EQ(back.region(1).depth, 7);
    EXPECT_TRUE(host.done());
}

TEST(ProjectFile, RefusesOtherFilesAndNewerVersions) {
    SavedDocument d;
    auto b = readAll(d.path);
    ScriptedHost host;
    CStereoWorkspace ws(host, d.dir.file("none.ini"));
    ASSERT_EQ(ws.Open(d.path), 1);
    ASSERT_FALSE(host.title.empty());

    auto other = b;
    other[0] = 'X';
    writeAll(d.dir.file("other.lyr"), other);
    host.expectMessage(kNotProjectMessage);
    host.expectMessage(kReadFailedMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_EQ(ws.Open(d.dir.file("other.lyr")), 0);
    EXPECT_EQ(ws.mode(), kModeNone);
    // The emptied window no longer carries the last document's name.
    EXPECT_EQ(ws.currentPath(), "");
    EXPECT_EQ(host.title, "");

    auto newer = b;
    setWord(newer, 4, 4);
    writeAll(d.dir.file("newer.lyr"), newer);
    host.expectMessage(kUnsupportedVersionMessage);
    host.expectMessage(kReadFailedMessage);
    EXPECT_EQ(ws.Open(d.dir.file("newer.lyr")), 0);
}

TEST(ProjectFile, OlderLayoutsOpen) {
    SavedDocument d;
    const auto b = readAll(d.path);
    ScriptedHost host;
    CStereoWorkspace ws(host, d.dir.file("none.ini"));

    // Version 1: the stored region count is one less, region 0's depth is the
    // foreground field, and the masks' words are not used for it.
    auto v1 = b;
    setWord(v1, 4, 1);
    setWord(v1, 28, 7);
    setWord(v1, 56, 2);
    writeAll(d.path, v1);
    ASSERT_EQ(ws.Open(d.path), 1);
    EXPECT_EQ(ws.regionCount(), 3);
    EXPECT_EQ(ws.region(0).depth, 7);
    EXPECT_EQ(ws.region(2).depth, 16);

    // The 64-byte header: objects from offset 64, one region, the lens pitch
    // kept. Such a file is told apart by a non-zero word at 72, which here is
    // the second object's type.
    std::vector<std::uint8_t> old(b.begin(), b.begin() + 64);
    old.insert(old.end(), b.begin() + 96, b.end());
    setWord(old, 4, 2);
    ASSERT_EQ(word(old, 72), kObjectPicture);
    ws.setLpi(42.0);
    writeAll(d.path, old);
    ASSERT_EQ(ws.Open(d.path), 1);
    EXPECT_EQ(ws.regionCount(), 1);
    EXPECT_EQ(ws.region(0).depth, -32);
    EXPECT_EQ(ws.objectCount(), 3);
    EXPECT_EQ(ws.maskingIndex(), 0);
    EXPECT_FALSE(ws.stereoPair());
    EXPECT_DOUBLE_EQ(ws.lpi(), 42.0);
}

TEST(ProjectFile, DamagedFilesAreRefusedWithoutHarm) {
    SavedDocument d;
    const auto b = readAll(d.path);
    ScriptedHost host;
    CStereoWorkspace ws(host, d.dir.file("none.ini"));
    const std::vector<std::pair<std::string, std::function<void(std::vector<std::uint8_t>&)>>> damages = {
        {"truncated object section", [](auto& f) { f.erase(f.end() - 7, f.end()); }},
        {"header only", [](auto& f) { f.erase(f.begin() + 96, f.end()); }},
        {"huge object count", [](auto& f) { setWord(f, 16, 1 << 30); }},
        {"negative object count", [](auto& f) { setWord(f, 16, -1); }},
        {"huge picture", [](auto& f) { setWord(f, 8, 1 << 30); }},
        {"huge text length", [](auto& f) { setWord(f, 96 + 24 + 40, 0x7FFFFFFF); }},
        {"negative outline count", [](auto& f) { setWord(f, 96 + 24 + 56 + 40, -5); }},
        {"too many regions", [](auto& f) { setWord(f, 56, 33); }},
        {"five bytes", [](auto& f) { f.erase(f.begin() + 5, f.end()); }},
        {"cut inside the header", [](auto& f) { f.erase(f.begin() + 80, f.end()); }},
        {"cut to the old header's size", [](auto& f) { f.erase(f.begin() + 64, f.end()); }},
    };
    for (const auto& [name, damage] : damages) {
        auto f = b;
        damage(f);
        writeAll(d.dir.file("bad.lyr"), f);
        host.expectMessage(kReadFailedMessage);
        EXPECT_EQ(ws.Open(d.dir.file("bad.lyr")), 0) << name;
        EXPECT_EQ(ws.mode(), kModeNone) << name;
    }
    // A count short of the objects stored opens what it can, says so, and
    // keeps the file from being saved over with the objects left out.
    auto shortCount = b;
    setWord(shortCount, 16, 0);
    writeAll(d.path, shortCount);
    host.expectMessage(kReadFailedMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Warning);
    EXPECT_EQ(ws.Open(d.path), 1);
    EXPECT_EQ(ws.objectCount(), 0);
    EXPECT_TRUE(ws.openedIncomplete());
}

// Numbers no dialog can make: depths and strengths far outside their ranges,
// objects at the ends of int. The project still opens, every number is
// clamped (depths to -32..16, the strength to 0..99, object places and sizes
// to the picture side limit), and the views and the high-resolution pair are
// made from them without overflow.
TEST(ProjectFile, ExtremeNumbersAreClampedAndViewsStillWork) {
    SavedDocument d;
    auto f = readAll(d.path);
    const std::size_t records = 96 + 3 * 8;
    setWord(f, 20, INT32_MAX);  // strength
    setWord(f, 24, INT32_MIN);  // background depth
    setWord(f, 32, INT32_MAX);  // paint depth
    setWord(f, 36, 7);          // region-0 shadow: any non-zero word
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t r = records + 56 * i;
        setWord(f, r, i == 1 ? INT32_MIN : INT32_MAX);  // depth
        setWord(f, r + 8, INT32_MAX);                    // x
        setWord(f, r + 12, INT32_MIN);                   // y
        setWord(f, r + 16, INT32_MAX);                   // width
    }
    setWord(f, records + 2 * 56 + 44, INT32_MAX);  // the shape's line width
    setWord(f, records + 2 * 56 + 52, INT32_MIN);  // and corner size
    writeAll(d.path, f);
    // Region 1's mask says -32768.
    auto m = readAll(d.dir.file("doc.m01"));
    m[6] = 0x00;
    m[7] = 0x80;
    writeAll(d.dir.file("doc.m01"), m);

    ScriptedHost host;
    CStereoWorkspace ws(host, d.dir.file("none.ini"));
    ASSERT_EQ(ws.Open(d.path), 1);
    EXPECT_EQ(ws.strength(), 99);
    EXPECT_EQ(ws.backgroundDepth, -32);
    EXPECT_EQ(ws.paintDepth, 16);
    EXPECT_EQ(ws.regionShadow, 1);
    EXPECT_EQ(ws.region(1).depth, -32);
    ASSERT_EQ(ws.objectCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const OverlayObject& o = *ws.objectEntry(i).object;
        EXPECT_EQ(o.depth, i == 1 ? -32 : 16) << i;
        EXPECT_EQ(o.x, 32767) << i;
        EXPECT_EQ(o.y, -32767) << i;
        EXPECT_EQ(o.width, 32767) << i;
    }
    EXPECT_EQ(ws.objectEntry(2).object->lineWidth, 32767);
    EXPECT_EQ(ws.objectEntry(2).object->cornerSize, 0);

    ws.GenerateViews(nullptr, ws.strength(), false);
    ASSERT_TRUE(ws.hasViews());
    Surface left, right;
    EXPECT_TRUE(ws.GenerateHighResPair(left, right, false));
}

TEST(ProjectFile, PictureRunsSplitAt255AndFallBackToRawRows) {
    const int w = 600;
    std::vector<std::uint8_t> rows(dibStride(w), 0);
    for (int x = 0; x < w; ++x) {
        rows[3 * x] = 1;
        rows[3 * x + 1] = 2;
        rows[3 * x + 2] = 3;
    }
    const auto runs = encodePictureRuns(rows, w, 1);
    ASSERT_EQ(runs.size(), 12u);
    EXPECT_EQ(runs[0], 255);
    EXPECT_EQ(runs[4], 255);
    EXPECT_EQ(runs[8], 90);
    EXPECT_EQ(runs[9], 1);
    EXPECT_EQ(runs[10], 2);
    EXPECT_EQ(runs[11], 3);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(decodePictureRuns(runs.data(), runs.size(), w, 1, back));
    EXPECT_EQ(back, rows);

    // Every pixel different: runs would take w * h * 4 bytes, so none are made.
    const Surface noisy = gradientPicture(5, 4);
    EXPECT_TRUE(encodePictureRuns(getDIBits(noisy), 5, 4).empty());

    // A run crossing the end of its row, an empty run, or data ending early.
    const std::uint8_t crossing[] = {4, 0, 0, 0};
    const std::uint8_t empty[] = {0, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_FALSE(decodePictureRuns(crossing, 4, 3, 1, back));
    EXPECT_FALSE(decodePictureRuns(empty, 8, 3, 1, back));
    EXPECT_FALSE(decodePictureRuns(runs.data(), 8, w, 1, back));
    // A huge picture claimed by a few bytes of runs is refused before any
    // memory is taken for it.
    std::vector<std::uint8_t> fresh;
    EXPECT_FALSE(decodePictureRuns(runs.data(), runs.size(), 16000, 16000, fresh));
    EXPECT_EQ(fresh.capacity(), 0u);
}

TEST(ProjectFile, NamesOfCompanionFiles) {
    EXPECT_EQ(projectBase("/a/b.c/photo.JPG"), "/a/b.c/photo");
    EXPECT_EQ(projectBase("/a/b.c/photo"), "/a/b.c/photo");
    EXPECT_TRUE(isProjectPath("/x/p.LYR"));
    EXPECT_TRUE(isProjectPath("/x.d/p"));
    EXPECT_FALSE(isProjectPath("/x/p.jpg"));
    EXPECT_EQ(maskPath("/x/p", 0), "/x/p.msk");
    EXPECT_EQ(maskPath("/x/p", 7), "/x/p.m07");
    EXPECT_EQ(maskPath("/x/p", 31), "/x/p.m31");
    EXPECT_EQ(highResPath("/x/p", 2), "/x/p_hd02.jpg");
}

TEST(ProjectFile, NoSavingIntoTheCardPictureFolder) {
    const std::string pattern = "DCIM\\*NIN03\\HNI_%04d.MPO";
    EXPECT_TRUE(isCardPicturePath("/media/user/CARD/DCIM/100NIN03/x.lyr", pattern));
    EXPECT_TRUE(isCardPicturePath("/mnt/DCIM/101NIN03/sub/x.lyr", pattern));
    EXPECT_TRUE(isCardPicturePath("/mnt/dcim/100nin03/x.lyr", pattern));
    EXPECT_FALSE(isCardPicturePath("/mnt/DCIM/100CANON/x.lyr", pattern));
    EXPECT_FALSE(isCardPicturePath("/home/u/DCIM.lyr", pattern));

    TempDir dir;
    std::filesystem::create_directories(dir.path() / "DCIM" / "100NIN03");
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(4, 4));
    host.expectMessage(kCardPathMessage);
    EXPECT_EQ(ws.Save((dir.path() / "DCIM" / "100NIN03" / "x.lyr").string()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "DCIM" / "100NIN03" / "x.lyr"));
    // Nor through a link into it.
    std::filesystem::create_directory_symlink(dir.path() / "DCIM" / "100NIN03", dir.path() / "pics");
    EXPECT_TRUE(isCardPicturePath((dir.path() / "pics" / "x.lyr").string(), pattern));
}

TEST(ProjectFile, AFailedSaveLeavesThePreviousProject) {
    SavedDocument d;
    const auto before = readAll(d.path);
    const auto mask0 = readAll(d.dir.file("doc.msk"));
    // The edit image cannot be written now: a folder stands in its place.
    std::filesystem::remove(d.dir.file("doc.bmp"));
    std::filesystem::create_directory(d.dir.file("doc.bmp"));
    d.ws->region(0).depth = 3;
    d.ws->setStrength(1);
    d.ws->setModified(true);
    d.host.expectMessage(kSaveFailedMessage);
    EXPECT_EQ(d.ws->Save(d.path), 0);
    EXPECT_EQ(readAll(d.path), before);
    EXPECT_EQ(readAll(d.dir.file("doc.msk")), mask0);
    EXPECT_TRUE(d.ws->modified());
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(d.dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 5);  // lyr, msk, m01, m02 and pai
}

TEST(ProjectFile, SaveWithoutAPathAsksForOne) {
    SavedDocument d;
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws->Save(), 0);
    d.host.expectFileDialog(d.dir.file("other.lyr"));
    EXPECT_EQ(d.ws->Save(), 1);
    ASSERT_EQ(d.host.fileRequests.size(), 2u);
    EXPECT_TRUE(d.host.fileRequests[0].save);
    EXPECT_EQ(d.host.fileRequests[0].defaultExtension, "lyr");
    EXPECT_EQ(d.host.fileRequests[0].filter, "ﾌﾟﾗｽﾄｰﾗﾌｧｲﾙ (*.lyr)|*.lyr||");
    EXPECT_TRUE(std::filesystem::exists(d.dir.file("other.m02")));
}
