#include "setup/pages/region_page_widget.h"

#include "setup/model/profile_page.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace kalder {

RegionPageWidget::RegionPageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("regionPage"));
    setAccessibleName(tr("Region"));
    const unsigned n = recChannelCount(window.context());
    m_channelButtons =
        makeChannelButtons(this, n, 2, 2, 25, [this](unsigned ch) { selectChannel(ch); });
    const QRect area = areaRect();
    m_edges = new QLabel(this);
    m_edges->setObjectName(QStringLiteral("regionEdges"));
    m_edges->setAlignment(Qt::AlignCenter);
    m_edges->setGeometry(0, area.bottom() + 12, width() > 0 ? 403 : 403, 20);
    QPushButton* clear = makePageButton(tr("Clear"), this, QRect(113, area.bottom() + 44, 84, 26),
                                        tr("Clear the region"));
    clear->setObjectName(QStringLiteral("button481"));
    connect(clear, &QPushButton::clicked, this, [this] {
        writeRegion(m_window.record(), m_window.context(), m_channel, RegionRect{});
        refresh();
    });
    QPushButton* ret = makePageButton(tr("Return"), this, QRect(205, area.bottom() + 44, 84, 26));
    ret->setObjectName(QStringLiteral("regionReturn"));
    connect(ret, &QPushButton::clicked, this, [back] { back(); });
    refresh();
}

QRect RegionPageWidget::areaRect() const {
    return QRect(kAreaOrigin,
                 QSize(kRegionUnitsX * kRegionPixelsPerUnit, kRegionUnitsY * kRegionPixelsPerUnit));
}

void RegionPageWidget::selectChannel(unsigned channel) {
    if (channel >= m_channelButtons.size())
        return;
    m_channel = channel;
    m_channelButtons[channel]->setChecked(true);
    refresh();
}

void RegionPageWidget::drawRegion(QPoint from, QPoint to) {
    const RegionRect rect = regionFromPixels(from.x(), from.y(), to.x(), to.y());
    writeRegion(m_window.record(), m_window.context(), m_channel, rect);
    refresh();
}

void RegionPageWidget::refresh() {
    m_edges->setText(QString::fromStdString(regionText(readRegion(m_window.record(), m_channel))));
    update();
}

void RegionPageWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !areaRect().contains(at))
        return;
    m_drawing = true;
    m_from = m_to = at - kAreaOrigin;
}

void RegionPageWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!m_drawing)
        return;
    m_to = event->position().toPoint() - kAreaOrigin;
    update();
}

void RegionPageWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_drawing || event->button() != Qt::LeftButton)
        return;
    m_drawing = false;
    drawRegion(m_from, event->position().toPoint() - kAreaOrigin);
}

void RegionPageWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = areaRect();
    p.fillRect(area, QColor(40, 44, 52));
    p.setPen(QColor(120, 124, 132));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    const RegionRect r = readRegion(m_window.record(), m_channel);
    const int unit = static_cast<int>(kRegionPixelsPerUnit);
    QRect drawn(
        kAreaOrigin + QPoint(static_cast<int>(r.left) * unit, static_cast<int>(r.top) * unit),
        kAreaOrigin + QPoint(static_cast<int>(r.right) * unit, static_cast<int>(r.bottom) * unit));
    if (m_drawing)
        drawn = QRect(kAreaOrigin + m_from, kAreaOrigin + m_to).normalized();
    p.setPen(QPen(QColor(220, 70, 60), 2));
    p.drawRect(drawn.intersected(area));
}

} // namespace kalder
