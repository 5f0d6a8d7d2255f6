// anaglyph, interlace and spectral: the pictures made from a project's two
// extreme views (or, for spectral glasses, from its regions).
//
// Options choose what the dialogs would; nothing is written to the settings
// file.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Anaglyph.h"
#include "output/AnaglyphMethods.h"
#include "output/Interlace.h"
#include "output/Diffraction.h"

#include <algorithm>
#include <charconv>
#include <iostream>

namespace plastora::cli {

namespace {

int openProject(CStereoWorkspace& ws, const std::string& path) { return ws.Open(path) ? kExitOk : kExitFailure; }

// Views 0 and N-1 with the given strength; true when both exist after.
bool makeExtremeViews(CStereoWorkspace& ws, int strength) {
    RegenerateAnaglyphViews(ws, strength);
    return ws.viewCount() >= 2 && !ws.view(0).empty() && !ws.view(ws.viewCount() - 1).empty();
}

int printSize(const Surface& s) {
    std::cout << s.width() << " x " << s.height() << "\n";
    return kExitOk;
}

int runAnaglyph(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"colour"}, error)) return usageError("anaglyph", error);
    if (auto u = args.unknown({"output", "filter", "method", "colour", "strength"}); !u.empty())
        return usageError("anaglyph", "unknown option --" + u.front());
    std::optional<int> filter, strength;
    if (!args.getInt("filter", 0, 2, filter, error) || !args.getInt("strength", 1, 50, strength, error))
        return usageError("anaglyph", error);
    if (auto m = args.get("method")) {
        if (filter) return usageError("anaglyph", "--method and --filter exclude each other");
        const int method = anaglyphMethodFromName(*m);
        if (method < 0) return usageError("anaglyph", "unknown --method " + *m);
        filter = method;
    }
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("anaglyph", "expects a project and -o OUT");
    CliHost host;
    CStereoWorkspace ws(host, defaultSettingsPath());
    if (int rc = openProject(ws, args.positional()[0]); rc != kExitOk) return rc;
    if (!makeExtremeViews(ws, strength.value_or(ws.strength()))) return kExitFailure;
    ws.setAnaglyphColourMode(args.has("colour") ? kAnaglyphColour : kAnaglyphGrey);
    ws.setAnaglyphFilter(filter.value_or(kFilterRedCyan));
    if (!BuildAnaglyphImage(ws)) return kExitFailure;
    ws.setDisplayMode(kModeAnaglyph);
    ws.Redraw();
    if (!SaveAnaglyph(ws, *args.get("output"))) return kExitFailure;
    // What was written: the high-resolution anaglyph when the project has a
    // high-resolution copy, else the working size.
    const int r = ws.highResCount() > 0 ? std::max(1, ws.settings().hdRatio) : 1;
    std::cout << ws.width() * r << " x " << ws.height() * r << "\n";
    return kExitOk;
}

int runInterlace(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"columns", "swap"}, error)) return usageError("interlace", error);
    if (auto u = args.unknown({"output", "columns", "swap", "strength"}); !u.empty())
        return usageError("interlace", "unknown option --" + u.front());
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError("interlace", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("interlace", "expects a project and -o OUT");
    CliHost host;
    CStereoWorkspace ws(host, defaultSettingsPath());
    if (int rc = openProject(ws, args.positional()[0]); rc != kExitOk) return rc;
    if (!makeExtremeViews(ws, strength.value_or(ws.strength()))) return kExitFailure;
    StereoSources sources;
    if (!prepareStereoSources(ws, sources)) return kExitFailure;
    Surface out;
    if (!BuildInterlace(out, *sources.right, *sources.left, args.has("columns") ? kInterlaceColumns : kInterlaceRows,
                        args.has("swap")))
        return failure(kOutOfMemoryMessage);
    if (!SaveStillImage(host, out, out.width(), out.height(), *args.get("output"), ws.settings().jpegQuality))
        return kExitFailure;
    return printSize(out);
}

// "r,g,b" with each part 0..255.
bool parseColour(const std::string& text, ColorRef& out) {
    unsigned parts[3];
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 3; ++i) {
        auto [next, ec] = std::from_chars(p, end, parts[i]);
        if (ec != std::errc() || parts[i] > 255) return false;
        p = next;
        if (i < 2) {
            if (p == end || *p != ',') return false;
            ++p;
        }
    }
    if (p != end) return false;
    out = RGB(parts[0], parts[1], parts[2]);
    return true;
}

int runSpectral(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"fill", "contrast"}, error)) return usageError("spectral", error);
    if (auto u = args.unknown({"output", "colour", "fill", "background-masks", "contrast"}); !u.empty())
        return usageError("spectral", "unknown option --" + u.front());
    std::optional<int> masks;
    if (!args.getInt("background-masks", 0, 31, masks, error)) return usageError("spectral", error);
    SpectralDialogData data;
    data.colour = CStereoWorkspace::kSpectralDefaultColour;
    if (auto c = args.get("colour"); c && !parseColour(*c, data.colour))
        return usageError("spectral", "--colour expects r,g,b with each part 0..255");
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("spectral", "expects a project and -o OUT");
    CliHost host;
    CStereoWorkspace ws(host, defaultSettingsPath());
    if (int rc = openProject(ws, args.positional()[0]); rc != kExitOk) return rc;
    data.fill = args.has("fill");
    data.contrast = args.has("contrast");
    data.backgroundMasks = masks.value_or(0);
    if (ws.regionCount() > 1 ? data.backgroundMasks > ws.regionCount() - 1 : data.backgroundMasks != 0)
        return usageError("spectral", "--background-masks must be below the number of regions (" +
                                          std::to_string(ws.regionCount()) + ")");
    if (!ApplySpectral(ws, data)) return kExitFailure;
    if (!SaveStillImage(host, ws.display(), ws.width(), ws.height(), *args.get("output"), ws.settings().jpegQuality))
        return kExitFailure;
    return printSize(ws.display());
}

}  // namespace

PLASTORA_CLI_COMMAND({"anaglyph", "P.lyr -o OUT [--filter 0-2|--method NAME] [--colour] [--strength 1-50]",
                      "writes the anaglyph of a project's extreme views (filter 0 red-cyan, 1 red-green, 2 red-blue; "
                      "grey unless --colour; or --method red-cyan, red-green, red-blue, dubois-red-cyan, "
                      "dubois-green-magenta, dubois-amber-blue, half-colour, optimised); at high resolution when "
                      "the project has a high-resolution copy",
                      &runAnaglyph});
PLASTORA_CLI_COMMAND({"interlace", "P.lyr -o OUT [--columns] [--swap] [--strength 0-99]",
                      "writes the display interlace image of a project's extreme views (rows, or columns)",
                      &runInterlace});
PLASTORA_CLI_COMMAND({"spectral", "P.lyr -o OUT [--colour r,g,b] [--fill] [--background-masks K] [--contrast]",
                      "writes the spectral-glasses image: the regions from K on in colour over a grey-tinted (or "
                      "filled) background; the colour defaults to blue",
                      &runSpectral});

}  // namespace plastora::cli
