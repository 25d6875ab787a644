#pragma once

#include "setup/model/recorder_tables.h"
#include "wire/config_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalder {

// PTZ Setup (per camera: address, protocol, baud rate; a second page of four PTZ levels) and PTZ
// Controller (the operator keyboard). PTZ Setup owns `ptz_id`, `ptz_protocol`, `ptz_baud`,
// `pan_low`, `pan_high`, `tilt_low`, `tilt_high`; PTZ Controller owns `keyboard_id`,
// `keyboard_protocol`, `keyboard_baud` (first byte of each; the 15 bytes after them are not
// the page's).

inline constexpr std::size_t kPtzChannels = 16;
inline constexpr unsigned kPtzMaxAddress = 255;
inline constexpr std::size_t kPtzLevels = 4; // pan_low, pan_high, tilt_low, tilt_high
inline constexpr unsigned kPtzLevelPositions = 10;
inline constexpr std::size_t kSerialListMax = 31; // the list chooser's limit

// The three fields one serial device row edits.
struct SerialFields {
    const ConfigField& id;
    const ConfigField& protocol;
    const ConfigField& baud;
};
inline constexpr SerialFields kPtzFields{configField("ptz_id"), configField("ptz_protocol"),
                                         configField("ptz_baud")};
inline constexpr SerialFields kKeyboardFields{
    configField("keyboard_id"), configField("keyboard_protocol"), configField("keyboard_baud")};
inline constexpr std::array<const ConfigField*, kPtzLevels> kPtzLevelFields = {
    &configField("pan_low"), &configField("pan_high"), &configField("tilt_low"),
    &configField("tilt_high")};

struct SerialRow {
    unsigned id = 0;
    unsigned protocol = 0;
    unsigned baud = 0;
};

struct PtzSetupState {
    std::array<SerialRow, kPtzChannels> rows{};
    // levels[k][ch]: the stored value 0 .. 9 of level k (shown as value + 1).
    std::array<std::array<unsigned, kPtzChannels>, kPtzLevels> levels{};
};
PtzSetupState readPtzSetup(const ConfigRecord& record);
SerialRow readPtzController(const ConfigRecord& record);

// The channels a change in row `channel` applies to: every checked row below `channelNum` when
// the row is checked (the selected set), else the row alone.
std::vector<std::size_t> changedChannels(std::size_t channel,
                                         const std::array<bool, kPtzChannels>& checked,
                                         unsigned channelNum);

// The address list: the off text, "1" .. "5", "-1", "+1".
std::vector<std::string> addressEntries();
// An address as the rows show it: the off text for 0, else the number.
std::string addressText(unsigned address);
// The address that list entry `entry` makes of `current`: entries 0 .. 5 are the address, "-1"
// counts down (below 2 it becomes 0, off), "+1" counts up to 255.
unsigned addressAfterChoice(unsigned entry, unsigned current);

// Writes `address` (at most 255) into the id of every channel in `channels`.
void writeSerialAddress(ConfigRecord& record, const SerialFields& fields,
                        const std::vector<std::size_t>& channels, unsigned address);

// The protocol (or keyboard) list: the names of the types that exist, in table order, at most
// 31 of them.
std::vector<std::string> serialTypeEntries(const std::vector<SerialDeviceType>& types);
// The baud-rate list of list position `type`: the first baudCount rates; empty for a position
// the list does not have.
std::vector<std::string> baudEntries(const std::vector<SerialDeviceType>& types, unsigned type);
// The name shown for a stored type; "-" for one the list does not have.
std::string serialTypeText(const std::vector<SerialDeviceType>& types, unsigned type);
std::string baudText(unsigned baud);

// Choosing list position `type` stores it for every channel in `channels` and pulls a stored
// baud index that the type does not offer down to its last rate (to 0 when it offers none).
void chooseSerialType(ConfigRecord& record, const SerialFields& fields,
                      const std::vector<SerialDeviceType>& types,
                      const std::vector<std::size_t>& channels, unsigned type);
// Choosing baud rate `baud` stores it for every channel in `channels`.
void chooseSerialBaud(ConfigRecord& record, const SerialFields& fields,
                      const std::vector<std::size_t>& channels, unsigned baud);

// A level slider moved to `position` (1 .. 10; 0 counts as 1) stores position - 1 into level
// `level` of every channel in `channels`; returns the position the slider shows.
unsigned writePtzLevel(ConfigRecord& record, std::size_t level,
                       const std::vector<std::size_t>& channels, unsigned position);
// The slider position of a stored level (a value above 9 shows at the top).
unsigned levelPosition(unsigned stored);

} // namespace kalder
