// The matcher's setup: loading source and pattern, and the search itself.
#include "stereo/whmatch/WHDetail.h"
#include "stereo/whmatch/WHMatch.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plastora::whmatch {

using detail::allocateArray;
using detail::fail;
using detail::release;

namespace {

constexpr std::int32_t kMaxPatternSize = 256;  // keeps every SSD within 32 bits
constexpr std::uint32_t kNoDistance = 0x0FFFFFFF;
// Above this per-pixel tolerance every window passes every test, so larger
// values are the same search; clamping keeps the thresholds within 64 bits.
constexpr std::int64_t kMaxTolerance = 255;

bool imageFits(const Image* image, std::int32_t rows, std::int32_t cols) {
    return image && image->pixels && image->rows == rows && image->cols == cols;
}

void widen(const Image& image, Matrix& m, std::uint8_t* bytes) {
    const std::uint8_t* src = image.pixels;
    std::int32_t* dst = m.cellValues;
    for (std::int32_t i = 0; i < m.size; ++i) dst[i] = src[i];
    std::copy_n(src, m.size, bytes);
}

// The exact distance of the window at (r, c), summed from the pictures'
// bytes: differences fit 16 bits, so eight squares are summed per step.
// Summing stops early, with a result above `stopAbove`, once the rows summed
// so far exceed it.
std::uint64_t windowSSD(const WHSetup& setup, std::int32_t r, std::int32_t c,
                        std::uint64_t stopAbove = std::numeric_limits<std::uint64_t>::max()) {
    const std::int32_t size = setup.patternSize;
    const std::int32_t stride = setup.sourceCols;
    std::uint64_t total = 0;
    // Rows are summed in groups whose total stays within 31 bits: a row is
    // at most 255^2 x 256 < 2^24.
    constexpr std::int32_t kGroup = 64;
    for (std::int32_t y0 = 0; y0 < size; y0 += kGroup) {
        const std::int32_t y1 = std::min(size, y0 + kGroup);
        std::uint32_t group = 0;
#if defined(__SSE2__)
        if (size % 8 == 0) {
            const __m128i zero = _mm_setzero_si128();
            for (std::int32_t y = y0; y < y1; ++y) {
                const std::uint8_t* s = setup.sourceBytes + std::size_t(r + y) * stride + c;
                const std::uint8_t* p = setup.patternBytes + std::size_t(y) * size;
                __m128i acc = zero;
                std::int32_t x = 0;
                for (; x + 16 <= size; x += 16) {
                    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
                    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
                    const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
                    const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
                    acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
                }
                if (x < size) {
                    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + x));
                    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + x));
                    const __m128i d = _mm_sub_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
                    acc = _mm_add_epi32(acc, _mm_madd_epi16(d, d));
                }
                acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
                acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));
                group += static_cast<std::uint32_t>(_mm_cvtsi128_si32(acc));
                // Every fourth row: is it already worse than what is known?
                if ((y & 3) == 3 && total + group > stopAbove) return total + group;
            }
            total += group;
            continue;
        }
#endif
        for (std::int32_t y = y0; y < y1; ++y) {
            const std::uint8_t* s = setup.sourceBytes + std::size_t(r + y) * stride + c;
            const std::uint8_t* p = setup.patternBytes + std::size_t(y) * size;
            for (std::int32_t x = 0; x < size; ++x) {
                const std::int32_t d = std::int32_t(s[x]) - std::int32_t(p[x]);
                group += std::uint32_t(d * d);
            }
        }
        total += group;
        if (total > stopAbove) return total;
    }
    return total;
}

int finish(WHSetup& setup, int count) {
    setup.numOfMatches = count;
    return count;
}

}  // namespace

WHSetup* createWHSetup(std::int32_t sourceRows, std::int32_t sourceCols, std::int32_t patternSize,
                       std::int32_t numOfBasis) {
    if (patternSize < 2 || patternSize > kMaxPatternSize || !std::has_single_bit(unsigned(patternSize))) {
        fail("ERROR in createWHSetup: pattern size must be a power of two from 2 to 256.");
        return nullptr;
    }
    if (sourceRows < patternSize || sourceCols < patternSize) {
        fail("ERROR in createWHSetup: pattern larger than the source.");
        return nullptr;
    }
    if (static_cast<std::int64_t>(sourceRows) * sourceCols > std::numeric_limits<std::int32_t>::max()) {
        fail("ERROR in createWHSetup: source too large.");
        return nullptr;
    }
    if (numOfBasis < 1) {
        fail("ERROR in createWHSetup: at least one kernel is needed.");
        return nullptr;
    }
    numOfBasis = std::min(numOfBasis, patternSize * patternSize);
    const std::int32_t depthHalf = std::countr_zero(unsigned(patternSize));

    void* mem = detail::allocate(1, sizeof(WHSetup));
    WHSetup* setup = mem ? new (mem) WHSetup{} : nullptr;
    if (setup) setup->patternProjections = allocateArray<std::int32_t>(numOfBasis);
    if (!setup || !setup->patternProjections) {
        destroyWHSetup(setup);
        fail("ERROR in createWHSetup: can't allocate setup.");
        return nullptr;
    }
    setup->sourceRows = sourceRows;
    setup->sourceCols = sourceCols;
    setup->patternSize = patternSize;
    setup->numOfBasis = numOfBasis;

    setup->branch = allocBranch(sourceRows, sourceCols, depthHalf, numOfBasis);
    if (!setup->branch) {
        destroyWHSetup(setup);
        fail("ERROR in createWHSetup: can't allocate branch.");
        return nullptr;
    }

    const std::size_t windows = static_cast<std::size_t>(sourceRows - patternSize + 1) *
                                static_cast<std::size_t>(sourceCols - patternSize + 1);
    setup->matches = allocateArray<MatchRecord>(windows);
    setup->bounds = setup->matches ? allocateArray<std::uint64_t>(windows) : nullptr;
    const std::size_t sourceCells = std::size_t(sourceRows) * std::size_t(sourceCols);
    setup->sourceBytes = setup->bounds ? allocateArray<std::uint8_t>(sourceCells) : nullptr;
    setup->patternBytes =
        setup->sourceBytes ? allocateArray<std::uint8_t>(std::size_t(patternSize) * patternSize) : nullptr;
    if (!setup->patternBytes) {
        destroyWHSetup(setup);
        fail("ERROR in createWHSetup: can't allocate matches area.");
        return nullptr;
    }
    return setup;
}

void setSearchPercents(WHSetup* setup, float bottomUpStartPercent, float distanceStartPercent) {
    if (!setup) return;
    setup->bottomUpStartPercent = bottomUpStartPercent;
    setup->distanceStartPercent = distanceStartPercent;
}

bool loadSourceImage(WHSetup* setup, const Image* image) {
    if (!setup || !imageFits(image, setup->sourceRows, setup->sourceCols))
        return fail("ERROR in loadSourceImage: image size differs from the setup.");
    Matrix* m = allocMatrix(image->rows, image->cols);
    if (!m) return false;
    widen(*image, *m, setup->sourceBytes);
    freeMatrix(setup->sourceMatrix);
    setup->sourceMatrix = m;
    return setBranchSource(setup->branch, m);
}

bool reloadSourceImage(WHSetup* setup, const Image* image) {
    if (!setup || !imageFits(image, setup->sourceRows, setup->sourceCols))
        return fail("ERROR in reloadSourceImage: image size differs from the setup.");
    if (!setup->sourceMatrix) return fail("ERROR in reloadSourceImage: no source image loaded.");
    widen(*image, *setup->sourceMatrix, setup->sourceBytes);
    return setBranchSource(setup->branch, setup->sourceMatrix);
}

bool loadPatternImage(WHSetup* setup, const Image* image) {
    if (!setup || !imageFits(image, setup->patternSize, setup->patternSize))
        return fail("ERROR in loadPatternImage: pattern size differs from the setup.");
    // The matrix and the pattern's cascade are made once and kept for the
    // next pattern, which has the same size.
    Matrix* m = setup->patternMatrix;
    if (!m) {
        m = allocMatrix(image->rows, image->cols);
        if (!m) return false;
    }
    Branch* b = setup->patternBranch;
    if (!b) {
        const std::int32_t depthHalf = std::countr_zero(unsigned(image->rows));
        b = allocBranch(image->rows, image->cols, depthHalf, setup->numOfBasis);
        if (!b) {
            if (m != setup->patternMatrix) freeMatrix(m);
            return false;
        }
    }
    setup->patternMatrix = m;
    setup->patternBranch = b;
    widen(*image, *m, setup->patternBytes);
    // The pattern's projections come from a cascade over the pattern alone
    // (its last level has a single cell), kernel by kernel as a search
    // first needs them: most searches end long before the last kernel.
    setBranchSource(b, m);
    setup->patternProjectionsMade = 0;
    setup->patternLoaded = true;
    return true;
}

namespace {

// The pattern's projection onto kernel k, made (with those before it) on
// first use.
std::int32_t patternProjection(WHSetup& setup, std::int32_t k) {
    while (setup.patternProjectionsMade <= k) {
        Branch* b = setup.patternBranch;
        const std::int32_t next = setup.patternProjectionsMade++;
        computeBasisProjections(b, next);
        setup.patternProjections[next] = b->matrices[b->depth]->cellValues[0];
    }
    return setup.patternProjections[k];
}

}  // namespace

int matchPattern(WHSetup* setup, int rejectThreshold, int findBest, std::uint32_t* minDistance) {
    if (!setup || !setup->sourceMatrix || !setup->patternLoaded || !setup->branch->matrices[0]) {
        fail("ERROR in matchPattern: source or pattern not loaded.");
        return -1;
    }
    if (minDistance) *minDistance = kNoDistance;
    setup->numOfMatches = 0;
    if (rejectThreshold < 0) return 0;  // no distance is at most a negative bound

    Branch& branch = *setup->branch;
    const int depth = branch.depth;
    const int numOfBasis = setup->numOfBasis;
    MatchRecord* matches = setup->matches;
    std::uint64_t* bounds = setup->bounds;

    const std::int64_t a = std::min<std::int64_t>(rejectThreshold, kMaxTolerance);
    const std::int64_t area = std::int64_t(setup->patternSize) * setup->patternSize;
    const std::int64_t firstBound = a * area;                         // kernel 0, |difference|
    const std::uint64_t runningBound = std::uint64_t(a * a * area * area);  // sum of squares
    const std::uint64_t finalBound = std::uint64_t(a * a * area);           // SSD

    // Kernel 0 runs over every window; from then on the candidates are
    // their flat index in the last level (kept in the row field of the
    // matches area) beside their running bound.
    computeBasisProjections(&branch, 0);
    const Matrix& last = *branch.matrices[depth];
    const std::int32_t lastCols = last.cols;
    const std::int32_t windows = last.rows * lastCols;
    const auto rowOf = [&](std::int32_t index) { return index / lastCols; };
    const auto colOf = [&](std::int32_t index) { return index % lastCols; };

    // With findBest the bound can only get tighter: a window whose exact
    // distance is within the tolerance is a match, and no window whose
    // lower bound exceeds that distance x P^2 can be better than it.
    std::uint64_t limit = runningBound;
    std::uint64_t knownBest = std::numeric_limits<std::uint64_t>::max();  // an exact SSD within the tolerance
    std::int32_t tried = -1;
    const auto tighten = [&](std::int32_t index) {
        if (!findBest || index == tried) return;
        tried = index;
        const std::uint64_t ssd = windowSSD(*setup, rowOf(index), colOf(index), std::min(knownBest, finalBound));
        if (ssd <= finalBound && ssd < knownBest) {
            knownBest = ssd;
            limit = std::min(limit, ssd * std::uint64_t(area));
        }
    };
    // Keeps the candidates whose bound is within the limit; `value(j)` is
    // candidate j's projection onto the kernel whose pattern value is
    // `target`. Without branches on the outcome: every candidate is written
    // at the next free place, which only moves on when it is kept.
    const auto filter = [&](int count, std::int32_t target, auto value) {
        int kept = 0;
        std::int32_t lowest = -1;
        std::uint64_t lowestBound = limit + 1;
        for (int j = 0; j < count; ++j) {
            const std::int64_t d = std::int64_t(value(j)) - target;
            const std::uint64_t bound = bounds[j] + std::uint64_t(d * d);
            const std::int32_t index = matches[j].row;
            matches[kept].row = index;
            bounds[kept] = bound;
            if (bound < lowestBound) {
                lowestBound = bound;
                lowest = index;
            }
            kept += bound <= limit ? 1 : 0;
        }
        if (lowest >= 0) tighten(lowest);
        return kept;
    };

    // Kernel 0: the windows whose pixel sum is close enough, in raster order.
    int count = 0;
    std::int32_t lowest = -1;
    std::uint64_t lowestBound = std::numeric_limits<std::uint64_t>::max();
    {
        const std::int32_t p0 = patternProjection(*setup, 0);
        const std::int32_t* proj = last.cellValues;
        for (std::int32_t w = 0; w < windows; ++w) {
            std::int64_t d = std::int64_t(proj[w]) - p0;
            if (d < 0) d = -d;
            const std::uint64_t bound = std::uint64_t(d * d);
            matches[count].row = w;
            bounds[count] = bound;
            if (d <= firstBound && bound < lowestBound) {
                lowestBound = bound;
                lowest = w;
            }
            count += d <= firstBound ? 1 : 0;
        }
    }
    if (lowest >= 0) {
        tighten(lowest);
        if (limit < runningBound) count = filter(count, 0, [](int) { return 0; });
    }
    const float f = 100.0f / static_cast<float>(windows);
    float percent = f * static_cast<float>(count);

    // Top-down: whole-source cascades while many windows remain.
    int i = 1;
    while (percent > setup->bottomUpStartPercent && i < numOfBasis) {
        computeBasisProjections(&branch, i);
        const std::int32_t* cells = last.cellValues;
        count = filter(count, patternProjection(*setup, i), [&](int j) { return cells[matches[j].row]; });
        percent = f * static_cast<float>(count);
        ++i;
    }

    // Bottom-up: per-window projections while a few percent remain.
    if (percent > setup->distanceStartPercent && i < numOfBasis) {
        if (count == 0) return finish(*setup, 0);
        resetMarkers(&branch);
        // From here on the levels mix kernels; a later cascade starts afresh.
        branch.currentBasis = -1;
        for (;;) {
            count = filter(count, patternProjection(*setup, i), [&](int j) {
                const std::int32_t index = matches[j].row;
                return detail::windowProjectionUnchecked(branch, i, rowOf(index), colOf(index));
            });
            if (count == 0) return finish(*setup, 0);
            percent = f * static_cast<float>(count);
            if (!(percent > setup->distanceStartPercent) || i + 1 >= numOfBasis) break;
            ++i;
        }
    }
    if (count == 0) return finish(*setup, 0);

    // Exact distances for the survivors, which become row and column again.
    std::uint64_t smallest = std::numeric_limits<std::uint64_t>::max();
    std::int32_t bestIndex = 0;
    int written = 0;
    for (int j = 0; j < count; ++j) {
        const std::int32_t index = matches[j].row;
        // Only the best is wanted: a window is summed only as far as it can
        // still equal the best known.
        const std::uint64_t ssd = findBest ? windowSSD(*setup, rowOf(index), colOf(index), std::min(smallest, knownBest))
                                           : windowSSD(*setup, rowOf(index), colOf(index));
        if (ssd < smallest) {
            smallest = ssd;
            bestIndex = index;
        }
        if (!findBest && ssd <= finalBound)
            matches[written++] = MatchRecord{rowOf(index), colOf(index), static_cast<std::uint32_t>(ssd)};
    }
    if (minDistance) *minDistance = static_cast<std::uint32_t>(std::min<std::uint64_t>(smallest, kNoDistance));
    if (findBest) {
        matches[0] = MatchRecord{rowOf(bestIndex), colOf(bestIndex), static_cast<std::uint32_t>(smallest)};
        return finish(*setup, 1);
    }
    return finish(*setup, written);
}

void destroyWHSetup(WHSetup* setup) {
    if (!setup) return;
    freeBranch(setup->branch);
    release(setup->patternProjections);
    release(setup->matches);
    release(setup->bounds);
    release(setup->sourceBytes);
    release(setup->patternBytes);
    freeBranch(setup->patternBranch);
    freeMatrix(setup->patternMatrix);
    freeMatrix(setup->sourceMatrix);
    release(setup);
}

}  // namespace plastora::whmatch
