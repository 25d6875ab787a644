#pragma once

#include "wire/stream_kind.h"

#include <cstddef>
#include <memory>
#include <span>

namespace kalder {

// Every element the player consumes is 512 bytes (64 ms of 8 kHz mu-law).
inline constexpr std::size_t kAudioElementSize = 512;

// The audio player as the session sees it (session slot 16). Created when the recorder's audio
// flag rises and destroyed when it falls; destroying it stops its feeding thread and waits for
// it (the session's stopPlayer).
class AudioConsumer {
public:
    virtual ~AudioConsumer() = default;

    // Producer (receive thread): appends one 512-byte element under the player's queue lock and
    // wakes its feeding thread.
    virtual void enqueueAudio(std::span<const std::byte> element) = 0;
    // Elements still queued (read by the GUI thread while live view stops).
    virtual std::size_t queuedBuffers() const = 0;
    // GUI thread, while live view stops: blocks until no element is queued any more, or the
    // feeding thread has ended.
    virtual void waitUntilDrained() = 0;
    // Any thread. While set, queued elements are dropped and nothing new is taken: playback at
    // any speed but normal forward play.
    virtual void setDiscardAll(bool discard) = 0;
    // Any thread: drops what is queued, what waits to be played and what the sound server still
    // holds; later elements play as usual (a playback control or a speed change).
    virtual void flush() = 0;
};

// Set by the front end that has a sound output; without one no player is ever created.
class AudioConsumerFactory {
public:
    virtual ~AudioConsumerFactory() = default;
    virtual std::unique_ptr<AudioConsumer> startPlayer(StreamKind kind) = 0;
};

} // namespace kalder
