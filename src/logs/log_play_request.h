#pragma once

#include "wire/log_listing.h"

#include <cstdint>

namespace kalder {

// Playback from an event of the log: what the remote playback request carries and what the
// search window keeps to return to the log menu afterwards.
struct LogPlayRequest {
    std::uint16_t channelMask = 0; // the event's channels
    std::uint32_t kindSelector = 0;
    std::uint32_t start = 0; // the event's time
    std::uint32_t end = 0;   // open end
    // The resume context: started from a log list (All or Event) at `start`.
    LogList list = LogList::All;
    bool operator==(const LogPlayRequest&) const = default;
};

// The request for `record` selected in `list`; nothing when the row may not be played (not an
// alarm, motion or audio event, or a list without Play).
std::optional<LogPlayRequest> logPlayRequest(const LogRecord& record, LogList list);

} // namespace kalder
