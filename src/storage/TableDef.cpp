#include "storage/TableDef.h"

#include "storage/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orv::storage {

using namespace detail;

void createTable(const QString& folder, const QString& fileName, const TableDef& def)
{
    const TablePaths p = tablePaths(folder, fileName);
    if (QFileInfo::exists(p.dat))
        throw EngineError(code::TableExists, QStringLiteral("La tabella %1 esiste già.").arg(fileName));
    HeaderInfo h;
    h.schema = schemaFromDef(def);
    h.generation = newGeneration();
    if (!QDir().mkpath(p.folderOfFiles))
        throw EngineError(code::WriteFailed, QStringLiteral("Impossibile creare la cartella %1.").arg(p.folderOfFiles));
    // The .DAT comes last: its presence is what makes the table exist.
    writeFileDurably(p.blb, encodeHeaderBlock(kBlbMagic, h), fileName);
    IndexState st;
    st.generation = h.generation;
    writeFileDurably(p.idx, encodeIndexFile(st, h.schema, {}, {}), fileName);
    const QByteArray block = encodeHeaderBlock(kDatMagic, h);
    writeFileDurably(p.dat, block + block, fileName);
    syncFolder(p.folderOfFiles);
}

bool tableExists(const QString& folder, const QString& fileName)
{
    return QFileInfo::exists(tablePaths(folder, fileName).dat);
}

void dropTable(const QString& folder, const QString& fileName)
{
    const TablePaths p = tablePaths(folder, fileName);
    if (Store::isOpenInProcess(p))
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(fileName));
    QFile::remove(p.dat);
    QFile::remove(p.idx);
    QFile::remove(p.blb);
}

} // namespace orv::storage
