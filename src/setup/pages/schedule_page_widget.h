#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QPushButton;

namespace kalder {

class CellGridWidget;
class SetupWindow;

// The schedule: 7 days x 24 hours. On ordinary recorders a click flips an hour in or out of the
// schedule, a rubber band puts every hour it touches in, "All" (480) and "Clear" (481) set every
// hour and "Return" (483) goes back to profile D. On profile-schedule recorders the page is
// opened from the menu; a click advances a cell to the next profile, a band paints the profile
// of the paint buttons 480 .. 483. Opening the page brings every cell within range. GUI thread
// only.
class SchedulePageWidget : public QWidget {
public:
    // `back` is empty when the page is opened straight from the menu (no Return button).
    SchedulePageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent);

    CellGridWidget* grid() const { return m_grid; }
    unsigned paintValue() const { return m_paint; }
    void setPaintValue(unsigned value);

private:
    SetupWindow& m_window;
    CellGridWidget* m_grid = nullptr;
    unsigned m_paint = 0;
    std::vector<QPushButton*> m_paintButtons;
};

} // namespace kalder
