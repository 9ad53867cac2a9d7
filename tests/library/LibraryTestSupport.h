#pragma once
#include "editor/format/TxDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace orv::test {

// One merge field found in a document: its visible text and properties.
struct FoundField {
    int id = 0;
    QString text;
    QString tag;
    int kind = 0;
    bool changeable = true;
    bool deletable = true;
};

// Every merge field of a QTextDocument, tables included, in document order.
QList<FoundField> fieldsOf(const QTextDocument& doc);

// Loads stored document bytes (30-byte header + own format); throws on error.
void loadStored(doc::TxDocument& doc, const QByteArray& bytes);

} // namespace orv::test
