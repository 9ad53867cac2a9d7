#include "data/Tdm.h"

#include "data/ArchiveSchema.h"
#include "mail/SupportRequest.h"
#include "platform/EntityData.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/PendingMessages.h"
#include "platform/ProgramFolder.h"
#include "storage/EngineError.h"
#include "storage/Repair.h"

#include <QBuffer>
#include <QDir>

namespace orv {
namespace {

Tdm* g_instance = nullptr;

const QString kCalcCapitolo = QStringLiteral("CALC_CAPITOLO");
const QString kLkCodiceDoc = QStringLiteral("lkCODICE_DOC");
const QString kLkTitoloDoc = QStringLiteral("lkTITOLO_DOC");

storage::Table* makeTable(const QString& objectName, QObject* parent)
{
    auto* t = new storage::Table(parent);
    t->setObjectName(objectName);
    return t;
}

// Reading a field of the current row, empty when the range is empty: the
// restore question is asked even then.
QString currentText(storage::Table* t, const QString& field)
{
    if (!t->isOpen() || t->isEmpty())
        return QString();
    return t->currentRow().asString(field);
}

QDate currentDate(storage::Table* t, const QString& field)
{
    if (!t->isOpen() || t->isEmpty())
        return QDate();
    return t->currentRow().asDate(field);
}

bool isEmptyList(storage::Table* t)
{
    return !t->isOpen() || t->isEmpty();
}

} // namespace

Tdm::Tdm(QObject* parent)
    : QObject(parent),
      DataBase(new storage::Database(QStringLiteral("DB_KELMA"), this)),
      ttProcedure(makeTable(QStringLiteral("ttProcedure"), this)),
      ttDocumenti(makeTable(QStringLiteral("ttDocumenti"), this)),
      ttUserProc(makeTable(QStringLiteral("ttUserProc"), this)),
      ttUserDoc(makeTable(QStringLiteral("ttUserDoc"), this)),
      sysQr(new storage::Query(DataBase, this)),
      dsProcedure(new CursorModel(ttProcedure, QStringLiteral("CODICE"),
                                  {{QStringLiteral("Codice"), QStringLiteral("CODICE"), 40},
                                   {QStringLiteral("Procedura"), QStringLiteral("DESCR"), 300}},
                                  this)),
      dsDocumenti(new CursorModel(ttDocumenti, QStringLiteral("ID_DOCUMENTO"),
                                  {{QStringLiteral("#"), kCalcCapitolo, 40, true},
                                   {QStringLiteral("Titolo del documento"), QStringLiteral("TITOLO"), 500}},
                                  this)),
      dsUserProc(new CursorModel(ttUserProc, QStringLiteral("ID_USER_PROCEDURA"),
                                 {{QStringLiteral("Data creazione"), QStringLiteral("DATA_CREAZIONE"), 80, false,
                                   true, ColumnDef::Kind::Date},
                                  {QStringLiteral("Descrizione della pratica"), QStringLiteral("NOTE"), 352, true}},
                                 this)),
      dsUserDoc(new CursorModel(ttUserDoc, QStringLiteral("ID_USER_DOCUMENTO"),
                                {{QStringLiteral("#"), kLkCodiceDoc, 20, true, true},
                                 {QStringLiteral("Data modifica"), QStringLiteral("DATA_MODIFICA"), 73, false, false,
                                  ColumnDef::Kind::Date},
                                 {QStringLiteral("Documento"), kLkTitoloDoc, 270},
                                 {QStringLiteral("Note"), QStringLiteral("NOTE"), 261, true}},
                                this))
{
    setObjectName(QStringLiteral("dm"));
    sysQr->setObjectName(QStringLiteral("sysQr"));
    dsProcedure->setObjectName(QStringLiteral("dsProcedure"));
    dsDocumenti->setObjectName(QStringLiteral("dsDocumenti"));
    dsUserProc->setObjectName(QStringLiteral("dsUserProc"));
    dsUserDoc->setObjectName(QStringLiteral("dsUserDoc"));

    for (storage::Table* t : {ttProcedure, ttDocumenti, ttUserProc, ttUserDoc})
        t->setDatabase(DataBase);

    ttProcedure->setTableName(schema::kProcedureTable);

    ttDocumenti->setTableName(schema::kDocumentiTable);
    ttDocumenti->setIndexName(schema::kCodiceProceduraIdx);
    ttDocumenti->setMasterSource(ttProcedure, {QStringLiteral("CODICE")});
    ttDocumenti->addCalculatedField(kCalcCapitolo, storage::FieldType::Text, schema::kCalcCapitoloWidth);
    ttDocumenti->OnCalcFields = [this](storage::Row& row) { ttDocumentiCalcFields(row); };

    ttUserProc->setTableName(schema::kUserProcTable);
    ttUserProc->setIndexName(schema::kIdProceduraIdx);
    ttUserProc->setMasterSource(ttProcedure, {QStringLiteral("CODICE")});

    ttUserDoc->setTableName(schema::kUserDocTable);
    ttUserDoc->setIndexName(schema::kIdProceduraIdx);
    ttUserDoc->setMasterSource(ttUserProc, {QStringLiteral("ID_USER_PROCEDURA")});
    // Resolved through ttDocumenti, which holds the current procedure's
    // documents; a case file's documents always belong to that procedure.
    ttUserDoc->addLookupField({kLkCodiceDoc, storage::FieldType::Integer, 0, QStringLiteral("ID_DOCUMENTO"),
                               ttDocumenti, QStringLiteral("ID_DOCUMENTO"), QStringLiteral("CODICE")});
    ttUserDoc->addLookupField({kLkTitoloDoc, storage::FieldType::Text, schema::kTitoloWidth,
                               QStringLiteral("ID_DOCUMENTO"), ttDocumenti, QStringLiteral("ID_DOCUMENTO"),
                               QStringLiteral("TITOLO")});

    g_instance = this;
}

Tdm::~Tdm()
{
    if (g_instance == this)
        g_instance = nullptr;
    // The models must not react to the tables closing while the children go.
    for (CursorModel* ds : {dsProcedure, dsDocumenti, dsUserProc, dsUserDoc})
        ds->detach();
    try {
        CloseTables();
        DataBase->close();
    } catch (...) {
    }
    ttDocumenti->OnCalcFields = nullptr;
}

Tdm* Tdm::instance() { return g_instance; }

void Tdm::setCaseFileDialog(CaseFileDialog* dialog) { m_caseFileDialog = dialog; }
void Tdm::setRepairProgressFactory(RepairProgressFactory factory) { m_repairProgressFactory = std::move(factory); }
void Tdm::setBusyHook(std::function<void(bool)> hook) { m_busyHook = std::move(hook); }

void Tdm::setBusy(bool busy)
{
    if (m_busyHook)
        m_busyHook(busy);
}

QString Tdm::formatDate(const QDate& date)
{
    static const QDate zero(1899, 12, 30);
    return (date.isValid() ? date : zero).toString(QStringLiteral("dd/MM/yyyy"));
}

// --- Opening and closing -------------------------------------------------------

void Tdm::DataModuleCreate()
{
    if (DataBase->isOpen())
        DataBase->close();
    DataBase->setFolder(dataFolder());
    DataBase->open();
    OpenTables();
}

void Tdm::OpenTables()
{
    OpenTableWithRepair(ttProcedure);
    OpenTableWithRepair(ttDocumenti);
    OpenTableWithRepair(ttUserDoc);
    OpenTableWithRepair(ttUserProc);
}

void Tdm::CloseTables()
{
    ttProcedure->close();
    ttDocumenti->close();
    ttUserProc->close();
    ttUserDoc->close();
}

void Tdm::OpenTableWithRepair(storage::Table* table)
{
    try {
        table->open();
        return;
    } catch (const storage::EngineError& e) {
        if (!e.isDamage())
            return; // not damage (locked, missing...): the table stays closed, silently
    }

    std::unique_ptr<RepairProgressView> view = m_repairProgressFactory ? m_repairProgressFactory() : nullptr;
    if (view)
        view->setPercent(0);
    table->OnRepairProgress = [&view](storage::Table& sender, quint16 percent) {
        if (view) {
            view->setText(QStringLiteral(" Riparazione Tabella ") + sender.tableName() + QStringLiteral("..."));
            view->setPercent(percent);
        }
        processMessages();
    };
    auto finish = [&] {
        table->OnRepairProgress = nullptr;
        if (view)
            view->close();
        view.reset();
    };

    try {
        processMessages();
        if (view)
            view->show();
        table->setExclusive(true);
        try {
            table->repair();
        } catch (const std::exception&) {
            showMessage(QStringLiteral("Attenzione la Tabella \"%1\" risulta danneggiata\rin modo irreversibile "
                                       "oppure é in uso da un altro\rUtente. Utilizzare il menu Utilità e la "
                                       "funzione\rRiparazione archivi per ripristinarla.")
                            .arg(table->tableName()));
        }
        table->setExclusive(false);
        table->open();
    } catch (...) {
        table->setExclusive(false);
        finish();
        throw;
    }
    finish();
}

// --- Large objects -----------------------------------------------------------------

qint64 Tdm::LoadBlobFromFile(storage::Field field, const QString& fileName)
{
    return field.loadFromFile(fileName);
}

void Tdm::SaveBlobToFile(storage::Field field, const QString& fileName)
{
    field.saveToFile(fileName);
}

// --- Calculated field --------------------------------------------------------------

void Tdm::ttDocumentiCalcFields(storage::Row& row)
{
    try {
        const QString procedura = row.asString(QStringLiteral("CODICE_PROCEDURA"));
        QString capitolo;
        try {
            const qint64 numero = row.asInteger(QStringLiteral("CODICE"));
            capitolo = procedura + QLatin1Char('.') + QString::number(numero);
        } catch (const std::exception&) {
            capitolo = procedura + QLatin1Char('?');
        }
        row.setValue(kCalcCapitolo, capitolo.left(schema::kCalcCapitoloWidth));
    } catch (...) {
        // A calculation never raises: the cell stays empty.
    }
}

// --- Case files ---------------------------------------------------------------------

void Tdm::copyBody(storage::Field target)
{
    // Through a memory buffer, as the copy must be byte for byte whatever the field holds.
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ttDocumenti->fieldByName(QStringLiteral("BODY")).saveToDevice(buffer);
    buffer.seek(0);
    target.loadFromDevice(buffer);
}

void Tdm::NewCaseFile()
{
    if (!m_caseFileDialog)
        throw Error(QStringLiteral("La finestra della pratica non è disponibile."));

    m_caseFileDialog->setCaption(ttProcedure->fieldByName(QStringLiteral("DESCR")).asString() +
                                 QStringLiteral(" - ") + QStringLiteral("Nuova pratica"));
    ttUserProc->append();
    int result = 0;
    try {
        ttUserProc->fieldByName(QStringLiteral("DATA_CREAZIONE")).setAsDate(Clock::today());
        result = dialogs().exec(m_caseFileDialog->window());
    } catch (...) {
        ttUserProc->cancel();
        throw;
    }
    if (result != ResultOK) {
        ttUserProc->cancel();
        return;
    }
    ttUserProc->post();

    storage::Bookmark mark = ttDocumenti->bookmark();
    auto goBack = [&] {
        if (mark.isValid() && ttDocumenti->bookmarkValid(mark))
            ttDocumenti->gotoBookmark(mark);
        ttDocumenti->freeBookmark(mark);
        setBusy(false);
    };
    setBusy(true);
    try {
        ttDocumenti->first();
        while (!ttDocumenti->eof()) {
            ttUserDoc->append();
            try {
                ttUserDoc->fieldByName(QStringLiteral("DATA_MODIFICA")).setAsDate(Clock::today());
                copyBody(ttUserDoc->fieldByName(QStringLiteral("USER_DOC")));
                ttUserDoc->fieldByName(QStringLiteral("ID_DOCUMENTO"))
                    .setAsInteger(ttDocumenti->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger());
                ttUserDoc->post();
            } catch (...) {
                // The document that failed was never written; a pending insert
                // would otherwise be posted half-made by the next move.
                if (ttUserDoc->state() != storage::TableState::Browse)
                    ttUserDoc->cancel();
                throw;
            }
            ttDocumenti->next();
            processMessages();
        }
    } catch (...) {
        try {
            goBack();
        } catch (...) {
        }
        throw;
    }
    goBack();
}

void Tdm::ModifyCaseFile()
{
    if (isEmptyList(ttUserProc))
        return;
    if (!m_caseFileDialog)
        throw Error(QStringLiteral("La finestra della pratica non è disponibile."));
    m_caseFileDialog->setCaption(QStringLiteral("Modifica pratica"));
    ttUserProc->edit();
    int result = 0;
    try {
        result = dialogs().exec(m_caseFileDialog->window());
    } catch (...) {
        ttUserProc->cancel();
        throw;
    }
    if (result == ResultOK)
        ttUserProc->post();
    else
        ttUserProc->cancel();
}

bool Tdm::ConfirmDeleteCaseFile(const QString& nodeText)
{
    if (isEmptyList(ttUserProc))
        return false;
    const QString text = QStringLiteral("Attenzione la pratica selezionata:\r\rDescrizione: ") +
                         currentText(ttUserProc, QStringLiteral("NOTE")) + QStringLiteral("\r") +
                         QStringLiteral("Data creazione: ") +
                         formatDate(currentDate(ttUserProc, QStringLiteral("DATA_CREAZIONE"))) +
                         QStringLiteral("\r") + QStringLiteral("\r") +
                         QStringLiteral("sarà eliminata dall'archivio.") + QStringLiteral("\r") +
                         QStringLiteral("Eliminare la pratica?");
    const int answer = messageBox(QStringLiteral("Elimina pratica - ") + nodeText, text, MessageIcon::Warning,
                                  mbYes | mbNo, mbNo);
    if (answer != mbYes)
        return false;
    DeleteCaseFile();
    return true;
}

void Tdm::DeleteCaseFile()
{
    if (isEmptyList(ttUserProc))
        return;
    sysQr->close();
    sysQr->clearSql();
    try {
        const qint64 id = ttUserProc->fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
        sysQr->addSql(QStringLiteral("Delete From USER_DOCUMENTI"));
        sysQr->addSql(QStringLiteral("Where ID_USER_PROCEDURA = %1").arg(id));
        sysQr->execSql();
        ttUserProc->remove();
    } catch (const std::exception&) {
        messageBox(QStringLiteral("Attenzione"), QStringLiteral("Si è verificato un errore durante l'eliminazione."),
                   MessageIcon::Critical, mbOK, mbOK);
    }
    sysQr->close();
}

// --- Case-file documents --------------------------------------------------------------

void Tdm::EditDocumentNote()
{
    if (isEmptyList(ttUserDoc))
        return;
    const storage::Row row = ttUserDoc->currentRow();
    const QString note = row.asString(QStringLiteral("NOTE"));
    InputRequest request;
    request.caption = row.asString(kLkCodiceDoc) + QStringLiteral(" - ") + row.asString(kLkTitoloDoc);
    request.prompt = QStringLiteral("Nota");
    request.value = note;
    const QString text = dialogs().input(request).value_or(note);
    if (text == note)
        return;
    ttUserDoc->edit();
    ttUserDoc->fieldByName(QStringLiteral("NOTE")).setAsString(text.left(schema::kUserDocNoteWidth));
    ttUserDoc->post();
}

void Tdm::SendSupportRequest(const QString& address)
{
    mail::sendSupportRequest(address, entityHeading());
}

void Tdm::RestoreDocument(const QString& title)
{
    const QString text =
        QStringLiteral("Attenzione il documento selezionato:\r\rNumero Doc.: ") + currentText(ttUserDoc, kLkCodiceDoc) +
        QStringLiteral("\r") + QStringLiteral("Documento: ") + currentText(ttUserDoc, kLkTitoloDoc) +
        QStringLiteral("\r") + QStringLiteral("Data modifica: ") +
        formatDate(currentDate(ttUserDoc, QStringLiteral("DATA_MODIFICA"))) + QStringLiteral("\"") +
        QStringLiteral("\r") + QStringLiteral("\r") +
        QStringLiteral("sarà ripristinato con il rispettivo documento della modulistica generale.") +
        QStringLiteral("\r") + QStringLiteral("Sostituire il documento?");
    const int answer = messageBox(QStringLiteral("Ripristino documento - ") + title, text, MessageIcon::Information,
                                  mbYes | mbNo, mbNo);
    if (answer != mbYes)
        return;
    if (isEmptyList(ttUserDoc))
        return;
    const qint64 idDocumento = ttUserDoc->fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger();
    if (!ttDocumenti->locate(QStringLiteral("ID_DOCUMENTO"), idDocumento))
        return;
    ttUserDoc->edit();
    try {
        copyBody(ttUserDoc->fieldByName(QStringLiteral("USER_DOC")));
        ttUserDoc->post();
    } catch (...) {
        // A half-loaded body must not be posted by a later move.
        if (ttUserDoc->state() != storage::TableState::Browse)
            ttUserDoc->cancel();
        throw;
    }
}

// --- Write-back -----------------------------------------------------------------------

void Tdm::writeBack(storage::Table* table, const QString& blobField, bool stampToday, const QString& workingFile)
{
    try {
        table->edit();
        LoadBlobFromFile(table->fieldByName(blobField), workingFile);
        if (stampToday)
            table->fieldByName(QStringLiteral("DATA_MODIFICA")).setAsDate(Clock::today());
        table->post();
    } catch (const std::exception& e) {
        int code = 0;
        if (const auto* oe = dynamic_cast<const Error*>(&e))
            code = oe->code();
        try {
            if (table->state() != storage::TableState::Browse)
                table->cancel();
        } catch (...) {
        }
        throw Error(QStringLiteral("Il documento modificato non è stato salvato nell'archivio:\r%1\r\r"
                                   "Il testo modificato è ancora nel file di lavoro \"%2\"; "
                                   "l'archivio conserva il documento precedente.")
                        .arg(errorText(e), QDir::toNativeSeparators(workingFile)),
                    code);
    }
}

void Tdm::WriteBackCaseDocument(const QString& workingFile)
{
    writeBack(ttUserDoc, QStringLiteral("USER_DOC"), true, workingFile);
}

void Tdm::WriteBackStandardDocument(const QString& workingFile)
{
    writeBack(ttDocumenti, QStringLiteral("BODY"), false, workingFile);
}

} // namespace orv
