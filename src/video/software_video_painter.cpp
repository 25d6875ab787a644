#include "video/software_video_painter.h"

#include <QPaintEngine>
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
    return render(channel % kSlotCount, cellSize);
}

void SoftwareVideoPainter::invalidate(unsigned channel) {
    Cell& state = m_cells[channel % kSlotCount];
    std::lock_guard lock(state.lock);
    state.valid = false;
}

void SoftwareVideoPainter::repaint() {
    m_widget.update();
}

void SoftwareVideoPainter::repaintChannels(SlotMask slotMask) {
    // One rectangle around the cells: a paint clipped to a region of several rectangles makes
    // Qt draw each cell's image span by span, split over its thread pool, instead of copying its
    // rows. The cells in between that did not change are copied again, which costs less.
    const VideoLayout& layout = m_scene.cellLayout();
    QRect bounds;
    for (unsigned slot = 0; slot < kSlotCount; ++slot) {
        if (!((slotMask >> slot) & 1u))
            continue;
        const int cell = layout.cellOfSlot(slot);
        if (layout.cellVisible(cell))
            bounds |= toQRect(layout.cellRect(cell));
    }
    if (!bounds.isEmpty())
        m_widget.update(bounds);
}

void SoftwareVideoPainter::paint(QPainter& painter, const QRegion& exposed) {
    const VideoLayout& layout = m_scene.cellLayout();
    for (int cell = 0; cell < kMaxCells; ++cell) {
        if (!layout.cellVisible(cell) || layout.cellSlot(cell) < 0)
            continue;
        const QRect rect = toQRect(layout.cellRect(cell));
        if (exposed.intersects(rect))
            paintCell(painter, cell, rect, exposed);
    }
    m_scene.paintEmptyPositions(painter);
}

void SoftwareVideoPainter::paintCell(QPainter& painter, int cell, const QRect& rect,
                                     const QRegion& exposed) {
    const unsigned ch = static_cast<unsigned>(m_scene.cellLayout().cellSlot(cell));
    paintCellContent(painter, ch, rect, exposed);
    m_scene.paintCellNotice(painter, ch, rect);
}

void SoftwareVideoPainter::paintCellContent(QPainter& painter, unsigned ch, const QRect& rect,
                                            const QRegion& exposed) {
    CellContent content = m_feed.cellContent(ch);
    Cell& state = m_cells[ch];
    const CellViewZoom zoom = m_feed.channelZoom(ch);
    const auto drawShown = [&] {
        std::lock_guard lock(state.lock);
        if (!state.valid || state.size != rect.size() || !(state.zoom == zoom))
            return false;
        if (state.planarShown)
            paintPlanar(painter, state, rect, exposed);
        else
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

void SoftwareVideoPainter::prepareOverlay(unsigned ch, QSize size) {
    Cell& state = m_cells[ch];
    OverlayPlan plan = m_feed.overlayPlan(ch, size);
    const QSize imageSize = CellRenderer::renderSize(size);
    if (state.overlay && state.overlay->image.size() == imageSize && plan == state.overlayPlan)
        return;
    auto layer = std::make_shared<OverlayLayer>();
    layer->image = QImage(imageSize, QImage::Format_ARGB32_Premultiplied);
    layer->image.fill(Qt::transparent);
    {
        QPainter painter(&layer->image);
        m_feed.paintOverlayPlan(painter, plan);
    }
    state.overlayPlan = std::move(plan);
    // The runs of pixels that hold anything; texts and icons cover a small part of a cell.
    const QImage& image = layer->image;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width;) {
            if (qAlpha(row[x]) == 0) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && qAlpha(row[x]) != 0)
                ++x;
            layer->spans.push_back({y, start, x});
        }
    }
    state.overlay = std::move(layer);
}

void SoftwareVideoPainter::blendOverlay(const OverlayLayer& overlay, std::uint8_t* target,
                                        qsizetype stride, QSize size) {
    // Laid over the picture by hand, run by run: a QPainter on the cell image for every picture
    // cost more than the blending itself (its paint engine state is set up and freed each time).
    const QSize bounds = size.boundedTo(overlay.image.size());
    for (const OverlaySpan& span : overlay.spans) {
        if (span.y >= bounds.height() || span.begin >= bounds.width())
            continue;
        const auto* source = reinterpret_cast<const QRgb*>(overlay.image.constScanLine(span.y));
        blendOver(source + span.begin,
                  reinterpret_cast<QRgb*>(target + span.y * stride) + span.begin,
                  std::min(span.end, bounds.width()) - span.begin);
    }
}

void SoftwareVideoPainter::paintPlanar(QPainter& painter, Cell& state, const QRect& rect,
                                       const QRegion& exposed) {
    // The backing store itself, when the painter writes it pixel for pixel and the whole cell
    // is to be painted: no other widget's pixels can lie under the cell then.
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    const QTransform transform = painter.deviceTransform();
    if (device && device->devType() == QInternal::Image &&
        transform.type() <= QTransform::TxTranslate && (QRegion(rect) - exposed).isEmpty() &&
        !painter.hasClipping()) {
        auto* image = static_cast<QImage*>(device);
        const QRect target = rect.translated(qRound(transform.dx()), qRound(transform.dy()));
        const bool rgb32 = image->format() == QImage::Format_RGB32 ||
                           image->format() == QImage::Format_ARGB32_Premultiplied;
        if (rgb32 && transform.dx() == qRound(transform.dx()) &&
            transform.dy() == qRound(transform.dy()) && image->rect().contains(target)) {
            std::uint8_t* bits = image->bits() + target.top() * image->bytesPerLine() +
                                 static_cast<qsizetype>(target.left()) * 4;
            if (state.converter.convert(state.planar, rect.size(), bits, image->bytesPerLine())) {
                if (state.shownOverlay)
                    blendOverlay(*state.shownOverlay, bits, image->bytesPerLine(), rect.size());
                return;
            }
        }
    }
    if (m_scratch.width() < rect.width() || m_scratch.height() < rect.height())
        m_scratch = QImage(rect.size().expandedTo(m_scratch.size()), QImage::Format_RGB32);
    if (!state.converter.convert(state.planar, rect.size(), m_scratch.bits(),
                                 m_scratch.bytesPerLine()))
        return;
    if (state.shownOverlay)
        blendOverlay(*state.shownOverlay, m_scratch.bits(), m_scratch.bytesPerLine(), rect.size());
    painter.drawImage(rect.topLeft(), m_scratch, QRect(QPoint(), rect.size()));
}

bool SoftwareVideoPainter::render(unsigned ch, QSize size) {
    Cell& state = m_cells[ch];
    PictureStore& pictures = m_feed.pictures();
    const PictureStore::Size picture = pictures.size(ch);
    // The decode thread says which layout it wrote; the drawing mode decides what is shown.
    const bool planarDrawing = m_feed.planarPictures();
    const bool planarBytes = pictures.planar(ch).value_or(planarDrawing);
    const CellViewZoom zoom = m_feed.channelZoom(ch);
    const bool overlays = m_feed.overlaysOn();
    if (planarBytes && CellRenderer::scalesInTwoSteps(size)) {
        if (!state.renderer.renderPlanarScaled(pictures.buffer(ch), picture.width, picture.height,
                                               !planarDrawing, size, state.backPlanar, zoom))
            return false;
        if (overlays)
            prepareOverlay(ch, size);
        std::lock_guard lock(state.lock);
        std::swap(state.planar, state.backPlanar);
        state.shownOverlay = overlays ? state.overlay : nullptr;
        state.planarShown = true;
        state.size = size;
        state.zoom = zoom;
        state.valid = true;
        return true;
    }
    const bool drawn =
        planarBytes && !planarDrawing
            ? state.renderer.renderPlanarAsRgb(pictures.buffer(ch), picture.width, picture.height,
                                               size, state.back, zoom)
            : state.renderer.render(pictures.buffer(ch), picture.width, picture.height, planarBytes,
                                    size, state.back, zoom);
    if (!drawn)
        return false;
    if (overlays) {
        prepareOverlay(ch, size);
        blendOverlay(*state.overlay, state.back.bits(), state.back.bytesPerLine(),
                     state.back.size());
    }
    std::lock_guard lock(state.lock);
    std::swap(state.image, state.back);
    state.planarShown = false;
    state.size = size;
    state.zoom = zoom;
    state.valid = true;
    return true;
}

} // namespace kalder
