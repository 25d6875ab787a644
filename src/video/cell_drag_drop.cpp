#include "video/cell_drag_drop.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace kalder {

namespace {

const QColor kDragFrameColour(150, 80, 80);

} // namespace

CellDragDrop::CellDragDrop(QWidget& window) : m_image(new QLabel(&window)) {
    m_image->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_image->hide();
}

void CellDragDrop::start(int cell, const QRect& rect, const QPixmap& content, const QPoint& point,
                         const QColor& background) {
    QPixmap image(rect.size());
    image.fill(background);
    {
        QPainter painter(&image);
        painter.drawPixmap(QPoint(1, 1), content);
        painter.setPen(QPen(kDragFrameColour, 4));
        painter.drawRect(QRect(QPoint(0, 0), rect.size()).adjusted(2, 2, -2, -2));
    }
    m_image->setPixmap(image);
    m_image->setGeometry(rect);
    m_sourceCell = cell;
    m_hotSpot = point - rect.topLeft();
    m_dragging = true;
}

void CellDragDrop::move(const QPoint& point) {
    if (!m_dragging)
        return;
    if (m_image->isHidden()) {
        m_image->show();
        m_image->raise();
    }
    m_image->move(point - m_hotSpot);
}

QPoint CellDragDrop::finish() {
    const QPoint centre = m_image->geometry().center();
    cancel();
    return centre;
}

void CellDragDrop::cancel() {
    m_dragging = false;
    m_image->hide();
    m_image->clear();
}

void CellDragDrop::raise() {
    m_image->raise();
}

} // namespace kalder
