#pragma once
#include "data/Tdm.h"

#include <QDate>
#include <QDialog>

class QDateEdit;
class QLineEdit;
class QPushButton;

namespace orv::ui {

// The case-file dialog: creation date and description of the current case
// file. Bound to a table object, it edits DATA_CREAZIONE and NOTE of its
// current row (in insert or edit state): the boxes are filled from the row
// when the data module asks for the window, and written into it on
// "&Salva e Esci"; the data module then posts, or cancels on "&Annulla".
class TdlgUserProc : public QDialog, public CaseFileDialog {
    Q_OBJECT
public:
    explicit TdlgUserProc(QWidget* parent = nullptr);

    void bindTable(storage::Table* table) { m_table = table; }
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    QObject* window() override;
    void accept() override;

    void setValues(const QDate& creationDate, const QString& description);
    QDate creationDate() const;
    QString description() const;

    QDateEdit* DATA_CREAZIONE = nullptr;
    QLineEdit* NOTE = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    storage::Table* m_table = nullptr;
};

} // namespace orv::ui
