#pragma once

#include "wire/search_records.h"

#include <cstdint>
#include <vector>

namespace kalder {

// Where a playback started from the search window came from, kept by the session so that the
// search window reopens where the operator left it (the event list on its tab, the timeline at
// the start time) instead of asking the recorder again.
struct SearchResumeContext {
    enum class Source : std::uint8_t { DateTime = 0, EventList = 1, DayTimeline = 2 };
    enum class EventTab : std::uint8_t { Alarm = 0, Motion = 1, Audio = 2 };

    bool active = false;
    bool fromLogList = false;
    Source source = Source::DateTime;
    EventTab eventTab = EventTab::Alarm;
    std::uint32_t start = 0; // RecorderTime of the playback start
    // Private copies of the session's records taken when playback started.
    std::vector<YearAvailability> years;
    std::vector<DaySegment> segments;
    std::vector<EventEntry> events;
};

} // namespace kalder
