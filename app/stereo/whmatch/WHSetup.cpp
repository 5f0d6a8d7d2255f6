// The matcher's setup: loading source and pattern, and the search itself.
#include "stereo/whmatch/WHDetail.h"
#include "stereo/whmatch/WHMatch.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <new>

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

void widen(const Image& image, Matrix& m) {
    const std::uint8_t* src = image.pixels;
    std::int32_t* dst = m.cellValues;
    for (std::int32_t i = 0; i < m.size; ++i) dst[i] = src[i];
}

std::uint64_t windowSSD(const Matrix& source, const Matrix& pattern, std::int32_t r,
                        std::int32_t c) {
    const std::int32_t size = pattern.rows;  // square
    std::uint64_t total = 0;
    for (std::int32_t y = 0; y < size; ++y) {
        const std::int32_t* __restrict s = source.rowsMapping[r + y] + c;
        const std::int32_t* __restrict p = pattern.rowsMapping[y];
        std::int32_t row = 0;  // at most 255^2 x 256
        for (std::int32_t x = 0; x < size; ++x) {
            const std::int32_t d = s[x] - p[x];
            row += d * d;
        }
        total += static_cast<std::uint32_t>(row);
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
    if (!setup->bounds) {
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
    widen(*image, *m);
    freeMatrix(setup->sourceMatrix);
    setup->sourceMatrix = m;
    return setBranchSource(setup->branch, m);
}

bool reloadSourceImage(WHSetup* setup, const Image* image) {
    if (!setup || !imageFits(image, setup->sourceRows, setup->sourceCols))
        return fail("ERROR in reloadSourceImage: image size differs from the setup.");
    if (!setup->sourceMatrix) return fail("ERROR in reloadSourceImage: no source image loaded.");
    widen(*image, *setup->sourceMatrix);
    return setBranchSource(setup->branch, setup->sourceMatrix);
}

bool loadPatternImage(WHSetup* setup, const Image* image) {
    if (!setup || !imageFits(image, setup->patternSize, setup->patternSize))
        return fail("ERROR in loadPatternImage: pattern size differs from the setup.");
    Matrix* m = allocMatrix(image->rows, image->cols);
    if (!m) return false;
    widen(*image, *m);
    // The pattern's projections come from a cascade over the pattern alone:
    // its last level has a single cell.
    const std::int32_t depthHalf = std::countr_zero(unsigned(image->rows));
    Branch* b = allocBranch(image->rows, image->cols, depthHalf, setup->numOfBasis);
    if (!b) {
        freeMatrix(m);
        return false;
    }
    setBranchSource(b, m);
    for (std::int32_t k = 0; k < setup->numOfBasis; ++k) {
        computeBasisProjections(b, k);
        setup->patternProjections[k] = b->matrices[b->depth]->cellValues[0];
    }
    freeBranch(b);
    freeMatrix(setup->patternMatrix);
    setup->patternMatrix = m;
    setup->patternLoaded = true;
    return true;
}

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
    const std::int32_t* pp = setup->patternProjections;
    MatchRecord* matches = setup->matches;
    std::uint64_t* bounds = setup->bounds;

    const std::int64_t a = std::min<std::int64_t>(rejectThreshold, kMaxTolerance);
    const std::int64_t area = std::int64_t(setup->patternSize) * setup->patternSize;
    const std::int64_t firstBound = a * area;                         // kernel 0, |difference|
    const std::uint64_t runningBound = std::uint64_t(a * a * area * area);  // sum of squares
    const std::uint64_t finalBound = std::uint64_t(a * a * area);           // SSD

    // Kernel 0: the windows whose pixel sum is close enough, in raster order.
    computeBasisProjections(&branch, 0);
    const Matrix& last = *branch.matrices[depth];
    const std::int32_t windows = last.rows * last.cols;
    int count = 0;
    for (std::int32_t r = 0; r < last.rows; ++r) {
        const std::int32_t* proj = last.rowsMapping[r];
        for (std::int32_t c = 0; c < last.cols; ++c) {
            std::int64_t d = std::int64_t(proj[c]) - pp[0];
            if (d < 0) d = -d;
            if (d <= firstBound) {
                matches[count].row = r;
                matches[count].col = c;
                bounds[count] = std::uint64_t(d * d);
                ++count;
            }
        }
    }
    const float f = 100.0f / static_cast<float>(windows);
    float percent = f * static_cast<float>(count);

    // Top-down: whole-source cascades while many windows remain.
    int i = 1;
    while (percent > setup->bottomUpStartPercent && i < numOfBasis) {
        computeBasisProjections(&branch, i);
        int kept = 0;
        for (int j = 0; j < count; ++j) {
            const std::int64_t d =
                std::int64_t(last.rowsMapping[matches[j].row][matches[j].col]) - pp[i];
            const std::uint64_t bound = bounds[j] + std::uint64_t(d * d);
            if (bound <= runningBound) {
                matches[kept] = matches[j];
                bounds[kept] = bound;
                ++kept;
            }
        }
        count = kept;
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
            int kept = 0;
            for (int j = 0; j < count; ++j) {
                const std::int64_t d =
                    std::int64_t(detail::windowProjectionUnchecked(branch, i, matches[j].row,
                                                                   matches[j].col)) -
                    pp[i];
                const std::uint64_t bound = bounds[j] + std::uint64_t(d * d);
                if (bound <= runningBound) {
                    matches[kept] = matches[j];
                    bounds[kept] = bound;
                    ++kept;
                }
            }
            count = kept;
            if (count == 0) return finish(*setup, 0);
            percent = f * static_cast<float>(count);
            if (!(percent > setup->distanceStartPercent) || i + 1 >= numOfBasis) break;
            ++i;
        }
    }
    if (count == 0) return finish(*setup, 0);

    // Exact distances for the survivors.
    const Matrix& source = *setup->sourceMatrix;
    const Matrix& pattern = *setup->patternMatrix;
    std::uint64_t smallest = std::numeric_limits<std::uint64_t>::max();
    int best = 0;
    int written = 0;
    for (int j = 0; j < count; ++j) {
        const std::uint64_t ssd = windowSSD(source, pattern, matches[j].row, matches[j].col);
        matches[j].distance = static_cast<std::uint32_t>(ssd);
        if (ssd < smallest) {
            smallest = ssd;
            best = j;
        }
        if (!findBest && ssd <= finalBound) matches[written++] = matches[j];
    }
    if (minDistance) *minDistance = static_cast<std::uint32_t>(std::min<std::uint64_t>(smallest, kNoDistance));
    if (findBest) {
        matches[0] = matches[best];
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
    freeMatrix(setup->patternMatrix);
    freeMatrix(setup->sourceMatrix);
    release(setup);
}

}  // namespace plastora::whmatch
