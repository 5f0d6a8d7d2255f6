// The lenticular composite: the views interleaved column by column.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PrintResolution.h"
#include "overlay/ObjectDraw.h"

#include <opencv2/core/utility.hpp>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <vector>

namespace plastora {

namespace {
constexpr const char* kCompositeFilter = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||";
}

bool CStereoWorkspace::BuildComposite() {
    const int n = viewCount();
    const int p = std::max(1, m_settings.pitch);
    const long long cwl = static_cast<long long>(n) * m_width / p;
    const long long chl = static_cast<long long>(n) * m_height / p;
    for (int i = 0; i < n; ++i)
        if (view(i).width() != m_width || view(i).height() != m_height) return false;
    if (cwl <= 0 || chl <= 0 || cwl > 0x7FFFFFFF || chl > 0x7FFFFFFF ||
        !m_composite.createUninitialized(static_cast<int>(cwl), static_cast<int>(chl))) {
        m_composite.reset();
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    const int cw = static_cast<int>(cwl), ch = static_cast<int>(chl);
    // Composite column N*c/P + i holds column c of view i, stretched
    // vertically from H to CH by nearest rows; columns past CW are clipped.
    std::vector<int> rows(static_cast<std::size_t>(ch));
    for (int y = 0; y < ch; ++y)
        rows[static_cast<std::size_t>(y)] =
            std::min(m_height - 1, static_cast<int>((static_cast<long long>(y) * m_height + m_height / 2) / ch));
    // Groups of N columns that fit whole; the last group may be clipped.
    int wholeGroups = 0;
    while (wholeGroups * p < m_width && static_cast<long long>(n) * wholeGroups * p / p + n <= cw) ++wholeGroups;
    // Bands of rows at once on every core; each band starts afresh, so the
    // rows are the same whatever the split.
    cv::parallel_for_(cv::Range(0, ch), [&](const cv::Range& band) {
        std::vector<const Pixel*> src(static_cast<std::size_t>(n));
        for (int y = band.start; y < band.end; ++y) {
            Pixel* d = m_composite.row(y);
            const int sy = rows[static_cast<std::size_t>(y)];
            // A run of equal rows is copied whole: the vertical stretch repeats rows.
            if (y > band.start && sy == rows[static_cast<std::size_t>(y - 1)]) {
                std::memcpy(d, m_composite.row(y - 1), static_cast<std::size_t>(cw) * sizeof(Pixel));
                continue;
            }
            for (int i = 0; i < n; ++i) src[static_cast<std::size_t>(i)] = view(i).row(sy);
            // Written in order, each group gathering its column from every view.
            const Pixel* const* sp = src.data();
            Pixel* dp = d;
            for (int g = 0, c = 0; g < wholeGroups; ++g, c += p, dp += n)
                for (int i = 0; i < n; ++i) dp[i] = sp[i][c];
            for (int c = wholeGroups * p; c < m_width; c += p) {
                const long long base = static_cast<long long>(n) * c / p;
                const int count = static_cast<int>(std::min<long long>(n, cw - base));
                for (int i = 0; i < count; ++i) d[base + i] = src[static_cast<std::size_t>(i)][c];
            }
        }
    });
    // Texts kept flat stand once on the composite, at its scale.
    drawCompositeFlatTexts(*this, m_composite, n, p);
    return true;
}

bool CStereoWorkspace::Compose() {
    if (!BuildComposite()) return false;
    m_mode = kModeComposite;
    Redraw();
    return true;
}

int CStereoWorkspace::SaveComposite(const std::string& pathIn) {
    if (m_composite.empty()) return 0;
    char text[256];
    std::snprintf(text, sizeof text,
                  "保存した画像は解像度を%dDPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません",
                  static_cast<int>(viewCount() * m_lpi));
    m_host.message(text, MsgButtons::Ok, MsgIcon::Information);
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = m_host.askSavePath("bmp", kCompositeFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    return SaveStillImage(m_host, m_composite, m_composite.width(), m_composite.height(), path, m_settings.jpegQuality,
                          CompositePrintDpi(*this));
}

}  // namespace plastora
