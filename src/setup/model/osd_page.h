#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>

namespace kalder {

// The OSD On/Off page: two on/off rows (`osd_flag_1`, `osd_flag_2`) and five list rows
// (`osd_choice_1` .. `osd_choice_5`; the last three only on records above 4.3). Owns those
// fields only.
inline constexpr std::size_t kOsdChoices = 5;
inline constexpr std::array<unsigned, kOsdChoices> kOsdChoiceEntries = {4, 7, 4, 2, 2};

struct OsdState {
    std::array<std::uint8_t, 2> flags{};
    std::array<std::uint8_t, kOsdChoices> choices{};
    bool extraRows = false; // choices 3 .. 5 shown
};

const ConfigField& osdChoiceField(std::size_t choice);
OsdState readOsd(const ConfigRecord& record, const SetupContext& context);
bool osdExtraRowsShown(RecordVersion version);

// On/Off of row `row` (0 or 1). A checked row passes the change to the other row when that one
// is checked too. Returns the rows written.
std::vector<std::size_t> setOsdFlag(ConfigRecord& record, std::size_t row, bool on,
                                    const std::array<bool, 2>& checked);

// Entry `entry` of list `choice` (0 .. 4). False (nothing written) for an entry beyond the
// list, or a row the record version does not show.
bool setOsdChoice(ConfigRecord& record, const SetupContext& context, std::size_t choice,
                  unsigned entry);

} // namespace kalder
