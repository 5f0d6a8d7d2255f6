// CTextDlg ("文字入力"): the text, font, size and ticks of a text object,
// opened for a new text object and for editing one. The fields come preset
// in a TextDialogData and are written back into it on OK only.
#pragma once

#include "core/WorkspaceDialogs.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace plastora::ui {

// The font names the dialog offers: the installed families without the
// vertical variants (names beginning with '@'), and `face` at the top when
// it is not among them, so that a face the computer lacks is kept.
QStringList textDialogFaces(const QStringList& installed, const QString& face);

class CTextDlg : public QDialog {
    Q_OBJECT
public:
    CTextDlg(TextDialogData& data, QWidget* parent = nullptr);

    // OK: the fields go back into the data and the dialog closes; an empty
    // text is refused (OK is disabled while the text is empty).
    void accept() override;

    QPushButton* okButton() const { return m_ok; }

private:
    void updateOk();

    TextDialogData& m_data;
    QLineEdit* m_text;
    QComboBox* m_font;
    QSpinBox* m_size;
    QCheckBox* m_flat;
    QCheckBox* m_vertical;
    QCheckBox* m_bold;
    QCheckBox* m_italic;
    QCheckBox* m_antialiased;
    QPushButton* m_ok;
};

}  // namespace plastora::ui
