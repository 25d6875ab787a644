// The search window's rules: calendar, timeline, event list and dates.
#include "ui/search_rules.h"
#include "tests/support/year_with.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kalder {
namespace {

using test::yearWith;

TEST(Calendar, MonthsAreEnabledByTheirRealDaysOnly) {
    // Flags past the end of February and of April enable nothing.
    const YearAvailability y = yearWith(2023, {{2, 29}, {2, 31}, {4, 31}, {7, 1}, {11, 30}});
    const auto months = enabledMonths(&y);
    const std::array<bool, 12> expected{false, false, false, false, false, false,
                                        true,  false, false, false, true,  false};
    EXPECT_EQ(months, expected);
    const YearAvailability leap = yearWith(2024, {{2, 29}});
    EXPECT_TRUE(monthEnabled(&leap, 2));
    EXPECT_FALSE(monthEnabled(nullptr, 1));
}

TEST(Calendar, StartsAtTheLatestEnabledMonthWrappingFrom2000To2037) {
    const std::vector<YearAvailability> years = {yearWith(2023, {{3, 5}, {10, 1}}),
                                                 yearWith(2024, {}), // all flags zero
                                                 yearWith(2036, {{1, 1}})};
    EXPECT_EQ(calendarStart(years, 2023)->month, 10);
    // 2024 has a record without a flag: the search goes on to 2023.
    const auto fromEmpty = calendarStart(years, 2024);
    ASSERT_TRUE(fromEmpty);
    EXPECT_EQ(fromEmpty->year, 2023);
    EXPECT_EQ(fromEmpty->month, 10);
    // From 2010 back to 2000, then round from 2037 to 2036.
    const std::vector<YearAvailability> late = {yearWith(2036, {{6, 6}})};
    const auto wrapped = calendarStart(late, 2010);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->year, 2036);
    EXPECT_EQ(wrapped->month, 6);
    // Nothing anywhere: back at the current year, no month.
    EXPECT_FALSE(calendarStart(std::vector<YearAvailability>{yearWith(2024, {})}, 2024));
    EXPECT_FALSE(calendarStart({}, 2024));
}

TEST(Calendar, WeekdayFormulaAgreesWithTheCivilCalendarForEveryMonth) {
    using namespace std::chrono;
    for (int y = kFirstSearchYear; y <= kLastSearchYear; ++y)
        for (unsigned m = 1; m <= 12; ++m) {
            const weekday wd{sys_days{year{y} / month{m} / day{1}}};
            ASSERT_EQ(firstWeekday(y, static_cast<int>(m)), static_cast<int>(wd.c_encoding()))
                << y << "-" << m;
        }
}

TEST(Calendar, DayCellsFollowTheGrid) {
    // 2024-09-01 is a Sunday: day 1 at column 0, day 30 at column 1 of row 4.
    EXPECT_EQ(dayCell(0, 1), (CalendarCell{4, 107, 52, 25}));
    EXPECT_EQ(dayCell(0, 30), (CalendarCell{61, 227, 52, 25}));
    // A month starting on Saturday: day 2 wraps to the second row.
    EXPECT_EQ(dayCell(6, 1), (CalendarCell{346, 107, 52, 25}));
    EXPECT_EQ(dayCell(6, 2), (CalendarCell{4, 137, 52, 25}));
}

TEST(Timeline, ColumnsAndTheTimeOfAColumn) {
    EXPECT_EQ(timelineColumn(0, 0), 113);
    EXPECT_EQ(timelineColumn(0, 4), 113);
    EXPECT_EQ(timelineColumn(0, 5), 114);
    EXPECT_EQ(timelineColumn(23, 59), 113 + 287);
    EXPECT_EQ(timeAtColumn(113), (TimeOfDay{0, 0, 0}));
    EXPECT_EQ(timeAtColumn(114), (TimeOfDay{0, 5, 0}));
    EXPECT_EQ(timeAtColumn(113 + 12 * 13 + 7), (TimeOfDay{13, 35, 0}));
    EXPECT_TRUE(insideTimelineGrid(113, 70));
    EXPECT_TRUE(insideTimelineGrid(402, 375));
    EXPECT_FALSE(insideTimelineGrid(112, 100));
    EXPECT_FALSE(insideTimelineGrid(200, 376));
    EXPECT_EQ(timelineBarTop(0), 76);
    EXPECT_EQ(timelineBarBottom(15), 84 + 19 * 15);
}

TEST(Timeline, BarsTakeTheLowestKindAndTheMotionContinuousRule) {
    constexpr std::uint32_t day = 1704153600; // 2024-01-02 00:00:00
    const std::vector<DaySegment> segments = {
        // 01:00:00 - 01:03:59: one column, one pixel wide; channels 1 and 3.
        {0x0005, 0x0000, 0x06, day + 3600, day + 3600 + 239},
        // Motion on channels 1 and 2; channel 2 marked continuous.
        {0x0003, 0x0002, 0x04, day + 7200, day + 10800},
        // No kind of 0-5: nothing drawn.
        {0x0001, 0x0000, 0x40, day, day + 60},
    };
    const auto bars = timelineBars(segments, 0xFFFF);
    const int h1 = timelineColumn(1, 0), h2 = timelineColumn(2, 0), h3 = timelineColumn(3, 0);
    const std::vector<TimelineBar> expected = {
        {0, 1, h1, h1}, {2, 1, h1, h1}, {0, 2, h2, h3}, {1, 0, h2, h3}};
    EXPECT_EQ(bars, expected);
    // Channels left out of the search mask draw nothing.
    const auto masked = timelineBars(segments, 0x0002);
    ASSERT_EQ(masked.size(), 1u);
    EXPECT_EQ(masked[0].channel, 1);
}

TEST(EventList, OrdinalsPerTypeTabsAndPlayEnd) {
    const std::vector<EventEntry> events = {{1, EventType::Motion, 10, 11},
                                            {2, EventType::Alarm, 20, 21},
                                            {4, 7, 30, 31}, // not listed
                                            {8, EventType::Motion, 40, 41},
                                            {16, EventType::Audio, 50, 51}};
    const EventLists lists = sortEvents(events);
    ASSERT_EQ(lists.byTab[0].size(), 1u);
    ASSERT_EQ(lists.byTab[1].size(), 2u);
    ASSERT_EQ(lists.byTab[2].size(), 1u);
    EXPECT_EQ(lists.byTab[1][1].start, 40u); // motion ordinal 1: the second motion record
    EXPECT_EQ(initialEventTab(lists, std::nullopt), 0);
    EXPECT_EQ(initialEventTab(lists, 2), 2);
    EventLists onlyAudio;
    onlyAudio.byTab[2].push_back(events[4]);
    EXPECT_EQ(initialEventTab(onlyAudio, std::nullopt), 2);
    EXPECT_EQ(initialEventTab(EventLists{}, std::nullopt), 0);
    EXPECT_EQ(eventPlayEnd(events[0], true), 0u);
    EXPECT_EQ(eventPlayEnd(events[0], false), 11u);
    EXPECT_EQ(channelColumn(0x8003), "01 02 16 ");
}

TEST(EventList, HoldsAtMostOneHundredThousandRecords) {
    std::vector<EventEntry> many(kMaxHeldEvents + 5, EventEntry{1, EventType::Alarm, 0, 0});
    EXPECT_EQ(sortEvents(many).byTab[0].size(), kMaxHeldEvents);
}

TEST(Dates, OperatorOrder) {
    const std::uint32_t t = 1704294000; // 2024-01-03 15:00:00
    EXPECT_EQ(formatListTime(t, 0), "2024-01-03 15:00:00");
    EXPECT_EQ(formatListTime(t, 1), "01-03-2024 15:00:00");
    EXPECT_EQ(formatListTime(t, 2), "03-01-2024 15:00:00");
    EXPECT_EQ(formatPanelDate(2024, 1, 3, 0), "2024 - 01 - 03");
    EXPECT_EQ(formatPanelDate(2024, 1, 3, 1), "01 - 03 - 2024");
    EXPECT_EQ(formatPanelDate(2024, 1, 3, 2), "03 - 01 - 2024");
}

} // namespace
} // namespace kalder
