#include "platform/Clock.h"

#include <QElapsedTimer>
#include <atomic>
#include <mutex>
#include <optional>

namespace orv {
namespace {
std::mutex g_mutex;
std::optional<QDateTime> g_pinnedNow;
std::optional<quint32> g_pinnedTicks;

QElapsedTimer& monotonic()
{
    static QElapsedTimer timer = [] { QElapsedTimer t; t.start(); return t; }();
    return timer;
}
} // namespace

QDateTime Clock::now()
{
    std::lock_guard lock(g_mutex);
    return g_pinnedNow ? *g_pinnedNow : QDateTime::currentDateTime();
}

QDate Clock::today() { return now().date(); }

quint32 Clock::tickCount()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_pinnedTicks)
            return *g_pinnedTicks;
    }
    return static_cast<quint32>(monotonic().elapsed());
}

void Clock::pinNow(const QDateTime& now)
{
    std::lock_guard lock(g_mutex);
    g_pinnedNow = now;
}

void Clock::pinToday(const QDate& today) { pinNow(QDateTime(today, QTime(12, 0))); }

void Clock::pinTicks(quint32 ticks)
{
    std::lock_guard lock(g_mutex);
    g_pinnedTicks = ticks;
}

void Clock::advanceTicks(quint32 ms)
{
    std::lock_guard lock(g_mutex);
    g_pinnedTicks = g_pinnedTicks.value_or(0) + ms;
}

void Clock::reset()
{
    std::lock_guard lock(g_mutex);
    g_pinnedNow.reset();
    g_pinnedTicks.reset();
}

} // namespace orv
