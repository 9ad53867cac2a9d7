#include "editor/TfrmInsertTab.h"

#include "editor/TTextControl.h"
#include "platform/Commands.h"
#include "platform/Error.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace orv {

int parseWholeNumber(const QString& text)
{
    QString t = text;
    while (!t.isEmpty() && t.front().unicode() <= 32)
        t.remove(0, 1);
    bool ok = false;
    int value = 0;
    const bool digitsOnly = !t.isEmpty() && std::all_of(t.begin() + ((t.front() == QLatin1Char('+') || t.front() == QLatin1Char('-')) ? 1 : 0), t.end(),
                                                         [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (digitsOnly)
        value = t.toInt(&ok);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

TfrmInsertTab::TfrmInsertTab(TTextControl* control, QWidget* parent) : QDialog(parent), m_control(control)
{
    setObjectName(QStringLiteral("frmInsertTab"));
    setWindowTitle(QStringLiteral("Inserisci Tabella"));
    auto* grid = new QGridLayout(this);
    cboCol = new QComboBox(this);
    cboCol->setObjectName(QStringLiteral("cboCol"));
    cboCol->setEditable(true);
    cboRow = new QComboBox(this);
    cboRow->setObjectName(QStringLiteral("cboRow"));
    cboRow->setEditable(true);
    auto* lblCol = new QLabel(QStringLiteral("Colonne:"), this);
    lblCol->setBuddy(cboCol);
    auto* lblRow = new QLabel(QStringLiteral("Righe:"), this);
    lblRow->setBuddy(cboRow);
    grid->addWidget(lblCol, 0, 0);
    grid->addWidget(cboCol, 0, 1);
    grid->addWidget(lblRow, 1, 0);
    grid->addWidget(cboRow, 1, 1);

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("&Annulla"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(Button1, &QPushButton::clicked, this, command(this, &TfrmInsertTab::Button1Click));
    connect(Button2, &QPushButton::clicked, this, command(this, &TfrmInsertTab::Button2Click));
    FormCreate();
}

void TfrmInsertTab::FormCreate()
{
    for (int i = 1; i <= 12; ++i)
        cboCol->addItem(QString::number(i));
    for (int i = 1; i <= 100; ++i)
        cboRow->addItem(QString::number(i));
    cboCol->setCurrentIndex(1);
    cboRow->setCurrentIndex(1);
}

void TfrmInsertTab::showEvent(QShowEvent* e)
{
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(e);
}

void TfrmInsertTab::Button1Click()
{
    const int rows = parseWholeNumber(cboRow->currentText());
    const int columns = parseWholeNumber(cboCol->currentText());
    m_control->InsertTableAt(rows, columns, -1, 10);
    accept();
}

void TfrmInsertTab::Button2Click() { reject(); }

} // namespace orv
