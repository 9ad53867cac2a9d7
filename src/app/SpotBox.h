#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace orv::app {

// "Verifica disponibilità aggiornamento programma": suggests the web update
// after a week without a start. "&Si" accepts, "&No" and Escape cancel.
class TdlgSpotBox : public QDialog {
    Q_OBJECT
public:
    explicit TdlgSpotBox(QWidget* parent = nullptr);
    QLabel* lbInfo = nullptr;
    QLabel* lbQuestion = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

} // namespace orv::app
