#pragma once

#include "sim/status_info_config.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalder::sim {

// The STATUS_INFO_ACK payload of the recorder's state: the recording channels (all of
// `channelCount` while it records) in mode 0, the disk quantities, and with details disk 1
// present at 38 degrees in state 0 and disk 2 present without a reading in state 1.
std::vector<std::byte> statusInfoPayload(const StatusInfoConfig& config, unsigned channelCount,
                                         bool recording);

// The whole answer to STATUS_INFO_REQ as bytes on the wire: the refusal, or the payload in
// pieces of config.pieceBytes, the last with the final-piece flag (and an unasked
// SYSTEM_INFO_ACK in front when configured). `codeFlags` are or-ed into every code word.
std::vector<std::byte> statusInfoAnswer(const StatusInfoConfig& config, unsigned channelCount,
                                        bool recording, std::uint16_t codeFlags);

} // namespace kalder::sim
