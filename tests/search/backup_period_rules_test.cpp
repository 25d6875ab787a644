// The rules of choosing a backup period: which days the calendar offers in each phase, which
// times the timeline's clicks and pop-up choose, what it shades and which cursors it draws.
#include "search/backup_period_rules.h"
#include "tests/support/year_with.h"

#include <gtest/gtest.h>

#include <optional>

namespace kalder {
namespace {

using test::yearWith;

// Start 2024-03-10 10:07:30; the end on `endDate` at `endTime`.
BackupPeriod period(bool endPhase, int endYear = 2024, int endMonth = 3, int endDay = 10,
                    TimeOfDay endTime = {23, 59, 59}) {
    BackupPeriod p;
    p.start = {2024, 3, 10, 10, 7, 30};
    p.end = {endYear, endMonth, endDay, endTime.hour, endTime.minute, endTime.second};
    p.endPhase = endPhase;
    return p;
}

constexpr int kStartColumn = 113 + 10 * 12 + 7 / 5; // 10:07 → 234

TEST(BackupCalendar, PhasesOfferDaysFromTheirFloor) {
    const YearAvailability y2023 = yearWith(2023, {{12, 31}});
    const YearAvailability y2024 = yearWith(2024, {{2, 1}, {3, 9}, {3, 10}, {3, 11}, {4, 1}});
    const YearAvailability y2025 = yearWith(2025, {{1, 5}});

    EXPECT_EQ(backupCalendarFloor(period(false)), std::nullopt);
    EXPECT_EQ(backupCalendarFloor(period(true)), (CalendarDay{2024, 3, 10}));
    EXPECT_EQ(backupFirstListedYear(period(false)), kFirstSearchYear);
    EXPECT_EQ(backupFirstListedYear(period(true)), 2024);

    struct Case {
        bool endPhase;
        const YearAvailability* year;
        int month, day;
        bool monthEnabled, dayOffered;
    };
    const Case cases[] = {
        // Choosing the start: every recorded day.
        {false, &y2023, 12, 31, true, true},
        {false, &y2024, 2, 1, true, true},
        {false, &y2024, 3, 9, true, true},
        {false, &y2024, 3, 12, true, false}, // not recorded
        // Choosing the end: nothing before the start's day.
        {true, &y2023, 12, 31, false, false}, // an earlier year
        {true, &y2024, 2, 1, false, false},   // an earlier month
        {true, &y2024, 3, 9, true, false},    // an earlier day of the start's month
        {true, &y2024, 3, 10, true, true},    // the start's own day
        {true, &y2024, 3, 11, true, true},
        {true, &y2024, 4, 1, true, true},
        {true, &y2025, 1, 5, true, true}, // a later year
        {true, nullptr, 3, 10, false, false},
    };
    for (const Case& c : cases) {
        const auto floor = backupCalendarFloor(period(c.endPhase));
        const int year = c.year ? c.year->year : 0;
        SCOPED_TRACE(testing::Message() << "end phase " << c.endPhase << ", " << year << "-"
                                        << c.month << "-" << c.day);
        EXPECT_EQ(enabledMonths(c.year, floor)[c.month - 1], c.monthEnabled);
        EXPECT_EQ(dayOffered(c.year, c.month, c.day, floor), c.dayOffered);
    }
}

TEST(BackupTimeline, ClicksAndTypedTimesFollowThePhase) {
    EXPECT_EQ(backupDefaultTime(false), (TimeOfDay{0, 0, 0}));
    EXPECT_EQ(backupDefaultTime(true), (TimeOfDay{23, 59, 59}));

    struct Case {
        const char* name;
        BackupPeriod period;
        int column;
        std::optional<TimeOfDay> clicked;
    };
    const Case cases[] = {
        {"start: anywhere in the grid", period(false), 113, TimeOfDay{0, 0, 0}},
        {"start: left of an earlier start", period(false), 150, TimeOfDay{3, 5, 0}},
        {"start: the columns past midnight choose the day's last second", period(false), 402,
         TimeOfDay{23, 59, 59}},
        {"outside the grid", period(false), 112, std::nullopt},
        {"outside the grid", period(true), 403, std::nullopt},
        {"end, same date: left of the start column", period(true), kStartColumn - 1, std::nullopt},
        {"end, same date: the start column never goes before the start", period(true), kStartColumn,
         TimeOfDay{10, 7, 30}},
        {"end, same date: right of the start", period(true), kStartColumn + 1,
         TimeOfDay{10, 10, 0}},
        {"end, later date: from the left edge", period(true, 2024, 3, 11), 113, TimeOfDay{0, 0, 0}},
        {"end, later year", period(true, 2025, 1, 5), 120, TimeOfDay{0, 35, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(backupTimeAtColumn(c.period, c.column), c.clicked);
    }

    // Typed times: only an end before the start on the start's date is refused.
    EXPECT_EQ(backupTypedTime(period(true), {10, 7, 29}), std::nullopt);
    EXPECT_EQ(backupTypedTime(period(true), {10, 7, 30}), (TimeOfDay{10, 7, 30}));
    EXPECT_EQ(backupTypedTime(period(true, 2024, 3, 11), {1, 0, 0}), (TimeOfDay{1, 0, 0}));
    EXPECT_EQ(backupTypedTime(period(false), {1, 0, 0}), (TimeOfDay{1, 0, 0}));
}

TEST(BackupTimeline, ShadeAndCursorsFollowThePhase) {
    struct Case {
        const char* name;
        BackupPeriod period;
        ColumnRange shade;
        bool startCursor;
    };
    const Case cases[] = {
        {"start: to the right edge", period(false), {kStartColumn, 402}, true},
        {"end, same date", period(true, 2024, 3, 10, {12, 0, 0}), {kStartColumn, 257}, true},
        {"end, later date: from the left edge",
         period(true, 2024, 3, 12, {1, 30, 0}),
         {113, 131},
         false},
        {"end, default time", period(true, 2024, 4, 1), {113, 400}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(backupShade(c.period), c.shade);
        EXPECT_EQ(backupStartCursorShown(c.period), c.startCursor);
    }
}

} // namespace
} // namespace kalder
