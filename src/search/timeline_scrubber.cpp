#include "search/timeline_scrubber.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

namespace kalder {

QString timelineClockText(int second) {
    return QString::asprintf("%02d:%02d:%02d", second / 3600, (second % 3600) / 60, second % 60);
}

TimelineScrubber::TimelineScrubber(QWidget& panel, std::function<void()> changed)
    : m_panel(panel), m_changed(std::move(changed)) {
    m_panel.setFocusPolicy(Qt::ClickFocus);
    m_panel.setMouseTracking(true);
}

void TimelineScrubber::after() {
    const int first = m_zoom.firstSecond();
    m_panel.setAccessibleDescription(
        QStringLiteral("Shows %1 to %2")
            .arg(timelineClockText(first), m_zoom.wholeDay()
                                               ? QStringLiteral("24:00:00")
                                               : timelineClockText(first + m_zoom.span())));
    if (m_changed)
        m_changed();
    m_panel.update();
}

void TimelineScrubber::show(int second) {
    if (!m_zoom.shows(second))
        m_zoom.centreOn(second);
    after();
}

bool TimelineScrubber::wheel(QWheelEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!insideTimelineGrid(p.x(), p.y()))
        return false;
    // A notch is 120.
    const QPoint delta = event->angleDelta();
    if (delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier)) {
        const int notches = (delta.x() != 0 ? delta.x() : delta.y()) / 120;
        m_zoom.scroll(notches * TimelineZoom::kColumns / 8);
    } else {
        m_zoom.zoom(delta.y() / 120, p.x());
    }
    after();
    return true;
}

bool TimelineScrubber::press(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() != Qt::RightButton || m_zoom.wholeDay() ||
        !insideTimelineGrid(p.x(), p.y()))
        return false;
    m_scrollFrom = p.x();
    m_panel.setCursor(Qt::ClosedHandCursor);
    return true;
}

bool TimelineScrubber::move(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool inside = insideTimelineGrid(p.x(), p.y());
    const std::optional<int> hover = inside ? std::optional(p.x()) : std::nullopt;
    if (hover != m_hoverX) {
        m_hoverX = hover;
        m_panel.update();
    }
    if (!m_scrollFrom || !(event->buttons() & Qt::RightButton))
        return false;
    m_zoom.scroll(p.x() - *m_scrollFrom);
    m_scrollFrom = p.x();
    after();
    return true;
}

bool TimelineScrubber::release(QMouseEvent* event) {
    if (event->button() != Qt::RightButton || !m_scrollFrom)
        return false;
    m_scrollFrom.reset();
    m_panel.unsetCursor();
    return true;
}

bool TimelineScrubber::key(QKeyEvent* event, std::optional<int> anchor) {
    const auto zoomBy = [&](int steps) {
        if (anchor)
            m_zoom.zoomAbout(steps, *anchor);
        else
            m_zoom.zoom(steps, kTimelineLeft + TimelineZoom::kColumns / 2);
    };
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1);
        break;
    case Qt::Key_Minus:
        zoomBy(-1);
        break;
    case Qt::Key_0:
        m_zoom.reset();
        break;
    default:
        return false;
    }
    after();
    return true;
}

void TimelineScrubber::leave() {
    m_hoverX.reset();
    m_panel.update();
}

void TimelineScrubber::paintHoverTime(QPainter& p) const {
    if (!m_hoverX)
        return;
    const QString text = timelineClockText(m_zoom.secondAt(*m_hoverX));
    const QFontMetrics metrics(p.font());
    const int width = metrics.horizontalAdvance(text) + 8;
    const int left = std::clamp(*m_hoverX - width / 2, 0, m_panel.width() - width);
    const QRect box(left, kTimelineTop - 16, width, 15);
    p.fillRect(box, QColor(0, 0, 0, 200));
    p.setPen(QColor(0, 255, 255));
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace kalder
