#pragma once

#include "local/local_playlist.h"
#include "local/local_search_model.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QDateTimeEdit;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kalder {

struct EventLists;

// The panels of the local search window, built from the sets of the download folder. Each one
// hands its play request to `play`. GUI thread only; children of the window.
using LocalPlayFn = std::function<void(const LocalPlayRequest&)>;

// Year, months with recordings and the days of the chosen month; a recorded day opens its
// timeline through `openDay`.
class LocalCalendarPanel : public QWidget {
    Q_OBJECT
public:
    LocalCalendarPanel(const LocalSearchData& data, std::function<void(int, int, int)> openDay,
                       QWidget* parent);
    void chooseYear(int year);
    void chooseMonth(int month);
    int year() const { return m_year; }
    int month() const { return m_month; }
    bool dayRecorded(int day) const;
    QPushButton* dayButton(int day) const { return m_days[day - 1]; }

private:
    void layoutDays();
    const LocalSearchData& m_data;
    std::function<void(int, int, int)> m_openDay;
    LocalYear m_local;
    int m_year = 0, m_month = 1;
    QLabel* m_yearLabel = nullptr;
    std::array<QPushButton*, 12> m_months{};
    std::array<QPushButton*, 31> m_days{};
};

// One day's segments drawn on the 24-hour grid; a click chooses the time, Play plays from it.
class LocalTimelinePanel : public QWidget {
    Q_OBJECT
public:
    LocalTimelinePanel(int year, int month, int day, std::vector<DaySegment> segments,
                       unsigned dateFormat, LocalPlayFn play, std::function<void()> prev,
                       QWidget* parent);
    void setTime(int hour, int minute, int second);
    void play();
    QPushButton* playButton() const { return m_play; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const int m_year, m_month, m_day;
    const std::vector<DaySegment> m_segments;
    LocalPlayFn m_playFn;
    std::optional<std::array<int, 3>> m_time; // hour, minute, second
    QLabel* m_timeLabel = nullptr;
    QPushButton* m_play = nullptr;
};

// The segments as alarm, motion and audio events; Play plays the selected one exactly.
class LocalEventListPanel : public QWidget {
    Q_OBJECT
public:
    LocalEventListPanel(const LocalSearchData& data, unsigned dateFormat, LocalPlayFn play,
                        QWidget* parent);
    void selectTab(int tab);
    void play();
    bool anyEvent() const;
    QTableWidget* list() const { return m_list; }

private:
    std::shared_ptr<const EventLists> m_lists; // never null
    const unsigned m_dateFormat;
    LocalPlayFn m_playFn;
    int m_tab = 0;
    std::array<QPushButton*, 3> m_tabs{};
    QTableWidget* m_list = nullptr;
};

// A start and, when ticked, an end; Play plays from the start or the period.
class LocalDateTimePanel : public QWidget {
    Q_OBJECT
public:
    LocalDateTimePanel(std::uint32_t initial, LocalPlayFn play, QWidget* parent);
    void setPeriod(std::uint32_t start, std::optional<std::uint32_t> end);
    void play();

private:
    LocalPlayFn m_playFn;
    QDateTimeEdit* m_start = nullptr;
    QDateTimeEdit* m_end = nullptr;
    QCheckBox* m_hasEnd = nullptr;
};

} // namespace kalder
