#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace orv::storage {

// What a repair kept and what it could not.
struct RepairReport {
    qint64 rowsKept = 0;
    qint64 rowsDropped = 0;   // damaged row records that could not be read back
    qint64 blobsKept = 0;
    qint64 blobsDropped = 0;  // damaged large objects, emptied in their rows
    QStringList notes;        // one line per problem met (Italian)
};

using RepairProgress = std::function<void(quint16 percent)>;

// Repairs the closed table `fileName` ("X.DAT" or "SUB\\X.DAT") of `folder`
// in place.
//
// Algorithm: take the table's exclusive lock (TableLocked if in use); read the
// schema from the first intact copy (header, mirror header, index file, blob
// file); scan the row log from the start, keeping the last intact version of
// each row and honouring deletions, skipping damaged records up to the next
// intact one; copy every row's large objects, checking each block, into a
// fresh blob file (a damaged one is emptied and counted); write fresh .DAT,
// .BLB and .IDX files beside the old ones, sync them, then mark the swap and
// rename them over the old files. An interrupted swap is completed at the next
// open, so the table is never left worse than before. The auto-increment
// counters never go back.
//
// progress gets 0 first, then rising percentages, then 100. Throws EngineError
// (TableNotFound, TableLocked, HeaderCorrupt when no schema copy survives,
// WriteFailed).
RepairReport repairTable(const QString& folder, const QString& fileName,
                         const RepairProgress& progress = {});

// Reads every part of a closed table (headers, every row record, every large
// object of the live rows, the index file against the rows) and throws the
// EngineError of the first problem found; returns normally when intact.
void checkTable(const QString& folder, const QString& fileName);

} // namespace orv::storage
