#include "setup/pages/cell_grid_widget.h"

#include <QMouseEvent>
#include <QPainter>

namespace kalder {

namespace {
// A press that moves less than this is a click, not a band.
constexpr int kDragThresholdPixels = 4;
} // namespace

CellGridWidget::CellGridWidget(unsigned columns, unsigned rows, int cellWidth, int cellHeight,
                               ValueOf value, QWidget* parent)
    : QWidget(parent), m_columns(columns), m_rows(rows), m_cellWidth(cellWidth),
      m_cellHeight(cellHeight),
      m_value(std::move(value)), m_colours{QColor(40, 44, 52), QColor(220, 70, 60)} {
    setFixedSize(static_cast<int>(columns) * cellWidth + 1,
                 static_cast<int>(rows) * cellHeight + 1);
    setMouseTracking(false);
}

void CellGridWidget::press(QPoint at) {
    m_pressed = true;
    m_dragging = false;
    m_from = m_to = at;
}

void CellGridWidget::drag(QPoint to) {
    if (!m_pressed)
        return;
    m_to = to;
    if ((m_to - m_from).manhattanLength() >= kDragThresholdPixels)
        m_dragging = true;
    update();
}

void CellGridWidget::release(QPoint at) {
    if (!m_pressed)
        return;
    drag(at);
    m_pressed = false;
    const auto cells = cellsTouched(m_from.x(), m_from.y(), m_to.x(), m_to.y(), m_cellWidth,
                                    m_cellHeight, m_columns, m_rows);
    const bool sameCell = cells && cells->column0 == cells->column1 && cells->row0 == cells->row1;
    if (cells && !m_dragging && sameCell) {
        if (m_clicked)
            m_clicked(cells->column0, cells->row0);
    } else if (cells && m_banded) {
        m_banded(*cells);
    }
    m_dragging = false;
    update();
}

void CellGridWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        press(event->position().toPoint());
}

void CellGridWidget::mouseMoveEvent(QMouseEvent* event) {
    drag(event->position().toPoint());
}

void CellGridWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        release(event->position().toPoint());
}

void CellGridWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (unsigned r = 0; r < m_rows; ++r) {
        for (unsigned c = 0; c < m_columns; ++c) {
            const unsigned v = m_value ? m_value(c, r) : 0;
            const QColor colour = m_colours.empty()
                                      ? QColor(Qt::gray)
                                      : m_colours[std::min<std::size_t>(v, m_colours.size() - 1)];
            const QRect cell(static_cast<int>(c) * m_cellWidth, static_cast<int>(r) * m_cellHeight,
                             m_cellWidth, m_cellHeight);
            p.fillRect(cell, colour);
            p.setPen(QColor(120, 124, 132));
            p.drawRect(cell);
        }
    }
    if (m_pressed && m_dragging) {
        p.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(m_from, m_to).normalized());
    }
}

} // namespace kalder
