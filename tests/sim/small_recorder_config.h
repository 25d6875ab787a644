#pragma once

// The recorder the in-process simulator tests build: few small channels, so that their loops are
// encoded in a moment and shared through the parts cache.
#include "sim/sim_config.h"

#include <string>

namespace kalder::sim {

// `channels` CIF channels at 10 frames a second and 256 kbit/s, one-second loops.
inline SimConfig smallRecorderConfig(unsigned channels) {
    SimConfig config = defaultConfig();
    config.channelCount = channels;
    for (auto& channel : config.channels) {
        channel.resolution = Resolution::Cif;
        channel.framesPerSecond = 10;
        channel.bitrateKbps = 256;
    }
    config.loopSeconds = 1;
    config.cacheDir = std::string(KALDER_TEST_CACHE_DIR) + "/sim-parts";
    return config;
}

} // namespace kalder::sim
