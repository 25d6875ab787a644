#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace kalder {

// 8 kHz mu-law mono: the only sound format the recorder knows, in both directions.
inline constexpr unsigned kAudioSampleRate = 8000;

// The sound server's side of the player: a playback stream that takes whole buffers. write()
// blocks while the server holds as much as it was opened for (three of the player's buffers),
// which paces the output thread. Called by one thread only (the output thread).
class PlaybackDevice {
public:
    virtual ~PlaybackDevice() = default;
    virtual bool write(std::span<const std::byte> bytes) = 0;
    // Drops what the server still holds (the output stops).
    virtual void reset() = 0;
};

// A capture stream; read() blocks until `bytes` is full. Called by the input thread only.
class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    virtual bool read(std::span<std::byte> bytes) = 0;
};

// The default sink and source of the sound server, as 8 kHz mu-law mono streams. Nothing when
// there is no server or the stream cannot be made (the failure is traced).
// `bufferBytes`: the size of one of the player's three output buffers.
std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::size_t bufferBytes);
std::unique_ptr<CaptureDevice> openCaptureDevice(std::size_t fragmentBytes);

} // namespace kalder
