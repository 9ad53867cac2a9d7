// The one SQL statement: deleting a case file's documents.
#include "StorageFixture.h"

#include "storage/Query.h"

namespace orv::storage::test {
namespace {

class QueryTest : public StorageTest {
protected:
    void SetUp() override
    {
        StorageTest::SetUp();
        createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
        db.setFolder(folder());
        docs.setDatabase(&db);
        docs.setTableName("USER_DOCUMENTI.DAT");
        docs.setIndexName("id_procedura_idx");
        docs.open();
        for (int caseFile : {1, 2, 2, 3, 2}) {
            docs.append();
            docs.fieldByName("ID_USER_PROCEDURA").setAsInteger(caseFile);
            docs.fieldByName("NOTE").setAsString(caseFile == 3 ? "it's" : "");
            docs.post();
        }
    }
    Database db{"DB_KELMA"};
    Table docs;
};

TEST_F(QueryTest, DeletesTheCaseFilesDocumentsAndOpenTablesSeeIt)
{
    docs.first();
    docs.next(); // on a row of case file 2
    Query q(&db);
    q.close();
    q.clearSql();
    q.addSql("Delete From USER_DOCUMENTI");
    q.addSql(QString("Where ID_USER_PROCEDURA = %1").arg(2));
    EXPECT_EQ(q.execSql(), 3);
    EXPECT_EQ(docs.recordCount(), 2);
    EXPECT_EQ(docs.fieldByName("ID_USER_PROCEDURA").asInteger(), 3); // moved to the row that followed
    QList<qint64> left;
    for (docs.first(); !docs.eof(); docs.next())
        left << docs.fieldByName("ID_USER_PROCEDURA").asInteger();
    EXPECT_EQ(left, (QList<qint64>{1, 3}));
    // Durable: a fresh open after close agrees.
    docs.close();
    docs.open();
    EXPECT_EQ(docs.recordCount(), 2);
}

TEST_F(QueryTest, StatementFormsAndErrors)
{
    struct Case {
        QStringList sql;
        int expectedCode; // 0 = runs
        qint64 deleted;
    };
    const QList<Case> cases = {
        {{"delete   from user_documenti\r\n", "  where\tid_user_procedura=1 ;"}, 0, 1},
        {{"DELETE FROM USER_DOCUMENTI.DAT WHERE NOTE = 'it''s'"}, 0, 1},
        {{"DELETE FROM \"USER_DOCUMENTI\" WHERE ID_USER_PROCEDURA = 99"}, 0, 0},
        {{"Delete From USER_DOCUMENTI"}, code::SqlError, 0},
        {{"SELECT * FROM USER_DOCUMENTI"}, code::SqlError, 0},
        {{"DELETE FROM USER_DOCUMENTI WHERE ID_USER_PROCEDURA = 'due'"}, code::SqlError, 0},
        {{"DELETE FROM USER_DOCUMENTI WHERE NESSUNO = 1"}, code::SqlError, 0},
        {{"DELETE FROM USER_DOCUMENTI WHERE ID_USER_PROCEDURA = 1 OR 1 = 1"}, code::SqlError, 0},
        {{"DELETE FROM NESSUNA WHERE A = 1"}, code::TableNotFound, 0},
    };
    for (const Case& c : cases) {
        Query q(&db);
        q.setSql(c.sql);
        qint64 n = -1;
        EXPECT_EQ(codeOf([&] { n = q.execSql(); }), c.expectedCode) << c.sql.join(" ").toStdString();
        if (c.expectedCode == 0) {
            EXPECT_EQ(n, c.deleted) << c.sql.join(" ").toStdString();
        }
    }
    EXPECT_EQ(docs.recordCount(), 3);
}

} // namespace
} // namespace orv::storage::test
