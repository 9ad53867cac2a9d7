#include "platform/PendingMessages.h"

#include <QCoreApplication>
#include <QThread>

namespace orv {
namespace {
std::function<void()>& hook()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void processMessages()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (hook())
        hook()();
}

void setProcessMessagesHook(std::function<void()> h) { hook() = std::move(h); }

} // namespace orv
