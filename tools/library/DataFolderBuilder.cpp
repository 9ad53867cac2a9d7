#include "DataFolderBuilder.h"

#include "Markup.h"

#include "data/ArchiveSchema.h"
#include "editor/format/DocumentIO.h"
#include "platform/Error.h"
#include "storage/Database.h"
#include "storage/Table.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace orv::library {

QByteArray documentBytes(const doc::TxDocument& doc)
{
    return doc::encodeHeader(doc.page) + doc::save(doc, doc::OwnFormat);
}

QByteArray buildDocument(const QString& markup, const QString& fileForErrors)
{
    doc::TxDocument doc;
    markupToDocument(markup, doc, fileForErrors);
    return documentBytes(doc);
}

namespace {

void writeTables(const LibrarySource& lib, const QString& folder)
{
    schema::createArchive(folder);
    storage::Database db(QStringLiteral("DB_LIBRARY"));
    db.setFolder(folder);
    db.open();

    storage::Table proc;
    proc.setDatabase(&db);
    proc.setTableName(schema::kProcedureTable);
    proc.open();
    storage::Table docs;
    docs.setDatabase(&db);
    docs.setTableName(schema::kDocumentiTable);
    docs.open();

    for (const SourceProcedure& p : lib.procedures) {
        proc.append();
        proc.fieldByName(QStringLiteral("CODICE")).setAsString(p.codice);
        proc.fieldByName(QStringLiteral("DESCR")).setAsString(p.descr);
        proc.fieldByName(QStringLiteral("TIPO_APPALTO")).setAsString(p.tipoAppalto);
        proc.fieldByName(QStringLiteral("SOGLIA")).setAsString(p.soglia);
        proc.post();
        for (const SourceDocument& d : p.documents) {
            QByteArray body = buildDocument(d.markup, d.path);
            QBuffer buf(&body);
            buf.open(QIODevice::ReadOnly);
            docs.append();
            docs.fieldByName(QStringLiteral("CODICE_PROCEDURA")).setAsString(p.codice);
            docs.fieldByName(QStringLiteral("CODICE")).setAsString(QString::number(d.codice));
            docs.fieldByName(QStringLiteral("TITOLO")).setAsString(d.titolo);
            docs.fieldByName(QStringLiteral("BODY")).loadFromDevice(buf);
            docs.post();
        }
    }
    db.close();
}

void writeRegolamento(const LibrarySource& lib, const QString& folder)
{
    doc::TxDocument doc;
    markupToDocument(lib.regolamentoMarkup, doc, QStringLiteral("Regolamento.txt"));
    doc::saveDocumentFile(doc, QDir(folder).filePath(kRegolamentoFile));
}

} // namespace

void buildDataFolder(const LibrarySource& lib, const QString& outputDir)
{
    const QFileInfo target(outputDir);
    if (target.exists()) {
        if (!target.isDir())
            throw Error(QStringLiteral("%1 esiste e non è una cartella").arg(outputDir));
        if (!QDir(outputDir).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            throw Error(QStringLiteral("La cartella %1 non è vuota: i dati esistenti non vengono sovrascritti")
                            .arg(outputDir));
    }
    const QString parent = target.absolutePath();
    if (!QDir().mkpath(parent))
        throw Error(QStringLiteral("Impossibile creare la cartella %1").arg(parent));
    const QString work = QDir(parent).filePath(target.fileName() + QStringLiteral(".in-costruzione"));
    QDir(work).removeRecursively();
    if (!QDir().mkpath(work))
        throw Error(QStringLiteral("Impossibile creare la cartella %1").arg(work));
    try {
        writeTables(lib, work);
        writeRegolamento(lib, work);
    } catch (...) {
        QDir(work).removeRecursively();
        throw;
    }
    if (target.exists() && !QDir().rmdir(outputDir)) {
        QDir(work).removeRecursively();
        throw Error(QStringLiteral("Impossibile sostituire la cartella vuota %1").arg(outputDir));
    }
    if (!QDir().rename(work, outputDir)) {
        QDir(work).removeRecursively();
        throw Error(QStringLiteral("Impossibile rinominare %1 in %2").arg(work, outputDir));
    }
}

} // namespace orv::library
