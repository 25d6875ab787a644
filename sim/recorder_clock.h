#pragma once

#include "wire/config_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder::sim {

// The recorder's time settings as its configuration record holds them.
//   time_zone: 0 none, 1-24 a zone index (offsets below)
//   dst (17 bytes): +0 mode (0 off, 1 own rule, 2 and above regional rule mode - 2), +1 form,
//     +2 .. +7 start month, week, weekday, day - 1, hour, minute, +8 .. +13 the same for the
//     end, +14/+15 the shift in hours and minutes, +16 "in force now"
//   ntp_enable: the recorder takes its time from a time server
struct ClockSettings {
    unsigned timeZone = 0;
    std::array<std::uint8_t, 17> dst{};
    bool ntp = false;
    friend bool operator==(const ClockSettings&, const ClockSettings&) = default;
};

// Nothing when the record is too short to hold the time settings.
std::optional<ClockSettings> readClockSettings(const ConfigRecord& record);

// Zone z (1-24) is table[z - 1] hours ahead of UTC; zone 24 is +9:30. Nothing for 0 or above 24.
std::optional<int> zoneOffsetSeconds(unsigned zone);

// The day of the month (1-31) of the `week`-th `weekday` (0 Monday .. 6 Sunday) of `month`
// (0-11) of `year`: weeks 0-3 the first to fourth, 4 the last.
unsigned weekdayInMonth(int year, unsigned month, unsigned week, unsigned weekday);

// Whether standard local time `local` (seconds since 1970 of the recorder's wall clock) lies in
// daylight saving under `dst`: mode 1 the own rule's dates, mode 2 and above the recorder's
// regional rule mode - 2 by its weekday rule (`regionalRules`: the DST_INFO table). In force
// when start <= time < end, or, when the end month comes before the start month, when
// time < end or time >= start.
bool inDaylightSaving(std::int64_t local, const std::array<std::uint8_t, 17>& dst,
                      std::span<const std::byte> regionalRules);

// The recorder's wall clock at UTC second `utc`: the zone's offset, plus the shift while
// daylight saving is in force. Nothing without a zone (the host's local time then stands).
std::optional<std::int64_t> recorderSecondsAt(std::int64_t utc, const ClockSettings& settings,
                                              std::span<const std::byte> regionalRules);

} // namespace kalder::sim
