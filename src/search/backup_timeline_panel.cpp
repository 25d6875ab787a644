#include "search/backup_timeline_panel.h"

#include "search/day_timeline_panel.h"
#include "search/search_window.h"
#include "ui/search_look.h"

#include <QLabel>
#include <QMouseEvent>
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
    setMouseTracking(true);
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
    const auto time = backupTimeAtColumn(m_period, x);
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
    if (event->button() == Qt::LeftButton && insideTimelineGrid(p.x(), p.y()))
        chooseColumn(p.x());
}

void BackupTimelinePanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool inside = insideTimelineGrid(p.x(), p.y());
    setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (inside && (event->buttons() & Qt::LeftButton))
        chooseColumn(p.x());
}

void BackupTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::uint16_t mask = m_window.searchChannelMask();
    paintTimelineGrid(p, *this, mask);
    const ColumnRange shade = backupShade(m_period);
    if (shade.x1 >= shade.x0)
        p.fillRect(QRect(QPoint(shade.x0, kTimelineTop), QPoint(shade.x1, kTimelineBottom)),
                   kShade);
    paintTimelineBars(p, m_colours, m_window.daySegments(), mask);
    paintTimelineLegend(p, *this, m_colours, m_window.subProductMajor());
    if (backupStartCursorShown(m_period))
        paintTimelineCursor(p, timelineColumn(m_period.start.hour, m_period.start.minute),
                            kStartCursor);
    if (m_period.endPhase)
        paintTimelineCursor(p, timelineColumn(m_period.end.hour, m_period.end.minute), kEndCursor);
}

} // namespace kalder
