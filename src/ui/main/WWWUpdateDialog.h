#pragma once
#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orv::ui {

// "Aggiornamento via Internet": explains the web update and starts its check.
// Created once and reused, so the caption and the progress bar keep their
// last state between openings. The update component reports back through
// the three aup1 handlers.
class TdlgWWWUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TdlgWWWUpdate(QWidget* parent = nullptr);

    // The update check, installed by the web-update component; until one is
    // installed the button shows its notice and starts nothing.
    void setCheckStarter(std::function<void()> start) { m_startCheck = std::move(start); }

    void OKBtnClick();
    void aup1Progress(int percentsDone);
    void aup1Aborted();
    void aup1NoUpdateAvailable();

    QLabel* Label1 = nullptr;
    QPushButton* avviaagg = nullptr;
    QPushButton* esciagg = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

private:
    std::function<void()> m_startCheck;
};

// The notice shown before every check.
extern const QString kModemNotice;

} // namespace orv::ui
