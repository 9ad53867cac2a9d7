#include "StorageFixture.h"

#include <QRandomGenerator>

namespace orv::storage::test {

TableDef documentsDef()
{
    TableDef d;
    d.fields = {{"ID_DOCUMENTO", FieldType::AutoInc, 0},
                {"CODICE_PROCEDURA", FieldType::Text, 2},
                {"CODICE", FieldType::Text, 10},
                {"TITOLO", FieldType::Text, 150},
                {"BODY", FieldType::Blob, 0}};
    d.primaryKey = {"ID_DOCUMENTO"};
    d.indexes = {{"codice_procedura_idx", {"CODICE_PROCEDURA", "CODICE"}}};
    return d;
}

TableDef userDocumentsDef()
{
    TableDef d;
    d.fields = {{"ID_USER_DOCUMENTO", FieldType::AutoInc, 0},
                {"ID_USER_PROCEDURA", FieldType::Integer, 0},
                {"USER_DOC", FieldType::Blob, 0},
                {"DATA_MODIFICA", FieldType::Date, 0},
                {"NOTE", FieldType::Text, 100},
                {"ID_DOCUMENTO", FieldType::Integer, 0}};
    d.primaryKey = {"ID_USER_DOCUMENTO"};
    d.indexes = {{"id_procedura_idx", {"ID_USER_PROCEDURA", "ID_USER_DOCUMENTO"}}};
    return d;
}

TableDef proceduresDef()
{
    TableDef d;
    d.fields = {{"CODICE", FieldType::Text, 2},
                {"DESCR", FieldType::Text, 60},
                {"TIPO_APPALTO", FieldType::Text, 1},
                {"SOGLIA", FieldType::Text, 1}};
    d.primaryKey = {"CODICE"};
    return d;
}

TableDef userProceduresDef()
{
    TableDef d;
    d.fields = {{"ID_USER_PROCEDURA", FieldType::AutoInc, 0},
                {"ID_PROCEDURA", FieldType::Text, 2},
                {"DATA_CREAZIONE", FieldType::Date, 0},
                {"NOTE", FieldType::Text, 255}};
    d.primaryKey = {"ID_USER_PROCEDURA"};
    d.indexes = {{"id_procedura_idx", {"ID_PROCEDURA", "ID_USER_PROCEDURA"}}};
    return d;
}

QByteArray patternBytes(qint64 size, quint32 seed)
{
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator g(seed);
    for (qint64 i = 0; i < size; ++i)
        b[i] = char(g.generate() >> 24);
    return b;
}

} // namespace orv::storage::test
