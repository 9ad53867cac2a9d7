#include "platform/Clock.h"
#include "platform/Commands.h"
#include "platform/PendingMessages.h"
#include "platform/ProgramFolder.h"
#include "support/ScriptedDialogs.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

using namespace orv;

TEST(Clock, PinnedTimeAndTicksUntilReset)
{
    Clock::pinToday(QDate(2004, 2, 29));
    Clock::pinTicks(1000);
    Clock::advanceTicks(250);
    EXPECT_EQ(Clock::today(), QDate(2004, 2, 29));
    EXPECT_EQ(Clock::tickCount(), 1250u);
    Clock::reset();
    EXPECT_EQ(Clock::today(), QDate::currentDate());
}

TEST(ProgramFolder, EndsWithSeparatorAndHoldsDataFolder)
{
    setProgramFolder(QStringLiteral("/tmp/orvanta"));
    EXPECT_EQ(programFolder(), QStringLiteral("/tmp/orvanta/"));
    EXPECT_EQ(dataFolder(), QStringLiteral("/tmp/orvanta/DATI/"));
    setProgramFolder(QStringLiteral("/tmp/orvanta/"));
    EXPECT_EQ(programFolder(), QStringLiteral("/tmp/orvanta/"));
}

TEST(Dialogs, ScriptedAnswersAreRecordedInOrder)
{
    test::ScriptedDialogs script;
    script.answerMessage(mbNo);
    script.answerInput(QStringLiteral("12"));
    EXPECT_EQ(messageBox(QStringLiteral("Conferma"), QStringLiteral("Cancellare?\rSicuro?"), MessageIcon::Question,
                         mbYes | mbNo, mbNo),
              mbNo);
    EXPECT_EQ(dialogs().input({QStringLiteral("Righe"), QStringLiteral("Numero"), QString()}), QStringLiteral("12"));
    ASSERT_EQ(script.records().size(), 2u);
    const MessageRequest& m = script.records()[0].message;
    EXPECT_EQ(m.caption, QStringLiteral("Conferma"));
    EXPECT_EQ(m.text, QStringLiteral("Cancellare?\rSicuro?"));
    EXPECT_EQ(m.icon, MessageIcon::Question);
    EXPECT_EQ(m.defaultButton, mbNo);
    script.expectAllUsed();
}

namespace {
struct Handlers : QObject {
    int after = 0;
    void failing() { throw Error(QStringLiteral("Tabella non trovata")); }
    void withArgument(bool) { ++after; }
};
} // namespace

TEST(StandardErrorBox, UncaughtErrorOfACommandIsShownAndTheProgramGoesOn)
{
    test::ScriptedDialogs script;
    script.answerMessage(mbOK);
    script.answerMessage(mbOK);
    Handlers h;
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &h, command(&h, &Handlers::failing));
    QObject::connect(&button, &QPushButton::clicked, &h, command(&h, &Handlers::withArgument));
    button.click();
    EXPECT_EQ(h.after, 1);

    // An error escaping an event handler outside command() reaches the box too.
    QTimer::singleShot(0, [] { throw std::runtime_error("disk error"); });
    QTest::qWait(20);

    const auto shown = script.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Tabella non trovata"));
    EXPECT_EQ(shown[0].caption, applicationTitle());
    EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(shown[1].text, QStringLiteral("disk error"));
}

TEST(PendingMessages, ProcessesQueuedEventsAndCallsTheHook)
{
    int hookCalls = 0;
    bool delivered = false;
    setProcessMessagesHook([&] { ++hookCalls; });
    QTimer::singleShot(0, [&] { delivered = true; });
    processMessages();
    setProcessMessagesHook({});
    EXPECT_TRUE(delivered);
    EXPECT_EQ(hookCalls, 1);
}
