// orvanta-admin convert: document conversion through the editor's own code.
#include "Commands.h"

#include "editor/format/DocumentIO.h"

#include <cstdio>

namespace {

int runConvert(const QStringList& args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "Uso: orvanta-admin convert ORIGINE DESTINAZIONE\n");
        return 2;
    }
    orv::doc::TxDocument doc;
    try {
        orv::doc::readAnyFile(doc, args[0]);
    } catch (const orv::Error& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[0]), qPrintable(e.message()));
        return 1;
    }
    try {
        orv::doc::writeAnyFile(doc, args[1]);
    } catch (const orv::Error& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(e.message()));
        return 1;
    }
    return 0;
}

const AdminCommand reg{"convert", "ORIGINE DESTINAZIONE",
                       "converte un documento tra i formati .rtf, .txt, .doc, .docx e il formato proprio "
                       "(ogni altra estensione), secondo le estensioni dei nomi",
                       &runConvert};

} // namespace
