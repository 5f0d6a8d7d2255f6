// Depth maps: the grey scale, views by depth-image-based rendering of a
// plane, a step and a ramp, the layers' map, the sample project's export
// and import, keeping the map in a project, and the map following the
// photo's straightening.
#include "core/DepthMapFile.h"
#include "core/PhotoFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "core/WorkspaceDialogs.h"
#include "layers/DepthViews.h"
#include "layers/ViewSynthesis.h"
#include "output/WorkingSize.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <array>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plastora;
using namespace plastora::test;

namespace {

// A source whose pixel tells where it came from: red = x, green = y.
Surface positions(int w, int h) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, kOpaque | (static_cast<Pixel>(x) << 16) | (static_cast<Pixel>(y) << 8) | 7u);
    return s;
}

Pixel greyPixel(unsigned g) { return kOpaque | g * 0x010101u; }

Surface depthColumns(int w, int h, const std::function<int(int)>& depthAt) {
    Surface d;
    d.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) d.set(x, y, greyPixel(greyOfDepth(depthAt(x))));
    return d;
}

int channelDiff(Pixel a, Pixel b) {
    int worst = 0;
    for (int s : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
    return worst;
}

}  // namespace

TEST(DepthMap, GreyScaleGivesWholeDepthsBack) {
    EXPECT_EQ(greyOfDepth(kDepthFarthest), 0);
    EXPECT_EQ(greyOfDepth(kDepthNearest), 255);
    EXPECT_EQ(greyOfDepth(-100), 0) << "clamped";
    for (int d = kDepthFarthest; d <= kDepthNearest; ++d) {
        EXPECT_EQ(quarterDepthOfGrey(greyOfDepth(d)), 4 * d) << d;
        if (d > kDepthFarthest) {
            EXPECT_GT(greyOfDepth(d), greyOfDepth(d - 1));
        }
        // The shift of the quarter depth is the layers' shift, rounding included.
        for (int a = 0; a < 5; ++a) EXPECT_EQ(quarterDepthShift(a, 5, 4 * d, 3), viewShift(a, 5, d, 3));
    }
}

// A plane moves as a whole, leaving a white strip where the layer views
// leave one.
TEST(DepthMap, PlaneMovesLikeALayer) {
    const Surface src = positions(40, 3);
    const Surface depth = depthColumns(40, 3, [](int) { return -8; });
    for (int a = 0; a < 4; ++a) {
        Surface v;
        ASSERT_TRUE(RenderDepthView(v, src, depth, a, 4, 2));
        const int s = viewShift(a, 4, -8, 2);  // 8, 4, 0, -4
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 40; ++x) {
                const int from = x - s;
                EXPECT_EQ(v.at(x, y), from >= 0 && from < 40 ? src.at(from, y) : kWhite) << a << " " << x;
            }
    }
}

// A step: the near half (depth 8) over the far half (depth -8).
TEST(DepthMap, StepNearWinsAndTheGapFillsFromTheFarSide) {
    const Surface src = positions(40, 2);
    const Surface depth = depthColumns(40, 2, [](int x) { return x < 20 ? -8 : 8; });
    Surface v;
    // View 0: far moves 8 right, near 8 left; they overlap on 12..27 and
    // the near side shows there.
    ASSERT_TRUE(RenderDepthView(v, src, depth, 0, 4, 2));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(v.at(x, 1), kWhite) << x;
    for (int x = 8; x < 12; ++x) EXPECT_EQ(v.at(x, 1), src.at(x - 8, 1)) << x;
    for (int x = 12; x < 32; ++x) EXPECT_EQ(v.at(x, 1), src.at(x + 8, 1)) << x;
    for (int x = 32; x < 40; ++x) EXPECT_EQ(v.at(x, 1), kWhite) << x;
    // View 3: far moves 4 left, near 4 right; the gap 16..23 between them
    // is mirrored in from the far (left) side: 19, 18, ... 12.
    ASSERT_TRUE(RenderDepthView(v, src, depth, 3, 4, 2));
    for (int x = 0; x < 16; ++x) EXPECT_EQ(v.at(x, 1), src.at(x + 4, 1)) << x;
    for (int x = 16; x < 24; ++x) EXPECT_EQ(v.at(x, 1), src.at(35 - x, 1)) << x;
    for (int x = 24; x < 40; ++x) EXPECT_EQ(v.at(x, 1), src.at(x - 4, 1)) << x;
    // The far side on the right: the gap takes the right side's pixels.
    const Surface mirrored = depthColumns(40, 2, [](int x) { return x < 20 ? 8 : -8; });
    ASSERT_TRUE(RenderDepthView(v, src, mirrored, 0, 4, 2));
    // Near (left) moves 8 left, far 8 right: gap 12..27, mirrored from 28
    // on; past the picture's last column (src 31) that column repeats.
    for (int x = 16; x < 28; ++x) EXPECT_EQ(v.at(x, 1), src.at(20 + (27 - x), 1)) << x;
    for (int x = 12; x < 16; ++x) EXPECT_EQ(v.at(x, 1), src.at(31, 1)) << x;
}

// A ramp nearer to the right: stretched in view N-1 (gaps of a pixel, filled
// from the farther left), squeezed in view 0 (the nearer pixels kept);
// either way the picture stays in order and no gap stays white inside it.
TEST(DepthMap, RampStaysInOrder) {
    const int w = 64;
    const Surface src = positions(w, 1);
    Surface depth;
    depth.create(w, 1);
    for (int x = 0; x < w; ++x) depth.set(x, 0, greyPixel(static_cast<unsigned>(x * 4)));
    for (int a : {0, 3}) {
        Surface v;
        ASSERT_TRUE(RenderDepthView(v, src, depth, a, 4, 2));
        int first = 0, last = w - 1;
        while (first < w && v.at(first, 0) == kWhite) ++first;
        while (last >= 0 && v.at(last, 0) == kWhite) --last;
        ASSERT_LT(first, last);
        for (int x = first + 1; x <= last; ++x) {
            ASSERT_NE(v.at(x, 0), kWhite) << a << " " << x;
            EXPECT_GE((v.at(x, 0) >> 16) & 0xFF, (v.at(x - 1, 0) >> 16) & 0xFF) << a << " " << x;
        }
        // Squeezed, the nearest pixel is never hidden behind a farther one.
        if (a == 0) {
            EXPECT_EQ((v.at(last, 0) >> 16) & 0xFF, static_cast<unsigned>(w - 1));
        }
    }
}

// Two near cards over a far background, the strip between them wider than
// the views move them apart: the hole beside a card is filled from the
// background only, never with a copy of the other card. And a card whose
// depth rises along the row lands whole: no farther pixel shows through the
// columns its stretch opens.
TEST(DepthMap, HolesTakeNoNearerPixelsAndStretchedSurfacesHaveNoCracks) {
    const int w = 200;
    const Surface src = positions(w, 1);
    const auto inCards = [](int x) { return (x >= 40 && x < 60) || (x >= 120 && x < 140); };
    const Surface cards = depthColumns(w, 1, [&](int x) { return inCards(x) ? kDepthNearest : kDepthFarthest; });
    Surface ramp;
    ramp.create(w, 1);
    for (int x = 0; x < w; ++x)
        ramp.set(x, 0, greyPixel(x >= 50 && x < 90 ? 170u + static_cast<unsigned>(x - 50) * 2u : 0u));
    for (int a = 0; a < 4; ++a) {
        Surface v;
        ASSERT_TRUE(RenderDepthView(v, src, cards, a, 4, 2));
        const int nearShift = quarterDepthShift(a, 4, 4 * kDepthNearest, 2);
        for (int x = 0; x < w; ++x) {
            if (v.at(x, 0) == kWhite) continue;
            const int from = static_cast<int>((v.at(x, 0) >> 16) & 0xFF);
            if (inCards(from)) {
                EXPECT_EQ(x - from, nearShift) << "a card pixel out of place: " << a << " " << x;
            }
        }
        for (const int strength : {2, 6}) {
            ASSERT_TRUE(RenderDepthView(v, src, ramp, a, 4, strength));
            const int first = 50 + quarterDepthShift(a, 4, quarterDepthOfGrey(170), strength);
            const int last = 89 + quarterDepthShift(a, 4, quarterDepthOfGrey(170 + 39 * 2), strength);
            for (int x = std::max(0, first); x <= std::min(w - 1, last); ++x) {
                const int from = static_cast<int>((v.at(x, 0) >> 16) & 0xFF);
                EXPECT_TRUE(from >= 50 && from < 90) << "background through the card: " << strength << " " << a << " " << x;
            }
        }
    }
}

// Maps as other tools give them: a near card whose greys jitter by more than
// one surface's step (JPEG noise, an enlarged map) still lands whole, and a
// card with a soft edge (an estimator's blur) leaves no stripes of its edge
// across the hole it opens.
TEST(DepthMap, NoisyAndSoftEdgedMapsLandWithoutCracksOrStripes) {
    const int w = 200;
    const Surface src = positions(w, 1);
    Surface noisy, soft;
    noisy.create(w, 1);
    soft.create(w, 1);
    const unsigned edge[4] = {51, 102, 153, 204};
    for (int x = 0; x < w; ++x) {
        noisy.set(x, 0, greyPixel(x >= 60 && x < 120 ? 200u + (x % 2) * 4u + (x % 3) * 3u : 0u));
        unsigned g = x >= 100 && x < 140 ? 255u : 0u;
        if (x >= 96 && x < 100) g = edge[x - 96];
        if (x >= 140 && x < 144) g = edge[143 - x];
        soft.set(x, 0, greyPixel(g));
    }
    for (int a = 0; a < 4; ++a) {
        Surface v;
        ASSERT_TRUE(RenderDepthView(v, src, noisy, a, 4, 2));
        const int first = 60 + quarterDepthShift(a, 4, quarterDepthOfGrey(200), 2);
        const int last = 119 + quarterDepthShift(a, 4, quarterDepthOfGrey(200), 2);
        for (int x = first + 2; x <= last - 2; ++x) {
            const int from = static_cast<int>((v.at(x, 0) >> 16) & 0xFF);
            EXPECT_TRUE(from >= 60 && from < 120) << "background through the card: " << a << " " << x;
        }
        ASSERT_TRUE(RenderDepthView(v, src, soft, a, 4, 2));
        const int shift = quarterDepthShift(a, 4, quarterDepthOfGrey(255), 2);
        for (int x = 0; x < w; ++x) {
            const int from = static_cast<int>((v.at(x, 0) >> 16) & 0xFF);
            if (v.at(x, 0) == kWhite || from < 96 || from >= 144) continue;
            EXPECT_TRUE(x >= 96 + shift - 4 && x < 144 + shift + 4) << "a stripe of the card's edge: " << a << " " << x;
        }
    }
    // Thin things nearer than what is around them are no soft edge: a pole
    // in the hole a person leaves stays in the views, and a wire one pixel
    // wide stays one pixel wide.
    Surface pole, wire;
    pole.create(140, 1);
    wire.create(140, 1);
    for (int x = 0; x < 140; ++x) {
        pole.set(x, 0, greyPixel(x >= 60 && x < 90 ? 255u : x == 95 ? 170u : 0u));
        wire.set(x, 0, greyPixel(x == 70 ? 130u : 120u));
    }
    const Surface src140 = positions(140, 1);
    for (int a = 0; a < 4; ++a) {
        Surface v;
        ASSERT_TRUE(RenderDepthView(v, src140, pole, a, 4, 2));
        const int at = 95 + quarterDepthShift(a, 4, quarterDepthOfGrey(170), 2);
        // (In view 3 the person moves over it.)
        if (a < 3) {
            EXPECT_EQ((v.at(at, 0) >> 16) & 0xFF, 95u) << "the pole in view " << a;
        }
        int first = 0, last = 139;
        while (first < 140 && v.at(first, 0) == kWhite) ++first;
        while (last >= 0 && v.at(last, 0) == kWhite) --last;
        for (int x = first; x <= last; ++x) EXPECT_NE(v.at(x, 0), kWhite) << "white inside the picture: " << a << " " << x;
        ASSERT_TRUE(RenderDepthView(v, src140, wire, a, 4, 2));
        int wide = 0;
        for (int x = 0; x < 140; ++x) wide += ((v.at(x, 0) >> 16) & 0xFF) == 70u;
        EXPECT_EQ(wide, 1) << "the wire in view " << a;
    }
}

TEST(DepthMap, LayersInDrawingOrder) {
    Surface a, b, out;
    a.create(10, 4);
    b.create(10, 4);
    paintRect(a, 0, 0, 5, 4);
    paintRect(b, 3, 0, 7, 4);
    ASSERT_TRUE(BuildLayerDepthMap(out, 10, 4, -8, {{&a, 8}, {&b, -16}}));
    EXPECT_EQ(out.at(1, 2), greyPixel(greyOfDepth(8)));
    EXPECT_EQ(out.at(4, 2), greyPixel(greyOfDepth(-16))) << "the later layer is drawn over, even when farther";
    EXPECT_EQ(out.at(8, 2), greyPixel(greyOfDepth(-8)));

    // A document with an imported map has the paint layer over the map, as
    // its views draw it.
    TestDocument doc(10, 4);
    CStereoWorkspace& ws = *doc.ws;
    ASSERT_TRUE(ws.depthMap().create(10, 4));
    for (int y = 0; y < 4; ++y) std::fill(ws.depthMap().row(y), ws.depthMap().row(y) + 10, greyPixel(greyOfDepth(-20)));
    ASSERT_TRUE(ws.ensurePaintLayer());
    paintRect(ws.paintMask(), 6, 0, 10, 4);
    ASSERT_TRUE(BuildDocumentDepthMap(ws, out));
    EXPECT_EQ(out.at(2, 1), greyPixel(greyOfDepth(-20)));
    EXPECT_EQ(out.at(8, 1), greyPixel(greyOfDepth(ws.paintDepth)));

    // A region cut on it sits over the map at its depth, in the exported map
    // and in the views alike (they were made from the map alone).
    ASSERT_TRUE(ws.appendRegion(12));
    paintRect(ws.region(ws.regionCount() - 1).mask, 0, 0, 3, 4);
    ASSERT_TRUE(BuildDocumentDepthMap(ws, out));
    EXPECT_EQ(out.at(1, 1), greyPixel(greyOfDepth(12)));
    EXPECT_EQ(out.at(4, 1), greyPixel(greyOfDepth(-20)));
    TestDocument cut(24, 6);
    CStereoWorkspace& c = *cut.ws;
    ASSERT_TRUE(c.depthMap().create(24, 6));
    for (int y = 0; y < 6; ++y) std::fill(c.depthMap().row(y), c.depthMap().row(y) + 24, greyPixel(greyOfDepth(-20)));
    ASSERT_TRUE(c.appendRegion(12));
    const Surface& mask = c.region(c.regionCount() - 1).mask;
    paintRect(c.region(c.regionCount() - 1).mask, 8, 0, 14, 6);
    c.GenerateViews(nullptr, 2, false);
    Surface layered, expected;
    ASSERT_TRUE(BuildLayerDepthMap(layered, 24, 6, -20, {{&mask, 12}}));
    ASSERT_TRUE(RenderDepthView(expected, c.source(), layered, 0, c.viewCount(), 2));
    EXPECT_TRUE(samePixels(c.view(0), expected));
}

// The sample project's depth map and flat photo, exported and brought back,
// give views within a few grey levels of the layer views, except within a
// shift's reach of a depth edge.
TEST(DepthMap, SampleExportImportMatchesLayerViews) {
    TempDir dir;
    std::ofstream(dir.file("Plastora.ini")) << "";
    ScriptedHost host;
    CStereoWorkspace layered(host, dir.file("Plastora.ini"));
    ASSERT_TRUE(layered.Open(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr"));
    const int s = layered.strength(), n = layered.viewCount();
    ASSERT_EQ(ExportDepthMap(layered, dir.file("depth.png")), 1);
    Surface photo;
    ASSERT_TRUE(BuildDocumentPhoto(layered, photo));
    layered.GenerateViews(nullptr, s, false);

    CStereoWorkspace imported(host, dir.file("Plastora.ini"));
    imported.adoptPicture(std::move(photo));
    ASSERT_TRUE(readDepthMapImage(dir.file("depth.png"), imported.depthMap()));
    ASSERT_EQ(imported.depthMap().width(), layered.width());
    imported.GenerateViews(nullptr, s, false);

    const Surface& map = imported.depthMap();
    const int w = layered.width(), h = layered.height();
    int reach = 0;
    for (unsigned g = 0; g < 256; ++g)
        for (int a = 0; a < n; ++a) reach = std::max(reach, std::abs(quarterDepthShift(a, n, quarterDepthOfGrey(g), s)));
    long compared = 0, off = 0;
    for (int y = 0; y < h; ++y) {
        // Columns within `reach` of a depth edge (or of the picture's edges).
        std::vector<bool> edge(static_cast<std::size_t>(w), false);
        for (int x = 0; x < w; ++x)
            if (x < reach || x >= w - reach || (x > 0 && map.at(x, y) != map.at(x - 1, y)))
                for (int k = std::max(0, x - reach - 1); k <= std::min(w - 1, x + reach); ++k) edge[static_cast<std::size_t>(k)] = true;
        for (int a = 0; a < n; ++a)
            for (int x = 0; x < w; ++x) {
                if (edge[static_cast<std::size_t>(x)]) continue;
                ++compared;
                if (channelDiff(layered.view(a).at(x, y), imported.view(a).at(x, y)) > 3) ++off;
            }
    }
    EXPECT_GT(compared, static_cast<long>(w) * h * n / 3) << "most of the picture is away from edges";
    EXPECT_EQ(off, 0) << "of " << compared;
}

// The high-resolution pair of a depth-map document gets what every view gets
// on top of its picture, the paint layer's shadow included.
TEST(DepthMap, TheHighResolutionPairGetsThePaintShadow) {
    TempDir dir;
    std::ofstream(dir.file("Plastora.ini")) << "";
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    Surface photo;
    ASSERT_TRUE(photo.create(40, 30));
    for (int y = 0; y < 30; ++y) std::fill(photo.row(y), photo.row(y) + 40, kOpaque | 0x0000FFu);
    ws.adoptPicture(std::move(photo));
    ASSERT_TRUE(ws.depthMap().create(40, 30));
    for (int y = 0; y < 30; ++y) std::fill(ws.depthMap().row(y), ws.depthMap().row(y) + 40, kOpaque | 0x808080u);
    ws.paintShadow = 1;
    ws.paintDepth = 16;
    ASSERT_TRUE(ws.ensurePaintLayer());
    paintRect(ws.paintMask(), 10, 10, 20, 20);
    paintRect(ws.paintLayer(), 0, 0, 40, 30);
    ws.setStrength(8);
    Surface left, right;
    ASSERT_TRUE(ws.GenerateHighResPair(left, right, false));
    const Pixel grey = static_cast<Pixel>(ws.settings().shadowLevel) * 0x010101u;
    for (const Surface* v : {&left, &right}) {
        long shadowed = 0;
        for (int y = 0; y < v->height(); ++y)
            for (int x = 0; x < v->width(); ++x) shadowed += (v->at(x, y) & 0xFFFFFFu) == grey;
        EXPECT_GT(shadowed, 0);
    }
}

TEST(DepthMap, ProjectKeepsTheMapBesideIt) {
    TestDocument d(16, 8);
    Surface map = depthColumns(16, 8, [](int x) { return x - 16; });
    ASSERT_TRUE(d.ws->depthMap().createCopy(map));
    const std::string project = d.dir.file("p.lyr");
    ASSERT_EQ(d.ws->Save(project), 1);
    EXPECT_TRUE(std::filesystem::exists(d.dir.file("p_depth.png")));

    CStereoWorkspace back(d.host, d.dir.file("Plastora.ini"));
    ASSERT_EQ(back.Open(project), 1);
    ASSERT_TRUE(back.hasDepthMap());
    EXPECT_TRUE(samePixels(back.depthMap(), map));
    back.GenerateViews(nullptr, 2, false);
    Surface expected;
    ASSERT_TRUE(RenderDepthView(expected, back.source(), map, 0, back.viewCount(), 2));
    EXPECT_TRUE(samePixels(back.view(0), expected)) << "the views come from the map";

    // A project saved without a map ignores a map file left beside it.
    TestDocument plain(16, 8);
    ASSERT_EQ(plain.ws->Save(plain.dir.file("q.lyr")), 1);
    std::filesystem::copy_file(d.dir.file("p_depth.png"), plain.dir.file("q_depth.png"));
    CStereoWorkspace other(plain.host, plain.dir.file("Plastora.ini"));
    ASSERT_EQ(other.Open(plain.dir.file("q.lyr")), 1);
    EXPECT_FALSE(other.hasDepthMap());

    // A map that went missing is reported; the picture still opens.
    std::filesystem::remove(d.dir.file("p_depth.png"));
    CStereoWorkspace missing(d.host, d.dir.file("Plastora.ini"));
    d.host.expectMessage(kDepthMapReadFailedMessage);
    ASSERT_EQ(missing.Open(project), 1);
    EXPECT_FALSE(missing.hasDepthMap());

    // A map as wide as a project's picture may be comes back with it.
    TestDocument wide(16385, 2);
    const Surface wideMap = depthColumns(16385, 2, [](int x) { return x % 50 - 25; });
    ASSERT_TRUE(wide.ws->depthMap().createCopy(wideMap));
    ASSERT_EQ(wide.ws->Save(wide.dir.file("w.lyr")), 1);
    CStereoWorkspace wideBack(wide.host, wide.dir.file("Plastora.ini"));
    ASSERT_EQ(wideBack.Open(wide.dir.file("w.lyr")), 1);
    ASSERT_TRUE(wideBack.hasDepthMap());
    EXPECT_TRUE(samePixels(wideBack.depthMap(), wideMap));
}

// Import: the map is cropped and scaled the way the photo was.
TEST(DepthMap, ImportFollowsThePhotosTrimming) {
    TempDir dir;
    std::ofstream(dir.file("Plastora.ini")) << "";
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, gradientPicture(60, 40), 60, 40, dir.file("photo.bmp"), 80), 1);
    // Half the photo's size; far on the left half, near on the right.
    const Surface map = depthColumns(30, 20, [](int x) { return x < 15 ? -20 : 10; });
    ASSERT_EQ(writeDepthMapImage(host, map, dir.file("depth.png"), true, 80), 1);

    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    ASSERT_EQ(OpenPhotoWithDepth(ws, dir.file("photo.bmp"), dir.file("depth.png")), 1);
    ASSERT_TRUE(ws.hasDepthMap());
    ASSERT_EQ(ws.depthMap().width(), ws.width());
    // The crop to the paper's 4:3 takes photo columns 3..55: photo column 30
    // lands at (30 - 3) x W / 53.
    const int edge = (30 - ws.trimSource().left) * ws.width() / ws.trimSource().width();
    EXPECT_EQ(ws.depthMap().at(edge - 4, ws.height() / 2), greyPixel(greyOfDepth(-20)));
    EXPECT_EQ(ws.depthMap().at(edge + 4, ws.height() / 2), greyPixel(greyOfDepth(10)));

    // The photo and depth side by side (the RGBD layout) as the map: its
    // right half is the depth.
    Surface rgbd;
    ASSERT_TRUE(BuildRgbd(rgbd, gradientPicture(30, 20), map));
    ASSERT_EQ(writeDepthMapImage(host, rgbd, dir.file("rgbd.png"), true, 80), 1);
    CStereoWorkspace fromRgbd(host, dir.file("Plastora.ini"));
    ASSERT_EQ(OpenPhotoWithDepth(fromRgbd, dir.file("photo.bmp"), dir.file("rgbd.png")), 1);
    EXPECT_TRUE(samePixels(fromRgbd.depthMap(), ws.depthMap()));
    // A map of the camera's pixels for a photo its Exif orientation turns (a
    // phone's depth image carries no orientation of its own) is turned with it.
    writeOrientedJpeg(dir.file("turned.jpg"), gradientPicture(40, 60), 6);
    Surface sensorMap = depthColumns(40, 60, [](int x) { return x < 20 ? -20 : 10; });
    ASSERT_EQ(writeDepthMapImage(host, sensorMap, dir.file("sensor.png"), true, 80), 1);
    CStereoWorkspace turned(host, dir.file("Plastora.ini"));
    ASSERT_EQ(OpenPhotoWithDepth(turned, dir.file("turned.jpg"), dir.file("sensor.png")), 1);
    ASSERT_TRUE(ApplyExifOrientation(sensorMap, 6));
    Surface expected;
    ASSERT_TRUE(expected.create(turned.width(), turned.height()));
    ASSERT_TRUE(StretchMapThroughPhoto(expected, sensorMap, turned.trimPhotoSize(), turned.trimSource(),
                                       turned.trimDest()));
    EXPECT_TRUE(samePixels(turned.depthMap(), expected));

    // A map that cannot be read leaves the workspace alone.
    std::ofstream(dir.file("bad.png")) << "not a picture";
    CStereoWorkspace other(host, dir.file("Plastora.ini"));
    host.expectMessage(kDepthMapReadFailedMessage);
    EXPECT_EQ(OpenPhotoWithDepth(other, dir.file("photo.bmp"), dir.file("bad.png")), 0);
    EXPECT_TRUE(other.source().empty());

    // Nor is a pipe in the map's place read: it would wait for ever (the
    // reading runs in a child, which is given ten seconds).
    const std::string pipe = dir.file("pipe.png");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Surface s;
        ::_exit(readDepthMapImage(pipe, s) ? 1 : 0);
    }
    int status = -1;
    for (int waited = 0; waited < 1000 && ::waitpid(child, &status, WNOHANG) == 0; ++waited) ::usleep(10000);
    if (!WIFEXITED(status)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "reading a pipe as a depth map did not end";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

namespace {

// A grey progressive JPEG of side x side (at most 1024): a whole first (DC)
// scan, then `emptyScans` scans of the AC coefficients that code nothing
// (one-symbol tables: a DC difference of 0, one end of bands for 2^14 blocks).
std::vector<std::uint8_t> progressiveWithEmptyScans(int side, int emptyScans) {
    std::vector<std::uint8_t> b = {0xFF, 0xD8};
    const auto segment = [&](std::uint8_t marker, const std::vector<std::uint8_t>& payload) {
        const std::size_t n = payload.size() + 2;
        b.insert(b.end(), {0xFF, marker, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        b.insert(b.end(), payload.begin(), payload.end());
    };
    std::vector<std::uint8_t> table(65, 1);
    table[0] = 0;
    segment(0xDB, table);
    const auto s8 = static_cast<std::uint8_t>(side >> 8), s0 = static_cast<std::uint8_t>(side);
    segment(0xC2, {8, s8, s0, s8, s0, 1, 1, 0x11, 0});
    std::vector<std::uint8_t> dc(17, 0), ac(17, 0);
    dc[1] = 1;
    ac[0] = 0x10, ac[1] = 1;
    dc.push_back(0x00);
    ac.push_back(0xE0);
    segment(0xC4, dc);
    segment(0xC4, ac);
    segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    const std::size_t blocks = static_cast<std::size_t>((side + 7) / 8) * ((side + 7) / 8);
    b.resize(b.size() + blocks / 8 + 1, 0);  // one bit a block: a DC difference of 0
    for (int k = 0; k < emptyScans; ++k) {
        segment(0xDA, {1, 1, 0x00, 1, 63, 0});
        b.insert(b.end(), {0, 0});  // one end of bands for the whole picture (15 bits)
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

}  // namespace

// A JPEG map cut short is refused (Qt's reader would fill the rest with
// grey, a middle depth); the whole file is read, and so is one with bytes
// after its end marker.
TEST(DepthMap, JpegMapCutShortIsRefused) {
    TempDir dir;
    ScriptedHost host;
    ASSERT_EQ(SaveStillImage(host, depthColumns(640, 480, [](int x) { return x / 10 - 32; }), 640, 480, dir.file("d.jpg"), 90),
              1);
    std::ifstream in(dir.file("d.jpg"), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    Surface map;
    EXPECT_TRUE(parseDepthMapImage(bytes, map));
    std::vector<std::uint8_t> trailed = bytes;
    trailed.insert(trailed.end(), {0x00, 0x11, 0x22});
    EXPECT_TRUE(parseDepthMapImage(trailed, map));
    // Cut short, with or without an end marker put back after the cut.
    const std::vector<std::uint8_t> whole = bytes;
    bytes.resize(bytes.size() / 3);
    EXPECT_FALSE(parseDepthMapImage(bytes, map));
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    EXPECT_FALSE(parseDepthMapImage(bytes, map));
    bytes.resize(40);  // within the headers
    EXPECT_FALSE(parseDepthMapImage(bytes, map));
    // A few hundred bytes declaring 15000 x 15000 are refused before any
    // picture is made for them (the cut-off file above, its frame enlarged).
    std::vector<std::uint8_t> huge(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(whole.size(), 700)));
    for (std::size_t at = 2; at + 9 < huge.size(); ++at)
        if (huge[at] == 0xFF && huge[at + 1] == 0xC0) {
            huge[at + 5] = huge[at + 7] = 15000 >> 8;
            huge[at + 6] = huge[at + 8] = 15000 & 0xFF;
            break;
        }
    huge.insert(huge.end(), {0xFF, 0xD9});
    // Hundreds of scans that code nothing, each a pass over every block
    // (made 16384 x 16384 take 9 s and 1.6 GB from a few hundred KB): refused
    // once the scans have covered the picture far more often than a real
    // file's.
    EXPECT_TRUE(parseDepthMapImage(progressiveWithEmptyScans(512, 9), map));
    EXPECT_FALSE(parseDepthMapImage(progressiveWithEmptyScans(512, 499), map));
    int asked = 0;
    Surface::setAllocationHook([&](int w, int h) { asked += w * std::int64_t{h} > 1000000; return true; });
    EXPECT_FALSE(parseDepthMapImage(huge, map));
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(asked, 0);
    // A whole map has the depths Qt's reader gives: a colour picture's
    // luminance, a grey picture's values, turned by its Exif orientation.
    Surface colours = gradientPicture(48, 32);
    writeOrientedJpeg(dir.file("c.jpg"), colours, 6);
    ASSERT_EQ(SaveStillImage(host, depthColumns(48, 32, [](int x) { return x - 24; }), 48, 32, dir.file("g.jpg"), 90), 1);
    const QImage greyJpeg = QImage(QString::fromStdString(dir.file("g.jpg"))).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_TRUE(greyJpeg.save(QString::fromStdString(dir.file("g1.jpg")), nullptr, 90));  // one component
    for (const char* name : {"c.jpg", "g1.jpg"}) {
        std::ifstream f(dir.file(name), std::ios::binary);
        const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(f)), {});
        ASSERT_TRUE(parseDepthMapImage(b, map)) << name;
        QImageReader reader(QString::fromStdString(dir.file(name)));
        reader.setAutoTransform(true);
        const QImage qt = reader.read().convertToFormat(QImage::Format_Grayscale8);
        ASSERT_EQ(map.width(), qt.width()) << name;
        ASSERT_EQ(map.height(), qt.height()) << name;
        int differing = 0;
        for (int y = 0; y < qt.height(); ++y)
            for (int x = 0; x < qt.width(); ++x) differing += map.at(x, y) != (kOpaque | Pixel{qt.constScanLine(y)[x]} * 0x010101u);
        EXPECT_EQ(differing, 0) << name;
    }
    // A BMP cut short is refused too: its missing rows read as black, the
    // farthest depth.
    ASSERT_EQ(SaveStillImage(host, depthColumns(64, 48, [](int x) { return x / 4 - 16; }), 64, 48, dir.file("d.bmp"), 90), 1);
    std::ifstream bmp(dir.file("d.bmp"), std::ios::binary);
    std::vector<std::uint8_t> wholeBmp((std::istreambuf_iterator<char>(bmp)), {});
    EXPECT_TRUE(parseDepthMapImage(wholeBmp, map));
    wholeBmp.resize(wholeBmp.size() * 6 / 10);
    EXPECT_FALSE(parseDepthMapImage(wholeBmp, map));
    // So is one with the old 12-byte header, whose sizes are 16 bits.
    std::vector<std::uint8_t> os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 8, 0, 4, 0, 1, 0, 24, 0};
    os2.resize(26 + 4 * 24, 0xFF);
    EXPECT_TRUE(parseDepthMapImage(os2, map));
    os2.resize(26 + 2 * 24);
    EXPECT_FALSE(parseDepthMapImage(os2, map));
    // A few bytes that Qt's readers would make a picture of gigabytes from
    // (found by fuzzing): an MNG, and a BMP whose header is beyond checking.
    for (const char* name : {"mng_canvas.mng", "bmp_odd_header.bmp"}) {
        std::ifstream f(std::string(PLASTORA_SOURCE_DIR) + "/fuzz/corpus/depthmap/" + name, std::ios::binary);
        const std::vector<std::uint8_t> few((std::istreambuf_iterator<char>(f)), {});
        ASSERT_LT(few.size(), 200u) << name;
        EXPECT_FALSE(parseDepthMapImage(few, map)) << name;
    }
}

namespace {

// The picture and trimming dialogs answered by the test: manual trimming, a
// frame of exactly the working size (so nothing is scaled) at `offset`, and
// the photo straightened by `angle`.
struct StraighteningDialogs : WorkspaceDialogs {
    Point offset;
    double angle = 0.0;
    bool pictureDialog(PictureDialogData& d) override {
        d.trimming = kTrimManual;
        return true;
    }
    bool trimmingDialog(TrimmingDialogData& d) override {
        d.angle = angle;
        d.source = {offset.x, offset.y, offset.x + d.workingWidth, offset.y + d.workingHeight};
        return true;
    }
};

// Grey blocks of 24 pixels in 40 and 200 over a slow ramp: any turn or
// shift of one picture against the other shows on the block edges.
Surface greyBlocks(int w, int h) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned g = ((x / 24 + y / 24) % 2 ? 200u : 40u) + static_cast<unsigned>((x + y) % 16);
            s.set(x, y, greyPixel(g));
        }
    return s;
}

// Pixels where the map is not the photo's grey (beyond `tolerance`), the
// corners the turn brought in excepted (white in the photo, farthest in
// the map), and the edges too: the photo is blended there, the map taken by
// nearest pixel.
int misaligned(const Surface& photo, const Surface& map, int tolerance) {
    int count = 0;
    for (int y = 1; y + 1 < photo.height(); ++y)
        for (int x = 1; x + 1 < photo.width(); ++x) {
            const Pixel p = photo.at(x, y) | kOpaque, d = map.at(x, y) | kOpaque;
            if (p == kWhite) {
                count += d != greyPixel(0);
                continue;
            }
            bool smooth = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) smooth = smooth && channelDiff(photo.at(x + dx, y + dy), p) <= 2;
            if (smooth) count += channelDiff(p, d) > tolerance;
        }
    return count;
}

// Pixels of `map` whose grey `input` does not have (0, the corners a turn
// brings in, excepted): a depth blended from two others.
int newLevels(const Surface& input, const Surface& map) {
    std::array<bool, 256> had{};
    for (int y = 0; y < input.height(); ++y)
        for (int x = 0; x < input.width(); ++x) had[input.at(x, y) & 0xFF] = true;
    int count = 0;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x) {
            const unsigned g = map.at(x, y) & 0xFF;
            count += g != 0 && !had[g];
        }
    return count;
}

}  // namespace

// A photo opened with its depth map and straightened in the trimming
// dialog, and a document with a map straightened by the paper change: the
// map turns and crops with the photo, so each depth stays on its pixel, and
// no depth is a blend of two (a stray line in every view).
TEST(DepthMap, StraighteningTurnsTheMapWithThePhoto) {
    TempDir dir;
    std::ofstream(dir.file("Plastora.ini")) << "";
    ScriptedHost host;
    StraighteningDialogs dialogs;
    const Surface blocks = greyBlocks(900, 700);
    ASSERT_EQ(SaveStillImage(host, blocks, blocks.width(), blocks.height(), dir.file("photo.bmp"), 80), 1);
    ASSERT_EQ(writeDepthMapImage(host, blocks, dir.file("depth.png"), true, 80), 1);

    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    ws.setDialogs(&dialogs);
    dialogs.offset = {0, 0};
    dialogs.angle = 0.12;
    ASSERT_EQ(OpenPhotoWithDepth(ws, dir.file("photo.bmp"), dir.file("depth.png")), 1);
    ASSERT_NE(ws.rotationAngle(), 0.0);
    ASSERT_EQ(ws.depthMap().width(), ws.width());
    ASSERT_EQ(ws.depthMap().height(), ws.height());
    int corners = 0;
    for (int y = 0; y < ws.height(); ++y) corners += ws.source().at(0, y) == kWhite;
    EXPECT_GT(corners, 0) << "the turn brings in white corners";
    EXPECT_EQ(misaligned(ws.source(), ws.depthMap(), 2), 0);
    EXPECT_EQ(newLevels(blocks, ws.depthMap()), 0);

    // The paper change: the same working size, the whole picture as the
    // frame, turned the other way.
    Surface grey;
    ASSERT_TRUE(grey.createCopy(ws.source()));
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            if (grey.at(x, y) == kWhite) grey.set(x, y, greyPixel(120));  // no corners yet on the map
    ASSERT_TRUE(ws.source().createCopy(grey));
    // The map in two depths only, dark blocks far and light ones near.
    const auto twoLevels = [](Surface& s) {
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) s.set(x, y, greyPixel((s.at(x, y) & 0xFF) < 128 ? 40 : 200));
    };
    ASSERT_TRUE(ws.depthMap().createCopy(grey));
    twoLevels(ws.depthMap());
    Surface before;
    ASSERT_TRUE(before.createCopy(ws.depthMap()));
    dialogs.offset = {0, 0};
    dialogs.angle = -0.2;
    ASSERT_EQ(ws.ChangePaperSize(), 1);
    ASSERT_EQ(ws.depthMap().width(), ws.width());
    Surface expected;
    ASSERT_TRUE(expected.createCopy(ws.source()));
    twoLevels(expected);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (ws.source().at(x, y) == kWhite) expected.set(x, y, kWhite);
    EXPECT_EQ(misaligned(expected, ws.depthMap(), 0), 0);
    EXPECT_EQ(newLevels(before, ws.depthMap()), 0);
}

// The map put through the photo's trimming without the photo-sized picture
// between: pixel for pixel what the two stretches make, for maps smaller,
// larger and of another shape than the photo, crops, margins, a source
// reaching outside the photo and a destination reaching outside the picture.
TEST(DepthMap, StretchedThroughThePhotoWithoutAPhotoSizedCopy) {
    Surface map;
    ASSERT_TRUE(map.create(37, 23));
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x) map.set(x, y, greyPixel(static_cast<unsigned>((x * 7 + y * 11) % 256)));
    struct Case {
        Size photo;
        Rect src, dst;
    };
    const Case cases[] = {
        {{37, 23}, {0, 0, 37, 23}, {0, 0, 60, 40}},
        {{300, 200}, {0, 0, 300, 200}, {0, 0, 60, 40}},
        {{300, 200}, {20, 10, 280, 190}, {5, 0, 55, 40}},
        {{10, 9}, {0, 0, 10, 9}, {3, 2, 57, 38}},
        {{300, 200}, {-30, -20, 330, 220}, {0, 0, 60, 40}},
        {{301, 199}, {50, 40, 250, 160}, {-10, -5, 70, 45}},
        {{60, 40}, {0, 0, 60, 40}, {0, 0, 60, 40}},
    };
    for (const Case& c : cases) {
        Surface atPhoto, expected, got;
        ASSERT_TRUE(atPhoto.create(c.photo.cx, c.photo.cy));
        ASSERT_TRUE(stretchBlit(atPhoto, 0, 0, c.photo.cx, c.photo.cy, map, 0, 0, map.width(), map.height(),
                                Rop::Copy, StretchMode::Nearest));
        ASSERT_TRUE(expected.create(60, 40));
        ASSERT_TRUE(stretchBlit(expected, c.dst.left, c.dst.top, c.dst.width(), c.dst.height(), atPhoto, c.src.left,
                                c.src.top, c.src.width(), c.src.height(), Rop::Copy, StretchMode::Nearest));
        ASSERT_TRUE(got.create(60, 40));
        ASSERT_TRUE(StretchMapThroughPhoto(got, map, c.photo, c.src, c.dst));
        int differ = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) differ += got.at(x, y) != expected.at(x, y);
        EXPECT_EQ(differ, 0) << c.photo.cx << " x " << c.photo.cy << " from " << c.src.left << "," << c.src.top;
    }
}
