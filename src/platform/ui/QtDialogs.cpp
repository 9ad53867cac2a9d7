#include "platform/ui/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace orv {
namespace {

QWidget* activeParent() { return QApplication::activeWindow(); }

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonInfo {
    MessageButton ours;
    QMessageBox::StandardButton qt;
    const char* text;
};
// Italian captions with accelerators, as the program's message boxes show them.
const ButtonInfo kButtons[] = {
    {mbYes, QMessageBox::Yes, "&Sì"},       {mbNo, QMessageBox::No, "&No"},
    {mbOK, QMessageBox::Ok, "OK"},          {mbCancel, QMessageBox::Cancel, "Annulla"},
    {mbAbort, QMessageBox::Abort, "&Interrompi"}, {mbRetry, QMessageBox::Retry, "&Riprova"},
    {mbIgnore, QMessageBox::Ignore, "&Ignora"},
};

} // namespace

QString qtFileFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!desc.contains(QLatin1Char('(')))
            desc += QStringLiteral(" (") + patterns + QLatin1Char(')');
        else if (!desc.contains(patterns))
            desc = desc.left(desc.indexOf(QLatin1Char('('))).trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
        out << desc;
    }
    return out.join(QStringLiteral(";;"));
}

int QtDialogs::message(const MessageRequest& r)
{
    QMessageBox box(toQt(r.icon), r.caption, QString(r.text).replace(QLatin1Char('\r'), QLatin1Char('\n')),
                    QMessageBox::NoButton, activeParent());
    QMap<QAbstractButton*, int> answers;
    for (const ButtonInfo& b : kButtons) {
        if (!(r.buttons & b.ours))
            continue;
        QPushButton* button = box.addButton(b.qt);
        button->setText(QString::fromUtf8(b.text));
        answers.insert(button, b.ours);
        if (r.defaultButton == b.ours)
            box.setDefaultButton(button);
    }
    box.exec();
    return answers.value(box.clickedButton(), r.buttons & mbCancel ? mbCancel : 0);
}

std::optional<QString> QtDialogs::input(const InputRequest& r)
{
    bool ok = false;
    const QString text = QInputDialog::getText(activeParent(), r.caption, r.prompt, QLineEdit::Normal, r.value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtDialogs::file(FileRequest& r)
{
    const QStringList filters = qtFileFilter(r.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    QFileDialog dlg(activeParent(), r.caption, r.initialDir, filters.join(QStringLiteral(";;")));
    dlg.setAcceptMode(r.kind == FileRequest::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(r.kind == FileRequest::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!r.defaultExt.isEmpty())
        dlg.setDefaultSuffix(r.defaultExt);
    if (!r.overwritePrompt)
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
        dlg.selectNameFilter(filters[r.filterIndex - 1]);
    if (!r.fileName.isEmpty())
        dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    r.filterIndex = int(filters.indexOf(dlg.selectedNameFilter())) + 1;
    return dlg.selectedFiles().first();
}

bool QtDialogs::print(PrintRequest& r)
{
    QPrintDialog dlg(r.printer, activeParent());
    dlg.setMinMax(r.minPage, r.maxPage);
    dlg.setFromTo(r.fromPage, r.toPage);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    r.allPages = dlg.printRange() != QAbstractPrintDialog::PageRange;
    r.fromPage = r.allPages ? r.minPage : dlg.fromPage();
    r.toPage = r.allPages ? r.maxPage : dlg.toPage();
    r.copies = r.printer->copyCount();
    return true;
}

bool QtDialogs::printerSetup(QPrinter* printer)
{
    QPageSetupDialog dlg(printer, activeParent());
    return dlg.exec() == QDialog::Accepted;
}

int QtDialogs::exec(QObject* window)
{
    if (auto* dlg = qobject_cast<QDialog*>(window))
        return dlg->exec();
    auto* w = qobject_cast<QWidget*>(window);
    if (!w)
        return 0;
    // A plain window shown modally: wait until it is hidden.
    w->setWindowModality(Qt::ApplicationModal);
    w->show();
    QEventLoop loop;
    while (w->isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}

} // namespace orv
