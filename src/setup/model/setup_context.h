#pragma once

#include "wire/config_record.h"

#include <cstdint>

namespace kalder {

// What every setup page may read besides the record: the record's format version (copied when
// the window opens) and the greeting's facts about the recorder.
struct SetupContext {
    RecordVersion version;
    unsigned channelNum = 16; // 4, 8 or 16: pages show this many channel rows
    std::uint8_t subProductMajor = 0;
    std::uint8_t subProductMinor = 0;
};

} // namespace kalder
