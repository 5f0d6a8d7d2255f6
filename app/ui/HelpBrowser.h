// The program's own help window: the installed HTML pages shown in a Qt text
// browser, for desktops where no program opens files or web addresses.
#pragma once

#include <QDialog>

#include <string>

class QTextBrowser;

namespace plastora::ui {

class CHelpBrowser : public QDialog {
public:
    explicit CHelpBrowser(QWidget* parent = nullptr);
    // Shows the page file; false (and the window left as it was) when it
    // cannot be read.
    bool showPage(const std::string& path);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

// The one help window of the program (made on first use, kept while the
// program runs), or none when it was never shown.
CHelpBrowser* helpBrowserWindow();

// The help commands' opener: a web address or page file goes to the
// desktop's viewer; where there is none, a page file is shown in the help
// window. False when nothing could be shown.
bool openHelpTarget(const std::string& pathOrUrl);

}  // namespace plastora::ui
