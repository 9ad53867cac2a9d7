#pragma once
// The insert-table dialog: columns and rows of a new table, inserted at the
// caret of the editor's control. Created once, shown again at each use; the
// lists keep their last texts.

#include <QDialog>

class QComboBox;
class QPushButton;

namespace orv {

class TTextControl;

class TfrmInsertTab : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInsertTab(TTextControl* control, QWidget* parent = nullptr);

    QComboBox* cboCol;
    QComboBox* cboRow;
    QPushButton* Button1; // "&OK"
    QPushButton* Button2; // "&Annulla"

    void FormCreate();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    TTextControl* m_control;
};

// The whole number in text as the dialog reads it (blanks before it allowed,
// an optional sign); otherwise an error "'text' is not a valid integer value".
int parseWholeNumber(const QString& text);

} // namespace orv
