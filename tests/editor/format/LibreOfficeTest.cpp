// The real client: LibreOffice opens our Word, RTF and .docx exports and
// prints them to PDF; the text, the table, the field values and the footer
// of every page must be there. Also our fields must come back from an RTF
// that LibreOffice has saved. Skips only when LibreOffice is not installed.
#include "DocFixture.h"
#include "editor/format/DocumentIO.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace orv::doc;

namespace {

class LibreOffice : public testing::Test {
protected:
    void SetUp() override
    {
        m_soffice = QStandardPaths::findExecutable("soffice");
        m_pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (m_soffice.isEmpty())
            GTEST_SKIP() << "LibreOffice (soffice) is not installed: the check of our exports is skipped";
        ASSERT_FALSE(m_pdftotext.isEmpty()) << "pdftotext (poppler-utils) is missing";
        ASSERT_TRUE(m_dir.isValid());
        orv::test::buildShowcase(m_doc, 2);
    }

    // One soffice run converting every file to the target format.
    void convert(const QStringList& files, const QString& target, const QString& outDir)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args = {"-env:UserInstallation=file://" + m_dir.filePath("profile"), "--headless", "--norestore",
                            "--convert-to", target, "--outdir", outDir};
        args += files;
        p.start(m_soffice, args);
        ASSERT_TRUE(p.waitForFinished(600000)) << "soffice did not finish";
        ASSERT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    }

    QStringList pdfPages(const QString& pdf)
    {
        QProcess p;
        p.start(m_pdftotext, {"-layout", pdf, "-"});
        EXPECT_TRUE(p.waitForFinished(60000));
        QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
        while (!pages.isEmpty() && pages.back().trimmed().isEmpty())
            pages.removeLast();
        return pages;
    }

    QString m_soffice, m_pdftotext;
    QTemporaryDir m_dir;
    TxDocument m_doc;
};

TEST_F(LibreOffice, PrintsOurExportsWithTableFieldsAndFooterOnEveryPage)
{
    const QString doc = m_dir.filePath("esporta-doc.doc");
    const QString rtf = m_dir.filePath("esporta-rtf.rtf");
    const QString docx = m_dir.filePath("esporta-docx.docx");
    saveFile(m_doc, doc, 0, formatForFileName(doc));
    saveFile(m_doc, rtf, 0, Rtf);
    writeAnyFile(m_doc, docx);
    const QString out = m_dir.filePath("pdf");
    QDir().mkpath(out);
    convert({doc, rtf, docx}, "pdf", out);
    for (const char* name : {"esporta-doc", "esporta-rtf", "esporta-docx"}) {
        SCOPED_TRACE(name);
        const QString pdf = out + "/" + name + ".pdf";
        ASSERT_TRUE(QFile::exists(pdf));
        const QStringList pages = pdfPages(pdf);
        ASSERT_GE(pages.size(), 2) << "the fixture spans more than one page";
        const QString all = pages.join('\n');
        for (const char* text : {"Comune di Bellavista", "Provincia di Verdemare", "Cella A1", "Cella C1", "Cella B2",
                                 "unita", "Riga di testo 45 della pagina 2."})
            EXPECT_TRUE(all.contains(QString::fromUtf8(text))) << text << "\n" << all.left(2000).toStdString();
        EXPECT_TRUE(all.contains(QStringLiteral("più città"))) << "accented text";
        for (int i = 0; i < pages.size(); ++i)
            EXPECT_TRUE(pages[i].contains("Piede di pagina prova")) << "footer missing on page " << i + 1;
    }
}

TEST_F(LibreOffice, OurFieldsSurviveARoundTripThroughLibreOffice)
{
    const QString rtf = m_dir.filePath("campi.rtf");
    const QString docx = m_dir.filePath("campi.docx");
    saveFile(m_doc, rtf, 0, Rtf);
    writeAnyFile(m_doc, docx);
    const QString out = m_dir.filePath("giro");
    QDir().mkpath(out);
    convert({rtf}, "rtf", out);
    convert({docx}, "docx:MS Word 2007 XML", out);
    for (const QString& back : {out + "/campi.rtf", out + "/campi.docx"}) {
        SCOPED_TRACE(back.toStdString());
        TxDocument d;
        readAnyFile(d, back);
        const std::vector<FieldInfo> fields = fieldsOf(*d.body());
        ASSERT_EQ(fields.size(), 2u) << d.body()->toPlainText().left(300).toStdString();
        EXPECT_EQ(fields[0].id, 1);
        EXPECT_EQ(fields[0].data, "COMUNE");
        EXPECT_EQ(fields[0].kind, 16);
        EXPECT_EQ(fields[0].text, "Bellavista");
        EXPECT_FALSE(fields[0].changeable || fields[0].deletable);
        EXPECT_EQ(fields[1].id, 2);
        EXPECT_EQ(fields[1].data, "PROVINCIA");
        EXPECT_EQ(fields[1].text, "Verdemare");
        EXPECT_TRUE(fields[1].changeable && fields[1].deletable);
        EXPECT_TRUE(d.footer()->toPlainText().contains("Piede di pagina prova"));
    }
}

TEST_F(LibreOffice, OldBinaryWordImportsThroughAntiword)
{
    if (QStandardPaths::findExecutable("antiword").isEmpty())
        GTEST_SKIP() << "antiword is not installed";
    const QString rtf = m_dir.filePath("vecchio.rtf");
    saveFile(m_doc, rtf, 0, Rtf);
    const QString out = m_dir.filePath("doc97");
    QDir().mkpath(out);
    convert({rtf}, "doc:MS Word 97", out);
    const QByteArray bytes = orv::test::readFile(out + "/vecchio.doc");
    ASSERT_TRUE(bytes.startsWith(QByteArray("\xD0\xCF\x11\xE0", 4))) << "not a binary Word file";
    TxDocument d;
    loadFile(d, out + "/vecchio.doc", 0, Word);
    const QString text = d.body()->toPlainText();
    for (const char* t : {"Comune di Bellavista", "Cella A1", "Cella C2", "più città"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(t))) << t << "\n" << text.left(500).toStdString();
    EXPECT_NE(QTextCursor(d.body()->findBlock(text.indexOf("Cella A1"))).currentTable(), nullptr);
}

} // namespace
