#include "audio/audio_player_factory.h"

#include <algorithm>

namespace kalder {

AudioPlayerFactory::AudioPlayerFactory(OpenDevice open) : m_open(std::move(open)) {}

void AudioPlayerFactory::setBufferMultiples(const std::array<std::uint8_t, 3>& multiples) {
    std::lock_guard lock(m_mutex);
    m_multiples = multiples;
}

std::uint8_t AudioPlayerFactory::bufferMultiple(StreamKind kind) const {
    std::lock_guard lock(m_mutex);
    std::uint8_t multiple = m_multiples[0];
    if (kind == StreamKind::RemotePlayback)
        multiple = m_multiples[1];
    else if (kind == StreamKind::LocalPlayback)
        multiple = m_multiples[2];
    return std::max<std::uint8_t>(multiple, 1);
}

std::unique_ptr<AudioConsumer> AudioPlayerFactory::startPlayer(StreamKind kind) {
    const std::uint8_t multiple = bufferMultiple(kind);
    auto device = m_open ? m_open(std::size_t{multiple} * kAudioElementSize) : nullptr;
    return std::make_unique<AudioPlayer>(multiple, std::move(device), m_counts, m_tap);
}

} // namespace kalder
