// The markup: what each construct becomes in the document model.
#include "Markup.h"

#include "LibraryTestSupport.h"

#include "platform/Error.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

namespace {

using orv::library::markupToDocument;

QTextCharFormat formatAt(const QTextDocument& doc, const QString& text)
{
    const QTextCursor c = doc.find(text);
    EXPECT_FALSE(c.isNull()) << text.toStdString();
    return c.charFormat();
}

TEST(Markup, BuildsParagraphsEmphasisFieldsTablesAndFooter)
{
    const QString markup = QStringLiteral(
        "# Titolo\n"
        "\n"
        "Il Comune di [COMUNE] e la [VIA] con **grassetto**, *corsivo*, ++sottolineato++ e [ALTRO] \\*.\n"
        "seconda riga dello stesso paragrafo \\\n"
        "dopo un a capo\n"
        "\n"
        ">> a destra\n"
        "\n"
        "1. primo punto\n"
        "2. secondo punto\n"
        "- voce\n"
        "\n"
        "|Ditta|Importo|\n"
        "|------|--:|\n"
        "|Alfa|10|\n"
        "|Beta [COMUNE]|20|\n"
        "\n"
        "dopo la tabella\n"
        "---footer---\n"
        "piede\n");
    orv::doc::TxDocument doc;
    markupToDocument(markup, doc);
    const QTextDocument& body = *doc.body();

    const QTextBlock first = body.begin();
    EXPECT_EQ(first.text(), QStringLiteral("Titolo"));
    EXPECT_EQ(first.blockFormat().headingLevel(), 1);
    EXPECT_EQ(first.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    EXPECT_EQ(formatAt(body, QStringLiteral("grassetto")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(body, QStringLiteral("corsivo")).fontItalic());
    EXPECT_TRUE(formatAt(body, QStringLiteral("sottolineato")).fontUnderline());
    EXPECT_NE(formatAt(body, QStringLiteral(" e ")).fontWeight(), QFont::Bold);

    const QString text = body.toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("[ALTRO] *.")));  // not a key: plain text; escaped star
    const QString joined = body.find(QStringLiteral("seconda riga")).block().text();
    EXPECT_EQ(joined.toStdString(), (QStringLiteral("Il Comune di [COMUNE] e la [VIA] con grassetto, corsivo, sottolineato e "
                                                    "[ALTRO] *. seconda riga dello stesso paragrafo")
                                     + QChar(QChar::LineSeparator) + QStringLiteral("dopo un a capo")).toStdString());
    EXPECT_FALSE(text.contains(QStringLiteral("primo punto 2.")));  // numbered items are paragraphs of their own
    EXPECT_TRUE(text.contains(QStringLiteral("– voce")));

    const QList<orv::test::FoundField> fields = orv::test::fieldsOf(body);
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(fields[0].tag, QStringLiteral("COMUNE"));
    EXPECT_EQ(fields[0].text, QStringLiteral("[COMUNE]"));
    EXPECT_EQ(fields[0].kind, 16);
    EXPECT_FALSE(fields[0].changeable);
    EXPECT_FALSE(fields[0].deletable);
    EXPECT_EQ(fields[1].tag, QStringLiteral("VIA"));
    EXPECT_EQ(fields[2].tag, QStringLiteral("COMUNE"));  // inside the table
    EXPECT_NE(fields[0].id, fields[2].id);

    const QTextCursor right = body.find(QStringLiteral("a destra"));
    EXPECT_EQ(right.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    QTextTable* table = body.find(QStringLiteral("Alfa")).currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 3);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_EQ(table->format().headerRowCount(), 1);
    EXPECT_EQ(table->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("Ditta"));
    EXPECT_EQ(table->cellAt(2, 1).firstCursorPosition().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_TRUE(text.endsWith(QStringLiteral("dopo la tabella")));

    EXPECT_EQ(doc.footer()->toPlainText(), QStringLiteral("piede"));
    EXPECT_FALSE(text.contains(QStringLiteral("piede")));
}

TEST(Markup, PageBreakStartsTheNextBlockOnANewPage)
{
    orv::doc::TxDocument doc;
    markupToDocument(QStringLiteral("prima\n---pagina---\nseconda\n"), doc);
    const QTextBlock second = doc.body()->findBlock(doc.body()->find(QStringLiteral("seconda")).position());
    EXPECT_TRUE(second.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
}

TEST(Markup, MalformedInputIsAnErrorWithItsLine)
{
    const struct {
        const char* markup;
        const char* part;
    } cases[] = {
        {"x\n#### quattro\n", ":2: titolo non valido"},
        {"#senza spazio\n", ":1: titolo non valido"},
        {"|a|b|\n|---|---|\n|1|2|3|\n", ":1: riga di tabella con troppe colonne"},
        {"|a|b|\n|---|\n", ":1: la riga di separazione"},
        {"piede\n---footer---\nuno\n---footer---\n", ":4: piè di pagina ripetuto"},
    };
    for (const auto& c : cases) {
        orv::doc::TxDocument doc;
        try {
            markupToDocument(QString::fromUtf8(c.markup), doc, QStringLiteral("doc.txt"));
            ADD_FAILURE() << c.markup << ": no error";
        } catch (const orv::Error& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.part))) << e.message().toStdString();
        }
    }
}

} // namespace
