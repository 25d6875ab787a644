#pragma once

#include "ptz/ptz_window_base.h"

namespace kalder {

// The dome-menu window (54 x 171): Sel and Prev walk the dome camera's own menu, X leaves it.
class DomeMenuWindow : public PtzWindowBase {
    Q_OBJECT
public:
    enum : int { Select = 357, Previous = 358, CloseX = 359 };
    static constexpr int kWidth = 54, kHeight = 171;

    explicit DomeMenuWindow(QWidget* parent);

signals:
    void selectPressed();
    void previousPressed();
    void leaveRequested();
};

} // namespace kalder
