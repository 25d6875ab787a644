#pragma once

#include "local/backup_set_catalog.h"
#include "wire/search_records.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

namespace kalder {

// What the local search window shows, built from the sets of a download folder instead of the
// recorder's replies: the recorded days of a year, each day's segments for the timeline, and
// the event list. Plain C++; the window reads it on the GUI thread.
struct LocalSearchData {
    std::vector<BackupSetInfo> sets;                 // valid by the .idx tag, in play order
    std::vector<std::vector<SegmentEntry>> segments; // per set
};

LocalSearchData loadLocalSearchData(const std::filesystem::path& downloadFolder);

// The segment as the day timeline draws it: channels in the low 16 bits; the kind and the
// upper bits (motion shown as continuous) from the entry's recording parameters and change mask.
DaySegment localDaySegment(const SegmentEntry& entry);

// One year: the recorded days with their kind masks (bit 1 << (kind mod 32)) and segments.
struct LocalYear {
    YearAvailability availability;
    std::map<std::pair<int, int>, std::uint32_t> kindMasks;          // (month, day)
    std::map<std::pair<int, int>, std::vector<DaySegment>> segments; // (month, day)
};
LocalYear buildLocalYear(const LocalSearchData& data, int year);

// Every year 2000-2037 with a recorded day, as the calendar's year records.
std::vector<YearAvailability> localYears(const LocalSearchData& data);

// Every segment as an event (type = its recording kind), sets taken by earliest start.
std::vector<EventEntry> localEvents(const LocalSearchData& data);

} // namespace kalder
