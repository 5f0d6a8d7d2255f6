// The printer dialogs of "プリンタの設定(&R)..." and "印刷...", on Qt
// PrintSupport: CUPS printers (and Qt's PDF printer) with their settings
// mapped to and from the stored printer set-up.
#pragma once

#include "output/PdfPrintTarget.h"
#include "output/Print.h"

#include <QStringList>

#include <memory>

class QPrinter;
class QWidget;

namespace plastora {

class CStereoWorkspace;

// The stored set-up applied to a printer: the printer when it is installed
// (or the printer is a PDF printer, which keeps its own), paper, source,
// colour mode, resolution, duplex and orientation, each only when set.
void applyPrinterSettings(QPrinter& printer, const PrinterSettings& settings);
// What the printer reports, as the set-up stores it.
PrinterSettings printerSettingsFrom(const QPrinter& printer);

// A QPrinter, owned, as the print target.
// Qt hands a printer's job to the print system (CUPS) when the document
// ends and does not look at the answer: the target does, so that a job the
// queue refused is not taken for printed.
class QtPrinterTarget : public PaintDevicePrintTarget {
public:
    explicit QtPrinterTarget(std::unique_ptr<QPrinter> printer);
    ~QtPrinterTarget() override;
    QPrinter& printer() { return *m_printer; }
    void endDoc() override;
    bool written() const override { return !m_refused; }
    bool spooled() const override;

protected:
    void setDocumentName(const std::string& name) override;

private:
    std::unique_ptr<QPrinter> m_printer;
    bool m_refused = false;
};

// The print system's options of a job, as name and value after each other,
// with those that would print the picture at another size or not at all
// (pages per sheet, fit to page, scaling, a set or range of pages) set to
// one page per sheet at its own size. `changed` tells whether a choice of
// the user's was among them.
QStringList exactSizeJobOptions(const QStringList& options, bool* changed = nullptr);

// The two dialogs as QPrintDialog, in set-up mode (title "プリンタの設定")
// and in print mode; neither offers page numbers, a selection or printing
// to a file.
class CPrintDlg : public PrintDialogs {
public:
    explicit CPrintDlg(QWidget* parent) : m_parent(parent) {}
    bool printerSetupDialog(PrinterSettings& settings, bool stored) override;
    std::unique_ptr<PrintTarget> printDialog(const PrinterSettings* settings) override;

private:
    QWidget* m_parent;
};

// The menu commands: "プリンタの設定(&R)..." and "印刷..." (Ctrl+P). Each
// returns what PrinterSetup / PrintPicture return.
int OnFilePrintSetup(CStereoWorkspace& ws, QWidget* parent);
int OnFilePrint(CStereoWorkspace& ws, QWidget* parent);

}  // namespace plastora
