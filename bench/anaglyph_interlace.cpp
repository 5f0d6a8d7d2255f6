// The anaglyph and display interlace builds against memcpy of the same
// output bytes, in the same run. Both are one pass over W x H pixels of two
// views; the aim is to stay within three times the copy.
#include "anaglyph_bench.h"

#include "output/Anaglyph.h"
#include "output/Interlace.h"
#include "output/Diffraction.h"

using namespace plastora;
using namespace plastora::bench;

namespace {

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

int main(int argc, char** argv) { return runWithMemcpyRatio(argc, argv); }
