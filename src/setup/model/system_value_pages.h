#pragma once

#include "setup/model/channel_selection.h"
#include "wire/config_record.h"

#include <cstdint>
#include <string>

namespace kalder {

// The small System pages: Sensor (`sensor_type`), Auto Delete Mode (`auto_delete_days`),
// Smart (`smart_flag_1`, `smart_value`, `smart_flag_2`) and ETC. (`etc_choice_1`,
// `etc_choice_2`). Each owns its fields only.

// Sensor: "On" stores 2, "Off" 1, "None" 0, for the channel and its selected set.
enum class SensorType : std::uint8_t { None = 0, Off = 1, On = 2 };
std::vector<unsigned> setSensorType(ConfigRecord& record, const ChannelSelection& selection,
                                    unsigned channel, SensorType type);

inline constexpr unsigned kAutoDeleteMaxDays = 99;
// The days slider (0 .. 99); a position outside is kept within it.
bool setAutoDeleteDays(ConfigRecord& record, int days);

inline constexpr unsigned kSmartValueMax = 99;
bool setSmartFlag(ConfigRecord& record, std::size_t row, bool on); // row 0 or 1
bool setSmartValue(ConfigRecord& record, int value);
// 0 shows the off text; another value "%02d" and the unit.
std::string smartValueText(unsigned value, const std::string& unit, const std::string& off);

inline constexpr unsigned kEtcChoice1Entries = 2;
inline constexpr unsigned kEtcChoice2Entries = 2;
// Entry `entry` of ETC. list `row` (0 or 1); false when nothing changed (the value was
// already stored, or the entry is not on the list).
bool setEtcChoice(ConfigRecord& record, std::size_t row, unsigned entry);

} // namespace kalder
