#include "editor/format/Formats.h"
#include "platform/Error.h"
// Formats being written; each moves to its own file.
namespace orv::doc::detail {
namespace { [[noreturn]] void pending() { throw Error(QStringLiteral("Formato non ancora disponibile")); } }
ReadResult readDocx(const QByteArray&) { pending(); }
QByteArray writeDocx(const Content&, const PageSetup&) { pending(); }
ReadResult readBinaryWord(const QByteArray&) { pending(); }
}
