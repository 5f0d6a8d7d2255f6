#include "ui/VideoDlg.h"

#include "core/StillImage.h"
#include "ui/DialogParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {

void checkOnly(QRadioButton* const* buttons, int count, int index) {
    for (int i = 0; i < count; ++i) {
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i == index);
        buttons[i]->setAutoExclusive(true);
    }
}

}  // namespace

CVideoDlg::CVideoDlg(Host& host, std::string settingsPath, QWidget* parent)
    : QDialog(parent), m_host(host), m_settingsPath(std::move(settingsPath)) {
    setWindowTitle("動画出力設定ダイアログ");

    auto* typeGroup = new QGroupBox("ステレオ動画作成用ビットマップファイル作成", this);
    auto* typeLayout = new QVBoxLayout(typeGroup);
    auto* typeButtons = new QButtonGroup(this);
    const char* typeLabels[5] = {"立体画像による動画作成", "横並び", "縦並び", "横インターレース", "縦インターレース"};
    for (int i = 0; i < 5; ++i) {
        m_type[i] = new QRadioButton(typeLabels[i], typeGroup);
        typeButtons->addButton(m_type[i], i);
        typeLayout->addWidget(m_type[i]);
    }
    m_reverse = new QCheckBox("左右画像入替", typeGroup);
    typeLayout->addWidget(m_reverse);

    auto* sizeGroup = new QGroupBox("画像サイズ", this);
    auto* sizeLayout = new QVBoxLayout(sizeGroup);
    auto* sizeButtons = new QButtonGroup(this);
    const char* sizeLabels[kVideoSizeCount] = {"320x240ピクセル", "640x480ピクセル", "1280x720ピクセル",
                                               "1920x1200ピクセル"};
    for (int i = 0; i < kVideoSizeCount; ++i) {
        m_size[i] = new QRadioButton(sizeLabels[i], sizeGroup);
        sizeButtons->addButton(m_size[i], i);
        sizeLayout->addWidget(m_size[i]);
    }

    m_fps = new QLineEdit(this);
    m_loop = new QLineEdit(this);
    m_loop->setMaxLength(2);
    auto* fpsRow = new QHBoxLayout;
    fpsRow->addWidget(new QLabel("フレームレート", this));
    fpsRow->addWidget(m_fps);
    fpsRow->addWidget(new QLabel("FPS", this));
    auto* loopRow = new QHBoxLayout;
    loopRow->addWidget(new QLabel("繰り返し回数", this));
    loopRow->addWidget(m_loop);
    m_gifSize = new QCheckBox("GIF動画の場合は元のサイズのまま", this);

    const DialogButtons buttons = makeDialogButtons(this);
    m_defaults = buttons.standard;
    m_ok = buttons.ok;
    auto* box = buttons.box;

    auto* top = new QVBoxLayout(this);
    top->addWidget(typeGroup);
    top->addWidget(sizeGroup);
    top->addLayout(fpsRow);
    top->addLayout(loopRow);
    top->addWidget(m_gifSize);
    top->addWidget(box);

    for (QRadioButton* b : m_type) connect(b, &QRadioButton::toggled, this, &CVideoDlg::updateEnabling);
    connect(m_defaults, &QPushButton::clicked, this, &CVideoDlg::restoreDefaults);
    connect(m_ok, &QPushButton::clicked, this, &CVideoDlg::accept);

    showValues(readVideoSettings(m_settingsPath));
}

void CVideoDlg::showValues(const VideoSettings& s) {
    checkOnly(m_type, 5, s.stereoType);
    checkOnly(m_size, kVideoSizeCount, s.videoSize);
    m_reverse->setChecked(s.reverseStereo);
    m_fps->setText(QString::number(s.fps, 'g', 6));
    m_loop->setText(QString::number(s.loop));
    m_gifSize->setChecked(s.gifOwnSize);
    updateEnabling();
}

void CVideoDlg::updateEnabling() {
    const bool movie = m_type[kMovie]->isChecked();
    m_reverse->setEnabled(!movie);
    m_fps->setEnabled(movie);
    m_loop->setEnabled(movie);
    m_gifSize->setEnabled(movie);
}

void CVideoDlg::restoreDefaults() { showValues(videoResetValues()); }

VideoSettings CVideoDlg::values() const {
    VideoSettings s;
    for (int i = 0; i < 5; ++i)
        if (m_type[i]->isChecked()) s.stereoType = i;
    for (int i = 0; i < kVideoSizeCount; ++i)
        if (m_size[i]->isChecked()) s.videoSize = i;
    s.reverseStereo = m_reverse->isChecked();
    s.fps = fieldNumber(m_fps);
    s.loop = fieldInt(m_loop);
    s.gifOwnSize = m_gifSize->isChecked();
    return s;
}

void CVideoDlg::accept() {
    const VideoSettings s = values();
    auto refuse = [&](QLineEdit* field, const std::string& text) {
        m_host.message(text, MsgButtons::Ok, MsgIcon::Warning);
        field->setFocus();
        field->selectAll();
    };
    if (!(s.fps >= kMinFps && s.fps <= kMaxFps)) {
        refuse(m_fps, numberRangeMessage(kMinFps, kMaxFps));
        return;
    }
    if (s.loop < kMinLoop || s.loop > kMaxLoop) {
        refuse(m_loop, integerRangeMessage(kMinLoop, kMaxLoop));
        return;
    }
    // Unwritten, the movie would be made with the old settings.
    if (!writeVideoSettings(m_settingsPath, s)) {
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QDialog::accept();
}

int RunVideoSettings(Host& host, const std::string& settingsPath, QWidget* parent) {
    CVideoDlg dlg(host, settingsPath, parent);
    return dlg.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace plastora::ui
