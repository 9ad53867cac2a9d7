#pragma once
#include <QWidget>

class QTextBrowser;

namespace orv::app {

// Our help viewer: the HTML manual "Manuale/index.html" beside the program,
// in a window of its own that nothing waits for.
class TfrmManual : public QWidget {
    Q_OBJECT
public:
    explicit TfrmManual(QWidget* parent = nullptr);

    // Shows the contents page of the manual in `folder`; a missing manual is
    // reported inside the viewer.
    void showContents(const QString& folder);

    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

// The manual's folder beside the program.
QString manualFolder();

} // namespace orv::app
