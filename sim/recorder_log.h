#pragma once

#include "wire/log_records.h"
#include "sim/sim_config.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalder::sim {

// The recorder's log: a deterministic list of records of every kind and sub-kind, the last one
// written at `now`, one record every few minutes before it. Operation entries carry the values a
// recorder puts in the long layout (setup-change masks, archive media and period, camera titles,
// streaming and recording-mode changes, schedules, every camera-recording profile); the short
// layout drops them. Every 97th record has no kind bit at all, as a damaged entry would.
std::vector<LogRecord> buildRecorderLog(const SimConfig& config, std::uint32_t now);

// The answer to LOG_INFO_REQ: the refusal code when the configuration asks for one, else the
// whole log as LOG_INFO_ACK messages of at most `logFragmentBytes` payload bytes each (bit 14 on
// the last).
struct LogAnswer {
    std::optional<std::int32_t> refusal;
    std::vector<std::byte> wire;
};
LogAnswer answerLogRequest(const SimConfig& config, std::uint32_t now);

} // namespace kalder::sim
