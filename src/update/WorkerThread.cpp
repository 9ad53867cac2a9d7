#include "update/WorkerThread.h"

#include "platform/Commands.h"

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace orv {

namespace detail {

// What one worker object and its thread share. The thread keeps it alive
// after a stop, so a stopped routine never reaches freed memory.
struct WorkerState {
    enum class Call { None, Pending, Running, Done };

    std::mutex mutex;
    std::condition_variable cv;
    // The one pending synchronous call; `method` lives on the worker's stack,
    // which stays put until the call is no longer Running.
    Call call = Call::None;
    const std::function<void()>* method = nullptr;
    std::exception_ptr callError;

    bool started = false;
    bool threadDone = false;
    bool stopped = false;
    bool handleGone = false;
    bool releasePosted = false;
    std::atomic<bool> running{false};
    std::atomic<bool> stopFlag{false};

    TThreadPriority priority = tpNormal;
    QThread* thread = nullptr; // touched only on the user-interface thread
    bool catchErrors = true;
    TWorkerThread* owner = nullptr; // used only by calls that run while not stopped
    TWorkRoutine work;
    TWorkErrorHandler onError;
    TWorkEndHandler onEnd;

    ~WorkerState()
    {
        // Normally the release event has already reaped the thread.
        if (thread && QThread::currentThread() != thread) {
            thread->wait();
            delete thread;
        }
    }
};

} // namespace detail

namespace {

using detail::WorkerState;

// The window's two private messages.
constexpr QEvent::Type kSyncCallEvent = QEvent::Type(0x8FFF);
constexpr QEvent::Type kReleaseEvent = QEvent::Type(0x8FFE);

class StateEvent : public QEvent {
public:
    StateEvent(QEvent::Type type, std::shared_ptr<WorkerState> state)
        : QEvent(type), state(std::move(state)) {}
    std::shared_ptr<WorkerState> state;
};

thread_local std::shared_ptr<WorkerState> t_current;
std::atomic<int> g_windowInstances{0};

void runPendingCall(const std::shared_ptr<WorkerState>& s);
void reapAndRelease(QObject* window, const std::shared_ptr<WorkerState>& s);

} // namespace

// The hidden window: receives synchronous calls and releases on the
// user-interface thread.
class TWorkerThreadWindow : public QObject {
public:
    TWorkerThreadWindow()
    {
        setObjectName(QStringLiteral("TWorkerThreadWindow"));
        ++g_windowInstances;
    }
    ~TWorkerThreadWindow() override { --g_windowInstances; }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == kSyncCallEvent) {
            runPendingCall(static_cast<StateEvent*>(e)->state);
            return true;
        }
        if (e->type() == kReleaseEvent) {
            // May delete this window: nothing may touch it afterwards.
            reapAndRelease(this, static_cast<StateEvent*>(e)->state);
            return true;
        }
        return QObject::event(e);
    }
};

namespace {

std::mutex g_lock; // guards the count and the window
int g_count = 0;
TWorkerThreadWindow* g_window = nullptr;

bool onUserInterfaceThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void registerWorker()
{
    std::lock_guard lock(g_lock);
    if (g_count++ == 0) {
        g_window = new TWorkerThreadWindow;
        // The window must live where the event loop runs.
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && g_window->thread() != app->thread())
            g_window->moveToThread(app->thread());
    }
}

void postToWindow(QEvent::Type type, const std::shared_ptr<WorkerState>& s)
{
    std::lock_guard lock(g_lock);
    if (g_window)
        QCoreApplication::postEvent(g_window, new StateEvent(type, s));
}

void runPendingCall(const std::shared_ptr<WorkerState>& s)
{
    std::unique_lock lk(s->mutex);
    if (s->call != WorkerState::Call::Pending || s->stopped)
        return;
    s->call = WorkerState::Call::Running;
    const std::function<void()>* method = s->method;
    lk.unlock();

    std::exception_ptr error;
    try {
        (*method)();
    } catch (...) {
        error = std::current_exception();
    }

    lk.lock();
    s->callError = error;
    s->call = WorkerState::Call::Done;
    lk.unlock();
    s->cv.notify_all();
}

void reapAndRelease(QObject* window, const std::shared_ptr<WorkerState>& s)
{
    if (s->thread) {
        s->thread->wait(); // the thread posted this as its last act
        delete s->thread;
        s->thread = nullptr;
    }
    bool last = false;
    {
        std::lock_guard lock(g_lock);
        last = --g_count == 0;
        if (last)
            g_window = nullptr;
    }
    if (last)
        delete window;
}

void showError(const std::exception_ptr& error)
{
    runGuarded([&] { std::rethrow_exception(error); });
}

// Delivers an error on the user-interface thread; a stopped worker delivers nothing.
void deliverError(const std::function<void()>& call)
{
    try {
        TWorkerThread::Synchronize(call);
    } catch (const WorkerStopped&) {
    } catch (...) {
        const std::exception_ptr again = std::current_exception();
        try {
            TWorkerThread::Synchronize([&] { showError(again); });
        } catch (...) {
        }
    }
}

void threadMain(std::shared_ptr<WorkerState> s)
{
    t_current = s;
    std::exception_ptr workError;
    try {
        if (s->work)
            s->work();
    } catch (const WorkerStopped&) {
    } catch (...) {
        workError = std::current_exception();
    }

    if (workError) {
        if (s->catchErrors) {
            if (s->onError)
                deliverError([&] { s->onError(*s->owner, workError); });
        } else {
            deliverError([&] { showError(workError); });
        }
    }
    s->running = false;
    if (s->onEnd)
        deliverError([&] { s->onEnd(*s->owner); });
    t_current.reset();

    bool postRelease = false;
    {
        std::lock_guard lk(s->mutex);
        s->threadDone = true;
        postRelease = s->handleGone && !s->releasePosted;
        if (postRelease)
            s->releasePosted = true;
    }
    s->cv.notify_all();
    if (postRelease)
        postToWindow(kReleaseEvent, s);
}

} // namespace

TThreadPriority threadPriorityFromValue(int value)
{
    switch (value) {
    case tpIdle:
    case tpLowest:
    case tpLower:
    case tpNormal:
    case tpHigher:
    case tpHighest:
    case tpTimeCritical:
        return TThreadPriority(value);
    default:
        return tpNormal;
    }
}

QThread::Priority toQtPriority(TThreadPriority priority)
{
    switch (priority) {
    case tpIdle: return QThread::IdlePriority;
    case tpLowest: return QThread::LowestPriority;
    case tpLower: return QThread::LowPriority;
    case tpNormal: return QThread::NormalPriority;
    case tpHigher: return QThread::HighPriority;
    case tpHighest: return QThread::HighestPriority;
    case tpTimeCritical: return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}

TThreadPriority fromQtPriority(QThread::Priority priority)
{
    switch (priority) {
    case QThread::IdlePriority: return tpIdle;
    case QThread::LowestPriority: return tpLowest;
    case QThread::LowPriority: return tpLower;
    case QThread::HighPriority: return tpHigher;
    case QThread::HighestPriority: return tpHighest;
    case QThread::TimeCriticalPriority: return tpTimeCritical;
    default: return tpNormal;
    }
}

// ---- TWorkerObject

TWorkerObject::TWorkerObject(TWorkerThread& owner)
    : m_state(std::make_shared<WorkerState>())
{
    m_state->owner = &owner;
    m_state->catchErrors = owner.CatchErrors();
    registerWorker();
}

TWorkerObject::~TWorkerObject()
{
    const std::shared_ptr<WorkerState>& s = m_state;
    std::unique_lock lk(s->mutex);
    s->handleGone = true;
    if (s->started && !s->threadDone && !s->stopped) {
        if (onUserInterfaceThread()) {
            // Let the worker's synchronous calls through while waiting.
            while (!s->threadDone) {
                if (s->call == WorkerState::Call::Pending && !s->stopped) {
                    lk.unlock();
                    runPendingCall(s);
                    lk.lock();
                    continue;
                }
                s->cv.wait(lk);
            }
        } else {
            s->cv.wait(lk, [&] { return s->threadDone; });
        }
    }
    // A stopped thread that still runs posts its own release when it ends.
    if ((!s->started || s->threadDone) && !s->releasePosted) {
        s->releasePosted = true;
        lk.unlock();
        postToWindow(kReleaseEvent, s);
    }
}

void TWorkerObject::Resume()
{
    const std::shared_ptr<WorkerState>& s = m_state;
    {
        std::lock_guard lk(s->mutex);
        if (s->started || s->stopped)
            return;
        s->started = true;
        s->work = OnWork;
        s->onError = OnWorkError;
        s->onEnd = OnWorkEnd;
    }
    // Running from here on, so that a caller asking right after Resume() sees it.
    s->running = true;
    // The lambda gives its reference away at once: the QThread keeps the
    // callable until it is deleted, and must not keep the state alive.
    s->thread = QThread::create([state = s]() mutable {
        std::shared_ptr<WorkerState> local = std::move(state);
        threadMain(std::move(local));
    });
    s->thread->start(toQtPriority(s->priority));
}

void TWorkerObject::Stop()
{
    {
        std::lock_guard lk(m_state->mutex);
        m_state->stopped = true;
        m_state->stopFlag = true;
    }
    m_state->cv.notify_all();
}

bool TWorkerObject::Running() const { return m_state->running; }

bool TWorkerObject::Suspended() const
{
    std::lock_guard lk(m_state->mutex);
    return !m_state->started;
}

bool TWorkerObject::ThreadAlive() const
{
    std::lock_guard lk(m_state->mutex);
    return m_state->started && !m_state->threadDone;
}

bool TWorkerObject::Stopped() const
{
    std::lock_guard lk(m_state->mutex);
    return m_state->stopped;
}

TThreadPriority TWorkerObject::Priority() const
{
    if (m_state->thread && m_state->thread->isRunning())
        return fromQtPriority(m_state->thread->priority());
    return m_state->priority;
}

void TWorkerObject::SetPriority(TThreadPriority priority)
{
    m_state->priority = priority;
    if (m_state->thread && m_state->thread->isRunning())
        m_state->thread->setPriority(toQtPriority(priority));
}

// ---- TWorkerThread

TWorkerThread::TWorkerThread(QObject* parent, bool catchErrors)
    : QObject(parent), m_catchErrors(catchErrors)
{
    m_worker = freshWorker(tpNormal);
}

TWorkerThread::~TWorkerThread()
{
    m_destroying = true;
    // Stopping first means nothing of the routine runs while we go.
    if (m_worker->ThreadAlive())
        m_worker->Stop();
    m_worker.reset();
}

std::unique_ptr<TWorkerObject> TWorkerThread::freshWorker(TThreadPriority priority)
{
    auto worker = std::make_unique<TWorkerObject>(*this);
    worker->OnWork = OnWork;
    worker->OnWorkError = OnWorkError;
    worker->OnWorkEnd = OnWorkEnd;
    worker->SetPriority(priority);
    return worker;
}

void TWorkerThread::RunWorker()
{
    // The fresh object registers before the old one is released, so the
    // hidden window is not torn down and rebuilt in between.
    std::unique_ptr<TWorkerObject> old = std::move(m_worker);
    m_worker = freshWorker(old->Priority());
    if (old->ThreadAlive())
        old->Stop();
    old.reset();
    m_worker->Resume();
}

void TWorkerThread::StopWorker()
{
    std::unique_ptr<TWorkerObject> old = std::move(m_worker);
    m_worker = freshWorker(old->Priority());
    old->Stop();
    old.reset();
}

bool TWorkerThread::WorkerRunning() const { return m_worker->Running(); }

bool TWorkerThread::WorkerAlive() const { return m_worker->ThreadAlive(); }

TThreadPriority TWorkerThread::ThreadPriority() const { return m_worker->Priority(); }

void TWorkerThread::SetThreadPriority(TThreadPriority priority) { m_worker->SetPriority(priority); }

void TWorkerThread::Synchronize(const std::function<void()>& method)
{
    const std::shared_ptr<WorkerState> s = t_current;
    if (!s) {
        if (!onUserInterfaceThread())
            throw std::logic_error("TWorkerThread::Synchronize called outside a worker thread");
        method();
        return;
    }

    std::unique_lock lk(s->mutex);
    if (s->stopped)
        throw WorkerStopped{};
    s->method = &method;
    s->callError = nullptr;
    s->call = WorkerState::Call::Pending;
    lk.unlock();

    postToWindow(kSyncCallEvent, s);
    s->cv.notify_all(); // a user-interface thread waiting for this worker runs the call

    lk.lock();
    s->cv.wait(lk, [&] {
        return s->call == WorkerState::Call::Done
            || (s->stopped && s->call != WorkerState::Call::Running);
    });
    const bool stopped = s->stopped;
    const std::exception_ptr error = s->callError;
    s->callError = nullptr;
    s->call = WorkerState::Call::None;
    s->method = nullptr;
    lk.unlock();

    if (stopped)
        throw WorkerStopped{};
    if (error)
        std::rethrow_exception(error);
}

bool TWorkerThread::StopRequested()
{
    return t_current && t_current->stopFlag;
}

int TWorkerThread::WorkerObjectCount()
{
    std::lock_guard lock(g_lock);
    return g_count;
}

int TWorkerThread::HiddenWindowCount() { return g_windowInstances; }

} // namespace orv
