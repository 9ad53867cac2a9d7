// orvanta-library LIBRARY_DIR OUTPUT_DATA_DIR
// Builds the data folder of a new installation from the library's source.
#include "LibrarySource.h"
#include "Markup.h"

#include "platform/Error.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Text layout needs a GUI application but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--testo")) {
        // Review aid: prints one document (PP.N) as plain text.
        try {
            const auto lib = orv::library::readLibrary(args[2]);
            for (const auto& p : lib.procedures)
                for (const auto& d : p.documents)
                    if (p.codice + QLatin1Char('.') + QString::number(d.codice) == args[3]) {
                        orv::doc::TxDocument doc;
                        orv::library::markupToDocument(d.markup, doc, d.path);
                        QTextStream(stdout) << d.titolo << "\n\n" << doc.body()->toPlainText() << "\n---\n"
                                            << doc.footer()->toPlainText() << "\n";
                    }
        } catch (const orv::Error& e) {
            err << e.message() << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() != 3) {
        err << "uso: orvanta-library CARTELLA_LIBRERIA CARTELLA_DATI\n";
        return 2;
    }
    try {
        const auto lib = orv::library::readLibrary(args[1]);
        int docs = 0;
        for (const auto& p : lib.procedures) {
            for (const auto& d : p.documents) {
                orv::doc::TxDocument doc;
                orv::library::markupToDocument(d.markup, doc, d.path);
                ++docs;
            }
        }
        err << lib.procedures.size() << " procedure, " << docs << " documenti\n";
    } catch (const orv::Error& e) {
        err << e.message() << "\n";
        return 1;
    }
    return 0;
}
