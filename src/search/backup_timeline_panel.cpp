#include "search/backup_timeline_panel.h"

#include "search/day_timeline_panel.h"
#include "search/search_window.h"
#include "ui/search_look.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <QPainter>
#include <QPushButton>

namespace kalder {

namespace {

// The part of the period on this day, under the bars; translucent so that the hour lines show.
const QColor kShade(120, 150, 210, 110);
const QColor kStartCursor(0, 255, 255);
const QColor kEndCursor(255, 255, 0);

QString timeText(const CivilTime& t) {
    return QString::asprintf("%02d : %02d : %02d", t.hour, t.minute, t.second);
}

void setTimeOfDay(CivilTime& t, TimeOfDay time) {
    t.hour = time.hour;
    t.minute = time.minute;
    t.second = time.second;
}

} // namespace

BackupTimelinePanel::BackupTimelinePanel(SearchWindow& window, QWidget* parent)
    : BackupPeriodPanel(window, parent), m_period(window.backupPeriod()) {
    setObjectName("BackupTimelinePanel");
    setAccessibleName(QStringLiteral("Backup timeline"));
    m_colours = recordingKindColours();
    setTimeOfDay(m_period.endPhase ? m_period.end : m_period.start,
                 backupDefaultTime(m_period.endPhase));
    // Without the end's date yet, the end shows nothing.
    if (!m_period.endPhase)
        m_period.end = m_period.start;

    auto row = [this](int y, const QString& caption, QLabel*& date, QPushButton*& time) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(4, y, 40, 22);
        date = new QLabel(this);
        date->setGeometry(44, y, 110, 22);
        time = new QPushButton(this);
        time->setFlat(true);
        time->setAutoDefault(false);
        time->setAccessibleName(caption + QStringLiteral(" time"));
        time->setGeometry(156, y, 90, 22);
    };
    row(2, QStringLiteral("Start"), m_startDate, m_startTime);
    row(26, QStringLiteral("End"), m_endDate, m_endTime);
    // The time of the phase's end of the period opens the time pop-up.
    QPushButton* editable = m_period.endPhase ? m_endTime : m_startTime;
    (m_period.endPhase ? m_startTime : m_endTime)->setEnabled(false);
    connect(editable, &QPushButton::clicked, this, [this, editable] {
        const CivilTime& t = m_period.endPhase ? m_period.end : m_period.start;
        m_window.openTimePopup(editable, t.hour, t.minute, t.second,
                               [this](int h, int m, int s) { setTime(h, m, s); });
    });

    m_next = new QPushButton(QStringLiteral("Next"), this);
    m_next->setAccessibleName(QStringLiteral("Next"));
    m_next->setAutoDefault(false);
    connect(m_next, &QPushButton::clicked, this, &BackupTimelinePanel::next);
    // Calculate and Backup beside the times; Next takes Backup's place while the start is chosen.
    calculateButton()->setGeometry(250, 2, 70, 22);
    backupButton()->setGeometry(328, 2, 70, 22);
    m_next->setGeometry(328, 2, 70, 22);
    sizeCaption()->setGeometry(250, 26, 40, 22);
    sizeLabel()->setGeometry(290, 26, 108, 22);
    m_next->setVisible(!m_period.endPhase);
    backupButton()->setVisible(m_period.endPhase);
    if (m_period.endPhase)
        periodChanged();
    else
        periodCleared();
    showTimes();
}

QString BackupTimelinePanel::startText() const {
    return timeText(m_period.start);
}

QString BackupTimelinePanel::endText() const {
    return m_period.endPhase ? timeText(m_period.end) : QString();
}

void BackupTimelinePanel::showTimes() {
    const unsigned format = m_window.dateFormat();
    const CivilTime& s = m_period.start;
    m_startDate->setText(QString::fromStdString(formatPanelDate(s.year, s.month, s.day, format)));
    m_startTime->setText(startText());
    if (m_period.endPhase) {
        const CivilTime& e = m_period.end;
        m_endDate->setText(QString::fromStdString(formatPanelDate(e.year, e.month, e.day, format)));
    }
    m_endTime->setText(endText());
    update();
}

void BackupTimelinePanel::choose(TimeOfDay time) {
    setTimeOfDay(m_period.endPhase ? m_period.end : m_period.start, time);
    // Each new end asks for a new size.
    if (m_period.endPhase)
        periodChanged();
    showTimes();
}

bool BackupTimelinePanel::chooseColumn(int x) {
    // Zoomed in, every column is a second of its own and the typed-time rule applies.
    const TimelineZoom& zoom = m_scrubber.zoom();
    const auto time = zoom.wholeDay() ? backupTimeAtColumn(m_period, x)
                      : (x >= kTimelineLeft && x <= kTimelineRight)
                          ? backupTypedTime(m_period, zoom.timeAt(x))
                          : std::nullopt;
    if (!time)
        return false;
    choose(*time);
    return true;
}

bool BackupTimelinePanel::setTime(int hour, int minute, int second) {
    const auto time = backupTypedTime(m_period, {hour, minute, second});
    if (!time)
        return false;
    choose(*time);
    return true;
}

void BackupTimelinePanel::next() {
    if (m_period.endPhase)
        return;
    m_window.backupStartChosen(m_period.start);
}

void BackupTimelinePanel::calculate() {
    if (!m_period.endPhase)
        return;
    m_window.setBackupPeriod(m_period);
    const int offset = m_window.standardOffsetSeconds();
    const auto start = encodeOperatorTime(m_period.start, offset);
    const auto end = encodeOperatorTime(m_period.end, offset);
    if (!start || !end)
        return;
    BackupRequest request;
    request.channelMask = m_window.searchChannelMask();
    request.kind = kBackupKindAll;
    request.start = *start;
    request.end = *end;
    requestSize(request, request);
}

void BackupTimelinePanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (m_scrubber.press(event))
        return;
    if (event->button() == Qt::LeftButton && insideTimelineGrid(p.x(), p.y()))
        chooseColumn(p.x());
}

void BackupTimelinePanel::mouseReleaseEvent(QMouseEvent* event) {
    m_scrubber.release(event);
}

void BackupTimelinePanel::wheelEvent(QWheelEvent* event) {
    event->setAccepted(m_scrubber.wheel(event));
}

void BackupTimelinePanel::keyPressEvent(QKeyEvent* event) {
    // Zoom about the time being chosen.
    const CivilTime& chosen = m_period.endPhase ? m_period.end : m_period.start;
    if (!m_scrubber.key(event, chosen.hour * 3600 + chosen.minute * 60 + chosen.second))
        BackupPeriodPanel::keyPressEvent(event);
}

void BackupTimelinePanel::leaveEvent(QEvent* event) {
    m_scrubber.leave();
    BackupPeriodPanel::leaveEvent(event);
}

std::optional<int> BackupTimelinePanel::columnOf(const CivilTime& time) const {
    const TimelineZoom& zoom = m_scrubber.zoom();
    if (zoom.wholeDay())
        return timelineColumn(time.hour, time.minute);
    const int second = time.hour * 3600 + time.minute * 60 + time.second;
    if (!zoom.shows(second))
        return std::nullopt;
    return zoom.columnOf(second);
}

void BackupTimelinePanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_scrubber.move(event))
        return;
    const QPoint p = event->position().toPoint();
    const bool inside = insideTimelineGrid(p.x(), p.y());
    setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (inside && (event->buttons() & Qt::LeftButton))
        chooseColumn(p.x());
}

void BackupTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::uint16_t mask = m_window.searchChannelMask();
    const TimelineZoom& zoom = m_scrubber.zoom();
    paintTimelineGrid(p, *this, mask, zoom);
    ColumnRange shade = backupShade(m_period);
    if (!zoom.wholeDay()) {
        // The same part of the day at the zoom, clipped to the grid.
        const auto clip = [&zoom](int second) {
            return std::clamp(zoom.columnOf(second), kTimelineLeft - 1, kTimelineRight + 1);
        };
        const auto secondOf = [](const CivilTime& t) {
            return t.hour * 3600 + t.minute * 60 + t.second;
        };
        const bool fromStart = !m_period.endPhase || backupStartCursorShown(m_period);
        shade.x0 = fromStart ? clip(secondOf(m_period.start)) : kTimelineLeft;
        shade.x1 = m_period.endPhase ? clip(secondOf(m_period.end)) : kTimelineRight;
        shade.x0 = std::max(shade.x0, kTimelineLeft);
        shade.x1 = std::min(shade.x1, kTimelineRight);
    }
    if (shade.x1 >= shade.x0)
        p.fillRect(QRect(QPoint(shade.x0, kTimelineTop), QPoint(shade.x1, kTimelineBottom)),
                   kShade);
    paintTimelineBars(p, m_colours, m_window.daySegments(), mask, zoom);
    paintTimelineLegend(p, *this, m_colours, m_window.subProductMajor());
    if (const auto x = columnOf(m_period.start); x && backupStartCursorShown(m_period))
        paintTimelineCursor(p, *x, kStartCursor);
    if (const auto x = columnOf(m_period.end); x && m_period.endPhase)
        paintTimelineCursor(p, *x, kEndCursor);
    m_scrubber.paintHoverTime(p);
}

} // namespace kalder
