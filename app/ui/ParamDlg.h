// CParamDlg: the parameter settings dialog ("パラメータ設定ダイアログ").
#pragma once

#include "core/Parameters.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace plastora {
class Host;
}

namespace plastora::ui {

class CParamDlg : public QDialog {
    Q_OBJECT
public:
    // Starts from `values`; OK leaves the accepted values in values().
    CParamDlg(const ParamValues& values, Host& host, QWidget* parent = nullptr);

    const ParamValues& values() const { return m_values; }

    // The controls, for tests.
    QCheckBox* fixRatioBox() const { return m_fixRatio; }
    QCheckBox* copyPrintBox() const { return m_copyPrint; }
    QLineEdit* maskWidthField() const { return m_maskWidth; }
    QLineEdit* paintWidthField() const { return m_paintWidth; }
    QLineEdit* shadowField() const { return m_shadow; }
    QLineEdit* jpegQualityField() const { return m_jpegQuality; }
    QLineEdit* maskOpacityField() const { return m_maskOpacity; }
    QPushButton* standardButton() const { return m_standard; }

    void accept() override;

private:
    void fill(const ParamValues& v);

    ParamValues m_values;
    Host& m_host;
    QCheckBox* m_fixRatio;
    QCheckBox* m_copyPrint;
    QLineEdit* m_maskWidth;
    QLineEdit* m_paintWidth;
    QLineEdit* m_shadow;
    QLineEdit* m_jpegQuality;
    QLineEdit* m_maskOpacity;
    QPushButton* m_standard;
};

// The "パラメータ設定" command: the dialog over the workspace's values, and
// on OK the changed values stored. True when OK was pressed.
bool runParamDialog(CStereoWorkspace& ws, Host& host, QWidget* parent);

}  // namespace plastora::ui
