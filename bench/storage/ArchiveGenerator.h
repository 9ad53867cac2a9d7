#pragma once
// Builds the archive as it looks after years of use: procedures, standard
// documents, case files and their documents with document bodies. Shared by
// the benchmarks (link orv_bench_archive, #include "ArchiveGenerator.h").
#include "storage/TableDef.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace orv::bench {

struct ArchiveScale {
    int procedures = 17;
    int standardDocuments = 150;
    int caseFiles = 3000;
    int caseDocuments = 45000;
    int bodyBytes = 30 * 1024;

    // The full ten-year archive times `factor` for case files and their
    // documents (procedures and standard documents stay whole).
    static ArchiveScale scaled(double factor);
    // From ORVANTA_BENCH_SCALE (a factor, default 0.02 for quick runs).
    static ArchiveScale fromEnvironment();
};

// A document body: a 30-byte header with tag 23, then text, `size` bytes in
// all, different for each seed.
QByteArray documentBody(int seed, int size);

// One row of each kind, in the order the generator makes them. The generator
// calls these so that other stores (SQLite) can be filled with the same rows.
struct ArchiveVisitor {
    std::function<void(const QString& code, const QString& descr, const QString& tipo, const QString& soglia)> procedure;
    std::function<void(qint64 id, const QString& procedure, const QString& code, const QString& title, const QByteArray& body)> document;
    std::function<void(qint64 id, const QString& procedure, int julianDay, const QString& note)> caseFile;
    std::function<void(qint64 id, qint64 caseFile, const QByteArray& body, int julianDay, const QString& note, qint64 documentId)> caseDocument;
};
void visitArchive(const ArchiveScale& scale, const ArchiveVisitor& v);

// Creates the four tables in `folder` (which must hold none of them) and
// fills them through the engine.
void generateArchive(const QString& folder, const ArchiveScale& scale);

} // namespace orv::bench
