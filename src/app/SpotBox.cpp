#include "app/SpotBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace orv::app {

TdlgSpotBox::TdlgSpotBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgSpotBox"));
    setWindowTitle(QStringLiteral("Verifica disponibilità aggiornamento programma"));
    setFixedSize(336, 189);

    auto* band = new QFrame(this);
    band->setFrameShape(QFrame::Panel);
    band->setFrameShadow(QFrame::Sunken);
    band->setGeometry(0, 0, 336, 91);
    band->setAutoFillBackground(true);
    QPalette pal = band->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    band->setPalette(pal);

    auto* picture = new QLabel(band);
    picture->setGeometry(6, 3, 19, 85);
    picture->setScaledContents(true);
    picture->setPixmap(QPixmap(QStringLiteral(":/app/resources/reminder.png")));

    lbInfo = new QLabel(QStringLiteral(
        "E' possibile verificare la disponibilità di una versione più recente del programma "
        "utilizzando il comando \"Aggiornamento tramite WEB\" del menu \"?\"."), band);
    lbInfo->setObjectName(QStringLiteral("lbInfo"));
    lbInfo->setWordWrap(true);
    QFont infoFont(QStringLiteral("Tahoma"), 9);
    infoFont.setBold(true);
    lbInfo->setFont(infoFont);
    lbInfo->setStyleSheet(QStringLiteral("color: white;"));
    lbInfo->setGeometry(34, 6, 294, 79);

    lbQuestion = new QLabel(QStringLiteral(
        "Desideri verificare la disponibilità di una versione più recente del programma ora?"), this);
    lbQuestion->setObjectName(QStringLiteral("lbQuestion"));
    lbQuestion->setWordWrap(true);
    QFont bold = font();
    bold.setBold(true);
    lbQuestion->setFont(bold);
    lbQuestion->setGeometry(10, 98, 316, 36);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 138, 320, 4);

    OKBtn = new QPushButton(QStringLiteral("&Si"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(164, 152, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&No"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(249, 152, 75, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace orv::app
