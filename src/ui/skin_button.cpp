#include "ui/skin_button.h"

#include "resources/resource_library.h"

#include <QMouseEvent>
#include <QPainter>

namespace kalder {

namespace {

constexpr QSize kFallbackSize(64, 24);

QImage pictureOrNone(int id) {
    return id > 0 ? resourcePicture(id) : QImage();
}

} // namespace

SkinButton::SkinButton(int controlId, int normalPictureId, int pressedPictureId, QWidget* parent)
    : QAbstractButton(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::NoFocus);
    setPictures(pictureOrNone(normalPictureId), pictureOrNone(pressedPictureId));
}

void SkinButton::setPictures(const QImage& normal, const QImage& pressed) {
    m_normal = normal;
    m_pressed = pressed;
    resize(sizeHint());
    updateGeometry();
    update();
}

void SkinButton::setPressedLook(bool pressed) {
    if (m_pressedLook == pressed)
        return;
    m_pressedLook = pressed;
    update();
}

bool SkinButton::showsPressed() const {
    return m_pressedLook || isDown() || (isCheckable() && isChecked());
}

QSize SkinButton::sizeHint() const {
    if (!m_normal.isNull())
        return m_normal.size();
    if (!m_pressed.isNull())
        return m_pressed.size();
    return kFallbackSize;
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = showsPressed();
    const QImage& picture = pressed && !m_pressed.isNull() ? m_pressed : m_normal;
    if (!isEnabled())
        painter.setOpacity(0.45);
    if (!picture.isNull()) {
        painter.drawImage(rect(), picture);
    } else {
        // No skin: a plain face, darker when pressed.
        painter.fillRect(rect(), pressed ? QColor(40, 50, 72) : QColor(84, 100, 136));
        painter.setPen(QColor(12, 16, 26));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (m_hovered && isEnabled() && !pressed)
        painter.fillRect(rect(), QColor(255, 255, 255, 28));
    if (!text().isEmpty()) {
        painter.setPen(pressed ? QColor(255, 204, 96) : QColor(232, 238, 246));
        painter.drawText(rect().translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter,
                         text());
    }
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    const bool report = m_pressReporting && event->button() == Qt::LeftButton && isEnabled();
    QAbstractButton::mousePressEvent(event);
    if (report)
        emit pressReport(this, PressPhase::Pressed);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool report = m_pressReporting && event->button() == Qt::LeftButton && isEnabled();
    QAbstractButton::mouseReleaseEvent(event);
    if (report)
        emit pressReport(this, PressPhase::Released);
}

void SkinButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace kalder
