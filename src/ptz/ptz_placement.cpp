#include "ptz/ptz_placement.h"

#include <algorithm>

namespace kalder {

QPoint keptOnScreen(QPoint place, const QSize& size, const QRect& screen) {
    if (screen.isEmpty())
        return place;
    const int x = std::max(screen.left(), std::min(place.x(), screen.right() + 1 - size.width()));
    const int y = std::max(screen.top(), std::min(place.y(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

QPoint ptzPanelPlace(const QRect& modeButtons, const QSize& frame, const QRect& screen) {
    const QPoint place(modeButtons.left(), modeButtons.top() - kPtzWindowGap - frame.height());
    return keptOnScreen(place, frame, screen);
}

QPoint ptzBesidePanelPlace(const QRect& panelFrame, const QSize& frame, const QRect& screen) {
    const int y = panelFrame.bottom() + 1 - frame.height();
    const int right = panelFrame.right() + 1 + kPtzWindowGap;
    const int left = panelFrame.left() - kPtzWindowGap - frame.width();
    if (screen.isEmpty())
        return {right, y};
    const int roomRight = screen.right() + 1 - right;
    const int roomLeft = left - screen.left();
    int x = right;
    if (roomRight < frame.width())
        x = roomLeft >= frame.width() || roomLeft > roomRight ? left : right;
    return keptOnScreen({x, y}, frame, screen);
}

} // namespace kalder
