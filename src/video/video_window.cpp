#include "video/video_window.h"

#include "resources/resource_library.h"
#include "video/full_screen_bar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLPaintDevice>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>

namespace kalder {

namespace {

constexpr int kFrameRatePeriodMs = 2000;
const QColor kDragFrameColour(150, 80, 80);

std::uint16_t bit(unsigned channel) {
    return static_cast<std::uint16_t>(1u << channel);
}

// A picture file of the working folder, else of the program's folder.
QImage cellPictureFile(const QString& name) {
    QImage image(QDir::current().filePath(name));
    if (image.isNull())
        image.load(QDir(QCoreApplication::applicationDirPath()).filePath(name));
    return image;
}

} // namespace

VideoWindow::VideoWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);

    m_fontHeight = overlayFontHeight(kOverlayFontPoints);
    m_titleFont = font();
    m_overlayFont = font();
    m_overlayFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                               QStringLiteral("DejaVu Sans")});
    m_overlayFont.setPixelSize(-m_fontHeight);
    m_overlayFont.setWeight(QFont::Bold);

    {
        // The marks' icons, mask and image of each; the overlays draw the images.
        IconPictureSet icons;
        const IconPictures pairs[] = {kPauseIcon,     kPlayIcon,    kReverseIcon, kAudioIcons[0],
                                      kAudioIcons[1], kPtzIcons[0], kPtzIcons[1]};
        for (const IconPictures& pair : pairs) {
            icons[pair.maskId] = resourcePicture(pair.maskId);
            icons[pair.imageId] = resourcePicture(pair.imageId);
        }
        m_icons = std::move(icons);
    }
    m_idleLogo = cellPictureFile(QStringLiteral("ComMark.bmp"));
    m_videoLossPicture = cellPictureFile(QStringLiteral("VdoLoss.bmp"));

    m_dragImage = new QLabel(this);
    m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragImage->hide();

    m_frameRateTimer = new QTimer(this);
    m_frameRateTimer->setInterval(kFrameRatePeriodMs);
    connect(m_frameRateTimer, &QTimer::timeout, this, &VideoWindow::updateFrameRates);
    m_frameRateTimer->start();

    layOut(QRect(53, 72, 815, 548), 1, QColor(150, 150, 150));
}

VideoWindow::~VideoWindow() = default;

QRect VideoWindow::toQRect(const CellRect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

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
    update();
    if (m_glSurface)
        m_glSurface->update();
}

void VideoWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_glSurface)
        m_glSurface->setGeometry(rect());
    m_layout.setArea(width(), height(), m_layout.border());
    invalidateCells();
    publishGeometry();
}

void VideoWindow::selectLayout(int layoutCells) {
    m_layout.selectLayout(layoutCells, m_present.load());
    afterViewChange();
}

void VideoWindow::showChannel(int channel) {
    if (m_layout.showChannel(channel, m_present.load()))
        afterViewChange();
}

void VideoWindow::afterViewChange(bool announce) {
    m_drawable.store(0);
    invalidateCells();
    publishGeometry();
    refresh();
    if (announce)
        emit visibleChannelsChanged(m_layout.visibleChannelMask());
}

void VideoWindow::resetArrangement() {
    {
        // Every channel's lock, in channel order: no cell is drawn half-way through the change.
        std::array<std::unique_lock<std::mutex>, kChannelCount> locks;
        for (unsigned ch = 0; ch < kChannelCount; ++ch)
            locks[ch] = std::unique_lock(m_pictures.lock(ch));
        m_layout.resetArrangement();
        for (Channel& channel : m_channels)
            channel.cellValid = false;
    }
    publishGeometry();
    refresh();
}

void VideoWindow::toggleOverlays() {
    m_osdEnabled.store(!m_osdEnabled.load());
    invalidateCells();
    refresh();
}

void VideoWindow::setAccelerated(bool on) {
    m_planar.store(on);
    chooseSurface();
    invalidateCells();
    refresh();
}

void VideoWindow::chooseSurface() {
    if (m_planar.load() && !m_glProbed) {
        m_glProbed = true;
        m_glWorks = GlVideoSurface::probe();
        if (!m_glWorks)
            qInfo("video window: no usable OpenGL, planar pictures are drawn in software");
    }
    const bool wanted = m_planar.load() && m_glWorks;
    if (wanted && !m_glSurface) {
        m_glSurface = new GlVideoSurface(*this, this);
        // The window below takes the mouse: drag, double-click and the full-screen bar.
        m_glSurface->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_glSurface->setGeometry(rect());
        m_glSurface->show();
        m_dragImage->raise();
        m_newPictures.store(0xFFFF);
        m_gl.store(true);
    } else if (!wanted && m_glSurface) {
        m_gl.store(false);
        m_glSurface->hide();
        m_glSurface->deleteLater();
        m_glSurface = nullptr;
    }
}

void VideoWindow::surfaceFailed() {
    // The surface's context or shader could not be set up after all: software from now on.
    m_glWorks = false;
    chooseSurface();
    invalidateCells();
    refresh();
}

QRect VideoWindow::cellPictureSource(const QImage& picture) const {
    // The planar path leaves out the pictures' frame: 12 pixels at the left, top and right and
    // 8 at the bottom.
    const QRect whole = picture.rect();
    if (!m_gl.load() || whole.width() <= 24 || whole.height() <= 20)
        return whole;
    return whole.adjusted(12, 12, -12, -8);
}

void VideoWindow::startStream(StreamKind kind, int channelCount) {
    m_mode.store(kind);
    m_pictures.forgetDecoded();
    setPresentChannels(0, true);
    m_layout.setPageTable(channelCount);
    m_layout.resetTo(layoutForChannelCount(channelCount));
    afterViewChange(false);
}

void VideoWindow::stopStream() {
    m_mode.store(StreamKind::Idle);
    setPresentChannels(0, true);
    m_layout.restorePageTable();
    m_layout.resetTo(16);
    afterViewChange(false);
}

bool VideoWindow::setPresentChannels(std::uint16_t mask, bool resetArrangement) {
    const bool changed = m_present.exchange(mask) != mask;
    m_drawable.store(mask);
    if (resetArrangement && mask == 0)
        this->resetArrangement();
    else
        refresh();
    return changed;
}

void VideoWindow::setCellPictures(const QImage& idleLogo, const QImage& videoLoss) {
    m_idleLogo = idleLogo;
    m_videoLossPicture = videoLoss;
    refresh();
}

void VideoWindow::setOverlayIcons(IconPictureSet icons) {
    std::lock_guard lock(m_overlayLock);
    m_icons = std::move(icons);
}

void VideoWindow::updateFrameRates() {
    for (Channel& channel : m_channels)
        channel.framesPerSecond.store((channel.frameCount.exchange(0) + 1) / 2);
}

int VideoWindow::framesPerSecond(unsigned channel) const {
    return channel < kChannelCount ? m_channels[channel].framesPerSecond.load() : 0;
}

void VideoWindow::invalidateCells() {
    for (unsigned ch = 0; ch < kChannelCount; ++ch) {
        std::lock_guard lock(m_pictures.lock(ch));
        m_channels[ch].cellValid = false;
    }
}

void VideoWindow::publishGeometry() {
    std::array<QRect, kChannelCount> rects;
    for (unsigned ch = 0; ch < kChannelCount; ++ch)
        rects[ch] = toQRect(m_layout.cellRect(m_layout.cellOfChannel(static_cast<int>(ch))));
    std::lock_guard lock(m_geometryLock);
    m_channelRects = rects;
    m_visibleChannels = m_layout.visibleChannelMask();
}

void VideoWindow::flushDirtyChannels() {
    const std::uint16_t dirty = m_dirty.exchange(0);
    if (m_glSurface) {
        // The surface redraws as a whole: one frame for any number of new pictures.
        if (dirty != 0)
            m_glSurface->update();
        return;
    }
    for (unsigned ch = 0; ch < kChannelCount; ++ch) {
        if (!(dirty & bit(ch)))
            continue;
        const int cell = m_layout.cellOfChannel(static_cast<int>(ch));
        if (m_layout.cellVisible(cell))
            update(toQRect(m_layout.cellRect(cell)));
    }
}

// ---- painting ------------------------------------------------------------------------------

void VideoWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), m_background);
    if (m_glSurface)
        return; // the surface covers the window
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!m_layout.cellVisible(cell))
            continue;
        const QRect rect = toQRect(m_layout.cellRect(cell));
        if (rect.intersects(event->rect()))
            paintCell(painter, cell, rect);
    }
    paintEmptyPositions(painter);
}

void VideoWindow::paintEmptyPositions(QPainter& painter) {
    if (m_idleLogo.isNull())
        return;
    for (int position : m_layout.emptyPositions()) {
        painter.drawImage(toQRect(m_layout.positionRect(position)), m_idleLogo,
                          cellPictureSource(m_idleLogo));
    }
}

VideoWindow::CellContent VideoWindow::cellContent(unsigned ch) const {
    const bool live = m_mode.load() == StreamKind::Live;
    const bool hidden = (m_hidden.load() & bit(ch)) != 0;
    if (m_drawable.load() & bit(ch)) {
        if (live && hidden)
            return CellContent::Covert;
        return m_pictures.decoded(ch) ? CellContent::Picture : CellContent::Idle;
    }
    if (live && (m_videoLoss.load() & bit(ch)))
        return CellContent::VideoLoss;
    if (live && hidden)
        return CellContent::Covert;
    return CellContent::Idle;
}

void VideoWindow::paintCell(QPainter& painter, int cell, const QRect& rect) {
    const unsigned ch = static_cast<unsigned>(m_layout.cellChannel(cell));
    CellContent content = cellContent(ch);
    Channel& channel = m_channels[ch];
    std::lock_guard lock(m_pictures.lock(ch));
    if (content == CellContent::Picture) {
        if ((channel.cellValid && channel.cellSize == rect.size()) || renderCell(ch, rect.size())) {
            painter.drawImage(rect.topLeft(), channel.cellImage, QRect(QPoint(), rect.size()));
            return;
        }
        content = CellContent::Idle;
    }
    paintCellPicture(painter, content, ch, rect);
}

void VideoWindow::paintCellPicture(QPainter& painter, CellContent content, unsigned ch,
                                   const QRect& rect) {
    const QImage& picture = content == CellContent::Idle ? m_idleLogo : m_videoLossPicture;
    if (!picture.isNull())
        painter.drawImage(rect, picture, cellPictureSource(picture));
    if (content == CellContent::VideoLoss) {
        std::lock_guard overlayLock(m_overlayLock);
        paintOverlayPlan(painter,
                         planVideoLossOverlay(m_osdEnabled.load(), static_cast<int>(ch),
                                              rect.left(), rect.top()),
                         m_overlayFont, m_icons);
    }
}

void VideoWindow::paintSurface(GlVideoSurface& surface) {
    surface.clear(m_background);
    // Pictures first, straight through OpenGL; each channel's textures are filled again only
    // when its decode thread has drawn a new picture since the last frame.
    std::uint16_t pictureCells = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!m_layout.cellVisible(cell))
            continue;
        const unsigned ch = static_cast<unsigned>(m_layout.cellChannel(cell));
        if (cellContent(ch) != CellContent::Picture)
            continue;
        std::lock_guard lock(m_pictures.lock(ch));
        const PictureStore::Size size = m_pictures.size(ch);
        if ((m_newPictures.load() & bit(ch)) ||
            !surface.holdsPicture(ch, size.width, size.height)) {
            m_newPictures.fetch_and(static_cast<std::uint16_t>(~bit(ch)));
            if (!surface.upload(ch, m_pictures.buffer(ch), size.width, size.height))
                continue;
        }
        surface.drawPicture(ch, toQRect(m_layout.cellRect(cell)));
        pictureCells |= bit(static_cast<unsigned>(cell));
    }

    // Then the overlays and the other cells' pictures, painted into the surface's frame buffer
    // (painting to the widget itself would be redirected away from it while it is grabbed).
    QOpenGLPaintDevice device(surface.size() * surface.devicePixelRatio());
    device.setDevicePixelRatio(surface.devicePixelRatio());
    QPainter painter(&device);
    const bool osd = m_osdEnabled.load();
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!m_layout.cellVisible(cell))
            continue;
        const unsigned ch = static_cast<unsigned>(m_layout.cellChannel(cell));
        const QRect rect = toQRect(m_layout.cellRect(cell));
        if (pictureCells & bit(static_cast<unsigned>(cell))) {
            if (!osd)
                continue;
            painter.save();
            painter.setClipRect(rect);
            painter.translate(rect.topLeft());
            paintOverlays(painter, ch, rect.size());
            painter.restore();
            continue;
        }
        CellContent content = cellContent(ch);
        if (content == CellContent::Picture)
            content = CellContent::Idle; // a picture that could not be drawn
        std::lock_guard lock(m_pictures.lock(ch));
        paintCellPicture(painter, content, ch, rect);
    }
    paintEmptyPositions(painter);
}

bool VideoWindow::renderCell(unsigned ch, QSize size) {
    Channel& channel = m_channels[ch];
    const PictureStore::Size picture = m_pictures.size(ch);
    if (!channel.renderer.render(m_pictures.buffer(ch), picture.width, picture.height,
                                 m_planar.load(), size, channel.cellImage))
        return false;
    if (m_osdEnabled.load()) {
        QPainter painter(&channel.cellImage);
        paintOverlays(painter, ch, size);
    }
    channel.cellSize = size;
    channel.cellValid = true;
    return true;
}

void VideoWindow::paintOverlays(QPainter& painter, unsigned ch, QSize size) {
    CellOverlayFacts facts;
    facts.osdEnabled = true;
    facts.mode = m_mode.load();
    facts.channel = static_cast<int>(ch);
    facts.width = size.width();
    facts.height = size.height();
    facts.fontHeight = m_fontHeight;
    facts.soundDevice = m_soundDevice.load();
    facts.ptzState = m_ptzState.load();
    facts.ptzChannel = m_ptzChannel.load();
    facts.speedCode = m_speedCode.load();
    std::lock_guard lock(m_overlayLock);
    paintOverlayPlan(painter, planCellOverlay(facts, m_overlays[ch]), m_overlayFont, m_icons);
}

// ---- mouse ---------------------------------------------------------------------------------

void VideoWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_ptzMouseControl)
        return;
    const QPoint point = event->position().toPoint();
    m_dragSourceCell = m_layout.cellAt(point.x(), point.y(), m_present.load());
    if (m_dragSourceCell < 0) {
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    if (m_layout.layout() == 1)
        return;
    const QRect rect = toQRect(m_layout.cellRect(m_dragSourceCell));
    QPixmap image(rect.size());
    image.fill(m_background);
    {
        QPainter painter(&image);
        const QRect inner = rect.adjusted(1, 1, -1, -1);
        painter.drawPixmap(QPoint(1, 1), grab(inner));
        painter.setPen(QPen(kDragFrameColour, 4));
        painter.drawRect(QRect(QPoint(0, 0), rect.size()).adjusted(2, 2, -2, -2));
    }
    m_dragImage->setPixmap(image);
    m_dragImage->setGeometry(rect);
    m_dragHotSpot = point - rect.topLeft();
    m_dragging = true;
    setCursor(Qt::ClosedHandCursor);
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_fullScreen && m_bar && m_bar->isHidden() &&
        fullScreenBarRect(m_screenRect).contains(event->globalPosition().toPoint()))
        m_bar->showForAWhile();
    if (!m_dragging)
        return;
    if (m_dragImage->isHidden()) {
        m_dragImage->show();
        m_dragImage->raise();
    }
    m_dragImage->move(event->position().toPoint() - m_dragHotSpot);
}

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    unsetCursor();
    if (!m_dragging)
        return;
    const QPoint centre = m_dragImage->geometry().center();
    endDrag();
    const int target = m_layout.cellAt(centre.x(), centre.y(), m_present.load());
    if (target < 0 || target == m_dragSourceCell)
        return;
    {
        std::array<std::unique_lock<std::mutex>, kChannelCount> locks;
        for (unsigned ch = 0; ch < kChannelCount; ++ch)
            locks[ch] = std::unique_lock(m_pictures.lock(ch));
        m_layout.swapCells(m_dragSourceCell, target);
        for (Channel& channel : m_channels)
            channel.cellValid = false;
    }
    publishGeometry();
    refresh();
}

void VideoWindow::endDrag() {
    m_dragging = false;
    m_dragImage->hide();
    m_dragImage->clear();
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_ptzMouseControl)
        return;
    endDrag();
    if (m_layout.toggleZoom(m_dragSourceCell, m_present.load()))
        afterViewChange();
}

// ---- full screen ---------------------------------------------------------------------------

int VideoWindow::monitorFor(const QList<QRect>& workAreas, const QPoint& point) {
    for (qsizetype i = 0; i < workAreas.size(); ++i) {
        if (workAreas[i].contains(point))
            return static_cast<int>(i);
    }
    return workAreas.isEmpty() ? -1 : 0;
}

void VideoWindow::enterFullScreen(const QRect& screenRect) {
    if (m_fullScreen)
        return;
    m_savedRect = geometry();
    m_savedParent = parentWidget();
    hide();
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    m_screenRect = screenRect;
    m_bar = new FullScreenBar(screenRect, this);
    connect(m_bar, &FullScreenBar::command, this, [this](int id) {
        const int index = id - FullScreenBar::kFirstButtonId;
        if (index >= 0 && index < kLayoutCount)
            selectLayout(kLayoutCells[static_cast<std::size_t>(index)]);
        else
            leaveFullScreen();
    });
    m_fullScreen = true;
    setMouseTracking(true);
    layOut(screenRect, m_layout.border(), m_background);
    show();
    activateWindow();
    setFocus();
}

void VideoWindow::leaveFullScreen() {
    if (!m_fullScreen)
        return;
    m_fullScreen = false;
    setMouseTracking(false);
    if (m_bar) {
        m_bar->hide();
        m_bar->deleteLater();
        m_bar = nullptr;
    }
    hide();
    setParent(m_savedParent, Qt::Widget);
    layOut(m_savedRect, m_layout.border(), m_background);
    show();
    emit fullScreenLeft();
}

void VideoWindow::keyReleaseEvent(QKeyEvent* event) {
    const int key = event->key();
    if (m_fullScreen && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        leaveFullScreen();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void VideoWindow::closeEvent(QCloseEvent* event) {
    // A full-screen window is closed only by leaving full screen (Alt+F4 does nothing).
    if (m_fullScreen)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

// ---- any thread ----------------------------------------------------------------------------

void VideoWindow::setVideoLossMask(std::uint16_t mask) {
    if (m_videoLoss.exchange(mask) != mask)
        QMetaObject::invokeMethod(this, &VideoWindow::refresh, Qt::QueuedConnection);
}

void VideoWindow::setHiddenChannels(std::uint16_t mask) {
    if (m_hidden.exchange(mask) != mask)
        QMetaObject::invokeMethod(this, &VideoWindow::refresh, Qt::QueuedConnection);
}

void VideoWindow::setPtzMark(int state, int channel) {
    m_ptzState.store(state);
    m_ptzChannel.store(channel);
}

void VideoWindow::setSpeedCode(int code) {
    m_speedCode.store(code);
}

void VideoWindow::setSoundDevice(bool present) {
    m_soundDevice.store(present);
}

// ---- overlays (decode threads) ---------------------------------------------------------------

void VideoWindow::composeOverlay(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                                 std::string_view modeLabel, const AudioFacts& audio) {
    if (facts.channel >= kChannelCount)
        return;
    Channel& channel = m_channels[facts.channel];
    OverlayComposer::Picture picture;
    picture.mode = facts.kind;
    picture.channel = static_cast<int>(facts.channel);
    picture.width = facts.width;
    picture.height = facts.height;
    picture.title = facts.kind == StreamKind::Live ? tableTitle : facts.title;
    picture.modeLabel = modeLabel;
    picture.framesPerSecond = channel.framesPerSecond.load();
    picture.cellWidth = facts.cell.width;
    picture.charWidth = overlayCharWidth(m_fontHeight);
    picture.audio = audio;
    // The overlay lock also guards the fonts: titles are measured under it.
    std::lock_guard lock(m_overlayLock);
    m_overlays[facts.channel] = channel.composer.compose(picture, [this](std::string_view text) {
        const QFontMetrics metrics(m_titleFont);
        return metrics.horizontalAdvance(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    });
}

void VideoWindow::forgetOverlayTitles() {
    for (Channel& channel : m_channels)
        channel.composer.forgetTitle();
}

void VideoWindow::clearAudioMark(unsigned channel) {
    if (channel >= kChannelCount)
        return;
    std::lock_guard lock(m_overlayLock);
    m_overlays[channel].audioMark = -1;
}

ChannelOverlay VideoWindow::overlay(unsigned channel) const {
    std::lock_guard lock(m_overlayLock);
    return channel < kChannelCount ? m_overlays[channel] : ChannelOverlay{};
}

int VideoWindow::titleWidth(std::string_view title) const {
    std::lock_guard lock(m_overlayLock);
    const QFontMetrics metrics(m_titleFont);
    return metrics.horizontalAdvance(
        QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())));
}

// ---- PictureTarget (decode threads) ----------------------------------------------------------

void VideoWindow::pictureCleared(unsigned channel) {
    channel %= kChannelCount;
    m_channels[channel].cellValid = false;
    m_newPictures.fetch_or(bit(channel));
}

void VideoWindow::drawChannel(unsigned channel) {
    channel %= kChannelCount;
    // A channel that delivers pictures is present and drawable.
    m_present.fetch_or(bit(channel));
    m_drawable.fetch_or(bit(channel));
    QRect rect;
    {
        std::lock_guard lock(m_geometryLock);
        if (!(m_visibleChannels & bit(channel)))
            return;
        rect = m_channelRects[channel];
    }
    if (rect.isEmpty())
        return;
    if (m_gl.load()) {
        // The GUI thread uploads the picture with its next frame.
        m_newPictures.fetch_or(bit(channel));
    } else if (!renderCell(channel, rect.size())) {
        return;
    }
    // One queued wake-up for any number of pictures drawn before the GUI thread gets to it.
    if (m_dirty.fetch_or(bit(channel)) == 0)
        QMetaObject::invokeMethod(this, &VideoWindow::flushDirtyChannels, Qt::QueuedConnection);
}

CellSize VideoWindow::cellSize(unsigned channel) const {
    std::lock_guard lock(m_geometryLock);
    const QRect& rect = m_channelRects[channel % kChannelCount];
    return {rect.width(), rect.height()};
}

void VideoWindow::countFrame(unsigned channel) {
    m_channels[channel % kChannelCount].frameCount.fetch_add(1);
}

} // namespace kalder
