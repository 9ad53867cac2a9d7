// Arbitrary bytes as a table's three files: opening, reading, checking and
// repairing must end in an engine error or success, never a crash or a hang.
//
// Input: u32 length of the .DAT, u32 length of the .IDX, the .DAT bytes, the
// .IDX bytes, and the rest as the .BLB (lengths are clamped to the input).
#include "storage/EngineError.h"
#include "storage/Repair.h"
#include "storage/Table.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>

using namespace orv::storage;

namespace {

quint32 readU32(const uint8_t* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

void put(const QString& path, const uint8_t* data, size_t n)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char*>(data), qint64(n));
}

void readAll(const QString& folder)
{
    Table t;
    t.setFolder(folder);
    t.setTableName("F.DAT");
    t.open();
    const TableDef def = t.definition();
    for (t.first(); !t.eof(); t.next()) {
        for (const FieldDef& f : def.fields) {
            Field field = t.fieldByName(f.name);
            if (f.type == FieldType::Blob) {
                QBuffer sink;
                sink.open(QIODevice::WriteOnly);
                field.saveToDevice(sink);
            } else {
                (void)field.asString();
            }
        }
    }
    for (int i = 0; i < t.recordCount(); ++i)
        (void)t.rowAt(i);
    // Writing to a damaged table must fail cleanly too. An empty row may
    // meet one already there (an earlier run appended it): that is no fault.
    t.append();
    try {
        t.post();
    } catch (const EngineError& e) {
        if (e.code() != code::KeyViolation)
            throw;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString folder = dir.path();
    size_t datLen = 0, idxLen = 0;
    if (size >= 8) {
        datLen = readU32(data);
        idxLen = readU32(data + 4);
        data += 8;
        size -= 8;
    }
    datLen = std::min(datLen, size);
    idxLen = std::min(idxLen, size - datLen);
    for (const char* ext : {".DAT", ".IDX", ".BLB", ".rdat", ".ridx", ".rblb", ".rswap", ".tidx"})
        QFile::remove(folder + "/F" + ext);
    put(folder + "/F.DAT", data, datLen);
    put(folder + "/F.IDX", data + datLen, idxLen);
    put(folder + "/F.BLB", data + datLen + idxLen, size - datLen - idxLen);

    try {
        readAll(folder);
    } catch (const EngineError&) {
    }
    try {
        checkTable(folder, "F.DAT");
    } catch (const EngineError&) {
    }
    try {
        repairTable(folder, "F.DAT");
        // A repaired table is intact.
        checkTable(folder, "F.DAT");
        readAll(folder);
    } catch (const EngineError& e) {
        // Only an unreadable schema may make repair give up.
        if (e.code() != code::HeaderCorrupt && e.code() != code::TableNotFound)
            throw;
    }
    return 0;
}
