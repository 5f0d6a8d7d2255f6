// Impossible sizes and failed allocations come back as error results.
#include "WHTestImages.h"
#include "stereo/whmatch/WHDetail.h"
#include "stereo/whmatch/WHMatch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace plastora::whmatch;
using whtest::Grey;

namespace {

bool startsWith(const char* text, const std::string& prefix) {
    return std::string(text).rfind(prefix, 0) == 0;
}

}  // namespace

TEST(WHErrors, ImpossibleSizesAreRefused) {
    struct Case {
        int rows, cols, p, kernels;
    };
    for (Case c : {Case{32, 32, 0, 50}, {32, 32, 1, 50}, {32, 32, 12, 50}, {32, 32, -8, 50},
                   {600, 600, 512, 50}, {15, 32, 16, 50}, {32, 7, 8, 50}, {32, 32, 8, 0},
                   {-5, 32, 4, 10}, {70000, 70000, 8, 50}}) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.cols << " P " << c.p << " kernels " << c.kernels);
        EXPECT_EQ(createWHSetup(c.rows, c.cols, c.p, c.kernels), nullptr);
        EXPECT_TRUE(startsWith(whLastError(), "ERROR in createWHSetup: "));
    }
    EXPECT_EQ(allocMatrix(0, 5), nullptr);
    EXPECT_EQ(allocMatrix(70000, 70000), nullptr);
    EXPECT_EQ(allocBranch(7, 16, 3, 10), nullptr);   // fewer rows than the pattern
    EXPECT_EQ(allocBranch(16, 16, 2, 17), nullptr);  // more kernels than a 4 x 4 pattern has
    EXPECT_EQ(allocBranch(16, 16, 0, 1), nullptr);
}

TEST(WHErrors, MisuseIsRefusedAndLeavesTheSetupUsable) {
    const Grey src = whtest::noise(24, 30, 1), pat = whtest::cut(src, 6, 11, 8);
    const Grey wrong = whtest::noise(24, 31, 2);
    const Image si = src.image(), pi = pat.image(), wi = wrong.image(), none{24, 30, nullptr};
    WHSetup* s = createWHSetup(24, 30, 8, 50);
    ASSERT_NE(s, nullptr);
    std::uint32_t d = 0;
    EXPECT_EQ(matchPattern(s, 50, 1, &d), -1);
    EXPECT_TRUE(startsWith(whLastError(), "ERROR in matchPattern: "));
    EXPECT_FALSE(reloadSourceImage(s, &si));  // nothing loaded yet
    EXPECT_FALSE(loadSourceImage(s, &wi));
    EXPECT_FALSE(loadSourceImage(s, &none));
    EXPECT_FALSE(loadSourceImage(s, nullptr));
    EXPECT_FALSE(loadPatternImage(s, &si));
    ASSERT_TRUE(loadSourceImage(s, &si));
    EXPECT_EQ(matchPattern(s, 50, 1, &d), -1);  // no pattern yet
    ASSERT_TRUE(loadPatternImage(s, &pi));
    EXPECT_FALSE(reloadSourceImage(s, &wi));

    Branch& b = *s->branch;
    std::int32_t v = 0;
    EXPECT_FALSE(computeBasisProjections(&b, 50));
    EXPECT_FALSE(computeBasisProjections(&b, -1));
    EXPECT_FALSE(computeWindowProjection(&b, 3, b.depth, 24 - 8 + 1, 0, &v));  // one row past the windows
    EXPECT_FALSE(computeWindowProjection(&b, 3, 0, 0, 0, &v));
    EXPECT_FALSE(computeWindowProjection(&b, 3, b.depth + 1, 0, 0, &v));

    ASSERT_EQ(matchPattern(s, 50, 1, &d), 1);
    EXPECT_EQ(s->matches[0].row, 6);
    EXPECT_EQ(s->matches[0].col, 11);
    destroyWHSetup(s);
}

// Failing every allocation in turn: each failure is reported with a known
// text, leaves nothing behind (checked under the sanitizers) and the next
// attempt, with no failure injected, finds the pattern.
TEST(WHErrors, EveryAllocationFailureOfASearchIsReported) {
    const Grey src = whtest::smooth(40, 48, 3), pat = whtest::cut(src, 17, 9, 16);
    const Image si = src.image(), pi = pat.image();
    const std::set<std::string> known = {
        "ERROR in createWHSetup: can't allocate setup.",
        "ERROR in createWHSetup: can't allocate branch.",
        "ERROR in createWHSetup: can't allocate matches area.",
        "ERROR in allocMatrix: can't allocate matrix.",
        "ERROR in allocMatrix: can't allocate cellValues array.",
        "ERROR in allocMatrix: can't allocate cellValues rows mapping.",
        "ERROR in allocBranch: can't allocate branch.",
        "ERROR in allocBranch: can't allocate matrices array mapping.",
        "ERROR in allocBranch: can't allocate branch data."};
    std::set<std::string> seen;
    bool succeeded = false;
    for (int n = 0; n < 1000 && !succeeded; ++n) {
        whFailAllocationAfter(n);
        WHSetup* s = createWHSetup(src.rows, src.cols, 16, 50);
        bool ok = s && loadSourceImage(s, &si) && loadPatternImage(s, &pi);
        std::uint32_t d = 0;
        if (ok) ok = matchPattern(s, 50, 1, &d) == 1;
        if (ok) {
            succeeded = true;
            EXPECT_EQ(s->matches[0].row, 17);
            EXPECT_EQ(s->matches[0].col, 9);
        } else {
            EXPECT_TRUE(known.count(whLastError())) << n << ": " << whLastError();
            seen.insert(whLastError());
        }
        destroyWHSetup(s);
    }
    whFailAllocationAfter(-1);
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(seen, known);  // every record's every allocation was hit

    whFailAllocationAfter(0);
    EXPECT_EQ(allocImage(nullptr, 4, 4), nullptr);
    EXPECT_STREQ(whLastError(), "ERROR in allocImage: can't allocate image.");
}
