// Colour reduction to a 256-colour palette: choosing the palette from a
// picture and finding each colour's nearest palette entry.
#pragma once

#include "platform/Surface.h"

#include <array>
#include <cstdint>
#include <vector>

namespace plastora {

// 256 palette colours (0x00RRGGBB) for `pixels` (0xFFRRGGBB).
//
// Pictures with at most 256 distinct colours get exactly those colours (in
// order of first appearance; the rest of the palette black). Otherwise the
// colours are gathered into a histogram (5 bits a channel, each cell keeping
// the exact sum of its pixels, so a cell's centre is the mean of its own
// pixels), the histogram is split by median cut into 256 boxes (the box with
// the largest squared error split at its mean across its widest-spread
// channel), and the box means seed k-means over the cells weighted by their
// pixel counts (at most 10 rounds, stopping once no centre moves by 1.0 or
// more). Clustering the weighted cells has the objective of clustering every
// pixel, at a fraction of the work. Entries are the cluster means rounded
// to bytes. Deterministic: the same pixels always give
// the same palette. False for no pixels or when memory fails.
bool clusterPalette(const std::vector<Pixel>& pixels, std::array<std::uint32_t, 256>& palette);

// Nearest-colour look-up in a 256-colour palette: the entry at the smallest
// squared RGB distance, the lowest index among equals (as GDI's
// GetNearestPaletteIndex). The colour cube is split into 32 x 32 x 32 cells;
// each cell, on first use, keeps only the entries that can be nearest for
// some colour in it, so a look-up compares a handful of entries instead of
// all 256. One object per thread: look-ups fill the cells.
class NearestPalette {
public:
    explicit NearestPalette(const std::array<std::uint32_t, 256>& palette);
    std::uint8_t nearest(Pixel colour);

private:
    void buildCell(int cell);

    std::array<int, 256 * 3> m_rgb{};
    std::vector<std::int32_t> m_cellStart;   // -1 until the cell is built
    std::vector<std::uint16_t> m_cellCount;
    std::vector<std::uint8_t> m_candidates;
    Pixel m_lastColour = 0;
    std::uint8_t m_lastIndex = 0;
    bool m_haveLast = false;
};

}  // namespace plastora
