// CAnaglyphDlg ("アナグリフ画像作成"): colour mode, filter, regeneration and
// its strength for an anaglyph. "作成" asks before a colour anaglyph with a
// filter that cannot show the original colours. The filter list goes on with
// the methods of AnaglyphMethods.h, which make their own use of colour: while
// one of them is chosen the colour mode is disabled.
#pragma once

#include "core/StereoWorkspace.h"
#include "output/Anaglyph.h"
#include "output/AnaglyphMethods.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace plastora::ui {

class CAnaglyphDlg : public QDialog {
    Q_OBJECT
public:
    // Preset from the workspace: colour mode and filter as kept, its
    // strength, and "立体画像作り直し" ticked and locked when there are no views.
    explicit CAnaglyphDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);

    // The choices as they stand.
    AnaglyphDialogData data() const;

    QRadioButton* colourRadio(int mode) const { return m_colour[mode]; }
    QRadioButton* filterRadio(int filter) const { return m_filter[filter]; }
    QCheckBox* regenerateBox() const { return m_regenerate; }
    QSpinBox* strengthSpin() const { return m_strength; }
    QPushButton* createButton() const { return m_create; }

public slots:
    void onCreate();

private:
    CStereoWorkspace& m_ws;
    QRadioButton* m_colour[2];
    QRadioButton* m_filter[kAnaglyphFilterCount];
    QCheckBox* m_regenerate;
    QSpinBox* m_strength;
    QPushButton* m_create;
};

// "アナグリフ画像作成(&A)...": the dialog, then on "作成" the anaglyph is
// made and shown (CreateAnaglyph). Returns 1 when it was shown.
int RunAnaglyphCommand(CStereoWorkspace& ws, QWidget* parent);

}  // namespace plastora::ui
