// The word-processing control: field rules against typing, deletion, paste;
// fields through the control's interface; tables; zoom of the page view.
#include "EditorFixtures.h"
#include "editor/TButtonBar.h"
#include "editor/TTextControl.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDoubleSpinBox>
#include <QTemporaryDir>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextTable>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orv;
using orv::test::Run;

namespace {

QString bodyText(TTextControl& tx) { return tx.document().body()->toPlainText(); }

// Text of every field, in order, as "id:text".
QStringList fieldTexts(TTextControl& tx)
{
    QStringList out;
    for (int id = tx.NextFieldId(0, 0); id > 0; id = tx.NextFieldId(id, 0)) {
        tx.setFieldCurrent(id);
        out << tx.FieldText();
    }
    return out;
}

void select(TTextControl& tx, int anchor, int caret)
{
    tx.setSelStart(std::min(anchor, caret));
    tx.setSelLength(std::abs(caret - anchor));
}

struct KeyCase {
    const char* name;
    bool changeable;
    bool deletable;
    int anchor; // -1: no selection
    int caret;
    Qt::Key key;
    const char* text; // typed text for Qt::Key_unknown
    const char* body;
    QStringList fields;
};

} // namespace

// Body "ab XY cd": the field "XY" runs from position 3 to 5.
TEST(TextControlFields, KeysRespectTheFieldFlags)
{
    const KeyCase cases[] = {
        {"type inside a locked field", false, false, -1, 4, Qt::Key_unknown, "z", "ab XY cd", {"XY"}},
        {"type inside a changeable field", true, false, -1, 4, Qt::Key_unknown, "z", "ab XzY cd", {"XzY"}},
        {"type right after a field stays outside it", false, false, -1, 5, Qt::Key_unknown, "z", "ab XYz cd", {"XY"}},
        {"type right before a field stays outside it", false, false, -1, 3, Qt::Key_unknown, "z", "ab zXY cd", {"XY"}},
        {"backspace into a locked field", false, true, -1, 5, Qt::Key_Backspace, nullptr, "ab XY cd", {"XY"}},
        {"backspace into a changeable field", true, false, -1, 5, Qt::Key_Backspace, nullptr, "ab X cd", {"X"}},
        {"delete just before a locked field", false, false, -1, 2, Qt::Key_Delete, nullptr, "abXY cd", {"XY"}},
        {"delete the whole changeable but undeletable field", true, false, 3, 5, Qt::Key_Delete, nullptr, "ab XY cd", {"XY"}},
        {"delete the whole deletable field", false, true, 3, 5, Qt::Key_Delete, nullptr, "ab  cd", {}},
        {"delete part of a locked field with text around", false, true, 4, 7, Qt::Key_Delete, nullptr, "ab XY cd", {"XY"}},
        {"overtype a selection over a whole deletable field", false, true, 2, 6, Qt::Key_unknown, "q", "abqcd", {}},
        {"enter inside a changeable field", true, true, -1, 4, Qt::Key_Return, nullptr, "ab XY cd", {"XY"}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTextControl tx;
        test::appendRuns(tx.document().body(), {{"ab "}, {"XY", "VIA", c.changeable, c.deletable}, {" cd"}});
        if (c.anchor >= 0)
            select(tx, c.anchor, c.caret);
        else
            tx.setSelStart(c.caret);
        if (c.key == Qt::Key_unknown)
            QTest::keyClicks(&tx, QString::fromUtf8(c.text));
        else
            QTest::keyClick(&tx, c.key);
        EXPECT_EQ(bodyText(tx), QString::fromUtf8(c.body));
        EXPECT_EQ(fieldTexts(tx), c.fields);
    }
}

TEST(TextControlFields, ReadOnlyModeChangesNothing)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"ab "}, {"XY", "VIA", true, true}, {" cd"}});
    tx.setEditMode(1);
    tx.setSelStart(1);
    QTest::keyClicks(&tx, QStringLiteral("zz"));
    QTest::keyClick(&tx, Qt::Key_Backspace);
    QTest::keyClick(&tx, Qt::Key_Return);
    tx.setSelText(QStringLiteral("q"));
    EXPECT_EQ(bodyText(tx), QStringLiteral("ab XY cd"));
}

TEST(TextControlFields, InterfaceReportsAndChangesFields)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"a "}, {"[COMUNE]", "COMUNE"}, {" b "}, {"[VIA]", "via", true, true}});
    const int first = tx.NextFieldId(0, 0);
    const int second = tx.NextFieldId(first, 0);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_LE(tx.NextFieldId(second, 0), 0);
    EXPECT_EQ(tx.FieldTag(first), QStringLiteral("COMUNE"));
    EXPECT_EQ(tx.FieldTag(second), QStringLiteral("via"));
    EXPECT_EQ(tx.FieldKindCode(first), 16);

    tx.setFieldCurrent(first);
    EXPECT_EQ(tx.FieldStart(), 3); // 1-based, first character
    EXPECT_EQ(tx.FieldEnd(), 10);  // 1-based, last character
    EXPECT_FALSE(tx.FieldChangeable());
    EXPECT_FALSE(tx.FieldDeleteable());

    // Setting the text of a field is not an edit by the user.
    QSignalSpy changes(&tx, &TTextControl::OnChange);
    tx.setFieldText(QStringLiteral("Roma"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(bodyText(tx), QStringLiteral("a Roma b [VIA]"));
    EXPECT_EQ(tx.FieldTag(first), QStringLiteral("COMUNE"));

    tx.setSelStart(4); // inside "Roma"
    EXPECT_EQ(tx.FieldAtInputPos(), first);
    tx.setSelStart(6); // right after it
    EXPECT_EQ(tx.FieldAtInputPos(), first);
    tx.setSelStart(1);
    EXPECT_EQ(tx.FieldAtInputPos(), 0);

    QSignalSpy deleted(&tx, &TTextControl::OnFieldDeleted);
    tx.setFieldCurrent(second);
    tx.DeleteCurrentField(true);
    EXPECT_EQ(bodyText(tx), QStringLiteral("a Roma b "));
    ASSERT_EQ(deleted.count(), 1);
    EXPECT_EQ(deleted.at(0).at(0).toInt(), second);

    QSignalSpy created(&tx, &TTextControl::OnFieldCreated);
    tx.setSelStart(0);
    tx.InsertFieldWithText(QStringLiteral("[X]"));
    ASSERT_EQ(created.count(), 1);
    EXPECT_EQ(tx.FieldCurrent(), created.at(0).at(0).toInt());
    EXPECT_NE(tx.FieldCurrent(), first); // ids never repeat
    EXPECT_EQ(tx.NextFieldId(0, 0), tx.FieldCurrent());
    // No field inside a field.
    tx.setSelStart(7); // "[X]a Ro|ma b "
    EXPECT_THROW(tx.InsertFieldWithText(QStringLiteral("[Y]")), std::exception);
}

TEST(TextControlFields, TypingRaisesChangeAndDeletingAFieldReportsIt)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"a "}, {"XY", "FAX", false, true}});
    QSignalSpy changes(&tx, &TTextControl::OnChange);
    QSignalSpy deleted(&tx, &TTextControl::OnFieldDeleted);
    tx.setSelStart(1);
    QTest::keyClicks(&tx, QStringLiteral("b"));
    EXPECT_GE(changes.count(), 1);
    tx.setSelStart(0);
    tx.setSelLength(-1);
    QTest::keyClick(&tx, Qt::Key_Delete);
    EXPECT_EQ(bodyText(tx), QString());
    EXPECT_EQ(deleted.count(), 1);
}

TEST(TextControlClipboard, CopyPasteInsideTheEditorKeepsFields)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"a "}, {"[VIA]", "VIA", false, false}, {" b"}});
    select(tx, 0, 8);
    tx.ClipboardAction(2);
    const QMimeData* md = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(md->text(), QStringLiteral("a [VIA] "));
    EXPECT_TRUE(md->hasHtml());
    EXPECT_TRUE(md->hasFormat(QString::fromLatin1(kFragmentMimeType)));

    QSignalSpy created(&tx, &TTextControl::OnFieldCreated);
    tx.setSelStart(10); // end of text
    tx.ClipboardAction(3);
    EXPECT_EQ(bodyText(tx), QStringLiteral("a [VIA] ba [VIA] "));
    ASSERT_EQ(created.count(), 1);
    const int first = tx.NextFieldId(0, 0), pasted = tx.NextFieldId(first, 0);
    EXPECT_EQ(pasted, created.at(0).at(0).toInt());
    EXPECT_NE(pasted, first);
    EXPECT_EQ(tx.FieldTag(pasted), QStringLiteral("VIA"));
    tx.setFieldCurrent(pasted);
    EXPECT_FALSE(tx.FieldChangeable());

    // Nothing goes into a locked field; into a changeable one only as text.
    tx.setSelStart(4);
    tx.ClipboardAction(3);
    EXPECT_EQ(bodyText(tx), QStringLiteral("a [VIA] ba [VIA] "));
}

TEST(TextControlClipboard, PasteFromOtherProgramsBringsNoFields)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"x"}});
    auto* md = new QMimeData;
    md->setHtml(QStringLiteral("<b>grassetto</b> e testo"));
    md->setText(QStringLiteral("grassetto e testo"));
    QGuiApplication::clipboard()->setMimeData(md);
    tx.setSelStart(1);
    tx.ClipboardAction(3);
    EXPECT_EQ(bodyText(tx), QStringLiteral("xgrassetto e testo"));
    EXPECT_EQ(tx.NextFieldId(0, 0), 0);
}

TEST(TextControlTables, InsertAskesTheOwnerForTheId)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"prima"}});
    int asked = -1;
    QObject::connect(&tx, &TTextControl::OnTableCreated, &tx, [&](int id, int& newId) {
        asked = id;
        newId = 42;
    }, Qt::DirectConnection);
    tx.setSelStart(5);
    tx.InsertTableAt(3, 4, -1, 10);
    EXPECT_EQ(asked, 10);
    QTextTable* t = tx.textCursor().currentTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->columns(), 4);
    EXPECT_EQ(t->format().intProperty(TableIdProperty), 42);
    // The caret is in the first cell: typing goes there.
    QTest::keyClicks(&tx, QStringLiteral("c1"));
    EXPECT_EQ(t->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("c1"));
    // Backspace at the start of a cell never merges cells.
    tx.setSelStart(t->cellAt(0, 1).firstPosition());
    QTest::keyClick(&tx, Qt::Key_Backspace);
    EXPECT_EQ(t->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("c1"));

    for (auto [rows, cols] : {std::pair{0, 2}, std::pair{2, 0}, std::pair{-1, 3}})
        EXPECT_THROW(tx.InsertTableAt(rows, cols, -1, 10), std::exception) << rows << "x" << cols;
}

TEST(TextControlTables, FormatDialogSetsBordersAndWidths)
{
    test::ScriptedDialogs dialogs;
    TTextControl tx;
    tx.InsertTableAt(2, 2, -1, 10);
    dialogs.answerExec([](QObject* w) {
        w->findChild<QDoubleSpinBox*>(QStringLiteral("spnBorder"))->setValue(0);
        w->findChild<QDoubleSpinBox*>(QStringLiteral("spnCol1"))->setValue(5.0);
        return 1;
    });
    tx.ShowTableFormatDialog();
    const QTextTableFormat f = tx.textCursor().currentTable()->format();
    EXPECT_EQ(f.border(), 0);
    ASSERT_EQ(f.columnWidthConstraints().size(), 2);
    EXPECT_EQ(f.columnWidthConstraints()[0].type(), QTextLength::FixedLength);
    EXPECT_NEAR(f.columnWidthConstraints()[0].rawValue(), 5.0 / 2.54 * 96, 0.5);
    dialogs.expectAllUsed();
}

TEST(TextControlView, ZoomScalesThePage)
{
    TTextControl tx;
    tx.resize(1200, 900);
    tx.setPageWidth(11906);
    auto whiteWidth = [&](int zoom) {
        tx.setZoomFactor(zoom);
        const QImage img = tx.viewport()->grab().toImage();
        const int y = 200;
        int count = 0;
        for (int x = 0; x < img.width(); ++x)
            count += img.pixelColor(x, y) == QColor(Qt::white);
        return count;
    };
    const double pageAt100 = 11906 / 15.0;
    EXPECT_NEAR(whiteWidth(100), pageAt100, 3);
    EXPECT_NEAR(whiteWidth(50), pageAt100 * 0.5, 3);
    EXPECT_NEAR(whiteWidth(120), pageAt100 * 1.2, 3);
}

TEST(TextControlView, ImagesGoInAndFailuresAreErrors)
{
    QTemporaryDir dir;
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    // Qt writes no GIF: a 1x1 one by hand.
    test::writeFile(dir.filePath(QStringLiteral("p.gif")),
                    QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                               "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;", 43));
    for (const char* fmt : {"PNG", "BMP", "JPEG", "GIF"}) {
        SCOPED_TRACE(fmt);
        const QString path = dir.filePath(QStringLiteral("p.") + QString::fromLatin1(fmt).toLower());
        if (QByteArray(fmt) != "GIF") {
            ASSERT_TRUE(img.save(path, fmt));
        }
        TTextControl tx;
        QSignalSpy changes(&tx, &TTextControl::OnChange);
        tx.InsertImageFile(0, path, -1, 100, 100, 0, 0, 0);
        EXPECT_EQ(bodyText(tx), QString(QChar::ObjectReplacementCharacter));
        EXPECT_GE(changes.count(), 1);
    }
    test::writeFile(dir.filePath(QStringLiteral("bad.png")), "not a picture");
    TTextControl tx;
    EXPECT_THROW(tx.InsertImageFile(0, dir.filePath(QStringLiteral("bad.png")), -1, 100, 100, 0, 0, 0), std::exception);
    EXPECT_THROW(tx.InsertImageFile(0, dir.filePath(QStringLiteral("missing.png")), -1, 100, 100, 0, 0, 0), std::exception);
    EXPECT_EQ(bodyText(tx), QString());
}

TEST(TextControlEditing, ButtonBarFormatsTheSelectionAndTheNextText)
{
    TTextControl tx;
    TButtonBar bar;
    tx.setButtonBarHandle(&bar);
    test::appendRuns(tx.document().body(), {{"uno due"}});
    auto* bold = bar.findChild<QToolButton*>(QStringLiteral("bbBold"));
    // No selection: the next text typed is bold, the old text is not.
    tx.setSelStart(7);
    bold->click();
    QTest::keyClicks(&tx, QStringLiteral("X"));
    QTextCursor c(tx.document().body());
    c.setPosition(8);
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    c.setPosition(3);
    EXPECT_NE(c.charFormat().fontWeight(), QFont::Bold);
    // A selection: italic on it, and the button shows the caret's format.
    select(tx, 0, 3);
    bar.findChild<QToolButton*>(QStringLiteral("bbItalic"))->click();
    c.setPosition(2);
    EXPECT_TRUE(c.charFormat().fontItalic());
    tx.setSelStart(8);
    EXPECT_TRUE(bold->isChecked());
    tx.setSelStart(2);
    EXPECT_FALSE(bold->isChecked());
    bar.findChild<QToolButton*>(QStringLiteral("bbCenter"))->click();
    EXPECT_EQ(tx.textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST(TextControlEditing, FooterIsEditedApartFromTheBody)
{
    TTextControl tx;
    test::appendRuns(tx.document().body(), {{"corpo"}});
    tx.setSelStart(5);
    tx.ActivateHeaderFooterPart(4);
    QTest::keyClicks(&tx, QStringLiteral("piede"));
    tx.ActivateHeaderFooterPart(0);
    EXPECT_EQ(tx.document().footer()->toPlainText(), QStringLiteral("piede"));
    EXPECT_EQ(bodyText(tx), QStringLiteral("corpo"));
    EXPECT_EQ(tx.SelStart(), 5); // the body's caret is back where it was
}
