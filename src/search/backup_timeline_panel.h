#pragma once

#include "search/backup_period_panel.h"
#include "search/backup_period_rules.h"
#include "search/timeline_scrubber.h"

#include <QColor>

#include <array>

class QLabel;
class QPushButton;

namespace kalder {

// The backup's day timeline: the search's grid of one day, shaded over the chosen part of the
// period, with the start and end dates and times above it. While the start is chosen, a click
// or drag sets the start time and Next turns to choosing the end on the calendar; while the end
// is chosen, it sets the end time (never before the start on the start's own date), and
// Calculate and Backup work on the whole period. The grid zooms and scrolls as the search's day
// timeline does (TimelineScrubber). GUI thread only; a child of its search window.
class BackupTimelinePanel : public BackupPeriodPanel {
    Q_OBJECT
public:
    // Opens for the window's backup period in its phase, at the phase's default time.
    BackupTimelinePanel(SearchWindow& window, QWidget* parent);

    // A click at grid column `x`, and a time from the pop-up; false when ignored.
    bool chooseColumn(int x);
    bool setTime(int hour, int minute, int second);
    void next();
    void calculate() override;

    const BackupPeriod& period() const { return m_period; }
    const TimelineZoom& zoom() const { return m_scrubber.zoom(); }
    QString startText() const;
    QString endText() const;
    QPushButton* nextButton() const { return m_next; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The column of a start or end time at the zoom; nothing when it is not shown.
    std::optional<int> columnOf(const CivilTime& time) const;
    void choose(TimeOfDay time);
    void showTimes();

    BackupPeriod m_period;
    std::array<QColor, 6> m_colours;
    QLabel* m_startDate = nullptr;
    QLabel* m_endDate = nullptr;
    QPushButton* m_startTime = nullptr;
    QPushButton* m_endTime = nullptr;
    QPushButton* m_next = nullptr;
    TimelineScrubber m_scrubber{*this, {}};
};

} // namespace kalder
