#include "video/gl_video_painter.h"

#include <QOpenGLPaintDevice>
#include <QPainter>
#include <QWidget>

#include <mutex>

namespace kalder {

GlVideoPainter::GlVideoPainter(VideoFeed& feed, VideoScene& scene, QWidget& window,
                               std::function<void()> failed)
    : m_feed(feed), m_scene(scene), m_window(window), m_failed(std::move(failed)) {}

void GlVideoPainter::start() {
    if (m_surface)
        return;
    m_surface = new GlVideoSurface(*this, &m_window);
    // The window below takes the mouse: drag, double-click and the full-screen bar.
    m_surface->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_surface->setGeometry(m_window.rect());
    m_surface->show();
    m_newPictures.store(~SlotMask{0});
}

void GlVideoPainter::stop() {
    if (!m_surface)
        return;
    m_surface->hide();
    m_surface->deleteLater();
    m_surface = nullptr;
}

bool GlVideoPainter::pictureArrived(unsigned channel, QSize) {
    // The GUI thread uploads the picture with its next frame.
    m_newPictures.fetch_or(slotBit(channel));
    return true;
}

void GlVideoPainter::invalidate(unsigned channel) {
    m_newPictures.fetch_or(slotBit(channel));
}

void GlVideoPainter::paint(QPainter&, const QRegion&) {
    // The surface covers the window.
}

void GlVideoPainter::repaint() {
    m_window.update();
    if (m_surface)
        m_surface->update();
}

void GlVideoPainter::repaintChannels(SlotMask channels) {
    // The surface redraws as a whole: one frame for any number of new pictures.
    if (channels != 0 && m_surface)
        m_surface->update();
}

void GlVideoPainter::resized() {
    if (m_surface)
        m_surface->setGeometry(m_window.rect());
}

void GlVideoPainter::surfaceFailed() {
    if (m_failed)
        m_failed();
}

void GlVideoPainter::paintSurface(GlVideoSurface& surface) {
    const VideoLayout& layout = m_scene.cellLayout();
    PictureStore& pictures = m_feed.pictures();
    surface.clear(m_scene.background());
    // Pictures first, straight through OpenGL; each channel's textures are filled again only
    // when its decode thread has drawn a new picture since the last frame.
    std::uint64_t pictureCells = 0;
    for (int cell = 0; cell < kMaxCells; ++cell) {
        if (!layout.cellVisible(cell) || layout.cellSlot(cell) < 0)
            continue;
        const unsigned ch = static_cast<unsigned>(layout.cellSlot(cell));
        if (m_feed.cellContent(ch) != CellContent::Picture)
            continue;
        std::lock_guard lock(pictures.lock(ch));
        const PictureStore::Size size = pictures.size(ch);
        if ((m_newPictures.load() & slotBit(ch)) ||
            !surface.holdsPicture(ch, size.width, size.height)) {
            m_newPictures.fetch_and(~slotBit(ch));
            if (!surface.upload(ch, pictures.buffer(ch), size.width, size.height))
                continue;
        }
        surface.drawPicture(ch, toQRect(layout.cellRect(cell)), m_feed.channelZoom(ch));
        pictureCells |= std::uint64_t{1} << cell;
    }

    // Then the overlays and the other cells' pictures, painted into the surface's frame buffer
    // (painting to the widget itself would be redirected away from it while it is grabbed).
    QOpenGLPaintDevice device(surface.size() * surface.devicePixelRatio());
    device.setDevicePixelRatio(surface.devicePixelRatio());
    QPainter painter(&device);
    const bool osd = m_feed.overlaysOn();
    for (int cell = 0; cell < kMaxCells; ++cell) {
        if (!layout.cellVisible(cell) || layout.cellSlot(cell) < 0)
            continue;
        const unsigned ch = static_cast<unsigned>(layout.cellSlot(cell));
        const QRect rect = toQRect(layout.cellRect(cell));
        if ((pictureCells >> cell) & 1u) {
            if (osd) {
                painter.save();
                painter.setClipRect(rect);
                painter.translate(rect.topLeft());
                m_feed.paintOverlays(painter, ch, rect.size());
                painter.restore();
            }
            m_scene.paintCellNotice(painter, ch, rect);
            continue;
        }
        CellContent content = m_feed.cellContent(ch);
        if (content == CellContent::Picture)
            content = CellContent::Idle; // a picture that could not be drawn
        {
            std::lock_guard lock(pictures.lock(ch));
            m_scene.paintCellPicture(painter, content, ch, rect);
        }
        m_scene.paintCellNotice(painter, ch, rect);
    }
    m_scene.paintEmptyPositions(painter);
}

} // namespace kalder
