#pragma once

#include "wire/audio_consumer.h"
#include "wire/channel_count.h"
#include "wire/frame_consumer.h"

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>

namespace kalder {

// The session's registry: slots 0-15 hold the channel consumers (decoders), 16 the audio
// player; these are worker objects the receive thread feeds and are guarded by the slot lock.
// Slot 17 (backup writer) and 18 (talk sender) belong to later features. Slots 19-26 are windows:
// the session never holds them; it asks the receiver to close them (CloseTarget).
inline constexpr std::size_t kSessionSlotCount = 27;
inline constexpr std::size_t kAudioSlot = 16;

// Slots 0-16 and their lock. The receive thread holds the lock while it hands a frame or an audio
// element over, so a consumer is never destroyed under it: whoever takes an object out destroys
// it after releasing the lock (a consumer's destructor may wait for its own thread).
class SessionSlots {
public:
    std::mutex& mutex() const { return m_mutex; }

    // With mutex() held.
    std::unique_ptr<FrameConsumer>& consumer(std::size_t channel) { return m_consumers[channel]; }
    std::unique_ptr<AudioConsumer>& audio() { return m_audio; }

    // Take the object out under the lock; the caller destroys it outside.
    std::unique_ptr<FrameConsumer> takeConsumer(std::size_t channel) {
        std::lock_guard lock(m_mutex);
        return std::move(m_consumers[channel]);
    }
    std::unique_ptr<AudioConsumer> takeAudio() {
        std::lock_guard lock(m_mutex);
        return std::move(m_audio);
    }

private:
    mutable std::mutex m_mutex;
    std::array<std::unique_ptr<FrameConsumer>, kChannelCount> m_consumers; // guarded by m_mutex
    std::unique_ptr<AudioConsumer> m_audio;                                // guarded by m_mutex
};

} // namespace kalder
