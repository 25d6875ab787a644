#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QPushButton;

namespace kalder {

class CellGridWidget;
class SetupWindow;

// Profile C's motion area: a channel's 10 x 8 cells; a click flips a cell, a rubber band sets
// every cell it touches; "All" (480) and "Clear" (481) set the whole channel; "Return" (482)
// goes back to profile C. GUI thread only.
class MotionAreaPageWidget : public QWidget {
public:
    MotionAreaPageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent);

    void selectChannel(unsigned channel);
    unsigned channel() const { return m_channel; }
    CellGridWidget* grid() const { return m_grid; }

private:
    SetupWindow& m_window;
    unsigned m_channel = 0;
    CellGridWidget* m_grid = nullptr;
    std::vector<QPushButton*> m_channelButtons;
};

} // namespace kalder
