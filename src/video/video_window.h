#pragma once

#include "decode/decode_host.h"
#include "video/cell_drag_drop.h"
#include "video/cell_renderer.h"
#include "video/cell_zoom.h"
#include "video/full_screen_mode.h"
#include "video/gl_video_painter.h"
#include "video/overlay_store.h"
#include "video/overlay_text.h"
#include "video/software_video_painter.h"
#include "video/video_feed.h"
#include "video/video_layout.h"
#include "video/video_scene.h"

#include <QDateTime>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

class QContextMenuEvent;
class QKeyEvent;
class QWheelEvent;
class QCloseEvent;
class QTimer;

namespace kalder {

class FullScreenBar;
class GlVideoSurface;

// The multi-screen video window: the cells of the current layout, each channel's newest
// picture scaled into its cell with its overlays, the idle logo, video-loss and covert pictures
// elsewhere; drag and drop of cells, double-click zoom, full screen. A painter draws it, in
// software or (planar pictures where OpenGL works) through an OpenGL surface covering the
// window.
//
// Threads: every function of the window runs on the GUI thread. Other threads reach only its
// feed (feed()): the decode threads decode into the feed's picture store, compose overlays
// there and ring its doorbell; the window pulls what changed when it rings. The owner stops
// every decode thread before it destroys the window.
class VideoWindow : public QWidget, private VideoScene {
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
    // The site's channels in order (recorder 0's, then recorder 1's, ...) that the cells and
    // pages walk; one recorder's sixteen channels by default. Every cell shows its own source
    // again and the view starts at the first page. Each source is drawn from its slot of the
    // feed (feed_slots.h). False, and nothing changes, for a list the layout refuses
    // (VideoLayout::setSources).
    bool setSiteSources(std::span<const CellSource> sources);
    // The recorders of the site shown (1-4; 1, the default, is a single recorder's connect):
    // the cells walk every channel of each, sixteen until its live view says how many it has
    // (setRecorderChannelCount). Every recorder's stream ends and the view starts afresh.
    void setSiteRecorders(int count);
    // The arrangement a site was left in: put back as soon as the site's sources are those it
    // shows (the recorders' channel counts are known once they are connected), then forgotten.
    // setSiteRecorders forgets one that never fitted.
    void setSiteArrangement(const VideoLayout::Arrangement& arrangement);
    int siteRecorders() const { return m_siteRecorders; }
    // The channels the recorder has; the site's sources change when the count does.
    void setRecorderChannelCount(int recorder, int channels);
    // One recorder's live view of a site starts or stops; the others' cells are left alone. The
    // first to start switches the window to live view, at the layout for the site's channels.
    // A player started in a site's window (startStream of a playback) shows the channels of the
    // recorder it plays from alone until stopStream, which gives the window back to the site;
    // meanwhile that recorder's live view neither starts nor stops and the others' go on
    // unseen.
    void startRecorderStream(int recorder, int channelCount);
    void stopRecorderStream(int recorder);
    // The operator's layout, page and cell arrangement; restoring it announces the channels
    // shown (visibleChannelsChanged).
    VideoLayout::Arrangement viewArrangement() const { return m_layout.arrangement(); }
    void restoreView(const VideoLayout::Arrangement& arrangement);
    // While a lost connection is being got back every cell keeps its last picture, dimmed,
    // with `text` and the time of that picture; an empty text ends it.
    void setConnectionNotice(const QString& text);
    // The same for the cells of one recorder of a site, while the others play on.
    void setRecorderNotice(int recorder, const QString& text);
    // What the cell of a slot (a channel of recorder 0 is its own slot) says over its picture:
    // the connection notice, "No picture since hh:mm:ss" for a live channel without a picture
    // for 2 s, or nothing.
    QString cellNotice(unsigned slot) const;
    // What cell `cell` says, as cellNotice; nothing for an empty or unknown cell.
    QString cellNoticeAt(int cell) const;
    // Live channels of recorder 0 shown that have sent no picture for 2 s.
    std::uint16_t stalledChannels() const { return recorderChannels(m_stalled, 0); }
    void toggleOverlays();
    bool osdEnabled() const { return m_feed.overlaysOn(); }
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
    bool drawsWithOpenGl() const { return m_feed.painter() == &m_glPainter; }
    // The OpenGL surface while it draws, else null.
    GlVideoSurface* glSurface() const { return m_glPainter.surface(); }

    // Streams: live view or a player starts with the recorder's or recording's channel count.
    // The stream's starter makes its own request, so these do not announce the new mask. A
    // player plays from `recorder` of a site (its decoders draw into that recorder's slots).
    void startStream(StreamKind kind, int channelCount, int recorder = 0);
    void stopStream();
    StreamKind mode() const { return m_feed.mode(); }
    // Sets the present and drawable channels of a recorder (recorder 0 by default); with
    // `resetArrangement` and an empty mask the cells show their own channels again. True when
    // the mask changed.
    bool setPresentChannels(std::uint16_t mask, bool resetArrangement, int recorder = 0);
    // Channels the stream carries, shown or not: the recorder's channels in live view, the
    // channels asked for in a playback. startStream sets the recorder's or recording's first
    // `channelCount` channels; a player may narrow them.
    void setStreamChannels(std::uint16_t mask, int recorder = 0);
    std::uint16_t streamChannels(int recorder = 0) const { return m_feed.streamChannels(recorder); }

    // The channels of a recorder (recorder 0 by default) that the visible cells show.
    std::uint16_t visibleChannelMask(int recorder = 0) const {
        return m_layout.visibleChannelMasks()[static_cast<std::size_t>(
            std::clamp(recorder, 0, kMaxRecorders - 1))];
    }
    const VideoLayout& layoutModel() const { return m_layout; }
    std::uint16_t presentChannels() const { return m_feed.present(); }
    std::uint16_t drawableChannels() const { return m_feed.drawable(); }
    std::uint16_t decodedChannels() const { return m_feed.pictures().decodedChannels(); }
    // What the decode threads and every other thread write to: the pictures, the overlays, the
    // masks and marks. The window pulls from it.
    VideoFeed& feed() { return m_feed; }
    const VideoFeed& feed() const { return m_feed; }

    // Idle logo and video-loss picture (the latter also stands for covert channels).
    void setCellPictures(const QImage& idleLogo, const QImage& videoLoss);
    void setOverlayIcons(IconPictureSet icons) { m_feed.overlays().setIcons(std::move(icons)); }

    // Frame rates, every half second: the pictures of the last 2 seconds per second of the
    // time they cover, rounded up.
    void updateFrameRates() { m_feed.updateFrameRates(); }
    // The steady clock (milliseconds) the rates are measured on; tests set their own before any
    // picture is counted.
    void setFrameRateClock(std::function<std::int64_t()> nowMs) {
        m_feed.setFrameRateClock(std::move(nowMs));
    }
    int framesPerSecond(unsigned channel) const { return m_feed.framesPerSecond(channel); }
    ChannelOverlay overlay(unsigned channel) const { return m_feed.overlays().overlay(channel); }
    // Width of a title in the window's default font.
    int titleWidth(std::string_view title) const { return m_feed.overlays().titleWidth(title); }

    // The focused cell (-1: none): a click in a cell focuses it; it is drawn with a thin frame.
    int focusedCell() const { return m_focusedCell; }
    void setFocusedCell(int cell);
    // Moves the focus to the nearest visible cell in the direction (dx, dy), each -1..1, of the
    // layout; without a focused cell the first visible cell takes it.
    void moveCellFocus(int dx, int dy);
    // The visible cell under a point of the window, whatever it shows (-1: none).
    int cellAtPoint(const QPoint& point) const;
    // Digital zoom of a cell: 1.0 .. 8.0; resetting a cell (-1: every cell) shows it whole.
    double digitalZoom(int cell) const;
    void resetDigitalZoom(int cell = -1);
    // The cell's whole zoom state (1x when out of range); setting it clamps it. A zoom belongs
    // to a cell position and the channel it shows: a change of layout or page, or of the cell's
    // channel, resets it.
    CellViewZoom cellViewZoom(int cell) const;
    void setCellViewZoom(int cell, const CellViewZoom& zoom);
    // What the cell shows now, at the cell's size: the picture as zoomed, with its overlays
    // (without the focus frame and the zoom mark). A null image for a cell not shown.
    QImage cellViewImage(int cell) const;

signals:
    // The layout, page or selection changed: the owner sends the live request with the mask or
    // tells the player.
    void visibleChannelsChanged(quint16 mask);
    // The cells shown changed, of whichever recorder of a site: each recorder's live view asks
    // for its visibleChannelMask(recorder).
    void siteChannelsChanged();
    // Full screen ended: the owner shows the main window again.
    void fullScreenLeft();
    // A cell was dragged and dropped back onto itself: the owner may take its channel (the PTZ
    // panel makes it the PTZ channel).
    void channelDroppedOnItself(int channel);
    // The right button (or the Menu key on the focused cell) over a cell: the owner shows the
    // cell's menu at `globalPos`. `channel` is the channel the cell shows.
    void cellMenuRequested(int cell, int channel, QPoint globalPos);
    // The focused cell changed (the owner may follow it, e.g. with the audio).
    void focusedCellChanged(int cell);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Hidden or minimized (the window system sends a spontaneous hide to every child of a
    // minimized window): the decoders decode key frames only and nothing is drawn.
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // GUI thread.
    // `announce`: tell the owner of the new visible-channel mask.
    void afterViewChange(bool announce = true);
    void paintCellNotice(QPainter& painter, unsigned channel, const QRect& rect) override;
    // GUI thread: the channels whose new pictures the window pulled, and the half-second
    // check for live channels that fell silent.
    void notePictures(SlotMask slotMask);
    void checkStalledCells();
    void describeView();
    void publishGeometry();
    // Publishes each channel's zoom for the painters; a cell whose channel changed since it was
    // zoomed loses its zoom first.
    void publishZooms();
    void paintCellMarks(QPainter& painter, int cell, const QRect& rect) const;
    // Repaints the whole window, or the OpenGL surface over it.
    void refresh();
    void invalidateCells();
    // Runs `change` while no decode thread draws a cell (VideoFeed::changeCells), so that no
    // cell is drawn half-way through it; every cell is drawn again afterwards.
    void changeCells(const std::function<void()>& change);
    // Repaints the cells of the channels with new pictures, at most once per display refresh:
    // a call sooner than that after the last repaint waits for the refresh.
    void flushDirtyChannels();
    // Chooses the OpenGL painter when planar drawing is on and OpenGL works, else software.
    void choosePainter();
    void openGlFailed();
    // Channels the pages, the channel buttons and the zoom may turn to: those the stream carries
    // and those that have sent pictures.
    ChannelMasks pageChannels() const {
        return siteChannelMasks(m_feed.presentSlots() | m_feed.streamSlots());
    }
    ChannelMasks presentMasks() const { return siteChannelMasks(m_feed.presentSlots()); }
    // The masks of the site's recorders in `slotMask`; recorders beyond the site count as
    // present (no cell shows them).
    ChannelMasks siteChannelMasks(SlotMask slotMask) const;
    // Installs every channel of each recorder of the site as the sources.
    void installSiteSources();
    void putSiteArrangementBack();
    bool siteMode() const { return m_siteRecorders > 1; }
    // Part of an idle, video-loss or covert picture stretched over a cell.
    QRect cellPictureSource(const QImage& picture) const;

    // VideoScene
    const VideoLayout& cellLayout() const override { return m_layout; }
    void paintCellPicture(QPainter& painter, CellContent content, unsigned channel,
                          const QRect& rect) const override;
    void paintEmptyPositions(QPainter& painter) override;

    VideoLayout m_layout; // GUI thread
    QColor m_background{150, 150, 150};
    VideoFeed m_feed;
    SoftwareVideoPainter m_softwarePainter;
    GlVideoPainter m_glPainter;
    bool m_glProbed = false; // GUI thread
    bool m_glWorks = false;

    QImage m_idleLogo; // GUI thread
    QImage m_videoLossPicture;

    // Mouse and full screen, GUI thread.
    CellDragDrop m_drag;
    CellZoom m_zoom;
    bool m_ptzMouseControl = false;
    int m_focusedCell = -1;
    // Digital zoom per cell position and the channel the cell showed when it was zoomed;
    // the cell being panned with the left button and where the mouse was.
    std::array<CellViewZoom, kMaxCells> m_cellZooms{};
    std::array<int, kMaxCells> m_zoomChannels{}; // the slot the cell showed
    int m_panCell = -1;
    QPoint m_panFrom;
    FullScreenMode m_fullScreen;

    QTimer* m_frameRateTimer = nullptr;
    // Display-paced repaints of new pictures, GUI thread.
    QTimer* m_flushTimer = nullptr;
    std::chrono::steady_clock::time_point m_lastFlush;

    // Where the paint statistics go (KALDER_VIDEO_STATS), else empty.
    QString m_statsFile;

    // Cell notices (GUI thread): when each channel's newest picture was pulled (wall clock for
    // the text, steady milliseconds for the silence), since when the shown channels are
    // watched (a layout, page or stream change), the stalled channels and the connection
    // notice.
    std::array<QDateTime, kSlotCount> m_pictureTime;
    std::array<std::int64_t, kSlotCount> m_pictureSteadyMs{};
    std::int64_t m_watchSinceMs = 0;
    SlotMask m_stalled = 0;
    QString m_connectionNotice;
    // A site's recorders, the channels each has, and each one's own notice (GUI thread).
    int m_siteRecorders = 1;
    std::array<int, kMaxRecorders> m_recorderChannels{};
    std::array<QString, kMaxRecorders> m_recorderNotices;
    std::optional<VideoLayout::Arrangement> m_siteArrangement; // waiting for its sources
    // A player (remote or local playback) has a site's window: its cells show recorder 0's
    // slots, which the player decodes into; the site's cells come back when it stops.
    bool m_playingInSite = false;
    int m_playingRecorder = 0; // the recorder the player plays from
};

} // namespace kalder
