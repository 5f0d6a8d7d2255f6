// Brightness and contrast through HSV: the whole photo (3000 x 2000, what OK
// adjusts) and the dialog's preview of a 1000 x 700 display, which runs on
// every trackbar move and must stay under 30 ms to feel interactive. Every
// pixel of the test picture differs from its neighbour, so no repeated
// colour is reused: this is the worst case. The quarter turn of the photo is
// measured beside them.
#include "output/Adjust.h"

#include <benchmark/benchmark.h>

using namespace plastora;

namespace {

Surface picture(int w, int h) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.set(x, y, static_cast<Pixel>(((x * 7 + y) & 0xFF) << 16 | ((x * 3 + y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF)));
    return s;
}

void run(benchmark::State& state, int w, int h) {
    const Surface src = picture(w, h);
    Surface dst;
    dst.create(w, h);
    const int b = static_cast<int>(state.range(0)), c = static_cast<int>(state.range(1));
    for (auto _ : state) {
        AdjustSurface(src, dst, b, c);
        benchmark::DoNotOptimize(dst.bits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{w} * h);
}

void BM_AdjustPhoto3000x2000(benchmark::State& state) { run(state, 3000, 2000); }
void BM_AdjustPreview1000x700(benchmark::State& state) { run(state, 1000, 700); }

void BM_RotateQuarter3000x2000(benchmark::State& state) {
    const Surface src = picture(3000, 2000);
    Surface dst;
    for (auto _ : state) {
        RotateQuarterLeft(src, dst);
        benchmark::DoNotOptimize(dst.bits());
    }
}

}  // namespace

BENCHMARK(BM_AdjustPhoto3000x2000)->Args({30, 0})->Args({20, 40})->Args({-20, -40})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdjustPreview1000x700)->Args({30, 0})->Args({20, 40})->Args({-20, -40})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateQuarter3000x2000)->Unit(benchmark::kMillisecond);
