#pragma once

#include "net/frame_assembler.h"
#include "wire/audio_consumer.h"
#include "wire/frame_consumer.h"
#include "wire/frame_info.h"
#include "wire/message_header.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace kalder {

class RecorderSession;

// Live view of one session: the live request and stop, the channel masks, the reassembly of
// LIVE_DATA fragments into frames, the hand-off of video to the channel consumers (session slots
// 0-15) and of sound to the audio player (slot 16), and the dismantling of both in the fixed
// stop order. Owned by its RecorderSession, whose dispatcher runs the handlers on the receive
// thread; the other public functions say their thread.
class LiveStream {
public:
    explicit LiveStream(RecorderSession& session);
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // Before the session starts (the front end may change the sound device flag later).
    void setFrameConsumerFactory(FrameConsumerFactory* factory) { m_frameFactory = factory; }
    void setAudioConsumerFactory(AudioConsumerFactory* factory) { m_audioFactory = factory; }
    void setSoundDeviceAvailable(bool available) { m_soundDeviceAvailable = available; }

    // GUI thread (startLive also runs on the receive thread after login). Each runs whole under
    // the live control lock.
    void startLive();
    // The visible channels changed while live view runs.
    void requestChannels(std::uint16_t mask);
    // Ends live view or the live request that waits for its reply.
    void stopLive();
    // GUI thread: stops live view (or the pending request) when there is one, runs `between`,
    // and starts live view again, all under the live control lock: a login on the receive thread
    // cannot start live view (and create decoders) in the middle, while `between` replaces what
    // the decoders draw into.
    template <typename Between> void restartAround(Between&& between) {
        std::lock_guard lock(m_controlMutex);
        const bool wasLive = m_liveOn || m_liveRequestPending;
        if (wasLive)
            stopLiveLocked();
        between();
        if (wasLive)
            startLiveLocked();
    }
    // AUDIO_ONOFF_REQ; the change shows when the recorder echoes the audio flag.
    void setAudio(bool on);
    // The channel the video window shows alone in the single-cell layout, or -1.
    void setSingleViewChannel(int channel) { m_singleViewChannel = channel; }
    int singleViewChannel() const { return m_singleViewChannel; }
    void setLocalPlayerOpen(bool open) { m_localPlayerOpen = open; }

    // State (any thread).
    bool liveOn() const { return m_liveOn; }
    bool liveRequestPending() const { return m_liveRequestPending; }
    std::uint32_t liveGeneration() const { return m_liveGeneration; }
    std::uint16_t videoLossMask() const { return m_videoLossMask; }
    std::uint16_t liveChannelMask() const { return m_liveChannelMask; }
    std::uint32_t recorderClock() const { return m_recorderClock; }
    int audioChannel() const { return m_audioChannel; } // -1: none
    std::uint16_t audioChannelMask() const { return m_audioChannelMask; }
    // Counts that show what did not happen, and why (any thread): starts that found the live
    // control lock held (by restartAround) and waited for it; live frames whose sound went
    // unheard because their channel is not the one shown alone.
    std::uint64_t startsHeldBack() const { return m_startsHeldBack; }
    std::uint64_t audioFramesUnheard() const { return m_audioFramesUnheard; }

    // For the session core and the other feature classes.
    // Receive thread, from the session's audio-flag hook: the recorder's audio flag rose (start
    // the player for `kind`) or fell (stop it).
    void audioFlagRose(StreamKind kind);
    void audioFlagFell();
    // The disconnect order clears the pending live request.
    void clearRequestPending() { m_liveRequestPending = false; }
    // The hidden channels changed while covert view is withheld: the pictures of this live
    // generation are stale.
    void advanceGeneration() { m_liveGeneration.fetch_add(1); }
    // GUI thread (disconnect order, destructor): the consumers' stop order, then the player.
    void dismantleConsumers();
    void stopPlayer();

private:
    void startLiveLocked();
    void stopLiveLocked();
    bool RecvFn_LiveChannelInfo(const MessageHeader& header);
    bool RecvFn_LiveData(const MessageHeader& header);
    bool RecvFn_LiveNack(const MessageHeader& header);
    bool RecvFn_LiveStopNack(const MessageHeader& header);
    void completeLiveFrame(const MessageHeader& lastFragment);
    void liveAudio(const FrameDescriptor& descriptor, std::span<const std::byte> frame);
    void startPlayer(StreamKind kind);

    RecorderSession& m_session;

    // Written before start, read by the worker threads afterwards.
    FrameConsumerFactory* m_frameFactory = nullptr;
    AudioConsumerFactory* m_audioFactory = nullptr;

    // Held by startLive, stopLive and restartAround from start to end, so that a start and a stop
    // never interleave (the GUI thread and the receive thread both start live view).
    std::mutex m_controlMutex;

    // Set and read by the GUI and the receive thread.
    std::atomic<bool> m_soundDeviceAvailable{false};
    std::atomic<bool> m_liveOn{false};
    std::atomic<bool> m_liveRequestPending{false};
    std::atomic<bool> m_localPlayerOpen{false};
    std::atomic<std::uint32_t> m_liveGeneration{0};
    std::atomic<std::uint16_t> m_videoLossMask{0};
    std::atomic<std::uint16_t> m_liveChannelMask{0};
    std::atomic<std::uint32_t> m_recorderClock{0};
    std::atomic<int> m_audioChannel{-1};
    std::atomic<std::uint16_t> m_audioChannelMask{0};
    std::atomic<int> m_singleViewChannel{-1};
    std::atomic<std::uint64_t> m_startsHeldBack{0};
    std::atomic<std::uint64_t> m_audioFramesUnheard{0};

    // Receive thread only.
    FrameAssembler m_assembly;
    bool m_audioStoppedByView = false;
    std::uint32_t m_lastPostedClock = 0;
};

} // namespace kalder
