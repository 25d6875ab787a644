#include "video/software_video_painter.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace kalder {

namespace {

// Source-over of premultiplied ARGB pixels onto opaque RGB32 ones: target = source + target ·
// (255 - alpha) / 255, two channels per multiplication.
void blendOver(const QRgb* source, QRgb* target, int count) {
    for (int x = 0; x < count; ++x) {
        const QRgb s = source[x];
        const std::uint32_t keep = 255 - qAlpha(s);
        const QRgb d = target[x];
        std::uint32_t redBlue = (d & 0xFF00FFu) * keep;
        redBlue = ((redBlue + ((redBlue >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
        std::uint32_t green = ((d >> 8) & 0xFFu) * keep;
        green = ((green + (green >> 8) + 0x80u) >> 8) & 0xFFu;
        target[x] = 0xFF000000u | (s + (redBlue | (green << 8)));
    }
}

} // namespace

SoftwareVideoPainter::SoftwareVideoPainter(VideoFeed& feed, VideoScene& scene, QWidget& widget)
    : m_feed(feed), m_scene(scene), m_widget(widget) {}

bool SoftwareVideoPainter::pictureArrived(unsigned channel, QSize cellSize) {
    return render(channel % kChannelCount, cellSize);
}

void SoftwareVideoPainter::invalidate(unsigned channel) {
    Cell& state = m_cells[channel % kChannelCount];
    std::lock_guard lock(state.lock);
    state.valid = false;
}

void SoftwareVideoPainter::repaint() {
    m_widget.update();
}

void SoftwareVideoPainter::repaintChannels(std::uint16_t channels) {
    // One rectangle around the cells: a paint clipped to a region of several rectangles makes
    // Qt draw each cell's image span by span, split over its thread pool, instead of copying its
    // rows. The cells in between that did not change are copied again, which costs less.
    const VideoLayout& layout = m_scene.cellLayout();
    QRect bounds;
    for (unsigned ch = 0; ch < kChannelCount; ++ch) {
        if (!((channels >> ch) & 1u))
            continue;
        const int cell = layout.cellOfChannel(static_cast<int>(ch));
        if (layout.cellVisible(cell))
            bounds |= toQRect(layout.cellRect(cell));
    }
    if (!bounds.isEmpty())
        m_widget.update(bounds);
}

void SoftwareVideoPainter::paint(QPainter& painter, const QRegion& exposed) {
    const VideoLayout& layout = m_scene.cellLayout();
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!layout.cellVisible(cell))
            continue;
        const QRect rect = toQRect(layout.cellRect(cell));
        if (exposed.intersects(rect))
            paintCell(painter, cell, rect);
    }
    m_scene.paintEmptyPositions(painter);
}

void SoftwareVideoPainter::paintCell(QPainter& painter, int cell, const QRect& rect) {
    const unsigned ch = static_cast<unsigned>(m_scene.cellLayout().cellChannel(cell));
    paintCellContent(painter, ch, rect);
    m_scene.paintCellNotice(painter, ch, rect);
}

void SoftwareVideoPainter::paintCellContent(QPainter& painter, unsigned ch, const QRect& rect) {
    CellContent content = m_feed.cellContent(ch);
    Cell& state = m_cells[ch];
    const CellViewZoom zoom = m_feed.channelZoom(ch);
    const auto drawShown = [&] {
        std::lock_guard lock(state.lock);
        if (!state.valid || state.size != rect.size() || !(state.zoom == zoom))
            return false;
        painter.drawImage(rect.topLeft(), state.image, QRect(QPoint(), rect.size()));
        return true;
    };
    if (content == CellContent::Picture) {
        if (drawShown())
            return;
        std::lock_guard picture(m_feed.pictures().lock(ch));
        if (drawShown() || (render(ch, rect.size()) && drawShown()))
            return;
        content = CellContent::Idle;
    }
    std::lock_guard picture(m_feed.pictures().lock(ch));
    m_scene.paintCellPicture(painter, content, ch, rect);
}

void SoftwareVideoPainter::layOverlays(unsigned ch, QSize size) {
    Cell& state = m_cells[ch];
    OverlayPlan plan = m_feed.overlayPlan(ch, size);
    if (state.overlay.size() != state.back.size() || !(plan == state.overlayPlan)) {
        state.overlay = QImage(state.back.size(), QImage::Format_ARGB32_Premultiplied);
        state.overlay.fill(Qt::transparent);
        {
            QPainter painter(&state.overlay);
            m_feed.paintOverlayPlan(painter, plan);
        }
        state.overlayPlan = std::move(plan);
        // The runs of pixels that hold anything; texts and icons cover a small part of a cell.
        state.overlaySpans.clear();
        for (int y = 0; y < state.overlay.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(state.overlay.constScanLine(y));
            for (int x = 0; x < state.overlay.width();) {
                if (qAlpha(row[x]) == 0) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < state.overlay.width() && qAlpha(row[x]) != 0)
                    ++x;
                state.overlaySpans.push_back({y, start, x});
            }
        }
    }
    // Laid over the picture by hand, run by run: a QPainter on the cell image for every picture
    // cost more than the blending itself (its paint engine state is set up and freed each time).
    const QSize bounds = state.back.size().boundedTo(state.overlay.size());
    for (const OverlaySpan& span : state.overlaySpans) {
        if (span.y >= bounds.height() || span.begin >= bounds.width())
            continue;
        const auto* source = reinterpret_cast<const QRgb*>(state.overlay.constScanLine(span.y));
        blendOver(source + span.begin,
                  reinterpret_cast<QRgb*>(state.back.scanLine(span.y)) + span.begin,
                  std::min(span.end, bounds.width()) - span.begin);
    }
}

bool SoftwareVideoPainter::render(unsigned ch, QSize size) {
    Cell& state = m_cells[ch];
    PictureStore& pictures = m_feed.pictures();
    const PictureStore::Size picture = pictures.size(ch);
    // The decode thread says which layout it wrote; the drawing mode decides what is shown.
    const bool planarDrawing = m_feed.planarPictures();
    const bool planarBytes = pictures.planar(ch).value_or(planarDrawing);
    const CellViewZoom zoom = m_feed.channelZoom(ch);
    const bool drawn =
        planarBytes && !planarDrawing
            ? state.renderer.renderPlanarAsRgb(pictures.buffer(ch), picture.width, picture.height,
                                               size, state.back, zoom)
            : state.renderer.render(pictures.buffer(ch), picture.width, picture.height, planarBytes,
                                    size, state.back, zoom);
    if (!drawn)
        return false;
    if (m_feed.overlaysOn())
        layOverlays(ch, size);
    std::lock_guard lock(state.lock);
    std::swap(state.image, state.back);
    state.size = size;
    state.zoom = zoom;
    state.valid = true;
    return true;
}

} // namespace kalder
