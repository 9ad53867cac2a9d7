// The item models the main window's lists are bound to.

#include "DataTestSupport.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSize>

namespace orv::test {
namespace {

class CursorModelTest : public DataModuleTest {
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        for (QAbstractItemModel* m : {static_cast<QAbstractItemModel*>(dm->dsDocumenti),
                                      static_cast<QAbstractItemModel*>(dm->dsUserProc),
                                      static_cast<QAbstractItemModel*>(dm->dsUserDoc),
                                      static_cast<QAbstractItemModel*>(dm->dsProcedure)})
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                m, QAbstractItemModelTester::FailureReportingMode::Fatal));
    }
    void TearDown() override
    {
        testers.clear();
        DataModuleTest::TearDown();
    }
    static QStringList headers(const QAbstractItemModel* m)
    {
        QStringList h;
        for (int c = 0; c < m->columnCount(); ++c)
            h << m->headerData(c, Qt::Horizontal).toString();
        return h;
    }
    static QList<int> widths(const QAbstractItemModel* m)
    {
        QList<int> w;
        for (int c = 0; c < m->columnCount(); ++c)
            w << m->headerData(c, Qt::Horizontal, Qt::SizeHintRole).toSize().width();
        return w;
    }
    static QList<bool> bold(const QAbstractItemModel* m)
    {
        QList<bool> b;
        for (int c = 0; c < m->columnCount(); ++c)
            b << m->index(0, c).data(Qt::FontRole).value<QFont>().bold();
        return b;
    }
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
};

TEST_F(CursorModelTest, ColumnsOfTheThreeLists)
{
    selectProcedure(QStringLiteral("05"));
    EXPECT_EQ(headers(dm->dsDocumenti), (QStringList{"#", "Titolo del documento"}));
    EXPECT_EQ(widths(dm->dsDocumenti), (QList<int>{40, 500}));
    EXPECT_EQ(bold(dm->dsDocumenti), (QList<bool>{true, false}));

    EXPECT_EQ(headers(dm->dsUserProc), (QStringList{"Data creazione", "Descrizione della pratica"}));
    EXPECT_EQ(widths(dm->dsUserProc), (QList<int>{80, 352}));
    EXPECT_EQ(bold(dm->dsUserProc), (QList<bool>{false, true}));

    EXPECT_EQ(headers(dm->dsUserDoc), (QStringList{"#", "Data modifica", "Documento", "Note"}));
    EXPECT_EQ(widths(dm->dsUserDoc), (QList<int>{20, 73, 270, 261}));
    EXPECT_EQ(bold(dm->dsUserDoc), (QList<bool>{true, false, false, true}));
    EXPECT_TRUE(dm->dsUserDoc->columns()[0].fixedWidth);

    // Key role: the key field of the row.
    EXPECT_EQ(dm->dsUserDoc->index(0, 2).data(CursorModel::KeyRole).toLongLong(),
              dm->ttUserDoc->rowAt(0).asInteger(QStringLiteral("ID_USER_DOCUMENTO")));
    EXPECT_EQ(dm->dsUserDoc->columnOfField(QStringLiteral("lkTitolo_Doc")), 2);
    EXPECT_FALSE(dm->dsUserDoc->flags(dm->dsUserDoc->index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST_F(CursorModelTest, SelectionAndCursorMoveTogether)
{
    selectProcedure(QStringLiteral("05"));
    QItemSelectionModel* selection = dm->dsDocumenti->selectionModel();
    EXPECT_EQ(selection->currentIndex().row(), 0);

    // The user selects a row: the cursor goes there.
    selection->setCurrentIndex(dm->dsDocumenti->index(4, 1),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(dm->ttDocumenti->recNo(), 4);
    EXPECT_EQ(dm->ttDocumenti->fieldByName(QStringLiteral("CODICE")).asString(), QStringLiteral("5"));

    // Code moves the cursor: the selection follows.
    QList<int> reported;
    QObject::connect(dm->dsDocumenti, &CursorModel::currentRowChanged, [&](int row) { reported << row; });
    dm->ttDocumenti->next();
    EXPECT_EQ(selection->currentIndex().row(), 5);
    EXPECT_TRUE(selection->isRowSelected(5));
    EXPECT_EQ(selection->selectedRows().size(), 1);
    dm->ttDocumenti->last();
    EXPECT_EQ(selection->currentIndex().row(), 6);
    EXPECT_EQ(reported, (QList<int>{5, 6}));

    // Selecting a case file brings its documents into the list below.
    dm->dsUserProc->selectionModel()->setCurrentIndex(
        dm->dsUserProc->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).asString(), QStringLiteral("Carta per fotocopie"));
    EXPECT_EQ(column(dm->dsUserDoc, 1), QStringList(7, QStringLiteral("10/01/2005")));
    EXPECT_EQ(dm->dsUserDoc->selectionModel()->currentIndex().row(), 0);

    // An empty list has no selection.
    selectProcedure(QStringLiteral("07"));
    EXPECT_FALSE(dm->dsUserProc->selectionModel()->hasSelection());
    EXPECT_FALSE(dm->dsUserDoc->selectionModel()->currentIndex().isValid());
    EXPECT_EQ(dm->dsUserDoc->currentRow(), -1);
}

TEST_F(CursorModelTest, ModelsStayConsistentThroughEveryChange)
{
    // The testers check every signal the models send while the archive changes.
    for (const char* code : {"05", "07", "01", "17", "05"})
        selectProcedure(QString::fromUtf8(code));
    dialogs.answerExec([&](QObject*) {
        dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("Nuova"));
        return Tdm::ResultOK;
    });
    dm->NewCaseFile();
    EXPECT_EQ(dm->dsUserProc->rowCount(), 3);
    EXPECT_EQ(dm->dsUserProc->selectionModel()->currentIndex().row(), 2);
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 7);

    dialogs.answerInput(QStringLiteral("una nota"));
    dm->ttUserDoc->moveTo(3);
    dm->EditDocumentNote();
    EXPECT_EQ(dm->dsUserDoc->index(3, 3).data().toString(), QStringLiteral("una nota"));
    EXPECT_EQ(dm->dsUserDoc->selectionModel()->currentIndex().row(), 3);

    // A row in edit state shows its pending values.
    dm->ttUserProc->edit();
    dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("In modifica"));
    EXPECT_EQ(dm->dsUserProc->index(2, 1).data().toString(), QStringLiteral("In modifica"));
    dm->ttUserProc->cancel();
    EXPECT_EQ(dm->dsUserProc->index(2, 1).data().toString(), QStringLiteral("Nuova"));

    dm->DeleteCaseFile();
    EXPECT_EQ(dm->dsUserProc->rowCount(), 2);

    dm->CloseTables();
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 0);
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 0);
    EXPECT_FALSE(dm->dsDocumenti->index(0, 0).data().isValid());
    dm->OpenTables();
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 3);
    EXPECT_EQ(dm->dsDocumenti->selectionModel()->currentIndex().row(), 0);
}

} // namespace
} // namespace orv::test
