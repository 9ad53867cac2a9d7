#pragma once
// Reads the standard library's source folder (library/, grammar in
// library/README.md) into procedures and documents whose bodies are plain
// markup: includes, conditions and variables already expanded.
//
// Every problem of the source (a missing key, an unknown variable, a title
// that does not fit, a duplicated number) throws orv::Error naming the file
// and line, so a bad source never yields a half-built library.

#include <QList>
#include <QMap>
#include <QString>

namespace orv::library {

constexpr int kMaxTitleLength = 150;

struct SourceDocument {
    int codice = 0;
    QString titolo;
    QString markup;   // expanded body markup
    QString path;     // source file, for messages
};

struct SourceProcedure {
    QString codice;        // "01".."17"
    QString descr;
    QString tipoAppalto;   // one letter
    QString soglia;        // one letter
    QString folder;
    QList<SourceDocument> documents;  // ordered by codice
};

struct LibrarySource {
    QList<SourceProcedure> procedures;  // ordered by codice
    QString regolamentoMarkup;
};

using Variables = QMap<QString, QString>;

LibrarySource readLibrary(const QString& libraryDir);

// Expands @include, @if/@else/@endif, @set and {{name}} in `text`. `vars`
// receives @set assignments. Exposed for the tests.
QString expandTemplate(const QString& text, const QString& fileForErrors, Variables& vars,
                       const QString& libraryDir, int depth = 0);

// Splits a file into its front matter (key: value lines between two "---"
// lines at the top) and the rest. A file without front matter has none.
struct FrontMatter {
    Variables values;
    QString body;
    int bodyFirstLine = 1;
};
FrontMatter splitFrontMatter(const QString& text, const QString& fileForErrors);

} // namespace orv::library
