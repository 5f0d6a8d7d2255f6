// The anaglyph methods (least squares in linear light, half colour,
// optimised) against memcpy of the same output bytes and the plain colour
// anaglyph, in the same run, on the picture size of the anaglyph bench.
// The aim: within twice the copy's time. The least-squares methods run on
// the kernel this processor takes (see anaglyphKernel()); the AVX2 kernel
// on one thread and the portable kernel on every core and on one thread are
// timed too.
#include "anaglyph_bench.h"

#include "output/Anaglyph.h"
#include "output/AnaglyphMethods.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace plastora;
using namespace plastora::bench;

namespace {

// range(0): the filter number (0 the plain red-cyan, in colour).
void BM_AnaglyphMethod(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        BuildAnaglyph(p.out, p.right, p.left, kAnaglyphColour, static_cast<int>(state.range(0)));
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// The whole picture on one thread (the row form) with the given kernel, for
// the cost per core.
void timeOneThread(benchmark::State& state, AnaglyphKernel kernel) {
    Pair& p = pair();
    const int method = static_cast<int>(state.range(0));
    BuildAnaglyph(p.out, p.right, p.left, kAnaglyphColour, method);  // the tables
    for (auto _ : state) {
        BuildAnaglyphMethodRows(p.out, p.right, p.left, method, 0, kH, kernel);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// The same on one thread, with the kernel this processor takes.
void BM_AnaglyphMethodOneThread(benchmark::State& state) { timeOneThread(state, anaglyphKernel()); }

// The AVX2 kernel on one thread, which the wide (AVX-512) kernel replaces
// where the processor has it.
void BM_AnaglyphVectorOneThread(benchmark::State& state) {
    if (!anaglyphKernelAvailable(AnaglyphKernel::Vector)) {
        state.SkipWithError("no AVX2 and FMA");
        return;
    }
    timeOneThread(state, AnaglyphKernel::Vector);
}

// The least-squares methods with the portable integer kernel, which
// processors without AVX2 and FMA take: on every core, in bands of rows as
// BuildAnaglyphMethod makes them, and on one thread.
void BM_AnaglyphPortable(benchmark::State& state) {
    Pair& p = pair();
    const int method = static_cast<int>(state.range(0));
    BuildAnaglyph(p.out, p.right, p.left, kAnaglyphColour, method);  // the tables
    const double bands = std::ceil(static_cast<double>(kW) * kH / (1 << 16));
    for (auto _ : state) {
        cv::parallel_for_(
            cv::Range(0, kH),
            [&](const cv::Range& r) {
                BuildAnaglyphMethodRows(p.out, p.right, p.left, method, r.start, r.end, AnaglyphKernel::Portable);
            },
            bands);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void BM_AnaglyphPortableOneThread(benchmark::State& state) { timeOneThread(state, AnaglyphKernel::Portable); }

// The fastest repetition, beside the mean and median: on a machine shared
// with other work the slowest runs carry the others' load, the fastest the
// least of it, so with repetitions its x_memcpy (against the copy's fastest)
// is the steadiest comparison between builds.
double fastest(const std::vector<double>& times) {
    return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

}  // namespace

BENCHMARK(BM_MemcpyOutputBytes)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphMethod)
    ->ArgName("filter")
    ->Arg(kFilterRedCyan)
    ->Arg(kFilterDuboisRedCyan)
    ->Arg(kFilterDuboisGreenMagenta)
    ->Arg(kFilterDuboisAmberBlue)
    ->Arg(kFilterHalfColour)
    ->Arg(kFilterOptimised)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphMethodOneThread)
    ->ArgName("filter")
    ->DenseRange(kFilterDuboisRedCyan, kFilterOptimised)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphVectorOneThread)
    ->ArgName("filter")
    ->DenseRange(kFilterDuboisRedCyan, kFilterDuboisAmberBlue)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_AnaglyphPortable)
    ->ArgName("filter")
    ->DenseRange(kFilterDuboisRedCyan, kFilterDuboisAmberBlue)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphPortableOneThread)
    ->ArgName("filter")
    ->DenseRange(kFilterDuboisRedCyan, kFilterDuboisAmberBlue)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runWithMemcpyRatio(argc, argv); }
