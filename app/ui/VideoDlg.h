// CVideoDlg ("動画出力設定ダイアログ"): the six [Video] settings of the
// make-movie command, opened by "動画出力設定(&V)..." in the settings menu.
// The eye swap applies only to stereo movie frames; the frame rate, the
// repetitions and the GIF size only to movies, so each is enabled only
// for its kind.
#pragma once

#include "output/Video.h"
#include "platform/Host.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace plastora::ui {

class CVideoDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the stored values of `settingsPath`; messages go to `host`.
    CVideoDlg(Host& host, std::string settingsPath, QWidget* parent = nullptr);

    // The values the controls hold now (an edit that is not a number reads
    // as -1).
    VideoSettings values() const;

    // OK: the frame rate must be 0.1 .. 30.0 and the repetitions 1 .. 99 (the
    // first failing field gets the message and the focus); then all six keys
    // are written and the dialog closes.
    void accept() override;
    // "標準に戻す": the reset values, and the enabling refreshed.
    void restoreDefaults();

    // The controls, for tests.
    QRadioButton* typeRadio(int i) const { return m_type[i]; }  // 0 movie, 1..4 frames
    QRadioButton* sizeRadio(int i) const { return m_size[i]; }  // 0..3
    QCheckBox* reverseBox() const { return m_reverse; }
    QLineEdit* fpsField() const { return m_fps; }
    QLineEdit* loopField() const { return m_loop; }
    QCheckBox* gifSizeBox() const { return m_gifSize; }
    QPushButton* defaultsButton() const { return m_defaults; }
    QPushButton* okButton() const { return m_ok; }

private:
    void showValues(const VideoSettings& s);
    void updateEnabling();

    Host& m_host;
    std::string m_settingsPath;
    QRadioButton* m_type[5];
    QRadioButton* m_size[kVideoSizeCount];
    QCheckBox* m_reverse;
    QLineEdit* m_fps;
    QLineEdit* m_loop;
    QCheckBox* m_gifSize;
    QPushButton* m_defaults;
    QPushButton* m_ok;
};

// "動画出力設定(&V)...": the dialog; returns 1 when OK wrote the settings.
int RunVideoSettings(Host& host, const std::string& settingsPath, QWidget* parent);

}  // namespace plastora::ui
