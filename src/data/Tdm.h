#pragma once
// The data module: the one owner of the archive for the whole run. It holds
// the database connection "DB_KELMA", the four table objects with their
// indexes, master-detail links, lookup and calculated fields, their data
// sources (item models for the main window's lists), the query object, and
// the operations on case files and documents. Windows reach the archive only
// through it. No widgets here: the few windows it shows are handed to it by
// the user-interface layer through the small interfaces below.
//
// Links, as the main window sees them:
//   ttProcedure (ST_PROCEDURE, primary index)
//     -> ttDocumenti (ST_DOCUMENTI, codice_procedura_idx, CODICE -> CODICE_PROCEDURA)
//     -> ttUserProc  (USER_PROCEDURE, id_procedura_idx, CODICE -> ID_PROCEDURA)
//          -> ttUserDoc (USER_DOCUMENTI, id_procedura_idx,
//                        ID_USER_PROCEDURA -> ID_USER_PROCEDURA)
// Moving ttProcedure (the tree keeps one bookmark per procedure) makes the
// other three follow at once.
//
// Fields besides the stored ones:
//   ST_DOCUMENTI.CALC_CAPITOLO  text 5: CODICE_PROCEDURA + "." + CODICE as a
//                               number ("01.3"; "01?" when CODICE is not a number)
//   USER_DOCUMENTI.lkCODICE_DOC integer: CODICE of the standard document with
//                               this row's ID_DOCUMENTO (null if there is none)
//   USER_DOCUMENTI.lkTITOLO_DOC text 150: its TITOLO (null if there is none)
// Field names are matched without regard to case.
//
// Errors: operations throw orv::Error (storage::EngineError for the engine's
// own failures) unless they say otherwise; handlers connected through
// orv::command() show them in the standard error box.

#include "data/CursorModel.h"
#include "storage/Database.h"
#include "storage/Query.h"
#include "storage/Table.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace orv {

// The case-file dialog TdlgUserProc, implemented by the user-interface layer.
// Its date and description boxes edit DATA_CREAZIONE and NOTE of the current
// row of Tdm::ttUserProc directly (the row is in insert or edit state while
// the dialog is shown); the data module posts or cancels by its result.
class CaseFileDialog {
public:
    virtual ~CaseFileDialog() = default;
    // The caption, set before each show.
    virtual void setCaption(const QString& caption) = 0;
    // The window, shown modally through orv::dialogs().exec(window()).
    // exec() returning Tdm::ResultOK ("&Salva e Esci") posts; anything else cancels.
    virtual QObject* window() = 0;
};

// The repair progress window TDlgDPDbOnProgress ("Attendere prego ..."), made
// for one repair inside the open check and destroyed after it.
class RepairProgressView {
public:
    virtual ~RepairProgressView() = default;
    virtual void show() = 0;                     // modeless
    virtual void setText(const QString& text) = 0; // LabInfo
    virtual void setPercent(int percent) = 0;    // ProgressGauge, 0..100
    virtual void close() = 0;
};
using RepairProgressFactory = std::function<std::unique_ptr<RepairProgressView>()>;

class Tdm : public QObject {
    Q_OBJECT
public:
    // Result of a modal window that means OK (QDialog::Accepted).
    static constexpr int ResultOK = 1;

    // Sets up the objects (names, indexes, links, lookups, calculated field);
    // opens nothing. The program then calls DataModuleCreate().
    explicit Tdm(QObject* parent = nullptr);
    ~Tdm() override;

    // The most recently created data module (the program has one), or nullptr.
    static Tdm* instance();

    // --- The parts, by their names ------------------------------------------
    storage::Database* const DataBase;   // "DB_KELMA"
    storage::Table* const ttProcedure;   // ST_PROCEDURE.DAT
    storage::Table* const ttDocumenti;   // ST_DOCUMENTI.DAT
    storage::Table* const ttUserProc;    // USER_PROCEDURE.DAT
    storage::Table* const ttUserDoc;     // USER_DOCUMENTI.DAT
    storage::Query* const sysQr;         // statements returning no rows
    // Data sources: item models over the table objects' cursors. Columns:
    //   dsDocumenti: "#" (CALC_CAPITOLO, 40, bold), "Titolo del documento" (TITOLO, 500)
    //   dsUserProc:  "Data creazione" (DATA_CREAZIONE, 80, fixed),
    //                "Descrizione della pratica" (NOTE, 352, bold)
    //   dsUserDoc:   "#" (lkCODICE_DOC, 20, bold, fixed), "Data modifica" (DATA_MODIFICA, 73),
    //                "Documento" (lkTITOLO_DOC, 270), "Note" (NOTE, 261, bold)
    //   dsProcedure: "Codice" (CODICE), "Procedura" (DESCR); no list shows it.
    CursorModel* const dsProcedure;
    CursorModel* const dsDocumenti;
    CursorModel* const dsUserProc;
    CursorModel* const dsUserDoc;

    // --- Hooks set by the user-interface layer ------------------------------
    void setCaseFileDialog(CaseFileDialog* dialog);   // not owned; needed by NewCaseFile/ModifyCaseFile
    void setRepairProgressFactory(RepairProgressFactory factory); // none: repairs without a window
    // Called with true before and false after a long operation (hourglass cursor).
    void setBusyHook(std::function<void(bool busy)> hook);

    // --- Opening and closing ------------------------------------------------
    // Closes the connection if open, points it at dataFolder(), opens it and
    // runs OpenTables().
    void DataModuleCreate();
    // Opens ST_PROCEDURE, ST_DOCUMENTI, USER_DOCUMENTI, USER_PROCEDURE in this
    // order, each through OpenTableWithRepair; an error for one table leaves
    // the tables after it closed.
    void OpenTables();
    // Closes ST_PROCEDURE, ST_DOCUMENTI, USER_PROCEDURE, USER_DOCUMENTI.
    void CloseTables();
    // The open check. Opens `table` (closed, database and name set). On an
    // engine error with a damage code it repairs the table behind the repair
    // progress window, shows "Attenzione la Tabella ..." if the repair fails,
    // and opens it again (that error is not caught). Any other engine error
    // leaves the table closed, silently. Non-engine errors are rethrown.
    void OpenTableWithRepair(storage::Table* table);

    // --- Large objects --------------------------------------------------------
    // Replaces a blob field of a row in edit or insert state with the whole
    // file; returns the new size. The caller posts. File errors are thrown.
    qint64 LoadBlobFromFile(storage::Field field, const QString& fileName);
    // Writes a blob field of the current row to the file (created or
    // replaced; an empty field gives an empty file). File errors are thrown.
    void SaveBlobToFile(storage::Field field, const QString& fileName);

    // Calculation event of ttDocumenti: sets CALC_CAPITOLO of `row`. Never throws.
    void ttDocumentiCalcFields(storage::Row& row);

    // --- Case files -------------------------------------------------------------
    // "&Nuova pratica": appends a case file (DATA_CREAZIONE today), shows the
    // case-file dialog captioned DESCR + " - Nuova pratica"; on OK posts it and
    // copies every standard document of the current procedure into it, in list
    // order (USER_DOC = BODY byte for byte, DATA_MODIFICA today, NOTE empty),
    // processing pending messages after each; on anything else cancels and
    // writes nothing. The standard document list returns to where it was.
    void NewCaseFile();
    // "&Modifica pratica": nothing on an empty list; otherwise the dialog
    // captioned "Modifica pratica" on the current row in edit state; posts on
    // OK, cancels otherwise.
    void ModifyCaseFile();
    // "Elimina pratica": nothing on an empty list; otherwise asks (warning
    // icon, Yes/No, No default; caption "Elimina pratica - " + nodeText) and
    // runs DeleteCaseFile() on Yes. Returns true when it was asked and confirmed.
    bool ConfirmDeleteCaseFile(const QString& nodeText);
    // Deletes the current case file's documents (SQL through sysQr), then the
    // case file. A failure shows "Si è verificato un errore durante
    // l'eliminazione." (caption "Attenzione", error icon) and is not rethrown.
    void DeleteCaseFile();

    // --- Case-file documents ----------------------------------------------------
    // "Note documento": nothing on an empty list; otherwise the input box
    // (caption lkCODICE_DOC + " - " + lkTITOLO_DOC, prompt "Nota", the current
    // NOTE); a different text (case-sensitive) is written, cut to 100 characters.
    void EditDocumentNote();
    // "Ripristina documento": asks (information icon, Yes/No, No default;
    // caption "Ripristino documento - " + title), also on an empty list; on Yes
    // copies the standard document's BODY into the current USER_DOC, keeping
    // DATA_MODIFICA and NOTE. Nothing happens if the standard document is gone.
    void RestoreDocument(const QString& title);

    // "Richiedi assistenza...": an e-mail to `address` opened in the mail
    // client, with the authority's heading as the sender's name.
    void SendSupportRequest(const QString& address);

    // --- Writing an edited working file back -------------------------------------
    // Both replace the field with the whole working file and post. If anything
    // fails (unreadable file, failed post) the row's edit is cancelled, so the
    // archive keeps its previous body, and an orv::Error is thrown whose text
    // names the working file that still holds the edited text.
    //
    // The current case-file document: USER_DOC = file, DATA_MODIFICA = today.
    void WriteBackCaseDocument(const QString& workingFile);
    // The current standard document becomes the new default: BODY = file.
    void WriteBackStandardDocument(const QString& workingFile);

    // "dd/MM/yyyy"; an invalid (null) date gives the zero date "30/12/1899".
    static QString formatDate(const QDate& date);

private:
    void copyBody(storage::Field target);
    void writeBack(storage::Table* table, const QString& blobField, bool stampToday,
                   const QString& workingFile);
    void setBusy(bool busy);

    CaseFileDialog* m_caseFileDialog = nullptr;
    RepairProgressFactory m_repairProgressFactory;
    std::function<void(bool)> m_busyHook;
};

} // namespace orv
