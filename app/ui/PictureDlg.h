// CPictureDlg ("画像読込みダイアログ"): paper, trimming mode, user size in
// millimetres and lens resolution for a picture being opened or a paper
// change. The fields come preset in a PictureDialogData and go back to it
// only on OK.
#pragma once

#include "output/WorkingSize.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace plastora {
class Host;
}

namespace plastora::ui {

class CPictureDlg : public QDialog {
    Q_OBJECT
public:
    // Range messages go through `host`.
    CPictureDlg(PictureDialogData& data, Host& host, QWidget* parent = nullptr);

    // The controls (for the workspace dialogs and tests).
    QRadioButton* paperButton(int index) const { return m_paper[index]; }
    QRadioButton* trimmingButton(int index) const { return m_trimming[index]; }
    QCheckBox* highResBox() const { return m_highRes; }
    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    QLineEdit* lpiField() const { return m_lpi; }

    int paper() const;
    int trimming() const;

public slots:
    // Checks every field in dialog-data order; the first one out of range
    // is reported and gets the focus back, and the dialog stays open.
    void accept() override;

private:
    void paperChosen(int index);
    void trimmingChosen(int index);
    void updateEnabling();

    PictureDialogData& m_data;
    Host& m_host;
    QRadioButton* m_paper[kPaperCount] = {};
    QRadioButton* m_trimming[kTrimModeCount] = {};
    QCheckBox* m_highRes = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_lpi = nullptr;
    QString m_lpiShown;  // the field's text as preset
};

}  // namespace plastora::ui
