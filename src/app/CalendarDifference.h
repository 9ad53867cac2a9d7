#pragma once
#include <QDate>

namespace orv::app {

struct CalendarSpan {
    int years = 0;
    int months = 0;
    int days = 0;
    bool operator==(const CalendarSpan&) const = default;
};

// Whole years, months and days between two dates, in either order, counted
// the way a calendar is read: a day short of the earlier date's day borrows
// the length of the earlier date's month.
CalendarSpan CalendarDifference(const QDate& first, const QDate& second);

// The update reminder is due after seven days or more.
bool reminderDue(const QDate& reminderDate, const QDate& today);

} // namespace orv::app
