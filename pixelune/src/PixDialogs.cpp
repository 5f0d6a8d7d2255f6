// The library's own widgets: the source chooser and the previewing
// file-open dialog.
#include "PixDialogs.h"

#include "PreviewFit.h"
#include "pixelune/pixelune.h"

#include "linewisp/linewisp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#ifdef PIXELUNE_WITH_WIDGETS
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QVBoxLayout>
#endif

namespace pixelune {

namespace {

bool endsWithWmf(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".wmf";
}

// The box before any preview: a framed landscape on grey.
void drawPlaceholder(plastora::Surface& box) {
    using namespace plastora;
    fillRect(box, Rect{0, 0, kPreviewWidth, kPreviewHeight}, RGB(0xD4, 0xD0, 0xC8));
    const Rect frame{24, 14, 104, 82};
    rectangle(box, Pen{1, RGB(0x80, 0x80, 0x80)}, Brush{RGB(0xFF, 0xFF, 0xFF)}, frame);
    fillRect(box, Rect{25, 15, 103, 56}, RGB(0xA6, 0xCA, 0xF0));
    polygon(box, kNullPen, Brush{RGB(0x40, 0x80, 0x40)}, {{25, 81}, {52, 40}, {70, 64}, {82, 50}, {103, 81}});
    ellipse(box, kNullPen, Brush{RGB(0xFF, 0xC0, 0x00)}, Rect{80, 20, 94, 34});
}

// The metafile in its fitted place. False when it cannot be read.
bool previewMetafile(const std::string& path, plastora::Surface& box) {
    VectObjectList list;
    VectPacket packet;
    std::memset(&packet, 0, sizeof packet);
    VectPacketSetList(&packet, &list);
    packet.bitDepth = 24;
    packet.objectLimit = 4095;
    packet.pointLimit = 0x8000;
    VectDC reference;
    bool shown = false;
    if (VectWmfRead(&reference, path.c_str(), &packet) > 0) {
        const int zoom = packet.zoom > 0 ? packet.zoom : 100;
        const int w = packet.right * zoom / 100;
        const int h = packet.bottom * zoom / 100;
        PreviewPlace place;
        plastora::Surface picture;
        // The zoom is a whole percentage: the fitting one rounded up, at
        // least 1%. Where it is not exact (a large drawing fits below 1%, and
        // a whole percentage rarely fits exactly) the drawing is painted a
        // little larger and shrunk into its place.
        if (fitPreview(w, h, &place) && place.width > 0 && place.height > 0) {
            const int paintZoom = std::clamp(
                static_cast<int>((std::int64_t{zoom} * place.width + w - 1) / w), 1, 32767);
            const int pw = std::max(place.width, static_cast<int>(std::int64_t{packet.right} * paintZoom / 100));
            const int ph = std::max(place.height, static_cast<int>(std::int64_t{packet.bottom} * paintZoom / 100));
            if (picture.create(pw, ph)) {
                // Painting the fitted area alone is moving the origin to the
                // centring offset and clipping to the box.
                plastora::blit(picture, plastora::Rop::Whiteness);
                packet.zoom = static_cast<std::int16_t>(paintZoom);
                VectDC target{&picture, 96, 96};
                VectVectPaint(&target, &packet, 1);
                // A plain copy where the zoom fitted exactly.
                plastora::stretchBlit(box, place.x, place.y, place.width, place.height, picture, 0, 0, pw, ph,
                                      plastora::Rop::Copy, plastora::StretchMode::Halftone);
                shown = true;
            }
        }
    }
    VectRelease(&list, &packet);
    VectPacketSetList(&packet, nullptr);
    return shown;
}

// A raster picture in its fitted place. False when it cannot be read.
bool previewRaster(const std::string& path, plastora::Surface& box) {
    PixDisplay display;
    plastora::Surface picture;
    std::uint32_t palette[kPixPaletteSize];
    std::uint32_t paletteOut[kPixPaletteSize];
    int w = 0, h = 0;
    if (!ReadRasterFile(&display, &picture, palette, path.c_str(), nullptr, 0, nullptr, &w, &h, nullptr, 1,
                        paletteOut))
        return false;
    PreviewPlace place;
    if (!fitPreview(picture.width(), picture.height(), &place)) return false;
    if (place.width > 0 && place.height > 0)
        plastora::stretchBlit(box, place.x, place.y, place.width, place.height, picture, 0, 0, picture.width(),
                              picture.height(), plastora::Rop::Copy, plastora::StretchMode::Halftone);
    return true;
}

}  // namespace

// Renders the preview of `path` into the 128 x 96 box: white, then the
// picture fitted. A file that cannot be read leaves the box empty (white).
bool renderPreview(const std::string& path, plastora::Surface& box) {
    if (!box.create(kPreviewWidth, kPreviewHeight)) return false;
    plastora::blit(box, plastora::Rop::Whiteness);
    return endsWithWmf(path) ? previewMetafile(path, box) : previewRaster(path, box);
}

#ifdef PIXELUNE_WITH_WIDGETS

namespace {

bool widgetApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QPixmap toPixmap(plastora::Surface& s) { return QPixmap::fromImage(s.image().copy()); }

// "name|patterns|name|patterns||" into Qt name filters "name (p1 p2)".
QStringList nameFilters(const char* filter) {
    QStringList out;
    if (!filter) return out;
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");  // every file, as on the original desktop
        }
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

}  // namespace

bool chooseSource(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen) {
    if (!widgetApplication() || devices.empty()) return false;
    QDialog dlg(static_cast<QWidget*>(parent));
    dlg.setWindowTitle(QStringLiteral("ソースの選択"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* list = new QListWidget(&dlg);
    list->setObjectName(QStringLiteral("sources"));
    for (const SourceChoice& d : devices) {
        auto* item = new QListWidgetItem(QString::fromUtf8(d.description.c_str()), list);
        // The name as the backend gave it, byte for byte: names need not
        // be UTF-8, and a name changed on the way would open nothing.
        item->setData(Qt::UserRole, QByteArray::fromStdString(d.name));
    }
    list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dlg.exec() != QDialog::Accepted || !list->currentItem()) return false;
    *chosen = list->currentItem()->data(Qt::UserRole).toByteArray().toStdString();
    return true;
}

const char* fileDialog(const char* defaultExtension, const char* filter, const char* initialFolder) {
    static std::string chosenPath;
    chosenPath.clear();
    if (!widgetApplication()) return chosenPath.c_str();

    QFileDialog dlg(QApplication::activeWindow(), QString(),
                    initialFolder ? QString::fromUtf8(initialFolder) : QString());
    dlg.setOption(QFileDialog::DontUseNativeDialog);  // the preview box lives inside the dialog
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (defaultExtension && *defaultExtension) {
        QString ext = QString::fromUtf8(defaultExtension);
        if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
        dlg.setDefaultSuffix(ext);
    }
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty()) dlg.setNameFilters(filters);

    auto* group = new QGroupBox(QStringLiteral("ﾌﾟﾚﾋﾞｭ画面"), &dlg);
    auto* groupLayout = new QVBoxLayout(group);
    auto* box = new QLabel(group);
    box->setObjectName(QStringLiteral("pixPreview"));
    box->setFixedSize(kPreviewWidth, kPreviewHeight);
    auto* tick = new QCheckBox(QStringLiteral("ﾌﾟﾚﾋﾞｭ"), group);
    tick->setObjectName(QStringLiteral("pixPreviewTick"));
    tick->setChecked(true);
    groupLayout->addWidget(box);
    groupLayout->addWidget(tick);
    groupLayout->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(group, 0, grid->columnCount(), grid->rowCount(), 1);
    else if (dlg.layout())
        dlg.layout()->addWidget(group);

    plastora::Surface preview;
    if (preview.create(kPreviewWidth, kPreviewHeight)) {
        drawPlaceholder(preview);
        box->setPixmap(toPixmap(preview));
    }
    QObject::connect(&dlg, &QFileDialog::currentChanged, box, [&](const QString& path) {
        if (!tick->isChecked() || path.isEmpty() || QFileInfo(path).isDir()) return;
        renderPreview(QFile::encodeName(path).toStdString(), preview);
        if (!preview.empty()) box->setPixmap(toPixmap(preview));
    });

    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        chosenPath = QFile::encodeName(dlg.selectedFiles().constFirst()).toStdString();
    return chosenPath.c_str();
}

#else

bool chooseSource(const std::vector<SourceChoice>&, void*, std::string*) { return false; }

const char* fileDialog(const char*, const char*, const char*) {
    static std::string empty;
    return empty.c_str();
}

#endif

}  // namespace pixelune

const char* CustomFileDialog(const char* defaultExtension, const char* filter, const char* initialFolder) {
    return pixelune::fileDialog(defaultExtension, filter, initialFolder);
}
