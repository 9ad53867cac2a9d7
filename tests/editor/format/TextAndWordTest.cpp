// Plain text, and the Word import that decides from the first bytes.
#include "DocFixture.h"
#include "editor/format/DocumentIO.h"

#include <QTextCursor>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace orv::doc;

namespace {

TEST(PlainText, ReadsUtf8OrWindows1252)
{
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"citt\xc3\xa0 \xe2\x82\xac", QStringLiteral("città €")},
        {"citt\xe0 \x80", QStringLiteral("città €")},           // not UTF-8: Windows-1252
        {"\xef\xbb\xbfuno\r\ndue\rtre\nquattro", QStringLiteral("uno\ndue\ntre\nquattro")},
        {"", QString()},
    };
    for (const auto& [bytes, text] : cases) {
        TxDocument d;
        load(d, bytes, PlainText);
        EXPECT_EQ(d.body()->toPlainText(), text) << bytes.toStdString();
    }
}

TEST(PlainText, WritesUtf8WithTablesAsTabbedLines)
{
    TxDocument d;
    QTextCursor c(d.body());
    c.insertText(QStringLiteral("Città"));
    QTextTable* t = c.insertTable(2, 2);
    t->cellAt(0, 0).firstCursorPosition().insertText("a");
    t->cellAt(0, 1).firstCursorPosition().insertText("b");
    t->cellAt(1, 1).firstCursorPosition().insertText("d");
    c.setPosition(t->lastPosition() + 1);
    c.insertText("fine");
    EXPECT_EQ(save(d, PlainText), QByteArray("Citt\xc3\xa0\r\na\tb\r\n\td\r\nfine"));
}

TEST(WordImport, DecidesFromTheFirstBytes)
{
    TxDocument source;
    QTextCursor(source.body()).insertText("contenuto");
    struct Case {
        const char* name;
        QByteArray bytes;
        bool loads;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"RTF under a .doc name", save(source, Rtf), true, ""},
        {"docx", saveDocx(source), true, ""},
        {"plain text", "contenuto", false, "non è un documento Word"},
        {"zip without a document", QByteArray("PK\x03\x04", 4) + QByteArray(100, '\0'), false, "danneggiato"},
        {"cut docx", saveDocx(source).left(200), false, "danneggiato"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TxDocument d;
        if (c.loads) {
            load(d, c.bytes, Word);
            EXPECT_EQ(d.body()->toPlainText(), "contenuto");
            continue;
        }
        try {
            load(d, c.bytes, Word);
            ADD_FAILURE() << "loaded";
        } catch (const orv::Error& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message))) << e.message().toStdString();
        }
    }
}

TEST(WordImport, BrokenOldWordFileGivesAClearMessage)
{
    // An OLE header with nothing behind it: antiword fails, or is missing;
    // either way the message names the cause.
    TxDocument d;
    try {
        load(d, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\0'), Word);
        ADD_FAILURE() << "loaded";
    } catch (const orv::Error& e) {
        EXPECT_TRUE(e.message().contains("antiword")) << e.message().toStdString();
    }
}

TEST(Docx, SavesTheSameBytesForTheSameDocument)
{
    TxDocument d;
    orv::test::buildShowcase(d, 1);
    EXPECT_EQ(saveDocx(d), saveDocx(d));
}

} // namespace
