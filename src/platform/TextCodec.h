#pragma once
#include <QByteArray>
#include <QString>

namespace orv {

// Bytes that are valid UTF-8 decode as UTF-8; anything else as Windows-1252,
// the code page of the files this program has always exchanged.
QString decodeUtf8OrWindows1252(const QByteArray& bytes);
QString decodeWindows1252(const QByteArray& bytes);
// Characters outside Windows-1252 become '?'.
QByteArray encodeWindows1252(const QString& text);
bool isValidUtf8(const QByteArray& bytes);

} // namespace orv
