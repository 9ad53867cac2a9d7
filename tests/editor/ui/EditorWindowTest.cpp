// The editor window: header rules of LoadFile, save by name, Modified and
// Saved across the commands, the merge fields, Backspace on a field, the
// authoring commands, the edit state and the menus.
#include "EditorFixtures.h"
#include "editor/TTextControl.h"
#include "editor/TfrmTx.h"
#include "platform/EntityData.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace orv;
using orv::test::Run;

namespace {

QByteArray header(qint32 tag, std::initializer_list<qint32> values, int size = 30)
{
    QByteArray out(size, '\0');
    if (size >= 4)
        qToLittleEndian(tag, out.data());
    int offset = 4;
    for (qint32 v : values) {
        if (offset + 4 <= size)
            qToLittleEndian(v, out.data() + offset);
        offset += 4;
    }
    return out;
}

QByteArray ownFormatText(const QString& text)
{
    doc::TxDocument d;
    test::appendRuns(d.body(), {{text}});
    return doc::save(d, doc::OwnFormat);
}

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        entityData() = EntityData{};
        file = dir.filePath(QStringLiteral("actdoc.txm"));
    }
    void TearDown() override { dialogs.expectAllUsed(); }

    // What the main window does, with the show and activate events.
    void open(bool editable)
    {
        frm.Editable = editable;
        frm.DocumentFile = file;
        frm.FormShow();
        frm.FormActivate();
    }
    QString text() { return frm.tx1->document().body()->toPlainText(); }
    QStringList messageTexts()
    {
        QStringList out;
        for (const MessageRequest& m : dialogs.messages())
            out << m.text;
        return out;
    }

    QTemporaryDir dir;
    QString file;
    test::ScriptedDialogs dialogs;
    TfrmTx frm;
};

} // namespace

TEST_F(EditorWindow, LoadFileAppliesTheHeaderRules)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        bool ok;
        doc::PageSetup page; // expected when ok
        const char* text;
    };
    const doc::PageSetup a4{11906, 16837, 1440, 1440, 1440, 1440};
    const doc::PageSetup custom{12000, 15000, 1000, 1100, 1200, 1300};
    const Case cases[] = {
        {"tagged header", header(23, {1000, 1100, 1200, 1300, 15000, 12000}) + ownFormatText("Testo"), true, custom, "Testo"},
        {"no tag: A4, document from byte 4", QByteArray("ABCD") + ownFormatText("Senza"), true, a4, "Senza"},
        {"shorter than four bytes", QByteArray("\x17\0\0", 3), false, {}, nullptr},
        {"empty file", QByteArray(), false, {}, nullptr},
        {"tag with a short header", header(23, {1, 2, 3, 4}, 20), false, {}, nullptr},
        {"tag and header, damaged document", header(23, {1000, 1100, 1200, 1300, 15000, 12000}) + "\xff\xfe garbage", false, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(file, c.bytes);
        frm.Editable = true;
        EXPECT_EQ(frm.LoadFile(file, 3), c.ok);
        EXPECT_FALSE(frm.Modified);
        EXPECT_FALSE(frm.Saved);
        if (!c.ok)
            continue;
        TTextControl* tx = frm.tx1;
        const doc::PageSetup got{tx->PageWidth(), tx->PageHeight(), tx->PageMarginL(), tx->PageMarginT(), tx->PageMarginR(), tx->PageMarginB()};
        EXPECT_EQ(got, c.page);
        EXPECT_EQ(text(), QString::fromUtf8(c.text));
    }
    EXPECT_FALSE(frm.LoadFile(dir.filePath(QStringLiteral("missing.txm")), 3));
    EXPECT_TRUE(dialogs.records().empty()); // a failed load reports nothing
}

TEST_F(EditorWindow, SaveFileTakesTheFormatFromTheName)
{
    test::writeDocument(file, {{"Riga uno"}}, {}, {12000, 15000, 1000, 1100, 1200, 1300});
    open(true);
    struct Case {
        const char* name;
        bool header;
    };
    for (const Case& c : {Case{"a.rtf", false}, Case{"b.TXT", false}, Case{"c.Doc", false}, Case{"d.txm", true}, Case{"senza_estensione", true}, Case{"f.docx", true}}) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        frm.SaveFile(path);
        EXPECT_TRUE(frm.Saved);
        const QByteArray bytes = test::readFile(path);
        ASSERT_GE(bytes.size(), 4);
        EXPECT_EQ(bytes.startsWith(header(23, {1000, 1100, 1200, 1300, 15000, 12000})), c.header);
        if (QString::fromLatin1(c.name).endsWith(QLatin1String("TXT"))) {
            EXPECT_TRUE(bytes.startsWith("Riga uno"));
        }
        // Whatever the format, the editor reads its text back.
        doc::TxDocument back;
        if (c.header)
            doc::loadDocumentFile(back, path);
        else
            doc::loadFile(back, path, 0, doc::formatForFileName(path));
        EXPECT_EQ(back.body()->toPlainText(), QStringLiteral("Riga uno"));
    }
}

TEST_F(EditorWindow, ModifiedAndSavedAcrossTheCommands)
{
    enum Step { Type, Notify, Save, SaveFails, Import, ImportUnreadable, CloseNo, CloseYes };
    struct Expect {
        Step step;
        bool modified;
        bool saved;
    };
    struct Case {
        const char* name;
        bool editable;
        std::vector<Expect> steps;
    };
    const Case cases[] = {
        {"edit, save, edit again, close without saving", true,
         {{Type, true, false}, {Save, false, true}, {Type, true, true}, {CloseNo, true, true}}},
        {"edit and close saving", true, {{Type, true, false}, {CloseYes, false, true}}},
        {"a failed save keeps both", true, {{Type, true, false}, {SaveFails, true, false}}},
        {"an import after a save clears Saved", true, {{Type, true, false}, {Save, false, true}, {Import, false, false}, {CloseNo, false, false}}},
        {"an unreadable import still clears both", true, {{Type, true, false}, {ImportUnreadable, false, false}}},
        {"viewing: notifications never set Modified", false, {{Notify, false, false}, {CloseNo, false, false}}},
        {"viewing: a save still sets Saved", false, {{Save, false, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeDocument(file, {{"Testo"}});
        test::writeFile(dir.filePath(QStringLiteral("word.rtf")), "{\\rtf1 Importato}");
        open(c.editable);
        EXPECT_FALSE(frm.Modified);
        EXPECT_FALSE(frm.Saved);
        int step = 0;
        for (const Expect& e : c.steps) {
            SCOPED_TRACE(step++);
            dialogs.clear();
            switch (e.step) {
            case Type:
                frm.tx1->setSelStart(0);
                QTest::keyClicks(frm.tx1, QStringLiteral("x"));
                break;
            case Notify:
                frm.tx1Change();
                frm.tx1FieldCreated(1);
                break;
            case Save:
                frm.DocumentFile = file;
                frm.salvaClick();
                break;
            case SaveFails:
                dialogs.answerMessage(mbOK);
                frm.DocumentFile = dir.filePath(QStringLiteral("no/such/folder/actdoc.txm"));
                frm.salvaClick();
                EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("Errore salvando il documento ") + frm.DocumentFile});
                break;
            case Import:
            case ImportUnreadable:
                dialogs.answerMessage(mbYes);
                dialogs.answerFile(e.step == Import ? dir.filePath(QStringLiteral("word.rtf")) : dir.filePath(QStringLiteral("nothing.doc")));
                frm.btnWordImpClick();
                ASSERT_EQ(dialogs.messages().size(), 1u);
                EXPECT_EQ(dialogs.messages()[0].caption, QStringLiteral("Attenzione"));
                EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Il documento corrente andrà\rperso. Continuare comunque?"));
                break;
            case CloseNo:
            case CloseYes: {
                const bool asks = frm.Modified;
                if (asks)
                    dialogs.answerMessage(e.step == CloseYes ? mbYes : mbNo);
                frm.FormClose();
                EXPECT_TRUE(frm.OpenPending);
                if (asks) {
                    ASSERT_FALSE(dialogs.messages().empty());
                    EXPECT_EQ(dialogs.messages()[0].caption, QStringLiteral("Salva modifiche"));
                    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Salvare le modifiche ?"));
                } else {
                    EXPECT_TRUE(dialogs.records().empty());
                }
                break;
            }
            }
            EXPECT_EQ(frm.Modified, e.modified);
            EXPECT_EQ(frm.Saved, e.saved);
        }
        frm.OpenPending = true;
        dialogs.clear();
    }
}

TEST_F(EditorWindow, ClosingYesWithAFailingSaveShowsTheErrorAndCloses)
{
    test::writeDocument(file, {{"Testo"}});
    open(true);
    QTest::keyClicks(frm.tx1, QStringLiteral("x"));
    frm.DocumentFile = dir.filePath(QStringLiteral("missing/actdoc.txm"));
    dialogs.answerMessage(mbYes);
    dialogs.answerMessage(mbOK);
    frm.FormClose();
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].text, QStringLiteral("Errore salvando il documento ") + frm.DocumentFile);
    EXPECT_EQ(dialogs.messages()[1].icon, MessageIcon::Critical);
    EXPECT_TRUE(frm.OpenPending);
    EXPECT_FALSE(frm.Saved);
}

TEST_F(EditorWindow, FillWritesValuesPlaceholdersAndUnlocks)
{
    struct Case {
        const char* tag;
        bool savedFlags; // changeable and deletable as saved
        const char* value;
        const char* shown;
        bool flagsAfter;
    };
    const QString u30(30, QLatin1Char('_')), u20(20, QLatin1Char('_')), u24(24, QLatin1Char('_'));
    const Case cases[] = {
        {"COMUNE", false, "Roma", "Roma", false},
        {"COMUNE", false, "", nullptr, false},      // 30 underscores
        {"COMUNE", true, " \t\r\n", nullptr, true}, // blanks only; flags as saved
        {"provincia", false, "", nullptr, true},    // lower case is the key; 20 underscores
        {"Via", false, "  Via Appia ", "  Via Appia ", true},
        {"NUMERO", false, "", "_____", true},
        {"TELEFONO", false, "06 1234", "06 1234", true},
        {"FAX", false, "", "______________", true},
        {"MAIL", false, "", "_________________________", true},
        {"SERVIZIO", false, "", nullptr, false},
        {"CITTA", false, "Roma", "Roma", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + "=" + c.value);
        entityData() = EntityData{};
        const QString key = QString::fromLatin1(c.tag).toUpper();
        entityData().setValue(key, QString::fromUtf8(c.value));
        test::writeDocument(file, {{"a "}, {"[X]", QString::fromLatin1(c.tag), c.savedFlags, c.savedFlags}, {" b "}, {"[keep]", "XCOMUNE"}});
        open(true);
        const int id = frm.tx1->NextFieldId(0, 0);
        frm.tx1->setFieldCurrent(id);
        QString expected = c.shown ? QString::fromUtf8(c.shown) : QString();
        if (!c.shown)
            expected = key == QLatin1String("COMUNE") ? u30 : key == QLatin1String("PROVINCIA") ? u20 : u24;
        EXPECT_EQ(frm.tx1->FieldText(), expected);
        EXPECT_EQ(frm.tx1->FieldChangeable(), c.flagsAfter);
        EXPECT_EQ(frm.tx1->FieldDeleteable(), c.flagsAfter);
        // A tag that is not a key is left alone.
        const int other = frm.tx1->NextFieldId(id, 0);
        frm.tx1->setFieldCurrent(other);
        EXPECT_EQ(frm.tx1->FieldText(), QStringLiteral("[keep]"));
        // Filling again gives the same document, and the fill is no change.
        const QString once = text();
        frm.FormActivate();
        EXPECT_EQ(text(), once);
        EXPECT_FALSE(frm.Modified);
        frm.FormClose();
    }
}

TEST_F(EditorWindow, FillReplacesWhatTheUserTypedInAnUnlockedField)
{
    entityData().VIA = QStringLiteral("Corso");
    test::writeDocument(file, {{"a "}, {"[VIA]", "VIA"}, {" b"}});
    open(true);
    EXPECT_EQ(text(), QStringLiteral("a Corso b"));
    frm.tx1->setSelStart(4);
    QTest::keyClicks(frm.tx1, QStringLiteral("zz"));
    EXPECT_EQ(text(), QStringLiteral("a Cozzrso b"));
    frm.FormActivate();
    EXPECT_EQ(text(), QStringLiteral("a Corso b"));
    dialogs.answerMessage(mbNo);
    frm.FormClose();
}

TEST_F(EditorWindow, BackspaceOnAField)
{
    struct Case {
        const char* name;
        int caret;
        std::optional<int> answer; // the question's answer, none when not asked
        const char* after;
        bool modified;
    };
    // After the fill: "a " + COMUNE "Roma" (locked) + " " + VIA "Corso" (unlocked) + " b"
    const Case cases[] = {
        {"caret outside any field", 1, std::nullopt, " Roma Corso b", true},
        {"after a locked field", 6, std::nullopt, "a Roma Corso b", false},
        {"after a deletable field, yes", 12, mbYes, "a Roma  b", true},
        {"after a deletable field, no: the key goes on", 12, mbNo, "a Roma Cors b", true},
        {"inside a deletable field, yes", 9, mbYes, "a Roma  b", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        entityData().COMUNE = QStringLiteral("Roma");
        entityData().VIA = QStringLiteral("Corso");
        test::writeDocument(file, {{"a "}, {"[C]", "COMUNE"}, {" "}, {"[V]", "VIA"}, {" b"}});
        open(true);
        ASSERT_EQ(text(), QStringLiteral("a Roma Corso b"));
        // The current field is the unlocked one: the question is about the field at the caret.
        frm.tx1->setFieldCurrent(frm.tx1->NextFieldId(frm.tx1->NextFieldId(0, 0), 0));
        frm.tx1->setSelStart(c.caret);
        dialogs.clear();
        if (c.answer)
            dialogs.answerMessage(*c.answer);
        QTest::keyClick(frm.tx1, Qt::Key_Backspace);
        if (c.answer) {
            ASSERT_EQ(dialogs.messages().size(), 1u);
            EXPECT_EQ(dialogs.messages()[0].caption, QStringLiteral("Elimina"));
            EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Eliminare il campo?"));
        } else {
            EXPECT_TRUE(dialogs.records().empty());
        }
        EXPECT_EQ(text(), QString::fromUtf8(c.after));
        EXPECT_EQ(frm.Modified, c.modified);
        frm.Modified = false;
        frm.FormClose();
    }
}

TEST_F(EditorWindow, InsertMergeField)
{
    test::writeDocument(file, {{"ab "}, {"[VIA]", "VIA"}, {" cd"}});
    open(true);
    ASSERT_EQ(text(), QStringLiteral("ab ____________________ cd"));
    // Inside a field: a message and no change.
    frm.tx1->setSelStart(5);
    dialogs.answerMessage(mbOK);
    frm.btncomuneClick();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Un campo non può essere inserito\rall'interno di un campo"));
    EXPECT_EQ(text(), QStringLiteral("ab ____________________ cd"));
    EXPECT_FALSE(frm.Modified);

    frm.tx1->setSelStart(1);
    frm.btnservizioClick();
    EXPECT_EQ(text(), QStringLiteral("a[SERVIZIO] b ____________________ cd"));
    const int id = frm.tx1->NextFieldId(0, 0);
    EXPECT_EQ(frm.tx1->FieldCurrent(), id);
    EXPECT_EQ(frm.tx1->FieldTag(id), QStringLiteral("SERVIZIO"));
    EXPECT_EQ(frm.tx1->FieldKindCode(id), 16);
    EXPECT_FALSE(frm.tx1->FieldChangeable());
    EXPECT_FALSE(frm.tx1->FieldDeleteable());
    EXPECT_EQ(frm.tx1->SelText(), QStringLiteral("[SERVIZIO]"));
    EXPECT_TRUE(frm.Modified);
    // The next fill writes the value.
    entityData().SERVIZIO = QStringLiteral("Ragioneria");
    frm.FormActivate();
    EXPECT_EQ(text(), QStringLiteral("aRagioneria b ____________________ cd"));
    dialogs.answerMessage(mbNo);
    frm.FormClose();
}

TEST_F(EditorWindow, CaseNumberFooter)
{
    test::writeDocument(file, {{"Testo"}}, QStringLiteral("vecchio"));
    open(false);
    for (std::optional<QString> answer : {std::optional<QString>(), std::optional<QString>(QString())}) {
        dialogs.answerInput(answer);
        frm.Button1Click();
        EXPECT_EQ(frm.tx1->document().footer()->toPlainText(), QStringLiteral("vecchio"));
    }
    dialogs.answerInput(QStringLiteral("12/2026"));
    frm.Button1Click();
    ASSERT_EQ(dialogs.records().size(), 3u);
    EXPECT_EQ(dialogs.records()[2].input.caption, QStringLiteral("Numero paratica"));
    EXPECT_EQ(frm.tx1->document().footer()->toPlainText(), QStringLiteral("vindral  Prat.  12/2026"));
    EXPECT_EQ(frm.tx1->EditMode(), 1);
    EXPECT_FALSE(frm.tx1->footerActive());
    EXPECT_EQ(text(), QStringLiteral("Testo"));
}

TEST_F(EditorWindow, EditStateShowsAndHidesTheEditingCommands)
{
    test::writeDocument(file, {{"Testo"}});
    const QStringList editing = {"tbgrid", "btnPar", "salva", "cut", "copia", "past", "btnInsertImage"};
    const QStringList always = {"btnstampa", "btnPrintSetup", "btnWordImp", "btnWordExp", "find", "zoo", "ToolButton1"};
    const QStringList editingMenu = {"Paragrafo", "Salva", "Taglia", "Copia", "Incolla", "Inserisci immagine"};
    for (bool editable : {true, false}) {
        SCOPED_TRACE(editable);
        open(editable);
        frm.show();
        for (const QString& name : editing)
            EXPECT_EQ(frm.findChild<QWidget*>(name)->isVisible(), editable) << name.toStdString();
        for (const QString& name : always)
            EXPECT_TRUE(frm.findChild<QWidget*>(name)->isVisible()) << name.toStdString();
        for (const char* name : {"btncomune", "btnprov", "btncitta", "btnvia", "btnnum", "btnTel", "btnfax", "btnmail", "btnservizio", "Button1"})
            EXPECT_FALSE(frm.findChild<QToolButton*>(QString::fromLatin1(name))->isVisible()) << name;
        QStringList visibleMenus;
        for (QAction* a : frm.menuBar()->actions())
            if (a->isVisible())
                visibleMenus << a->text();
        EXPECT_EQ(visibleMenus, editable ? QStringList({"&Documento", "&Modifica", "Tabelle"}) : QStringList({"&Documento", "&Modifica"}));
        for (QAction* a : frm.findChildren<QAction*>()) {
            if (editingMenu.contains(a->text()) && a->objectName().endsWith(QLatin1Char('1'))) {
                EXPECT_EQ(a->isVisible(), editable) << a->objectName().toStdString();
            }
        }
        EXPECT_EQ(frm.tx1->EditMode(), editable ? 0 : 1);
        frm.hide();
        frm.FormClose();
    }
}

TEST_F(EditorWindow, MenusInTheirOrderWithShortcuts)
{
    auto entries = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    const QList<QAction*> menus = frm.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(entries(menus[0]->menu()), QStringList({"Paragrafo", "-", "Salva", "-", "Imposta stampante", "Stampa", "-",
                                                      "Esporta in formato Word", "Importa da formato Word", "Inserisci immagine", "-", "&Esci"}));
    EXPECT_EQ(entries(menus[1]->menu()), QStringList({"Taglia", "Copia", "Incolla", "-", "Trova ...", "-", "Zoom"}));
    EXPECT_EQ(entries(menus[1]->menu()->actions().last()->menu()),
              QStringList({"50%", "60%", "70%", "80%", "90%", "100%", "110%", "120%"}));
    EXPECT_EQ(entries(menus[2]->menu()), QStringList({"Inserisci", "-", "Formatta", "Visualizza griglia", "-", "Impostazione rientri .."}));
    const std::pair<const char*, QKeySequence> shortcuts[] = {
        {"Salva1", QKeySequence(Qt::SHIFT | Qt::Key_F12)}, {"Copia1", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"Incolla1", QKeySequence(Qt::CTRL | Qt::Key_V)},  {"Taglia1", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"Trova1", QKeySequence(Qt::CTRL | Qt::Key_F)},
    };
    for (const auto& [name, keys] : shortcuts)
        EXPECT_EQ(frm.findChild<QAction*>(QString::fromLatin1(name))->shortcut(), keys) << name;
    EXPECT_EQ(frm.findChild<QToolButton*>(QStringLiteral("salva"))->toolTip(), QStringLiteral("Salva documento"));
    EXPECT_EQ(frm.findChild<QToolButton*>(QStringLiteral("btninstable"))->toolTip(), QStringLiteral("IUnserisci tabella"));
    EXPECT_EQ(frm.windowTitle(), QStringLiteral("Documento"));
}

TEST_F(EditorWindow, ZoomListMenuAndGrid)
{
    test::writeDocument(file, {{"Testo"}});
    open(true);
    EXPECT_EQ(frm.zoo->currentIndex(), 5);
    EXPECT_EQ(frm.zoo->itemText(0), QStringLiteral("50 %"));
    frm.zooChange(0);
    EXPECT_EQ(frm.tx1->ZoomFactor(), 50);
    frm.zooChange(7);
    EXPECT_EQ(frm.tx1->ZoomFactor(), 120);
    frm.N701Click();
    EXPECT_EQ(frm.zoo->currentIndex(), 2);
    EXPECT_EQ(frm.tx1->ZoomFactor(), 70);

    auto* grid = frm.findChild<QToolButton*>(QStringLiteral("btngrid"));
    grid->click();
    EXPECT_TRUE(frm.tx1->TableGridLines());
    EXPECT_TRUE(frm.findChild<QAction*>(QStringLiteral("Visualizzagriglia1"))->isChecked());
    // The next opening starts at 100 % without grid lines.
    frm.FormClose();
    open(true);
    EXPECT_EQ(frm.tx1->ZoomFactor(), 100);
    EXPECT_FALSE(frm.tx1->TableGridLines());
    EXPECT_FALSE(grid->isChecked());
}

TEST_F(EditorWindow, ExportImageAndSearchCommands)
{
    test::writeDocument(file, {{"uno due tre due"}});
    open(true);
    // Word export: Modified, Saved and DocumentFile stay.
    const QString exported = dir.filePath(QStringLiteral("export.doc"));
    dialogs.answerFile(exported);
    frm.btnWordExpClick();
    EXPECT_EQ(dialogs.records()[0].file.caption, QStringLiteral("Esportazione in formato Word"));
    EXPECT_EQ(dialogs.records()[0].file.filter, QStringLiteral("Formato Word (*.doc)|*.doc"));
    EXPECT_EQ(dialogs.records()[0].file.fileName, QStringLiteral("Senza nome"));
    EXPECT_TRUE(QFile::exists(exported));
    EXPECT_FALSE(frm.Saved);
    EXPECT_EQ(frm.DocumentFile, file);
    dialogs.clear();
    const QString badExport = dir.filePath(QStringLiteral("no/dir/x.doc"));
    dialogs.answerFile(badExport);
    dialogs.answerMessage(mbOK);
    frm.btnWordExpClick();
    EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("Errore esportando il documento ") + badExport);

    // Picture: a bad file shows the error and changes nothing.
    dialogs.clear();
    const QString bad = dir.filePath(QStringLiteral("bad.png"));
    test::writeFile(bad, "no picture");
    dialogs.answerFile(bad);
    dialogs.answerMessage(mbOK);
    frm.btnInsertImageClick();
    EXPECT_EQ(dialogs.records()[0].file.caption, QStringLiteral("Insert Image"));
    EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("L'immagine non può essere inserita: ") + bad + QStringLiteral("."));
    EXPECT_FALSE(frm.Modified);
    dialogs.clear();
    const QString good = dir.filePath(QStringLiteral("good.png"));
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::blue);
    img.save(good);
    dialogs.answerFile(good);
    frm.btnInsertImageClick();
    EXPECT_TRUE(frm.Modified);

    // Search: from the caret on.
    dialogs.clear();
    frm.tx1->setSelStart(0);
    dialogs.answerInput(QStringLiteral("due"));
    frm.findClick();
    EXPECT_EQ(dialogs.records()[0].input.caption, QStringLiteral("Cerca"));
    EXPECT_EQ(dialogs.records()[0].input.prompt, QStringLiteral("Testo da cercare"));
    EXPECT_EQ(frm.tx1->SelText(), QStringLiteral("due"));
    const int first = frm.tx1->SelStart();
    dialogs.answerInput(QStringLiteral("due"));
    frm.findClick();
    EXPECT_GT(frm.tx1->SelStart(), first);
    dialogs.answerInput(std::nullopt);
    frm.findClick();
    dialogs.answerMessage(mbNo);
    frm.FormClose();
}

// The events through a real modal show: show event, activation, close box.
TEST_F(EditorWindow, ModalShowRunsTheOpeningOnceAndAsksOnClose)
{
    entityData().COMUNE = QStringLiteral("Siena");
    test::writeDocument(file, {{"Il comune di "}, {"[C]", "COMUNE"}});
    frm.Editable = true;
    frm.DocumentFile = file;
    frm.setWindowTitle(QStringLiteral("Bando"));
    dialogs.answerExec([&](QObject* w) {
        auto* win = qobject_cast<QWidget*>(w);
        win->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(win));
        frm.activateWindow();
        QTest::qWait(50);
        EXPECT_EQ(text(), QStringLiteral("Il comune di Siena"));
        EXPECT_FALSE(frm.OpenPending);
        frm.tx1->setSelStart(0);
        QTest::keyClicks(frm.tx1, QStringLiteral("X"));
        win->hide();
        win->show(); // a second show within the opening does nothing
        EXPECT_EQ(text(), QStringLiteral("XIl comune di Siena"));
        win->close();
        return 0;
    });
    dialogs.answerMessage(mbYes);
    dialogs.exec(&frm);
    EXPECT_TRUE(frm.Saved);
    EXPECT_TRUE(frm.OpenPending);
    doc::TxDocument back;
    doc::loadDocumentFile(back, file);
    EXPECT_EQ(back.body()->toPlainText(), QStringLiteral("XIl comune di Siena"));
}

// A file may give two separate runs one field id: each stays a field of its
// own, and the walk over the fields ends.
TEST_F(EditorWindow, RepeatedFieldIdsInAFileAreSeparateFields)
{
    entityData().COMUNE = QStringLiteral("Siena");
    doc::TxDocument d;
    QTextCursor c(d.body());
    c.insertText(QStringLiteral("[A]"), doc::fieldFormat(5, QStringLiteral("COMUNE"), 16, false, false));
    c.insertText(QStringLiteral(" e "), QTextCharFormat());
    c.insertText(QStringLiteral("[B]"), doc::fieldFormat(5, QStringLiteral("COMUNE"), 16, false, false));
    doc::saveDocumentFile(d, file);
    open(true);
    EXPECT_EQ(text(), QStringLiteral("Siena e Siena"));
    const int first = frm.tx1->NextFieldId(0, 0);
    const int second = frm.tx1->NextFieldId(first, 0);
    EXPECT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_LE(frm.tx1->NextFieldId(second, 0), 0);
}
