#include "setup/model/dst_setup_page.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kalder {

namespace {

constexpr const ConfigField& kDst = configField("dst");
enum : std::size_t {
    kMode = 0,
    kForm = 1,
    kStart = 2, // month, week, weekday, day, hour, minute
    kEnd = 8,
    kShiftHours = 14,
    kShiftMinutes = 15,
    kInForce = 16,
};
enum : std::size_t { kMonth = 0, kWeek = 1, kWeekday = 2, kDay = 3, kHour = 4, kMinute = 5 };

std::size_t at(DstEdge edge, std::size_t field) {
    return (edge == DstEdge::Start ? kStart : kEnd) + field;
}

unsigned byteOf(const ConfigRecord& record, std::size_t index) {
    return record.value(kDst, index);
}

DstMoment readMoment(const ConfigRecord& record, DstEdge edge) {
    return {byteOf(record, at(edge, kMonth)),   byteOf(record, at(edge, kWeek)),
            byteOf(record, at(edge, kWeekday)), byteOf(record, at(edge, kDay)),
            byteOf(record, at(edge, kHour)),    byteOf(record, at(edge, kMinute))};
}

// The week form's day (0-based) from the stored month, week and weekday.
void storeWeekFormDay(ConfigRecord& record, DstEdge edge, int year) {
    const DstMoment m = readMoment(record, edge);
    record.setValue(kDst, at(edge, kDay),
                    weekdayInMonth(year, std::min(m.month, 11u), m.week, std::min(m.weekday, 6u)) -
                        1);
}

void clampDateFormDay(ConfigRecord& record, DstEdge edge, int year) {
    const DstMoment m = readMoment(record, edge);
    const unsigned last = lastDayOfMonth(year, std::min(m.month, 11u));
    if (m.day > last - 1)
        record.setValue(kDst, at(edge, kDay), last - 1);
}

// After a change to month, week or weekday: the stored day follows the form's rule.
void settleDay(ConfigRecord& record, DstEdge edge, int year) {
    if (byteOf(record, kForm) == static_cast<unsigned>(DstForm::Date))
        clampDateFormDay(record, edge, year);
    else
        storeWeekFormDay(record, edge, year);
}

} // namespace

DstSettings readDst(const ConfigRecord& record) {
    DstSettings dst;
    dst.mode = byteOf(record, kMode);
    dst.form = byteOf(record, kForm) == 1 ? DstForm::Date : DstForm::Week;
    dst.start = readMoment(record, DstEdge::Start);
    dst.end = readMoment(record, DstEdge::End);
    dst.shiftHours = byteOf(record, kShiftHours);
    dst.shiftMinutes = byteOf(record, kShiftMinutes);
    dst.inForce = byteOf(record, kInForce) != 0;
    return dst;
}

unsigned lastDayOfMonth(int year, unsigned month) {
    using namespace std::chrono;
    const year_month_day_last last{std::chrono::year{year} / std::chrono::month{month % 12 + 1} /
                                   std::chrono::last};
    return static_cast<unsigned>(last.day());
}

unsigned weekdayInMonth(int year, unsigned month, unsigned week, unsigned weekday) {
    using namespace std::chrono;
    // The weekday of the 1st, 0 Monday .. 6 Sunday (the library's encoding counts from Sunday).
    const sys_days first = std::chrono::year{year} / std::chrono::month{month % 12 + 1} / 1;
    const unsigned firstWeekday = (std::chrono::weekday{first}.c_encoding() + 6) % 7;
    const unsigned firstMatch = 1 + (weekday % 7 + 7 - firstWeekday) % 7;
    const unsigned last = lastDayOfMonth(year, month);
    if (week >= 4) // the last one of the month
        return firstMatch + 7 * ((last - firstMatch) / 7);
    return std::min(firstMatch + 7 * week, last);
}

std::optional<std::uint32_t> recorderClockForPage(std::uint32_t time, int localZoneOffsetSeconds) {
    if (time == 0)
        return std::nullopt;
    const std::int64_t lowest = std::max(localZoneOffsetSeconds, 0);
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(time, lowest, std::int64_t(kLatestRecorderClock)));
}

std::vector<std::string> dstModeEntries(const std::vector<DstRule>& rules) {
    std::vector<std::string> entries = {"Off", "User setting"};
    const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t r = 0; r < rules.size() && r < kMaxRegionalDstRules; ++r) {
        char text[48];
        std::snprintf(text, sizeof text, "Rule %zu (%s - %s)", r + 1,
                      months[rules[r].startMonth % 12], months[rules[r].endMonth % 12]);
        entries.emplace_back(text);
    }
    return entries;
}

std::vector<std::string> dstMonthEntries() {
    return {"January", "February", "March",     "April",   "May",      "June",
            "July",    "August",   "September", "October", "November", "December"};
}

std::vector<std::string> dstWeekEntries() {
    return {"First", "Second", "Third", "Fourth", "Last"};
}

std::vector<std::string> dstWeekdayEntries() {
    return {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
}

std::string dstTimeText(unsigned hour, unsigned minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u : %02u", hour % 100, minute % 100);
    return text;
}

void setDstMode(ConfigRecord& record, unsigned mode) {
    record.setValue(kDst, kMode, std::min(mode, 255u));
}

void setDstForm(ConfigRecord& record, DstForm form, int year) {
    record.setValue(kDst, kForm, static_cast<unsigned>(form));
    settleDay(record, DstEdge::Start, year);
    settleDay(record, DstEdge::End, year);
}

void setDstMonth(ConfigRecord& record, DstEdge edge, unsigned month, int year) {
    record.setValue(kDst, at(edge, kMonth), std::min(month, 11u));
    settleDay(record, edge, year);
}

void setDstWeek(ConfigRecord& record, DstEdge edge, unsigned week, int year) {
    record.setValue(kDst, at(edge, kWeek), std::min(week, 4u));
    settleDay(record, edge, year);
}

void setDstWeekday(ConfigRecord& record, DstEdge edge, unsigned weekday, int year) {
    record.setValue(kDst, at(edge, kWeekday), std::min(weekday, 6u));
    settleDay(record, edge, year);
}

void setDstDay(ConfigRecord& record, DstEdge edge, unsigned day, int year) {
    record.setValue(kDst, at(edge, kDay), std::min(day, 30u));
    clampDateFormDay(record, edge, year);
}

void setDstTime(ConfigRecord& record, DstEdge edge, unsigned hour, unsigned minute) {
    record.setValue(kDst, at(edge, kHour), std::min(hour, 23u));
    record.setValue(kDst, at(edge, kMinute), std::min(minute, 59u));
}

void setDstShift(ConfigRecord& record, unsigned hours, unsigned minutes) {
    record.setValue(kDst, kShiftHours, std::min(hours, 23u));
    record.setValue(kDst, kShiftMinutes, std::min(minutes, 59u));
}

void setDstInForce(ConfigRecord& record, bool inForce) {
    record.setValue(kDst, kInForce, inForce ? 1 : 0);
}

bool dstQuestionNeeded(const DstSettings& dst, bool changedOnPage, const CivilTime& now) {
    if (dst.mode != 1 || !changedOnPage)
        return false;
    const CivilTime end{now.year,          int(dst.end.month % 12) + 1, int(dst.end.day) + 1,
                        int(dst.end.hour), int(dst.end.minute),         0};
    const std::int64_t ahead = encodeCivilTime(end) - encodeCivilTime(now);
    return ahead >= 0 && ahead <= dst.shiftSeconds();
}

} // namespace kalder
