#pragma once
#include <QDialog>
#include <QStringList>
#include <memory>

class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace orv::app {

// "Storico delle versioni": the version history, refilled at every opening,
// printable as plain text.
class TdlgHistory : public QDialog {
    Q_OBJECT
public:
    explicit TdlgHistory(QWidget* parent = nullptr);
    ~TdlgHistory() override;

    // Refills the memo and shows the dialog modally.
    void showHistory();
    // "&Stampa": asks for a printer and prints the memo; the dialog stays open.
    void CancelBtnClick();
    // The lines of the print job: two empty lines, the header, two empty
    // lines, then every memo line indented by nine blanks. Empty memo: none.
    QStringList printLines() const;

    QPrinter* printer() const { return m_printer.get(); }

    QPlainTextEdit* mmHistory = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* btnStampa = nullptr;

private:
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace orv::app
