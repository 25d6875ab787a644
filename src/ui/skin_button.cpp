#include "ui/skin_button.h"

#include "ui/resource_fallbacks.h"
#include "resources/resource_library.h"
#include "resources/skin_colours.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kalder {

namespace {

constexpr QSize kFallbackSize(64, 24);
// Room left and right of a caption that sets the button's width.
constexpr int kCaptionMargin = 8;
// Corners of a stretched picture that are copied unscaled (the faces' rounded corners).
constexpr int kFaceCorner = 4;

QColor skinColour(unsigned rgb) {
    return QColor(QRgb(0xFF000000u | rgb));
}

// Draws `picture` over `target`: as it is when the sizes agree, else in nine pieces so that the
// corners keep their shape and only the edges and the middle are stretched.
void drawFace(QPainter& painter, const QRect& target, const QImage& picture) {
    if (picture.size() == target.size() || picture.width() <= 2 * kFaceCorner ||
        picture.height() <= 2 * kFaceCorner || target.width() <= 2 * kFaceCorner ||
        target.height() <= 2 * kFaceCorner) {
        painter.drawImage(target, picture);
        return;
    }
    const int c = kFaceCorner;
    const int sx[4] = {0, c, picture.width() - c, picture.width()};
    const int sy[4] = {0, c, picture.height() - c, picture.height()};
    const int tx[4] = {target.left(), target.left() + c, target.left() + target.width() - c,
                       target.left() + target.width()};
    const int ty[4] = {target.top(), target.top() + c, target.top() + target.height() - c,
                       target.top() + target.height()};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            painter.drawImage(
                QRect(tx[col], ty[row], tx[col + 1] - tx[col], ty[row + 1] - ty[row]), picture,
                QRect(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]));
}

} // namespace

SkinButton::SkinButton(int controlId, int normalPictureId, int pressedPictureId, QWidget* parent)
    : QPushButton(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
    setPictures(skinPictureOrNone(normalPictureId), skinPictureOrNone(pressedPictureId));
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
    QSize size = kFallbackSize;
    if (!m_normal.isNull())
        size = m_normal.size();
    else if (!m_pressed.isNull())
        size = m_pressed.size();
    if (!text().isEmpty())
        size.setWidth(
            std::max(size.width(), fontMetrics().horizontalAdvance(text()) + 2 * kCaptionMargin));
    return size;
}

bool SkinButton::hitButton(const QPoint& pos) const {
    // The whole picture answers, whatever bevel the style would give a push button.
    return rect().contains(pos);
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = showsPressed();
    const QImage& picture = pressed && !m_pressed.isNull() ? m_pressed : m_normal;
    if (!isEnabled())
        painter.setOpacity(0.45);
    if (!picture.isNull()) {
        drawFace(painter, rect(), picture);
    } else {
        // No skin: a plain face, darker when pressed.
        painter.fillRect(rect(), pressed ? QColor(40, 50, 72) : QColor(84, 100, 136));
        painter.setPen(skinColour(res::kSkinFrameEdge));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (m_hovered && isEnabled() && !pressed)
        painter.fillRect(rect(), QColor(255, 255, 255, 28));
    if (!text().isEmpty()) {
        painter.setPen(skinColour(pressed ? res::kSkinCaptionPressed : res::kSkinCaption));
        painter.drawText(rect().translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter,
                         text());
    }
    // Only a button that was given a focus policy (in a dialog) ever has the focus.
    if (hasFocus()) {
        painter.setOpacity(1.0);
        painter.setPen(palette().color(QPalette::Highlight));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    const bool report = m_pressReporting && event->button() == Qt::LeftButton && isEnabled();
    QPushButton::mousePressEvent(event);
    if (report)
        emit pressReport(this, PressPhase::Pressed);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool report = m_pressReporting && event->button() == Qt::LeftButton && isEnabled();
    QPushButton::mouseReleaseEvent(event);
    if (report)
        emit pressReport(this, PressPhase::Released);
}

void SkinButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

} // namespace kalder
