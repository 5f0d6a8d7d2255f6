// Whole-surface raster operations at the working size of a large print,
// against a plain memcpy of the same bytes as the memory-bandwidth yardstick.
#include "platform/Surface.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace plastora;

namespace {

constexpr int kW = 4000;
constexpr int kH = 3000;
constexpr std::int64_t kBytes = std::int64_t{kW} * kH * static_cast<std::int64_t>(sizeof(Pixel));

Surface& source() {
    static Surface s = [] {
        Surface m;
        m.create(kW, kH);
        std::uint32_t v = 12345;
        for (std::size_t i = 0; i < m.pixelCount(); ++i) {
            v = v * 1664525u + 1013904223u;
            m.bits()[i] = v | kOpaque;
        }
        return m;
    }();
    return s;
}

void runRop(benchmark::State& state, Rop op) {
    const Surface& src = source();
    Surface dst;
    dst.createCopy(src);
    for (auto _ : state) {
        blit(dst, src, op);
        benchmark::DoNotOptimize(dst.bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_And(benchmark::State& state) { runRop(state, Rop::And); }
void BM_Or(benchmark::State& state) { runRop(state, Rop::Or); }
void BM_Copy(benchmark::State& state) { runRop(state, Rop::Copy); }
void BM_MergePaint(benchmark::State& state) { runRop(state, Rop::MergePaint); }

void BM_Memcpy(benchmark::State& state) {
    const Surface& src = source();
    std::vector<Pixel> dst(src.pixelCount(), 0);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.bits(), static_cast<std::size_t>(kBytes));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_And)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Or)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergePaint)->Unit(benchmark::kMillisecond);
