// Each feature of the document through every way a document travels: our
// own format, RTF, .docx, and own -> RTF -> own.
#include "DocFixture.h"
#include "editor/format/DocumentIO.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <functional>
#include <gtest/gtest.h>

using namespace orv::doc;
using orv::test::insertField;

namespace {

enum Path { Own = 1, RtfPath = 2, Docx = 4, OwnRtfOwn = 8, All = 15 };

struct Feature {
    const char* name;
    int paths;
    std::function<void(TxDocument&)> make;
    std::function<void(const TxDocument&)> check;
};

QTextCursor at(const TxDocument& d) { return QTextCursor(d.body()); }

// The fragment holding `text` (first match).
QTextFragment fragmentWith(const QTextDocument& doc, const QString& text)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(text))
                return it.fragment();
    return {};
}

QTextBlock blockWith(const QTextDocument& doc, const QString& text)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().contains(text))
            return b;
    return {};
}

QTextTable* firstTable(const QTextDocument& doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (auto* t = qobject_cast<QTextTable*>(QTextCursor(b).currentTable()))
            return t;
    return nullptr;
}

QString cellText(QTextTable* t, int r, int c)
{
    QTextCursor cur = t->cellAt(r, c).firstCursorPosition();
    cur.setPosition(t->cellAt(r, c).lastPosition(), QTextCursor::KeepAnchor);
    return cur.selectedText();
}

void imageCheck(const TxDocument& d, QSize expected)
{
    const QString body = d.body()->toPlainText();
    ASSERT_TRUE(body.contains(QChar::ObjectReplacementCharacter)) << body.toStdString();
    const QTextFragment f = fragmentWith(*d.body(), QString(QChar::ObjectReplacementCharacter));
    ASSERT_TRUE(f.charFormat().isImageFormat());
    const QTextImageFormat img = f.charFormat().toImageFormat();
    const QImage decoded = QImage::fromData(imageBytes(*d.body(), img.name()));
    EXPECT_EQ(decoded.size(), expected);
    EXPECT_NEAR(img.width(), 30, 0.6);
    EXPECT_NEAR(img.height(), 24, 0.6);
}

const std::vector<Feature>& features()
{
    static const std::vector<Feature> list = {
        {"UnicodeText", All,
         [](TxDocument& d) { at(d).insertText(QStringLiteral("Città € “virgolette” ąŻ 中文 end")); },
         [](const TxDocument& d) {
             EXPECT_EQ(d.body()->toPlainText(), QStringLiteral("Città € “virgolette” ąŻ 中文 end"));
         }},
        {"CharacterStyles", All,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             QTextCharFormat f;
             f.setFontWeight(QFont::Bold);
             c.insertText("grassetto", f);
             f = {};
             f.setFontItalic(true);
             c.insertText(" corsivo", f);
             f = {};
             f.setFontUnderline(true);
             c.insertText(" sottolineato", f);
             f = {};
             f.setFontStrikeOut(true);
             c.insertText(" barrato", f);
             c.insertText(" normale", QTextCharFormat());
         },
         [](const TxDocument& d) {
             EXPECT_EQ(fragmentWith(*d.body(), "grassetto").charFormat().fontWeight(), QFont::Bold);
             EXPECT_TRUE(fragmentWith(*d.body(), "corsivo").charFormat().fontItalic());
             EXPECT_TRUE(fragmentWith(*d.body(), "sottolineato").charFormat().fontUnderline());
             EXPECT_TRUE(fragmentWith(*d.body(), "barrato").charFormat().fontStrikeOut());
             const QTextCharFormat n = fragmentWith(*d.body(), "normale").charFormat();
             EXPECT_FALSE(n.fontItalic() || n.fontUnderline() || n.fontStrikeOut());
             EXPECT_NE(n.fontWeight(), QFont::Bold);
         }},
        {"FontSizeColours", All,
         [](TxDocument& d) {
             QTextCharFormat f;
             f.setFontFamilies({QStringLiteral("Liberation Serif")});
             f.setFontPointSize(15);
             f.setForeground(QColor(200, 10, 20));
             f.setBackground(QColor(255, 255, 0));
             at(d).insertText("colorato", f);
         },
         [](const TxDocument& d) {
             const QTextCharFormat f = fragmentWith(*d.body(), "colorato").charFormat();
             EXPECT_EQ(f.fontFamilies().toStringList().value(0), QStringLiteral("Liberation Serif"));
             EXPECT_DOUBLE_EQ(f.fontPointSize(), 15);
             EXPECT_EQ(f.foreground().color(), QColor(200, 10, 20));
             EXPECT_EQ(f.background().color(), QColor(255, 255, 0));
         }},
        {"ParagraphFormats", All,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             QTextBlockFormat b;
             b.setAlignment(Qt::AlignHCenter);
             b.setTopMargin(6);
             b.setBottomMargin(12);
             c.setBlockFormat(b);
             c.insertText("centrato");
             b = {};
             b.setAlignment(Qt::AlignJustify);
             b.setLeftMargin(36);
             b.setRightMargin(18);
             b.setTextIndent(-9);
             c.insertBlock(b);
             c.insertText("giustificato");
             b = {};
             b.setAlignment(Qt::AlignRight);
             c.insertBlock(b);
             c.insertText("destra");
         },
         [](const TxDocument& d) {
             const QTextBlockFormat a = blockWith(*d.body(), "centrato").blockFormat();
             EXPECT_EQ(a.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
             EXPECT_DOUBLE_EQ(a.topMargin(), 6);
             EXPECT_DOUBLE_EQ(a.bottomMargin(), 12);
             const QTextBlockFormat j = blockWith(*d.body(), "giustificato").blockFormat();
             EXPECT_EQ(j.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
             EXPECT_DOUBLE_EQ(j.leftMargin(), 36);
             EXPECT_DOUBLE_EQ(j.rightMargin(), 18);
             EXPECT_DOUBLE_EQ(j.textIndent(), -9);
             EXPECT_EQ(blockWith(*d.body(), "destra").blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                       Qt::AlignRight);
         }},
        {"TabStops", All,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             QTextBlockFormat b;
             b.setTabPositions({QTextOption::Tab(72, QTextOption::LeftTab), QTextOption::Tab(216, QTextOption::RightTab),
                                QTextOption::Tab(288, QTextOption::CenterTab)});
             c.setBlockFormat(b);
             c.insertText("a\tb\tc");
         },
         [](const TxDocument& d) {
             const QList<QTextOption::Tab> tabs = blockWith(*d.body(), "a\tb").blockFormat().tabPositions();
             ASSERT_EQ(tabs.size(), 3);
             EXPECT_DOUBLE_EQ(tabs[0].position, 72);
             EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
             EXPECT_DOUBLE_EQ(tabs[1].position, 216);
             EXPECT_EQ(tabs[2].type, QTextOption::CenterTab);
         }},
        {"LineBreak", All,
         [](TxDocument& d) { at(d).insertText(QStringLiteral("prima") + QChar::LineSeparator + QStringLiteral("seconda")); },
         [](const TxDocument& d) {
             EXPECT_EQ(d.body()->blockCount(), 1);
             EXPECT_EQ(d.body()->firstBlock().text(), QStringLiteral("prima") + QChar::LineSeparator + QStringLiteral("seconda"));
         }},
        {"TableSpansAndCellFormats", All,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             c.insertText("prima della tabella");
             QTextTableFormat tf;
             tf.setBorder(1);
             QTextTable* t = c.insertTable(3, 3, tf);
             for (int r = 0; r < 3; ++r)
                 for (int k = 0; k < 3; ++k)
                     t->cellAt(r, k).firstCursorPosition().insertText(QStringLiteral("r%1c%2").arg(r).arg(k));
             t->mergeCells(0, 0, 1, 2); // across
             t->mergeCells(1, 2, 2, 1); // down
             QTextTableCellFormat cf;
             cf.setBackground(QColor(0, 128, 255));
             t->cellAt(2, 0).setFormat(cf);
             c.setPosition(t->lastPosition() + 1);
             c.insertText("dopo la tabella");
         },
         [](const TxDocument& d) {
             QTextTable* t = firstTable(*d.body());
             ASSERT_NE(t, nullptr);
             ASSERT_EQ(t->rows(), 3);
             ASSERT_EQ(t->columns(), 3);
             EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2);
             EXPECT_EQ(t->cellAt(1, 2).rowSpan(), 2);
             EXPECT_EQ(t->cellAt(2, 2).row(), 1);
             EXPECT_TRUE(cellText(t, 0, 0).startsWith("r0c0"));
             EXPECT_EQ(cellText(t, 2, 1), "r2c1");
             EXPECT_EQ(t->cellAt(2, 0).format().background().color(), QColor(0, 128, 255));
             EXPECT_TRUE(d.body()->toPlainText().startsWith("prima della tabella"));
             EXPECT_TRUE(d.body()->toPlainText().endsWith("dopo la tabella"));
         }},
        {"PicturePng", All,
         [](TxDocument& d) {
             QTextImageFormat img;
             img.setName(addImage(*d.body(), orv::test::pngPicture(20, 10)));
             img.setWidth(30);
             img.setHeight(24);
             QTextCursor c = at(d);
             c.insertText("foto ");
             c.insertImage(img);
         },
         [](const TxDocument& d) { imageCheck(d, {20, 10}); }},
        {"PictureJpeg", All,
         [](TxDocument& d) {
             QTextImageFormat img;
             img.setName(addImage(*d.body(), orv::test::jpegPicture(16, 12)));
             img.setWidth(30);
             img.setHeight(24);
             at(d).insertImage(img);
         },
         [](const TxDocument& d) { imageCheck(d, {16, 12}); }},
        {"MergeFields", All,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             c.insertText("Il Comune di ");
             insertField(c, 3, "COMUNE", "[COMUNE]");
             c.insertText(" via ");
             insertField(c, 7, "via", "Roma", 16, true, true);
             c.insertText(" fine");
         },
         [](const TxDocument& d) {
             const std::vector<FieldInfo> f = fieldsOf(*d.body());
             ASSERT_EQ(f.size(), 2u);
             EXPECT_EQ(f[0].id, 3);
             EXPECT_EQ(f[0].data, "COMUNE");
             EXPECT_EQ(f[0].text, "[COMUNE]");
             EXPECT_EQ(f[0].kind, 16);
             EXPECT_FALSE(f[0].changeable || f[0].deletable);
             EXPECT_EQ(f[1].id, 7);
             EXPECT_EQ(f[1].data, "via");
             EXPECT_EQ(f[1].text, "Roma");
             EXPECT_TRUE(f[1].changeable && f[1].deletable);
             EXPECT_EQ(d.body()->toPlainText(), "Il Comune di [COMUNE] via Roma fine");
         }},
        {"Footer", All,
         [](TxDocument& d) {
             at(d).insertText("corpo");
             QTextCursor f(d.footer());
             QTextCharFormat b;
             b.setFontWeight(QFont::Bold);
             f.insertText("Prat. 12/2026", b);
         },
         [](const TxDocument& d) {
             EXPECT_EQ(d.footer()->toPlainText(), "Prat. 12/2026");
             EXPECT_EQ(fragmentWith(*d.footer(), "Prat.").charFormat().fontWeight(), QFont::Bold);
             EXPECT_EQ(d.body()->toPlainText(), "corpo");
         }},
        {"PageSetup", All,
         [](TxDocument& d) {
             d.page = {12240, 15840, 1000, 1100, 1200, 1300};
             at(d).insertText("pagina");
         },
         [](const TxDocument& d) { EXPECT_EQ(d.page, (PageSetup{12240, 15840, 1000, 1100, 1200, 1300})); }},
        {"ListsAndNestedTables", Own,
         [](TxDocument& d) {
             QTextCursor c = at(d);
             c.insertText("uno");
             c.createList(QTextListFormat::ListDecimal);
             c.insertBlock();
             c.insertText("due");
             c.insertBlock(QTextBlockFormat());
             QTextTable* outer = c.insertTable(1, 2);
             QTextCursor in = outer->cellAt(0, 1).firstCursorPosition();
             in.insertText("esterna");
             QTextTable* inner = in.insertTable(2, 1);
             inner->cellAt(1, 0).firstCursorPosition().insertText("interna");
         },
         [](const TxDocument& d) {
             const QTextBlock b1 = blockWith(*d.body(), "uno"), b2 = blockWith(*d.body(), "due");
             ASSERT_NE(b1.textList(), nullptr);
             EXPECT_EQ(b1.textList(), b2.textList());
             EXPECT_EQ(b1.textList()->format().style(), QTextListFormat::ListDecimal);
             QTextTable* inner = QTextCursor(blockWith(*d.body(), "interna")).currentTable();
             ASSERT_NE(inner, nullptr);
             EXPECT_EQ(inner->rows(), 2);
             ASSERT_NE(qobject_cast<QTextTable*>(inner->parentFrame()), nullptr);
         }},
    };
    return list;
}

void travel(Path p, const TxDocument& in, TxDocument& out, const QString& dir)
{
    switch (p) {
    case Own:
        saveDocumentFile(in, dir + "/a.txm");
        loadDocumentFile(out, dir + "/a.txm");
        break;
    case RtfPath:
        saveFile(in, dir + "/a.rtf", 0, Rtf);
        loadFile(out, dir + "/a.rtf", 0, Rtf);
        break;
    case Docx:
        writeAnyFile(in, dir + "/a.docx");
        readAnyFile(out, dir + "/a.docx");
        break;
    case OwnRtfOwn: {
        TxDocument mid1, mid2;
        travel(Own, in, mid1, dir);
        travel(RtfPath, mid1, mid2, dir);
        travel(Own, mid2, out, dir);
        break;
    }
    default:
        break;
    }
}

const char* pathName(Path p)
{
    switch (p) {
    case Own: return "Own";
    case RtfPath: return "Rtf";
    case Docx: return "Docx";
    case OwnRtfOwn: return "OwnRtfOwn";
    default: return "?";
    }
}

class RoundTrip : public testing::TestWithParam<std::tuple<size_t, Path>> {};

TEST_P(RoundTrip, KeepsFeature)
{
    const Feature& f = features()[std::get<0>(GetParam())];
    const Path path = std::get<1>(GetParam());
    if (!(f.paths & path))
        GTEST_SKIP() << f.name << " is not carried by " << pathName(path);
    QTemporaryDir dir;
    TxDocument in, out;
    f.make(in);
    f.check(in); // the fixture itself shows the feature
    travel(path, in, out, dir.path());
    f.check(out);
}

INSTANTIATE_TEST_SUITE_P(Features, RoundTrip,
                         testing::Combine(testing::Range<size_t>(0, features().size()),
                                          testing::Values(Own, RtfPath, Docx, OwnRtfOwn)),
                         [](const testing::TestParamInfo<RoundTrip::ParamType>& info) {
                             return std::string(features()[std::get<0>(info.param)].name) + "_"
                                    + pathName(std::get<1>(info.param));
                         });

} // namespace
