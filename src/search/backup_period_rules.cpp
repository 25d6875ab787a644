#include "search/backup_period_rules.h"

#include <algorithm>
#include <tuple>

namespace kalder {

namespace {

TimeOfDay timeOf(const CivilTime& t) {
    return {t.hour, t.minute, t.second};
}

bool before(const TimeOfDay& a, const TimeOfDay& b) {
    return std::tie(a.hour, a.minute, a.second) < std::tie(b.hour, b.minute, b.second);
}

} // namespace

bool sameDate(const CivilTime& a, const CivilTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

std::optional<CalendarDay> backupCalendarFloor(const BackupPeriod& period) {
    if (!period.endPhase)
        return std::nullopt;
    return CalendarDay{period.start.year, period.start.month, period.start.day};
}

int backupFirstListedYear(const BackupPeriod& period) {
    if (!period.endPhase)
        return kFirstSearchYear;
    return std::clamp(period.start.year, kFirstSearchYear, kLastSearchYear);
}

TimeOfDay backupDefaultTime(bool endPhase) {
    return endPhase ? TimeOfDay{23, 59, 59} : TimeOfDay{0, 0, 0};
}

std::optional<TimeOfDay> backupTimeAtColumn(const BackupPeriod& period, int x) {
    if (x < kTimelineLeft || x > kTimelineRight)
        return std::nullopt;
    const TimeOfDay chosen = timeAtColumn(x);
    if (!period.endPhase || !sameDate(period.start, period.end))
        return chosen;
    const TimeOfDay start = timeOf(period.start);
    if (x < timelineColumn(start.hour, start.minute))
        return std::nullopt;
    // The start's column begins up to five minutes before the start itself.
    return before(chosen, start) ? start : chosen;
}

std::optional<TimeOfDay> backupTypedTime(const BackupPeriod& period, TimeOfDay time) {
    if (period.endPhase && sameDate(period.start, period.end) && before(time, timeOf(period.start)))
        return std::nullopt;
    return time;
}

ColumnRange backupShade(const BackupPeriod& period) {
    const int startColumn = timelineColumn(period.start.hour, period.start.minute);
    if (!period.endPhase)
        return {startColumn, kTimelineRight};
    const int endColumn = timelineColumn(period.end.hour, period.end.minute);
    return {sameDate(period.start, period.end) ? startColumn : kTimelineLeft, endColumn};
}

bool backupStartCursorShown(const BackupPeriod& period) {
    return !period.endPhase || sameDate(period.start, period.end);
}

} // namespace kalder
