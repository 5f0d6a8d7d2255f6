// The least-squares, half-colour and optimised anaglyphs: hand-worked
// pixels, a double-precision reference over random pixels and over the
// sample project's views, and how the methods sit among the filters.
#include "core/StereoWorkspace.h"
#include "output/Anaglyph.h"
#include "output/AnaglyphMethods.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <vector>

using namespace plastora;
using namespace plastora::test;

namespace {

Pixel rgb(unsigned r, unsigned g, unsigned b) { return kOpaque | (r << 16) | (g << 8) | b; }

// One-pixel views through the method (on a chosen kernel: the row form).
Pixel one(int method, Pixel left, Pixel right) {
    Surface l, r, out;
    l.create(1, 1);
    r.create(1, 1);
    l.set(0, 0, left);
    r.set(0, 0, right);
    EXPECT_TRUE(BuildAnaglyphMethod(out, r, l, method));
    return out.empty() ? 0 : out.at(0, 0);
}
Pixel one(int method, Pixel left, Pixel right, AnaglyphKernel kernel) {
    Surface l, r, out;
    l.create(1, 1);
    r.create(1, 1);
    out.create(1, 1);
    l.set(0, 0, left);
    r.set(0, 0, right);
    BuildAnaglyphMethodRows(out, r, l, method, 0, 1, kernel);
    return out.at(0, 0);
}

// The kernels a test runs on: every one this processor can run.
std::vector<AnaglyphKernel> kernels() {
    std::vector<AnaglyphKernel> k;
    for (AnaglyphKernel kernel : {AnaglyphKernel::Wide, AnaglyphKernel::Vector, AnaglyphKernel::Portable})
        if (anaglyphKernelAvailable(kernel)) k.push_back(kernel);
    return k;
}
const char* kernelName(AnaglyphKernel k) {
    return k == AnaglyphKernel::Wide ? "wide kernel" : k == AnaglyphKernel::Vector ? "vector kernel" : "portable kernel";
}

// The whole picture through the row form on one kernel.
void buildOn(AnaglyphKernel kernel, Surface& out, const Surface& right, const Surface& left, int method) {
    ASSERT_TRUE(out.create(std::min(right.width(), left.width()), std::min(right.height(), left.height())));
    BuildAnaglyphMethodRows(out, right, left, method, 0, out.height(), kernel);
}

// The reference: sRGB decoded in double precision, the projection, the clip
// and the encoding, rounded.
double decode(unsigned v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
unsigned encode(double v) {
    v = std::clamp(v, 0.0, 1.0);
    const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    return static_cast<unsigned>(std::lround(s * 255.0));
}
std::array<unsigned, 3> reference(const AnaglyphProjection& p, Pixel left, Pixel right) {
    const double a[3] = {decode((left >> 16) & 0xFF), decode((left >> 8) & 0xFF), decode(left & 0xFF)};
    const double b[3] = {decode((right >> 16) & 0xFF), decode((right >> 8) & 0xFF), decode(right & 0xFF)};
    std::array<unsigned, 3> out{};
    for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (int i = 0; i < 3; ++i) s += p.left[c][i] * a[i] + p.right[c][i] * b[i];
        out[static_cast<std::size_t>(c)] = encode(s);
    }
    return out;
}

// The largest channel difference between a built anaglyph and the
// reference, over every pixel.
int worstDifference(const AnaglyphProjection& p, const Surface& out, const Surface& right, const Surface& left) {
    int worst = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const auto ref = reference(p, left.at(x, y), right.at(x, y));
            const Pixel got = out.at(x, y);
            const unsigned ch[3] = {(got >> 16) & 0xFF, (got >> 8) & 0xFF, got & 0xFF};
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(static_cast<int>(ch[c]) - static_cast<int>(ref[static_cast<std::size_t>(c)])));
        }
    return worst;
}

}  // namespace

TEST(AnaglyphMethods, LeastSquaresHandWorkedPixels) {
    // Red-cyan: white on both sides stays white (each row of the two
    // matrices sums to about 1); the left eye's pure red gives 0.437 in
    // linear light, 176.5 in sRGB; the right eye's pure blue gives green
    // 0.009 (23.8) and a blue of 1.234, clipped.
    EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(255, 255, 255), rgb(255, 255, 255)), rgb(255, 255, 255));
    EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(0, 0, 0), rgb(0, 0, 0)), rgb(0, 0, 0));
    // (176.52 lies within the encoding table's 0.06 of a level of the
    // rounding edge, so 176 and 177 are both within the promised level.)
    const Pixel red = one(kFilterDuboisRedCyan, rgb(255, 0, 0), rgb(0, 0, 0));
    EXPECT_NEAR(static_cast<int>((red >> 16) & 0xFF), 176.5, 0.6);
    EXPECT_EQ(red & 0xFFFFu, 0u) << "negative parts clip to 0";
    EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(0, 0, 0), rgb(0, 0, 255)), rgb(0, 24, 255));
    // Mid grey is worked in linear light, not on the byte values: 128
    // decodes to 0.2158 and comes back as 128, 127.9 and 128.
    EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(128, 128, 128), rgb(128, 128, 128)), rgb(128, 128, 128));
    // Amber-blue: the left eye alone (white) is amber, the right eye alone
    // is blue with a little green.
    EXPECT_EQ(one(kFilterDuboisAmberBlue, rgb(255, 255, 255), rgb(0, 0, 0)), rgb(255, 249, 0));
    EXPECT_EQ(one(kFilterDuboisAmberBlue, rgb(0, 0, 0), rgb(255, 255, 255)), rgb(0, 64, 255));
    // Green-magenta: the left eye feeds green, the right red and blue.
    const Pixel gm = one(kFilterDuboisGreenMagenta, rgb(255, 255, 255), rgb(0, 0, 0));
    EXPECT_EQ((gm >> 16) & 0xFF, 0u);
    EXPECT_GT((gm >> 8) & 0xFF, 240u);
}

// The same pixels on each kernel through the row form (the tables and the
// polynomials differ; the results must not).
TEST(AnaglyphMethods, LeastSquaresHandWorkedPixelsOnEveryKernel) {
    for (AnaglyphKernel k : kernels()) {
        SCOPED_TRACE(kernelName(k));
        EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(255, 255, 255), rgb(255, 255, 255), k), rgb(255, 255, 255));
        EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(0, 0, 0), rgb(0, 0, 0), k), rgb(0, 0, 0));
        const Pixel red = one(kFilterDuboisRedCyan, rgb(255, 0, 0), rgb(0, 0, 0), k);
        EXPECT_NEAR(static_cast<int>((red >> 16) & 0xFF), 176.5, 0.6);
        EXPECT_EQ(red & 0xFFFFu, 0u) << "negative parts clip to 0";
        EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(0, 0, 0), rgb(0, 0, 255), k), rgb(0, 24, 255));
        EXPECT_EQ(one(kFilterDuboisRedCyan, rgb(128, 128, 128), rgb(128, 128, 128), k), rgb(128, 128, 128));
        // Near black, on the straight segments of both transfer functions:
        // 10 decodes to 0.003035 and the right eye's green row gives 0.377 +
        // 0.761 + 0.009 of it, 11.4 levels.
        EXPECT_EQ((one(kFilterDuboisRedCyan, rgb(0, 0, 0), rgb(10, 10, 10), k) >> 8) & 0xFF, 11u);
        EXPECT_EQ(one(kFilterDuboisAmberBlue, rgb(255, 255, 255), rgb(0, 0, 0), k), rgb(255, 249, 0));
        EXPECT_EQ(one(kFilterDuboisAmberBlue, rgb(0, 0, 0), rgb(255, 255, 255), k), rgb(0, 64, 255));
    }
}

TEST(AnaglyphMethods, HalfColourAndOptimisedHandWorkedPixels) {
    // Half colour: the left eye's red is its grey, 200 x 30 / 100 + 100 x 59
    // / 100 + 50 x 11 / 100 = 60 + 59 + 5; green and blue from the right.
    EXPECT_EQ(one(kFilterHalfColour, rgb(200, 100, 50), rgb(10, 20, 30)), rgb(124, 20, 30));
    EXPECT_EQ(one(kFilterHalfColour, rgb(255, 255, 255), rgb(0, 0, 0)), rgb(254, 0, 0)) << "the grey rule gives 254";
    // Optimised: red from 0.7 green + 0.3 blue of the left eye, lifted by
    // the 1/1.5 gamma: green 100 gives 70, and 255 x (70/255)^(2/3) = 107.7.
    EXPECT_EQ(one(kFilterOptimised, rgb(0, 100, 0), rgb(1, 2, 3)), rgb(108, 2, 3));
    EXPECT_EQ(one(kFilterOptimised, rgb(255, 0, 0), rgb(0, 0, 0)), rgb(0, 0, 0)) << "the left red is not used";
    EXPECT_EQ(one(kFilterOptimised, rgb(0, 255, 255), rgb(0, 0, 0)), rgb(255, 0, 0));
}

// Every least-squares method against the double-precision reference over
// random pixels, on a width that is not a multiple of the vector width, on
// the kernel this processor takes and on the portable one.
TEST(AnaglyphMethods, LeastSquaresMatchDoubleReferenceWithinOneLevel) {
    std::mt19937 rng(28);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    Surface left, right, out;
    ASSERT_TRUE(left.create(203, 97));
    ASSERT_TRUE(right.create(203, 97));
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 203; ++x) {
            left.set(x, y, rgb(byte(rng), byte(rng), byte(rng)));
            right.set(x, y, rgb(byte(rng), byte(rng), byte(rng)));
        }
    for (int method : {kFilterDuboisRedCyan, kFilterDuboisGreenMagenta, kFilterDuboisAmberBlue}) {
        ASSERT_TRUE(BuildAnaglyphMethod(out, right, left, method));
        EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1) << anaglyphMethodName(method);
        for (AnaglyphKernel k : kernels()) {
            buildOn(k, out, right, left, method);
            EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1)
                << anaglyphMethodName(method) << ", " << kernelName(k);
        }
    }
    // Dark pixels, where the encoding is steepest (12.92 x 255 levels per
    // unit of linear light) and coarse linear steps would show first.
    std::uniform_int_distribution<unsigned> dark(0, 48);
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 203; ++x) {
            left.set(x, y, rgb(dark(rng), dark(rng), dark(rng)));
            right.set(x, y, rgb(dark(rng), dark(rng), dark(rng)));
        }
    for (int method : {kFilterDuboisRedCyan, kFilterDuboisGreenMagenta, kFilterDuboisAmberBlue}) {
        ASSERT_TRUE(BuildAnaglyphMethod(out, right, left, method));
        EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1)
            << anaglyphMethodName(method) << ", dark pixels";
        for (AnaglyphKernel k : kernels()) {
            buildOn(k, out, right, left, method);
            EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1)
                << anaglyphMethodName(method) << ", dark pixels, " << kernelName(k);
        }
    }
}

// Every value of every input channel (three per eye), each beside random
// partners, on every kernel: rows of 256 pixels where one channel runs
// through 0..255, then a few random pixels, so that the width is neither a
// multiple of the vector width nor within one chunk of the vector kernel.
TEST(AnaglyphMethods, LeastSquaresMatchDoubleReferenceForEveryChannelValue) {
    constexpr int kValues = 256, kW = kValues + 7, kRowsPerInput = 12;
    std::mt19937 rng(2802);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    Surface left, right, out;
    ASSERT_TRUE(left.create(kW, 6 * kRowsPerInput));
    ASSERT_TRUE(right.create(kW, 6 * kRowsPerInput));
    for (int input = 0; input < 6; ++input)
        for (int y = input * kRowsPerInput; y < (input + 1) * kRowsPerInput; ++y)
            for (int x = 0; x < kW; ++x) {
                unsigned ch[6];
                for (unsigned& c : ch) c = byte(rng);
                if (x < kValues) ch[input] = static_cast<unsigned>(x);
                left.set(x, y, rgb(ch[0], ch[1], ch[2]));
                right.set(x, y, rgb(ch[3], ch[4], ch[5]));
            }
    for (AnaglyphKernel k : kernels())
        for (int method : {kFilterDuboisRedCyan, kFilterDuboisGreenMagenta, kFilterDuboisAmberBlue}) {
            buildOn(k, out, right, left, method);
            EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1)
                << anaglyphMethodName(method) << ", " << kernelName(k);
        }
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // The widest kernel the processor can run is taken.
    const bool vector = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    const bool wide = vector && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                      __builtin_cpu_supports("avx512vbmi");
    EXPECT_EQ(anaglyphKernel(), wide     ? AnaglyphKernel::Wide
                                : vector ? AnaglyphKernel::Vector
                                         : AnaglyphKernel::Portable);
#endif
    EXPECT_TRUE(anaglyphKernelAvailable(AnaglyphKernel::Portable));
}

// Every pair of grey levels, left and right (65536 pixels): the sums run
// densely through the whole range of linear values, cancellations between
// the eyes included, so every part of the encoding is met: the straight
// segment near black and where it hands over to the curve, each octave of
// the curve, and the clipping at both ends.
TEST(AnaglyphMethods, LeastSquaresMatchDoubleReferenceForEveryGreyPair) {
    Surface left, right, out;
    ASSERT_TRUE(left.create(256, 256));
    ASSERT_TRUE(right.create(256, 256));
    for (unsigned y = 0; y < 256; ++y)
        for (unsigned x = 0; x < 256; ++x) {
            left.set(static_cast<int>(x), static_cast<int>(y), rgb(x, x, x));
            right.set(static_cast<int>(x), static_cast<int>(y), rgb(y, y, y));
        }
    for (AnaglyphKernel k : kernels())
        for (int method : {kFilterDuboisRedCyan, kFilterDuboisGreenMagenta, kFilterDuboisAmberBlue}) {
            buildOn(k, out, right, left, method);
            EXPECT_LE(worstDifference(*anaglyphProjection(method), out, right, left), 1)
                << anaglyphMethodName(method) << ", " << kernelName(k);
        }
}

// The half-colour and optimised mixes against their formulas over random
// pixels (the fast forms use a multiply-and-shift and one look-up).
TEST(AnaglyphMethods, HalfColourAndOptimisedMatchTheirFormulas) {
    std::mt19937 rng(280);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    Surface left, right, half, optimised;
    ASSERT_TRUE(left.create(257, 31));
    ASSERT_TRUE(right.create(257, 31));
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 257; ++x) {
            left.set(x, y, rgb(byte(rng), byte(rng), byte(rng)));
            right.set(x, y, rgb(byte(rng), byte(rng), byte(rng)));
        }
    ASSERT_TRUE(BuildAnaglyphMethod(half, right, left, kFilterHalfColour));
    ASSERT_TRUE(BuildAnaglyphMethod(optimised, right, left, kFilterOptimised));
    int wrong = 0;
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 257; ++x) {
            const Pixel a = left.at(x, y), b = right.at(x, y);
            const unsigned r = (a >> 16) & 0xFF, g = (a >> 8) & 0xFF, bl = a & 0xFF;
            const unsigned grey = r * 30 / 100 + g * 59 / 100 + bl * 11 / 100;
            const double v = (7 * g + 3 * bl + 5) / 10;
            const auto lifted = static_cast<unsigned>(std::lround(255.0 * std::pow(v / 255.0, 1.0 / 1.5)));
            wrong += half.at(x, y) != rgb(grey, (b >> 8) & 0xFF, b & 0xFF);
            wrong += optimised.at(x, y) != rgb(lifted, (b >> 8) & 0xFF, b & 0xFF);
        }
    EXPECT_EQ(wrong, 0);
}

// The build runs in bands of rows on every core: the picture must not
// depend on how many there are.
TEST(AnaglyphMethods, OneThreadAndAllThreadsGiveTheSameBytes) {
    std::mt19937 rng(2828);
    Surface left, right, one, all;
    ASSERT_TRUE(left.create(641, 419));  // several bands
    ASSERT_TRUE(right.create(641, 419));
    for (int y = 0; y < 419; ++y)
        for (int x = 0; x < 641; ++x) {
            left.set(x, y, kOpaque | (rng() & 0xFFFFFFu));
            right.set(x, y, kOpaque | (rng() & 0xFFFFFFu));
        }
    const int threads = cv::getNumThreads();
    // Every filter, the plain ones in grey and in colour too.
    for (int method = kFilterRedCyan; method < kAnaglyphFilterCount; ++method)
        for (int colour : {kAnaglyphColour, kAnaglyphGrey}) {
            cv::setNumThreads(1);
            ASSERT_TRUE(BuildAnaglyph(one, right, left, colour, method));
            cv::setNumThreads(std::max(threads, 2));
            ASSERT_TRUE(BuildAnaglyph(all, right, left, colour, method));
            EXPECT_TRUE(std::equal(one.bits(), one.bits() + one.pixelCount(), all.bits()))
                << anaglyphMethodName(method) << " " << colour;
        }
    cv::setNumThreads(threads);
}

// The sample project's two extreme views through the red-cyan projection.
TEST(AnaglyphMethods, SampleRedCyanMatchesDoubleReference) {
    TempDir dir;
    std::ofstream(dir.file("Plastora.ini")) << "";
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    ASSERT_TRUE(ws.Open(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr"));
    ws.GenerateViews(nullptr, ws.strength(), true);
    const Surface& right = ws.view(0);
    const Surface& left = ws.view(ws.viewCount() - 1);
    ASSERT_FALSE(right.empty());
    ASSERT_FALSE(left.empty());
    Surface out;
    ASSERT_TRUE(BuildAnaglyph(out, right, left, kAnaglyphGrey, kFilterDuboisRedCyan)) << "the colour mode does not apply";
    EXPECT_LE(worstDifference(*anaglyphProjection(kFilterDuboisRedCyan), out, right, left), 1);
}

TEST(AnaglyphMethods, RowFormTouchesOnlyItsRows) {
    Surface left, right, out;
    left.create(9, 6);
    right.create(9, 6);
    blit(left, Rop::Whiteness);
    blit(right, Rop::Whiteness);
    out.create(9, 6);  // black
    BuildAnaglyphMethodRows(out, right, left, kFilterDuboisRedCyan, 2, 4);
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(out.at(8, y), (y >= 2 && y < 4) ? kWhite : kBlack) << "row " << y;
}

TEST(AnaglyphMethods, FilterNumbersNamesAndStoredChoice) {
    for (int f = 0; f < kAnaglyphFilterCount; ++f) EXPECT_EQ(anaglyphMethodFromName(anaglyphMethodName(f)), f);
    EXPECT_EQ(anaglyphMethodFromName("optimized"), kFilterOptimised);
    EXPECT_EQ(anaglyphMethodFromName("dubois"), -1);
    EXPECT_EQ(anaglyphProjection(kFilterHalfColour), nullptr);

    TempDir dir;
    std::ofstream(dir.file("a.ini")) << "[Option]\nAnaglyphFilter=5\n";
    std::ofstream(dir.file("b.ini")) << "[Option]\nAnaglyphFilter=8\n";
    EXPECT_EQ(CStereoWorkspace::readAnaglyphFilter(dir.file("a.ini")), kFilterDuboisAmberBlue);
    EXPECT_EQ(CStereoWorkspace::readAnaglyphFilter(dir.file("b.ini")), kFilterRedCyan) << "unknown numbers";

    // Only the channel picks that drop a colour ask about colour mode.
    AnaglyphDialogData d;
    d.colourMode = kAnaglyphColour;
    d.filter = kFilterHalfColour;
    EXPECT_FALSE(anaglyphNeedsColourQuestion(d));
    d.filter = kFilterRedBlue;
    EXPECT_TRUE(anaglyphNeedsColourQuestion(d));
}
