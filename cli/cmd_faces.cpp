// faces: face detection and the automatic cutout on a photo, saved as a
// project. Detection and cutout use the [Auto] settings; nothing is written
// to the settings file.
#include "autocut/FaceDetect.h"
#include "cli/Cli.h"
#include "platform/Translation.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"

#include <iostream>

namespace plastora::cli {

namespace {

int runFaces(const std::vector<std::string>& argv) {
    const char* name = "faces";
    Args args;
    std::string error;
    if (!args.parse(argv, {"separate"}, error)) return usageError(name, error);
    const std::vector<std::string> known = {"output", "separate", "settings"};
    if (!args.checkKnown(known, error)) return usageError(name, error);
    if (args.positional().size() != 1) return usageError(name, tr("expects one photo"));
    const auto out = args.get("output");
    if (!out || out->empty()) return usageError(name, tr("needs -o P.lyr"));
    if (int rc = checkOutput(name, *out, {OutputKind::Project}); rc != kExitOk) return rc;

    if (int rc = checkSettingsOption(args); rc != kExitOk) return rc;

    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *out;  // a failed save names the file written
    host.forcedAnswer = MsgResult::No;  // the lens question keeps the standard LPI
    CStereoWorkspace ws(host, args.get("settings").value_or(readSettingsPath()));
    if (!ws.Open(args.positional()[0])) return host.messages.empty() ? failure(args.positional()[0] + ": " + translateText("ファイルの読み込みに失敗しました。")) : kExitFailure;
    // A stereo pair's views come from its pictures: it keeps no cut-out
    // layers, and those made here would be dropped when it is opened again.
    if (ws.stereoPair()) return usageError(name, tr("a stereo pair has no cut-out layers; give a photo or a layered project"));
    // Opening a photo enters mask editing, where the cutout is made.
    if (ws.mode() != kModeMask && !ws.SetMode(kModeMask)) return kExitFailure;

    const int n = DetectFaces(ws);
    if (n == 0) return kExitFailure;
    std::cout << "faces: " << n << "\n";
    for (const FaceBox& f : ws.faces())
        std::cout << "face: " << f.left << "," << f.top << "," << f.right << "," << f.bottom << "\n";
    if (!AutoCutout(ws, args.has("separate"), false)) return kExitFailure;
    ws.faces().clear();
    std::cout << "regions: " << ws.regionCount() << "\n";
    for (int i = 0; i < ws.regionCount(); ++i) std::cout << "depth " << i << ": " << ws.region(i).depth << "\n";
    if (int rc = refuseIncompleteOverwrite(name, ws, *out); rc != kExitOk) return rc;
    return ws.Save(*out) ? kExitOk : kExitFailure;
}

}  // namespace

PLASTORA_CLI_COMMAND("faces", "PHOTO -o P.lyr [--separate] [--settings INI]",
                     "finds the faces in a photo, cuts out every person with the body template (one region, or "
                     "one per face with --separate) and saves the project",
                     &runFaces);
PLASTORA_CLI_HELP("faces",
                  "options:\n"
                  "  PHOTO              a photo of any format the program opens\n"
                  "  -o, --output P.lyr the project to write\n"
                  "  --separate         one cutout region per face (default: one region for all)\n"
                  "  --settings INI     the settings file to read (detection settings, paper)\n\n"
                  "example:\n"
                  "  plastora-cli faces group.jpg --separate -o group.lyr\n");

}  // namespace plastora::cli
