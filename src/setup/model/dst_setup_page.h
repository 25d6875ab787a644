#pragma once

#include "setup/model/recorder_tables.h"
#include "wire/config_record.h"
#include "wire/recorder_time.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// DST Setup: owns the 17 `dst` bytes (record 3204 .. 3220).
//   +0 mode: 0 off, 1 own rule, 2 and above regional rule mode - 2 of DST_INFO
//   +1 form of the own rule: 0 month, week and weekday; 1 month and day
//   +2 .. +7 start: month 0-11, week 0-3 (4 the last), weekday 0 Monday - 6 Sunday,
//            day of the month - 1, hour, minute
//   +8 .. +13 the same for the end
//   +14, +15 the shift in hours and minutes
//   +16 1 when daylight saving is in force now (the operator's answer on leaving the page)
enum class DstForm : std::uint8_t { Week = 0, Date = 1 };
enum class DstEdge : std::uint8_t { Start = 0, End = 1 };

struct DstMoment {
    unsigned month = 0, week = 0, weekday = 0, day = 0, hour = 0, minute = 0; // day: 0-based
};
struct DstSettings {
    unsigned mode = 0;
    DstForm form = DstForm::Week;
    DstMoment start, end;
    unsigned shiftHours = 0, shiftMinutes = 0;
    bool inForce = false;
    int shiftSeconds() const { return int(shiftHours) * 3600 + int(shiftMinutes) * 60; }
};
DstSettings readDst(const ConfigRecord& record);

// The last day of month `month` (0-11) of `year`.
unsigned lastDayOfMonth(int year, unsigned month);
// The day of the month (1-31) of the `week`-th `weekday` of `month` in `year`: week 0 .. 3 the
// first to fourth, 4 (or above) the last.
unsigned weekdayInMonth(int year, unsigned month, unsigned week, unsigned weekday);

// The recorder's clock as the page takes it from DVR_TIME_ACK: 0 is no answer (nothing); a
// time below the local zone offset is raised to it, one after 2037-01-01 00:00:00 is lowered to
// that moment.
inline constexpr std::uint32_t kLatestRecorderClock = 2114380800;
std::optional<std::uint32_t> recorderClockForPage(std::uint32_t time, int localZoneOffsetSeconds);

// The mode list: the off text, the own rule, then one entry per regional rule (at most 28).
std::vector<std::string> dstModeEntries(const std::vector<DstRule>& rules);
std::vector<std::string> dstMonthEntries();
std::vector<std::string> dstWeekEntries();
std::vector<std::string> dstWeekdayEntries();
// "%02d : %02d"
std::string dstTimeText(unsigned hour, unsigned minute);

// The page's writes. `year` is the year of the page's current time: the week form stores the
// day of the month its rule gives in that year, and the date form keeps the day inside the
// month of that year.
void setDstMode(ConfigRecord& record, unsigned mode);
void setDstForm(ConfigRecord& record, DstForm form, int year);
void setDstMonth(ConfigRecord& record, DstEdge edge, unsigned month, int year);
void setDstWeek(ConfigRecord& record, DstEdge edge, unsigned week, int year);
void setDstWeekday(ConfigRecord& record, DstEdge edge, unsigned weekday, int year);
void setDstDay(ConfigRecord& record, DstEdge edge, unsigned day, int year); // day 0-based
void setDstTime(ConfigRecord& record, DstEdge edge, unsigned hour, unsigned minute);
void setDstShift(ConfigRecord& record, unsigned hours, unsigned minutes);
void setDstInForce(ConfigRecord& record, bool inForce);

// Whether leaving the page must ask if daylight saving is still in force: the own rule, a DST
// value changed on the page, and the end moment (this year, local time) at most one shift
// ahead of `now`, the page's current time.
bool dstQuestionNeeded(const DstSettings& dst, bool changedOnPage, const CivilTime& now);

} // namespace kalder
