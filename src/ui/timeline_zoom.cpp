#include "ui/timeline_zoom.h"

#include "wire/recorder_time.h"

#include <algorithm>
#include <cmath>

namespace kalder {

int TimelineZoom::secondAt(int x) const {
    if (wholeDay()) {
        const TimeOfDay t = timeAtColumn(x);
        return t.hour * 3600 + t.minute * 60 + t.second;
    }
    const long long offset = static_cast<long long>(x - kTimelineLeft) * m_span / kColumns;
    return std::clamp(m_first + static_cast<int>(offset), 0, kDaySeconds - 1);
}

TimeOfDay TimelineZoom::timeAt(int x) const {
    const int s = secondAt(x);
    return {s / 3600, (s % 3600) / 60, s % 60};
}

int TimelineZoom::columnOf(int second) const {
    const double offset = double(second - m_first) * kColumns / m_span;
    return kTimelineLeft + static_cast<int>(std::floor(offset));
}

void TimelineZoom::clampFirst() {
    m_first = std::clamp(m_first, 0, kDaySeconds - m_span);
}

namespace {

// The spans a wheel step moves between, whole day to ten minutes.
constexpr int kZoomSpans[] = {86400, 43200, 21600, 10800, 5400, 3600, 1800, 1200, 600};

} // namespace

void TimelineZoom::zoom(int steps, int x) {
    const int rungs = static_cast<int>(std::size(kZoomSpans));
    int rung = 0;
    while (rung + 1 < rungs && kZoomSpans[rung] > m_span)
        ++rung;
    const int next = std::clamp(rung + steps, 0, rungs - 1);
    if (kZoomSpans[next] == m_span)
        return;
    // The second under the mouse stays under it.
    const int column = std::clamp(x, kTimelineLeft, kTimelineLeft + kColumns);
    const int anchor = secondAt(column);
    m_span = kZoomSpans[next];
    m_first = anchor -
              static_cast<int>(static_cast<long long>(column - kTimelineLeft) * m_span / kColumns);
    clampFirst();
}

void TimelineZoom::zoomAbout(int steps, int second) {
    const int rungs = static_cast<int>(std::size(kZoomSpans));
    int rung = 0;
    while (rung + 1 < rungs && kZoomSpans[rung] > m_span)
        ++rung;
    const int next = std::clamp(rung + steps, 0, rungs - 1);
    const double fraction = std::clamp(double(second - m_first) / m_span, 0.0, 1.0);
    m_span = kZoomSpans[next];
    m_first = second - static_cast<int>(std::lround(fraction * m_span));
    clampFirst();
}

void TimelineZoom::scroll(int dx) {
    m_first -= static_cast<int>(std::lround(double(dx) * m_span / kColumns));
    clampFirst();
}

void TimelineZoom::centreOn(int second) {
    m_first = second - m_span / 2;
    clampFirst();
}

int TimelineZoom::tickSeconds() const {
    // At most about a dozen lines across the grid.
    for (const int step : {60, 120, 300, 600, 900, 1800, 3600})
        if (m_span / step <= 12)
            return step;
    return 3600;
}

std::vector<TimelineBar> timelineBars(std::span<const DaySegment> segments,
                                      std::uint16_t channelMask, const TimelineZoom& zoom) {
    if (zoom.wholeDay())
        return timelineBars(segments, channelMask);
    const auto secondOfDay = [](std::uint32_t time) {
        const CivilTime t = decodeRecorderTime(time);
        return t.hour * 3600 + t.minute * 60 + t.second;
    };
    std::vector<TimelineBar> bars;
    const int last = zoom.firstSecond() + zoom.span();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const int start = secondOfDay(segments[i].start);
        const int end = secondOfDay(segments[i].end);
        if (end < zoom.firstSecond() || start >= last)
            continue;
        const int x0 = std::max(zoom.columnOf(start), kTimelineLeft);
        const int x1 = std::min(zoom.columnOf(end), kTimelineLeft + TimelineZoom::kColumns - 1);
        // Which channels and colours: as the whole day draws the segment.
        for (TimelineBar bar : timelineBars(segments.subspan(i, 1), channelMask)) {
            bar.x0 = x0;
            bar.x1 = x1;
            bars.push_back(bar);
        }
    }
    return bars;
}

} // namespace kalder
