#include "sim/playback_pacer.h"

#include <algorithm>

namespace kalder::sim {

namespace {

// A frame further away than this on the wall clock lies behind a gap: it goes out at once.
constexpr std::chrono::milliseconds kLongestWait{3000};

class SteadyPacingClock final : public PacingClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint until) override {
        wake.wait_until(lock, until);
    }
};

} // namespace

PacingClock& steadyPacingClock() {
    static SteadyPacingClock clock;
    return clock;
}

std::optional<unsigned> recorderPacedShift(unsigned speedCode) {
    // Speeds 1, 2, 3, 4 play 1, 2, 4 and 16 times as fast.
    constexpr unsigned kShiftOfSpeed[] = {0, 0, 1, 2, 4};
    if (speedCode >= 6 && speedCode <= 9)
        return kShiftOfSpeed[10 - speedCode];
    if (speedCode >= 12 && speedCode <= 14)
        return kShiftOfSpeed[speedCode - 10];
    return std::nullopt;
}

void PlaybackPacer::anchor(std::int64_t frameMs, unsigned speedCode, TimePoint now) {
    m_anchored = true;
    m_code = speedCode;
    m_baseFrameMs = frameMs;
    m_baseWall = now;
}

PlaybackPacer::TimePoint PlaybackPacer::dueAt(std::int64_t frameMs, unsigned speedCode,
                                              TimePoint now) {
    const std::optional<unsigned> shift = recorderPacedShift(speedCode);
    if (!shift) {
        m_anchored = false;
        return now;
    }
    if (!m_anchored || speedCode != m_code) {
        anchor(frameMs, speedCode, now);
        return now;
    }
    const bool backward = speedCode < kNormalForwardCode;
    // A frame on the wrong side of the anchor (the key frame before a restart) is due at once.
    const std::int64_t recordingMs =
        std::max<std::int64_t>(0, backward ? m_baseFrameMs - frameMs : frameMs - m_baseFrameMs);
    const TimePoint due = m_baseWall + std::chrono::milliseconds(recordingMs >> *shift);
    if (due - now > kLongestWait) {
        anchor(frameMs, speedCode, now);
        return now;
    }
    return due;
}

} // namespace kalder::sim
