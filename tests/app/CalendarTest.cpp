#include "app/CalendarDifference.h"
#include "app/GlobalState.h"

#include <gtest/gtest.h>

namespace orv::app {
namespace {

struct Case {
    QDate reminder;
    QDate today;
    CalendarSpan span;
    bool due;
};

TEST(CalendarDifference, ReminderRuleFollowsCalendarDays)
{
    const Case cases[] = {
        {QDate(2004, 1, 28), QDate(2004, 2, 3), {0, 0, 6}, false},
        {QDate(2004, 1, 28), QDate(2004, 2, 4), {0, 0, 7}, true},
        {QDate(2005, 1, 31), QDate(2005, 2, 6), {0, 0, 6}, false},
        {QDate(2005, 1, 31), QDate(2005, 2, 7), {0, 0, 7}, true},
        {QDate(2004, 2, 28), QDate(2004, 3, 6), {0, 0, 7}, true},   // leap February
        {QDate(2003, 2, 28), QDate(2003, 3, 6), {0, 0, 6}, false},
        {QDate(2006, 6, 15), QDate(2006, 6, 15), {0, 0, 0}, false},
        {QDate(2006, 6, 12), QDate(2006, 6, 15), {0, 0, 3}, false},
        {QDate(2006, 6, 22), QDate(2006, 6, 15), {0, 0, 7}, true},  // a date in the future counts alike
        {QDate(2005, 12, 20), QDate(2006, 1, 5), {0, 0, 16}, true},
        {QDate(2005, 6, 15), QDate(2006, 6, 14), {0, 11, 29}, true},
        {QDate(2006, 5, 15), QDate(2006, 6, 15), {0, 1, 0}, true},
        {zeroDate(), QDate(2006, 6, 15), {106, 5, 16}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reminder.toString(Qt::ISODate).toStdString() + " " + c.today.toString(Qt::ISODate).toStdString());
        const CalendarSpan s = CalendarDifference(c.today, c.reminder);
        EXPECT_EQ(s.years, c.span.years);
        EXPECT_EQ(s.months, c.span.months);
        EXPECT_EQ(s.days, c.span.days);
        EXPECT_EQ(reminderDue(c.reminder, c.today), c.due);
    }
}

} // namespace
} // namespace orv::app
