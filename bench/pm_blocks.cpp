// The block matcher of the stereo-pair multi-view on a 640 x 480 pair with
// the default settings (16 x 16 blocks, 64 x 32 search areas, 50 kernels,
// tolerance 50, acceptance 35): every block of the left picture searched in
// its area of the right picture, three ways over the same areas:
//   - our Walsh-Hadamard matcher (the builder's own BlockSearcher),
//   - brute-force SSD over every window of the area,
//   - OpenCV's matchTemplate with TM_SQDIFF (when built with OpenCV).
// Before timing, the three are compared block by block; a difference fails
// the benchmark. The builder uses a block when its best SSD / P^2 is at
// most minDistance^2: ours must accept exactly the blocks brute force
// finds within that and give the same best position for them. OpenCV sums
// in floating point, so where its best window differs from brute force's
// the two SSDs must tie.
//
// The pair is synthetic (a photograph stand-in seen from two points) unless
// PLASTORA_PM_PAIR=LEFT:RIGHT names two picture files, which are then
// brought to 640 x 480 and used instead.
#include "stereo/PatternMultiView.h"

#include <benchmark/benchmark.h>

#if defined(PLASTORA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace plastora;

namespace {

constexpr int kW = 640, kH = 480;

// A photograph stand-in: detail at every scale, weaker the finer it is (as
// in photographs), flat patches with edges between them. Value noise of
// octaves 64, 32, .., 2 pixels, each half as strong as the one above.
std::vector<std::uint8_t> scene(unsigned seed) {
    constexpr int w = kW + 64;
    std::mt19937 rng(seed);
    std::vector<double> v(std::size_t(w) * kH, 0.0);
    double amplitude = 60;
    for (int cell = 64; cell >= 2; cell /= 2, amplitude /= 2) {
        const int gw = w / cell + 2, gh = kH / cell + 2;
        std::vector<double> grid(std::size_t(gw) * gh);
        std::uniform_real_distribution<double> u(-amplitude, amplitude);
        for (auto& g : grid) g = u(rng);
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < w; ++c) {
                const int gx = c / cell, gy = r / cell;
                const double fx = double(c % cell) / cell, fy = double(r % cell) / cell;
                auto at = [&](int x, int y) { return grid[std::size_t(y) * gw + x]; };
                const double top = at(gx, gy) * (1 - fx) + at(gx + 1, gy) * fx;
                const double bottom = at(gx, gy + 1) * (1 - fx) + at(gx + 1, gy + 1) * fx;
                v[std::size_t(r) * w + c] += top * (1 - fy) + bottom * fy;
            }
    }
    std::vector<std::uint8_t> px(v.size());
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < w; ++c) {
            double x = 128 + v[std::size_t(r) * w + c];
            if ((c / 80 + r / 60) % 3 == 0) x += 40;
            px[std::size_t(r) * w + c] = std::uint8_t(std::clamp(x, 0.0, 255.0));
        }
    return px;
}

struct PairData {
    std::vector<std::uint8_t> left, right;
    PatternMatchSettings settings;  // the defaults
    int p = 16;
    std::vector<std::pair<int, int>> blocks;
};

// A picture file at 640 x 480 in grey levels (false when it cannot be read).
bool greyFile(const std::string& path, std::vector<std::uint8_t>& out) {
    QImage img(QString::fromStdString(path));
    if (img.isNull()) return false;
    img = img.scaled(kW, kH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    out.resize(std::size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const QRgb p = img.pixel(x, y);
            out[std::size_t(y) * kW + x] = std::uint8_t((77 * qRed(p) + 150 * qGreen(p) + 29 * qBlue(p)) >> 8);
        }
    return true;
}

// The right picture sees the scene from further left: every part moves
// right by a disparity that grows from 0 at the top to 12 at the bottom
// (a receding floor), plus its own sensor noise.
const PairData& pair() {
    static const PairData d = [] {
        PairData d;
        for (int y0 = 0; y0 + d.p <= kH; y0 += d.p)
            for (int x0 = 0; x0 + d.p <= kW; x0 += d.p) d.blocks.push_back({x0, y0});
        if (const char* files = std::getenv("PLASTORA_PM_PAIR")) {
            const std::string both = files;
            const auto colon = both.find(':');
            if (colon != std::string::npos && greyFile(both.substr(0, colon), d.left) &&
                greyFile(both.substr(colon + 1), d.right))
                return d;
            std::fprintf(stderr, "PLASTORA_PM_PAIR: cannot read %s\n", files);
            std::exit(1);
        }
        const auto wide = scene(1);
        std::mt19937 rng(2);
        std::uniform_int_distribution<int> noise(-3, 3);
        d.left.resize(std::size_t(kW) * kH);
        d.right.resize(std::size_t(kW) * kH);
        for (int r = 0; r < kH; ++r) {
            const int disparity = 12 * r / kH;
            for (int c = 0; c < kW; ++c) {
                const std::uint8_t* row = &wide[std::size_t(r) * (kW + 64)];
                d.left[std::size_t(r) * kW + c] = row[c + 32];
                d.right[std::size_t(r) * kW + c] = std::uint8_t(std::clamp(row[c + 32 - disparity] + noise(rng), 0, 255));
            }
        }
        return d;
    }();
    return d;
}

struct Best {
    int x = -1, y = -1;  // in picture coordinates; -1: nothing found
    std::uint32_t ssd = 0;
    bool accepted = false;  // the builder would use the block
};

bool acceptable(const PairData& d, std::uint32_t ssd) {
    return std::uint32_t(d.settings.minDistance * d.settings.minDistance) >= ssd / std::uint32_t(d.p * d.p);
}

std::uint32_t ssdAt(const PairData& d, int x0, int y0, int x, int y) {
    std::uint32_t s = 0;
    for (int r = 0; r < d.p; ++r) {
        const std::uint8_t* a = &d.left[std::size_t(y0 + r) * kW + x0];
        const std::uint8_t* b = &d.right[std::size_t(y + r) * kW + x];
        for (int c = 0; c < d.p; ++c) {
            const int diff = int(a[c]) - int(b[c]);
            s += std::uint32_t(diff * diff);
        }
    }
    return s;
}

SearchArea areaOf(const PairData& d, int x0, int y0) {
    return searchAreaFor(x0, y0, d.p, d.settings.sourceCol, d.settings.sourceRow, kW, kH);
}

void ours(const PairData& d, std::vector<Best>& out) {
    BlockSearcher searcher(d.left.data(), d.right.data(), kW, kH, d.settings);
    for (std::size_t i = 0; i < d.blocks.size(); ++i) {
        const BlockSearchResult r = searcher.search(d.blocks[i].first, d.blocks[i].second);
        out[i] = r.matches > 0 ? Best{r.area.left + r.col, r.area.top + r.row, r.minDistance, r.accepted} : Best{};
    }
}

void bruteForce(const PairData& d, std::vector<Best>& out) {
    for (std::size_t i = 0; i < d.blocks.size(); ++i) {
        const auto [x0, y0] = d.blocks[i];
        const SearchArea a = areaOf(d, x0, y0);
        Best best{-1, -1, 0xFFFFFFFFu};
        for (int y = a.top; y + d.p <= a.top + a.rows; ++y)
            for (int x = a.left; x + d.p <= a.left + a.cols; ++x) {
                const std::uint32_t s = ssdAt(d, x0, y0, x, y);
                if (s < best.ssd) best = Best{x, y, s};
            }
        best.accepted = acceptable(d, best.ssd);
        out[i] = best;
    }
}

#if defined(PLASTORA_BENCH_OPENCV)
void openCv(const PairData& d, std::vector<Best>& out) {
    const cv::Mat left(kH, kW, CV_8UC1, const_cast<std::uint8_t*>(d.left.data()));
    const cv::Mat right(kH, kW, CV_8UC1, const_cast<std::uint8_t*>(d.right.data()));
    cv::Mat result;
    for (std::size_t i = 0; i < d.blocks.size(); ++i) {
        const auto [x0, y0] = d.blocks[i];
        const SearchArea a = areaOf(d, x0, y0);
        cv::matchTemplate(right(cv::Rect(a.left, a.top, a.cols, a.rows)), left(cv::Rect(x0, y0, d.p, d.p)), result,
                          cv::TM_SQDIFF);
        double minValue = 0;
        cv::Point at;
        cv::minMaxLoc(result, &minValue, nullptr, &at, nullptr);
        const std::uint32_t ssd = std::uint32_t(std::lround(std::max(0.0, minValue)));
        out[i] = Best{a.left + at.x, a.top + at.y, ssd, acceptable(d, ssd)};
    }
}
#endif

// Compares the three once; returns an empty text when they agree.
const std::string& agreement() {
    static const std::string verdict = [] {
        const PairData& d = pair();
        const std::size_t n = d.blocks.size();
        std::vector<Best> wh(n), brute(n);
        ours(d, wh);
        bruteForce(d, brute);
        for (std::size_t i = 0; i < n; ++i) {
            const auto [x0, y0] = d.blocks[i];
            if (wh[i].accepted != brute[i].accepted ||
                (brute[i].accepted && (wh[i].x != brute[i].x || wh[i].y != brute[i].y)))
                return "Walsh-Hadamard and brute force differ at block (" + std::to_string(x0) + ", " +
                       std::to_string(y0) + ")";
        }
#if defined(PLASTORA_BENCH_OPENCV)
        std::vector<Best> cvBest(n);
        openCv(d, cvBest);
        for (std::size_t i = 0; i < n; ++i) {
            if (cvBest[i].x == brute[i].x && cvBest[i].y == brute[i].y) continue;
            const auto [x0, y0] = d.blocks[i];
            if (ssdAt(d, x0, y0, cvBest[i].x, cvBest[i].y) != brute[i].ssd)
                return "OpenCV and brute force differ at block (" + std::to_string(x0) + ", " + std::to_string(y0) + ")";
        }
#endif
        return std::string();
    }();
    return verdict;
}

template <void (*Run)(const PairData&, std::vector<Best>&)>
void BM_Blocks(benchmark::State& state) {
    if (!agreement().empty()) {
        state.SkipWithError(agreement().c_str());
        return;
    }
    const PairData& d = pair();
    std::vector<Best> out(d.blocks.size());
    for (auto _ : state) {
        Run(d, out);
        benchmark::DoNotOptimize(out.data());
    }
    int accepted = 0;
    for (const Best& b : out) accepted += b.accepted;
    state.counters["blocks"] = double(d.blocks.size());
    state.counters["accepted"] = accepted;
}

}  // namespace

BENCHMARK(BM_Blocks<ours>)->Name("PMBlocks/WalshHadamard")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blocks<bruteForce>)->Name("PMBlocks/BruteForceSSD")->Unit(benchmark::kMillisecond);
#if defined(PLASTORA_BENCH_OPENCV)
BENCHMARK(BM_Blocks<openCv>)->Name("PMBlocks/OpenCVMatchTemplate")->Unit(benchmark::kMillisecond);
#endif
