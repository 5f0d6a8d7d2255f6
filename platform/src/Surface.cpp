// Surface storage, block transfers, stretching and DIB row transfer.
#include "platform/Surface.h"

#include <QImage>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>

namespace plastora {

namespace {

Surface::AllocationHook& allocationHook() {
    static Surface::AllocationHook hook;
    return hook;
}

constinit std::atomic<Surface::BandRunner> g_bandRunner{nullptr};

// Surfaces larger than this are refused outright rather than attempted: no
// picture of the program comes near it, and it keeps size arithmetic in range.
constexpr std::size_t kMaxPixels = std::size_t{1} << 31;

}  // namespace

Surface::Surface(Surface&& other) noexcept
    : m_width(other.m_width), m_height(other.m_height), m_pixels(std::move(other.m_pixels)) {
    other.m_width = other.m_height = 0;
    other.m_pixels.clear();
}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        m_width = other.m_width;
        m_height = other.m_height;
        m_pixels = std::move(other.m_pixels);
        other.m_width = other.m_height = 0;
        other.m_pixels.clear();
    }
    return *this;
}

void Surface::setBandRunner(BandRunner runner) { g_bandRunner.store(runner, std::memory_order_relaxed); }

void Surface::setAllocationHook(AllocationHook hook) { allocationHook() = std::move(hook); }

bool Surface::allocationAllowed(int w, int h) { return !allocationHook() || allocationHook()(w, h); }

bool Surface::createUninitialized(int w, int h) {
    if (w == m_width && h == m_height && w > 0) {
        // Same size: the buffer is reused, but a failing hook still fails.
        if (allocationHook() && !allocationHook()(w, h)) {
            reset();
            return false;
        }
        return true;
    }
    reset();
    if (w <= 0 || h <= 0) return false;
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (count > kMaxPixels) return false;
    if (allocationHook() && !allocationHook()(w, h)) return false;
    try {
        m_pixels.resize(count);  // default-initialised: no pass over the memory
    } catch (const std::bad_alloc&) {
        m_pixels = {};
        return false;
    } catch (const std::length_error&) {
        m_pixels = {};
        return false;
    }
    m_width = w;
    m_height = h;
    return true;
}

bool Surface::create(int w, int h) {
    reset();
    if (!createUninitialized(w, h)) return false;
    std::fill(m_pixels.begin(), m_pixels.end(), kBlack);
    return true;
}

bool Surface::createCopy(const Surface& src) {
    if (&src == this) return true;
    if (src.empty()) {
        reset();
        return true;
    }
    if (!createUninitialized(src.width(), src.height())) return false;
    std::memcpy(m_pixels.data(), src.m_pixels.data(), src.m_pixels.size() * sizeof(Pixel));
    return true;
}

void Surface::reset() {
    m_width = m_height = 0;
    PixelBuffer().swap(m_pixels);
}

ColorRef Surface::getPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return kInvalidColor;
    return colorRefFromPixel(at(x, y));
}

QImage Surface::image() {
    if (empty()) return QImage();
    return QImage(reinterpret_cast<uchar*>(m_pixels.data()), m_width, m_height,
                  static_cast<qsizetype>(m_width) * 4, QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------

namespace {

// Clips a transfer of w x h from (sx, sy) to (dx, dy) against the destination
// (and the source, when there is one). Returns false when nothing is left.
bool clipTransfer(int dstW, int dstH, const Surface* src, int& dx, int& dy, int& w, int& h, int& sx, int& sy) {
    if (w <= 0 || h <= 0) return false;
    auto clipAxis = [](int& d, int& s, int& len, int dstLen, int srcLen, bool hasSrc) {
        long long dd = d, ss = s, ll = len;
        if (dd < 0) {
            ss -= dd;
            ll += dd;
            dd = 0;
        }
        if (hasSrc && ss < 0) {
            dd -= ss;
            ll += ss;
            ss = 0;
        }
        if (dd + ll > dstLen) ll = dstLen - dd;
        if (hasSrc && ss + ll > srcLen) ll = srcLen - ss;
        if (ll <= 0) return false;
        d = static_cast<int>(dd);
        s = static_cast<int>(ss);
        len = static_cast<int>(ll);
        return true;
    };
    const bool hasSrc = src != nullptr;
    const int srcW = hasSrc ? src->width() : 0;
    const int srcH = hasSrc ? src->height() : 0;
    return clipAxis(dx, sx, w, dstW, srcW, hasSrc) && clipAxis(dy, sy, h, dstH, srcH, hasSrc);
}

template <typename Op>
void rowLoop(Pixel* d, const Pixel* s, int n, Op op) {
    for (int i = 0; i < n; ++i) d[i] = op(s[i], d[i]);
}

void applyRow(Pixel* d, const Pixel* s, int n, Rop op) {
    switch (op) {
    case Rop::Copy:
        std::memmove(d, s, static_cast<std::size_t>(n) * sizeof(Pixel));
        break;
    case Rop::And:
        rowLoop(d, s, n, [](Pixel sp, Pixel dp) { return dp & sp; });
        break;
    case Rop::Or:
        rowLoop(d, s, n, [](Pixel sp, Pixel dp) { return dp | sp; });
        break;
    case Rop::MergePaint:
        rowLoop(d, s, n, [](Pixel sp, Pixel dp) { return ~sp | dp; });
        break;
    case Rop::Erase:
        rowLoop(d, s, n, [](Pixel sp, Pixel dp) { return (sp & ~dp) | kOpaque; });
        break;
    case Rop::Invert:
        for (int i = 0; i < n; ++i) d[i] = ~d[i] | kOpaque;
        break;
    case Rop::Whiteness:
        std::fill(d, d + n, kWhite);
        break;
    case Rop::Blackness:
        std::fill(d, d + n, kBlack);
        break;
    }
}

bool needsSource(Rop op) { return op != Rop::Invert && op != Rop::Whiteness && op != Rop::Blackness; }

}  // namespace

void blit(Surface& dst, int dx, int dy, int w, int h, const Surface* src, int sx, int sy, Rop op) {
    if (dst.empty()) return;
    if (!needsSource(op)) src = nullptr;
    else if (!src || src->empty()) return;
    if (!clipTransfer(dst.width(), dst.height(), src, dx, dy, w, h, sx, sy)) return;

    if (!src) {
        for (int y = 0; y < h; ++y) applyRow(dst.row(dy + y) + dx, nullptr, w, op);
        return;
    }
    // A transfer within one surface walks rows in the direction that reads
    // each source row before it is overwritten; within a row, copy uses
    // memmove and the combining operations go through a scratch row when the
    // spans overlap.
    const bool same = src == &dst;
    const bool upward = same && sy < dy;
    std::vector<Pixel> scratch;
    for (int i = 0; i < h; ++i) {
        const int y = upward ? h - 1 - i : i;
        const Pixel* s = src->row(sy + y) + sx;
        Pixel* d = dst.row(dy + y) + dx;
        if (same && op != Rop::Copy && sy + y == dy + y && s != d) {
            scratch.assign(s, s + w);
            s = scratch.data();
        }
        applyRow(d, s, w, op);
    }
}

// ---------------------------------------------------------------------------

namespace {

using AxisWeights = detail::AreaWeights;

// Area-averaging weights: destination pixel i covers source interval
// [i * sLen / dLen, (i + 1) * sLen / dLen). Weights are fixed-point (16 bits)
// and each set sums exactly to 65536 so flat areas keep their colour.
AxisWeights areaWeights(int sLen, int dLen) {
    AxisWeights aw;
    aw.first.resize(dLen);
    aw.count.resize(dLen);
    aw.offset.resize(dLen);
    for (int i = 0; i < dLen; ++i) {
        // Interval ends in units of 1/dLen source pixels.
        const long long a = static_cast<long long>(i) * sLen;
        const long long b = static_cast<long long>(i + 1) * sLen;
        const int s0 = static_cast<int>(a / dLen);
        const int s1 = static_cast<int>(std::min<long long>((b + dLen - 1) / dLen, sLen));
        aw.first[i] = s0;
        aw.count[i] = std::max(1, s1 - s0);
        aw.offset[i] = aw.weight.size();
        const long long span = b - a;  // total coverage, units 1/dLen
        std::uint32_t assigned = 0;
        for (int s = s0; s < s0 + aw.count[i]; ++s) {
            const long long lo = std::max<long long>(a, static_cast<long long>(s) * dLen);
            const long long hi = std::min<long long>(b, static_cast<long long>(s + 1) * dLen);
            const long long cover = std::max<long long>(0, hi - lo);
            std::uint32_t wgt = static_cast<std::uint32_t>(cover * 65536 / span);
            if (s == s0 + aw.count[i] - 1) wgt = 65536 - assigned;
            assigned += wgt;
            aw.weight.push_back(wgt);
        }
    }
    return aw;
}

// The scaled block is only produced for a window of it: columns
// [wx, wx + ww) and rows [wy, wy + wh) of the dw x dh result, the part that
// lands inside the destination. A strongly enlarged block is then never made
// in full.
struct ScaleWindow {
    int x = 0, y = 0, w = 0, h = 0;
};

// Block sums of one source row for a reduction by whole factors: red and
// blue are summed together in 32-bit lanes of a 64-bit word, green alone;
// no lane can overflow for blocks of up to kMaxBoxPixels pixels.
void addBlockRow(const Pixel* s, int w, int kx, std::uint64_t* rb, std::uint64_t* gg) {
    for (int i = 0; i < w; ++i) {
        std::uint64_t a = 0, g = 0;
        for (int k = 0; k < kx; ++k) {
            const std::uint64_t p = s[i * kx + k];
            a += (p & 0xFFu) | ((p & 0xFF0000u) << 16);
            g += (p >> 8) & 0xFFu;
        }
        rb[i] += a;
        gg[i] += g;
    }
}

// The rounded means of w blocks of n pixels from their sums.
void finishBlockRow(const std::uint64_t* rb, const std::uint64_t* gg, int w, std::uint32_t n, Pixel* d) {
    for (int i = 0; i < w; ++i) {
        const std::uint32_t b = static_cast<std::uint32_t>(rb[i] & 0xFFFFFFFFu);
        const std::uint32_t r = static_cast<std::uint32_t>(rb[i] >> 32);
        const std::uint32_t g = static_cast<std::uint32_t>(gg[i]);
        d[i] = kOpaque | (((r + n / 2) / n) << 16) | (((g + n / 2) / n) << 8) | ((b + n / 2) / n);
    }
}

// Whether a reduction goes by whole blocks: the factors divide evenly and a
// block's sums fit their 32-bit lanes (255 x 2^24 < 2^32). A larger block
// (a huge picture made a few pixels) takes the weighted path instead.
constexpr std::int64_t kMaxBoxPixels = std::int64_t{1} << 24;
bool wholeBlocks(int sw, int sh, int dw, int dh) {
    return dw > 0 && dh > 0 && sw % dw == 0 && sh % dh == 0 &&
           std::int64_t{sw / dw} * (sh / dh) <= kMaxBoxPixels;
}

// Reduction by whole factors: every destination pixel is the rounded mean of
// a kx x ky block, summed with integers only.
bool boxReduce(const Surface& src, int sx, int sy, int kx, int ky, const ScaleWindow& win, Surface& out) {
    if (!out.createUninitialized(win.w, win.h)) return false;
    const std::uint32_t n = static_cast<std::uint32_t>(kx) * static_cast<std::uint32_t>(ky);
    std::vector<std::uint64_t> rb(static_cast<std::size_t>(win.w)), gg(static_cast<std::size_t>(win.w));
    for (int j = 0; j < win.h; ++j) {
        std::fill(rb.begin(), rb.end(), 0u);
        std::fill(gg.begin(), gg.end(), 0u);
        for (int r = 0; r < ky; ++r)
            addBlockRow(src.row(sy + (win.y + j) * ky + r) + sx + win.x * kx, win.w, kx, rb.data(), gg.data());
        finishBlockRow(rb.data(), gg.data(), win.w, n, out.row(j));
    }
    return true;
}

}  // namespace

namespace detail {

void horizontalSums(const Pixel* s, const AxisWeights& wx, int x0, int w, std::uint32_t* t) {
    for (int i = 0; i < w; ++i) {
        const std::size_t x = static_cast<std::size_t>(x0 + i);
        std::uint64_t r = 0, g = 0, b = 0;
        const std::uint32_t* wt = wx.weight.data() + wx.offset[x];
        for (int k = 0; k < wx.count[x]; ++k) {
            const Pixel p = s[wx.first[x] + k];
            r += static_cast<std::uint64_t>((p >> 16) & 0xFF) * wt[k];
            g += static_cast<std::uint64_t>((p >> 8) & 0xFF) * wt[k];
            b += static_cast<std::uint64_t>(p & 0xFF) * wt[k];
        }
        t[3 * i] = static_cast<std::uint32_t>(r);
        t[3 * i + 1] = static_cast<std::uint32_t>(g);
        t[3 * i + 2] = static_cast<std::uint32_t>(b);
    }
}

void verticalRow(const std::uint32_t* const* rows, const std::uint32_t* wt, int count, int w, Pixel* d) {
    for (int x = 0; x < w; ++x) {
        std::uint64_t r = 0, g = 0, b = 0;
        for (int k = 0; k < count; ++k) {
            const std::uint32_t* t = rows[k] + static_cast<std::size_t>(x) * 3;
            r += static_cast<std::uint64_t>(t[0]) * wt[k];
            g += static_cast<std::uint64_t>(t[1]) * wt[k];
            b += static_cast<std::uint64_t>(t[2]) * wt[k];
        }
        // Round the 32-bit fixed point sums to bytes.
        const auto toByte = [](std::uint64_t v) {
            return static_cast<Pixel>(std::min<std::uint64_t>(255, (v + (1ull << 31)) >> 32));
        };
        d[x] = kOpaque | (toByte(r) << 16) | (toByte(g) << 8) | toByte(b);
    }
}

}  // namespace detail

namespace {

using detail::horizontalSums;
using detail::verticalRow;

// Area averaging in two passes: each source row the window needs is
// averaged horizontally once, into 16.16 fixed-point channels, and the rows
// are then averaged vertically. Only the rows one destination row draws on
// are kept (a small ring), and the result goes straight into rows
// [oy, oy + win.h) at column ox of `out`, which must already be large enough.
bool halftoneInto(const Surface& src, int sx, int sy, int sw, int sh, int dw, int dh, const ScaleWindow& win,
                  Surface& out, int ox, int oy) {
    const AxisWeights wx = areaWeights(sw, dw);
    const AxisWeights wy = areaWeights(sh, dh);
    int ringRows = 1;
    for (int j = 0; j < win.h; ++j) ringRows = std::max(ringRows, wy.count[win.y + j]);
    const std::size_t rowWords = static_cast<std::size_t>(win.w) * 3;
    // Rows j0 .. j1 - 1 of the window, with a ring of their own.
    const auto band = [&](int j0, int j1) {
        std::vector<std::uint32_t> ring(rowWords * static_cast<std::size_t>(ringRows));
        std::vector<int> held(static_cast<std::size_t>(ringRows), -1);  // source row in each ring slot
        const auto horizontal = [&](int row) -> const std::uint32_t* {
            const std::size_t slot = static_cast<std::size_t>(row % ringRows);
            std::uint32_t* t = ring.data() + slot * rowWords;
            if (held[slot] == row) return t;
            held[slot] = row;
            horizontalSums(src.row(sy + row) + sx, wx, win.x, win.w, t);
            return t;
        };
        std::vector<const std::uint32_t*> rows(static_cast<std::size_t>(ringRows));
        for (int j = j0; j < j1; ++j) {
            const int y = win.y + j;
            const int first = wy.first[static_cast<std::size_t>(y)];
            const int count = wy.count[static_cast<std::size_t>(y)];
            // Consecutive source rows fill distinct slots, so none evicts another.
            for (int k = 0; k < count; ++k) rows[static_cast<std::size_t>(k)] = horizontal(first + k);
            verticalRow(rows.data(), wy.weight.data() + wy.offset[static_cast<std::size_t>(y)], count, win.w,
                        out.row(oy + j) + ox);
        }
    };
    // Bands of rows at once on every core for large pictures; each band
    // starts its ring afresh, so the result does not depend on the split.
    // The work is the source pixels read as much as the pixels made: a
    // strong reduction (a photo brought down to a search size) reads many.
    const long long made = static_cast<long long>(win.w) * win.h;
    const long long read = (static_cast<long long>(sw) * win.w / dw) * (static_cast<long long>(sh) * win.h / dh);
    const long long work = std::max(made, read);
    const Surface::BandRunner runner = g_bandRunner.load(std::memory_order_relaxed);
    const int bands = runner && work >= (1 << 20) ? std::clamp(static_cast<int>(work >> 19), 1, std::min(win.h, 16)) : 1;
    std::atomic<bool> failed{false};
    const auto body = [&](int b) {
        try {
            band(static_cast<int>(static_cast<long long>(win.h) * b / bands),
                 static_cast<int>(static_cast<long long>(win.h) * (b + 1) / bands));
        } catch (const std::bad_alloc&) {
            failed.store(true, std::memory_order_relaxed);
        }
    };
    if (bands > 1) {
        try {
            runner(bands, body);
        } catch (const std::bad_alloc&) {
            return false;  // no memory for the runner's own work
        }
    } else {
        body(0);
    }
    return !failed;
}

bool halftoneScale(const Surface& src, int sx, int sy, int sw, int sh, int dw, int dh, const ScaleWindow& win,
                   Surface& out) {
    if (wholeBlocks(sw, sh, dw, dh)) return boxReduce(src, sx, sy, sw / dw, sh / dh, win, out);
    if (!out.createUninitialized(win.w, win.h)) return false;
    return halftoneInto(src, sx, sy, sw, sh, dw, dh, win, out, 0, 0);
}

bool nearestScale(const Surface& src, int sx, int sy, int sw, int sh, int dw, int dh, const ScaleWindow& win,
                  Surface& out) {
    if (!out.create(win.w, win.h)) return false;
    // Destination pixel i takes the source pixel under its centre.
    const auto pick = [](int i, int sLen, int dLen) {
        return std::min(static_cast<int>((static_cast<long long>(i) * 2 + 1) * sLen / (2ll * dLen)), sLen - 1);
    };
    std::vector<int> xs(win.w);
    for (int x = 0; x < win.w; ++x) xs[x] = sx + pick(win.x + x, sw, dw);
    for (int y = 0; y < win.h; ++y) {
        const Pixel* s = src.row(sy + pick(win.y + y, sh, dh));
        Pixel* d = out.row(y);
        for (int x = 0; x < win.w; ++x) d[x] = s[xs[x]];
    }
    return true;
}

}  // namespace

bool stretchBlit(Surface& dst, int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw,
                 int sh, Rop op, StretchMode mode) {
    if (dst.empty() || src.empty() || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return true;
    if (!needsSource(op)) {
        blit(dst, dx, dy, dw, dh, nullptr, 0, 0, op);
        return true;
    }
    // A source block reaching outside the source is cut to the part inside,
    // with the destination block cut in the same proportion.
    if (sx < 0 || sy < 0 || sx + sw > src.width() || sy + sh > src.height()) {
        const int nx0 = std::max(sx, 0), ny0 = std::max(sy, 0);
        const int nx1 = std::min(sx + sw, src.width()), ny1 = std::min(sy + sh, src.height());
        if (nx1 <= nx0 || ny1 <= ny0) return true;
        const int ndx = dx + static_cast<int>(static_cast<long long>(nx0 - sx) * dw / sw);
        const int ndy = dy + static_cast<int>(static_cast<long long>(ny0 - sy) * dh / sh);
        const int ndw = dx + static_cast<int>(static_cast<long long>(nx1 - sx) * dw / sw) - ndx;
        const int ndh = dy + static_cast<int>(static_cast<long long>(ny1 - sy) * dh / sh) - ndy;
        if (ndw <= 0 || ndh <= 0) return true;
        dx = ndx, dy = ndy, dw = ndw, dh = ndh;
        sx = nx0, sy = ny0, sw = nx1 - nx0, sh = ny1 - ny0;
    }
    if (dw == sw && dh == sh) {
        blit(dst, dx, dy, dw, dh, &src, sx, sy, op);
        return true;
    }
    // The part of the destination block inside the destination.
    const long long vx0 = std::max<long long>(dx, 0);
    const long long vx1 = std::min<long long>(static_cast<long long>(dx) + dw, dst.width());
    const long long vy0 = std::max<long long>(dy, 0);
    const long long vy1 = std::min<long long>(static_cast<long long>(dy) + dh, dst.height());
    if (vx1 <= vx0 || vy1 <= vy0) return true;
    const ScaleWindow win{static_cast<int>(vx0 - dx), static_cast<int>(vy0 - dy), static_cast<int>(vx1 - vx0),
                          static_cast<int>(vy1 - vy0)};
    Surface scaled;
    bool ok = false;
    try {
        // A plain copy of an area average goes straight into the destination,
        // without a scaled block of its own to copy from.
        if (mode == StretchMode::Halftone && op == Rop::Copy && !wholeBlocks(sw, sh, dw, dh) && &dst != &src)
            return halftoneInto(src, sx, sy, sw, sh, dw, dh, win, dst, static_cast<int>(vx0), static_cast<int>(vy0));
        ok = mode == StretchMode::Halftone ? halftoneScale(src, sx, sy, sw, sh, dw, dh, win, scaled)
                                           : nearestScale(src, sx, sy, sw, sh, dw, dh, win, scaled);
    } catch (const std::bad_alloc&) {
        ok = false;
    } catch (const std::length_error&) {
        ok = false;
    }
    if (!ok) return false;
    blit(dst, static_cast<int>(vx0), static_cast<int>(vy0), win.w, win.h, &scaled, 0, 0, op);
    return true;
}

// ---------------------------------------------------------------------------

StreamedReduction::StreamedReduction(int sw, int sh, int w, int h)
    : m_sw(sw), m_sh(sh), m_w(w), m_h(h), m_box(wholeBlocks(sw, sh, w, h)) {
    if (sw <= 0 || sh <= 0 || w <= 0 || h <= 0 || !m_out.createUninitialized(w, h)) {
        m_out.reset();
        return;
    }
    if (m_box) {
        m_rb.assign(static_cast<std::size_t>(w), 0);
        m_g.assign(static_cast<std::size_t>(w), 0);
        return;
    }
    m_x = areaWeights(sw, w);
    m_y = areaWeights(sh, h);
    for (int c : m_y.count) m_ringRows = std::max(m_ringRows, c);
    m_ring.assign(static_cast<std::size_t>(w) * 3 * static_cast<std::size_t>(m_ringRows), 0);
}

void StreamedReduction::addRow(int y, const Pixel* s) {
    if (m_out.empty() || y != m_next || y >= m_sh) {
        m_out.reset();
        return;
    }
    ++m_next;
    if (m_box) {
        const int kx = m_sw / m_w, ky = m_sh / m_h;
        addBlockRow(s, m_w, kx, m_rb.data(), m_g.data());
        if ((y + 1) % ky != 0) return;
        finishBlockRow(m_rb.data(), m_g.data(), m_w, static_cast<std::uint32_t>(kx) * static_cast<std::uint32_t>(ky),
                       m_out.row(y / ky));
        std::fill(m_rb.begin(), m_rb.end(), 0u);
        std::fill(m_g.begin(), m_g.end(), 0u);
        ++m_done;
        return;
    }
    const std::size_t rowWords = static_cast<std::size_t>(m_w) * 3;
    horizontalSums(s, m_x, 0, m_w, m_ring.data() + static_cast<std::size_t>(y % m_ringRows) * rowWords);
    // Every row of the result whose last source row this is.
    std::vector<const std::uint32_t*> rows(static_cast<std::size_t>(m_ringRows));
    while (m_done < m_h) {
        const std::size_t j = static_cast<std::size_t>(m_done);
        const int first = m_y.first[j], count = m_y.count[j];
        if (first + count - 1 > y) break;
        for (int k = 0; k < count; ++k)
            rows[static_cast<std::size_t>(k)] = m_ring.data() + static_cast<std::size_t>((first + k) % m_ringRows) * rowWords;
        verticalRow(rows.data(), m_y.weight.data() + m_y.offset[j], count, m_w, m_out.row(m_done));
        ++m_done;
    }
}

Surface StreamedReduction::take() {
    if (m_next != m_sh || m_done != m_h) m_out.reset();
    return std::move(m_out);
}

// ---------------------------------------------------------------------------

std::vector<std::uint8_t> getDIBits(const Surface& s) {
    std::vector<std::uint8_t> out;
    if (s.empty()) return out;
    const std::size_t stride = dibStride(s.width());
    try {
        out.assign(stride * static_cast<std::size_t>(s.height()), 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    for (int y = 0; y < s.height(); ++y) {
        const Pixel* p = s.row(y);
        std::uint8_t* d = out.data() + stride * static_cast<std::size_t>(s.height() - 1 - y);
        for (int x = 0; x < s.width(); ++x) {
            d[3 * x] = static_cast<std::uint8_t>(p[x]);
            d[3 * x + 1] = static_cast<std::uint8_t>(p[x] >> 8);
            d[3 * x + 2] = static_cast<std::uint8_t>(p[x] >> 16);
        }
    }
    return out;
}

void setDIBits(Surface& s, int dx, int dy, const std::uint8_t* rows, int w, int h) {
    if (s.empty() || !rows || w <= 0 || h <= 0) return;
    const std::size_t stride = dibStride(w);
    const int x0 = std::max(0, dx), x1 = std::min(s.width(), dx + w);
    const int y0 = std::max(0, dy), y1 = std::min(s.height(), dy + h);
    for (int y = y0; y < y1; ++y) {
        const int py = y - dy;  // picture row within the block
        const std::uint8_t* r = rows + stride * static_cast<std::size_t>(h - 1 - py);
        Pixel* d = s.row(y);
        for (int x = x0; x < x1; ++x) {
            const std::uint8_t* b = r + 3 * static_cast<std::size_t>(x - dx);
            d[x] = kOpaque | (Pixel{b[2]} << 16) | (Pixel{b[1]} << 8) | Pixel{b[0]};
        }
    }
}

bool surfaceFromDIB(Surface& s, const std::uint8_t* rows, int w, int h) {
    if (!s.create(w, h)) return false;
    setDIBits(s, 0, 0, rows, w, h);
    return true;
}

}  // namespace plastora
