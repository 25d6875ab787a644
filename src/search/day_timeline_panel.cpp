#include "search/day_timeline_panel.h"

#include "search/search_play_request.h"
#include "search/search_window.h"
#include "ui/search_look.h"

#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "wire/recorder_time.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWheelEvent>

namespace kalder {

namespace {

constexpr int kLegendText[6] = {5208, 5130, 5131, 5209, 5132, 5210};
constexpr int kLegendTextOfKind0OnSubProducts3And4 = 6050;
constexpr int kChannelText = 5152;

int timelineSecondOfDay(const TimeOfDay& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
}

QString timelineClockText(int second) {
    return QString::asprintf("%02d:%02d:%02d", second / 3600, (second % 3600) / 60, second % 60);
}

} // namespace

DayTimelinePanel::DayTimelinePanel(SearchWindow& window, int year, int month, int day,
                                   QWidget* parent)
    : QWidget(parent), m_window(window), m_year(year), m_month(month), m_day(day) {
    setObjectName("DayTimelinePanel");
    setAccessibleName(QStringLiteral("Day timeline"));
    setMouseTracking(true);
    m_colours = recordingKindColours();
    m_date = new QLabel(
        QString::fromStdString(formatPanelDate(year, month, day, window.dateFormat())), this);
    m_date->setGeometry(8, 8, 150, 22);
    m_timeLabel = new QPushButton(this);
    m_timeLabel->setFlat(true);
    m_timeLabel->setAutoDefault(false);
    m_timeLabel->setAccessibleName(QStringLiteral("Time"));
    m_timeLabel->setGeometry(8, 32, 110, 22);
    connect(m_timeLabel, &QPushButton::clicked, this, [this] {
        const TimeOfDay t = m_time.value_or(TimeOfDay{});
        m_window.openTimePopup(m_timeLabel, t.hour, t.minute, t.second,
                               [this](int h, int m, int s) { setTime(h, m, s); });
    });
    m_prev = new QPushButton(QStringLiteral("Prev"), this);
    m_prev->setAccessibleName(QStringLiteral("Prev"));
    m_prev->setAutoDefault(false);
    m_prev->setGeometry(252, 6, 70, 24);
    connect(m_prev, &QPushButton::clicked, this, [this] { m_window.showCalendar(); });
    QString playText = resourceText(kSearchPlayText);
    if (playText.isEmpty())
        playText = QStringLiteral("Play");
    m_play = new QPushButton(playText, this);
    m_play->setAccessibleName(playText);
    m_play->setAutoDefault(false);
    m_play->setGeometry(328, 6, 70, 24);
    connect(m_play, &QPushButton::clicked, this, &DayTimelinePanel::play);
    setFocusPolicy(Qt::ClickFocus);
    updatePlayEnabled();
    zoomChanged();
}

QString DayTimelinePanel::timeText() const {
    if (!m_time)
        return {};
    return QString::asprintf("%02d : %02d : %02d", m_time->hour, m_time->minute, m_time->second);
}

void DayTimelinePanel::setTime(int hour, int minute, int second) {
    m_time = TimeOfDay{hour, minute, second};
    // A time outside the part shown brings it into the middle.
    if (!m_zoom.shows(timelineSecondOfDay(*m_time)))
        m_zoom.centreOn(timelineSecondOfDay(*m_time));
    m_timeLabel->setText(timeText());
    zoomChanged();
}

void DayTimelinePanel::zoomChanged() {
    if (m_time) {
        const int second = timelineSecondOfDay(*m_time);
        if (m_zoom.wholeDay())
            m_cursor = timelineColumn(m_time->hour, m_time->minute);
        else if (m_zoom.shows(second))
            m_cursor = m_zoom.columnOf(second);
        else
            m_cursor.reset();
    }
    const int first = m_zoom.firstSecond();
    setAccessibleDescription(QStringLiteral("Shows %1 to %2")
                                 .arg(timelineClockText(first), m_zoom.wholeDay()
                                                            ? QStringLiteral("24:00:00")
                                                            : timelineClockText(first + m_zoom.span())));
    update();
}

void DayTimelinePanel::setCursorTime(std::uint32_t time) {
    const CivilTime t = decodeRecorderTime(time);
    setTime(t.hour, t.minute, t.second);
}

void DayTimelinePanel::chooseColumn(int x) {
    const TimeOfDay t = m_zoom.timeAt(x);
    m_time = t;
    m_cursor = x;
    m_timeLabel->setText(timeText());
    update();
}

void DayTimelinePanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!insideTimelineGrid(p.x(), p.y()))
        return;
    if (event->button() == Qt::LeftButton)
        chooseColumn(p.x());
    else if (event->button() == Qt::RightButton && !m_zoom.wholeDay())
        m_scrollFrom = p.x();
}

void DayTimelinePanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool inside = insideTimelineGrid(p.x(), p.y());
    if (m_scrollFrom && (event->buttons() & Qt::RightButton)) {
        m_zoom.scroll(p.x() - *m_scrollFrom);
        m_scrollFrom = p.x();
        zoomChanged();
    }
    setCursor(m_scrollFrom ? Qt::ClosedHandCursor
                           : (inside ? Qt::PointingHandCursor : Qt::ArrowCursor));
    const std::optional<int> hover = inside ? std::optional(p.x()) : std::nullopt;
    if (hover != m_hoverX) {
        m_hoverX = hover;
        update();
    }
    if (inside && (event->buttons() & Qt::LeftButton))
        chooseColumn(p.x());
}

void DayTimelinePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        m_scrollFrom.reset();
}

void DayTimelinePanel::wheelEvent(QWheelEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!insideTimelineGrid(p.x(), p.y())) {
        event->ignore();
        return;
    }
    // A notch is 120; a horizontal wheel (or Shift with the wheel) scrolls instead.
    const QPoint delta = event->angleDelta();
    if (delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier)) {
        const int notches = (delta.x() != 0 ? delta.x() : delta.y()) / 120;
        m_zoom.scroll(notches * TimelineZoom::kColumns / 8);
    } else {
        m_zoom.zoom(delta.y() / 120, p.x());
    }
    zoomChanged();
    event->accept();
}

void DayTimelinePanel::keyPressEvent(QKeyEvent* event) {
    // Zoom about the cursor, or the middle when there is none.
    const int x = m_cursor.value_or(kTimelineLeft + TimelineZoom::kColumns / 2);
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_zoom.zoom(1, x);
        break;
    case Qt::Key_Minus:
        m_zoom.zoom(-1, x);
        break;
    case Qt::Key_0:
        m_zoom.reset();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    zoomChanged();
}

void DayTimelinePanel::leaveEvent(QEvent* event) {
    m_hoverX.reset();
    update();
    QWidget::leaveEvent(event);
}

void DayTimelinePanel::updatePlayEnabled() {
    m_play->setEnabled(!m_window.localPlaybackRunning());
}

void DayTimelinePanel::play() {
    if (m_window.localPlaybackRunning())
        return;
    // No time chosen: the day from its start.
    const TimeOfDay t = m_time.value_or(TimeOfDay{});
    const auto start = encodeOperatorTime({m_year, m_month, m_day, t.hour, t.minute, t.second},
                                          m_window.standardOffsetSeconds());
    if (!start)
        return;
    SearchPlayRequest request;
    request.start = *start;
    request.end = 0;
    request.channelMask = m_window.searchChannelMask();
    request.kindSelector = 0;
    request.source = SearchResumeContext::Source::DayTimeline;
    SearchResumeContext context;
    context.years = m_window.years();
    context.segments = m_window.daySegments();
    m_window.play(request, std::move(context));
}

QString timelineLegendText(int kind, int subProductMajor) {
    int id = kLegendText[kind];
    if (kind == 0 && (subProductMajor == 3 || subProductMajor == 4))
        id = kLegendTextOfKind0OnSubProducts3And4;
    return resourceText(id);
}

void paintTimelineGrid(QPainter& p, const QWidget& panel, std::uint16_t channelMask,
                       const TimelineZoom& zoom) {
    const QColor text = panel.palette().windowText().color();
    p.fillRect(QRect(QPoint(kTimelineLeft, kTimelineTop), QPoint(kTimelineRight, kTimelineBottom)),
               QColor(24, 28, 36));
    QFont small = panel.font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    p.setFont(small);
    if (zoom.wholeDay()) {
        // Hour lines every twelve columns, the hour every three.
        p.setPen(QColor(70, 78, 92));
        for (int h = 0; h <= 24; ++h) {
            const int x = kTimelineLeft + h * 12;
            p.drawLine(x, kTimelineTop, x, kTimelineBottom);
        }
        p.setPen(text);
        for (int h = 0; h <= 24; h += 3)
            p.drawText(QRect(kTimelineLeft + h * 12 - 10, kTimelineTop - 14, 20, 12),
                       Qt::AlignCenter, QString::number(h));
    } else {
        // A line at every tick of the part shown, its time above every other one.
        const int step = zoom.tickSeconds();
        const int first = (zoom.firstSecond() + step - 1) / step * step;
        int n = 0;
        for (int t = first; t <= zoom.firstSecond() + zoom.span(); t += step, ++n) {
            const int x = zoom.columnOf(t);
            p.setPen(QColor(70, 78, 92));
            p.drawLine(x, kTimelineTop, x, kTimelineBottom);
            if (n % 2 == 0) {
                p.setPen(text);
                p.drawText(QRect(x - 20, kTimelineTop - 14, 40, 12), Qt::AlignCenter,
                           QString::asprintf("%02d:%02d", (t / 3600) % 24, (t % 3600) / 60));
            }
        }
    }
    // Channel labels.
    const QString prefix = resourceText(kChannelText);
    for (int n = 0; n < 16; ++n) {
        p.setPen((channelMask & (1u << n)) ? text : text.darker(200));
        p.drawText(QRect(50, timelineBarTop(n) - 5, 58, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QString::asprintf("%s%02d", prefix.toLatin1().constData(), n + 1));
    }
}

void paintTimelineBars(QPainter& p, const std::array<QColor, 6>& colours,
                       std::span<const DaySegment> segments, std::uint16_t channelMask,
                       const TimelineZoom& zoom) {
    // One pixel wide when start and end share a column.
    for (const TimelineBar& bar : timelineBars(segments, channelMask, zoom))
        p.fillRect(QRect(QPoint(bar.x0, timelineBarTop(bar.channel)),
                         QPoint(std::max(bar.x0, bar.x1), timelineBarBottom(bar.channel))),
                   colours[bar.kind]);
}

void paintTimelineLegend(QPainter& p, const QWidget& panel, const std::array<QColor, 6>& colours,
                         int subProductMajor) {
    // Two rows of three.
    for (int k = 0; k < 6; ++k) {
        const int x = 8 + (k % 3) * 130, y = 384 + (k / 3) * 16;
        p.fillRect(QRect(x, y + 2, 12, 10), colours[k]);
        p.setPen(panel.palette().windowText().color());
        p.drawText(QRect(x + 16, y, 110, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   timelineLegendText(k, subProductMajor));
    }
}

void paintTimelineCursor(QPainter& p, int x, const QColor& colour) {
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(colour);
    p.drawLine(x, kTimelineTop, x, kTimelineBottom);
    p.restore();
}

void DayTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::uint16_t mask = m_window.searchChannelMask();
    paintTimelineGrid(p, *this, mask, m_zoom);
    paintTimelineBars(p, m_colours, m_window.daySegments(), mask, m_zoom);
    paintEventMarks(p, mask);
    paintTimelineLegend(p, *this, m_colours, m_window.subProductMajor());
    if (m_cursor)
        paintTimelineCursor(p, *m_cursor, QColor(0, 255, 255));
    paintHoverTime(p);
}

// A mark under a channel's bar at the minute each of the day's events began.
void DayTimelinePanel::paintEventMarks(QPainter& p, std::uint16_t channelMask) {
    const QColor mark(255, 170, 40);
    for (const EventEntry& event : m_window.events()) {
        const CivilTime t = decodeRecorderTime(event.start);
        if (t.year != m_year || t.month != m_month || t.day != m_day)
            continue;
        const int minute = t.hour * 3600 + t.minute * 60;
        if (!m_zoom.wholeDay() && !m_zoom.shows(minute))
            continue;
        const int x =
            m_zoom.wholeDay() ? timelineColumn(t.hour, t.minute) : m_zoom.columnOf(minute);
        for (int n = 0; n < 16; ++n) {
            if (!(event.channels & (1u << n)) || !(channelMask & (1u << n)))
                continue;
            const int y = timelineBarBottom(n) + 2;
            p.fillRect(QRect(x - 1, y, 3, 3), mark);
        }
    }
}

// The time under the mouse, to the second, above the grid.
void DayTimelinePanel::paintHoverTime(QPainter& p) {
    if (!m_hoverX)
        return;
    const QString text = timelineClockText(m_zoom.secondAt(*m_hoverX));
    const QFontMetrics metrics(p.font());
    const int width = metrics.horizontalAdvance(text) + 8;
    const int left = std::clamp(*m_hoverX - width / 2, 0, this->width() - width);
    const QRect box(left, kTimelineTop - 16, width, 15);
    p.fillRect(box, QColor(0, 0, 0, 200));
    p.setPen(QColor(0, 255, 255));
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace kalder
