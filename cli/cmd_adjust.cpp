// adjust and rotate: brightness and contrast, and the rotation, of a
// project's picture, saved as a new project.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/Adjust.h"

#include <iostream>

namespace plastora::cli {

namespace {

int saveAndReport(const char* name, CStereoWorkspace& ws, const std::string& out) {
    if (int rc = refuseIncompleteOverwrite(name, ws, out); rc != kExitOk) return rc;
    if (!ws.Save(out)) return kExitFailure;
    std::cout << ws.width() << " x " << ws.height() << "\n";
    return kExitOk;
}

int runAdjust(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("adjust", error);
    if (!args.checkKnown({"output", "brightness", "contrast"}, error)) return usageError("adjust", error);
    std::optional<int> brightness, contrast;
    if (!args.getInt("brightness", kAdjustMin, kAdjustMax, brightness, error) ||
        !args.getInt("contrast", kAdjustMin, kAdjustMax, contrast, error))
        return usageError("adjust", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("adjust", tr("expects a project and -o OUT.lyr"));
    // The output is a project: any other name would be cut to its base and
    // the project written there, over the files of that name.
    if (int rc = checkOutput("adjust", *args.get("output"), {OutputKind::Project}); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *args.get("output");  // a failed save names the file written
    CStereoWorkspace ws(host, readSettingsPath());
    if (!ws.Open(args.positional()[0])) return kExitFailure;
    // Nothing to change still writes the copy, as OK with both at 0 does.
    ApplyAdjustment(ws, brightness.value_or(0), contrast.value_or(0));
    return saveAndReport("adjust", ws, *args.get("output"));
}

int runRotate(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("rotate", error);
    if (!args.checkKnown({"output"}, error)) return usageError("rotate", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("rotate", tr("expects a project and -o OUT.lyr"));
    if (int rc = checkOutput("rotate", *args.get("output"), {OutputKind::Project}); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *args.get("output");  // a failed save names the file written
    // The stereo pair's question is answered OK: asking for the rotation is
    // the consent.
    host.forcedAnswer = MsgResult::Ok;
    CStereoWorkspace ws(host, readSettingsPath());
    if (!ws.Open(args.positional()[0])) return kExitFailure;
    // Opening a project withholds the rotation in the program because a
    // drawn mask might not follow the picture; every mask is rotated with it
    // here, so the command allows it.
    ws.setRotationAllowed(true);
    if (!RotateImage(ws)) return kExitFailure;
    return saveAndReport("rotate", ws, *args.get("output"));
}

}  // namespace

PLASTORA_CLI_COMMAND({"adjust", "P.lyr --brightness B --contrast C -o OUT.lyr",
                      "brightness and contrast (-50..50) of a project's picture, saved as a new project", &runAdjust});
PLASTORA_CLI_COMMAND({"rotate", "P.lyr -o OUT.lyr",
                      "turns a project's picture a quarter left (a stereo pair half round, left and right exchanged)",
                      &runRotate});
PLASTORA_CLI_HELP("adjust",
                  "options:\n"
                  "  --brightness B     -50 to 50 (0 leaves it)\n"
                  "  --contrast C       -50 to 50 (0 leaves it)\n"
                  "  -o, --output OUT   the new project (.lyr)\n\n"
                  "example:\n"
                  "  plastora-cli adjust picture.lyr --brightness 10 --contrast 5 -o brighter.lyr\n");
PLASTORA_CLI_HELP("rotate",
                  "options:\n"
                  "  -o, --output OUT   the new project (.lyr)\n\n"
                  "example:\n"
                  "  plastora-cli rotate picture.lyr -o turned.lyr\n");

}  // namespace plastora::cli
