// Cursor, fields, indexes, ranges, links, bookmarks and changes of table objects.
#include "StorageFixture.h"

#include "storage/Query.h"
#include "storage/Repair.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <cstdio>

namespace orv::storage::test {
namespace {

class TableTest : public StorageTest {
protected:
    // ST_DOCUMENTI with rows (procedure, code, title).
    void fillDocuments(const QList<std::tuple<QString, QString, QString>>& rows)
    {
        createTable(folder(), "ST_DOCUMENTI.DAT", documentsDef());
        Table t;
        t.setFolder(folder());
        t.setTableName("ST_DOCUMENTI.DAT");
        t.open();
        for (const auto& [proc, code, title] : rows) {
            t.append();
            t.fieldByName("CODICE_PROCEDURA").setAsString(proc);
            t.fieldByName("CODICE").setAsString(code);
            t.fieldByName("TITOLO").setAsString(title);
            t.post();
        }
    }
    void openOn(Table& t, const QString& name, const QString& index = {})
    {
        t.setFolder(folder());
        t.setTableName(name);
        t.setIndexName(index);
        t.open();
    }
    static QStringList column(Table& t, const QString& field)
    {
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName(field).asString();
        return out;
    }
};

TEST_F(TableTest, CursorFlagsFollowFirstPriorNextLast)
{
    fillDocuments({{"01", "1", "a"}, {"01", "2", "b"}, {"01", "3", "c"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT");
    // After open: on the first row, bof set.
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "a");
    t.prior(); // at first: sets bof, stays
    EXPECT_TRUE(t.bof());
    EXPECT_EQ(t.recNo(), 0);
    t.next();
    EXPECT_FALSE(t.bof());
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "b");
    t.last();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "c");
    t.first();
    t.next();
    t.next();
    EXPECT_FALSE(t.eof()); // on the last row, not past it
    t.next();              // past the end: eof, does not move
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "c");
    EXPECT_EQ(t.recNo(), 2);
    t.prior();
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "b");
}

TEST_F(TableTest, EmptyTableAndEmptyRangeSetBothFlags)
{
    fillDocuments({{"01", "1", "a"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "codice_procedura_idx");
    t.setRange({"05"}, {"05"});
    for (auto move : {&Table::first, &Table::next, &Table::last, &Table::prior}) {
        (t.*move)();
        EXPECT_TRUE(t.bof());
        EXPECT_TRUE(t.eof());
    }
    EXPECT_TRUE(t.isEmpty());
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(t.recNo(), -1);
    EXPECT_FALSE(t.currentRow().isValid());
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "");
    EXPECT_EQ(codeOf([&] { t.edit(); }), code::NoCurrentRow);
    EXPECT_EQ(codeOf([&] { t.remove(); }), code::NoCurrentRow);
}

TEST_F(TableTest, FieldNamesIgnoreCaseAndUnknownNamesFail)
{
    fillDocuments({{"01", "3", "Bando"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT");
    for (const char* n : {"titolo", "Titolo", "TITOLO"})
        EXPECT_EQ(t.fieldByName(n).asString(), "Bando");
    EXPECT_EQ(codeOf([&] { t.fieldByName("NOPE"); }), code::FieldNotFound);
}

TEST_F(TableTest, IntegerFromTextByDecimalConversion)
{
    fillDocuments({{"01", "3", ""}, {"01", "003", ""}, {"01", " 12 ", ""}, {"01", "A1", ""}, {"01", "", ""}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT");
    const QList<int> expected = {3, 3, 12, -1, -1}; // -1: NotANumber
    int i = 0;
    for (t.first(); !t.eof(); t.next(), ++i) {
        Field f = t.fieldByName("CODICE");
        if (expected[i] < 0) {
            EXPECT_EQ(codeOf([&] { f.asInteger(); }), code::NotANumber) << i;
        } else {
            EXPECT_EQ(f.asInteger(), expected[i]) << i;
        }
    }
}

TEST_F(TableTest, ValuesRoundTripThroughEveryTypeAndNull)
{
    createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
    Table t;
    openOn(t, "USER_DOCUMENTI.DAT");
    t.append();
    t.fieldByName("ID_USER_PROCEDURA").setAsInteger(-42);
    t.fieldByName("DATA_MODIFICA").setAsDate(QDate(2004, 3, 5));
    t.fieldByName("NOTE").setAsString(QString(130, u'x')); // cut to the width of 100
    t.post();
    t.close();
    openOn(t, "USER_DOCUMENTI.DAT");
    EXPECT_EQ(t.fieldByName("ID_USER_PROCEDURA").asInteger(), -42);
    EXPECT_EQ(t.fieldByName("ID_USER_PROCEDURA").asString(), "-42");
    EXPECT_EQ(t.fieldByName("DATA_MODIFICA").asDate(), QDate(2004, 3, 5));
    EXPECT_EQ(t.fieldByName("DATA_MODIFICA").asString(), "05/03/2004");
    EXPECT_EQ(t.fieldByName("NOTE").asString(), QString(100, u'x'));
    EXPECT_TRUE(t.fieldByName("ID_DOCUMENTO").isNull());
    EXPECT_EQ(t.fieldByName("ID_DOCUMENTO").asInteger(), 0);
    EXPECT_EQ(t.fieldByName("USER_DOC").blobSize(), 0);
    t.edit();
    EXPECT_EQ(codeOf([&] { t.fieldByName("ID_DOCUMENTO").setAsString("dodici"); }), code::NotANumber);
    t.fieldByName("ID_DOCUMENTO").setAsString("12");
    t.fieldByName("DATA_MODIFICA").clear();
    t.post();
    EXPECT_EQ(t.fieldByName("ID_DOCUMENTO").asInteger(), 12);
    EXPECT_FALSE(t.fieldByName("DATA_MODIFICA").asDate().isValid());
    EXPECT_EQ(codeOf([&] { t.fieldByName("NOTE").setAsString("x"); }), code::NotEditing);
}

TEST_F(TableTest, TextIndexOrdersNumbersNumerically)
{
    fillDocuments({{"02", "1", "x"}, {"01", "10", "c"}, {"01", "2", "b"}, {"01", "A", "d"}, {"01", "1", "a"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "CODICE_PROCEDURA_IDX");
    EXPECT_EQ(column(t, "TITOLO"), (QStringList{"a", "b", "c", "d", "x"}));
    EXPECT_EQ(codeOf([&] {
                  Table u;
                  openOn(u, "ST_DOCUMENTI.DAT", "nessuno");
              }),
              code::IndexNotFound);
}

TEST_F(TableTest, AutoIncrementNeverRepeatsAfterDeletingTheLastRowAndReopening)
{
    createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
    Table t;
    openOn(t, "USER_DOCUMENTI.DAT");
    for (int i = 0; i < 3; ++i) {
        t.append();
        t.post();
        EXPECT_EQ(t.fieldByName("ID_USER_DOCUMENTO").asInteger(), i + 1);
    }
    t.last();
    t.remove();
    t.close();
    openOn(t, "USER_DOCUMENTI.DAT");
    t.append();
    t.post();
    EXPECT_EQ(t.fieldByName("ID_USER_DOCUMENTO").asInteger(), 4);
    // Deleted again, with the snapshot rewritten at close.
    t.remove();
    t.close();
    openOn(t, "USER_DOCUMENTI.DAT");
    t.append();
    t.post();
    EXPECT_EQ(t.fieldByName("ID_USER_DOCUMENTO").asInteger(), 5);
}

TEST_F(TableTest, AppendCopiesNothingCancelDropsEditRestores)
{
    fillDocuments({{"01", "1", "primo"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT");
    QSignalSpy state(&t, &Table::stateChanged);
    t.append();
    EXPECT_EQ(t.state(), TableState::Insert);
    EXPECT_TRUE(t.fieldByName("TITOLO").isNull());
    t.fieldByName("TITOLO").setAsString("nuovo");
    t.cancel();
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "primo");
    t.edit();
    t.fieldByName("TITOLO").setAsString("cambiato");
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "cambiato");
    t.cancel();
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "primo");
    EXPECT_EQ(state.count(), 4);
    // Moving posts a pending edit.
    t.edit();
    t.fieldByName("TITOLO").setAsString("spostato");
    t.next();
    EXPECT_EQ(t.state(), TableState::Browse);
    t.refresh();
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "spostato");
}

TEST_F(TableTest, PrimaryKeyIsUnique)
{
    createTable(folder(), "ST_PROCEDURE.DAT", proceduresDef());
    Table t;
    openOn(t, "ST_PROCEDURE.DAT");
    t.append();
    t.fieldByName("CODICE").setAsString("01");
    t.post();
    t.append();
    t.fieldByName("CODICE").setAsString("01");
    EXPECT_EQ(codeOf([&] { t.post(); }), code::KeyViolation);
    EXPECT_EQ(t.state(), TableState::Insert); // still editable after a failed post
    t.fieldByName("CODICE").setAsString("02");
    t.post();
    EXPECT_EQ(t.recordCount(), 2);
}

TEST_F(TableTest, RangeLocateAndLookupStayWithinTheRange)
{
    fillDocuments({{"01", "1", "a"}, {"01", "2", "b"}, {"02", "1", "c"}, {"03", "1", "d"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "codice_procedura_idx");
    t.setRange({"01"}, {"02"});
    EXPECT_EQ(column(t, "TITOLO"), (QStringList{"a", "b", "c"}));
    t.setRange({"01"}, {"01"});
    EXPECT_FALSE(t.locate("TITOLO", "c"));
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "a"); // did not move
    EXPECT_TRUE(t.locate("codice", 2));
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "b");
    EXPECT_TRUE(t.locate("ID_DOCUMENTO", 1));
    EXPECT_FALSE(t.locate("ID_DOCUMENTO", 3)); // exists, outside the range
    EXPECT_EQ(t.lookup("ID_DOCUMENTO", 2, "TITOLO").toString(), "b");
    EXPECT_FALSE(t.lookup("ID_DOCUMENTO", 4, "TITOLO").isValid());
    t.cancelRange();
    EXPECT_EQ(t.recordCount(), 4);
}

TEST_F(TableTest, RowAtReadsTheRangeWithoutMovingTheCursor)
{
    fillDocuments({{"01", "1", "a"}, {"02", "1", "b"}, {"02", "2", "c"}, {"02", "3", "d"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "codice_procedura_idx");
    t.setRange({"02"}, {"02"});
    t.moveTo(1);
    EXPECT_EQ(t.recNo(), 1);
    QSignalSpy moved(&t, &Table::currentRowChanged);
    ASSERT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.rowAt(0).asString("TITOLO"), "b");
    EXPECT_EQ(t.rowAt(2).asString("titolo"), "d");
    EXPECT_FALSE(t.rowAt(3).isValid());
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "c");
    t.moveTo(99);
    EXPECT_EQ(t.recNo(), 2);
}

TEST_F(TableTest, BookmarksSurviveOtherRowsInsertsAndDeletes)
{
    fillDocuments({{"01", "1", "a"}, {"01", "2", "b"}, {"01", "3", "c"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "codice_procedura_idx");
    t.moveTo(1);
    Bookmark b = t.bookmark();
    t.first();
    t.remove(); // "a"
    t.append();
    t.fieldByName("CODICE_PROCEDURA").setAsString("01");
    t.fieldByName("CODICE").setAsString("0");
    t.post();
    t.last();
    t.gotoBookmark(b);
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "b");
    t.remove();
    EXPECT_FALSE(t.bookmarkValid(b));
    EXPECT_EQ(codeOf([&] { t.gotoBookmark(b); }), code::InvalidBookmark);
    t.freeBookmark(b);
    EXPECT_FALSE(b.isValid());
}

TEST_F(TableTest, DeleteMovesToTheFollowingRow)
{
    fillDocuments({{"01", "1", "a"}, {"01", "2", "b"}, {"01", "3", "c"}});
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT");
    t.moveTo(1);
    t.remove();
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "c");
    t.remove(); // the last: lands on the new last row
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "a");
    t.remove();
    EXPECT_TRUE(t.bof() && t.eof());
}

TEST_F(TableTest, MasterDetailFollowsEveryMoveAndFillsLinkFieldsOnAppend)
{
    createTable(folder(), "ST_PROCEDURE.DAT", proceduresDef());
    createTable(folder(), "USER_PROCEDURE.DAT", userProceduresDef());
    createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
    Database db("DB_KELMA");
    db.setFolder(folder() + "/");
    Table proc, cases, docs;
    for (Table* t : {&proc, &cases, &docs})
        t->setDatabase(&db);
    proc.setTableName("ST_PROCEDURE.DAT");
    cases.setTableName("USER_PROCEDURE.DAT");
    cases.setIndexName("id_procedura_idx");
    cases.setMasterSource(&proc, {"CODICE"});
    docs.setTableName("USER_DOCUMENTI.DAT");
    docs.setIndexName("id_procedura_idx");
    docs.setMasterSource(&cases, {"ID_USER_PROCEDURA"});
    proc.open();
    cases.open();
    docs.open();
    for (const char* code : {"01", "05", "09"}) {
        proc.append();
        proc.fieldByName("CODICE").setAsString(code);
        proc.post();
    }
    ASSERT_TRUE(proc.locate("CODICE", "05"));
    EXPECT_TRUE(cases.isEmpty());
    EXPECT_TRUE(docs.isEmpty()); // empty master: nothing
    for (const char* note : {"Cancelleria", "Pulizie"}) {
        cases.append();
        EXPECT_EQ(cases.fieldByName("ID_PROCEDURA").asString(), "05");
        cases.fieldByName("NOTE").setAsString(note);
        cases.post();
        for (int i = 0; i < 2; ++i) {
            docs.append();
            docs.post();
            EXPECT_EQ(docs.fieldByName("ID_USER_PROCEDURA").asInteger(), cases.fieldByName("ID_USER_PROCEDURA").asInteger());
        }
    }
    EXPECT_EQ(cases.recordCount(), 2);
    cases.first();
    EXPECT_EQ(docs.recordCount(), 2);
    EXPECT_EQ(docs.fieldByName("ID_USER_PROCEDURA").asInteger(), cases.fieldByName("ID_USER_PROCEDURA").asInteger());
    ASSERT_TRUE(proc.locate("CODICE", "09"));
    EXPECT_TRUE(cases.isEmpty());
    EXPECT_TRUE(docs.isEmpty());
    proc.prior();
    EXPECT_EQ(cases.recordCount(), 2);
    EXPECT_EQ(cases.fieldByName("NOTE").asString(), "Cancelleria");
    EXPECT_EQ(docs.recordCount(), 2);

    // Closing the connection closes every table; the folder changes only while closed.
    EXPECT_EQ(codeOf([&] { db.setFolder("/elsewhere"); }), code::TableOpen);
    db.close();
    EXPECT_FALSE(proc.isOpen() || cases.isOpen() || docs.isOpen());
    db.setFolder(folder());
    proc.open();
    EXPECT_TRUE(db.isOpen());
}

TEST_F(TableTest, LookupAndCalculatedFieldsAreResolvedPerRow)
{
    fillDocuments({{"01", "003", "Bando"}, {"01", "A1", "Avviso"}});
    createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
    Table std, user;
    std.setFolder(folder());
    std.setTableName("ST_DOCUMENTI.DAT");
    std.addCalculatedField("CALC_CAPITOLO", FieldType::Text, 5);
    std.OnCalcFields = [](Row& r) {
        try {
            r.setValue("CALC_CAPITOLO", r.asString("CODICE_PROCEDURA") + "." + QString::number(r.asInteger("CODICE")));
        } catch (const EngineError&) {
            r.setValue("CALC_CAPITOLO", r.asString("CODICE_PROCEDURA") + "?");
        }
    };
    std.open();
    user.setFolder(folder());
    user.setTableName("USER_DOCUMENTI.DAT");
    user.addLookupField({"lkCODICE_DOC", FieldType::Integer, 0, "ID_DOCUMENTO", &std, "ID_DOCUMENTO", "CODICE"});
    user.addLookupField({"lkTITOLO_DOC", FieldType::Text, 150, "ID_DOCUMENTO", &std, "ID_DOCUMENTO", "TITOLO"});
    user.open();
    EXPECT_EQ(std.fieldByName("CALC_CAPITOLO").asString(), "01.3");
    EXPECT_EQ(std.rowAt(1).asString("calc_capitolo"), "01?");
    EXPECT_FALSE(std.fieldByName("CALC_CAPITOLO").isStored());
    for (int id : {1, 2, 7}) {
        user.append();
        user.fieldByName("ID_DOCUMENTO").setAsInteger(id);
        user.post();
    }
    user.first();
    EXPECT_EQ(user.fieldByName("lkCODICE_DOC").asInteger(), 3);
    EXPECT_EQ(user.fieldByName("lkTITOLO_DOC").asString(), "Bando");
    EXPECT_TRUE(user.rowAt(1).isNull("lkCODICE_DOC")); // "A1" is not a number
    EXPECT_EQ(user.rowAt(1).asString("LKTITOLO_DOC"), "Avviso");
    EXPECT_TRUE(user.rowAt(2).isNull("lkTITOLO_DOC")); // no such standard document
    EXPECT_EQ(user.rowAt(2).asString("lkTITOLO_DOC"), "");
    EXPECT_EQ(codeOf([&] {
                  user.edit();
                  user.fieldByName("lkTITOLO_DOC").setAsString("x");
              }),
              code::TypeMismatch);
}

TEST_F(TableTest, ObserversHearRowChangesAndMoves)
{
    fillDocuments({{"01", "1", "a"}, {"01", "2", "b"}});
    Table t, other;
    openOn(t, "ST_DOCUMENTI.DAT");
    openOn(other, "ST_DOCUMENTI.DAT");
    QSignalSpy rows(&t, &Table::visibleRowsChanged), moved(&t, &Table::currentRowChanged);
    QSignalSpy otherRows(&other, &Table::visibleRowsChanged);
    t.next();
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(rows.count(), 0);
    t.edit();
    t.fieldByName("TITOLO").setAsString("B");
    t.post();
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(otherRows.count(), 1);
    // The other object sees the change at once and keeps its own row.
    EXPECT_EQ(other.fieldByName("TITOLO").asString(), "a");
    EXPECT_EQ(other.rowAt(1).asString("TITOLO"), "B");
    other.remove(); // deletes "a" under t's feet
    EXPECT_EQ(rows.count(), 2);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldByName("TITOLO").asString(), "B");
    t.close();
    EXPECT_EQ(rows.count(), 3);
}

TEST_F(TableTest, TableNamesAcceptSubfoldersWithEitherSeparator)
{
    createTable(folder(), "SUB\\X.DAT", proceduresDef());
    EXPECT_TRUE(QFileInfo::exists(path("SUB/X.DAT")));
    EXPECT_TRUE(QFileInfo::exists(path("SUB/X.IDX")));
    EXPECT_TRUE(QFileInfo::exists(path("SUB/X.BLB")));
    Table t;
    openOn(t, "SUB/X.DAT");
    EXPECT_TRUE(t.isOpen());
    t.close();
    openOn(t, "SUB\\X.DAT");
    EXPECT_TRUE(t.isOpen());
    Table bad;
    bad.setFolder(folder());
    bad.setTableName("..\\X.DAT");
    EXPECT_EQ(codeOf([&] { bad.open(); }), code::InvalidName);
    bad.setTableName("MISSING.DAT");
    const int c = codeOf([&] { bad.open(); });
    EXPECT_EQ(c, code::TableNotFound);
    EXPECT_FALSE(isDamageCode(c));
}

TEST_F(TableTest, TableFilesAreFoundWhateverTheirCase)
{
    // A backup restored into an empty folder names the files in lower case.
    fillDocuments({{"01", "1", "Bando"}, {"01", "2", "Verbale"}, {"02", "1", "Lettera"}});
    for (const char* ext : {"DAT", "IDX", "BLB"})
        ASSERT_TRUE(QFile::rename(path(QStringLiteral("ST_DOCUMENTI.") + ext),
                                  path(QStringLiteral("st_documenti.") + QString::fromLatin1(ext).toLower())));
    Table t;
    openOn(t, "ST_DOCUMENTI.DAT", "codice_procedura_idx");
    EXPECT_EQ(column(t, "TITOLO"), QStringList({"Bando", "Verbale", "Lettera"}));
    t.close();

    Database db;
    db.setFolder(folder());
    db.open();
    Query q;
    q.setDatabase(&db);
    q.addSql("delete from st_documenti");
    q.addSql("where CODICE_PROCEDURA = '01'");
    q.execSql();
    openOn(t, "ST_DOCUMENTI.DAT");
    EXPECT_EQ(column(t, "TITOLO"), QStringList({"Lettera"}));
    EXPECT_FALSE(QFileInfo::exists(path("ST_DOCUMENTI.DAT")));
}

// --- Locks -------------------------------------------------------------------

int holdTable(const QStringList& args)
{
    Table t;
    t.setFolder(args.value(0));
    t.setTableName("ST_PROCEDURE.DAT");
    t.open();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char buf[8];
    while (std::fread(buf, 1, 1, stdin) == 1) {
    }
    return 0;
}
const orv::test::ChildMode holdMode("storage-hold-table", holdTable);

TEST_F(TableTest, ExclusiveOpenIsRefusedByOtherObjectsAndProcesses)
{
    createTable(folder(), "ST_PROCEDURE.DAT", proceduresDef());
    Table a, b;
    openOn(a, "ST_PROCEDURE.DAT");
    b.setFolder(folder());
    b.setTableName("ST_PROCEDURE.DAT");
    b.setExclusive(true);
    int c = codeOf([&] { b.open(); });
    EXPECT_EQ(c, code::TableLocked);
    EXPECT_FALSE(isDamageCode(c));
    a.close();
    b.open();
    EXPECT_EQ(codeOf([&] { a.open(); }), code::TableLocked);
    b.close();

    QProcess child;
    child.start(orv::test::selfExecutable(), orv::test::childArguments("storage-hold-table", {folder()}));
    ASSERT_TRUE(child.waitForReadyRead(10000));
    EXPECT_EQ(codeOf([&] { a.open(); }), code::TableLocked);
    EXPECT_EQ(codeOf([&] { repairTable(folder(), "ST_PROCEDURE.DAT"); }), code::TableLocked);
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(10000));
    a.open();
    EXPECT_TRUE(a.isOpen());
}

} // namespace
} // namespace orv::storage::test
