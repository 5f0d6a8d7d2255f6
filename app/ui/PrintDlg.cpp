#include "ui/PrintDlg.h"

#include "core/StereoWorkspace.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace plastora {

namespace {

// Nothing but the printer and its properties: one page, the whole picture.
void restrictOptions(QPrintDialog& dialog) {
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
}

QPageSize pageSizeFor(const PrinterSettings& s) {
    const QString name = QString::fromStdString(s.paper);
    for (int id = 0; id < QPageSize::LastPageSize; ++id) {
        const auto pid = static_cast<QPageSize::PageSizeId>(id);
        if (!name.isEmpty() && QPageSize::key(pid) == name) return QPageSize(pid);
    }
    if (s.paperWidthMM > 0 && s.paperHeightMM > 0)
        return QPageSize(QSizeF(s.paperWidthMM, s.paperHeightMM), QPageSize::Millimeter, name);
    return QPageSize();
}

}  // namespace

void applyPrinterSettings(QPrinter& printer, const PrinterSettings& s) {
    if (!s.printer.empty() && printer.outputFormat() == QPrinter::NativeFormat &&
        QPrinterInfo::availablePrinterNames().contains(QString::fromStdString(s.printer)))
        printer.setPrinterName(QString::fromStdString(s.printer));
    if (const QPageSize size = pageSizeFor(s); size.isValid()) printer.setPageSize(size);
    if (s.source >= 0) printer.setPaperSource(static_cast<QPrinter::PaperSource>(s.source));
    if (s.colorMode >= 0) printer.setColorMode(static_cast<QPrinter::ColorMode>(s.colorMode));
    if (s.resolution > 0) printer.setResolution(s.resolution);
    if (s.duplex >= 0) printer.setDuplex(static_cast<QPrinter::DuplexMode>(s.duplex));
    printer.setPageOrientation(s.orientation == kLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

PrinterSettings printerSettingsFrom(const QPrinter& printer) {
    PrinterSettings s;
    s.printer = printer.printerName().toStdString();
    const QPageLayout layout = printer.pageLayout();
    const QPageSize size = layout.pageSize();
    s.paper = size.key().toStdString();
    const QSizeF mm = size.size(QPageSize::Millimeter);
    s.paperWidthMM = mm.width();
    s.paperHeightMM = mm.height();
    s.source = static_cast<int>(printer.paperSource());
    s.colorMode = static_cast<int>(printer.colorMode());
    s.resolution = printer.resolution();
    s.duplex = static_cast<int>(printer.duplex());
    s.orientation = layout.orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
    return s;
}

QtPrinterTarget::QtPrinterTarget(std::unique_ptr<QPrinter> printer)
    : PaintDevicePrintTarget(*printer, printer->printerName().toStdString()), m_printer(std::move(printer)) {}

QtPrinterTarget::~QtPrinterTarget() { endDoc(); }

void QtPrinterTarget::setDocumentName(const std::string& name) {
    // The spooler's job name; a PDF printer makes it the file's title.
    m_printer->setDocName(QString::fromStdString(name));
}

bool CPrintDlg::printerSetupDialog(PrinterSettings& settings, bool stored) {
    QPrinter printer(QPrinter::HighResolution);
    if (stored) applyPrinterSettings(printer, settings);
    QPrintDialog dialog(&printer, m_parent);
    dialog.setWindowTitle(QStringLiteral("プリンタの設定"));
    restrictOptions(dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = printerSettingsFrom(printer);
    return true;
}

std::unique_ptr<PrintTarget> CPrintDlg::printDialog(const PrinterSettings* settings) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (settings) applyPrinterSettings(*printer, *settings);
    QPrintDialog dialog(printer.get(), m_parent);
    restrictOptions(dialog);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return std::make_unique<QtPrinterTarget>(std::move(printer));
}

int OnFilePrintSetup(CStereoWorkspace& ws, QWidget* parent) {
    CPrintDlg dialogs(parent);
    return PrinterSetup(ws, dialogs);
}

int OnFilePrint(CStereoWorkspace& ws, QWidget* parent) {
    CPrintDlg dialogs(parent);
    return PrintPicture(ws, dialogs);
}

}  // namespace plastora
