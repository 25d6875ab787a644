#include "setup/model/spot_setting_page.h"

#include <algorithm>

namespace kalder {

SpotSettingState readSpotSetting(const ConfigRecord& record, const SetupContext& context) {
    SpotSettingState state;
    state.channels = std::min(context.channelNum, 16u);
    state.mode = record.value(configField("spot_mode"));
    for (unsigned ch = 0; ch < 16; ++ch) {
        state.dwell[ch] = static_cast<std::uint8_t>(record.value(configField("spot_dwell"), ch));
        state.enable[ch] = static_cast<std::uint8_t>(record.value(configField("spot_enable"), ch));
    }
    return state;
}

bool spotModeIsSequence(unsigned mode) {
    return mode <= 3;
}

bool spotDwellViewOpens(unsigned mode, unsigned channels) {
    switch (mode) {
    case 0:
        return true;
    case 1:
        return channels > 4;
    case 2:
        return channels >= 9;
    default:
        return false;
    }
}

unsigned spotDwellGroupSize(unsigned mode) {
    return mode == 1 ? 4 : mode == 2 ? 8 : 1;
}

unsigned spotDwellSeconds(int position) {
    return kSpotDwellStep *
           static_cast<unsigned>(std::clamp(position, 0, int(kSpotDwellPositions)));
}

int spotDwellPosition(unsigned seconds) {
    return static_cast<int>(std::min(seconds / kSpotDwellStep, kSpotDwellPositions));
}

SpotModeSummary spotModeSummary(const SpotSettingState& state, unsigned mode) {
    SpotModeSummary summary;
    summary.channels = state.channels;
    if (!spotModeIsSequence(mode)) {
        summary.kind = SpotModeSummary::Kind::Channels;
        for (unsigned ch = 0; ch < state.channels; ++ch)
            summary.enabled += state.enable[ch] != 0 ? 1u : 0u;
        return summary;
    }
    if (!spotDwellViewOpens(mode, state.channels))
        return summary;
    summary.kind = SpotModeSummary::Kind::Dwell;
    bool first = true;
    for (unsigned ch = 0; ch < state.channels; ch += spotDwellGroupSize(mode)) {
        const unsigned s = state.dwell[ch];
        summary.lowSeconds = first ? s : std::min(summary.lowSeconds, s);
        summary.highSeconds = first ? s : std::max(summary.highSeconds, s);
        first = false;
    }
    return summary;
}

bool chooseSpotMode(ConfigRecord& record, unsigned channels, unsigned mode) {
    if (mode >= kSpotModes)
        return false;
    record.setValue(configField("spot_mode"), 0, mode);
    const unsigned group = spotDwellGroupSize(mode);
    if (group == 1)
        return true;
    // Channels the recorder does not have keep their bytes as received.
    const unsigned shown = std::min(channels, 16u);
    for (unsigned ch = 0; ch < shown; ++ch) {
        const unsigned first = ch - ch % group;
        if (ch != first)
            record.setValue(configField("spot_dwell"), ch,
                            record.value(configField("spot_dwell"), first));
    }
    return true;
}

void checkSpotRow(ChannelSelection& selection, unsigned mode, unsigned channel, bool on) {
    const unsigned shown = std::min(selection.channels, 16u);
    if (channel >= shown)
        return;
    const unsigned group = spotDwellGroupSize(mode);
    if (group == 1 || channel % group != 0) {
        selection.checked[channel] = on;
        return;
    }
    for (unsigned ch = channel; ch < std::min(channel + group, shown); ++ch)
        selection.checked[ch] = on;
}

std::vector<unsigned> setSpotDwell(ConfigRecord& record, unsigned mode,
                                   const ChannelSelection& selection, unsigned channel,
                                   int position) {
    const std::uint32_t seconds = spotDwellSeconds(position);
    const unsigned group = spotDwellGroupSize(mode);
    if (group == 1)
        return writeSelected(record, configField("spot_dwell"), 0, selection, channel, seconds);
    const unsigned shown = std::min(selection.channels, 16u);
    if (channel >= shown)
        return {};
    const unsigned own = channel / group;
    const auto groupChecked = [&](unsigned g) { return selection.checked[g * group]; };
    std::vector<unsigned> written;
    for (unsigned ch = 0; ch < shown; ++ch) {
        const unsigned g = ch / group;
        const bool reached = g == own || (groupChecked(own) && groupChecked(g));
        if (reached && record.setValue(configField("spot_dwell"), ch, seconds))
            written.push_back(ch);
    }
    return written;
}

std::vector<unsigned> setSpotEnable(ConfigRecord& record, const ChannelSelection& selection,
                                    unsigned channel, bool on) {
    return writeSelected(record, configField("spot_enable"), 0, selection, channel, on ? 1 : 0);
}

} // namespace kalder
