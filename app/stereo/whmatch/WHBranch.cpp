// Image, Matrix and Branch records, the full cascade and the per-window
// computation.
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

template <typename T>
T* allocateRecord() {
    void* p = detail::allocate(1, sizeof(T));
    return p ? new (p) T{} : nullptr;
}

bool fitsCellCount(std::int32_t rows, std::int32_t cols) {
    return rows >= 1 && cols >= 1 &&
           static_cast<std::int64_t>(rows) * cols <= std::numeric_limits<std::int32_t>::max();
}

// Sign of step i for kernel k. Two bits of k two places apart decide it: for
// the steps of one direction this turns the kernel's sequency index into the
// bits of the matching Walsh function.
constexpr std::int8_t kSignOfBits[8] = {1, -1, 1, -1, -1, 1, -1, 1};

// Cascade step `step` from level `step` to level `step + 1` over the whole
// matrix. Split by sign so that both loops are plain vector additions.
void cascadeStep(const Branch& b, int step, int k) {
    const Matrix& in = *b.matrices[step];
    const Matrix& out = *b.matrices[step + 1];
    // Sizes in locals: the cells are int32 too, so the compiler could not
    // otherwise keep them in registers across the stores.
    const std::int32_t rows = out.rows;
    const std::int32_t cols = out.cols;
    const int d = b.delta[step];
    const bool sum = sign(b, step, k) > 0;
    const bool horizontal = b.direction[step] == kHorizontal;
    for (std::int32_t r = 0; r < rows; ++r) {
        const std::int32_t* __restrict src = in.rowsMapping[r];
        const std::int32_t* __restrict far = horizontal ? src + d : in.rowsMapping[r + d];
        std::int32_t* __restrict dst = out.rowsMapping[r];
        if (sum) {
            for (std::int32_t c = 0; c < cols; ++c) dst[c] = src[c] + far[c];
        } else {
            for (std::int32_t c = 0; c < cols; ++c) dst[c] = src[c] - far[c];
        }
    }
}

// The cell that step `step` combines with (r, c).
inline void neighbour(const Branch& b, int step, std::int32_t r, std::int32_t c, std::int32_t& r2,
                      std::int32_t& c2) {
    if (b.direction[step] == kHorizontal) {
        r2 = r;
        c2 = c + b.delta[step];
    } else {
        r2 = r + b.delta[step];
        c2 = c;
    }
}

std::int32_t windowValue(Branch& b, int k, int level, std::int32_t r, std::int32_t c);

// Level `level` (>= 1) at (r, c), from the stored values of the level below
// when this position's marker vouches for them, else from two recursive
// computations of that level.
std::int32_t levelValue(Branch& b, int k, int level, std::int32_t r, std::int32_t c) {
    const int step = level - 1;
    std::int32_t r2, c2;
    neighbour(b, step, r, c, r2, c2);
    std::int32_t x, y;
    if (level >= 2 && b.markerRows[r][c] < stamp(b, step, k)) {
        x = windowValue(b, k, step, r, c);
        y = windowValue(b, k, step, r2, c2);
        b.markerRows[r][c] = stamp(b, step, k);
    } else {
        std::int32_t* const* below = b.matrices[step]->rowsMapping;
        x = below[r][c];
        y = below[r2][c2];
    }
    return sign(b, step, k) > 0 ? x + y : x - y;
}

// Level `level` (>= 1) at (r, c) for kernel k, stored in that level's
// matrix. A marker at or above the stamp of (level - 1, k) means that level
// - 1 holds kernel k's values at (r, c) and at the neighbour of step
// level - 1; otherwise both are recomputed and stored, and the marker says so.
// Stamps number the cascade's nodes in pre-order and kernels are taken in
// increasing order, so a marker left by an earlier kernel passes the test
// only if that kernel shares the leading steps in question.
std::int32_t windowValue(Branch& b, int k, int level, std::int32_t r, std::int32_t c) {
    const int step = level - 1;
    std::int32_t r2, c2;
    neighbour(b, step, r, c, r2, c2);
    std::int32_t* const* below = b.matrices[step]->rowsMapping;
    std::int32_t x, y;
    if (level < 2 || b.markerRows[r][c] >= stamp(b, step, k)) {
        x = below[r][c];
        y = below[r2][c2];
    } else {
        x = levelValue(b, k, step, r, c);
        y = levelValue(b, k, step, r2, c2);
        below[r][c] = x;
        below[r2][c2] = y;
        b.markerRows[r][c] = stamp(b, step, k);
    }
    const std::int32_t v = sign(b, step, k) > 0 ? x + y : x - y;
    b.matrices[level]->rowsMapping[r][c] = v;
    return v;
}

}  // namespace

// --- Image -----------------------------------------------------------------

Image* allocImage(const std::uint8_t* pixels, std::int32_t rows, std::int32_t cols) {
    Image* image = allocateRecord<Image>();
    if (!image) {
        fail("ERROR in allocImage: can't allocate image.");
        return nullptr;
    }
    image->rows = rows;
    image->cols = cols;
    image->pixels = pixels;
    return image;
}

void freeImage(Image* image) { release(image); }

// --- Matrix ----------------------------------------------------------------

Matrix* allocMatrix(std::int32_t rows, std::int32_t cols) {
    if (!fitsCellCount(rows, cols)) {
        fail("ERROR in allocMatrix: invalid matrix size.");
        return nullptr;
    }
    Matrix* m = allocateRecord<Matrix>();
    if (!m) {
        fail("ERROR in allocMatrix: can't allocate matrix.");
        return nullptr;
    }
    m->rows = rows;
    m->cols = cols;
    m->size = rows * cols;
    m->cellValues = allocateArray<std::int32_t>(static_cast<std::size_t>(m->size));
    if (!m->cellValues) {
        freeMatrix(m);
        fail("ERROR in allocMatrix: can't allocate cellValues array.");
        return nullptr;
    }
    m->rowsMapping = allocateArray<std::int32_t*>(static_cast<std::size_t>(rows));
    if (!m->rowsMapping) {
        freeMatrix(m);
        fail("ERROR in allocMatrix: can't allocate cellValues rows mapping.");
        return nullptr;
    }
    for (std::int32_t r = 0; r < rows; ++r) m->rowsMapping[r] = m->cellValues + std::size_t(r) * cols;
    return m;
}

void freeMatrix(Matrix* matrix) {
    if (!matrix) return;
    release(matrix->rowsMapping);
    release(matrix->cellValues);
    release(matrix);
}

// --- Branch ----------------------------------------------------------------

Branch* allocBranch(std::int32_t rows, std::int32_t cols, std::int32_t depthHalf,
                    std::int32_t numOfBasis) {
    if (depthHalf < 1 || depthHalf > 8) {
        fail("ERROR in allocBranch: pattern size out of range.");
        return nullptr;
    }
    const std::int32_t p = 1 << depthHalf;
    if (rows < p || cols < p || !fitsCellCount(rows, cols)) {
        fail("ERROR in allocBranch: source smaller than the pattern or too large.");
        return nullptr;
    }
    if (numOfBasis < 1 || numOfBasis > p * p) {
        fail("ERROR in allocBranch: number of kernels out of range.");
        return nullptr;
    }
    const int depth = 2 * depthHalf;
    const std::size_t nb = static_cast<std::size_t>(numOfBasis);

    Branch* b = allocateRecord<Branch>();
    if (!b) {
        fail("ERROR in allocBranch: can't allocate branch.");
        return nullptr;
    }
    b->rows = rows;
    b->cols = cols;
    b->numOfBasis = numOfBasis;
    b->depth = static_cast<std::uint8_t>(depth);
    b->currentBasis = -1;

    b->matrices = allocateArray<Matrix*>(static_cast<std::size_t>(depth) + 1);
    if (!b->matrices) {
        freeBranch(b);
        fail("ERROR in allocBranch: can't allocate matrices array mapping.");
        return nullptr;
    }
    std::fill_n(b->matrices, depth + 1, nullptr);

    b->delta = allocateArray<std::int32_t>(depth);
    b->direction = allocateArray<std::uint8_t>(depth);
    b->signs = b->delta && b->direction ? allocateArray<std::int8_t>(depth * nb) : nullptr;
    b->stamps = b->signs ? allocateArray<std::int32_t>((depth + 1) * nb) : nullptr;
    const std::size_t cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    b->markers = b->stamps ? allocateArray<std::int32_t>(cells) : nullptr;
    b->markerRows = b->markers ? allocateArray<std::int32_t*>(rows) : nullptr;
    b->prefixLengths = b->markerRows ? allocateArray<std::uint8_t>(nb * nb) : nullptr;
    if (!b->prefixLengths) {
        freeBranch(b);
        fail("ERROR in allocBranch: can't allocate branch data.");
        return nullptr;
    }

    for (int i = 0; i < depth; ++i) {
        b->delta[i] = 1 << (i / 2);
        b->direction[i] = (i % 2 == 0) ? kHorizontal : kVertical;
        for (std::size_t k = 0; k < nb; ++k)
            b->signs[i * nb + k] = kSignOfBits[(k >> (depth - 1 - i)) & 7];
    }
    for (std::size_t k = 0; k < nb; ++k) {
        b->stamps[k] = 0;
        for (int level = 1; level <= depth; ++level) {
            const std::size_t g = std::size_t(1) << (depth - level);
            const std::int32_t prev = b->stamps[(level - 1) * nb + k];
            b->stamps[level * nb + k] =
                prev + ((k / g) % 2 == 0 ? 1 : static_cast<std::int32_t>(2 * g));
        }
    }
    for (std::int32_t r = 0; r < rows; ++r) b->markerRows[r] = b->markers + std::size_t(r) * cols;
    std::fill_n(b->markers, cells, 0);
    for (std::size_t j = 0; j < nb; ++j)
        for (std::size_t k = 0; k < nb; ++k)
            b->prefixLengths[j * nb + k] = static_cast<std::uint8_t>(std::bit_width(j ^ k));

    std::int32_t levelRows = rows;
    std::int32_t levelCols = cols;
    for (int i = 0; i < depth; ++i) {
        if (b->direction[i] == kHorizontal)
            levelCols -= b->delta[i];
        else
            levelRows -= b->delta[i];
        b->matrices[i + 1] = allocMatrix(levelRows, levelCols);
        if (!b->matrices[i + 1]) {
            freeBranch(b);  // keeps allocMatrix's description
            return nullptr;
        }
    }
    return b;
}

void freeBranch(Branch* branch) {
    if (!branch) return;
    if (branch->matrices) {
        for (int i = 1; i <= branch->depth; ++i) freeMatrix(branch->matrices[i]);
    }
    release(branch->matrices);
    release(branch->delta);
    release(branch->direction);
    release(branch->signs);
    release(branch->stamps);
    release(branch->markers);
    release(branch->markerRows);
    release(branch->prefixLengths);
    release(branch);
}

bool setBranchSource(Branch* branch, Matrix* source) {
    if (!branch || !source || source->rows != branch->rows || source->cols != branch->cols)
        return fail("ERROR in setBranchSource: source size differs from the branch.");
    branch->matrices[0] = source;
    branch->currentBasis = -1;
    branch->markersValid = false;
    return true;
}

bool computeBasisProjections(Branch* branch, std::int32_t k) {
    if (!branch || !branch->matrices[0])
        return fail("ERROR in computeBasisProjections: no source.");
    if (k < 0 || k >= branch->numOfBasis)
        return fail("ERROR in computeBasisProjections: kernel index out of range.");
    const int depth = branch->depth;
    const int start =
        branch->currentBasis < 0 ? 0 : depth - prefixLength(*branch, branch->currentBasis, k);
    for (int step = start; step < depth; ++step) cascadeStep(*branch, step, k);
    branch->currentBasis = k;
    branch->markersValid = false;
    return true;
}

void resetMarkers(Branch* branch) {
    if (!branch) return;
    const std::int32_t value =
        branch->currentBasis >= 0 ? stamp(*branch, branch->depth, branch->currentBasis) : 0;
    std::fill_n(branch->markers, static_cast<std::size_t>(branch->rows) * branch->cols, value);
    branch->markersValid = true;
    branch->markerBasis = branch->currentBasis;
}

namespace detail {
// The recursion for callers inside the library that checked the arguments
// and reset the markers themselves.
std::int32_t windowProjectionUnchecked(Branch& b, int k, std::int32_t r, std::int32_t c) {
    return windowValue(b, k, b.depth, r, c);
}
}  // namespace detail

bool computeWindowProjection(Branch* branch, std::int32_t k, std::int32_t level, std::int32_t r,
                             std::int32_t c, std::int32_t* value) {
    if (!branch || !branch->matrices[0] || !value)
        return fail("ERROR in computeWindowProjection: no source.");
    if (k < 0 || k >= branch->numOfBasis || level < 1 || level > branch->depth)
        return fail("ERROR in computeWindowProjection: kernel or level out of range.");
    const Matrix& out = *branch->matrices[level];
    if (r < 0 || c < 0 || r >= out.rows || c >= out.cols)
        return fail("ERROR in computeWindowProjection: position out of range.");
    if (!branch->markersValid || k < branch->markerBasis) {
        // Stamps only order kernels taken in increasing order: markers left
        // by a later kernel, or levels holding one, would pass for this one.
        if (branch->currentBasis > k) branch->currentBasis = -1;
        resetMarkers(branch);
    }
    branch->markerBasis = k;
    *value = windowValue(*branch, k, level, r, c);
    // The levels now mix kernels: the next full cascade must start afresh.
    branch->currentBasis = -1;
    return true;
}

}  // namespace plastora::whmatch
