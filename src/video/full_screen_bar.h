#pragma once

#include <QWidget>

class QTimer;

namespace kalder {

// The small floating layout bar of full-screen view: ten 34 × 34 buttons (ids 400-408 the
// layouts of 1, 4, 6, 7, 8, 9, 10, 13 and 16 cells, 409 leave full screen), 350 × 44,
// translucent, on top of everything. It shows itself shortly after creation and hides again
// 4 seconds after each showing. GUI thread only.
class FullScreenBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 350;
    static constexpr int kHeight = 44;
    static constexpr int kFirstButtonId = 400;
    static constexpr int kLeaveButtonId = 409;
    static constexpr int kShowDelayMs = 100;
    static constexpr int kShowTimeMs = 4000;

    // `screenRect`: the whole rectangle of the monitor; the bar sits centred on its bottom edge.
    explicit FullScreenBar(const QRect& screenRect, QWidget* parent = nullptr);

    // Shows the bar and restarts its 4-second hiding time.
    void showForAWhile();
    // Shows the button of the layout of `layoutCells` pressed and the others released.
    void showLayout(int layoutCells);

signals:
    // A bar button was pressed: 400-408 a layout, 409 leave.
    void command(int buttonId);

private:
    QTimer* m_showTimer;
    QTimer* m_hideTimer;
};

// Rectangle of the bar on a monitor.
QRect fullScreenBarRect(const QRect& screenRect);

} // namespace kalder
