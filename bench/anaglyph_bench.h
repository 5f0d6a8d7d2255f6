// What the anaglyph benchmarks share: a pair of 3000 x 2000 views with
// busy pixels and an output picture, memcpy of the output's bytes as the
// yardstick, and a main whose console report gives every other benchmark's
// time as a multiple of that copy's (the "x_memcpy" column).
#pragma once

#include "platform/Surface.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace plastora::bench {

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

inline Pair& pair() {
    static Pair p;
    return p;
}

inline void setBytes(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * std::int64_t{kW} * kH * 4);
}

inline void BM_MemcpyOutputBytes(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        std::memcpy(p.out.bits(), p.right.bits(), p.out.pixelCount() * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// The console report with each run's real time divided by the memcpy's
// (which must be registered first, so that it runs first). With
// repetitions, a mean or median goes by the memcpy's mean or median, a
// standard deviation by the memcpy's mean; the coefficient of variation has
// no such ratio (0). Every row has the column, so the table keeps one header.
class MemcpyRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        std::vector<Run> runs = reports;
        for (Run& run : runs) {
            const std::string kind = run.run_type == Run::RT_Iteration ? "" : run.aggregate_name;
            if (run.run_name.function_name == "BM_MemcpyOutputBytes" && kind != "stddev" && kind != "cv")
                m_memcpy[kind] = run.GetAdjustedRealTime();
            const auto it = m_memcpy.find(kind == "stddev" ? "mean" : kind);
            const bool ratio = it != m_memcpy.end() && it->second > 0 && kind != "cv";
            run.counters["x_memcpy"] = benchmark::Counter(ratio ? run.GetAdjustedRealTime() / it->second : 0.0);
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::map<std::string, double> m_memcpy;  // by aggregate ("" for a single run)
};

inline int runWithMemcpyRatio(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MemcpyRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace plastora::bench
