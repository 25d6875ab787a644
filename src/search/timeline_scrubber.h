#pragma once

#include "ui/timeline_zoom.h"

#include <QString>

#include <functional>
#include <optional>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QWheelEvent;
class QWidget;

namespace kalder {

// The zoom and scroll of a day timeline panel (the search's and the backup's): the wheel zooms
// about the mouse (Shift or a horizontal wheel scrolls), a right-button drag scrolls, keys +, -
// and 0 zoom about a column or show the whole day, and the time under the mouse is drawn to the
// second above the grid. The panel forwards its events; `changed` runs after every zoom or
// scroll, once the panel's description says what part of the day it shows. GUI thread.
class TimelineScrubber {
public:
    TimelineScrubber(QWidget& panel, std::function<void()> changed);

    const TimelineZoom& zoom() const { return m_zoom; }
    // Brings `second` of the day into view when it is not shown.
    void show(int second);

    // True when the event was the scrubber's.
    bool wheel(QWheelEvent* event);
    bool press(QMouseEvent* event);
    bool move(QMouseEvent* event);
    bool release(QMouseEvent* event);
    // +, - and 0; the zoom keeps `anchor` (a second of the day: the chosen time) in its
    // place, or the middle of the grid without one.
    bool key(QKeyEvent* event, std::optional<int> anchor);
    void leave();
    bool scrolling() const { return m_scrollFrom.has_value(); }

    void paintHoverTime(QPainter& p) const;

private:
    void after();

    QWidget& m_panel;
    std::function<void()> m_changed;
    TimelineZoom m_zoom;
    std::optional<int> m_hoverX;     // the mouse's column inside the grid
    std::optional<int> m_scrollFrom; // the right button's last column while it drags
};

// "hh:mm:ss" of a second of the day.
QString timelineClockText(int second);

} // namespace kalder
