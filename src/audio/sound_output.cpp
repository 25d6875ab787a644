#include "audio/sound_output.h"

#include <algorithm>
#include <chrono>

namespace kalder {

namespace {
// A buffer goes to the server in pieces of one element, so that a stop waits at most 64 ms for a
// blocked write however large the buffers are (64 elements in remote playback).
constexpr std::size_t kWritePiece = 512;
} // namespace

SoundOutput::SoundOutput(std::unique_ptr<PlaybackDevice> device, std::size_t bufferBytes, Fill fill,
                         Tap tap)
    : m_device(std::move(device)), m_bufferBytes(bufferBytes), m_fill(std::move(fill)),
      m_tap(std::move(tap)) {
    for (auto& buffer : m_buffers)
        buffer.assign(m_bufferBytes, std::byte{0xFF});
}

SoundOutput::~SoundOutput() {
    stop();
}

void SoundOutput::start() {
    if (m_playing || !m_device)
        return;
    if (m_thread.joinable())
        m_thread.join();
    m_playing = true;
    m_thread = std::thread([this] { run(); });
}

void SoundOutput::stop() {
    m_playing = false;
    if (m_thread.joinable())
        m_thread.join();
    if (m_device)
        m_device->reset();
}

// Output thread.
void SoundOutput::run() {
    std::size_t next = 0;
    while (m_playing) {
        std::vector<std::byte>& buffer = m_buffers[next];
        const bool filled = m_fill(buffer);
        if (!filled)
            std::fill(buffer.begin(), buffer.end(), std::byte{0xFF});
        std::size_t written = 0;
        while (written < buffer.size() && m_playing) {
            if (m_flushRequested.exchange(false)) {
                m_device->reset();
                break;
            }
            const std::size_t n = std::min(kWritePiece, buffer.size() - written);
            if (!m_device->write(std::span(buffer).subspan(written, n))) {
                // A failed write is traced by the device; the output goes on with the next
                // buffer, a piece's time later, rather than spinning on a broken stream.
                std::this_thread::sleep_for(std::chrono::milliseconds(64));
                break;
            }
            written += n;
        }
        // Only what the server took counts (a stop can end a buffer halfway).
        if (m_tap && written > 0)
            m_tap(std::span(buffer).first(written), !filled);
        next = (next + 1) % m_buffers.size();
    }
}

} // namespace kalder
