// Face detection and the automatic cutout: the face list edited by clicks,
// the body template placed on faces, regions and depths made from faces,
// the [Auto] settings and their file rule, and detection on real photos.
#include "autocut/FaceDetect.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "linewisp/LinewispTestSupport.h"
#include "platform/Paths.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kSourceData = std::string(PLASTORA_SOURCE_DIR) + "/data";
const std::string kCascade = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt.xml";

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A workspace in mask editing on a W x H picture, its settings file in a
// temporary folder naming the classifier and body template by full path.
struct Doc {
    TempDir dir;
    ScriptedHost host;
    std::string ini = dir.file("Plastora.ini");
    CStereoWorkspace ws{host, ini};
    explicit Doc(int w = 400, int h = 400, std::string body = kSourceData + "/auto_data/body_data_default.wmf") {
        Settings(ini).setText(SettingKey::AutoCascadeFile, kCascade);
        Settings(ini).setText(SettingKey::AutoBodyData, body);
        ws.adoptPicture(gradientPicture(w, h));
        ws.SetMode(kModeMask);
    }
    // A body template of one square of half-size `half` about the face
    // centre, one face width being `headerRight` template units. The reader
    // moves points by the header's left/top (50, 50) and the placement takes
    // L and T off again: a file point is the wanted offset plus 2 x 50.
    void squareTemplate(int half, int headerRight = 100) {
        const std::string path = dir.file("square.wmf");
        const int lo = 100 - half, hi = 100 + half;
        writeBytes(path, lwtest::Wmf::placeable(50, 50, headerRight, 150, 96)
                             .polygon({{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}})
                             .bytes());
        Settings(ini).setText(SettingKey::AutoBodyData, path);
    }
};

bool white(const Surface& mask, int x, int y) { return mask.at(x, y) == kWhite; }

}  // namespace

// ---- clicks on the face list ----------------------------------------------

TEST(FaceClicks, OverlappingBoxesLoseOnlyTheEarlierOneAndMissesAddMeanSizedSquares) {
    Doc d;
    d.ws.faces() = {{10, 10, 59, 59}, {40, 40, 99, 99}, {200, 200, 219, 239}};
    // (50, 50) lies in the first two boxes: only the first goes.
    EXPECT_EQ(editFacesAt(d.ws, {50, 50}), FaceClickResult::Removed);
    ASSERT_EQ(d.ws.faces().size(), 2u);
    EXPECT_EQ(d.ws.faces()[0], (FaceBox{40, 40, 99, 99}));
    // Box edges are inclusive: the corner pixel still hits the box.
    EXPECT_EQ(editFacesAt(d.ws, {219, 239}), FaceClickResult::Removed);
    ASSERT_EQ(d.ws.faces().size(), 1u);
    // A miss adds a square centred on the click. With faces of 59 + 59 and
    // 19 + 39 the half-size is (118 + 58) / 8 = 22.
    d.ws.faces().push_back({200, 200, 219, 239});
    EXPECT_EQ(editFacesAt(d.ws, {300, 150}), FaceClickResult::Added);
    ASSERT_EQ(d.ws.faces().size(), 3u);
    EXPECT_EQ(d.ws.faces()[2], (FaceBox{278, 128, 322, 172}));
}

TEST(FaceClicks, AnEmptiedListTakesTheLastRemovedSizeAndAFullListRefuses) {
    Doc d;
    d.ws.faces() = {{0, 0, 9, 9}, {100, 100, 139, 139}};
    editFacesAt(d.ws, {5, 5});
    editFacesAt(d.ws, {120, 120});
    ASSERT_TRUE(d.ws.faces().empty());
    // The last face removed was 39 x 39: a = 78 / 4 = 19.
    EXPECT_EQ(editFacesAt(d.ws, {50, 60}), FaceClickResult::Added);
    ASSERT_EQ(d.ws.faces().size(), 1u);
    EXPECT_EQ(d.ws.faces()[0], (FaceBox{31, 41, 69, 79}));

    d.ws.faces().clear();
    for (int i = 0; i < kMaxFaces; ++i) d.ws.faces().push_back({i * 10, 0, i * 10 + 5, 5});
    const std::vector<FaceBox> before = d.ws.faces();
    d.host.expectMessage(kTooManyFacesMessage);
    EXPECT_EQ(editFacesAt(d.ws, {200, 300}), FaceClickResult::Refused);
    EXPECT_EQ(d.ws.faces(), before);
    // Removing still works with a full list.
    EXPECT_EQ(editFacesAt(d.ws, {12, 2}), FaceClickResult::Removed);
    EXPECT_EQ(d.ws.faces().size(), static_cast<std::size_t>(kMaxFaces - 1));

    // A click beside the picture (right of it, below it) adds no face: it
    // would be saved as an empty region.
    d.ws.faces().clear();
    for (const Point p : {Point{450, 10}, Point{10, 400}, Point{-3, 5}})
        EXPECT_EQ(editFacesAt(d.ws, p), FaceClickResult::Refused) << p.x << "," << p.y;
    EXPECT_TRUE(d.ws.faces().empty());
}

TEST(FaceClicks, WindowClicksGoThroughZoomAndScrollOnlyWhileEditingInMaskMode) {
    Doc d;
    d.ws.faces() = {{100, 100, 139, 139}};
    // Not being edited: the click is not taken.
    EXPECT_FALSE(d.ws.FaceClick({240, 240}));
    d.ws.setFaceEditing(true);
    d.ws.setZoom(2);
    d.ws.setScrollPosition(40, 60);
    // Window (200, 180) is picture ((200 + 40) / 2, (180 + 60) / 2) = (120, 120).
    const int redraws = d.host.redraws;
    EXPECT_TRUE(d.ws.FaceClick({200, 180}));
    EXPECT_TRUE(d.ws.faces().empty());
    EXPECT_GT(d.host.redraws, redraws);
    // No stroke was started on region 0.
    EXPECT_EQ(countWhite(d.ws.region(0).mask), 0);
    // Ending the editing drops the faces.
    EXPECT_TRUE(d.ws.FaceClick({0, 0}));
    EXPECT_EQ(d.ws.faces().size(), 1u);
    d.ws.setFaceEditing(false);
    EXPECT_TRUE(d.ws.faces().empty());
    EXPECT_FALSE(d.ws.FaceClick({0, 0}));
}

// ---- the body template and the cutout ---------------------------------------

TEST(BodyPlacement, TemplateIsScaledToTheFaceWidthAboutItsCentre) {
    BodyTemplate body;
    body.right = 100;
    body.polygons = {{{50, 120}, {0, 0}, {100, 0}}};
    // s = 99 / 100 = 0.99; (50, 120) -> (149 + trunc(49.5), 149 + trunc(118.8)).
    const auto placed = placeBodyTemplate(body, FaceBox{100, 100, 199, 199});
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0][0], (Point{198, 267}));
    EXPECT_EQ(placed[0][1], (Point{149, 149}));
    EXPECT_EQ(placed[0][2], (Point{149 + 99, 149}));
    // Points left of and above the template's origin truncate toward zero.
    body.left = 10, body.top = 20, body.polygons = {{{5, 15}}};
    EXPECT_EQ(placeBodyTemplate(body, FaceBox{100, 100, 199, 199})[0][0], (Point{149 - 4, 149 - 4}));
}

TEST(BodyPlacement, TemplateFileIsReadWithItsHeaderAndLimits) {
    TempDir dir;
    BodyTemplate body;
    const std::string path = dir.file("t.wmf");
    writeBytes(path, lwtest::Wmf::placeable(0, 0, 100, 120, 96).polygon({{50, 120}, {0, 0}, {100, 0}}).bytes());
    ASSERT_TRUE(readBodyTemplate(path, body));
    EXPECT_EQ(body.right, 100);
    ASSERT_EQ(body.polygons.size(), 1u);
    EXPECT_EQ(body.polygons[0], (std::vector<Point>{{50, 120}, {0, 0}, {100, 0}}));
    EXPECT_EQ(placeBodyTemplate(body, FaceBox{100, 100, 199, 199})[0][0], (Point{198, 267}));

    // Nine objects exceed the template's object limit of 8.
    auto nine = lwtest::Wmf::placeable(0, 0, 100, 100, 96);
    for (int i = 0; i < 9; ++i) nine.polygon({{i, 0}, {i + 5, 0}, {i, 5}});
    writeBytes(path, nine.bytes());
    EXPECT_FALSE(readBodyTemplate(path, body));
    // R = 0 gives no scale; a plain metafile has no header to give one;
    // a missing file and a truncated one are refused too.
    writeBytes(path, lwtest::Wmf::placeable(0, 0, 0, 100, 96).polygon({{0, 0}, {5, 0}, {0, 5}}).bytes());
    EXPECT_FALSE(readBodyTemplate(path, body));
    writeBytes(path, lwtest::Wmf::plain().polygon({{0, 0}, {5, 0}, {0, 5}}).bytes());
    EXPECT_FALSE(readBodyTemplate(path, body));
    EXPECT_FALSE(readBodyTemplate(dir.file("missing.wmf"), body));
    writeBytes(path, {0xD7, 0xCD, 0xC6, 0x9A, 0, 0});
    EXPECT_FALSE(readBodyTemplate(path, body));
}

TEST(AutoCutout, SeparateRegionsAreSortedByWidthWithGradedDepths) {
    struct Case {
        std::vector<FaceBox> faces;
        std::vector<int> depths;  // region order: narrowest first
    };
    // Faces given widest first; F = 8.
    const Case cases[] = {
        {{{200, 50, 280, 130}, {20, 50, 60, 90}}, {0, 8}},
        {{{250, 40, 330, 120}, {20, 40, 60, 80}, {120, 40, 180, 100}}, {0, 4, 8}},
        {{{20, 40, 60, 80}, {120, 40, 160, 80}, {250, 40, 290, 80}}, {8, 8, 8}},
    };
    for (const Case& c : cases) {
        Doc d;
        d.squareTemplate(10);
        d.ws.foregroundDepth = 8;
        // Earlier work in other regions is replaced.
        ASSERT_TRUE(d.ws.appendRegion(3));
        paintRect(d.ws.region(1).mask, 0, 0, 400, 400);
        d.ws.faces() = c.faces;
        EXPECT_EQ(AutoCutout(d.ws, true), 1);
        ASSERT_EQ(d.ws.regionCount(), static_cast<int>(c.faces.size()));
        EXPECT_EQ(d.ws.currentRegion(), 0);
        std::vector<FaceBox> sorted = c.faces;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const FaceBox& a, const FaceBox& b) { return a.right - a.left < b.right - b.left; });
        for (int j = 0; j < d.ws.regionCount(); ++j) {
            EXPECT_EQ(d.ws.region(j).depth, c.depths[static_cast<std::size_t>(j)]) << "region " << j;
            // Each region holds its own face only.
            for (std::size_t k = 0; k < sorted.size(); ++k) {
                const int cx = (sorted[k].left + sorted[k].right) / 2, cy = (sorted[k].top + sorted[k].bottom) / 2;
                EXPECT_EQ(white(d.ws.region(j).mask, cx, cy), static_cast<int>(k) == j) << j << "," << k;
            }
        }
        EXPECT_EQ(Settings(d.ini).getInt(SettingKey::AutoMultiLayer), 1);
    }
}

TEST(AutoCutout, OneRegionHoldsEveryFaceAndOneFaceLeavesTheChoiceUnwritten) {
    Doc d;
    // The template square spans half a face width either side of the
    // centre, filled with the mask pen around it.
    d.squareTemplate(50);
    d.ws.foregroundDepth = 6;
    Settings(d.ini).setFlag(SettingKey::AutoMultiLayer, true);
    d.ws.faces() = {{100, 100, 199, 199}, {20, 300, 59, 339}};
    EXPECT_EQ(AutoCutout(d.ws, false), 1);
    ASSERT_EQ(d.ws.regionCount(), 1);
    EXPECT_EQ(d.ws.region(0).depth, 6);
    const Surface& m = d.ws.region(0).mask;
    // s = 0.99: the square runs from 149 - 49 to 149 + 49 (plus the pen).
    EXPECT_TRUE(white(m, 101, 101));
    EXPECT_TRUE(white(m, 197, 197));
    EXPECT_FALSE(white(m, 94, 149));
    EXPECT_FALSE(white(m, 204, 149));
    EXPECT_TRUE(white(m, 39, 319));
    EXPECT_FALSE(white(m, 300, 300));
    EXPECT_EQ(Settings(d.ini).getInt(SettingKey::AutoMultiLayer), 0);
    EXPECT_TRUE(d.ws.modified());

    // One face: the choice is not recorded.
    Doc one;
    one.squareTemplate(50);
    Settings(one.ini).setFlag(SettingKey::AutoMultiLayer, true);
    one.ws.faces() = {{100, 100, 199, 199}};
    EXPECT_EQ(AutoCutout(one.ws, true), 1);
    EXPECT_EQ(one.ws.regionCount(), 1);
    EXPECT_EQ(one.ws.region(0).depth, one.ws.foregroundDepth);
    EXPECT_EQ(Settings(one.ini).getInt(SettingKey::AutoMultiLayer), 1);
}

TEST(AutoCutout, AnUnreadableTemplateChangesNothing) {
    for (int headerRight : {0, -1}) {
        Doc d;
        if (headerRight == 0)
            d.squareTemplate(50, 0);
        else
            Settings(d.ini).setText(SettingKey::AutoBodyData, d.dir.file("none.wmf"));
        ASSERT_TRUE(d.ws.appendRegion(5));
        paintRect(d.ws.region(0).mask, 0, 0, 10, 10);
        d.ws.faces() = {{100, 100, 199, 199}, {200, 200, 239, 239}};
        d.host.expectMessage(kBodyDataFailedMessage);
        EXPECT_EQ(AutoCutout(d.ws, true), 0);
        EXPECT_EQ(d.ws.regionCount(), 2);
        EXPECT_EQ(d.ws.region(1).depth, 5);
        EXPECT_EQ(countWhite(d.ws.region(0).mask), 100);
        EXPECT_EQ(Settings(d.ini).getInt(SettingKey::AutoMultiLayer), 0);
    }
}

// ---- settings ---------------------------------------------------------------

TEST(FaceSettings, FileRuleTakesPathsAsTheyAreAndNamesFromAutoData) {
    const std::string saved = programFolder();
    setProgramFolder("/opt/plastora");
    EXPECT_EQ(resolveAutoDataFile("my.xml"), "/opt/plastora/auto_data/my.xml");
    EXPECT_EQ(resolveAutoDataFile("C:\\data\\my.xml"), "C:\\data\\my.xml");
    EXPECT_EQ(resolveAutoDataFile("/srv/data/my.xml"), "/srv/data/my.xml");
    EXPECT_EQ(resolveAutoDataFile("sub/my.xml"), "sub/my.xml");
    setProgramFolder(saved);
    // What the settings dialog shows: after the last '\', else the last '/'.
    EXPECT_EQ(autoDataFileName("C:\\data\\my.xml"), "my.xml");
    EXPECT_EQ(autoDataFileName("/srv/data/my.xml"), "my.xml");
    EXPECT_EQ(autoDataFileName("/srv/a\\b/c.xml"), "b/c.xml");
    EXPECT_EQ(autoDataFileName("my.xml"), "my.xml");
}

TEST(FaceSettings, DefaultsAndWrittenFormsOfAllSixKeys) {
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    const FaceDetectSettings def = readFaceDetectSettings(ini);
    EXPECT_DOUBLE_EQ(def.scaleFactor, 1.1);
    EXPECT_EQ(def.minNeighbors, 3);
    EXPECT_EQ(def.minSize, 0);
    EXPECT_FALSE(def.cannyPruning);
    EXPECT_EQ(def.cascadeFile, "haarcascade_frontalface_alt.xml");
    EXPECT_EQ(def.bodyData, "body_data_default.wmf");

    FaceDetectSettings s{1.25, 7, 24, true, "C:\\data\\my.xml", "/srv/body.wmf"};
    EXPECT_TRUE(writeFaceDetectSettings(ini, s));
    const std::string text = fileText(ini);
    for (const char* line : {"ScaleFactor=1.25", "MinNeighbors=7", "MinSize=24", "CannyPruning=1",
                             "CascadeFile=C:\\data\\my.xml", "BodyData=/srv/body.wmf"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    s.scaleFactor = 1.1;
    writeFaceDetectSettings(ini, s);
    EXPECT_NE(fileText(ini).find("ScaleFactor=1.10"), std::string::npos);
    const FaceDetectSettings back = readFaceDetectSettings(ini);
    EXPECT_DOUBLE_EQ(back.scaleFactor, 1.1);
    EXPECT_EQ(back.cascadeFile, s.cascadeFile);
    EXPECT_TRUE(back.cannyPruning);

    // The dialog's values are stored together or not at all: one the file
    // cannot hold (a line break) leaves every key as it was.
    const std::string before = fileText(ini);
    FaceDetectSettings bad = s;
    bad.minSize = 40;
    bad.cascadeFile = "two\nlines.xml";
    EXPECT_FALSE(writeFaceDetectSettings(ini, bad));
    EXPECT_EQ(fileText(ini), before);
}

// ---- detection on photos ------------------------------------------------------

namespace {

Surface loadSample(const std::string& name) {
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    LoadStillImage(host, kSourceData + "/sample/" + name, std::nullopt, s, w, h);
    return s;
}

// Two people: the astronaut photo at full size and at 60 % side by side.
Surface twoPeople() {
    const Surface a = loadSample("astronaut.jpg");
    Surface s;
    if (a.empty() || !s.create(a.width() * 8 / 5 + 20, a.height())) return s;
    fillRect(s, {0, 0, s.width(), s.height()}, RGB(90, 90, 90));
    blit(s, 0, 0, a.width(), a.height(), &a, 0, 0, Rop::Copy);
    stretchBlit(s, a.width() + 20, a.height() / 5, a.width() * 3 / 5, a.height() * 3 / 5, a, 0, 0, a.width(),
                a.height(), Rop::Copy, StretchMode::Halftone);
    return s;
}

}  // namespace

TEST(FaceDetection, FindsTheFaceInARealPhotoInsideItsHead) {
    const Surface photo = loadSample("astronaut.jpg");
    ASSERT_FALSE(photo.empty());
    std::vector<FaceBox> faces;
    ASSERT_EQ(detectFaceBoxes(photo, FaceDetectSettings{}, kCascade, faces), 1);
    const FaceBox& f = faces[0];
    // The astronaut's face: in the upper half, left of the flag, about a
    // fifth of the picture wide.
    EXPECT_GT(f.left, photo.width() / 4);
    EXPECT_LT(f.right, photo.width() * 3 / 5);
    EXPECT_LT(f.bottom, photo.height() / 2);
    EXPECT_GT(f.right - f.left, photo.width() / 8);
    EXPECT_LT(f.right - f.left, photo.width() / 3);
    // A minimum size larger than the face finds nothing.
    FaceDetectSettings big;
    big.minSize = photo.width() / 2;
    EXPECT_EQ(detectFaceBoxes(photo, big, kCascade, faces), 0);
    // The classifier in a folder whose name holds '?' (OpenCV's own file
    // reader cuts a name there) finds the same face.
    TempDir dir;
    const std::string folder = dir.file("顔 ?*%s");
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(kCascade, folder + "/cascade.xml");
    std::vector<FaceBox> again;
    ASSERT_EQ(detectFaceBoxes(photo, FaceDetectSettings{}, folder + "/cascade.xml", again), 1);
    EXPECT_EQ(again[0].left, f.left);
    EXPECT_EQ(again[0].bottom, f.bottom);
    // And compressed, as OpenCV reads a classifier too.
    ASSERT_EQ(std::system(("gzip -c " + kCascade + " > " + dir.file("c.xml.gz")).c_str()), 0);
    ASSERT_EQ(detectFaceBoxes(photo, FaceDetectSettings{}, dir.file("c.xml.gz"), again), 1);
    EXPECT_EQ(again[0].left, f.left);
}

TEST(FaceDetection, TwoPeopleAreCutOutHeadAndShouldersNearestTheLargerFace) {
    Doc d(10, 10);
    Surface photo = twoPeople();
    ASSERT_FALSE(photo.empty());
    d.ws.adoptPicture(std::move(photo));
    d.ws.SetMode(kModeMask);
    ASSERT_EQ(DetectFaces(d.ws), 2);
    // The search showed its progress window, closed again.
    EXPECT_EQ(d.host.progressCaptions, std::vector<std::string>{kFaceSearchCaption});
    EXPECT_FALSE(d.host.progressOpen);
    ASSERT_EQ(AutoCutout(d.ws, true), 1);
    ASSERT_EQ(d.ws.regionCount(), 2);
    EXPECT_EQ(d.ws.region(0).depth, 0);
    EXPECT_EQ(d.ws.region(1).depth, d.ws.foregroundDepth);
    std::vector<FaceBox> faces = d.ws.faces();
    std::sort(faces.begin(), faces.end(), [](auto& a, auto& b) { return a.right - a.left < b.right - b.left; });
    for (int j = 0; j < 2; ++j) {
        const FaceBox& f = faces[static_cast<std::size_t>(j)];
        const Surface& m = d.ws.region(j).mask;
        const int w = f.right - f.left, cx = (f.left + f.right) / 2, cy = (f.top + f.bottom) / 2;
        // The face, the neck below it and shoulders on both sides are cut out
        // (within the picture); the sky beside the head is not.
        EXPECT_TRUE(white(m, cx, cy));
        EXPECT_TRUE(white(m, cx, std::min(m.height() - 1, f.bottom + w / 4)));
        const int shoulderY = std::min(m.height() - 1, f.bottom + w);
        EXPECT_TRUE(white(m, std::max(0, cx - w * 3 / 4), shoulderY));
        EXPECT_TRUE(white(m, std::min(m.width() - 1, cx + w * 3 / 4), shoulderY));
        EXPECT_FALSE(white(m, std::max(0, f.left - w), std::max(0, f.top)));
    }
}

TEST(FaceDetection, FailuresShowTheirMessagesAndLeaveNoFaces) {
    Doc d(64, 64);
    d.ws.faces() = {{1, 1, 5, 5}};
    // A flat picture has no face.
    d.host.expectMessage(kNoFaceMessage);
    EXPECT_EQ(DetectFaces(d.ws), 0);
    EXPECT_TRUE(d.ws.faces().empty());
    // A classifier that cannot be loaded: both messages.
    Settings(d.ini).setText(SettingKey::AutoCascadeFile, d.dir.file("missing.xml"));
    d.host.expectMessage(kCascadeLoadFailedMessage).expectMessage(kNoFaceMessage);
    EXPECT_EQ(DetectFaces(d.ws), 0);
    // A damaged classifier file is not loadable either.
    writeBytes(d.dir.file("bad.xml"), {'<', '?', 'x', 'm', 'l', ' ', '<', 'o'});
    Settings(d.ini).setText(SettingKey::AutoCascadeFile, d.dir.file("bad.xml"));
    d.host.expectMessage(kCascadeLoadFailedMessage).expectMessage(kNoFaceMessage);
    EXPECT_EQ(DetectFaces(d.ws), 0);
    // A scale factor of 1 (the detector refuses it) finds nothing, no crash.
    Settings(d.ini).setText(SettingKey::AutoCascadeFile, kCascade);
    Settings(d.ini).setText(SettingKey::AutoScaleFactor, "1.00");
    d.host.expectMessage(kNoFaceMessage);
    EXPECT_EQ(DetectFaces(d.ws), 0);
}
