#pragma once

#include "setup/model/recording_page.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;

namespace kalder {

class SetupWindow;

// The general recording page's Region: a channel's rectangle, drawn with the mouse over the
// picture area in units of 4 pixels; "Clear" (481) sets its edges to 0; "Return" goes back.
// GUI thread only.
class RegionPageWidget : public QWidget {
public:
    static constexpr QPoint kAreaOrigin{113, 40};

    RegionPageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent);

    void selectChannel(unsigned channel);
    unsigned channel() const { return m_channel; }
    // A rectangle drawn from one pixel of the picture area to another.
    void drawRegion(QPoint from, QPoint to);
    QLabel* edgesLabel() const { return m_edges; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refresh();
    QRect areaRect() const;

    SetupWindow& m_window;
    unsigned m_channel = 0;
    std::vector<QPushButton*> m_channelButtons;
    QLabel* m_edges = nullptr;
    bool m_drawing = false;
    QPoint m_from;
    QPoint m_to;
};

} // namespace kalder
