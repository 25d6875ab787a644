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

} // namespace

DayTimelinePanel::DayTimelinePanel(SearchWindow& window, int year, int month, int day,
                                   QWidget* parent)
    : QWidget(parent), m_window(window), m_year(year), m_month(month), m_day(day) {
    setObjectName("DayTimelinePanel");
    setAccessibleName(QStringLiteral("Day timeline"));
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
    m_timeLabel->setText(timeText());
    // A time outside the part shown brings it into the middle.
    m_scrubber.show(timelineSecondOfDay(*m_time));
}

void DayTimelinePanel::setCursorTime(std::uint32_t time) {
    const CivilTime t = decodeRecorderTime(time);
    setTime(t.hour, t.minute, t.second);
}

// The cursor follows the chosen time through every zoom and scroll.
void DayTimelinePanel::zoomChanged() {
    if (!m_time)
        return;
    const TimelineZoom& zoom = m_scrubber.zoom();
    const int second = timelineSecondOfDay(*m_time);
    if (zoom.wholeDay())
        m_cursor = timelineColumn(m_time->hour, m_time->minute);
    else if (zoom.shows(second))
        m_cursor = zoom.columnOf(second);
    else
        m_cursor.reset();
}

void DayTimelinePanel::chooseColumn(int x) {
    const TimeOfDay t = m_scrubber.zoom().timeAt(x);
    m_time = t;
    m_cursor = x;
    m_timeLabel->setText(timeText());
    update();
}

void DayTimelinePanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (m_scrubber.press(event))
        return;
    if (event->button() == Qt::LeftButton && insideTimelineGrid(p.x(), p.y()))
        chooseColumn(p.x());
}

void DayTimelinePanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_scrubber.move(event))
        return;
    const QPoint p = event->position().toPoint();
    const bool inside = insideTimelineGrid(p.x(), p.y());
    setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (inside && (event->buttons() & Qt::LeftButton))
        chooseColumn(p.x());
}

void DayTimelinePanel::mouseReleaseEvent(QMouseEvent* event) {
    m_scrubber.release(event);
}

void DayTimelinePanel::wheelEvent(QWheelEvent* event) {
    event->setAccepted(m_scrubber.wheel(event));
}

void DayTimelinePanel::keyPressEvent(QKeyEvent* event) {
    // Zoom about the chosen time, or the middle when there is none.
    const std::optional<int> anchor =
        m_time ? std::optional(timelineSecondOfDay(*m_time)) : std::nullopt;
    if (!m_scrubber.key(event, anchor))
        QWidget::keyPressEvent(event);
}

void DayTimelinePanel::leaveEvent(QEvent* event) {
    m_scrubber.leave();
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
    paintTimelineGrid(p, *this, mask, m_scrubber.zoom());
    paintTimelineBars(p, m_colours, m_window.daySegments(), mask, m_scrubber.zoom());
    paintEventMarks(p, mask);
    paintTimelineLegend(p, *this, m_colours, m_window.subProductMajor());
    if (m_cursor)
        paintTimelineCursor(p, *m_cursor, QColor(0, 255, 255));
    m_scrubber.paintHoverTime(p);
}

// A mark under a channel's bar at the minute each of the day's events began.
void DayTimelinePanel::paintEventMarks(QPainter& p, std::uint16_t channelMask) {
    const QColor mark(255, 170, 40);
    for (const EventEntry& event : m_window.events()) {
        const CivilTime t = decodeRecorderTime(event.start);
        if (t.year != m_year || t.month != m_month || t.day != m_day)
            continue;
        const int minute = t.hour * 3600 + t.minute * 60;
        const TimelineZoom& zoom = m_scrubber.zoom();
        if (!zoom.wholeDay() && !zoom.shows(minute))
            continue;
        const int x = zoom.wholeDay() ? timelineColumn(t.hour, t.minute) : zoom.columnOf(minute);
        for (int n = 0; n < 16; ++n) {
            if (!(event.channels & (1u << n)) || !(channelMask & (1u << n)))
                continue;
            const int y = timelineBarBottom(n) + 2;
            p.fillRect(QRect(x - 1, y, 3, 3), mark);
        }
    }
}

} // namespace kalder
