// The colour reduction of the animated-GIF output on 640 x 480 frames (a
// synthetic one and a bundled sample photo): the palette (the slow step),
// the nearest-colour mapping of a frame, and, as the yardstick in the same
// run, ImageMagick's own 256-colour quantisation of the same frame
// (`convert -colors 256`, timed as a whole process; its start-up is part of
// its time). Each reports the mean squared error of the reduced frame
// against the original (per channel, 0..255 units) as the counter "mse".
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
const std::vector<Pixel>& syntheticFrame() {
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

std::string tempFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

// Raw RGB bytes of a picture file as ImageMagick decodes it, at 640 x 480.
std::vector<Pixel> decodeWithMagick(const std::string& path, const char* extra = "") {
    std::vector<Pixel> v;
    const std::string cmd = "convert '" + path + "' " + extra + " -depth 8 rgb:- 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return v;
    unsigned char rgb[3];
    while (std::fread(rgb, 1, 3, p) == 3) v.push_back(kOpaque | (Pixel{rgb[0]} << 16) | (Pixel{rgb[1]} << 8) | rgb[2]);
    ::pclose(p);
    if (v.size() != static_cast<std::size_t>(kW) * kH) v.clear();
    return v;
}

const std::vector<Pixel>& photoFrame() {
    static const std::vector<Pixel> px =
        decodeWithMagick(PLASTORA_SOURCE_DIR "/data/sample/astronaut.jpg", "-resize 640x480!");
    return px;
}

const std::vector<Pixel>& frame(int which) { return which == 0 ? syntheticFrame() : photoFrame(); }

double meanSquaredError(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    if (a.size() != b.size() || a.empty()) return -1;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const double d = static_cast<double>((a[i] >> shift) & 0xFFu) - static_cast<double>((b[i] >> shift) & 0xFFu);
            sum += d * d;
        }
    return sum / (3.0 * static_cast<double>(a.size()));
}

void BM_KMeansPalette(benchmark::State& state) {
    const std::vector<Pixel>& px = frame(static_cast<int>(state.range(0)));
    if (px.empty()) return state.SkipWithError("no frame");
    std::array<std::uint32_t, 256> palette{};
    for (auto _ : state) {
        if (!clusterPalette(px, palette)) state.SkipWithError("clustering failed");
        benchmark::DoNotOptimize(palette);
    }
    NearestPalette nearest(palette);
    std::vector<Pixel> mapped(px.size());
    for (std::size_t i = 0; i < px.size(); ++i) mapped[i] = kOpaque | palette[nearest.nearest(px[i])];
    state.counters["mse"] = meanSquaredError(px, mapped);
}
BENCHMARK(BM_KMeansPalette)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NearestMapping(benchmark::State& state) {
    const std::vector<Pixel>& px = frame(static_cast<int>(state.range(0)));
    if (px.empty()) return state.SkipWithError("no frame");
    std::array<std::uint32_t, 256> palette{};
    clusterPalette(px, palette);
    std::vector<std::uint8_t> out(px.size());
    for (auto _ : state) {
        NearestPalette nearest(palette);  // cells are built afresh each frame
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = nearest.nearest(px[i]);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_NearestMapping)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: ImageMagick reducing the same frame (written once as a
// binary PPM) to 256 colours, timed per whole `convert` run.
void BM_ImageMagickColors256(benchmark::State& state) {
    const std::vector<Pixel>& px = frame(static_cast<int>(state.range(0)));
    if (px.empty()) return state.SkipWithError("no frame");
    const std::string in = tempFile("plastora-bench-palette.ppm");
    const std::string out = tempFile("plastora-bench-palette.gif");
    {
        std::ofstream f(in, std::ios::binary);
        f << "P6\n" << kW << " " << kH << "\n255\n";
        for (Pixel p : px) {
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
    state.counters["mse"] = meanSquaredError(px, decodeWithMagick(out));
    std::filesystem::remove(in);
    std::filesystem::remove(out);
}
BENCHMARK(BM_ImageMagickColors256)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
