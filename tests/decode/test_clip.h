#pragma once

#include "wire/frame_record.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kalder::test {

// One encoded access unit (Annex B; key frames carry SPS and PPS).
struct EncodedFrame {
    std::vector<std::byte> data;
    bool key = false;
};

// Fills frame `index` of a 4:2:0 picture.
using DrawFn = std::function<void(int index, std::uint8_t* y, int yStride, std::uint8_t* u,
                                  int uStride, std::uint8_t* v, int vStride)>;

struct ClipParams {
    int width = 352;
    int height = 240;
    int frames = 30;
    int keyInterval = 10;
    // Lossless (the decoded picture equals the drawn one), otherwise about 2 Mbit/s.
    bool lossless = false;
    DrawFn draw; // empty: a moving test pattern
    // The encoder's deblocking filter on, as a recorder's encoder has it (the fast preset of
    // the simulator's streams leaves it off).
    bool deblock = false;
};

// Encodes with libx264 through libavcodec; empty on failure.
std::vector<EncodedFrame> encodeClip(const ClipParams& params);

// The record a producer builds for a frame (block, then video; the header's word 3 holds
// `frameTime`).
std::unique_ptr<FrameRecord> makeRecord(unsigned channel, const EncodedFrame& frame, int width,
                                        int height, std::uint32_t generation,
                                        std::uint32_t frameTime = 0);
// A record whose video is `video` and whose frame type is `frameType`.
std::unique_ptr<FrameRecord> makeRecord(unsigned channel, std::vector<std::byte> video,
                                        std::uint8_t frameType, int width, int height,
                                        std::uint32_t generation, std::uint32_t frameTime = 0);

} // namespace kalder::test
