// Case-file commands from the main window, through the real case-file dialog.
#include "MainWindowHarness.h"

#include "ui/main/UserProcDialog.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace orv::test {
namespace {

class CaseFileCommandsTest : public MainWindowHarness {
protected:
    void SetUp() override
    {
        MainWindowHarness::SetUp();
        selectProcedure(QStringLiteral("05 Licitazione privata"));
        click("btnArchivio");
    }

    // The dialog as the user fills it: a description, then a button.
    void answerCaseDialog(const QString& note, bool ok, QString* caption = nullptr, QDate* shownDate = nullptr)
    {
        dialogs.answerExec([=](QObject* w) {
            auto* dlg = qobject_cast<ui::TdlgUserProc*>(w);
            EXPECT_NE(dlg, nullptr);
            if (!dlg)
                return 0;
            if (caption)
                *caption = dlg->windowTitle();
            if (shownDate)
                *shownDate = dlg->DATA_CREAZIONE->date();
            dlg->NOTE->setText(note);
            (ok ? dlg->OKBtn : dlg->CancelBtn)->click();
            return dlg->result();
        });
    }
};

TEST_F(CaseFileCommandsTest, NewCaseFileCopiesEveryStandardBodyInListOrder)
{
    const int before = folder->caseFiles().size();
    QString caption;
    QDate shownDate;
    answerCaseDialog(QStringLiteral("Toner 2006"), true, &caption, &shownDate);
    click("btnPraticaNew");
    EXPECT_EQ(caption, QStringLiteral("Licitazione privata - Nuova pratica"));
    EXPECT_EQ(shownDate, kToday);

    const auto files = folder->caseFiles();
    ASSERT_EQ(files.size(), before + 1);
    const auto created = files.last();
    EXPECT_EQ(created.note, QStringLiteral("Toner 2006"));
    EXPECT_EQ(created.procedura, QStringLiteral("05"));
    EXPECT_EQ(created.created, kToday);

    // The standard list, in its order.
    QList<qint64> standardIds;
    for (int i = 0; i < dm->dsDocumenti->rowCount(); ++i)
        standardIds << dm->ttDocumenti->rowAt(i).asInteger(QStringLiteral("ID_DOCUMENTO"));
    ASSERT_EQ(standardIds.size(), 7);
    const auto copies = folder->caseDocuments(created.id);
    ASSERT_EQ(copies.size(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(copies[i].idDocumento, standardIds[i]);
        EXPECT_EQ(copies[i].body, folder->documentBody(standardIds[i]));
        EXPECT_EQ(copies[i].modified, kToday);
        EXPECT_TRUE(copies[i].note.isEmpty());
    }
    EXPECT_EQ(dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE")), QStringLiteral("Toner 2006"));
}

TEST_F(CaseFileCommandsTest, CancelledNewCaseFileWritesNothing)
{
    const auto before = folder->caseFiles();
    answerCaseDialog(QStringLiteral("Mai salvata"), false);
    click("btnPraticaNew");
    EXPECT_EQ(folder->caseFiles().size(), before.size());
}

TEST_F(CaseFileCommandsTest, ModifyShowsTheCurrentValuesAndCancelKeepsThem)
{
    const QString note = dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE"));
    QString caption;
    answerCaseDialog(QStringLiteral("Cambiata"), false, &caption);
    click("btnPraticaMod");
    EXPECT_EQ(caption, QStringLiteral("Modifica pratica"));
    EXPECT_EQ(dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE")), note);

    answerCaseDialog(QStringLiteral("Cambiata"), true);
    child<ui::TBandGrid>("dxGridPratiche")->doubleClicked(); // double click modifies the case file
    EXPECT_EQ(dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE")), QStringLiteral("Cambiata"));
}

TEST_F(CaseFileCommandsTest, DeleteAsksWithTheCaseFileAndRemovesItsDocuments)
{
    const storage::Row row = dm->ttUserProc->currentRow();
    const qint64 id = row.asInteger(QStringLiteral("ID_USER_PROCEDURA"));
    const QString note = row.asString(QStringLiteral("NOTE"));
    const QString date = row.asDate(QStringLiteral("DATA_CREAZIONE")).toString(QStringLiteral("dd/MM/yyyy"));
    ASSERT_FALSE(folder->caseDocuments(id).isEmpty());

    dialogs.answerMessage(mbNo);
    click("btnPraticaDel");
    EXPECT_EQ(folder->caseDocuments(id).size(), 7);

    dialogs.answerMessage(mbYes);
    click("btnPraticaDel");
    const MessageRequest q = dialogs.messages().back();
    EXPECT_EQ(q.caption, QStringLiteral("Elimina pratica - 05 Licitazione privata"));
    EXPECT_EQ(q.text, QStringLiteral("Attenzione la pratica selezionata:\r\rDescrizione: ") + note
                          + QStringLiteral("\rData creazione: ") + date
                          + QStringLiteral("\r\rsarà eliminata dall'archivio.\rEliminare la pratica?"));
    EXPECT_EQ(q.icon, MessageIcon::Warning);
    EXPECT_EQ(q.defaultButton, mbNo);
    EXPECT_TRUE(folder->caseDocuments(id).isEmpty());
    for (const auto& f : folder->caseFiles())
        EXPECT_NE(f.id, id);
}

TEST_F(CaseFileCommandsTest, NoteIsWrittenOnlyWhenItChanges)
{
    const storage::Row doc = dm->ttUserDoc->currentRow();
    const qint64 caseId = doc.asInteger(QStringLiteral("ID_USER_PROCEDURA"));
    dialogs.answerInput(QStringLiteral("Da firmare"));
    click("btnUserDocNote");
    ASSERT_EQ(dialogs.records().back().kind, ScriptedDialogs::Record::Input);
    const InputRequest r = dialogs.records().back().input;
    EXPECT_EQ(r.prompt, QStringLiteral("Nota"));
    EXPECT_EQ(r.caption, doc.asString(QStringLiteral("lkCODICE_DOC")) + QStringLiteral(" - ")
                             + doc.asString(QStringLiteral("lkTITOLO_DOC")));
    EXPECT_EQ(folder->caseDocuments(caseId).first().note, QStringLiteral("Da firmare"));
}

TEST_F(CaseFileCommandsTest, RestoreBringsBackTheStandardTextAndKeepsTheDate)
{
    const storage::Row doc = dm->ttUserDoc->currentRow();
    const qint64 caseId = doc.asInteger(QStringLiteral("ID_USER_PROCEDURA"));
    const qint64 standardId = doc.asInteger(QStringLiteral("ID_DOCUMENTO"));
    editor.onShow = [](const QString& file) {
        writeFile(file, "LOCAL CHANGES");
        return true;
    };
    click("btnUserDocShow");
    ASSERT_EQ(folder->caseDocuments(caseId).first().body, QByteArray("LOCAL CHANGES"));

    Clock::pinToday(kToday.addDays(5)); // a restore on a later day
    dialogs.answerMessage(mbYes);
    click("btnUserDocRestore");
    const MessageRequest q = dialogs.messages().back();
    EXPECT_EQ(q.caption, QStringLiteral("Ripristino documento - 05 Licitazione privata"));
    EXPECT_EQ(q.icon, MessageIcon::Information);
    const auto restored = folder->caseDocuments(caseId).first();
    EXPECT_EQ(restored.body, folder->documentBody(standardId));
    EXPECT_EQ(restored.modified, kToday) << "the date of the last edit stays";
}

} // namespace
} // namespace orv::test
