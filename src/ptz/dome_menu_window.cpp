#include "ptz/dome_menu_window.h"

#include <QPushButton>

namespace kalder {

DomeMenuWindow::DomeMenuWindow(QWidget* parent) : PtzWindowBase(parent) {
    setWindowTitle(QStringLiteral("Dome camera menu"));
    setFixedSize(kWidth, kHeight);
    // The window stands beside the PTZ panel, level with it: its X goes to the foot, away from
    // the panel's own X at the panel's top right, so that leaving the dome menu never closes the
    // panel by a slip of the mouse.
    connect(makeButton(Select, QStringLiteral("Sel"),
                       QStringLiteral("Select: take the entry marked in the dome camera's menu"), 5,
                       8, 44, 36, QStringLiteral("Select")),
            &QPushButton::clicked, this, &DomeMenuWindow::selectPressed);
    connect(makeButton(Previous, QStringLiteral("Prev"),
                       QStringLiteral("Previous: back to the dome camera menu's previous level"), 5,
                       52, 44, 36, QStringLiteral("Previous")),
            &QPushButton::clicked, this, &DomeMenuWindow::previousPressed);
    connect(makeButton(CloseX, QStringLiteral("X"),
                       QStringLiteral("Leave the dome camera's menu (the PTZ panel stays open)"), 5,
                       kHeight - 28, 44, 22, QStringLiteral("Leave dome menu")),
            &QPushButton::clicked, this, &DomeMenuWindow::leaveRequested);
}

} // namespace kalder
