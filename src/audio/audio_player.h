#pragma once

#include "audio/sound_output.h"
#include "wire/audio_consumer.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder {

// What the players of a run handed to the sound server (shared by the players one factory
// makes, so that a player replaced by the view rule adds to the same counts).
struct AudioPlayerCounts {
    std::atomic<std::uint64_t> chunks{0};    // chunks of recorder sound played
    std::atomic<std::uint64_t> bytes{0};     // every byte written, silence of underruns included
    std::atomic<std::uint64_t> underruns{0}; // buffers played as silence: no chunk was waiting
};

// The recorder's sound on its way to the sound server. The receive thread (or a playback
// thread) appends 512-byte elements; the feeding thread joins them into chunks of
// `bufferMultiple` elements; once more than three chunks wait, the output plays them through its
// three buffers. Destroying the player stops the feeding thread, which stops the output.
class AudioPlayer final : public AudioConsumer {
public:
    // The elements and chunks the network can pile up while nothing plays them: the oldest go.
    static constexpr std::size_t kMaxQueuedElements = 1024; // about 65 s of sound
    static constexpr std::size_t kMaxWaitingChunks = 64;

    // `device` null: the stream could not be opened; the player then exists without a feeding
    // thread and nothing is heard. `tap` sees every buffer handed to the server.
    AudioPlayer(std::uint8_t bufferMultiple, std::unique_ptr<PlaybackDevice> device,
                std::shared_ptr<AudioPlayerCounts> counts = {}, SoundOutput::Tap tap = {});
    ~AudioPlayer() override;

    // Producer thread.
    void enqueueAudio(std::span<const std::byte> element) override;
    // Any thread.
    std::size_t queuedBuffers() const override;
    void waitUntilDrained() override;
    void setDiscardAll(bool discard) override;
    void flush() override;

    std::size_t chunkBytes() const { return m_chunkBytes; }
    bool feeding() const { return m_feeding; }
    std::size_t waitingChunks() const;

private:
    void feed();
    bool fillBuffer(std::span<std::byte> buffer);

    const std::size_t m_chunkBytes;
    std::shared_ptr<AudioPlayerCounts> m_counts;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_discardAll{false};
    std::atomic<bool> m_feeding{false}; // the feeding thread's id field: false once it ended

    mutable std::mutex m_queueLock; // guards m_queue
    std::condition_variable m_wake; // the producer's wake event; also tells drain waiters
    std::deque<std::array<std::byte, kAudioElementSize>> m_queue;
    std::uint64_t m_flushGeneration = 0; // counts flushes: a chunk being joined is dropped

    mutable std::mutex m_chunkLock; // guards m_chunks
    std::deque<std::vector<std::byte>> m_chunks;

    std::unique_ptr<SoundOutput> m_output; // built before the feeding thread, used by it only
    std::thread m_thread;
};

} // namespace kalder
