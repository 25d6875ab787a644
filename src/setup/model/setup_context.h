#pragma once

#include "wire/config_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalder {

// What every setup page may read besides the record: the record's format version (copied when
// the window opens) and the greeting's facts about the recorder.
struct SetupContext {
    RecordVersion version;
    unsigned channelNum = 16; // 4, 8 or 16: pages show this many channel rows
    std::uint8_t subProductMajor = 0;
    std::uint8_t subProductMinor = 0;
    // The logged-in account and the recorder's tables (none of them without a session).
    std::size_t userIndex = 0;
    bool featureBit0 = false;
    bool featureBit1 = false;
    std::vector<std::byte> sysEtcInfo;   // SYS_ETC_INFO as received
    std::vector<std::byte> sysEtcInfoEx; // SYS_ETC_INFO_EX; empty when the recorder sent none
};

} // namespace kalder
