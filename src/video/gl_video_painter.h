#pragma once

#include "video/gl_video_surface.h"
#include "video/video_painter.h"
#include "video/video_scene.h"

#include <atomic>
#include <cstdint>
#include <functional>

class QWidget;

namespace kalder {

// OpenGL drawing of planar pictures: a GlVideoSurface child covers the window; the GUI thread
// uploads each new picture once and a shader converts and scales it, then the overlays and the
// other cells' pictures are painted over it. Decode threads only mark their channel's picture
// as new.
class GlVideoPainter final : public VideoPainter, private GlVideoSurface::Client {
public:
    // `window`: the widget the surface covers. `failed` runs on the GUI thread when the surface
    // cannot set up its context or shader after all.
    GlVideoPainter(VideoFeed& feed, VideoScene& scene, QWidget& window,
                   std::function<void()> failed);

    // ---- GUI thread ----

    // Puts the surface over the window; every channel's picture counts as new.
    void start();
    // Removes the surface.
    void stop();
    // The surface while it draws, else null.
    GlVideoSurface* surface() const { return m_surface; }

    bool pictureArrived(unsigned channel, QSize cellSize) override;
    void invalidate(unsigned channel) override;
    // Cells are scaled and overlaid anew on every frame.
    void cellChanged(unsigned) override {}
    void paint(QPainter& painter, const QRegion& exposed) override;
    void repaint() override;
    void repaintChannels(SlotMask channels) override;
    void resized() override;

private:
    // GlVideoSurface::Client, GUI thread.
    void paintSurface(GlVideoSurface& surface) override;
    void surfaceFailed() override;

    VideoFeed& m_feed;
    VideoScene& m_scene;
    QWidget& m_window;
    std::function<void()> m_failed;
    GlVideoSurface* m_surface = nullptr; // GUI thread
    // Channels with a picture the surface has not uploaded yet; set by decode threads and
    // cleared by the GUI thread, both under the channel's picture lock.
    std::atomic<SlotMask> m_newPictures{0};
};

} // namespace kalder
