#pragma once

#include "sim/media_source.h"
#include "sim/recorder_model.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalder::sim {

// The recorded frames of the disk, as remote playback and backup send them. Channel c's frame n
// lies at n / fps seconds since 1970 of the recorder's clock and shows loop frame
// (n + stagger) mod loop length, so any moment yields the same picture. The recorder's audio
// channel (0 for none) stores its sound with its own frames: sample s of its signal lies at
// s / 8000 s, and a frame carries, as its audio section, the 512-sample element that begins
// within the frame's time (at most one; below 16 frames a second every frame carries the first
// that begins in it). The loops never change after start-up: any thread may ask.
class RecordedFrames {
public:
    RecordedFrames(const RecorderModel& model, const MediaSource& media)
        : m_model(model), m_media(media) {}

    unsigned fps(unsigned channel) const;
    unsigned keyInterval(unsigned channel) const;
    // Channel c's loop starts c x key interval / channel count frames late, so that the
    // channels' key frames are spread over the key interval.
    std::uint64_t stagger(unsigned channel) const;
    std::int64_t frameMs(unsigned channel, std::int64_t frame) const;
    bool isKey(unsigned channel, std::int64_t frame) const;
    // Frames in the channel's loop (0 without one): frame n and n + loopLength() are equal.
    std::size_t loopLength(unsigned channel) const;
    // The access unit of channel `channel`'s frame `frame`; empty without a loop.
    std::size_t videoBytes(unsigned channel, std::int64_t frame) const;
    // The first sample of the audio element frame `frame` of `channel` carries, if any.
    std::optional<std::uint64_t> audioElementAt(unsigned channel, std::int64_t frame) const;
    // How many of frames `first`..`last` of `channel` carry an audio element.
    std::uint64_t audioFrames(unsigned channel, std::int64_t first, std::int64_t last) const;
    // The frame as the recorder stores it: the 40-byte frame block, the access unit, then the
    // audio section when the frame carries sound.
    std::vector<std::byte> body(unsigned channel, std::int64_t frame) const;

private:
    const RecorderModel& m_model;
    const MediaSource& m_media;
};

} // namespace kalder::sim
