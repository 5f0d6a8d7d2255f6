// matchPattern against an exhaustive search of the sum of squared differences.
#include "WHTestImages.h"
#include "stereo/whmatch/WHMatch.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

using namespace plastora::whmatch;
using whtest::Grey;

namespace {

struct Found {
    int count = -1;
    std::uint32_t minDistance = 0;
    std::vector<std::tuple<int, int, std::uint32_t>> matches;  // row, col, distance
};

Found collect(WHSetup* s, int a, int findBest) {
    Found f;
    f.count = matchPattern(s, a, findBest, &f.minDistance);
    for (int i = 0; i < f.count; ++i)
        f.matches.emplace_back(s->matches[i].row, s->matches[i].col, s->matches[i].distance);
    return f;
}

Found search(const Grey& src, const Grey& pat, int kernels, int a, int findBest,
             float bottomUp = 10.0f, float distance = 2.0f) {
    WHSetup* s = createWHSetup(src.rows, src.cols, pat.rows, kernels);
    if (!s) return {};
    setSearchPercents(s, bottomUp, distance);
    const Image si = src.image(), pi = pat.image();
    Found f;
    if (loadSourceImage(s, &si) && loadPatternImage(s, &pi)) f = collect(s, a, findBest);
    destroyWHSetup(s);
    return f;
}

// Every window whose SSD is within a^2 x P^2, in raster order.
std::vector<std::tuple<int, int, std::uint32_t>> exhaustive(const Grey& src, const Grey& pat, int a) {
    std::vector<std::tuple<int, int, std::uint32_t>> out;
    const std::uint32_t limit = std::uint32_t(a * a * pat.rows * pat.rows);
    for (int r = 0; r + pat.rows <= src.rows; ++r)
        for (int c = 0; c + pat.cols <= src.cols; ++c)
            if (const std::uint32_t d = whtest::ssd(src, pat, r, c); d <= limit) out.emplace_back(r, c, d);
    return out;
}

// First window with the smallest SSD.
std::tuple<int, int, std::uint32_t> best(const Grey& src, const Grey& pat) {
    std::tuple<int, int, std::uint32_t> b{-1, -1, ~0u};
    for (int r = 0; r + pat.rows <= src.rows; ++r)
        for (int c = 0; c + pat.cols <= src.cols; ++c)
            if (const std::uint32_t d = whtest::ssd(src, pat, r, c); d < std::get<2>(b)) b = {r, c, d};
    return b;
}

Grey perturbed(Grey g, int amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> n(-amplitude, amplitude);
    for (auto& p : g.px) p = static_cast<std::uint8_t>(std::clamp(int(p) + n(rng), 0, 255));
    return g;
}

}  // namespace

TEST(WHMatchPattern, FindsAPatternCutFromTheSource) {
    const Grey src = whtest::noise(64, 80, 1);
    std::mt19937 rng(2);
    for (int p : {8, 16, 32}) {
        for (int trial = 0; trial < 4; ++trial) {
            const int r = int(rng() % (src.rows - p + 1)), c = int(rng() % (src.cols - p + 1));
            const Found f = search(src, whtest::cut(src, r, c, p), 50, 50, 1);
            ASSERT_EQ(f.count, 1) << p;
            EXPECT_EQ(f.matches[0], std::make_tuple(r, c, 0u)) << p;
            EXPECT_EQ(f.minDistance, 0u);
        }
    }
}

// Same windows, distances and order as an exhaustive search, whichever
// phases the percents select and however many kernels are used.
TEST(WHMatchPattern, AgreesWithExhaustiveSearch) {
    const std::pair<float, float> percents[] = {{10, 2}, {0, 0}, {100, 0}, {100, 100}};
    for (int p : {4, 8, 16}) {
        const Grey src = whtest::smooth(40, 52, 300 + p);
        const Grey exact = whtest::cut(src, 9, 17, p);
        for (const Grey& pat : {exact, perturbed(exact, 9, p)}) {
            const auto argmin = best(src, pat);
            for (int a : {0, 2, 5, 12, 40}) {
                const auto expected = exhaustive(src, pat, a);
                for (int kernels : {1, 16, 50, 1000}) {
                    for (auto [bottomUp, distance] : percents) {
                        SCOPED_TRACE(testing::Message() << "P " << p << " a " << a << " kernels "
                                                        << kernels << " % " << bottomUp << "/" << distance);
                        const Found all = search(src, pat, kernels, a, 0, bottomUp, distance);
                        EXPECT_EQ(all.count, int(expected.size()));
                        EXPECT_EQ(all.matches, expected);
                        const Found one = search(src, pat, kernels, a, 1, bottomUp, distance);
                        if (!expected.empty()) {
                            ASSERT_EQ(one.count, 1);
                            EXPECT_EQ(one.matches[0], argmin);
                            EXPECT_EQ(one.minDistance, std::get<2>(argmin));
                        } else if (one.count == 1) {
                            // The best survivor of the bounds, outside the tolerance.
                            const auto [r, c, d] = one.matches[0];
                            EXPECT_EQ(d, whtest::ssd(src, pat, r, c));
                            EXPECT_GT(d, std::uint32_t(a * a * p * p));
                        }
                    }
                }
            }
        }
    }
}

// A setup searched again, or reloaded with another picture, answers as a
// fresh one: nothing of the previous run may leak into the next.
TEST(WHMatchPattern, RepeatedRunsAndReloadsAnswerAsAFreshSetup) {
    const Grey first = whtest::smooth(36, 44, 11), second = whtest::smooth(36, 44, 12, 20);
    const Grey pat = perturbed(whtest::cut(first, 5, 20, 8), 5, 13);
    for (auto [bottomUp, distance] : {std::pair{10.0f, 2.0f}, {100.0f, 0.0f}, {0.0f, 0.0f}}) {
        WHSetup* s = createWHSetup(36, 44, 8, 50);
        ASSERT_NE(s, nullptr);
        setSearchPercents(s, bottomUp, distance);
        const Image fi = first.image(), si = second.image(), pi = pat.image();
        ASSERT_TRUE(loadSourceImage(s, &fi));
        ASSERT_TRUE(loadPatternImage(s, &pi));
        const Found once = collect(s, 12, 0);
        EXPECT_EQ(once.matches, exhaustive(first, pat, 12));
        EXPECT_EQ(collect(s, 12, 0).matches, once.matches);
        ASSERT_TRUE(reloadSourceImage(s, &si));
        EXPECT_EQ(collect(s, 20, 0).matches, search(second, pat, 50, 20, 0, bottomUp, distance).matches);
        EXPECT_EQ(collect(s, 20, 0).matches, exhaustive(second, pat, 20));
        destroyWHSetup(s);
    }
}

TEST(WHMatchPattern, OneWindowSourcesAndTies) {
    // A source of the pattern's size has one window, whatever its distance.
    const Grey tiny = whtest::noise(16, 16, 9), other = whtest::noise(16, 16, 10);
    EXPECT_EQ(search(tiny, other, 50, 255, 1).matches,
              (std::vector<std::tuple<int, int, std::uint32_t>>{{0, 0, whtest::ssd(tiny, other, 0, 0)}}));
    EXPECT_EQ(search(tiny, other, 50, -1, 1).count, 0);  // nothing is within a negative tolerance

    Grey src = whtest::noise(32, 40, 14);
    const Grey pat = whtest::cut(src, 3, 20, 8);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) src.px[std::size_t(12 + r) * src.cols + 5 + c] = pat.at(r, c);
    const Found one = search(src, pat, 50, 10, 1);
    ASSERT_EQ(one.count, 1);
    EXPECT_EQ(one.matches[0], std::make_tuple(3, 20, 0u));
    const Found all = search(src, pat, 50, 0, 0);
    EXPECT_EQ(all.matches, (std::vector<std::tuple<int, int, std::uint32_t>>{{3, 20, 0}, {12, 5, 0}}));

    const Grey flat{24, 24, std::vector<std::uint8_t>(24 * 24, 77)};
    const Found first = search(flat, whtest::cut(flat, 4, 4, 16), 50, 0, 1);
    ASSERT_EQ(first.count, 1);
    EXPECT_EQ(first.matches[0], std::make_tuple(0, 0, 0u));
}
