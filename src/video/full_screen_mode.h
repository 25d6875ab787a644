#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

class QWidget;

namespace kalder {

class FullScreenBar;
class VideoWindow;

// Full-screen view of the video window: the window leaves its parent for a frameless top-level
// window over a whole monitor, with the floating layout bar; leaving puts it back at exactly
// the rectangle it had. GUI thread only.
class FullScreenMode {
public:
    explicit FullScreenMode(VideoWindow& window);

    // The monitor for the Full button: the first whose work area holds `point` (the main
    // window's centre), else the first; -1 without monitors.
    static int monitorFor(const QList<QRect>& workAreas, const QPoint& point);

    bool active() const { return m_active; }
    FullScreenBar* bar() const { return m_bar; }
    void enter(const QRect& screenRect);
    // False when full screen was not on.
    bool leave();
    // The mouse moved to `globalPoint`: the hidden bar shows again when the mouse reaches its
    // place.
    void mouseMoved(const QPoint& globalPoint);

private:
    VideoWindow& m_window;
    bool m_active = false;
    QRect m_savedRect;
    QWidget* m_savedParent = nullptr;
    FullScreenBar* m_bar = nullptr;
    QRect m_screenRect;
};

} // namespace kalder
