// Synthetic stereo scenes with known disparity: a textured background at
// one disparity and a textured rectangle in front of it at another, drawn
// as the view at any fraction of the way from the left eye to the right.
#pragma once

#include "platform/Surface.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <random>

namespace plastora::test {

// Random filled shapes of random colours over smooth noise: corners and
// texture everywhere, as features and matchers need, no two areas alike.
inline cv::Mat shapesTexture(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    cv::Mat noise(h / 4 + 1, w / 4 + 1, CV_8UC3);
    cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(255));
    cv::Mat m;
    cv::resize(noise, m, cv::Size(w, h), 0, 0, cv::INTER_LINEAR);
    auto colour = [&] { return cv::Scalar(rng() % 256, rng() % 256, rng() % 256); };
    const int shapes = w * h / 300;
    for (int i = 0; i < shapes; ++i) {
        const cv::Point c(static_cast<int>(rng() % w), static_cast<int>(rng() % h));
        const int r = 3 + static_cast<int>(rng() % 12);
        if (i % 2) cv::circle(m, c, r, colour(), cv::FILLED);
        else cv::rectangle(m, c, c + cv::Point(r, r + static_cast<int>(rng() % 8)), colour(), cv::FILLED);
    }
    return m;
}

struct TwoLayerScene {
    cv::Mat background, foreground;  // BGR textures, larger than the view
    cv::Rect rect;                   // the foreground's place in the left view
    int backgroundDisparity = 6;     // d = x(left) - x(right)
    int foregroundDisparity = 20;
    int margin = 64;                 // how far the textures reach past the view

    TwoLayerScene(int w, int h, unsigned seed, cv::Rect r, int bd, int fd)
        : rect(r), backgroundDisparity(bd), foregroundDisparity(fd) {
        background = shapesTexture(w + 2 * margin, h, seed);
        foreground = shapesTexture(w + 2 * margin, h, seed + 1000);
    }

    // The view at fraction t (0 = left, 1 = right): a point at left x with
    // disparity d is seen at x - t d (nearest pixel).
    Surface view(int w, int h, double t) const {
        Surface s;
        s.create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int xf = static_cast<int>(std::lround(x + t * foregroundDisparity));
                cv::Vec3b c;
                if (rect.contains(cv::Point(xf, y))) c = foreground.at<cv::Vec3b>(y, xf + margin);
                else c = background.at<cv::Vec3b>(y, static_cast<int>(std::lround(x + t * backgroundDisparity)) + margin);
                s.set(x, y, 0xFF000000u | (unsigned(c[2]) << 16) | (unsigned(c[1]) << 8) | c[0]);
            }
        return s;
    }
    // The true disparity of the left view's pixel (x, y).
    int disparityAt(int x, int y) const {
        return rect.contains(cv::Point(x, y)) ? foregroundDisparity : backgroundDisparity;
    }
};

// `s` turned by `degrees` about its centre and moved down by `dy` (bilinear,
// edges repeated): a camera that was held a little askew.
inline Surface misaligned(const Surface& s, double degrees, double dy) {
    const cv::Mat src(s.height(), s.width(), CV_8UC4, const_cast<Pixel*>(s.bits()));
    const cv::Point2f centre(0.5f * (s.width() - 1), 0.5f * (s.height() - 1));
    cv::Mat m = cv::getRotationMatrix2D(centre, -degrees, 1.0);
    m.at<double>(1, 2) += dy;
    Surface out;
    out.create(s.width(), s.height());
    cv::Mat dst(out.height(), out.width(), CV_8UC4, out.bits());
    cv::warpAffine(src, dst, m, dst.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    for (std::size_t i = 0; i < out.pixelCount(); ++i) out.bits()[i] |= 0xFF000000u;
    return out;
}

}  // namespace plastora::test
