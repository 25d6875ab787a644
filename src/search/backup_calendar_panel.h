#pragma once

#include "search/calendar_panel.h"

class QLabel;
class QPushButton;

namespace kalder {

// The backup's calendar: the search calendar choosing the day of the period's start, then (after
// the timeline's Next) of its end. While the end is chosen it opens at the start's month, lists
// the years from the start's on and offers no earlier month or day; Prev returns to choosing the
// start. GUI thread only; a child of its search window.
class BackupCalendarPanel : public CalendarPanel {
    Q_OBJECT
public:
    BackupCalendarPanel(SearchWindow& window, QWidget* parent);

    // Opens for the window's backup period in its phase.
    void reopen();

    QLabel* title() const { return m_title; }
    QPushButton* prevButton() const { return m_prev; }

protected:
    void dayChosen(int year, int month, int day) override;

private:
    QLabel* m_title = nullptr;
    QPushButton* m_prev = nullptr;
};

} // namespace kalder
