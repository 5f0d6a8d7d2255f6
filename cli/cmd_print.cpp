// print: a project printed at its lens-matched size into a PDF file, as the
// desktop program prints it on paper (A4, portrait for a picture taller than
// wide, landscape otherwise, no margins).
#include "cli/Cli.h"
#include "platform/Translation.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/Anaglyph.h"
#include "core/StillImage.h"
#include "output/PdfPrintTarget.h"
#include "output/Print.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>
#include <iostream>
#include <memory>

namespace plastora::cli {

namespace {

// Every view (a stereo pair's in-between ones by pattern matching).
bool makeViews(CStereoWorkspace& ws, CliHost& host, int strength) {
    HostProgress progress(host, "立体画像作成中");
    if (ws.stereoPair()) BuildPatternMultiView(ws, &progress, strength, defaultPatternMatchTick(ws, strength));
    else ws.GenerateViews(&progress, strength, false);
    for (int i = 0; i < ws.viewCount(); ++i)
        if (ws.view(i).empty()) return false;
    return ws.viewCount() >= 2;
}

int runPrint(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    const std::vector<std::string> flags{"edit", "anaglyph", "copy", "progress"};
    if (!args.parse(argv, flags, error)) return usageError("print", error);
    if (!args.checkKnown({"output", "dpi", "strength", "edit", "anaglyph", "copy", "progress"}, error)) return usageError("print", error);
    std::optional<int> dpi, strength;
    if (!args.getInt("dpi", 72, 4800, dpi, error) || !args.getInt("strength", 0, 99, strength, error))
        return usageError("print", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("print", tr("expects a project and -o OUT.pdf"));
    if (int rc = checkOutput("print", *args.get("output"), {OutputKind::Pdf}); rc != kExitOk) return rc;
    if (args.has("edit") && args.has("anaglyph")) return usageError("print", tr("--edit and --anaglyph exclude each other"));
    // An anaglyph is made at the anaglyph dialog's strengths.
    if (args.has("anaglyph") &&
        !args.getInt("strength", kMinAnaglyphStrength, kMaxAnaglyphStrength, strength, error))
        return usageError("print", error);

    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = *args.get("output");  // a failed save names the file written
    host.setProgressOption(args.has("progress"));
    CStereoWorkspace ws(host, readSettingsPath());
    // The edit image needs no views: only the other prints refuse a document
    // whose views would come out flat.
    if (!(args.has("edit") ? ws.Open(args.positional()[0]) != 0 : openForViews(ws, args.positional()[0])))
        return kExitFailure;
    if (args.has("copy")) ws.settings().copyPrint = true;
    const int s = strength.value_or(args.has("anaglyph")
                                        ? std::clamp(ws.strength(), kMinAnaglyphStrength, kMaxAnaglyphStrength)
                                        : ws.strength());
    const bool editOrAnaglyph = args.has("edit") || args.has("anaglyph");

    // The picture is printed at its lens-matched size, never cut: on A4, or
    // on the first larger A size that holds it whole. The size is known
    // before any view is made, so a picture too large for A0 is refused at
    // once (it took minutes and gigabytes of views first).
    PrinterSettings paper;
    paper.orientation = ws.width() < ws.height() ? kPortrait : kLandscape;
    std::unique_ptr<PdfPrintTarget> page;
    PrintGeometry g{};
    // The edit image and the anaglyph print from the high-resolution copy
    // when there is one; the composite never does.
    const bool highRes = editOrAnaglyph && ws.highResCount() > 0;
    for (const char* size : {"A4", "A3", "A2", "A1", "A0"}) {
        paper.paper = size;
        page.reset();  // the last try's temporary file goes first
        page = std::make_unique<PdfPrintTarget>(*args.get("output"), dpi.value_or(600), paper);
        g = computePrintGeometry(ws.width(), ws.height(), ws.viewCount(), ws.settings().pitch, ws.lpi(),
                                 ws.highResRatio(), highRes, page->dpiX(), page->dpiY(), page->pageWidth(),
                                 page->pageHeight());
        if (g.ox >= 0 && g.oy >= 0) break;
    }
    if (g.ox < 0 || g.oy < 0)
        return failure(*args.get("output") + ": " +
                       tr("the picture (%1 x %2 dots) is larger than an A0 page", {std::to_string(g.pw), std::to_string(g.ph)}));

    if (args.has("edit")) {
        if (!ws.SetMode(kModeImage)) return kExitFailure;
    } else if (args.has("anaglyph")) {
        RegenerateAnaglyphViews(ws, s);
        if (!BuildAnaglyphImage(ws)) return kExitFailure;
        ws.setDisplayMode(kModeAnaglyph);
        ws.Redraw();
    } else {
        if (!makeViews(ws, host, s)) return kExitFailure;
        if (!ws.Compose()) return kExitFailure;
    }
    if (paper.paper != "A4") std::cerr << tr("the picture is larger than A4: printed on %1", {paper.paper}) << "\n";
    PdfPrintTarget& target = *page;
    if (!PrintOnTarget(ws, target, editOrAnaglyph)) {
        // The target keeps what it held; say why when nothing has yet.
        if (host.messages.empty()) return failure(translateText(kSaveFailedMessage) + ": " + *args.get("output"));
        return kExitFailure;
    }
    std::cout << g.pw << " x " << g.ph << " at " << g.ox << "," << g.oy << " on " << target.pageWidth() << " x "
              << target.pageHeight() << (g.highRes ? " (high resolution)" : "") << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"print", "P.lyr -o OUT.pdf [--dpi 72-4800] [--edit|--anaglyph] [--copy] [--strength 0-99] [--progress]",
                      "prints the composite (or the edit image, or the anaglyph) at the lens-matched size into a PDF",
                      &runPrint});
PLASTORA_CLI_HELP("print",
                  "options:\n"
                  "  -o, --output OUT   the PDF to print into\n"
                  "  --dpi D            the printer's resolution in dots per inch, 72 to 4800 (default: 600)\n"
                  "  --edit             print the edit picture instead of the composite\n"
                  "  --anaglyph         print the anaglyph instead of the composite\n"
                  "  --copy             draw into a memory picture first (print via memory)\n"
                  "  --strength S       stereo strength, 0 to 99, 1 to 50 with --anaglyph (default: the project's)\n"
                  "  --progress         a progress bar on stderr even when stderr is not a terminal\n\n"
                  "The picture is printed at its lens-matched size: N x LPI x 2 / pitch dots per inch for the\n"
                  "composite, 340 for a high-resolution picture.\n\n"
                  "example:\n"
                  "  plastora-cli print picture.lyr --dpi 600 -o print.pdf\n");

}  // namespace plastora::cli
