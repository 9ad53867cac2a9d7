// The main window as the user meets it: start view, tree, pages, list
// navigation, opening documents and writing them back.
#include "MainWindowHarness.h"

#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace orv::test {
namespace {

using MainWindowTest = MainWindowHarness;

const QString kPath01 = QStringLiteral("Servizi -> Superiore alla soglia -> 01 Pubblico incanto");

TEST_F(MainWindowTest, StartViewShowsTheStandardLibraryOfProcedure01)
{
    auto* pages = child<QTabWidget>("PageControl1");
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabModulistica"));
    EXPECT_FALSE(pages->tabBar()->isVisible());
    EXPECT_TRUE(child("btnDocumenti")->isChecked());
    EXPECT_FALSE(child("btnArchivio")->isChecked());
    EXPECT_TRUE(child("btnMenuDocumenti")->isEnabled());
    EXPECT_FALSE(child("btnMenuPratiche")->isEnabled());

    EXPECT_EQ(window->tree()->currentItem()->text(0), QStringLiteral("01 Pubblico incanto"));
    EXPECT_EQ(currentCode(), QStringLiteral("01"));
    EXPECT_EQ(band("dxGridDocumenti"), QStringLiteral("Modulistica - Procedura: ") + kPath01);
    EXPECT_EQ(band("dxGridPratiche"), QStringLiteral("Elenco pratiche di: ") + kPath01);
    EXPECT_EQ(band("dxDBGrid2"), QStringLiteral("Elenco documenti della pratica selezionata"));
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 3);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvanta"));
}

TEST_F(MainWindowTest, TreeHasTwentyNineNodesInTheirGroupsAllExpanded)
{
    struct Expected { int depth; const char* text; bool bold; };
    const Expected expected[] = {
        {0, "Procedura Aperta Ristretta e Negoziata", true}, {1, "Superiore alla soglia", true},
        {2, "Tipologia Appalto: Servizi", true}, {3, "01 Pubblico incanto", false},
        {3, "02 Licitazione privata", false}, {3, "03 Appalto concorso", false},
        {2, "Tipologia Appalto: Forniture", true}, {3, "04 Pubblico incanto", false},
        {3, "05 Licitazione privata", false}, {3, "06 Appalto concorso", false},
        {1, "Inferiore alla soglia ", true}, {2, "Tipologia Appalto: Servizi", true},
        {3, "07 Pubblico incanto", false}, {3, "08 Licitazione privata", false},
        {3, "09 Trattativa privata", false}, {2, "Tipologia Appalto: Forniture", true},
        {3, "10 Pubblico incanto", false}, {3, "11 Licitazione privata", false},
        {3, "12 Trattativa privata", false}, {0, "Spese in Economia", true},
        {1, "Regolamento", true}, {1, "Intervento in amministrazione diretta", true},
        {2, "13 Lavori", false}, {2, "14 Beni e servizi", false},
        {1, "Intervento a cottimo fiduciario", true}, {2, "15 Lavori", false},
        {2, "16 Beni e servizi", false}, {1, "Acquisti Centralizzati", true},
        {2, "17 Adesione convenzioni CONSIP", false},
    };
    int i = 0;
    for (QTreeWidgetItemIterator it(window->tree()); *it; ++it, ++i) {
        ASSERT_LT(i, 29);
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ((*it)->text(0), QString::fromUtf8(expected[i].text));
        EXPECT_EQ(depth, expected[i].depth);
        EXPECT_EQ((*it)->font(0).bold(), expected[i].bold);
        EXPECT_FALSE((*it)->icon(0).isNull());
        if ((*it)->childCount() > 0) {
            EXPECT_TRUE((*it)->isExpanded());
        }
    }
    EXPECT_EQ(i, 29);
    EXPECT_EQ(window->regolamentoNode(), node(QStringLiteral("Regolamento")));
}

TEST_F(MainWindowTest, EveryLeafSelectsItsOwnProcedure)
{
    for (int code = 1; code <= 17; ++code) {
        const QString c = QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0'));
        const auto leaves = window->tree()->findItems(c + QLatin1Char(' '), Qt::MatchStartsWith | Qt::MatchRecursive);
        ASSERT_EQ(leaves.size(), 1) << code;
        window->tree()->setCurrentItem(leaves[0]);
        EXPECT_EQ(currentCode(), c);
        EXPECT_TRUE(band("dxGridDocumenti").endsWith(leaves[0]->text(0)));
    }
    EXPECT_EQ(band("dxGridDocumenti"),
              QStringLiteral("Modulistica - Procedura: Acquisti centralizzati ->17 Adesione convenzioni CONSIP"));
}

TEST_F(MainWindowTest, NavigationButtonsWalkTheWholeTreeAndStopAtItsEnds)
{
    click("btnNodeNext"); // 01 -> 02
    click("btnNodeNext"); // -> 03
    EXPECT_EQ(currentCode(), QStringLiteral("03"));
    click("btnNodeNext");
    EXPECT_EQ(window->tree()->currentItem()->text(0), QStringLiteral("Tipologia Appalto: Forniture"));
    EXPECT_EQ(currentCode(), QStringLiteral("03")) << "a group node leaves the lists alone";
    EXPECT_TRUE(band("dxGridDocumenti").endsWith(QStringLiteral("03 Appalto concorso")));
    click("btnNodeNext");
    EXPECT_EQ(currentCode(), QStringLiteral("04"));

    window->tree()->setCurrentItem(window->tree()->topLevelItem(0));
    click("btnNodePrev");
    EXPECT_EQ(window->tree()->currentItem(), window->tree()->topLevelItem(0));

    selectProcedure(QStringLiteral("17 Adesione convenzioni CONSIP"));
    click("btnNodeNext");
    EXPECT_EQ(window->tree()->currentItem()->text(0), QStringLiteral("17 Adesione convenzioni CONSIP"));
}

TEST_F(MainWindowTest, CollapseAndExpandActOnTheSelectedBranchAndNextRevealsHiddenNodes)
{
    QTreeWidgetItem* root = window->tree()->topLevelItem(0);
    window->tree()->setCurrentItem(root);
    click("btnNodeCollapse");
    EXPECT_FALSE(root->isExpanded());
    EXPECT_FALSE(node(QStringLiteral("Superiore alla soglia"))->isExpanded());
    EXPECT_TRUE(window->tree()->topLevelItem(1)->isExpanded()) << "other branches stay";

    click("btnNodeNext"); // into the collapsed branch, by absolute index
    EXPECT_EQ(window->tree()->currentItem()->text(0), QStringLiteral("Superiore alla soglia"));
    EXPECT_TRUE(root->isExpanded());

    window->tree()->setCurrentItem(root);
    click("btnNodeExp");
    std::function<void(QTreeWidgetItem*)> expectExpanded = [&](QTreeWidgetItem* n) {
        if (n->childCount()) {
            EXPECT_TRUE(n->isExpanded()) << n->text(0).toStdString();
        }
        for (int i = 0; i < n->childCount(); ++i)
            expectExpanded(n->child(i));
    };
    expectExpanded(root);
}

TEST_F(MainWindowTest, ClickingRegolamentoOpensTheRulesEditableWithoutMovingTheLists)
{
    selectProcedure(QStringLiteral("05 Licitazione privata"));
    QTreeWidgetItem* rules = node(QStringLiteral("Regolamento"));
    const QRect r = window->tree()->visualItemRect(rules);
    QTest::mouseClick(window->tree()->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(editor.openings.size(), 1u);
    EXPECT_EQ(editor.openings[0].caption, QStringLiteral("Regolamento"));
    EXPECT_EQ(editor.openings[0].file, dataFolder() + QStringLiteral("Regolamento.txm"));
    EXPECT_TRUE(editor.openings[0].editable);
    EXPECT_EQ(currentCode(), QStringLiteral("05"));

    // Moving onto it without the mouse does not open it.
    click("btnNodePrev");
    click("btnNodeNext");
    EXPECT_EQ(editor.openings.size(), 1u);
}

TEST_F(MainWindowTest, PageSwitchFromTheMenuSwapsWhichMenuCanOpen)
{
    action("Archiviopratiche1")->trigger();
    auto* pages = child<QTabWidget>("PageControl1");
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabArchivio"));
    EXPECT_TRUE(child("btnArchivio")->isChecked());
    EXPECT_FALSE(child("btnDocumenti")->isChecked());
    EXPECT_TRUE(child("btnMenuPratiche")->isEnabled());
    EXPECT_FALSE(child("btnMenuDocumenti")->isEnabled());
    EXPECT_TRUE(action("Archiviopratiche1")->isChecked());
    EXPECT_FALSE(action("Documenti1")->isChecked());

    click("btnDocumenti");
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabModulistica"));
    EXPECT_FALSE(child("btnMenuPratiche")->isEnabled());
    EXPECT_TRUE(action("Documenti1")->isChecked());

    // The start view brings the first page back whatever was shown.
    click("btnArchivio");
    window->FormShow();
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabModulistica"));
    EXPECT_EQ(currentCode(), QStringLiteral("01"));
}

TEST_F(MainWindowTest, ListNavigationStopsAtBothEnds)
{
    storage::Table* docs = dm->ttDocumenti;
    click("btnDocLast");
    EXPECT_EQ(docs->recNo(), 2);
    click("btnDocNext");
    click("btnDocLast");
    EXPECT_EQ(docs->recNo(), 2);
    click("btnDocPrev");
    EXPECT_EQ(docs->recNo(), 1);
    click("btnDocFirst");
    EXPECT_EQ(docs->recNo(), 0);
    click("btnDocPrev");
    EXPECT_EQ(docs->recNo(), 0);
    EXPECT_EQ(dm->dsDocumenti->currentRow(), 0);

    // Procedure 07 has no case file: its document list is empty and every
    // button does nothing.
    selectProcedure(QStringLiteral("07 Pubblico incanto"));
    for (const char* b : {"btnUserDocFirst", "btnUserDocPrev", "btnUserDocNext", "btnUserDocLast"})
        click(b);
    EXPECT_TRUE(dm->ttUserDoc->isEmpty());
}

TEST_F(MainWindowTest, FocusFramesMarkTheAreaWithTheFocus)
{
    auto* tree = child<ui::FramePanel>("pnlTree");
    auto* proc = child<ui::FramePanel>("pnlProc");
    window->dxGridDocumentiEnter();
    EXPECT_EQ(proc->frameColor(), QColor(255, 0, 0));
    EXPECT_EQ(tree->frameColor(), QColor(0, 0, 128));
    window->TreeEnter();
    EXPECT_EQ(tree->frameColor(), QColor(255, 0, 0));
    for (const char* name : {"pnlProc", "pnlUserProc", "pnlUserDoc"})
        EXPECT_EQ(child<ui::FramePanel>(name)->frameColor(), QColor(0, 0, 128)) << name;
}

// ---- Opening documents ------------------------------------------------------

TEST_F(MainWindowTest, ViewingAStandardDocumentAsksNothingAndChangesNothing)
{
    const QByteArray before = dm->ttDocumenti->currentRow().asString(QStringLiteral("TITOLO")).toUtf8();
    click("btnDocPreview");
    ASSERT_EQ(editor.openings.size(), 1u);
    const auto& o = editor.openings[0];
    EXPECT_FALSE(o.editable);
    EXPECT_EQ(o.file, workingFile());
    EXPECT_EQ(o.caption, QStringLiteral("Servizi - Superiore alla soglia - Procedura Pubblico incanto -> ")
                             + dm->ttDocumenti->currentRow().asString(QStringLiteral("TITOLO")));
    EXPECT_FALSE(o.contents.isEmpty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MainWindowTest, SavedStandardDocumentBecomesTheDefaultOnlyOnYes)
{
    const qint64 id = dm->ttDocumenti->currentRow().asInteger(QStringLiteral("ID_DOCUMENTO"));
    const QByteArray original = folder->documentBody(id);
    editor.onShow = [](const QString& file) {
        writeFile(file, "EDITED STANDARD");
        return true;
    };

    dialogs.answerMessage(mbNo);
    click("btndocEdit");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const MessageRequest q = dialogs.messages()[0];
    EXPECT_EQ(q.caption, QStringLiteral("Attenzione"));
    EXPECT_EQ(q.text, QStringLiteral("Attenzione il documento modificato sarà\rimpostato come predefinito.\r"
                                     "Impostare il documento modificato come predefinito?"));
    EXPECT_EQ(q.icon, MessageIcon::Warning);
    EXPECT_EQ(q.buttons, mbYes | mbNo);
    EXPECT_TRUE(editor.openings[0].editable);
    EXPECT_EQ(folder->documentBody(id), original);

    dialogs.answerMessage(mbYes);
    click("btndocEdit");
    EXPECT_EQ(folder->documentBody(id), QByteArray("EDITED STANDARD"));
    editor.onShow = {};
    click("btnDocPreview");
    EXPECT_EQ(editor.openings.back().contents, QByteArray("EDITED STANDARD"));
}

TEST_F(MainWindowTest, EmptyBodySaysSoInViewAndEditAlike)
{
    selectProcedure(QStringLiteral("05 Licitazione privata"));
    storage::Table* docs = dm->ttDocumenti;
    ASSERT_TRUE(docs->locate(QStringLiteral("CODICE"), QStringLiteral("4")));
    dialogs.answerMessage(mbOK);
    dialogs.answerMessage(mbOK);
    click("btnDocPreview");
    click("btndocEdit");
    ASSERT_EQ(dialogs.messages().size(), 2u);
    for (const MessageRequest& m : dialogs.messages()) {
        EXPECT_EQ(m.text, QStringLiteral("Nessun documento associato."));
        EXPECT_EQ(m.buttons, mbOK);
    }
    EXPECT_TRUE(editor.openings.empty());
}

TEST_F(MainWindowTest, CaseDocumentTitleAndWriteBackWithTodaysDate)
{
    click("btnArchivio");
    ASSERT_EQ(dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE")), QStringLiteral("Cancelleria 2004"));
    const qint64 caseId = dm->ttUserProc->currentRow().asInteger(QStringLiteral("ID_USER_PROCEDURA"));
    click("btnUserDocNext"); // the second document of the case file
    const qint64 docId = dm->ttUserDoc->currentRow().asInteger(QStringLiteral("ID_USER_DOCUMENTO"));

    // Closed without saving: nothing changes.
    click("btnUserDocShow");
    ASSERT_EQ(editor.openings.size(), 1u);
    EXPECT_EQ(editor.openings[0].caption,
              QStringLiteral("Servizi -> Superiore alla soglia -> 01 Pubblico incanto [Cancelleria 2004]"));
    EXPECT_TRUE(editor.openings[0].editable);
    auto findDoc = [&] {
        for (const auto& d : folder->caseDocuments(caseId))
            if (d.id == docId)
                return d;
        ADD_FAILURE() << "case document gone";
        return FixtureFolder::CaseDocument{};
    };
    EXPECT_EQ(findDoc().modified, QDate(2004, 2, 2));

    editor.onShow = [](const QString& file) {
        writeFile(file, "EDITED CASE");
        return true;
    };
    click("btnUserDocShow");
    const auto after = findDoc();
    EXPECT_EQ(after.body, QByteArray("EDITED CASE"));
    EXPECT_EQ(after.modified, kToday);
    EXPECT_TRUE(dialogs.messages().empty()) << "no question for a case document";
    EXPECT_EQ(dm->ttUserDoc->currentRow().asDate(QStringLiteral("DATA_MODIFICA")), kToday);
}

TEST_F(MainWindowTest, EmptyCaseDocumentListOpensNothing)
{
    selectProcedure(QStringLiteral("07 Pubblico incanto"));
    click("btnUserDocPreview");
    click("btnUserDocShow");
    EXPECT_TRUE(editor.openings.empty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MainWindowTest, ClosingTheWindowClosesTheArchive)
{
    window->close();
    EXPECT_FALSE(dm->ttProcedure->isOpen());
    EXPECT_FALSE(dm->ttUserDoc->isOpen());
    EXPECT_FALSE(dm->DataBase->isOpen());
}

} // namespace
} // namespace orv::test
