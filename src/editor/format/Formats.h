#pragma once
// The readers and writers behind DocumentIO.h, one per format.
#include "editor/format/Content.h"
#include "editor/format/TxDocument.h"

namespace orv::doc::detail {

// Page values found in the data, 0 where the data give none.
struct ReadResult {
    Content content;
    PageSetup page{0, 0, 0, 0, 0, 0};
};

ReadResult readRtf(const QByteArray& data);
QByteArray writeRtf(const Content& content, const PageSetup& page);

ReadResult readPlainText(const QByteArray& data);
QByteArray writePlainText(const Content& content);

ReadResult readDocx(const QByteArray& data);
QByteArray writeDocx(const Content& content, const PageSetup& page);

// Old binary Word (OLE compound file) through the antiword program.
ReadResult readBinaryWord(const QByteArray& data);

// Words taken from the first bytes.
bool looksLikeRtf(const QByteArray& data);
bool looksLikeZip(const QByteArray& data);
bool looksLikeOle(const QByteArray& data);

} // namespace orv::doc::detail
