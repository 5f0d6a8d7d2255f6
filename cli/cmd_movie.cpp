// movie and frame: the view sweep as AVI or animated GIF, and the still
// stereo movie frame.
//
// Options choose what the video settings dialog would. The settings file is
// never written: the options go into a private copy of it that the
// workspace reads instead.
#include "cli/Cli.h"
#include "platform/Translation.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Video.h"
#include "overlay/ObjectDraw.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace plastora::cli {

namespace {

namespace fs = std::filesystem;

// A copy of the settings file that lives as long as this object.
class PrivateSettings {
public:
    // The copy lives in this run's private temporary folder, where nobody
    // else can read or replace it.
    PrivateSettings() {
        const std::string folder = tempFolder();
        if (folder.empty()) return;
        m_path = joinPath(folder, "settings.ini");
        std::error_code ec;
        // A copy that fails (a full temporary folder) would leave the run on
        // the defaults, not the user's settings: it is no copy at all.
        const std::string source = readSettingsPath();
        fs::copy_file(source, m_path, fs::copy_options::overwrite_existing, ec);
        if (ec && fs::exists(source)) m_path.clear();
    }
    ~PrivateSettings() {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Where the settings copy failed to go, for the message: this run's own
// folder, or the place it could not be made in.
std::string settingsCopyPlace() {
    if (std::string folder = tempFolder(); !folder.empty()) return folder;
    std::error_code ec;
    const fs::path parent = fs::temp_directory_path(ec);
    return ec ? std::string("/tmp") : parent.string();
}

// "WxH" with both numbers 1..100000.
bool parseSize(const std::string& text, int& w, int& h) {
    const char* p = text.data();
    const char* end = p + text.size();
    auto [x, ec1] = std::from_chars(p, end, w);
    if (ec1 != std::errc() || x == end || (*x != 'x' && *x != 'X')) return false;
    auto [y, ec2] = std::from_chars(x + 1, end, h);
    return ec2 == std::errc() && y == end && w >= 1 && h >= 1 && w <= 100000 && h <= 100000;
}

// The largest side the output's format holds: libjpeg's for an AVI's MJPEG
// frames and a JPEG frame, GIF's 16-bit fields for a GIF at the frame size.
// 0 when the size does not limit the output (a GIF at the picture's own size).
int largestSide(const std::string& output, bool gifFitted) {
    const auto kind = outputKindOf(output);
    if (!kind) return 0;
    switch (*kind) {
    case OutputKind::Gif: return gifFitted ? 65535 : 0;
    case OutputKind::Avi:
    case OutputKind::Jpeg: return kJpegMaxSide;
    default: return 0;
    }
}

// The options shared by both commands, written into the private copy:
// --size WxH becomes "Size%d" of the index in use. A size the output's
// format cannot hold is refused here, naming the limit, rather than failing
// after the views are made.
bool applySize(const Args& args, const std::string& settingsPath, const std::string& command, int maxSide,
               int& exitCode) {
    const auto size = args.get("size");
    if (!size) return true;
    int w = 0, h = 0;
    if (!parseSize(*size, w, h)) {
        exitCode = usageError(command, tr("--size expects WxH"));
        return false;
    }
    if (maxSide > 0 && (w > maxSide || h > maxSide)) {
        exitCode = usageError(command, tr("--size: this output holds at most %1 pixels a side", {std::to_string(maxSide)}));
        return false;
    }
    const VideoSettings s = readVideoSettings(settingsPath);
    const std::string value = std::to_string(w) + "," + std::to_string(h);
    if (!writeProfileString(settingsPath, "Video", settingKeyName(SettingKey::VideoSizeN, s.videoSize + 1), value)) {
        exitCode = failure(tr("cannot prepare the settings for --size"));
        return false;
    }
    return true;
}

int runMovie(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    const std::vector<std::string> flags = {"progress", "no-pm", "fitted"};
    if (!args.parse(argv, flags, error)) return usageError("movie", error);
    if (!args.checkKnown({"output", "fps", "loop", "size", "fitted", "strength", "progress", "no-pm"}, error)) return usageError("movie", error);
    std::optional<int> loop, strength;
    std::optional<double> fps;
    if (!args.getDouble("fps", kMinFps, kMaxFps, fps, error) || !args.getInt("loop", kMinLoop, kMaxLoop, loop, error) ||
        !args.getInt("strength", 0, 99, strength, error))
        return usageError("movie", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("movie", tr("expects a project and -o OUT.avi or OUT.gif"));
    if (int rc = checkOutput("movie", *args.get("output"), {OutputKind::Avi, OutputKind::Gif}); rc != kExitOk)
        return rc;
    PrivateSettings settings;
    if (settings.path().empty()) return failure(translateText(kSaveFailedMessage) + ": " + settingsCopyPlace());
    allowSettingsWritesTo(settings.path());
    int rc = kExitOk;
    if (!applySize(args, settings.path(), "movie", largestSide(*args.get("output"), args.has("fitted")), rc))
        return rc;
    VideoSettings vs = readVideoSettings(settings.path());
    vs.stereoType = kMovie;
    if (fps) vs.fps = *fps;
    if (loop) vs.loop = *loop;
    if (args.has("fitted")) vs.gifOwnSize = false;
    // The options reach the movie through these settings: unwritten, they
    // would be left out without a word.
    if (!writeVideoSettings(settings.path(), vs))
        return failure(translateText(kSaveFailedMessage) + ": " + settings.path());

    CliHost host;
    host.writeSubject = *args.get("output");  // a failed save names the file written
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, settings.path());
    ws.setDisplayWanted(false);  // only the views are written
    if (rc = openAndGenerate(ws, host, args.positional()[0], strength, !args.has("no-pm")); rc != kExitOk) return rc;
    // A movie is made of the views, which do not carry the texts kept flat:
    // as in the program, it is refused rather than made without them.
    if (hasFlatTexts(ws)) {
        host.message(kMovieFlatTextMessage, MsgButtons::Ok, MsgIcon::Warning);
        return kExitFailure;
    }
    const std::string out = *args.get("output");
    // Either writer reports its own failure.
    if ((outputKindOf(out) == OutputKind::Gif ? WriteMovieGif(ws, out) : WriteMovieAvi(ws, out)) != 1)
        return kExitFailure;
    std::cout << out << "\n";
    return kExitOk;
}

int runFrame(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"reverse", "no-pm"}, error)) return usageError("frame", error);
    if (!args.checkKnown({"output", "kind", "reverse", "size", "strength", "no-pm"}, error)) return usageError("frame", error);
    std::optional<int> kind, strength;
    if (!args.getInt("kind", 1, 4, kind, error) || !args.getInt("strength", 0, 99, strength, error))
        return usageError("frame", error);
    if (args.positional().size() != 1 || !args.get("output") || !kind)
        return usageError("frame", tr("expects a project, -o OUT and --kind 1-4"));
    if (int rc = checkOutput("frame", *args.get("output"), pictureOutputs()); rc != kExitOk) return rc;
    PrivateSettings settings;
    if (settings.path().empty()) return failure(translateText(kSaveFailedMessage) + ": " + settingsCopyPlace());
    allowSettingsWritesTo(settings.path());
    int rc = kExitOk;
    if (!applySize(args, settings.path(), "frame", largestSide(*args.get("output"), false), rc)) return rc;
    VideoSettings vs = readVideoSettings(settings.path());
    vs.stereoType = *kind;
    vs.reverseStereo = args.has("reverse");
    // The options reach the movie through these settings: unwritten, they
    // would be left out without a word.
    if (!writeVideoSettings(settings.path(), vs))
        return failure(translateText(kSaveFailedMessage) + ": " + settings.path());

    CliHost host;
    host.writeSubject = *args.get("output");  // a failed save names the file written
    CStereoWorkspace ws(host, settings.path());
    ws.setDisplayWanted(false);  // only the views are written
    // A frame shows views 0 and N-1 only (or the high-resolution pair): the
    // views between are not made (at N = 64 they took gigabytes).
    if (!openForViews(ws, args.positional()[0])) return kExitFailure;
    ws.GenerateViews(nullptr, strength.value_or(ws.strength()), true);
    if (!ws.hasViews()) return kExitFailure;
    if (rc = refuseProjectFile("frame", ws, *args.get("output")); rc != kExitOk) return rc;
    if (MakeStereoMovieFrame(ws, *args.get("output"), *kind) != 1) return kExitFailure;
    const Size size = videoFrameSize(settings.path(), vs.videoSize);
    std::cout << size.cx << " x " << size.cy << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"movie", "P.lyr -o OUT.{avi,gif} [--fps 0.1-30] [--loop 1-99] [--size WxH] [--fitted] "
                      "[--strength 0-99] [--no-pm] [--progress]",
                      "writes the sweep through a project's views as an AVI (2 x loop passes, MJPEG) or, for a .gif "
                      "name, an animated GIF (one pass each way; own size unless --fitted)",
                      &runMovie});
PLASTORA_CLI_COMMAND({"frame", "P.lyr -o OUT --kind 1-4 [--reverse] [--size WxH] [--strength 0-99] [--no-pm]",
                      "writes a stereo movie frame: 1 side by side, 2 top and bottom, 3 row interlace, 4 column "
                      "interlace (--reverse swaps the eyes)",
                      &runFrame});
PLASTORA_CLI_HELP("movie",
                  "options:\n"
                  "  -o, --output OUT   .avi (MJPEG video) or .gif (animated GIF), by extension\n"
                  "  --fps F            frames per second, 0.1 to 30 (default: the video settings)\n"
                  "  --loop L           sweeps there and back through the views, 1 to 99 (AVI only; default: the\n"
                  "                     video settings, 8 as installed)\n"
                  "  --size WxH         the frame size in pixels, e.g. 640x480 (default: the video settings)\n"
                  "  --fitted           a GIF at the frame size too (default: the video settings; as installed, a\n"
                  "                     GIF at the picture's own size)\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n"
                  "  --no-pm            a stereo pair's in-between views without pattern matching\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "example:\n"
                  "  plastora-cli movie picture.lyr --fps 12.5 --loop 3 -o sweep.avi\n");
PLASTORA_CLI_HELP("frame",
                  "options:\n"
                  "  -o, --output OUT   the frame: .jpg/.jpeg, .bmp or .png\n"
                  "  --kind K           1 side by side, 2 top and bottom, 3 row interlace, 4 column interlace\n"
                  "  --reverse          swap the eyes; without it, kind 1 has the right eye's picture on the left\n"
                  "                     (for cross-eyed viewing), kind 2 the left eye's on top, kind 3 the right\n"
                  "                     eye's in row 0 and kind 4 the left eye's in column 0\n"
                  "  --size WxH         the frame size in pixels (default: the video settings)\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n"
                  "  --no-pm            a stereo pair's in-between views without pattern matching\n\n"
                  "example:\n"
                  "  plastora-cli frame picture.lyr --kind 1 --size 1920x1080 -o sbs.jpg\n");

}  // namespace plastora::cli
