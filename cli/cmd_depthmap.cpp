// depthmap: a project's depth as an 8-bit grey picture at the working size
// (nearer = brighter), or with --rgbd photo and depth side by side.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "layers/DepthViews.h"

#include <iostream>

namespace plastora::cli {

namespace {

int runDepthMap(const std::vector<std::string>& argv) {
    const char* name = "depthmap";
    Args args;
    std::string error;
    if (!args.parse(argv, {"rgbd"}, error)) return usageError(name, error);
    if (!args.checkKnown({"output", "rgbd"}, error)) return usageError(name, error);
    const auto out = args.get("output");
    if (args.positional().size() != 1 || !out || out->empty()) return usageError(name, tr("expects a project and -o OUT"));
    if (int rc = checkOutput(name, *out, pictureOutputs()); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *out;  // a failed save names the file written
    CStereoWorkspace ws(host, readSettingsPath());
    if (!openForViews(ws, args.positional()[0])) return kExitFailure;
    if (int rc = refuseProjectFile(name, ws, *out); rc != kExitOk) return rc;
    const bool rgbd = args.has("rgbd");
    if (!ExportDepthMap(ws, *out, rgbd)) return kExitFailure;
    std::cout << (rgbd ? 2 * ws.width() : ws.width()) << " x " << ws.height() << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"depthmap", "P.lyr -o OUT [--rgbd]",
                      "writes the project's depth at the working size, nearer brighter (8-bit grey for a .png "
                      "name); --rgbd puts the photo and the depth side by side",
                      &runDepthMap});
PLASTORA_CLI_HELP("depthmap",
                  "options:\n"
                  "  -o, --output OUT   the depth map: .png (8-bit grey), .jpg/.jpeg or .bmp, by extension\n"
                  "  --rgbd             the photo on the left and the depth on the right, in one picture\n\n"
                  "A stereo-pair project has no depth map to write.\n\n"
                  "example:\n"
                  "  plastora-cli depthmap picture.lyr -o depth.png\n");

}  // namespace plastora::cli
