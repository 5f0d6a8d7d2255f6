// GIF coding of one 8-bit frame, the way the animated-GIF output writes each
// view, and decoding it again; at 640 x 480 and 1920 x 1080. giflib, when its
// shared library is found at run time, does the same work in the same run as
// the yardstick.
#include "pixelune/pixelune.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

namespace {

// A colour-reduced photograph stand-in: smooth shading in 256 levels with a
// little dither, bottom-up rows of `width` bytes.
std::vector<unsigned char> frame(int w, int h) {
    std::vector<unsigned char> px(static_cast<std::size_t>(w) * h);
    std::uint32_t seed = 2024;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const double v = 128 + 60 * std::sin(x * 0.011 + y * 0.004) + 50 * std::cos(y * 0.017 - x * 0.003) +
                             ((seed >> 28) == 0 ? static_cast<int>((seed >> 24) & 3) - 1 : 0);
            px[static_cast<std::size_t>(h - 1 - y) * w + x] = static_cast<unsigned char>(std::lround(v) & 0xFF);
        }
    return px;
}

std::vector<std::uint32_t> palette() {
    std::vector<std::uint32_t> p(256);
    for (std::uint32_t i = 0; i < 256; ++i) p[i] = (i << 16) | ((255 - i) << 8) | (i * 7 & 0xFF);
    return p;
}

struct Data {
    int w, h;
    std::vector<unsigned char> pixels;
    std::vector<std::uint32_t> colours;
    std::vector<char> encoded;
};

Data& data(int w, int h) {
    static Data small{640, 480, frame(640, 480), palette(), {}};
    static Data large{1920, 1080, frame(1920, 1080), palette(), {}};
    Data& d = w == 640 ? small : large;
    if (d.encoded.empty()) {
        std::vector<char> out(static_cast<std::size_t>(w) * h * 2 + 4096);
        std::FILE* f = fmemopen(out.data(), out.size(), "wb");
        GifWrite(0, f, d.pixels.data(), d.colours.data(), 8, w, h, w, nullptr, 0, plastora::Point{-1, -1}, 0);
        const long n = std::ftell(f);
        std::fclose(f);
        out.resize(static_cast<std::size_t>(n));
        d.encoded = std::move(out);
    }
    return d;
}

void encode(benchmark::State& state) {
    Data& d = data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<char> out(static_cast<std::size_t>(d.w) * d.h * 2 + 4096);
    for (auto _ : state) {
        std::FILE* f = fmemopen(out.data(), out.size(), "wb");
        GifWrite(0, f, d.pixels.data(), d.colours.data(), 8, d.w, d.h, d.w, nullptr, 0, plastora::Point{-1, -1}, 0);
        std::fclose(f);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * d.w * d.h);
    state.counters["bytes"] = static_cast<double>(d.encoded.size());
}

void decode(benchmark::State& state) {
    Data& d = data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        std::FILE* f = fmemopen(d.encoded.data(), d.encoded.size(), "rb");
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        GifRead(0, f, &pixels, nullptr, nullptr, &w, &h, nullptr, nullptr, nullptr, nullptr);
        std::fclose(f);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    state.SetItemsProcessed(state.iterations() * d.w * d.h);
}

// ---------------------------------------------------------------------------
// giflib, found at run time.

struct Giflib {
    decltype(&EGifOpen) eOpen = nullptr;
    decltype(&EGifPutScreenDesc) eScreen = nullptr;
    decltype(&EGifPutImageDesc) eImage = nullptr;
    decltype(&EGifPutLine) eLine = nullptr;
    decltype(&EGifCloseFile) eClose = nullptr;
    decltype(&GifMakeMapObject) makeMap = nullptr;
    decltype(&GifFreeMapObject) freeMap = nullptr;
    decltype(&DGifOpen) dOpen = nullptr;
    decltype(&DGifSlurp) dSlurp = nullptr;
    decltype(&DGifCloseFile) dClose = nullptr;
    bool ok = false;

    Giflib() {
        void* lib = dlopen("libgif.so.7", RTLD_NOW);
        if (!lib) return;
        auto get = [&](auto& fn, const char* name) { fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name)); };
        get(eOpen, "EGifOpen");
        get(eScreen, "EGifPutScreenDesc");
        get(eImage, "EGifPutImageDesc");
        get(eLine, "EGifPutLine");
        get(eClose, "EGifCloseFile");
        get(makeMap, "GifMakeMapObject");
        get(freeMap, "GifFreeMapObject");
        get(dOpen, "DGifOpen");
        get(dSlurp, "DGifSlurp");
        get(dClose, "DGifCloseFile");
        ok = eOpen && eScreen && eImage && eLine && eClose && makeMap && freeMap && dOpen && dSlurp && dClose;
    }
};

const Giflib& giflib() {
    static Giflib g;
    return g;
}

struct Memory {
    std::vector<char>* bytes;
    std::size_t pos = 0;
};

int writeMemory(GifFileType* gif, const GifByteType* p, int n) {
    auto* m = static_cast<Memory*>(gif->UserData);
    std::memcpy(m->bytes->data() + m->pos, p, static_cast<std::size_t>(n));
    m->pos += static_cast<std::size_t>(n);
    return n;
}

int readMemory(GifFileType* gif, GifByteType* p, int n) {
    auto* m = static_cast<Memory*>(gif->UserData);
    const std::size_t k = std::min(static_cast<std::size_t>(n), m->bytes->size() - m->pos);
    std::memcpy(p, m->bytes->data() + m->pos, k);
    m->pos += k;
    return static_cast<int>(k);
}

void giflibEncode(benchmark::State& state) {
    const Giflib& g = giflib();
    if (!g.ok) {
        state.SkipWithError("libgif.so.7 not found");
        return;
    }
    Data& d = data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(d.colours[i] >> 16),
                                  static_cast<GifByteType>(d.colours[i] >> 8), static_cast<GifByteType>(d.colours[i])};
    std::vector<char> out(static_cast<std::size_t>(d.w) * d.h * 2 + 4096);
    std::size_t size = 0;
    for (auto _ : state) {
        Memory m{&out};
        int error = 0;
        GifFileType* gif = g.eOpen(&m, writeMemory, &error);
        ColorMapObject* map = g.makeMap(256, colours.data());
        g.eScreen(gif, d.w, d.h, 8, 0, map);
        g.eImage(gif, 0, 0, d.w, d.h, false, nullptr);
        for (int y = 0; y < d.h; ++y) g.eLine(gif, d.pixels.data() + static_cast<std::size_t>(d.h - 1 - y) * d.w, d.w);
        g.eClose(gif, &error);
        g.freeMap(map);
        size = m.pos;
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * d.w * d.h);
    state.counters["bytes"] = static_cast<double>(size);
}

void giflibDecode(benchmark::State& state) {
    const Giflib& g = giflib();
    if (!g.ok) {
        state.SkipWithError("libgif.so.7 not found");
        return;
    }
    Data& d = data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        Memory m{&d.encoded};
        int error = 0;
        GifFileType* gif = g.dOpen(&m, readMemory, &error);
        g.dSlurp(gif);
        benchmark::DoNotOptimize(gif->SavedImages);
        g.dClose(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * d.w * d.h);
}

}  // namespace

BENCHMARK(encode)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(giflibEncode)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(decode)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(giflibDecode)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
