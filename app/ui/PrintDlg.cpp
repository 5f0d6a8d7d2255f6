#include "ui/PrintDlg.h"

#include "core/StereoWorkspace.h"
#include "ui/QtHost.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>

#include <dlfcn.h>

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

const char* const kExactSizeInfo =
    "画像を決まった大きさで印刷するため、用紙1枚に1ページ、拡大も縮小もせずに印刷します。";

// The job options Qt's CUPS printing keeps on the print engine (as name,
// value, name, value, ...), under this key of its own, and hands to CUPS
// with the job.
constexpr auto kCupsOptionsKey = static_cast<QPrintEngine::PrintEnginePropertyKey>(0xfe00);

// CUPS's status of the last request this thread made (the job Qt just
// handed over), from the library Qt's printing has loaded: true for an
// error (IPP status 0x0400 and above). Without CUPS there is nothing to ask.
bool printSystemRefusedLastJob() {
    void* cups = ::dlopen("libcups.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (!cups) return false;
    using LastError = int (*)();
    const auto lastError = reinterpret_cast<LastError>(::dlsym(cups, "cupsLastError"));
    const int status = lastError ? lastError() : 0;
    ::dlclose(cups);
    return status >= 0x0400;
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

bool QtPrinterTarget::spooled() const { return m_printer->outputFormat() == QPrinter::NativeFormat; }

void QtPrinterTarget::endDoc() {
    const bool handingOver = documentOpen() && spooled();
    PaintDevicePrintTarget::endDoc();
    if (handingOver) m_refused = printSystemRefusedLastJob();
}

QStringList exactSizeJobOptions(const QStringList& options, bool* changed) {
    // Each option that changes the printed size or the pages printed, and
    // the value that prints one whole page at its own size.
    static const std::pair<const char*, const char*> kExact[] = {
        {"number-up", "1"}, {"page-set", "all"}, {"fit-to-page", "false"}, {"print-scaling", "none"}};
    const auto exactFor = [](const QString& name) -> const char* {
        for (const auto& [key, exact] : kExact)
            if (name == QLatin1String(key)) return exact;
        return nullptr;
    };
    bool userChoice = false;
    QStringList out;
    for (qsizetype i = 0; i + 1 < options.size(); i += 2) {
        const QString& name = options[i];
        const QString& value = options[i + 1];
        const char* exact = exactFor(name);
        const bool ranges = name == QLatin1String("page-ranges");
        if (!exact && !ranges) {
            out << name << value;
            continue;
        }
        // The dialog's own choices (not a queue's scaling defaults) are told.
        if (ranges || ((name == QLatin1String("number-up") || name == QLatin1String("page-set")) &&
                       value != QLatin1String(exact)))
            userChoice = true;
    }
    for (const auto& [key, exact] : kExact) out << QLatin1String(key) << QLatin1String(exact);
    if (changed) *changed = userChoice;
    return out;
}

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
    // A lenticular print only works at its own size: the print system is
    // told to print one page per sheet, unscaled, whatever the dialog's
    // pages-per-sheet, page set or the queue's own fit-to-page say.
    if (printer->outputFormat() == QPrinter::NativeFormat) {
        bool changed = false;
        QPrintEngine* engine = printer->printEngine();
        engine->setProperty(kCupsOptionsKey, exactSizeJobOptions(engine->property(kCupsOptionsKey).toStringList(), &changed));
        if (changed) {
            ui::QtHost host(m_parent);
            static_cast<Host&>(host).message(kExactSizeInfo, MsgButtons::Ok, MsgIcon::Information);
        }
    }
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
