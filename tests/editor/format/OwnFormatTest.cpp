// Our own format: lossless, byte-stable, and safe on damaged input.
#include "DocFixture.h"
#include "editor/format/Binary.h"
#include "editor/format/Content.h"
#include "editor/format/DocumentIO.h"

#include <QTextCursor>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace orv::doc;
using orv::doc::detail::ByteWriter;

namespace {

// Formats compared by property map: QTextFormat's == also compares the order
// in which properties were set, which a reader need not reproduce.
void expectSameFlow(const detail::Flow& a, const detail::Flow& b, const std::string& where);

void expectSameFormat(const QTextFormat& a, const QTextFormat& b, const std::string& where)
{
    EXPECT_EQ(a.type(), b.type()) << where;
    EXPECT_EQ(a.properties(), b.properties()) << where;
}

void expectSameFlow(const detail::Flow& a, const detail::Flow& b, const std::string& where)
{
    ASSERT_EQ(a.items.size(), b.items.size()) << where;
    for (size_t i = 0; i < a.items.size(); ++i) {
        const std::string w = where + "/" + std::to_string(i);
        ASSERT_EQ(bool(a.items[i].para), bool(b.items[i].para)) << w;
        if (a.items[i].para) {
            const detail::Para &pa = *a.items[i].para, &pb = *b.items[i].para;
            expectSameFormat(pa.blockFormat, pb.blockFormat, w + " block");
            expectSameFormat(pa.charFormat, pb.charFormat, w + " blockchar");
            EXPECT_EQ(pa.list, pb.list) << w;
            ASSERT_EQ(pa.runs.size(), pb.runs.size()) << w;
            for (size_t k = 0; k < pa.runs.size(); ++k) {
                EXPECT_EQ(pa.runs[k].text, pb.runs[k].text) << w;
                expectSameFormat(pa.runs[k].format, pb.runs[k].format, w + " run");
            }
        } else {
            const detail::Table &ta = *a.items[i].table, &tb = *b.items[i].table;
            expectSameFormat(ta.format, tb.format, w + " table");
            ASSERT_EQ(ta.cells.size(), tb.cells.size()) << w;
            for (size_t k = 0; k < ta.cells.size(); ++k) {
                const detail::Cell &ca = ta.cells[k], &cb = tb.cells[k];
                EXPECT_EQ(std::tie(ca.row, ca.col, ca.rowSpan, ca.colSpan), std::tie(cb.row, cb.col, cb.rowSpan, cb.colSpan));
                expectSameFormat(ca.format, cb.format, w + " cell");
                expectSameFlow(*ca.content, *cb.content, w + " cell" + std::to_string(k));
            }
        }
    }
}

// A document with a bit of everything the control can hold.
void buildRich(TxDocument& d)
{
    orv::test::buildShowcase(d, 1);
    QTextCursor c(d.body());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat b;
    b.setTabPositions({QTextOption::Tab(100, QTextOption::DelimiterTab, QLatin1Char(','))});
    b.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(b);
    QTextCharFormat f;
    f.setTextOutline(QPen(Qt::blue, 0.5, Qt::DashLine));
    f.setFontFamilies({"DejaVu Sans", "Liberation Sans"});
    f.setAnchorHref("https://example.org");
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    f.setUnderlineColor(QColor(1, 2, 3, 4));
    c.insertText("1,5\tcontorno", f);
    c.insertBlock();
    c.createList(QTextListFormat::ListUpperRoman);
    c.insertText("voce");
    c.insertBlock(QTextBlockFormat());
    QTextTableFormat tf;
    tf.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100), QTextLength(QTextLength::PercentageLength, 30)});
    tf.setHeaderRowCount(1);
    QTextTable* t = c.insertTable(2, 2, tf);
    QTextTableCellFormat cf;
    cf.setTopBorder(2);
    cf.setTopBorderBrush(QColor(Qt::red));
    cf.setTopBorderStyle(QTextFrameFormat::BorderStyle_Dotted);
    cf.setPadding(4);
    t->cellAt(0, 1).setFormat(cf);
    QTextCursor in = t->cellAt(1, 1).firstCursorPosition();
    in.insertText("annidata:");
    in.insertTable(1, 1)->cellAt(0, 0).firstCursorPosition().insertText("dentro");
}

TEST(OwnFormat, KeepsEveryPropertyAndSavesTheSameBytes)
{
    TxDocument in;
    buildRich(in);
    const QByteArray first = save(in, OwnFormat);
    TxDocument out;
    load(out, first, OwnFormat);
    const detail::Content a = detail::extract(*in.body(), *in.footer());
    const detail::Content b = detail::extract(*out.body(), *out.footer());
    expectSameFlow(a.body.flow, b.body.flow, "body");
    expectSameFlow(a.footer.flow, b.footer.flow, "footer");
    ASSERT_EQ(a.body.pictures.size(), 1u);
    ASSERT_EQ(b.body.pictures.size(), 1u);
    EXPECT_EQ(a.body.pictures[0].bytes, b.body.pictures[0].bytes);
    EXPECT_EQ(in.body()->toPlainText(), out.body()->toPlainText());
    EXPECT_EQ(save(out, OwnFormat), first);
}

TEST(OwnFormat, PicturesOfBodyAndFooterKeepTheirOwnBytes)
{
    // Both documents name their first picture alike.
    TxDocument in;
    QTextImageFormat a, b;
    a.setName(addImage(*in.body(), orv::test::pngPicture(5, 5, 0xffff0000)));
    b.setName(addImage(*in.footer(), orv::test::pngPicture(7, 7, 0xff00ff00)));
    ASSERT_EQ(a.name(), b.name());
    QTextCursor(in.body()).insertImage(a);
    QTextCursor(in.footer()).insertImage(b);
    TxDocument out;
    load(out, save(in, OwnFormat), OwnFormat);
    EXPECT_EQ(imageBytes(*out.body(), a.name()), orv::test::pngPicture(5, 5, 0xffff0000));
    EXPECT_EQ(imageBytes(*out.footer(), b.name()), orv::test::pngPicture(7, 7, 0xff00ff00));
}

// ---- damaged input ---------------------------------------------------------

// Builds own-format bytes by hand, so that each case breaks one rule.
struct Doc {
    ByteWriter w;
    Doc(quint16 version = 1)
    {
        w.data.append("ORVD", 4);
        w.u16(version);
        w.u16(0);
    }
    // Formats 0 block, 1 char, 2 table, 3 cell; more may follow.
    void formats(int extra = 0)
    {
        w.u32(4 + extra);
        w.u8(1), w.u32(0);
        w.u8(2), w.u32(0);
        w.u8(5), w.u32(1), w.u32(QTextFormat::ObjectType), w.u8(2), w.i32(QTextFormat::TableObject);
        w.u8(2), w.u32(1), w.u32(QTextFormat::ObjectType), w.u8(2), w.i32(QTextFormat::TableCellObject);
    }
    void para(const QString& text, quint32 block = 0, quint32 ch = 1)
    {
        w.u8('P'), w.u32(block), w.u32(ch), w.u32(0);
        w.u32(text.isEmpty() ? 0 : 1);
        if (!text.isEmpty())
            w.u32(ch), w.string(text);
    }
    void storyStart() { w.u32(0), w.u32(0); }
    void emptyStory() { storyStart(), w.u32(1), para({}); }
    void table(quint32 rows, quint32 cols, const std::vector<std::array<quint32, 4>>& cells)
    {
        w.u8('T'), w.u32(2), w.u32(rows), w.u32(cols), w.u32(quint32(cells.size()));
        for (const auto& c : cells) {
            w.u32(c[0]), w.u32(c[1]), w.u32(c[2]), w.u32(c[3]), w.u32(3);
            w.u32(1), para("x");
        }
    }
};

QByteArray validDoc()
{
    Doc d;
    d.formats();
    d.storyStart();
    d.w.u32(1), d.para("ciao");
    d.emptyStory();
    return d.w.data;
}

QByteArray tableDoc(quint32 rows, quint32 cols, const std::vector<std::array<quint32, 4>>& cells)
{
    Doc d;
    d.formats();
    d.storyStart();
    d.w.u32(3), d.para("a"), d.table(rows, cols, cells), d.para("b");
    d.emptyStory();
    return d.w.data;
}

struct DamagedCase {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* message; // part of the error text
};

TEST(OwnFormat, HandBuiltFixturesLoad)
{
    TxDocument d;
    load(d, validDoc(), OwnFormat);
    EXPECT_EQ(d.body()->toPlainText(), "ciao");
    load(d, tableDoc(2, 2, {{0, 0, 1, 2}, {1, 0, 1, 1}, {1, 1, 1, 1}}), OwnFormat);
    QTextTable* t = QTextCursor(d.body()->findBlock(2)).currentTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cellAt(0, 1).columnSpan(), 2);
}

TEST(OwnFormat, DamagedInputIsRefusedAndLeavesTheDocumentAsItWas)
{
    const std::vector<DamagedCase> cases = {
        {"empty", [] { return QByteArray(); }, "danneggiato"},
        {"wrong magic", [] { return QByteArray("XRVD") + validDoc().mid(4); }, "non è un documento"},
        {"newer version", [] { Doc d(2); return d.w.data + validDoc().mid(8); }, "versione più recente"},
        {"huge format count", [] { Doc d; d.w.u32(0xFFFFFFFF); return d.w.data; }, "danneggiato"},
        {"unknown format kind", [] { Doc d; d.w.u32(1), d.w.u8(9), d.w.u32(0); return d.w.data; }, "formato sconosciuto"},
        {"unsorted keys", [] {
             Doc d;
             d.w.u32(1), d.w.u8(2), d.w.u32(2);
             d.w.u32(0x2001), d.w.u8(2), d.w.i32(1), d.w.u32(0x2000), d.w.u8(2), d.w.i32(1);
             return d.w.data;
         }, "danneggiato"},
        {"not a finite real", [] {
             Doc d;
             d.w.u32(1), d.w.u8(2), d.w.u32(1), d.w.u32(QTextFormat::FontPointSize), d.w.u8(3);
             d.w.f64(std::numeric_limits<double>::infinity());
             return d.w.data;
         }, "valore numerico"},
        {"unknown value tag", [] {
             Doc d;
             d.w.u32(1), d.w.u8(2), d.w.u32(1), d.w.u32(0x2000), d.w.u8(77), d.w.u32(0);
             return d.w.data;
         }, "valore sconosciuto"},
        {"string longer than the file", [] {
             QByteArray b = validDoc();
             const int at = b.indexOf("ciao") - 4;
             b[at + 3] = char(0x7f);
             return b;
         }, "danneggiato"},
        {"format index out of range", [] {
             Doc d;
             d.formats();
             d.storyStart();
             d.w.u32(1), d.para("x", 99);
             d.emptyStory();
             return d.w.data;
         }, "formato non valido"},
        {"char format used as block format", [] {
             Doc d;
             d.formats();
             d.storyStart();
             d.w.u32(1), d.para("x", 1);
             d.emptyStory();
             return d.w.data;
         }, "formato non valido"},
        {"text with a paragraph separator", [] {
             Doc d;
             d.formats();
             d.storyStart();
             d.w.u32(1), d.para(QStringLiteral("a\nb"));
             d.emptyStory();
             return d.w.data;
         }, "testo non valido"},
        {"flow starting with a table", [] {
             Doc d;
             d.formats();
             d.storyStart();
             d.w.u32(2), d.table(1, 1, {{0, 0, 1, 1}}), d.para("b");
             d.emptyStory();
             return d.w.data;
         }, "struttura"},
        {"overlapping spans", [] { return tableDoc(2, 2, {{0, 0, 2, 2}, {1, 1, 1, 1}}); }, "sovrapposte"},
        {"span beyond the table", [] { return tableDoc(2, 2, {{0, 1, 1, 2}}); }, "fuori"},
        {"cell beyond the table", [] { return tableDoc(2, 2, {{5, 0, 1, 1}}); }, "fuori"},
        {"too many cells", [] { return tableDoc(100000, 1000, {}); }, "dimensioni"},
        {"too many columns", [] { return tableDoc(1, 5000, {}); }, "dimensioni"},
        {"trailing bytes", [] { return validDoc() + "x"; }, "eccesso"},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        TxDocument d;
        QTextCursor(d.body()).insertText("prima");
        try {
            load(d, c.bytes(), OwnFormat);
            ADD_FAILURE() << "loaded";
        } catch (const orv::Error& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message))) << e.message().toStdString();
        }
        EXPECT_EQ(d.body()->toPlainText(), "prima");
    }
}

TEST(OwnFormat, TablesNestedTooDeepAreRefused)
{
    TxDocument in;
    QTextCursor c(in.body());
    for (int i = 0; i < 10; ++i)
        c = c.insertTable(1, 1)->cellAt(0, 0).firstCursorPosition();
    TxDocument out;
    EXPECT_THROW(load(out, save(in, OwnFormat), OwnFormat), orv::Error);
}

TEST(OwnFormat, EveryTruncationFailsCleanly)
{
    TxDocument in;
    buildRich(in);
    const QByteArray full = save(in, OwnFormat);
    // Every prefix, in steps that still visit each structure.
    for (qsizetype n = 0; n < full.size(); n += (n < 600 ? 1 : 97)) {
        TxDocument out;
        EXPECT_THROW(load(out, full.left(n), OwnFormat), orv::Error) << n;
    }
}

} // namespace
