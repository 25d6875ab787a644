#include "video/full_screen_mode.h"

#include "video/full_screen_bar.h"
#include "video/video_window.h"

namespace kalder {

FullScreenMode::FullScreenMode(VideoWindow& window) : m_window(window) {}

int FullScreenMode::monitorFor(const QList<QRect>& workAreas, const QPoint& point) {
    for (qsizetype i = 0; i < workAreas.size(); ++i) {
        if (workAreas[i].contains(point))
            return static_cast<int>(i);
    }
    return workAreas.isEmpty() ? -1 : 0;
}

void FullScreenMode::enter(const QRect& screenRect) {
    if (m_active)
        return;
    m_savedRect = m_window.geometry();
    m_savedParent = m_window.parentWidget();
    m_window.hide();
    m_window.setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    m_screenRect = screenRect;
    m_bar = new FullScreenBar(screenRect, &m_window);
    VideoWindow* window = &m_window;
    FullScreenBar* bar = m_bar;
    bar->showLayout(m_window.layoutModel().layout());
    QObject::connect(m_bar, &FullScreenBar::command, window, [window, bar](int id) {
        const int index = id - FullScreenBar::kFirstButtonId;
        if (index >= 0 && index < kLayoutCount) {
            window->selectLayout(kLayoutCells[static_cast<std::size_t>(index)]);
            bar->showLayout(window->layoutModel().layout());
        } else {
            window->leaveFullScreen();
        }
    });
    m_active = true;
    m_window.setMouseTracking(true);
    m_window.layOut(screenRect, m_window.layoutModel().border(), m_window.background());
    m_window.show();
    m_window.activateWindow();
    m_window.setFocus();
}

bool FullScreenMode::leave() {
    if (!m_active)
        return false;
    m_active = false;
    m_window.setMouseTracking(false);
    if (m_bar) {
        m_bar->hide();
        m_bar->deleteLater();
        m_bar = nullptr;
    }
    m_window.hide();
    m_window.setParent(m_savedParent, Qt::Widget);
    m_window.layOut(m_savedRect, m_window.layoutModel().border(), m_window.background());
    m_window.show();
    return true;
}

void FullScreenMode::mouseMoved(const QPoint& globalPoint) {
    if (m_active && m_bar && m_bar->isHidden() &&
        fullScreenBarRect(m_screenRect).contains(globalPoint))
        m_bar->showForAWhile();
}

} // namespace kalder
