// CShapeDlg ("図形設定"): the kind, ticks, line width and arrowhead/corner
// size of a shape object, opened for a new shape and for editing one. The
// fields come preset in a ShapeDialogData and are written back on OK only.
#pragma once

#include "core/WorkspaceDialogs.h"
#include "platform/Host.h"

#include <QDialog>
#include <QSpinBox>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace plastora::ui {

// The arrowhead/corner size field. Any value 0..32 may be typed or preset,
// but the step buttons stop at 2: a size below 2 only comes from a preset
// and stays as it is while nobody touches the field.
class ShapeSizeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int kStepMin = 2;
    explicit ShapeSizeSpinBox(QWidget* parent = nullptr);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
};

class CShapeDlg : public QDialog {
    Q_OBJECT
public:
    CShapeDlg(ShapeDialogData& data, Host& host, QWidget* parent = nullptr);

    // The fields as the controls hold them now (a kind no button shows
    // stays as preset).
    ShapeDialogData fields() const;

    // OK: a line of width 0 is refused with a message and the focus on the
    // line width; otherwise the fields go back into the data and the
    // dialog closes.
    void accept() override;

    QPushButton* okButton() const { return m_ok; }

private:
    void updateEnabling();

    ShapeDialogData& m_data;
    Host& m_host;
    QRadioButton* m_kind[5];
    QCheckBox* m_square;
    QCheckBox* m_noFill;
    QCheckBox* m_arrowFirst;
    QCheckBox* m_arrowSecond;
    QSpinBox* m_lineWidth;
    ShapeSizeSpinBox* m_size;
    QPushButton* m_ok;
};

}  // namespace plastora::ui
