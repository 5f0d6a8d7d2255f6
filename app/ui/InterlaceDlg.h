// CInterlaceDlg ("インターレース設定ダイアログ"): the three [Interlace]
// settings. "標準に戻す" puts all three back to 0 at once.
#pragma once

#include "core/StereoWorkspace.h"
#include "output/Interlace.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace plastora::ui {

class CInterlaceDlg : public QDialog {
    Q_OBJECT
public:
    CInterlaceDlg(const InterlaceSettings& preset, QWidget* parent = nullptr);

    InterlaceSettings settings() const;

    QRadioButton* typeRadio(int type) const { return m_type[type]; }
    QCheckBox* stereoBox() const { return m_stereo; }
    QCheckBox* swapBox() const { return m_swap; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* defaultsButton() const { return m_defaults; }

public slots:
    void onDefaults();

private:
    void setControls(const InterlaceSettings& s);

    QRadioButton* m_type[2];
    QCheckBox* m_stereo;
    QCheckBox* m_swap;
    QPushButton* m_ok;
    QPushButton* m_defaults;
};

// "インターレース設定(&I)...": the dialog preset from the settings file; OK
// writes all three keys and sets the workspace's type. Returns 1 on OK.
int RunInterlaceSettings(CStereoWorkspace& ws, QWidget* parent);

}  // namespace plastora::ui
