#pragma once
// The one definition of the archive's four tables: their file names, fields,
// widths and indexes. The program never creates tables; the standard-library
// builder and the test fixtures create them through createArchive().

#include "storage/TableDef.h"

#include <QList>
#include <QString>

namespace orv::schema {

// Table file names, as the table objects name them.
inline const QString kProcedureTable = QStringLiteral("ST_PROCEDURE.DAT");
inline const QString kDocumentiTable = QStringLiteral("ST_DOCUMENTI.DAT");
inline const QString kUserProcTable = QStringLiteral("USER_PROCEDURE.DAT");
inline const QString kUserDocTable = QStringLiteral("USER_DOCUMENTI.DAT");

// Secondary indexes selected by name.
inline const QString kCodiceProceduraIdx = QStringLiteral("codice_procedura_idx");
inline const QString kIdProceduraIdx = QStringLiteral("id_procedura_idx");

// Text widths that other modules check input against.
constexpr int kCodiceWidth = 2;         // ST_PROCEDURE.CODICE, CODICE_PROCEDURA, ID_PROCEDURA
constexpr int kDescrWidth = 80;         // ST_PROCEDURE.DESCR
constexpr int kDocCodiceWidth = 10;     // ST_DOCUMENTI.CODICE
constexpr int kTitoloWidth = 150;       // ST_DOCUMENTI.TITOLO
constexpr int kUserProcNoteWidth = 255; // USER_PROCEDURE.NOTE
constexpr int kUserDocNoteWidth = 100;  // USER_DOCUMENTI.NOTE
constexpr int kCalcCapitoloWidth = 5;   // calculated ST_DOCUMENTI.CALC_CAPITOLO

// ST_PROCEDURE: CODICE (primary key), DESCR, TIPO_APPALTO, SOGLIA.
storage::TableDef procedureDef();

// ST_DOCUMENTI: ID_DOCUMENTO (auto-increment, primary), CODICE_PROCEDURA,
// CODICE, TITOLO, BODY. Index codice_procedura_idx = (CODICE_PROCEDURA,
// CODICE): the engine sorts a text holding a decimal number by its value, so
// a procedure's documents come in document-number order ("2" before "10",
// "003" beside "3"), and non-numeric codes after them.
storage::TableDef documentiDef();

// USER_PROCEDURE: ID_USER_PROCEDURA (auto-increment, primary), ID_PROCEDURA,
// DATA_CREAZIONE, NOTE. Index id_procedura_idx = (ID_PROCEDURA,
// ID_USER_PROCEDURA): a procedure's case files in the order they were made.
storage::TableDef userProcDef();

// USER_DOCUMENTI: ID_USER_DOCUMENTO (auto-increment, primary),
// ID_USER_PROCEDURA, USER_DOC, DATA_MODIFICA, NOTE, ID_DOCUMENTO. Index
// id_procedura_idx = (ID_USER_PROCEDURA, ID_USER_DOCUMENTO): a case file's
// documents in the order they were copied, which is the standard list's order.
storage::TableDef userDocDef();

struct ArchiveTable {
    QString fileName;
    storage::TableDef def;
};
// The four tables, in the order the data module opens them.
QList<ArchiveTable> archiveTables();

// Creates the four empty tables in `folder` (which must exist). Throws
// storage::EngineError TableExists when one of them is already there; the
// tables created before the failure are dropped again.
void createArchive(const QString& folder);

} // namespace orv::schema
