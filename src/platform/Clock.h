#pragma once
#include <QDate>
#include <QDateTime>
#include <cstdint>

namespace orv {

// The one source of "today", "now" and the tick counter. Tests pin them;
// the program reads the system clock.
class Clock {
public:
    static QDate today();
    static QDateTime now();
    // Milliseconds since an arbitrary start, wrapping like a 32-bit tick counter.
    static quint32 tickCount();

    // Test control. A pinned time stays until reset(); ticks advance only by hand.
    static void pinNow(const QDateTime& now);
    static void pinToday(const QDate& today);
    static void pinTicks(quint32 ticks);
    static void advanceTicks(quint32 ms);
    static void reset();
};

} // namespace orv
