#pragma once

#include "ui/search_rules.h"

#include <span>
#include <vector>

namespace kalder {

// The part of a day a day timeline shows across its grid. The whole day is the recorder's own
// scale, one column per five minutes from x = 113 (the two columns past midnight choose the
// day's last second); zoomed in, down to ten minutes across the 288 columns, every column
// picks a second of its own. GUI thread; a plain value.
class TimelineZoom {
public:
    static constexpr int kDaySeconds = 24 * 3600;
    static constexpr int kShortestSpan = 10 * 60;
    static constexpr int kColumns = 288; // the day's columns; the grid has two more

    bool wholeDay() const { return m_span == kDaySeconds; }
    int firstSecond() const { return m_first; }
    int span() const { return m_span; }

    // The second of the day a click at column `x` (inside the grid) chooses.
    int secondAt(int x) const;
    TimeOfDay timeAt(int x) const;
    // The column of second `second` of the day; outside the grid for a second not shown.
    int columnOf(int second) const;
    bool shows(int second) const { return second >= m_first && second < m_first + m_span; }

    // `steps` wheel steps about column `x`, in (positive) or out, along the spans 24 h, 12 h,
    // 6 h, 3 h, 90 min, 1 h, 30 min, 20 min and 10 min; the second under `x` stays there.
    void zoom(int steps, int x);
    // The same steps, keeping second `second` of the day where it is across the grid (a key's
    // zoom about the chosen time).
    void zoomAbout(int steps, int second);
    // Moves the shown part by `dx` columns as a drag does (right: earlier), within the day.
    void scroll(int dx);
    // Shows second `second` in the middle, at the same span, within the day.
    void centreOn(int second);
    void reset() {
        m_first = 0;
        m_span = kDaySeconds;
    }

    // Hour lines and labels: every `tickSeconds()` from the first whole tick.
    int tickSeconds() const;

private:
    void clampFirst();

    int m_first = 0;
    int m_span = kDaySeconds;
};

// timelineBars at the zoom: bars of the shown part only, clipped to the grid. The whole day
// draws exactly as timelineBars does.
std::vector<TimelineBar> timelineBars(std::span<const DaySegment> segments,
                                      std::uint16_t channelMask, const TimelineZoom& zoom);

} // namespace kalder
