// The source reader: template expansion and the errors a bad source gives.
#include "LibrarySource.h"

#include "platform/Error.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using orv::library::readLibrary;

// A one-procedure library; each case changes or adds files.
class SmallLibrary {
public:
    SmallLibrary()
    {
        put("variabili.txt", "legge: D.Lgs. 157/1995\n");
        put("Regolamento.txt", "# Regolamento di [COMUNE]\n");
        put("01-prova/procedura.txt",
            "codice: 01\ndescr: Pubblico incanto\ntipo_appalto: S\nsoglia: S\noggetto: servizio\n");
        put("01-prova/01-bando.txt", "---\ncodice: 1\ntitolo: Bando\n---\nBando di [COMUNE] secondo il {{legge}}.\n");
    }
    void put(const QString& name, const QByteArray& text)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        orv::test::writeFile(path, text);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

TEST(LibrarySource, ExpandsIncludesConditionsAndVariables)
{
    SmallLibrary lib;
    lib.put("_parti/firma.txt", "---\nchi: IL DIRIGENTE\n---\n>> {{chi}}\n");
    lib.put("01-prova/02-lettera.txt",
            "---\ncodice: 2\ntitolo: Lettera\n---\n"
            "%% a comment line is dropped\n"
            "@if oggetto = fornitura|servizio\n"
            "@if !manca\n"
            "Oggetto: {{oggetto}} ({{proc_codice}}.{{codice}}).\n"
            "@else\n"
            "mai\n"
            "@endif\n"
            "@else\n"
            "mai\n"
            "@endif\n"
            "@set dopo: \" con spazi \"\n"
            "[{{dopo}}]\n"
            "@include _parti/firma\n"
            "@set chi: IL SEGRETARIO\n"
            "@include _parti/firma\n");
    const auto src = readLibrary(lib.path());
    ASSERT_EQ(src.procedures.size(), 1);
    const auto& p = src.procedures.first();
    EXPECT_EQ(p.codice, QStringLiteral("01"));
    EXPECT_EQ(p.descr, QStringLiteral("Pubblico incanto"));
    ASSERT_EQ(p.documents.size(), 2);
    EXPECT_EQ(p.documents[0].markup.trimmed(), QStringLiteral("Bando di [COMUNE] secondo il D.Lgs. 157/1995."));
    EXPECT_EQ(p.documents[1].titolo, QStringLiteral("Lettera"));
    EXPECT_EQ(p.documents[1].markup.trimmed().toStdString(),
              "Oggetto: servizio (01.2).\n[ con spazi ]\n>> IL DIRIGENTE\n>> IL SEGRETARIO");
    EXPECT_EQ(src.regolamentoMarkup.trimmed(), QStringLiteral("# Regolamento di [COMUNE]"));
}

TEST(LibrarySource, PrepositionsAndCapitalsFollowTheValue)
{
    const struct {
        const char* value;
        const char* use;
        const char* expected;
    } cases[] = {
        {"art. 9 del D.Lgs. 358/1992", "ai sensi {{di:x}}", "ai sensi dell'art. 9 del D.Lgs. 358/1992"},
        {"artt. 142–148 del D.P.R. 554/1999", "ai sensi {{di:x}}", "ai sensi degli artt. 142–148 del D.P.R. 554/1999"},
        {"legge 488/1999", "previste {{da:x}}", "previste dalla legge 488/1999"},
        {"D.Lgs. 157/1995", "previste {{da:x}}", "previste dal D.Lgs. 157/1995"},
        {"regolamento comunale", "conforme {{a:x}}", "conforme al regolamento comunale"},
        {"art. 5", "conforme {{a:x}}", "conforme all'art. 5"},
        {"licitazione privata", "{{cap:x}} per", "Licitazione privata per"},
    };
    for (const auto& c : cases) {
        orv::library::Variables vars{{QStringLiteral("x"), QString::fromUtf8(c.value)}};
        EXPECT_EQ(orv::library::expandTemplate(QString::fromUtf8(c.use), QStringLiteral("t.txt"), vars, QString())
                      .trimmed()
                      .toStdString(),
                  c.expected);
    }
}

TEST(LibrarySource, DocumentsComeInNumberOrderWhateverTheFileNames)
{
    SmallLibrary lib;
    lib.put("01-prova/aa-dieci.txt", "---\ncodice: 10\ntitolo: Dieci\n---\nx\n");
    lib.put("01-prova/zz-due.txt", "---\ncodice: 2\ntitolo: Due\n---\nx\n");
    const auto src = readLibrary(lib.path());
    QList<int> codes;
    for (const auto& d : src.procedures.first().documents)
        codes.append(d.codice);
    EXPECT_EQ(codes, (QList<int>{1, 2, 10}));
}

struct BadSource {
    const char* name;
    const char* file;
    QByteArray content;
    const char* messagePart;
};

TEST(LibrarySource, BadSourcesGiveAnErrorNamingTheProblem)
{
    const BadSource cases[] = {
        {"unknown variable", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n{{nessuna}}\n", "variabile non definita: nessuna"},
        {"title too long", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: " + QByteArray(151, 'a') + "\n---\nx\n", "più lungo di 150"},
        {"title at the limit is fine", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: " + QByteArray(150, 'a') + "\n---\nx\n", nullptr},
        {"duplicated number", "01-prova/02-x.txt", "---\ncodice: 1\ntitolo: X\n---\nx\n", "codice di documento ripetuto"},
        {"no number", "01-prova/02-x.txt", "---\ntitolo: X\n---\nx\n", "manca la chiave \"codice\""},
        {"unclosed front matter", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\nx\n", "non chiusa"},
        {"if without endif", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@if oggetto\nx\n", "@if senza @endif"},
        {"endif without if", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@endif\n", "@endif senza @if"},
        {"missing include", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@include _parti/nulla\n", "inesistente"},
        {"include leaving the library", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@include ../fuori\n", "non valido"},
        {"include cycle", "_parti/ciclo.txt", "@include _parti/ciclo\n", "troppo profonde"},
        {"unknown directive", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@inclde x\n", "direttiva sconosciuta"},
        {"procedure without descr", "01-prova/procedura.txt", "codice: 01\ntipo_appalto: S\nsoglia: S\n", "manca la chiave \"descr\""},
        {"two-letter band", "01-prova/procedura.txt", "codice: 01\ndescr: X\ntipo_appalto: S\nsoglia: SS\n", "una lettera"},
        {"duplicated procedure", "02-copia/procedura.txt", "codice: 01\ndescr: X\ntipo_appalto: S\nsoglia: S\n", "procedura ripetuto"},
        {"not UTF-8", "01-prova/02-x.txt", "---\ncodice: 2\ntitolo: Citt\xe0\n---\nx\n", "UTF-8"},
    };
    for (const BadSource& c : cases) {
        SmallLibrary lib;
        lib.put(QString::fromUtf8(c.file), c.content);
        if (QByteArray(c.name) == "include cycle")
            lib.put("01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\n@include _parti/ciclo\n");
        if (!c.messagePart) {
            EXPECT_NO_THROW(readLibrary(lib.path())) << c.name;
            continue;
        }
        try {
            readLibrary(lib.path());
            ADD_FAILURE() << c.name << ": no error";
        } catch (const orv::Error& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.messagePart)))
                << c.name << ": " << e.message().toStdString();
        }
    }
}

TEST(LibrarySource, ErrorsNameTheFileAndLine)
{
    SmallLibrary lib;
    lib.put("01-prova/02-x.txt", "---\ncodice: 2\ntitolo: X\n---\nriga uno\nriga due {{sbagliata}}\n");
    try {
        readLibrary(lib.path());
        FAIL() << "no error";
    } catch (const orv::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("02-x.txt:6:"))) << e.message().toStdString();
    }
}

} // namespace
