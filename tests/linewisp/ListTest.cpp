// The list services: deep copy, recolouring and hole splicing, release,
// text objects, and the packet's handles.
#include "LinewispTestSupport.h"

#include <gtest/gtest.h>

using namespace lwtest;
using plastora::Point;
using plastora::RGB;

namespace {

std::vector<Point> pointsOf(const VectObject& o) {
    std::vector<Point> pts;
    for (auto u : o.data) pts.push_back(VectObject::unpackPoint(u));
    return pts;
}

}  // namespace

TEST(VectList, CopyIsDeepAndAppends) {
    Picture from, to;
    add(from, shape(kVectPolygon, 5, 6, {{1, 2}, {3, 4}, {5, 6}}));
    add(from, shape(kVectEllipse, 7, 8, {{0, 0}, {9, 9}}));
    add(to, shape(kVectPolyline, 1, 1, {{0, 0}, {1, 1}}));
    VectCoplyList(&from.list, &to.list);
    ASSERT_EQ(to.list.size(), 3u);
    EXPECT_EQ(to.at(1).kind, kVectPolygon);
    EXPECT_EQ(to.at(1).data, from.at(0).data);
    EXPECT_NE(to.list.at(1), from.list.at(0));

    to.list.at(1)->data[0] = 0;
    to.list.at(1)->fillColor = 99;
    EXPECT_EQ(from.point(0, 0), (Point{1, 2}));
    EXPECT_EQ(from.at(0).fillColor, 5);
    // The copies live on when the original list is released.
    VectRelease(&from.list, nullptr);
    EXPECT_TRUE(from.list.empty());
    EXPECT_EQ(to.at(2).kind, kVectEllipse);
}

TEST(VectList, SetColorModes) {
    Picture p;
    for (int i = 0; i < 3; ++i) add(p, shape(kVectPolygon, 10, 20, {{0, 0}, {5, 0}, {0, 5}}));
    VectSetColor(1, 1, RGB(1, 1, 1), RGB(2, 2, 2), &p.list);
    EXPECT_EQ(p.at(0).fillColor, static_cast<std::int32_t>(RGB(1, 1, 1)));
    EXPECT_EQ(p.at(0).penColor, static_cast<std::int32_t>(RGB(2, 2, 2)));
    // A pen of -1 leaves the outline as it was; so does a fill of -1.
    VectSetColor(0, 2, RGB(3, 3, 3), 0xFFFFFFFFu, &p.list);
    EXPECT_EQ(p.at(1).fillColor, static_cast<std::int32_t>(RGB(3, 3, 3)));
    EXPECT_EQ(p.at(1).penColor, 20);
    VectSetColor(0, 3, 0xFFFFFFFFu, RGB(4, 4, 4), &p.list);
    EXPECT_EQ(p.at(2).fillColor, kVectNoColor);
    EXPECT_EQ(p.at(2).penColor, 20);
    // Mode 2 hides; indices outside the list change nothing.
    VectSetColor(2, 1, 0, 0, &p.list);
    EXPECT_EQ(p.at(0).fillColor, kVectNoColor);
    VectSetColor(1, 0, 0, 0, &p.list);
    VectSetColor(1, 4, 0, 0, &p.list);
    EXPECT_EQ(p.at(1).fillColor, static_cast<std::int32_t>(RGB(3, 3, 3)));
}

TEST(VectList, ModeThreeCutsTheObjectOutOfItsParents) {
    Picture p;
    add(p, shape(kVectPolygon, 1, 0, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}));   // 1
    add(p, shape(kVectPolygon, 2, 0, {{10, 10}, {90, 10}, {90, 90}, {10, 90}}));   // 2 on 1
    add(p, shape(kVectPolygon, 3, 0, {{40, 40}, {60, 40}, {60, 60}, {40, 60}}));   // 3 on 2
    p.list.at(1)->parent = 1;
    p.list.at(2)->parent = 2;

    VectSetColor(3, 3, 0, 0, &p.list);
    EXPECT_EQ(p.at(2).fillColor, kVectNoColor);
    // In object 2, after its point nearest to (40, 40) among those above it
    // ((10, 10)), come object 3's points backwards, closed, and (10, 10)
    // again.
    const std::vector<Point> expected2{{10, 10}, {40, 40}, {40, 60}, {60, 60}, {60, 40}, {40, 40}, {10, 10},
                                       {90, 10}, {90, 90}, {10, 90}};
    EXPECT_EQ(pointsOf(p.at(1)), expected2);
    EXPECT_EQ(p.at(1).unitCount, 10);
    // The parent's parent gets the same hole.
    EXPECT_EQ(p.at(0).unitCount, 10);
    EXPECT_EQ(pointsOf(p.at(0))[2], (Point{40, 60}));

    // Painted, the hole shows what lies below (nothing: white).
    p.packet.zoom = 100;
    plastora::Surface s;
    ASSERT_TRUE(s.create(110, 110));
    blit(s, plastora::Rop::Whiteness);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 5), 0);
    EXPECT_EQ(s.getPixel(50, 50), RGB(255, 255, 255));
    EXPECT_EQ(s.getPixel(20, 50), 2u);
    EXPECT_EQ(s.getPixel(37, 45), 2u);  // beside the bridge: still object 2
    EXPECT_EQ(s.getPixel(5, 50), 1u);

    // An outline that is already closed grows by its point count + 1.
    Picture closed;
    add(closed, shape(kVectPolygon, 1, 0, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
    add(closed, shape(kVectPolygon, 2, 0, {{40, 40}, {60, 40}, {50, 60}, {40, 40}}));
    closed.list.at(1)->parent = 1;
    VectSetColor(3, 2, 0, 0, &closed.list);
    EXPECT_EQ(closed.at(0).unitCount, 4 + 4 + 1);

    // Without a parent the object is only hidden.
    Picture lone;
    add(lone, shape(kVectPolygon, 1, 0, {{0, 0}, {9, 0}, {0, 9}}));
    VectSetColor(3, 1, 0, 0, &lone.list);
    EXPECT_EQ(lone.at(0).fillColor, kVectNoColor);
    EXPECT_EQ(lone.at(0).unitCount, 3);
}

TEST(VectList, ReleaseEmptiesTheListAndFreesTheSourceSurface) {
    Picture p;
    add(p, shape(kVectPolygon, 1, 0, {{0, 0}, {1, 1}}));
    ASSERT_NE(VectCreateSourceSurface(&p.packet, 10, 10), nullptr);
    EXPECT_NE(VectSourceSurface(&p.packet), nullptr);
    p.packet.sourceState = 7;
    VectRelease(&p.list, &p.packet);
    EXPECT_TRUE(p.list.empty());
    EXPECT_EQ(p.packet.sourceDC, 0u);
    EXPECT_EQ(p.packet.sourceState, 0);
    EXPECT_EQ(VectSourceSurface(&p.packet), nullptr);
    EXPECT_EQ(VectGetIndex({1, 1}, &p.packet), 0);
    // The list itself still belongs to the packet.
    EXPECT_EQ(VectPacketList(&p.packet), &p.list);
}

TEST(VectList, HandlesOfDestroyedListsFindNothing) {
    VectPacket packet{};
    {
        VectObjectList list;
        VectPacketSetList(&packet, &list);
        EXPECT_EQ(VectPacketList(&packet), &list);
    }
    EXPECT_EQ(VectPacketList(&packet), nullptr);
    VectObjectList other;  // a new list never takes an old number
    EXPECT_EQ(VectPacketList(&packet), nullptr);
    EXPECT_NE(other.handle(), packet.objectList);
}

TEST(VectList, AddTextStoresFaceAndStringAndGrowsTheExtent) {
    Picture p;
    p.packet.left = p.packet.top = 50;
    p.packet.right = p.packet.bottom = 60;
    std::string data(32, '\0');
    data.replace(0, 4, "Mono");
    data += "hello";
    const plastora::Rect box{10, 55, 90, 70};
    VectAddText(&p.packet, &box, -16, 400 | kVectFontItalic, RGB(1, 2, 3), static_cast<short>(data.size()), data.data());
    ASSERT_EQ(p.list.size(), 1u);
    const VectObject& t = p.at(0);
    EXPECT_EQ(t.kind, kVectText);
    EXPECT_EQ(t.unitCount, 37 / 4 + 1);
    EXPECT_EQ(t.faceName(), "Mono");
    EXPECT_EQ(t.text(), "hello");
    EXPECT_EQ(t.brushCode, -16);
    EXPECT_EQ(t.extra, 400 | kVectFontItalic);
    EXPECT_EQ((std::vector<int>{p.packet.left, p.packet.top, p.packet.right, p.packet.bottom}),
              (std::vector<int>{10, 50, 90, 70}));
}
