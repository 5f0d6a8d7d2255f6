#include "output/PdfPrintTarget.h"

#include "platform/GuiRuntime.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace plastora {

PaintDevicePrintTarget::PaintDevicePrintTarget(QPagedPaintDevice& device, std::string deviceName)
    : m_device(device), m_name(std::move(deviceName)) {}

PaintDevicePrintTarget::~PaintDevicePrintTarget() {
    if (m_painter && m_painter->isActive()) m_painter->end();
}

int PaintDevicePrintTarget::dpiX() const { return m_device.logicalDpiX(); }
int PaintDevicePrintTarget::dpiY() const { return m_device.logicalDpiY(); }
int PaintDevicePrintTarget::pageWidth() const { return m_device.width(); }
int PaintDevicePrintTarget::pageHeight() const { return m_device.height(); }

bool PaintDevicePrintTarget::startDoc(const std::string& name) {
    setDocumentName(name);
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&m_device)) {
        m_painter.reset();
        m_startFailed = true;
        return false;
    }
    // PDF output keeps the pixels as they are instead of re-encoding them.
    m_painter->setRenderHint(QPainter::LosslessImageRendering, true);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    return true;
}

bool PaintDevicePrintTarget::startPage() {
    if (!m_painter) return false;
    // Opening the painter began the first page; later pages are new ones.
    if (m_pages++ > 0 && !m_device.newPage()) return false;
    return true;
}

bool PaintDevicePrintTarget::drawImage(const Rect& dst, const Surface& image) {
    if (!m_painter || image.empty() || dst.width() <= 0 || dst.height() <= 0) return false;
    const Surface* src = &image;
    Surface stretched;
    if (image.width() != dst.width() || image.height() != dst.height()) {
        if (!stretched.createUninitialized(dst.width(), dst.height()) ||
            !stretchBlit(stretched, 0, 0, dst.width(), dst.height(), image, 0, 0, image.width(), image.height(),
                         Rop::Copy, StretchMode::Halftone))
            return false;
        src = &stretched;
    }
    // Qt's PDF engine sizes an image's stream in an int (three bytes a
    // pixel), so a picture of more than about 700 million pixels would
    // overflow it: such a picture goes to the device in bands of whole rows,
    // each drawn at its own place and pixel for pixel.
    const qsizetype stride = static_cast<qsizetype>(src->width()) * 4;
    const int bandRows = static_cast<int>(std::clamp<std::size_t>(
        m_bandBytes / static_cast<std::size_t>(stride), 1, static_cast<std::size_t>(src->height())));
    for (int y = 0; y < src->height(); y += bandRows) {
        const int rows = std::min(bandRows, src->height() - y);
        const QImage band(reinterpret_cast<const uchar*>(src->bits()) + stride * y, src->width(), rows, stride,
                          QImage::Format_RGB32);
        m_painter->drawImage(QRect(dst.left, dst.top + y, dst.width(), rows), band);
    }
    return true;
}

bool PaintDevicePrintTarget::documentOpen() const { return m_painter && m_painter->isActive(); }

void PaintDevicePrintTarget::endDoc() {
    if (m_painter && m_painter->isActive()) m_painter->end();
    m_painter.reset();
}

namespace {

QPageSize pageSizeFor(const PrinterSettings& s) {
    if (s.paperWidthMM > 0 && s.paperHeightMM > 0) {
        const QPageSize byName = QPageSize(QPageSize::id(QSizeF(s.paperWidthMM, s.paperHeightMM),
                                                         QPageSize::Millimeter, QPageSize::FuzzyMatch));
        if (byName.isValid() && byName.id() != QPageSize::Custom) return byName;
        return QPageSize(QSizeF(s.paperWidthMM, s.paperHeightMM), QPageSize::Millimeter,
                         QString::fromStdString(s.paper));
    }
    for (int id = 0; id < QPageSize::LastPageSize; ++id) {
        const auto pid = static_cast<QPageSize::PageSizeId>(id);
        if (QPageSize::key(pid) == QString::fromStdString(s.paper)) return QPageSize(pid);
    }
    return QPageSize(QPageSize::A4);
}

}  // namespace

detail::PdfWriterHolder::PdfWriterHolder(const std::string& path) {
    ensureGuiRuntime();
    device = std::make_unique<QFile>();
    fileOpen = file.open(path) && device->open(file.stream(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    // Without a file the writer still answers the page geometry; startDoc fails.
    writer = std::make_unique<QPdfWriter>(device.get());
}

detail::PdfWriterHolder::~PdfWriterHolder() = default;

PdfPrintTarget::PdfPrintTarget(const std::string& path, int dpi, const PrinterSettings& settings, double marginMM,
                               const std::string& deviceName)
    : detail::PdfWriterHolder(path), PaintDevicePrintTarget(*writer, deviceName) {
    writer->setResolution(dpi);
    writer->setCreator(QStringLiteral("Plastora"));
    writer->setPageLayout(QPageLayout(pageSizeFor(settings),
                                        settings.orientation == kLandscape ? QPageLayout::Landscape
                                                                           : QPageLayout::Portrait,
                                        QMarginsF(marginMM, marginMM, marginMM, marginMM), QPageLayout::Millimeter));
}

PdfPrintTarget::~PdfPrintTarget() {
    // A document never ended keeps the target as it was.
    if (!m_done) abortDoc();
}

bool PdfPrintTarget::startDoc(const std::string& name) {
    if (!fileOpen || m_done) return false;
    return PaintDevicePrintTarget::startDoc(name);
}

void PdfPrintTarget::endDoc() {
    if (m_done) return;
    m_done = true;
    PaintDevicePrintTarget::endDoc();
    bool ok = fileOpen && device->error() == QFileDevice::NoError && device->flush();
    device->close();
    ok = ok && file.commit();
    if (!ok) file.discard();
    m_written = ok;
}

void PdfPrintTarget::abortDoc() {
    if (m_done) return;
    m_done = true;
    PaintDevicePrintTarget::endDoc();
    device->close();
    file.discard();
    m_written = false;
}

void PdfPrintTarget::setDocumentName(const std::string& name) { writer->setTitle(QString::fromStdString(name)); }

}  // namespace plastora
