// pitch-test: the lens pitch test sheet printed into a PDF: one labelled
// strip per LPI value across a range, each composed and printed the way a
// lenticular composite is at that LPI.
#include "cli/Cli.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
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
    if (auto u = args.unknown({"output", "lpi", "range", "step", "dpi"}); !u.empty())
        return usageError(name, "unknown option --" + u.front());
    std::optional<double> lpi, range, step;
    std::optional<int> dpi;
    if (!args.getDouble("lpi", 20.0, 160.0, lpi, error) || !args.getDouble("range", 0.0, 50.0, range, error) ||
        !args.getDouble("step", 0.01, 50.0, step, error) || !args.getInt("dpi", 72, 4800, dpi, error))
        return usageError(name, error);
    const auto out = args.get("output");
    if (!args.positional().empty() || !out || out->empty()) return usageError(name, "expects -o OUT.pdf");
    const std::vector<double> values = pitchTestValues(lpi.value_or(60.0), range.value_or(1.5), step.value_or(0.1));
    if (values.empty())
        return usageError(name, "--range / --step give no values or more than " + std::to_string(kMaxPitchStrips));

    CliHost host;
    const WorkspaceSettings settings = readWorkspaceSettings(defaultSettingsPath());
    PrinterSettings paper;
    paper.paper = "A4";
    paper.orientation = kPortrait;
    PdfPrintTarget target(*out, dpi.value_or(600), paper);
    const std::vector<PitchStrip> strips = layoutPitchSheet(values, settings.viewCount, settings.pitch, target.dpiX(),
                                                            target.dpiY(), target.pageWidth(), target.pageHeight());
    if (!PrintPitchTest(host, target, values, settings.viewCount, settings.pitch)) return kExitFailure;
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

}  // namespace plastora::cli
