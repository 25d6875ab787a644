#include "ui/skin_progress_bar.h"

#include "ui/resource_fallbacks.h"
#include "resources/resource_library.h"

#include <QPainter>

#include <algorithm>

namespace kalder {

SkinProgressBar::SkinProgressBar(int backgroundPictureId, int fillPictureId, QWidget* parent)
    : QWidget(parent) {
    setPictures(skinPictureOrNone(backgroundPictureId), skinPictureOrNone(fillPictureId));
}

void SkinProgressBar::setPictures(const QImage& background, const QImage& fill) {
    m_background = background;
    m_fill = fill;
    resize(sizeHint());
    updateGeometry();
    update();
}

void SkinProgressBar::setPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == m_percent)
        return;
    m_percent = percent;
    update();
}

int SkinProgressBar::filledWidth() const {
    return width() * m_percent / 100;
}

QSize SkinProgressBar::sizeHint() const {
    return m_background.isNull() ? QSize(200, 18) : m_background.size();
}

void SkinProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_background.isNull())
        painter.drawImage(rect(), m_background);
    else
        painter.fillRect(rect(), QColor(14, 18, 28));
    const QRect done(0, 0, filledWidth(), height());
    if (!m_fill.isNull())
        painter.drawImage(done, m_fill.scaled(size()), done);
    else
        painter.fillRect(done, QColor(80, 150, 230));
    painter.setPen(QColor(232, 238, 246));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("%1%").arg(m_percent));
}

} // namespace kalder
