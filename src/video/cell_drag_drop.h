#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>

class QLabel;
class QPixmap;
class QWidget;

namespace kalder {

// Drag and drop of a cell onto another in the video window: while the button is held a framed
// picture of the source cell follows the mouse; on release the window swaps the source cell
// with the cell under the picture's centre. GUI thread only.
class CellDragDrop {
public:
    // `window`: the video window, parent of the drag picture.
    explicit CellDragDrop(QWidget& window);

    // Starts dragging `cell` (lying at `rect`, showing `content`) from `point`.
    void start(int cell, const QRect& rect, const QPixmap& content, const QPoint& point,
               const QColor& background);
    bool dragging() const { return m_dragging; }
    int sourceCell() const { return m_sourceCell; }
    void move(const QPoint& point);
    // Ends the drag; the centre of the drag picture where it was let go.
    QPoint finish();
    // Ends the drag without a drop.
    void cancel();
    // Keeps the drag picture above a surface laid over the window.
    void raise();

private:
    QLabel* m_image; // child of the window
    int m_sourceCell = -1;
    bool m_dragging = false;
    QPoint m_hotSpot;
};

} // namespace kalder
