// RTF from other writers and damaged RTF: the reader takes what it knows,
// skips the rest, and never crashes.
#include "editor/format/DocumentIO.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace orv::doc;

namespace {

// Paragraphs joined by newlines, each as stored (line breaks and no-break
// spaces kept, which toPlainText() would turn into plain ones).
QString readText(const QByteArray& rtf)
{
    TxDocument d;
    load(d, rtf, Rtf);
    QStringList blocks;
    for (QTextBlock b = d.body()->begin(); b.isValid(); b = b.next())
        blocks.append(b.text());
    return blocks.join(QLatin1Char('\n'));
}

TEST(RtfReader, TextOfOtherWriters)
{
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"{\\rtf1\\ansi caf\\'e8 \\'80 5}", QStringLiteral("cafè € 5")},
        {"{\\rtf1 \\u8364?\\u8220?x\\u8221?}", QStringLiteral("€“x”")},
        {"{\\rtf1\\uc2 \\u8364??y}", QStringLiteral("€y")},
        {"{\\rtf1\\uc1 \\u-10179?\\u-8704?}", QStringLiteral("😀")},
        {"{\\rtf1 \\{a\\}\\\\b}", QStringLiteral("{a}\\b")},
        {"{\\rtf1 visibile{\\*\\sconosciuto segreto {annidato}} dopo}", QStringLiteral("visibile dopo")},
        {"{\\rtf1 {\\stylesheet{\\s0 Normal;}}{\\info{\\title Titolo}}{\\header intestazione}corpo}", QStringLiteral("corpo")},
        {"{\\rtf1 \\parolasconosciuta12 testo}", QStringLiteral("testo")},
        {"{\\rtf1{\\fonttbl{\\f1\\froman{\\*\\panose 02020603}Serif;}}\\f1 x{\\pict\\pngblip{\\*\\blipuid 0a0b}zz}}",
         QStringLiteral("x")},
        {"{\\rtf1 uno\\par due\\line tre\\tab quattro}", QStringLiteral("uno\ndue") + QChar::LineSeparator + "tre\tquattro"},
        {"{\\rtf1 a\\~b\\emdash c\\endash d\\lquote e\\rquote}", QStringLiteral("a\u00a0b—c–d‘e’")},
        // Damaged: unbalanced braces, cut short, a cut escape, a bad \bin.
        {"{\\rtf1 abc}}}} def", QStringLiteral("abc def")},
        {"{\\rtf1 abc{\\b def", QStringLiteral("abcdef")},
        {"{\\rtf1 abc\\'", QStringLiteral("abc")},
        {"{\\rtf1 abc\\bin999999999 xyz}", QStringLiteral("abc")},
        {"{\\rtf1 abc{\\pict\\pngblip 89504e47zz}def}", QStringLiteral("abcdef")},
        {"{\\rtf1 x\\u99999999999?y}", QStringLiteral("x\uFFFDy")},
    };
    for (const auto& [rtf, text] : cases)
        EXPECT_EQ(readText(rtf), text) << rtf.toStdString();
}

TEST(RtfReader, FontNamesIgnoreTheirIgnorableParts)
{
    TxDocument d;
    load(d, "{\\rtf1\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\froman{\\*\\panose 02020603}{\\*\\falt Tms}Times New Roman;}}"
            "\\f1 x\\f0 y}",
         Rtf);
    const QTextBlock b = d.body()->firstBlock();
    ASSERT_EQ(b.text(), "xy");
    EXPECT_EQ(b.begin().fragment().charFormat().fontFamilies().toStringList(), QStringList{"Times New Roman"});
    EXPECT_FALSE((++b.begin()).fragment().charFormat().hasProperty(QTextFormat::FontFamilies)); // the default font
}

TEST(RtfReader, DeepNestingIsCappedNotFatal)
{
    const QByteArray rtf = "{\\rtf1 a" + QByteArray(200000, '{') + "b" + QByteArray(200000, '}') + "c}";
    TxDocument d;
    load(d, rtf, Rtf);
    EXPECT_TRUE(d.body()->toPlainText().startsWith("a"));
    EXPECT_TRUE(d.body()->toPlainText().endsWith("c"));
}

TEST(RtfReader, MergeFieldsOfOtherWritersBecomeFields)
{
    TxDocument d;
    load(d, "{\\rtf1 Comune di {\\field{\\*\\fldinst { MERGEFIELD COMUNE }}{\\fldrslt {\\b Roma}}} e "
            "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}",
         Rtf);
    EXPECT_EQ(d.body()->toPlainText(), "Comune di Roma e link");
    const std::vector<FieldInfo> f = fieldsOf(*d.body());
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].data, "COMUNE");
    EXPECT_EQ(f[0].text, "Roma");
    EXPECT_GT(f[0].id, 0);
}

TEST(RtfReader, WordStyleMergedCells)
{
    // Horizontal merge with \clmgf/\clmrg, vertical with \clvmgf/\clvmrg,
    // and a row with fewer cells.
    const QByteArray rtf =
        "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
        "\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\clvmgf\\clcbpat1\\cellx3000"
        "\\pard\\intbl AB\\cell\\cell C\\cell\\row"
        "\\trowd\\cellx1000\\cellx2000\\clvmrg\\cellx3000"
        "\\pard\\intbl D\\cell E\\cell\\cell\\row"
        "\\trowd\\cellx1500"
        "\\pard\\intbl F\\cell\\row"
        "\\pard dopo\\par}";
    TxDocument d;
    load(d, rtf, Rtf);
    QTextTable* t = QTextCursor(d.body()->findBlock(1)).currentTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->columns(), 4); // boundaries 1000, 1500, 2000, 3000
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 3);
    EXPECT_EQ(t->cellAt(0, 3).rowSpan(), 2);
    EXPECT_EQ(t->cellAt(0, 3).format().background().color(), QColor(255, 0, 0));
    EXPECT_EQ(t->cellAt(2, 0).columnSpan(), 2);
    EXPECT_TRUE(d.body()->toPlainText().endsWith("dopo"));
    EXPECT_TRUE(d.body()->toPlainText().contains("AB"));
}

TEST(RtfReader, PageAndFooter)
{
    TxDocument d;
    const PageSetup found =
        load(d, "{\\rtf1\\paperw12240\\paperh15840\\margl720{\\footer\\pard Prat. 7\\par}testo}", Rtf);
    EXPECT_EQ(found, (PageSetup{12240, 15840, 720, 0, 0, 0}));
    EXPECT_EQ(d.page.width, 12240);
    EXPECT_EQ(d.page.marginLeft, 720);
    EXPECT_EQ(d.page.marginTop, 1440); // not in the file: unchanged
    EXPECT_EQ(d.footer()->toPlainText(), "Prat. 7");
    EXPECT_EQ(d.body()->toPlainText(), "testo");
}

TEST(RtfReader, NotRtfIsRefused)
{
    TxDocument d;
    QTextCursor(d.body()).insertText("prima");
    EXPECT_THROW(load(d, "testo semplice", Rtf), orv::Error);
    EXPECT_EQ(d.body()->toPlainText(), "prima");
}

TEST(RtfWriter, SavesSameBytesForSameDocumentAndEscapesText)
{
    TxDocument d;
    QTextCursor(d.body()).insertText(QStringLiteral("{graffe} \\ barra € 中"));
    const QByteArray rtf = save(d, Rtf);
    EXPECT_EQ(save(d, Rtf), rtf);
    EXPECT_TRUE(rtf.contains("\\{graffe\\} \\\\ barra \\'80 \\u20013?")) << rtf.toStdString();
    EXPECT_EQ(save(d, Word), rtf); // Word export writes RTF content
}

} // namespace
