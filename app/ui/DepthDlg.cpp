#include "ui/DepthDlg.h"

#include "core/StereoWorkspace.h"
#include "ui/QtHost.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QImage>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace plastora::ui {

namespace {
// Typed values outside this never come from a real entry; they are refused by
// the range check like any other value outside -32..16.
constexpr int kTypingLimit = 9999;
// The region thumbnail's box, in pixels.
constexpr int kThumbWidth = 128;
constexpr int kThumbHeight = 96;

// The photo inside the region's mask, darkened outside it, fitted into the
// thumbnail's box.
QPixmap cutOutThumbnail(const CStereoWorkspace& ws, int index) {
    if (index < 0 || index >= ws.regionCount() || ws.source().empty()) return {};
    const Surface& mask = ws.region(index).mask;
    const Surface& photo = ws.source();
    const int w = std::min(mask.width(), photo.width()), h = std::min(mask.height(), photo.height());
    if (w <= 0 || h <= 0) return {};
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<Pixel*>(img.scanLine(y));
        const Pixel* m = mask.row(y);
        const Pixel* p = photo.row(y);
        for (int x = 0; x < w; ++x) out[x] = (m[x] & 0x00FFFFFFu) ? p[x] : kOpaque | ((p[x] >> 2) & 0x003F3F3Fu);
    }
    return QPixmap::fromImage(img.scaled(kThumbWidth, kThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
}

DepthSpinBox::DepthSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(-kTypingLimit, kTypingLimit);
    setAlignment(Qt::AlignRight);
}

void DepthSpinBox::stepBy(int steps) {
    setValue(std::clamp(value() + steps, kDepthMin, kDepthMax));
}

QValidator::State DepthSpinBox::validate(QString& text, int& pos) const {
    // Only a sign and digits: a separator or a decimal point is kept in the
    // field (it is what the user typed) but never read as a number.
    const QString t = text.trimmed();
    for (int i = 0; i < t.size(); ++i)
        if (!t[i].isDigit() && !(i == 0 && (t[i] == u'-' || t[i] == u'+'))) return QValidator::Intermediate;
    return QSpinBox::validate(text, pos);
}

void DepthSpinBox::keyPressEvent(QKeyEvent* event) {
    // Enter on a text that is no number goes to the dialog as it stands, for
    // its range message, instead of the spin box first putting the last
    // number back.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !hasAcceptableInput()) {
        event->ignore();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

// Qt's fixup would drop a thousands separator ("1,5" read as 15): the text
// is left as typed.
void DepthSpinBox::fixup(QString&) const {}

void DepthSpinBox::focusOutEvent(QFocusEvent* event) {
    // Leaving the field puts the last number back; a text that is no number
    // is then shown again, for OK to refuse.
    const bool typed = !hasAcceptableInput();
    const QString text = this->text();
    QSpinBox::focusOutEvent(event);
    if (typed) restoreText(text);
}

int DepthSpinBox::checkedValue() const { return hasAcceptableInput() ? value() : kTypingLimit + 1; }

QAbstractSpinBox::StepEnabled DepthSpinBox::stepEnabled() const {
    StepEnabled e = StepNone;
    if (value() < kDepthMax) e |= StepUpEnabled;
    if (value() > kDepthMin) e |= StepDownEnabled;
    return e;
}

CDepthDlg::CDepthDlg(CStereoWorkspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws), m_editor(ws) {
    setWindowTitle("遠近設定ダイアログ");
    m_background = new DepthSpinBox(this);
    m_region = new DepthSpinBox(this);
    m_paint = new DepthSpinBox(this);
    m_object = new DepthSpinBox(this);
    m_sharp = new QCheckBox("鮮明", this);
    m_regionShadow = new QCheckBox("影", this);
    m_paintShadow = new QCheckBox("影", this);
    m_objectShadow = new QCheckBox("影", this);
    m_regionButton = new QPushButton("切出し領域", this);
    m_objectButton = new QPushButton("オブジェクト", this);
    m_standardButton = new QPushButton("標準に戻す", this);
    // Enter on one of these buttons presses it, as on any focused button;
    // Enter anywhere else presses OK.

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("背景", this), 0, 0);
    grid->addWidget(m_background, 0, 1);
    grid->addWidget(m_sharp, 0, 2);
    grid->addWidget(m_regionButton, 1, 0);
    grid->addWidget(m_region, 1, 1);
    grid->addWidget(m_regionShadow, 1, 2);
    grid->addWidget(new QLabel("手書き部分", this), 2, 0);
    grid->addWidget(m_paint, 2, 1);
    grid->addWidget(m_paintShadow, 2, 2);
    grid->addWidget(m_objectButton, 3, 0);
    grid->addWidget(m_object, 3, 1);
    grid->addWidget(m_objectShadow, 3, 2);
    // Which region the region field and button act on: its number and its
    // cut-out.
    m_regionNumber = new QLabel(this);
    m_regionNumber->setAlignment(Qt::AlignCenter);
    m_regionThumbnail = new QLabel(this);
    m_regionThumbnail->setFixedSize(kThumbWidth + 4, kThumbHeight + 4);
    m_regionThumbnail->setAlignment(Qt::AlignCenter);
    m_regionThumbnail->setFrameShape(QFrame::StyledPanel);
    auto* regionBox = new QVBoxLayout;
    regionBox->addWidget(m_regionNumber);
    regionBox->addWidget(m_regionThumbnail);
    regionBox->addStretch();
    grid->addLayout(regionBox, 0, 3, 4, 1);

    auto* text = new QLabel(
        "各ﾊﾟｰﾂの遠近を設定してください。立体画像にした時小さいほど遠くに大きいほど近くに見えます。背景はﾏｲﾅｽの値にしてください。\n"
        "背景をはっきり印刷したい場合やｽﾃﾚｵ画像を作成する場合は鮮明をﾁｪｯｸしてください。影をﾁｪｯｸすると背景にﾊﾟｰﾂの影が付けられます。\n"
        "切出し領域ﾎﾞﾀﾝやｵﾌﾞｼﾞｪｸﾄﾎﾞﾀﾝでそれぞれを切り替えられます。",
        this);
    text->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("キャンセル", QDialogButtonBox::RejectRole);
    buttons->addButton(m_standardButton, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDepthDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDepthDlg::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(text);
    top->addWidget(buttons);
    resize(700, sizeHint().height());

    connect(m_sharp, &QCheckBox::clicked, this, [this](bool on) {
        pull();
        m_editor.setSharp(on);
        push();
    });
    connect(m_regionButton, &QPushButton::clicked, this, [this] {
        pull();
        focusField(m_editor.nextRegion());
        push();
    });
    connect(m_objectButton, &QPushButton::clicked, this, [this] {
        pull();
        focusField(m_editor.nextObject());
        push();
    });
    connect(m_standardButton, &QPushButton::clicked, this, [this] {
        pull();
        m_editor.resetToStandard();
        push();
    });
    push();
}

void CDepthDlg::pull() {
    m_editor.background = m_background->checkedValue();
    m_editor.regionField = m_region->checkedValue();
    m_editor.paintField = m_paint->checkedValue();
    m_editor.objectField = m_object->checkedValue();
    m_editor.sharp = m_sharp->isChecked();
    m_editor.regionShadow = m_regionShadow->isChecked();
    m_editor.paintShadow = m_paintShadow->isChecked();
    m_editor.objectShadow = m_objectShadow->isChecked();
}

void CDepthDlg::push() {
    m_background->setValue(m_editor.background);
    m_region->setValue(m_editor.regionField);
    m_paint->setValue(m_editor.paintField);
    m_object->setValue(m_editor.objectField);
    m_sharp->setChecked(m_editor.sharp);
    m_regionShadow->setChecked(m_editor.regionShadow);
    m_paintShadow->setChecked(m_editor.paintShadow);
    m_objectShadow->setChecked(m_editor.objectShadow);
    m_background->setEnabled(m_editor.backgroundEnabled);
    m_sharp->setEnabled(m_editor.backgroundEnabled);
    m_region->setEnabled(m_editor.regionFieldEnabled);
    m_regionShadow->setEnabled(m_editor.regionShadowEnabled);
    m_regionButton->setEnabled(m_editor.regionButtonEnabled);
    m_objectButton->setEnabled(m_editor.objectButtonEnabled);
    m_object->setEnabled(m_editor.objectFieldEnabled);
    m_objectShadow->setEnabled(m_editor.objectFieldEnabled);
    showCurrentRegion();
}

void CDepthDlg::showCurrentRegion() {
    const int current = m_editor.currentRegion();
    m_regionNumber->setText(shownText("切出し領域 %1 / %2").arg(current + 1).arg(m_ws.regionCount()));
    if (current == m_shownRegion) return;
    m_shownRegion = current;
    m_regionThumbnail->setPixmap(cutOutThumbnail(m_ws, current));
}

void CDepthDlg::focusField(DepthField f) {
    switch (f) {
    case DepthField::Background: m_background->setFocus(); m_background->selectAll(); break;
    case DepthField::Region: m_region->setFocus(); m_region->selectAll(); break;
    case DepthField::Paint: m_paint->setFocus(); m_paint->selectAll(); break;
    case DepthField::Object: m_object->setFocus(); m_object->selectAll(); break;
    case DepthField::None: break;
    }
}

void CDepthDlg::accept() {
    // A text that is no number is refused and stays as typed: pushing the
    // values back would show the out-of-range stand-in it was read as.
    struct Typed {
        DepthSpinBox* field;
        int last;
        QString text;
    };
    std::vector<Typed> typed;
    for (DepthSpinBox* f : {m_background, m_region, m_paint, m_object})
        if (!f->hasAcceptableInput()) typed.push_back({f, f->value(), f->text()});
    pull();
    DepthField focus = DepthField::None;
    if (m_editor.accept(focus)) {
        QDialog::accept();
        return;
    }
    push();
    for (const Typed& t : typed) {
        t.field->setValue(t.last);
        t.field->restoreText(t.text);
    }
    focusField(focus);
}

}  // namespace plastora::ui
