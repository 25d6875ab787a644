#include "logs/change_grid.h"

#include <QPainter>

#include <algorithm>

namespace kalder {

ChangeGrid::ChangeGrid(int columns, int rows, int cellWidth, int cellHeight, QWidget* parent)
    : QWidget(parent), m_columns(columns), m_rows(rows), m_cellWidth(cellWidth),
      m_cellHeight(cellHeight) {
    setFixedSize(columns * cellWidth, rows * cellHeight);
}

void ChangeGrid::setValues(std::vector<int> values, int maxValue) {
    m_values = std::move(values);
    m_maxValue = std::max(1, maxValue);
    update();
}

void ChangeGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    static const QColor kShades[] = {QColor(255, 255, 255), QColor(120, 170, 230),
                                     QColor(60, 120, 200), QColor(20, 60, 140)};
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            const std::size_t k = static_cast<std::size_t>(r * m_columns + c);
            int v = k < m_values.size() ? std::clamp(m_values[k], 0, m_maxValue) : 0;
            // One-bit grids use the darkest shade for a set cell.
            if (m_maxValue == 1 && v)
                v = 3;
            const QRect cell(c * m_cellWidth, r * m_cellHeight, m_cellWidth - 1, m_cellHeight - 1);
            p.fillRect(cell, kShades[v]);
            p.setPen(QColor(90, 90, 120));
            p.drawRect(cell);
        }
    }
}

} // namespace kalder
