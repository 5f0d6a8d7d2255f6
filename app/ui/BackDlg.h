// CBackDlg ("分光メガネ画像作成"): the background of the spectral-glasses
// image. The colour buttons change the workspace's colour at once (so a
// colour picked before Cancel stays); fill, K and contrast are taken on OK.
#pragma once

#include "core/StereoWorkspace.h"
#include "output/Diffraction.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace plastora::ui {

class CBackDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBackDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);

    // The choices as they stand (the colour is the workspace's).
    SpectralDialogData data() const;

    // 0 "青", 1 "黒(塗りつぶし)", 2 "赤(飛び出る)", 3 "任意の色".
    QRadioButton* colourRadio(int choice) const { return m_colour[choice]; }
    QCheckBox* fillBox() const { return m_fill; }
    QSpinBox* masksSpin() const { return m_masks; }
    QCheckBox* contrastBox() const { return m_contrast; }
    QPushButton* swatch() const { return m_swatch; }
    QPushButton* okButton() const { return m_ok; }

public slots:
    void onColourClicked(int choice);

private:
    // Selects the radio that matches the workspace's colour and repaints the swatch.
    void showColour();

    CStereoWorkspace& m_ws;
    QRadioButton* m_colour[4];
    QCheckBox* m_fill;
    QSpinBox* m_masks;
    QCheckBox* m_contrast;
    QPushButton* m_swatch;
    QPushButton* m_ok;
};

// "分光メガネ用画像作成(&C)...": the dialog; on OK the background is made and
// the edit display shows it (ApplySpectral). Returns 1 when it was made.
int RunSpectralCommand(CStereoWorkspace& ws, QWidget* parent);

}  // namespace plastora::ui
