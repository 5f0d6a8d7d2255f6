// pitch-test: the lens pitch test sheet printed into a PDF: one labelled
// strip per LPI value across a range, each composed and printed the way a
// lenticular composite is at that LPI.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PdfPrintTarget.h"
#include "output/PitchTest.h"

#include <cstdio>
#include <iostream>

namespace plastora::cli {

namespace {

int runPitchTest(const std::vector<std::string>& argv) {
    const char* name = "pitch-test";
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError(name, error);
    if (!args.checkKnown({"output", "lpi", "range", "step", "dpi"}, error)) return usageError(name, error);
    std::optional<double> lpi, range, step;
    std::optional<int> dpi;
    // The same limits as the program's dialog.
    if (!args.getDouble("lpi", 20.0, 160.0, lpi, error) || !args.getDouble("range", 0.0, kMaxPitchRange, range, error) ||
        !args.getDouble("step", kMinPitchStep, kMaxPitchStep, step, error) ||
        !args.getInt("dpi", kMinPitchDpi, kMaxPitchDpi, dpi, error))
        return usageError(name, error);
    const auto out = args.get("output");
    if (!args.positional().empty() || !out || out->empty()) return usageError(name, tr("expects -o OUT.pdf"));
    if (int rc = checkOutput(name, *out, {OutputKind::Pdf}); rc != kExitOk) return rc;
    const std::vector<double> values = pitchTestValues(lpi.value_or(60.0), range.value_or(1.5), step.value_or(0.1));
    if (values.empty())
        return usageError(name, tr("--range / --step give no values or more than %1", {std::to_string(kMaxPitchStrips)}));

    CliHost host;
    host.writeSubject = *out;  // a failed save names the file written
    const WorkspaceSettings settings = readWorkspaceSettings(readSettingsPath());
    PrinterSettings paper;
    paper.paper = "A4";
    paper.orientation = kPortrait;
    PdfPrintTarget target(*out, dpi.value_or(600), paper);
    const std::vector<PitchStrip> strips = layoutPitchSheet(values, settings.viewCount, settings.pitch, target.dpiX(),
                                                            target.dpiY(), target.pageWidth(), target.pageHeight());
    if (!PrintPitchTest(host, target, values, settings.viewCount, settings.pitch)) {
        // The PDF could not be begun: said as a failed save of that file.
        if (host.messages.empty()) host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return kExitFailure;
    }
    // Where every strip went, for checking the sheet by measurement.
    for (const PitchStrip& s : strips)
        std::cout << s.text << ": page " << s.page + 1 << " at " << s.rect.left << "," << s.rect.top << " size "
                  << s.rect.width() << " x " << s.rect.height() << " lenses " << s.lenses << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"pitch-test", "-o OUT.pdf [--lpi 20-160] [--range R] [--step S] [--dpi 72-4800]",
                      "prints the lens pitch test sheet into a PDF: a labelled strip for every LPI from lpi - R to "
                      "lpi + R in steps of S (default 60, 1.5, 0.1), each printed as a composite at that LPI",
                      &runPitchTest});
PLASTORA_CLI_HELP("pitch-test",
                  "options:\n"
                  "  -o, --output OUT   the PDF to print into (A4, portrait)\n"
                  "  --lpi L            the nominal lens resolution in lines per inch, 20 to 160 (default 60)\n"
                  "  --range R          the strips reach from L - R to L + R lpi, 0 to 10 (default 1.5)\n"
                  "  --step S           the step between strips in lpi, 0.01 to 5 (default 0.1)\n"
                  "  --dpi D            the printer's resolution in dots per inch, 72 to 4800 (default 600)\n\n"
                  "The views and pitch come from the settings. Each printed strip is named by its LPI; the\n"
                  "one that looks sharpest through the lens sheet is the sheet's true resolution.\n\n"
                  "example:\n"
                  "  plastora-cli pitch-test --lpi 60 --range 1 --step 0.2 -o pitch.pdf\n");

}  // namespace plastora::cli
