// CDriveDlg: the drive dialog ("ドライブ選択ダイアログ") of the 3DS card
// export. It lists the mounted removable media (the card is a mounted folder
// here) and, on OK, takes the chosen one only when it holds the card's picture
// folder; the rules live in core (acceptCardDrive, removableMounts).
#pragma once

#include "core/StereoWorkspace.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace plastora::ui {

class CDriveDlg : public QDialog {
    Q_OBJECT
public:
    // `mounts` are the entries offered (removableMounts() by default); the
    // one equal to the stored [Option] "Drive" is selected. The list can be
    // edited, so a card mounted elsewhere can be typed in.
    CDriveDlg(CStereoWorkspace& ws, std::vector<std::string> mounts, QWidget* parent = nullptr);
    explicit CDriveDlg(CStereoWorkspace& ws, QWidget* parent = nullptr);

    QComboBox* driveList() const { return m_drives; }
    // The drive the list shows now.
    std::string chosenDrive() const;

public slots:
    // OK: the card folder test for the chosen drive; the dialog closes with
    // OK only when it passes (the drive is then stored).
    void accept() override;

private:
    CStereoWorkspace& m_ws;
    QComboBox* m_drives;
};

// The drive dialog as the card export asks for it (ChooseCardDrive): true
// when closed with OK; the workspace's copy of the drive is updated then.
bool runDriveDialog(CStereoWorkspace& ws, QWidget* parent);

}  // namespace plastora::ui
