#pragma once

#include "setup/model/recorder_tables.h"
#include "wire/config_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>
#include <functional>

namespace kalder {

// What every setup page may read besides the record: the record's format version (copied when
// the window opens) and the greeting's facts about the recorder.
struct SetupContext {
    RecordVersion version;
    unsigned channelNum = 16; // 4, 8 or 16: pages show this many channel rows
    std::uint8_t subProductMajor = 0;
    std::uint8_t subProductMinor = 0;
    // The logged-in account and its feature bits (none without a session).
    std::size_t userIndex = 0;
    bool featureBit0 = false;
    bool featureBit1 = false;
    // The recorder's system tables (languages, PTZ protocols, keyboards, DST rules), and
    // DVR_TIME_REQ (the answer comes back through SetupWindow::recorderTimeArrived). Empty
    // without a session.
    SetupTables tables;
    std::function<void()> requestRecorderTime;
};

} // namespace kalder
