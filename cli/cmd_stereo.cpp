// stereo and save-views: stereo-pair documents from two pictures or an MPO,
// and the left/right pair or all views written as BMP, Exif JPEG or MPO.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/WorkingSize.h"
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
        // Pictures of different sizes go on only with --yes: the second
        // would be stretched to the first one's shape.
        if (request.text == kStereoSizeDiffersQuestion && !forcedAnswer) {
            CliHost::message(request);
            return MsgResult::No;
        }
        return CliHost::message(request);
    }
    std::optional<std::string> fileDialog(const FileDialogRequest& request) override {
        if (!request.save && !secondFile.empty()) {
            // From here on a picture that cannot be read is the second.
            readSubject = secondFile;
            return std::exchange(secondFile, std::string());
        }
        return std::nullopt;
    }
};

// The picture dialog of the first picture, answered from --paper and --trim
// as `open` answers it; options left out keep the dialog's presets.
class StereoDialogs : public WorkspaceDialogs {
public:
    std::optional<int> paper, trimming;
    std::string refusal;

    bool pictureDialog(PictureDialogData& d) override {
        if (paper) d.paper = *paper;
        if (trimming) d.trimming = *trimming;
        if (trimming && *trimming == kTrimNone && (d.resizing || d.highRes)) {
            refusal = tr("--trim 0 is not available: the picture is larger than the 2L paper");
            return false;
        }
        return true;
    }
};

int runStereo(const std::vector<std::string>& argv) {
    const char* name = "stereo";
    Args args;
    std::string error;
    if (!args.parse(argv, {"yes", "no", "no-align"}, error)) return usageError(name, error);
    if (!args.checkKnown({"output", "yes", "no", "paper", "trim", "no-align"}, error)) return usageError(name, error);
    StereoDialogs dialogs;
    if (!args.getInt("paper", 0, kPaperUser - 1, dialogs.paper, error) ||
        !args.getInt("trim", 0, kTrimManual - 1, dialogs.trimming, error))
        return usageError(name, error);
    const auto& pos = args.positional();
    const auto out = args.get("output");
    if (!out || out->empty()) return usageError(name, tr("needs -o P.lyr"));
    if (int rc = checkOutput(name, *out, {OutputKind::Project}); rc != kExitOk) return rc;
    // Two pictures, or one MPO: a project or an MPO first would be opened
    // by itself and the second file never read.
    if (pos.empty() || pos.size() > 2 || (pos.size() == 1) != isMpoPath(pos[0]) ||
        outputKindOf(pos[0]) == OutputKind::Project)
        return usageError(name, tr("expects two pictures (left, right) or one .mpo file"));
    if (args.has("yes") && args.has("no")) return usageError(name, tr("--yes and --no exclude each other"));

    StereoPairHost host;
    host.readSubject = pos[0];
    host.writeSubject = *out;  // a failed save names the file written
    if (args.has("yes")) host.forcedAnswer = MsgResult::Yes;
    if (args.has("no")) host.forcedAnswer = MsgResult::No;
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDialogs(&dialogs);
    // Without --no-align the settings decide ([Stereo] "Align", on by default).
    const std::optional<bool> align = args.has("no-align") ? std::optional<bool>(false) : std::nullopt;
    int opened = 0;
    if (pos.size() == 1) {
        opened = OpenMpoFile(ws, pos[0], align);
    } else {
        host.secondFile = pos[1];
        opened = OpenStereoImage(ws, pos[0], align);
    }
    if (!opened) {
        if (!dialogs.refusal.empty()) return usageError(name, dialogs.refusal);
        return kExitFailure;
    }
    if (!ws.Save(*out)) return kExitFailure;
    const Rect& s = ws.trimSource();
    const Rect& d = ws.trimDest();
    std::cout << "stereo pair: " << ws.highResCount() << " pictures\n"
              << "size: " << ws.width() << " x " << ws.height() << "\n"
              << "high-resolution size: " << ws.highRes(0).width() << " x " << ws.highRes(0).height() << "\n"
              << "source: " << s.left << "," << s.top << "," << s.width() << "," << s.height() << "\n"
              << "dest: " << d.left << "," << d.top << "," << d.width() << "," << d.height() << "\n";
    // The alignment note is the status-bar text, in the chosen language:
    // stdout keeps to the English report above.
    for (const std::string& note : host.statusNotes) std::cerr << note << "\n";
    return kExitOk;
}

int runSaveViews(const std::vector<std::string>& argv) {
    const char* name = "save-views";
    Args args;
    std::string error;
    if (!args.parse(argv, {"all", "progress", "no-pm"}, error)) return usageError(name, error);
    if (!args.checkKnown({"output", "all", "strength", "progress", "no-pm", "method"}, error)) return usageError(name, error);
    std::optional<int> method;
    if (!parseMethod(args, method, error)) return usageError(name, error);
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError(name, error);
    const auto out = args.get("output");
    if (args.positional().size() != 1 || !out || out->empty())
        return usageError(name, tr("expects a project and -o OUT.mpo, OUT.jpg or OUT.bmp"));
    if (int rc = checkOutput(name, *out, {OutputKind::Mpo, OutputKind::Jpeg, OutputKind::Bmp}); rc != kExitOk)
        return rc;
    CliHost host;
    host.writeSubject = *out;  // a failed save names the file written
    host.readSubject = args.positional()[0];
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDisplayWanted(false);  // only the views are written
    if (args.has("all")) {
        // The views between are matched by the same rule as views and
        // lenticular.
        if (int rc = openAndGenerate(ws, host, args.positional()[0], strength, !args.has("no-pm"), method); rc != kExitOk)
            return rc;
    } else {
        // The pair needs only the two outer views (a stereo document's are
        // its pictures).
        if (!openForViews(ws, args.positional()[0])) return kExitFailure;
        HostProgress progress(host, "立体画像作成中");
        ws.GenerateViews(&progress, strength.value_or(ws.strength()), true);
    }
    if (!ws.hasViews()) return kExitFailure;
    const int written = args.has("all") ? SaveAllViews(ws, *out) : SaveStereoPair(ws, *out);
    if (!written) return kExitFailure;
    std::cout << (args.has("all") ? ws.viewCount() : 2) << " views written for " << *out << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"stereo", "L R -o P.lyr | X.mpo -o P.lyr [--paper 0-5] [--trim 0-3] [--no-align] [--yes|--no]",
                      "makes a stereo-pair project from a left and a right picture or from an MPO file, "
                      "brought to the working size like open and aligned (--no-align: as they are)",
                      &runStereo});
PLASTORA_CLI_COMMAND({"save-views", "P.lyr -o OUT.{mpo,jpg,bmp} [--all] [--strength 0-99] [--no-pm] [--method dense|blocks] [--progress]",
                      "writes the left/right pair (OUT_L, OUT_R) or with --all every view (OUT_01 ...), "
                      "as BMP, Exif JPEG or one MPO file",
                      &runSaveViews});
PLASTORA_CLI_HELP("stereo",
                  "options:\n"
                  "  L R                the left and the right picture (JPEG, BMP, PNG, TIFF, WebP; Exif\n"
                  "                     orientation applied), or one multi-picture file X.mpo\n"
                  "  -o, --output P.lyr the stereo-pair project to write\n"
                  "  --paper P          paper size by number, 0 to 5: 0 postcard, 1 L, 2 card, 3 VGA, 4 A4, 5 2L\n"
                  "                     (default: the picture dialog's preset)\n"
                  "  --trim M           trimming by number, 0 to 3: 0 none, 1 crop, 2 margins, 3 stretch\n"
                  "                     (default: the picture dialog's preset)\n"
                  "  --no-align         the pictures as they are (default: aligned on each other)\n"
                  "  --yes | --no       the answer when the two pictures differ in size (default: no)\n\n"
                  "example:\n"
                  "  plastora-cli stereo left.jpg right.jpg -o pair.lyr\n");
PLASTORA_CLI_HELP("save-views",
                  "options:\n"
                  "  -o, --output OUT   .mpo (one multi-picture file), .jpg (Exif JPEGs) or .bmp\n"
                  "  --all              every view (OUT_01 ...) instead of the left/right pair (OUT_L, OUT_R)\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n"
                  "  --no-pm            with --all, a stereo pair's in-between views without pattern matching\n"
                  "  --method M         how a pair's in-between views are matched: dense (disparity, the default) or\n"
                  "                     blocks; given, they are matched whatever the strength\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "example:\n"
                  "  plastora-cli save-views picture.lyr -o pair.mpo\n");

}  // namespace plastora::cli
