#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace kalder::sim {

// The time the playback sender goes by: the steady clock in the recorder, a virtual clock in
// the tests (which then see how many seconds of recording go out per second without waiting).
class PacingClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~PacingClock() = default;
    virtual TimePoint now() = 0;
    // With `lock` held: waits on `wake` until `until` or a notification (a spurious return is
    // allowed; the caller looks again).
    virtual void waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           TimePoint until) = 0;
};

// The steady clock; any thread.
PacingClock& steadyPacingClock();

// Speed codes of the fragment flags' bits 5-0: 6, 7, 8, 9 reverse play at speeds -4..-1; 11,
// 12, 13, 14 forward play at speeds 1..4; 0 (a step) and anything else stand still.
inline constexpr unsigned kNormalForwardCode = 11;
inline constexpr unsigned kNormalReverseCode = 9;

// How much faster than real time the recorder plays at a speed code, as a shift of the
// recording's milliseconds: speed 1 (either way) is real time, 2 twice, 3 four times and 4
// sixteen times as fast, the steps the local player takes too. Nothing for normal-speed forward
// play, which the client paces itself, and for the codes that do not move.
std::optional<unsigned> recorderPacedShift(unsigned speedCode);

// Paces the frames of one playback stream at the speed its code reports, the way a recorder
// does for every speed but normal forward play: frame time t is due at the anchor's wall time
// plus |t - anchor's frame time| >> shift. The first frame after reset() or a change of speed
// code anchors the measure and goes out at once; so does a frame that would be due more than
// three seconds from now (the stream jumped over a gap of the recording), which re-anchors.
//
// Not thread safe: the stream calls it under its own lock.
class PlaybackPacer {
public:
    using TimePoint = PacingClock::TimePoint;

    void reset() { m_anchored = false; }
    // When the frame of time `frameMs` (milliseconds) may go out at speed code `speedCode`;
    // `now` or earlier means at once.
    TimePoint dueAt(std::int64_t frameMs, unsigned speedCode, TimePoint now);

private:
    void anchor(std::int64_t frameMs, unsigned speedCode, TimePoint now);

    bool m_anchored = false;
    unsigned m_code = 0;
    std::int64_t m_baseFrameMs = 0;
    TimePoint m_baseWall{};
};

} // namespace kalder::sim
