#pragma once

#include "wire/search_records.h"

#include <string>

namespace kalder::cli {

// The output lines of the disk queries: one JSON object, or one readable line, per record.
// Times are RecorderTimes decoded with the UTC rules; channels are 1-based.

// The days of the year whose flag is set and that exist in their month.
std::string yearJson(const YearAvailability& year);
std::string yearText(const YearAvailability& year);
std::string segmentJson(const DaySegment& segment);
std::string segmentText(const DaySegment& segment);
// type: "alarm", "motion", "audio", or the number for other types.
std::string eventJson(const EventEntry& event);
std::string eventText(const EventEntry& event);

} // namespace kalder::cli
