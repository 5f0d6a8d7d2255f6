// View synthesis, the stereo command and the view animation.
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/DepthViews.h"
#include "layers/ViewSynthesis.h"
#include "output/Interlace.h"
#include "overlay/ObjectDraw.h"
#include "stereo/PatternMultiView.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace plastora {

namespace {
constexpr const char* kHighResCaption = "高解像度立体画像作成中";

ColorRef greyOf(int level) {
    const unsigned l = static_cast<unsigned>(std::clamp(level, 0, 255));
    return RGB(l, l, l);
}
}  // namespace

bool WorkspaceDialogs::stereoDialog(CStereoWorkspace& ws, bool /*autoStart*/, bool& interlace) {
    interlace = Settings(ws.settingsPath()).getFlag(SettingKey::InterlaceStereo);
    // A stereo pair's views come from its pictures, matched as the dialog's
    // pattern-match tick would start.
    if (ws.stereoPair()) BuildPatternMultiView(ws, nullptr, ws.strength(), defaultPatternMatchTick(ws, ws.strength()));
    else ws.GenerateViews(nullptr, ws.strength(), false);
    return true;
}

bool CStereoWorkspace::prepareViewSources(int strength) {
    m_strength = strength;
    // Region plates: P[i] is the source with every region drawn after i
    // removed and mirror-filled; the last is the background plate (every
    // region removed). Without regions the source is the background. Only
    // the background plate is needed whole: of P[i] the cards need just the
    // part under region i. The masks' bounds are remembered between
    // generations (until a region changes).
    const CStereoWorkspace& self = *this;
    const int c = m_regionCount;
    std::vector<const Surface*> masks(static_cast<std::size_t>(c));
    std::vector<Rect> bounds(static_cast<std::size_t>(c));
    cv::parallel_for_(cv::Range(0, c), [&](const cv::Range& r) {
        for (int j = r.start; j < r.end; ++j) bounds[static_cast<std::size_t>(j)] = regionBounds(j);
    });
    for (int j = 0; j < c; ++j) masks[static_cast<std::size_t>(j)] = &self.region(j).mask;
    m_scratchPaintBounds = hasPaintLayer() ? maskBounds(m_paintMask) : Rect{};
    if (buildRegionCards(m_scratchCards, m_scratchPlate, m_source, masks, bounds)) return true;
    m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
    return false;
}

// Rows [y0, y1) of view a: the background shifted by its depth, the shadow
// of region 0, every region's card, then the paint layer's shadow and the
// paint layer, each moved by its depth.
void CStereoWorkspace::synthesiseViewRows(Surface& v, int top, int a, int y0, int y1) const {
    const int n = viewCount();
    const int c = m_regionCount;
    const Surface& background = c > 0 ? m_scratchPlate : m_source;
    const ColorRef shadow = greyOf(m_settings.shadowLevel);
    const int xb = viewShift(a, n, backgroundDepth, m_strength);
    const auto rowsOf = [](const Rect& b, int r0, int r1) { return Rect{b.left, std::max(b.top, r0), b.right, std::min(b.bottom, r1)}; };
    copyShiftedOnWhite(v, background, xb, y0, y1, top);
    if (c > 0 && regionShadow) {
        const Rect b = m_scratchCards[0].bounds;
        paintThroughMask(v, top, region(0).mask, nullptr, shadow, xb, rowsOf(b, y0, y1));
    }
    for (int j = 0; j < c; ++j)
        drawCard(v, m_scratchCards[static_cast<std::size_t>(j)], viewShift(a, n, region(j).depth, m_strength), y0, y1, top);
    if (hasPaintLayer()) {
        const Rect pb = rowsOf(m_scratchPaintBounds, y0, y1);
        if (paintShadow) paintThroughMask(v, top, m_paintMask, nullptr, shadow, xb, pb);
        paintThroughMask(v, top, m_paintMask, &m_paint, 0, viewShift(a, n, paintDepth, m_strength), pb);
    }
}

void CStereoWorkspace::GenerateViews(ProgressSink* progress, int strength, bool extremesOnly) {
    // A stereo pair has no regions to synthesise from: its views are filled
    // from its pictures, the in-between ones matched by the same rule as the
    // stereo dialog starts with (only the two outer views are asked for
    // here when extremesOnly, so nothing is matched then).
    if (m_stereoPair) {
        BuildPatternMultiView(*this, progress, strength, !extremesOnly && defaultPatternMatchTick(*this, strength));
        return;
    }
    if (hasDepthMap()) {
        GenerateDepthViews(*this, progress, strength, extremesOnly);
        return;
    }
    const int n = viewCount();
    const int step = extremesOnly ? n - 1 : 1;
    std::vector<int> wanted;
    for (int a = 0; a < n; a += step) wanted.push_back(a);
    makeViews(progress, strength, wanted, !extremesOnly, nullptr);
}

bool CStereoWorkspace::GenerateViewsInto(ProgressSink* progress, int strength, const ViewSink& sink) {
    if (m_stereoPair || hasDepthMap()) {
        // These views are made whole; they are handed over on every core.
        GenerateViews(progress, strength, false);
        for (int i = 0; i < viewCount(); ++i)
            if (view(i).empty()) return false;
        std::vector<char> taken(static_cast<std::size_t>(viewCount()), 0);
        cv::parallel_for_(cv::Range(0, viewCount()), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i) taken[static_cast<std::size_t>(i)] = sink(i, std::as_const(*this).view(i));
        });
        return std::all_of(taken.begin(), taken.end(), [](char t) { return t != 0; });
    }
    std::vector<int> wanted(static_cast<std::size_t>(viewCount()));
    for (int a = 0; a < viewCount(); ++a) wanted[static_cast<std::size_t>(a)] = a;
    return makeViews(progress, strength, wanted, true, &sink);
}

bool CStereoWorkspace::GenerateViewRowsInto(ProgressSink* progress, int strength, const ViewRowsSink& sink) {
    if (!canGenerateViewBands())
        return GenerateViewsInto(progress, strength, [&sink](int a, const Surface& v) { return sink(a, rowsOf(v)); });
    if (progress) {
        progress->setRange(0, 100);
        progress->setPosition(1);
    }
    if (!BeginViewBands(strength)) return false;
    if (progress) progress->setPosition(50);
    const int n = viewCount();
    const int band = viewBandRows();
    std::atomic<int> finished{0};
    std::atomic<bool> refused{false}, outOfMemory{false};
    // One view from the first row asked to the last: a band of rows is made
    // whenever a row outside the band is asked for, starting at that row in
    // the direction the rows are asked in (upward when the row is the one
    // above the band, or the last row after a jump).
    const auto hand = [&](int a) {
        Surface rows;
        if (!rows.createUninitialized(m_width, band)) {
            outOfMemory = true;
            return false;
        }
        int top = 0, bottom = 0;  // the rows held: [top, bottom)
        const PictureRows picture{m_width, m_height, [&](int y) -> const Pixel* {
                                      if (y < 0 || y >= m_height) return nullptr;
                                      if (y < top || y >= bottom) {
                                          const bool upward =
                                              y != bottom && (y == top - 1 || (y == m_height - 1 && m_height > 1));
                                          top = upward ? std::max(0, y + 1 - band) : y;
                                          bottom = upward ? y + 1 : std::min(m_height, y + band);
                                          synthesiseViewRows(rows, top, a, top, bottom);
                                      }
                                      return rows.row(y - top);
                                  }};
        return sink(a, picture);
    };
    // This thread takes its share of the views too, and shows the progress
    // whenever it has handed one over.
    const std::thread::id caller = std::this_thread::get_id();
    cv::parallel_for_(
        cv::Range(0, n),
        [&](const cv::Range& r) {
            for (int a = r.start; a < r.end; ++a) {
                if (refused || outOfMemory) return;
                if (!hand(a)) refused = true;
                const int done = ++finished;
                if (progress && std::this_thread::get_id() == caller) progress->setPosition(50 + 50 * done / n);
            }
        },
        n);
    if (outOfMemory) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (progress) progress->setPosition(100);
    return !refused;
}

int CStereoWorkspace::viewBandRows() const {
    return std::max(1, (192 << 10) / std::max(1, m_width * static_cast<int>(sizeof(Pixel))));
}

bool CStereoWorkspace::makeViews(ProgressSink* progress, int strength, const std::vector<int>& wanted,
                                 bool showProgress, const ViewSink* sink) {
    if (progress) {
        progress->setRange(0, 100);
        progress->setPosition(1);
    }
    // The old views are discarded; their memory is kept for the new ones.
    for (auto& v : m_views)
        if (!v.empty()) m_viewPool.push_back(std::move(v));
    discardViews();
    if (!prepareViewSources(strength)) return false;
    if (progress) progress->setPosition(50);
    const int n = viewCount();
    // The views are independent of each other: they are synthesised a batch
    // at a time, one view per core. Memory is taken, objects drawn (through
    // QPainter) and progress shown on this thread, in view order.
    // Each view is made a band of rows at a time, every layer drawn over the
    // band while it is still in the cache.
    const int band = viewBandRows();
    const auto synthesise = [&](int a) {
        Surface& v = m_views[static_cast<std::size_t>(a)];
        for (int y0 = 0; y0 < m_height; y0 += band) synthesiseViewRows(v, 0, a, y0, std::min(m_height, y0 + band));
    };
    const std::size_t batch = static_cast<std::size_t>(std::max(1, cv::getNumThreads()));
    // With a sink, each view is handed over on a thread of its own as soon
    // as its batch is made, while the next batch is synthesised: the
    // writing (mostly waiting for the disk) overlaps the synthesis. At most
    // two batches exist at once; a view's memory goes back to the pool when
    // the sink is done with it.
    std::deque<std::pair<int, std::future<bool>>> handed;
    bool refused = false;
    const auto settle = [&](std::size_t keep) {
        while (handed.size() > keep) {
            auto [a, done] = std::move(handed.front());
            handed.pop_front();
            if (!done.get()) refused = true;
            m_viewPool.push_back(std::move(m_views[static_cast<std::size_t>(a)]));
        }
    };
    for (std::size_t from = 0; from < wanted.size() && !refused; from += batch) {
        const std::size_t count = std::min(batch, wanted.size() - from);
        settle(batch);
        if (refused) break;
        std::size_t ready = 0;
        for (; ready < count; ++ready) {
            Surface& v = m_views[static_cast<std::size_t>(wanted[from + ready])];
            if (!m_viewPool.empty()) {
                v = std::move(m_viewPool.back());
                m_viewPool.pop_back();
            }
            if (!v.createUninitialized(m_width, m_height)) break;
        }
        cv::parallel_for_(cv::Range(0, static_cast<int>(ready)), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i) synthesise(wanted[from + static_cast<std::size_t>(i)]);
        });
        for (std::size_t i = 0; i < ready; ++i) {
            const int a = wanted[from + i];
            DrawObjects(m_views[static_cast<std::size_t>(a)], a);
            if (progress && showProgress) progress->setPosition(50 * (a + 1) / n + 50);
        }
        if (ready < count) {
            settle(0);
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        if (sink)
            for (std::size_t i = 0; i < ready; ++i) {
                const int a = wanted[from + i];
                const auto handOver = [this, sink, a] {
                    return (*sink)(a, std::as_const(m_views[static_cast<std::size_t>(a)]));
                };
                try {
                    handed.emplace_back(a, std::async(std::launch::async, handOver));
                } catch (const std::system_error&) {
                    // No thread to be had: handed over here, and waited for.
                    std::promise<bool> done;
                    done.set_value(handOver());
                    handed.emplace_back(a, done.get_future());
                }
            }
    }
    settle(0);
    return !refused;
}

bool CStereoWorkspace::canGenerateViewBands() const {
    if (m_stereoPair || hasDepthMap() || m_width <= 0 || m_height <= 0) return false;
    // Objects are drawn over whole views (flat texts are not drawn into them).
    for (int i = 0; i < m_objectCount; ++i) {
        const ObjectEntry& e = objectEntry(i);
        if (e.object && !(e.type == kObjectText && (e.object->flags & kTextFlat))) return false;
    }
    return true;
}

bool CStereoWorkspace::BeginViewBands(int strength) {
    if (!canGenerateViewBands()) return false;
    discardViews();
    return prepareViewSources(strength);
}

bool CStereoWorkspace::MakeViewBand(int y0, int y1, std::vector<Surface>& bands) {
    y0 = std::max(0, y0);
    y1 = std::min(m_height, y1);
    if (y1 <= y0) return true;
    bands.resize(static_cast<std::size_t>(viewCount()));
    for (Surface& b : bands)
        if ((b.width() != m_width || b.height() < y1 - y0) && !b.createUninitialized(m_width, y1 - y0)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
    cv::parallel_for_(cv::Range(0, viewCount()), [&](const cv::Range& r) {
        for (int a = r.start; a < r.end; ++a) synthesiseViewRows(bands[static_cast<std::size_t>(a)], y0, a, y0, y1);
    });
    return true;
}

int CStereoWorkspace::highResRatio() const {
    if (m_stereoPair && m_highResCount > 0 && m_width > 0 && m_height > 0) {
        const Surface& first = m_highRes[0];
        const int k = first.width() / m_width;
        if (k >= 1 && first.width() == k * m_width && first.height() == k * m_height) return k;
    }
    return std::max(1, m_settings.hdRatio);
}

bool CStereoWorkspace::GenerateHighResPair(Surface& left, Surface& right, bool fromStereoPair, bool flatTexts) {
    const int r = fromStereoPair ? highResRatio() : std::max(1, m_settings.hdRatio);
    const int W = m_width * r, H = m_height * r;
    const int n = viewCount();
    const int c = m_regionCount;
    const ColorRef shadow = greyOf(m_settings.shadowLevel);
    // The paint layer enlarged by R (by nearest pixel, so its mask stays black
    // and white), for the views below.
    Surface paint, paintMask;
    const auto enlargePaint = [&] {
        return !hasPaintLayer() ||
               (paint.create(W, H) && paintMask.create(W, H) &&
                stretchBlit(paint, 0, 0, W, H, m_paint, 0, 0, m_width, m_height, Rop::Copy, StretchMode::Nearest) &&
                stretchBlit(paintMask, 0, 0, W, H, m_paintMask, 0, 0, m_width, m_height, Rop::Copy, StretchMode::Nearest));
    };
    // What every view gets over its picture: the paint layer (keeping its
    // working-size shift, scaled by R, with its shadow unshifted), the
    // overlay objects and, unless left out, the flat texts.
    const auto finishView = [&](Surface& v, int a, const Rect& paintBounds) {
        if (!paint.empty()) {
            if (paintShadow) paintThroughMask(v, paintMask, nullptr, shadow, 0, paintBounds);
            paintThroughMask(v, paintMask, &paint, 0, scaledViewShift(viewShift(a, n, paintDepth, m_strength), r), paintBounds);
        }
        DrawObjects(v, a, r);
        if (flatTexts) drawFlatTexts(*this, v, r);
    };
    if (fromStereoPair) {
        if (m_highResCount <= 0) return false;
        // The left picture (slot 0, the working picture's) and the right
        // one (the last), which are also the pictures of views N-1 and 0.
        const Surface& first = m_highRes[0];
        const Surface& last = m_highRes[static_cast<std::size_t>(m_highResCount - 1)];
        if (!left.createCopy(first) || !right.createCopy(last)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        // The stored pictures are the eyes' views; what the user added on top
        // of them goes on as in every view. Pictures of another size than
        // R times the working size have no place for it and stay as stored.
        if (left.width() != W || left.height() != H || right.width() != W || right.height() != H) return true;
        if (!enlargePaint()) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        const Rect paintBounds = paintMask.empty() ? Rect{} : maskBounds(paintMask);
        for (int a = 0; a < n; a += std::max(1, n - 1)) finishView(a == 0 ? right : left, a, paintBounds);
        return true;
    }
    if (hasDepthMap()) {
        // The pictures from the map; then what every view gets on top, as
        // for a document of layers (the paint shadow and flat texts too).
        if (!GenerateDepthHighResPair(*this, left, right)) return false;
        if (!enlargePaint()) {
            left.reset();
            right.reset();
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        const Rect paintBounds = paintMask.empty() ? Rect{} : maskBounds(paintMask);
        for (int a = 0; a < n; a += std::max(1, n - 1)) finishView(a == 0 ? right : left, a, paintBounds);
        return true;
    }
    // The high-resolution copy of the photo, or the working image enlarged.
    Surface enlarged;
    const Surface* source = &m_highRes[0];
    if (m_highResCount < 1 || source->width() != W || source->height() != H) {
        if (!enlarged.create(W, H) ||
            !stretchBlit(enlarged, 0, 0, W, H, m_source, 0, 0, m_width, m_height, Rop::Copy, StretchMode::Halftone)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        source = &enlarged;
    }
    HostProgress progress(m_host, kHighResCaption);
    // Each mask enlarged by R only inside its bounds (by nearest pixel: it
    // stays black and white), so that a print-sized pair holds no
    // picture-sized mask per region; the first whole when the region shadow
    // needs it.
    std::vector<Surface> masks(static_cast<std::size_t>(c));
    std::vector<Rect> bounds(static_cast<std::size_t>(c));
    Surface shadowMask;
    bool ok = true;
    for (int j = 0; ok && j < c; ++j) {
        const Rect b = regionBounds(j);
        if (b.width() <= 0 || b.height() <= 0) continue;
        bounds[static_cast<std::size_t>(j)] = Rect{b.left * r, b.top * r, b.right * r, b.bottom * r};
        Surface& m = masks[static_cast<std::size_t>(j)];
        ok = m.create(b.width() * r, b.height() * r) &&
             stretchBlit(m, 0, 0, m.width(), m.height(), region(j).mask, b.left, b.top, b.width(), b.height(), Rop::Copy,
                         StretchMode::Nearest);
        progress.setPosition(10 * (j + 1) / c);
    }
    if (ok && c > 0 && regionShadow)
        ok = shadowMask.create(W, H) && stretchBlit(shadowMask, 0, 0, W, H, region(0).mask, 0, 0, m_width, m_height,
                                                    Rop::Copy, StretchMode::Nearest);
    if (ok) ok = enlargePaint();
    // The cards and background plate at R times the size, made as for the
    // working-size views (only the parts the cards need).
    std::vector<Card> cards;
    Surface backgroundPlate;
    if (ok && c > 0) {
        std::vector<const Surface*> maskList(static_cast<std::size_t>(c));
        for (int j = 0; j < c; ++j) maskList[static_cast<std::size_t>(j)] = &masks[static_cast<std::size_t>(j)];
        progress.setPosition(10);
        ok = buildRegionCards(cards, backgroundPlate, *source, maskList, bounds);
        masks.clear();
        progress.setPosition(40);
    }
    if (!ok || !right.create(W, H) || !left.create(W, H)) {
        left.reset();
        right.reset();
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    const Surface& background = c > 0 ? backgroundPlate : *source;
    const Rect paintBounds = paintMask.empty() ? Rect{} : maskBounds(paintMask);
    // View 0 (right eye) first, then view N-1 (left eye).
    for (int a = 0; a < n; a += std::max(1, n - 1)) {
        Surface& v = a == 0 ? right : left;
        const int xb = viewShiftHighRes(a, n, backgroundDepth, m_strength, r);
        blit(v, Rop::Whiteness);
        blit(v, xb, 0, W, H, &background, 0, 0, Rop::Copy);
        if (!shadowMask.empty()) paintThroughMask(v, shadowMask, nullptr, shadow, xb, bounds[0]);
        for (int j = 0; j < c; ++j)
            drawCard(v, cards[static_cast<std::size_t>(j)], viewShiftHighRes(a, n, std::as_const(*this).region(j).depth, m_strength, r));
        finishView(v, a, paintBounds);
        progress.setPosition(a == 0 ? 50 : 100);
    }
    return true;
}

int CStereoWorkspace::RunStereoDialog(bool autoStart) {
    bool interlace = false;
    WorkspaceDialogs defaults;
    WorkspaceDialogs& dialogs = m_dialogs ? *m_dialogs : defaults;
    if (!dialogs.stereoDialog(*this, autoStart, interlace)) return 0;
    if (!hasViews()) return 0;
    m_zoom = 1;
    m_tool = kToolNone;
    // The interlace display when asked for (and when it can be built),
    // otherwise the animation.
    if (!interlace || !CreateInterlace(*this)) StartViewAnimation();
    return 1;
}

bool CStereoWorkspace::EnsureViews() {
    if (hasViews()) return true;
    if (m_host.message(kAskMakeViews, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return false;
    return RunStereoDialog(false) == 1 && hasViews();
}

int CStereoWorkspace::animationInterval() const {
    return Settings(m_settingsPath).getInt(SettingKey::StereoInterval) * 8 / viewCount();
}

void CStereoWorkspace::StartViewAnimation() {
    setDisplayMode(kModeAnimation);
    m_animFrame = 0;
    m_animDirection = 1;
    Redraw();
}

void CStereoWorkspace::AnimationTick() {
    if (m_mode != kModeAnimation) return;
    const int n = viewCount();
    m_animFrame += m_animDirection;
    if (m_animFrame >= n) {
        m_animDirection = -1;
        m_animFrame = n - 2;
    }
    if (m_animFrame < 0) {
        m_animDirection = 1;
        m_animFrame = 1;
    }
    Redraw();
}

}  // namespace plastora
