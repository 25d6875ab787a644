#pragma once

#include "audio/sound_device.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <thread>

namespace kalder {

// The microphone: the default source as 8 kHz mu-law mono, read in 512-byte buffers by the
// input thread, each handed to `captured` on that thread.
class SoundInput {
public:
    static constexpr std::size_t kCaptureBytes = 512;
    using Captured = std::function<void(std::span<const std::byte>)>;

    SoundInput(std::unique_ptr<CaptureDevice> device, Captured captured);
    ~SoundInput();
    SoundInput(const SoundInput&) = delete;
    SoundInput& operator=(const SoundInput&) = delete;

    // Owner's thread: stops recording and waits for the input thread.
    void stop();
    bool recording() const { return m_recording; }

private:
    void run();

    std::unique_ptr<CaptureDevice> m_device; // input thread only while it runs
    const Captured m_captured;
    std::atomic<bool> m_recording{true};
    std::thread m_thread;
};

} // namespace kalder
