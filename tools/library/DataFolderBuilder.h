#pragma once
// Writes a complete data folder from the library's source: the four tables
// (standard library rows filled, the user's tables empty) and the rules
// document "Regolamento.txm".

#include "LibrarySource.h"

#include "editor/format/TxDocument.h"

#include <QByteArray>
#include <QString>

namespace orv::library {

// The stored form of a document: the 30-byte header, then the own format.
QByteArray documentBytes(const doc::TxDocument& doc);

// Builds the document of one source body.
QByteArray buildDocument(const QString& markup, const QString& fileForErrors);

// Refuses (orv::Error) an output folder that exists and is not empty, so a
// data folder holding the user's work is never touched. The folder is built
// under a temporary name beside the target and renamed at the end, so a
// failed build leaves no half data folder behind.
void buildDataFolder(const LibrarySource& lib, const QString& outputDir);

inline const QString kRegolamentoFile = QStringLiteral("Regolamento.txm");

} // namespace orv::library
