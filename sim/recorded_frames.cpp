#include "sim/recorded_frames.h"

#include "sim/live_frame_builder.h"

#include <algorithm>

namespace kalder::sim {

unsigned RecordedFrames::fps(unsigned channel) const {
    const auto loop = m_media.loop(channel);
    return loop && loop->params.framesPerSecond ? loop->params.framesPerSecond : 30;
}

unsigned RecordedFrames::keyInterval(unsigned channel) const {
    const auto loop = m_media.loop(channel);
    return loop && loop->params.keyIntervalFrames ? loop->params.keyIntervalFrames : 30;
}

std::uint64_t RecordedFrames::stagger(unsigned channel) const {
    const unsigned channels = std::max(1u, m_model.channelCount());
    return static_cast<std::uint64_t>(channel) * keyInterval(channel) / channels;
}

std::int64_t RecordedFrames::frameMs(unsigned channel, std::int64_t frame) const {
    return frame * 1000 / fps(channel);
}

bool RecordedFrames::isKey(unsigned channel, std::int64_t frame) const {
    const auto loop = m_media.loop(channel);
    if (!loop || loop->frames.empty() || frame < 0)
        return false;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(frame) + stagger(channel)) % loop->frames.size();
    return loop->frames[index].key;
}

std::size_t RecordedFrames::loopLength(unsigned channel) const {
    const auto loop = m_media.loop(channel);
    return loop ? loop->frames.size() : 0;
}

std::size_t RecordedFrames::videoBytes(unsigned channel, std::int64_t frame) const {
    const auto loop = m_media.loop(channel);
    if (!loop || loop->frames.empty() || frame < 0)
        return 0;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(frame) + stagger(channel)) % loop->frames.size();
    return loop->frames[index].data.size();
}

std::vector<std::byte> RecordedFrames::body(unsigned channel, std::int64_t frame) const {
    const auto loop = m_media.loop(channel);
    if (!loop || loop->frames.empty() || frame < 0)
        return {};
    const LoopParams& p = loop->params;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(frame) + stagger(channel)) % loop->frames.size();
    const EncodedFrame& encoded = loop->frames[index];
    const std::int64_t ms = frameMs(channel, frame);

    FrameParts parts;
    parts.channel = static_cast<std::uint8_t>(channel);
    parts.resolutionCode = p.width == 352 ? 0 : (p.height <= 288 ? 5 : 1);
    parts.pal = p.height == 288 || p.height == 576;
    parts.timeSeconds = static_cast<std::uint32_t>(ms / 1000);
    parts.milliseconds = static_cast<std::uint16_t>(ms % 1000);
    parts.key = encoded.key;
    parts.video = encoded.data;
    return buildFrame(parts);
}

} // namespace kalder::sim
