#pragma once

#include "wire/message_header.h"
#include "sim/media_source.h"
#include "sim/playback_pacer.h"
#include "sim/recorded_frames.h"
#include "sim/recorder_model.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

namespace kalder::sim {

// What the credit check found so far on one connection (the admin "play-credits" reply).
struct PlaybackCreditReport {
    std::uint64_t runs = 0;        // PLAY_ON_REQ answered with PLAY_ON_ACK
    std::uint64_t granted = 0;     // frames granted by PLAY_STEP_DATA, all runs
    std::uint64_t sent = 0;        // PLAY_DATA frames sent, all runs
    std::uint64_t overGrants = 0;  // grants the credit scheme does not allow at that moment
    std::uint64_t underGrants = 0; // streams left without credit while the client should grant
    bool playing = false;
    bool done = false; // PLAY_ON_DONE sent for the current run
};

// The recorder's side of remote playback on one connection: PLAY_ON_REQ and its answers, the
// PLAY_DATA frames of the requested period under the client's credits, the movements (forward
// and reverse play, pause, steps, positioned restarts), PLAY_ON_DONE at the end of the period
// and RPLAY_STOP.
//
// Frames come from the channels' cached loops: channel c's frame n lies at n / fps seconds since
// 1970 of the recorder's clock and shows loop frame (n + stagger) mod loop length, so any moment
// yields the same frame. Only what the recorded disk holds goes out: a channel's frames of the
// seconds it recorded, skipping its gaps, and PLAY_ON_DONE once no requested channel holds a
// frame before the period's end (reverse play: before its start). A period in which none of the
// requested channels recorded is refused with 83. Frames of the requested channels go out in
// time order (reverse play: key frames only, newest first). Normal-speed forward play goes out
// as fast as the credits allow: the client paces it. Every other speed (reverse play, fast
// forward play) the recorder paces itself, at the speed its frames' speed code reports
// (PlaybackPacer), and never beyond the credits.
//
// Credits. The client grants 93 frames when playback starts and after each forward or reverse
// play command, then 48 more whenever it has received 48 frames, except while paused, and one
// per step. This stream never sends more frames than granted and counts grants the scheme does
// not allow. In the first run (from PLAY_ON_ACK to the first movement, where the client's count
// starts at zero) a grant beyond what the frames sent so far can have earned is an over-grant,
// and the client's first message after PLAY_ON_DONE settles the run exactly: it must have
// granted 93 + 48 x floor((frames - 1) / 48), more is an over-grant, fewer an under-grant. The
// client's count goes on across movements, and frames still under way when it sent a movement
// count too, so later runs are checked over the whole playback: the r-th renewal of 48 before
// the (48 r + 1)th frame sent since PLAY_ON_ACK is an over-grant. In any run, forward or
// reverse play left without credit, with frames to send, for five seconds is an under-grant.
//
// Threads: handle() runs on the connection's receive thread; the frames go out from this
// class's own sender thread; the knobs come from the admin thread. All state below is guarded
// by m_mutex.
class PlaybackStream {
public:
    // Sends one message (the connection adds its audio flag); sends prepared wire bytes as one
    // unit under the connection's send lock.
    using SendMessage = std::function<void(std::uint16_t id, std::span<const std::byte>)>;
    using SendWire = std::function<bool(std::span<const std::byte>)>;
    using Log = std::function<void(const std::string&)>;

    // `clock` paces the sender (the steady clock unless a test brings its own); it outlives
    // the stream.
    PlaybackStream(RecorderModel& model, const MediaSource& media, SendMessage sendMessage,
                   SendWire sendWire, std::size_t maxFragmentBytes, Log log,
                   PacingClock& clock = steadyPacingClock());
    ~PlaybackStream();
    PlaybackStream(const PlaybackStream&) = delete;
    PlaybackStream& operator=(const PlaybackStream&) = delete;

    void start();
    void stop();

    // Receive thread: true when `header` is a playback message (handled here).
    bool handle(const MessageHeader& header, std::span<const std::byte> payload);

    // Knobs (admin thread).
    // The next PLAY_ON_REQ is refused with PLAY_ON_NACK `code`.
    void armRefusal(std::int32_t code);
    // A running playback fails now with PLAY_ON_FAIL `code`.
    void fail(std::int32_t code);
    // Frames carry the 192-byte recording header (the default) or start with their frame block.
    void setRecordingHeader(bool on);
    // Speed code of forward play (11: normal speed; 12-14 fast).
    void setForwardSpeedCode(unsigned code);
    // Speed code of reverse play (9: normal speed; 8-6 fast).
    void setReverseSpeedCode(unsigned code);

    PlaybackCreditReport report() const;

private:
    enum class Movement { Forward, Backward, Paused, StepForward, StepBackward };
    struct Cursor {
        std::int64_t frame = 0;               // absolute frame number of the next frame to send
        std::optional<std::int64_t> lastSent; // since the last restart
    };

    void senderLoop();
    // With m_mutex held: the speed code the frames of the current movement carry.
    unsigned speedCodeNow() const;
    // With m_mutex held: the channel whose next frame goes out, or nothing at the period's end.
    // Moves the cursors over what the disk does not hold.
    std::optional<unsigned> nextChannel();
    // With m_mutex held: moves channel `channel`'s cursor onto a frame the disk holds, in the
    // direction of play, or out of the period when there is none.
    void skipUnrecorded(unsigned channel, bool backward);
    bool recorded(unsigned channel, std::int64_t frame) const;
    void restartAt(std::uint32_t second);
    void grant(std::uint32_t frames);
    void settleFirstRun();
    std::int64_t frameMs(unsigned channel, std::int64_t frame) const;
    unsigned fpsOf(unsigned channel) const;
    unsigned keyIntervalOf(unsigned channel) const;
    bool isKey(unsigned channel, std::int64_t frame) const;
    std::vector<std::byte> buildItem(unsigned channel, std::int64_t frame, unsigned speedCode,
                                     bool withHeader, const std::string& title,
                                     std::uint16_t& fragmentFlags) const;

    RecorderModel& m_model;
    const MediaSource& m_media;
    const SendMessage m_sendMessage;
    const SendWire m_sendWire;
    const std::size_t m_maxFragment;
    const Log m_log;
    const RecordedFrames m_frames;
    PacingClock& m_clock;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_playing = false;
    bool m_done = false;
    Movement m_movement = Movement::Forward;
    bool m_cursorsBackward = false;  // the cursors step backward (the last movement's way)
    std::uint16_t m_requestMask = 0; // channels asked for and present
    std::uint16_t m_shownMask = 0xFFFF;
    std::int64_t m_startMs = 0;
    std::int64_t m_endMs = 0;
    bool m_openEnd = false; // asked with no end: the period ends at the clock, which moves on
    std::array<Cursor, kMaxChannels> m_cursors{};
    // Per channel: the key frame at or before the period's start, where forward play begins and
    // reverse play ends.
    std::array<std::int64_t, kMaxChannels> m_firstFrame{};
    std::array<std::string, kMaxChannels> m_titles; // the channels' titles when asked
    std::int64_t m_credit = 0;                      // frames granted and not yet sent
    bool m_firstRun = false; // no movement since PLAY_ON_ACK: the client's count starts at 0
    std::uint64_t m_runSent = 0;
    std::uint64_t m_runGranted = 0;
    std::uint64_t m_playSent = 0; // frames sent since PLAY_ON_ACK, all runs
    std::uint64_t m_renewals = 0; // grants of 48 since PLAY_ON_ACK
    std::chrono::steady_clock::time_point m_starvedSince{};
    bool m_starvedCounted = false;
    std::optional<std::int32_t> m_refusal;
    bool m_withHeader = true;
    unsigned m_forwardCode = kNormalForwardCode;
    unsigned m_reverseCode = kNormalReverseCode;
    PlaybackPacer m_pacer;
    PlaybackCreditReport m_report;

    std::thread m_sender;
};

} // namespace kalder::sim
