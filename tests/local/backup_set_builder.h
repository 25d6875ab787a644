#pragma once

#include "files/backup_set_records.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kalder::test {

// One frame of a hand-made backup set.
struct SetFrame {
    unsigned channel = 0;
    std::uint32_t time = 0; // RecorderTime
    std::uint16_t ms = 0;
    bool key = false;
    std::uint32_t segmentKey = 1;
    std::uint8_t kind = 0; // header byte 50
    std::uint32_t videoBytes = 64;
    std::vector<std::byte> video; // real video; filler of videoBytes when empty
};

struct SetLinks {
    std::uint32_t continuation = 0; // FileHeader link
    std::uint32_t next = 0;         // .idx FileTrailer link
};

// Writes a closed set "<base>.idx/.vih/.vid" in `folder` laid out as the recorder's backup
// writer lays it out: a segment per run of equal segment keys, a time record per new second,
// the summary and the trailers. The video bytes are filler (nothing decodes them).
BackupSetFiles writeBackupSet(const std::filesystem::path& folder, std::uint32_t base,
                              const std::vector<SetFrame>& frames, SetLinks links = {});

// `count` frames a second from `start` for `seconds` seconds, round-robin over the channels of
// `channels` (0-based list), every `keyEvery`-th frame of a channel a key frame.
std::vector<SetFrame> steadyFrames(std::uint32_t start, int seconds, int perSecond,
                                   const std::vector<unsigned>& channels, int keyEvery,
                                   std::uint32_t segmentKey = 1);

// Cuts a file to `size` bytes.
void truncateFile(const std::filesystem::path& file, std::uintmax_t size);

} // namespace kalder::test
