// The simulator's recorded disk as the playback tests start it: a fixed end and seed, so that a
// test knows which channels recorded when.
#pragma once

#include "sim/recorded_disk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kalder::test {

// 2024-01-03 15:00:00, seed 4.
inline constexpr std::uint32_t kSimDiskEnd = 1704294000;
inline constexpr std::uint64_t kSimDiskSeed = 4;

// `args` and the simulator's options that lay out that disk.
inline std::vector<std::string> withSimDisk(std::vector<std::string> args) {
    args.insert(args.end(), {"--disk-end", std::to_string(kSimDiskEnd), "--disk-seed",
                             std::to_string(kSimDiskSeed)});
    return args;
}

// The disk of a simulator of `channels` channels started with simDiskArgs().
inline sim::RecordedDisk simDisk(unsigned channels) {
    sim::DiskLayout layout;
    layout.end = kSimDiskEnd;
    layout.seed = kSimDiskSeed;
    layout.channelCount = channels;
    return sim::RecordedDisk(layout);
}

// A moment from which all `channels` channels recorded for `seconds`, and five seconds before
// it: in the latest such period of the disk.
inline std::uint32_t recordedStart(const sim::RecordedDisk& disk, unsigned channels,
                                   std::uint32_t seconds) {
    const std::uint16_t all = static_cast<std::uint16_t>((1u << channels) - 1);
    for (auto it = disk.periods().rbegin(); it != disk.periods().rend(); ++it)
        if (it->channels == all && it->end - it->start >= seconds + 10)
            return it->start + 5;
    ADD_FAILURE() << "no period of " << seconds << " s on every channel";
    return 0;
}

} // namespace kalder::test
