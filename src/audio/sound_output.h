#pragma once

#include "audio/sound_device.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <thread>
#include <vector>

namespace kalder {

// The player's output: three buffers of the player's chunk size, filled and written to the
// playback stream in the order 0, 1, 2, 0, ... by the output thread while playing. The stream
// takes three buffers before write() blocks, so the output thread refills a buffer as soon as the
// server has played one.
class SoundOutput {
public:
    // Output thread: fills one buffer; false when nothing was waiting (the buffer then holds
    // silence).
    using Fill = std::function<bool(std::span<std::byte>)>;
    // Output thread: what the sound server took, buffer by buffer (a stop may cut the last).
    using Tap = std::function<void(std::span<const std::byte>, bool underrun)>;

    SoundOutput(std::unique_ptr<PlaybackDevice> device, std::size_t bufferBytes, Fill fill,
                Tap tap = {});
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Feeding thread. Start does nothing while playing; stop resets the stream and waits for the
    // output thread.
    void start();
    void stop();
    bool playing() const { return m_playing; }
    // Any thread: the output thread drops the buffer it is writing and resets the stream, so that
    // what the server holds is not heard; playing goes on with the next buffer.
    void flush() { m_flushRequested = true; }

private:
    void run();

    std::unique_ptr<PlaybackDevice> m_device; // used by the output thread only while it runs
    const std::size_t m_bufferBytes;
    const Fill m_fill;
    const Tap m_tap;
    std::array<std::vector<std::byte>, 3> m_buffers; // output thread only
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_flushRequested{false};
    std::thread m_thread; // started and joined by the feeding thread
};

} // namespace kalder
