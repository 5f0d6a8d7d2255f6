// Printing at the size where the composite's columns match the lens sheet.
//
// The printer, paper, paper source and colour are chosen once in a printer
// set-up that is kept in "Plastora.prn" in the temporary folder, so that later
// prints need no dialog settings; the orientation is set from the picture at
// print time. The composite is printed at s = N x LPI x 2 / P pixels per inch
// (the edit image and the anaglyph at the size the composite would have), or,
// for a picture with a high-resolution copy shown as edit image or anaglyph,
// the R-times picture at 340 pixels per inch. The picture is centred in the
// printable area and stretched by area averaging.
//
// The core talks to printers only through PrintTarget (an open printer with
// its device context) and PrintDialogs (the set-up and print dialogs); the
// desktop program supplies both with Qt PrintSupport, the command-line tool
// and the tests print into PDF files (PdfPrintTarget.h).
#pragma once

#include "platform/Surface.h"

#include <memory>
#include <string>

namespace plastora {

class CStereoWorkspace;

// The printer settings the set-up keeps, as the printing system reports
// them. Empty texts and negative numbers mean "not set": the print dialog
// keeps its own default for those.
struct PrinterSettings {
    std::string printer;         // printer name
    std::string paper;           // paper name (a page-size key such as "A4")
    double paperWidthMM = 0.0;   // paper size, portrait (0: by name only)
    double paperHeightMM = 0.0;
    int source = -1;             // media: the paper source (tray) number
    int colorMode = -1;          // quality: 0 greyscale, 1 colour
    int resolution = 0;          // dots per inch
    int duplex = -1;
    int orientation = 1;         // 1 portrait, 2 landscape
    friend bool operator==(const PrinterSettings&, const PrinterSettings&) = default;
};

constexpr int kPortrait = 1;
constexpr int kLandscape = 2;

// "Plastora.prn" in the temporary folder.
std::string printerSetupPath();

// The set-up file is text, one "key=value" a line (printer, paper,
// paperWidthMM, paperHeightMM, source, colorMode, resolution, duplex,
// orientation). Reading takes every well-formed line it knows and ignores the
// rest (a value out of range keeps the default); false only when the file
// cannot be read or is larger than any set-up could be.
bool readPrinterSettings(const std::string& path, PrinterSettings& out);
bool parsePrinterSettings(const std::string& text, PrinterSettings& out);
std::string formatPrinterSettings(const PrinterSettings& settings);
// Written to a temporary name beside `path` and renamed, so a failed write
// leaves an older set-up intact. False when it cannot be written.
bool writePrinterSettings(const std::string& path, const PrinterSettings& settings);

// An open printer: what GetDeviceCaps reports and the document calls.
class PrintTarget {
public:
    virtual ~PrintTarget() = default;
    virtual std::string deviceName() const = 0;
    virtual int dpiX() const = 0;        // LOGPIXELSX
    virtual int dpiY() const = 0;        // LOGPIXELSY
    virtual int pageWidth() const = 0;   // HORZRES: printable width in device pixels
    virtual int pageHeight() const = 0;  // VERTRES
    virtual bool startDoc(const std::string& name) = 0;
    virtual bool startPage() = 0;
    // Draws `image` into `dst` (device pixels of the printable area),
    // stretched by area averaging when the sizes differ. False when the
    // stretch cannot be done (memory).
    virtual bool drawImage(const Rect& dst, const Surface& image) = 0;
    virtual void endPage() = 0;
    virtual void endDoc() = 0;
    // Ends a document that could not be printed whole: a file target keeps
    // the file it would have replaced. A printer just ends the document.
    virtual void abortDoc() { endDoc(); }
    // After endDoc: false when the document could not be written out whole
    // (a file target on a full disk), or a printer's print system refused
    // the job (a queue that takes no jobs, a printer removed meanwhile).
    virtual bool written() const { return true; }
    // True for a printer, whose failed job is told as a printing failure
    // rather than a failed save.
    virtual bool spooled() const { return false; }
    // After startDoc: true when the document could not be begun at all (no
    // usable printer), which the caller has to tell the user.
    virtual bool startFailed() const { return false; }
};

// The two printer dialogs.
class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // The set-up dialog (printer, paper, source, quality). `settings` holds
    // the stored set-up when `stored` is true. True on OK, with `settings`
    // replaced by the chosen ones.
    virtual bool printerSetupDialog(PrinterSettings& settings, bool stored) = 0;
    // The print dialog, preset with `settings` (nullptr: its own defaults).
    // The chosen printer opened for printing, or nullptr on Cancel.
    virtual std::unique_ptr<PrintTarget> printDialog(const PrinterSettings* settings) = 0;
};

// Print size and place in device pixels, and whether the R-times picture is
// printed.
struct PrintGeometry {
    bool highRes = false;
    int pw = 0, ph = 0, ox = 0, oy = 0;
    bool valid() const { return pw > 0 && ph > 0; }
};

// The geometry for a W x H picture: high-resolution pw = trunc(dpi x W x R /
// 340); otherwise s = N x LPI x 2 / P and pw = trunc(dpi x (W x N / P) / s)
// (W x N / P in integers first); likewise for the height; centred in the
// printable area. A size that is not positive or does not fit an int gives
// pw = ph = 0.
PrintGeometry computePrintGeometry(int w, int h, int views, int pitch, double lpi, int hdRatio, bool highRes,
                                   int dpiX, int dpiY, int pageWidth, int pageHeight);

// The question texts and messages of printing.
extern const char* const kPrinterSetupInfo;
extern const char* const kPrinterSetupWriteFailed;
extern const char* const kPrintAnaglyphQuestion;
// Printing from the dialogs when the printer chosen cannot begin a document.
extern const char* const kPrintStartFailedMessage;
extern const char* const kPrintLargerThanPageQuestion;
extern const char* const kPrintEditImageQuestion;
extern const char* const kPrintSetupQuestion;
extern const char* const kPrintCopyQuestion;
extern const char* const kPrintCopyMemoryMessage;
extern const char* const kPrintDocumentName;

// "プリンタの設定(&R)...": the information, the set-up dialog preset with the
// stored set-up, and on OK the set-up written to `setupPath`. Returns 1 when
// the set-up was written, 0 on Cancel or a write failure (after its message).
int PrinterSetup(CStereoWorkspace& ws, PrintDialogs& dialogs, const std::string& setupPath = printerSetupPath());

// Whether printing takes the high-resolution branch: a high-resolution copy
// exists and the edit image or the anaglyph is shown.
bool printsHighRes(const CStereoWorkspace& ws);

// "印刷...": the anaglyph or edit-image question, the set-up question while
// no set-up is stored, the orientation from the picture, the print dialog,
// the memory-copy question for RICOH printers, then PrintOnTarget. Returns 1
// when a page was printed, 0 otherwise.
int PrintPicture(CStereoWorkspace& ws, PrintDialogs& dialogs, const std::string& setupPath = printerSetupPath());

// Prints the composite (`editOrAnaglyph` false) or the display image on an
// open printer: the selection cleared for the display image, the geometry,
// the document "ﾌﾟﾗｽﾄｰﾗ" with one page, drawn directly or through a memory
// picture ([Option] "CopyPrint", and always in high-resolution printing).
// The document is always ended. Returns 1 when the page was drawn.
int PrintOnTarget(CStereoWorkspace& ws, PrintTarget& target, bool editOrAnaglyph);

}  // namespace plastora
