#pragma once

#include "wire/config_record.h"

namespace kalder::sim {

struct SimConfig;
class RecorderModel;

// What the recorder's recording settings make of its channels: the line standard from
// video_standard, and for each of its channels the picture size and rate of the profile that
// records all the time (profile A): resolution code 0 (4CIF) gives full D1, 1 (2CIF) half D1,
// 2 (CIF) CIF; a rate of 0 (not recorded) leaves the channel at the standard's full rate. Fields
// past the end of a short record, and codes the recorder does not know, leave the setting as it
// was. Called with the model's lock held (RecorderModel::editConfig).
void reflectRecording(const ConfigRecord& record, SimConfig& config);

// The recorder's other settings that change what it does: the time zone, DST rule and NTP
// switch (the clock every client reads) and the PTZ addresses, protocols and baud rates (which
// camera commands get through). Fields past the end of a short record change nothing. Called
// after the record was stored, without the model's lock.
void reflectDeviceSettings(const ConfigRecord& record, RecorderModel& model);

// The other way, for the factory record: profile A's resolution row and rates as the channels
// are configured at start, so that the first accepted update changes only what the operator
// changed.
void describeRecording(const SimConfig& config, ConfigRecord& record);

} // namespace kalder::sim
