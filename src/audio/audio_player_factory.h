#pragma once

#include "audio/audio_player.h"
#include "wire/audio_consumer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace kalder {

// Makes the session's audio players (slot 16) on the default sink, each with the buffer multiple
// the local settings give its kind of stream. Called on the receive thread; the multiples may be
// changed by the GUI thread at any time (the next player takes them).
class AudioPlayerFactory final : public AudioConsumerFactory {
public:
    using OpenDevice = std::function<std::unique_ptr<PlaybackDevice>(std::size_t bufferBytes)>;

    explicit AudioPlayerFactory(OpenDevice open = openPlaybackDevice);

    // Live, remote playback, local playback (the AudioBuf settings); 0 counts as 1.
    void setBufferMultiples(const std::array<std::uint8_t, 3>& multiples);
    std::uint8_t bufferMultiple(StreamKind kind) const;
    // Before the first player: sees every buffer the players hand to the server.
    void setTap(SoundOutput::Tap tap) { m_tap = std::move(tap); }
    const AudioPlayerCounts& counts() const { return *m_counts; }

    std::unique_ptr<AudioConsumer> startPlayer(StreamKind kind) override;

private:
    const OpenDevice m_open;
    mutable std::mutex m_mutex; // guards m_multiples
    std::array<std::uint8_t, 3> m_multiples{2, 64, 2};
    SoundOutput::Tap m_tap;
    const std::shared_ptr<AudioPlayerCounts> m_counts = std::make_shared<AudioPlayerCounts>();
};

} // namespace kalder
