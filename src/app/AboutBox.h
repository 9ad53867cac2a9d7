#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace orv::app {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* lbAppName = nullptr;
    QLabel* lbAppVer = nullptr;
    QPushButton* btnChiudi = nullptr;
};

// Sets the product title and version and shows the box modally.
void showAboutBox(TAboutBox* box);

inline const QString kProductTitle = QStringLiteral("Orvanta");
inline const QString kVersionText = QStringLiteral("Versione 3.00");

} // namespace orv::app
