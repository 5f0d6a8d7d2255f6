// CTrimingDlg ("トリミングダイアログ"): the manual trimming dialog. It draws
// the preview, the blue crop frame and the green straightening line of a
// TrimmingEditor and routes the mouse, the arrow keys and its buttons to it.
// On OK the chosen rectangle, the angle, the (possibly turned) working size
// and the straightened copy go back into the TrimmingDialogData.
#pragma once

#include "output/Trimming.h"
#include "output/WorkingSize.h"

#include <QDialog>

class QPushButton;

namespace plastora::ui {

class CTrimingDlg : public QDialog {
    Q_OBJECT
public:
    CTrimingDlg(TrimmingDialogData& data, QWidget* parent = nullptr);

    TrimmingEditor& editor() { return m_editor; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* straightenButton() const { return m_straighten; }
    QPushButton* aspectButton() const { return m_aspect; }

    // A point of the dialog in preview coordinates and back.
    static Point toPreview(const QPoint& p) { return {p.x() - kTrimPreviewOrigin.x, p.y() - kTrimPreviewOrigin.y}; }
    static QPoint fromPreview(Point p) { return {p.x + kTrimPreviewOrigin.x, p.y + kTrimPreviewOrigin.y}; }

public slots:
    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The buttons placed by the width of their texts as shown (translated).
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void straighten();
    void changeAspect();
    void showCursorFor(int element);

    TrimmingDialogData& m_data;
    TrimmingEditor m_editor;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_straighten = nullptr;
    QPushButton* m_aspect = nullptr;
};

}  // namespace plastora::ui
