// Creating, changing and deleting case files.

#include "DataTestSupport.h"

#include "platform/PendingMessages.h"
#include "storage/EngineError.h"

#include <QFile>
#include <sys/file.h>

namespace orv::test {
namespace {

using CaseFileTest = DataModuleTest;

TEST_F(CaseFileTest, NewCaseFileCopiesEveryStandardDocumentInListOrder)
{
    selectProcedure(QStringLiteral("05"));
    dm->ttDocumenti->moveTo(2); // the list must come back here
    const qint64 markedDoc = dm->ttDocumenti->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger();
    const auto before = folder->caseFiles();

    QList<bool> busy;
    dm->setBusyHook([&](bool b) { busy << b; });
    int pumps = 0;
    QList<int> copiedWhenPumped;
    setProcessMessagesHook([&] {
        ++pumps;
        copiedWhenPumped << dm->ttUserDoc->recordCount();
    });
    dialogs.answerExec([&](QObject* window) {
        EXPECT_EQ(window->objectName(), QStringLiteral("dlgUserProc"));
        // The dialog edits the appended row, which starts dated today.
        EXPECT_EQ(dm->ttUserProc->state(), storage::TableState::Insert);
        EXPECT_EQ(dm->ttUserProc->fieldByName(QStringLiteral("DATA_CREAZIONE")).asDate(), today());
        dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("Arredi scolastici"));
        return Tdm::ResultOK;
    });

    dm->NewCaseFile();
    setProcessMessagesHook({});

    EXPECT_EQ(caseDialog.captions, QStringList{"Licitazione privata - Nuova pratica"});
    EXPECT_EQ(busy, (QList<bool>{true, false}));
    EXPECT_EQ(pumps, 7);
    EXPECT_EQ(copiedWhenPumped, (QList<int>{1, 2, 3, 4, 5, 6, 7})) << "messages run after each document";

    // The new case file is current, belongs to 05 and was posted.
    EXPECT_EQ(dm->ttUserProc->state(), storage::TableState::Browse);
    EXPECT_EQ(dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).asString(), QStringLiteral("Arredi scolastici"));
    const auto after = folder->caseFiles();
    ASSERT_EQ(after.size(), before.size() + 1);
    const auto created = after.last();
    EXPECT_EQ(created.procedura, QStringLiteral("05"));
    EXPECT_EQ(created.created, today());
    EXPECT_EQ(created.id, dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger());

    // Seven copies, in the standard list's order, byte for byte, dated today, no note.
    const auto copies = folder->caseDocuments(created.id);
    ASSERT_EQ(copies.size(), 7);
    for (int i = 0; i < copies.size(); ++i) {
        const storage::Row standard = dm->ttDocumenti->rowAt(i);
        EXPECT_EQ(copies[i].idDocumento, standard.asInteger(QStringLiteral("ID_DOCUMENTO"))) << i;
        EXPECT_EQ(copies[i].body, folder->documentBody(copies[i].idDocumento)) << i;
        EXPECT_EQ(copies[i].modified, today()) << i;
        EXPECT_TRUE(copies[i].note.isEmpty()) << i;
    }
    EXPECT_TRUE(copies[3].body.isEmpty()) << "an empty body gives an empty copy";
    EXPECT_EQ(column(dm->dsUserDoc, 0), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));

    EXPECT_EQ(dm->ttDocumenti->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger(), markedDoc);
    dialogs.expectAllUsed();
}

TEST_F(CaseFileTest, CancelledNewCaseFileWritesNothing)
{
    selectProcedure(QStringLiteral("05"));
    const auto before = folder->caseFiles();
    const int docsBefore = folder->caseDocuments(before.first().id).size();
    dialogs.answerExec([&](QObject*) {
        dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("da scartare"));
        return 2; // "&Annulla"
    });

    dm->NewCaseFile();

    EXPECT_EQ(dm->ttUserProc->state(), storage::TableState::Browse);
    const auto after = folder->caseFiles();
    ASSERT_EQ(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].note, before[i].note);
    EXPECT_EQ(folder->caseDocuments(before.first().id).size(), docsBefore);
    EXPECT_EQ(column(dm->dsUserProc, 1), (QStringList{"Cancelleria", "Carta per fotocopie"}));
}

TEST_F(CaseFileTest, NewCaseFileForProcedureWithoutDocumentsGivesAnEmptyCaseFile)
{
    folder->addProcedure(QStringLiteral("18"), QStringLiteral("Senza documenti"), QStringLiteral("S"),
                         QStringLiteral("S"));
    dm->CloseTables();
    dm->OpenTables();
    selectProcedure(QStringLiteral("18"));
    dialogs.answerExec([](QObject*) { return Tdm::ResultOK; });

    dm->NewCaseFile();

    EXPECT_EQ(dm->dsUserProc->rowCount(), 1);
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 0);
    EXPECT_EQ(dm->ttDocumenti->recordCount(), 0);
}

TEST_F(CaseFileTest, ModifyPostsOnOkAndUndoesOnCancel)
{
    selectProcedure(QStringLiteral("05"));
    selectCaseFile(QStringLiteral("Carta per fotocopie"));

    dialogs.answerExec([&](QObject*) {
        EXPECT_EQ(dm->ttUserProc->state(), storage::TableState::Edit);
        dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("Toner"));
        dm->ttUserProc->fieldByName(QStringLiteral("DATA_CREAZIONE")).setAsDate(QDate(2005, 2, 1));
        return 2;
    });
    dm->ModifyCaseFile();
    EXPECT_EQ(caseDialog.captions, QStringList{"Modifica pratica"});
    EXPECT_EQ(dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).asString(), QStringLiteral("Carta per fotocopie"));
    EXPECT_EQ(folder->caseFiles()[1].note, QStringLiteral("Carta per fotocopie"));

    dialogs.answerExec([&](QObject*) {
        dm->ttUserProc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("Toner"));
        return Tdm::ResultOK;
    });
    dm->ModifyCaseFile();
    EXPECT_EQ(folder->caseFiles()[1].note, QStringLiteral("Toner"));
    EXPECT_EQ(column(dm->dsUserProc, 1), (QStringList{"Cancelleria", "Toner"}));

    // An empty list: no dialog at all (an unscripted one would fail the test).
    selectProcedure(QStringLiteral("07"));
    dm->ModifyCaseFile();
}

TEST_F(CaseFileTest, DeleteAsksTheExactQuestionAndRemovesTheDocumentsToo)
{
    selectProcedure(QStringLiteral("05"));
    selectCaseFile(QStringLiteral("Cancelleria"));
    const qint64 id = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    const QString node = QStringLiteral("05 Licitazione privata");
    const QString question = QStringLiteral(
        "Attenzione la pratica selezionata:\r\rDescrizione: Cancelleria\rData creazione: 05/03/2004\r\r"
        "sarà eliminata dall'archivio.\rEliminare la pratica?");

    dialogs.answerMessage(mbNo);
    EXPECT_FALSE(dm->ConfirmDeleteCaseFile(node));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const MessageRequest asked = dialogs.messages()[0];
    EXPECT_EQ(asked.caption, QStringLiteral("Elimina pratica - 05 Licitazione privata"));
    EXPECT_EQ(asked.text, question);
    EXPECT_EQ(asked.icon, MessageIcon::Warning);
    EXPECT_EQ(asked.buttons, mbYes | mbNo);
    EXPECT_EQ(asked.defaultButton, int(mbNo));
    EXPECT_EQ(folder->caseDocuments(id).size(), 7);

    dialogs.answerMessage(mbYes);
    EXPECT_TRUE(dm->ConfirmDeleteCaseFile(node));
    EXPECT_EQ(dialogs.messages().size(), 2u) << "no message after a successful delete";
    EXPECT_TRUE(folder->caseDocuments(id).isEmpty());
    for (const auto& c : folder->caseFiles())
        EXPECT_NE(c.id, id);
    EXPECT_EQ(column(dm->dsUserProc, 1), QStringList{"Carta per fotocopie"});
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 7) << "the documents of the case file now current";

    // The other case files keep their documents.
    selectProcedure(QStringLiteral("01"));
    EXPECT_EQ(dm->dsUserDoc->rowCount(), 3);
}

TEST_F(CaseFileTest, DeleteStatementNamesTheCaseFile)
{
    selectProcedure(QStringLiteral("01"));
    const qint64 id = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    dm->DeleteCaseFile();
    EXPECT_EQ(dm->sysQr->sql(), (QStringList{"Delete From USER_DOCUMENTI",
                                             QStringLiteral("Where ID_USER_PROCEDURA = %1").arg(id)}));
    EXPECT_EQ(dm->dsUserProc->rowCount(), 0);
}

TEST_F(CaseFileTest, FailedDeleteShowsItsOwnMessageAndGoesNoFurther)
{
    selectProcedure(QStringLiteral("05"));
    const qint64 id = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    // The statement cannot run without its database.
    dm->sysQr->setDatabase(nullptr);
    dialogs.answerMessage(mbOK);

    EXPECT_NO_THROW(dm->DeleteCaseFile());

    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Attenzione"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Si è verificato un errore durante l'eliminazione."));
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages[0].buttons, int(mbOK));
    EXPECT_EQ(folder->caseDocuments(id).size(), 7);
    EXPECT_EQ(dm->dsUserProc->rowCount(), 2);
}

} // namespace
} // namespace orv::test
