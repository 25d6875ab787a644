#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kalder {

// The records of the recorder's disk search replies. Every reply is a run of fixed-size records
// collected over several fragments; a trailing partial record is not one and is dropped.

inline constexpr std::size_t kYearAvailabilitySize = 376;
inline constexpr std::size_t kDaySegmentSize = 24;
inline constexpr std::size_t kEventEntrySize = 24;
inline constexpr std::size_t kDayFlagCount = 12 * 31;

// The days of one year that hold recorded video: 12 months of 31 flags, month 1 first. Flags
// past a month's last day mean nothing.
struct YearAvailability {
    std::int32_t year = 0;
    std::array<std::uint8_t, kDayFlagCount> dayFlags{};

    // The flag of `day` (1-31) of `month` (1-12); false for positions the month does not have
    // and for out-of-range arguments.
    bool dayRecorded(int month, int day) const;
    void setDay(int month, int day, bool recorded);
    friend bool operator==(const YearAvailability&, const YearAvailability&) = default;
};

// One recorded period of a day. `channels` bit n: channel n+1 recorded; `motionContinuous`
// bit n: that channel's motion recording shows as continuous. `kinds` bit k: recording kind k
// (0 continuous, 1 alarm, 2 motion, 3, 4 audio, 5) present.
struct DaySegment {
    std::uint16_t channels = 0;
    std::uint16_t motionContinuous = 0;
    std::uint8_t kinds = 0;
    std::uint32_t start = 0; // RecorderTime
    std::uint32_t end = 0;   // RecorderTime
    friend bool operator==(const DaySegment&, const DaySegment&) = default;
};

// Event types the client lists.
namespace EventType {
enum : std::uint8_t { Alarm = 1, Motion = 2, Audio = 4 };
}

// One alarm, motion or audio event (other types are kept but never listed).
struct EventEntry {
    std::uint32_t channels = 0; // bit n: channel n+1
    std::uint8_t type = 0;
    std::uint32_t start = 0; // RecorderTime
    std::uint32_t end = 0;   // RecorderTime
    friend bool operator==(const EventEntry&, const EventEntry&) = default;
};

// Days in `month` (1-12) of `year`, Gregorian; 0 for a month out of range.
int daysInMonth(int year, int month);

std::array<std::byte, kYearAvailabilitySize> encodeYearAvailability(const YearAvailability& y);
std::array<std::byte, kDaySegmentSize> encodeDaySegment(const DaySegment& s);
std::array<std::byte, kEventEntrySize> encodeEventEntry(const EventEntry& e);

// One record from exactly the first record-size bytes of `bytes`; nothing when they are short.
std::optional<YearAvailability> decodeYearAvailability(std::span<const std::byte> bytes);
std::optional<DaySegment> decodeDaySegment(std::span<const std::byte> bytes);
std::optional<EventEntry> decodeEventEntry(std::span<const std::byte> bytes);

// Every whole record of a collected reply, in order; an incomplete tail is dropped.
std::vector<YearAvailability> decodeYearAvailabilities(std::span<const std::byte> reply);
std::vector<DaySegment> decodeDaySegments(std::span<const std::byte> reply);
std::vector<EventEntry> decodeEventEntries(std::span<const std::byte> reply);

// The 8-byte payload of a day query: year big-endian, month, day, two zero bytes.
std::array<std::byte, 8> encodeDayQuery(int year, int month, int day);
struct DayQuery {
    std::int32_t year = 0;
    int month = 0;
    int day = 0;
};
std::optional<DayQuery> decodeDayQuery(std::span<const std::byte> payload);

} // namespace kalder
