#pragma once

#include "net/frame_assembler.h"
#include "session/playback_state.h"
#include "wire/frame_consumer.h"
#include "wire/message_header.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace kalder {

class RecorderSession;

// Counters of a playback run, for the command-line front end and the tests.
struct PlaybackCounters {
    std::uint64_t frames = 0;        // whole PLAY_DATA frames received while playing
    std::uint64_t countedFrames = 0; // of these, frames counted towards credits
    std::uint64_t shownFrames = 0;   // frames queued for display
    std::uint64_t granted = 0;       // frames granted with PLAY_STEP_DATA
    std::uint64_t droppedFrames = 0; // bad recording tag, bad block, too long
    std::uint32_t firstTime = 0;     // RecorderTime of the first and last shown frame
    std::uint32_t lastTime = 0;
    bool done = false; // PLAY_ON_DONE arrived
};

// Remote playback of one session: the request, the PLAY_ON_ACK start-up, the reassembly of
// PLAY_DATA into frames for the channel decoders (slots 0-15), the credits, the speed the
// recorder reports, pacing against the wall clock, the seek step, the controls of the main
// window's playback buttons, PLAY_ON_DONE and the stop order.
//
// Threads: the handlers, the seek step, the credits and pacing run on the session's receive
// thread; requestPlayback, control and stop on the GUI thread (stop also on the receive thread
// after PLAY_ON_FAIL or a refusal). The PlaybackState is guarded by m_stateMutex, held only
// while the rules run, never while sending or pacing. The front end sets the decoder factory
// before the session starts.
class RemotePlayback {
public:
    explicit RemotePlayback(RecorderSession& session);
    RemotePlayback(const RemotePlayback&) = delete;
    RemotePlayback& operator=(const RemotePlayback&) = delete;

    // Before start: creates a channel's decoder for playback.
    void setFrameConsumerFactory(FrameConsumerFactory* factory) { m_factory = factory; }

    // GUI thread. The one entry point of every window that starts playback (the search
    // window's Play, the log lists): asks the recorder for `channelMask`'s recordings of the
    // kinds `kind` from `start` to `end` (RecorderTime; 0: no end). False when it cannot be
    // asked now (not logged in, a request already waits).
    bool requestPlayback(std::uint32_t start, std::uint32_t end, std::uint16_t channelMask,
                         std::uint8_t kind);
    // GUI thread: a playback button (1, 2, 3, 4, 7); nothing when the button's rule forbids it.
    // Returns the time in milliseconds after which the window should be repainted (the frames
    // in flight have arrived), or nothing when the control was not applied.
    std::optional<int> control(PlayControl control);
    // GUI thread: the position slider's jump: forward play restarts at `second` (RecorderTime)
    // on the request's channels; nothing shows from the old place afterwards. False when
    // playback is not on.
    bool jump(std::uint32_t second);
    // GUI or receive thread: the stop order. Nothing when playback is not on.
    void stop();
    // GUI thread: the channels of the video window's current page, sent with steps.
    void setShownChannels(std::uint16_t mask) { m_shownChannels = mask; }
    // The channels whose recordings restart from a position (the search window's channel
    // mask when it closed); the request's mask until set.
    void setPlaybackChannelMask(std::uint16_t mask) { m_playbackMask = mask; }
    std::uint16_t playbackChannelMask() const { return m_playbackMask.load(); }

    // State (any thread).
    bool playing() const { return m_playing; }
    bool requestPending() const;
    bool buttonAllowed(PlayControl control) const;
    // The speed mark of the overlays, or nothing.
    std::optional<int> displayedSpeed() const;
    std::uint32_t position() const { return m_position; }
    PlaybackState state() const;
    PlaybackCounters counters() const;

    // The disconnect order: the session is closing; pacing gives up at once.
    void sessionClosing() { m_closing = true; }

private:
    bool RecvFn_PlayOnAck(const MessageHeader& header);
    bool RecvFn_PlayOnNack(const MessageHeader& header);
    bool RecvFn_PlayChannelInfo(const MessageHeader& header);
    bool RecvFn_PlayData(const MessageHeader& header);
    bool RecvFn_PlayOnFail(const MessageHeader& header);
    bool RecvFn_PlayOnDone(const MessageHeader& header);
    bool RecvFn_PlayStepAck(const MessageHeader& header);
    bool RecvFn_PlayOffNack(const MessageHeader& header);
    void completeFrame(const MessageHeader& lastFragment);
    void pace(std::int64_t frameMs);
    void playAudio(const FrameDescriptor& descriptor, std::span<const std::byte> frame);
    void tellAudio(bool flush, std::optional<bool> accept);
    PlayContext context() const;
    // Sends the messages of a rule; `controlPace` sleeps 50 ms after each (the GUI's controls).
    void sendAll(const PlayEffects& effects, bool controlPace);
    void postButtons(int highlight);
    void applyPause(); // control 4 without the button rule (PLAY_ON_DONE)

    RecorderSession& m_session;
    FrameConsumerFactory* m_factory = nullptr; // set before start

    mutable std::mutex m_stateMutex;
    PlaybackState m_state;       // guarded by m_stateMutex
    PlaybackCounters m_counters; // guarded by m_stateMutex

    // Serialises the start-up and the stop order (GUI and receive thread).
    std::mutex m_controlMutex;

    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_closing{false};
    std::atomic<std::uint32_t> m_position{0};
    std::atomic<std::uint16_t> m_shownChannels{0xFFFF};
    std::atomic<std::uint16_t> m_playbackMask{0xFFFF};

    // Receive thread only.
    FrameAssembler m_assembly;
};

} // namespace kalder
