#include "sim/recorder_clock.h"

#include "wire/recorder_time.h"

#include <algorithm>

namespace kalder::sim {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t momentIn(int year, unsigned month, unsigned day, unsigned hour, unsigned minute) {
    CivilTime t;
    t.year = year;
    t.month = static_cast<int>(month) + 1;
    t.day = static_cast<int>(day);
    t.hour = static_cast<int>(hour);
    t.minute = static_cast<int>(minute);
    return encodeCivilTime(t);
}

unsigned lastDay(int year, unsigned month) {
    const std::int64_t first = momentIn(year, month, 1, 0, 0);
    const std::int64_t next = momentIn(year, month + 1, 1, 0, 0);
    return static_cast<unsigned>((next - first) / kSecondsPerDay);
}

} // namespace

std::optional<ClockSettings> readClockSettings(const ConfigRecord& record) {
    const ConfigField& zone = configField("time_zone");
    const ConfigField& dst = configField("dst");
    const ConfigField& ntp = configField("ntp_enable");
    if (zone.end() > record.recordLength() || dst.end() > record.recordLength() ||
        ntp.end() > record.recordLength())
        return std::nullopt;
    ClockSettings s;
    s.timeZone = record.value(zone);
    for (std::size_t i = 0; i < s.dst.size(); ++i)
        s.dst[i] = static_cast<std::uint8_t>(record.value(dst, i));
    s.ntp = record.value(ntp) != 0;
    return s;
}

std::optional<int> zoneOffsetSeconds(unsigned zone) {
    static constexpr int kHours[] = {0,  1,   2,   3,  4,  5,  6,  7,  8,  9,  10, 11,
                                     12, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2};
    if (zone == 24)
        return 9 * 3600 + 30 * 60;
    if (zone == 0 || zone > std::size(kHours))
        return std::nullopt;
    return kHours[zone - 1] * 3600;
}

unsigned weekdayInMonth(int year, unsigned month, unsigned week, unsigned weekday) {
    const std::int64_t days = momentIn(year, month, 1, 0, 0) / kSecondsPerDay;
    // 1970-01-01 was a Thursday (3 when Monday is 0).
    const unsigned firstWeekday = static_cast<unsigned>(((days + 3) % 7 + 7) % 7);
    unsigned day = 1 + (weekday % 7 + 7 - firstWeekday) % 7;
    const unsigned last = lastDay(year, month);
    if (week < 4)
        return day + 7 * week;
    while (day + 7 <= last)
        day += 7;
    return day;
}

bool inDaylightSaving(std::int64_t local, const std::array<std::uint8_t, 17>& dst,
                      std::span<const std::byte> regionalRules) {
    const unsigned mode = dst[0];
    if (mode == 0)
        return false;
    const int year = decodeRecorderTime(static_cast<std::uint32_t>(local)).year;
    std::int64_t start = 0;
    std::int64_t end = 0;
    unsigned startMonth = 0;
    unsigned endMonth = 0;
    if (mode == 1) {
        // The own rule's dates: the day bytes hold the day of the month minus one.
        startMonth = dst[2] % 12;
        endMonth = dst[8] % 12;
        start =
            momentIn(year, startMonth, std::min<unsigned>(dst[5] + 1u, lastDay(year, startMonth)),
                     dst[6], dst[7]);
        end = momentIn(year, endMonth, std::min<unsigned>(dst[11] + 1u, lastDay(year, endMonth)),
                       dst[12], dst[13]);
    } else {
        const std::size_t at = 4 + 12 * static_cast<std::size_t>(mode - 2);
        if (at + 12 > regionalRules.size())
            return false;
        auto b = [&](std::size_t i) { return std::to_integer<unsigned>(regionalRules[at + i]); };
        startMonth = b(0) % 12;
        endMonth = b(5) % 12;
        start =
            momentIn(year, startMonth, weekdayInMonth(year, startMonth, b(1), b(2)), b(3), b(4));
        end = momentIn(year, endMonth, weekdayInMonth(year, endMonth, b(6), b(7)), b(8), b(9));
    }
    if (endMonth < startMonth)
        return local < end || local >= start;
    return start <= local && local < end;
}

std::optional<std::int64_t> recorderSecondsAt(std::int64_t utc, const ClockSettings& settings,
                                              std::span<const std::byte> regionalRules) {
    const auto offset = zoneOffsetSeconds(settings.timeZone);
    if (!offset)
        return std::nullopt;
    std::int64_t local = utc + *offset;
    if (inDaylightSaving(local, settings.dst, regionalRules))
        local += static_cast<std::int64_t>(settings.dst[14]) * 3600 + settings.dst[15] * 60;
    return local;
}

} // namespace kalder::sim
