// The anaglyph methods (least squares in linear light, half colour,
// optimised) against memcpy of the same output bytes and the plain colour
// anaglyph, in the same run, on the picture size of the anaglyph bench.
#include "output/Anaglyph.h"
#include "output/AnaglyphMethods.h"

#include <benchmark/benchmark.h>

#include <cstring>

using namespace plastora;

namespace {

constexpr int kW = 3000, kH = 2000;

struct Pair {
    Surface right, left, out;
    Pair() {
        right.create(kW, kH);
        left.create(kW, kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                right.set(x, y, static_cast<Pixel>((x * 7) ^ (y * 13) ^ (x * y)));
                left.set(x, y, static_cast<Pixel>((x * 11) ^ (y * 5) ^ (x + y)));
            }
        out.create(kW, kH);
    }
};

Pair& pair() {
    static Pair p;
    return p;
}

void setBytes(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4); }

void BM_MemcpyOutputBytes(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        std::memcpy(p.out.bits(), p.right.bits(), p.out.pixelCount() * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// range(0): the filter number (0 the plain red-cyan, in colour).
void BM_AnaglyphMethod(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        BuildAnaglyph(p.out, p.right, p.left, kAnaglyphColour, static_cast<int>(state.range(0)));
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

}  // namespace

BENCHMARK(BM_MemcpyOutputBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphMethod)
    ->ArgName("filter")
    ->Arg(kFilterRedCyan)
    ->Arg(kFilterDuboisRedCyan)
    ->Arg(kFilterDuboisGreenMagenta)
    ->Arg(kFilterDuboisAmberBlue)
    ->Arg(kFilterHalfColour)
    ->Arg(kFilterOptimised)
    ->Unit(benchmark::kMillisecond);
