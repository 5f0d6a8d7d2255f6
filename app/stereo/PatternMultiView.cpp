#include "stereo/PatternMultiView.h"

#include "core/Progress.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "layers/ViewSynthesis.h"
#include "stereo/DenseViews.h"
#include "stereo/PairAlign.h"
#include "stereo/whmatch/WHMatch.h"
#include "platform/Profile.h"

#include <QColor>
#include <opencv2/core/utility.hpp>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plastora {

namespace {

constexpr const char* kSetupFailedMessage = "パターンマッチの初期化に失敗しました";
constexpr const char* kTooManyFailuresMessage =
    "左右の画像が異なりすぎているためマルチビューの作成に失敗しました。\n認識できなかったパターンが%1%ありました。\n"
    "レンチキューラレンズで正しく立体視ができない可能性があります。";

// Percent of textured pixels a genuine pair may leave without a consistent
// dense match beyond [PM] FailRatio: occlusions and featureless stretches.
// Aligned real pairs measure 10 to 20 %, unrelated photographs over 90 %.
constexpr int kDenseFailAllowance = 30;

std::map<const CStereoWorkspace*, std::unique_ptr<PatternMultiViewState>>& registry() {
    static std::map<const CStereoWorkspace*, std::unique_ptr<PatternMultiViewState>> states;
    return states;
}

PatternMultiViewState& stateFor(const CStereoWorkspace& ws) {
    auto& slot = registry()[&ws];
    if (!slot) slot = std::make_unique<PatternMultiViewState>();
    return *slot;
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings

PatternMatchSettings readPatternMatchSettings(const std::string& settingsPath) {
    const Settings s(settingsPath);
    PatternMatchSettings p;
    p.enablePM = s.getFlag(SettingKey::PMEnablePM);
    p.checkMatch = s.getFlag(SettingKey::PMCheckMatch);
    p.patternSize = s.getInt(SettingKey::PMPatternSize);
    if (p.patternSize != 8 && p.patternSize != 32) p.patternSize = 16;
    // The search area as the dialog allows it (16 to 128, at least twice the
    // block): a smaller one written by hand would make every block fail.
    p.sourceCol = std::clamp(s.getInt(SettingKey::PMSourceCol), 2 * p.patternSize, 128);
    p.sourceRow = std::clamp(s.getInt(SettingKey::PMSourceRow), 2 * p.patternSize, 128);
    p.minDistance = s.getInt(SettingKey::PMMinDistance);
    p.adjustType = s.getInt(SettingKey::PMAdjustType);
    p.numOfBasis = s.getInt(SettingKey::PMNumOfBasis);
    p.findDistance = s.getInt(SettingKey::PMFindDistance);
    p.bottomUpStartPercent = s.getInt(SettingKey::PMBottomUpStartPercent);
    p.distanceStartPercent = s.getInt(SettingKey::PMDistanceStartPercent);
    p.rejectThreshold = s.getInt(SettingKey::PMRejectThreshold);
    // A percentage; a hand-edited value far beyond it would overflow the
    // comparison with the failed blocks.
    p.failRatio = std::clamp(s.getInt(SettingKey::PMFailRatio), 0, 100);
    p.method = s.getInt(SettingKey::PMMethod) == kMethodBlocks ? kMethodBlocks : kMethodDense;
    // An unset key reads as the sentinel, whatever its default.
    constexpr int kUnset = std::numeric_limits<int>::min();
    p.areaSet = readProfileInt(settingsPath, "PM", "SourceCol", kUnset) != kUnset ||
                readProfileInt(settingsPath, "PM", "SourceRow", kUnset) != kUnset;
    return p;
}

bool writePatternMatchSettings(const std::string& settingsPath, const PatternMatchSettings& p) {
    std::vector<Settings::Entry> values{
        {SettingKey::PMEnablePM, p.enablePM}, {SettingKey::PMCheckMatch, p.checkMatch}, {SettingKey::PMPatternSize, p.patternSize}};
    // The search area is written only once it differs from what the file
    // gives: while unset, the block matcher sizes it to each pair.
    const PatternMatchSettings stored = readPatternMatchSettings(settingsPath);
    if (stored.areaSet || p.sourceCol != stored.sourceCol || p.sourceRow != stored.sourceRow) {
        values.emplace_back(SettingKey::PMSourceCol, p.sourceCol);
        values.emplace_back(SettingKey::PMSourceRow, p.sourceRow);
    }
    values.emplace_back(SettingKey::PMMinDistance, p.minDistance);
    values.emplace_back(SettingKey::PMAdjustType, p.adjustType);
    values.emplace_back(SettingKey::PMMethod, p.method == kMethodBlocks ? kMethodBlocks : kMethodDense);
    // One rewrite of the file for all of them, stored together or not at all.
    return Settings(settingsPath).setAll(values);
}

// ---------------------------------------------------------------------------
// Pieces

Rect whiteMarginsInside(const Surface& a, const Surface& b) {
    const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
    const auto white = [&](int x, int y) {
        return (a.row(y)[x] & 0x00FFFFFFu) == 0x00FFFFFFu && (b.row(y)[x] & 0x00FFFFFFu) == 0x00FFFFFFu;
    };
    const auto whiteColumn = [&](int x) {
        for (int y = 0; y < h; ++y)
            if (!white(x, y)) return false;
        return true;
    };
    const auto whiteRow = [&](int y) {
        for (int x = 0; x < w; ++x)
            if (!white(x, y)) return false;
        return true;
    };
    Rect r{0, 0, w, h};
    while (r.left < r.right && whiteColumn(r.left)) ++r.left;
    while (r.right > r.left && whiteColumn(r.right - 1)) --r.right;
    while (r.top < r.bottom && whiteRow(r.top)) ++r.top;
    while (r.bottom > r.top && whiteRow(r.bottom - 1)) --r.bottom;
    return r;
}

int sourceSlotForView(int view, int viewCount, int pictureCount) {
    if (pictureCount <= 0) return -1;
    int slot;
    if (pictureCount == 8 || pictureCount == 15) {
        // A multi-picture file: the pictures spread evenly from the right one
        // (view 0) to the left one (view N-1), the nearest picture to each
        // view's place. For the view counts the files are made for this is
        // every picture (8 of 8), every other one (8 of 15) or each with the
        // middle one twice (16 of 15); more views repeat pictures evenly
        // instead of the left one across half a lenticular, and fewer keep
        // the outer two, the pair the working picture and the pair outputs
        // show.
        const long long span = std::max(1, viewCount - 1);
        slot = static_cast<int>((static_cast<long long>(pictureCount - 1) * (viewCount - 1 - view) * 2 + span) / (2 * span));
    } else {
        slot = view < viewCount / 2 ? pictureCount - 1 : 0;
    }
    return std::clamp(slot, 0, pictureCount - 1);
}

bool pictureAtWorkingSize(const Surface& picture, int w, int h, Surface& out) {
    return out.createUninitialized(w, h) &&
           stretchBlit(out, 0, 0, w, h, picture, 0, 0, picture.width(), picture.height(), Rop::Copy, StretchMode::Halftone);
}

SearchArea searchAreaFor(int x0, int y0, int patternSize, int areaCols, int areaRows, int width, int height) {
    SearchArea a;
    a.cols = std::min(areaCols, width);
    a.rows = std::min(areaRows, height);
    // Centred on the block and moved inside the picture. At the far edges
    // the area ends on the last column (row): one pixel further in would
    // drop the window at the block's own position, and the blocks of the
    // last column and row could then never be found undisplaced.
    auto place = [](int start, int size, int limit) {
        if (start < 0) return 0;
        if (start + size >= limit) return std::max(0, limit - size);
        return start;
    };
    a.left = place(x0 + patternSize / 2 - a.cols / 2, a.cols, width);
    a.top = place(y0 + patternSize / 2 - a.rows / 2, a.rows, height);
    return a;
}

bool markOutlier(DisplacementGrid& grid, int row, int col, int adjustType, int& markedRow, int& markedCol) {
    BlockShift* five[5];
    std::int32_t marker;
    if (adjustType == kAdjustColumns && row >= 4) {
        for (int i = 0; i < 5; ++i) five[i] = &grid.at(row - 4 + i, col);
        markedRow = row - 2;
        markedCol = col;
        marker = kColumnOutlier;
    } else if (adjustType == kAdjustRows && col >= 4) {
        for (int i = 0; i < 5; ++i) five[i] = &grid.at(row, col - 4 + i);
        markedRow = row;
        markedCol = col - 2;
        marker = kRowOutlier;
    } else {
        return false;
    }
    for (const BlockShift* b : five)
        if (b->dx == kNoMatch) return false;
    const std::int32_t mid = five[2]->dy;
    bool below = true, above = true;
    for (int i : {0, 1, 3, 4}) {
        below = below && mid < five[i]->dy;
        above = above && mid > five[i]->dy;
    }
    if (!below && !above) return false;
    five[2]->dx = marker;
    return true;
}

namespace {

// One line of blocks (a row or a column) for filling.
template <typename Cell>
void fillLine(int length, Cell cell) {
    // The first block is never the start of a fill; it is reached only by
    // the run of a later unusable block.
    for (int j = 1; j < length; ++j) {
        if (cell(j).usable()) continue;
        int i = j - 1;
        while (i >= 0 && !cell(i).usable()) --i;
        int k = j + 1;
        while (k < length && !cell(k).usable()) ++k;
        const bool before = i >= 0, after = k < length;
        if (before && after) {
            // Steps of 1 / (k - i + 1) of the difference: the run stops
            // short of the far block's value, as the stored pictures expect.
            const BlockShift a = cell(i), b = cell(k);
            for (int v = 1; v <= k - i - 1; ++v)
                cell(i + v) = BlockShift{a.dx + (b.dx - a.dx) * v / (k - i + 1), a.dy + (b.dy - a.dy) * v / (k - i + 1)};
        } else if (before) {
            const BlockShift a = cell(i);
            for (int m = i + 1; m < length; ++m) cell(m) = a;
        } else if (after) {
            const BlockShift b = cell(k);
            for (int m = k - 1; m >= 0; --m) cell(m) = b;
        }
    }
}

}  // namespace

void fillUnusableBlocks(DisplacementGrid& grid, int adjustType) {
    if (adjustType == kAdjustRows) {
        for (int r = 0; r < grid.rows; ++r)
            fillLine(grid.columns, [&](int j) -> BlockShift& { return grid.at(r, j); });
    } else if (adjustType == kAdjustColumns) {
        for (int c = 0; c < grid.columns; ++c)
            fillLine(grid.rows, [&](int j) -> BlockShift& { return grid.at(j, c); });
    }
}

void pasteShiftedBlocks(Surface& view, const Surface& left, const DisplacementGrid& grid, int p, int v, int n) {
    if (grid.columns <= 0 || grid.rows <= 0 || p <= 0 || n <= 0) return;
    const int w = left.width(), h = left.height();
    // A part block at the right (bottom) edge is taken as the whole block
    // that ends on the last column (row), so the edge gets its displaced
    // pixels too instead of a seam of the view's starting picture.
    for (int y0 = 0; y0 < h; y0 += p) {
        const int ys = y0 + p > h ? h - p : y0;
        const int row = std::min(y0 / p, grid.rows - 1);
        for (int x0 = 0; x0 < w; x0 += p) {
            const int xs = x0 + p > w ? w - p : x0;
            const int col = std::min(x0 / p, grid.columns - 1);
            const BlockShift& s = grid.at(row, col);
            if (!s.usable()) continue;
            const int k = n - v - 1, steps = std::max(1, n - 1);
            blit(view, xs + k * s.dx / steps, ys + k * s.dy / steps, p, p, &left, xs, ys, Rop::Copy);
        }
    }
}

std::vector<std::uint8_t> greyLevels(const Surface& picture) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(picture.width()) * picture.height());
    std::size_t i = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const Pixel* row = picture.row(y);
        for (int x = 0; x < picture.width(); ++x) {
            const Pixel px = row[x];
            const unsigned r = (px >> 16) & 0xFFu, g = (px >> 8) & 0xFFu, b = px & 0xFFu;
            grey[i++] = static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
        }
    }
    return grey;
}

// ---------------------------------------------------------------------------
// Block search

BlockSearcher::BlockSearcher(const std::uint8_t* leftGrey, const std::uint8_t* rightGrey, int width, int height,
                             const PatternMatchSettings& settings)
    : m_left(leftGrey), m_right(rightGrey), m_width(width), m_height(height), m_p(settings.patternSize),
      m_settings(settings) {
    m_pattern.resize(static_cast<std::size_t>(m_p) * m_p);
}

BlockSearcher::~BlockSearcher() { whmatch::destroyWHSetup(m_setup); }

BlockSearchResult BlockSearcher::search(int x0, int y0) {
    using namespace whmatch;
    BlockSearchResult r;
    r.area = searchAreaFor(x0, y0, m_p, m_settings.sourceCol, m_settings.sourceRow, m_width, m_height);
    const SearchArea& a = r.area;
    // Every area of a run has the same size except where the picture is
    // smaller than the area, so one setup serves them all: its source is
    // reloaded for each block.
    if (!m_setup || m_setupRows != a.rows || m_setupCols != a.cols) {
        destroyWHSetup(m_setup);
        m_setup = nullptr;
        m_sourceLoaded = false;
        if (a.rows < m_p || a.cols < m_p) {
            r.setupOk = false;
            return r;
        }
        m_setup = createWHSetup(a.rows, a.cols, m_p, m_settings.numOfBasis);
        if (!m_setup) {
            r.setupOk = false;
            return r;
        }
        setSearchPercents(m_setup, static_cast<float>(m_settings.bottomUpStartPercent),
                          static_cast<float>(m_settings.distanceStartPercent));
        m_setupRows = a.rows;
        m_setupCols = a.cols;
        m_area.resize(static_cast<std::size_t>(a.rows) * a.cols);
    }
    for (int y = 0; y < a.rows; ++y)
        std::memcpy(&m_area[static_cast<std::size_t>(y) * a.cols],
                    m_right + static_cast<std::size_t>(a.top + y) * m_width + a.left, static_cast<std::size_t>(a.cols));
    for (int y = 0; y < m_p; ++y)
        std::memcpy(&m_pattern[static_cast<std::size_t>(y) * m_p],
                    m_left + static_cast<std::size_t>(y0 + y) * m_width + x0, static_cast<std::size_t>(m_p));
    const Image source{a.rows, a.cols, m_area.data()};
    const Image pattern{m_p, m_p, m_pattern.data()};
    WHSetup* setup = m_setup;
    const bool loaded = m_sourceLoaded ? reloadSourceImage(setup, &source) : loadSourceImage(setup, &source);
    if (!loaded || !loadPatternImage(setup, &pattern)) {
        r.setupOk = false;
        return r;
    }
    m_sourceLoaded = true;
    const std::int64_t area = std::int64_t(m_p) * m_p;
    const std::int64_t acceptance = std::int64_t(m_settings.minDistance) * m_settings.minDistance;
    // With find-best on and an acceptance tolerance below the matcher's,
    // only the best window matters, and only when its SSD / P^2 is at most
    // minDistance^2. The matcher is then run with growing tolerances: once
    // a run finds a window whose SSD is within the tolerance of that run,
    // every window at least as good survived it, so that window is the best
    // of all (the first in raster order on ties), as a run with the full
    // tolerance would give. Tight tolerances reject most windows after a
    // few kernels, which is what makes the Walsh-Hadamard search fast; the
    // last run, with minDistance + 1, keeps every window that can still be
    // accepted. The outcome (accepted or not, and where) is the same as
    // one run with rejectThreshold.
    //
    // The two percents only decide how the same lower bounds are computed
    // (whole-area cascades, per-window sums, exact distances), never which
    // window is found. On these small areas of photographs the windows
    // around the best one differ from it mostly in fine detail, which the
    // first kernels cannot see, so further kernels drop few of them: the
    // pixel sums (kernel 0) and whole-area cascades only while more than
    // 90 % remain, then exact distances, each summed only as far as it can
    // still beat the best one known.
    int found = 0;
    if (m_settings.findDistance != 0 && m_settings.minDistance >= 0 &&
        m_settings.minDistance < m_settings.rejectThreshold) {
        setSearchPercents(setup, 90.0f, 90.0f);
        // A window whose exact distance is known bounds the best one: the
        // previous block's displacement (neighbouring blocks of a stereo
        // pair mostly move alike) and no displacement are tried, and the
        // matcher runs once with the smallest tolerance that keeps every
        // window at least as good as the better of the two. On real pairs
        // that tolerance is tight enough for the cascades to reject almost
        // every other window after a few kernels.
        const int last = m_settings.minDistance + 1;
        std::uint64_t seed = std::numeric_limits<std::uint64_t>::max();
        for (const auto& [dx, dy] : {std::pair{m_lastDx, m_lastDy}, std::pair{0, 0}}) {
            const int col = x0 + dx - a.left, row = y0 + dy - a.top;
            if (col < 0 || row < 0 || col + m_p > a.cols || row + m_p > a.rows) continue;
            std::uint64_t ssd = 0;
            for (int y = 0; y < m_p; ++y) {
                const std::uint8_t* q = &m_area[static_cast<std::size_t>(row + y) * a.cols + col];
                const std::uint8_t* t = &m_pattern[static_cast<std::size_t>(y) * m_p];
                for (int x = 0; x < m_p; ++x) {
                    const int d = int(q[x]) - int(t[x]);
                    ssd += static_cast<std::uint64_t>(d * d);
                }
            }
            seed = std::min(seed, ssd);
        }
        int tolerance = last;
        if (seed <= std::uint64_t(last) * last * std::uint64_t(area)) {
            tolerance = static_cast<int>(std::sqrt(static_cast<double>(seed) / static_cast<double>(area)));
            while (std::uint64_t(tolerance) * tolerance * std::uint64_t(area) < seed) ++tolerance;
            tolerance = std::min(tolerance, last);
        }
        found = matchPattern(setup, tolerance, 1, &r.minDistance);
        if (found > 0) {
            m_lastDx = a.left + setup->matches[0].col - x0;
            m_lastDy = a.top + setup->matches[0].row - y0;
        }
    } else {
        found = matchPattern(setup, m_settings.rejectThreshold, m_settings.findDistance, &r.minDistance);
    }
    r.matches = std::max(0, found);
    if (r.matches > 0) {
        r.row = setup->matches[0].row;
        r.col = setup->matches[0].col;
        r.accepted = acceptance >= std::int64_t(r.minDistance / static_cast<std::uint32_t>(area));
    }
    return r;
}

// ---------------------------------------------------------------------------
// The block matcher

void matchBlocks(const std::vector<std::uint8_t>& leftGrey, const std::vector<std::uint8_t>& rightGrey, int width,
                 int height, const PatternMatchSettings& settings, BlockMatchResult& out,
                 const std::function<void(int y0)>& rowDone) {
    const int p = settings.patternSize;
    const int across = p > 0 ? width / p : 0, down = p > 0 ? height / p : 0;
    out.grid.reset(across, down);
    out.failures = 0;
    out.setupFailed = false;
    out.checks.clear();
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (across == 0 || down == 0 || leftGrey.size() < pixels || rightGrey.size() < pixels) return;
    // The blocks are searched on every core, a chunk of block rows at a
    // time: worker t takes rows t, t + T, ... of the chunk with its own
    // searcher (kept from chunk to chunk). A block's outcome depends only on
    // the two pictures, so the grid is the same on any number of cores. The
    // outcomes are then entered in raster order on this thread, where the
    // outlier marks (which look at the blocks entered before) and progress
    // are made.
    const int threads = std::max(1, std::min(cv::getNumThreads(), down));
    std::vector<std::unique_ptr<BlockSearcher>> searchers;
    for (int t = 0; t < threads; ++t)
        searchers.push_back(std::make_unique<BlockSearcher>(leftGrey.data(), rightGrey.data(), width, height, settings));
    const int chunk = threads == 1 ? 1 : 2 * threads;
    std::vector<BlockSearchResult> found(static_cast<std::size_t>(chunk) * static_cast<std::size_t>(across));
    for (int first = 0; first < down; first += chunk) {
        const int rows = std::min(chunk, down - first);
        const auto searchRows = [&](const cv::Range& workers) {
            for (int t = workers.start; t < workers.end; ++t)
                for (int k = t; k < rows; k += threads)
                    for (int c = 0; c < across; ++c)
                        found[static_cast<std::size_t>(k) * across + c] =
                            searchers[static_cast<std::size_t>(t)]->search(c * p, (first + k) * p);
        };
        if (threads == 1) searchRows(cv::Range(0, 1));
        else cv::parallel_for_(cv::Range(0, threads), searchRows, threads);
        for (int k = 0; k < rows; ++k) {
            const int r = first + k;
            const int y0 = r * p;
            for (int c = 0; c < across; ++c) {
                const int x0 = c * p;
                const BlockSearchResult& s = found[static_cast<std::size_t>(k) * across + c];
                BlockShift& cell = out.grid.at(r, c);
                if (!s.setupOk) out.setupFailed = true;
                if (s.setupOk && s.accepted) {
                    cell = BlockShift{s.area.left + s.col - x0, s.area.top + s.row - y0};
                } else {
                    cell = BlockShift{kNoMatch, kNoMatch};
                    ++out.failures;
                }
                int mr = 0, mc = 0;
                const bool marked = markOutlier(out.grid, r, c, settings.adjustType, mr, mc);
                if (settings.checkMatch) {
                    out.checks.push_back({Rect{x0, y0, x0 + p - 1, y0 + p - 1},
                                          cell.dx == kNoMatch ? kUnmatchedColour : kMatchedColour});
                    if (marked)
                        out.checks.push_back({Rect{mc * p, mr * p, mc * p + p - 1, mr * p + p - 1}, kOutlierColour});
                }
            }
            if (rowDone) rowDone(y0);
        }
    }
    fillUnusableBlocks(out.grid, settings.adjustType);
}

// ---------------------------------------------------------------------------
// The builder

int searchWidthForRange(double low, double high, int patternSize, int sourceCol, int width) {
    const double reach = std::max(std::abs(low), std::abs(high));
    const int needed = 2 * static_cast<int>(std::ceil(reach)) + patternSize + 4;
    return std::max(sourceCol, std::min(needed, std::max(1, width - 1)));
}

bool defaultPatternMatchTick(const CStereoWorkspace& ws, int strength) {
    return strength > 3 && ws.highResCount() < 8 && Settings(ws.settingsPath()).getFlag(SettingKey::PMEnablePM);
}

const PatternMultiViewState* patternMultiViewState(const CStereoWorkspace& ws) {
    auto it = registry().find(&ws);
    return it == registry().end() ? nullptr : it->second.get();
}

void forgetPatternMultiView(const CStereoWorkspace& ws) { registry().erase(&ws); }

int BuildPatternMultiView(CStereoWorkspace& ws, ProgressSink* progress, int strength, bool patternMatch,
                          std::optional<int> method) {
    ws.setStrength(strength);
    if (progress) {
        progress->setRange(0, 100);
        progress->setPosition(0);
    }
    ws.discardViews();
    const int n = ws.viewCount();
    const int w = ws.width(), h = ws.height();
    if (w <= 0 || h <= 0 || n <= 0) return 0;
    Host& host = ws.host();

    // Every view starts as one of the source pictures.
    const int pictures = ws.highResCount();
    for (int j = 0; j < n; ++j) {
        const int slot = sourceSlotForView(j, n, pictures);
        const Surface* from = slot >= 0 ? &ws.highRes(slot) : nullptr;
        // A document whose pictures are missing still has its working image.
        if (!from || from->empty()) from = &ws.source();
        Surface& view = ws.view(j);
        if (!pictureAtWorkingSize(*from, w, h, view)) {
            view.reset();
            host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return 0;
        }
        if (progress) progress->setPosition(90 * j / n);
    }

    PatternMultiViewState& state = stateFor(ws);
    state.patternMatch = patternMatch;
    state.settings = readPatternMatchSettings(ws.settingsPath());
    state.match = BlockMatchResult{};
    if (method) state.settings.method = *method == kMethodBlocks ? kMethodBlocks : kMethodDense;
    state.method = state.settings.method;
    state.rangeKnown = false;
    state.failurePercent = 0;
    state.warned = false;
    if (patternMatch) {
        PatternMatchSettings& settings = state.settings;
        // The right picture is view 0, the left one view N-1.
        const Surface& rightView = ws.view(0);
        const Surface& leftView = ws.view(n - 1);
        // How far apart the pair's points are, from features: it sizes the
        // search (a pair without agreeing features is searched widely).
        const PairAlignment features = estimatePairAlignment(leftView, rightView);
        state.rangeKnown = features.ok;
        state.displacementLow = features.disparityLow;
        state.displacementHigh = features.disparityHigh;
        if (progress) progress->setPosition(10);
        bool untrusted = false;
        if (settings.method == kMethodDense) {
            DenseMatchOptions options;
            // Disparity d = x(left) - x(right) is the displacement's negative.
            const double margin = features.ok ? 4.0 + 0.25 * (features.disparityHigh - features.disparityLow) : 0.0;
            options.minDisparity = features.ok ? static_cast<int>(std::floor(-features.disparityHigh - margin)) : -w / 8;
            options.maxDisparity = features.ok ? static_cast<int>(std::ceil(-features.disparityLow + margin)) : w / 8;
            DisparityMaps maps;
            if (computeDisparityMaps(leftView, rightView, options, maps)) {
                state.failurePercent = 100 - consistentSharePercent(leftView, rightView, maps);
                if (progress) progress->setPosition(50);
                Surface made;
                // The white margins of a picture fitted inside the paper have
                // no disparity of their own (the matcher gives them their
                // neighbours'): they stay where both pictures have them.
                const Rect inside = whiteMarginsInside(leftView, rightView);
                const bool margins = inside != Rect{0, 0, w, h};
                for (int v = 1; v <= n - 2; ++v) {
                    if (!synthesizeView(leftView, rightView, maps, viewFraction(v, n), made)) {
                        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                        return 0;
                    }
                    if (margins)
                        for (int y = 0; y < made.height(); ++y) {
                            const bool row = y < inside.top || y >= inside.bottom;
                            for (int x = 0; x < made.width(); ++x)
                                if (row || x < inside.left || x >= inside.right) made.row(y)[x] = leftView.row(y)[x];
                        }
                    std::swap(ws.view(v), made);
                    if (progress) progress->setPosition(50 + 30 * v / n);
                }
            } else {
                // Too small to match: the in-between views keep their pictures.
                state.failurePercent = 100;
            }
            // Every real pair has pixels that only one eye sees (beside
            // each nearer object) and some texture too fine or too even to
            // match: on top of FailRatio, that much is allowed for.
            untrusted = settings.failRatio + kDenseFailAllowance < state.failurePercent;
        } else {
            if (!settings.areaSet && features.ok)
                settings.sourceCol = searchWidthForRange(features.disparityLow, features.disparityHigh,
                                                         settings.patternSize, settings.sourceCol, w);
            const std::vector<std::uint8_t> right = greyLevels(rightView);
            const std::vector<std::uint8_t> left = greyLevels(leftView);
            state.drawing = settings.checkMatch;
            matchBlocks(left, right, w, h, settings, state.match, [&](int y0) {
                if (settings.checkMatch) host.redraw();
                if (progress) progress->setPosition(10 + 70 * y0 / h);
            });
            state.drawing = false;
            const BlockMatchResult& m = state.match;
            // One message for the run: a setup that fails once fails for every
            // block of the same size.
            if (m.setupFailed) host.message(kSetupFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            const int blocks = m.grid.columns * m.grid.rows;
            if (blocks > 0) {
                state.failurePercent = m.failures * 100 / blocks;
                untrusted = settings.failRatio * m.grid.rows * m.grid.columns / 100 < m.failures;
            }
            for (int v = 1; v <= n - 2; ++v)
                pasteShiftedBlocks(ws.view(v), ws.view(n - 1), m.grid, settings.patternSize, v, n);
        }
        if (untrusted) {
            std::string text = kTooManyFailuresMessage;
            text.replace(text.find("%1"), 2, std::to_string(state.failurePercent));
            host.message(text, MsgButtons::Ok, MsgIcon::Warning);
            state.warned = true;
        }
    }

    // The paint layer and the objects go onto every view as in ordinary synthesis.
    const Surface& mask = ws.paintMask();
    const Rect bounds = ws.hasPaintLayer() ? maskBounds(mask) : Rect{};
    const unsigned level = static_cast<unsigned>(std::clamp(ws.settings().shadowLevel, 0, 255));
    for (int i = 0; i < n; ++i) {
        Surface& view = ws.view(i);
        if (ws.hasPaintLayer()) {
            if (ws.paintShadow) paintThroughMask(view, mask, nullptr, RGB(level, level, level), 0, bounds);
            paintThroughMask(view, mask, &ws.paintLayer(), 0, viewShift(i, n, ws.paintDepth, strength), bounds);
        }
        ws.DrawObjects(view, i);
        if (progress) progress->setPosition(90 + 10 * i / n);
    }
    if (progress) progress->setPosition(100);
    return 1;
}

// ---------------------------------------------------------------------------
// Drawing the tested blocks

void drawCheckMatch(QPainter& painter, const std::vector<CheckMatchRect>& rects, int zoom, int scrollX, int scrollY) {
    const int z = std::max(1, zoom);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    for (const CheckMatchRect& r : rects) {
        const QColor colour(int(GetRValue(r.colour)), int(GetGValue(r.colour)), int(GetBValue(r.colour)));
        QPen pen(colour);
        pen.setWidth(1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        // A hollow rectangle leaves out its right and bottom edge: it covers
        // picture pixels left .. right - 1; a stroked QRect covers one pixel
        // more than its size, hence the - 1.
        const int x = r.rect.left * z - scrollX, y = r.rect.top * z - scrollY;
        const int w = (r.rect.right - r.rect.left) * z - 1, h = (r.rect.bottom - r.rect.top) * z - 1;
        if (w < 0 || h < 0) continue;
        painter.drawRect(QRect(x, y, w, h));
    }
    painter.restore();
}

void drawCheckMatch(QPainter& painter, const CStereoWorkspace& ws, int zoom, int scrollX, int scrollY) {
    const PatternMultiViewState* state = patternMultiViewState(ws);
    if (!state || !state->drawing) return;
    drawCheckMatch(painter, state->match.checks, zoom, scrollX, scrollY);
}

}  // namespace plastora
