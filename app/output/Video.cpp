#include "output/Video.h"

#include "core/Progress.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "overlay/ObjectDraw.h"
#include "output/Anaglyph.h"
#include "output/MjpegAvi.h"
#include "platform/SafeFile.h"
#include "pixelune/pixelune.h"
#include "stereo/PatternMultiView.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unistd.h>

namespace plastora {

const char* const kMovieFlatTextMessage =
    "文字に立体化しない設定があります。この文字を動画にするには設定を外して遠近設定を0にしてください。";

namespace {

namespace fs = std::filesystem;

constexpr const char* kFrameFilter = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg||";
constexpr const char* kMovieFilter = "ﾑｰﾋﾞｰﾌｧｲﾙ(*.avi)|*.avi|GIFｱﾆﾒｰｼｮﾝ(*.gif)|*.gif||";
constexpr const char* kCaptionWriting = "動画ファイル作成中";
constexpr const char* kCaptionReducing = "減色処理中(時間がかかります)";

void memoryMessage(CStereoWorkspace& ws) { ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error); }

// Progress of frame `index` of a sequence with `perPass` frames a pass, as
// (j + p x (N - 1)), the count the progress formulas are written in.
int sweepCount(int index, int perPass, int viewCount) {
    const int p = index / perPass;
    const int j = index % perPass;
    return j + p * (viewCount - 1);
}

}  // namespace

// ---- settings ------------------------------------------------------------

VideoSettings videoResetValues() {
    VideoSettings s;
    s.fps = 10.0;
    s.loop = 10;
    return s;
}

VideoSettings readVideoSettings(const std::string& settingsPath) {
    const Settings st(settingsPath);
    VideoSettings s;
    s.stereoType = st.getInt(SettingKey::VideoStereoType);
    if (s.stereoType < kMovie || s.stereoType > kFrameColumnInterlace) s.stereoType = kMovie;
    s.videoSize = st.getInt(SettingKey::VideoVideoSize);
    if (s.videoSize < 0 || s.videoSize >= kVideoSizeCount) s.videoSize = 1;
    s.reverseStereo = st.getFlag(SettingKey::VideoReverseStereo);
    s.fps = std::clamp(st.getFloat(SettingKey::VideoFPS), kMinFps, kMaxFps);
    s.loop = std::clamp(st.getInt(SettingKey::VideoLoop), kMinLoop, kMaxLoop);
    s.gifOwnSize = st.getFlag(SettingKey::VideoGifSize);
    return s;
}

bool writeVideoSettings(const std::string& settingsPath, const VideoSettings& s) {
    return Settings(settingsPath)
        .setAll({{SettingKey::VideoStereoType, s.stereoType},
                 {SettingKey::VideoVideoSize, s.videoSize},
                 {SettingKey::VideoReverseStereo, s.reverseStereo},
                 {SettingKey::VideoFPS, s.fps},
                 {SettingKey::VideoLoop, s.loop},
                 {SettingKey::VideoGifSize, s.gifOwnSize}});
}

Size videoFrameSize(const std::string& settingsPath, int sizeIndex) {
    const SettingSize sz = Settings(settingsPath).getSize(SettingKey::VideoSizeN, sizeIndex + 1);
    return {std::max(1, static_cast<int>(sz.width)), std::max(1, static_cast<int>(sz.height))};
}

// ---- frame geometry --------------------------------------------------------

Rect fitIntoFrame(int wv, int hv, int w, int h) {
    const std::int64_t a = std::int64_t{wv} * h;
    const std::int64_t b = std::int64_t{hv} * w;
    if (w > 0 && a < b) {
        // A picture far wider than the frame keeps at least one row.
        const int fh = std::max(1, static_cast<int>(a / w));
        const int top = (hv - fh) / 2;
        return {0, top, wv, top + fh};
    }
    if (h > 0 && b < a) {
        const int fw = std::max(1, static_cast<int>(b / h));
        const int left = (wv - fw) / 2;
        return {left, 0, left + fw, hv};
    }
    return {0, 0, wv, hv};
}

std::vector<int> movieFrameSequence(int viewCount, int passes, bool extremesOnly) {
    std::vector<int> seq;
    if (viewCount < 2 || passes < 1) return seq;
    const int perPass = extremesOnly ? 1 : viewCount - 1;
    seq.reserve(static_cast<std::size_t>(perPass) * static_cast<std::size_t>(passes));
    for (int p = 0; p < passes; ++p)
        for (int j = 0; j < perPass; ++j) seq.push_back((p & 1) ? viewCount - 1 - j : j);
    return seq;
}

bool movieUsesExtremesOnly(const CStereoWorkspace& ws) {
    if (!ws.stereoPair() || ws.highResCount() != 2) return false;
    const PatternMultiViewState* state = patternMultiViewState(ws);
    return !(state && state->patternMatch);
}

bool renderFittedFrame(Surface& frame, const Surface& view) {
    blit(frame, Rop::Blackness);
    const Rect r = fitIntoFrame(frame.width(), frame.height(), view.width(), view.height());
    if (r.width() <= 0 || r.height() <= 0) return true;
    return stretchBlit(frame, r.left, r.top, r.width(), r.height(), view, 0, 0, view.width(), view.height(), Rop::Copy,
                       StretchMode::Halftone);
}

// ---- AVI -------------------------------------------------------------------------

int WriteMovieAvi(CStereoWorkspace& ws, const std::string& path) {
    if (!ws.hasAllViews()) return 0;
    const VideoSettings settings = readVideoSettings(ws.settingsPath());
    const Size size = videoFrameSize(ws.settingsPath(), settings.videoSize);
    const int n = ws.viewCount();
    const bool extremesOnly = movieUsesExtremesOnly(ws);
    const std::vector<int> sequence = movieFrameSequence(n, settings.loop * 2, extremesOnly);
    const int perPass = extremesOnly ? 1 : n - 1;
    const int total = (n - 1) * settings.loop * 2;

    HostProgress progress(ws.host(), kCaptionWriting);
    // The movie sweeps over the same views again and again: each view shown
    // is fitted and encoded once (the views at once on every core), and its
    // JPEG written for each of its frames.
    std::vector<int> shown(sequence);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    std::vector<std::vector<std::uint8_t>> jpegs(static_cast<std::size_t>(n));
    std::vector<char> fitted(shown.size(), 0), encoded(shown.size(), 0);
    cv::parallel_for_(cv::Range(0, static_cast<int>(shown.size())), [&](const cv::Range& r) {
        Surface frame;
        for (int i = r.start; i < r.end; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if ((frame.empty() && !frame.create(size.cx, size.cy)) || !renderFittedFrame(frame, ws.view(shown[at])))
                continue;
            fitted[at] = 1;
            encoded[at] = encodeJpegFrame(frame, kMovieJpegQuality, jpegs[static_cast<std::size_t>(shown[at])]);
        }
    });
    if (std::find(fitted.begin(), fitted.end(), 0) != fitted.end()) {
        memoryMessage(ws);
        return 0;
    }
    // From here on every failure is one of writing the file: the previous
    // file stays as it was, and the message says the save failed.
    ReplacingFile out;
    bool written = std::find(encoded.begin(), encoded.end(), 0) == encoded.end() && out.open(path);
    if (written) {
        written = writeMjpegAvi([&out](const void* data, std::size_t bytes) { return out.write(data, bytes); }, size.cx,
                                size.cy, settings.fps, jpegs, sequence, [&](std::size_t k) {
                                    progress.setPosition(sweepCount(static_cast<int>(k), perPass, n) * 100 / total);
                                });
    }
    if (!written || !out.commit()) {
        out.discard();
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    return 1;
}

// ---- GIF -------------------------------------------------------------------------

namespace {

// Supplies the frames of a GIF: straight from the views (own size, cut to
// the frame width) or fitted into a frame bitmap the caller owns (one per
// thread when frames are made at once).
class GifFrames {
public:
    void init(CStereoWorkspace& ws, const VideoSettings& s) {
        m_ws = &ws;
        m_ownSize = s.gifOwnSize;
        if (m_ownSize) {
            // Rounded down to a multiple of 4 so that a 24-bit row has no
            // padding; a picture narrower than 4 keeps its width.
            m_width = ws.width() >= 4 ? ws.width() & ~3 : ws.width();
            m_height = ws.height();
            return;
        }
        const Size size = videoFrameSize(ws.settingsPath(), s.videoSize);
        m_width = size.cx;
        m_height = size.cy;
    }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The frame of view `v`, or null when the frame bitmap cannot be made or
    // the stretch fails.
    const Surface* frame(int v, Surface& bitmap) const {
        if (m_ownSize) return &m_ws->view(v);
        if (bitmap.empty() && !bitmap.create(m_width, m_height)) return nullptr;
        if (!renderFittedFrame(bitmap, m_ws->view(v))) return nullptr;
        return &bitmap;
    }

private:
    CStereoWorkspace* m_ws = nullptr;
    bool m_ownSize = true;
    int m_width = 0, m_height = 0;
};

// The frame's pixels in bottom-up row order, width x height.
void bottomUpPixels(const Surface& s, int width, int height, std::vector<Pixel>& out) {
    out.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int r = 0; r < height; ++r) {
        const Pixel* src = s.row(height - 1 - r);
        std::copy(src, src + width, out.begin() + static_cast<std::ptrdiff_t>(r) * width);
    }
}

// One coded GIF image as GifWrite puts it in the file, without the trailer
// each call ends with (the next image goes over it).
struct CodedImage {
    std::vector<std::uint8_t> bytes;
    std::atomic<bool> done{false};  // set by the thread that coded it, last
    bool failed = false;            // no frame bitmap or no memory
};

// Codes the frame of view `v` through GifWrite into memory: the first image
// of the file (header, palette, looping block) or a later one.
bool codeGifImage(const Surface& f, int w, int h, const std::array<std::uint32_t, 256>& palette,
                  NearestPalette& nearest, bool first, int delay, std::vector<std::uint8_t>& indices,
                  std::vector<std::uint8_t>& out) {
    indices.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int r = 0; r < h; ++r) {
        const Pixel* src = f.row(h - 1 - r);
        std::uint8_t* d = indices.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) d[x] = nearest.nearest(src[x]);
    }
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* mem = ::open_memstream(&buffer, &size);
    if (!mem) return false;
    const int ok = GifWrite(first ? 0 : 1, mem, indices.data(), first ? palette.data() : nullptr, 8, w, h, w,
                            nullptr, delay, Point{-1, -1}, 0);
    const bool closed = std::fclose(mem) == 0;
    bool good = ok && closed && size > 0;
    if (good) {
        try {
            out.assign(buffer, buffer + size - 1);
        } catch (const std::bad_alloc&) {
            good = false;
        }
    }
    std::free(buffer);
    return good;
}

}  // namespace

int WriteMovieGif(CStereoWorkspace& ws, const std::string& path) {
    if (!ws.hasAllViews()) return 0;
    const VideoSettings settings = readVideoSettings(ws.settingsPath());
    const int n = ws.viewCount();
    GifFrames frames;
    frames.init(ws, settings);
    const int w = frames.width(), h = frames.height();
    if (w < 1 || h < 1) {
        memoryMessage(ws);
        return 0;
    }
    const int delay = static_cast<int>(100.0 / settings.fps);

    // The palette from the first frame.
    std::array<std::uint32_t, 256> palette{};
    bool clustered = false;
    {
        std::vector<Pixel> pixels;
        Surface bitmap;
        ws.host().progressBegin(kCaptionReducing, 0, 100);
        ws.host().progressSet(10);
        if (const Surface* first = frames.frame(0, bitmap)) {
            bottomUpPixels(*first, w, h, pixels);
            clustered = clusterPalette(pixels, palette);
        }
        ws.host().progressEnd();
    }
    if (!clustered) {
        memoryMessage(ws);
        return 0;
    }
    HostProgress progress(ws.host(), kCaptionWriting);
    progress.setPosition(30);
    progress.setPosition(50);

    ReplacingFile out;
    if (!out.open(path)) {
        // Said, as for the AVI: ending without a word left the user
        // believing the movie was written.
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }

    const bool extremesOnly = movieUsesExtremesOnly(ws);
    const std::vector<int> sequence = movieFrameSequence(n, 2, extremesOnly);
    const int perPass = extremesOnly ? 1 : n - 1;
    // Every later frame of the same view is the same coded image, so each is
    // coded once: image 0 is the file's first (with the header), image 1 + v
    // a later frame of view v. All images are mapped and coded at once, each
    // on the next core to come free. This thread takes its share too, and
    // whenever it has finished one it writes the frames that are ready, in
    // frame order (with their progress); the rest are written at the end. The
    // palette look-up tables (built as colours are met) are kept in a pool
    // and reused from image to image, so a thread meets each colour cell
    // once, not once per image.
    const auto imageOf = [&](std::size_t k) { return k == 0 ? std::size_t{0} : 1 + static_cast<std::size_t>(sequence[k]); };
    std::vector<CodedImage> images(1 + static_cast<std::size_t>(n));
    std::vector<std::size_t> order;                       // images in order of first use
    std::vector<std::size_t> lastUse(images.size(), 0);  // the last frame of each image
    for (std::size_t k = 0; k < sequence.size(); ++k) {
        if (std::find(order.begin(), order.end(), imageOf(k)) == order.end()) order.push_back(imageOf(k));
        lastUse[imageOf(k)] = k;
    }
    std::size_t written = 0;
    bool writeFailed = false;
    // Set on the first failure (a frame or a write): the images not yet
    // coded are left, as the movie will not be saved anyway.
    std::atomic<bool> stop{false};
    const auto writeReady = [&] {
        for (; !writeFailed && written < sequence.size(); ++written) {
            CodedImage& image = images[imageOf(written)];
            if (!image.done.load(std::memory_order_acquire) || image.failed) return;
            if (!out.write(image.bytes.data(), image.bytes.size())) {
                writeFailed = true;
                stop = true;
                return;
            }
            progress.setPosition(50 + sweepCount(static_cast<int>(written), perPass, n) * 50 / (2 * n - 2));
            if (lastUse[imageOf(written)] == written) std::vector<std::uint8_t>().swap(image.bytes);
        }
    };
    std::mutex poolLock;
    std::vector<std::unique_ptr<NearestPalette>> pool;
    const std::thread::id caller = std::this_thread::get_id();
    cv::parallel_for_(
        cv::Range(0, static_cast<int>(order.size())),
        [&](const cv::Range& r) {
            std::unique_ptr<NearestPalette> nearest;
            {
                const std::lock_guard<std::mutex> hold(poolLock);
                if (!pool.empty()) {
                    nearest = std::move(pool.back());
                    pool.pop_back();
                }
            }
            if (!nearest) nearest = std::make_unique<NearestPalette>(palette);
            Surface bitmap;
            std::vector<std::uint8_t> indices;
            for (int i = r.start; i < r.end && !stop.load(std::memory_order_relaxed); ++i) {
                const std::size_t image = order[static_cast<std::size_t>(i)];
                CodedImage& coded = images[image];
                const int view = image == 0 ? sequence[0] : static_cast<int>(image - 1);
                const Surface* f = frames.frame(view, bitmap);
                coded.failed = !f || !codeGifImage(*f, w, h, palette, *nearest, image == 0, delay, indices, coded.bytes);
                if (coded.failed) stop = true;
                coded.done.store(true, std::memory_order_release);
                if (std::this_thread::get_id() == caller) writeReady();
            }
            const std::lock_guard<std::mutex> hold(poolLock);
            pool.push_back(std::move(nearest));
        },
        static_cast<double>(order.size()));
    for (const std::size_t image : order)
        if (images[image].failed) {
            // A movie with frames missing is not saved: the previous file stays.
            out.discard();
            memoryMessage(ws);
            return 0;
        }
    writeReady();
    static const std::uint8_t kTrailer = 0x3B;
    if (written != sequence.size() || !out.write(&kTrailer, 1) || !out.commit()) {
        out.discard();
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    return 1;
}

// ---- stereo movie frames -------------------------------------------------------------

namespace {

// `src` fitted into a wv x hv frame and squeezed to half its width (`halfX`)
// or half its height (`halfY`), offsets halved too; the rest black.
bool squeezedFrame(Surface& out, const Surface& src, int wv, int hv, bool halfX, bool halfY) {
    if (!out.create(wv, hv)) return false;
    Rect r = fitIntoFrame(wv, hv, src.width(), src.height());
    int x = r.left, y = r.top, w = r.width(), h = r.height();
    // Halved, a side keeps at least one pixel.
    if (halfX) x /= 2, w = std::max(1, w / 2);
    if (halfY) y /= 2, h = std::max(1, h / 2);
    if (w <= 0 || h <= 0) return true;
    return stretchBlit(out, x, y, w, h, src, 0, 0, src.width(), src.height(), Rop::Copy, StretchMode::Halftone);
}

}  // namespace

bool BuildStereoMovieFrame(Surface& out, const Surface& a, const Surface& b, int kind, int wv, int hv,
                           bool squeezeInterlace) {
    if (kind < kFrameSideBySide || kind > kFrameColumnInterlace || a.empty() || b.empty()) return false;
    const bool squeeze = kind <= kFrameTopBottom || squeezeInterlace;
    const bool halfX = squeeze && (kind == kFrameSideBySide || kind == kFrameColumnInterlace);
    const bool halfY = squeeze && (kind == kFrameTopBottom || kind == kFrameRowInterlace);
    Surface fa, fb;
    if (!squeezedFrame(fa, a, wv, hv, halfX, halfY) || !squeezedFrame(fb, b, wv, hv, halfX, halfY)) return false;
    switch (kind) {
    case kFrameSideBySide: blit(fa, wv / 2, 0, wv / 2, hv, &fb, 0, 0, Rop::Copy); break;
    case kFrameTopBottom: blit(fa, 0, hv / 2, wv, hv / 2, &fb, 0, 0, Rop::Copy); break;
    case kFrameRowInterlace: {
        // Odd rows from the top carry A, even rows B. Squeezed: row pair i
        // (rows 2i and 2i + 1) takes row i of both halves.
        if (!out.create(wv, hv)) return false;
        for (int y = 0; y < hv; ++y) {
            const Surface& src = (y & 1) ? fa : fb;
            std::copy_n(src.row(halfY ? y / 2 : y), wv, out.row(y));
        }
        return true;
    }
    case kFrameColumnInterlace: {
        // Even columns from the left carry A, odd columns B.
        if (!out.create(wv, hv)) return false;
        for (int y = 0; y < hv; ++y) {
            const Pixel* ra = fa.row(y);
            const Pixel* rb = fb.row(y);
            Pixel* d = out.row(y);
            for (int x = 0; x < wv; ++x) {
                const int sx = halfX ? x / 2 : x;
                d[x] = (x & 1) ? rb[sx] : ra[sx];
            }
        }
        return true;
    }
    default: break;
    }
    out = std::move(fa);
    return true;
}

int MakeStereoMovieFrame(CStereoWorkspace& ws, const std::string& path, int kind) {
    const VideoSettings settings = readVideoSettings(ws.settingsPath());
    const Size size = videoFrameSize(ws.settingsPath(), settings.videoSize);
    // Which eye goes first: side by side keeps view 0 first unless reversed;
    // the other layouts put view N-1 first unless reversed.
    const bool swap = kind == kFrameSideBySide ? settings.reverseStereo : !settings.reverseStereo;
    Surface out;
    bool built = false;
    if (ws.highResCount() > 0) {
        Surface left, right;  // views N-1 and 0 at R x W by R x H
        if (!ws.GenerateHighResPair(left, right, ws.stereoPair())) return 0;
        built = BuildStereoMovieFrame(out, swap ? left : right, swap ? right : left, kind, size.cx, size.cy, false);
    } else {
        StereoSources sources;
        if (!prepareStereoSources(ws, sources)) {
            ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            return 0;
        }
        built = BuildStereoMovieFrame(out, swap ? *sources.left : *sources.right, swap ? *sources.right : *sources.left,
                                      kind, size.cx, size.cy, true);
    }
    if (!built) {
        memoryMessage(ws);
        return 0;
    }
    // The interlaced frames alternate the eyes row by row or column by column.
    if (kind == kFrameRowInterlace || kind == kFrameColumnInterlace)
        return SaveInterleavedImage(ws.host(), out, path, ws.settings().jpegQuality);
    return SaveStillImage(ws.host(), out, out.width(), out.height(), path, ws.settings().jpegQuality);
}

// ---- the command ------------------------------------------------------------------

bool canMakeMovie(const CStereoWorkspace& ws) {
    return (ws.viewCount() > 0 && !ws.view(0).empty()) || ws.highResCount() > 0;
}

int MakeMovie(CStereoWorkspace& ws) {
    const VideoSettings settings = readVideoSettings(ws.settingsPath());
    Host& host = ws.host();
    if (settings.stereoType != kMovie) {
        const auto chosen = host.askSavePath("bmp", kFrameFilter);
        if (!chosen) return 0;
        // SaveStillImage reports its own failure; the others are reported here.
        return MakeStereoMovieFrame(ws, *chosen, settings.stereoType);
    }
    if (hasFlatTexts(ws)) {
        host.message(kMovieFlatTextMessage);
        return 0;
    }
    if (!ws.hasAllViews()) {
        if (host.message(kAskMakeViews, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return 0;
        if (ws.RunStereoDialog(false) != 1 || !ws.hasAllViews()) return 0;
    }
    std::string initial;
    if (!ws.currentPath().empty()) initial = fs::path(ws.currentPath()).replace_extension(".avi").string();
    const auto chosen = host.askSavePath("avi", kMovieFilter, initial);
    if (!chosen) return 0;
    const std::string& name = *chosen;
    const std::size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".gif" ? WriteMovieGif(ws, name) : WriteMovieAvi(ws, name);
}

}  // namespace plastora
