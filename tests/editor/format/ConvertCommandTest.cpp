// orvanta-admin convert, run as the administrator runs it.
#include "DocFixture.h"
#include "editor/format/DocumentIO.h"

#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orv::doc;

namespace {

struct Result {
    int exitCode;
    QString output;
};

Result convert(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ORVANTA_BINARY_DIR "/bin/orvanta-admin"), QStringList{"convert"} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAll())};
}

TEST(ConvertCommand, ChainsEveryFormatByTheNamesEndings)
{
    QTemporaryDir dir;
    TxDocument original;
    orv::test::buildShowcase(original, 1);
    original.page = {12000, 16000, 1000, 1000, 1000, 1000};
    saveDocumentFile(original, dir.filePath("a.txm"));
    const QStringList chain = {"a.txm", "b.RTF", "c.docx", "d.doc", "e.dat", "f.txt"};
    for (int i = 0; i + 1 < chain.size(); ++i) {
        const Result r = convert({dir.filePath(chain[i]), dir.filePath(chain[i + 1])});
        ASSERT_EQ(r.exitCode, 0) << chain[i].toStdString() << ": " << r.output.toStdString();
    }
    TxDocument back;
    loadDocumentFile(back, dir.filePath("e.dat")); // header + own format
    EXPECT_EQ(back.page, original.page);
    EXPECT_EQ(back.body()->toPlainText(), original.body()->toPlainText());
    EXPECT_EQ(back.footer()->toPlainText(), "Piede di pagina prova");
    EXPECT_EQ(fieldsOf(*back.body()).size(), 2u);
    EXPECT_TRUE(orv::test::readFile(dir.filePath("d.doc")).startsWith("{\\rtf1"));
    EXPECT_TRUE(QString::fromUtf8(orv::test::readFile(dir.filePath("f.txt"))).contains("Cella A1\tCella B1"));
}

TEST(ConvertCommand, UnreadableInputFailsWithAMessage)
{
    QTemporaryDir dir;
    orv::test::writeFile(dir.filePath("rotto.rtf"), "non sono RTF");
    orv::test::writeFile(dir.filePath("corto.txm"), "ab");
    for (const QString& in : {dir.filePath("manca.txm"), dir.filePath("rotto.rtf"), dir.filePath("corto.txm")}) {
        const Result r = convert({in, dir.filePath("out.rtf")});
        EXPECT_NE(r.exitCode, 0) << in.toStdString();
        EXPECT_TRUE(r.output.contains(in)) << r.output.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("out.rtf")));
    }
    EXPECT_NE(convert({dir.filePath("solo-uno.txm")}).exitCode, 0);
}

} // namespace
