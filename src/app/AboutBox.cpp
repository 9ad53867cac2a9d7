#include "app/AboutBox.h"

#include "platform/Dialogs.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace orv::app {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Informazioni su..."));
    setFixedSize(377, 226);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);

    lbAppName = new QLabel(this);
    lbAppName->setObjectName(QStringLiteral("lbAppName"));
    lbAppName->setWordWrap(true);
    QFont nameFont(QStringLiteral("Verdana"), 12);
    nameFont.setBold(true);
    lbAppName->setFont(nameFont);
    lbAppName->setGeometry(16, 16, 256, 62);

    lbAppVer = new QLabel(this);
    lbAppVer->setObjectName(QStringLiteral("lbAppVer"));
    QFont bold = font();
    bold.setBold(true);
    lbAppVer->setFont(bold);
    lbAppVer->setGeometry(16, 84, 256, 18);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(16, 124, 345, 4);

    auto* picturePanel = new QFrame(this);
    picturePanel->setFrameShape(QFrame::Panel);
    picturePanel->setFrameShadow(QFrame::Sunken);
    picturePanel->setGeometry(268, 12, 96, 100);
    auto* picture = new QLabel(picturePanel);
    picture->setGeometry(2, 4, 92, 92);
    picture->setScaledContents(true);
    picture->setPixmap(QPixmap(QStringLiteral(":/app/resources/distributor.png")));

    btnChiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
    btnChiudi->setObjectName(QStringLiteral("btnChiudi"));
    QFont buttonFont(QStringLiteral("Tahoma"), 8);
    buttonFont.setBold(true);
    btnChiudi->setFont(buttonFont);
    btnChiudi->setGeometry(148, 184, 81, 27);
    btnChiudi->setDefault(true);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);
}

void showAboutBox(TAboutBox* box)
{
    box->lbAppName->setText(kProductTitle);
    box->lbAppVer->setText(kVersionText);
    dialogs().exec(box);
}

} // namespace orv::app
