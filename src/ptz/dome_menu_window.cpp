#include "ptz/dome_menu_window.h"

#include <QPushButton>

namespace kalder {

DomeMenuWindow::DomeMenuWindow(QWidget* parent) : PtzWindowBase(parent) {
    setWindowTitle(QStringLiteral("Dome"));
    setFixedSize(kWidth, kHeight);
    connect(makeButton(Select, QStringLiteral("Sel"),
                       QStringLiteral("Select the dome menu's entry"), 5, 30, 44, 36),
            &QPushButton::clicked, this, &DomeMenuWindow::selectPressed);
    connect(makeButton(Previous, QStringLiteral("Prev"),
                       QStringLiteral("Back to the dome menu's previous level"), 5, 74, 44, 36),
            &QPushButton::clicked, this, &DomeMenuWindow::previousPressed);
    connect(makeButton(CloseX, QStringLiteral("X"), QStringLiteral("Leave the dome menu"), 15, 4,
                       24, 20),
            &QPushButton::clicked, this, &DomeMenuWindow::leaveRequested);
}

} // namespace kalder
