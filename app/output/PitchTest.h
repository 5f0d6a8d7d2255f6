// The lens pitch test sheet ("ピッチテスト印刷").
//
// A lens sheet's real pitch differs a little from its nominal LPI, and every
// printer scales a little: a print made for the nominal value shows bands
// under the lens. The sheet holds one strip per LPI value across a range,
// each a black-and-white line pattern of N views composed and printed the
// way a lenticular composite is (N composite columns per lens, printed at
// N x LPI x 2 / P pixels per inch, Print.h), labelled with its value. The
// user lays the lens on the sheet, picks the strip that looks uniformly
// dark, and enters that LPI in the picture dialog.
#pragma once

#include "output/Print.h"
#include "platform/Host.h"
#include "platform/Surface.h"

#include <string>
#include <vector>

namespace plastora {

// The LPI values of the sheet: lpi, and lpi plus and minus every multiple of
// step up to the range (the ends included when the step divides the range;
// values rounded to 1/1000). Empty when lpi, range or step is not positive-sized
// (range >= 0, step > 0) or there would be more than kMaxPitchStrips values.
constexpr int kMaxPitchStrips = 201;
std::vector<double> pitchTestValues(double lpi, double range, double step);

// The composite of one strip: `lenses` groups of N columns, the first N / 2
// views (at least one) black and the others white, `rows` high.
bool BuildPitchPattern(Surface& out, int lenses, int views, int rows);

// One strip on the page, in device pixels.
struct PitchStrip {
    double lpi = 0.0;
    int page = 0;
    int workingWidth = 0;   // W of the picture the strip stands for (a multiple of P)
    int workingHeight = 0;
    int lenses = 0;         // lens groups in the strip
    Rect rect;              // where the composite is printed (pw x ph of Print.h)
    Rect label;             // where the label goes, left of the strip
    std::string text;       // the label, "60.0 lpi"
};

// The strips of the values on pages of pageWidth x pageHeight device pixels
// at dpiX x dpiY: each strip about `stripInches` wide after a label column
// of 1 inch, 0.22 inch high, one every 0.32 inch, from 0.4 inch below the top
// of the printable area, a new page when one is full. The size of each strip
// comes from computePrintGeometry for its own LPI.
std::vector<PitchStrip> layoutPitchSheet(const std::vector<double>& values, int views, int pitch, int dpiX, int dpiY,
                                         int pageWidth, int pageHeight);

// Told when no strip fits the page at the values asked for.
extern const char* const kPitchTestNoStripsMessage;

// Prints the sheet on an open printer as the document "ﾌﾟﾗｽﾄｰﾗ": every page
// with its strips and labels. Returns 1 when the whole sheet was printed
// (for a PDF: written); 0 when the document or a page could not be begun,
// and after a message when no strip fits, the memory ran out (the document
// is then abandoned, a previous file kept) or the document could not be
// written.
int PrintPitchTest(Host& host, PrintTarget& target, const std::vector<double>& values, int views, int pitch);

// What the user asks the sheet for: the nominal LPI, how far either side of
// it the strips go and in what steps, and the printer's resolution (0: the
// printer's own, or the stored set-up's).
struct PitchTestRequest {
    double lpi = 60.0;
    double range = 1.5;
    double step = 0.1;
    int dpi = 0;
};
// The limits the program's dialog holds the request to.
constexpr double kMaxPitchRange = 10.0;
constexpr double kMinPitchStep = 0.01;
constexpr double kMaxPitchStep = 5.0;
constexpr int kMinPitchDpi = 72;
constexpr int kMaxPitchDpi = 4800;
constexpr int kDefaultPitchDpi = 600;

// "ピッチテスト印刷": the print dialog (set-up from "Plastora.prn" when stored,
// with the request's resolution when it names one), then the sheet for the
// request's values with the settings' N and P. Returns 1 when printed; 0 on
// Cancel or when the request gives no values.
int RunPitchTestPrint(Host& host, PrintDialogs& dialogs, const PitchTestRequest& request, int views, int pitch,
                      const std::string& setupPath = printerSetupPath());
// The resolution the stored set-up names (0 when there is none).
int storedPrinterResolution(const std::string& setupPath = printerSetupPath());

}  // namespace plastora
