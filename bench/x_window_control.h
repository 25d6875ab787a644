#pragma once

// What an operator does to the desktop client's main window, done from outside on its X
// display (Xvfb has no window manager): double-click a point of it, minimize it and restore it
// as a window manager would (the ICCCM iconic state and the window unmapped), and cover it with
// another window.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace kalder::bench {

class XWindowControl {
public:
    // The largest mapped top-level window of process `pid` on $DISPLAY, or null (no display,
    // no such window).
    static std::unique_ptr<XWindowControl> find(pid_t pid);
    ~XWindowControl();
    XWindowControl(const XWindowControl&) = delete;
    XWindowControl& operator=(const XWindowControl&) = delete;

    // A left double-click at (x, y) of the window.
    void doubleClick(int x, int y);
    // The window manager's iconify: WM_STATE iconic, the window unmapped; and back.
    void minimize();
    void restore();
    // Another window over the whole screen, and away again.
    void cover();
    void uncover();
    // The pixels of the rectangle (x, y, width, height) of the window as the X server holds
    // them, one 32-bit word a pixel, row by row; empty when the server gives none (the window
    // unmapped, or a depth other than 24 or 32 bits).
    std::vector<std::uint32_t> grab(int x, int y, int width, int height);

private:
    struct Connection;
    explicit XWindowControl(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> m_x;
};

} // namespace kalder::bench
