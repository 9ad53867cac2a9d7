// Notes, restore from the standard library and the write-back of an edited
// working file.

#include "DataTestSupport.h"

#include "platform/Clock.h"
#include "platform/Error.h"

#include <QDir>

namespace orv::test {
namespace {

class DocumentOperationsTest : public DataModuleTest {
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        selectProcedure(QStringLiteral("05"));
        selectCaseFile(QStringLiteral("Cancelleria"));
        dm->ttUserDoc->moveTo(1); // "2 - Avviso di preinformazione"
        workingFile = folder->programFolder() + QStringLiteral("actdoc.txm");
    }
    qint64 currentCaseDocId() const
    {
        return dm->ttUserDoc->fieldByName(QStringLiteral("ID_USER_DOCUMENTO")).asInteger();
    }
    // The current case-file document as stored on disk.
    FixtureFolder::CaseDocument stored(qint64 id) const
    {
        for (const auto& d : folder->caseDocuments(
                 dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger()))
            if (d.id == id)
                return d;
        ADD_FAILURE() << "no case document " << id;
        return {};
    }
    int postsOf(storage::Table* t, const std::function<void()>& action)
    {
        int changes = 0;
        auto c = QObject::connect(t, &storage::Table::visibleRowsChanged, [&] { ++changes; });
        action();
        QObject::disconnect(c);
        return changes;
    }
    QString workingFile;
};

TEST_F(DocumentOperationsTest, NoteIsWrittenOnlyWhenItChanges)
{
    const qint64 id = currentCaseDocId();
    const struct {
        std::optional<QString> answer;
        QString expected;
        bool written;
    } steps[] = {
        {QStringLiteral("Da firmare"), QStringLiteral("Da firmare"), true},
        {QStringLiteral("Da firmare"), QStringLiteral("Da firmare"), false}, // same text
        {std::nullopt, QStringLiteral("Da firmare"), false},                  // cancel
        {QStringLiteral("da firmare"), QStringLiteral("da firmare"), true},   // differs in case only
        {QString(130, QLatin1Char('n')), QString(100, QLatin1Char('n')), true}, // cut to the width
        {QString(), QString(), true},
    };
    for (const auto& s : steps) {
        dialogs.clear();
        dialogs.answerInput(s.answer);
        const QString before = dm->ttUserDoc->fieldByName(QStringLiteral("NOTE")).asString();
        const int posts = postsOf(dm->ttUserDoc, [&] { dm->EditDocumentNote(); });
        ASSERT_EQ(dialogs.records().size(), 1u);
        const InputRequest& asked = dialogs.records()[0].input;
        EXPECT_EQ(asked.caption, QStringLiteral("2 - Avviso di preinformazione"));
        EXPECT_EQ(asked.prompt, QStringLiteral("Nota"));
        EXPECT_EQ(asked.value, before);
        EXPECT_EQ(posts > 0, s.written) << qPrintable(s.expected);
        EXPECT_EQ(stored(id).note, s.expected);
        EXPECT_EQ(dm->dsUserDoc->index(1, 3).data().toString(), s.expected);
    }

    // An empty list asks nothing.
    selectProcedure(QStringLiteral("07"));
    dialogs.clear();
    dm->EditDocumentNote();
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(DocumentOperationsTest, RestoreBringsBackTheStandardTextAndKeepsDateAndNote)
{
    const qint64 id = currentCaseDocId();
    writeFile(workingFile, "testo modificato dall'utente");
    Clock::pinToday(QDate(2007, 6, 15));
    dm->WriteBackCaseDocument(workingFile);
    dm->ttUserDoc->edit();
    dm->ttUserDoc->fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("rivisto"));
    dm->ttUserDoc->post();
    Clock::pinToday(today());
    dm->ttDocumenti->first();

    dialogs.answerMessage(mbNo);
    dm->RestoreDocument(QStringLiteral("05 Licitazione privata"));
    EXPECT_EQ(stored(id).body, QByteArray("testo modificato dall'utente"));

    dialogs.answerMessage(mbYes);
    dm->RestoreDocument(QStringLiteral("05 Licitazione privata"));

    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].caption, QStringLiteral("Ripristino documento - 05 Licitazione privata"));
    EXPECT_EQ(messages[1].text,
              QStringLiteral("Attenzione il documento selezionato:\r\rNumero Doc.: 2\rDocumento: Avviso di "
                             "preinformazione\rData modifica: 15/06/2007\"\r\rsarà ripristinato con il rispettivo "
                             "documento della modulistica generale.\rSostituire il documento?"));
    EXPECT_EQ(messages[1].icon, MessageIcon::Information);
    EXPECT_EQ(messages[1].buttons, mbYes | mbNo);
    EXPECT_EQ(messages[1].defaultButton, int(mbNo));

    const auto restored = stored(id);
    EXPECT_EQ(restored.body, defaultBody("05", "2", "Avviso di preinformazione"));
    EXPECT_EQ(restored.modified, QDate(2007, 6, 15));
    EXPECT_EQ(restored.note, QStringLiteral("rivisto"));
    // The case-file list stays on the restored document; the standard list on the located one.
    EXPECT_EQ(currentCaseDocId(), id);
    EXPECT_EQ(dm->ttDocumenti->fieldByName(QStringLiteral("CODICE")).asString(), QStringLiteral("2"));
    EXPECT_EQ(dm->dsDocumenti->selectionModel()->currentIndex().row(), 1);
}

TEST_F(DocumentOperationsTest, RestoreOnAnEmptyListStillAsksAndChangesNothing)
{
    selectProcedure(QStringLiteral("07"));
    dialogs.answerMessage(mbYes);
    dm->RestoreDocument(QStringLiteral("07 Pubblico incanto"));
    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Attenzione il documento selezionato:\r\rNumero Doc.: \rDocumento: \rData modifica: "
                             "30/12/1899\"\r\rsarà ripristinato con il rispettivo documento della modulistica "
                             "generale.\rSostituire il documento?"));
    EXPECT_EQ(dm->dsUserProc->rowCount(), 0);
}

TEST_F(DocumentOperationsTest, RestoreOfADocumentGoneFromTheLibraryDoesNothing)
{
    const qint64 id = currentCaseDocId();
    const qint64 standardId = dm->ttUserDoc->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger();
    writeFile(workingFile, "mia versione");
    dm->WriteBackCaseDocument(workingFile);
    dm->CloseTables();
    folder->removeDocument(standardId);
    dm->OpenTables();
    selectProcedure(QStringLiteral("05"));
    selectCaseFile(QStringLiteral("Cancelleria"));
    dm->ttUserDoc->moveTo(1);
    ASSERT_EQ(currentCaseDocId(), id);

    dialogs.answerMessage(mbYes);
    dm->RestoreDocument(QStringLiteral("05 Licitazione privata"));

    EXPECT_EQ(dialogs.messages().size(), 1u) << "only the question";
    EXPECT_EQ(stored(id).body, QByteArray("mia versione"));
    EXPECT_EQ(dm->ttUserDoc->state(), storage::TableState::Browse);
}

TEST_F(DocumentOperationsTest, WriteBackReplacesTheBodyAndDatesItToday)
{
    const qint64 id = currentCaseDocId();
    writeFile(workingFile, "testo salvato nell'editor");
    dm->WriteBackCaseDocument(workingFile);
    EXPECT_EQ(stored(id).body, QByteArray("testo salvato nell'editor"));
    EXPECT_EQ(stored(id).modified, today());
    EXPECT_EQ(dm->dsUserDoc->index(1, 1).data().toString(), QStringLiteral("11/12/2026"));

    // A standard document made the new default reaches case files made afterwards.
    writeFile(workingFile, "nuovo predefinito");
    dm->ttDocumenti->moveTo(0);
    const qint64 standardId = dm->ttDocumenti->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger();
    dm->WriteBackStandardDocument(workingFile);
    EXPECT_EQ(folder->documentBody(standardId), QByteArray("nuovo predefinito"));
    const qint64 oldCase = dm->ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
    dialogs.answerExec([](QObject*) { return Tdm::ResultOK; });
    dm->NewCaseFile();
    dm->ttUserDoc->first();
    EXPECT_EQ(blob(dm->ttUserDoc, QStringLiteral("USER_DOC")), QByteArray("nuovo predefinito"));
    EXPECT_EQ(folder->caseDocuments(oldCase).at(1).body, QByteArray("testo salvato nell'editor"))
        << "existing case files keep their copy";
}

// A write-back that fails must leave the archive as it was, leave no row in
// edit state to be posted later by accident, and say where the text is.
TEST_F(DocumentOperationsTest, FailedWriteBackKeepsTheOldBodyAndNamesTheWorkingFile)
{
    const QString missing = folder->programFolder() + QStringLiteral("scomparso.txm");
    const QString folderInstead = folder->programFolder() + QStringLiteral("cartella.txm");
    QDir().mkpath(folderInstead);
    const struct {
        const char* what;
        QString file;
        bool standard;
    } cases[] = {
        {"missing working file", missing, false},
        {"working file is a folder", folderInstead, false},
        {"missing working file, standard document", missing, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        storage::Table* table = c.standard ? dm->ttDocumenti : dm->ttUserDoc;
        const QString blobField = c.standard ? QStringLiteral("BODY") : QStringLiteral("USER_DOC");
        const QByteArray oldBody = blob(table, blobField);
        const QDate oldDate = dm->ttUserDoc->fieldByName(QStringLiteral("DATA_MODIFICA")).asDate();
        try {
            if (c.standard)
                dm->WriteBackStandardDocument(c.file);
            else
                dm->WriteBackCaseDocument(c.file);
            ADD_FAILURE() << "a failed write-back was reported as success";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(c.file))) << qPrintable(e.message());
            EXPECT_TRUE(e.message().contains(QStringLiteral("non è stato salvato"))) << qPrintable(e.message());
        }
        EXPECT_EQ(table->state(), storage::TableState::Browse);
        // Moving on must not post anything behind the user's back.
        table->next();
        table->prior();
        EXPECT_EQ(blob(table, blobField), oldBody);
        EXPECT_EQ(dm->ttUserDoc->fieldByName(QStringLiteral("DATA_MODIFICA")).asDate(), oldDate);
    }
    EXPECT_EQ(stored(currentCaseDocId()).body, defaultBody("05", "2", "Avviso di preinformazione"));
}

} // namespace
} // namespace orv::test
