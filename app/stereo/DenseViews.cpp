#include "stereo/DenseViews.h"

#include "core/ProgramModule.h"
#include "stereo/cvmodule/StereoCv.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace plastora {

namespace {

constexpr float kNone = -std::numeric_limits<float>::infinity();

cv::Mat wrap(const Surface& s) { return cv::Mat(s.height(), s.width(), CV_8UC4, const_cast<Pixel*>(s.bits())); }

cv::Mat bgrOf(const Surface& s) {
    cv::Mat bgr;
    cv::cvtColor(wrap(s), bgr, cv::COLOR_BGRA2BGR);
    return bgr;
}

cv::Mat greyOf(const Surface& s) {
    cv::Mat grey;
    cv::cvtColor(wrap(s), grey, cv::COLOR_BGRA2GRAY);
    return grey;
}

// One semi-global run: disparity (float pixels) of `ref` against `other`,
// kNone where the matcher gave none.
cv::Mat semiGlobal(const cv::Mat& ref, const cv::Mat& other, int minD, int numD, int block) {
    static const auto match = reinterpret_cast<PlastoraSemiGlobalFn>(
        requiredModuleFunction(PLASTORA_STEREO_CV_MODULE, PLASTORA_SEMI_GLOBAL_FUNCTION));
    // The matcher leaves its first minD + numD columns without a value;
    // repeating the edge there keeps the whole picture measured (points
    // the other picture cannot show are dropped by the left-right check).
    const int pad = std::max(0, minD + numD);
    cv::Mat refPadded, otherPadded, padded;
    cv::copyMakeBorder(ref, refPadded, 0, 0, pad, 0, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(other, otherPadded, 0, 0, pad, 0, cv::BORDER_REPLICATE);
    match(refPadded, otherPadded, minD, numD, block, padded);
    const cv::Mat raw = padded(cv::Rect(pad, 0, ref.cols, ref.rows));
    cv::Mat d(raw.size(), CV_32F);
    const int invalid = (minD - 1) * 16;
    for (int y = 0; y < raw.rows; ++y) {
        const short* r = raw.ptr<short>(y);
        float* o = d.ptr<float>(y);
        for (int x = 0; x < raw.cols; ++x) o[x] = r[x] <= invalid ? kNone : static_cast<float>(r[x]) / 16.0f;
    }
    return d;
}

// Keeps a value only when the other map, at the pixel it points to, agrees.
// `sign` is -1 for the left map (x - d) and +1 for the right one (x + d).
void crossCheck(const cv::Mat& self, const cv::Mat& other, int sign, float tolerance, std::vector<float>& out,
                std::vector<std::uint8_t>& valid) {
    const int w = self.cols, h = self.rows;
    out.assign(static_cast<std::size_t>(w) * h, kNone);
    valid.assign(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const float* s = self.ptr<float>(y);
        const float* o = other.ptr<float>(y);
        for (int x = 0; x < w; ++x) {
            if (s[x] == kNone) continue;
            const int xo = static_cast<int>(std::lround(x + sign * s[x]));
            if (xo < 0 || xo >= w || o[xo] == kNone || std::abs(o[xo] - s[x]) > tolerance) continue;
            out[static_cast<std::size_t>(y) * w + x] = s[x];
            valid[static_cast<std::size_t>(y) * w + x] = 1;
        }
    }
}

// Holes take the smaller (farther) of the nearest values on both sides of
// their row: a hole next to an edge is mostly background the other eye hid.
// Rows without any value take `fallback`. Then a 5 x 5 median evens out the
// single-pixel noise of the fills.
void fillHoles(std::vector<float>& d, int w, int h, float fallback) {
    for (int y = 0; y < h; ++y) {
        float* row = &d[static_cast<std::size_t>(y) * w];
        int x = 0;
        while (x < w) {
            if (row[x] != kNone) {
                ++x;
                continue;
            }
            int end = x;
            while (end < w && row[end] == kNone) ++end;
            const float before = x > 0 ? row[x - 1] : kNone, after = end < w ? row[end] : kNone;
            float v = fallback;
            if (before != kNone && after != kNone) v = std::min(before, after);
            else if (before != kNone) v = before;
            else if (after != kNone) v = after;
            std::fill(row + x, row + end, v);
            x = end;
        }
    }
    cv::Mat m(h, w, CV_32F, d.data());
    cv::Mat smoothed;
    cv::medianBlur(m, smoothed, 5);
    smoothed.copyTo(m);
}

// Warps one picture's disparity to the view: each pixel x lands at
// x + shift * d. Neighbouring pixels whose landing points are less than two
// pixels apart are joined (their span is filled with interpolated values),
// wider gaps are disocclusions and stay empty. Nearer (larger d) wins.
void forwardDisparity(const float* d, int w, float shift, float* target) {
    std::fill(target, target + w, kNone);
    auto put = [&](int x, float v) {
        if (x >= 0 && x < w && v > target[x]) target[x] = v;
    };
    for (int x = 0; x < w; ++x) {
        const float a = static_cast<float>(x) + shift * d[x];
        put(static_cast<int>(std::lround(a)), d[x]);
        if (x + 1 >= w) continue;
        const float b = static_cast<float>(x + 1) + shift * d[x + 1];
        if (std::abs(b - a) >= 2.0f) continue;
        const float lo = std::min(a, b), hi = std::max(a, b);
        for (int xt = static_cast<int>(std::ceil(lo)); xt <= static_cast<int>(std::floor(hi)); ++xt) {
            const float f = hi > lo ? (static_cast<float>(xt) - a) / (b - a) : 0.0f;
            put(xt, d[x] + f * (d[x + 1] - d[x]));
        }
    }
}

}  // namespace

double viewFraction(int v, int n) {
    if (n <= 1) return 0.0;
    return static_cast<double>(n - 1 - v) / static_cast<double>(n - 1);
}

namespace {

// The most disparities matched at once: the matcher's time and memory grow
// with the range (960 of them at A4 and 160 LPI took a minute and 1.4 GB).
constexpr int kMaxDisparities = 256;

// A wider range is matched on the pair reduced by `f` (the range with it),
// and the maps are brought back to full size, their values times `f`.
bool disparityMapsReduced(const Surface& left, const Surface& right, const DenseMatchOptions& options, int f,
                          DisparityMaps& out) {
    const int w = left.width(), h = left.height();
    const int sw = std::max(1, (w + f - 1) / f), sh = std::max(1, (h + f - 1) / f);
    Surface smallLeft, smallRight;
    if (!smallLeft.create(sw, sh) || !smallRight.create(sw, sh) ||
        !stretchBlit(smallLeft, 0, 0, sw, sh, left, 0, 0, w, h, Rop::Copy, StretchMode::Halftone) ||
        !stretchBlit(smallRight, 0, 0, sw, sh, right, 0, 0, w, h, Rop::Copy, StretchMode::Halftone))
        return false;
    DenseMatchOptions reduced = options;
    reduced.minDisparity = static_cast<int>(std::floor(static_cast<double>(options.minDisparity) / f));
    reduced.maxDisparity = static_cast<int>(std::ceil(static_cast<double>(options.maxDisparity) / f));
    DisparityMaps small;
    if (!computeDisparityMaps(smallLeft, smallRight, reduced, small)) return false;
    const auto enlarge = [&](const std::vector<float>& d, const std::vector<std::uint8_t>& valid,
                             std::vector<float>& outD, std::vector<std::uint8_t>& outValid) {
        cv::Mat big, bigValid;
        cv::resize(cv::Mat(sh, sw, CV_32F, const_cast<float*>(d.data())), big, cv::Size(w, h), 0, 0, cv::INTER_LINEAR);
        cv::resize(cv::Mat(sh, sw, CV_8U, const_cast<std::uint8_t*>(valid.data())), bigValid, cv::Size(w, h), 0, 0,
                   cv::INTER_NEAREST);
        outD.assign(static_cast<std::size_t>(w) * h, 0.0f);
        outValid.assign(static_cast<std::size_t>(w) * h, 0);
        for (int y = 0; y < h; ++y) {
            const float* b = big.ptr<float>(y);
            const std::uint8_t* v = bigValid.ptr<std::uint8_t>(y);
            for (int x = 0; x < w; ++x) {
                outD[static_cast<std::size_t>(y) * w + x] = b[x] * static_cast<float>(f);
                outValid[static_cast<std::size_t>(y) * w + x] = v[x];
            }
        }
    };
    out.width = w;
    out.height = h;
    enlarge(small.left, small.leftValid, out.left, out.leftValid);
    enlarge(small.right, small.rightValid, out.right, out.rightValid);
    return true;
}

}  // namespace

bool computeDisparityMaps(const Surface& left, const Surface& right, const DenseMatchOptions& options,
                          DisparityMaps& out) {
    out = DisparityMaps{};
    if (left.empty() || left.width() != right.width() || left.height() != right.height()) return false;
    const int w = left.width(), h = left.height();
    const int block = std::max(3, options.blockSize | 1);
    // A little room around the measured range; the matcher wants a multiple
    // of 16 disparities.
    const int minD = std::min(options.minDisparity, options.maxDisparity) - 2;
    const int maxD = std::max(options.minDisparity, options.maxDisparity) + 2;
    const int numD = std::max(16, (maxD - minD + 1 + 15) / 16 * 16);
    if (numD > kMaxDisparities) {
        const int f = (numD + kMaxDisparities - 1) / kMaxDisparities + 1;
        return disparityMapsReduced(left, right, options, f, out);
    }
    if (w <= std::max(std::abs(minD), std::abs(maxD)) + block || h <= block) return false;

    const cv::Mat l = bgrOf(left), r = bgrOf(right);
    const cv::Mat dl = semiGlobal(l, r, minD, numD, block);
    // The right picture's map: the same matcher on the mirrored pair.
    cv::Mat lf, rf;
    cv::flip(l, lf, 1);
    cv::flip(r, rf, 1);
    cv::Mat dr;
    cv::flip(semiGlobal(rf, lf, minD, numD, block), dr, 1);

    out.width = w;
    out.height = h;
    crossCheck(dl, dr, -1, options.consistency, out.left, out.leftValid);
    crossCheck(dr, dl, +1, options.consistency, out.right, out.rightValid);
    const float fallback = static_cast<float>(std::max(minD, 0));
    fillHoles(out.left, w, h, fallback);
    fillHoles(out.right, w, h, fallback);
    return true;
}

int consistentSharePercent(const Surface& left, const Surface& right, const DisparityMaps& maps) {
    if (left.width() != maps.width || left.height() != maps.height || right.width() != maps.width ||
        right.height() != maps.height || maps.width == 0)
        return 0;
    const cv::Mat gl = greyOf(left), gr = greyOf(right);
    // One picture may be brighter than the other (another exposure): the
    // levels are compared with that difference taken out.
    const double offset = cv::mean(gl)[0] - cv::mean(gr)[0];
    cv::Mat gx, gy;
    cv::Sobel(gl, gx, CV_16S, 1, 0, 3);
    cv::Sobel(gl, gy, CV_16S, 0, 1, 3);
    std::int64_t textured = 0, consistent = 0;
    const int w = maps.width;
    for (int y = 0; y < maps.height; ++y) {
        const short* ax = gx.ptr<short>(y);
        const short* ay = gy.ptr<short>(y);
        const std::uint8_t* pl = gl.ptr<std::uint8_t>(y);
        const std::uint8_t* pr = gr.ptr<std::uint8_t>(y);
        for (int x = 0; x < w; ++x) {
            if (std::abs(ax[x]) + std::abs(ay[x]) < 64) continue;
            // Points the right picture does not show cannot be matched.
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const float xr = static_cast<float>(x) - maps.left[i];
            if (xr < 0.0f || xr > static_cast<float>(w - 1)) continue;
            ++textured;
            if (!maps.leftValid[i]) continue;
            // The match lies between two pixels of the right picture; on a
            // strong edge only the nearer of them may agree.
            const int x0 = static_cast<int>(std::floor(xr)), x1 = std::min(x0 + 1, w - 1);
            if (std::min(std::abs(pl[x] - pr[x0] - offset), std::abs(pl[x] - pr[x1] - offset)) <= 24.0) ++consistent;
        }
    }
    if (textured == 0) return 100;
    return static_cast<int>(consistent * 100 / textured);
}

bool synthesizeView(const Surface& left, const Surface& right, const DisparityMaps& maps, double t, Surface& out) {
    const int w = maps.width, h = maps.height;
    if (w == 0 || left.width() != w || left.height() != h || right.width() != w || right.height() != h) return false;
    if (!out.createUninitialized(w, h)) return false;
    if (t <= 0.0 || t >= 1.0) {
        const Surface& from = t <= 0.0 ? left : right;
        std::copy(from.bits(), from.bits() + from.pixelCount(), out.bits());
        return true;
    }
    const float tl = static_cast<float>(t), tr = static_cast<float>(1.0 - t);
    // Where each view pixel is found in either picture (x; -1 = not seen).
    cv::Mat mapL(h, w, CV_32F), mapR(h, w, CV_32F), mapY(h, w, CV_32F);
    std::vector<float> depthL(static_cast<std::size_t>(w) * h), depthR(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        float* dL = &depthL[static_cast<std::size_t>(y) * w];
        float* dR = &depthR[static_cast<std::size_t>(y) * w];
        forwardDisparity(&maps.left[static_cast<std::size_t>(y) * w], w, -tl, dL);
        forwardDisparity(&maps.right[static_cast<std::size_t>(y) * w], w, tr, dR);
        float* ml = mapL.ptr<float>(y);
        float* mr = mapR.ptr<float>(y);
        float* my = mapY.ptr<float>(y);
        for (int x = 0; x < w; ++x) {
            my[x] = static_cast<float>(y);
            ml[x] = dL[x] == kNone ? -10.0f : static_cast<float>(x) + tl * dL[x];
            mr[x] = dR[x] == kNone ? -10.0f : static_cast<float>(x) - tr * dR[x];
        }
    }
    cv::Mat fromL, fromR;
    cv::remap(wrap(left), fromL, mapL, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::remap(wrap(right), fromR, mapR, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);

    for (int y = 0; y < h; ++y) {
        const float* dL = &depthL[static_cast<std::size_t>(y) * w];
        const float* dR = &depthR[static_cast<std::size_t>(y) * w];
        const cv::Vec4b* cl = fromL.ptr<cv::Vec4b>(y);
        const cv::Vec4b* cr = fromR.ptr<cv::Vec4b>(y);
        Pixel* o = out.bits() + static_cast<std::size_t>(y) * w;
        std::vector<float> depth(static_cast<std::size_t>(w), kNone);
        for (int x = 0; x < w; ++x) {
            const bool hasL = dL[x] != kNone, hasR = dR[x] != kNone;
            if (!hasL && !hasR) continue;
            // Both eyes see something here: the nearer one wins when they
            // disagree (an edge), otherwise they blend by position.
            float wl = tr, wr = tl;
            if (!hasR || (hasL && dL[x] > dR[x] + 1.5f)) wl = 1.0f, wr = 0.0f;
            else if (!hasL || dR[x] > dL[x] + 1.5f) wl = 0.0f, wr = 1.0f;
            Pixel p = kOpaque;
            for (int c = 0; c < 3; ++c) {
                const float v = wl * cl[x][c] + wr * cr[x][c];
                p |= static_cast<Pixel>(std::clamp(static_cast<int>(v + 0.5f), 0, 255)) << (8 * c);
            }
            o[x] = p;
            depth[static_cast<std::size_t>(x)] = std::max(wl > 0 ? dL[x] : kNone, wr > 0 ? dR[x] : kNone);
        }
        // What neither eye sees is background uncovered between the two:
        // it takes the farther of its row neighbours.
        int x = 0;
        while (x < w) {
            if (depth[static_cast<std::size_t>(x)] != kNone) {
                ++x;
                continue;
            }
            int end = x;
            while (end < w && depth[static_cast<std::size_t>(end)] == kNone) ++end;
            int from = -1;
            if (x > 0 && end < w)
                from = depth[static_cast<std::size_t>(x - 1)] <= depth[static_cast<std::size_t>(end)] ? x - 1 : end;
            else if (x > 0)
                from = x - 1;
            else if (end < w)
                from = end;
            const Pixel fill = from >= 0 ? o[from] : left.row(y)[x];
            std::fill(o + x, o + end, fill);
            x = end;
        }
    }
    return true;
}

}  // namespace plastora
