// CPitchTestDlg ("ピッチテスト印刷"): what the lens pitch test sheet is
// printed for, asked before the print dialog: the nominal LPI (decimals
// taken), how far either side of it the strips go, the step between them and
// the printer's resolution.
#pragma once

#include "output/PitchTest.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace plastora {
class Host;
}

namespace plastora::ui {

class CPitchTestDlg : public QDialog {
    Q_OBJECT
public:
    // Shows `preset`; range messages go through `host`.
    CPitchTestDlg(const PitchTestRequest& preset, Host& host, QWidget* parent = nullptr);

    // The request as accepted (the preset until OK succeeds).
    const PitchTestRequest& request() const { return m_request; }

    QLineEdit* lpiField() const { return m_lpi; }
    QLineEdit* rangeField() const { return m_range; }
    QLineEdit* stepField() const { return m_step; }
    QLineEdit* dpiField() const { return m_dpi; }
    QLabel* countLabel() const { return m_count; }
    QPushButton* okButton() const { return m_ok; }

public slots:
    // Checks the fields in order (LPI 20..160, range 0..10, step 0.01..5,
    // resolution 72..4800, then that the values make at most 201 strips);
    // the first that fails is reported and gets the focus, and the dialog
    // stays open.
    void accept() override;

private:
    void updateCount();

    PitchTestRequest m_request;
    Host& m_host;
    QLineEdit* m_lpi;
    QLineEdit* m_range;
    QLineEdit* m_step;
    QLineEdit* m_dpi;
    QLabel* m_count;
    QPushButton* m_ok;
};

extern const char* const kPitchTooManyStripsMessage;

// The settings menu's "ピッチテスト印刷": the dialog preset with `lpi` and the
// stored printer set-up's resolution (600 dpi when none is stored), then the
// print dialog and the sheet. Returns what RunPitchTestPrint returns (0 on
// Cancel).
int RunPitchTestCommand(Host& host, PrintDialogs& printDialogs, double lpi, int views, int pitch, QWidget* parent,
                        const std::string& setupPath = printerSetupPath());

}  // namespace plastora::ui
