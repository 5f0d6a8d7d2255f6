// Walsh-Hadamard pattern matcher.
//
// Finds where a small square grey-level pattern (P x P, P a power of two)
// fits inside a larger grey-level source. Every window of the source and the
// pattern are projected onto a sequence of Walsh-Hadamard kernels; the sum of
// squared projection differences, divided by P x P, is a lower bound of the
// window's sum of squared differences (SSD), so windows whose bound already
// exceeds the tolerance are dropped without ever computing their SSD.
//
// Projections of all windows onto one kernel come from a cascade of
// 2 x log2(P) sum/difference steps (the branch). Kernel k's signs are fixed by
// the bits of k; two kernels with a common leading bit pattern share the first
// cascade levels, so consecutive kernels recompute only the last few steps.
// When few windows remain, projections are computed per window instead,
// reusing stored partial sums guarded by a grid of stamps.
//
// Kernel order: kernel k is the product of a horizontal and a vertical Walsh
// function in sequency order (number of sign changes). The column sequency is
// made of the odd bits of k (bit 1 lowest), the row sequency of the even bits
// (bit 0 lowest), so kernels with small indices vary slowly in both
// directions. Kernel 0 is all ones: its projection is the window's pixel sum.
//
// Ownership: every record made by an alloc/create function is released by
// its free/destroy function. Image records never own their pixels.
//
// Failure: nothing here ends the program or throws. A function that fails
// returns nullptr, false or -1, leaves the records it was given usable, and
// describes the failure in whLastError() ("ERROR in <function>: ...").
// Allocation failures use the texts listed with each function.
//
// Threads: records are not shared between threads; separate setups may be
// used on separate threads (there is no shared work buffer).
#pragma once

#include <cstdint>

namespace plastora::whmatch {

// A grey-level picture: rows x cols bytes, row after row, top row first.
struct Image {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    const std::uint8_t* pixels = nullptr;  // not owned
};

// rows x cols signed 32-bit cells, row after row; rowsMapping[r] points at
// the first cell of row r. Owns both arrays.
struct Matrix {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::int32_t size = 0;  // rows x cols
    std::int32_t* cellValues = nullptr;
    std::int32_t** rowsMapping = nullptr;
};

// Direction of a cascade step.
enum : std::uint8_t { kVertical = 0, kHorizontal = 1 };

// The cascade for one source size and pattern size P = 2^depthHalf.
// Level 0 is the source matrix (not owned); level i + 1 is the result of
// step i. Step i combines every cell with the cell delta[i] further right
// (horizontal) or further down (vertical). The last level holds one cell per
// window position (top-left corner): (rows - P + 1) x (cols - P + 1).
struct Branch {
    std::int32_t rows = 0;  // size of level 0
    std::int32_t cols = 0;
    std::int32_t numOfBasis = 0;
    std::uint8_t depth = 0;           // D = 2 x depthHalf steps
    std::int32_t currentBasis = -1;   // kernel whose full cascade the levels hold; -1 none
    Matrix** matrices = nullptr;      // [D + 1]; [0] not owned
    std::int32_t* delta = nullptr;    // [D]: steps 2m and 2m + 1 have delta 2^m
    std::uint8_t* direction = nullptr;  // [D]: even steps horizontal, odd steps vertical
    std::int8_t* signs = nullptr;     // [D][numOfBasis], see sign()
    std::int32_t* stamps = nullptr;   // [D + 1][numOfBasis], see stamp()
    std::int32_t* markers = nullptr;  // [rows][cols] stamps of the per-window computation
    std::int32_t** markerRows = nullptr;
    bool markersValid = false;        // false after a full cascade overwrote the levels
    std::int32_t markerBasis = -1;    // highest kernel the markers were set for
    std::uint8_t* prefixLengths = nullptr;  // [numOfBasis][numOfBasis], see prefixLength()
};

// One window position and its distance to the pattern (during a run the
// candidates' lower bounds, afterwards the true SSD).
struct MatchRecord {
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::uint32_t distance = 0;
};

// Everything one search needs: created for a source size, a pattern size and
// a number of kernels.
struct WHSetup {
    std::int32_t sourceRows = 0;
    std::int32_t sourceCols = 0;
    std::int32_t patternSize = 0;  // P
    std::int32_t numOfBasis = 0;   // never more than P x P (see createWHSetup)
    Matrix* sourceMatrix = nullptr;
    Matrix* patternMatrix = nullptr;
    // [numOfBasis]: the pattern's projections, the first
    // patternProjectionsMade of them made so far for the loaded pattern.
    std::int32_t* patternProjections = nullptr;
    std::int32_t patternProjectionsMade = 0;
    Branch* branch = nullptr;
    float bottomUpStartPercent = 10.0f;
    float distanceStartPercent = 2.0f;
    MatchRecord* matches = nullptr;  // one record per window position
    std::int32_t numOfMatches = 0;   // of the last run
    // Running lower bounds of the candidates, beside the matches area. They
    // are 64-bit because the bound for a generous tolerance on a large
    // pattern, a^2 x P^4, does not fit 32 bits.
    std::uint64_t* bounds = nullptr;
    bool patternLoaded = false;
    // The pictures' own bytes (exact distances are summed from them) and
    // the cascade the pattern's projections come from, kept between
    // patterns.
    std::uint8_t* sourceBytes = nullptr;
    std::uint8_t* patternBytes = nullptr;
    Branch* patternBranch = nullptr;
};

// Description of the last failure on this thread ("" when none yet).
const char* whLastError();

// --- Image -----------------------------------------------------------------
// "ERROR in allocImage: can't allocate image."
Image* allocImage(const std::uint8_t* pixels, std::int32_t rows, std::int32_t cols);
void freeImage(Image* image);

// --- Matrix ----------------------------------------------------------------
// Cells are uninitialised. rows and cols must be at least 1 and their product
// must fit 32 bits. "ERROR in allocMatrix: can't allocate matrix.",
// "... can't allocate cellValues array.", "... can't allocate cellValues rows mapping."
Matrix* allocMatrix(std::int32_t rows, std::int32_t cols);
void freeMatrix(Matrix* matrix);

// --- Branch ----------------------------------------------------------------
// All tables filled, levels 1..D allocated, level 0 empty until
// setBranchSource. depthHalf 1..8, numOfBasis 1..4^depthHalf, rows and cols
// at least 2^depthHalf. "ERROR in allocBranch: can't allocate branch.",
// "... can't allocate matrices array mapping.", "... can't allocate branch data."
Branch* allocBranch(std::int32_t rows, std::int32_t cols, std::int32_t depthHalf,
                    std::int32_t numOfBasis);
// Frees the branch and its levels 1..D, never level 0.
void freeBranch(Branch* branch);

// Makes source (rows x cols of the branch) level 0 and forgets the current
// basis and the stored per-window values.
bool setBranchSource(Branch* branch, Matrix* source);

// Sign of step i for kernel k: T[(k >> (D - 1 - i)) & 7],
// T = {1, -1, 1, -1, -1, 1, -1, 1}. Unchecked accessors.
inline int sign(const Branch& b, int step, int k) { return b.signs[step * b.numOfBasis + k]; }
// Pre-order number of the cascade node (level, leading bits of k): stored
// level values are valid for kernel k where a marker is at least this.
inline std::int32_t stamp(const Branch& b, int level, int k) {
    return b.stamps[level * b.numOfBasis + k];
}
// Number of bits of j XOR k: kernels j and k share the first D - this steps.
inline int prefixLength(const Branch& b, int j, int k) {
    return b.prefixLengths[j * b.numOfBasis + k];
}

// Full cascade for kernel k: afterwards level D [r][c] is the projection of
// the window at (r, c) onto kernel k. Starts at the first step that differs
// from the current basis. Needs level 0.
bool computeBasisProjections(Branch* branch, std::int32_t k);

// Sets every marker to the stamp of the current basis at level D (all levels
// valid for it), or to 0 (only level 0 valid) when there is none.
void resetMarkers(Branch* branch);

// Value of level L (1..D) at (r, c) for kernel k, computed for this one
// window from stored partial values where the markers allow, recursively
// otherwise; stores what it computes. Equals level L of the full cascade.
// Reuse is cheapest with kernels in increasing order; the markers are reset
// first when a full cascade ran since they were set or when k is below a
// kernel they were set for, so any order gives the right value.
bool computeWindowProjection(Branch* branch, std::int32_t k, std::int32_t level, std::int32_t r,
                             std::int32_t c, std::int32_t* value);

// --- WHSetup ---------------------------------------------------------------
// P must be a power of two from 2 to 256 and fit the source both ways.
// numOfBasis must be at least 1; more than P x P kernels do not exist, so a
// larger count is lowered to P x P (further indices would repeat kernels and
// break the lower bound). Percents start at 10.0 and 2.0.
// "ERROR in createWHSetup: can't allocate setup.", "... can't allocate branch.",
// "... can't allocate matches area."
WHSetup* createWHSetup(std::int32_t sourceRows, std::int32_t sourceCols, std::int32_t patternSize,
                       std::int32_t numOfBasis);
void setSearchPercents(WHSetup* setup, float bottomUpStartPercent, float distanceStartPercent);

// The image must be sourceRows x sourceCols. Makes a new source matrix.
bool loadSourceImage(WHSetup* setup, const Image* image);
// Copies a same-sized image into the existing source matrix (after
// loadSourceImage) and makes the branch start again from it.
bool reloadSourceImage(WHSetup* setup, const Image* image);
// The image must be P x P. Makes the pattern matrix; its projections are
// made as a search first needs them.
bool loadPatternImage(WHSetup* setup, const Image* image);

// Searches the loaded source for the loaded pattern with per-pixel tolerance
// rejectThreshold (a): a window is a match when its SSD <= a^2 x P^2.
// findBest 0: the matches are written to the front of setup->matches in
// raster order; otherwise the one candidate with the smallest SSD is written
// first and counted as one match. *minDistance receives the smallest SSD
// among the windows that survived the lower bounds, held to at most
// 0x0FFFFFFF, its value when none survived (only patterns above 64 x 64
// can have larger distances). Returns the number of matches (also in
// setup->numOfMatches), or -1 on failure. A negative tolerance matches
// nothing; tolerances above 255 search exactly as 255 does.
// With findBest, a window whose exact distance is within the tolerance also
// bounds the best one: from then on the lower bounds are held to that
// distance x P^2 as well, which drops windows that cannot be better without
// changing which window is best or the smallest distance reported.
int matchPattern(WHSetup* setup, int rejectThreshold, int findBest, std::uint32_t* minDistance);

// Frees the branch (not its level 0), the projections, the matches area,
// the pattern and source matrices and the setup. nullptr is ignored.
void destroyWHSetup(WHSetup* setup);

}  // namespace plastora::whmatch
