#pragma once

#include "ui/search_rules.h"
#include "search/timeline_scrubber.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

class QLabel;
class QPainter;
class QPushButton;

namespace kalder {

class SearchWindow;

// The drawing shared by the search's and the backup's day timelines (grid x 113..402,
// y 70..375, one bar row per channel, one pixel per five minutes).
// The legend text of recording kind `kind` for the recorder's sub-product number.
QString timelineLegendText(int kind, int subProductMajor);
// The grid's background and hour lines, the hour numbers above it and the channel labels beside
// it (dimmed for the channels outside `channelMask`); zoomed in, the lines and times of the
// part shown.
void paintTimelineGrid(QPainter& p, const QWidget& panel, std::uint16_t channelMask,
                       const TimelineZoom& zoom = {});
// The bars of `segments` for the channels of `channelMask`, at the zoom.
void paintTimelineBars(QPainter& p, const std::array<QColor, 6>& colours,
                       std::span<const DaySegment> segments, std::uint16_t channelMask,
                       const TimelineZoom& zoom = {});
// The six-entry kind legend under the grid.
void paintTimelineLegend(QPainter& p, const QWidget& panel, const std::array<QColor, 6>& colours,
                         int subProductMajor);
// A cursor across the grid at column `x`, drawn with XOR so that it shows on every bar.
void paintTimelineCursor(QPainter& p, int x, const QColor& colour);

// The 24-hour timeline of one day: one bar row per channel (one pixel per five minutes), bars
// coloured by recording kind, the day's event marks, a time cursor set by clicking or dragging
// in the grid or by the time pop-up, and Play from the chosen moment. The wheel zooms about the
// mouse from the whole day to ten minutes (keys +, - and 0 too), dragging with the right button
// scrolls, and the time under the mouse shows to the second. GUI thread only; a child of its
// search window.
class DayTimelinePanel : public QWidget {
    Q_OBJECT
public:
    DayTimelinePanel(SearchWindow& window, int year, int month, int day, QWidget* parent);

    // Puts the cursor and the chosen time at `time`'s time of day (the date part is ignored).
    void setCursorTime(std::uint32_t time);
    void setTime(int hour, int minute, int second);
    void play();
    void updatePlayEnabled();

    std::optional<TimeOfDay> chosenTime() const { return m_time; }
    std::optional<int> cursorColumn() const { return m_cursor; }
    const TimelineZoom& zoom() const { return m_scrubber.zoom(); }
    QString timeText() const;
    QPushButton* playButton() const { return m_play; }
    QPushButton* prevButton() const { return m_prev; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The zoom and scroll (TimelineScrubber).
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void chooseColumn(int x);
    // After a zoom or a scroll: the cursor follows its time, the description the part shown.
    void zoomChanged();
    void paintEventMarks(QPainter& p, std::uint16_t channelMask);

    SearchWindow& m_window;
    const int m_year, m_month, m_day;
    std::optional<TimeOfDay> m_time;
    std::optional<int> m_cursor;
    TimelineScrubber m_scrubber{*this, [this] { zoomChanged(); }};
    std::array<QColor, 6> m_colours;
    QLabel* m_date = nullptr;
    QPushButton* m_timeLabel = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_prev = nullptr;
};

} // namespace kalder
