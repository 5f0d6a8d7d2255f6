// CStereoDlg: the stereo dialog ("立体画像作成ダイアログ"). "作成" makes the
// views with the chosen strength while the dialog shows their progress.
#pragma once

#include "core/StereoWorkspace.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace plastora::ui {

class CStereoDlg : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    // autoStart: "作成" is pressed by itself 100 ms after the dialog opens.
    // forCardExport: the interlace tick is hidden.
    CStereoDlg(CStereoWorkspace& ws, bool autoStart, bool forCardExport = false, QWidget* parent = nullptr);

    bool interlaceTicked() const;
    bool patternMatchTicked() const;

    // The strength the dialog's controls give, or nothing when the number
    // field does not hold 0..99 (the range message has been shown).
    std::optional<int> chosenStrength();

    // ProgressSink: the dialog's own bar.
    void setRange(int minimum, int maximum) override;
    void setPosition(int position) override;

    QRadioButton* radio(int i) const { return m_radios[i]; }
    QLineEdit* numberField() const { return m_number; }
    QPushButton* createButton() const { return m_create; }
    QPushButton* cancelButton() const { return m_cancel; }
    QCheckBox* interlaceBox() const { return m_interlace; }
    QCheckBox* patternMatchBox() const { return m_patternMatch; }
    QProgressBar* progressBar() const { return m_progress; }

public slots:
    void onCreate();
    // Not while the views are being made.
    void reject() override;

private:
    void updateEnabling();

    CStereoWorkspace& m_ws;
    QRadioButton* m_radios[4];
    QLineEdit* m_number;
    QProgressBar* m_progress;
    QCheckBox* m_interlace;
    QCheckBox* m_patternMatch;
    QPushButton* m_create;
    QPushButton* m_cancel;
    bool m_generating = false;
};

}  // namespace plastora::ui
