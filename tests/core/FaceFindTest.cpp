// Finding faces on ordinary photos: the merged second pass, the bounded
// settings, and a crop that keeps the heads.
#include "autocut/FaceDetect.h"
#include "autocut/FaceMerge.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "output/WorkingSize.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kSample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/astronaut.jpg";

// A settings file in `dir` that names OpenCV's frontal classifier.
std::string settingsWithCascade(const TempDir& dir) {
    std::ofstream(dir.file("Plastora.ini")) << "[Auto]\nCascadeFile=/usr/share/opencv4/haarcascades/"
                                               "haarcascade_frontalface_alt.xml\n";
    return dir.file("Plastora.ini");
}

}  // namespace

TEST(FaceMerge, BoxesOfOneFaceBecomeTheirMeanAndLoneBoxesGo) {
    // Three classifiers on one face, two on another, one stray box.
    const std::vector<FaceBox> boxes = {
        {100, 100, 199, 199}, {300, 40, 339, 79}, {104, 96, 203, 201}, {500, 500, 520, 520},
        {96, 104, 195, 199},  {302, 42, 343, 83},
    };
    const std::vector<FaceBox> merged = mergeFaceBoxes(boxes);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0], (FaceBox{100, 100, 199, 200}));  // 599 / 3 rounds to 200
    EXPECT_EQ(merged[1], (FaceBox{301, 41, 341, 81}));

    // Only lone boxes (one classifier's guess each): no face; they are left
    // to the caller, which keeps those their own classifier confirms.
    EXPECT_TRUE(mergeFaceBoxes({{50, 0, 60, 10}, {0, 0, 10, 10}}).empty());
    EXPECT_EQ(loneFaceBoxes(boxes), std::vector<std::size_t>{3});
    // A small box inside a large one is the same face (half of the smaller
    // covered); boxes that only touch are not.
    EXPECT_EQ(mergeFaceBoxes({{0, 0, 99, 99}, {40, 40, 59, 59}}).size(), 1u);
    EXPECT_EQ(mergeFaceBoxes({{0, 0, 9, 9}, {10, 0, 19, 9}, {1, 0, 9, 9}, {11, 0, 19, 9}}).size(), 2u);
    EXPECT_TRUE(mergeFaceBoxes({}).empty());
}

TEST(FaceSettings, EveryNumberIsBoundedWhenRead) {
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    std::ofstream(ini) << "[Auto]\nScaleFactor=1e308\nMinNeighbors=100000\nMinSize=-7\n";
    FaceDetectSettings s = readFaceDetectSettings(ini);
    EXPECT_DOUBLE_EQ(s.scaleFactor, kScaleFactorMax);
    EXPECT_EQ(s.minNeighbors, kMinNeighborsMax);
    EXPECT_EQ(s.minSize, kMinSizeMin);
    std::ofstream(ini) << "[Auto]\nScaleFactor=nan\nMinNeighbors=0\nMinSize=5000\n";
    s = readFaceDetectSettings(ini);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 1.1);
    EXPECT_EQ(s.minNeighbors, kMinNeighborsMin);
    EXPECT_EQ(s.minSize, kMinSizeMax);
    std::ofstream(ini) << "[Auto]\nScaleFactor=1.0001\n";
    EXPECT_DOUBLE_EQ(readFaceDetectSettings(ini).scaleFactor, kScaleFactorMin);
    // Values in range stay as they are.
    std::ofstream(ini) << "[Auto]\nScaleFactor=1.35\nMinNeighbors=5\nMinSize=24\n";
    s = readFaceDetectSettings(ini);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 1.35);
    EXPECT_EQ(s.minNeighbors, 5);
    EXPECT_EQ(s.minSize, 24);
}

TEST(FaceCrop, TheCropMovesTheLeastThatKeepsEveryHead) {
    const Rect crop{0, 83, 512, 428};  // a centred crop of a square photo
    // No faces, or faces well inside: unchanged.
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {}), crop);
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {{200, 200, 299, 299}}), crop);
    // A face near the top: the crop rises to six tenths of a face above it.
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {{180, 100, 279, 199}}), (Rect{0, 40, 512, 385}));
    // It never leaves the photo.
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {{180, 10, 279, 109}}), (Rect{0, 0, 512, 345}));
    // A chin below the crop moves it down, within the photo.
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {{180, 380, 279, 479}}), (Rect{0, 160, 512, 505}));
    // Sideways: a horizontal crop follows a face at the right edge.
    const Rect wide{100, 0, 400, 300};
    EXPECT_EQ(keepFacesInCrop(wide, 500, 300, {{420, 100, 459, 139}}), (Rect{170, 0, 470, 300}));
    // Heads that cannot all fit: the top of the highest one wins.
    EXPECT_EQ(keepFacesInCrop(crop, 512, 512, {{10, 100, 109, 199}, {300, 400, 399, 499}}),
              (Rect{0, 40, 512, 385}));
}

TEST(FaceDetection, TheAstronautSampleHasHerFaceFoundAndHerHeadKept) {
    // Opened as the program opens a photo (postcard paper, crop trimming).
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, settingsWithCascade(dir));
    ASSERT_EQ(ws.Open(kSample), 1);
    ASSERT_GT(ws.height(), 0);
    ASSERT_GE(DetectFaces(ws), 1);
    const FaceBox& f = ws.faces()[0];
    const int w = f.right - f.left + 1, h = f.bottom - f.top + 1;
    // One face, of a sensible size, in the upper middle of the picture.
    EXPECT_GT(w, ws.width() / 10);
    EXPECT_LT(w, ws.width() / 2);
    EXPECT_GT((f.left + f.right) / 2, ws.width() / 4);
    EXPECT_LT((f.left + f.right) / 2, ws.width() * 3 / 4);
    EXPECT_LT(f.bottom, ws.height() * 2 / 3);
    // The crop left room above her face for the top of her head.
    EXPECT_GE(f.top, h / 2);
}

// The cat of the other sample is no person: one classifier's box on its
// eye was cut out as one, with a head-and-shoulders region.
TEST(FaceDetection, ThePhotoOfACatHasNoFace) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, settingsWithCascade(dir));
    ASSERT_EQ(ws.Open(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/chelsea.jpg"), 1);
    host.expectMessage(kNoFaceMessage);
    EXPECT_EQ(DetectFaces(ws), 0);
    EXPECT_TRUE(ws.faces().empty());
}

// A panorama cropped for the paper keeps the person in it: searched 640
// pixels wide, an 8000 x 600 photo was 48 pixels high and held no face,
// and the crop took the middle, beside her.
TEST(FaceDetection, APanoramaIsCroppedAroundThePersonInIt) {
    TempDir dir;
    ScriptedHost host;
    Surface person, pano;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, kSample, std::nullopt, person, w, h), 1);
    ASSERT_TRUE(pano.create(8000, 600));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 8000; ++x) pano.row(y)[x] = 0xFF000000u | static_cast<Pixel>((x / 7 + y) % 200) * 0x010101u;
    constexpr int kAt = 5600;  // her face is about a third into the sample
    ASSERT_TRUE(stretchBlit(pano, kAt, 44, 512, 512, person, 0, 0, w, h, Rop::Copy, StretchMode::Halftone));
    ASSERT_EQ(SaveStillImage(host, pano, 8000, 600, dir.file("pano.jpg"), 90), 1);
    CStereoWorkspace ws(host, settingsWithCascade(dir));
    ASSERT_EQ(ws.Open(dir.file("pano.jpg")), 1);
    const Rect& s = ws.trimSource();
    EXPECT_LE(s.left, kAt + 200) << s.left << " " << s.right;
    EXPECT_GE(s.right, kAt + 300) << s.left << " " << s.right;
}

TEST(FaceDetection, AnAbsurdScaleFactorStillEndsWithAnAnswer) {
    TempDir dir;
    ScriptedHost host;
    std::ofstream(dir.file("Plastora.ini")) << "[Auto]\nScaleFactor=1e308\nCascadeFile=/usr/share/opencv4/haarcascades/"
                                               "haarcascade_frontalface_alt.xml\n";
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    ASSERT_EQ(ws.Open(kSample), 1);
    // Bounded to 2.0, detection runs its few scales and finds her face.
    EXPECT_GE(DetectFaces(ws), 1);
}
