// The working size: paper table, millimetre sizes, orientation, the
// automatic trimming rectangles, resampling, and bringing an opened photo
// into the workspace.
#include "output/WorkingSize.h"

#include "autocut/FaceDetect.h"
#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PaperChange.h"
#include "output/Trimming.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <future>
#include <new>
#include <optional>
#include <vector>

namespace plastora {

const char* const kPaperNames[kPaperCount] = {"はがき", "L判", "名刺(カード)", "VGA", "A4", "2 L判", "ユーザ設定"};
const char* const kTrimmingNames[kTrimModeCount] = {"トリミングしない", "はみ出しをカット", "余白を残す",
                                                    "縦横比を変更", "手動で行う"};
const char* const kAskStandardLpi = "標準のレンチキューラレンズの解像度を%1lpiに変更しますか？";

PaperTable readPaperTable(const Settings& settings) {
    PaperTable t;
    for (int i = 0; i < kTablePaperCount; ++i) t[static_cast<std::size_t>(i)] = settings.getSize(SettingKey::PicturePaperSizeN, i + 1);
    return t;
}

double lensValue(double lpi) { return static_cast<double>(static_cast<float>(lpi)); }

std::string lensText(double lpi) {
    // A float holds about seven digits: 100.05 read back is 100.0500031.
    int decimals = 1;
    for (; decimals < 3; ++decimals) {
        const double scaled = lpi * std::pow(10.0, decimals);
        if (std::fabs(std::round(scaled) - scaled) < 1e-3) break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, lpi);
    return text;
}

namespace {

// Truncation toward zero into an int, saturating far outside its range.
int truncToInt(double v) {
    if (!(v > -2147483648.0)) return v != v ? 0 : -2147483647 - 1;
    if (v >= 2147483647.0) return 2147483647;
    return static_cast<int>(v);
}

bool endsInO(const std::string& path) {
    return !path.empty() && (path.back() == 'o' || path.back() == 'O');
}

}  // namespace

Size scaledPaperSize(const SettingSize& paper, double lpi) {
    const double l = lensValue(lpi);
    return {truncToInt(paper.width * l / kReferenceLpi), truncToInt(paper.height * l / kReferenceLpi)};
}

int mmToPixels(int mm, double lpi) { return truncToInt(lensValue(lpi) * mm * kPixelsPerMmPerLpi); }

// The millimetres that make these pixels again: mmToPixels truncates, so a
// paper of m mm gave between m and m + 1/k of them. Truncated here as well,
// the user paper preset from a picture made of a user paper lost a
// millimetre (148 mm makes 707 pixels, 147.9 mm), and each confirmation of
// the paper dialog cropped the picture again.
int pixelsToMm(int pixels, double lpi) {
    return static_cast<int>(std::ceil(pixels * kReferenceLpi / (lensValue(lpi) * kPixelsPerMmAt60) - 1e-6));
}

Size paperTarget(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0) {
    if (d.trimming == kTrimNone) return {sw0, sh0};
    if (d.paper == kPaperUser) return {mmToPixels(d.userWidthMm, d.lpi), mmToPixels(d.userHeightMm, d.lpi)};
    const int index = std::clamp(d.paper, 0, kTablePaperCount - 1);
    return scaledPaperSize(papers[static_cast<std::size_t>(index)], d.lpi);
}

Size orientToPhoto(Size paper, int sw0, int sh0) {
    const int lo = std::min(paper.cx, paper.cy), hi = std::max(paper.cx, paper.cy);
    if (sw0 < sh0) return {lo, hi};
    return {hi, lo};
}

Size workingSize(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0) {
    return orientToPhoto(paperTarget(d, papers, sw0, sh0), sw0, sh0);
}

PictureDialogData presetPictureDialog(const std::string& path, bool resizing, int W, int H, double lpi,
                                      const PaperTable& papers, int sw0, int sh0, bool hasHighRes) {
    PictureDialogData d;
    const bool mpo = endsInO(path);
    d.paper = mpo ? kPaperVGA : kPaperPostcard;
    d.trimming = mpo ? kTrimNone : kTrimCrop;
    if (W > 0 && H > 0) {
        // A very small picture would give 0 mm, which the field refuses.
        d.userWidthMm = std::clamp(pixelsToMm(W, lpi), kMinPaperMm, kMaxPaperMm);
        d.userHeightMm = std::clamp(pixelsToMm(H, lpi), kMinPaperMm, kMaxPaperMm);
    }
    d.lpi = lpi;
    d.resizing = resizing;
    if (resizing) {
        d.paper = kPaper2L;
        for (int v = 0; v < kPaper2L; ++v) {
            const Size s = scaledPaperSize(papers[static_cast<std::size_t>(v)], lpi);
            if ((s.cx == W && s.cy == H) || (s.cx == H && s.cy == W)) {
                d.paper = v;
                break;
            }
        }
        d.highRes = hasHighRes;
    } else {
        // A photo larger than the 2L paper (as written, width against width)
        // is trimmed to a paper and keeps a high-resolution copy.
        const SettingSize& limit = papers[kPaper2L];
        if (limit.width < sw0 || limit.height < sh0) {
            d.paper = kPaperPostcard;
            d.trimming = kTrimCrop;
            d.highRes = true;
        }
    }
    return d;
}

const char* const kWorkingSizeTooSmallMessage = "作業画像が小さすぎます。用紙サイズを大きくしてください。";
const char* const kWorkingSizeTooLargeMessage =
    "作業画像が大きすぎます。用紙サイズを小さくするか、レンズの解像度を下げてください。";

bool workingSizeStorable(int width, int height) {
    return width > 0 && height > 0 && width <= kProjectMaxSide && height <= kProjectMaxSide &&
           static_cast<std::int64_t>(width) * height <= kProjectMaxPixels;
}

bool highResCopyHoldable(int width, int height) {
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * 3 + 3) / 4 * 4;
    return width > 0 && height > 0 && width <= kJpegMaxSide && height <= kJpegMaxSide &&
           stride * static_cast<std::uint64_t>(height) <= kMaxPictureRowBytes;
}

bool pictureDialogValid(const PictureDialogData& d) {
    return d.paper >= 0 && d.paper < kPaperCount && d.trimming >= 0 && d.trimming < kTrimModeCount &&
           d.userWidthMm >= kMinPaperMm && d.userWidthMm <= kMaxPaperMm && d.userHeightMm >= kMinPaperMm &&
           d.userHeightMm <= kMaxPaperMm && d.lpi >= kMinLpi && d.lpi <= kMaxLpi;
}

TrimPlan planTrimming(int mode, int sw0, int sh0, int W, int H) {
    TrimPlan p;
    p.source = {0, 0, sw0, sh0};
    p.dest = {0, 0, W, H};
    if (sw0 <= 0 || sh0 <= 0 || W <= 0 || H <= 0) return p;
    if (sw0 == W && sh0 == H) return p;  // a plain copy
    if (static_cast<long long>(sw0) * H == static_cast<long long>(sh0) * W) return p;  // same ratio: stretch
    const bool portrait = sw0 < sh0;
    // The paper's short-to-long ratio, in single precision.
    const float r = static_cast<float>(std::min(W, H)) / static_cast<float>(std::max(W, H));
    if (mode == kTrimCrop) {
        int sw = sw0, sh = sh0;
        if (portrait) {
            if (static_cast<float>(sh0) * r > static_cast<float>(sw0)) sh = static_cast<int>(static_cast<float>(sw0) / r);
            else sw = static_cast<int>(static_cast<float>(sh0) * r);
        } else {
            if (static_cast<float>(sh0) / r > static_cast<float>(sw0)) sh = static_cast<int>(r * static_cast<float>(sw0));
            else sw = static_cast<int>(static_cast<float>(sh0) / r);
        }
        // An extreme paper on a tiny photo could leave nothing to stretch.
        sw = std::clamp(sw, 1, sw0);
        sh = std::clamp(sh, 1, sh0);
        const int sx = (sw0 - sw) / 2, sy = (sh0 - sh) / 2;
        p.source = {sx, sy, sx + sw, sy + sh};
    } else if (mode == kTrimMargins) {
        const float q = portrait ? static_cast<float>(sh0) * r : static_cast<float>(sh0) / r;
        int dw = W, dh = H;
        if (q > static_cast<float>(sw0)) dw = static_cast<int>(static_cast<long long>(sw0) * H / sh0);
        else dh = static_cast<int>(static_cast<long long>(sh0) * W / sw0);
        dw = std::clamp(dw, 1, W);
        dh = std::clamp(dh, 1, H);
        const int dx = (W - dw) / 2, dy = (H - dh) / 2;
        p.dest = {dx, dy, dx + dw, dy + dh};
        p.margins = true;
    }
    return p;
}

Rect keepFacesInCrop(const Rect& crop, int sw0, int sh0, const std::vector<FaceBox>& faces) {
    if (faces.empty()) return crop;
    // The span wanted: left, top, right, bottom (exclusive).
    long long need[4] = {LLONG_MAX, LLONG_MAX, LLONG_MIN, LLONG_MIN};
    for (const FaceBox& f : faces) {
        const long long w = static_cast<long long>(f.right) - f.left + 1, h = static_cast<long long>(f.bottom) - f.top + 1;
        need[0] = std::min(need[0], f.left - w / 4);
        need[1] = std::min(need[1], f.top - h * 6 / 10);
        need[2] = std::max(need[2], f.right + 1 + w / 4);
        need[3] = std::max(need[3], f.bottom + 1 + h / 4);
    }
    // One axis: the start that holds [lo, hi) in a window of `size` within
    // [0, limit), moving as little as possible; the low end wins a conflict.
    const auto place = [](long long start, long long size, long long lo, long long hi, long long limit) {
        lo = std::max(0LL, lo);
        hi = std::min(limit, hi);
        if (hi - start > size) start = hi - size;
        if (lo < start) start = lo;
        return std::clamp(start, 0LL, std::max(0LL, limit - size));
    };
    const long long cw = crop.width(), ch = crop.height();
    const long long x = place(crop.left, cw, need[0], need[2], sw0);
    const long long y = place(crop.top, ch, need[1], need[3], sh0);
    return Rect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + cw), static_cast<int>(y + ch)};
}

Rect scaleRect(const Rect& r, int scale) {
    return {r.left * scale, r.top * scale, r.right * scale, r.bottom * scale};
}

namespace {

// Rows per band when a picture's rows are shared out between the cores: a
// fixed height, so that the split (and with it every byte) is the same on
// any number of cores.
constexpr int kResampleBandRows = 64;

// Runs fn(y0, y1) over [0, rows) in bands of kResampleBandRows on every core.
template <typename Fn>
void forRowBands(int rows, const Fn& fn) {
    const int bands = (rows + kResampleBandRows - 1) / kResampleBandRows;
    cv::parallel_for_(cv::Range(0, bands), [&](const cv::Range& r) {
        for (int b = r.start; b < r.end; ++b) fn(b * kResampleBandRows, std::min(rows, (b + 1) * kResampleBandRows));
    });
}

}  // namespace

bool resampleThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest,
                     Pixel background) {
    Surface result;
    if (!result.createUninitialized(W, H)) {
        out.reset();
        return false;
    }
    // The part of the picture the photo covers: the destination rectangle
    // within the picture, when the source rectangle lies on the photo (a
    // source reaching outside is cut, and its destination with it, so then
    // nothing is taken as covered). Only the rest gets the background, each
    // pixel written once.
    const bool sourceInside = source.left >= 0 && source.top >= 0 && source.right <= src.width() &&
                              source.bottom <= src.height() && source.width() > 0 && source.height() > 0 &&
                              !src.empty();
    Rect covered{std::clamp(dest.left, 0, W), std::clamp(dest.top, 0, H), std::clamp(dest.right, 0, W),
                 std::clamp(dest.bottom, 0, H)};
    if (!sourceInside || covered.width() <= 0 || covered.height() <= 0) covered = {0, 0, 0, 0};
    const Pixel fill = background | kOpaque;
    forRowBands(H, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            Pixel* row = result.row(y);
            if (y < covered.top || y >= covered.bottom) {
                std::fill(row, row + W, fill);
            } else {
                std::fill(row, row + covered.left, fill);
                std::fill(row + covered.right, row + W, fill);
            }
        }
    });
    const int sw = source.width(), sh = source.height(), dw = dest.width(), dh = dest.height();
    bool ok = true;
    if (sourceInside && dw > 0 && dh > 0 && sw % dw == 0 && sh % dh == 0) {
        // A copy or a reduction by whole factors: each destination row is
        // made from its own source rows alone, so bands of rows are made
        // apart on every core, exactly as the whole block would be.
        const int ky = sh / dh;
        std::atomic<bool> failed{false};
        forRowBands(dh, [&](int j0, int j1) {
            if (!stretchBlit(result, dest.left, dest.top + j0, dw, j1 - j0, src, source.left, source.top + j0 * ky, sw,
                             (j1 - j0) * ky, Rop::Copy, StretchMode::Halftone))
                failed = true;
        });
        ok = !failed;
    } else {
        // Area averaging shares its bands of rows out between the cores itself.
        ok = stretchBlit(result, dest.left, dest.top, dw, dh, src, source.left, source.top, sw, sh, Rop::Copy,
                         StretchMode::Halftone);
    }
    if (!ok) {
        out.reset();
        return false;
    }
    out = std::move(result);
    return true;
}

namespace {

using ReducedWeights = detail::AreaWeights;

// Area weights along one axis for a destination of `dLen` pixels showing
// photo pixels [p0, p1) of a picture read at 1/scale (`sLen` pixels). In
// units of 1 / dLen photo pixels, destination pixel i covers
// [p0 dLen + i L, p0 dLen + (i + 1) L) with L = p1 - p0, and pixel j of the
// read picture covers [(j scale - phase) dLen, ((j + 1) scale - phase) dLen):
// `phase` is 0 unless the photo was turned after its reduced decode and the
// part-filled last block came first. Fixed-point weights (16 bits) summing
// exactly to 65536 for every destination pixel.
ReducedWeights reducedWeights(int p0, int p1, int scale, int sLen, int dLen, int phase) {
    ReducedWeights rw;
    rw.first.resize(static_cast<std::size_t>(dLen));
    rw.count.resize(static_cast<std::size_t>(dLen));
    rw.offset.resize(static_cast<std::size_t>(dLen));
    const long long L = static_cast<long long>(p1) - p0;
    const long long cell = static_cast<long long>(scale) * dLen;
    const long long shift = static_cast<long long>(phase) * dLen;
    for (int i = 0; i < dLen; ++i) {
        // Measured from the start of read pixel 0 (phase pixels before the
        // photo's first one).
        const long long a = static_cast<long long>(p0) * dLen + i * L + shift, b = a + L;
        const int j0 = static_cast<int>(std::clamp<long long>(a / cell, 0, sLen - 1));
        const int j1 = static_cast<int>(std::clamp<long long>((b + cell - 1) / cell, j0 + 1, sLen));
        rw.first[static_cast<std::size_t>(i)] = j0;
        rw.count[static_cast<std::size_t>(i)] = j1 - j0;
        rw.offset[static_cast<std::size_t>(i)] = rw.weight.size();
        std::uint32_t assigned = 0;
        for (int j = j0; j < j1; ++j) {
            const long long lo = std::max(a, j * cell), hi = std::min(b, (j + 1) * cell);
            std::uint32_t w = static_cast<std::uint32_t>(std::max(0LL, hi - lo) * 65536 / L);
            if (j == j1 - 1) w = 65536 - assigned;
            assigned += w;
            rw.weight.push_back(w);
        }
    }
    return rw;
}

// The geometry and weights of a reduced resampling, and its two steps: a
// row of the read picture averaged across (three 32-bit sums a pixel), and
// a row of the result from the averaged rows it covers.
struct ReducedPlan {
    int W = 0, H = 0;
    Rect dest;
    ReducedWeights wx, wy;
    int ringRows = 1;
    std::size_t rowWords = 0;
    Pixel fill = 0;

    ReducedPlan(int W_, int H_, int srcW, int srcH, int scale, const Rect& source, const Rect& dest_, Pixel background,
                Point phase = {0, 0})
        : W(W_), H(H_), dest(dest_), wx(reducedWeights(source.left, source.right, scale, srcW, dest_.width(), phase.x)),
          wy(reducedWeights(source.top, source.bottom, scale, srcH, dest_.height(), phase.y)),
          rowWords(static_cast<std::size_t>(dest_.width()) * 3), fill(background | kOpaque) {
        for (int c : wy.count) ringRows = std::max(ringRows, c);
    }

    void horizontal(const Pixel* s, std::uint32_t* t) const { detail::horizontalSums(s, wx, 0, dest.width(), t); }

    // Row y of the result; `rows` are the averaged rows wy.first[j] ..
    // (count of them) for a row j = y - dest.top inside the destination.
    void makeRow(int y, const std::uint32_t* const* rows, Pixel* d) const {
        if (y < dest.top || y >= dest.bottom) {
            std::fill(d, d + W, fill);
            return;
        }
        std::fill(d, d + dest.left, fill);
        std::fill(d + dest.right, d + W, fill);
        const std::size_t j = static_cast<std::size_t>(y - dest.top);
        detail::verticalRow(rows, wy.weight.data() + wy.offset[j], wy.count[j], dest.width(), d + dest.left);
    }
};

// Whether a reduced resampling can be made as planned; otherwise the read
// picture is resampled through the rounded rectangle.
bool reducedGeometryFits(int W, int H, int srcW, int srcH, int scale, const Rect& source, const Rect& dest,
                         Point phase = {0, 0}) {
    return scale > 1 && srcW > 0 && srcH > 0 && dest.width() > 0 && dest.height() > 0 && dest.left >= 0 &&
           dest.top >= 0 && dest.right <= W && dest.bottom <= H && source.width() > 0 && source.height() > 0 &&
           source.left >= 0 && source.top >= 0 && phase.x >= 0 && phase.x < scale && phase.y >= 0 &&
           phase.y < scale && static_cast<long long>(source.right) <= static_cast<long long>(srcW) * scale - phase.x &&
           static_cast<long long>(source.bottom) <= static_cast<long long>(srcH) * scale - phase.y;
}

}  // namespace

bool resampleReducedThrough(Surface& out, int W, int H, const Surface& src, int scale, const Rect& source,
                            const Rect& dest, Pixel background, Point phase) {
    if (src.empty() || !reducedGeometryFits(W, H, src.width(), src.height(), scale, source, dest, phase))
        return resampleThrough(out, W, H, src, reduceRect(source, scale, src.width(), src.height()), dest,
                               background);
    Surface result;
    if (!result.createUninitialized(W, H)) {
        out.reset();
        return false;
    }
    const ReducedPlan plan(W, H, src.width(), src.height(), scale, source, dest, background, phase);
    const int ringRows = plan.ringRows;
    std::atomic<bool> failed{false};
    // Bands of a fixed number of rows, each with a ring of horizontally
    // averaged source rows of its own: the split does not change a byte.
    forRowBands(H, [&](int y0, int y1) {
        std::vector<std::uint32_t> ring;
        std::vector<int> held;
        try {
            ring.resize(plan.rowWords * static_cast<std::size_t>(ringRows));
            held.assign(static_cast<std::size_t>(ringRows), -1);
        } catch (const std::bad_alloc&) {
            failed = true;
            return;
        }
        const auto horizontal = [&](int row) -> const std::uint32_t* {
            const std::size_t slot = static_cast<std::size_t>(row % ringRows);
            std::uint32_t* t = ring.data() + slot * plan.rowWords;
            if (held[slot] == row) return t;
            held[slot] = row;
            plan.horizontal(src.row(row), t);
            return t;
        };
        std::vector<const std::uint32_t*> rows(static_cast<std::size_t>(ringRows));
        for (int y = y0; y < y1; ++y) {
            if (y >= dest.top && y < dest.bottom) {
                const std::size_t j = static_cast<std::size_t>(y - dest.top);
                for (int k = 0; k < plan.wy.count[j]; ++k)
                    rows[static_cast<std::size_t>(k)] = horizontal(plan.wy.first[j] + k);
            }
            plan.makeRow(y, rows.data(), result.row(y));
        }
    });
    if (failed) {
        out.reset();
        return false;
    }
    out = std::move(result);
    return true;
}

struct ReducedRowResampler::State {
    ReducedPlan plan;
    Surface result;
    std::vector<std::uint32_t> ring;
    std::vector<int> held;
    std::vector<const std::uint32_t*> rows;
    int srcW = 0, srcH = 0;  // the read picture's size
    int nextRow = 0;         // its next row expected
    int nextOutput = 0;      // the destination's next row to make
    bool failed = false;
    State(int W, int H, int srcW_, int srcH_, int scale, const Rect& source, const Rect& dest, Pixel background)
        : plan(W, H, srcW_, srcH_, scale, source, dest, background), srcW(srcW_), srcH(srcH_) {}
};

ReducedRowResampler::ReducedRowResampler(int W, int H, int srcW, int srcH, int scale, const Rect& source,
                                         const Rect& dest, Pixel background) {
    if (!reducedGeometryFits(W, H, srcW, srcH, scale, source, dest)) return;
    try {
        auto s = std::make_unique<State>(W, H, srcW, srcH, scale, source, dest, background);
        if (!s->result.createUninitialized(W, H)) return;
        s->ring.resize(s->plan.rowWords * static_cast<std::size_t>(s->plan.ringRows));
        s->held.assign(static_cast<std::size_t>(s->plan.ringRows), -1);
        s->rows.resize(static_cast<std::size_t>(s->plan.ringRows));
        // The rows outside the destination are background from the start.
        for (int y = 0; y < H; ++y)
            if (y < dest.top || y >= dest.bottom) s->plan.makeRow(y, nullptr, s->result.row(y));
        m_state = std::move(s);
    } catch (const std::bad_alloc&) {
        m_state.reset();
    }
}

ReducedRowResampler::~ReducedRowResampler() = default;

bool ReducedRowResampler::valid() const { return m_state != nullptr; }

void ReducedRowResampler::addRow(int y, const Pixel* row, int width) {
    if (!m_state || m_state->failed) return;
    State& s = *m_state;
    const ReducedPlan& plan = s.plan;
    const int dh = plan.dest.height();
    if (y != s.nextRow || y >= s.srcH || width != s.srcW || !row) {
        s.failed = true;
        return;
    }
    ++s.nextRow;
    if (s.nextOutput >= dh || y < plan.wy.first[static_cast<std::size_t>(s.nextOutput)]) return;  // not needed
    const std::size_t slot = static_cast<std::size_t>(y % plan.ringRows);
    plan.horizontal(row, s.ring.data() + slot * plan.rowWords);
    s.held[slot] = y;
    // Every destination row whose last source row this is.
    while (s.nextOutput < dh) {
        const std::size_t j = static_cast<std::size_t>(s.nextOutput);
        const int first = plan.wy.first[j], count = plan.wy.count[j];
        if (first + count - 1 > y) break;
        for (int k = 0; k < count; ++k) {
            const std::size_t at = static_cast<std::size_t>((first + k) % plan.ringRows);
            if (s.held[at] != first + k) {
                s.failed = true;
                return;
            }
            s.rows[static_cast<std::size_t>(k)] = s.ring.data() + at * plan.rowWords;
        }
        plan.makeRow(plan.dest.top + s.nextOutput, s.rows.data(), s.result.row(plan.dest.top + s.nextOutput));
        ++s.nextOutput;
    }
}

bool ReducedRowResampler::take(Surface& out) {
    if (!m_state || m_state->failed || m_state->nextOutput < m_state->plan.dest.height()) return false;
    out = std::move(m_state->result);
    m_state.reset();
    return true;
}

bool resampleNearestThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest,
                            Pixel background) {
    Surface result;
    if (!result.create(W, H)) {
        out.reset();
        return false;
    }
    fillRect(result, Rect{0, 0, W, H}, background);
    if (!src.empty() && source.width() > 0 && source.height() > 0 && dest.width() > 0 && dest.height() > 0 &&
        !stretchBlit(result, dest.left, dest.top, dest.width(), dest.height(), src, source.left, source.top,
                     source.width(), source.height(), Rop::Copy, StretchMode::Nearest)) {
        out.reset();
        return false;
    }
    out = std::move(result);
    return true;
}

bool resampleMaskThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest) {
    if (!resampleThrough(out, W, H, src, source, dest, kBlack)) return false;
    // Averaged edges are grey; a mask pixel is inside when any byte is set.
    for (int y = 0; y < H; ++y) {
        Pixel* row = out.row(y);
        for (int x = 0; x < W; ++x) row[x] = (row[x] & 0x00FFFFFFu) ? kWhite : kBlack;
    }
    return true;
}

int photoReduction(const Rect& source, int needW, int needH) {
    if (needW <= 0 || needH <= 0) return 1;
    for (int scale = 8; scale > 1; scale /= 2)
        if (static_cast<long long>(needW) * scale <= source.width() &&
            static_cast<long long>(needH) * scale <= source.height())
            return scale;
    return 1;
}

Rect reduceRect(const Rect& r, int scale, int sw, int sh) {
    if (scale <= 1) return r;
    const auto down = [scale](int v, int limit) {
        return static_cast<int>(std::clamp<long long>((static_cast<long long>(v) + scale / 2) / scale, 0, limit));
    };
    Rect out{down(r.left, sw), down(r.top, sh), down(r.right, sw), down(r.bottom, sh)};
    if (out.right <= out.left) {
        out.left = std::min(out.left, sw - 1);
        out.right = out.left + 1;
    }
    if (out.bottom <= out.top) {
        out.top = std::min(out.top, sh - 1);
        out.bottom = out.top + 1;
    }
    return out;
}

namespace {

// The faces findFacesInPhoto finds in the whole photo, carried back from
// the picture it searches, which is `k` times the photo's size.
std::vector<FaceBox> facesInPhotoPixels(const Surface& small, double k, const std::string& settings) {
    std::vector<FaceBox> faces = findFacesInPhoto(small, settings);
    for (FaceBox& f : faces)
        f = FaceBox{static_cast<int>(f.left / k), static_cast<int>(f.top / k), static_cast<int>((f.right + 1) / k) - 1,
                    static_cast<int>((f.bottom + 1) / k) - 1};
    return faces;
}

// The faces of a JPEG photo, searched on the picture findFacesInPhoto
// searches for the whole photo, made from the photo's rows as decoded at
// full size one at a time; before the photo itself is read, so that the
// search's memory and the photo's are not needed at once. Nothing when the
// file does not allow it (only a sequential JPEG stored the right way up
// gives its rows as the photo's) or the photo is small enough to be
// searched as read.
std::optional<std::vector<FaceBox>> findFacesInPhotoFile(const std::string& path, int sw0, int sh0,
                                                         const std::string& settings) {
    const double k = faceSearchScale(sw0, sh0);
    if (k >= 1.0) return std::nullopt;
    const int w = std::max(1, static_cast<int>(sw0 * k)), h = std::max(1, static_cast<int>(sh0 * k));
    StreamedReduction stream(sw0, sh0, w, h);
    int fw = 0, fh = 0, orientation = 0;
    const bool read = ForEachJpegPhotoRow(path, fw, fh, orientation, [&](int y, const Pixel* row, int rowWidth) {
        if (rowWidth == sw0) stream.addRow(y, row);
    });
    if (!read || orientation != 1 || fw != sw0 || fh != sh0) return std::nullopt;
    const Surface small = stream.take();
    if (small.empty()) return std::nullopt;
    return facesInPhotoPixels(small, k, settings);
}

// Feeds a photo's rows, as they are decoded, to the resamplers that make
// the pictures of it: the rows are gathered in blocks, and each block is
// resampled on other threads (each resampler on a core of its own) while
// the next is decoded. Every resampler still takes the rows in order.
class RowRelay {
public:
    RowRelay(int width, std::vector<ReducedRowResampler*> sinks) : m_width(width), m_sinks(std::move(sinks)) {
        for (auto& b : m_blocks) b.resize(static_cast<std::size_t>(width) * kBlockRows);
    }
    ~RowRelay() { wait(); }

    void add(int y, const Pixel* row, int width) {
        if (width != m_width || y != m_first + m_count) {
            m_broken = true;  // the resamplers see the gap and fail
            return;
        }
        std::copy(row, row + width, m_blocks[m_filling].data() + static_cast<std::size_t>(m_count) * m_width);
        if (++m_count == kBlockRows) flush();
    }

    // Hands on what is left and waits for it; false when rows were lost.
    bool finish() {
        if (m_count > 0) flush();
        wait();
        return !m_broken;
    }

private:
    static constexpr int kBlockRows = 32;

    void wait() {
        if (m_running.valid()) m_running.get();
    }

    void feed(const Pixel* rows, int first, int count) {
        cv::parallel_for_(cv::Range(0, static_cast<int>(m_sinks.size())), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i)
                for (int k = 0; k < count; ++k)
                    m_sinks[static_cast<std::size_t>(i)]->addRow(first + k, rows + static_cast<std::size_t>(k) * m_width,
                                                                 m_width);
        });
    }

    void flush() {
        wait();
        const Pixel* rows = m_blocks[m_filling].data();
        const int first = m_first, count = m_count;
        try {
            m_running = std::async(std::launch::async, [this, rows, first, count] { feed(rows, first, count); });
        } catch (const std::exception&) {
            feed(rows, first, count);  // no thread to be had: here and now
        }
        m_filling ^= 1;
        m_first += count;
        m_count = 0;
    }

    int m_width;
    std::vector<ReducedRowResampler*> m_sinks;
    std::vector<Pixel> m_blocks[2];
    int m_filling = 0;
    int m_first = 0, m_count = 0;
    bool m_broken = false;
    std::future<void> m_running;
};

// The working image (W x H, showing `source` of the photo on `dest`) and,
// when R > 0, its copy R times larger, made from the photo's rows read at
// 1/reduction as they are decoded. False, with both pictures empty, when
// the rows cannot be read so or memory fails.
bool picturesFromRows(const CStereoWorkspace::PhotoReader& reader, int reduction, const Rect& source,
                      const Rect& dest, int W, int H, int R, Surface& work, Surface& high) {
    const int rw = (reader.width + reduction - 1) / reduction, rh = (reader.height + reduction - 1) / reduction;
    ReducedRowResampler toWork(W, H, rw, rh, reduction, source, dest, kWhite);
    std::optional<ReducedRowResampler> toHigh;
    if (R > 0) toHigh.emplace(W * R, H * R, rw, rh, reduction, source, scaleRect(dest, R), kWhite);
    if (!toWork.valid() || (toHigh && !toHigh->valid())) return false;
    std::vector<ReducedRowResampler*> sinks{&toWork};
    if (toHigh) sinks.push_back(&*toHigh);
    std::optional<RowRelay> relay;
    try {
        relay.emplace(rw, std::move(sinks));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool read =
        reader.readRows(reduction, [&relay](int y, const Pixel* row, int width) { relay->add(y, row, width); });
    if (relay->finish() && read && toWork.take(work) && (!toHigh || toHigh->take(high))) return true;
    work.reset();
    high.reset();
    return false;
}

// The faces of a photo read at 1/scale, in photo pixels, searched on its
// reduced picture stretched to the search size (within a grey level or so
// of the picture findFacesInPhoto searches).
std::vector<FaceBox> findFacesInReducedPhoto(const Surface& reduced, int sw0, int sh0, const std::string& settings) {
    const double k = faceSearchScale(sw0, sh0);
    const int w = std::max(1, static_cast<int>(sw0 * k)), h = std::max(1, static_cast<int>(sh0 * k));
    Surface small;
    if (!small.createUninitialized(w, h) ||
        !stretchBlit(small, 0, 0, w, h, reduced, 0, 0, reduced.width(), reduced.height(), Rop::Copy,
                     StretchMode::Halftone))
        return {};
    return facesInPhotoPixels(small, k, settings);
}

}  // namespace

std::string standardLpiQuestion(double lpi) {
    char number[32];
    std::snprintf(number, sizeof number, "%.1f", lensValue(lpi));
    const std::string pattern = kAskStandardLpi;
    const std::size_t at = pattern.find("%1");
    return pattern.substr(0, at) + number + pattern.substr(at + 2);
}

bool runManualTrimming(WorkspaceDialogs* dialogs, Host& host, const Surface& photo, int& W, int& H, double& angle,
                       Rect& source, Surface& rotated) {
    TrimmingDialogData td;
    td.photo = &photo;
    td.workingWidth = W;
    td.workingHeight = H;
    td.angle = angle;
    td.host = &host;
    td.source = TrimmingEditor(photo, W, H, angle).sourceRect();
    if (dialogs && !dialogs->trimmingDialog(td)) return false;
    // The dialog may only have turned the working size round.
    const bool sameWay = td.workingWidth == W && td.workingHeight == H;
    const bool turned = td.workingWidth == H && td.workingHeight == W;
    if (!sameWay && !turned) return false;
    W = td.workingWidth;
    H = td.workingHeight;
    angle = td.angle;
    rotated.reset();
    if (angle != 0.0) {
        if (td.rotated.width() == photo.width() && td.rotated.height() == photo.height()) {
            rotated = std::move(td.rotated);
        } else if (!rotatePicture(rotated, photo, angle)) {
            host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
    }
    // Only the part of the rectangle that lies on the photo.
    source.left = std::clamp(td.source.left, 0, photo.width());
    source.top = std::clamp(td.source.top, 0, photo.height());
    source.right = std::clamp(td.source.right, 0, photo.width());
    source.bottom = std::clamp(td.source.bottom, 0, photo.height());
    return source.width() > 0 && source.height() > 0;
}

// ---- opening ------------------------------------------------------------------

bool CStereoWorkspace::takeOpenedPhoto(Surface&& photo, const std::string& path) {
    return OpenPicture(std::move(photo), path);
}

bool CStereoWorkspace::takeOpenedPhoto(const PhotoReader& photo, const std::string& path) {
    return OpenPicture(photo, path);
}

bool CStereoWorkspace::OpenPicture(Surface&& photoIn, const std::string& path, bool stereoPair, bool skipDialog) {
    Surface held = std::move(photoIn);
    if (held.empty()) return false;
    PhotoReader reader{held.width(), held.height(), [&held](int, Surface& out, int& scale, Point& phase) {
                           out = std::move(held);
                           scale = 1;
                           phase = {0, 0};
                           return true;
                       },
                       {}};
    return OpenPicture(reader, path, stereoPair, skipDialog);
}

bool CStereoWorkspace::OpenPicture(const PhotoReader& reader, const std::string& path, bool stereoPair,
                                   bool skipDialog) {
    if (reader.width <= 0 || reader.height <= 0 || !reader.read) return false;
    int sw0 = reader.width, sh0 = reader.height;
    const Settings settings(m_settingsPath);
    const PaperTable papers = readPaperTable(settings);
    const bool hasPicture = m_width > 0 && !m_source.empty();
    // The dialog takes 20..160 lines per inch; a setting outside that (which
    // a project may hold) presets the standard 60 instead of failing the
    // open without a word.
    const double lpi = m_lpi >= kMinLpi && m_lpi <= kMaxLpi ? m_lpi : 60.0;
    PictureDialogData d = presetPictureDialog(path, false, hasPicture ? m_width : 0, hasPicture ? m_height : 0,
                                              lpi, papers, sw0, sh0, false);
    if (!skipDialog && m_dialogs && !m_dialogs->pictureDialog(d)) return false;
    if (!pictureDialogValid(d)) return false;
    const Size size = workingSize(d, papers, sw0, sh0);
    int W = size.cx, H = size.cy;
    if (W <= 0 || H <= 0) {
        // Said, rather than left to look like a photo that cannot be read.
        m_host.message(kWorkingSizeTooSmallMessage, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    if (!workingSizeStorable(W, H)) {
        m_host.message(kWorkingSizeTooLargeMessage, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }

    // The photo is read now, at the least resolution the pictures made of
    // it need: a working image (and high-resolution copy) at most half as
    // large as the part of the photo they show comes from a reduced decode.
    // Every rectangle stays in photo pixels; only the resampling reads the
    // reduced picture. Manual trimming shows the whole photo.
    bool makeHigh = d.highRes || stereoPair || endsInO(path);
    const int R = std::max(1, m_settings.hdRatio);
    if (makeHigh && !highResCopyHoldable(W * R, H * R)) {
        // A stereo picture is the document itself; a photo's copy only
        // sharpens printing, which then enlarges the working image.
        if (stereoPair || endsInO(path)) {
            m_host.message(kWorkingSizeTooLargeMessage, MsgButtons::Ok, MsgIcon::Warning);
            return false;
        }
        makeHigh = false;
    }
    TrimPlan plan = planTrimming(d.trimming, sw0, sh0, W, H);
    int reduction = 1;
    if (d.trimming != kTrimManual) {
        const int k = makeHigh ? R : 1;
        reduction = photoReduction(plan.source, plan.dest.width() * k, plan.dest.height() * k);
    }
    // A crop keeps the people's heads: it moves (its size unchanged) to
    // hold every face found in the photo. Both pictures of a pair must be
    // cut alike, so a pair keeps the centred crop. The faces of a photo read
    // reduced are searched first, from the file.
    const bool keepFaces = d.trimming == kTrimCrop && !stereoPair && !endsInO(path) && !(plan.source == Rect{0, 0, sw0, sh0});
    std::optional<std::vector<FaceBox>> facesFromFile;
    // A face search that runs out of memory throws: the crop is not made
    // without the faces it was to keep.
    try {
        if (keepFaces && reduction > 1) facesFromFile = findFacesInPhotoFile(path, sw0, sh0, m_settingsPath);
    } catch (const std::bad_alloc&) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    // A reduced photo stored the right way up is resampled from its rows
    // as they are decoded, and never held whole; anything else (or a photo
    // that cannot be read so) is read first and resampled after.
    Surface work, high;
    bool streamed = false;
    if (reduction > 1 && d.trimming != kTrimManual && reader.readRows && (!keepFaces || facesFromFile)) {
        const Rect source = keepFaces ? keepFacesInCrop(plan.source, sw0, sh0, *facesFromFile) : plan.source;
        streamed = picturesFromRows(reader, reduction, source, plan.dest, W, H, makeHigh ? R : 0, work, high);
        if (streamed) plan.source = source;
    }
    Surface photo;
    int scale = 1;
    Point phase{0, 0};
    if (!streamed) {
        if (!reader.read(reduction, photo, scale, phase)) return false;
        scale = std::max(1, scale);
        if (photo.empty() || photo.width() != (sw0 + scale - 1) / scale ||
            photo.height() != (sh0 + scale - 1) / scale)
            return false;
    }

    // A new lens resolution may become the standard one.
    if (lensValue(d.lpi) != lensValue(m_lpi)) {
        if (m_host.message(standardLpiQuestion(d.lpi), MsgButtons::YesNo, MsgIcon::Question) == MsgResult::Yes &&
            !settings.setFloat(SettingKey::LenticularLPI, lensValue(d.lpi)) && settings.writable())
            m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    }

    double angle = 0.0;
    Surface rotated;
    if (!streamed) {
        if (d.trimming == kTrimManual) {
            // The frame is chosen on the picture read; one that had to be
            // reduced to fit in memory is the photo from here on.
            if (scale != 1) {
                sw0 = photo.width();
                sh0 = photo.height();
                scale = 1;
                phase = {0, 0};
            }
            Rect source;
            if (!runManualTrimming(skipDialog ? nullptr : m_dialogs, m_host, photo, W, H, angle, source, rotated))
                return false;
            plan = {source, {0, 0, W, H}, false};
        } else if (keepFaces) {
            std::vector<FaceBox> faces;
            try {
                faces = facesFromFile ? *facesFromFile
                        : scale == 1  ? findFacesInPhoto(photo, m_settingsPath)
                                      : findFacesInReducedPhoto(photo, sw0, sh0, m_settingsPath);
            } catch (const std::bad_alloc&) {
                m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                return false;
            }
            plan.source = keepFacesInCrop(plan.source, sw0, sh0, faces);
        }
        const Surface& from = rotated.empty() ? photo : rotated;
        // A reduced photo is read through the same rectangle in photo
        // pixels, its edges falling between the reduced pixels where they do.
        const auto resample = [&](Surface& out, int w, int h, const Rect& to) {
            return scale == 1 ? resampleThrough(out, w, h, from, plan.source, to, kWhite)
                              : resampleReducedThrough(out, w, h, from, scale, plan.source, to, kWhite, phase);
        };
        if (!resample(work, W, H, plan.dest)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        // The high-resolution copy: the same part of the photo on an image
        // R times larger.
        if (makeHigh && !resample(high, W * R, H * R, scaleRect(plan.dest, R))) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
    }
    photo.reset();
    rotated.reset();

    adoptPicture(std::move(work));
    if (!high.empty()) {
        m_highRes[0] = std::move(high);
        m_highResCount = 1;
    }
    m_lpi = d.lpi;
    m_trimmingMode = d.trimming;
    m_rotationAngle = angle;
    m_trimSource = plan.source;
    m_trimDest = plan.dest;
    m_trimPhotoSize = {sw0, sh0};
    return true;
}

}  // namespace plastora
