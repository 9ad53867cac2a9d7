#include "update/WorkerThread.h"

#include "platform/Error.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace orv;

namespace {

constexpr int kPatience = 60000; // generous: CI machines are slow and shared

// Waits without processing any event, so the user-interface thread cannot
// serve a synchronous call meanwhile.
bool spinUntil(const std::atomic<bool>& flag)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatience);
    while (!flag && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

QString messageOf(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Error& x) {
        return x.message();
    } catch (...) {
        return QStringLiteral("?");
    }
}

class WorkerThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Workers of earlier tests are released through the event loop.
        ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 0; }, kPatience));
        ASSERT_EQ(TWorkerThread::HiddenWindowCount(), 0);
    }
};

TEST_F(WorkerThreadTest, RoutineRunsOnItsOwnThreadAndEveryHandlerOnTheUserInterfaceThread)
{
    TWorkerThread worker;
    std::atomic<QThread*> routineThread{nullptr};
    QThread* syncThread = nullptr;
    QThread* endThread = nullptr;
    bool runningDuringCall = false;
    bool runningDuringEnd = true;
    int ends = 0;
    worker.OnWork = [&] {
        routineThread = QThread::currentThread();
        TWorkerThread::Synchronize([&] {
            syncThread = QThread::currentThread();
            runningDuringCall = worker.WorkerRunning();
        });
    };
    worker.OnWorkEnd = [&](TWorkerThread& sender) {
        endThread = QThread::currentThread();
        runningDuringEnd = sender.WorkerRunning();
        ++ends;
    };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, kPatience));

    QThread* ui = QCoreApplication::instance()->thread();
    EXPECT_NE(routineThread.load(), ui);
    EXPECT_EQ(syncThread, ui);
    EXPECT_EQ(endThread, ui);
    EXPECT_TRUE(runningDuringCall);
    EXPECT_FALSE(runningDuringEnd);
}

TEST_F(WorkerThreadTest, ErrorsOfSynchronizedMethodsAreRaisedAgainInTheWorkerAndReachTheErrorHandler)
{
    TWorkerThread worker;
    std::atomic<bool> callFinished{false};
    QString caught;
    QThread* caughtOn = nullptr;
    bool uiFinishedFirst = false;
    QStringList order;
    worker.OnWork = [&] {
        try {
            TWorkerThread::Synchronize([&] {
                callFinished = true;
                throw Error(QStringLiteral("errore sincrono"));
            });
        } catch (const Error& e) {
            caught = e.message();
            caughtOn = QThread::currentThread();
            uiFinishedFirst = callFinished;
        }
        throw Error(QStringLiteral("errore del lavoro"));
    };
    worker.OnWorkError = [&](TWorkerThread&, std::exception_ptr e) { order << "error: " + messageOf(e); };
    worker.OnWorkEnd = [&](TWorkerThread&) { order << QStringLiteral("end"); };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 2; }, kPatience));

    EXPECT_EQ(caught, QStringLiteral("errore sincrono"));
    EXPECT_NE(caughtOn, QCoreApplication::instance()->thread());
    EXPECT_TRUE(uiFinishedFirst);
    EXPECT_EQ(order, (QStringList{QStringLiteral("error: errore del lavoro"), QStringLiteral("end")}));
}

TEST_F(WorkerThreadTest, WithoutCatchingAnEscapedErrorGoesToTheStandardErrorBox)
{
    test::ScriptedDialogs dialogs;
    dialogs.answerMessage(mbOK);
    TWorkerThread worker(nullptr, /*catchErrors=*/false);
    int errors = 0;
    int ends = 0;
    worker.OnWork = [] { throw Error(QStringLiteral("Server non raggiungibile")); };
    worker.OnWorkError = [&](TWorkerThread&, std::exception_ptr) { ++errors; };
    worker.OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, kPatience));

    EXPECT_EQ(errors, 0);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages().front().text, QStringLiteral("Server non raggiungibile"));
}

TEST_F(WorkerThreadTest, StopWorkerEndsTheWorkAtOnceAndNothingOfItRunsAfterwards)
{
    TWorkerThread worker;
    int calls = 0;
    int ends = 0;
    std::atomic<bool> routineLeft{false};
    worker.OnWork = [&] {
        const auto left = qScopeGuard([&] { routineLeft = true; });
        for (;;)
            TWorkerThread::Synchronize([&] { ++calls; });
    };
    worker.OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls >= 3; }, kPatience));

    worker.StopWorker();
    const int callsAtStop = calls;
    EXPECT_FALSE(worker.WorkerRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return routineLeft.load(); }, kPatience));
    // The stopped worker's object is released once its thread has ended.
    ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 1; }, kPatience));
    EXPECT_EQ(calls, callsAtStop);
    EXPECT_EQ(ends, 0);

    // The component is ready for the next run.
    worker.OnWork = [] {};
    worker.RunWorker();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, kPatience));
}

TEST_F(WorkerThreadTest, StoppingFromInsideASynchronizedMethodEndsTheRoutineWhenTheCallReturns)
{
    TWorkerThread worker;
    bool insideRan = false;
    int laterCalls = 0;
    int ends = 0;
    std::atomic<bool> continuedAfterStop{false};
    worker.OnWork = [&] {
        TWorkerThread::Synchronize([&] {
            worker.StopWorker();
            insideRan = true;
        });
        continuedAfterStop = true;
        TWorkerThread::Synchronize([&] { ++laterCalls; });
    };
    worker.OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return insideRan; }, kPatience));
    ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 1; }, kPatience));

    EXPECT_FALSE(continuedAfterStop);
    EXPECT_EQ(laterCalls, 0);
    EXPECT_EQ(ends, 0);
}

TEST_F(WorkerThreadTest, FreeingARunningWorkerWaitingInASynchronousCallCompletesTheCallInsteadOfBlocking)
{
    TWorkerThread owner;
    std::atomic<bool> reached{false};
    std::atomic<bool> after{false};
    bool ran = false;
    int ends = 0;
    auto worker = std::make_unique<TWorkerObject>(owner);
    worker->OnWork = [&] {
        reached = true;
        TWorkerThread::Synchronize([&] { ran = true; });
        after = true;
    };
    worker->OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker->Resume();
    ASSERT_TRUE(spinUntil(reached));

    // A plain wait here would never return: the call needs this thread.
    worker.reset();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(after);
    EXPECT_EQ(ends, 1);
}

TEST_F(WorkerThreadTest, OneHiddenWindowLivesWhileAnyWorkerObjectExists)
{
    auto worker = std::make_unique<TWorkerThread>();
    EXPECT_EQ(TWorkerThread::HiddenWindowCount(), 1);
    worker->OnWork = [] {};
    for (int i = 0; i < 25; ++i) {
        worker->RunWorker();
        EXPECT_EQ(TWorkerThread::HiddenWindowCount(), 1);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 1; }, kPatience));
    EXPECT_EQ(TWorkerThread::HiddenWindowCount(), 1);

    worker.reset();
    ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 0; }, kPatience));
    EXPECT_EQ(TWorkerThread::HiddenWindowCount(), 0);
}

TEST_F(WorkerThreadTest, NothingOfTheRoutineRunsWhileOrAfterItsOwnerIsDestroyed)
{
    auto worker = std::make_unique<TWorkerThread>();
    std::atomic<bool> reached{false};
    std::atomic<bool> routineLeft{false};
    int calls = 0;
    int ends = 0;
    worker->OnWork = [&] {
        const auto left = qScopeGuard([&] { routineLeft = true; });
        reached = true;
        TWorkerThread::Synchronize([&] { ++calls; });
    };
    worker->OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker->RunWorker();
    ASSERT_TRUE(spinUntil(reached));

    worker.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return routineLeft.load(); }, kPatience));
    ASSERT_TRUE(QTest::qWaitFor([] { return TWorkerThread::WorkerObjectCount() == 0; }, kPatience));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ends, 0);
}

TEST_F(WorkerThreadTest, TheEndHandlerMayStartTheNextRun)
{
    TWorkerThread worker;
    std::atomic<int> runs{0};
    int ends = 0;
    worker.OnWork = [&] { ++runs; };
    worker.OnWorkEnd = [&](TWorkerThread& sender) {
        if (++ends < 3)
            sender.RunWorker();
    };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 3; }, kPatience));
    EXPECT_EQ(runs, 3);
}

TEST(ThreadPriority, PlatformValuesMapAndUnknownOnesReadAsNormal)
{
    const struct {
        int value;
        TThreadPriority expected;
    } cases[] = {
        {-15, tpIdle}, {-2, tpLowest}, {-1, tpLower}, {0, tpNormal}, {1, tpHigher},
        {2, tpHighest}, {15, tpTimeCritical}, {3, tpNormal}, {-14, tpNormal}, {100, tpNormal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(threadPriorityFromValue(c.value), c.expected) << c.value;

    for (TThreadPriority p : {tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical})
        EXPECT_EQ(fromQtPriority(toQtPriority(p)), p);
    EXPECT_EQ(fromQtPriority(QThread::InheritPriority), tpNormal);
}

TEST_F(WorkerThreadTest, ThePriorityIsCarriedToTheThreadAndToEveryFreshWorker)
{
    TWorkerThread worker;
    worker.SetThreadPriority(tpLower);
    std::atomic<QThread::Priority> seen{QThread::InheritPriority};
    int ends = 0;
    worker.OnWork = [&] { seen = QThread::currentThread()->priority(); };
    worker.OnWorkEnd = [&](TWorkerThread&) { ++ends; };
    worker.RunWorker();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, kPatience));
    EXPECT_EQ(seen.load(), QThread::LowPriority);
    worker.StopWorker();
    EXPECT_EQ(worker.ThreadPriority(), tpLower);
}

} // namespace
