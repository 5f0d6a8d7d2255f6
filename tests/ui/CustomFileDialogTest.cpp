// The previewing file-open dialog and the scanner's source chooser, driven
// while they run modally.
#include "linewisp/LinewispTestSupport.h"
#include "pixelune/SaneTestConfig.h"
#include "pixelune/pixelune.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace {

using plastora::test::TempDir;

// Runs `inside` on the open dialog, then makes sure the dialog ends.
template <typename Dialog>
void whenOpen(std::function<void(Dialog*)> inside) {
    QTimer::singleShot(0, [inside] {
        auto* dlg = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "no dialog";
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        inside(dlg);
        if (dlg->isVisible()) dlg->reject();
    });
}

QImage preview(QFileDialog* dlg) {
    auto* box = dlg->findChild<QLabel*>(QStringLiteral("pixPreview"));
    if (!box) return {};
    return box->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

// What the dialog does when the user moves the selection to `path`.
void select(QFileDialog* dlg, const std::string& path) { emit dlg->currentChanged(QString::fromStdString(path)); }

QRect nonWhite(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) r |= QRect(x, y, 1, 1);
    return r;
}

std::string solidPicture(const TempDir& dir, const std::string& name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(255, 0, 0));
    const std::string path = dir.file(name);
    img.save(QString::fromStdString(path));
    return path;
}

TEST(CustomFileDialog, PreviewFitsPicturesIntoTheBoxKeepingTheirShape) {
    TempDir dir;
    const std::string fourThree = solidPicture(dir, "photo.png", 640, 480);
    const std::string wide = solidPicture(dir, "wide.bmp", 200, 50);
    const std::string tall = solidPicture(dir, "tall.png", 50, 200);
    const std::string text = dir.file("notes.png");
    std::ofstream(text) << "not a picture";

    const char* result = nullptr;
    whenOpen<QFileDialog>([&](QFileDialog* dlg) {
        auto* tick = dlg->findChild<QCheckBox*>(QStringLiteral("pixPreviewTick"));
        ASSERT_NE(tick, nullptr);
        EXPECT_EQ(tick->text(), QStringLiteral("ﾌﾟﾚﾋﾞｭ"));
        EXPECT_TRUE(tick->isChecked());
        bool titled = false;
        for (auto* g : dlg->findChildren<QGroupBox*>()) titled |= g->title() == QStringLiteral("ﾌﾟﾚﾋﾞｭ画面");
        EXPECT_TRUE(titled);
        const QImage placeholder = preview(dlg);
        EXPECT_EQ(placeholder.size(), QSize(128, 96));
        EXPECT_FALSE(nonWhite(placeholder).isEmpty());

        // ratio 100: the whole box; ratio 300: 128 x 32 centred vertically;
        // ratio 18: 23 x 96 centred horizontally.
        select(dlg, fourThree);
        EXPECT_EQ(nonWhite(preview(dlg)), QRect(0, 0, 128, 96));
        select(dlg, wide);
        EXPECT_EQ(nonWhite(preview(dlg)), QRect(0, 32, 128, 32));
        EXPECT_EQ(preview(dlg).pixel(64, 48), qRgb(255, 0, 0));
        select(dlg, tall);
        EXPECT_EQ(nonWhite(preview(dlg)), QRect(52, 0, 23, 96));

        // With the tick off the preview stays as it was.
        tick->setChecked(false);
        select(dlg, wide);
        EXPECT_EQ(nonWhite(preview(dlg)), QRect(52, 0, 23, 96));
        tick->setChecked(true);

        // A file that cannot be read leaves the box empty.
        select(dlg, text);
        EXPECT_TRUE(nonWhite(preview(dlg)).isEmpty());
        EXPECT_EQ(preview(dlg).size(), QSize(128, 96));

        dlg->selectFile(QString::fromStdString(wide));
        static_cast<QDialog*>(dlg)->accept();  // OK
    });
    result = CustomFileDialog("bmp", "画像|*.bmp;*.png|すべて|*.*||", dir.path().c_str());
    EXPECT_STREQ(result, wide.c_str());
}

// The drawing fills its fitted place: at 100%, and far larger than the box
// (a landscape page in twips, whose fitting zoom is below 1%: shrunk into
// the box, not left out).
TEST(CustomFileDialog, MetafilePreviewShowsTheDrawing) {
    TempDir dir;
    struct Case {
        int right, bottom, unitsPerInch;
        const char* name;
    };
    for (const Case& c : {Case{200, 100, 96, "halves.WMF"}, Case{20000, 10000, 1440, "page.wmf"}}) {
        // Red left half, blue right half.
        auto wmf = lwtest::Wmf::placeable(0, 0, c.right, c.bottom, c.unitsPerInch);
        wmf.pen(5, 0).select(0);  // no outline
        wmf.brush(0, plastora::RGB(255, 0, 0)).select(1).rectangle(0, 0, c.right / 2, c.bottom);
        wmf.brush(0, plastora::RGB(0, 0, 255)).select(2).rectangle(c.right / 2, 0, c.right, c.bottom);
        const std::string path = dir.file(c.name);
        const auto bytes = wmf.bytes();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        whenOpen<QFileDialog>([&](QFileDialog* dlg) {
            select(dlg, path);
            const QImage box = preview(dlg);
            // ratio 150: 128 x 64 from y 16, each half 64 wide.
            const QRect drawn = nonWhite(box);
            EXPECT_NEAR(drawn.left(), 0, 1) << c.name;
            EXPECT_NEAR(drawn.right(), 127, 1) << c.name;
            EXPECT_NEAR(drawn.top(), 16, 1) << c.name;
            EXPECT_NEAR(drawn.bottom(), 79, 1) << c.name;
            EXPECT_EQ(box.pixel(20, 48), qRgb(255, 0, 0)) << c.name;
            EXPECT_EQ(box.pixel(60, 30), qRgb(255, 0, 0)) << c.name;
            EXPECT_EQ(box.pixel(68, 30), qRgb(0, 0, 255)) << c.name;
            EXPECT_EQ(box.pixel(110, 70), qRgb(0, 0, 255)) << c.name;
            dlg->reject();
        });
        EXPECT_STREQ(CustomFileDialog(nullptr, nullptr, dir.path().c_str()), "");
    }
}

TEST(CustomFileDialog, FiltersFolderAndCancelledBuffer) {
    TempDir dir;
    const std::string picture = solidPicture(dir, "a.png", 4, 3);
    whenOpen<QFileDialog>([&](QFileDialog* dlg) {
        EXPECT_EQ(dlg->nameFilters(), QStringList({QStringLiteral("画像 (*.bmp *.png)"), QStringLiteral("すべて (*)")}));
        EXPECT_EQ(dlg->defaultSuffix(), QStringLiteral("bmp"));
        EXPECT_EQ(dlg->directory().absolutePath().toStdString(), dir.path().string());
        dlg->selectFile(QString::fromStdString(picture));
        static_cast<QDialog*>(dlg)->accept();
    });
    const char* first = CustomFileDialog(".bmp", "画像|*.bmp;*.png|すべて|*.*||", dir.path().c_str());
    EXPECT_STREQ(first, picture.c_str());
    // The next call overwrites the same buffer; Cancel leaves it empty.
    whenOpen<QFileDialog>([](QFileDialog* dlg) { dlg->reject(); });
    const char* second = CustomFileDialog("bmp", nullptr, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "");
}

TEST(ScannerSource, ChosenDeviceIsTheOneScanned) {
    sanetest::SaneTestConfig config;
    TWAINPacket packet{};
    std::strcpy(packet.source, "kept");
    whenOpen<QDialog>([](QDialog* dlg) { dlg->reject(); });
    EXPECT_EQ(TWAINSelectSource(&packet, nullptr), 0);
    EXPECT_STREQ(packet.source, "kept");

    QStringList listed;
    whenOpen<QDialog>([&](QDialog* dlg) {
        auto* list = dlg->findChild<QListWidget*>(QStringLiteral("sources"));
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
        list->setCurrentRow(1);
        dlg->accept();
    });
    EXPECT_EQ(TWAINSelectSource(&packet, nullptr), 1);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_TRUE(listed[0].endsWith(QStringLiteral("test:0")));
    EXPECT_TRUE(listed[1].endsWith(QStringLiteral("test:1")));
    EXPECT_STREQ(packet.source, "test:1");
    EXPECT_EQ(packet.manager, nullptr);  // unloaded again

    ASSERT_EQ(TWAINGetSource(&packet, nullptr), 1);
    void* dib = nullptr;
    EXPECT_EQ(TWAINPostTwain(&packet, nullptr, &dib, nullptr), kTwainTransferred);
    ASSERT_NE(dib, nullptr);
    std::uint32_t width = 0;
    std::memcpy(&width, static_cast<const char*>(dib) + 4, 4);
    EXPECT_EQ(static_cast<int>(width), config.scanimage("test:1").width());
    std::free(dib);
}

// A device name that is not UTF-8 (here 200 bytes of Latin-1 é) comes back
// from the chooser byte for byte, and the device it names is scanned.
TEST(ScannerSource, NameThatIsNotUtf8IsKeptByteForByte) {
    sanetest::SaneTestConfig config;
    const std::string name(200, '\xE9');
    config.aliases("alias " + name + " test:1\n");
    whenOpen<QDialog>([](QDialog* dlg) {
        auto* list = dlg->findChild<QListWidget*>(QStringLiteral("sources"));
        ASSERT_NE(list, nullptr);
        // The aliased device: the row that names neither test device.
        for (int i = 0; i < list->count(); ++i)
            if (!list->item(i)->text().endsWith(QStringLiteral("test:0")) &&
                !list->item(i)->text().endsWith(QStringLiteral("test:1")))
                list->setCurrentRow(i);
        dlg->accept();
    });
    TWAINPacket packet{};
    ASSERT_EQ(TWAINSelectSource(&packet, nullptr), 1);
    EXPECT_EQ(std::string(packet.source), name);
    ASSERT_EQ(TWAINGetSource(&packet, nullptr), 1);
    void* dib = nullptr;
    EXPECT_EQ(TWAINPostTwain(&packet, nullptr, &dib, nullptr), kTwainTransferred);
    EXPECT_NE(dib, nullptr);
    std::free(dib);
}

}  // namespace
