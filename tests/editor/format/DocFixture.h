#pragma once
// Small documents that hold one feature each, and one that holds them all,
// shared by the format tests, the LibreOffice check and the benchmark.
#include "editor/format/TxDocument.h"

#include <QByteArray>
#include <QTextCursor>

namespace orv::test {

QByteArray pngPicture(int w = 8, int h = 6, QRgb colour = 0xff2060a0);
QByteArray jpegPicture(int w = 16, int h = 12);

// Appends a merge field with the given visible text.
void insertField(QTextCursor& c, int id, const QString& data, const QString& text, int kind = 16,
                 bool changeable = false, bool deletable = false);

// A page with text, a 3x3 table with a merged cell, a picture, two fields
// (COMUNE = "Bellavista", PROVINCIA = "Verdemare") and the footer
// "Piede di pagina prova", spread over more than one page.
void buildShowcase(doc::TxDocument& doc, int pages = 2);

} // namespace orv::test
