#include "sim/recording_reflection.h"

#include "sim/recorder_model.h"
#include "sim/sim_config.h"

#include <algorithm>

namespace kalder::sim {

void reflectRecording(const ConfigRecord& record, SimConfig& config) {
    const auto has = [&record](const ConfigField& f) { return f.end() <= record.recordLength(); };
    const ConfigField& standard = configField("video_standard");
    const ConfigField& rate = configField("profile_a_rate");
    const ConfigField& resolution = configField("resolution"); // profile A's row first
    if (!has(standard))
        return;
    config.pal = record.value(standard) != 0;
    const unsigned fullRate = config.pal ? 25 : 30;
    const unsigned channels = std::min<unsigned>(config.channelCount, kMaxChannels);
    for (unsigned ch = 0; ch < channels; ++ch) {
        ChannelSettings& channel = config.channels[ch];
        if (has(rate)) {
            const unsigned r = record.value(rate, ch);
            channel.framesPerSecond = r == 0 ? 0 : std::min(r, fullRate);
        }
        if (!has(resolution))
            continue;
        switch (record.value(resolution, ch)) {
        case 0:
            channel.resolution = Resolution::D1;
            break;
        case 1:
            channel.resolution = Resolution::HalfD1;
            break;
        case 2:
            channel.resolution = Resolution::Cif;
            break;
        default:
            break;
        }
    }
}

void reflectDeviceSettings(const ConfigRecord& record, RecorderModel& model) {
    if (const auto clock = readClockSettings(record))
        model.applyClockSettings(*clock);
    if (const auto links = readPtzLinks(record))
        model.applyPtzLinks(*links);
}

void describeRecording(const SimConfig& config, ConfigRecord& record) {
    const unsigned channels = std::min<unsigned>(config.channelCount, kMaxChannels);
    for (unsigned ch = 0; ch < channels; ++ch) {
        unsigned code = 2;
        switch (config.channels[ch].resolution) {
        case Resolution::D1:
            code = 0;
            break;
        case Resolution::HalfD1:
            code = 1;
            break;
        case Resolution::Cif:
            break;
        }
        record.setValue(configField("resolution"), ch, code);
        record.setValue(configField("profile_a_rate"), ch, framesPerSecondOf(config, ch));
    }
}

} // namespace kalder::sim
