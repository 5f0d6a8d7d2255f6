// The body template shipped for face cut-outs, read the way the automatic
// cut-out reads it and placed on a face the way it places it.
#include "LinewispTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace lwtest;

namespace {

struct FPoint {
    double x, y;
};

bool inside(const std::vector<FPoint>& poly, FPoint p) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
            p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
            in = !in;
    }
    return in;
}

const std::string kTemplate = std::string(PLASTORA_SOURCE_DIR) + "/data/auto_data/body_data_default.wmf";

}  // namespace

TEST(BodyTemplate, ReadsWithinTheCutOutLimitsAndFitsAFace) {
    std::ifstream in(kTemplate, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(bytes.size(), 40u);
    const unsigned L = bytes[6] | (bytes[7] << 8), T = bytes[8] | (bytes[9] << 8), R = bytes[10] | (bytes[11] << 8);
    ASSERT_GT(R, 0u);

    Picture p(8, 1024);
    const int n = p.read(bytes);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 8);

    // A face box (100, 100)-(199, 199): the template scaled to the face's
    // width and placed at its centre.
    const float s = static_cast<float>(199 - 100) / static_cast<float>(R);
    const int cx = 149, cy = 149;
    std::vector<std::vector<FPoint>> polys;
    double minX = 1e9, maxX = -1e9, maxY = -1e9;
    for (std::size_t i = 0; i < p.list.size(); ++i) {
        ASSERT_EQ(p.at(i).kind, kVectPolygon);
        std::vector<FPoint> poly;
        for (std::size_t k = 0; k < p.at(i).data.size(); ++k) {
            const plastora::Point q = p.point(i, k);
            const FPoint f{cx + std::trunc(s * (q.x - static_cast<int>(L))), cy + std::trunc(s * (q.y - static_cast<int>(T)))};
            minX = std::min(minX, f.x), maxX = std::max(maxX, f.x), maxY = std::max(maxY, f.y);
            poly.push_back(f);
        }
        polys.push_back(poly);
    }
    auto covered = [&](FPoint f) {
        for (const auto& poly : polys)
            if (inside(poly, f)) return true;
        return false;
    };
    // The face itself is inside the cut-out, and so is the neck below it;
    // beside the face at eye height is not.
    for (FPoint f : {FPoint{149, 149}, FPoint{110, 110}, FPoint{190, 110}, FPoint{110, 190}, FPoint{190, 190},
                     FPoint{149, 230}})
        EXPECT_TRUE(covered(f)) << f.x << "," << f.y;
    EXPECT_FALSE(covered(FPoint{60, 149}));
    EXPECT_FALSE(covered(FPoint{240, 149}));
    // Shoulders reach well beyond the face on both sides, far below it.
    EXPECT_LT(minX, 100 - 99);
    EXPECT_GT(maxX, 199 + 99);
    EXPECT_GT(maxY, 199 + 2 * 99);
}

TEST(BodyTemplate, LibwmfReadsIt) {
    if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "wmf2svg is not installed";
    const std::string cmd = "wmf2svg -o /dev/null '" + kTemplate + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}
