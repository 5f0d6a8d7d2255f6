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
#include "platform/Paths.h"
#include "output/Diffraction.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>

namespace plastora::cli {

namespace {

// The project opened, unless the output would land on one of its files.
int openProject(const char* command, CStereoWorkspace& ws, const std::string& path, const std::string& output) {
    return openForViews(ws, path) ? refuseProjectFile(command, ws, output) : kExitFailure;
}

// Views 0 and N-1 with the given strength; true when both exist after.
bool makeExtremeViews(CStereoWorkspace& ws, int strength) {
    RegenerateAnaglyphViews(ws, strength);
    return ws.viewCount() >= 2 && !ws.view(0).empty() && !ws.view(ws.viewCount() - 1).empty();
}

int printSize(const Surface& s) {
    std::cout << s.width() << " x " << s.height() << "\n";
    return kExitOk;
}

struct AnaglyphOptions {
    std::optional<int> filter, strength;
    bool colour = false;
};

// One project's anaglyph written to `output`; an exit code.
int anaglyphOne(const std::string& input, const std::string& output, const AnaglyphOptions& o,
                LinkAtTarget links = LinkAtTarget::Follow) {
    CliHost host;
    host.readSubject = input;
    host.writeSubject = output;
    CStereoWorkspace ws(host, readSettingsPath());
    if (int rc = openProject("anaglyph", ws, input, output); rc != kExitOk) return rc;
    // The project's strength as the desktop's anaglyph dialog takes it.
    const int strength = o.strength.value_or(std::clamp(ws.strength(), kMinAnaglyphStrength, kMaxAnaglyphStrength));
    if (!makeExtremeViews(ws, strength)) return kExitFailure;
    ws.setAnaglyphColourMode(o.colour ? kAnaglyphColour : kAnaglyphGrey);
    ws.setAnaglyphFilter(o.filter.value_or(kFilterRedCyan));
    if (!BuildAnaglyphImage(ws)) return kExitFailure;
    ws.setDisplayMode(kModeAnaglyph);
    ws.Redraw();
    if (!SaveAnaglyph(ws, output, links)) return kExitFailure;
    // What was written: the high-resolution anaglyph when the project has a
    // high-resolution copy, else the working size.
    const int r = ws.highResCount() > 0 ? ws.highResRatio() : 1;
    std::cout << output << ": " << ws.width() * r << " x " << ws.height() * r << "\n";
    return kExitOk;
}

int runAnaglyph(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"colour"}, error)) return usageError("anaglyph", error);
    if (!args.checkKnown({"output", "filter", "method", "colour", "strength", "format"}, error)) return usageError("anaglyph", error);
    AnaglyphOptions o;
    if (!args.getInt("filter", 0, 2, o.filter, error) || !args.getInt("strength", kMinAnaglyphStrength, kMaxAnaglyphStrength, o.strength, error))
        return usageError("anaglyph", error);
    if (auto m = args.get("method")) {
        if (o.filter) return usageError("anaglyph", tr("--method and --filter exclude each other"));
        const int method = anaglyphMethodFromName(*m);
        if (method < 0) return usageError("anaglyph", tr("unknown --method %1", {*m}));
        o.filter = method;
    }
    o.colour = args.has("colour");
    const auto& inputs = args.positional();
    if (inputs.empty() || !args.get("output")) return usageError("anaglyph", tr("expects a project and -o OUT"));
    const std::string out = *args.get("output");
    std::error_code ec;
    // Several projects, or an output that is a folder: one file per project,
    // named after it.
    const bool toFolder = inputs.size() > 1 || (!out.empty() && out.back() == '/') ||
                          std::filesystem::is_directory(out, ec);
    if (!toFolder) {
        // A single file's format comes from its name alone.
        if (args.get("format"))
            return usageError("anaglyph", tr("--format names the files written into an output folder; %1 is "
                                             "written in the format of its own extension",
                                             {out}));
        if (int rc = checkOutput("anaglyph", out, pictureOutputs()); rc != kExitOk) return rc;
        return anaglyphOne(inputs[0], out, o);
    }
    const std::string format = args.get("format").value_or("jpg");
    if (int rc = checkFormatOption("anaglyph", format, pictureOutputs()); rc != kExitOk) return rc;
    const std::string ext = "." + format;
    // Two projects of one name (from different folders) would write one
    // file, the second over the first; so would names differing only in
    // case, on a memory card or USB stick.
    std::vector<std::string> stems;
    for (const std::string& input : inputs) {
        const std::string stem = std::filesystem::path(input).stem().string();
        if (std::any_of(stems.begin(), stems.end(),
                        [&](const std::string& s) { return namesEqualIgnoringCase(s, stem); }))
            return usageError("anaglyph", tr("two projects named %1 would write one file: give them one at a time",
                                             {stem}));
        stems.push_back(stem);
    }
    std::filesystem::create_directories(out, ec);
    if (!std::filesystem::is_directory(out, ec)) return failure(tr("%1: the output folder cannot be made", {out}));
    std::vector<std::string> failed;
    for (const std::string& input : inputs) {
        const std::string target =
            (std::filesystem::path(out) / std::filesystem::path(input).stem()).string() + ext;
        // The names are the program's own: a link under one (a folder from
        // someone else) is replaced by the finished file, never written through.
        if (anaglyphOne(input, target, o, LinkAtTarget::Replace) != kExitOk) failed.push_back(input);
    }
    if (failed.empty()) return kExitOk;
    std::string names;
    for (const auto& f : failed) names += " " + f;
    return failure(tr("anaglyph: %1 of %2 projects failed:%3",
                      {std::to_string(failed.size()), std::to_string(inputs.size()), names}));
}

int runInterlace(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"columns", "swap"}, error)) return usageError("interlace", error);
    if (!args.checkKnown({"output", "columns", "swap", "strength"}, error)) return usageError("interlace", error);
    std::optional<int> strength;
    if (!args.getInt("strength", 0, 99, strength, error)) return usageError("interlace", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("interlace", tr("expects a project and -o OUT"));
    if (int rc = checkOutput("interlace", *args.get("output"), pictureOutputs()); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *args.get("output");
    CStereoWorkspace ws(host, readSettingsPath());
    if (int rc = openProject("interlace", ws, args.positional()[0], *args.get("output")); rc != kExitOk) return rc;
    if (!makeExtremeViews(ws, strength.value_or(ws.strength()))) return kExitFailure;
    StereoSources sources;
    if (!prepareStereoSources(ws, sources)) return kExitFailure;
    Surface out;
    if (!BuildInterlace(out, *sources.right, *sources.left, args.has("columns") ? kInterlaceColumns : kInterlaceRows,
                        args.has("swap")))
        return failure(kOutOfMemoryMessage);
    if (!SaveInterleavedImage(host, out, *args.get("output"), ws.settings().jpegQuality)) return kExitFailure;
    return printSize(out);
}

// The notation of earlier versions, "r,g,b" with each part 0..255, still read.
bool parseDecimalColour(const std::string& text, ColorRef& out) {
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
    if (!args.checkKnown({"output", "colour", "fill", "background-masks", "contrast"}, error)) return usageError("spectral", error);
    std::optional<int> masks;
    if (!args.getInt("background-masks", 0, 31, masks, error)) return usageError("spectral", error);
    SpectralDialogData data;
    data.colour = CStereoWorkspace::kSpectralDefaultColour;
    if (auto c = args.get("colour"); c && !parseColourText(*c, data.colour) && !parseDecimalColour(*c, data.colour))
        return usageError("spectral", tr("--colour expects %1", {colourNotation()}));
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("spectral", tr("expects a project and -o OUT"));
    if (int rc = checkOutput("spectral", *args.get("output"), pictureOutputs()); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *args.get("output");
    CStereoWorkspace ws(host, readSettingsPath());
    if (int rc = openProject("spectral", ws, args.positional()[0], *args.get("output")); rc != kExitOk) return rc;
    data.fill = args.has("fill");
    data.contrast = args.has("contrast");
    data.backgroundMasks = masks.value_or(0);
    if (ws.regionCount() > 1 ? data.backgroundMasks > ws.regionCount() - 1 : data.backgroundMasks != 0)
        return usageError("spectral", tr("--background-masks must be below the number of regions (%1)",
                                         {std::to_string(ws.regionCount())}));
    if (!ApplySpectral(ws, data)) return kExitFailure;
    if (!SaveStillImage(host, ws.display(), ws.width(), ws.height(), *args.get("output"), ws.settings().jpegQuality))
        return kExitFailure;
    return printSize(ws.display());
}

}  // namespace

PLASTORA_CLI_COMMAND({"anaglyph", "P.lyr... -o OUT [--filter 0-2|--method NAME] [--colour] [--strength 1-50] [--format EXT]",
                      "writes the anaglyph of a project's extreme views (filter 0 red-cyan, 1 red-green, 2 red-blue; "
                      "grey unless --colour; or --method red-cyan, red-green, red-blue, dubois-red-cyan, "
                      "dubois-green-magenta, dubois-amber-blue, half-colour, optimised); at high resolution when "
                      "the project has a high-resolution copy",
                      &runAnaglyph});
PLASTORA_CLI_COMMAND({"interlace", "P.lyr -o OUT [--columns] [--swap] [--strength 0-99]",
                      "writes the display interlace image of a project's extreme views (rows, or columns)",
                      &runInterlace});
PLASTORA_CLI_COMMAND({"spectral", "P.lyr -o OUT [--colour RRGGBB] [--fill] [--background-masks K] [--contrast]",
                      "writes the spectral-glasses image: the regions from K on in their own colours over a "
                      "background tinted grey in one colour (or filled with it); the colour defaults to blue",
                      &runSpectral});

PLASTORA_CLI_HELP("anaglyph",
                  "options:\n"
                  "  -o, --output OUT   the picture to write, its format by extension: .jpg/.jpeg, .bmp, .png;\n"
                  "                     with several projects, or a folder (ending in /), one file per project\n"
                  "                     in that folder, named after the project\n"
                  "  --format EXT       the format of the files written into a folder: jpg (default), bmp, png\n"
                  "  --filter F         the glasses: 0 red-cyan (default), 1 red-green, 2 red-blue\n"
                  "  --method NAME      instead of --filter: red-cyan, red-green, red-blue, dubois-red-cyan,\n"
                  "                     dubois-green-magenta, dubois-amber-blue (least squares, in linear light),\n"
                  "                     half-colour or optimised (red-cyan glasses)\n"
                  "  --colour           a colour anaglyph (default: grey) with --filter or the first three methods;\n"
                  "                     the others work from colour always; --color is the same\n"
                  "  --strength S       stereo strength of the two views, 1 to 50 (default: the project's)\n\n"
                  "The file carries its print resolution (the lens-matched size of the composite; 340 dpi for\n"
                  "a high-resolution anaglyph). Exit 1 when any project failed, naming which.\n\n"
                  "examples:\n"
                  "  plastora-cli anaglyph picture.lyr --colour -o anaglyph.png\n"
                  "  plastora-cli anaglyph a.lyr b.lyr -o out/\n");
PLASTORA_CLI_HELP("interlace",
                  "options:\n"
                  "  -o, --output OUT   the picture to write: .jpg/.jpeg, .bmp or .png\n"
                  "  --columns          interlace by columns (default: by rows)\n"
                  "  --swap             swap the two views (the other one takes the first row or column)\n"
                  "  --strength S       stereo strength, 0 to 99 (default: the project's)\n\n"
                  "example:\n"
                  "  plastora-cli interlace picture.lyr --columns -o interlace.png\n");
PLASTORA_CLI_HELP("spectral",
                  "options:\n"
                  "  -o, --output OUT        the picture to write: .jpg/.jpeg, .bmp or .png\n"
                  "  --colour C              the colour of the background's tint or fill, RRGGBB or #RRGGBB\n"
                  "                          (hexadecimal red, green, blue); default 0000FF (blue)\n"
                      "  --fill                  fill the background instead of tinting it grey\n"
                      "  --background-masks K    regions 0 to K-1 count as background, 0 to 31 (below the "
                      "number of regions)\n"
                      "  --contrast              stretch the contrast of the tinted background's grey\n\n"
                      "example:\n"
                      "  plastora-cli spectral picture.lyr --colour FF8000 -o spectral.jpg\n");

}  // namespace plastora::cli
