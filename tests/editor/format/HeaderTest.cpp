// The 30-byte header of document files and the format chosen by file name.
#include "editor/format/DocumentIO.h"

#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTextCursor>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace orv::doc;

namespace {

QByteArray ownPayload(const QString& text)
{
    TxDocument d;
    QTextCursor(d.body()).insertText(text);
    return save(d, OwnFormat);
}

QByteArray ints(std::initializer_list<qint32> values)
{
    QByteArray out;
    for (qint32 v : values) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    }
    return out;
}

TEST(Header, EncodesTheFieldsInTheirPlaces)
{
    const PageSetup p{11000, 15000, 101, 102, 103, 104};
    EXPECT_EQ(encodeHeader(p), ints({23, 101, 102, 103, 104, 15000, 11000}) + QByteArray(2, '\0'));
}

TEST(Header, FilesFollowTheHeaderRules)
{
    const PageSetup custom{12000, 17000, 500, 600, 700, 800};
    struct Case {
        const char* name;
        QByteArray file;
        bool loads;
        PageSetup page;
        QString text;
    };
    const std::vector<Case> cases = {
        {"tagged", encodeHeader(custom) + ownPayload("testo"), true, custom, "testo"},
        // The reserved bytes are ignored.
        {"tagged, reserved bytes set", encodeHeader(custom).left(28) + "\x7f\x7f" + ownPayload("r"), true, custom, "r"},
        {"other tag: A4, document from byte 4", ints({99}) + ownPayload("senza"), true, untaggedPage(), "senza"},
        {"no tag and only 4 bytes", ints({24}), false, {}, {}},
        {"shorter than 4 bytes", QByteArray("\x17\0\0", 3), false, {}, {}},
        {"tag and 29 bytes", encodeHeader(custom).left(29), false, {}, {}},
        {"tag and exactly 30 bytes", encodeHeader(custom), false, {}, {}},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("doc.txm");
        orv::test::writeFile(path, c.file);
        TxDocument d;
        if (!c.loads) {
            EXPECT_THROW(loadDocumentFile(d, path), orv::Error);
            continue;
        }
        loadDocumentFile(d, path);
        EXPECT_EQ(d.page, c.page);
        EXPECT_EQ(d.body()->toPlainText(), c.text);
    }
}

TEST(Header, DecodeGivesOffsetAndPage)
{
    const FileHeader tagged = decodeHeader(encodeHeader({1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(tagged.tagged);
    EXPECT_EQ(tagged.documentOffset, 30);
    EXPECT_EQ(tagged.page, (PageSetup{1, 2, 3, 4, 5, 6}));
    const FileHeader plain = decodeHeader(QByteArray("{\\rtf1 abc"));
    EXPECT_FALSE(plain.tagged);
    EXPECT_EQ(plain.documentOffset, 4);
    EXPECT_EQ(plain.page, (PageSetup{11906, 16837, 1440, 1440, 1440, 1440}));
}

TEST(Header, FormatFollowsTheLastThreeLettersOfTheName)
{
    const std::vector<std::pair<QString, Format>> cases = {
        {"lettera.rtf", Rtf},   {"LETTERA.RTF", Rtf},       {"nota.Txt", PlainText}, {"bando.doc", Word},
        {"bando.DoC", Word},    {"bando.docx", OwnFormat},  {"actdoc.txm", OwnFormat}, {"rtf", Rtf},
        {"xrtf", Rtf},          {"", OwnFormat},            {"a.rt", OwnFormat},
    };
    for (const auto& [name, format] : cases)
        EXPECT_EQ(formatForFileName(name), format) << name.toStdString();
}

TEST(Header, SaveAtAnOffsetKeepsTheHeaderAndReplacesTheRest)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("actdoc.txm");
    const PageSetup page{10000, 14000, 1, 2, 3, 4};
    orv::test::writeFile(path, encodeHeader(page) + QByteArray(5000, 'x'));
    TxDocument d;
    QTextCursor(d.body()).insertText("nuovo");
    saveFile(d, path, kHeaderSize, OwnFormat);
    EXPECT_EQ(orv::test::readFile(path), encodeHeader(page) + save(d, OwnFormat));
    // And the control's read from the offset gives it back.
    TxDocument back;
    loadFile(back, path, kHeaderSize, OwnFormat);
    EXPECT_EQ(back.body()->toPlainText(), "nuovo");
    // A file shorter than the offset is not silently extended.
    orv::test::writeFile(path, "abc");
    EXPECT_THROW(saveFile(d, path, kHeaderSize, OwnFormat), orv::Error);
    EXPECT_EQ(orv::test::readFile(path), "abc");
}

TEST(Header, MissingFileIsAnError)
{
    TxDocument d;
    try {
        loadDocumentFile(d, "/nonexistent/actdoc.txm");
        ADD_FAILURE();
    } catch (const orv::Error& e) {
        EXPECT_TRUE(e.message().startsWith("Impossibile leggere il file")) << e.message().toStdString();
    }
}

} // namespace
