// The colour reduction of the animated-GIF output on a 640 x 480 frame: the
// k-means palette (the slow step), the nearest-colour mapping of a frame,
// and, as the yardstick in the same run, ImageMagick's own 256-colour
// quantisation of the same frame (`convert -colors 256`, timed as a whole
// process; its start-up is part of its time).
#include "output/Video.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace plastora;

constexpr int kW = 640;
constexpr int kH = 480;

// A photograph stand-in: smooth shading in all three channels with some
// texture, so that far more than 256 colours occur.
const std::vector<Pixel>& frame() {
    static const std::vector<Pixel> px = [] {
        std::vector<Pixel> v(static_cast<std::size_t>(kW) * kH);
        std::uint32_t seed = 99;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = static_cast<int>((seed >> 27) & 7) - 4;
                auto ch = [&](double v) { return static_cast<Pixel>(std::clamp(std::lround(v) + noise, 0L, 255L)); };
                const Pixel r = ch(128 + 100 * std::sin(x * 0.013 + y * 0.002));
                const Pixel g = ch(128 + 90 * std::cos(y * 0.011 - x * 0.004));
                const Pixel b = ch(110 + 80 * std::sin((x + y) * 0.007));
                v[static_cast<std::size_t>(y) * kW + x] = kOpaque | (r << 16) | (g << 8) | b;
            }
        return v;
    }();
    return px;
}

void BM_KMeansPalette(benchmark::State& state) {
    std::array<std::uint32_t, 256> palette{};
    for (auto _ : state) {
        if (!clusterPalette(frame(), palette)) state.SkipWithError("clustering failed");
        benchmark::DoNotOptimize(palette);
    }
}
BENCHMARK(BM_KMeansPalette)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NearestMapping(benchmark::State& state) {
    std::array<std::uint32_t, 256> palette{};
    clusterPalette(frame(), palette);
    std::vector<std::uint8_t> out(frame().size());
    for (auto _ : state) {
        NearestPalette nearest(palette);  // cells are built afresh each frame
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = nearest.nearest(frame()[i]);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_NearestMapping)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: ImageMagick reducing the same frame (written once as a
// binary PPM) to 256 colours, timed per whole `convert` run.
void BM_ImageMagickColors256(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string in = (dir / "plastora-bench-palette.ppm").string();
    const std::string out = (dir / "plastora-bench-palette.gif").string();
    {
        std::ofstream f(in, std::ios::binary);
        f << "P6\n" << kW << " " << kH << "\n255\n";
        for (Pixel p : frame()) {
            const char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
            f.write(rgb, 3);
        }
    }
    const std::string cmd = "convert '" + in + "' -colors 256 '" + out + "' 2>/dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("ImageMagick's convert is not available");
            break;
        }
    }
    std::filesystem::remove(in);
    std::filesystem::remove(out);
}
BENCHMARK(BM_ImageMagickColors256)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
