#pragma once

#include "video/feed_slots.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kalder {

// Counts, for a benchmark that watches the desktop client from outside, the pictures the decode
// threads hand to the video window, the pictures its paints show and the delay from each shown
// picture's frame arrival to the end of the paint that showed it; the process writes the
// running totals to a file once a second. Off unless KALDER_VIDEO_STATS names the file.
//
// A picture counts as shown when a paint that covers its cell ends while it is the channel's
// newest. Threads: pictureReceived on decode threads, the rest on the GUI thread; one mutex.
class VideoPaintStats {
public:
    using Clock = std::chrono::steady_clock;
    // Delays are counted in 1-ms steps; the last step holds every longer one.
    static constexpr int kDelaySteps = 2000;

    // The file named by KALDER_VIDEO_STATS, else empty (statistics off).
    static QString fileFromEnvironment();

    // Decode thread, the channel's picture lock held: the channel's newest picture came from a
    // frame that arrived at `arrival`.
    void pictureReceived(unsigned channel, Clock::time_point arrival);

    // GUI thread: a paint that ended at `end` covered the cells of `slotMask` (bit n slot n, one
    // slot per channel of each recorder) with pictures.
    void painted(SlotMask slotMask, Clock::time_point end, Clock::duration paintTime);

    // The totals as one line: "kalder-video-stats monotonic_ns cpu_ns rss_kb peak_rss_kb
    // received shown paints paint_ns delays STEP:COUNT ...".
    std::string line() const;
    // Writes line() to `file` (replaced as a whole). False on failure.
    bool write(const QString& file) const;

private:
    mutable std::mutex m_lock;
    std::array<std::uint64_t, kSlotCount> m_received{};  // guarded by m_lock
    std::array<std::uint64_t, kSlotCount> m_shown{};     // guarded by m_lock
    std::array<Clock::time_point, kSlotCount> m_arrival; // guarded by m_lock
    std::uint64_t m_shownTotal = 0;                      // guarded by m_lock
    std::uint64_t m_paints = 0;                          // guarded by m_lock
    Clock::duration m_paintTime{};                       // guarded by m_lock
    std::vector<std::uint64_t> m_delays = std::vector<std::uint64_t>(kDelaySteps);
};

} // namespace kalder
