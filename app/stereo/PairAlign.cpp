#include "stereo/PairAlign.h"

#include "core/ProgramModule.h"
#include "platform/Translation.h"
#include "stereo/cvmodule/StereoCv.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace plastora {

const char* const kPairNotAlignedMessage =
    "左右の画像に共通する特徴が少ないため、位置合わせをせずにそのまま使います。";

namespace {

// A picture as an 8-bit grey OpenCV image, reduced to `w` x `h`.
cv::Mat greyAt(const Surface& s, int w, int h) {
    const cv::Mat bgra(s.height(), s.width(), CV_8UC4, const_cast<Pixel*>(s.bits()));
    cv::Mat grey;
    cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
    if (grey.cols != w || grey.rows != h) {
        cv::Mat reduced;
        cv::resize(grey, reduced, cv::Size(w, h), 0, 0, cv::INTER_AREA);
        return reduced;
    }
    return grey;
}

// One correspondence in centred analysis coordinates.
struct Match {
    double xl, yl, xr, yr;
};

// The vertical model yl = a xr + b yr + t (a = s sin, b = s cos).
struct VerticalModel {
    double a = 0.0, b = 1.0, t = 0.0;
    double residual(const Match& m) const { return m.yl - (a * m.xr + b * m.yr + t); }
};

// Least squares over the given matches; false when degenerate.
bool fitVertical(const std::vector<Match>& all, const std::vector<int>& use, VerticalModel& out) {
    if (use.size() < 3) return false;
    cv::Mat A(static_cast<int>(use.size()), 3, CV_64F), y(static_cast<int>(use.size()), 1, CV_64F);
    for (int i = 0; i < static_cast<int>(use.size()); ++i) {
        const Match& m = all[static_cast<std::size_t>(use[static_cast<std::size_t>(i)])];
        A.at<double>(i, 0) = m.xr;
        A.at<double>(i, 1) = m.yr;
        A.at<double>(i, 2) = 1.0;
        y.at<double>(i, 0) = m.yl;
    }
    cv::Mat x;
    if (!cv::solve(A, y, x, cv::DECOMP_SVD)) return false;
    out.a = x.at<double>(0);
    out.b = x.at<double>(1);
    out.t = x.at<double>(2);
    return std::isfinite(out.a) && std::isfinite(out.b) && std::isfinite(out.t) && out.b > 0.0;
}

std::vector<int> inliersOf(const std::vector<Match>& all, const VerticalModel& m, double tolerance) {
    std::vector<int> in;
    for (int i = 0; i < static_cast<int>(all.size()); ++i)
        if (std::abs(m.residual(all[static_cast<std::size_t>(i)])) <= tolerance) in.push_back(i);
    return in;
}

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    const std::size_t k = std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

}  // namespace

bool PairAlignment::changesPicture(int width, int height) const {
    if (!ok) return false;
    const double a = angleDegrees * std::numbers::pi / 180.0;
    const double r = 0.5 * std::hypot(width, height);
    // The largest move of a corner from rotation and scale, plus the offset.
    const double move = r * std::hypot(scale * std::cos(a) - 1.0, scale * std::sin(a)) + std::abs(dy);
    return move > 0.05;
}

PairAlignment estimatePairAlignment(const Surface& left, const Surface& right, const PairAlignOptions& options) {
    PairAlignment result;
    if (left.empty() || right.empty()) return result;
    const double f = std::min(1.0, static_cast<double>(std::max(64, options.analysisWidth)) / left.width());
    const int aw = std::max(1, static_cast<int>(std::lround(left.width() * f)));
    const int ah = std::max(1, static_cast<int>(std::lround(left.height() * f)));
    // ORB keeps 31 pixels from every edge, so a smaller picture has no
    // features to find; and its pyramid of a picture a pixel or two high
    // would ask for levels of no size at all.
    if (aw < 64 || ah < 64) return result;
    const cv::Mat gl = greyAt(left, aw, ah), gr = greyAt(right, aw, ah);

    static const auto orbMatch = reinterpret_cast<PlastoraOrbMatchFn>(
        requiredModuleFunction(PLASTORA_STEREO_CV_MODULE, PLASTORA_ORB_MATCH_FUNCTION));
    std::vector<cv::KeyPoint> kl, kr;
    std::vector<std::vector<cv::DMatch>> knn;
    try {
        if (!orbMatch(gl, gr, options.features, kl, kr, knn)) return result;
    } catch (const cv::Exception&) {
        return result;  // not aligned, as when too few features match
    }
    const double cx = 0.5 * (aw - 1), cy = 0.5 * (ah - 1);
    std::vector<Match> matches;
    for (const auto& pair : knn) {
        if (pair.size() < 2 || pair[0].distance >= 0.8f * pair[1].distance) continue;
        const cv::Point2f& pl = kl[static_cast<std::size_t>(pair[0].queryIdx)].pt;
        const cv::Point2f& pr = kr[static_cast<std::size_t>(pair[0].trainIdx)].pt;
        matches.push_back({pl.x - cx, pl.y - cy, pr.x - cx, pr.y - cy});
    }
    result.matches = static_cast<int>(matches.size());
    if (static_cast<int>(matches.size()) < options.minInliers) return result;

    // RANSAC over minimal samples of three, with a fixed seed so that the
    // same pair always gets the same correction.
    const double tolerance = 1.0;
    cv::RNG rng(0x5eed);
    std::vector<int> best;
    VerticalModel model;
    const int n = static_cast<int>(matches.size());
    for (int iter = 0; iter < 600; ++iter) {
        std::vector<int> sample{rng.uniform(0, n), rng.uniform(0, n), rng.uniform(0, n)};
        if (sample[0] == sample[1] || sample[1] == sample[2] || sample[0] == sample[2]) continue;
        VerticalModel m;
        if (!fitVertical(matches, sample, m)) continue;
        std::vector<int> in = inliersOf(matches, m, tolerance);
        if (in.size() > best.size()) {
            best = std::move(in);
            model = m;
        }
    }
    // Refined on its agreeing matches, twice (the set may grow).
    for (int round = 0; round < 2 && best.size() >= 3; ++round) {
        VerticalModel refined;
        if (!fitVertical(matches, best, refined)) break;
        model = refined;
        best = inliersOf(matches, model, tolerance);
    }
    result.inliers = static_cast<int>(best.size());
    if (result.inliers < options.minInliers) return result;

    const double s = std::hypot(model.a, model.b);
    const double angle = std::atan2(model.a, model.b);
    const double angleDegrees = angle * 180.0 / std::numbers::pi;
    if (std::abs(angleDegrees) > options.maxAngleDegrees || std::abs(s - 1.0) > options.maxScaleChange) return result;

    std::vector<double> disparity, vertical;
    const double c = std::cos(angle), sn = std::sin(angle);
    for (int i : best) {
        const Match& m = matches[static_cast<std::size_t>(i)];
        const double xr = s * (c * m.xr - sn * m.yr);
        disparity.push_back((xr - m.xl) / f);
        vertical.push_back(model.residual(m) / f);
    }
    double sq = 0.0;
    for (double v : vertical) sq += v * v;
    result.ok = true;
    result.angleDegrees = angleDegrees;
    result.scale = s;
    result.dy = model.t / f;
    result.residual = std::sqrt(sq / static_cast<double>(vertical.size()));
    result.disparityLow = percentile(disparity, 0.02);
    result.disparityHigh = percentile(disparity, 0.98);
    result.disparityMedian = percentile(disparity, 0.5);
    return result;
}

bool applyPairAlignment(const Surface& right, const PairAlignment& alignment, Surface& out, const Surface* fill) {
    if (right.empty()) return false;
    if (!out.createUninitialized(right.width(), right.height())) return false;
    const cv::Mat src(right.height(), right.width(), CV_8UC4, const_cast<Pixel*>(right.bits()));
    cv::Mat dst(out.height(), out.width(), CV_8UC4, out.bits());
    if (!alignment.ok) {
        src.copyTo(dst);
        return true;
    }
    const double a = alignment.angleDegrees * std::numbers::pi / 180.0;
    const double s = alignment.scale, c = std::cos(a), sn = std::sin(a);
    const double cx = 0.5 * (right.width() - 1), cy = 0.5 * (right.height() - 1);
    // The forward map of the right picture's pixels to corrected positions;
    // warpAffine samples the source through its inverse.
    const cv::Matx23d forward(s * c, -s * sn, cx - s * (c * cx - sn * cy), s * sn, s * c,
                              cy - s * (sn * cx + c * cy) + alignment.dy);
    if (fill && fill->width() == right.width() && fill->height() == right.height()) {
        // Repeated edge pixels smear into bands as wide as the correction
        // (a dark frame line became 18 black rows); the left picture shows
        // what lies there.
        cv::warpAffine(src, dst, forward, dst.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        const cv::Mat ones(right.height(), right.width(), CV_8U, cv::Scalar(255));
        cv::Mat covered;
        cv::warpAffine(ones, covered, forward, dst.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        cv::parallel_for_(cv::Range(0, out.height()), [&](const cv::Range& rows) {
            for (int y = rows.start; y < rows.end; ++y) {
                const std::uint8_t* m = covered.ptr<std::uint8_t>(y);
                const Pixel* f = fill->row(y);
                Pixel* o = out.row(y);
                for (int x = 0; x < out.width(); ++x) {
                    const unsigned k = m[x];
                    if (k == 255) continue;
                    Pixel p = 0;
                    for (int c = 0; c < 24; c += 8) {
                        const unsigned v = (((o[x] >> c) & 0xFFu) * 255u + ((f[x] >> c) & 0xFFu) * (255u - k) + 127u) / 255u;
                        p |= static_cast<Pixel>(std::min(v, 255u)) << c;
                    }
                    o[x] = p;
                }
            }
        });
    } else {
        cv::warpAffine(src, dst, forward, dst.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    }
    // Keep the top byte opaque as every Surface has it.
    for (std::size_t i = 0; i < out.pixelCount(); ++i) out.bits()[i] |= kOpaque;
    return true;
}

std::string describeAlignment(const PairAlignment& alignment, double pixelScale) {
    // Values that round to zero are shown without a sign ("-0.0" says nothing).
    auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", std::abs(v) < 0.05 ? 0.0 : v);
        return std::string(text);
    };
    // Each piece translated as a pattern, then the numbers put in (a minus
    // sign would keep a filled-in text from matching its translation).
    auto fill = [](const std::string& pattern, const std::vector<std::string>& values) {
        std::string out;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const std::size_t k = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : values.size();
            if (pattern[i] == '%' && k < values.size()) {
                out += values[k];
                ++i;
            } else {
                out += pattern[i];
            }
        }
        return out;
    };
    std::string s = fill(translateText("縦 %1 px, 回転 %2°"),
                         {number(alignment.dy * pixelScale), number(alignment.angleDegrees)});
    if (std::abs(alignment.scale - 1.0) >= 0.001) s += fill(translateText(", 拡大 %1%"), {number(alignment.scale * 100.0)});
    return s;
}

}  // namespace plastora
