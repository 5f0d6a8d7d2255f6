// open: a photo brought to the working size of a paper, lens and trimming
// mode, saved as a project (.lyr) or as the working image.
#include "cli/Cli.h"
#include "platform/SafeFile.h"
#include "core/DepthMapFile.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/DepthViews.h"
#include "core/ProjectFile.h"
#include "output/PrintResolution.h"
#include "output/WorkingSize.h"

#include <cstdio>
#include <iostream>
#include <sstream>

namespace plastora::cli {

namespace {

// Answers the picture and trimming dialogs from the command line. The
// options left out keep the dialog's presets.
class CliDialogs : public WorkspaceDialogs {
public:
    std::optional<int> paper, trimming;
    std::optional<double> lpi;
    std::optional<Size> mm;
    std::optional<Rect> rect;
    std::string refusal;  // why a dialog was not confirmed (a usage error)

    bool pictureDialog(PictureDialogData& d) override {
        if (mm) {
            d.userWidthMm = mm->cx;
            d.userHeightMm = mm->cy;
            if (!paper) d.paper = kPaperUser;
        }
        if (paper) d.paper = *paper;
        if (trimming) d.trimming = *trimming;
        if (lpi) d.lpi = *lpi;
        // The dialog does not offer "トリミングしない" for a paper change or a
        // photo larger than the "2 L判" paper.
        if (trimming && *trimming == kTrimNone && (d.resizing || d.highRes)) {
            refusal = tr("--trim 0 is not available: the photo is larger than the 2L paper");
            return false;
        }
        return true;
    }

    bool trimmingDialog(TrimmingDialogData& d) override {
        if (!rect) {
            refusal = tr("--trim 4 needs --rect x,y,w,h (there is no interactive frame)");
            return false;
        }
        const int sw0 = d.photo ? d.photo->width() : 0, sh0 = d.photo ? d.photo->height() : 0;
        if (rect->left < 0 || rect->top < 0 || rect->right > sw0 || rect->bottom > sh0) {
            refusal = tr("--rect must lie inside the photo (%1 x %2)", {std::to_string(sw0), std::to_string(sh0)});
            return false;
        }
        d.source = *rect;
        return true;
    }
};

// "a,b,..." as `count` whole numbers.
bool parseNumbers(const std::string& text, std::size_t count, std::vector<long>& out) {
    out.clear();
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        char* end = nullptr;
        const long v = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0') return false;
        out.push_back(v);
    }
    // getline drops an empty last field: "1,2," is not two numbers.
    return out.size() == count && text.back() != ',';
}

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

int runOpen(const std::vector<std::string>& argv) {
    const char* name = "open";
    Args args;
    std::string error;
    if (!args.parse(argv, {"yes", "no"}, error)) return usageError(name, error);
    const std::vector<std::string> known = {"output", "paper", "trim", "lpi", "mm", "rect", "hd", "settings", "yes", "no",
                                            "depth"};
    if (!args.checkKnown(known, error)) return usageError(name, error);
    if (args.positional().size() != 1) return usageError(name, tr("expects one photo"));
    const auto out = args.get("output");
    if (!out || out->empty()) return usageError(name, tr("needs -o OUT"));
    if (int rc = checkOutput(name, *out, {OutputKind::Project, OutputKind::Jpeg, OutputKind::Bmp, OutputKind::Png});
        rc != kExitOk)
        return rc;
    if (auto hd = args.get("hd"); hd && checkOutput(name, *hd, pictureOutputs()) != kExitOk) return kExitUsage;
    if (args.has("yes") && args.has("no")) return usageError(name, tr("--yes and --no exclude each other"));

    CliDialogs dialogs;
    if (!getPaper(args, dialogs.paper, error) || !getTrim(args, dialogs.trimming, error) ||
        !args.getDouble("lpi", kMinLpi, kMaxLpi, dialogs.lpi, error))
        return usageError(name, error);
    std::vector<long> n;
    if (auto mm = args.get("mm")) {
        if (!parseNumbers(*mm, 2, n) || n[0] < kMinPaperMm || n[0] > kMaxPaperMm || n[1] < kMinPaperMm ||
            n[1] > kMaxPaperMm)
            return usageError(name, tr("--mm must be W,H in millimetres, each from 1 to 9999"));
        dialogs.mm = Size{static_cast<int>(n[0]), static_cast<int>(n[1])};
        // The size is the user paper's: another paper would leave it unused.
        if (dialogs.paper && *dialogs.paper != kPaperUser)
            return usageError(name, tr("--mm goes with the user paper (--paper user, or no --paper)"));
    }
    if (auto rect = args.get("rect")) {
        if (!parseNumbers(*rect, 4, n) || n[2] <= 0 || n[3] <= 0 || n[0] < 0 || n[1] < 0 || n[0] > 1000000 ||
            n[1] > 1000000 || n[2] > 1000000 || n[3] > 1000000)
            return usageError(name, tr("--rect must be x,y,w,h in photo pixels"));
        dialogs.rect = Rect{static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[0] + n[2]),
                            static_cast<int>(n[1] + n[3])};
    }
    if (dialogs.trimming == kTrimManual && !dialogs.rect)
        return usageError(name, tr("--trim 4 needs --rect x,y,w,h (there is no interactive frame)"));
    if (dialogs.rect && dialogs.trimming != kTrimManual) return usageError(name, tr("--rect goes with --trim 4"));

    // Nothing the command reads may be written over: the photo, its depth
    // map, or one output by the other.
    const std::string& photo = args.positional()[0];
    const auto depthArg = args.get("depth");
    const auto hdArg = args.get("hd");
    for (const std::optional<std::string>& target : {std::optional<std::string>(*out), hdArg}) {
        if (!target) continue;
        for (const std::optional<std::string>& input : {std::optional<std::string>(photo), depthArg})
            if (input)
                if (int rc = refuseInputAsOutput(name, *target, *input); rc != kExitOk) return rc;
    }
    if (hdArg && sameFile(*hdArg, *out)) return usageError(name, tr("--hd and -o name the same file"));
    if (int rc = checkSettingsOption(args); rc != kExitOk) return rc;

    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *out;
    if (depthArg) host.messageSubjects[kDepthMapReadFailedMessage] = *depthArg;
    // The lens question is answered No unless --yes says otherwise; either
    // way the settings file is only read (the tool never writes it).
    host.forcedAnswer = args.has("yes") ? MsgResult::Yes : MsgResult::No;
    const std::string settingsPath = args.get("settings").value_or(readSettingsPath());
    CStereoWorkspace ws(host, settingsPath);
    ws.setDialogs(&dialogs);
    // With --depth the views of the project come from that depth map.
    const auto depth = args.get("depth");
    if (depth && depth->empty()) return usageError(name, tr("--depth needs a depth map file"));
    // Only a project keeps the map; a picture written instead would drop it.
    if (depth && !endsWith(*out, ".lyr")) return usageError(name, tr("--depth goes with -o P.lyr"));
    if (!(depth ? OpenPhotoWithDepth(ws, args.positional()[0], *depth) : ws.Open(args.positional()[0]))) {
        if (!dialogs.refusal.empty()) return usageError(name, dialogs.refusal);
        if (host.messages.empty()) host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return kExitFailure;
    }
    // --hd is settled before anything is written, so that a failure leaves
    // nothing behind: a copy there is none of, or a name of the project
    // about to be written (its edit image, say).
    const bool hasCopy = ws.highResCount() > 0 && !ws.highRes(0).empty();
    if (hdArg && !hasCopy)
        return failure(tr("%1 not written: the photo gives no high-resolution copy at this working size", {*hdArg}));
    if (hdArg && endsWith(*out, ".lyr"))
        if (int rc = refuseProjectFile(name, projectFilesFor(ws, *out), *out, *hdArg); rc != kExitOk) return rc;

    if (endsWith(*out, ".lyr"))
        if (int rc = refuseIncompleteOverwrite(name, ws, *out); rc != kExitOk) return rc;
    // The copy is written (and flushed) first but put in place only after
    // the project or picture: a copy that cannot be written leaves the old
    // project, and a failed project the old copy.
    std::shared_ptr<ReplacingFile> hdFile;
    if (hdArg) {
        const Surface& hd = ws.highRes(0);
        hdFile = WriteStillImageRowsPending(rowsOf(hd), *hdArg, ws.settings().jpegQuality, kHighResPrintDpi);
        if (!hdFile || !hdFile->sync()) {
            host.writeSubject = *hdArg;
            host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            return kExitFailure;
        }
    }
    if (endsWith(*out, ".lyr")) {
        if (!ws.Save(*out)) return kExitFailure;
    } else if (!SaveStillImage(host, ws.source(), ws.width(), ws.height(), *out, ws.settings().jpegQuality)) {
        return kExitFailure;
    }
    std::cout << "size: " << ws.width() << " x " << ws.height() << "\n";
    const std::string lens = lensText(ws.lpi());
    std::cout << "lpi: " << lens << "\n";
    const Rect& s = ws.trimSource();
    const Rect& d = ws.trimDest();
    std::cout << "source: " << s.left << "," << s.top << "," << s.width() << "," << s.height() << "\n"
              << "dest: " << d.left << "," << d.top << "," << d.width() << "," << d.height() << "\n";
    if (hasCopy) {
        const Surface& hd = ws.highRes(0);
        std::cout << "high-resolution: " << hd.width() << " x " << hd.height() << "\n";
        if (hdFile && !hdFile->commit()) {
            host.writeSubject = *hdArg;
            host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            return kExitFailure;
        }
    }
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND("open",
                     "PHOTO -o OUT [--paper 0-6] [--trim 0-4] [--lpi 20-160] [--mm W,H] [--rect x,y,w,h] "
                     "[--hd FILE] [--depth DEPTH.png] [--settings INI] [--yes|--no]",
                     "brings a photo to the working size of a paper, lens and trimming mode; writes a project "
                     "(.lyr) or the working image (--depth: views by that depth map, nearer = brighter); the settings "
                     "(--settings INI) are read, never written",
                     &runOpen);
PLASTORA_CLI_HELP("open",
                  "Reads a photo (JPEG, BMP, PNG, TIFF or WebP, recognised by its content; a JPEG's Exif\n"
                  "orientation is applied) and brings it to the working size.\n\n"
                  "options:\n"
                  "  -o, --output OUT   a project (.lyr) or the working image (.jpg, .jpeg, .bmp, .png)\n"
                  "  --paper P          paper size, by number or name (default: the picture dialog's preset):\n"
                  "%1"
                  "  --trim M           trimming, by number or name (default: crop):\n"
                  "%2"
                  "  --lpi X            lens resolution in lines per inch, 20 to 160 (default: the settings)\n"
                  "  --mm W,H           user paper size in millimetres, each 1 to 9999 (implies --paper user)\n"
                  "  --rect x,y,w,h     the frame for --trim manual, in photo pixels\n"
                  "  --hd FILE          also write the high-resolution copy (.jpg, .bmp, .png; 340 dpi)\n"
                  "  --depth FILE       a depth map (8-bit grey, nearer = brighter) the views are made from\n"
                  "  --settings INI     the settings file to read, never written (default: the program's Plastora.ini)\n"
                  "  --yes | --no       answer to the lens question (nothing is written either way)\n\n"
                  "example:\n"
                  "  plastora-cli open photo.png --paper l --trim margins --lpi 60 -o picture.lyr\n");

}  // namespace plastora::cli
