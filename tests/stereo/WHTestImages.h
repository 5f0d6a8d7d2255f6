// Grey pictures and brute-force references for the matcher's tests.
#pragma once

#include "stereo/whmatch/WHMatch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace whtest {

struct Grey {
    int rows = 0;
    int cols = 0;
    std::vector<std::uint8_t> px;
    std::uint8_t at(int r, int c) const { return px[std::size_t(r) * cols + c]; }
    plastora::whmatch::Image image() const { return {rows, cols, px.data()}; }
};

inline Grey noise(int rows, int cols, unsigned seed) {
    std::mt19937 rng(seed);
    Grey g{rows, cols, std::vector<std::uint8_t>(std::size_t(rows) * cols)};
    for (auto& p : g.px) p = static_cast<std::uint8_t>(rng() & 0xFF);
    return g;
}

// Slow waves plus a little noise: many windows look alike, so the lower
// bounds have real work to do.
inline Grey smooth(int rows, int cols, unsigned seed, int noiseAmplitude = 6) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> n(-noiseAmplitude, noiseAmplitude);
    Grey g{rows, cols, std::vector<std::uint8_t>(std::size_t(rows) * cols)};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const double v = 128 + 70 * std::sin(c / 5.0) * std::cos(r / 7.0) + n(rng);
            g.px[std::size_t(r) * cols + c] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    return g;
}

inline Grey cut(const Grey& g, int r0, int c0, int size) {
    Grey p{size, size, std::vector<std::uint8_t>(std::size_t(size) * size)};
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) p.px[std::size_t(r) * size + c] = g.at(r0 + r, c0 + c);
    return p;
}

inline std::uint32_t ssd(const Grey& g, const Grey& p, int r0, int c0) {
    std::uint32_t s = 0;
    for (int r = 0; r < p.rows; ++r)
        for (int c = 0; c < p.cols; ++c) {
            const int d = int(g.at(r0 + r, c0 + c)) - int(p.at(r, c));
            s += std::uint32_t(d * d);
        }
    return s;
}

}  // namespace whtest
