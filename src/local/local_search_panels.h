#pragma once

#include "local/local_playlist.h"
#include "local/local_search_model.h"

#include <QPushButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QTableWidget;

namespace kalder {

class DateFieldPopups;
struct EventLists;

// The panels of the local search window, built from the sets of the download folder. Each one
// hands its play request to `play`; the date fields open the window's list and time pop-ups.
// GUI thread only; children of the window.
using LocalPlayFn = std::function<void(const LocalPlayRequest&)>;

// The period a panel offers for export (RecorderTime, both included); `to` 0: up to the end of
// the sets.
struct LocalExportPeriod {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
};

// A day of the calendar: a button that marks the recording kinds of its day in their colours.
class LocalDayButton : public QPushButton {
    Q_OBJECT
public:
    LocalDayButton(int day, QWidget* parent);
    void setKindMask(std::uint32_t mask);
    std::uint32_t kindMask() const { return m_kindMask; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t m_kindMask = 0;
};

// The calendar of the recorded days: the year (2000-2037, from the year list), twelve month
// buttons enabled for the months with recordings, the weekday header and the days of the chosen
// month, the recorded ones highlighted and marked with their kinds. A recorded day opens its
// timeline through `openDay`; `noData` is called when no year has any recording.
class LocalCalendarPanel : public QWidget {
    Q_OBJECT
public:
    LocalCalendarPanel(const LocalSearchData& data, DateFieldPopups& popups,
                       std::function<void(int, int, int)> openDay, std::function<void()> noData,
                       QWidget* parent);
    // Starts at the latest month with recordings of the current year, else of earlier years
    // (wrapping from 2000 to 2037).
    void reload(int currentYear);
    void chooseYear(int year);
    void chooseMonth(int month);
    void chooseDay(int day);
    int year() const { return m_year; }
    int month() const { return m_month; }
    bool dayRecorded(int day) const;
    QPushButton* yearField() const { return m_yearField; }
    QPushButton* monthButton(int month) const { return m_months[month - 1]; }
    LocalDayButton* dayButton(int day) const { return m_days[day - 1]; }

private:
    void showMonths(bool anyEnabled);
    void layoutDays();
    const LocalSearchData& m_data;
    DateFieldPopups& m_popups;
    std::function<void(int, int, int)> m_openDay;
    std::function<void()> m_noData;
    std::vector<YearAvailability> m_years;
    LocalYear m_local;
    int m_year = 0, m_month = 1;
    QPushButton* m_yearField = nullptr;
    std::array<QPushButton*, 12> m_months{};
    std::array<LocalDayButton*, 31> m_days{};
};

// One day's segments drawn on the 24-hour grid; a click or a drag chooses the time, the time
// field opens the time pop-up, Play plays from the chosen time.
class LocalTimelinePanel : public QWidget {
    Q_OBJECT
public:
    LocalTimelinePanel(int year, int month, int day, std::vector<DaySegment> segments,
                       unsigned dateFormat, DateFieldPopups& popups, LocalPlayFn play,
                       std::function<void()> prev, QWidget* parent);
    void setTime(int hour, int minute, int second);
    void play();
    // The day, from the chosen time on when one is chosen.
    std::optional<LocalExportPeriod> exportPeriod() const;
    QPushButton* playButton() const { return m_play; }
    QPushButton* timeField() const { return m_timeField; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void chooseAt(QMouseEvent* event);
    const int m_year, m_month, m_day;
    const std::vector<DaySegment> m_segments;
    DateFieldPopups& m_popups;
    LocalPlayFn m_playFn;
    std::optional<std::array<int, 3>> m_time; // hour, minute, second
    QPushButton* m_timeField = nullptr;
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
    // The selected event's period; nothing without a selection.
    std::optional<LocalExportPeriod> exportPeriod() const;
    QTableWidget* list() const { return m_list; }
    QPushButton* playButton() const { return m_play; }

private:
    void updatePlayEnabled();
    std::shared_ptr<const EventLists> m_lists; // never null
    const unsigned m_dateFormat;
    LocalPlayFn m_playFn;
    int m_tab = 0;
    std::array<QPushButton*, 3> m_tabs{};
    QTableWidget* m_list = nullptr;
    QPushButton* m_play = nullptr;
};

// A start row and an end row, each with year, month and day fields in the operator's date order
// (from the list pop-up) and a time field (from the time pop-up). The end row starts at
// 2037-12-31 23:59:59, which stands for no end: Play plays from the start on, or the period.
class LocalDateTimePanel : public QWidget {
    Q_OBJECT
public:
    LocalDateTimePanel(std::uint32_t initial, unsigned dateFormat, DateFieldPopups& popups,
                       LocalPlayFn play, QWidget* parent);
    void setEntry(int row, const CivilTime& entry);
    CivilTime entry(int row) const { return m_rows[static_cast<std::size_t>(row)].value; }
    void play();
    // From the start row to the end row (to the end of the sets when the end stands for none).
    std::optional<LocalExportPeriod> exportPeriod() const;
    QPushButton* field(int row, int part) const; // part: 0 year, 1 month, 2 day, 3 time
    QPushButton* playButton() const { return m_play; }

private:
    struct Row {
        std::array<QPushButton*, 4> fields{}; // year, month, day, time
        CivilTime value;
    };
    void buildRow(int index, int y, const QString& caption, unsigned dateFormat);
    // After a change of year or month: a day past the month's end becomes its last day.
    void clampDay(Row& row);
    void showRow(const Row& row);

    DateFieldPopups& m_popups;
    LocalPlayFn m_playFn;
    std::array<Row, 2> m_rows;
    QPushButton* m_play = nullptr;
};

} // namespace kalder
