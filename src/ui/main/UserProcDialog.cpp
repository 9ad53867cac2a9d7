#include "ui/main/UserProcDialog.h"

#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orv::ui {

TdlgUserProc::TdlgUserProc(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgUserProc"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(313, 147);

    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 297, 98);

    auto* dateLabel = new QLabel(QStringLiteral("Data creazione:"), this);
    dateLabel->setGeometry(14, 22, 90, 16);
    DATA_CREAZIONE = new QDateEdit(this);
    DATA_CREAZIONE->setObjectName(QStringLiteral("DATA_CREAZIONE"));
    DATA_CREAZIONE->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    DATA_CREAZIONE->setCalendarPopup(true);
    // The zero date must be showable: it is what an empty date field reads as.
    DATA_CREAZIONE->setMinimumDate(QDate(1899, 12, 30));
    DATA_CREAZIONE->setGeometry(106, 19, 196, 21);

    auto* noteLabel = new QLabel(QStringLiteral("Descrizione Servizio/Fornitura"), this);
    noteLabel->setGeometry(18, 50, 276, 16);
    NOTE = new QLineEdit(this);
    NOTE->setObjectName(QStringLiteral("NOTE"));
    NOTE->setGeometry(18, 68, 276, 21);

    OKBtn = new QPushButton(QStringLiteral("&Salva e Esci"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(126, 114, 90, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(222, 114, 82, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TdlgUserProc::setValues(const QDate& creationDate, const QString& description)
{
    DATA_CREAZIONE->setDate(creationDate.isValid() ? creationDate : QDate(1899, 12, 30));
    NOTE->setText(description);
}

QObject* TdlgUserProc::window()
{
    if (m_table) {
        const storage::Row row = m_table->currentRow();
        setValues(row.asDate(QStringLiteral("DATA_CREAZIONE")), row.asString(QStringLiteral("NOTE")));
    }
    return this;
}

void TdlgUserProc::accept()
{
    if (m_table) {
        m_table->fieldByName(QStringLiteral("DATA_CREAZIONE")).setAsDate(creationDate());
        m_table->fieldByName(QStringLiteral("NOTE")).setAsString(description());
    }
    QDialog::accept();
}

QDate TdlgUserProc::creationDate() const { return DATA_CREAZIONE->date(); }

QString TdlgUserProc::description() const { return NOTE->text(); }

} // namespace orv::ui
