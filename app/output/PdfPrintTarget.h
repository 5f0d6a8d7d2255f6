// Printing onto a Qt paged paint device: a PDF file here (the command-line
// tool and the tests print this way), a real printer in the desktop program.
#pragma once

#include "output/Print.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

class QPagedPaintDevice;
class QPainter;
class QFile;
class QPdfWriter;

namespace plastora {

// A PrintTarget over a paged paint device. Device pixels are the device's
// own: its logical resolution and the width and height of its printable
// area (what a painter opened on it addresses). The document starts when a
// painter is opened on the device; images are drawn without lossy
// compression where the device offers it, already stretched to the target
// rectangle so that what the device receives is exactly pw x ph.
class PaintDevicePrintTarget : public PrintTarget {
public:
    PaintDevicePrintTarget(QPagedPaintDevice& device, std::string deviceName);
    ~PaintDevicePrintTarget() override;

    std::string deviceName() const override { return m_name; }
    int dpiX() const override;
    int dpiY() const override;
    int pageWidth() const override;
    int pageHeight() const override;
    bool startDoc(const std::string& name) override;
    bool startFailed() const override { return m_startFailed; }
    bool startPage() override;
    bool drawImage(const Rect& dst, const Surface& image) override;
    void endPage() override {}
    void endDoc() override;
    // The most bytes of picture handed to the device in one image; larger
    // pictures go in bands of rows (the default keeps every usual print in
    // one piece).
    void setBandBytes(std::size_t bytes) { m_bandBytes = std::max<std::size_t>(bytes, 1); }

protected:
    // Gives the document its name before it starts.
    virtual void setDocumentName(const std::string& name) = 0;
    // True between a successful startDoc and endDoc.
    bool documentOpen() const;

private:
    QPagedPaintDevice& m_device;
    std::string m_name;
    std::unique_ptr<QPainter> m_painter;
    int m_pages = 0;
    bool m_startFailed = false;
    std::size_t m_bandBytes = std::size_t{1} << 30;
};

// A PDF file as the printer: `dpi` device pixels per inch on the paper of
// `settings` (A4 when it names none) in its orientation, with margins of
// `marginMM` on every side; the document name becomes the PDF's title.
namespace detail {
// Owns the file and the writer so that they exist before the target that
// draws on them. The PDF is written to a temporary file beside the target
// and put in place only when the document is complete and every byte of it
// was written.
struct PdfWriterHolder {
    ReplacingFile file;
    std::unique_ptr<QFile> device;
    std::unique_ptr<QPdfWriter> writer;
    bool fileOpen = false;
    explicit PdfWriterHolder(const std::string& path);
    ~PdfWriterHolder();
};
}  // namespace detail

class PdfPrintTarget : private detail::PdfWriterHolder, public PaintDevicePrintTarget {
public:
    PdfPrintTarget(const std::string& path, int dpi, const PrinterSettings& settings, double marginMM = 0.0,
                   const std::string& deviceName = "PDF");
    ~PdfPrintTarget() override;

    // False when the file cannot be made (nothing is drawn then).
    bool startDoc(const std::string& name) override;
    // Finishes the PDF and puts it in place of the target.
    void endDoc() override;
    // Finishes nothing: the target stays as it was.
    void abortDoc() override;
    bool written() const override { return m_written; }

protected:
    void setDocumentName(const std::string& name) override;

private:
    bool m_done = false;
    bool m_written = false;
};

}  // namespace plastora
