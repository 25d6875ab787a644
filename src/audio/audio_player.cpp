#include "audio/audio_player.h"

#include <algorithm>
#include <chrono>

namespace kalder {

namespace {
constexpr auto kFeedWait = std::chrono::milliseconds(10);
// The output starts once more than this many chunks wait.
constexpr std::size_t kChunksBeforeStart = 3;
} // namespace

AudioPlayer::AudioPlayer(std::uint8_t bufferMultiple, std::unique_ptr<PlaybackDevice> device,
                         std::shared_ptr<AudioPlayerCounts> counts, SoundOutput::Tap tap)
    : m_chunkBytes(std::size_t{std::max<std::uint8_t>(bufferMultiple, 1)} * kAudioElementSize),
      m_counts(counts ? std::move(counts) : std::make_shared<AudioPlayerCounts>()) {
    if (!device)
        return;
    m_output = std::make_unique<SoundOutput>(
        std::move(device), m_chunkBytes,
        [this](std::span<std::byte> buffer) { return fillBuffer(buffer); },
        [this, tap = std::move(tap)](std::span<const std::byte> buffer, bool underrun) {
            m_counts->bytes += buffer.size();
            if (underrun)
                ++m_counts->underruns;
            else
                ++m_counts->chunks;
            if (tap)
                tap(buffer, underrun);
        });
    m_feeding = true;
    m_thread = std::thread([this] { feed(); });
}

AudioPlayer::~AudioPlayer() {
    {
        std::lock_guard lock(m_queueLock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void AudioPlayer::enqueueAudio(std::span<const std::byte> element) {
    if (m_discardAll)
        return;
    std::array<std::byte, kAudioElementSize> copy;
    copy.fill(std::byte{0xFF});
    std::copy_n(element.begin(), std::min(element.size(), copy.size()), copy.begin());
    {
        std::lock_guard lock(m_queueLock);
        if (m_queue.size() >= kMaxQueuedElements)
            m_queue.pop_front();
        m_queue.push_back(copy);
    }
    m_wake.notify_all();
}

std::size_t AudioPlayer::queuedBuffers() const {
    std::lock_guard lock(m_queueLock);
    return m_queue.size();
}

std::size_t AudioPlayer::waitingChunks() const {
    std::lock_guard lock(m_chunkLock);
    return m_chunks.size();
}

void AudioPlayer::setDiscardAll(bool discard) {
    m_discardAll = discard;
    m_wake.notify_all();
}

void AudioPlayer::flush() {
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
        // An element the feeding thread holds half-joined into a chunk goes too.
        ++m_flushGeneration;
    }
    {
        std::lock_guard lock(m_chunkLock);
        m_chunks.clear();
    }
    if (m_output)
        m_output->flush();
    m_wake.notify_all();
}

void AudioPlayer::waitUntilDrained() {
    std::unique_lock lock(m_queueLock);
    while (!m_queue.empty() && m_feeding)
        m_wake.wait_for(lock, kFeedWait);
}

// Feeding thread: elements into chunks; the output starts once more than three chunks wait.
void AudioPlayer::feed() {
    std::vector<std::byte> chunk(m_chunkBytes);
    std::size_t position = 0;
    std::uint64_t generation = 0;
    while (!m_stopRequested) {
        std::array<std::byte, kAudioElementSize> element;
        {
            std::unique_lock lock(m_queueLock);
            if (generation != m_flushGeneration) {
                generation = m_flushGeneration;
                position = 0;
            }
            m_wake.wait_for(lock, kFeedWait, [this] {
                return m_stopRequested || (!m_queue.empty() && !m_discardAll);
            });
            if (m_stopRequested)
                break;
            if (m_discardAll) {
                m_queue.clear();
                m_wake.notify_all();
                continue;
            }
            if (m_queue.empty())
                continue;
            element = m_queue.front();
            m_queue.pop_front();
            if (m_queue.empty())
                m_wake.notify_all(); // a drain waiter may go on
        }
        std::copy(element.begin(), element.end(), chunk.begin() + position);
        position += element.size();
        if (position < chunk.size())
            continue;
        position = 0;
        std::size_t waiting;
        {
            std::lock_guard lock(m_chunkLock);
            if (m_chunks.size() >= kMaxWaitingChunks)
                m_chunks.pop_front();
            m_chunks.push_back(chunk);
            waiting = m_chunks.size();
        }
        if (waiting > kChunksBeforeStart)
            m_output->start();
    }
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
    }
    m_output->stop();
    {
        std::lock_guard lock(m_chunkLock);
        m_chunks.clear();
    }
    {
        std::lock_guard lock(m_queueLock);
        m_feeding = false;
    }
    m_wake.notify_all();
}

// Output thread: the oldest waiting chunk, or silence.
bool AudioPlayer::fillBuffer(std::span<std::byte> buffer) {
    std::lock_guard lock(m_chunkLock);
    if (m_chunks.empty())
        return false;
    const std::vector<std::byte>& chunk = m_chunks.front();
    std::copy_n(chunk.begin(), std::min(chunk.size(), buffer.size()), buffer.begin());
    m_chunks.pop_front();
    return true;
}

} // namespace kalder
