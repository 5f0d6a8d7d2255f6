// Real stereo pairs against ground truth: how well the two ways of making
// in-between views (the dense disparity method and the block matcher) place
// the pair's points, and how well a pair is aligned, with the time each
// takes on the same pair in the same run.
//
// Pairs, all at the working size 707 x 478 (the postcard paper):
//   - aloe: Debian's opencv-doc aloeL/aloeR with the ground-truth disparity
//     aloeGT (scaled and cropped as opening the pair does: width to 707,
//     centre rows);
//   - synth0..synth3: photographs of the same package (building, fruits,
//     baboon, home) made into pairs: a background plane whose disparity
//     runs smoothly from 5 to 15 px across the picture and three elliptical
//     objects cut from another photograph at 20 to 60 px, drawn exactly at
//     both eyes and in the middle; synth2 and synth3 get their right
//     picture turned (0.8 and -1.2 degrees) and moved down (20 and -9 px)
//     before anything runs, so alignment is part of the pipeline.
//
// Counters per pair and method:
//   within1px  share (%) of textured pixels of the left picture whose place
//              in the middle view is within 1 px of where the true disparity
//              puts them (unmatched blocks count as misplaced);
//   psnr       PSNR (dB) of the middle view against the one drawn from the
//              ground truth, over the pixels the truth draws from the left
//              picture;
//   alignDy / alignDeg (BM_Align) the vertical error left after the pair is
//              aligned (largest over a grid of points, px) and the rotation
//              error (degrees).
// Time: per pair for each method (alignment excluded), BM_Dense against
// BM_Blocks in the same run; BM_Blocks/n/0 is the block matcher with its
// default 64 x 32 search area, as it ran before areas were sized to the
// pair. On a loaded machine compare the CPU column.
//
// Set PLASTORA_BENCH_DUMP=DIR to write the middle views as DIR/<pair>_<method>.png.
#include "stereo/DenseViews.h"
#include "stereo/PairAlign.h"
#include "stereo/PatternMultiView.h"

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

using namespace plastora;

namespace {

constexpr int kW = 707, kH = 478;
const std::string kData = "/usr/share/doc/opencv-doc/examples/data/";

struct PairCase {
    std::string name;
    Surface left, right;          // right already misaligned for the alignment pairs
    Surface truthMiddle;          // the middle view drawn from the truth
    std::vector<std::uint8_t> truthMask;  // pixels of truthMiddle drawn from the left picture
    std::vector<float> truth;     // disparity x(left) - x(right) of each left pixel; NaN = unknown
    double degrees = 0.0, dy = 0.0;  // the misalignment applied to the right picture
    bool aligned = false;         // whether alignment found the pair
    Surface alignedRight;         // the right picture after alignment
};

cv::Mat loadBgr(const std::string& path) {
    QImage img(QString::fromStdString(path));
    if (img.isNull()) return {};
    img = img.convertToFormat(QImage::Format_RGB888);
    cv::Mat rgb(img.height(), img.width(), CV_8UC3, img.bits(), static_cast<std::size_t>(img.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

cv::Mat loadGrey(const std::string& path) {
    QImage img(QString::fromStdString(path));
    if (img.isNull()) return {};
    img = img.convertToFormat(QImage::Format_Grayscale8);
    return cv::Mat(img.height(), img.width(), CV_8UC1, img.bits(), static_cast<std::size_t>(img.bytesPerLine())).clone();
}

Surface toSurface(const cv::Mat& bgr) {
    Surface s;
    s.create(bgr.cols, bgr.rows);
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
            s.set(x, y, 0xFF000000u | (unsigned(c[2]) << 16) | (unsigned(c[1]) << 8) | c[0]);
        }
    return s;
}

// Width to kW, centre rows to kH (a picture taller than the paper's ratio).
cv::Mat toWorking(const cv::Mat& m, int interpolation) {
    const double f = static_cast<double>(kW) / m.cols;
    cv::Mat scaled;
    cv::resize(m, scaled, cv::Size(kW, static_cast<int>(std::lround(m.rows * f))), 0, 0, interpolation);
    if (scaled.rows < kH) cv::resize(scaled, scaled, cv::Size(kW, kH), 0, 0, interpolation);
    const int top = (scaled.rows - kH) / 2;
    return scaled(cv::Rect(0, top, kW, kH)).clone();
}

Surface misalign(const Surface& s, double degrees, double dy) {
    const cv::Mat src(s.height(), s.width(), CV_8UC4, const_cast<Pixel*>(s.bits()));
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(0.5f * (s.width() - 1), 0.5f * (s.height() - 1)), -degrees, 1.0);
    m.at<double>(1, 2) += dy;
    Surface out;
    out.create(s.width(), s.height());
    cv::Mat dst(out.height(), out.width(), CV_8UC4, out.bits());
    cv::warpAffine(src, dst, m, dst.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    for (std::size_t i = 0; i < out.pixelCount(); ++i) out.bits()[i] |= 0xFF000000u;
    return out;
}

// The middle view drawn from the truth, independently of the methods: the
// left picture's pixels splatted to x - d/2 (nearer wins); the mask tells
// which pixels were drawn.
void drawTruthMiddle(PairCase& c) {
    c.truthMiddle.create(kW, kH);
    c.truthMask.assign(static_cast<std::size_t>(kW) * kH, 0);
    std::vector<float> depth(static_cast<std::size_t>(kW) * kH, -1e9f);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const float d = c.truth[static_cast<std::size_t>(y) * kW + x];
            if (std::isnan(d)) continue;
            const int xt = static_cast<int>(std::lround(x - 0.5 * d));
            if (xt < 0 || xt >= kW) continue;
            const std::size_t i = static_cast<std::size_t>(y) * kW + xt;
            if (d < depth[i]) continue;
            depth[i] = d;
            c.truthMiddle.set(xt, y, c.left.at(x, y));
            c.truthMask[i] = 1;
        }
    // Single-pixel cracks of the splatting are not part of the comparison.
    for (int y = 0; y < kH; ++y)
        for (int x = 1; x + 1 < kW; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * kW + x;
            if (!c.truthMask[i - 1] || !c.truthMask[i + 1]) c.truthMask[i] = 0;
        }
}

PairCase aloe() {
    PairCase c;
    c.name = "aloe";
    const cv::Mat l = loadBgr(kData + "aloeL.jpg"), r = loadBgr(kData + "aloeR.jpg"), gt = loadGrey(kData + "aloeGT.png");
    if (l.empty() || r.empty() || gt.empty()) return c;
    const double f = static_cast<double>(kW) / l.cols;
    c.left = toSurface(toWorking(l, cv::INTER_AREA));
    c.right = toSurface(toWorking(r, cv::INTER_AREA));
    cv::Mat gtf;
    gt.convertTo(gtf, CV_32F);
    // Zero means unknown; nearest so that unknown pixels stay unknown.
    const cv::Mat g = toWorking(gtf, cv::INTER_NEAREST);
    c.truth.resize(static_cast<std::size_t>(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const float v = g.at<float>(y, x);
            c.truth[static_cast<std::size_t>(y) * kW + x] = v > 0 ? static_cast<float>(v * f) : std::nanf("");
        }
    drawTruthMiddle(c);
    return c;
}

// A layered scene from two photographs with exact views at fraction t.
PairCase synthetic(int index) {
    const char* backs[] = {"building.jpg", "fruits.jpg", "baboon.jpg", "home.jpg"};
    const char* fronts[] = {"fruits.jpg", "baboon.jpg", "home.jpg", "building.jpg"};
    PairCase c;
    c.name = "synth" + std::to_string(index);
    cv::Mat back = loadBgr(kData + backs[index]), front = loadBgr(kData + fronts[index]);
    if (back.empty() || front.empty()) return c;
    constexpr int kPad = 80;
    cv::resize(back, back, cv::Size(kW + 2 * kPad, kH), 0, 0, cv::INTER_AREA);
    cv::resize(front, front, cv::Size(kW + 2 * kPad, kH), 0, 0, cv::INTER_AREA);
    struct Object {
        cv::Point2d centre;
        double rx, ry, d;
    };
    const Object objects[3] = {{{180.0 + 20 * index, 200.0}, 90, 120, 20.0 + 4 * index},
                               {{420.0, 300.0 - 15 * index}, 70, 90, 40.0},
                               {{560.0 - 10 * index, 150.0}, 60, 60, 60.0 - 3 * index}};
    auto backgroundD = [&](double x) { return 5.0 + 10.0 * x / (kW - 1); };
    // The scene point seen at view position (x, y) for fraction t, nearest
    // object first; gives its colour and disparity.
    auto look = [&](double x, int y, double t, float& d) -> cv::Vec3b {
        int best = -1;
        for (int k = 0; k < 3; ++k) {
            const Object& o = objects[k];
            const double xs = x + t * o.d;  // the object's left-picture position
            const double u = (xs - o.centre.x) / o.rx, v = (y - o.centre.y) / o.ry;
            if (u * u + v * v <= 1.0 && (best < 0 || o.d > objects[best].d)) best = k;
        }
        cv::Mat& tex = best >= 0 ? front : back;
        double xs;
        if (best >= 0) {
            d = static_cast<float>(objects[best].d);
            xs = x + t * objects[best].d;
        } else {
            // Solve xs - t * bd(xs) = x for the background's left position.
            xs = x;
            for (int i = 0; i < 6; ++i) xs = x + t * backgroundD(xs);
            d = static_cast<float>(backgroundD(xs));
        }
        cv::Mat px;
        cv::getRectSubPix(tex, cv::Size(1, 1), cv::Point2f(static_cast<float>(xs + kPad), static_cast<float>(y)), px);
        return px.at<cv::Vec3b>(0, 0);
    };
    cv::Mat l(kH, kW, CV_8UC3), r(kH, kW, CV_8UC3), m(kH, kW, CV_8UC3);
    c.truth.resize(static_cast<std::size_t>(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float d = 0;
            l.at<cv::Vec3b>(y, x) = look(x, y, 0.0, d);
            c.truth[static_cast<std::size_t>(y) * kW + x] = d;
            r.at<cv::Vec3b>(y, x) = look(x, y, 1.0, d);
            m.at<cv::Vec3b>(y, x) = look(x, y, 0.5, d);
        }
    c.left = toSurface(l);
    c.right = toSurface(r);
    c.truthMiddle = toSurface(m);
    c.truthMask.assign(static_cast<std::size_t>(kW) * kH, 1);
    if (index >= 2) {
        c.degrees = index == 2 ? 0.8 : -1.2;
        c.dy = index == 2 ? 20.0 : -9.0;
        c.right = misalign(c.right, c.degrees, c.dy);
    }
    return c;
}

std::vector<PairCase>& pairs() {
    static std::vector<PairCase> all = [] {
        std::vector<PairCase> v;
        v.push_back(aloe());
        for (int i = 0; i < 4; ++i) v.push_back(synthetic(i));
        for (PairCase& c : v) {
            if (c.left.empty()) continue;
            const PairAlignment a = estimatePairAlignment(c.left, c.right);
            c.aligned = a.ok;
            applyPairAlignment(c.right, a, c.alignedRight);
        }
        return v;
    }();
    return all;
}

// Textured pixels of the left picture with a known true disparity.
std::vector<std::size_t> texturedKnown(const PairCase& c) {
    cv::Mat grey, gx, gy;
    const cv::Mat bgra(kH, kW, CV_8UC4, const_cast<Pixel*>(c.left.bits()));
    cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
    cv::Sobel(grey, gx, CV_16S, 1, 0, 3);
    cv::Sobel(grey, gy, CV_16S, 0, 1, 3);
    std::vector<std::size_t> out;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * kW + x;
            if (std::isnan(c.truth[i]) || std::abs(gx.at<short>(y, x)) + std::abs(gy.at<short>(y, x)) < 64) continue;
            // Points the right picture does not show cannot be matched by
            // anything; they are not counted.
            if (x - c.truth[i] < 0) continue;
            out.push_back(i);
        }
    return out;
}

double psnr(const Surface& a, const PairCase& c) {
    double sq = 0.0;
    std::size_t n = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * kW + x;
            if (!c.truthMask[i]) continue;
            const Pixel p = a.at(x, y), q = c.truthMiddle.at(x, y);
            for (int k = 0; k < 3; ++k) {
                const double e = double((p >> (8 * k)) & 0xFF) - double((q >> (8 * k)) & 0xFF);
                sq += e * e;
            }
            n += 3;
        }
    return n == 0 || sq == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * n / sq);
}

void dump(const Surface& s, const std::string& name) {
    const char* dir = std::getenv("PLASTORA_BENCH_DUMP");
    if (!dir) return;
    QImage img(reinterpret_cast<const uchar*>(s.bits()), s.width(), s.height(), QImage::Format_RGB32);
    img.save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

struct DenseRun {
    DisparityMaps maps;
    Surface middle;
};

DenseRun runDense(const PairCase& c) {
    DenseRun r;
    const PairAlignment range = estimatePairAlignment(c.left, c.alignedRight);
    DenseMatchOptions o;
    const double margin = range.ok ? 4.0 + 0.25 * (range.disparityHigh - range.disparityLow) : 0.0;
    o.minDisparity = range.ok ? static_cast<int>(std::floor(-range.disparityHigh - margin)) : -kW / 8;
    o.maxDisparity = range.ok ? static_cast<int>(std::ceil(-range.disparityLow + margin)) : kW / 8;
    computeDisparityMaps(c.left, c.alignedRight, o, r.maps);
    synthesizeView(c.left, c.alignedRight, r.maps, 0.5, r.middle);
    return r;
}

struct BlockRun {
    BlockMatchResult match;
    Surface middle;
};

// The block matcher as the builder runs it with the default settings (its
// search area widened to the measured range), three views so that the
// middle one is at 0.5.
BlockRun runBlocks(const PairCase& c, bool sizeArea) {
    BlockRun r;
    PatternMatchSettings s;
    s.checkMatch = false;
    if (sizeArea) {
        const PairAlignment range = estimatePairAlignment(c.left, c.alignedRight);
        if (range.ok)
            s.sourceCol = searchWidthForRange(range.disparityLow, range.disparityHigh, s.patternSize, s.sourceCol, kW);
    }
    matchBlocks(greyLevels(c.left), greyLevels(c.alignedRight), kW, kH, s, r.match);
    // The middle view starts as the left picture, as the builder's does for
    // three views.
    r.middle.createCopy(c.left);
    pasteShiftedBlocks(r.middle, c.left, r.match.grid, s.patternSize, 1, 3);
    return r;
}

void BM_Dense(benchmark::State& state) {
    PairCase& c = pairs()[static_cast<std::size_t>(state.range(0))];
    if (c.left.empty()) {
        state.SkipWithError("pair pictures missing (install opencv-doc)");
        return;
    }
    DenseRun r;
    for (auto _ : state) r = runDense(c);
    const std::vector<std::size_t> pts = texturedKnown(c);
    std::size_t good = 0;
    for (std::size_t i : pts)
        if (std::abs(0.5 * (r.maps.left[i] - c.truth[i])) <= 1.0) ++good;
    state.SetLabel(c.name);
    state.counters["within1px"] = pts.empty() ? 0.0 : 100.0 * static_cast<double>(good) / static_cast<double>(pts.size());
    state.counters["psnr"] = psnr(r.middle, c);
    dump(r.middle, c.name + "_dense");
}

// The block matcher with its search area sized to the pair (range(1) = 1)
// or left at the default 64 x 32 (range(1) = 0, the matcher as it was).
void BM_Blocks(benchmark::State& state) {
    PairCase& c = pairs()[static_cast<std::size_t>(state.range(0))];
    if (c.left.empty()) {
        state.SkipWithError("pair pictures missing (install opencv-doc)");
        return;
    }
    const bool sized = state.range(1) != 0;
    BlockRun r;
    for (auto _ : state) r = runBlocks(c, sized);
    // Where the middle view puts each pixel: its block's displacement
    // (x(right) - x(left)) times 1/2, truncated as the paste does.
    const int p = 16;
    const DisplacementGrid& g = r.match.grid;
    std::size_t good = 0;
    const std::vector<std::size_t> pts = texturedKnown(c);
    for (std::size_t i : pts) {
        const int x = static_cast<int>(i % kW), y = static_cast<int>(i / kW);
        const int row = std::min(y / p, g.rows - 1), col = std::min(x / p, g.columns - 1);
        const BlockShift& s = g.at(row, col);
        if (!s.usable()) continue;
        const double placed = s.dx / 2, truthPlace = -0.5 * c.truth[i];
        if (std::abs(placed - truthPlace) <= 1.0) ++good;
    }
    state.SetLabel(c.name);
    state.counters["within1px"] = pts.empty() ? 0.0 : 100.0 * static_cast<double>(good) / static_cast<double>(pts.size());
    state.counters["psnr"] = psnr(r.middle, c);
    state.counters["unmatched%"] = g.cells.empty() ? 0.0 : 100.0 * r.match.failures / static_cast<double>(g.cells.size());
    dump(r.middle, c.name + (sized ? "_blocks" : "_blocks64"));
}

void BM_Align(benchmark::State& state) {
    PairCase& c = pairs()[static_cast<std::size_t>(state.range(0))];
    if (c.left.empty()) {
        state.SkipWithError("pair pictures missing (install opencv-doc)");
        return;
    }
    PairAlignment a;
    for (auto _ : state) a = estimatePairAlignment(c.left, c.right);
    state.SetLabel(c.name);
    if (!a.ok) {
        state.counters["aligned"] = 0;
        return;
    }
    // A grid of points of the unturned right picture: through the
    // misalignment and the correction, how far from their row do they end?
    const double cx = 0.5 * (kW - 1), cy = 0.5 * (kH - 1);
    const double m = -c.degrees * std::numbers::pi / 180.0;  // as misalign() turns
    const double k = a.angleDegrees * std::numbers::pi / 180.0;
    double worst = 0.0;
    for (int y = 20; y < kH; y += 40)
        for (int x = 20; x < kW; x += 40) {
            // misalign: the rotation matrix of getRotationMatrix2D(-degrees), then dy.
            const double x1 = cx + std::cos(m) * (x - cx) + std::sin(m) * (y - cy);
            const double y1 = cy - std::sin(m) * (x - cx) + std::cos(m) * (y - cy) + c.dy;
            const double y2 = cy + a.scale * (std::sin(k) * (x1 - cx) + std::cos(k) * (y1 - cy)) + a.dy;
            worst = std::max(worst, std::abs(y2 - y));
        }
    state.counters["aligned"] = 1;
    state.counters["alignDy"] = worst;
    state.counters["alignDeg"] = std::abs(a.angleDegrees + c.degrees);
}

}  // namespace

BENCHMARK(BM_Align)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Dense)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Blocks)->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0}})->Unit(benchmark::kMillisecond)->Iterations(2);
