#include "ui/skin_slider.h"

#include "ui/resource_fallbacks.h"
#include "resources/resource_library.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kalder {

namespace {

constexpr int kFallbackThumbWidth = 10;

} // namespace

SkinSlider::SkinSlider(int controlId, int groovePictureId, int thumbPictureId, QWidget* parent)
    : QWidget(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::NoFocus);
    setPictures(skinPictureOrNone(groovePictureId), skinPictureOrNone(thumbPictureId));
}

void SkinSlider::setPictures(const QImage& groove, const QImage& thumb) {
    m_groove = groove;
    m_thumb = thumb;
    resize(sizeHint());
    updateGeometry();
    update();
}

void SkinSlider::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
    update();
}

void SkinSlider::setPosition(int position) {
    position = std::clamp(position, m_minimum, m_maximum);
    if (position == m_position)
        return;
    m_position = position;
    update();
}

int SkinSlider::thumbWidth() const {
    return m_thumb.isNull() ? kFallbackThumbWidth : m_thumb.width();
}

int SkinSlider::thumbLeft(int position) const {
    const int travel = std::max(0, width() - thumbWidth());
    const int span = m_maximum - m_minimum;
    if (span <= 0)
        return 0;
    const long long offset = static_cast<long long>(position - m_minimum) * travel;
    return static_cast<int>((offset + span / 2) / span);
}

int SkinSlider::positionAt(int x) const {
    const int travel = width() - thumbWidth();
    const int span = m_maximum - m_minimum;
    if (travel <= 0 || span <= 0)
        return m_minimum;
    const int along = std::clamp(x - thumbWidth() / 2, 0, travel);
    const long long value = static_cast<long long>(along) * span;
    return m_minimum + static_cast<int>((value + travel / 2) / travel);
}

QSize SkinSlider::sizeHint() const {
    const int w = m_groove.isNull() ? 100 : m_groove.width();
    const int h = std::max(m_groove.isNull() ? 8 : m_groove.height(),
                           m_thumb.isNull() ? 16 : m_thumb.height());
    return {w, h};
}

void SkinSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const int grooveHeight = m_groove.isNull() ? 6 : m_groove.height();
    const QRect groove(0, (height() - grooveHeight) / 2, width(), grooveHeight);
    if (!m_groove.isNull())
        painter.drawImage(groove, m_groove);
    else
        painter.fillRect(groove, QColor(14, 18, 28));
    const QRect thumb(thumbLeft(m_position), 0, thumbWidth(), height());
    if (!m_thumb.isNull())
        painter.drawImage(QPoint(thumb.left(), (height() - m_thumb.height()) / 2), m_thumb);
    else
        painter.fillRect(thumb, QColor(110, 130, 168));
}

void SkinSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int x = event->position().toPoint().x();
    const int left = thumbLeft(m_position);
    // A press on the thumb grabs it where it is; a press elsewhere centres it under the
    // pointer, which is reported as a move right after the press.
    m_grabOffset = x >= left && x < left + thumbWidth() ? x - (left + thumbWidth() / 2) : 0;
    m_held = true;
    emit sliderPressed(m_controlId, m_position);
    const int position = positionAt(x - m_grabOffset);
    if (position != m_position) {
        m_position = position;
        update();
        emit sliderMoved(m_controlId, m_position);
    }
}

void SkinSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_held)
        return;
    const int position = positionAt(event->position().toPoint().x() - m_grabOffset);
    if (position == m_position)
        return;
    m_position = position;
    update();
    emit sliderMoved(m_controlId, m_position);
}

void SkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_held)
        return;
    m_held = false;
    emit sliderReleased(m_controlId, m_position);
}

} // namespace kalder
