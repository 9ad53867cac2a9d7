#include "app/HistoryDialog.h"

#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "platform/Error.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::app {
namespace {

const QString kIndent(9, QLatin1Char(' '));

// Plain-text printing in the job's default font, one line after another,
// on as many pages as it takes.
void printPlainText(QPrinter* printer, const QStringList& lines)
{
    QPainter p;
    if (!p.begin(printer))
        throw Error(QStringLiteral("Impossibile avviare la stampa sulla stampante selezionata."));
    const QFontMetrics fm(p.font(), printer);
    const int lineHeight = fm.lineSpacing();
    const int pageHeight = printer->pageLayout().paintRectPixels(printer->resolution()).height();
    int y = fm.ascent();
    for (const QString& line : lines) {
        if (y > pageHeight) {
            printer->newPage();
            y = fm.ascent();
        }
        p.drawText(0, y, line);
        y += lineHeight;
    }
    p.end();
}

} // namespace

TdlgHistory::TdlgHistory(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_printer(std::make_unique<QPrinter>())
{
    setObjectName(QStringLiteral("dlgHistory"));
    setWindowTitle(QStringLiteral("Storico delle versioni"));
    resize(600, 450);
    setSizeGripEnabled(true);

    mmHistory = new QPlainTextEdit(this);
    mmHistory->setObjectName(QStringLiteral("mmHistory"));
    mmHistory->setFont(QFont(QStringLiteral("Courier New"), 10));
    mmHistory->setReadOnly(true);
    mmHistory->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmHistory->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmHistory->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    OKBtn = new QPushButton(QStringLiteral("&Chiudi"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    btnStampa = new QPushButton(QStringLiteral("&Stampa"), this);
    btnStampa->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnStampa, &QPushButton::clicked, this, command(this, &TdlgHistory::CancelBtnClick));

    auto* strip = new QWidget(this);
    strip->setFixedHeight(34);
    auto* buttons = new QHBoxLayout(strip);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(btnStampa);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(mmHistory, 1);
    layout->addWidget(strip);
}

TdlgHistory::~TdlgHistory() = default;

void TdlgHistory::showHistory()
{
    mmHistory->clear();
    mmHistory->appendPlainText(QStringLiteral("*** VERSIONE 3.00 ***"));
    mmHistory->appendPlainText(QStringLiteral("1) Primo rilascio"));
    dialogs().exec(this);
}

QStringList TdlgHistory::printLines() const
{
    const QString text = mmHistory->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines{QString(), QString(), kIndent + QStringLiteral("Storico delle versioni di Orvanta"), QString(), QString()};
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines << kIndent + line;
    return lines;
}

void TdlgHistory::CancelBtnClick()
{
    const QStringList lines = printLines();
    if (lines.isEmpty())
        return;
    PrintRequest request;
    request.printer = m_printer.get();
    if (!dialogs().print(request))
        return;
    printPlainText(m_printer.get(), lines);
}

} // namespace orv::app
