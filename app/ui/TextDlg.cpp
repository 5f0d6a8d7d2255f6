#include "ui/TextDlg.h"
#include "ui/DialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {
constexpr int kMinSize = 8;
constexpr int kMaxSize = 72;
}  // namespace

QStringList textDialogFaces(const QStringList& installed, const QString& face) {
    QStringList faces;
    for (const QString& name : installed)
        if (!name.startsWith(QLatin1Char('@'))) faces.append(name);
    if (!face.isEmpty() && !faces.contains(face)) faces.prepend(face);
    return faces;
}

CTextDlg::CTextDlg(TextDialogData& data, QWidget* parent) : QDialog(parent), m_data(data) {
    setWindowTitle(QStringLiteral("文字入力"));

    m_text = new QLineEdit(QString::fromStdString(data.text), this);
    m_text->setObjectName("text");
    m_text->setMinimumWidth(260);

    const QString face = QString::fromStdString(data.face);
    m_font = new QComboBox(this);
    m_font->setObjectName("font");
    m_font->addItems(textDialogFaces(QFontDatabase::families(), face));
    // An empty preset face leaves the first family chosen.
    if (const int index = m_font->findText(face, Qt::MatchExactly); index >= 0) m_font->setCurrentIndex(index);

    m_size = new QSpinBox(this);
    m_size->setObjectName("size");
    m_size->setRange(kMinSize, kMaxSize);
    m_size->setValue(data.size);

    auto tick = [this](const char* label, const char* name, bool checked) { return makeTick(this, label, name, checked); };
    m_flat = tick("立体化しない", "flat", data.flat);
    m_vertical = tick("縦書き", "vertical", data.vertical);
    m_bold = tick("太字", "bold", data.bold);
    m_italic = tick("斜体", "italic", data.italic);
    m_antialiased = tick("アンチエイリアス", "antialiased", data.antialiased);

    const DialogButtons buttons = makeOkCancelButtons(this);
    QDialogButtonBox* box = buttons.box;
    m_ok = buttons.ok;

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("文字"), m_text);
    form->addRow(QStringLiteral("フォント"), m_font);
    form->addRow(QStringLiteral("サイズ"), m_size);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    for (QCheckBox* b : {m_flat, m_vertical, m_bold, m_italic, m_antialiased}) top->addWidget(b);
    top->addWidget(box);

    connect(m_text, &QLineEdit::textChanged, this, &CTextDlg::updateOk);
    updateOk();
    m_text->setFocus();
    m_text->selectAll();
}

void CTextDlg::updateOk() { m_ok->setEnabled(!m_text->text().isEmpty()); }

void CTextDlg::accept() {
    // OK is disabled for an empty text; a direct call is refused the same way.
    if (m_text->text().isEmpty()) return;
    m_size->interpretText();
    m_data.text = m_text->text().toStdString();
    m_data.face = m_font->currentText().toStdString();
    m_data.size = m_size->value();
    m_data.flat = m_flat->isChecked();
    m_data.vertical = m_vertical->isChecked();
    m_data.bold = m_bold->isChecked();
    m_data.italic = m_italic->isChecked();
    m_data.antialiased = m_antialiased->isChecked();
    QDialog::accept();
}

}  // namespace plastora::ui
