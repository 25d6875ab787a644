#pragma once

#include "setup/model/recorder_tables.h"
#include "wire/config_record.h"

#include <cstdint>
#include <functional>

namespace kalder {

// What every setup page may read besides the record: the record's format version (copied when
// the window opens) and the greeting's facts about the recorder.
struct SetupContext {
    RecordVersion version;
    unsigned channelNum = 16; // 4, 8 or 16: pages show this many channel rows
    std::uint8_t subProductMajor = 0;
    std::uint8_t subProductMinor = 0;
    // The PTZ and time pages: the recorder's system tables, and DVR_TIME_REQ (the answer comes
    // back through SetupWindow::recorderTimeArrived). Empty without a session.
    SetupTables tables;
    std::function<void()> requestRecorderTime;
};

} // namespace kalder
