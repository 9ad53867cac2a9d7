#include "ui/main/WWWUpdateDialog.h"

#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "ui/main/Icons.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace orv::ui {

const QString kModemNotice = QStringLiteral(
    "Si avverte che se si dispone di una connessione diretta ad Internet\rtramite Modem, tale "
    "connessione non sarà automaticamente chiusa  al\rtermine della procedura di aggiornamento. "
    "Quindi la connessione dovrà\ressere chiusa manualmente");

TdlgWWWUpdate::TdlgWWWUpdate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgWWWUpdate"));
    setWindowTitle(QStringLiteral("Aggiornamento via Internet"));
    setFixedSize(313, 121);

    Label1 = new QLabel(QStringLiteral(
        "Il programma effettuerà una verifica sulla disponibilità di una versione più recente del  "
        "programma  e nel caso affermativo avvierà la procedura di aggiornamento."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    Label1->setStyleSheet(QStringLiteral("color: navy;"));
    Label1->setGeometry(6, 2, 301, 52);

    QFont buttonFont(QStringLiteral("Times New Roman"), 9);
    buttonFont.setBold(true);
    avviaagg = new QPushButton(toolbarIcon(15), QStringLiteral("Avvia Aggiornamento"), this);
    avviaagg->setObjectName(QStringLiteral("avviaagg"));
    avviaagg->setFont(buttonFont);
    avviaagg->setGeometry(86, 55, 141, 25);
    esciagg = new QPushButton(toolbarIcon(33), QStringLiteral("Non Aggiornare"), this);
    esciagg->setObjectName(QStringLiteral("esciagg"));
    esciagg->setFont(buttonFont);
    esciagg->setGeometry(86, 81, 141, 25);
    for (QPushButton* b : {avviaagg, esciagg})
        b->setAutoDefault(false);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(0, 108, 313, 13);

    connect(avviaagg, &QPushButton::clicked, this, command(this, &TdlgWWWUpdate::OKBtnClick));
    connect(esciagg, &QPushButton::clicked, this, &QDialog::reject);
}

void TdlgWWWUpdate::OKBtnClick()
{
    showMessage(kModemNotice);
    if (m_startCheck)
        m_startCheck();
}

void TdlgWWWUpdate::aup1Progress(int percentsDone) { ProgressBar1->setValue(qBound(0, percentsDone, 100)); }

void TdlgWWWUpdate::aup1Aborted()
{
    setWindowTitle(QStringLiteral("Aggiornamento annullato"));
    ProgressBar1->setValue(0);
}

void TdlgWWWUpdate::aup1NoUpdateAvailable() { setWindowTitle(QStringLiteral("Aggiornamento non disponibile")); }

} // namespace orv::ui
