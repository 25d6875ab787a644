#pragma once

#include "wire/frame_info.h"
#include "wire/message_header.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kalder::sim {

// Audio section of a frame that carries sound: 2048 bytes whose last 512 (from offset 1536) are
// the element the client plays.
inline constexpr std::size_t kAudioSectionBytes = 2048;
inline constexpr std::uint8_t kMuLawSilence = 0xFF;

struct FrameParts {
    std::uint8_t channel = 0;
    std::uint8_t resolutionCode = 1;
    bool pal = false;
    std::uint32_t timeSeconds = 0;
    std::uint16_t milliseconds = 0;
    bool key = false;
    std::span<const std::byte> video;
    // 512 bytes of mu-law, or empty for a frame without sound.
    std::span<const std::uint8_t> audioElement;
    std::uint8_t audioChannel = 0;
    bool badMagic = false;      // fault: the block does not start with the frame magic
    std::size_t padToBytes = 0; // fault: zero bytes appended up to this total size
};

// Builds one assembled frame: the 40-byte block, the access unit and the audio section.
std::vector<std::byte> buildFrame(const FrameParts& parts);

// Splits an assembled item into messages of `id` carrying at most `maxFragment` payload bytes
// each (bit 14 of the fragment flags set on the last one only), and returns their wire bytes.
// `code` may carry the audio flag; `channel` goes into fragment bits 6-9, `headerWord3` into
// every header.
std::vector<std::byte> buildFragmentedMessages(std::span<const std::byte> item, std::uint16_t id,
                                               std::uint16_t codeFlags, unsigned channel,
                                               std::uint32_t headerWord3, std::size_t maxFragment);

} // namespace kalder::sim
