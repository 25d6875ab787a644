#pragma once

#include "setup/model/grid_band.h"

#include <QWidget>

#include <QColor>

#include <functional>
#include <vector>

namespace kalder {

// A grid of cells drawn from a value per cell, edited with the mouse: a click (press and release
// in the same cell without dragging) reports the cell; a drag reports the cells its rubber band
// touches when the button is released. It never writes the record: its page does, then calls
// update(). GUI thread only.
class CellGridWidget : public QWidget {
public:
    using ValueOf = std::function<unsigned(unsigned column, unsigned row)>;

    CellGridWidget(unsigned columns, unsigned rows, int cellWidth, int cellHeight, ValueOf value,
                   QWidget* parent);

    void onClick(std::function<void(unsigned column, unsigned row)> clicked) {
        m_clicked = std::move(clicked);
    }
    void onBand(std::function<void(const CellRange&)> banded) { m_banded = std::move(banded); }
    // Cell colours by value (0 .. 3); values beyond take the last.
    void setColours(std::vector<QColor> colours) { m_colours = std::move(colours); }

    // What the mouse does, for tests and for the widget's own events: pixels inside the grid.
    void press(QPoint at);
    void drag(QPoint to);
    void release(QPoint at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    unsigned m_columns;
    unsigned m_rows;
    int m_cellWidth;
    int m_cellHeight;
    ValueOf m_value;
    std::vector<QColor> m_colours;
    std::function<void(unsigned, unsigned)> m_clicked;
    std::function<void(const CellRange&)> m_banded;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_from;
    QPoint m_to;
};

} // namespace kalder
