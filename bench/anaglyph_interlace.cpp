// The anaglyph and display interlace builds against memcpy of the same
// output bytes, in the same run. Both are one pass over W x H pixels of two
// views; the aim is to stay within three times the copy.
#include "output/Anaglyph.h"
#include "output/Interlace.h"
#include "output/Diffraction.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

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

// range(0): colour mode; range(1): filter.
void BM_Anaglyph(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        BuildAnaglyph(p.out, p.right, p.left, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// range(0): interlace type.
void BM_Interlace(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        BuildInterlace(p.out, p.right, p.left, static_cast<int>(state.range(0)), false);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void BM_SpectralTint(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        BuildGreyTint(p.out, p.right, RGB(0, 0, 255), true);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

}  // namespace

BENCHMARK(BM_MemcpyOutputBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Anaglyph)
    ->ArgNames({"colour", "filter"})
    ->Args({kAnaglyphGrey, kFilterRedCyan})
    ->Args({kAnaglyphGrey, kFilterRedBlue})
    ->Args({kAnaglyphColour, kFilterRedCyan})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interlace)->ArgName("columns")->Arg(kInterlaceRows)->Arg(kInterlaceColumns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectralTint)->Unit(benchmark::kMillisecond);
