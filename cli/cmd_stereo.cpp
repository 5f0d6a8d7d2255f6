// stereo and save-views: stereo-pair documents from two pictures or an MPO,
// and the left/right pair or all views written as BMP, Exif JPEG or MPO.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "stereo/StereoFiles.h"

#include <iostream>
#include <utility>

namespace plastora::cli {

namespace {

// The open command asks which side the first picture is and then for the
// second file: on the command line the first picture is the left one and the
// second file is the one given.
class StereoPairHost : public CliHost {
public:
    std::string secondFile;

    MsgResult message(const MessageRequest& request) override {
        if (request.text == kStereoSecondPictureQuestion) return MsgResult::Yes;
        return CliHost::message(request);
    }
    std::optional<std::string> fileDialog(const FileDialogRequest& request) override {
        if (!request.save && !secondFile.empty()) return std::exchange(secondFile, std::string());
        return std::nullopt;
    }
};

int runStereo(const std::vector<std::string>& argv) {
    const char* name = "stereo";
    Args args;
    std::string error;
    if (!args.parse(argv, {"yes", "no"}, error)) return usageError(name, error);
    if (auto u = args.unknown({"output", "yes", "no"}); !u.empty()) return usageError(name, "unknown option --" + u.front());
    const auto& pos = args.positional();
    const auto out = args.get("output");
    if (!out || out->empty()) return usageError(name, "needs -o P.lyr");
    if (pos.size() == 1 && !isMpoPath(pos[0])) return usageError(name, "expects two pictures (left, right) or one .mpo file");
    if (pos.empty() || pos.size() > 2) return usageError(name, "expects two pictures (left, right) or one .mpo file");
    if (args.has("yes") && args.has("no")) return usageError(name, "--yes and --no exclude each other");

    StereoPairHost host;
    if (args.has("yes")) host.forcedAnswer = MsgResult::Yes;
    if (args.has("no")) host.forcedAnswer = MsgResult::No;
    CStereoWorkspace ws(host, defaultSettingsPath());
    int opened = 0;
    if (pos.size() == 1) {
        opened = OpenMpoFile(ws, pos[0]);
    } else {
        host.secondFile = pos[1];
        opened = OpenStereoImage(ws, pos[0]);
    }
    if (!opened) return kExitFailure;
    if (!ws.Save(*out)) return kExitFailure;
    std::cout << "stereo pair: " << ws.highResCount() << " pictures\n"
              << "size: " << ws.width() << " x " << ws.height() << "\n"
              << "high-resolution size: " << ws.highRes(0).width() << " x " << ws.highRes(0).height() << "\n";
    return kExitOk;
}

int runSaveViews(const std::vector<std::string>& argv) {
    const char* name = "save-views";
    Args args;
    std::string error;
    if (!args.parse(argv, {"all", "progress"}, error)) return usageError(name, error);
    if (auto u = args.unknown({"output", "all", "strength", "progress"}); !u.empty())
        return usageError(name, "unknown option --" + u.front());
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError(name, error);
    const auto out = args.get("output");
    if (args.positional().size() != 1 || !out || out->empty())
        return usageError(name, "expects a project and -o OUT.mpo, OUT.jpg or OUT.bmp");
    CliHost host;
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, defaultSettingsPath());
    if (!ws.Open(args.positional()[0])) return kExitFailure;
    {
        HostProgress progress(host, "立体画像作成中");
        ws.GenerateViews(&progress, strength.value_or(ws.strength()), false);
    }
    if (!ws.hasViews()) return kExitFailure;
    const int written = args.has("all") ? SaveAllViews(ws, *out) : SaveStereoPair(ws, *out);
    if (!written) return kExitFailure;
    std::cout << (args.has("all") ? ws.viewCount() : 2) << " views written for " << *out << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"stereo", "L R -o P.lyr | X.mpo -o P.lyr [--yes|--no]",
                      "makes a stereo-pair project from a left and a right picture or from an MPO file", &runStereo});
PLASTORA_CLI_COMMAND({"save-views", "P.lyr -o OUT.{mpo,jpg,bmp} [--all] [--strength 0-99] [--progress]",
                      "writes the left/right pair (OUT_L, OUT_R) or with --all every view (OUT_01 ...), "
                      "as BMP, Exif JPEG or one MPO file",
                      &runSaveViews});
PLASTORA_CLI_HELP("stereo",
                  "options:\n"
                  "  L R                the left and the right picture (JPEG, BMP, PNG, TIFF, WebP; Exif\n"
                  "                     orientation applied), or one multi-picture file X.mpo\n"
                  "  -o, --output P.lyr the stereo-pair project to write\n"
                  "  --yes | --no       the answer when the two pictures differ in size (default: no)\n\n"
                  "example:\n"
                  "  plastora-cli stereo left.jpg right.jpg -o pair.lyr\n");
PLASTORA_CLI_HELP("save-views",
                  "options:\n"
                  "  -o, --output OUT   .mpo (one multi-picture file), .jpg (Exif JPEGs) or .bmp\n"
                  "  --all              every view (OUT_01 ...) instead of the left/right pair (OUT_L, OUT_R)\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "example:\n"
                  "  plastora-cli save-views picture.lyr -o pair.mpo\n");

}  // namespace plastora::cli
