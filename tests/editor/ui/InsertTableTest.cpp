// The insert-table dialog: default size, chosen size, invalid numbers,
// cancel, and the lists kept from one use to the next.
#include "editor/TTextControl.h"
#include "editor/TfrmInsertTab.h"
#include "editor/TfrmTx.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace orv;

namespace {

QTextTable* lastTable(TTextControl* tx)
{
    QTextTable* found = nullptr;
    for (QTextBlock b = tx->document().body()->begin(); b.isValid(); b = b.next())
        if (QTextTable* t = QTextCursor(b).currentTable())
            found = t;
    return found;
}

} // namespace

TEST(InsertTableDialog, InsertsWhatTheListsSay)
{
    struct Case {
        const char* name;
        const char* cols; // nullptr: leave the list as it is
        const char* rows;
        bool pressEnter;
        int expectRows, expectCols;
    };
    const Case cases[] = {
        {"first use, Enter", nullptr, nullptr, true, 2, 2},
        {"largest choice", "12", "100", false, 100, 12},
        {"typed numbers", "3", "7", false, 7, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedDialogs dialogs;
        TfrmTx frm;
        frm.Editable = true;
        frm.tx1->setEditMode(0);
        int tableId = -1;
        QObject::connect(frm.tx1, &TTextControl::OnTableCreated, frm.tx1, [&](int, int& id) { tableId = id; });
        dialogs.answerExec([&](QObject* w) {
            auto* dlg = qobject_cast<TfrmInsertTab*>(w);
            EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Inserisci Tabella"));
            if (c.cols)
                dlg->cboCol->setEditText(QString::fromLatin1(c.cols));
            if (c.rows)
                dlg->cboRow->setEditText(QString::fromLatin1(c.rows));
            dlg->show();
            if (c.pressEnter)
                QTest::keyClick(dlg, Qt::Key_Return);
            else
                dlg->Button1->click();
            EXPECT_FALSE(dlg->isVisible());
            return dlg->result();
        });
        frm.btninstableClick();
        QTextTable* t = lastTable(frm.tx1);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->rows(), c.expectRows);
        EXPECT_EQ(t->columns(), c.expectCols);
        EXPECT_EQ(tableId, 10); // the window answers with its first table id
        EXPECT_EQ(frm.NextTableId, 11);
        dialogs.expectAllUsed();
    }
}

TEST(InsertTableDialog, InvalidNumberShowsTheErrorAndStaysOpen)
{
    struct Case {
        const char* cols;
        const char* rows;
        const char* error;
    };
    const Case cases[] = {
        {"2", "1a", "'1a' is not a valid integer value"},
        {"x", "3", "'x' is not a valid integer value"},
        {"", "3", "'' is not a valid integer value"},
        {"4", "3 ", "'3 ' is not a valid integer value"},
        {"99999999999", "2", "'99999999999' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        test::ScriptedDialogs dialogs;
        TTextControl tx;
        TfrmInsertTab dlg(&tx);
        dlg.cboCol->setEditText(QString::fromLatin1(c.cols));
        dlg.cboRow->setEditText(QString::fromLatin1(c.rows));
        dlg.show();
        dialogs.answerMessage(mbOK);
        dlg.Button1->click();
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text, QString::fromLatin1(c.error));
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(lastTable(&tx), nullptr);
    }
    // Blanks before the number are allowed.
    EXPECT_EQ(parseWholeNumber(QStringLiteral("  12")), 12);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("-3")), -3);
}

TEST(InsertTableDialog, CancelInsertsNothingAndTheTextsStay)
{
    test::ScriptedDialogs dialogs;
    TTextControl tx;
    TfrmInsertTab dlg(&tx);
    EXPECT_EQ(dlg.cboCol->count(), 12);
    EXPECT_EQ(dlg.cboRow->count(), 100);
    EXPECT_EQ(dlg.cboCol->currentText(), QStringLiteral("2"));
    dlg.cboCol->setEditText(QStringLiteral("5"));
    dlg.show();
    dlg.Button2->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(lastTable(&tx), nullptr);
    dlg.show();
    EXPECT_EQ(dlg.cboCol->currentText(), QStringLiteral("5"));
    // A size the control refuses: its error, the dialog stays.
    dlg.cboRow->setEditText(QStringLiteral("0"));
    dialogs.answerMessage(mbOK);
    dlg.Button1->click();
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dlg.isVisible());
}
