#pragma once

#include "ui/search_rules.h"

#include <QWidget>

#include <array>
#include <optional>

class QPushButton;

namespace kalder {

class SearchWindow;

// The calendar of the recorder's recorded days: a year (2000-2037), twelve month buttons enabled
// for the months with recordings, and the days of the chosen month laid out by weekday, the
// recorded ones highlighted. Choosing a highlighted day asks the recorder for that day's
// periods. GUI thread only; a child of its search window.
class CalendarPanel : public QWidget {
    Q_OBJECT
public:
    CalendarPanel(SearchWindow& window, QWidget* parent);

    // Starts again from the window's year records: the latest month with recordings of the
    // current year, else of earlier years (wrapping from 2000 to 2037); when no year has any,
    // the no-data notification.
    void reload();
    // Opens at `year` and `month`, offering nothing before `floor` (the backup end's calendar:
    // its year list begins at the floor's year).
    void openAt(int year, int month, std::optional<CalendarDay> floor);
    void chooseYear(int year);
    void chooseMonth(int month);
    void chooseDay(int day);

    int year() const { return m_year; }
    int month() const { return m_month; }
    QPushButton* monthButton(int month) const { return m_months[month - 1]; }
    QPushButton* dayButton(int day) const { return m_days[day - 1]; }
    bool dayHighlighted(int day) const;

protected:
    // A day with recordings was chosen: the search asks for its periods.
    virtual void dayChosen(int year, int month, int day);

    SearchWindow& m_window;

private:
    void layoutDays();
    void showMonths(bool anyEnabled);

    std::optional<CalendarDay> m_floor;
    int m_year = 0;
    int m_month = 1;
    QPushButton* m_yearField = nullptr;
    std::array<QPushButton*, 12> m_months{};
    std::array<QPushButton*, 31> m_days{};
};

} // namespace kalder
