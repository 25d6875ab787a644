#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kalder {

// A RecorderTime is an unsigned count of seconds since 1970-01-01 00:00:00 of the recorder's
// wall clock. It carries no time zone: it is broken into calendar fields with the UTC rules.

// Calendar fields of a wall-clock moment (month 1-12, day 1-31).
struct CivilTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// The calendar fields of `time` by the UTC rules.
CivilTime decodeRecorderTime(std::uint32_t time);

// The seconds since 1970-01-01 00:00:00 of calendar fields by the UTC rules: the inverse of
// decodeRecorderTime, signed so that moments outside the 32-bit range still compare. Fields
// out of their range carry over (month 13 is January of the next year, day 0 the day before).
std::int64_t encodeCivilTime(const CivilTime& time);

// "YYYY-MM-DD hh:mm:ss".
std::string formatRecorderTime(std::uint32_t time);

// The date in the operator's order (`dateFormat` 0 "YYYY-MM-DD", 1 "MM-DD-YYYY", 2 "DD-MM-YYYY"),
// then `gap`, then "hh:mm:ss".
std::string formatOperatorDateTime(std::uint32_t time, unsigned dateFormat, const char* gap = " ");

// "YYYY-MM-DD hh:mm:ss" or "YYYY-MM-DD" (midnight); nothing for any other text or a date that
// does not exist.
std::optional<CivilTime> parseCivilTime(std::string_view text);

// Local standard time minus UTC in seconds at `now`, daylight saving left out: the current time
// broken down as UTC and as local time, both converted back by the local conversion, the UTC
// one taken as standard time.
int standardTimeZoneOffsetSeconds(std::time_t now);

// The RecorderTime of a date and time the operator entered: the local conversion of the entry,
// plus the standard offset measured at start, plus one hour when the entry falls in local
// daylight-saving time. Nothing when the result is negative or does not fit 32 bits. Every
// window and kalder-cli encode the operator's entries with this one function.
//
// The offset is the standard one on purpose: an offset that already held the daylight-saving
// hour (as the client's clock display uses in summer) would count that hour twice for every
// summer entry. With it the result is the entered wall-clock time itself.
std::optional<std::uint32_t> encodeOperatorTime(const CivilTime& entry, int standardOffsetSeconds);

} // namespace kalder
