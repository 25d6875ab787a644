#include "wire/recorder_time.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>

namespace kalder {

CivilTime decodeRecorderTime(std::uint32_t time) {
    using namespace std::chrono;
    const sys_seconds moment{seconds{time}};
    const sys_days day = floor<days>(moment);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> clock{moment - day};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
}

std::int64_t encodeCivilTime(const CivilTime& time) {
    using namespace std::chrono;
    const int months = time.year * 12 + (time.month - 1);
    const int yearPart = months >= 0 ? months / 12 : -((11 - months) / 12);
    const unsigned monthPart = static_cast<unsigned>(months - yearPart * 12) + 1;
    const sys_days first = year_month_day{year{yearPart}, month{monthPart}, day{1}};
    const std::int64_t dayNumber = first.time_since_epoch().count() + (time.day - 1);
    return dayNumber * 86400 + std::int64_t(time.hour) * 3600 + std::int64_t(time.minute) * 60 +
           time.second;
}

std::string formatRecorderTime(std::uint32_t time) {
    const CivilTime t = decodeRecorderTime(time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string formatOperatorDateTime(std::uint32_t time, unsigned dateFormat, const char* gap) {
    const CivilTime t = decodeRecorderTime(time);
    char text[64];
    if (dateFormat == 1)
        std::snprintf(text, sizeof text, "%02d-%02d-%04d%s%02d:%02d:%02d", t.month, t.day, t.year,
                      gap, t.hour, t.minute, t.second);
    else if (dateFormat == 2)
        std::snprintf(text, sizeof text, "%02d-%02d-%04d%s%02d:%02d:%02d", t.day, t.month, t.year,
                      gap, t.hour, t.minute, t.second);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d%s%02d:%02d:%02d", t.year, t.month, t.day,
                      gap, t.hour, t.minute, t.second);
    return text;
}

namespace {

// Reads exactly `width` digits at `pos`.
bool readNumber(std::string_view text, std::size_t pos, std::size_t width, int& value) {
    if (pos + width > text.size())
        return false;
    for (std::size_t i = pos; i < pos + width; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return std::from_chars(text.data() + pos, text.data() + pos + width, value).ec == std::errc{};
}

} // namespace

std::optional<CivilTime> parseCivilTime(std::string_view text) {
    CivilTime t;
    if (text.size() != 10 && text.size() != 19)
        return std::nullopt;
    if (!readNumber(text, 0, 4, t.year) || text[4] != '-' || !readNumber(text, 5, 2, t.month) ||
        text[7] != '-' || !readNumber(text, 8, 2, t.day))
        return std::nullopt;
    if (text.size() == 19 && (text[10] != ' ' || !readNumber(text, 11, 2, t.hour) ||
                              text[13] != ':' || !readNumber(text, 14, 2, t.minute) ||
                              text[16] != ':' || !readNumber(text, 17, 2, t.second)))
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)},
                             day{static_cast<unsigned>(t.day)}};
    if (!ymd.ok() || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

int standardTimeZoneOffsetSeconds(std::time_t now) {
    std::tm utc{};
    std::tm local{};
    if (::gmtime_r(&now, &utc) == nullptr || ::localtime_r(&now, &local) == nullptr)
        return 0;
    utc.tm_isdst = 0;
    const std::time_t fromUtc = std::mktime(&utc);
    const std::time_t fromLocal = std::mktime(&local);
    if (fromUtc == static_cast<std::time_t>(-1) || fromLocal == static_cast<std::time_t>(-1))
        return 0;
    // The UTC fields taken as standard time: in summer too the difference is the standard one.
    return static_cast<int>(fromLocal - fromUtc);
}

std::optional<std::uint32_t> encodeOperatorTime(const CivilTime& entry, int standardOffsetSeconds) {
    std::tm fields{};
    fields.tm_year = entry.year - 1900;
    fields.tm_mon = entry.month - 1;
    fields.tm_mday = entry.day;
    fields.tm_hour = entry.hour;
    fields.tm_min = entry.minute;
    fields.tm_sec = entry.second;
    fields.tm_isdst = -1;
    const std::time_t local = std::mktime(&fields);
    if (local == static_cast<std::time_t>(-1))
        return std::nullopt;
    const long long value =
        static_cast<long long>(local) + standardOffsetSeconds + (fields.tm_isdst > 0 ? 3600 : 0);
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace kalder
