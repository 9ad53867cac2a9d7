#pragma once
#include <QObject>
#include <QThread>
#include <exception>
#include <functional>
#include <memory>

namespace orv {

// Runs one routine of its owner on a thread of its own. The routine calls
// into the user-interface thread only through Synchronize(), which waits for
// the call to finish, so everything the owner's handlers touch is touched by
// one thread at a time.
//
// Every worker object registers with one process-wide hidden window (a
// QObject of class TWorkerThreadWindow living on the user-interface thread);
// synchronous calls and the release of worker objects reach it as posted
// events 36863 and 36862. The window exists while at least one worker object
// exists; one lock guards the count and the window.
//
// Stopping a worker does not kill its thread: the worker object is marked
// stopped, a pending or later Synchronize() of that routine throws
// WorkerStopped instead of calling into the user-interface thread, and the
// thread ends on its own. Long blocking work inside a routine polls
// StopRequested() to end early.

enum TThreadPriority : int {
    tpIdle = -15,
    tpLowest = -2,
    tpLower = -1,
    tpNormal = 0,
    tpHigher = 1,
    tpHighest = 2,
    tpTimeCritical = 15,
};

// A platform priority value as TThreadPriority; values that match none give tpNormal.
TThreadPriority threadPriorityFromValue(int value);
QThread::Priority toQtPriority(TThreadPriority priority);
TThreadPriority fromQtPriority(QThread::Priority priority);

// Thrown by Synchronize() in a routine whose worker was stopped. Deliberately
// not a std::exception, so a routine's catch of std::exception lets it pass.
struct WorkerStopped {};

class TWorkerThread;
namespace detail {
struct WorkerState;
}

using TWorkRoutine = std::function<void()>;
using TWorkErrorHandler = std::function<void(TWorkerThread& sender, std::exception_ptr error)>;
using TWorkEndHandler = std::function<void(TWorkerThread& sender)>;

// One run of a routine on one thread. Created suspended; Resume() starts it once.
class TWorkerObject {
public:
    explicit TWorkerObject(TWorkerThread& owner);
    // Freeing a worker whose thread still runs (and was not stopped) waits for
    // the thread's end; on the user-interface thread the wait keeps running the
    // worker's synchronous calls, so a worker waiting in one completes instead
    // of deadlocking. A stopped worker is not waited for.
    ~TWorkerObject();
    TWorkerObject(const TWorkerObject&) = delete;
    TWorkerObject& operator=(const TWorkerObject&) = delete;

    // Set before Resume(); the error and end handlers run on the user-interface thread.
    TWorkRoutine OnWork;
    TWorkErrorHandler OnWorkError;
    TWorkEndHandler OnWorkEnd;

    void Resume();
    // Ends the work at once: no synchronous call of the routine runs after this returns.
    void Stop();

    bool Running() const;
    bool Suspended() const;
    // The thread was started and has not ended yet (running, or delivering its end).
    bool ThreadAlive() const;
    bool Stopped() const;

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority priority);

private:
    std::shared_ptr<detail::WorkerState> m_state;
};

class TWorkerThread : public QObject {
public:
    // catchErrors: errors escaping the routine go to OnWorkError; otherwise
    // they are shown in the standard error box.
    explicit TWorkerThread(QObject* parent = nullptr, bool catchErrors = true);
    ~TWorkerThread() override;

    // Assigned by the owner; every fresh worker object takes them over.
    TWorkRoutine OnWork;
    TWorkErrorHandler OnWorkError;
    TWorkEndHandler OnWorkEnd;

    // Discards the current worker (stopping its thread if still alive) and
    // runs the routine on a fresh one.
    void RunWorker();
    // Stops the current worker at once and puts a fresh, suspended one in its place.
    void StopWorker();
    bool WorkerRunning() const;
    // True from RunWorker() until the worker's end handler has returned.
    bool WorkerAlive() const;

    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority priority);
    bool CatchErrors() const { return m_catchErrors; }
    bool Destroying() const { return m_destroying; }

    // Called by a routine on its worker thread: runs method on the
    // user-interface thread and returns when it has finished; an error the
    // method raised is raised again here. Throws WorkerStopped when the worker
    // was stopped. Called on the user-interface thread, it runs method directly.
    static void Synchronize(const std::function<void()>& method);
    // On a worker thread: whether its worker has been stopped.
    static bool StopRequested();

    // Observation of the process-wide state.
    static int WorkerObjectCount();
    static int HiddenWindowCount(); // live TWorkerThreadWindow instances

private:
    std::unique_ptr<TWorkerObject> freshWorker(TThreadPriority priority);

    std::unique_ptr<TWorkerObject> m_worker;
    bool m_catchErrors;
    bool m_destroying = false;
};

} // namespace orv
