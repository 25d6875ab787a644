#include "live/cell_renderer.h"

#include "live/video_layout.h"

#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace kalder {

void CellRenderer::SwsDeleter::operator()(SwsContext* context) const {
    sws_freeContext(context);
}

CellRenderer::CellRenderer() = default;
CellRenderer::~CellRenderer() = default;

bool CellRenderer::render(const std::byte* picture, int width, int height, QSize cell,
                          QImage& target) {
    if (!picture || width <= 0 || height <= 0 || cell.isEmpty())
        return false;
    const CellRect source = pictureSourceRect(width, height, false);
    if (source.width() <= 0 || source.height() <= 0)
        return false;
    if (target.size() != cell || target.format() != QImage::Format_RGB32)
        target = QImage(cell, QImage::Format_RGB32);
    if (target.isNull())
        return false;

    m_scaler.reset(sws_getCachedContext(
        m_scaler.release(), source.width(), source.height(), AV_PIX_FMT_BGR24, cell.width(),
        cell.height(), AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaler)
        return false;
    // The picture is stored bottom-up: start at the stored row of the crop's top display row
    // and walk the rows backwards.
    const int rowBytes = width * 3;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture);
    const std::uint8_t* first =
        bytes + static_cast<std::ptrdiff_t>(height - 1 - source.top) * rowBytes + source.left * 3;
    const std::uint8_t* const sourcePlanes[4] = {first, nullptr, nullptr, nullptr};
    const int sourceStrides[4] = {-rowBytes, 0, 0, 0};
    std::uint8_t* const targetPlanes[4] = {target.bits(), nullptr, nullptr, nullptr};
    const int targetStrides[4] = {static_cast<int>(target.bytesPerLine()), 0, 0, 0};
    return sws_scale(m_scaler.get(), sourcePlanes, sourceStrides, 0, source.height(), targetPlanes,
                     targetStrides) == cell.height();
}

void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan, const QFont& font,
                      const IconPictureSet& icons) {
    painter.save();
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int lineHeight = painter.fontMetrics().height();
    for (const OverlayTextItem& item : plan.texts) {
        painter.setPen(QColor(item.colour.red, item.colour.green, item.colour.blue));
        painter.drawText(
            QRect(item.x, item.y, 4096, lineHeight), Qt::AlignLeft | Qt::AlignTop,
            QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size())));
    }
    for (const IconPiece& piece : plan.icons) {
        // The image carries its transparency: drawing it over the cell keeps the background as
        // the mask would.
        const auto found = icons.find(piece.pictures.imageId);
        if (found == icons.end() || found->second.isNull())
            continue;
        const QImage& image = found->second;
        const int width = std::min(piece.width, image.width() - piece.sourceX);
        if (width <= 0)
            continue;
        painter.drawImage(QPoint(piece.x, piece.y), image,
                          QRect(piece.sourceX, 0, width, std::min(image.height(), kIconSize)));
    }
    painter.restore();
}

} // namespace kalder
