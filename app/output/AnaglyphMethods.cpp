#include "output/AnaglyphMethods.h"
#include "output/AnaglyphGrey.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include <opencv2/core/utility.hpp>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define PLASTORA_ANAGLYPH_VECTOR 1
#include <immintrin.h>
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

// The portable kernel of the least-squares methods runs on integers (the
// vector kernel, further below, on floats). The projection is linear, so
// each of the six inputs (left r, g, b, right r, g, b) contributes
// coefficient x linear(byte) to each output channel independently: one
// 256-entry table per input holds those three contributions, in linear light
// scaled by 2^20, side by side in one 64-bit word (21 bits each). Every
// field of a sum of six words is the channel's linear value raised by 1/2
// (the first input's table carries the raise, less what the negative
// coefficients' entries carry to stay at or above 0), so no field goes below
// 0 or reaches 2^21 and the six additions add all three channels at once
// without a carry from one field into the next (checked at compile time
// below for every matrix). Each entry is within 2^-21 of its exact value,
// six of them within 3 x 2^-20.
//
// The raised field's top 14 bits then index one table that clips and encodes
// back to sRGB at once: 16384 buckets of 2^-13 of linear light, from -1/2
// to 3/2, every entry the encoding of its bucket's middle clipped to [0, 1].
// Where the encoding is steepest (12.92 x 255 grey levels per unit, near
// black) a bucket spans 0.4 of a grey level, so an entry is within 0.2 of a
// level of the exact encoding of any value in its bucket, and the rounded
// result at most one level from the rounded exact one. A pixel is six
// look-ups and five additions, then a shift, a mask and a look-up per
// channel: no clipping, no branch.
constexpr int kLinearBits = 20;
constexpr std::int64_t kLinearOne = std::int64_t{1} << kLinearBits;
constexpr std::int64_t kRaise = kLinearOne / 2;
constexpr int kFieldBits = 21;
constexpr int kEncodeBits = 14;
constexpr int kEncodeShift = kFieldBits - kEncodeBits;
constexpr std::uint64_t kEncodeMask = (std::uint64_t{1} << kEncodeBits) - 1;
constexpr int kEncodeEntries = 1 << kEncodeBits;

// The sums of the positive and of the negative coefficients of output
// channel c.
constexpr double coefficientSum(const AnaglyphProjection& p, int c, bool positive) {
    double s = 0;
    for (int i = 0; i < 3; ++i)
        for (double k : {p.left[c][i], p.right[c][i]})
            if ((k > 0) == positive) s += positive ? k : -k;
    return s;
}
// A field holds the raise plus at most the positive sum (and a little
// rounding), and the raise covers the negative sum.
constexpr bool fieldsHoldTheSums(const AnaglyphProjection& p) {
    for (int c = 0; c < 3; ++c)
        if (coefficientSum(p, c, false) * kLinearOne + 6 >= kRaise ||
            kRaise + coefficientSum(p, c, true) * kLinearOne + 6 >= double(std::int64_t{1} << kFieldBits))
            return false;
    return true;
}
static_assert(fieldsHoldTheSums(kDuboisRedCyan) && fieldsHoldTheSums(kDuboisGreenMagenta) &&
              fieldsHoldTheSums(kDuboisAmberBlue));

const std::array<std::uint8_t, kEncodeEntries>& encodeTable() {
    static const auto table = [] {
        std::array<std::uint8_t, kEncodeEntries> t{};
        for (int i = 0; i < kEncodeEntries; ++i) {
            const double mid = std::clamp(((i + 0.5) * (1 << kEncodeShift) - kRaise) / kLinearOne, 0.0, 1.0);
            t[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(std::lround(std::clamp(linearToSrgb(mid), 0.0, 1.0) * 255.0));
        }
        return t;
    }();
    return table;
}

// The six packed tables of one projection.
struct PackedProjection {
    std::array<std::uint64_t, 6 * 256> input{};
    explicit PackedProjection(const AnaglyphProjection& p) {
        double linear[256];
        for (int v = 0; v < 256; ++v) linear[v] = srgbToLinear(v / 255.0);
        for (int c = 0; c < 3; ++c) {
            // Inputs 1..5 are raised by their negative coefficients' size,
            // input 0 by the rest of the raise.
            std::int64_t up[6]{};
            std::int64_t rest = kRaise;
            for (int i = 1; i < 6; ++i) {
                const double k = i < 3 ? p.left[c][i] : p.right[c][i - 3];
                up[i] = k < 0 ? std::llround(-k * kLinearOne) : 0;
                rest -= up[i];
            }
            up[0] = rest;
            for (int i = 0; i < 6; ++i) {
                const double k = i < 3 ? p.left[c][i] : p.right[c][i - 3];
                for (int v = 0; v < 256; ++v) {
                    const std::int64_t q = std::llround(k * linear[v] * kLinearOne) + up[i];
                    input[static_cast<std::size_t>(i * 256 + v)] |= static_cast<std::uint64_t>(q)
                                                                    << (kFieldBits * c);
                }
            }
        }
    }
};

// A kernel's form (its tables) of each least-squares matrix, made once;
// nullptr for the other methods.
template <typename Form>
const Form* projectionFor(int method) {
    static const Form redCyan(kDuboisRedCyan), greenMagenta(kDuboisGreenMagenta), amberBlue(kDuboisAmberBlue);
    switch (method) {
    case kFilterDuboisRedCyan: return &redCyan;
    case kFilterDuboisGreenMagenta: return &greenMagenta;
    case kFilterDuboisAmberBlue: return &amberBlue;
    default: return nullptr;
    }
}

const PackedProjection* packedProjection(int method) { return projectionFor<PackedProjection>(method); }

// The optimised mix's red for every n = 7 x green + 3 x blue + 5 of the
// left eye: 255 x (v / 255)^(1 / 1.5) rounded, v = n / 10 truncated, kept
// in the red channel's place.
constexpr int kLiftEntries = 7 * 255 + 3 * 255 + 5 + 1;
const std::array<Pixel, kLiftEntries>& gammaLift() {
    static const auto table = [] {
        std::array<Pixel, kLiftEntries> t{};
        for (int n = 0; n < kLiftEntries; ++n)
            t[static_cast<std::size_t>(n)] =
                static_cast<Pixel>(std::lround(255.0 * std::pow((n / 10) / 255.0, 1.0 / 1.5))) << 16;
        return t;
    }();
    return table;
}


// The rows below are plain loops without calls or branches. The portable
// kernel's look-ups are left scalar: only gathers could vectorise them, and
// those are slower than the scalar loads on the processors we run on (the
// vector kernel computes instead of looking up).

// The channel bytes of a pixel in memory (0xAARRGGBB as a 32-bit word).
constexpr int kRedByte = std::endian::native == std::endian::little ? 2 : 1;
constexpr int kGreenByte = std::endian::native == std::endian::little ? 1 : 2;
constexpr int kBlueByte = std::endian::native == std::endian::little ? 0 : 3;

void duboisRow(const Pixel* __restrict left, const Pixel* __restrict right, Pixel* __restrict out, int w,
               const PackedProjection& p, const std::uint8_t* __restrict enc) {
    const std::uint64_t* __restrict lr = p.input.data();
    const std::uint64_t* __restrict lg = lr + 256;
    const std::uint64_t* __restrict lb = lr + 512;
    const std::uint64_t* __restrict rr = lr + 768;
    const std::uint64_t* __restrict rg = lr + 1024;
    const std::uint64_t* __restrict rb = lr + 1280;
    // The bytes are read one by one: the loads are cheaper here than the
    // shifts and masks that would take a word apart.
    const auto* a = reinterpret_cast<const std::uint8_t*>(left);
    const auto* b = reinterpret_cast<const std::uint8_t*>(right);
    for (int x = 0; x < w; ++x, a += 4, b += 4) {
        const std::uint64_t s = lr[a[kRedByte]] + lg[a[kGreenByte]] + lb[a[kBlueByte]] + rr[b[kRedByte]] +
                                rg[b[kGreenByte]] + rb[b[kBlueByte]];
        const Pixel red = enc[(s >> kEncodeShift) & kEncodeMask];
        const Pixel green = enc[(s >> (kFieldBits + kEncodeShift)) & kEncodeMask];
        const Pixel blue = enc[s >> (2 * kFieldBits + kEncodeShift)];  // the top field: nothing above it
        out[x] = kOpaque | (red << 16) | (green << 8) | blue;
    }
}

#ifdef PLASTORA_ANAGLYPH_VECTOR

// The vector kernel: eight pixels at a time in single-precision floats, on
// processors with AVX2 and FMA (chosen at run time; the build itself targets
// the baseline x86-64). Its polynomials were fitted by
// tools/fit_srgb_polynomials.py, which prints these numbers and their errors.
//
// Decoding: a byte b of 11 or more is s x beta + (b - beta) x Q(b - beta),
// s = 1 / (255 x 12.92), beta = 10.5; below, the straight segment s x b is
// the same form with s in place of Q, and as Q stays under s below beta the
// larger of the two is the factor: no comparison or blend. Within 1.2e-4 of
// the exact value for every byte: 0.37 of a grey level where the encoding
// is steepest, 0.64 after a projection (whose coefficients' sizes add up to
// 1.72 at most). With the encoding's 0.07, a channel is within 0.75 of a
// level of the exact value before rounding (0.77 with the encoding's
// straight segment, below), so the rounded one is within one level of the
// rounded exact value (on random pixels about 3% of the
// channels are one level off it, against 1% with the portable kernel; the
// cubic Q instead of a quartic is 8% faster and puts 1% more off).
constexpr float kDecodeBeta = 10.5f;
constexpr float kDecodeSlope = static_cast<float>(1.0 / (255.0 * 12.92));
constexpr float kDecodeBase = static_cast<float>(10.5 / (255.0 * 12.92));
constexpr float kDecodeQ[4] = {2.936044184e-04f, 9.893227798e-06f, 2.819680844e-08f, -2.200448851e-11f};
// Encoding, in grey levels. The projection's coefficients carry the factor
// 255 x 12.92 of the straight segment near black, so the sum V is that
// segment's value already. Above the threshold V_t = 255 x 12.92 x
// 0.0031308, V = m x 2^e, m in [0.5, 2) and e even (the low bit of the
// float's exponent kept with the mantissa), gives the curve 255 x 1.055 x
// (2^e / (255 x 12.92))^(1 / 2.4) x P(m) - 255 x 0.055, P(m) within 2.7e-4
// of m^(1 / 2.4) (0.07 of a level); the power of 2^e comes from an
// eight-entry table indexed by the exponent's upper bits. The result is the
// smaller of the curve and V itself, with no comparison or blend: above V_t
// the (concave) curve lies under the segment, and below V_t the segment is
// the encoding. Each value takes the table entry of its own exponent, with
// no clamp to V_t first: entries 1..5 cover 8 <= V < 8192; the index wraps
// around (only its low three bits count), and entries 0, 6 and 7, which
// 1/8 <= V < 8 take, hold a huge factor, so V is the smaller there. Between
// 8 and V_t the curve's own entry applies, and the curve there lies at most
// 0.13 of a level under the segment. Under half a level the result is at
// most V and rounds to 0 whatever the entry, and values below 0
// or above 255 are clipped when the levels are packed into bytes with
// saturation (every sum of a row's positive coefficients is below 1.9,
// checked below, so V stays below 6260). The encoding is thus within 0.13
// of a level of the exact one (0.07 outside 8 <= V < V_t), and with the
// decoding's 0.64 a channel is within 0.77 of a level before rounding.
constexpr float kEncodeP[5] = {3.520302773e-01f, 1.016422272e+00f, -5.338220596e-01f, 1.955524832e-01f,
                               -2.997055091e-02f};
constexpr double kSegmentLevels = 255.0 * 12.92;  // the straight segment's slope, in levels
constexpr float kEncodeOffset = 255.0f * 0.055f;

constexpr bool sumsStayInTheTable(const AnaglyphProjection& p) {
    for (int c = 0; c < 3; ++c)
        if (coefficientSum(p, c, true) >= 1.9) return false;
    return true;
}
static_assert(sumsStayInTheTable(kDuboisRedCyan) && sumsStayInTheTable(kDuboisGreenMagenta) &&
              sumsStayInTheTable(kDuboisAmberBlue));

// Entry j of the encoding's exponent table. It serves the biased exponents
// 2 x (64 + j) and one more, i.e. V = m x 2^e with e = 2 x (64 + j) - 126
// (j = 1..5: 8 <= V < 8192); the others make the curve far larger than V
// (see above).
float octaveFactor(int j) {
    return j >= 1 && j <= 5
               ? static_cast<float>(255.0 * 1.055 *
                                    std::pow(std::pow(2.0, 2.0 * (64 + j) - 126) / kSegmentLevels, 1 / 2.4))
               : 1e6f;
}

// The projection's 18 coefficients (times 255 x 12.92), each repeated in
// eight lanes, and the encoding's exponent table.
struct VectorProjection {
    alignas(32) float k[3][6][8];
    alignas(32) float octave[8];
    explicit VectorProjection(const AnaglyphProjection& p) {
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 6; ++i)
                for (float& lane : k[c][i])
                    lane = static_cast<float>((i < 3 ? p.left[c][i] : p.right[c][i - 3]) * kSegmentLevels);
        for (int j = 0; j < 8; ++j) octave[j] = octaveFactor(j);
    }
};

const VectorProjection* vectorProjection(int method) { return projectionFor<VectorProjection>(method); }

#define PLASTORA_VECTOR_TARGET __attribute__((target("avx2,fma")))

// One channel of eight pixels (each the float 32768 + byte) to linear light.
PLASTORA_VECTOR_TARGET inline __m256 decodeVector(__m256 number) {
    const __m256 x = _mm256_sub_ps(number, _mm256_set1_ps(32768.0f + kDecodeBeta));
    __m256 q = _mm256_fmadd_ps(_mm256_set1_ps(kDecodeQ[3]), x, _mm256_set1_ps(kDecodeQ[2]));
    q = _mm256_fmadd_ps(q, x, _mm256_set1_ps(kDecodeQ[1]));
    q = _mm256_fmadd_ps(q, x, _mm256_set1_ps(kDecodeQ[0]));
    q = _mm256_max_ps(q, _mm256_set1_ps(kDecodeSlope));  // below beta: the straight segment
    return _mm256_fmadd_ps(q, x, _mm256_set1_ps(kDecodeBase));
}

// Eight linear values (times 255 x 12.92) to sRGB grey levels, not yet
// rounded or clipped: the smaller of the curve and the straight segment.
PLASTORA_VECTOR_TARGET inline __m256 encodeVector(__m256 v, __m256 octave) {
    const __m256i bits = _mm256_castps_si256(v);
    const __m256 m = _mm256_castsi256_ps(
        _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi32(0x00FFFFFF)), _mm256_set1_epi32(0x3F000000)));
    const __m256 scale = _mm256_permutevar8x32_ps(octave, _mm256_srli_epi32(bits, 24));
    __m256 p = _mm256_fmadd_ps(_mm256_set1_ps(kEncodeP[4]), m, _mm256_set1_ps(kEncodeP[3]));
    p = _mm256_fmadd_ps(p, m, _mm256_set1_ps(kEncodeP[2]));
    p = _mm256_fmadd_ps(p, m, _mm256_set1_ps(kEncodeP[1]));
    p = _mm256_fmadd_ps(p, m, _mm256_set1_ps(kEncodeP[0]));
    return _mm256_min_ps(_mm256_fmadd_ps(p, scale, _mm256_set1_ps(-kEncodeOffset)), v);
}

PLASTORA_VECTOR_TARGET inline __m256 decodeChannel(__m256i pixels, __m256i pick) {
    return decodeVector(_mm256_castsi256_ps(_mm256_shuffle_epi8(pixels, pick)));
}

// Eight pixels of each eye to the three output channels in linear light
// (times 255 x 12.92).
PLASTORA_VECTOR_TARGET inline void projectVector(const Pixel* left, const Pixel* right, const VectorProjection& p,
                                                 float* r, float* g, float* b) {
    // Each channel's byte into the second byte of its pixel's lane, under
    // an upper byte of 0x47: the float 32768 + byte (0xAARRGGBB words,
    // little-endian: blue first; the alpha byte's place takes the 0x47).
    const __m256i red = _mm256_setr_epi8(-1, 2, -1, 3, -1, 6, -1, 7, -1, 10, -1, 11, -1, 14, -1, 15, -1, 2, -1, 3, -1,
                                         6, -1, 7, -1, 10, -1, 11, -1, 14, -1, 15);
    const __m256i green = _mm256_setr_epi8(-1, 1, -1, 3, -1, 5, -1, 7, -1, 9, -1, 11, -1, 13, -1, 15, -1, 1, -1, 3,
                                           -1, 5, -1, 7, -1, 9, -1, 11, -1, 13, -1, 15);
    const __m256i blue = _mm256_setr_epi8(-1, 0, -1, 3, -1, 4, -1, 7, -1, 8, -1, 11, -1, 12, -1, 15, -1, 0, -1, 3, -1,
                                          4, -1, 7, -1, 8, -1, 11, -1, 12, -1, 15);
    const __m256i exponent = _mm256_set1_epi32(0x47000000);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i a = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(left)), exponent, alpha);
    const __m256i c = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(right)), exponent, alpha);
    const __m256 in[6] = {decodeChannel(a, red), decodeChannel(a, green), decodeChannel(a, blue),
                          decodeChannel(c, red), decodeChannel(c, green), decodeChannel(c, blue)};
    float* out[3] = {r, g, b};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
        __m256 sum = _mm256_mul_ps(in[0], _mm256_load_ps(p.k[ch][0]));
#pragma GCC unroll 5
        for (int i = 1; i < 6; ++i) sum = _mm256_fmadd_ps(in[i], _mm256_load_ps(p.k[ch][i]), sum);
        _mm256_store_ps(out[ch], sum);
    }
}

// Eight pixels from their linear channels: encoded, rounded, clipped to
// 0..255 by saturating packs, and put back in 0xAARRGGBB order, opaque.
PLASTORA_VECTOR_TARGET inline void encodePixels(const float* r, const float* g, const float* b, __m256 octave,
                                                Pixel* out) {
    const __m256i order = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5,
                                           9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m256i red = _mm256_cvtps_epi32(encodeVector(_mm256_load_ps(r), octave));
    const __m256i green = _mm256_cvtps_epi32(encodeVector(_mm256_load_ps(g), octave));
    const __m256i blue = _mm256_cvtps_epi32(encodeVector(_mm256_load_ps(b), octave));
    // Per 128-bit half: four blues, greens, reds and alphas, then one pixel
    // after another.
    const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(blue, green),
                                              _mm256_packs_epi32(red, _mm256_set1_epi32(255)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_shuffle_epi8(bytes, order));
}

// A row in chunks, two passes each: the projections of the chunk's pixels,
// then their encoding. Two shorter loops keep more pixels in flight than
// one long chain of dependent steps per pixel. A row's last few pixels go
// through the same steps from a padded copy.
PLASTORA_VECTOR_TARGET void duboisRowVector(const Pixel* left, const Pixel* right, Pixel* out, int w,
                                            const VectorProjection& p) {
    constexpr int kChunk = 256;
    alignas(32) float lin[3][kChunk];
    const __m256 octave = _mm256_load_ps(p.octave);
    for (int x0 = 0; x0 < w; x0 += kChunk) {
        const int n = std::min(kChunk, w - x0);
        const int whole = n & ~7;
        for (int x = 0; x < whole; x += 8)
            projectVector(left + x0 + x, right + x0 + x, p, lin[0] + x, lin[1] + x, lin[2] + x);
        if (whole < n) {
            Pixel a[8]{}, b[8]{};
            std::copy(left + x0 + whole, left + x0 + n, a);
            std::copy(right + x0 + whole, right + x0 + n, b);
            projectVector(a, b, p, lin[0] + whole, lin[1] + whole, lin[2] + whole);
        }
        for (int x = 0; x < whole; x += 8) encodePixels(lin[0] + x, lin[1] + x, lin[2] + x, octave, out + x0 + x);
        if (whole < n) {
            Pixel o[8];
            encodePixels(lin[0] + whole, lin[1] + whole, lin[2] + whole, octave, o);
            std::copy(o, o + (n - whole), out + x0 + whole);
        }
    }
}

bool vectorKernelAvailable() {
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available;
}

// The wide kernel: sixteen pixels at a time with AVX-512 (F, BW and VBMI).
// It decodes by looking every byte up (VBMI's byte permutes take a table of
// 128 bytes at once) in a table of linear values in 16 bits, within 7.7e-6
// of the exact ones, and encodes with the vector kernel's polynomial
// (within 0.13 of a level): a channel is within 0.18 of a level of the
// exact value before rounding, closer than the vector kernel, whose bytes
// it may thus differ from by one level. Where the processor runs 512-bit
// operations at full width it does the work in well under half the vector
// kernel's instructions.
#define PLASTORA_WIDE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// GCC's AVX-512 intrinsics start unmasked results from a deliberately
// undefined vector, which its own uninitialised-use warning reports (clang
// has no such warning and would report the unknown option instead).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The wide kernel's tables. The encoding's exponent table has sixteen
// entries: the exponent's upper bits index it modulo 16 (modulo 8 above),
// and entries 1..5 serve the same values.
struct WideTables {
    alignas(64) float octave[16];
    // Linear light of every byte in 16 bits (rounded: within 7.7e-6 of
    // the exact value), its low bytes and its high bytes as tables of 256.
    alignas(64) std::uint8_t low[256], high[256];
    WideTables() {
        for (int j = 0; j < 16; ++j) octave[j] = octaveFactor(j);
        for (int v = 0; v < 256; ++v) {
            const auto q = static_cast<std::uint16_t>(std::lround(srgbToLinear(v / 255.0) * 65535.0));
            low[v] = static_cast<std::uint8_t>(q & 0xFF);
            high[v] = static_cast<std::uint8_t>(q >> 8);
        }
    }
};

const WideTables& wideTables() {
    static const WideTables table;
    return table;
}

PLASTORA_WIDE_TARGET inline __m512i encodeWide(__m512 v, __m512 octave) {
    const __m512i bits = _mm512_castps_si512(v);
    // (bits & 0x00FFFFFF) | 0x3F000000 in one step.
    const __m512 m = _mm512_castsi512_ps(
        _mm512_ternarylogic_epi32(bits, _mm512_set1_epi32(0x00FFFFFF), _mm512_set1_epi32(0x3F000000), 0xEA));
    const __m512 scale = _mm512_permutexvar_ps(_mm512_srli_epi32(bits, 24), octave);
    __m512 p = _mm512_fmadd_ps(_mm512_set1_ps(kEncodeP[4]), m, _mm512_set1_ps(kEncodeP[3]));
    p = _mm512_fmadd_ps(p, m, _mm512_set1_ps(kEncodeP[2]));
    p = _mm512_fmadd_ps(p, m, _mm512_set1_ps(kEncodeP[1]));
    p = _mm512_fmadd_ps(p, m, _mm512_set1_ps(kEncodeP[0]));
    return _mm512_cvtps_epi32(_mm512_min_ps(_mm512_fmadd_ps(p, scale, _mm512_set1_ps(-kEncodeOffset)), v));
}

// A 256-entry byte table (four registers) applied to every byte.
PLASTORA_WIDE_TARGET inline __m512i lookUpBytes(__m512i bytes, const __m512i table[4], __mmask64 upper) {
    const __m512i lower = _mm512_permutex2var_epi8(table[0], bytes, table[1]);
    return _mm512_mask_blend_epi8(upper, lower, _mm512_permutex2var_epi8(table[2], bytes, table[3]));
}

// Sixteen pixels of one eye to their three channels in linear light (times
// 65535): every byte looked up, then each channel's low and high bytes put
// together in its pixel's lane.
PLASTORA_WIDE_TARGET inline void decodeWide(const Pixel* pixels, const __m512i low[4], const __m512i high[4],
                                            __m512 out[3]) {
    const __m512i bytes = _mm512_loadu_si512(pixels);
    const __mmask64 upper = _mm512_movepi8_mask(bytes);
    const __m512i lo = lookUpBytes(bytes, low, upper), hi = lookUpBytes(bytes, high, upper);
    // Lane i takes byte 4i + channel of the low bytes and the same byte of
    // the high ones (index + 64), its upper two bytes zero.
    constexpr __mmask64 kTwoLowBytes = 0x3333333333333333ull;
    const __m512i lane = _mm512_setr_epi32(0x000, 0x404, 0x808, 0xC0C, 0x1010, 0x1414, 0x1818, 0x1C1C, 0x2020, 0x2424,
                                           0x2828, 0x2C2C, 0x3030, 0x3434, 0x3838, 0x3C3C);  // 4i in both bytes
    const int channel[3] = {kRedByte, kGreenByte, kBlueByte};
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        const __m512i at = _mm512_add_epi32(lane, _mm512_set1_epi32(channel[c] | ((64 + channel[c]) << 8)));
        out[c] = _mm512_cvtepi32_ps(_mm512_maskz_permutex2var_epi8(kTwoLowBytes, lo, at, hi));
    }
}

// The projection's coefficients for linear light times 65535, in levels of
// the straight segment (as the vector kernel's).
struct WideProjection {
    float k[3][6];
    explicit WideProjection(const AnaglyphProjection& p) {
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 6; ++i)
                k[c][i] = static_cast<float>((i < 3 ? p.left[c][i] : p.right[c][i - 3]) * kSegmentLevels / 65535.0);
    }
};

const WideProjection* wideProjection(int method) { return projectionFor<WideProjection>(method); }

PLASTORA_WIDE_TARGET inline void projectWide(const Pixel* left, const Pixel* right, const WideProjection& p,
                                             const __m512i low[4], const __m512i high[4], float* r, float* g,
                                             float* b) {
    __m512 in[6];
    decodeWide(left, low, high, in);
    decodeWide(right, low, high, in + 3);
    float* out[3] = {r, g, b};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
        __m512 sum = _mm512_mul_ps(in[0], _mm512_set1_ps(p.k[ch][0]));
#pragma GCC unroll 5
        for (int i = 1; i < 6; ++i) sum = _mm512_fmadd_ps(in[i], _mm512_set1_ps(p.k[ch][i]), sum);
        _mm512_store_ps(out[ch], sum);
    }
}

PLASTORA_WIDE_TARGET inline void encodeWidePixels(const float* r, const float* g, const float* b, __m512 octave,
                                                  Pixel* out) {
    const __m512i order = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
    const __m512i red = encodeWide(_mm512_load_ps(r), octave);
    const __m512i green = encodeWide(_mm512_load_ps(g), octave);
    const __m512i blue = encodeWide(_mm512_load_ps(b), octave);
    const __m512i bytes = _mm512_packus_epi16(_mm512_packs_epi32(blue, green),
                                              _mm512_packs_epi32(red, _mm512_set1_epi32(255)));
    _mm512_storeu_si512(out, _mm512_shuffle_epi8(bytes, order));
}

PLASTORA_WIDE_TARGET void duboisRowWide(const Pixel* left, const Pixel* right, Pixel* out, int w,
                                        const WideProjection& p) {
    constexpr int kChunk = 256;
    alignas(64) float lin[3][kChunk];
    const WideTables& tables = wideTables();
    const __m512 octave = _mm512_load_ps(tables.octave);
    __m512i low[4], high[4];
    for (int t = 0; t < 4; ++t) {
        low[t] = _mm512_load_si512(tables.low + 64 * t);
        high[t] = _mm512_load_si512(tables.high + 64 * t);
    }
    for (int x0 = 0; x0 < w; x0 += kChunk) {
        const int n = std::min(kChunk, w - x0);
        const int whole = n & ~15;
        for (int x = 0; x < whole; x += 16)
            projectWide(left + x0 + x, right + x0 + x, p, low, high, lin[0] + x, lin[1] + x, lin[2] + x);
        if (whole < n) {
            Pixel a[16]{}, b[16]{};
            std::copy(left + x0 + whole, left + x0 + n, a);
            std::copy(right + x0 + whole, right + x0 + n, b);
            projectWide(a, b, p, low, high, lin[0] + whole, lin[1] + whole, lin[2] + whole);
        }
        for (int x = 0; x < whole; x += 16)
            encodeWidePixels(lin[0] + x, lin[1] + x, lin[2] + x, octave, out + x0 + x);
        if (whole < n) {
            Pixel o[16];
            encodeWidePixels(lin[0] + whole, lin[1] + whole, lin[2] + whole, octave, o);
            std::copy(o, o + (n - whole), out + x0 + whole);
        }
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool wideKernelAvailable() {
    static const bool available = vectorKernelAvailable() && __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return available;
}

#else

bool vectorKernelAvailable() { return false; }
bool wideKernelAvailable() { return false; }

#endif  // PLASTORA_ANAGLYPH_VECTOR

// The grey of the left eye as the plain grey anaglyph computes it, eight
// pixels at a time where SSE2 is there.
void halfColourRow(const Pixel* __restrict left, const Pixel* __restrict right, Pixel* __restrict out, int w) {
    using namespace anaglyph_grey;
    int x = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(kOpaque));
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    for (; x + 8 <= w; x += 8) {
        const __m128i grey = grey8(load4(left + x), load4(left + x + 4));
        // Red from the grey's 16-bit lanes, green and blue from the right.
        const __m128i r0 = _mm_unpacklo_epi16(_mm_setzero_si128(), grey);
        const __m128i r1 = _mm_unpackhi_epi16(_mm_setzero_si128(), grey);
        const __m128i b0 = _mm_and_si128(load4(right + x), low16);
        const __m128i b1 = _mm_and_si128(load4(right + x + 4), low16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_or_si128(r0, b0), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_or_si128(_mm_or_si128(r1, b1), opaque));
    }
#endif
    for (; x < w; ++x) out[x] = kOpaque | (greyOf(left[x]) << 16) | (right[x] & 0xFFFFu);
}

// In chunks, two passes: the look-up's index and the right eye's channels
// for every pixel (vectorised), then the look-ups alone.
void optimisedRow(const Pixel* __restrict left, const Pixel* __restrict right, Pixel* __restrict out, int w,
                  const Pixel* __restrict lift) {
    constexpr int kChunk = 512;
    std::uint16_t n[kChunk];
    for (int x0 = 0; x0 < w; x0 += kChunk) {
        const int m = std::min(kChunk, w - x0);
        const Pixel* __restrict a = left + x0;
        const Pixel* __restrict b = right + x0;
        Pixel* __restrict o = out + x0;
        for (int x = 0; x < m; ++x) {
            n[x] = static_cast<std::uint16_t>(7 * ((a[x] >> 8) & 0xFFu) + 3 * (a[x] & 0xFFu) + 5);
            o[x] = kOpaque | (b[x] & 0xFFFFu);
        }
        for (int x = 0; x < m; ++x) o[x] |= lift[n[x]];
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

AnaglyphKernel anaglyphKernel() {
    return wideKernelAvailable()     ? AnaglyphKernel::Wide
           : vectorKernelAvailable() ? AnaglyphKernel::Vector
                                     : AnaglyphKernel::Portable;
}

bool anaglyphKernelAvailable(AnaglyphKernel kernel) {
    switch (kernel) {
    case AnaglyphKernel::Wide: return wideKernelAvailable();
    case AnaglyphKernel::Vector: return vectorKernelAvailable();
    default: return true;
    }
}

void BuildAnaglyphMethodRows(Surface& dst, const Surface& right, const Surface& left, int method, int y0, int y1) {
    BuildAnaglyphMethodRows(dst, right, left, method, y0, y1, anaglyphKernel());
}

void BuildAnaglyphMethodRows(Surface& dst, const Surface& right, const Surface& left, int method, int y0, int y1,
                             AnaglyphKernel kernel) {
    const int w = dst.width();
    y0 = std::max(y0, 0);
    y1 = std::min({y1, dst.height(), right.height(), left.height()});
    if (w > right.width() || w > left.width()) return;
#ifdef PLASTORA_ANAGLYPH_VECTOR
    if (kernel == AnaglyphKernel::Wide && wideKernelAvailable()) {
        if (const WideProjection* p = wideProjection(method)) {
            for (int y = y0; y < y1; ++y) duboisRowWide(left.row(y), right.row(y), dst.row(y), w, *p);
            return;
        }
    }
    if (kernel != AnaglyphKernel::Portable && vectorKernelAvailable()) {
        if (const VectorProjection* p = vectorProjection(method)) {
            for (int y = y0; y < y1; ++y) duboisRowVector(left.row(y), right.row(y), dst.row(y), w, *p);
            return;
        }
    }
#else
    (void)kernel;
#endif
    if (const PackedProjection* p = packedProjection(method)) {
        const std::uint8_t* enc = encodeTable().data();
        for (int y = y0; y < y1; ++y) duboisRow(left.row(y), right.row(y), dst.row(y), w, *p, enc);
    } else if (method == kFilterHalfColour) {
        for (int y = y0; y < y1; ++y) halfColourRow(left.row(y), right.row(y), dst.row(y), w);
    } else if (method == kFilterOptimised) {
        const Pixel* lift = gammaLift().data();
        for (int y = y0; y < y1; ++y) optimisedRow(left.row(y), right.row(y), dst.row(y), w, lift);
    }
}

double anaglyphBands(int w, int h) {
    constexpr double kPixelsPerBand = 1 << 16;
    return std::max(1.0, std::ceil(static_cast<double>(w) * h / kPixelsPerBand));
}

bool BuildAnaglyphMethod(Surface& dst, const Surface& right, const Surface& left, int method) {
    if (right.empty() || left.empty() || !isAnaglyphMethod(method)) return false;
    const int w = std::min(right.width(), left.width());
    const int h = std::min(right.height(), left.height());
    if ((dst.width() != w || dst.height() != h) && !dst.createUninitialized(w, h)) return false;
    // Bands of rows on every core; every pixel depends on its two inputs
    // alone, so the picture is the same however the rows are split. The
    // tables are made here, before the bands start.
    packedProjection(method);
#ifdef PLASTORA_ANAGLYPH_VECTOR
    vectorProjection(method);
    wideProjection(method);
    wideTables();
#endif
    encodeTable();
    gammaLift();
    cv::parallel_for_(
        cv::Range(0, h),
        [&](const cv::Range& band) { BuildAnaglyphMethodRows(dst, right, left, method, band.start, band.end); },
        anaglyphBands(w, h));
    return true;
}

}  // namespace plastora
