// Movies and stereo movie frames: the settings, the frame geometry, the
// colour reduction, and the written AVI and GIF files checked with
// independent readers (ffprobe and ffmpeg, giflib's giftext and ImageMagick).
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Video.h"
#include "pixelune/pixelune.h"
#include "support/FileSizeLimit.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include "output/MjpegAvi.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <fstream>
#include <random>
#include <sstream>
#include <tuple>

using namespace plastora;
using namespace plastora::test;

namespace {

// Clearly different colours, one per view.
constexpr Pixel kViewColour[4] = {0xFFE01010, 0xFF10E010, 0xFF1010E0, 0xFFE0E010};

Surface flat(int w, int h, Pixel p) {
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, p);
    return s;
}

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen((cmd + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

std::string q(const std::string& s) { return "'" + s + "'"; }

int channelDistance(Pixel a, Pixel b) {
    int d = 0;
    for (int shift : {0, 8, 16}) d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return d;
}

// A workspace whose N = 4 views are given directly.
struct Doc {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    explicit Doc(const std::string& ini, int w = 40, int h = 30) {
        std::ofstream(dir.file("Plastora.ini")) << ini;
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        ws->adoptPicture(gradientPicture(w, h));
    }
    void flatViews(int w, int h) {
        for (int i = 0; i < ws->viewCount(); ++i) ws->view(i) = flat(w, h, kViewColour[i % 4]);
    }
    std::string ini() const {
        std::ifstream in(dir.file("Plastora.ini"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

// Which view a decoded frame shows: the view colour nearest to its centre.
int viewOf(Pixel centre) {
    int best = -1, bestD = 1000;
    for (int i = 0; i < 4; ++i)
        if (int d = channelDistance(centre, kViewColour[i]); d < bestD) bestD = d, best = i;
    return bestD < 40 ? best : -1;
}

}  // namespace

// ---- settings and geometry ----------------------------------------------------

TEST(VideoSettings, DefaultsRangesAndWrittenForms) {
    Doc doc("");
    VideoSettings s = readVideoSettings(doc.ws->settingsPath());
    EXPECT_EQ(s.stereoType, 0);
    EXPECT_EQ(s.videoSize, 1);
    EXPECT_DOUBLE_EQ(s.fps, 8.0);
    EXPECT_EQ(s.loop, 8);
    EXPECT_TRUE(s.gifOwnSize);
    EXPECT_EQ(videoFrameSize(doc.ws->settingsPath(), 1), (Size{640, 480}));

    // Values that would break the writers are brought into range.
    Doc bad("[Video]\nFPS=0\nLoop=500\nStereoType=9\nVideoSize=7\nSize2=abc\n");
    s = readVideoSettings(bad.ws->settingsPath());
    EXPECT_DOUBLE_EQ(s.fps, 0.1);
    EXPECT_EQ(s.loop, 99);
    EXPECT_EQ(s.stereoType, 0);
    EXPECT_EQ(s.videoSize, 1);
    EXPECT_EQ(videoFrameSize(bad.ws->settingsPath(), 1), (Size{640, 480}));

    const VideoSettings reset = videoResetValues();
    EXPECT_DOUBLE_EQ(reset.fps, 10.0);
    EXPECT_EQ(reset.loop, 10);

    VideoSettings w{3, 2, true, 12.5, 42, false};
    ASSERT_TRUE(writeVideoSettings(doc.ws->settingsPath(), w));
    EXPECT_FALSE(writeVideoSettings(doc.ws->settingsPath() + "/no/such.ini", w)) << "a failed write is told";
    const std::string ini = doc.ini();
    for (const char* line : {"StereoType=3", "VideoSize=2", "ReverseStereo=1", "FPS=12.500000", "Loop=42", "GifSize=0"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
    s = readVideoSettings(doc.ws->settingsPath());
    EXPECT_EQ(s.stereoType, 3);
    EXPECT_TRUE(s.reverseStereo);
    EXPECT_FALSE(s.gifOwnSize);
}

TEST(VideoGeometry, FittingAndFrameOrder) {
    // A 4:3 picture in a 1280 x 720 frame: 960 x 720 at x = 160.
    EXPECT_EQ(fitIntoFrame(1280, 720, 640, 480), (Rect{160, 0, 1120, 720}));
    // A 16:9 picture in 640 x 480: 640 x 360 at y = 60.
    EXPECT_EQ(fitIntoFrame(640, 480, 1920, 1080), (Rect{0, 60, 640, 420}));
    EXPECT_EQ(fitIntoFrame(320, 240, 4000, 3000), (Rect{0, 0, 320, 240}));
    // Integer arithmetic: 707 x 478 in 640 x 480 is 640 x 432 (432.7 truncated).
    EXPECT_EQ(fitIntoFrame(640, 480, 707, 478), (Rect{0, 24, 640, 456}));
    // A picture far wider or taller than the frame keeps one row or column
    // (it came out as a black movie).
    EXPECT_EQ(fitIntoFrame(321, 241, 32766, 47), (Rect{0, 120, 321, 121}));
    EXPECT_EQ(fitIntoFrame(241, 321, 47, 32766), (Rect{120, 0, 121, 321}));

    // Forward 0..N-2, backward N-1..1, no doubled end frames.
    const std::vector<int> two = movieFrameSequence(4, 4, false);
    EXPECT_EQ(two, (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(movieFrameSequence(4, 16, false).size(), 48u);
    EXPECT_EQ(movieFrameSequence(2, 4, false), (std::vector<int>{0, 1, 0, 1}));
    // The two-picture stereo pair alternates its extremes.
    EXPECT_EQ(movieFrameSequence(6, 4, true), (std::vector<int>{0, 5, 0, 5}));
    EXPECT_TRUE(movieFrameSequence(1, 4, false).empty());

    // The fitted view, black bars around it.
    Surface frame;
    frame.create(16, 12);
    ASSERT_TRUE(renderFittedFrame(frame, flat(16, 6, 0xFF808080)));  // 16 x 6 at y = 3
    EXPECT_EQ(frame.at(5, 2), kBlack);
    EXPECT_EQ(frame.at(5, 3), 0xFF808080);
    EXPECT_EQ(frame.at(15, 8), 0xFF808080);
    EXPECT_EQ(frame.at(5, 9), kBlack);
}

// ---- colour reduction ----------------------------------------------------------

TEST(VideoPalette, NearestMatchesExhaustiveSearchIncludingTies) {
    std::mt19937 rng(7);
    std::array<std::uint32_t, 256> palette{};
    for (auto& e : palette) e = rng() & 0x00FFFFFFu;
    // Duplicates and entries at equal distance from a colour: the lowest
    // index must win, as GetNearestPaletteIndex does.
    palette[10] = palette[200] = 0x00404040;
    palette[20] = 0x00424040;
    palette[21] = 0x003E4040;
    palette[255] = palette[3];
    auto exhaustive = [&](Pixel c) {
        int best = 1 << 30, index = 0;
        for (int e = 0; e < 256; ++e) {
            const int dr = int((palette[e] >> 16) & 0xFF) - int((c >> 16) & 0xFF);
            const int dg = int((palette[e] >> 8) & 0xFF) - int((c >> 8) & 0xFF);
            const int db = int(palette[e] & 0xFF) - int(c & 0xFF);
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) best = d, index = e;
        }
        return index;
    };
    NearestPalette nearest(palette);
    std::vector<Pixel> colours = {0xFF404040, 0xFF414040, 0xFF3F4040, 0xFF000000, 0xFFFFFFFF};
    for (int i = 0; i < 200000; ++i) colours.push_back(kOpaque | (rng() & 0x00FFFFFFu));
    for (auto e : palette) colours.push_back(kOpaque | e);
    int mismatches = 0;
    for (Pixel c : colours)
        if (nearest.nearest(c) != exhaustive(c) && ++mismatches < 5)
            ADD_FAILURE() << std::hex << "colour " << c << ": " << int(nearest.nearest(c)) << " vs " << exhaustive(c);
    EXPECT_EQ(mismatches, 0);
}

TEST(VideoPalette, ClusteringKeepsFewColoursExactly) {
    // 200 distinct colours in 20000 pixels: every colour gets its own
    // cluster, whose running mean is the colour itself.
    std::vector<Pixel> pixels;
    for (int i = 0; i < 20000; ++i) pixels.push_back(kOpaque | static_cast<Pixel>((i % 200) * 0x010307));
    std::array<std::uint32_t, 256> palette{};
    ASSERT_TRUE(clusterPalette(pixels, palette));
    NearestPalette nearest(palette);
    for (int c = 0; c < 200; ++c) {
        const Pixel colour = kOpaque | static_cast<Pixel>(c * 0x010307);
        EXPECT_EQ(palette[nearest.nearest(colour)], colour & 0x00FFFFFFu) << c;
    }
    // Fewer pixels than clusters still makes a palette.
    std::vector<Pixel> tiny = {0xFF102030, 0xFFA0B0C0, 0xFF102030};
    ASSERT_TRUE(clusterPalette(tiny, palette));
    NearestPalette small(palette);
    EXPECT_EQ(palette[small.nearest(0xFFA0B0C0)], 0x00A0B0C0u);
    EXPECT_FALSE(clusterPalette({}, palette));
}

TEST(VideoPalette, ClusteringFollowsThePicturesColours) {
    // Mean squared error per channel of a picture mapped through a palette.
    auto error = [](const std::vector<Pixel>& px, const std::array<std::uint32_t, 256>& palette) {
        NearestPalette nearest(palette);
        double sum = 0;
        for (Pixel p : px) {
            const Pixel q = palette[nearest.nearest(p)];
            for (int shift : {0, 8, 16}) {
                const double d = double((p >> shift) & 0xFF) - double((q >> shift) & 0xFF);
                sum += d * d;
            }
        }
        return sum / (3.0 * double(px.size()));
    };
    // Smooth shading over all three channels with noise: tens of thousands
    // of colours. The clustered palette must do clearly better than a fixed
    // uniform one (6 x 7 x 6 levels), and the same pixels give the same palette.
    std::mt19937 rng(3);
    std::vector<Pixel> shaded;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            auto ch = [&](double v) { return Pixel(std::clamp(int(v) + int(rng() % 7) - 3, 0, 255)); };
            shaded.push_back(kOpaque | (ch(128 + 110 * std::sin(x * 0.02)) << 16) |
                             (ch(120 + 100 * std::cos(y * 0.025)) << 8) | ch(30 + 0.6 * (x + y)));
        }
    std::array<std::uint32_t, 256> uniform{};
    for (int i = 0; i < 252; ++i)
        uniform[std::size_t(i)] = (std::uint32_t(i / 42 * 51) << 16) | (std::uint32_t(i / 6 % 7 * 255 / 6) << 8) |
                                  std::uint32_t(i % 6 * 51);
    std::array<std::uint32_t, 256> palette{}, again{};
    ASSERT_TRUE(clusterPalette(shaded, palette));
    ASSERT_TRUE(clusterPalette(shaded, again));
    EXPECT_EQ(palette, again);
    const double clustered = error(shaded, palette);
    EXPECT_LT(clustered, 0.5 * error(shaded, uniform)) << clustered << " vs " << error(shaded, uniform);

    // A small patch of a far colour among a large even picture still gets
    // an entry of its own: clusters follow where the colours are, weighted
    // by how often they occur, and no cluster is lost.
    std::vector<Pixel> patch;
    for (int i = 0; i < 60000; ++i) patch.push_back(kOpaque | (Pixel(i % 251) << 16) | (Pixel(i / 251 % 239) << 8) | 40);
    for (int i = 0; i < 50; ++i) patch.push_back(kOpaque | (0x0010F0F0u + Pixel(i % 3)));
    ASSERT_TRUE(clusterPalette(patch, palette));
    NearestPalette nearest(palette);
    EXPECT_LE(channelDistance(kOpaque | palette[nearest.nearest(0xFF10F0F1)], 0xFF10F0F1), 2);

    // A grey ramp with a one-level blue dither: 511 colours along a line,
    // in fewer coarse histogram cells than the palette has entries. Every
    // entry is still used, so no colour is more than a level or two off.
    std::vector<Pixel> ramp;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 512; ++x) {
            const Pixel v = Pixel(x / 2);
            ramp.push_back(kOpaque | (v << 16) | (v << 8) | std::min<Pixel>(255, v + Pixel((x + y) & 1)));
        }
    ASSERT_TRUE(clusterPalette(ramp, palette));
    NearestPalette rampNearest(palette);
    int worst = 0;
    for (Pixel p : ramp) worst = std::max(worst, channelDistance(kOpaque | palette[rampNearest.nearest(p)], p));
    EXPECT_LE(worst, 2);
}

// ---- AVI ---------------------------------------------------------------------------

TEST(VideoAvi, FramesRateSizeAndOrder) {
    Doc doc("[Video]\nVideoSize=0\nSize1=96,64\nFPS=8\nLoop=8\n", 40, 30);
    doc.flatViews(40, 30);
    const std::string path = doc.dir.file("movie.avi");
    ASSERT_EQ(WriteMovieAvi(*doc.ws, path), 1);
    EXPECT_EQ(doc.host.progressCaptions, (std::vector<std::string>{"動画ファイル作成中"}));
    ASSERT_FALSE(doc.host.progressPositions.empty());
    EXPECT_EQ(doc.host.progressPositions.front(), 0);
    EXPECT_EQ(doc.host.progressPositions.back(), 47 * 100 / 48);

    const std::string probe =
        run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
            "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=nw=1 " + q(path));
    EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=96"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=64"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=8/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=48"), std::string::npos) << probe;

    // Every frame decoded by ffmpeg (which stops at the first damaged one):
    // 0,1,2,3,2,1 repeated, with the 4:3 view centred between black bars
    // (40 x 30 into 96 x 64 is 85 x 64 at x = 5).
    const std::string raw = run("ffmpeg -v error -xerror -i " + q(path) + " -f rawvideo -pix_fmt bgr24 -");
    const std::size_t frameBytes = 96 * 64 * 3;
    ASSERT_EQ(raw.size(), 48 * frameBytes);
    std::vector<int> order;
    for (std::size_t f = 0; f < 48; ++f) {
        auto at = [&](int x, int y) {
            const auto* p = reinterpret_cast<const unsigned char*>(raw.data()) + f * frameBytes + (y * 96 + x) * 3;
            return kOpaque | (Pixel(p[2]) << 16) | (Pixel(p[1]) << 8) | p[0];
        };
        order.push_back(viewOf(at(48, 32)));
        EXPECT_LT(channelDistance(at(1, 32), kBlack), 12) << "frame " << f;
    }
    std::vector<int> expected;
    for (int i = 0; i < 8; ++i) expected.insert(expected.end(), {0, 1, 2, 3, 2, 1});
    EXPECT_EQ(order, expected);

    // A rate that is not a whole number, and the stereo pair's two frames.
    Doc pair("[Video]\nVideoSize=0\nSize1=32,24\nFPS=12.5\nLoop=2\n", 40, 30);
    pair.flatViews(40, 30);
    ASSERT_EQ(WriteMovieAvi(*pair.ws, pair.dir.file("rate.avi")), 1);
    const std::string rate = run("ffprobe -v error -count_frames -show_entries stream=r_frame_rate,nb_read_frames "
                                 "-of default=nw=1 " + q(pair.dir.file("rate.avi")));
    EXPECT_NE(rate.find("r_frame_rate=25/2"), std::string::npos) << rate;
    EXPECT_NE(rate.find("nb_read_frames=12"), std::string::npos) << rate;
}

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in a folder other than `keep`: what a failed save left behind.
std::vector<std::string> strayFiles(const std::filesystem::path& folder, const std::string& keep) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != keep && e.path().filename() != "Plastora.ini") out.push_back(e.path().filename().string());
    return out;
}

}  // namespace

TEST(VideoAvi, FailuresKeepWhatWasThere) {
    // No views: nothing to write.
    Doc none("");
    EXPECT_EQ(WriteMovieAvi(*none.ws, none.dir.file("x.avi")), 0);

    // A folder that does not exist, or a "folder" that is a file: the save
    // says it failed (not that memory ran out) and creates nothing.
    Doc doc("[Video]\nVideoSize=0\nSize1=64,48\nLoop=20\n");
    doc.flatViews(40, 30);
    doc.host.expectMessage(kSaveFailedMessage, MsgResult::Ok);
    EXPECT_EQ(WriteMovieAvi(*doc.ws, doc.dir.file("missing/x.avi")), 0);
    EXPECT_FALSE(std::filesystem::exists(doc.dir.file("missing")));
    std::ofstream(doc.dir.file("plain")) << "x";
    doc.host.expectMessage(kSaveFailedMessage, MsgResult::Ok);
    EXPECT_EQ(WriteMovieAvi(*doc.ws, doc.dir.file("plain/x.avi")), 0);

    // The disk fills up midway (a file size limit stands in for it): the
    // previous movie stays byte for byte and no temporary file is left.
    const std::string target = doc.dir.file("old.avi");
    ASSERT_EQ(WriteMovieAvi(*doc.ws, target), 1);
    const std::string before = fileBytes(target);
    ASSERT_GT(before.size(), 8000u);
    doc.host.expectMessage(kSaveFailedMessage, MsgResult::Ok);
    {
        const FileSizeLimit limit(8000);
        EXPECT_EQ(WriteMovieAvi(*doc.ws, target), 0);
    }
    EXPECT_EQ(fileBytes(target) == before, true);
    EXPECT_EQ(strayFiles(doc.dir.path(), "old.avi"), (std::vector<std::string>{"plain"}));
}

TEST(VideoAvi, RefusesWhatOneFileCannotAddress) {
    // 4400 frames of 1 MB pass the 4 GB a RIFF file can address: refused
    // before a single byte goes out.
    const std::vector<std::vector<std::uint8_t>> pictures{std::vector<std::uint8_t>(1 << 20, 0xAB)};
    const std::vector<int> sequence(4400, 0);
    std::size_t written = 0;
    auto sink = [&](const void*, std::size_t n) {
        written += n;
        return true;
    };
    EXPECT_FALSE(writeMjpegAvi(sink, 64, 48, 8.0, pictures, sequence));
    EXPECT_FALSE(writeMjpegAvi(sink, 64, 48, 8.0, pictures, {0, 1}));  // no picture 1
    EXPECT_EQ(written, 0u);
    // A sink that fails stops the writer.
    int calls = 0;
    EXPECT_FALSE(writeMjpegAvi([&](const void*, std::size_t) { return ++calls < 3; }, 64, 48, 8.0, pictures,
                               std::vector<int>(10, 0)));
    EXPECT_EQ(calls, 3);
}

// ---- GIF ---------------------------------------------------------------------------

TEST(VideoGif, SixLoopingFramesWithDelayAndPalette) {
    // Views cut from one gradient at shifts of 2 pixels: the palette has to
    // approximate, and neighbouring views differ everywhere a little.
    Doc doc("[Video]\nFPS=8\nLoop=3\nGifSize=1\n", 41, 30);
    const Surface wide = gradientPicture(41 + 8, 30);
    for (int i = 0; i < 4; ++i) {
        doc.ws->view(i).create(41, 30);
        blit(doc.ws->view(i), 0, 0, 41, 30, &wide, 2 * i, 0, Rop::Copy);
    }
    const std::string path = doc.dir.file("movie.gif");
    ASSERT_EQ(WriteMovieGif(*doc.ws, path), 1);
    EXPECT_EQ(doc.host.progressCaptions,
              (std::vector<std::string>{"減色処理中(時間がかかります)", "動画ファイル作成中"}));
    EXPECT_EQ(doc.host.progressPositions.back(), 50 + 5 * 50 / 6);

    // giflib: six images of 40 x 30 (41 rounded down), delay 12, looping.
    const std::string text = run("giftext " + q(path));
    // "Image #<digits>:" and "DelayTime: 12" counted by hand: <regex> trips
    // GCC 12's maybe-uninitialized warning inside libstdc++ in sanitizer builds.
    int images = 0, delays12 = 0;
    for (std::size_t at = text.find("Image #"); at != std::string::npos; at = text.find("Image #", at + 1)) {
        std::size_t d = at + 7;
        while (d < text.size() && std::isdigit(static_cast<unsigned char>(text[d]))) ++d;
        if (d > at + 7 && d < text.size() && text[d] == ':') ++images;
    }
    for (std::size_t at = text.find("DelayTime: 12"); at != std::string::npos; at = text.find("DelayTime: 12", at + 1))
        ++delays12;
    EXPECT_EQ(images, 6) << text;
    EXPECT_EQ(delays12, 6) << text;
    EXPECT_NE(text.find("GIF89 application block"), std::string::npos) << text;
    EXPECT_NE(text.find("Screen Size - Width = 40, Height = 30"), std::string::npos) << text;
    EXPECT_NE(text.find("GIF file terminated normally"), std::string::npos) << text;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("NETSCAPE2.0"), std::string::npos) << "the looping extension";

    // Frame 3 (view 3) and frame 4 (view 2) decoded by ImageMagick match
    // their views up to the palette error, and less well the views beside.
    for (const auto& [frame, view, other] : {std::tuple{3, 3, 2}, std::tuple{4, 2, 3}}) {
        const std::string rgb = run("convert " + q(path + "[" + std::to_string(frame) + "]") + " -depth 8 rgb:-");
        ASSERT_EQ(rgb.size(), 40u * 30u * 3u) << frame;
        long own = 0, beside = 0;
        int worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + (y * 40 + x) * 3;
                const Pixel got = kOpaque | (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | p[2];
                const int d = channelDistance(got, doc.ws->view(view).at(x, y));
                own += d;
                beside += channelDistance(got, doc.ws->view(other).at(x, y));
                worst = std::max(worst, d);
            }
        EXPECT_LT(own / (40 * 30), 12) << "frame " << frame;
        EXPECT_LT(worst, 80) << "frame " << frame;
        EXPECT_LT(own, beside) << "frame " << frame;
    }
}

TEST(VideoGif, FittedFramesAndUnwritableFile) {
    Doc doc("[Video]\nFPS=3\nGifSize=0\nVideoSize=0\nSize1=64,64\n", 40, 20);
    doc.flatViews(40, 20);
    const std::string path = doc.dir.file("fitted.gif");
    ASSERT_EQ(WriteMovieGif(*doc.ws, path), 1);
    const std::string text = run("giftext " + q(path));
    EXPECT_NE(text.find("Screen Size - Width = 64, Height = 64"), std::string::npos) << text;
    EXPECT_NE(text.find("DelayTime: 33"), std::string::npos) << "trunc(100 / 3)\n" << text;
    // 40 x 20 into 64 x 64: 64 x 32 at y = 16, black above.
    const std::string rgb = run("convert " + q(path + "[0]") + " -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), 64u * 64u * 3u);
    auto at = [&](int x, int y) {
        const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + (y * 64 + x) * 3;
        return kOpaque | (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | p[2];
    };
    EXPECT_EQ(at(10, 15), kBlack);
    EXPECT_EQ(viewOf(at(10, 16)), 0);
    EXPECT_EQ(at(10, 48), kBlack);

    // A file that cannot be created is said to have failed, once, as for
    // the AVI (in the program the dialog closed without a word).
    doc.host.expectMessage(kSaveFailedMessage, MsgResult::Ok);
    EXPECT_EQ(WriteMovieGif(*doc.ws, doc.dir.file("missing/x.gif")), 0);
    EXPECT_TRUE(doc.host.done());
}

// The disk fills up after the first frames have gone out (frames of noise,
// past the stream's 1 MB buffer; a file size limit stands in for the full
// disk): the save says it failed, the previous movie stays byte for byte and
// no temporary file is left.
TEST(VideoGif, DiskFullMidwayKeepsThePreviousMovie) {
    Doc doc("[Video]\nFPS=8\nGifSize=1\n", 700, 600);
    std::mt19937 noise(7);
    for (int i = 0; i < doc.ws->viewCount(); ++i) {
        Surface& v = doc.ws->view(i);
        ASSERT_TRUE(v.create(700, 600));
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 700; ++x) v.set(x, y, kOpaque | (noise() & 0xFFFFFFu));
    }
    const std::string target = doc.dir.file("old.gif");
    std::ofstream(target, std::ios::binary) << "the previous movie";
    const std::string before = fileBytes(target);
    doc.host.expectMessage(kSaveFailedMessage, MsgResult::Ok);
    {
        const FileSizeLimit limit(1536 << 10);
        EXPECT_EQ(WriteMovieGif(*doc.ws, target), 0);
    }
    EXPECT_TRUE(doc.host.done());
    EXPECT_EQ(fileBytes(target), before);
    EXPECT_EQ(strayFiles(doc.dir.path(), "old.gif"), std::vector<std::string>{});
    // Without the limit the same movie is written, and is larger than it.
    ASSERT_EQ(WriteMovieGif(*doc.ws, target), 1);
    EXPECT_GT(fileBytes(target).size(), std::size_t{1536} << 10);
}

// ---- stereo movie frames --------------------------------------------------------------

namespace {

constexpr Pixel kA = 0xFFFF0000;
constexpr Pixel kB = 0xFF0000FF;

// 'A', 'B' or '.' (black) per pixel of the frame, rows joined with '/'.
std::string layoutOf(const Surface& s) {
    std::string out;
    for (int y = 0; y < s.height(); ++y) {
        if (y) out += '/';
        for (int x = 0; x < s.width(); ++x) {
            const Pixel p = s.at(x, y);
            out += p == kA ? 'A' : p == kB ? 'B' : p == kBlack ? '.' : '?';
        }
    }
    return out;
}

std::string frameOf(int kind, int wv, int hv, int w, int h, bool squeezeInterlace = true) {
    Surface out;
    EXPECT_TRUE(BuildStereoMovieFrame(out, flat(w, h, kA), flat(w, h, kB), kind, wv, hv, squeezeInterlace));
    return layoutOf(out);
}

}  // namespace

TEST(StereoMovieFrame, LayoutsOfTheFourKinds) {
    // Side by side: each eye squeezed into its half; a picture of the frame's
    // aspect fills it.
    EXPECT_EQ(frameOf(kFrameSideBySide, 8, 2, 8, 2), "AAAABBBB/AAAABBBB");
    // Narrower picture (4 x 2 in 8 x 2): 4 wide at x = 2, squeezed to 2 at x = 1.
    EXPECT_EQ(frameOf(kFrameSideBySide, 8, 2, 4, 2), ".AA..BB./.AA..BB.");
    // A one-column fit halved keeps its column.
    EXPECT_EQ(frameOf(kFrameSideBySide, 2, 2, 1, 2), "AB/AB");
    // Top and bottom.
    EXPECT_EQ(frameOf(kFrameTopBottom, 2, 4, 2, 4), "AA/AA/BB/BB");
    // Row interlace: odd rows from the top carry A, even rows B; squeezed
    // row i of both feeds row pair i, so a wide picture keeps its bars.
    EXPECT_EQ(frameOf(kFrameRowInterlace, 2, 4, 2, 4), "BB/AA/BB/AA");
    EXPECT_EQ(frameOf(kFrameRowInterlace, 2, 8, 2, 4), "../../BB/AA/BB/AA/../..");
    // Column interlace: even columns A, odd columns B.
    EXPECT_EQ(frameOf(kFrameColumnInterlace, 4, 1, 4, 1), "ABAB");
    EXPECT_EQ(frameOf(kFrameColumnInterlace, 8, 1, 4, 1), "..ABAB..");
    // Unsqueezed (the high-resolution pair): same rows and columns.
    EXPECT_EQ(frameOf(kFrameRowInterlace, 2, 8, 2, 4, false), "../../BB/AA/BB/AA/../..");
    EXPECT_EQ(frameOf(kFrameColumnInterlace, 8, 1, 4, 1, false), "..ABAB..");
    Surface out;
    EXPECT_FALSE(BuildStereoMovieFrame(out, flat(2, 2, kA), flat(2, 2, kB), 5, 4, 4, true));
}

TEST(StereoMovieFrame, WhichEyeGoesWhere) {
    // Views 0 and N-1 carry their own colours; the eye rules decide places.
    auto written = [](int kind, bool reverse) {
        Doc doc("[Video]\nVideoSize=0\nSize1=8,2\nReverseStereo=" + std::to_string(reverse) + "\n", 8, 2);
        doc.flatViews(8, 2);
        const std::string path = doc.dir.file("frame.bmp");
        EXPECT_EQ(MakeStereoMovieFrame(*doc.ws, path, kind), 1);
        Surface s;
        int w = 0, h = 0;
        EXPECT_EQ(LoadStillImage(doc.host, path, std::nullopt, s, w, h), 1);
        return s;
    };
    // Side by side, not reversed: view 0 on the left.
    Surface s = written(kFrameSideBySide, false);
    EXPECT_EQ(viewOf(s.at(1, 0)), 0);
    EXPECT_EQ(viewOf(s.at(6, 0)), 3);
    s = written(kFrameSideBySide, true);
    EXPECT_EQ(viewOf(s.at(1, 0)), 3);
    // Top and bottom, not reversed: view N-1 on top.
    s = written(kFrameTopBottom, false);
    EXPECT_EQ(viewOf(s.at(3, 0)), 3);
    EXPECT_EQ(viewOf(s.at(3, 1)), 0);
    // Column interlace, reversed: view 0 in the even columns.
    s = written(kFrameColumnInterlace, true);
    EXPECT_EQ(viewOf(s.at(0, 0)), 0);
    EXPECT_EQ(viewOf(s.at(1, 0)), 3);
}

// ---- the command ------------------------------------------------------------------------

TEST(MakeMovieCommand, RefusalsQuestionAndDialogs) {
    {
        // A flat text blocks movies but not stereo movie frames.
        Doc doc("");
        doc.flatViews(40, 30);
        auto text = std::make_shared<OverlayObject>();
        text->flags = kTextFlat;
        ASSERT_TRUE(doc.ws->appendObject(kObjectText, text));
        doc.host.expectMessage(kMovieFlatTextMessage);
        EXPECT_EQ(MakeMovie(*doc.ws), 0);
        EXPECT_TRUE(doc.host.fileRequests.empty());

        std::ofstream(doc.dir.file("Plastora.ini")) << "[Video]\nStereoType=1\nVideoSize=0\nSize1=16,12\n";
        doc.host.expectFileDialog(doc.dir.file("f.bmp"));
        EXPECT_EQ(MakeMovie(*doc.ws), 1);
        ASSERT_EQ(doc.host.fileRequests.size(), 1u);
        EXPECT_EQ(doc.host.fileRequests[0].defaultExtension, "bmp");
        EXPECT_TRUE(std::filesystem::exists(doc.dir.file("f.bmp")));
    }
    {
        // No views: the question; No stops before any dialog.
        Doc doc("");
        doc.host.expectMessage("立体画像が作成されていません。作成しますか？", MsgResult::No, MsgButtons::YesNo);
        EXPECT_EQ(MakeMovie(*doc.ws), 0);
        EXPECT_TRUE(doc.host.fileRequests.empty());
    }
    {
        // The save dialog offers the document's name with ".avi"; a ".GIF"
        // answer makes a GIF whatever the dialog's default.
        Doc doc("[Video]\nFPS=8\n");
        doc.flatViews(40, 30);
        doc.ws->setCurrentPath(doc.dir.file("picture.lyr"));
        doc.host.expectFileDialog(doc.dir.file("out.GIF"));
        EXPECT_EQ(MakeMovie(*doc.ws), 1);
        ASSERT_EQ(doc.host.fileRequests.size(), 1u);
        EXPECT_EQ(doc.host.fileRequests[0].defaultExtension, "avi");
        EXPECT_EQ(doc.host.fileRequests[0].initialPath, doc.dir.file("picture.avi"));
        EXPECT_EQ(doc.host.fileRequests[0].filter, "ﾑｰﾋﾞｰﾌｧｲﾙ(*.avi)|*.avi|GIFｱﾆﾒｰｼｮﾝ(*.gif)|*.gif||");
        EXPECT_TRUE(doc.host.fileRequests[0].overwritePrompt);
        EXPECT_EQ(CheckAnimation(doc.dir.file("out.GIF").c_str()), 1);
        EXPECT_TRUE(canMakeMovie(*doc.ws));
        doc.ws->discardViews();
        EXPECT_FALSE(canMakeMovie(*doc.ws));
    }
}
