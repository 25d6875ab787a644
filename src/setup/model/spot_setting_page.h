#pragma once

#include "setup/model/channel_selection.h"
#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>

namespace kalder {

// The Spot Setting page: how the recorder's spot output cycles. Owns `spot_mode`, `spot_dwell`
// and `spot_enable`.
//
// Modes: 0 one camera at a time, 1 four-way split, 2 nine-way split, 3 sixteen-way split (the
// sequences, which have dwell times), 4 alarm, 5 motion, 6 audio (event-driven, which have the
// per-channel enable flags instead). In the four-way and nine-way splits the channels move in
// groups of four and eight that share one dwell time.
inline constexpr unsigned kSpotModes = 7;
inline constexpr unsigned kSpotDwellPositions = 48; // slider 0 .. 48
inline constexpr unsigned kSpotDwellStep = 5;       // seconds per position

struct SpotSettingState {
    unsigned channels = 0;
    unsigned mode = 0;
    std::array<std::uint8_t, 16> dwell{};
    std::array<std::uint8_t, 16> enable{};
};

SpotSettingState readSpotSetting(const ConfigRecord& record, const SetupContext& context);

// Sequences show the dwell view's button, event-driven modes the enable view's.
bool spotModeIsSequence(unsigned mode);
// Whether the dwell view opens for `mode` on a recorder of `channels` channels: always in mode
// 0, in mode 1 above 4 channels, in mode 2 from 9 channels; never otherwise.
bool spotDwellViewOpens(unsigned mode, unsigned channels);
// Channels per dwell slider: 1 in mode 0, 4 in mode 1, 8 in mode 2.
unsigned spotDwellGroupSize(unsigned mode);
// Slider position (0 .. 48) to stored seconds (0 .. 240); and back.
unsigned spotDwellSeconds(int position);
int spotDwellPosition(unsigned seconds);

// What the mode view shows beside a mode: a sequence that cycles shows the lowest and highest
// dwell of its rows (one per group); the sixteen-way split, and a split the recorder's channels
// fill at once, shows all channels together; an event-driven mode counts the channels it may
// switch to.
struct SpotModeSummary {
    enum class Kind { Dwell, AllAtOnce, Channels } kind = Kind::AllAtOnce;
    unsigned lowSeconds = 0;
    unsigned highSeconds = 0;
    unsigned enabled = 0;
    unsigned channels = 0;
};
SpotModeSummary spotModeSummary(const SpotSettingState& state, unsigned mode);

// Chooses mode `mode`: stores it, and in the split modes makes every group share the dwell of
// its first channel. Only shown channels are touched. False for a mode out of range.
bool chooseSpotMode(ConfigRecord& record, unsigned channels, unsigned mode);

// Checking or clearing a row's box: in modes 1 and 2 the box of a group's first channel checks
// or clears the whole group.
void checkSpotRow(ChannelSelection& selection, unsigned mode, unsigned channel, bool on);

// The dwell slider of `channel` moved to `position`: mode 0 writes the channel and its selected
// set; modes 1 and 2 write the channel's whole group and, when that group's box is checked,
// every other checked group. Returns the channels written.
std::vector<unsigned> setSpotDwell(ConfigRecord& record, unsigned mode,
                                   const ChannelSelection& selection, unsigned channel,
                                   int position);

// The enable view's On and Off: `spot_enable` for the channel and its selected set.
std::vector<unsigned> setSpotEnable(ConfigRecord& record, const ChannelSelection& selection,
                                    unsigned channel, bool on);

} // namespace kalder
