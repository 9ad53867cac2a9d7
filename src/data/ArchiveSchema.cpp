#include "data/ArchiveSchema.h"

#include "storage/EngineError.h"

namespace orv::schema {

using storage::FieldDef;
using storage::FieldType;
using storage::IndexDef;
using storage::TableDef;

TableDef procedureDef()
{
    TableDef def;
    def.fields = {
        {QStringLiteral("CODICE"), FieldType::Text, kCodiceWidth},
        {QStringLiteral("DESCR"), FieldType::Text, kDescrWidth},
        {QStringLiteral("TIPO_APPALTO"), FieldType::Text, 1},
        {QStringLiteral("SOGLIA"), FieldType::Text, 1},
    };
    def.primaryKey = {QStringLiteral("CODICE")};
    return def;
}

TableDef documentiDef()
{
    TableDef def;
    def.fields = {
        {QStringLiteral("ID_DOCUMENTO"), FieldType::AutoInc, 0},
        {QStringLiteral("CODICE_PROCEDURA"), FieldType::Text, kCodiceWidth},
        {QStringLiteral("CODICE"), FieldType::Text, kDocCodiceWidth},
        {QStringLiteral("TITOLO"), FieldType::Text, kTitoloWidth},
        {QStringLiteral("BODY"), FieldType::Blob, 0},
    };
    def.primaryKey = {QStringLiteral("ID_DOCUMENTO")};
    def.indexes = {{kCodiceProceduraIdx, {QStringLiteral("CODICE_PROCEDURA"), QStringLiteral("CODICE")}}};
    return def;
}

TableDef userProcDef()
{
    TableDef def;
    def.fields = {
        {QStringLiteral("ID_USER_PROCEDURA"), FieldType::AutoInc, 0},
        {QStringLiteral("ID_PROCEDURA"), FieldType::Text, kCodiceWidth},
        {QStringLiteral("DATA_CREAZIONE"), FieldType::Date, 0},
        {QStringLiteral("NOTE"), FieldType::Text, kUserProcNoteWidth},
    };
    def.primaryKey = {QStringLiteral("ID_USER_PROCEDURA")};
    def.indexes = {{kIdProceduraIdx, {QStringLiteral("ID_PROCEDURA"), QStringLiteral("ID_USER_PROCEDURA")}}};
    return def;
}

TableDef userDocDef()
{
    TableDef def;
    def.fields = {
        {QStringLiteral("ID_USER_DOCUMENTO"), FieldType::AutoInc, 0},
        {QStringLiteral("ID_USER_PROCEDURA"), FieldType::Integer, 0},
        {QStringLiteral("USER_DOC"), FieldType::Blob, 0},
        {QStringLiteral("DATA_MODIFICA"), FieldType::Date, 0},
        {QStringLiteral("NOTE"), FieldType::Text, kUserDocNoteWidth},
        {QStringLiteral("ID_DOCUMENTO"), FieldType::Integer, 0},
    };
    def.primaryKey = {QStringLiteral("ID_USER_DOCUMENTO")};
    def.indexes = {{kIdProceduraIdx, {QStringLiteral("ID_USER_PROCEDURA"), QStringLiteral("ID_USER_DOCUMENTO")}}};
    return def;
}

QList<ArchiveTable> archiveTables()
{
    return {
        {kProcedureTable, procedureDef()},
        {kDocumentiTable, documentiDef()},
        {kUserDocTable, userDocDef()},
        {kUserProcTable, userProcDef()},
    };
}

void createArchive(const QString& folder)
{
    const QList<ArchiveTable> tables = archiveTables();
    for (const ArchiveTable& t : tables) {
        if (storage::tableExists(folder, t.fileName))
            throw storage::EngineError(storage::code::TableExists,
                                       QStringLiteral("La tabella \"%1\" esiste già.").arg(t.fileName));
    }
    QList<QString> created;
    try {
        for (const ArchiveTable& t : tables) {
            storage::createTable(folder, t.fileName, t.def);
            created << t.fileName;
        }
    } catch (...) {
        // Leave no half-made archive behind.
        for (const QString& name : created) {
            try {
                storage::dropTable(folder, name);
            } catch (...) {
            }
        }
        throw;
    }
}

} // namespace orv::schema
