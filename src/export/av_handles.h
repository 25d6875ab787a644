#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kalder {

// libavcodec's objects owned with their own free functions.
struct AvPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvCodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;

// The text of a libav error code.
std::string avErrorText(int code);

// Makes `packet` a copy of one access unit at `ms` (its pts and dts), flagged key or not; the
// packet's old contents go first. libavformat's error code, or 0.
int fillVideoPacket(AVPacket* packet, std::int64_t ms, bool key, std::span<const std::byte> unit);

} // namespace kalder
