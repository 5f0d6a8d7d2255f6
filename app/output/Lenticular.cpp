// The lenticular composite: the views interleaved column by column.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PrintResolution.h"
#include "overlay/ObjectDraw.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <array>
#include <functional>
#include <future>
#include <system_error>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <vector>

namespace plastora {

namespace {
constexpr const char* kCompositeFilter = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||";
}

namespace {

// Where the composite's pixels come from: column N*c/P + i holds column c of
// view i, stretched vertically from H to CH by nearest rows; columns past CW
// are clipped.
struct CompositeLayout {
    int n = 0, p = 1, cw = 0, ch = 0;
    int wholeGroups = 0;    // groups of N columns that fit whole; the last may be clipped
    std::vector<int> rows;  // the view row of each composite row
};

// The layout of N views of w x h at the workspace's pitch.
bool compositeLayout(const CStereoWorkspace& ws, int w, int h, CompositeLayout& l) {
    l.n = ws.viewCount();
    l.p = std::max(1, ws.settings().pitch);
    const long long cwl = static_cast<long long>(l.n) * w / l.p;
    const long long chl = static_cast<long long>(l.n) * h / l.p;
    if (cwl <= 0 || chl <= 0 || cwl > 0x7FFFFFFF || chl > 0x7FFFFFFF) return false;
    l.cw = static_cast<int>(cwl);
    l.ch = static_cast<int>(chl);
    l.rows.resize(static_cast<std::size_t>(l.ch));
    for (int y = 0; y < l.ch; ++y)
        l.rows[static_cast<std::size_t>(y)] = std::min(h - 1, static_cast<int>((static_cast<long long>(y) * h + h / 2) / l.ch));
    l.wholeGroups = 0;
    while (l.wholeGroups * l.p < w && static_cast<long long>(l.n) * l.wholeGroups * l.p / l.p + l.n <= l.cw) ++l.wholeGroups;
    return true;
}

// The layout of the workspace's views (false unless all N are its size).
bool compositeLayout(const CStereoWorkspace& ws, CompositeLayout& l) {
    const int w = ws.width(), h = ws.height();
    for (int i = 0; i < ws.viewCount(); ++i)
        if (ws.view(i).width() != w || ws.view(i).height() != h) return false;
    return compositeLayout(ws, w, h, l);
}

// One composite row of a picture `width` wide from the N view rows sp.
void composeRow(const CompositeLayout& l, int width, const Pixel* const* sp, Pixel* d) {
    const int n = l.n, p = l.p;
    // Written in order, each group gathering its column from every view.
    Pixel* dp = d;
    for (int g = 0, c = 0; g < l.wholeGroups; ++g, c += p, dp += n)
        for (int i = 0; i < n; ++i) dp[i] = sp[i][c];
    for (int c = l.wholeGroups * p; c < width; c += p) {
        const long long base = static_cast<long long>(n) * c / p;
        const int count = static_cast<int>(std::min<long long>(n, l.cw - base));
        for (int i = 0; i < count; ++i) d[base + i] = sp[i][c];
    }
}

// One composite row from view row sy of the workspace's views (src: scratch
// of N pointers).
void composeRow(const CStereoWorkspace& ws, const CompositeLayout& l, int sy, Pixel* d, std::vector<const Pixel*>& src) {
    for (int i = 0; i < l.n; ++i) src[static_cast<std::size_t>(i)] = ws.view(i).row(sy);
    composeRow(l, ws.width(), src.data(), d);
}

}  // namespace

Size CStereoWorkspace::compositeSize() const {
    CompositeLayout l;
    if (!compositeLayout(*this, m_width, m_height, l)) return Size{0, 0};
    return Size{l.cw, l.ch};
}

bool CStereoWorkspace::BuildComposite() {
    CompositeLayout l;
    if (!compositeLayout(*this, l) || !m_composite.createUninitialized(l.cw, l.ch)) {
        m_composite.reset();
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    const int cw = l.cw;
    // Bands of rows at once on every core; each band starts afresh, so the
    // rows are the same whatever the split.
    cv::parallel_for_(cv::Range(0, l.ch), [&](const cv::Range& band) {
        std::vector<const Pixel*> src(static_cast<std::size_t>(l.n));
        for (int y = band.start; y < band.end; ++y) {
            Pixel* d = m_composite.row(y);
            const int sy = l.rows[static_cast<std::size_t>(y)];
            // A run of equal rows is copied whole: the vertical stretch repeats rows.
            if (y > band.start && sy == l.rows[static_cast<std::size_t>(y - 1)]) {
                std::memcpy(d, m_composite.row(y - 1), static_cast<std::size_t>(cw) * sizeof(Pixel));
                continue;
            }
            composeRow(*this, l, sy, d, src);
        }
    });
    // Texts kept flat stand once on the composite, at its scale.
    drawCompositeFlatTexts(*this, m_composite, l.n, l.p);
    return true;
}

bool CStereoWorkspace::Compose() {
    if (!BuildComposite()) return false;
    setDisplayMode(kModeComposite);
    Redraw();
    return true;
}

namespace {
void showPrintResolution(Host& host, int views, double lpi) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "保存した画像は解像度を%dDPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません",
                  static_cast<int>(views * lpi));
    host.message(text, MsgButtons::Ok, MsgIcon::Information);
}
}  // namespace

int CStereoWorkspace::WriteComposite(const std::string& path) {
    // Flat texts are drawn over the whole composite: that one is built.
    if (hasFlatTexts(*this)) return BuildComposite() ? SaveComposite(path) : 0;
    CompositeLayout l;
    if (!compositeLayout(*this, l)) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    showPrintResolution(m_host, viewCount(), m_lpi);
    // Every composite row repeats one view row: the row last made is kept
    // and made again only when the view row changes.
    std::vector<Pixel> row(static_cast<std::size_t>(l.cw));
    std::vector<const Pixel*> src(static_cast<std::size_t>(l.n));
    int made = -1;
    const PictureRows rows{l.cw, l.ch,
                           [&](int y) -> const Pixel* {
                               const int sy = l.rows[static_cast<std::size_t>(y)];
                               if (sy != made) composeRow(*this, l, sy, row.data(), src);
                               made = sy;
                               return row.data();
                           },
                           false, [&l](int y) -> long long { return l.rows[static_cast<std::size_t>(y)]; }, true};
    if (WriteStillImageRows(rows, path, m_settings.jpegQuality, CompositePrintDpi(*this))) return 1;
    m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return 0;
}

int CStereoWorkspace::GenerateAndWriteComposite(const std::string& path, ProgressSink* progress, int strength,
                                                int bandRowsWanted) {
    // Flat texts are drawn over the whole composite, objects over whole views.
    if (hasFlatTexts(*this) || !canGenerateViewBands()) {
        GenerateViews(progress, strength, false);
        for (int i = 0; i < viewCount(); ++i)
            if (view(i).empty()) return 0;
        return WriteComposite(path);
    }
    if (!BeginViewBands(strength)) return 0;  // out of memory, told
    CompositeLayout l;
    if (!compositeLayout(*this, m_width, m_height, l)) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    if (progress) {
        progress->setRange(0, l.ch);
        progress->setPosition(0);
    }
    showPrintResolution(m_host, viewCount(), m_lpi);
    // The views are made a band of view rows at a time (a few megabytes
    // across all of them) and the band's distinct composite rows composed,
    // on every core. Two bands are held: while the writer takes the rows of
    // one, the next one is made in the other, so the file is written while
    // the views are synthesised.
    const long long viewRowBytes = static_cast<long long>(l.n) * m_width * static_cast<long long>(sizeof(Pixel));
    const long long wanted = bandRowsWanted > 0 ? bandRowsWanted : (8ll << 20) / std::max(1ll, viewRowBytes);
    const int bandRows = static_cast<int>(std::clamp<long long>(wanted, 1, m_height));
    const int bandCount = (m_height + bandRows - 1) / bandRows;
    struct Band {
        std::vector<Surface> views;
        Surface composed;  // composed.row(k): the composite row of view row top + k
        int top = 0, bottom = 0;
    };
    std::array<Band, 2> held;
    for (Band& b : held) {
        b.views.resize(static_cast<std::size_t>(l.n));
        for (Surface& v : b.views)
            if (!v.createUninitialized(m_width, bandRows)) {
                m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                return 0;
            }
        if (!b.composed.createUninitialized(l.cw, bandRows)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return 0;
        }
    }
    // The writer asks for the rows from the top down, or from the bottom up
    // (a BMP): band k counts in that order.
    bool upward = false;
    const auto make = [&](int k, Band& b) {
        b.bottom = upward ? m_height - k * bandRows : std::min(m_height, (k + 1) * bandRows);
        b.top = upward ? std::max(0, b.bottom - bandRows) : k * bandRows;
        MakeViewBand(b.top, b.bottom, b.views);  // no memory to take: cannot fail
        cv::parallel_for_(cv::Range(b.top, b.bottom), [&](const cv::Range& r) {
            std::vector<const Pixel*> src(static_cast<std::size_t>(l.n));
            for (int v = r.start; v < r.end; ++v) {
                for (int i = 0; i < l.n; ++i) src[static_cast<std::size_t>(i)] = b.views[static_cast<std::size_t>(i)].row(v - b.top);
                composeRow(l, m_width, src.data(), b.composed.row(v - b.top));
            }
        });
    };
    int current = -1;  // the band the writer takes rows from (held[current % 2])
    std::future<void> next;  // band current + 1, being made
    const PictureRows rows{l.cw, l.ch, [&](int y) -> const Pixel* {
                               const int sy = l.rows[static_cast<std::size_t>(y)];
                               if (progress && (y & 63) == 0) progress->setPosition(y);
                               if (current < 0) upward = sy == m_height - 1 && m_height > 1;
                               const int k = upward ? (m_height - 1 - sy) / bandRows : sy / bandRows;
                               if (k != current) {
                                   const bool madeAhead = next.valid();
                                   if (madeAhead) next.get();
                                   // Band k is the one made ahead unless rows were skipped
                                   // (or no thread could be had to make it).
                                   if (!madeAhead || k != current + 1 || current < 0)
                                       make(k, held[static_cast<std::size_t>(k % 2)]);
                                   current = k;
                                   if (k + 1 < bandCount) {
                                       try {
                                           next = std::async(std::launch::async, make, k + 1,
                                                             std::ref(held[static_cast<std::size_t>((k + 1) % 2)]));
                                       } catch (const std::system_error&) {
                                           // No thread: the band is made here when it is reached.
                                       }
                                   }
                               }
                               const Band& b = held[static_cast<std::size_t>(current % 2)];
                               return b.composed.row(sy - b.top);
                           },
                           false, [&l](int y) -> long long { return l.rows[static_cast<std::size_t>(y)]; }, true};
    const bool written = WriteStillImageRows(rows, path, m_settings.jpegQuality, CompositePrintDpi(*this));
    if (next.valid()) next.get();
    if (written) return 1;
    m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return 0;
}

int CStereoWorkspace::SaveComposite(const std::string& pathIn) {
    if (m_composite.empty()) return 0;
    showPrintResolution(m_host, viewCount(), m_lpi);
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = m_host.askSavePath("bmp", kCompositeFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    return SaveInterleavedImage(m_host, m_composite, path, m_settings.jpegQuality, CompositePrintDpi(*this));
}

}  // namespace plastora
