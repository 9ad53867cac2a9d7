// Printing: every page drawn as laid out, footer included, into a PDF; the
// print command's page range. Checked with pdftotext.
#include "EditorFixtures.h"
#include "editor/TTextControl.h"
#include "editor/TfrmTx.h"
#include "platform/EntityData.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orv;

namespace {

// The text of each page of a PDF.
QStringList pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {QStringLiteral("pdftotext failed")};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// "Riga 1" .. "Riga n", one paragraph each.
std::vector<test::Run> lines(int n)
{
    std::vector<test::Run> runs;
    for (int i = 1; i <= n; ++i)
        runs.push_back({QStringLiteral("Riga %1").arg(i) + (i < n ? QStringLiteral("\n") : QString())});
    return runs;
}

int lineNumber(const QString& pageText, bool last)
{
    const QStringList words = pageText.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    int found = -1;
    for (int i = 0; i + 1 < words.size(); ++i)
        if (words[i] == QLatin1String("Riga")) {
            found = words[i + 1].toInt();
            if (!last)
                return found;
        }
    return found;
}

} // namespace

TEST(Printing, EveryPageWithItsFooterIntoPdf)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext not installed";
    QTemporaryDir dir;
    TTextControl tx;
    test::appendRuns(tx.document().body(), lines(120));
    QTextCursor(tx.document().footer()).insertText(QStringLiteral("Pie di pagina"));
    const int pages = tx.CurrentPages();
    ASSERT_GE(pages, 3);

    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&printer);
    for (int page = 1; page <= pages; ++page) {
        tx.setPrintDevice(&painter);
        tx.PrintOnePage(page);
        if (page < pages)
            printer.newPage();
    }
    painter.end();

    const QStringList texts = pdfPages(pdf);
    ASSERT_EQ(texts.size(), pages);
    int expectedFirst = 1;
    for (int i = 0; i < pages; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_TRUE(texts[i].contains(QStringLiteral("Pie di pagina")));
        // The lines run on from page to page, none lost, none twice.
        EXPECT_EQ(lineNumber(texts[i], false), expectedFirst);
        expectedFirst = lineNumber(texts[i], true) + 1;
    }
    EXPECT_EQ(expectedFirst, 121);
    // A page that does not exist is an error.
    QPainter again;
    EXPECT_THROW(tx.PrintOnePage(1), std::exception); // no device
}

TEST(Printing, PrintCommandHonoursThePageRange)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext not installed";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("actdoc.txm"));
    test::writeDocument(file, lines(200), QStringLiteral("Piede"));
    test::ScriptedDialogs dialogs;
    entityData() = EntityData{};
    TfrmTx frm;
    frm.Editable = false;
    frm.DocumentFile = file;
    frm.FormShow();
    frm.FormActivate();
    const int pages = frm.tx1->CurrentPages();
    ASSERT_GE(pages, 4);

    struct Case {
        int from, to; // 0: all pages
        int sheets;
        int firstPage;
    };
    for (const Case& c : {Case{2, 3, 2, 2}, Case{0, 0, pages, 1}}) {
        SCOPED_TRACE(c.from);
        const QString pdf = dir.filePath(QStringLiteral("print%1.pdf").arg(c.from));
        frm.printer().setOutputFormat(QPrinter::PdfFormat);
        frm.printer().setOutputFileName(pdf);
        dialogs.answerPrint(true, c.from, c.to);
        frm.btnstampaClick();
        const PrintRequest& asked = dialogs.records().back().print;
        EXPECT_EQ(asked.minPage, 0);
        EXPECT_EQ(asked.maxPage, pages);
        const QStringList texts = pdfPages(pdf);
        ASSERT_EQ(texts.size(), c.sheets);
        for (const QString& t : texts)
            EXPECT_TRUE(t.contains(QStringLiteral("Piede")));
        // The first sheet starts where that page starts in the page view.
        TTextControl* tx = frm.tx1;
        Q_UNUSED(tx);
        EXPECT_EQ(lineNumber(texts[0], false) > 1, c.firstPage > 1);
    }
    dialogs.answerPrint(false);
    frm.btnstampaClick(); // cancel prints nothing and asks nothing more
    dialogs.expectAllUsed();
}
