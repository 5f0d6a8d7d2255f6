// CPlastoraView: the scrolling view that shows the workspace's display image
// at the current zoom. It owns the workspace.
#pragma once

#include "core/StereoWorkspace.h"
#include "ui/QtHost.h"

#include <QAbstractScrollArea>
#include <memory>

namespace plastora::ui {

class CPlastoraView : public QAbstractScrollArea {
    Q_OBJECT
public:
    CPlastoraView(const std::string& settingsPath, QWidget* parent = nullptr);
    ~CPlastoraView() override;

    CStereoWorkspace& workspace() { return *m_workspace; }
    QtHost& host() { return m_host; }
    // Re-reads the display size and repaints.
    void updateView();

signals:
    void titleChanged(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();

    QtHost m_host;
    std::unique_ptr<CStereoWorkspace> m_workspace;
};

}  // namespace plastora::ui
