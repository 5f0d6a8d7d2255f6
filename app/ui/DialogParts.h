// Pieces the settings dialogs share.
#pragma once

#include <string>

class QCheckBox;
class QDialog;
class QWidget;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QString;

namespace plastora::ui {

// The "標準に戻す" / "OK" / "キャンセル" row the settings dialogs end with.
// Cancel rejects the dialog; the dialog connects OK and the standard button
// to its own checks and defaults.
struct DialogButtons {
    QDialogButtonBox* box;
    QPushButton* standard;
    QPushButton* ok;
    QPushButton* cancel;
};
DialogButtons makeDialogButtons(QDialog* dialog);
// The "OK" / "キャンセル" row alone (named "ok" and "cancel"): OK runs the
// dialog's accept(), Cancel its reject(). `standard` stays null.
DialogButtons makeOkCancelButtons(QDialog* dialog);

// A tick box with its label, object name and state.
QCheckBox* makeTick(QWidget* parent, const char* label, const char* name, bool checked);

// The number typed in a field, or -1 when it is not one (every range the
// dialogs check lies above -1, so -1 always fails the check).
int fieldInt(const QLineEdit* field);
double fieldNumber(const QLineEdit* field);

// A number as a field shows it: one decimal at least (60.0), more only when
// it has them (60.25, 0.01; a value read back from single precision, such as
// 60.2999992, shows as 60.3).
QString decimalText(double v);

// The messages for a value outside its range, in the program's language
// like every message it shows (the numbers take their places).
std::string integerRangeMessage(int lo, int hi);
std::string numberRangeMessage(double lo, double hi);

}  // namespace plastora::ui
