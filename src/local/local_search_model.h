#pragma once

#include "local/backup_set_catalog.h"
#include "local/local_playlist.h"
#include "wire/recorder_time.h"
#include "wire/search_records.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
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

// The recording kinds 0-5 a day's kind mask marks on its calendar cell, ascending (the kinds
// past 5 have no colour and no mark).
std::vector<int> dayKindMarks(std::uint32_t kindMask);

// The date and time panel's request: from the start on when the end row is absent, could not be
// encoded, is the end that stands for none (2037-12-31 23:59:59) or is not after the start;
// otherwise the period.
LocalPlayRequest dateTimePlayRequest(std::uint32_t start, const std::optional<CivilTime>& endRow,
                                     std::optional<std::uint32_t> encodedEnd);

// Which of the tabs Search, Log and Info the rights-changed message (wParam 0, 1 or 2) leaves
// enabled: as on the remote search window, 1 (backup right only) leaves only Backup, which this
// window does not have; 0 and 2 enable all three. Nothing for any other value.
std::optional<std::array<bool, 3>> localTabsForRights(std::uintptr_t wParam);

} // namespace kalder
