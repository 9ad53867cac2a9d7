// The archive's shape as the main window sees it: the calculated chapter
// number, the master-detail links, the lookups and field access by name.

#include "DataTestSupport.h"

#include "data/ArchiveSchema.h"
#include "platform/Clock.h"
#include "storage/EngineError.h"

#include <QFile>
#include <QTemporaryDir>

namespace orv::test {
namespace {

TEST(ArchiveSchemaTest, CreatesFourOpenableTablesAndRefusesToOverwrite)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    schema::createArchive(folder);
    for (const auto& t : schema::archiveTables()) {
        for (const char* ext : {".DAT", ".IDX", ".BLB"})
            EXPECT_TRUE(QFile::exists(folder + t.fileName.chopped(4) + QLatin1String(ext)))
                << qPrintable(t.fileName) << ext;
    }
    try {
        schema::createArchive(folder);
        FAIL() << "an existing archive was overwritten";
    } catch (const storage::EngineError& e) {
        EXPECT_EQ(e.code(), storage::code::TableExists);
    }
}

// CALC_CAPITOLO for the codes a data file may hold.
TEST(CalcCapitoloTest, ChapterNumberFromProcedureAndDocumentCode)
{
    ScriptedDialogs dialogs;
    FixtureFolder folder;
    folder.install();
    folder.addProcedure(QStringLiteral("01"), QStringLiteral("Pubblico incanto"), QStringLiteral("S"),
                        QStringLiteral("S"));
    const struct {
        const char* codice;
        const char* expected;
    } cases[] = {
        {"3", "01.3"},
        {"003", "01.3"},   // written back as a number
        {"12", "01.12"},
        {"123", "01.12"},  // cut to five characters
        {"A1", "01?"},     // not a number: no error, a question mark
        {"", "01?"},
    };
    QStringList expected;
    for (const auto& c : cases) {
        folder.addDocument(QStringLiteral("01"), QString::fromUtf8(c.codice),
                           QStringLiteral("Doc ") + QString::fromUtf8(c.codice), QByteArray("x"));
    }
    Tdm dm;
    dm.DataModuleCreate();
    ASSERT_TRUE(dm.ttProcedure->locate(QStringLiteral("CODICE"), QStringLiteral("01")));
    ASSERT_EQ(dm.dsDocumenti->rowCount(), int(std::size(cases)));
    for (int r = 0; r < dm.dsDocumenti->rowCount(); ++r) {
        dm.ttDocumenti->moveTo(r);
        const QString codice = dm.ttDocumenti->fieldByName(QStringLiteral("CODICE")).asString();
        const QString shown = dm.dsDocumenti->index(r, 0).data().toString();
        EXPECT_EQ(shown, dm.ttDocumenti->fieldByName(QStringLiteral("CALC_CAPITOLO")).asString());
        bool found = false;
        for (const auto& c : cases) {
            if (codice == QString::fromUtf8(c.codice)) {
                EXPECT_EQ(shown, QString::fromUtf8(c.expected)) << "CODICE \"" << c.codice << "\"";
                found = true;
            }
        }
        EXPECT_TRUE(found) << qPrintable(codice);
    }
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(DataModuleTest, OpensEveryTableOnTheFirstProcedure)
{
    for (storage::Table* t : {dm->ttProcedure, dm->ttDocumenti, dm->ttUserProc, dm->ttUserDoc})
        EXPECT_TRUE(t->isOpen()) << qPrintable(t->objectName());
    EXPECT_EQ(dm->DataBase->name(), QStringLiteral("DB_KELMA"));
    EXPECT_EQ(dm->ttProcedure->fieldByName(QStringLiteral("CODICE")).asString(), QStringLiteral("01"));
    EXPECT_EQ(column(dm->dsDocumenti, 1),
              (QStringList{"Bando di gara", "Disciplinare di gara", "Verbale di gara"}));
    EXPECT_EQ(column(dm->dsUserProc, 1), QStringList{"Cancelleria 2004"});
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 3);
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(DataModuleTest, DetailListsFollowTheProcedureAndTheCaseFile)
{
    selectProcedure(QStringLiteral("05"));
    // Only procedure 05's documents, in number order although inserted shuffled.
    EXPECT_EQ(column(dm->dsDocumenti, 0),
              (QStringList{"05.1", "05.2", "05.3", "05.4", "05.5", "05.6", "05.7"}));
    for (int r = 0; r < dm->ttDocumenti->recordCount(); ++r)
        EXPECT_EQ(dm->ttDocumenti->rowAt(r).asString(QStringLiteral("CODICE_PROCEDURA")), QStringLiteral("05"));
    EXPECT_EQ(column(dm->dsUserProc, 0), (QStringList{"05/03/2004", "10/01/2005"}));
    EXPECT_EQ(column(dm->dsUserProc, 1), (QStringList{"Cancelleria", "Carta per fotocopie"}));

    // The case-file documents are those of the first case file, with the
    // standard number and title looked up.
    EXPECT_EQ(dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).asString(), QStringLiteral("Cancelleria"));
    EXPECT_EQ(column(dm->dsUserDoc, 0), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(column(dm->dsUserDoc, 1), QStringList(7, QStringLiteral("05/03/2004")));
    EXPECT_EQ(column(dm->dsUserDoc, 2).first(), QStringLiteral("Determina a contrarre"));
    EXPECT_EQ(column(dm->dsUserDoc, 2).last(), QStringLiteral("Contratto"));
    const qint64 firstCase = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    for (int r = 0; r < dm->ttUserDoc->recordCount(); ++r)
        EXPECT_EQ(dm->ttUserDoc->rowAt(r).asInteger(QStringLiteral("ID_USER_PROCEDURA")), firstCase);

    // Moving the case file moves its documents.
    dm->ttUserProc->next();
    const qint64 secondCase = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    EXPECT_NE(secondCase, firstCase);
    ASSERT_EQ(dm->dsUserDoc->rowCount(), 7);
    EXPECT_EQ(dm->ttUserDoc->rowAt(0).asInteger(QStringLiteral("ID_USER_PROCEDURA")), secondCase);
    EXPECT_EQ(column(dm->dsUserDoc, 1), QStringList(7, QStringLiteral("10/01/2005")));

    // A procedure without case files: both lists below are empty.
    selectProcedure(QStringLiteral("07"));
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 2);
    EXPECT_EQ(dm->dsUserProc->rowCount(), 0);
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 0);
    EXPECT_TRUE(dm->ttUserProc->bof() && dm->ttUserProc->eof());
    EXPECT_TRUE(dm->ttUserDoc->bof() && dm->ttUserDoc->eof());
}

TEST_F(DataModuleTest, CaseDocumentWhoseStandardDocumentIsGoneShowsEmptyNumberAndTitle)
{
    selectProcedure(QStringLiteral("01"));
    const qint64 gone = dm->ttDocumenti->rowAt(1).asInteger(QStringLiteral("ID_DOCUMENTO"));
    dm->CloseTables();
    folder->removeDocument(gone);
    dm->OpenTables();
    selectProcedure(QStringLiteral("01"));

    ASSERT_EQ(dm->dsUserDoc->rowCount(), 3);
    EXPECT_EQ(column(dm->dsUserDoc, 0), (QStringList{"1", "", "3"}));
    EXPECT_EQ(column(dm->dsUserDoc, 2), (QStringList{"Bando di gara", "", "Verbale di gara"}));
    dm->ttUserDoc->moveTo(1);
    EXPECT_TRUE(dm->ttUserDoc->fieldByName(QStringLiteral("lkCODICE_DOC")).isNull());
    EXPECT_TRUE(dm->ttUserDoc->fieldByName(QStringLiteral("lkTITOLO_DOC")).isNull());
}

TEST_F(DataModuleTest, FieldNamesMatchWithoutRegardToCase)
{
    selectProcedure(QStringLiteral("01"));
    for (const char* name : {"titolo", "Titolo", "TITOLO"})
        EXPECT_EQ(dm->ttDocumenti->fieldByName(QString::fromUtf8(name)).asString(), QStringLiteral("Bando di gara"))
            << name;
    for (const char* name : {"lkcodice_doc", "LKCODICE_DOC", "calc_capitolo"}) {
        storage::Table* t = QByteArray(name).toUpper().startsWith("CALC") ? dm->ttDocumenti : dm->ttUserDoc;
        EXPECT_FALSE(t->fieldByName(QString::fromUtf8(name)).asString().isEmpty()) << name;
    }
    dm->ttUserDoc->edit();
    dm->ttUserDoc->fieldByName(QStringLiteral("Note")).setAsString(QStringLiteral("vista"));
    dm->ttUserDoc->post();
    EXPECT_EQ(dm->ttUserDoc->fieldByName(QStringLiteral("NOTE")).asString(), QStringLiteral("vista"));
}

TEST_F(DataModuleTest, BlobsGoToAndComeFromFilesWhole)
{
    selectProcedure(QStringLiteral("05"));
    const QString file = folder->programFolder() + QStringLiteral("actdoc.txm");

    dm->SaveBlobToFile(dm->ttDocumenti->fieldByName(QStringLiteral("BODY")), file);
    EXPECT_EQ(readFile(file), defaultBody("05", "1", "Determina a contrarre"));

    // An empty body gives an empty file, replacing the previous one.
    ASSERT_TRUE(dm->ttDocumenti->locate(QStringLiteral("CODICE"), QStringLiteral("4")));
    dm->SaveBlobToFile(dm->ttDocumenti->fieldByName(QStringLiteral("BODY")), file);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(readFile(file).size(), 0);

    QByteArray big(300000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    writeFile(file, big);
    dm->ttUserDoc->edit();
    EXPECT_EQ(dm->LoadBlobFromFile(dm->ttUserDoc->fieldByName(QStringLiteral("USER_DOC")), file), big.size());
    dm->ttUserDoc->post();
    EXPECT_EQ(blob(dm->ttUserDoc, QStringLiteral("USER_DOC")), big);

    dm->ttUserDoc->edit();
    EXPECT_THROW(dm->LoadBlobFromFile(dm->ttUserDoc->fieldByName(QStringLiteral("USER_DOC")),
                                      folder->programFolder() + QStringLiteral("missing.txm")),
                 std::exception);
    dm->ttUserDoc->cancel();
    EXPECT_EQ(blob(dm->ttUserDoc, QStringLiteral("USER_DOC")), big);
}

} // namespace
} // namespace orv::test
