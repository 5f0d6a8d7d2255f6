#include "output/ColourPalette.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include <opencv2/core/utility.hpp>

namespace plastora {

namespace {

// The histogram keeps 5 bits a channel: 2^15 cells, each 8 levels
// wide, with the exact sums of the pixels that fall in it.
constexpr int kHistBits = 5;
constexpr int kHistShift = 8 - kHistBits;
constexpr std::size_t kHistCells = std::size_t{1} << (3 * kHistBits);

constexpr std::size_t kEntries = 256;
constexpr int kRounds = 10;
constexpr double kSettled = 1.0;

// An occupied histogram cell: its pixel count and the mean of its pixels.
struct Cell {
    double weight;
    double mean[3];  // r, g, b
};

// Distinct colours in order of first appearance, when there are at most 256.
bool fewColours(const std::vector<Pixel>& pixels, std::array<std::uint32_t, 256>& palette) {
    constexpr std::uint32_t kFree = 0xFFFFFFFFu;  // no colour has its top byte set after masking
    std::array<std::uint32_t, 1024> slots;
    slots.fill(kFree);
    std::size_t count = 0;
    std::uint32_t last = kFree;
    for (const Pixel p : pixels) {
        const std::uint32_t c = p & 0x00FFFFFFu;
        if (c == last) continue;
        last = c;
        std::size_t h = (c * 2654435761u) >> 22;
        while (slots[h] != kFree && slots[h] != c) h = (h + 1) & 1023u;
        if (slots[h] == c) continue;
        if (count == kEntries) return false;
        slots[h] = c;
        palette[count++] = c;
    }
    return true;
}

std::vector<Cell> histogram(const std::vector<Pixel>& pixels) {
    std::vector<std::uint32_t> count(kHistCells, 0);
    std::vector<std::uint64_t> sums(kHistCells * 3, 0);
    for (const Pixel p : pixels) {
        const std::uint32_t r = (p >> 16) & 0xFFu, g = (p >> 8) & 0xFFu, b = p & 0xFFu;
        const std::size_t i = ((r >> kHistShift) << (2 * kHistBits)) | ((g >> kHistShift) << kHistBits) |
                              (b >> kHistShift);
        ++count[i];
        sums[i * 3] += r;
        sums[i * 3 + 1] += g;
        sums[i * 3 + 2] += b;
    }
    std::vector<Cell> cells;
    for (std::size_t i = 0; i < kHistCells; ++i) {
        if (count[i] == 0) continue;
        const double w = count[i];
        cells.push_back({w, {sums[i * 3] / w, sums[i * 3 + 1] / w, sums[i * 3 + 2] / w}});
    }
    return cells;
}

// Every distinct colour as a cell of its own, for pictures whose colours
// fill fewer histogram cells than the palette has entries (a smooth ramp, a
// tinted photo): median cut never splits a cell, so the coarse histogram
// would leave most entries unused and the picture banded in steps of 8.
// Such pictures have at most 256 x 8^3 colours.
std::vector<Cell> exactColours(const std::vector<Pixel>& pixels) {
    std::vector<std::uint32_t> colours(pixels.size());
    std::transform(pixels.begin(), pixels.end(), colours.begin(), [](Pixel p) { return p & 0x00FFFFFFu; });
    std::sort(colours.begin(), colours.end());
    std::vector<Cell> cells;
    for (std::size_t i = 0; i < colours.size();) {
        std::size_t j = i;
        while (j < colours.size() && colours[j] == colours[i]) ++j;
        const std::uint32_t c = colours[i];
        cells.push_back({static_cast<double>(j - i),
                         {static_cast<double>((c >> 16) & 0xFFu), static_cast<double>((c >> 8) & 0xFFu),
                          static_cast<double>(c & 0xFFu)}});
        i = j;
    }
    return cells;
}

// A box of median cut: a range of cells with its weighted mean and squared
// error, and the channel it would be split across.
struct Box {
    std::size_t begin = 0, end = 0;
    double mean[3] = {0, 0, 0};
    double error = 0;
    int axis = 0;
};

void measure(Box& box, const std::vector<Cell>& cells) {
    double w = 0, s[3] = {0, 0, 0}, ss[3] = {0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i) {
        const Cell& c = cells[i];
        w += c.weight;
        for (int ch = 0; ch < 3; ++ch) {
            s[ch] += c.weight * c.mean[ch];
            ss[ch] += c.weight * c.mean[ch] * c.mean[ch];
        }
    }
    box.error = 0;
    double widest = -1;
    for (int ch = 0; ch < 3; ++ch) {
        box.mean[ch] = s[ch] / w;
        const double spread = std::max(0.0, ss[ch] - s[ch] * box.mean[ch]);
        box.error += spread;
        if (spread > widest) widest = spread, box.axis = ch;
    }
}

std::vector<Box> medianCut(std::vector<Cell>& cells) {
    std::vector<Box> boxes(1);
    boxes[0].end = cells.size();
    measure(boxes[0], cells);
    while (boxes.size() < kEntries) {
        std::size_t pick = boxes.size();
        for (std::size_t b = 0; b < boxes.size(); ++b)
            if (boxes[b].end - boxes[b].begin >= 2 && boxes[b].error > 0 &&
                (pick == boxes.size() || boxes[b].error > boxes[pick].error))
                pick = b;
        if (pick == boxes.size()) break;
        Box& box = boxes[pick];
        const int axis = box.axis;
        const double at = box.mean[axis];
        auto first = cells.begin() + static_cast<std::ptrdiff_t>(box.begin);
        auto last = cells.begin() + static_cast<std::ptrdiff_t>(box.end);
        auto mid = std::partition(first, last, [&](const Cell& c) { return c.mean[axis] < at; });
        if (mid == first || mid == last) {
            // Rounding left one side empty: split at the middle cell instead.
            mid = first + (last - first) / 2;
            std::nth_element(first, mid, last, [&](const Cell& a, const Cell& b) { return a.mean[axis] < b.mean[axis]; });
        }
        Box upper;
        upper.begin = static_cast<std::size_t>(mid - cells.begin());
        upper.end = box.end;
        box.end = upper.begin;
        measure(box, cells);
        measure(upper, cells);
        boxes.push_back(upper);
    }
    return boxes;
}

// The position along the grey axis (1, 1, 1) / sqrt(3): never more than
// the distance between two colours.
double greyKey(const double* rgb) { return (rgb[0] + rgb[1] + rgb[2]) * 0.57735026918962576; }

std::uint32_t byteOf(double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

std::uint32_t colourOf(const double* rgb) { return (byteOf(rgb[0]) << 16) | (byteOf(rgb[1]) << 8) | byteOf(rgb[2]); }

}  // namespace

bool clusterPalette(const std::vector<Pixel>& pixels, std::array<std::uint32_t, 256>& palette) {
    palette.fill(0);
    if (pixels.empty()) return false;
    if (fewColours(pixels, palette)) return true;
    palette.fill(0);
    try {
        std::vector<Cell> cells = histogram(pixels);
        if (cells.size() < kEntries) cells = exactColours(pixels);
        const std::vector<Box> boxes = medianCut(cells);
        const std::size_t k = boxes.size();
        std::vector<std::array<double, 3>> centre(k);
        for (std::size_t j = 0; j < k; ++j) std::copy_n(boxes[j].mean, 3, centre[j].begin());

        // Palette entries beyond the clusters repeat entry 0, so that they are
        // never the lowest-indexed nearest entry.
        auto entries = [&] {
            for (std::size_t j = 0; j < kEntries; ++j) palette[j] = colourOf(centre[j < k ? j : 0].data());
        };
        std::vector<std::array<double, 4>> acc(k);
        std::vector<std::pair<double, std::size_t>> order(k);
        std::vector<std::uint16_t> nearest(cells.size());
        // The nearest centres are searched on every core, in fixed ranges
        // of cells; the sums are then taken in cell order on one thread, so
        // the palette is the same however many threads ran.
        constexpr std::size_t kCellsPerStripe = 2048;
        const double stripes = std::ceil(static_cast<double>(cells.size()) / kCellsPerStripe);
        for (int round = 0; round < kRounds; ++round) {
            // The nearest centre of each cell, searched outward from the
            // cell's place along the grey axis: centres whose distance along
            // that axis alone is already too far are passed over.
            for (std::size_t j = 0; j < k; ++j) order[j] = {greyKey(centre[j].data()), j};
            std::sort(order.begin(), order.end());
            cv::parallel_for_(
                cv::Range(0, static_cast<int>(cells.size())),
                [&](const cv::Range& range) {
                    for (int i = range.start; i < range.end; ++i) {
                        const Cell& c = cells[static_cast<std::size_t>(i)];
                        const double key = greyKey(c.mean);
                        const auto pos = static_cast<std::size_t>(
                            std::lower_bound(order.begin(), order.end(), std::pair<double, std::size_t>{key, 0}) -
                            order.begin());
                        double best = std::numeric_limits<double>::max();
                        std::size_t bestIndex = 0;
                        auto visit = [&](std::size_t at) {
                            const std::size_t j = order[at].second;
                            double d = 0;
                            for (std::size_t ch = 0; ch < 3; ++ch)
                                d += (c.mean[ch] - centre[j][ch]) * (c.mean[ch] - centre[j][ch]);
                            if (d < best || (d == best && j < bestIndex)) best = d, bestIndex = j;
                        };
                        for (std::size_t at = pos;
                             at < k && (order[at].first - key) * (order[at].first - key) <= best; ++at)
                            visit(at);
                        for (std::size_t at = pos;
                             at > 0 && (key - order[at - 1].first) * (key - order[at - 1].first) <= best; --at)
                            visit(at - 1);
                        nearest[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(bestIndex);
                    }
                },
                stripes);
            std::fill(acc.begin(), acc.end(), std::array<double, 4>{0, 0, 0, 0});
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const Cell& c = cells[i];
                std::array<double, 4>& a = acc[nearest[i]];
                for (std::size_t ch = 0; ch < 3; ++ch) a[ch] += c.weight * c.mean[ch];
                a[3] += c.weight;
            }
            double moved = 0;
            for (std::size_t j = 0; j < k; ++j) {
                if (acc[j][3] <= 0) continue;  // an empty cluster keeps its centre
                double d2 = 0;
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const double m = acc[j][ch] / acc[j][3];
                    d2 += (m - centre[j][ch]) * (m - centre[j][ch]);
                    centre[j][ch] = m;
                }
                moved = std::max(moved, d2);
            }
            if (moved < kSettled * kSettled) break;
        }
        entries();
    } catch (const std::bad_alloc&) {
        palette.fill(0);
        return false;
    }
    return true;
}

NearestPalette::NearestPalette(const std::array<std::uint32_t, 256>& palette)
    : m_cellStart(32 * 32 * 32, -1), m_cellCount(32 * 32 * 32, 0) {
    for (std::size_t i = 0; i < 256; ++i) {
        m_rgb[i * 3] = static_cast<int>((palette[i] >> 16) & 0xFFu);
        m_rgb[i * 3 + 1] = static_cast<int>((palette[i] >> 8) & 0xFFu);
        m_rgb[i * 3 + 2] = static_cast<int>(palette[i] & 0xFFu);
    }
}

void NearestPalette::buildCell(int cell) {
    const int lo[3] = {((cell >> 10) & 31) << 3, ((cell >> 5) & 31) << 3, (cell & 31) << 3};
    // The nearest entry of any colour in the cell is never farther than the
    // smallest of the entries' farthest distances from the cell; entries
    // whose closest distance exceeds that can be left out.
    int minFar = std::numeric_limits<int>::max();
    std::array<int, 256> near{};
    for (std::size_t e = 0; e < 256; ++e) {
        int nd = 0, fd = 0;
        for (int ch = 0; ch < 3; ++ch) {
            const int v = m_rgb[e * 3 + static_cast<std::size_t>(ch)];
            const int a = lo[ch], b = lo[ch] + 7;
            const int d = v < a ? a - v : v > b ? v - b : 0;
            const int f = std::max(std::abs(v - a), std::abs(v - b));
            nd += d * d;
            fd += f * f;
        }
        near[e] = nd;
        minFar = std::min(minFar, fd);
    }
    m_cellStart[static_cast<std::size_t>(cell)] = static_cast<std::int32_t>(m_candidates.size());
    std::uint16_t n = 0;
    for (std::size_t e = 0; e < 256; ++e)
        if (near[e] <= minFar) {
            m_candidates.push_back(static_cast<std::uint8_t>(e));
            ++n;
        }
    m_cellCount[static_cast<std::size_t>(cell)] = n;
}

std::uint8_t NearestPalette::nearest(Pixel colour) {
    colour &= 0x00FFFFFFu;
    if (m_haveLast && colour == m_lastColour) return m_lastIndex;
    const int r = static_cast<int>(colour >> 16), g = static_cast<int>((colour >> 8) & 0xFFu),
              b = static_cast<int>(colour & 0xFFu);
    const int cell = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    if (m_cellStart[static_cast<std::size_t>(cell)] < 0) buildCell(cell);
    const std::uint8_t* cand = m_candidates.data() + m_cellStart[static_cast<std::size_t>(cell)];
    const int n = m_cellCount[static_cast<std::size_t>(cell)];
    int best = std::numeric_limits<int>::max();
    std::uint8_t bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t e = cand[i];
        const int dr = m_rgb[e * 3] - r, dg = m_rgb[e * 3 + 1] - g, db = m_rgb[e * 3 + 2] - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            bestIndex = static_cast<std::uint8_t>(e);
        }
    }
    m_lastColour = colour;
    m_lastIndex = bestIndex;
    m_haveLast = true;
    return bestIndex;
}

}  // namespace plastora
