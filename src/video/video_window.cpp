#include "video/video_window.h"

#include "video/full_screen_bar.h"
#include "video/gl_video_surface.h"
#include "video/video_trace.h"
#include "resources/resource_library.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace kalder {

namespace {

// Frame rates are updated every half second.
constexpr int kFrameRateStepMs = 500;

// A picture file of the working folder, else of the program's folder (or an installed copy's).
QImage cellPictureFile(const QString& name) {
    QImage image(QDir::current().filePath(name));
    if (image.isNull())
        image.load(QDir(programFileFolder(name)).filePath(name));
    return image;
}

// A live channel shown without a new picture for this long says so in its cell.
constexpr std::int64_t kStalledAfterMs = 2000;

std::int64_t stallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

VideoWindow::VideoWindow(QWidget* parent)
    : QWidget(parent), m_feed(font()), m_softwarePainter(m_feed, *this, *this),
      m_glPainter(m_feed, *this, *this, [this] { openGlFailed(); }), m_drag(*this),
      m_fullScreen(*this) {
    m_feed.setPainter(&m_softwarePainter);
    // The feed's rings: new pictures drawn into cells, or a change of what the cells show.
    connect(&m_feed.doorbell(), &FeedDoorbell::picturesDrawn, this,
            &VideoWindow::flushDirtyChannels);
    connect(&m_feed.doorbell(), &FeedDoorbell::sceneChanged, this, &VideoWindow::refresh);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(tr("Video"));
    m_idleLogo = cellPictureFile(QStringLiteral("ComMark.bmp"));
    m_videoLossPicture = cellPictureFile(QStringLiteral("VdoLoss.bmp"));

    m_frameRateTimer = new QTimer(this);
    m_frameRateTimer->setInterval(kFrameRateStepMs);
    connect(m_frameRateTimer, &QTimer::timeout, this, &VideoWindow::updateFrameRates);
    connect(m_frameRateTimer, &QTimer::timeout, this, &VideoWindow::checkStalledCells);
    m_frameRateTimer->start();

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setTimerType(Qt::PreciseTimer);
    connect(m_flushTimer, &QTimer::timeout, this, &VideoWindow::flushDirtyChannels);

    m_statsFile = VideoPaintStats::fileFromEnvironment();
    if (!m_statsFile.isEmpty()) {
        m_feed.setStats(std::make_unique<VideoPaintStats>());
        auto* statsTimer = new QTimer(this);
        statsTimer->setInterval(1000);
        connect(statsTimer, &QTimer::timeout, this, [this] { m_feed.stats()->write(m_statsFile); });
        statsTimer->start();
    }

    m_recorderChannels.fill(kRecorderChannels);
    layOut(QRect(53, 72, 815, 548), 1, QColor(150, 150, 150));
}

VideoWindow::~VideoWindow() = default;

// ---- GUI thread ----------------------------------------------------------------------------

void VideoWindow::layOut(const QRect& rect, int border, const QColor& background) {
    m_background = background;
    m_layout.setArea(rect.width(), rect.height(), border);
    setGeometry(rect);
    invalidateCells();
    publishGeometry();
    refresh();
}

void VideoWindow::refresh() {
    m_feed.painter()->repaint();
}

void VideoWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_glPainter.resized();
    m_layout.setArea(width(), height(), m_layout.border());
    invalidateCells();
    publishGeometry();
}

// The recorder streams only the channels of the visible cells, so the channels that stream now
// cannot tell which pages have something to show: a page is skipped only when none of its cells
// shows a channel the stream carries.
void VideoWindow::selectLayout(int layoutCells) {
    m_layout.selectLayout(layoutCells, pageChannels());
    afterViewChange();
}

void VideoWindow::restoreView(const VideoLayout::Arrangement& arrangement) {
    m_layout.restoreArrangement(arrangement);
    afterViewChange();
}

void VideoWindow::showChannel(int channel) {
    if (m_layout.showSource({0, channel}, pageChannels()))
        afterViewChange();
}

bool VideoWindow::setSiteSources(std::span<const CellSource> sources) {
    bool installed = false;
    m_feed.changeCells([&] { installed = m_layout.setSources(sources); });
    if (installed)
        afterViewChange();
    return installed;
}

void VideoWindow::installSiteSources() {
    std::vector<CellSource> sources;
    for (int recorder = 0; recorder < m_siteRecorders; ++recorder) {
        for (int channel = 0; channel < m_recorderChannels[static_cast<std::size_t>(recorder)];
             ++channel)
            sources.push_back({recorder, channel});
    }
    if (sources.empty())
        sources.push_back({0, 0});
    setSiteSources(sources);
    if (siteMode())
        m_layout.setPageTable(static_cast<int>(sources.size()));
}

void VideoWindow::setSiteArrangement(const VideoLayout::Arrangement& arrangement) {
    m_siteArrangement = arrangement;
    putSiteArrangementBack();
}

void VideoWindow::putSiteArrangementBack() {
    if (!m_siteArrangement || !m_layout.showsInstalledSources(*m_siteArrangement))
        return;
    m_layout.restoreArrangement(*m_siteArrangement);
    m_siteArrangement.reset();
    afterViewChange();
}

void VideoWindow::setSiteRecorders(int count) {
    m_siteArrangement.reset();
    m_playingInSite = false;
    setFocusedCell(-1); // a cell of the recorders before
    count = std::clamp(count, 1, kMaxRecorders);
    m_siteRecorders = count;
    m_recorderChannels.fill(kRecorderChannels);
    m_recorderNotices.fill(QString());
    stopStream();
    installSiteSources();
}

void VideoWindow::setRecorderChannelCount(int recorder, int channels) {
    if (recorder < 0 || recorder >= m_siteRecorders || m_playingInSite)
        return;
    channels = std::clamp(channels, 1, kRecorderChannels);
    int& held = m_recorderChannels[static_cast<std::size_t>(recorder)];
    if (held == channels)
        return;
    held = channels;
    installSiteSources();
}

void VideoWindow::startRecorderStream(int recorder, int channelCount) {
    // While a player has the window, its recorder's slots are the player's.
    if (recorder < 0 || recorder >= m_siteRecorders ||
        (m_playingInSite && recorder == m_playingRecorder))
        return;
    const int count = std::clamp(channelCount, 0, kRecorderChannels);
    m_feed.pictures().forgetDecoded(recorderSlots(recorder));
    setPresentChannels(0, false, recorder);
    m_feed.setStreamChannels(static_cast<std::uint16_t>((1u << count) - 1), recorder);
    if (m_playingInSite) {
        // Its cells come back with the site's when the player ends.
        m_recorderChannels[static_cast<std::size_t>(recorder)] = std::max(count, 1);
        return;
    }
    if (count > 0)
        setRecorderChannelCount(recorder, count);
    if (m_feed.mode() != StreamKind::Live) {
        m_feed.setMode(StreamKind::Live);
        // The site's sources are every channel of each recorder.
        const int total = m_layout.cellCount();
        m_layout.setPageTable(total);
        m_layout.resetTo(layoutForChannelCount(total));
        afterViewChange(false);
    } else {
        refresh();
    }
    putSiteArrangementBack();
}

void VideoWindow::stopRecorderStream(int recorder) {
    if (recorder < 0 || recorder >= m_siteRecorders ||
        (m_playingInSite && recorder == m_playingRecorder))
        return;
    m_feed.setStreamChannels(0, recorder);
    m_feed.setVideoLossMask(0, recorder);
    m_feed.setHiddenChannels(0, recorder);
    setPresentChannels(0, false, recorder);
    // The last recorder's live view ends the window's.
    if (m_feed.streamSlots() == 0 && m_feed.presentSlots() == 0 &&
        m_feed.mode() == StreamKind::Live) {
        m_feed.setMode(StreamKind::Idle);
        refresh();
    }
}

ChannelMasks VideoWindow::siteChannelMasks(SlotMask slotMask) const {
    ChannelMasks masks = kEveryChannel;
    for (int recorder = 0; recorder < m_siteRecorders; ++recorder)
        masks[static_cast<std::size_t>(recorder)] = recorderChannels(slotMask, recorder);
    return masks;
}

void VideoWindow::afterViewChange(bool announce) {
    m_watchSinceMs = stallClockMs();
    // Another layout or page: the zooms were of the cells seen before.
    m_cellZooms.fill(CellViewZoom{});
    m_panCell = -1;
    describeView();
    m_feed.setDrawableSlots(0);
    invalidateCells();
    publishGeometry();
    refresh();
    if (announce) {
        emit visibleChannelsChanged(m_layout.visibleChannelMask());
        emit siteChannelsChanged();
    }
}

// What a screen reader says of the window: the layout, the page and the channels shown.
void VideoWindow::describeView() {
    const int cells = m_layout.layout();
    const int pages = m_layout.pageCount(cells);
    QStringList recorders;
    const ChannelMasks masks = m_layout.visibleChannelMasks();
    for (int recorder = 0; recorder < m_siteRecorders; ++recorder) {
        QStringList channels;
        const std::uint16_t mask = masks[static_cast<std::size_t>(recorder)];
        for (unsigned ch = 0; ch < kChannelCount; ++ch)
            if (mask & channelBit(ch))
                channels << QString::number(ch + 1);
        const QString list = channels.join(QStringLiteral(", "));
        if (!siteMode())
            recorders << tr("channels %1").arg(list);
        else if (!channels.isEmpty())
            recorders << tr("recorder %1 channels %2").arg(recorder + 1).arg(list);
    }
    QString description = tr("%1 cells, page %2 of %3, %4")
                              .arg(cells)
                              .arg(m_layout.page() + 1)
                              .arg(std::max(pages, 1))
                              .arg(recorders.join(QStringLiteral("; ")));
    if (m_layout.cellVisible(m_focusedCell)) {
        const CellSource focused = m_layout.cellSource(m_focusedCell);
        description += siteMode() ? tr(", focus on recorder %1 channel %2")
                                        .arg(focused.recorder + 1)
                                        .arg(focused.channel + 1)
                                  : tr(", focus on channel %1").arg(focused.channel + 1);
        const double zoom = digitalZoom(m_focusedCell);
        if (zoom > kMinCellZoom)
            description += tr(" zoomed %1 times").arg(zoom, 0, 'f', 1);
    }
    setAccessibleDescription(description);
}

void VideoWindow::changeCells(const std::function<void()>& change) {
    m_feed.changeCells(change);
    publishGeometry();
    refresh();
}

void VideoWindow::resetArrangement() {
    changeCells([this] { m_layout.resetArrangement(); });
}

void VideoWindow::toggleOverlays() {
    m_feed.setOverlaysOn(!m_feed.overlaysOn());
    invalidateCells();
    refresh();
}

void VideoWindow::setAccelerated(bool on) {
    m_feed.setPlanar(on);
    choosePainter();
    invalidateCells();
    refresh();
}

void VideoWindow::choosePainter() {
    if (m_feed.planarPictures() && !m_glProbed) {
        m_glProbed = true;
        QString renderer;
        m_glWorks = GlVideoSurface::probe(&renderer);
        if (!m_glWorks) {
            qCInfo(lcVideo,
                   "video window: no usable OpenGL, planar pictures are drawn in software");
        } else if (GlVideoSurface::isSoftwareRenderer(renderer) &&
                   !qEnvironmentVariableIsSet("KALDER_FORCE_OPENGL")) {
            // A CPU rasteriser: the software painter draws the same pictures for less. The
            // drawing mode stays planar; only the painter differs.
            m_glWorks = false;
            qCInfo(lcVideo,
                   "video window: OpenGL renders on the CPU (%s), planar pictures are drawn in "
                   "software",
                   qPrintable(renderer));
        }
    }
    const bool wanted = m_feed.planarPictures() && m_glWorks;
    if (wanted && !drawsWithOpenGl()) {
        m_glPainter.start();
        m_drag.raise();
        m_feed.setPainter(&m_glPainter);
    } else if (!wanted && drawsWithOpenGl()) {
        m_feed.setPainter(&m_softwarePainter);
        m_glPainter.stop();
    }
}

void VideoWindow::openGlFailed() {
    // The surface's context or shader could not be set up after all: software from now on.
    m_glWorks = false;
    choosePainter();
    invalidateCells();
    refresh();
}

QRect VideoWindow::cellPictureSource(const QImage& picture) const {
    // The planar path leaves out the pictures' frame: 12 pixels at the left, top and right and
    // 8 at the bottom.
    const QRect whole = picture.rect();
    if (!drawsWithOpenGl() || whole.width() <= 24 || whole.height() <= 20)
        return whole;
    return whole.adjusted(12, 12, -12, -8);
}

void VideoWindow::startStream(StreamKind kind, int channelCount, int recorder) {
    recorder = std::clamp(recorder, 0, m_siteRecorders - 1);
    if (siteMode() && kind != StreamKind::Live && !m_playingInSite) {
        // A player takes a site's window: it plays into its recorder's slots, and the cells show
        // those alone, as a single recorder's window does, until the player ends.
        m_playingInSite = true;
        m_playingRecorder = recorder;
        std::array<CellSource, kRecorderChannels> own;
        for (int channel = 0; channel < kRecorderChannels; ++channel)
            own[static_cast<std::size_t>(channel)] = {recorder, channel};
        m_feed.changeCells([&] { m_layout.setSources(own); });
    }
    if (m_playingInSite)
        recorder = m_playingRecorder;
    m_feed.setMode(kind);
    m_feed.pictures().forgetDecoded();
    setPresentChannels(0, true, recorder);
    const int count = std::clamp(channelCount, 0, static_cast<int>(kChannelCount));
    m_feed.setStreamChannels(static_cast<std::uint16_t>((1u << count) - 1), recorder);
    m_layout.setPageTable(channelCount);
    m_layout.resetTo(layoutForChannelCount(channelCount));
    afterViewChange(false);
}

void VideoWindow::stopStream() {
    const int recorder = m_playingInSite ? m_playingRecorder : 0;
    m_feed.setMode(StreamKind::Idle);
    m_feed.setStreamChannels(0, recorder);
    setPresentChannels(0, true, recorder);
    m_layout.restorePageTable();
    m_layout.resetTo(16);
    afterViewChange(false);
    // The player is done: the site's cells come back, for its live view to start again in.
    if (std::exchange(m_playingInSite, false))
        installSiteSources();
}

bool VideoWindow::setPresentChannels(std::uint16_t mask, bool resetArrangement, int recorder) {
    const bool changed = m_feed.setPresent(mask, recorder) != mask;
    m_feed.setDrawable(mask, recorder);
    if (resetArrangement && mask == 0)
        this->resetArrangement();
    else
        refresh();
    return changed;
}

void VideoWindow::setStreamChannels(std::uint16_t mask, int recorder) {
    m_feed.setStreamChannels(mask, recorder);
}

void VideoWindow::setCellPictures(const QImage& idleLogo, const QImage& videoLoss) {
    m_idleLogo = idleLogo;
    m_videoLossPicture = videoLoss;
    refresh();
}

void VideoWindow::invalidateCells() {
    m_feed.invalidateCells();
}

void VideoWindow::publishGeometry() {
    std::array<QRect, kSlotCount> rects;
    for (unsigned slot = 0; slot < kSlotCount; ++slot) {
        const int cell = m_layout.cellOfSlot(slot);
        rects[slot] = cell >= 0 ? toQRect(m_layout.cellRect(cell)) : QRect();
    }
    m_feed.publishGeometry(rects, m_layout.visibleSlots());
    publishZooms();
}

void VideoWindow::publishZooms() {
    std::array<CellViewZoom, kSlotCount> zooms{};
    for (int cell = 0; cell < kMaxCells; ++cell) {
        CellViewZoom& zoom = m_cellZooms[static_cast<std::size_t>(cell)];
        const int slot = m_layout.cellSlot(cell);
        if (zoom.zoomed() && m_zoomChannels[static_cast<std::size_t>(cell)] != slot)
            zoom = CellViewZoom{};
        if (zoom.zoomed() && m_layout.cellVisible(cell) && slot >= 0)
            zooms[static_cast<std::size_t>(slot)] = zoom;
    }
    m_feed.publishZooms(zooms);
}

void VideoWindow::flushDirtyChannels() {
    // The screen's refresh rate, kept within 50-120 Hz: a virtual screen may report anything,
    // and at 50 Hz or more every picture of a 30-frame/s stream lives through a repaint.
    const QScreen* display = screen();
    const double hertz = std::clamp(display ? display->refreshRate() : 60.0, 50.0, 120.0);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / hertz));
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastFlush < period) {
        // The dirty bits stay set, so decode threads post nothing more until the refresh.
        if (!m_flushTimer->isActive()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(period - (now - m_lastFlush));
            m_flushTimer->start(static_cast<int>(wait.count()));
        }
        return;
    }
    m_lastFlush = now;
    const SlotMask dirty = m_feed.takeDirty();
    notePictures(dirty);
    m_feed.painter()->repaintChannels(dirty);
}

// ---- painting ------------------------------------------------------------------------------

void VideoWindow::paintEvent(QPaintEvent* event) {
    const auto begin = VideoPaintStats::Clock::now();
    // The cells that show a picture cover their rectangles; the background is filled around
    // them only. Filling the whole exposed rectangle first wrote most pixels twice, and Qt
    // splits a fill that tall over its thread pool, waking two threads at every repaint.
    SlotMask shown = 0;
    QRegion background = event->region();
    const bool software = !drawsWithOpenGl();
    for (int cell = 0; software && cell < kMaxCells; ++cell) {
        if (!m_layout.cellVisible(cell) || m_layout.cellSlot(cell) < 0)
            continue;
        const QRect rect = toQRect(m_layout.cellRect(cell));
        if (!event->region().intersects(rect))
            continue;
        const auto ch = static_cast<unsigned>(m_layout.cellSlot(cell));
        if (m_feed.cellContent(ch) == CellContent::Picture) {
            shown |= slotBit(ch);
            background -= rect;
        }
    }
    {
        QPainter painter(this);
        for (const QRect& rect : background)
            painter.fillRect(rect, m_background);
        m_feed.painter()->paint(painter, event->region());
    }
    if (VideoPaintStats* stats = m_feed.stats(); stats && software) {
        const auto end = VideoPaintStats::Clock::now();
        stats->painted(shown, end, end - begin);
    }
}

// ---- cell notices --------------------------------------------------------------------------

void VideoWindow::setConnectionNotice(const QString& text) {
    if (text == m_connectionNotice)
        return;
    m_connectionNotice = text;
    m_stalled = 0;
    m_watchSinceMs = stallClockMs();
    refresh();
}

void VideoWindow::setRecorderNotice(int recorder, const QString& text) {
    if (recorder < 0 || recorder >= kMaxRecorders)
        return;
    QString& held = m_recorderNotices[static_cast<std::size_t>(recorder)];
    if (text == held)
        return;
    held = text;
    m_stalled &= ~recorderSlots(recorder);
    refresh();
}

QString VideoWindow::cellNotice(unsigned slot) const {
    if (slot >= kSlotCount)
        return {};
    const QDateTime& time = m_pictureTime[slot];
    const QString clock = time.isValid() ? time.toString(QStringLiteral("hh:mm:ss")) : QString();
    const QString& notice = m_connectionNotice.isEmpty()
                                ? m_recorderNotices[static_cast<std::size_t>(recorderOfSlot(slot))]
                                : m_connectionNotice;
    if (!notice.isEmpty())
        return clock.isEmpty() ? notice
                               : notice + QLatin1Char('\n') + tr("Picture of %1").arg(clock);
    if (m_stalled & slotBit(slot))
        return tr("No picture since %1").arg(clock);
    return {};
}

QString VideoWindow::cellNoticeAt(int cell) const {
    const int slot = m_layout.cellSlot(cell);
    return slot < 0 ? QString() : cellNotice(static_cast<unsigned>(slot));
}

void VideoWindow::notePictures(SlotMask slotMask) {
    if (slotMask == 0)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const std::int64_t nowMs = stallClockMs();
    for (unsigned slot = 0; slot < kSlotCount; ++slot) {
        if (!(slotMask & slotBit(slot)))
            continue;
        m_pictureTime[slot] = now;
        m_pictureSteadyMs[slot] = nowMs;
    }
    if (m_stalled & slotMask) {
        m_stalled &= ~slotMask;
        refresh();
    }
}

void VideoWindow::checkStalledCells() {
    SlotMask stalled = 0;
    if (m_feed.mode() == StreamKind::Live && m_connectionNotice.isEmpty()) {
        const std::int64_t nowMs = stallClockMs();
        const SlotMask shown = m_layout.visibleSlots();
        for (unsigned slot = 0; slot < kSlotCount; ++slot) {
            if (!(shown & slotBit(slot)) || m_feed.cellContent(slot) != CellContent::Picture ||
                !m_pictureTime[slot].isValid() ||
                !m_recorderNotices[static_cast<std::size_t>(recorderOfSlot(slot))].isEmpty())
                continue;
            if (nowMs - std::max(m_pictureSteadyMs[slot], m_watchSinceMs) > kStalledAfterMs)
                stalled |= slotBit(slot);
        }
    }
    if (stalled != m_stalled) {
        m_stalled = stalled;
        refresh();
    }
}

void VideoWindow::paintCellNotice(QPainter& painter, unsigned channel, const QRect& rect) {
    paintCellMarks(painter, m_layout.cellOfSlot(channel), rect);
    const QString text = cellNotice(channel);
    if (text.isEmpty())
        return;
    painter.save();
    painter.setClipRect(rect);
    // The text on a dark band: centred over the dimmed picture while reconnecting, at the
    // bottom of the cell for a silent channel.
    const bool reconnecting =
        !m_connectionNotice.isEmpty() ||
        !m_recorderNotices[static_cast<std::size_t>(recorderOfSlot(channel % kSlotCount))]
             .isEmpty();
    if (reconnecting)
        painter.fillRect(rect, QColor(0, 0, 0, 150)); // the last picture, dimmed
    const int lines = reconnecting ? 3 : 2;
    const int height = std::min(rect.height(), painter.fontMetrics().height() * lines);
    const int top = reconnecting ? rect.center().y() - height / 2 : rect.bottom() - height + 1;
    const QRect band(rect.left(), top, rect.width(), height);
    painter.fillRect(band, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(band.adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
}

// The focus frame and, in a zoomed cell, the zoom factor in its top right corner; both are
// drawn over the picture with the cell, on either painter.
void VideoWindow::paintCellMarks(QPainter& painter, int cell, const QRect& rect) const {
    const double zoom = digitalZoom(cell);
    const bool focused = cell >= 0 && cell == m_focusedCell;
    if (!focused && zoom <= kMinCellZoom)
        return;
    painter.save();
    painter.setClipRect(rect);
    if (zoom > kMinCellZoom) {
        const QString text = QString::number(zoom, 'f', 1) + QChar(0x00D7);
        const QFontMetrics metrics = painter.fontMetrics();
        QRect mark(0, 0, metrics.horizontalAdvance(text) + 8, metrics.height() + 2);
        mark.moveTopRight(rect.topRight() + QPoint(-4, 4));
        painter.fillRect(mark, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(mark, Qt::AlignCenter, text);
    }
    if (focused) {
        // A 2-pixel frame along the cell's edges, as four fills: a stroked rectangle costs the
        // raster engine several times more for the same pixels.
        const QColor frame(255, 196, 0);
        const int w = rect.width();
        const int h = rect.height();
        painter.fillRect(QRect(rect.left(), rect.top(), w, 2), frame);
        painter.fillRect(QRect(rect.left(), rect.bottom() - 1, w, 2), frame);
        painter.fillRect(QRect(rect.left(), rect.top() + 2, 2, std::max(h - 4, 0)), frame);
        painter.fillRect(QRect(rect.right() - 1, rect.top() + 2, 2, std::max(h - 4, 0)), frame);
    }
    painter.restore();
}

void VideoWindow::paintEmptyPositions(QPainter& painter) {
    if (m_idleLogo.isNull())
        return;
    for (int position : m_layout.emptyPositions()) {
        painter.drawImage(toQRect(m_layout.positionRect(position)), m_idleLogo,
                          cellPictureSource(m_idleLogo));
    }
}

void VideoWindow::paintCellPicture(QPainter& painter, CellContent content, unsigned ch,
                                   const QRect& rect) const {
    const QImage& picture = content == CellContent::Idle ? m_idleLogo : m_videoLossPicture;
    if (!picture.isNull())
        painter.drawImage(rect, picture, cellPictureSource(picture));
    else
        painter.fillRect(rect, m_background); // a picture cell that could not be drawn
    if (content == CellContent::VideoLoss)
        m_feed.overlays().paintVideoLoss(painter, m_feed.overlaysOn(),
                                         static_cast<unsigned>(channelOfSlot(ch)), rect.left(),
                                         rect.top());
}

// ---- mouse ---------------------------------------------------------------------------------

void VideoWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        if (const int clicked = cellAtPoint(point); clicked >= 0)
            setFocusedCell(clicked);
    }
    if (event->button() != Qt::LeftButton || m_ptzMouseControl)
        return;
    const int cell = m_layout.cellAt(point.x(), point.y(), presentMasks());
    m_zoom.pressed(cell);
    if (cell < 0) {
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    // A zoomed cell is panned by dragging; an unzoomed one is dragged onto another cell.
    if (digitalZoom(cell) > kMinCellZoom) {
        m_panCell = cell;
        m_panFrom = point;
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (m_layout.layout() == 1)
        return;
    const QRect rect = toQRect(m_layout.cellRect(cell));
    m_drag.start(cell, rect, grab(rect.adjusted(1, 1, -1, -1)), point, m_background);
    setCursor(Qt::ClosedHandCursor);
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) {
    m_fullScreen.mouseMoved(event->globalPosition().toPoint());
    if (m_panCell >= 0 && (event->buttons() & Qt::LeftButton)) {
        const QPoint point = event->position().toPoint();
        const QRect rect = toQRect(m_layout.cellRect(m_panCell));
        const QPoint moved = point - m_panFrom;
        m_panFrom = point;
        if (!rect.isEmpty())
            setCellViewZoom(m_panCell, pannedZoom(cellViewZoom(m_panCell),
                                                  static_cast<double>(moved.x()) / rect.width(),
                                                  static_cast<double>(moved.y()) / rect.height()));
        return;
    }
    m_drag.move(event->position().toPoint());
}

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    unsetCursor();
    m_panCell = -1;
    if (!m_drag.dragging())
        return;
    const int source = m_drag.sourceCell();
    const QPoint centre = m_drag.finish();
    const int target = m_layout.cellAt(centre.x(), centre.y(), presentMasks());
    // The PTZ panel drives recorder 0's cameras.
    if (target >= 0 && target == source && m_layout.cellSource(source).recorder == 0)
        emit channelDroppedOnItself(m_layout.cellChannel(source));
    if (target < 0 || target == source)
        return;
    changeCells([&] { m_layout.swapCells(source, target); });
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_ptzMouseControl)
        return;
    m_drag.cancel();
    m_panCell = -1;
    if (m_zoom.toggle(m_layout, pageChannels()))
        afterViewChange();
}

void VideoWindow::wheelEvent(QWheelEvent* event) {
    const QPoint point = event->position().toPoint();
    const int cell = m_layout.cellAt(point.x(), point.y(), presentMasks());
    const QRect rect = cell >= 0 ? toQRect(m_layout.cellRect(cell)) : QRect();
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (rect.isEmpty() || delta == 0) {
        event->ignore();
        return;
    }
    // The picture point under the mouse stays under it.
    const double x = (point.x() - rect.left() + 0.5) / rect.width();
    const double y = (point.y() - rect.top() + 0.5) / rect.height();
    setCellViewZoom(cell, wheelZoom(cellViewZoom(cell), delta, x, y));
    event->accept();
}

void VideoWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key opens the focused cell's menu at its centre; the mouse the menu of the cell
    // under it.
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    const int cell = keyboard ? m_focusedCell : cellAtPoint(event->pos());
    if (cell < 0 || !m_layout.cellVisible(cell)) {
        event->ignore();
        return;
    }
    if (!keyboard)
        setFocusedCell(cell);
    const QPoint global =
        keyboard ? mapToGlobal(toQRect(m_layout.cellRect(cell)).center()) : event->globalPos();
    emit cellMenuRequested(cell, m_layout.cellChannel(cell), global);
    event->accept();
}

// ---- focus and digital zoom ----------------------------------------------------------------

int VideoWindow::cellAtPoint(const QPoint& point) const {
    return m_layout.cellAt(point.x(), point.y(), kEveryChannel);
}

void VideoWindow::setFocusedCell(int cell) {
    if (cell < -1 || cell >= kMaxCells)
        cell = -1;
    if (cell == m_focusedCell)
        return;
    m_focusedCell = cell;
    describeView();
    refresh();
    emit focusedCellChanged(cell);
}

void VideoWindow::moveCellFocus(int dx, int dy) {
    dx = std::clamp(dx, -1, 1);
    dy = std::clamp(dy, -1, 1);
    const int from = m_layout.cellVisible(m_focusedCell) ? m_focusedCell : -1;
    if (from < 0) {
        for (int cell = 0; cell < kMaxCells; ++cell) {
            if (m_layout.cellVisible(cell)) {
                setFocusedCell(cell);
                return;
            }
        }
        return;
    }
    // The nearest cell whose centre lies that way; a cell off the line counts as farther.
    const QPoint origin = toQRect(m_layout.cellRect(from)).center();
    int best = -1;
    long long bestScore = 0;
    for (int cell = 0; cell < kMaxCells; ++cell) {
        if (cell == from || !m_layout.cellVisible(cell))
            continue;
        const QPoint offset = toQRect(m_layout.cellRect(cell)).center() - origin;
        const long long along = static_cast<long long>(offset.x()) * dx + offset.y() * dy;
        if (along <= 0)
            continue;
        const long long across = dx != 0 && dy != 0 ? std::abs(offset.x() * dy - offset.y() * dx)
                                                    : std::abs(dx != 0 ? offset.y() : offset.x());
        const long long score = along + 2 * across;
        if (best < 0 || score < bestScore) {
            best = cell;
            bestScore = score;
        }
    }
    if (best >= 0)
        setFocusedCell(best);
}

double VideoWindow::digitalZoom(int cell) const {
    return cellViewZoom(cell).factor;
}

CellViewZoom VideoWindow::cellViewZoom(int cell) const {
    if (cell < 0 || cell >= kMaxCells)
        return {};
    return m_cellZooms[static_cast<std::size_t>(cell)];
}

void VideoWindow::setCellViewZoom(int cell, const CellViewZoom& zoom) {
    if (cell < 0 || cell >= kMaxCells)
        return;
    CellViewZoom clamped = clampedZoom(zoom);
    if (!clamped.zoomed())
        clamped = CellViewZoom{};
    auto& held = m_cellZooms[static_cast<std::size_t>(cell)];
    if (held == clamped)
        return;
    held = clamped;
    m_zoomChannels[static_cast<std::size_t>(cell)] = m_layout.cellSlot(cell);
    publishZooms();
    if (cell == m_focusedCell)
        describeView();
    // Only this cell is drawn again, from the picture it holds (a paused picture too).
    const int slot = m_layout.cellSlot(cell);
    if (m_layout.cellVisible(cell) && slot >= 0)
        m_feed.painter()->repaintChannels(slotBit(static_cast<unsigned>(slot)));
}

void VideoWindow::resetDigitalZoom(int cell) {
    if (cell >= 0) {
        setCellViewZoom(cell, CellViewZoom{});
        return;
    }
    for (int each = 0; each < kMaxCells; ++each)
        setCellViewZoom(each, CellViewZoom{});
}

QImage VideoWindow::cellViewImage(int cell) const {
    if (!m_layout.cellVisible(cell) || m_layout.cellSlot(cell) < 0)
        return {};
    const QRect rect = toQRect(m_layout.cellRect(cell));
    if (rect.isEmpty())
        return {};
    const auto ch = static_cast<unsigned>(m_layout.cellSlot(cell));
    QImage image(rect.size(), QImage::Format_RGB32);
    image.fill(m_background);
    const CellContent content = m_feed.cellContent(ch);
    // Drawn here in software as either painter shows it: the same crop, zoom and overlays.
    const PictureStore& pictures = m_feed.pictures();
    std::lock_guard lock(pictures.lock(ch));
    bool drawn = false;
    if (content == CellContent::Picture) {
        const PictureStore::Size size = pictures.size(ch);
        const bool planarDrawing = m_feed.planarPictures();
        const bool planarBytes = pictures.planar(ch).value_or(planarDrawing);
        CellRenderer renderer;
        QImage scaled;
        const CellViewZoom zoom = cellViewZoom(cell);
        drawn = planarBytes && !planarDrawing
                    ? renderer.renderPlanarAsRgb(pictures.buffer(ch), size.width, size.height,
                                                 rect.size(), scaled, zoom)
                    : renderer.render(pictures.buffer(ch), size.width, size.height, planarBytes,
                                      rect.size(), scaled, zoom);
        if (drawn)
            image = scaled.copy(QRect(QPoint(), rect.size()));
    }
    QPainter painter(&image);
    if (!drawn) {
        paintCellPicture(painter, content == CellContent::Picture ? CellContent::Idle : content, ch,
                         image.rect());
    } else if (m_feed.overlaysOn()) {
        m_feed.paintOverlays(painter, ch, rect.size());
    }
    return image;
}

// ---- full screen ---------------------------------------------------------------------------

void VideoWindow::enterFullScreen(const QRect& screenRect) {
    m_fullScreen.enter(screenRect);
}

void VideoWindow::leaveFullScreen() {
    if (m_fullScreen.leave())
        emit fullScreenLeft();
}

void VideoWindow::keyReleaseEvent(QKeyEvent* event) {
    const int key = event->key();
    if (m_fullScreen.active() &&
        (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        leaveFullScreen();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void VideoWindow::hideEvent(QHideEvent* event) {
    m_feed.setUnseen(true);
    QWidget::hideEvent(event);
}

void VideoWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The cells drew nothing while unseen: every one is drawn anew from the store.
    m_feed.setUnseen(false);
    invalidateCells();
    refresh();
}

void VideoWindow::closeEvent(QCloseEvent* event) {
    // A full-screen window is closed only by leaving full screen (Alt+F4 does nothing).
    if (m_fullScreen.active())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

} // namespace kalder
