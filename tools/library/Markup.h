#pragma once
// Turns the library's expanded body markup (grammar in library/README.md)
// into the editor's document model: headings, paragraphs with alignment,
// emphasis, tables, page breaks, the page footer and merge fields.

#include "editor/format/TxDocument.h"

#include <QString>
#include <QStringList>

namespace orv::library {

// The kind code and the data tags of the authority's merge fields.
constexpr int kMergeFieldKind = 16;
const QStringList& mergeFieldKeys();

// Fills `doc` (body and footer) from `markup`. Throws orv::Error with
// `fileForErrors` and a line number on a malformed table.
void markupToDocument(const QString& markup, doc::TxDocument& doc, const QString& fileForErrors = {});

} // namespace orv::library
