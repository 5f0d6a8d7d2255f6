// CFaceDetectDlg: the face detection settings dialog ("顔検出設定ダイアログ"),
// opened by "顔検出設定(&A)...". It edits the [Auto] keys of detection and
// cutout and writes all six on OK.
#pragma once

#include "autocut/FaceDetect.h"
#include "platform/Host.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace plastora::ui {

class CFaceDetectDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the stored values of `settingsPath`; messages and the file
    // dialogs go to `host`.
    CFaceDetectDlg(Host& host, std::string settingsPath, QWidget* parent = nullptr);

    // The values the controls hold (a number field that does not read as a
    // number gives -1); the two files as held in full.
    FaceDetectSettings values() const;

    // OK: the range checks in order (the first failing field gets the focus
    // and the range message); then all six values are written.
    void accept() override;
    // "標準に戻す": every control to its default.
    void restoreDefaults();
    // The two "変更" buttons: an open dialog in the program's auto_data
    // folder; a chosen path replaces the value.
    void changeCascade();
    void changeBodyData();

    QLineEdit* scaleField() const { return m_scale; }
    QLineEdit* neighborsField() const { return m_neighbors; }
    QLineEdit* minSizeField() const { return m_minSize; }
    QCheckBox* cannyBox() const { return m_canny; }
    QLabel* cascadeLabel() const { return m_cascadeName; }
    QLabel* bodyLabel() const { return m_bodyName; }
    QPushButton* cascadeButton() const { return m_cascadeButton; }
    QPushButton* bodyButton() const { return m_bodyButton; }
    QPushButton* defaultsButton() const { return m_defaults; }
    QPushButton* okButton() const { return m_ok; }

private:
    void showValues(const FaceDetectSettings& s);
    void setCascade(const std::string& value);
    void setBodyData(const std::string& value);
    bool checkInt(QLineEdit* field, int lo, int hi);
    bool checkScale();

    Host& m_host;
    std::string m_settingsPath;
    std::string m_cascade;
    std::string m_body;
    QLineEdit* m_scale;
    QLineEdit* m_neighbors;
    QLineEdit* m_minSize;
    QCheckBox* m_canny;
    QLabel* m_cascadeName;
    QLabel* m_bodyName;
    QPushButton* m_cascadeButton;
    QPushButton* m_bodyButton;
    QPushButton* m_defaults;
    QPushButton* m_ok;
};

}  // namespace plastora::ui
