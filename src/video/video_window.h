#pragma once

#include "decode/decode_host.h"
#include "decode/picture_store.h"
#include "decode/picture_target.h"
#include "video/cell_drag_drop.h"
#include "video/cell_renderer.h"
#include "video/cell_zoom.h"
#include "video/full_screen_mode.h"
#include "video/gl_video_painter.h"
#include "video/overlay_store.h"
#include "video/overlay_text.h"
#include "video/software_video_painter.h"
#include "video/video_layout.h"
#include "video/video_paint_stats.h"
#include "video/video_scene.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

class QKeyEvent;
class QCloseEvent;
class QTimer;

namespace kalder {

class FullScreenBar;
class GlVideoSurface;

// The multi-screen video window: the cells of the current layout, each channel's newest
// picture scaled into its cell with its overlays, the idle logo, video-loss and covert pictures
// elsewhere; drag and drop of cells, double-click zoom, full screen. It owns the picture store
// the decode threads decode into and the overlay store they compose into, and decides what
// every cell shows; a painter draws it, in software or (planar pictures where OpenGL works)
// through an OpenGL surface covering the window.
//
// Threads: the window's own operations run on the GUI thread. The PictureTarget functions and
// the overlay functions marked so run on decode threads. A channel's picture in the store and
// its cell state in the painters are guarded by its picture lock; the overlays by the overlay
// store's lock; the cell geometry that decode threads read by m_geometryLock. The channel masks
// are atomics written from both sides. Lock order: picture locks (in channel order) → overlay
// lock → geometry lock. The owner stops every decode thread before it destroys the window.
class VideoWindow : public QWidget, public PictureTarget, private VideoScene {
    Q_OBJECT

public:
    explicit VideoWindow(QWidget* parent = nullptr);
    ~VideoWindow() override;

    // ---- GUI thread ----

    // Moves the window to `rect` of its parent with half-gap `border` and the background.
    void layOut(const QRect& rect, int border, const QColor& background);
    QColor background() const override { return m_background; }
    void selectLayout(int layoutCells);
    void showChannel(int channel);
    void resetArrangement();
    void toggleOverlays();
    bool osdEnabled() const { return m_osdEnabled.load(); }
    // Ignores drags and double-clicks while the PTZ panel drives the camera with the mouse.
    void setPtzMouseControl(bool on) { m_ptzMouseControl = on; }

    // Full screen on a monitor (its whole rectangle), with the floating layout bar; Enter,
    // Escape and the bar's ESC button leave it and restore the previous rectangle exactly.
    void enterFullScreen(const QRect& screenRect);
    void leaveFullScreen();
    bool fullScreen() const { return m_fullScreen.active(); }
    FullScreenBar* fullScreenBar() const { return m_fullScreen.bar(); }
    // The monitor for the Full button: the first whose work area holds `point` (the main
    // window's centre), else the first; -1 without monitors.
    static int monitorFor(const QList<QRect>& workAreas, const QPoint& point) {
        return FullScreenMode::monitorFor(workAreas, point);
    }

    // Planar drawing (DrawMode 0): decode threads deliver YUV 4:2:0 pictures, which an OpenGL
    // surface converts and scales when OpenGL can be set up here and renders on a graphics
    // card, and software otherwise (a CPU rasteriser such as llvmpipe is passed over unless
    // KALDER_FORCE_OPENGL is set);
    // DrawMode 1: drawn in software as the RGB path shows pictures (its crop, the second
    // field), converted straight from the planar pictures the decoders deliver on both modes.
    // Set before any decoder starts: decoders choose their output format when they start.
    void setAccelerated(bool on);
    // Pictures are drawn by the OpenGL surface (planar drawing with working OpenGL).
    bool drawsWithOpenGl() const { return m_painter.load() == &m_glPainter; }
    // The OpenGL surface while it draws, else null.
    GlVideoSurface* glSurface() const { return m_glPainter.surface(); }

    // Streams: live view or a player starts with the recorder's or recording's channel count.
    // The stream's starter makes its own request, so these do not announce the new mask.
    void startStream(StreamKind kind, int channelCount);
    void stopStream();
    StreamKind mode() const { return m_mode.load(); }
    // Sets the present and drawable channels; with `resetArrangement` and an empty mask the
    // cells show their own channels again. True when the mask changed.
    bool setPresentChannels(std::uint16_t mask, bool resetArrangement);
    // Channels the stream carries, shown or not: the recorder's channels in live view, the
    // channels asked for in a playback. startStream sets the recorder's or recording's first
    // `channelCount` channels; a player may narrow them.
    void setStreamChannels(std::uint16_t mask);
    std::uint16_t streamChannels() const { return m_streamChannels.load(); }

    std::uint16_t visibleChannelMask() const { return m_layout.visibleChannelMask(); }
    const VideoLayout& layoutModel() const { return m_layout; }
    std::uint16_t presentChannels() const { return m_present.load(); }
    std::uint16_t drawableChannels() const { return m_drawable.load(); }
    std::uint16_t decodedChannels() const { return m_pictures.decodedChannels(); }
    // The pictures the decode threads decode into; the window draws from them.
    PictureStore& pictures() override { return m_pictures; }

    // Idle logo and video-loss picture (the latter also stands for covert channels).
    void setCellPictures(const QImage& idleLogo, const QImage& videoLoss);
    void setOverlayIcons(IconPictureSet icons) { m_overlays.setIcons(std::move(icons)); }

    // Frame rates, every half second: the pictures of the last 2 seconds per second of the
    // time they cover, rounded up.
    void updateFrameRates();
    // The steady clock (milliseconds) the rates are measured on; tests set their own before any
    // picture is counted.
    void setFrameRateClock(std::function<std::int64_t()> nowMs);
    int framesPerSecond(unsigned channel) const;

    // ---- any thread ----

    void setVideoLossMask(std::uint16_t mask);
    void setHiddenChannels(std::uint16_t mask);
    // Marks shown in the overlays: PTZ state (0 off, 1, 2) and channel, play-speed code, and
    // whether a sound output device exists.
    void setPtzMark(int state, int channel);
    void setSpeedCode(int code);
    void setSoundDevice(bool present);

    // ---- decode thread of the channel ----

    // Builds the channel's overlay after a decoded picture: the title comes from the title
    // table in live view and from the frame in playback.
    void composeOverlay(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                        std::string_view modeLabel, const AudioFacts& audio);
    // The title table changed: titles are fitted again.
    void forgetOverlayTitles() { m_overlays.forgetTitles(); }
    void clearAudioMark(unsigned channel) { m_overlays.clearAudioMark(channel); }
    ChannelOverlay overlay(unsigned channel) const { return m_overlays.overlay(channel); }
    // Width of a title in the window's default font.
    int titleWidth(std::string_view title) const { return m_overlays.titleWidth(title); }

    // ---- PictureTarget (decode threads) ----
    bool isAccelerated() const override { return m_planar.load(); }
    // Both drawing modes draw from planar pictures: the RGB mode converts each straight into its
    // cell, which costs less than a full-size BGR picture scaled down afterwards.
    bool wantsPlanarPictures() const override { return true; }
    void pictureCleared(unsigned channel) override;
    void drawChannel(unsigned channel) override;
    CellSize cellSize(unsigned channel) const override;
    void countFrame(unsigned channel) override;

signals:
    // The layout, page or selection changed: the owner sends the live request with the mask or
    // tells the player.
    void visibleChannelsChanged(quint16 mask);
    // Full screen ended: the owner shows the main window again.
    void fullScreenLeft();
    // A cell was dragged and dropped back onto itself: the owner may take its channel (the PTZ
    // panel makes it the PTZ channel).
    void channelDroppedOnItself(int channel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // GUI thread.
    // `announce`: tell the owner of the new visible-channel mask.
    void afterViewChange(bool announce = true);
    void describeView();
    void publishGeometry();
    // Repaints the whole window, or the OpenGL surface over it.
    void refresh();
    void invalidateCells();
    // Runs `change` with every channel's picture lock held, in channel order, so that no cell is
    // drawn half-way through it; every cell is drawn again afterwards.
    template <typename Change> void changeCells(Change change);
    // Repaints the cells of the channels with new pictures, at most once per display refresh:
    // a call sooner than that after the last repaint waits for the refresh.
    void flushDirtyChannels();
    // Chooses the OpenGL painter when planar drawing is on and OpenGL works, else software.
    void choosePainter();
    void openGlFailed();
    // Channels the pages, the channel buttons and the zoom may turn to: those the stream carries
    // and those that have sent pictures.
    std::uint16_t pageChannels() const { return m_present.load() | m_streamChannels.load(); }
    // Part of an idle, video-loss or covert picture stretched over a cell.
    QRect cellPictureSource(const QImage& picture) const;

    // VideoScene
    const VideoLayout& cellLayout() const override { return m_layout; }
    void paintCellPicture(QPainter& painter, CellContent content, unsigned channel,
                          const QRect& rect) override;
    void paintEmptyPositions(QPainter& painter) override;
    CellContent cellContent(unsigned channel) const override;
    bool planarPictures() const override { return m_planar.load(); }
    bool overlaysOn() const override { return m_osdEnabled.load(); }
    void paintOverlays(QPainter& painter, unsigned channel, QSize size) override;
    OverlayPlan overlayPlan(unsigned channel, QSize size) override;
    void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan) override {
        m_overlays.paintPlan(painter, plan);
    }
    CellOverlayFacts overlayFacts(unsigned channel, QSize size) const;

    VideoLayout m_layout; // GUI thread
    QColor m_background{150, 150, 150};
    PictureStore m_pictures;
    OverlayStore m_overlays;
    SoftwareVideoPainter m_softwarePainter;
    GlVideoPainter m_glPainter;
    // The painter decode threads draw with; switched on the GUI thread.
    std::atomic<VideoPainter*> m_painter;
    bool m_glProbed = false; // GUI thread
    bool m_glWorks = false;

    std::atomic<StreamKind> m_mode{StreamKind::Idle};
    std::atomic<std::uint16_t> m_present{0};
    std::atomic<std::uint16_t> m_streamChannels{0};
    std::atomic<std::uint16_t> m_drawable{0};
    std::atomic<std::uint16_t> m_hidden{0};
    std::atomic<std::uint16_t> m_videoLoss{0};
    std::atomic<std::uint16_t> m_dirty{0};
    std::atomic<bool> m_osdEnabled{true};
    std::atomic<bool> m_planar{false};
    std::atomic<int> m_ptzState{0};
    std::atomic<int> m_ptzChannel{-1};
    std::atomic<int> m_speedCode{1};
    std::atomic<bool> m_soundDevice{true};
    std::array<std::atomic<int>, kChannelCount> m_frameCounts{};
    std::array<std::atomic<int>, kChannelCount> m_framesPerSecond{};
    // Counts of the last four half-second steps (GUI thread), and when each channel's first
    // picture after 2 idle seconds was counted (-1: none yet; set by its decode thread, reset by
    // the GUI thread).
    static constexpr int kRateSteps = 4;
    std::array<std::array<int, kRateSteps>, kChannelCount> m_rateCounts{};
    std::array<std::atomic<std::int64_t>, kChannelCount> m_rateStartMs{};
    int m_rateStep = 0;
    std::function<std::int64_t()> m_rateClock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };

    mutable std::mutex m_geometryLock;
    std::array<QRect, kChannelCount> m_channelRects; // guarded by m_geometryLock
    std::uint16_t m_visibleChannels = 0;             // guarded by m_geometryLock

    QImage m_idleLogo; // GUI thread
    QImage m_videoLossPicture;

    // Mouse and full screen, GUI thread.
    CellDragDrop m_drag;
    CellZoom m_zoom;
    bool m_ptzMouseControl = false;
    FullScreenMode m_fullScreen;

    QTimer* m_frameRateTimer = nullptr;
    // Display-paced repaints of new pictures, GUI thread.
    QTimer* m_flushTimer = nullptr;
    std::chrono::steady_clock::time_point m_lastFlush;

    // Paint statistics for a benchmark (KALDER_VIDEO_STATS), else null.
    std::unique_ptr<VideoPaintStats> m_stats;
    QString m_statsFile;
};

} // namespace kalder
