// The library's widget module (libpixelune_widgets.so): the scanner's source
// chooser and the previewing file-open dialog. The library loads it when a
// dialog is first shown, in a program that runs a QApplication.
#include "PixDialogs.h"

#include "PreviewFit.h"

#include "platform/Surface.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QVBoxLayout>

#include <string>
#include <vector>

namespace pixelune {

namespace {

const WidgetServices* services = nullptr;

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

bool chooseSourceDialog(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen) {
    if (devices.empty()) return false;
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

void openFileDialog(const char* defaultExtension, const char* filter, const char* initialFolder,
                    std::string* chosen) {
    chosen->clear();

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
        services->drawPlaceholder(preview);
        box->setPixmap(toPixmap(preview));
    }
    QObject::connect(&dlg, &QFileDialog::currentChanged, box, [&](const QString& path) {
        if (!tick->isChecked() || path.isEmpty() || QFileInfo(path).isDir()) return;
        services->renderPreview(QFile::encodeName(path).toStdString(), preview);
        if (!preview.empty()) box->setPixmap(toPixmap(preview));
    });

    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        *chosen = QFile::encodeName(dlg.selectedFiles().constFirst()).toStdString();
}

}  // namespace

}  // namespace pixelune

extern "C" __attribute__((visibility("default"))) const pixelune::WidgetEntry* pixelune_widget_entry(
    const pixelune::WidgetServices* given) {
    static const pixelune::WidgetEntry entry{&pixelune::chooseSourceDialog, &pixelune::openFileDialog};
    pixelune::services = given;
    return &entry;
}
