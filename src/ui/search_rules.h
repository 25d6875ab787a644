#pragma once

#include "wire/search_records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// The search window's rules as plain functions, tested without widgets.

inline constexpr int kFirstSearchYear = 2000;
inline constexpr int kLastSearchYear = 2037;

// ---- calendar ----

// The year's record, or null when the recorder reported none for it.
const YearAvailability* findYear(std::span<const YearAvailability> years, int year);
// A month is enabled when any of its real days (not the positions past its end) is flagged.
bool monthEnabled(const YearAvailability* year, int month);
std::array<bool, 12> enabledMonths(const YearAvailability* year);

struct CalendarMonth {
    int year = 0;
    int month = 0;
};
// Where the calendar opens: the latest enabled month of `currentYear`, else of the year before,
// and so on, from 2000 wrapping to 2037. Nothing when no year of 2000..2037 has a recording.
std::optional<CalendarMonth> calendarStart(std::span<const YearAvailability> years,
                                           int currentYear);

// The earliest day a calendar offers (the backup end's calendar offers nothing before the
// chosen start day): earlier years and months are disabled, and earlier days of its month.
struct CalendarDay {
    int year = 0, month = 0, day = 0;
    friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};
std::array<bool, 12> enabledMonths(const YearAvailability* year, std::optional<CalendarDay> floor);
// A day is offered when it holds recordings and is not before the floor.
bool dayOffered(const YearAvailability* year, int month, int day, std::optional<CalendarDay> floor);

// The latest enabled month (1-12), or nothing when no month is enabled.
std::optional<int> latestEnabledMonth(const std::array<bool, 12>& months);

// Weekday (0 Sunday) of the 1st of `month` in `year`, by the recorder's day-count formula.
int firstWeekday(int year, int month);

struct CalendarCell {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const CalendarCell&, const CalendarCell&) = default;
};
// The calendar cell of day `day` (1-based) when the month starts on weekday `weekday`.
CalendarCell dayCell(int weekday, int day);

// ---- day timeline ----

inline constexpr int kTimelineLeft = 113;
inline constexpr int kTimelineRight = 402;
inline constexpr int kTimelineTop = 70;
inline constexpr int kTimelineBottom = 375;

// One pixel per five minutes from x = 113.
int timelineColumn(int hour, int minute);
struct TimeOfDay {
    int hour = 0, minute = 0, second = 0;
    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};
// The time a click at column `x` chooses (x inside the grid); never past the day's last second.
TimeOfDay timeAtColumn(int x);
bool insideTimelineGrid(int x, int y);
// Top and bottom y of channel `channel`'s (0-based) bar.
inline int timelineBarTop(int channel) {
    return 76 + 19 * channel;
}
inline int timelineBarBottom(int channel) {
    return 84 + 19 * channel;
}

struct TimelineBar {
    int channel = 0; // 0-based
    int kind = 0;    // colour: recording kind 0-5
    int x0 = 0, x1 = 0;
    friend bool operator==(const TimelineBar&, const TimelineBar&) = default;
};
// The bars to draw: per segment and per channel in both the segment and `channelMask`, the
// lowest kind bit; motion (2) of a channel marked motion-continuous draws as continuous (0).
// Segments without any of kinds 0-5 draw nothing.
std::vector<TimelineBar> timelineBars(std::span<const DaySegment> segments,
                                      std::uint16_t channelMask);

// ---- event list ----

// The three listed event types by tab.
inline constexpr std::array<std::uint8_t, 3> kEventTabTypes = {EventType::Alarm, EventType::Motion,
                                                               EventType::Audio};
inline constexpr std::size_t kMaxHeldEvents = 100000;

// The records of each listed type in arrival order (the row of a record is its ordinal within
// its type); other types are not listed.
struct EventLists {
    std::array<std::vector<EventEntry>, 3> byTab;
};
EventLists sortEvents(std::span<const EventEntry> events);
// The saved tab when resuming, else the first tab with a record, else Alarm (0).
int initialEventTab(const EventLists& lists, std::optional<int> savedTab);
// The end a play request carries for an event: 0 for recorders of version 1.1 or later.
std::uint32_t eventPlayEnd(const EventEntry& event, bool version11OrLater);
// "%02d " for every channel of the mask, ascending.
std::string channelColumn(std::uint32_t mask);

// ---- dates ----

// "%04d-%02d-%02d %02d:%02d:%02d" in the operator's order (0 year, 1 month, 2 day first).
std::string formatListTime(std::uint32_t time, unsigned dateFormat);
// The timeline's date line: "%04d - %02d - %02d" in the operator's order.
std::string formatPanelDate(int year, int month, int day, unsigned dateFormat);

} // namespace kalder
