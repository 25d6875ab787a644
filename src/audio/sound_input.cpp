#include "audio/sound_input.h"

#include <array>

namespace kalder {

SoundInput::SoundInput(std::unique_ptr<CaptureDevice> device, Captured captured)
    : m_device(std::move(device)), m_captured(std::move(captured)) {
    if (!m_device) {
        m_recording = false;
        return;
    }
    m_thread = std::thread([this] { run(); });
}

SoundInput::~SoundInput() {
    stop();
}

// The stream closes as soon as the input thread has ended. A sound card's driver needs a moment
// to hand its last buffers back before the device may close; the sound server keeps no buffer of
// ours, so there is nothing to wait for.
void SoundInput::stop() {
    m_recording = false;
    if (m_thread.joinable())
        m_thread.join();
}

// Input thread: a read returns after 64 ms of sound, so a stop waits at most that long.
void SoundInput::run() {
    std::array<std::byte, kCaptureBytes> buffer;
    while (m_recording) {
        if (!m_device->read(buffer)) {
            m_recording = false;
            break;
        }
        if (m_recording)
            m_captured(buffer);
    }
}

} // namespace kalder
