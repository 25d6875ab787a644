#include "sim/recorded_frames.h"

#include "sim/live_frame_builder.h"

#include <algorithm>
#include <array>

namespace kalder::sim {

namespace {

// The first sample of frame `frame` at `fps` frames a second.
std::uint64_t firstSampleOf(std::int64_t frame, unsigned fps) {
    return static_cast<std::uint64_t>(frame) * kAudioSampleRate / fps;
}

// Audio elements that begin before sample `sample`.
std::uint64_t elementsBefore(std::uint64_t sample) {
    return (sample + kAudioElementBytes - 1) / kAudioElementBytes;
}

} // namespace

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

std::optional<std::uint64_t> RecordedFrames::audioElementAt(unsigned channel,
                                                            std::int64_t frame) const {
    const unsigned audioChannel = m_model.audioChannel();
    if (frame < 0 || audioChannel == 0 || audioChannel - 1 != channel)
        return std::nullopt;
    const unsigned f = fps(channel);
    const std::uint64_t element = elementsBefore(firstSampleOf(frame, f));
    if (element >= elementsBefore(firstSampleOf(frame + 1, f)))
        return std::nullopt;
    return element * kAudioElementBytes;
}

std::uint64_t RecordedFrames::audioFrames(unsigned channel, std::int64_t first,
                                          std::int64_t last) const {
    const unsigned audioChannel = m_model.audioChannel();
    first = std::max<std::int64_t>(first, 0);
    if (last < first || audioChannel == 0 || audioChannel - 1 != channel)
        return 0;
    const unsigned f = fps(channel);
    // A frame of 512 samples or more holds the beginning of one element at least.
    if (static_cast<std::uint64_t>(f) * kAudioElementBytes <= kAudioSampleRate)
        return static_cast<std::uint64_t>(last - first + 1);
    // Shorter frames hold at most one: every element that begins in the run is carried.
    return elementsBefore(firstSampleOf(last + 1, f)) - elementsBefore(firstSampleOf(first, f));
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
    std::array<std::uint8_t, kAudioElementBytes> element;
    if (const auto sample = audioElementAt(channel, frame)) {
        MediaSource::fillAudioElement(channel, *sample, element);
        parts.audioElement = element;
        parts.audioChannel = static_cast<std::uint8_t>(channel);
    }
    return buildFrame(parts);
}

} // namespace kalder::sim
