// Kernel projections of the Walsh-Hadamard matcher against dot products with
// explicitly built kernels.
#include "WHTestImages.h"
#include "stereo/whmatch/WHMatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <numeric>
#include <random>
#include <vector>

using namespace plastora::whmatch;
using whtest::Grey;

namespace {

// Rows of the Sylvester-Hadamard matrix of order n, indexed by their number
// of sign changes (each count from 0 to n - 1 occurs once).
std::vector<std::vector<int>> sequencyWalsh(int n) {
    std::vector<std::vector<int>> h{{1}};
    while (int(h.size()) < n) {
        const std::size_t m = h.size();
        std::vector<std::vector<int>> next(2 * m, std::vector<int>(2 * m));
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < m; ++j) {
                next[i][j] = next[i][j + m] = next[i + m][j] = h[i][j];
                next[i + m][j + m] = -h[i][j];
            }
        h = std::move(next);
    }
    std::vector<std::vector<int>> bySequency(n);
    for (const auto& row : h) {
        int changes = 0;
        for (int x = 1; x < n; ++x) changes += row[x] != row[x - 1];
        bySequency[changes] = row;
    }
    return bySequency;
}

// Kernel k of a P x P window: the column sequency is made of k's odd bits,
// the row sequency of its even bits.
std::vector<int> kernel(int p, int k) {
    static std::vector<std::vector<int>> walsh;
    if (int(walsh.size()) != p) walsh = sequencyWalsh(p);
    int across = 0, down = 0;
    for (int b = 0; (1 << b) < p; ++b) {
        down |= ((k >> (2 * b)) & 1) << b;
        across |= ((k >> (2 * b + 1)) & 1) << b;
    }
    std::vector<int> kern(std::size_t(p) * p);
    for (int y = 0; y < p; ++y)
        for (int x = 0; x < p; ++x) kern[std::size_t(y) * p + x] = walsh[down][y] * walsh[across][x];
    return kern;
}

// expected[k][r * windowCols + c]: projection of window (r, c) on kernel k.
std::vector<std::vector<std::int32_t>> directProjections(const Grey& g, int p, int kernels) {
    const int wr = g.rows - p + 1, wc = g.cols - p + 1;
    std::vector<std::vector<std::int32_t>> out(kernels);
    for (int k = 0; k < kernels; ++k) {
        const std::vector<int> kern = kernel(p, k);
        out[k].resize(std::size_t(wr) * wc);
        for (int r = 0; r < wr; ++r)
            for (int c = 0; c < wc; ++c) {
                std::int32_t sum = 0;
                for (int y = 0; y < p; ++y)
                    for (int x = 0; x < p; ++x) sum += kern[std::size_t(y) * p + x] * g.at(r + y, c + x);
                out[k][std::size_t(r) * wc + c] = sum;
            }
    }
    return out;
}

// A branch over g's pixels; the matrix outlives the branch.
struct BranchOver {
    Matrix* source = nullptr;
    Branch* branch = nullptr;
    BranchOver(const Grey& g, int p, int kernels) {
        source = allocMatrix(g.rows, g.cols);
        std::copy(g.px.begin(), g.px.end(), source->cellValues);
        branch = allocBranch(g.rows, g.cols, std::countr_zero(unsigned(p)), kernels);
        setBranchSource(branch, source);
    }
    ~BranchOver() {
        freeBranch(branch);
        freeMatrix(source);
    }
};

}  // namespace

TEST(WHKernelTables, SignsStampsAndPrefixesOfTheSmallestCommonPattern) {
    Branch* b = allocBranch(8, 8, 3, 8);
    ASSERT_NE(b, nullptr);
    const char* signs[8] = {"++++++", "+++++-", "++++-+", "++++--",
                            "+++-+-", "+++-++", "+++---", "+++--+"};
    for (int k = 0; k < 8; ++k)
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(sign(*b, i, k), signs[k][i] == '+' ? 1 : -1) << "kernel " << k << " step " << i;
    const int stamps4[7] = {0, 1, 2, 3, 11, 12, 13};
    const int stamps7[7] = {0, 1, 2, 3, 11, 15, 17};
    for (int level = 0; level <= 6; ++level) {
        EXPECT_EQ(stamp(*b, level, 4), stamps4[level]);
        EXPECT_EQ(stamp(*b, level, 7), stamps7[level]);
    }
    EXPECT_EQ(prefixLength(*b, 6, 7), 1);
    EXPECT_EQ(prefixLength(*b, 3, 4), 3);
    EXPECT_EQ(prefixLength(*b, 5, 5), 0);
    freeBranch(b);
}

TEST(WHCascade, EqualsDirectDotProductsInAnyKernelOrder) {
    for (int p : {2, 4, 8, 16}) {
        SCOPED_TRACE(p);
        const Grey g = whtest::noise(p + 21, p + 26, 100 + p);
        const int kernels = std::min(p * p, 64);
        const auto expected = directProjections(g, p, kernels);
        BranchOver bo(g, p, kernels);
        ASSERT_NE(bo.branch, nullptr);

        std::vector<int> order(kernels);
        std::iota(order.begin(), order.end(), 0);
        std::vector<int> visits = order;                   // ascending
        visits.insert(visits.end(), order.rbegin(), order.rend());  // descending
        std::shuffle(order.begin(), order.end(), std::mt19937(p));
        visits.insert(visits.end(), order.begin(), order.end());    // scattered

        const Matrix* last = bo.branch->matrices[bo.branch->depth];
        int wrong = 0;
        for (int k : visits) {
            ASSERT_TRUE(computeBasisProjections(bo.branch, k));
            ASSERT_EQ(last->size, int(expected[k].size()));
            for (int i = 0; i < last->size; ++i) wrong += last->cellValues[i] != expected[k][i];
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(WHCascade, KernelsDifferingInTheLowestBitShareAllButTheLastStep) {
    const Grey g = whtest::noise(20, 24, 7);
    const auto expected = directProjections(g, 8, 4);
    BranchOver bo(g, 8, 4);
    ASSERT_TRUE(computeBasisProjections(bo.branch, 2));
    // Kernel 3 must come from level D - 1 alone: clearing the source must
    // not change it.
    std::fill_n(bo.source->cellValues, bo.source->size, 0);
    ASSERT_TRUE(computeBasisProjections(bo.branch, 3));
    const Matrix* last = bo.branch->matrices[bo.branch->depth];
    EXPECT_TRUE(std::equal(last->cellValues, last->cellValues + last->size, expected[3].begin()));
}

TEST(WHWindowProjection, EqualsTheCascadeAtEveryLevel) {
    for (int p : {2, 8, 16}) {
        SCOPED_TRACE(p);
        const Grey g = whtest::smooth(p + 19, p + 23, 200 + p);
        const int kernels = std::min(p * p, 64);
        const auto expected = directProjections(g, p, kernels);
        const int wc = g.cols - p + 1;
        BranchOver bo(g, p, kernels);
        BranchOver reference(g, p, kernels);
        std::mt19937 rng(p);

        // As the search uses it: one full cascade, then a shrinking set of
        // windows through the following kernels.
        ASSERT_TRUE(computeBasisProjections(bo.branch, 1));
        std::vector<std::pair<int, int>> windows;
        for (int i = 0; i < 60; ++i)
            windows.emplace_back(int(rng() % (g.rows - p + 1)), int(rng() % wc));
        int wrong = 0;
        for (int k = 2; k < kernels; ++k) {
            for (auto [r, c] : windows) {
                std::int32_t v = 0;
                ASSERT_TRUE(computeWindowProjection(bo.branch, k, bo.branch->depth, r, c, &v));
                wrong += v != expected[k][std::size_t(r) * wc + c];
            }
            if (windows.size() > 3 && k % 3 == 0) windows.resize(windows.size() * 3 / 4);
        }
        EXPECT_EQ(wrong, 0);

        // Any level, any order of kernels, mixed with full cascades.
        for (int trial = 0; trial < 300; ++trial) {
            const int k = int(rng() % kernels);
            const int level = 1 + int(rng() % bo.branch->depth);
            const Matrix* m = reference.branch->matrices[level];
            const int r = int(rng() % m->rows), c = int(rng() % m->cols);
            if (trial % 50 == 0) {
                ASSERT_TRUE(computeBasisProjections(bo.branch, k));
            }
            ASSERT_TRUE(computeBasisProjections(reference.branch, k));
            std::int32_t v = 0;
            ASSERT_TRUE(computeWindowProjection(bo.branch, k, level, r, c, &v));
            EXPECT_EQ(v, m->rowsMapping[r][c]) << "kernel " << k << " level " << level;
        }
    }
}
