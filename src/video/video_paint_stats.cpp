#include "video/video_paint_stats.h"

#include <QSaveFile>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace kalder {

namespace {

// "VmRSS" or "VmHWM" of this process in KB; 0 when unknown.
long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return 0;
}

std::int64_t nanoseconds(std::chrono::nanoseconds d) {
    return static_cast<std::int64_t>(d.count());
}

} // namespace

QString VideoPaintStats::fileFromEnvironment() {
    return qEnvironmentVariable("KALDER_VIDEO_STATS");
}

void VideoPaintStats::pictureReceived(unsigned channel, Clock::time_point arrival) {
    channel %= kSlotCount;
    std::lock_guard lock(m_lock);
    ++m_received[channel];
    m_arrival[channel] = arrival;
}

void VideoPaintStats::painted(SlotMask slotMask, Clock::time_point end, Clock::duration paintTime) {
    std::lock_guard lock(m_lock);
    ++m_paints;
    m_paintTime += paintTime;
    for (unsigned ch = 0; ch < kSlotCount; ++ch) {
        if (!((slotMask >> ch) & 1u) || m_received[ch] <= m_shown[ch])
            continue;
        m_shown[ch] = m_received[ch];
        ++m_shownTotal;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - m_arrival[ch]);
        const auto step = std::clamp<std::int64_t>(ms.count(), 0, kDelaySteps - 1);
        ++m_delays[static_cast<std::size_t>(step)];
    }
}

std::string VideoPaintStats::line() const {
    timespec cpu{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    std::ostringstream out;
    out << "kalder-video-stats " << nanoseconds(Clock::now().time_since_epoch()) << ' '
        << (static_cast<std::int64_t>(cpu.tv_sec) * 1000000000 + cpu.tv_nsec) << ' '
        << statusKb("VmRSS") << ' ' << statusKb("VmHWM");
    std::lock_guard lock(m_lock);
    std::uint64_t received = 0;
    for (const std::uint64_t n : m_received)
        received += n;
    out << ' ' << received << ' ' << m_shownTotal << ' ' << m_paints << ' '
        << nanoseconds(m_paintTime) << " delays";
    for (std::size_t step = 0; step < m_delays.size(); ++step) {
        if (m_delays[step] != 0)
            out << ' ' << step << ':' << m_delays[step];
    }
    out << '\n';
    return out.str();
}

bool VideoPaintStats::write(const QString& file) const {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const std::string text = line();
    if (out.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size()))
        return false;
    return out.commit();
}

} // namespace kalder
