#include "output/AnaglyphMethods.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plastora {

namespace {

// The least-squares projection matrices of Eric Dubois: "A projection method
// to generate anaglyph stereo images", Proc. IEEE ICASSP 2001, vol. 3,
// pp. 1661-1664, as published on his anaglyph page at the University of
// Ottawa (site.uottawa.ca/~edubois/anaglyph/). The red-cyan pair is the
// revised one given there in "Conversion of a stereo pair to anaglyph with
// the least-squares projection method" (March 2009); green-magenta and
// amber-blue (ColorCode 3-D glasses) are from the same page. They act on
// linear-light RGB.
constexpr AnaglyphProjection kDuboisRedCyan{
    {{0.437, 0.449, 0.164}, {-0.062, -0.062, -0.024}, {-0.048, -0.050, -0.017}},
    {{-0.011, -0.032, -0.007}, {0.377, 0.761, 0.009}, {-0.026, -0.093, 1.234}}};
constexpr AnaglyphProjection kDuboisGreenMagenta{
    {{-0.062, -0.158, -0.039}, {0.284, 0.668, 0.143}, {-0.015, -0.027, 0.021}},
    {{0.529, 0.705, 0.024}, {-0.016, -0.015, -0.065}, {0.009, 0.075, 0.937}}};
constexpr AnaglyphProjection kDuboisAmberBlue{
    {{1.062, -0.205, 0.299}, {-0.026, 0.908, 0.068}, {-0.038, -0.173, 0.022}},
    {{-0.016, -0.123, -0.017}, {0.006, 0.062, -0.017}, {0.094, 0.185, 0.911}}};

constexpr const char* kMethodNames[kAnaglyphFilterCount] = {
    "red-cyan",      "red-green",         "red-blue",   "dubois-red-cyan", "dubois-green-magenta",
    "dubois-amber-blue", "half-colour", "optimised"};

// The encoding back to sRGB is looked up by the bits of the linear value as
// a float: its exponent and the top 10 bits of its mantissa pick one of 1024
// buckets per octave from 2^-14 up to 1 (below 2^-14 every value encodes to
// 0). Each entry is the encoding of its bucket's middle; a bucket is 1/1024
// of its value wide, which keeps every entry within 0.06 of a grey level of
// the exact encoding of any value in it. No square root or logarithm is
// needed per pixel.
constexpr int kEncodeShift = 13;
constexpr std::uint32_t kEncodeLowest = std::uint32_t{127 - 14} << 23;  // 2^-14
constexpr int kEncodeEntries = (14 << (23 - kEncodeShift)) + 1;

inline std::uint32_t floatBits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
inline float bitsFloat(std::uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

struct LinearTables {
    std::array<float, 256> linear{};
    std::array<std::uint8_t, kEncodeEntries> encode{};
    LinearTables() {
        for (int v = 0; v < 256; ++v) linear[static_cast<std::size_t>(v)] = static_cast<float>(srgbToLinear(v / 255.0));
        for (int i = 0; i < kEncodeEntries; ++i) {
            const std::uint32_t b = kEncodeLowest + (static_cast<std::uint32_t>(i) << kEncodeShift);
            const double lo = bitsFloat(b), hi = bitsFloat(b + (1u << kEncodeShift));
            const double mid = std::min(1.0, (lo + hi) / 2);
            encode[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(std::lround(std::clamp(linearToSrgb(mid), 0.0, 1.0) * 255.0));
        }
    }
};

// The table index of a linear value in [0, 1].
inline int encodeIndex(float v) {
    const float clipped = std::clamp(v, bitsFloat(kEncodeLowest), 1.0f);
    return static_cast<int>((floatBits(clipped) - kEncodeLowest) >> kEncodeShift);
}

const LinearTables& linearTables() {
    static const LinearTables tables;
    return tables;
}

// The optimised mix's red: 255 x (v / 255)^(1 / 1.5), rounded.
struct GammaLift {
    std::array<std::uint8_t, 256> table{};
    GammaLift() {
        for (int v = 0; v < 256; ++v)
            table[static_cast<std::size_t>(v)] =
                static_cast<std::uint8_t>(std::lround(255.0 * std::pow(v / 255.0, 1.0 / 1.5)));
    }
};

const GammaLift& gammaLift() {
    static const GammaLift lift;
    return lift;
}

inline unsigned channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

void duboisRow(const Pixel* left, const Pixel* right, Pixel* out, int w, const float (&m)[3][6],
               const LinearTables& t) {
    const float* lin = t.linear.data();
    const std::uint8_t* enc = t.encode.data();
    int x = 0;
#if defined(__SSE2__)
    // Four pixels at a time: the table look-ups stay scalar (there is no
    // gather before AVX2), the projection, clipping and the encoding index
    // run on four lanes.
    __m128 k[3][6];
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 6; ++i) k[c][i] = _mm_set1_ps(m[c][i]);
    const __m128 lowest = _mm_set1_ps(bitsFloat(kEncodeLowest)), one = _mm_set1_ps(1.0f);
    const __m128i base = _mm_set1_epi32(static_cast<int>(kEncodeLowest));
    for (; x + 4 <= w; x += 4) {
        const Pixel* a = left + x;
        const Pixel* b = right + x;
        auto lanes = [&](const Pixel* p, int shift) {
            return _mm_setr_ps(lin[channel(p[0], shift)], lin[channel(p[1], shift)], lin[channel(p[2], shift)],
                               lin[channel(p[3], shift)]);
        };
        const __m128 in[6] = {lanes(a, 16), lanes(a, 8), lanes(a, 0), lanes(b, 16), lanes(b, 8), lanes(b, 0)};
        alignas(16) std::int32_t idx[3][4];
        for (int c = 0; c < 3; ++c) {
            __m128 s = _mm_mul_ps(k[c][0], in[0]);
            for (int i = 1; i < 6; ++i) s = _mm_add_ps(s, _mm_mul_ps(k[c][i], in[i]));
            s = _mm_min_ps(_mm_max_ps(s, lowest), one);
            _mm_store_si128(reinterpret_cast<__m128i*>(idx[c]),
                            _mm_srli_epi32(_mm_sub_epi32(_mm_castps_si128(s), base), kEncodeShift));
        }
        for (int j = 0; j < 4; ++j)
            out[x + j] = kOpaque | (Pixel{enc[idx[0][j]]} << 16) | (Pixel{enc[idx[1][j]]} << 8) | enc[idx[2][j]];
    }
#endif
    for (; x < w; ++x) {
        const Pixel a = left[x], b = right[x];
        const float in[6] = {lin[channel(a, 16)], lin[channel(a, 8)], lin[channel(a, 0)],
                             lin[channel(b, 16)], lin[channel(b, 8)], lin[channel(b, 0)]};
        Pixel o = kOpaque;
        for (int c = 0; c < 3; ++c) {
            float s = 0.0f;
            for (int i = 0; i < 6; ++i) s += m[c][i] * in[i];
            o |= Pixel{enc[encodeIndex(s)]} << (16 - 8 * c);
        }
        out[x] = o;
    }
}

// The grey value of the plain anaglyph, each quotient truncated alone.
inline unsigned greyValue(Pixel p) {
    return channel(p, 16) * 30 / 100 + channel(p, 8) * 59 / 100 + channel(p, 0) * 11 / 100;
}

void halfColourRow(const Pixel* left, const Pixel* right, Pixel* out, int w) {
    for (int x = 0; x < w; ++x) out[x] = kOpaque | (greyValue(left[x]) << 16) | (right[x] & 0xFFFFu);
}

void optimisedRow(const Pixel* left, const Pixel* right, Pixel* out, int w, const GammaLift& lift) {
    for (int x = 0; x < w; ++x) {
        const unsigned v = (7 * channel(left[x], 8) + 3 * channel(left[x], 0) + 5) / 10;
        out[x] = kOpaque | (Pixel{lift.table[v]} << 16) | (right[x] & 0xFFFFu);
    }
}

}  // namespace

const char* anaglyphMethodName(int filter) {
    return filter >= 0 && filter < kAnaglyphFilterCount ? kMethodNames[filter] : "";
}

int anaglyphMethodFromName(const std::string& name) {
    for (int i = 0; i < kAnaglyphFilterCount; ++i)
        if (name == kMethodNames[i]) return i;
    // The American spellings are taken too.
    if (name == "half-color") return kFilterHalfColour;
    if (name == "optimized") return kFilterOptimised;
    return -1;
}

const AnaglyphProjection* anaglyphProjection(int filter) {
    switch (filter) {
    case kFilterDuboisRedCyan: return &kDuboisRedCyan;
    case kFilterDuboisGreenMagenta: return &kDuboisGreenMagenta;
    case kFilterDuboisAmberBlue: return &kDuboisAmberBlue;
    default: return nullptr;
    }
}

double srgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

double linearToSrgb(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055; }

void BuildAnaglyphMethodRows(Surface& dst, const Surface& right, const Surface& left, int method, int y0, int y1) {
    const int w = dst.width();
    y0 = std::max(y0, 0);
    y1 = std::min({y1, dst.height(), right.height(), left.height()});
    if (w > right.width() || w > left.width()) return;
    if (const AnaglyphProjection* p = anaglyphProjection(method)) {
        float m[3][6];
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 3; ++i) {
                m[c][i] = static_cast<float>(p->left[c][i]);
                m[c][i + 3] = static_cast<float>(p->right[c][i]);
            }
        const LinearTables& t = linearTables();
        for (int y = y0; y < y1; ++y) duboisRow(left.row(y), right.row(y), dst.row(y), w, m, t);
    } else if (method == kFilterHalfColour) {
        for (int y = y0; y < y1; ++y) halfColourRow(left.row(y), right.row(y), dst.row(y), w);
    } else if (method == kFilterOptimised) {
        const GammaLift& lift = gammaLift();
        for (int y = y0; y < y1; ++y) optimisedRow(left.row(y), right.row(y), dst.row(y), w, lift);
    }
}

bool BuildAnaglyphMethod(Surface& dst, const Surface& right, const Surface& left, int method) {
    if (right.empty() || left.empty() || !isAnaglyphMethod(method)) return false;
    const int w = std::min(right.width(), left.width());
    const int h = std::min(right.height(), left.height());
    if ((dst.width() != w || dst.height() != h) && !dst.createUninitialized(w, h)) return false;
    BuildAnaglyphMethodRows(dst, right, left, method, 0, h);
    return true;
}

}  // namespace plastora
