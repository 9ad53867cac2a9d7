#include "app/CalendarDifference.h"

namespace orv::app {

CalendarSpan CalendarDifference(const QDate& first, const QDate& second)
{
    if (first == second)
        return {};
    const QDate later = first > second ? first : second;
    const QDate earlier = first > second ? second : first;
    CalendarSpan s;
    s.years = later.year() - earlier.year();
    if (later.month() < earlier.month()) {
        s.months = 12;
        s.years -= 1;
    }
    s.months += later.month() - earlier.month();
    if (later.day() < earlier.day()) {
        s.days = earlier.daysInMonth();
        if (s.months > 0) {
            s.months -= 1;
        } else {
            s.years -= 1;
            s.months = 11;
        }
    }
    s.days += later.day() - earlier.day();
    return s;
}

bool reminderDue(const QDate& reminderDate, const QDate& today)
{
    const CalendarSpan s = CalendarDifference(today, reminderDate);
    return s.years != 0 || s.months != 0 || s.days >= 7;
}

} // namespace orv::app
