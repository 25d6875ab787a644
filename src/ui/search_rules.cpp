#include "ui/search_rules.h"

#include "wire/recorder_time.h"

#include <cstdio>
#include <tuple>

namespace kalder {

const YearAvailability* findYear(std::span<const YearAvailability> years, int year) {
    for (const YearAvailability& y : years)
        if (y.year == year)
            return &y;
    return nullptr;
}

bool monthEnabled(const YearAvailability* year, int month) {
    if (year == nullptr)
        return false;
    for (int d = 1; d <= daysInMonth(year->year, month); ++d)
        if (year->dayRecorded(month, d))
            return true;
    return false;
}

std::array<bool, 12> enabledMonths(const YearAvailability* year) {
    std::array<bool, 12> months{};
    for (int m = 1; m <= 12; ++m)
        months[m - 1] = monthEnabled(year, m);
    return months;
}

std::array<bool, 12> enabledMonths(const YearAvailability* year, std::optional<CalendarDay> floor) {
    std::array<bool, 12> months = enabledMonths(year);
    if (year == nullptr || !floor)
        return months;
    for (int m = 1; m <= 12; ++m)
        if (year->year < floor->year || (year->year == floor->year && m < floor->month))
            months[m - 1] = false;
    return months;
}

bool dayOffered(const YearAvailability* year, int month, int day,
                std::optional<CalendarDay> floor) {
    if (year == nullptr || day < 1 || day > daysInMonth(year->year, month) ||
        !year->dayRecorded(month, day))
        return false;
    if (!floor)
        return true;
    return std::tie(year->year, month, day) >= std::tie(floor->year, floor->month, floor->day);
}

std::optional<CalendarMonth> calendarStart(std::span<const YearAvailability> years,
                                           int currentYear) {
    if (currentYear < kFirstSearchYear || currentYear > kLastSearchYear)
        currentYear = kLastSearchYear;
    int year = currentYear;
    do {
        const auto months = enabledMonths(findYear(years, year));
        for (int m = 12; m >= 1; --m)
            if (months[m - 1])
                return CalendarMonth{year, m};
        year = year == kFirstSearchYear ? kLastSearchYear : year - 1;
    } while (year != currentYear);
    return std::nullopt;
}

std::optional<int> latestEnabledMonth(const std::array<bool, 12>& months) {
    for (int m = 12; m >= 1; --m)
        if (months[m - 1])
            return m;
    return std::nullopt;
}

int firstWeekday(int year, int month) {
    const long long y = year - 1;
    long long days = 1 + 365 * y + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += daysInMonth(year, m);
    return static_cast<int>(days % 7);
}

CalendarCell dayCell(int weekday, int day) {
    const int position = weekday + day - 1;
    return {(position % 7) * 57 + 4, (position / 7) * 30 + 107, 52, 25};
}

int timelineColumn(int hour, int minute) {
    return kTimelineLeft + hour * 12 + minute / 5;
}

TimeOfDay timeAtColumn(int x) {
    const int seconds = (x - kTimelineLeft) * 300;
    // The grid's last two columns lie past midnight: they choose the day's last second.
    if (seconds >= 24 * 3600)
        return {23, 59, 59};
    return {seconds / 3600, (seconds % 3600) / 60, seconds % 60};
}

bool insideTimelineGrid(int x, int y) {
    return x >= kTimelineLeft && x <= kTimelineRight && y >= kTimelineTop && y <= kTimelineBottom;
}

std::vector<TimelineBar> timelineBars(std::span<const DaySegment> segments,
                                      std::uint16_t channelMask) {
    std::vector<TimelineBar> bars;
    for (const DaySegment& s : segments) {
        int kind = -1;
        for (int k = 0; k < 6; ++k)
            if (s.kinds & (1u << k)) {
                kind = k;
                break;
            }
        if (kind < 0)
            continue;
        const CivilTime start = decodeRecorderTime(s.start);
        const CivilTime end = decodeRecorderTime(s.end);
        const int x0 = timelineColumn(start.hour, start.minute);
        const int x1 = timelineColumn(end.hour, end.minute);
        for (int n = 0; n < 16; ++n) {
            const std::uint16_t bit = static_cast<std::uint16_t>(1u << n);
            if (!(s.channels & bit) || !(channelMask & bit))
                continue;
            const int colour = kind == 2 && (s.motionContinuous & bit) ? 0 : kind;
            bars.push_back({n, colour, x0, x1});
        }
    }
    return bars;
}

EventLists sortEvents(std::span<const EventEntry> events) {
    EventLists lists;
    std::size_t held = 0;
    for (const EventEntry& e : events) {
        if (held++ >= kMaxHeldEvents)
            break;
        for (std::size_t tab = 0; tab < kEventTabTypes.size(); ++tab)
            if (e.type == kEventTabTypes[tab])
                lists.byTab[tab].push_back(e);
    }
    return lists;
}

int initialEventTab(const EventLists& lists, std::optional<int> savedTab) {
    if (savedTab && *savedTab >= 0 && *savedTab < 3)
        return *savedTab;
    for (int tab = 0; tab < 3; ++tab)
        if (!lists.byTab[tab].empty())
            return tab;
    return 0;
}

std::uint32_t eventPlayEnd(const EventEntry& event, bool version11OrLater) {
    return version11OrLater ? 0 : event.end;
}

std::string channelColumn(std::uint32_t mask) {
    std::string text;
    for (int n = 0; n < 16; ++n)
        if (mask & (1u << n)) {
            char item[8];
            std::snprintf(item, sizeof item, "%02d ", n + 1);
            text += item;
        }
    return text;
}

std::string formatListTime(std::uint32_t time, unsigned dateFormat) {
    return formatOperatorDateTime(time, dateFormat);
}

std::string formatPanelDate(int year, int month, int day, unsigned dateFormat) {
    char text[32];
    if (dateFormat == 1)
        std::snprintf(text, sizeof text, "%02d - %02d - %04d", month, day, year);
    else if (dateFormat == 2)
        std::snprintf(text, sizeof text, "%02d - %02d - %04d", day, month, year);
    else
        std::snprintf(text, sizeof text, "%04d - %02d - %02d", year, month, day);
    return text;
}

} // namespace kalder
