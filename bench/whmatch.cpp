// Walsh-Hadamard matcher: a 16 x 16 pattern in a 640 x 480 picture, the
// projection of the whole picture onto the kernels, and the per-block
// search the stereo multi-view runs (64 x 32 area, setup made and freed
// for every block).
#include "stereo/whmatch/WHMatch.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

using namespace plastora::whmatch;

namespace {

// A photograph stand-in: slow waves, a few edges and sensor noise.
std::vector<std::uint8_t> picture(int rows, int cols, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::vector<std::uint8_t> px(std::size_t(rows) * cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            double v = 120 + 60 * std::sin(c / 23.0) * std::cos(r / 31.0) + 30 * std::sin((r + c) / 9.0);
            if ((c / 80 + r / 60) % 3 == 0) v += 40;
            px[std::size_t(r) * cols + c] = std::uint8_t(std::clamp(v + noise(rng), 0.0, 255.0));
        }
    return px;
}

std::vector<std::uint8_t> block(const std::vector<std::uint8_t>& px, int cols, int r0, int c0, int p,
                                unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-4, 4);
    std::vector<std::uint8_t> out(std::size_t(p) * p);
    for (int r = 0; r < p; ++r)
        for (int c = 0; c < p; ++c)
            out[std::size_t(r) * p + c] =
                std::uint8_t(std::clamp(px[std::size_t(r0 + r) * cols + c0 + c] + noise(rng), 0, 255));
    return out;
}

constexpr int kRows = 480, kCols = 640, kP = 16, kKernels = 50;

void BM_MatchPattern16In640x480(benchmark::State& state) {
    const int threshold = int(state.range(0));
    const auto px = picture(kRows, kCols, 1);
    const auto pat = block(px, kCols, 200, 300, kP, 2);
    const Image src{kRows, kCols, px.data()}, pi{kP, kP, pat.data()};
    WHSetup* s = createWHSetup(kRows, kCols, kP, kKernels);
    if (!s || !loadSourceImage(s, &src) || !loadPatternImage(s, &pi)) {
        state.SkipWithError(whLastError());
        destroyWHSetup(s);
        return;
    }
    std::uint32_t minDistance = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(matchPattern(s, threshold, 1, &minDistance));
    }
    state.counters["minDistance"] = minDistance;
    state.counters["row"] = s->matches[0].row;
    state.counters["col"] = s->matches[0].col;
    destroyWHSetup(s);
}
BENCHMARK(BM_MatchPattern16In640x480)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

// All windows of the picture projected onto the first `kernels` kernels.
void BM_ProjectWholePicture(benchmark::State& state) {
    const int kernels = int(state.range(0));
    auto px = picture(kRows, kCols, 3);
    Matrix* m = allocMatrix(kRows, kCols);
    Branch* b = allocBranch(kRows, kCols, 4, kernels);
    if (!m || !b) {
        state.SkipWithError(whLastError());
        freeBranch(b);
        freeMatrix(m);
        return;
    }
    std::copy(px.begin(), px.end(), m->cellValues);
    for (auto _ : state) {
        setBranchSource(b, m);  // start from the pixels every time
        for (int k = 0; k < kernels; ++k) computeBasisProjections(b, k);
        benchmark::DoNotOptimize(b->matrices[b->depth]->cellValues[0]);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kRows - kP + 1) * (kCols - kP + 1) * kernels);
    freeBranch(b);
    freeMatrix(m);
}
BENCHMARK(BM_ProjectWholePicture)->Arg(1)->Arg(kKernels)->Unit(benchmark::kMillisecond);

// The multi-view's use: one small search per 16 x 16 block of a 640 x 480
// pair, the right picture being the left one moved by 5 pixels.
void BM_BlockSearchesOfAPair(benchmark::State& state) {
    const auto left = picture(kRows, kCols + 5, 4);
    std::vector<std::uint8_t> right(std::size_t(kRows) * kCols), leftView(right.size());
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            leftView[std::size_t(r) * kCols + c] = left[std::size_t(r) * (kCols + 5) + c + 5];
            right[std::size_t(r) * kCols + c] = left[std::size_t(r) * (kCols + 5) + c];
        }
    constexpr int areaCols = 64, areaRows = 32;
    std::vector<std::uint8_t> area(areaRows * areaCols), pat(kP * kP);
    int matched = 0;
    for (auto _ : state) {
        matched = 0;
        for (int y0 = 0; y0 + kP <= kRows; y0 += kP)
            for (int x0 = 0; x0 + kP <= kCols; x0 += kP) {
                const int left0 = std::clamp(x0 + kP / 2 - areaCols / 2, 0, kCols - areaCols - 1);
                const int top0 = std::clamp(y0 + kP / 2 - areaRows / 2, 0, kRows - areaRows - 1);
                for (int r = 0; r < areaRows; ++r)
                    std::copy_n(&right[std::size_t(top0 + r) * kCols + left0], areaCols, &area[r * areaCols]);
                for (int r = 0; r < kP; ++r)
                    std::copy_n(&leftView[std::size_t(y0 + r) * kCols + x0], kP, &pat[r * kP]);
                const Image ai{areaRows, areaCols, area.data()}, pi{kP, kP, pat.data()};
                WHSetup* s = createWHSetup(areaRows, areaCols, kP, kKernels);
                std::uint32_t d = 0;
                if (s && loadSourceImage(s, &ai) && loadPatternImage(s, &pi) &&
                    matchPattern(s, 50, 1, &d) > 0 && d / (kP * kP) <= 35 * 35)
                    ++matched;
                destroyWHSetup(s);
            }
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * (kRows / kP) * (kCols / kP));
}
BENCHMARK(BM_BlockSearchesOfAPair)->Unit(benchmark::kMillisecond);

}  // namespace
