// About box, version history with printing, reminder, splash, manual viewer.
#include "app/AboutBox.h"
#include "app/HistoryDialog.h"
#include "app/ManualViewer.h"
#include "app/SplashForm.h"
#include "app/SpotBox.h"
#include "platform/Clock.h"
#include "platform/PendingMessages.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "ui/main/LayoutCheck.h"

#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace orv::app {
namespace {

TEST(AboutBox, ShowsTitleAndVersionWhateverItHeld)
{
    test::ScriptedDialogs dialogs;
    TAboutBox box;
    box.lbAppName->setText(QStringLiteral("vecchio"));
    QString name, version;
    dialogs.answerExec([&](QObject* w) {
        EXPECT_EQ(w, &box);
        name = box.lbAppName->text();
        version = box.lbAppVer->text();
        return 1;
    });
    showAboutBox(&box);
    EXPECT_EQ(name, QStringLiteral("Orvanta"));
    EXPECT_EQ(version, QStringLiteral("Versione 3.00"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Informazioni su..."));
}

class HistoryTest : public ::testing::Test {
protected:
    void open()
    {
        dialogs.answerExec([](QObject*) { return 1; });
        history.showHistory();
    }
    test::ScriptedDialogs dialogs;
    TdlgHistory history;
};

TEST_F(HistoryTest, RefilledAtEveryOpening)
{
    history.mmHistory->setPlainText(QStringLiteral("resto"));
    open();
    open();
    EXPECT_EQ(history.mmHistory->toPlainText(), QStringLiteral("*** VERSIONE 3.00 ***\n1) Primo rilascio"));
    EXPECT_EQ(history.windowTitle(), QStringLiteral("Storico delle versioni"));
}

TEST_F(HistoryTest, PrintsSevenLinesOnTheChosenPrinter)
{
    open();
    const QString indent(9, QLatin1Char(' '));
    EXPECT_EQ(history.printLines(),
              QStringList({"", "", indent + "Storico delle versioni di Orvanta", "", "",
                           indent + "*** VERSIONE 3.00 ***", indent + "1) Primo rilascio"}));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("storico.pdf"));
    history.printer()->setOutputFormat(QPrinter::PdfFormat);
    history.printer()->setOutputFileName(pdf);

    dialogs.answerPrint(false);
    history.btnStampa->click();
    EXPECT_FALSE(QFile::exists(pdf)) << "cancelled";

    dialogs.answerPrint(true);
    history.btnStampa->click();
    ASSERT_TRUE(QFile::exists(pdf));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return;
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Storico delle versioni di Orvanta")));
    EXPECT_TRUE(text.contains(QStringLiteral("*** VERSIONE 3.00 ***")));
    EXPECT_TRUE(text.contains(QStringLiteral("1) Primo rilascio")));
}

TEST_F(HistoryTest, EmptyMemoPrintsNothing)
{
    history.mmHistory->clear();
    history.btnStampa->click(); // no print dialog asked for
    EXPECT_TRUE(dialogs.records().empty());
}

TEST(SpotBox, YesIsTheDefaultAndEscapeCancels)
{
    TdlgSpotBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Verifica disponibilità aggiornamento programma"));
    EXPECT_TRUE(box.OKBtn->isDefault());
    EXPECT_EQ(box.OKBtn->text(), QStringLiteral("&Si"));
    EXPECT_EQ(box.CancelBtn->text(), QStringLiteral("&No"));
    box.show();
    box.reject(); // Escape
    EXPECT_EQ(box.result(), QDialog::Rejected);
}

TEST(Splash, WaitsTwoThousandTicksPaintingAsItGoesAcrossAWrap)
{
    for (quint32 start : {1000u, 0xFFFFFF00u}) {
        Clock::pinTicks(start);
        TSplashform splash;
        splash.show();
        int steps = 0;
        bool visible = true;
        setProcessMessagesHook([&] {
            ++steps;
            visible = visible && splash.isVisible();
            Clock::advanceTicks(100);
        });
        waitWithSplash(2000);
        setProcessMessagesHook({});
        EXPECT_EQ(steps, 20) << start;
        EXPECT_TRUE(visible);
        EXPECT_FALSE(splash.background().isNull());
        EXPECT_EQ(splash.size(), QSize(441, 357));
    }
    Clock::reset();
}

TEST(ManualViewer, ShowsTheContentsPageOrSaysItIsMissing)
{
    TfrmManual viewer;
    QTemporaryDir dir;
    viewer.showContents(dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_TRUE(viewer.browser()->toPlainText().contains(QStringLiteral("Manuale non disponibile")));

    test::writeFile(dir.filePath(QStringLiteral("index.html")),
                    "<html><body><h1>Indice</h1><a href=\"capitolo.html\">Capitolo</a></body></html>");
    viewer.showContents(dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(viewer.browser()->toPlainText().startsWith(QStringLiteral("Indice")));
}

TEST(ManualViewer, TheShippedManualExplainsTheProgramInItalian)
{
    const QString folder = test::sourceDir() + QStringLiteral("/manual/");
    TfrmManual viewer;
    viewer.showContents(folder);
    const QString text = viewer.browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Orvanta")));
    EXPECT_FALSE(text.contains(QStringLiteral("Manuale non disponibile")));
    // Every page the contents page links to exists.
    const QStringList pages = QDir(folder).entryList({QStringLiteral("*.html")});
    EXPECT_GE(pages.size(), 5);
    for (const QString& page : pages) {
        const QString html = QString::fromUtf8(test::readFile(folder + page));
        static const QRegularExpression link(QStringLiteral("href=\"([a-z0-9_-]+\\.html)"));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(folder + target)) << page.toStdString() << " -> " << target.toStdString();
        }
    }
}

} // namespace
} // namespace orv::app

namespace orv::app {
namespace {

TEST(AppWindowsLayout, SmallWindowsShowTheirTextsWhole)
{
    TAboutBox about;
    about.lbAppName->setText(kProductTitle);
    about.lbAppVer->setText(kVersionText);
    TdlgSpotBox spot;
    for (QWidget* w : std::initializer_list<QWidget*>{&about, &spot}) {
        SCOPED_TRACE(w->objectName().toStdString());
        w->show();
        test::expectTextsWhole(w);
        test::saveScreenshot(w, w->objectName());
        w->hide();
    }
    TSplashform splash;
    splash.show();
    test::saveScreenshot(&splash, QStringLiteral("splash"));
}

} // namespace
} // namespace orv::app
