// CPMDlg: the pattern-match settings dialog ("パターンマッチ設定ダイアログ"),
// opened by "パターンマッチ設定(&M)..." in the options menu. It edits the
// [PM] keys of the settings file and writes them on OK.
#pragma once

#include "platform/Host.h"
#include "stereo/PatternMultiView.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace plastora::ui {

class CPMDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the stored values of `settingsPath`; messages go to `host`.
    CPMDlg(Host& host, std::string settingsPath, QWidget* parent = nullptr);

    // The values the controls hold now (the edits read as numbers; text
    // that is not a number reads as -1).
    PatternMatchSettings values() const;

    // OK: range checks of the three numbers (the first failing one gets
    // the focus), then the search area against twice the block size; on
    // success the values (with the method) are written and the dialog closes.
    void accept() override;
    // "標準に戻す": every control to its default.
    void restoreDefaults();

    // The controls, for tests.
    QCheckBox* enableBox() const { return m_enable; }
    QCheckBox* checkMatchBox() const { return m_checkMatch; }
    QRadioButton* sizeRadio(int i) const { return m_size[i]; }      // 8, 16, 32
    QRadioButton* adjustRadio(int i) const { return m_adjust[i]; }  // none, columns, rows
    QRadioButton* methodRadio(int i) const { return m_method[i]; }  // kMethodBlocks, kMethodDense
    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    QLineEdit* toleranceField() const { return m_tolerance; }
    QPushButton* defaultsButton() const { return m_defaults; }
    QPushButton* okButton() const { return m_ok; }

private:
    void showValues(const PatternMatchSettings& s);
    // The field as an integer in [lo, hi], or the range message, the focus
    // on the field and false.
    bool checkRange(QLineEdit* field, int lo, int hi);

    Host& m_host;
    std::string m_settingsPath;
    QCheckBox* m_enable;
    QCheckBox* m_checkMatch;
    QRadioButton* m_size[3];
    QRadioButton* m_adjust[3];
    QRadioButton* m_method[2];
    QLineEdit* m_width;
    QLineEdit* m_height;
    QLineEdit* m_tolerance;
    QPushButton* m_defaults;
    QPushButton* m_ok;
};

}  // namespace plastora::ui
