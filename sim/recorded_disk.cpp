#include "sim/recorded_disk.h"

#include "wire/recorder_time.h"

#include <algorithm>
#include <chrono>

namespace kalder::sim {

namespace {

constexpr std::uint32_t kDay = 86400;

// splitmix64: a small generator whose sequence is the same with every standard library, so a
// seed names one disk everywhere.
class DiskRandom {
public:
    explicit DiskRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    std::uint32_t between(std::uint32_t low, std::uint32_t high) {
        return low + static_cast<std::uint32_t>(next() % (std::uint64_t(high) - low + 1));
    }
    bool chance(unsigned percent) { return next() % 100 < percent; }

private:
    std::uint64_t m_state;
};

std::uint8_t pickKinds(DiskRandom& random) {
    const unsigned roll = random.between(0, 99);
    if (roll < 35)
        return RecordingKind::Continuous;
    if (roll < 50)
        return RecordingKind::Alarm;
    if (roll < 70)
        return RecordingKind::Motion;
    if (roll < 75)
        return RecordingKind::Kind3;
    if (roll < 85)
        return RecordingKind::Audio;
    if (roll < 90)
        return RecordingKind::Kind5;
    // Continuous recording that also caught motion.
    return RecordingKind::Continuous | RecordingKind::Motion;
}

std::uint16_t randomSubset(DiskRandom& random, std::uint16_t of) {
    std::uint16_t mask = 0;
    for (unsigned n = 0; n < 16; ++n)
        if ((of & (1u << n)) && random.chance(50))
            mask = static_cast<std::uint16_t>(mask | (1u << n));
    if (mask == 0) {
        // At least one channel of `of`.
        for (unsigned n = 0; n < 16; ++n)
            if (of & (1u << n))
                return static_cast<std::uint16_t>(1u << n);
    }
    return mask;
}

std::uint32_t dayStartOf(std::uint32_t time) {
    return time - time % kDay;
}

} // namespace

RecordedDisk::RecordedDisk(const DiskLayout& layout) : m_layout(layout) {
    if (m_layout.channelCount == 0 || m_layout.channelCount > 16)
        m_layout.channelCount = 16;
    build();
}

void RecordedDisk::build() {
    const DiskLayout& l = m_layout;
    const std::uint32_t lastDay = dayStartOf(l.end);
    if (l.days == 0 || std::uint64_t(l.days - 1) * kDay > lastDay)
        return;
    const std::uint32_t firstDay = lastDay - (l.days - 1) * kDay;
    const std::uint16_t all =
        static_cast<std::uint16_t>(l.channelCount >= 16 ? 0xFFFF : (1u << l.channelCount) - 1);
    DiskRandom random(l.seed);

    std::uint32_t t = firstDay + random.between(0, 3600);
    std::uint32_t decidedDay = 0xFFFFFFFF;
    while (t <= l.end) {
        const std::uint32_t dayStart = dayStartOf(t);
        // Some days the recorder did not record at all (never the last one).
        if (dayStart != decidedDay) {
            decidedDay = dayStart;
            if (dayStart < lastDay && random.chance(12)) {
                t = dayStart + kDay + random.between(0, 3600);
                continue;
            }
        }
        DiskPeriod p;
        p.start = t;
        const std::uint32_t length = random.between(10 * 60, 150 * 60);
        std::uint64_t end = std::uint64_t(t) + length - 1;
        end = std::min<std::uint64_t>(end, l.end);
        p.channels = random.chance(45) ? all : randomSubset(random, all);
        p.kinds = pickKinds(random);
        if (p.kinds & RecordingKind::Motion)
            p.motionContinuous = random.chance(50) ? randomSubset(random, p.channels) : 0;
        const std::uint32_t whole = static_cast<std::uint32_t>(end);

        // Events lie within their recording: alarm, motion and audio recordings each carry one
        // or more events of their type over the recorded channels.
        struct TypeOfKind {
            std::uint8_t kind;
            std::uint8_t type;
        };
        for (TypeOfKind tk : {TypeOfKind{RecordingKind::Alarm, EventType::Alarm},
                              TypeOfKind{RecordingKind::Motion, EventType::Motion},
                              TypeOfKind{RecordingKind::Audio, EventType::Audio}}) {
            if (!(p.kinds & tk.kind))
                continue;
            std::uint32_t at = p.start;
            do {
                EventEntry e;
                e.type = tk.type;
                e.channels =
                    tk.type == EventType::Alarm ? p.channels : randomSubset(random, p.channels);
                e.start = at;
                e.end = std::min<std::uint32_t>(whole, at + random.between(30, 600));
                m_events.push_back(e);
                at = e.end + random.between(300, 2400);
            } while (at < whole);
        }

        // Split at midnight: every period lies within one day.
        std::uint32_t from = p.start;
        while (from <= whole) {
            const std::uint32_t dayLast = dayStartOf(from) + kDay - 1;
            DiskPeriod part = p;
            part.start = from;
            part.end = std::min(whole, dayLast);
            m_periods.push_back(part);
            if (part.end == whole)
                break;
            from = part.end + 1;
        }
        if (whole >= l.end)
            break;
        // A gap, or none: the next period may follow at once.
        const std::uint32_t gap = random.chance(30) ? 0 : random.between(60, 45 * 60);
        t = whole + 1 + gap;
    }
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const EventEntry& a, const EventEntry& b) { return a.start < b.start; });
}

void RecordedDisk::recordLiveFrom(std::uint32_t start, std::function<std::uint32_t()> now) {
    // The live recording follows what was built.
    m_liveStart = std::max(start, m_periods.empty() ? 0u : m_periods.back().end + 1);
    m_liveNow = std::move(now);
}

std::optional<DiskPeriod> RecordedDisk::livePeriod() const {
    if (!m_liveNow)
        return std::nullopt;
    const std::uint32_t now = m_liveNow();
    if (now < m_liveStart)
        return std::nullopt;
    DiskPeriod p;
    p.channels = static_cast<std::uint16_t>(
        m_layout.channelCount >= 16 ? 0xFFFF : (1u << m_layout.channelCount) - 1);
    p.kinds = RecordingKind::Continuous;
    p.start = m_liveStart;
    p.end = now;
    return p;
}

std::uint32_t RecordedDisk::firstTime() const {
    if (m_periods.empty())
        return livePeriod() ? m_liveStart : 0;
    return m_periods.front().start;
}

std::uint32_t RecordedDisk::lastTime() const {
    if (const auto live = livePeriod())
        return live->end;
    return m_periods.empty() ? 0 : m_periods.back().end;
}

std::optional<RecordedMoment> RecordedDisk::recordedAt(unsigned channel, std::uint32_t time) const {
    if (channel >= 16)
        return std::nullopt;
    if (m_liveNow && time >= m_liveStart) {
        const auto live = livePeriod();
        if (!live || time > live->end || !(live->channels & (1u << channel)))
            return std::nullopt;
        RecordedMoment m;
        m.kinds = live->kinds;
        m.periodStart = std::max(live->start, dayStartOf(time));
        m.periodEnd = std::min(live->end, dayStartOf(time) + kDay - 1);
        return m;
    }
    // The last period that starts at or before `time`.
    auto it = std::upper_bound(m_periods.begin(), m_periods.end(), time,
                               [](std::uint32_t t, const DiskPeriod& p) { return t < p.start; });
    if (it == m_periods.begin())
        return std::nullopt;
    const DiskPeriod& p = *std::prev(it);
    if (time > p.end || !(p.channels & (1u << channel)))
        return std::nullopt;
    RecordedMoment m;
    m.kinds = p.kinds;
    m.motionContinuous = (p.motionContinuous & (1u << channel)) != 0;
    m.periodStart = p.start;
    m.periodEnd = p.end;
    return m;
}

std::optional<std::uint32_t> RecordedDisk::nextRecordedTime(unsigned channel,
                                                            std::uint32_t time) const {
    if (channel >= 16)
        return std::nullopt;
    for (auto it = std::lower_bound(m_periods.begin(), m_periods.end(), time,
                                    [](const DiskPeriod&p, std::uint32_t t) { return p.end < t; });
         it != m_periods.end(); ++it) {
        if (it->channels & (1u << channel))
            return std::max(time, it->start);
    }
    if (const auto live = livePeriod();
        live && time <= live->end && (live->channels & (1u << channel)))
        return std::max(time, live->start);
    return std::nullopt;
}

std::optional<std::uint32_t> RecordedDisk::previousRecordedTime(unsigned channel,
                                                                std::uint32_t time) const {
    if (channel >= 16)
        return std::nullopt;
    if (const auto live = livePeriod();
        live && time >= live->start && (live->channels & (1u << channel)))
        return std::min(time, live->end);
    // Periods that start after `time` hold nothing at or before it.
    auto it = std::upper_bound(m_periods.begin(), m_periods.end(), time,
                               [](std::uint32_t t, const DiskPeriod& p) { return t < p.start; });
    while (it != m_periods.begin()) {
        --it;
        if (it->channels & (1u << channel))
            return std::min(time, it->end);
    }
    return std::nullopt;
}

std::vector<DaySegment> RecordedDisk::daySegments(int year, int month, int day) const {
    std::vector<DaySegment> out;
    using namespace std::chrono;
    const year_month_day ymd{std::chrono::year{year}, std::chrono::month{unsigned(month)},
                             std::chrono::day{unsigned(day)}};
    if (!ymd.ok())
        return out;
    const long long start = sys_days{ymd}.time_since_epoch().count() * 86400LL;
    if (start < 0 || start > 0xFFFFFFFFLL)
        return out;
    for (const DiskPeriod& p : m_periods) {
        if (dayStartOf(p.start) != start)
            continue;
        out.push_back({p.channels, p.motionContinuous, p.kinds, p.start, p.end});
    }
    // The live recording's part within the day.
    if (const auto live = livePeriod()) {
        const auto dayStart = static_cast<std::uint32_t>(start);
        const std::uint32_t dayLast = dayStart + kDay - 1;
        if (live->start <= dayLast && live->end >= dayStart)
            out.push_back({live->channels, 0, live->kinds, std::max(live->start, dayStart),
                           std::min(live->end, dayLast)});
    }
    return out;
}

std::vector<YearAvailability> RecordedDisk::yearAvailability() const {
    std::vector<YearAvailability> out;
    for (const DiskPeriod& p : m_periods) {
        const CivilTime c = decodeRecorderTime(p.start);
        if (out.empty() || out.back().year != c.year) {
            out.emplace_back();
            out.back().year = c.year;
        }
        out.back().setDay(c.month, c.day, true);
    }
    if (const auto live = livePeriod()) {
        for (std::uint32_t day = dayStartOf(live->start); day <= live->end; day += kDay) {
            const CivilTime c = decodeRecorderTime(day);
            if (out.empty() || out.back().year != c.year) {
                out.emplace_back();
                out.back().year = c.year;
            }
            out.back().setDay(c.month, c.day, true);
        }
    }
    return out;
}

} // namespace kalder::sim
