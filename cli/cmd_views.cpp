// views and lenticular: the view set and the lenticular composite of a project.
#include "cli/Cli.h"
#include "platform/SafeFile.h"
#include "platform/SignalCleanup.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PrintResolution.h"
#include "overlay/ObjectDraw.h"
#include "stereo/PatternMultiView.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <string>
#include <vector>

namespace plastora::cli {

namespace {

int runViews(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"progress", "no-pm"}, error)) return usageError("views", error);
    if (!args.checkKnown({"output", "strength", "progress", "no-pm", "method", "format"}, error)) return usageError("views", error);
    std::optional<int> method;
    if (!parseMethod(args, method, error)) return usageError("views", error);
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError("views", error);
    if (args.positional().size() != 1 || !args.get("output")) return usageError("views", tr("expects a project and -o DIR"));
    // The views are DIR/view_NN.EXT, BMP unless --format names another
    // picture format.
    std::string ext = "." + args.get("format").value_or("bmp");
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (int rc = checkFormatOption("views", ext.substr(1), pictureOutputs()); rc != kExitOk) return rc;
    const std::string dir = *args.get("output");
    CliHost host;
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDisplayWanted(false);
    host.readSubject = args.positional()[0];
    if (!openForViews(ws, args.positional()[0])) return kExitFailure;
    const int n = ws.viewCount();
    std::vector<std::string> outs;
    for (int i = 0; i < n; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "view_%02d", i);
        outs.push_back((std::filesystem::path(dir) / name).string() + ext);
        // A project whose files are named like views (view_00.lyr in the
        // output folder) keeps them.
        if (int rc = refuseProjectFile("views", ws, outs.back()); rc != kExitOk) return rc;
    }
    // The folder is made only once the project has opened: a project that
    // cannot be read leaves no empty folder behind.
    std::error_code ec;
    const bool made = std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) return failure(tr("%1: the folder cannot be made", {dir}));
    // A folder made for views that then failed is not left behind empty
    // (removing a folder that holds files does nothing).
    struct RemoveIfEmpty {
        std::string dir;
        bool made;
        ~RemoveIfEmpty() {
            std::error_code ignored;
            if (made) std::filesystem::remove(dir, ignored);
        }
    } removeIfEmpty{dir, made};
    // The views are written on every core at once, each as it is made (a
    // document drawn from regions: a band of rows at a time, straight into
    // its file); they are reported in view order once all are written.
    // 0: not made (a message told why, or an earlier failure stopped the
    // work), 1: written, 2: writing failed.
    std::vector<char> written(static_cast<std::size_t>(n), 0);
    // Each view written is flushed to the disk on a thread of its own, so
    // that its writer goes on with the next view instead of waiting for the
    // disk; only when every view is safe are they all renamed into place, so
    // a failure (a full disk) leaves the folder's old views as they were, not
    // a mix of old and new.
    std::vector<std::shared_ptr<ReplacingFile>> pending(static_cast<std::size_t>(n));
    std::vector<std::future<bool>> syncs(static_cast<std::size_t>(n));
    const auto write = [&](int i, const PictureRows& rows) {
        const auto k = static_cast<std::size_t>(i);
        // The names are the program's own: a link among them (a folder from
        // someone else) is replaced, not written through.
        pending[k] = WriteStillImageRowsPending(rows, outs[k], ws.settings().jpegQuality, 0.0, LinkAtTarget::Replace);
        if (!pending[k]) {
            written[k] = 2;
            return false;
        }
        written[k] = 1;
        ReplacingFile* file = pending[k].get();
        try {
            syncs[k] = std::async(std::launch::async, [file] { return file->sync(); });
        } catch (...) {
            // No thread (or no memory for one) to be had: flushed here, so
            // that nothing escapes the worker.
            written[k] = file->sync() ? 1 : 2;
        }
        return written[k] == 1;
    };
    if (ws.stereoPair()) {
        // A pair's views come from its pictures and the matcher, whole.
        if (int rc = generateViews(ws, host, strength, !args.has("no-pm"), method); rc != kExitOk) return rc;
        cv::parallel_for_(cv::Range(0, n), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i) write(i, rowsOf(ws.view(i)));
        });
    } else {
        HostProgress progress(host, "立体画像作成中");
        ws.GenerateViewRowsInto(&progress, strength.value_or(ws.strength()), write);
    }
    for (std::size_t k = 0; k < syncs.size(); ++k)
        if (syncs[k].valid() && !syncs[k].get()) written[k] = 2;
    if (std::all_of(written.begin(), written.end(), [](char w) { return w == 1; })) {
        const SignalsHeld held;  // a signal to stop waits until all are in place
        for (std::size_t k = 0; k < pending.size(); ++k)
            if (!pending[k]->commit()) written[k] = 2;
    }
    // A failed file is told even when views before it were left unmade.
    const auto failed = std::find(written.begin(), written.end(), 2);
    if (failed != written.end()) {
        host.writeSubject = outs[static_cast<std::size_t>(failed - written.begin())];
        host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return kExitFailure;
    }
    if (std::find(written.begin(), written.end(), 0) != written.end()) return kExitFailure;
    for (const std::string& out : outs) std::cout << out << "\n";
    return kExitOk;
}

int runLenticular(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"progress", "no-pm"}, error)) return usageError("lenticular", error);
    if (!args.checkKnown({"output", "strength", "progress", "no-pm", "method"}, error)) return usageError("lenticular", error);
    std::optional<int> method;
    if (!parseMethod(args, method, error)) return usageError("lenticular", error);
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError("lenticular", error);
    if (args.positional().size() != 1 || !args.get("output")) return usageError("lenticular", tr("expects a project and -o OUT.bmp"));
    if (int rc = checkOutput("lenticular", *args.get("output"), pictureOutputs()); rc != kExitOk) return rc;
    CliHost host;
    host.writeSubject = *args.get("output");
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDisplayWanted(false);
    host.readSubject = args.positional()[0];
    if (!openForViews(ws, args.positional()[0])) return kExitFailure;
    if (int rc = refuseProjectFile("lenticular", ws, *args.get("output")); rc != kExitOk) return rc;
    // A composite too large for the format asked for is refused before its
    // views are made, with the reason.
    if (const Size c = ws.compositeSize(); !StillImageSizeWritable(*args.get("output"), c.cx, c.cy))
        return failure(tr("%1: the composite is %2 x %3 pixels, more than this format holds (JPEG: 65500 a side, "
                          "BMP: 4 GB); write PNG",
                          {*args.get("output"), std::to_string(c.cx), std::to_string(c.cy)}));
    // Nothing shows the composite here: its rows go straight to the file.
    // A document drawn from regions has its views made a band of rows at a
    // time as the rows are written, so that no view exists whole.
    // The print-resolution message goes to stderr like every message.
    if (ws.canGenerateViewBands() && !hasFlatTexts(ws)) {
        HostProgress progress(host, "立体画像作成中");
        if (!ws.GenerateAndWriteComposite(*args.get("output"), &progress, strength.value_or(ws.strength())))
            return kExitFailure;
    } else {
        if (int rc = generateViews(ws, host, strength, !args.has("no-pm"), method); rc != kExitOk) return rc;
        if (!ws.WriteComposite(*args.get("output"))) return kExitFailure;
    }
    // A JPEG holds whole dots per inch only: said, where the rounding would
    // shift the columns against the lens across the print.
    const double dpi = CompositePrintDpi(ws);
    if (outputKindOf(*args.get("output")) == OutputKind::Jpeg && std::abs(dpi - std::round(dpi)) >= 0.005) {
        char exact[32], stored[32];
        std::snprintf(exact, sizeof exact, "%.2f", dpi);
        // What the writer records (printf's "%.0f" would round 240.5 to
        // even, naming 240 where 241 is written).
        std::snprintf(stored, sizeof stored, "%d", jpegDotsPerInch(dpi));
        std::cerr << tr("note: a JPEG holds whole dots per inch: %1 is stored for %2; print at %2 dpi, or write "
                        "PNG or BMP, which keep it",
                        {stored, exact})
                  << std::endl;
    }
    const Size size = ws.compositeSize();
    std::cout << size.cx << " x " << size.cy << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"views", "P.lyr -o DIR [--format bmp|jpg|png] [--strength 0-99] [--no-pm] [--method dense|blocks] [--progress]",
                      "writes the N views of a project as DIR/view_00.bmp ... (or .jpg, .png; a stereo pair's in-between views are "
                      "matched as the stereo dialog starts: strength above 3 and [PM] EnablePM; --no-pm: never; "
                      "--method: always, by dense disparity or the block matcher)", &runViews});
PLASTORA_CLI_COMMAND({"lenticular", "P.lyr -o OUT.bmp [--strength 0-99] [--no-pm] [--method dense|blocks] [--progress]",
                      "writes the lenticular composite of a project's views", &runLenticular});

PLASTORA_CLI_HELP("views",
                  "options:\n"
                  "  -o, --output DIR   the folder for view_00.bmp ... view_NN.bmp (made when missing)\n"
                  "  --format EXT       the format of the views: bmp (default), jpg/jpeg or png\n"
                  "  --strength S       stereo strength, 0 to 99: 1 small, 2 standard, 3 large, others as given\n"
                  "                     (default: the project's)\n"
                  "  --no-pm            a stereo pair's in-between views without pattern matching\n"
                  "  --method M         how a pair's in-between views are matched: dense (disparity, the default) or\n"
                  "                     blocks; given, they are matched whatever the strength\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "example:\n"
                  "  plastora-cli views picture.lyr --strength 2 --format png -o views/\n");
PLASTORA_CLI_HELP("lenticular",
                  "options:\n"
                  "  -o, --output OUT   the composite: .bmp, .png or .jpg/.jpeg; the file carries the print\n"
                  "                     resolution N x LPI x 2 / pitch at which the columns match the lens\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n"
                  "  --no-pm            a stereo pair's in-between views without pattern matching\n"
                  "  --method M         how a pair's in-between views are matched: dense (disparity, the default) or\n"
                  "                     blocks; given, they are matched whatever the strength\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "example:\n"
                  "  plastora-cli lenticular picture.lyr -o composite.png\n");

}  // namespace plastora::cli
