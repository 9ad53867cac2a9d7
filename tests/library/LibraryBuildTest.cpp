// Builds the data folder from the repository's library/ with the builder
// executable and checks it as the program will read it.
#include "LibraryTestSupport.h"

#include "DataFolderBuilder.h"
#include "LibrarySource.h"
#include "Markup.h"

#include "data/ArchiveSchema.h"
#include "data/Tdm.h"
#include "platform/ProgramFolder.h"
#include "editor/format/DocumentIO.h"
#include "storage/Database.h"
#include "storage/Table.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

using orv::test::FoundField;

struct StoredDocument {
    QString procedura;
    QString codice;
    QString titolo;
    QByteArray body;
};

struct StoredLibrary {
    QList<QStringList> procedures;  // CODICE, DESCR, TIPO_APPALTO, SOGLIA
    QList<StoredDocument> documents; // in the order of codice_procedura_idx
    int userProcRows = -1;
    int userDocRows = -1;
    QByteArray regolamento;
};

QString builderPath()
{
    return orv::test::binaryDir() + QStringLiteral("/bin/orvanta-library");
}

int runBuilder(const QString& out, QString* stderrText = nullptr)
{
    QProcess p;
    p.start(builderPath(), {orv::test::sourceDir() + QStringLiteral("/library"), out});
    if (!p.waitForFinished(300000))
        return -1;
    if (stderrText)
        *stderrText = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

StoredLibrary readBack(const QString& folder)
{
    StoredLibrary lib;
    orv::storage::Database db(QStringLiteral("DB_TEST"));
    db.setFolder(folder);
    db.open();

    orv::storage::Table proc;
    proc.setDatabase(&db);
    proc.setTableName(orv::schema::kProcedureTable);
    proc.open();
    for (int i = 0; i < proc.recordCount(); ++i) {
        const auto row = proc.rowAt(i);
        lib.procedures.append({row.asString(QStringLiteral("CODICE")), row.asString(QStringLiteral("DESCR")),
                               row.asString(QStringLiteral("TIPO_APPALTO")), row.asString(QStringLiteral("SOGLIA"))});
    }

    orv::storage::Table docs;
    docs.setDatabase(&db);
    docs.setTableName(orv::schema::kDocumentiTable);
    docs.setIndexName(orv::schema::kCodiceProceduraIdx);
    docs.open();
    for (docs.first(); !docs.eof(); docs.next()) {
        StoredDocument d;
        d.procedura = docs.fieldByName(QStringLiteral("CODICE_PROCEDURA")).asString();
        d.codice = docs.fieldByName(QStringLiteral("CODICE")).asString();
        d.titolo = docs.fieldByName(QStringLiteral("Titolo")).asString();
        QBuffer buf(&d.body);
        buf.open(QIODevice::WriteOnly);
        docs.fieldByName(QStringLiteral("BODY")).saveToDevice(buf);
        lib.documents.append(d);
    }

    for (const QString& name : {orv::schema::kUserProcTable, orv::schema::kUserDocTable}) {
        orv::storage::Table t;
        t.setDatabase(&db);
        t.setTableName(name);
        t.open();
        (name == orv::schema::kUserProcTable ? lib.userProcRows : lib.userDocRows) = t.recordCount();
    }
    db.close();
    lib.regolamento = orv::test::readFile(QDir(folder).filePath(QStringLiteral("Regolamento.txm")));
    return lib;
}

class LibraryBuild : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_out = s_dir->filePath(QStringLiteral("DATI"));
        QString err;
        s_exit = runBuilder(s_out, &err);
        s_err = err;
        if (s_exit == 0)
            s_lib = new StoredLibrary(readBack(s_out));
    }
    static void TearDownTestSuite()
    {
        delete s_lib;
        delete s_dir;
        s_lib = nullptr;
        s_dir = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_exit, 0) << s_err.toStdString(); }

    static QTemporaryDir* s_dir;
    static QString s_out;
    static QString s_err;
    static int s_exit;
    static StoredLibrary* s_lib;
};
QTemporaryDir* LibraryBuild::s_dir = nullptr;
QString LibraryBuild::s_out;
QString LibraryBuild::s_err;
int LibraryBuild::s_exit = -1;
StoredLibrary* LibraryBuild::s_lib = nullptr;

// The rows the procedure tree and the editor titles are built from, and the
// number of documents each procedure carries.
struct ExpectedProcedure {
    const char* codice;
    const char* descr;
    const char* tipo;
    const char* soglia;
    int documents;
};
const ExpectedProcedure kProcedures[] = {
    {"01", "Pubblico incanto", "S", "S", 12},
    {"02", "Licitazione privata", "S", "S", 12},
    {"03", "Appalto concorso", "S", "S", 12},
    {"04", "Pubblico incanto", "F", "S", 12},
    {"05", "Licitazione privata", "F", "S", 12},
    {"06", "Appalto concorso", "F", "S", 12},
    {"07", "Pubblico incanto", "S", "I", 10},
    {"08", "Licitazione privata", "S", "I", 11},
    {"09", "Trattativa privata", "S", "I", 8},
    {"10", "Pubblico incanto", "F", "I", 10},
    {"11", "Licitazione privata", "F", "I", 12},
    {"12", "Trattativa privata", "F", "I", 8},
    {"13", "Lavori in amministrazione diretta", "A", "E", 8},
    {"14", "Beni e servizi in amministrazione diretta", "A", "E", 6},
    {"15", "Lavori a cottimo fiduciario", "C", "E", 10},
    {"16", "Beni e servizi a cottimo fiduciario", "C", "E", 8},
    {"17", "Adesione convenzioni CONSIP", "Z", "Z", 7},
};

TEST_F(LibraryBuild, HasTheSeventeenProceduresWithTheirCodes)
{
    ASSERT_EQ(s_lib->procedures.size(), int(std::size(kProcedures)));
    for (int i = 0; i < s_lib->procedures.size(); ++i) {
        const auto& e = kProcedures[i];
        EXPECT_EQ(s_lib->procedures[i], (QStringList{QString::fromUtf8(e.codice), QString::fromUtf8(e.descr),
                                                      QLatin1String(e.tipo), QLatin1String(e.soglia)}));
    }
    // Every code from 01 to 17 can be located, as the tree does for its leaves.
    orv::storage::Database db;
    db.setFolder(s_out);
    orv::storage::Table proc;
    proc.setDatabase(&db);
    proc.setTableName(orv::schema::kProcedureTable);
    proc.open();
    for (int c = 1; c <= 17; ++c)
        EXPECT_TRUE(proc.locate(QStringLiteral("CODICE"), QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0')))) << c;
}

TEST_F(LibraryBuild, EveryProcedureHasItsNumberedDocumentsWithTitlesThatFit)
{
    QMap<QString, QStringList> codes;
    for (const auto& d : s_lib->documents) {
        codes[d.procedura].append(d.codice);
        EXPECT_FALSE(d.titolo.trimmed().isEmpty()) << d.procedura.toStdString() << "." << d.codice.toStdString();
        EXPECT_LE(d.titolo.size(), orv::schema::kTitoloWidth);
        EXPECT_FALSE(d.body.isEmpty());
    }
    for (const auto& e : kProcedures) {
        const QStringList got = codes.value(QLatin1String(e.codice));
        QStringList want;
        for (int i = 1; i <= e.documents; ++i)
            want.append(QString::number(i));
        // Order of the document list: numbers ascending, with no gap.
        EXPECT_EQ(got, want) << "procedure " << e.codice;
    }
    EXPECT_EQ(s_lib->userProcRows, 0);
    EXPECT_EQ(s_lib->userDocRows, 0);
}

// Checks one loaded document: it opens, carries COMUNE, every field is a
// merge field as the authoring command makes it, and no markup is left over.
void checkDocument(const orv::doc::TxDocument& doc, const std::string& where, bool needsComune = true)
{
    const QList<FoundField> fields = orv::test::fieldsOf(*doc.body()) + orv::test::fieldsOf(*doc.footer());
    bool comune = false;
    for (const FoundField& f : fields) {
        EXPECT_TRUE(orv::library::mergeFieldKeys().contains(f.tag)) << where << ": " << f.tag.toStdString();
        EXPECT_EQ(f.text, QLatin1Char('[') + f.tag + QLatin1Char(']')) << where;
        EXPECT_EQ(f.kind, orv::library::kMergeFieldKind) << where;
        EXPECT_FALSE(f.changeable) << where;
        EXPECT_FALSE(f.deletable) << where;
        comune = comune || f.tag == QLatin1String("COMUNE");
    }
    if (needsComune) {
        EXPECT_TRUE(comune) << where << ": no COMUNE merge field";
    }
    // Field ids are unique within a document.
    QSet<int> ids;
    for (const FoundField& f : fields)
        EXPECT_FALSE(ids.contains(f.id)) << where;
    for (const FoundField& f : fields)
        ids.insert(f.id);

    const QString text = doc.body()->toPlainText() + doc.footer()->toPlainText();
    for (const char* leftover : {"{{", "}}", "**", "@include", "@if", "@endif", "---footer---", "---pagina---", "<br>"})
        EXPECT_FALSE(text.contains(QLatin1String(leftover))) << where << ": " << leftover;
    // A key in brackets that is plain text would never be filled.
    int bracketed = 0;
    for (const QString& k : orv::library::mergeFieldKeys())
        bracketed += int(text.count(QLatin1Char('[') + k + QLatin1Char(']')));
    EXPECT_EQ(bracketed, fields.size()) << where << ": a merge key written as plain text";
}

TEST_F(LibraryBuild, EveryDocumentOpensAndCarriesOnlyMergeFields)
{
    for (const auto& d : s_lib->documents) {
        const std::string where = (d.procedura + QLatin1Char('.') + d.codice).toStdString();
        orv::doc::TxDocument doc;
        ASSERT_NO_THROW(orv::test::loadStored(doc, d.body)) << where;
        EXPECT_EQ(doc.page, orv::doc::PageSetup{}) << where;
        EXPECT_GT(doc.body()->characterCount(), 800) << where << ": too short to be a real document";
        checkDocument(doc, where);
    }
}

TEST_F(LibraryBuild, RegolamentoIsInTheDataFolder)
{
    orv::doc::TxDocument doc;
    ASSERT_NO_THROW(orv::test::loadStored(doc, s_lib->regolamento));
    checkDocument(doc, "Regolamento.txm");
    const QString text = doc.body()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("REGOLAMENTO COMUNALE PER L'ESECUZIONE DI LAVORI, FORNITURE E SERVIZI IN ECONOMIA")));
    for (const char* article : {"Art. 1 –", "Cottimo fiduciario", "Amministrazione diretta", "Responsabile del procedimento",
                                "Garanzie", "Liquidazione e pagamenti", "Art. 20 –"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(article))) << article;
    // Its merge fields stay in the heading: COMUNE and PROVINCIA only.
    QSet<QString> tags;
    for (const FoundField& f : orv::test::fieldsOf(*doc.body()))
        tags.insert(f.tag);
    EXPECT_EQ(tags, (QSet<QString>{QStringLiteral("COMUNE"), QStringLiteral("PROVINCIA")}));
}

TEST_F(LibraryBuild, SameSourceGivesSameRowsAndBodies)
{
    QTemporaryDir dir;
    const QString second = dir.filePath(QStringLiteral("DATI"));
    ASSERT_EQ(runBuilder(second), 0);
    const StoredLibrary again = readBack(second);
    EXPECT_EQ(again.procedures, s_lib->procedures);
    ASSERT_EQ(again.documents.size(), s_lib->documents.size());
    for (int i = 0; i < again.documents.size(); ++i) {
        EXPECT_EQ(again.documents[i].procedura, s_lib->documents[i].procedura);
        EXPECT_EQ(again.documents[i].codice, s_lib->documents[i].codice);
        EXPECT_EQ(again.documents[i].titolo, s_lib->documents[i].titolo);
        EXPECT_TRUE(again.documents[i].body == s_lib->documents[i].body) << i;
    }
    EXPECT_TRUE(again.regolamento == s_lib->regolamento);
}

TEST_F(LibraryBuild, DataModuleOpensItAndFollowsTheProcedures)
{
    const QString saved = orv::programFolder();
    orv::setProgramFolder(s_dir->path() + QLatin1Char('/'));
    {
        orv::Tdm dm;
        dm.DataModuleCreate();
        for (const auto& e : kProcedures) {
            ASSERT_TRUE(dm.ttProcedure->locate(QStringLiteral("CODICE"), QLatin1String(e.codice))) << e.codice;
            EXPECT_EQ(dm.ttDocumenti->recordCount(), e.documents) << e.codice;
            dm.ttDocumenti->first();
            EXPECT_EQ(dm.ttDocumenti->fieldByName(QStringLiteral("CALC_CAPITOLO")).asString(),
                      QLatin1String(e.codice) + QStringLiteral(".1"));
            dm.ttDocumenti->last();
            EXPECT_EQ(dm.ttDocumenti->fieldByName(QStringLiteral("CALC_CAPITOLO")).asString(),
                      QLatin1String(e.codice) + QLatin1Char('.') + QString::number(e.documents));
            EXPECT_TRUE(dm.ttUserProc->isEmpty());
        }
        dm.CloseTables();
    }
    orv::setProgramFolder(saved);
}

TEST(LibraryBuilder, RefusesAFolderThatHoldsData)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("DATI"));
    QDir().mkpath(out);
    const QByteArray userData("pratiche dell'utente");
    orv::test::writeFile(QDir(out).filePath(QStringLiteral("USER_PROCEDURE.DAT")), userData);
    QString err;
    EXPECT_NE(runBuilder(out, &err), 0);
    EXPECT_TRUE(err.contains(QStringLiteral("non è vuota"))) << err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("USER_PROCEDURE.DAT")});
    EXPECT_EQ(orv::test::readFile(QDir(out).filePath(QStringLiteral("USER_PROCEDURE.DAT"))), userData);
}

TEST(LibraryBuilder, FailedBuildLeavesNoFolderBehind)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("DATI"));
    orv::library::LibrarySource lib;
    orv::library::SourceProcedure p;
    p.codice = QStringLiteral("01");
    p.descr = QStringLiteral("Pubblico incanto");
    p.tipoAppalto = QStringLiteral("S");
    p.soglia = QStringLiteral("S");
    p.documents.append({1, QStringLiteral("Buono"), QStringLiteral("[COMUNE]\n"), QStringLiteral("a.txt")});
    // A malformed heading fails only while the tables are being written.
    p.documents.append({2, QStringLiteral("Guasto"), QStringLiteral("#### troppo profondo\n"), QStringLiteral("b.txt")});
    lib.procedures.append(p);
    lib.regolamentoMarkup = QStringLiteral("# Regolamento\n");
    EXPECT_THROW(orv::library::buildDataFolder(lib, out), orv::Error);
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
