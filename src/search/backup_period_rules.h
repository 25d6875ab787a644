#pragma once

#include "search/backup_period.h"
#include "ui/search_rules.h"
#include "wire/recorder_time.h"

#include <optional>

namespace kalder {

// The rules of choosing a backup period on the calendar and the timeline, as plain functions.
// The start is chosen first (a day on the calendar, then a time on that day's timeline); Next
// turns to the end, which cannot lie before the start.

bool sameDate(const CivilTime& a, const CivilTime& b);

// The first day the backup calendar offers: none while the start is chosen, the start day while
// the end is chosen.
std::optional<CalendarDay> backupCalendarFloor(const BackupPeriod& period);
// The first year of the calendar's year list.
int backupFirstListedYear(const BackupPeriod& period);

// The time a timeline opens with: the start of the day for the start, its last second for the
// end.
TimeOfDay backupDefaultTime(bool endPhase);

// The time a click (or drag) at grid column `x` chooses for the phase's end of the period, or
// nothing when the click is ignored: outside the grid, or, for the end on the start's date, left
// of the start column. An end click in the start's own column never goes before the start.
std::optional<TimeOfDay> backupTimeAtColumn(const BackupPeriod& period, int x);
// A time typed in the pop-up for the phase's end of the period; nothing when it would put the
// end before the start on the same date.
std::optional<TimeOfDay> backupTypedTime(const BackupPeriod& period, TimeOfDay time);

// The columns the timeline shades: from the start column to the grid's right edge while the start
// is chosen; while the end is chosen from the start column (the grid's left edge when the end
// lies on a later date than the start) to the end column.
struct ColumnRange {
    int x0 = 0, x1 = 0;
    friend bool operator==(const ColumnRange&, const ColumnRange&) = default;
};
ColumnRange backupShade(const BackupPeriod& period);
// The start cursor is drawn while the start is chosen, and while the end is chosen only when
// both lie on the same date; the end cursor only while the end is chosen.
bool backupStartCursorShown(const BackupPeriod& period);

} // namespace kalder
