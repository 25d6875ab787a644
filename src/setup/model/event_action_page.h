#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>
#include <string>

namespace kalder {

// The three event-action pages: four yes/no rows (a fifth on records above 4.6); pages B and C
// add a duration in seconds, page A a channel sub-page on records of major version 5 and later.
// Each owns its own `notify_*` fields only.
enum class EventActionPage { A = 0, B = 1, C = 2 };
inline constexpr std::size_t kEventActionRows = 5;
inline constexpr std::uint32_t kEventDurationMin = 1;
inline constexpr std::uint32_t kEventDurationMax = 999;
// The duration list's presets, in seconds.
inline constexpr std::array<std::uint32_t, 10> kEventDurationPresets = {5,   10,  30,  60,  90,
                                                                        120, 150, 180, 210, 240};

struct EventActionState {
    std::array<std::uint8_t, kEventActionRows> rows{};
    std::size_t rowCount = 4;
    bool hasDuration = false;
    std::uint32_t duration = 0;
    bool channelPageButton = false;
};

EventActionState readEventAction(const ConfigRecord& record, const SetupContext& context,
                                 EventActionPage page);
bool eventFifthRowShown(RecordVersion version);
bool eventChannelPageShown(RecordVersion version);

// Yes (1) or No (0) of row `row`. False for a row the page does not show.
bool setEventAction(ConfigRecord& record, const SetupContext& context, EventActionPage page,
                    std::size_t row, bool yes);

// The duration row of pages B and C: the first button stores 0 (no duration).
bool clearEventDuration(ConfigRecord& record, EventActionPage page);
// A number from the chooser, kept within 1 .. 999.
bool setEventDuration(ConfigRecord& record, EventActionPage page, std::int64_t seconds);
// Preset `index` of the list (0 .. 9).
bool setEventDurationPreset(ConfigRecord& record, EventActionPage page, std::size_t index);
// The row's text: empty for 0, else the seconds and `unit`.
std::string eventDurationText(std::uint32_t seconds, const std::string& unit);

} // namespace kalder
