// The multi-view of a stereo-pair document.
//
// A stereo-pair document gets its views from its source pictures rather
// than from cutout regions: every view is filled with one of the pictures,
// and, with pattern matching on, the in-between views are made by measuring
// how far every P x P block of the left picture moved in the right picture
// (the Walsh-Hadamard matcher in stereo/whmatch) and pasting each block at a
// fraction of that displacement. The paint layer is then added to every view
// as in ordinary synthesis.
//
// The pieces are exposed one by one (slot choice, search areas, outlier
// marking, filling, pasting) so that each can be checked alone; the builder
// BuildPatternMultiView runs them in order on a workspace.
#pragma once

#include "platform/Surface.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace plastora {

class CStereoWorkspace;
class ProgressSink;
namespace whmatch {
struct WHSetup;
}

// ---------------------------------------------------------------------------
// Settings, section [PM] of the settings file.

struct PatternMatchSettings {
    bool enablePM = true;        // initial tick of the stereo dialog's pattern-match box
    bool checkMatch = true;      // draw every tested block on the view window
    int patternSize = 16;        // block size P: 8, 16 or 32
    int sourceCol = 64;          // search area width, 16..128
    int sourceRow = 32;          // search area height, 16..128
    int minDistance = 35;        // acceptance: SSD / P^2 <= minDistance^2, 10..90
    int adjustType = 1;          // 0 none, 1 by columns, 2 by rows
    int numOfBasis = 50;         // kernels the matcher uses
    int findDistance = 1;        // matcher's find-best flag
    int bottomUpStartPercent = 10;
    int distanceStartPercent = 2;
    int rejectThreshold = 50;    // matcher's per-pixel tolerance
    int failRatio = 10;          // percent of unmatched blocks above which the user is warned
    int method = 1;              // how in-between views are made: kMethodBlocks or kMethodDense
    // Whether the search area was set in the settings file; when not, the
    // block matcher's area is widened to the pair's measured disparities.
    bool areaSet = false;
};

// How the in-between views of a pair are made: the block matcher (blocks of
// the left picture pasted at a fraction of their displacement) or a dense
// disparity map with both pictures warped to each view (stereo/DenseViews).
enum PatternMethod : int { kMethodBlocks = 0, kMethodDense = 1 };

// Reads every [PM] key (defaults where absent). A pattern size other than 8
// or 32 reads as 16.
PatternMatchSettings readPatternMatchSettings(const std::string& settingsPath);
// Writes the eight values the settings dialog edits (the method too) ("1"/"0" for the two
// ticks, decimal numbers otherwise). False when the file cannot be written.
bool writePatternMatchSettings(const std::string& settingsPath, const PatternMatchSettings& s);

// Adjust types: the direction outliers are looked for and holes filled in.
enum PatternAdjust : int { kAdjustNone = 0, kAdjustColumns = 1, kAdjustRows = 2 };

// ---------------------------------------------------------------------------
// The displacement grid: one record per block, I = W / P across, G = H / P
// down, row by row. A dx above 900 marks a block without a usable
// displacement.

constexpr std::int32_t kNoMatch = 901;        // the matcher found nothing acceptable
constexpr std::int32_t kColumnOutlier = 902;  // its dy stands out in its column
constexpr std::int32_t kRowOutlier = 903;     // its dy stands out in its row

struct BlockShift {
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    bool usable() const { return dx < 900; }
    friend bool operator==(const BlockShift&, const BlockShift&) = default;
};

struct DisplacementGrid {
    int columns = 0;  // I
    int rows = 0;     // G
    std::vector<BlockShift> cells;

    void reset(int cols, int rowCount) {
        columns = cols;
        rows = rowCount;
        cells.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rowCount), BlockShift{});
    }
    BlockShift& at(int row, int col) { return cells[static_cast<std::size_t>(row) * columns + col]; }
    const BlockShift& at(int row, int col) const { return cells[static_cast<std::size_t>(row) * columns + col]; }
};

// ---------------------------------------------------------------------------
// The pieces of the builder.

// The source picture (slot 0 = left .. pictureCount - 1) that view `view` of
// `viewCount` starts from. Pictures of eight and fifteen come from
// multi-picture files and spread evenly over the views from right (view 0,
// the last picture) to left (view N-1, the first); any other count uses the
// right picture for the first half of the views and the left one for the
// rest.
int sourceSlotForView(int view, int viewCount, int pictureCount);
// A stored picture made w x h (halftone), as a view of a stereo-pair
// document starts from it and as its working picture is made from the left
// one. False when memory runs out.
bool pictureAtWorkingSize(const Surface& picture, int w, int h, Surface& out);

// The part of two pictures of one size inside the white margins both have
// (whole white columns and rows at their edges, as a picture fitted inside
// its paper has): the whole picture when there are none.
Rect whiteMarginsInside(const Surface& a, const Surface& b);

// The search area in the right picture for the block at (x0, y0): centred
// on the block and moved inside the picture (at the right and bottom edges
// to W - cols and H - rows). An area larger than the picture is cut to the
// picture.
struct SearchArea {
    int left = 0;
    int top = 0;
    int cols = 0;
    int rows = 0;
};
SearchArea searchAreaFor(int x0, int y0, int patternSize, int areaCols, int areaRows, int width, int height);

// The outlier test after block (row, col) was measured: with adjust type 1
// and row >= 4 the five blocks of this column in rows row-4..row, with type 2
// and col >= 4 the five of this row in columns col-4..col. When none of them
// is unmatched (901) and the middle one's dy is strictly below or strictly
// above all four others, the middle one's dx becomes 902 (903 for rows).
// Returns true and the marked block's position when a block was marked.
bool markOutlier(DisplacementGrid& grid, int row, int col, int adjustType, int& markedRow, int& markedCol);

// Fills blocks without a usable displacement along each column (type 1) or
// each row (type 2) from the nearest usable blocks on both sides; type 0
// fills nothing. See the .cpp for the exact rule.
void fillUnusableBlocks(DisplacementGrid& grid, int adjustType);

// Pastes the blocks of `left` (view N-1) into the in-between view `v` at
// (N - v - 1) / (N - 1) of their displacement (products first, division
// truncating), so that the views are evenly spaced from the left picture
// (view N-1) to the right one (view 0). A part block at the right or bottom edge is the whole block
// ending on the last column or row, displaced like the grid's last cell.
// Blocks without a usable displacement leave `view` as it is.
void pasteShiftedBlocks(Surface& view, const Surface& left, const DisplacementGrid& grid, int patternSize, int v,
                        int viewCount);

// Grey levels of a picture, top row first: (77 R + 150 G + 29 B) >> 8.
std::vector<std::uint8_t> greyLevels(const Surface& picture);

// ---------------------------------------------------------------------------
// The block matcher.

// The rectangles drawn for the tested blocks, in picture pixels, in the
// order they are drawn: left, top, right, bottom as passed to a hollow
// rectangle (right and bottom are the block's last pixel + 0: x0 + P - 1).
struct CheckMatchRect {
    Rect rect;
    ColorRef colour = 0;
};
constexpr ColorRef kMatchedColour = 0xFF0000;    // blue
constexpr ColorRef kUnmatchedColour = 0x0000FF;  // red
constexpr ColorRef kOutlierColour = 0x00FFFF;    // yellow

// One block search: where the pattern of the left picture at (x0, y0) sits
// in the right picture's search area.
struct BlockSearchResult {
    bool setupOk = true;         // false: the matcher could not be set up
    int matches = 0;             // matches the run returned
    std::int32_t row = 0;        // first match record, relative to the area
    std::int32_t col = 0;
    std::uint32_t minDistance = 0;
    SearchArea area;
    bool accepted = false;       // a match, and [PM] MinDistance^2 >= its SSD / P^2
};

// Searches the blocks of a pair of grey pictures (left and right, both
// width x height). One matcher setup serves every area of the same size.
// In find-best mode the matcher runs with growing tolerances up to what can
// still be accepted (see search()): which blocks are accepted, and where,
// is exactly what one run with [PM] rejectThreshold gives; only the
// position and distance reported for refused blocks may differ.
class BlockSearcher {
public:
    BlockSearcher(const std::uint8_t* leftGrey, const std::uint8_t* rightGrey, int width, int height,
                  const PatternMatchSettings& settings);
    ~BlockSearcher();
    BlockSearcher(const BlockSearcher&) = delete;
    BlockSearcher& operator=(const BlockSearcher&) = delete;

    int patternSize() const { return m_p; }
    BlockSearchResult search(int x0, int y0);

private:
    const std::uint8_t* m_left;
    const std::uint8_t* m_right;
    int m_width, m_height, m_p;
    PatternMatchSettings m_settings;
    std::vector<std::uint8_t> m_area, m_pattern;
    whmatch::WHSetup* m_setup = nullptr;
    int m_setupRows = 0, m_setupCols = 0;
    bool m_sourceLoaded = false;
    // The displacement the last block was found at.
    int m_lastDx = 0;
    int m_lastDy = 0;
};

struct BlockMatchResult {
    DisplacementGrid grid;
    int failures = 0;                    // blocks the matcher did not accept
    bool setupFailed = false;            // some setup could not be made
    std::vector<CheckMatchRect> checks;  // when CheckMatch is on
};

// Matches every block of `left` in `right` (both W x H grey pictures),
// marks outliers and fills along the adjust direction, into `out` (grid,
// failures and, with CheckMatch on, the rectangles as they are tested).
// `rowDone` (if any) is called after each block row with its y0.
void matchBlocks(const std::vector<std::uint8_t>& leftGrey, const std::vector<std::uint8_t>& rightGrey, int width,
                 int height, const PatternMatchSettings& settings, BlockMatchResult& out,
                 const std::function<void(int y0)>& rowDone = {});

// ---------------------------------------------------------------------------
// The builder.

// What the last build of a workspace measured; kept per workspace for the
// view window (CheckMatch rectangles) and for tests.
struct PatternMultiViewState {
    bool patternMatch = false;  // the flag the views were built with
    bool drawing = false;       // true while a build is matching (rectangles shown)
    PatternMatchSettings settings;  // as used (the search area possibly widened)
    BlockMatchResult match;
    int method = kMethodBlocks;     // the method the views were made with
    // The pair's horizontal displacement x(right) - x(left) measured from
    // features before matching (working-size pixels); valid when rangeKnown.
    bool rangeKnown = false;
    double displacementLow = 0.0, displacementHigh = 0.0;
    // Percent of the pair found not to match: unmatched blocks, or for the
    // dense method the textured pixels without a consistent match.
    int failurePercent = 0;
    bool warned = false;            // the user was told the match cannot be trusted
};

// The size of the block matcher's search area for a pair whose
// displacements x(right) - x(left) lie in [low, high]: wide enough that a
// block's area, centred on it, reaches its match (at most `width` - 1);
// never narrower than `sourceCol`.
int searchWidthForRange(double low, double high, int patternSize, int sourceCol, int width);

// Builds the views of a stereo-pair document with strength S: every view
// from its source picture (halftone), with patternMatch the in-between views
// from the block matcher or the dense method ([PM] "Method"), then the paint
// layer. Before matching, the pair's disparity range is measured from
// features to size the search. More than [PM] FailRatio percent of
// unmatched blocks, or more than FailRatio + 30 percent of textured pixels
// without a consistent dense match (occlusions are part of every pair),
// gets the failure warning with the measured share (the views are still
// made). Shows the memory message and
// returns 0 when a view cannot be made; the failure warning (too many
// unmatched blocks) still returns 1. `progress` may be null.
// `method` (kMethodBlocks or kMethodDense) overrides [PM] "Method" when given.
int BuildPatternMultiView(CStereoWorkspace& ws, ProgressSink* progress, int strength, bool patternMatch,
                          std::optional<int> method = std::nullopt);

// The pattern-match tick the stereo dialog would start with: on for a
// strength above 3 when [PM] "EnablePM" is on, and only for documents with
// fewer than eight pictures (the box is not shown otherwise). Every way of
// making a pair's views without that dialog (the stereo command, views,
// lenticular, movie, save-views --all) matches by this same rule.
bool defaultPatternMatchTick(const CStereoWorkspace& ws, int strength);

// The state of the last build on `ws`, or null when none was made.
const PatternMultiViewState* patternMultiViewState(const CStereoWorkspace& ws);
// Drops what was kept for `ws` (call when the workspace is destroyed).
void forgetPatternMultiView(const CStereoWorkspace& ws);

// Draws CheckMatch rectangles onto a painter that shows the picture scaled
// by `zoom` and scrolled by (scrollX, scrollY): hollow, one screen pixel
// wide, each covering its block's zoomed pixels x0 .. x0 + P - 2.
void drawCheckMatch(QPainter& painter, const std::vector<CheckMatchRect>& rects, int zoom, int scrollX,
                    int scrollY);
// The view window's call: draws the rectangles of the build running on `ws`
// (nothing when no build is matching or CheckMatch is off).
void drawCheckMatch(QPainter& painter, const CStereoWorkspace& ws, int zoom, int scrollX, int scrollY);

}  // namespace plastora
