#pragma once

#include "wire/search_records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kalder::sim {

// Recording kinds: bit k of a period's kind byte.
namespace RecordingKind {
enum : std::uint8_t {
    Continuous = 1u << 0,
    Alarm = 1u << 1,
    Motion = 1u << 2,
    Kind3 = 1u << 3,
    Audio = 1u << 4,
    Kind5 = 1u << 5,
};
}

// How the synthetic disk is laid out.
struct DiskLayout {
    unsigned days = 30;     // whole days ending with the day of `end`; 0: an empty disk
    std::uint64_t seed = 1; // the same seed (and days, end, channels) gives the same disk
    std::uint32_t end = 0;  // RecorderTime of the disk's last recorded second
    unsigned channelCount = 16;
};

// One recorded period: the channels recorded, their kinds and the motion-continuous marks.
// Periods never overlap and never cross midnight; `end` is the last recorded second.
struct DiskPeriod {
    std::uint16_t channels = 0;
    std::uint16_t motionContinuous = 0;
    std::uint8_t kinds = 0;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    friend bool operator==(const DiskPeriod&, const DiskPeriod&) = default;
};

// What is recorded on one channel at one moment.
struct RecordedMoment {
    std::uint8_t kinds = 0;
    bool motionContinuous = false;
    std::uint32_t periodStart = 0; // the period (its part within the day) the moment lies in
    std::uint32_t periodEnd = 0;
};

// The recorder's disk: deterministic synthetic recordings of every channel over the last days,
// with gaps, days without any recording, every recording kind, motion-continuous marks and an
// event list (alarm, motion, audio) that lies within the recordings of its kind. Built once,
// read-only afterwards, so any thread may query it without a lock. A recorder that records
// from its start on adds the live recording after the built part (recordLiveFrom).
class RecordedDisk {
public:
    explicit RecordedDisk(const DiskLayout& layout);

    // Before the disk is shared: from `start` on, every channel records continuously up to the
    // second `now` gives (the recorder's clock; any thread calls it).
    void recordLiveFrom(std::uint32_t start, std::function<std::uint32_t()> now);

    const DiskLayout& layout() const { return m_layout; }
    const std::vector<DiskPeriod>& periods() const { return m_periods; }
    bool empty() const { return m_periods.empty(); }
    // The first and last recorded second (0 for an empty disk).
    std::uint32_t firstTime() const;
    std::uint32_t lastTime() const;

    // What channel `channel` (0-based) holds at `time`; nothing in a gap or for a channel the
    // period did not record.
    std::optional<RecordedMoment> recordedAt(unsigned channel, std::uint32_t time) const;
    // The first recorded second of `channel` at or after `time`, if any (for a player that
    // runs into a gap).
    std::optional<std::uint32_t> nextRecordedTime(unsigned channel, std::uint32_t time) const;
    // The last recorded second of `channel` at or before `time`, if any (for reverse play).
    std::optional<std::uint32_t> previousRecordedTime(unsigned channel, std::uint32_t time) const;

    // The periods of one day as the recorder reports them.
    std::vector<DaySegment> daySegments(int year, int month, int day) const;
    // One record per year that has recordings, oldest first.
    std::vector<YearAvailability> yearAvailability() const;
    // Every event, oldest first.
    const std::vector<EventEntry>& events() const { return m_events; }

private:
    void build();
    // The live recording from its start to the clock now, if there is one.
    std::optional<DiskPeriod> livePeriod() const;

    DiskLayout m_layout;
    std::vector<DiskPeriod> m_periods; // ordered by start
    std::vector<EventEntry> m_events;  // ordered by start
    // The live recording after the built periods (set before sharing, read-only afterwards).
    std::uint32_t m_liveStart = 0;
    std::function<std::uint32_t()> m_liveNow;
};

} // namespace kalder::sim
