// CFaceResultDlg: the face detection result dialog ("顔検出結果ダイアログ"),
// modeless, owned by the main window. While it is open the view shows the
// face boxes and clicks on the picture remove or add faces; OK cuts the
// faces out with the body template, Cancel drops them.
#pragma once

#include "core/StereoWorkspace.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QPushButton;

namespace plastora::ui {

class CFaceResultDlg : public QDialog {
    Q_OBJECT
public:
    // "顔検出(&A)...": closes a result dialog still open from an earlier run,
    // detects faces (the failure messages are the workspace's), and opens
    // the dialog when a face was found. Returns it, or nullptr.
    static CFaceResultDlg* Run(CStereoWorkspace& ws, QWidget* mainWindow);

    CFaceResultDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);
    ~CFaceResultDlg() override;

    // OK: with faces left in mask editing, the automatic cutout with the
    // tick's choice; then the face list is cleared and the dialog closes.
    void accept() override;
    // Cancel (also the window's close button): the face list is cleared and
    // the dialog closes.
    void reject() override;

    QCheckBox* separateBox() const { return m_separate; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    // Ends the face editing, redraws and closes (deleting the dialog).
    void finish(int code);

    CStereoWorkspace& m_ws;
    QCheckBox* m_separate;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_finished = false;
};

}  // namespace plastora::ui
