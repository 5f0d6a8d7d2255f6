// CAdjustDlg ("画質調整ダイアログ"): brightness and contrast of the photo with
// a live preview in the view. Every move of a trackbar shows the display
// image as it was when the dialog opened, adjusted by both values.
#pragma once

#include "core/StereoWorkspace.h"
#include "output/Adjust.h"

#include <QDialog>

class QPushButton;
class QSlider;

namespace plastora::ui {

class CAdjustDlg : public QDialog {
    Q_OBJECT
public:
    // Copies the display image (the preview's starting point); both
    // trackbars start at 0.
    explicit CAdjustDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);
    ~CAdjustDlg() override;

    QSlider* brightnessBar() const { return m_brightness; }
    QSlider* contrastBar() const { return m_contrast; }
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    const CAdjustSession& session() const { return m_session; }
    // 1 after an OK that changed the photo.
    int applied() const { return m_applied; }

    // OK: the adjustment goes into the photo (with a wait cursor).
    void accept() override;
    // "キャンセル" (and closing the window): the display as it was.
    void reject() override;

private slots:
    void onAction(QSlider* bar, int action);
    void onReset();
    void preview();

private:
    CStereoWorkspace& m_ws;
    CAdjustSession m_session;
    QSlider* m_brightness;
    QSlider* m_contrast;
    QPushButton* m_reset;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_finished = false;
    int m_applied = 0;
};

// "画質調整": runs the dialog. Returns 1 when the photo was adjusted.
int RunAdjustCommand(CStereoWorkspace& ws, QWidget* parent);
// "画像回転": the rotation, with a wait cursor. Returns 1 when rotated.
int RunRotateCommand(CStereoWorkspace& ws);

}  // namespace plastora::ui
