// View synthesis and the lenticular composite against memcpy of the same
// output bytes, in the same run.
#include "core/StereoWorkspace.h"
#include "platform/Host.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

using namespace plastora;

namespace {

constexpr int kW = 3000, kH = 2000, kViews = 8, kRegions = 8;

struct Scene {
    SilentHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    Scene() {
        const auto ini = std::filesystem::temp_directory_path() / "plastora-bench-views.ini";
        std::ofstream(ini) << "[Lenticular]\nSize=" << kViews << "\n";
        ws = std::make_unique<CStereoWorkspace>(host, ini.string());
        Surface photo;
        photo.create(kW, kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) photo.set(x, y, static_cast<Pixel>((x * 7) ^ (y * 13)));
        ws->adoptPicture(std::move(photo));
        ws->SetMode(kModeMask);
        ws->backgroundDepth = -16;
        // Eight regions: ellipses of different sizes spread over the picture.
        for (int r = 0; r < kRegions; ++r) {
            if (r > 0) ws->appendRegion(0);
            ws->region(r).depth = -8 + 3 * r;
            const Rect box{150 + r * 330, 200 + (r % 3) * 400, 150 + r * 330 + 600, 200 + (r % 3) * 400 + 900};
            ellipse(ws->region(r).mask, Pen{1, 0xFFFFFF}, Brush{0xFFFFFF}, box);
        }
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_GenerateViews(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) s.ws->GenerateViews(nullptr, 2, false);
    state.SetBytesProcessed(state.iterations() * int64_t{kViews} * kW * kH * 4);
}

void BM_MemcpyViewBytes(benchmark::State& state) {
    std::vector<Pixel> from(static_cast<std::size_t>(kW) * kH, 1), to(from.size());
    for (auto _ : state) {
        for (int v = 0; v < kViews; ++v) {
            std::memcpy(to.data(), from.data(), from.size() * sizeof(Pixel));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kViews} * kW * kH * 4);
}

void BM_Compose(benchmark::State& state) {
    Scene& s = scene();
    s.ws->GenerateViews(nullptr, 2, false);
    for (auto _ : state) s.ws->BuildComposite();
    const int64_t bytes = int64_t{kViews} * kW / 2 * (int64_t{kViews} * kH / 2) * 4;
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_MemcpyCompositeBytes(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(kViews) * kW / 2 * (static_cast<std::size_t>(kViews) * kH / 2);
    std::vector<Pixel> from(n, 1), to(n);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), n * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n * 4));
}

}  // namespace

BENCHMARK(BM_GenerateViews)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_MemcpyViewBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compose)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_MemcpyCompositeBytes)->Unit(benchmark::kMillisecond);

// Showing the composite: the halftone reduction back to W x H.
void BM_CompositeDisplay(benchmark::State& state) {
    Scene& s = scene();
    s.ws->GenerateViews(nullptr, 2, false);
    s.ws->BuildComposite();
    Surface display;
    display.create(kW, kH);
    for (auto _ : state)
        stretchBlit(display, 0, 0, kW, kH, s.ws->composite(), 0, 0, s.ws->composite().width(),
                    s.ws->composite().height(), Rop::Copy, StretchMode::Halftone);
}
BENCHMARK(BM_CompositeDisplay)->Unit(benchmark::kMillisecond);
