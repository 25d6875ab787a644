#pragma once

#include "wire/recorder_time.h"

namespace kalder {

// The backup period chosen on the calendar and the timeline: the start first, then (after Next)
// the end. Months are 1-12.
struct BackupPeriod {
    CivilTime start;
    CivilTime end;
    bool endPhase = false; // the end is being chosen
};

} // namespace kalder
