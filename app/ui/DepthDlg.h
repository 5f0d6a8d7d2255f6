// CDepthDlg: the depth settings dialog ("遠近設定ダイアログ").
#pragma once

#include "layers/DepthEditor.h"

#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>

class QCheckBox;
class QLabel;
class QPushButton;

namespace plastora::ui {

// A number field whose spin button stays within -32..16 while typing may go
// outside it, so that OK can refuse such a value with the program's message.
class DepthSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit DepthSpinBox(QWidget* parent = nullptr);
    void stepBy(int steps) override;
    // The value for the dialog's range check: one outside every range when
    // the text is no plain whole number ("1,5", "1.5"), which Qt would
    // otherwise read with the comma dropped, as 15. Such a text stays in the
    // field (Enter, leaving it, OK) until the dialog refuses it; value()
    // meanwhile keeps the last number, from which the arrows step.
    int checkedValue() const;
    // Puts a text back as it was typed (after the dialog refused it).
    void restoreText(const QString& text) { lineEdit()->setText(text); }

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class CDepthDlg : public QDialog {
    Q_OBJECT
public:
    CDepthDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);

    // The controls, for tests.
    DepthSpinBox* backgroundField() const { return m_background; }
    DepthSpinBox* regionField() const { return m_region; }
    DepthSpinBox* paintField() const { return m_paint; }
    DepthSpinBox* objectField() const { return m_object; }
    QCheckBox* sharpBox() const { return m_sharp; }
    QCheckBox* regionShadowBox() const { return m_regionShadow; }
    QCheckBox* paintShadowBox() const { return m_paintShadow; }
    QCheckBox* objectShadowBox() const { return m_objectShadow; }
    QPushButton* regionButton() const { return m_regionButton; }
    QPushButton* objectButton() const { return m_objectButton; }
    QPushButton* standardButton() const { return m_standardButton; }
    // Which region the region field and its button act on, and its mask.
    QLabel* regionNumberLabel() const { return m_regionNumber; }
    QLabel* regionThumbnail() const { return m_regionThumbnail; }
    const DepthEditor& editor() const { return m_editor; }

    void accept() override;

private:
    void pull();  // widgets -> editor
    void push();  // editor -> widgets
    void focusField(DepthField f);
    void showCurrentRegion();

    CStereoWorkspace& m_ws;
    DepthEditor m_editor;
    int m_shownRegion = -1;
    DepthSpinBox* m_background;
    DepthSpinBox* m_region;
    DepthSpinBox* m_paint;
    DepthSpinBox* m_object;
    QCheckBox* m_sharp;
    QCheckBox* m_regionShadow;
    QCheckBox* m_paintShadow;
    QCheckBox* m_objectShadow;
    QPushButton* m_regionButton;
    QPushButton* m_objectButton;
    QPushButton* m_standardButton;
    QLabel* m_regionNumber;
    QLabel* m_regionThumbnail;
};

}  // namespace plastora::ui
