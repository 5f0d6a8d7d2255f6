#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/ViewSynthesis.h"
#include "output/Anaglyph.h"
#include "overlay/ObjectDraw.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

Surface onePixel(unsigned r, unsigned g, unsigned b) {
    Surface s;
    s.create(1, 1);
    s.set(0, 0, pixelFromColorRef(RGB(r, g, b)));
    return s;
}

// The anaglyph of one left pixel and one right pixel, as (r, g, b).
std::array<unsigned, 3> anaglyphOf(const Surface& left, const Surface& right, int mode, int filter) {
    Surface out;
    EXPECT_TRUE(BuildAnaglyph(out, right, left, mode, filter));
    const ColorRef c = out.getPixel(0, 0);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A 40 x 16 photo with one region (columns 12..20) at depth 8 and the
// background at -8.
struct Doc : TestDocument {
    explicit Doc(const std::string& ini = "") : TestDocument(40, 16, ini) {
        ws->backgroundDepth = -8;
        ws->region(0).depth = 8;
        paintRect(ws->region(0).mask, 12, 0, 20, 16);
    }
    std::string ini() const { return readFile(dir.file("Plastora.ini")); }
};

}  // namespace

TEST(AnaglyphPixels, GreyValuesTruncateEachQuotient) {
    const Surface white = onePixel(255, 255, 255);
    // 76 + 150 + 28: the quotients are truncated one by one.
    EXPECT_EQ(anaglyphOf(white, white, kAnaglyphGrey, kFilterRedCyan), (std::array<unsigned, 3>{254, 254, 254}));
    // (3, 1, 9): 0 + 0 + 0, where one division of the sum would give 2.
    const Surface dark = onePixel(3, 1, 9);
    EXPECT_EQ(anaglyphOf(dark, dark, kAnaglyphGrey, kFilterRedCyan), (std::array<unsigned, 3>{0, 0, 0}));
}

TEST(AnaglyphPixels, EachFilterTakesItsChannels) {
    // Left eye A = (200, 100, 50): grey 60 + 59 + 5 = 124.
    // Right eye B = (10, 20, 30): grey 3 + 11 + 3 = 17.
    const Surface a = onePixel(200, 100, 50), b = onePixel(10, 20, 30);
    using P = std::array<unsigned, 3>;
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphGrey, kFilterRedCyan), (P{124, 17, 17}));
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphGrey, kFilterRedGreen), (P{124, 17, 0}));
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphGrey, kFilterRedBlue), (P{124, 0, 17}));
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphColour, kFilterRedCyan), (P{200, 20, 30}));
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphColour, kFilterRedGreen), (P{200, 20, 0}));
    EXPECT_EQ(anaglyphOf(a, b, kAnaglyphColour, kFilterRedBlue), (P{200, 0, 30}));
}

TEST(AnaglyphPixels, EveryModeAndFilterMatchesTheTableAcrossARow) {
    // A row long enough for the eight-pixel loop and its tail, with every
    // byte value in the channels, checked against the rule written out here.
    Surface left, right, out;
    ASSERT_TRUE(left.create(256 * 3 + 5, 1));
    ASSERT_TRUE(right.create(256 * 3 + 5, 1));
    for (int x = 0; x < left.width(); ++x) {
        left.set(x, 0, pixelFromColorRef(RGB(x & 255, (x * 7) & 255, (x / 3) & 255)));
        right.set(x, 0, pixelFromColorRef(RGB((x * 5) & 255, x & 255, (255 - x) & 255)));
    }
    auto grey = [](ColorRef c) {
        return GetRValue(c) * 30 / 100 + GetGValue(c) * 59 / 100 + GetBValue(c) * 11 / 100;
    };
    for (int mode : {kAnaglyphGrey, kAnaglyphColour})
        for (int filter : {kFilterRedCyan, kFilterRedGreen, kFilterRedBlue}) {
            ASSERT_TRUE(BuildAnaglyph(out, right, left, mode, filter));
            for (int x = 0; x < out.width(); ++x) {
                const ColorRef a = left.getPixel(x, 0), b = right.getPixel(x, 0);
                const unsigned red = mode == kAnaglyphGrey ? grey(a) : GetRValue(a);
                const unsigned green = filter == kFilterRedBlue ? 0 : mode == kAnaglyphGrey ? grey(b) : GetGValue(b);
                const unsigned blue = filter == kFilterRedGreen ? 0 : mode == kAnaglyphGrey ? grey(b) : GetBValue(b);
                ASSERT_EQ(out.getPixel(x, 0), RGB(red, green, blue)) << "mode " << mode << " filter " << filter << " x " << x;
                ASSERT_EQ(out.at(x, 0) & kOpaque, kOpaque);
            }
        }
}

TEST(Anaglyph, CreateRegeneratesTheExtremesAndShowsModeFive) {
    Doc d;
    AnaglyphDialogData data = anaglyphDialogPreset(*d.ws);
    EXPECT_TRUE(data.regenerate) << "no views: regeneration is compulsory";
    EXPECT_EQ(data.strength, 2);
    data.strength = 3;
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    EXPECT_EQ(d.ws->mode(), kModeAnaglyph);
    EXPECT_EQ(d.ws->strength(), 3);
    EXPECT_FALSE(d.ws->view(0).empty());
    EXPECT_FALSE(d.ws->view(3).empty());
    EXPECT_TRUE(d.ws->view(1).empty() && d.ws->view(2).empty()) << "only the two extreme views are made";
    EXPECT_TRUE(samePixels(d.ws->display(), d.ws->anaglyph()));
    EXPECT_FALSE(anaglyphDialogPreset(*d.ws).regenerate) << "views exist now";

    // The red channel is view 3's grey, the others view 0's.
    Surface expect;
    ASSERT_TRUE(BuildAnaglyph(expect, d.ws->view(0), d.ws->view(3), kAnaglyphGrey, kFilterRedCyan));
    EXPECT_TRUE(samePixels(expect, d.ws->display()));
}

TEST(Anaglyph, SettingsAreWrittenOnlyWhenChangedAndReadBackAsAnIndex) {
    Doc d;
    AnaglyphDialogData data = anaglyphDialogPreset(*d.ws);
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    EXPECT_EQ(d.ini(), "") << "nothing changed, nothing written";

    data.regenerate = false;
    data.filter = kFilterRedBlue;
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    EXPECT_NE(d.ini().find("AnaglyphFilter=2"), std::string::npos) << d.ini();
    EXPECT_EQ(d.ini().find("AnaglyphColor"), std::string::npos) << "the colour mode did not change";
    data.colourMode = kAnaglyphColour;
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    EXPECT_NE(d.ini().find("AnaglyphColor=1"), std::string::npos) << d.ini();

    // After a restart the index 2 restores red-blue (not a flag's 1).
    CStereoWorkspace again(d.host, d.dir.file("Plastora.ini"));
    EXPECT_EQ(again.anaglyphFilter(), kFilterRedBlue);
    EXPECT_EQ(again.anaglyphColourMode(), kAnaglyphColour);
    std::ofstream(d.dir.file("odd.ini")) << "[Option]\nAnaglyphFilter=8\nAnaglyphColor=5\n";
    CStereoWorkspace odd(d.host, d.dir.file("odd.ini"));
    EXPECT_EQ(odd.anaglyphFilter(), kFilterRedCyan) << "an index out of range reads as red-cyan";
    EXPECT_EQ(odd.anaglyphColourMode(), kAnaglyphColour);

    // A settings file that cannot be written (a folder in its place) is
    // said; the anaglyph is made with the choice all the same.
    std::filesystem::remove(d.dir.file("Plastora.ini"));
    std::filesystem::create_directory(d.dir.file("Plastora.ini"));
    data.filter = kFilterRedGreen;
    d.host.expectMessage(kSaveFailedMessage);
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    EXPECT_TRUE(d.host.done());
    EXPECT_EQ(d.ws->anaglyphFilter(), kFilterRedGreen);
}

TEST(Anaglyph, FailedRegenerationLeavesTheDisplayAlone) {
    Doc d;
    d.ws->SetMode(kModeImage);
    // Count the picture-sized allocations of a good regeneration, then let
    // the last one (view N-1) fail: the generator reports it and nothing is
    // built.
    Doc probe;
    probe.ws->SetMode(kModeImage);
    int count = 0, allowed = INT_MAX;
    Surface::setAllocationHook([&](int w, int h) {
        if (w != 40 || h != 16) return true;
        ++count;
        return allowed-- > 0;
    });
    probe.ws->GenerateViews(nullptr, 2, true);
    ASSERT_FALSE(probe.ws->view(3).empty());
    AnaglyphDialogData data = anaglyphDialogPreset(*d.ws);
    allowed = count - 1;
    d.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok);
    EXPECT_EQ(CreateAnaglyph(*d.ws, data), 0);
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(d.ws->mode(), kModeImage);
    EXPECT_TRUE(d.ws->anaglyph().empty());
}

TEST(Anaglyph, SaveWritesTheDisplayOrTheHighResolutionPair) {
    Doc d;
    ASSERT_EQ(CreateAnaglyph(*d.ws, anaglyphDialogPreset(*d.ws)), 1);
    // The dialog: its filter and extension; Cancel writes nothing.
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(SaveAnaglyph(*d.ws), 0);
    ASSERT_EQ(d.host.fileRequests.size(), 1u);
    EXPECT_TRUE(d.host.fileRequests[0].save);
    EXPECT_EQ(d.host.fileRequests[0].defaultExtension, "jpg");
    EXPECT_EQ(d.host.fileRequests[0].filter,
              "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||");

    SilentHost silent;
    Surface back;
    int w = 0, h = 0;
    d.host.expectFileDialog(d.dir.file("a.bmp"));
    ASSERT_EQ(SaveAnaglyph(*d.ws), 1);
    ASSERT_EQ(LoadStillImage(silent, d.dir.file("a.bmp"), std::nullopt, back, w, h), 1);
    EXPECT_TRUE(samePixels(back, d.ws->display()));

    // With a high-resolution copy the file is R times larger and built from
    // the high-resolution pair.
    ASSERT_TRUE(d.ws->highRes(0).create(120, 48));
    ASSERT_TRUE(stretchBlit(d.ws->highRes(0), 0, 0, 120, 48, d.ws->source(), 0, 0, 40, 16, Rop::Copy,
                            StretchMode::Nearest));
    d.ws->setHighResCount(1);
    ASSERT_EQ(SaveAnaglyph(*d.ws, d.dir.file("hd.bmp")), 1);
    ASSERT_EQ(LoadStillImage(silent, d.dir.file("hd.bmp"), std::nullopt, back, w, h), 1);
    ASSERT_EQ(back.width(), 120);
    ASSERT_EQ(back.height(), 48);
    Surface left, right, expect;
    ASSERT_TRUE(d.ws->GenerateHighResPair(left, right, false));
    ASSERT_TRUE(BuildAnaglyph(expect, right, left, kAnaglyphGrey, kFilterRedCyan));
    EXPECT_TRUE(samePixels(back, expect));

    // A name that cannot be written: the writer's message, 0.
    d.host.expectMessage("ファイルの保存に失敗しました");
    EXPECT_EQ(SaveAnaglyph(*d.ws, d.dir.file("no/such/folder/x.jpg")), 0);
}

TEST(Anaglyph, FlatTextsAreDrawnOnBothSourcesAtOnePlace) {
    Doc d;
    auto text = std::make_shared<OverlayObject>();
    text->flags = kTextFlat | 12;
    text->text = "HH";
    text->colour = RGB(250, 40, 90);
    text->x = 12;
    text->y = 2;
    ASSERT_TRUE(d.ws->appendObject(kObjectText, text));
    // Where the text's pixels are, drawn alone.
    Surface alone;
    ASSERT_TRUE(alone.create(40, 16));
    ASSERT_TRUE(drawFlatTexts(*d.ws, alone));
    std::vector<Point> glyph;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x)
            if (alone.getPixel(x, y) == RGB(250, 40, 90)) glyph.push_back({x, y});
    ASSERT_GT(glyph.size(), 10u);

    AnaglyphDialogData data = anaglyphDialogPreset(*d.ws);
    data.colourMode = kAnaglyphColour;
    ASSERT_EQ(CreateAnaglyph(*d.ws, data), 1);
    // The views themselves are untouched; the anaglyph shows every text pixel
    // in its own colour (red from one eye, green and blue from the other),
    // so the text stands at the same place for both eyes, with no fringe.
    int inViews = 0;
    for (const Point p : glyph) {
        EXPECT_EQ(d.ws->display().getPixel(p.x, p.y), RGB(250, 40, 90)) << p.x << "," << p.y;
        inViews += d.ws->view(0).getPixel(p.x, p.y) == RGB(250, 40, 90);
    }
    EXPECT_EQ(inViews, 0);
}

// A real photo with two regions: the picture plane, a near region and a far
// background. In a colour red-cyan anaglyph the red channel is the left eye
// and green the right eye, so comparing each channel with the photo tells how
// far each layer moved for each eye. The offset between red and cyan must be
// shift(N-1, d) - shift(0, d) for a layer of depth d, and 0 for the plane.
TEST(Anaglyph, RealPhotoLayersAreOffsetByTheShiftRule) {
    SilentHost host;
    TempDir dir;
    Surface photo;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, std::string(PLASTORA_SOURCE_DIR) + "/data/sample/chelsea.jpg", std::nullopt, photo,
                             w, h),
              1);
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(std::move(photo));
    const Surface& src = ws.source();
    ASSERT_EQ(src.width(), 451);
    ws.SetMode(kModeMask);
    ws.backgroundDepth = -8;
    ws.region(0).depth = 0;  // the picture plane
    paintRect(ws.region(0).mask, 40, 60, 180, 220);
    ASSERT_TRUE(ws.appendRegion(8));  // near
    paintRect(ws.region(1).mask, 230, 80, 380, 240);
    AnaglyphDialogData data = anaglyphDialogPreset(ws);
    data.colourMode = kAnaglyphColour;
    data.strength = 2;
    ASSERT_EQ(CreateAnaglyph(ws, data), 1);
    const Surface& out = ws.display();
    const int n = ws.viewCount();

    // The shift of one channel against the photo inside a box of the layer
    // (kept 20 pixels inside it, so that any shift up to 20 stays on it).
    auto offset = [&](int shift, const Rect& box) {
        int best = 0;
        long bestSad = -1;
        for (int d = -20; d <= 20; ++d) {
            long sad = 0;
            for (int y = box.top; y < box.bottom; y += 2)
                for (int x = box.left + 20; x < box.right - 20; ++x)
                    sad += std::abs(static_cast<int>((out.at(x + d, y) >> shift) & 0xFFu) -
                                    static_cast<int>((src.at(x, y) >> shift) & 0xFFu));
            if (bestSad < 0 || sad < bestSad) bestSad = sad, best = d;
        }
        return best;
    };
    const Rect plane{40, 60, 180, 220}, nearBox{230, 80, 380, 240}, far{400, 20, 450, 280};
    const int redShift = 16, greenShift = 8;
    struct Layer {
        const char* name;
        Rect box;
        int depth;
    } layers[] = {{"plane", plane, 0}, {"near", nearBox, 8}, {"far", far, -8}};
    for (const Layer& l : layers) {
        const int red = offset(redShift, l.box), cyan = offset(greenShift, l.box);
        EXPECT_EQ(red, viewShift(n - 1, n, l.depth, 2)) << l.name;
        EXPECT_EQ(cyan, viewShift(0, n, l.depth, 2)) << l.name;
        EXPECT_EQ(red - cyan, viewShift(n - 1, n, l.depth, 2) - viewShift(0, n, l.depth, 2)) << l.name;
    }
    EXPECT_EQ(offset(redShift, plane) - offset(greenShift, plane), 0);
    EXPECT_EQ(offset(redShift, nearBox) - offset(greenShift, nearBox), 12) << "4 - (-8) for N = 4, S = 2, depth 8";
}
