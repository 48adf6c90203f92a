// Opening hours of OpenStreetMap into the weekly schedule: what fits, and what is refused.
#include "OpeningHours.h"
#include "DirectoryRecords.h"

#include <gtest/gtest.h>

namespace {

// A week as text, Monday first: "9:00-18:00" or "9:00-18:00/13:00-14:00" (with the break), "-" closed.
QString WeekText(const TSchedule& s) {
    QStringList days;
    for (const TDaySchedule& d : s) {
        if (d.BeginWork == 0 && d.EndWork == 0 && d.BeginDiner == 0 && d.EndDiner == 0) {
            days << QStringLiteral("-");
            continue;
        }
        QString t = ScheduleTimeText(d.BeginWork) + u'-' + ScheduleTimeText(d.EndWork);
        if (d.BeginDiner != 0 || d.EndDiner != 0)
            t += u'/' + ScheduleTimeText(d.BeginDiner) + u'-' + ScheduleTimeText(d.EndDiner);
        days << t;
    }
    return days.join(QStringLiteral(" "));
}

struct Case {
    const char* hours;
    const char* week;
};

} // namespace

TEST(OpeningHours, WeeklyRulesBecomeTheSevenDays) {
    const Case cases[] = {
        {"24/7", "0:00-23:59 0:00-23:59 0:00-23:59 0:00-23:59 0:00-23:59 0:00-23:59 0:00-23:59"},
        {"Mo-Fr 09:00-18:00", "9:00-18:00 9:00-18:00 9:00-18:00 9:00-18:00 9:00-18:00 - -"},
        // Two ranges: the gap between them is the break.
        {"Mo-Fr 09:00-12:00,14:00-18:00; Sa 10:00-13:00",
         "9:00-18:00/12:00-14:00 9:00-18:00/12:00-14:00 9:00-18:00/12:00-14:00 9:00-18:00/12:00-14:00 "
         "9:00-18:00/12:00-14:00 10:00-13:00 -"},
        {"Mo-Su 12:00-14:30, 19:00-02:00",
         "12:00-2:00/14:30-19:00 12:00-2:00/14:30-19:00 12:00-2:00/14:30-19:00 12:00-2:00/14:30-19:00 "
         "12:00-2:00/14:30-19:00 12:00-2:00/14:30-19:00 12:00-2:00/14:30-19:00"},
        // A range over the week's end; 24:00 is midnight, which the schedule reads as past midnight.
        {"Fr-Mo 10:00-24:00", "10:00-0:00 - - - 10:00-0:00 10:00-0:00 10:00-0:00"},
        // A later rule replaces the days it names; "off" closes them; holidays are left aside.
        {"Mo-Sa 08:00-20:00; We 08:00-12:00; Su off; PH off",
         "8:00-20:00 8:00-20:00 8:00-12:00 8:00-20:00 8:00-20:00 8:00-20:00 -"},
        // "," before a day adds a rule.
        {"Mo-Fr 08:00-12:00, Sa 09:00-11:00",
         "8:00-12:00 8:00-12:00 8:00-12:00 8:00-12:00 8:00-12:00 9:00-11:00 -"},
        {"Mo,We,Fr 10:00-16:00", "10:00-16:00 - 10:00-16:00 - 10:00-16:00 - -"},
        {"10:00-22:00",
         "10:00-22:00 10:00-22:00 10:00-22:00 10:00-22:00 10:00-22:00 10:00-22:00 10:00-22:00"},
        // Days without times are open all day; so is 00:00-24:00.
        {"Sa,Su", "- - - - - 0:00-23:59 0:00-23:59"},
        {"Mo 00:00-24:00", "0:00-23:59 - - - - - -"},
        {"mo-tu 9:00-17:30;", "9:00-17:30 9:00-17:30 - - - - -"},
        {"Mo-Fr 18:00-26:00", "18:00-2:00 18:00-2:00 18:00-2:00 18:00-2:00 18:00-2:00 - -"},
        // Hours marked "off" cut a break into the days the rule names, or into every day when it names none.
        {"Mo-Fr 08:30-17:00; 12:00-12:40 off",
         "8:30-17:00/12:00-12:40 8:30-17:00/12:00-12:40 8:30-17:00/12:00-12:40 8:30-17:00/12:00-12:40 "
         "8:30-17:00/12:00-12:40 - -"},
        {"Mo-Fr 09:00-17:00; We 12:00-14:00 off",
         "9:00-17:00 9:00-17:00 9:00-17:00/12:00-14:00 9:00-17:00 9:00-17:00 - -"},
        // A cut at the edge of the day shortens it; one over the whole day closes it.
        {"Mo-Sa 09:00-18:00, Su 10:00-12:00; Sa 16:00-19:00 off; Su 09:00-13:00 off",
         "9:00-18:00 9:00-18:00 9:00-18:00 9:00-18:00 9:00-18:00 9:00-16:00 -"},
        // A break in the night of hours that run past midnight.
        {"Mo-Fr 22:00-06:00; 02:00-03:00 off",
         "22:00-6:00/2:00-3:00 22:00-6:00/2:00-3:00 22:00-6:00/2:00-3:00 22:00-6:00/2:00-3:00 "
         "22:00-6:00/2:00-3:00 - -"},
        {"24/7; 00:00-06:00 off", "6:00-0:00 6:00-0:00 6:00-0:00 6:00-0:00 6:00-0:00 6:00-0:00 6:00-0:00"},
        {"Mo 00:00-00:00", "0:00-23:59 - - - - - -"},
        {"Mo-Fr 09:00–12:30,14:30–19:00",
         "9:00-19:00/12:30-14:30 9:00-19:00/12:30-14:30 9:00-19:00/12:30-14:30 9:00-19:00/12:30-14:30 "
         "9:00-19:00/12:30-14:30 - -"},
    };
    for (const Case& c : cases) {
        QString why;
        const std::optional<TSchedule> s = ParseOpeningHours(QString::fromUtf8(c.hours), &why);
        ASSERT_TRUE(s) << c.hours << ": " << why.toStdString();
        EXPECT_EQ(WeekText(*s).toStdString(), c.week) << c.hours;
    }
}

TEST(OpeningHours, WhatAWeekCannotHoldIsRefusedWithAReason) {
    const Case cases[] = {
        {"Mo-Fr 08:00-12:00,13:00-15:00,16:00-18:00", "more than two time ranges in a day"},
        {"Jan-Mar Mo-Fr 10:00-18:00", "a month selector"},
        {"Mo-Fr 10:00+", "an open end"},
        {"sunrise-sunset", "times by the sun"},
        {"Mo-Fr 09:00-18:00 \"by appointment\"", "a comment"},
        {"Mo[1] 10:00-12:00", "a week-of-month selector"},
        {"Mo-Fr 09:00-13:00,12:00-18:00", "overlapping time ranges"},
        {"PH off", "rules for holidays only"},
        {"", "empty"},
        {"Mo-Fr 25:00-26:00", "a time out of range"},
        {"Mo-Fr 9-18", "a time was expected at \"-18\""},
        {"week 1-26 Mo 10:00-12:00", "a week selector"},
        // Open from 10:00 until 10:00 the next morning: a day that begins where it ends reads as never open.
        {"Su 10:00-10:00", "a range of 24 hours that does not start at midnight"},
        // A break cut into a day that already has one leaves three ranges.
        {"Mo 08:00-12:00,13:00-18:00; Mo 15:00-15:30 off", "more than two time ranges in a day"},
    };
    for (const Case& c : cases) {
        QString why;
        EXPECT_FALSE(ParseOpeningHours(QString::fromUtf8(c.hours), &why)) << c.hours;
        EXPECT_EQ(why.toStdString(), c.week) << c.hours;
    }
}

TEST(OpeningHours, RoundTheClockIsTheProgramsRoundTheClock) {
    // The search's "round the clock" is 00:00 to 23:59 every day.
    const std::optional<TSchedule> s = ParseOpeningHours(QStringLiteral("24/7"));
    ASSERT_TRUE(s);
    for (const TDaySchedule& d : *s) {
        EXPECT_EQ(d.BeginWork, 0);
        EXPECT_EQ(d.EndWork, ScheduleTime(23, 59));
    }
}
