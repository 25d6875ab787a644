#include "app/main_window.h"

#include "app/site_view.h"
#include "ptz/ptz_panel.h"

#include "app/main_window_controls.h"
#include "ui/clock_display.h"
#include "ui/notification_box.h"
#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "decode/decoder_init_error_event.h"
#include "video/video_window.h"
#include "video/window_exposure.h"
#include "files/local_log.h"
#include "connect/connect_dialog.h"
#include "session/recorder_session.h"
#include "post/post_to_window.h"
#include "session/window_message.h"
#include "search/search_window.h"
#include "search/backup_progress_window.h"
#include "ptz/ptz_controller.h"
#include "setup/setup_window.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <bit>
#include <filesystem>

namespace kalder {

namespace {

// The video window's place in the frame, its half-gap and background.
const QRect kVideoRect(53, 72, 815, 548);
constexpr int kVideoBorder = 1;
const QColor kVideoBackground(150, 150, 150);

// Pause after each activity the shutdown stops, so that the recorder sees the requests apart.
constexpr unsigned long kShutdownPauseMs = 100;

// Window messages of this client lie in this range (posted by the session and the decoders).
constexpr int kFirstWindowMessage = 21000;
constexpr int kLastWindowMessage = 21199;

// The corner zones whose key-coloured pixels are cut out of the window.
bool inCornerZone(int x, int y) {
    return (x < 54 || x > 868) && (y <= 50 || y > 641);
}

std::string toStd(const QString& text) {
    return text.toStdString();
}

} // namespace

MainWindow::MainWindow(MainWindowConfig config, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_store(*config.store),
      m_custom(config.custom), m_settings(config.settings), m_removableMode(config.removableMode),
      m_timeZoneOffsetSeconds(config.timeZoneOffsetSeconds), m_decoder(config.decoder),
      m_live(config.decoder, this), m_reconnectSchedule(config.reconnectSchedule),
      m_keepAliveStep(config.keepAliveStep) {
    setObjectName(QStringLiteral("mainWindow"));
    m_links.push_back(std::make_unique<RecorderLink>(0, static_cast<RecorderLinkHost&>(*this),
                                                     *this, m_reconnectSchedule, m_keepAliveStep));
    m_links.front()->setReconnectOn(m_settings.reconnect != 0);
    setFixedSize(kWidth, kHeight);
    setWindowTitle(m_custom.oemTitle);
    configureLocalLog({std::filesystem::path(toStd(m_settings.location)), m_removableMode,
                       m_timeZoneOffsetSeconds});

    connect(&m_live, &LiveViewController::layoutShown, this, &MainWindow::showLayoutPressed);
    m_audio = std::make_unique<MainWindowAudio>(
        config.soundOutput ? std::make_unique<MixerControl>() : nullptr);
    m_audio->setBufferMultiples(m_settings.audioBuf);
    loadSkin();
    applyWindowShape();
    m_playback = new PlaybackController(m_decoder, this);
    connect(m_playback, &PlaybackController::buttonsUpdated, this,
            [this](int highlight) { updatePlaybackButtons(highlight); });
    connect(m_playback, &PlaybackController::layoutShown, this,
            [this](int cells) { showLayoutPressed(cells); });
    connect(m_playback, &PlaybackController::searchResumeWanted, this,
            &MainWindow::openSearchWindow);
    m_local = new LocalPlaybackController(m_decoder, m_removableMode, this);
    m_local->setAudioFactory(m_audio->localPlaybackSound());
    connect(m_local, &LocalPlaybackController::notify, this, [this](int category, int detail) {
        showNotification({std::uint16_t(category), std::uint16_t(detail)});
    });
    connect(m_local, &LocalPlaybackController::searchWindowOpened, this,
            [this](LocalSearchWindow* window) { fillLocalLogTab(*window); });
    connect(m_local, &LocalPlaybackController::stopLiveRequested, this, [this] {
        for (const auto& link : m_links) // every recorder of a site
            if (link->session() && link->session()->live().liveOn())
                link->session()->live().stopLive();
        if (m_playback->active()) // one stream at a time in the video window
            m_playback->press(PlayControl::Stop);
    });
    connect(m_local, &LocalPlaybackController::layoutShown, this, &MainWindow::showLayoutPressed);
    createButtons();
    createSliders();
    m_local->setControls([this](int id) { return button(id); },
                         findChild<SkinSlider*>(QStringLiteral("slider420")));
    createVideoWindow();
    createDeviceControls();
    if (!m_removableMode)
        ensureDataSubfolder(m_settings.location, QStringLiteral("Upgrade"));
    m_clock = new ClockDisplay(ClockVariant::Main, this);
    m_clock->setDateOrder(dateOrderFromSetting(static_cast<int>(m_settings.dateFormat)));
    m_live.setDateFormat(static_cast<int>(m_settings.dateFormat));
    setUpMedia();
    setUpReconnect();
    setUpKeys();
    setUpRoutes();

    localLog(kLogKindProgram, kLogEventProgramStart);
    postToWindow(this, new WindowMessageEvent(kStartupFinished, 0, 0));

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (!m_removableMode) {
        if (config.siteAtStart && config.siteAtStart->recorders.size() > 1) {
            const SiteRequest site = *config.siteAtStart;
            QTimer::singleShot(0, this, [this, site] { connectToSite(site); });
        } else if (config.connectAtStart) {
            const ConnectRequest request = *config.connectAtStart;
            QTimer::singleShot(0, this, [this, request] { connectTo(request); });
        } else if (config.connectDialogAtStart) {
            QTimer::singleShot(0, this, &MainWindow::pressConnect);
        }
    }
}

MainWindow::~MainWindow() {
    shutdown();
    delete m_clock;
    m_clock = nullptr;
    localLog(kLogKindProgram, kLogEventProgramExit);
}

// ---- skin and frame -----------------------------------------------------------------------

void MainWindow::loadSkin() {
    for (int i = 0; i < res::kBackgroundTileCount; ++i)
        m_tiles[static_cast<std::size_t>(i)] = resourcePicture(res::kBackgroundTileFirst + i);
    // The site's logo from the working folder, else the one shipped with the program.
    const QString logo = QStringLiteral("LogoD.bmp");
    if (!m_logo.load(QDir::current().filePath(logo)))
        m_logo.load(QDir(programFileFolder(logo)).filePath(logo));
    // A bitmap has no transparency: the colour of its top-left pixel is taken as the background
    // and left out, so that the frame shows through around the logo.
    if (!m_logo.isNull()) {
        m_logo = m_logo.convertToFormat(QImage::Format_ARGB32);
        const QRgb background = m_logo.pixel(0, 0);
        for (int y = 0; y < m_logo.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_logo.scanLine(y));
            for (int x = 0; x < m_logo.width(); ++x)
                if (line[x] == background)
                    line[x] = qRgba(0, 0, 0, 0);
        }
    }
}

void MainWindow::applyWindowShape() {
    // Every key-coloured pixel of the corner zones is left out of the window's region, which
    // gives the frame its curved outline.
    QRegion region(0, 0, kWidth, kHeight);
    const QRgb key = 0xFF000000u | res::kFrameKeyColour;
    bool cut = false;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QImage& tile = m_tiles[static_cast<std::size_t>(row * 3 + col)];
            if (tile.isNull())
                continue;
            const int left = res::kBackgroundGridX[col];
            const int top = res::kBackgroundGridY[row];
            const QImage argb = tile.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < argb.height(); ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                int runStart = -1;
                for (int x = 0; x <= argb.width(); ++x) {
                    const bool keyed =
                        x < argb.width() && line[x] == key && inCornerZone(left + x, top + y);
                    if (keyed && runStart < 0) {
                        runStart = x;
                    } else if (!keyed && runStart >= 0) {
                        region -= QRegion(left + runStart, top + y, x - runStart, 1);
                        runStart = -1;
                        cut = true;
                    }
                }
            }
        }
    }
    if (cut)
        setMask(region);
    m_shapeApplied = cut;
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect cell(res::kBackgroundGridX[col], res::kBackgroundGridY[row],
                             res::kBackgroundGridX[col + 1] - res::kBackgroundGridX[col],
                             res::kBackgroundGridY[row + 1] - res::kBackgroundGridY[row]);
            const QImage& tile = m_tiles[static_cast<std::size_t>(row * 3 + col)];
            if (tile.isNull())
                painter.fillRect(cell, QColor(36, 52, 84));
            else
                painter.drawImage(cell.topLeft(), tile);
        }
    }
    // The logo sits in the top band, left of the buttons, scaled down to the band if larger.
    if (!m_logo.isNull()) {
        const QRect band = QRect(kLogoLeft, kLogoTop, kLogoMaxWidth, kLogoMaxHeight);
        const QSize size = m_logo.size().boundedTo(band.size());
        const QSize fitted = m_logo.size().scaled(size, Qt::KeepAspectRatio);
        painter.drawImage(QRect(band.topLeft(), fitted), m_logo);
    }
}

// A press on the frame that hits no control moves the window.
void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QWidget::mouseReleaseEvent(event);
}

// ---- video window -------------------------------------------------------------------------

void MainWindow::createVideoWindow() {
    m_videoWindow = new VideoWindow(this);
    m_videoWindow->setObjectName(QStringLiteral("videoWindow"));
    m_videoWindow->setAccelerated(m_settings.drawMode == 0);
    m_videoWindow->feed().setCheaperSmallCells(m_settings.fasterSmallCells != 0);
    m_videoWindow->feed().setSoundDevice(m_audio->soundDeviceAvailable());
    m_videoWindow->layOut(kVideoRect, kVideoBorder, kVideoBackground);
    new WindowExposureWatch(*this, *m_videoWindow); // covered like minimized: key frames only
    m_videoWindow->selectLayout(16);
    // Every change of the shown channels (buttons, double-click, pages, the full-screen bar)
    // lets the open PTZ panel choose its channel again; a cell dropped on itself names it.
    // The layout buttons follow every change, the full-screen bar's included.
    connect(m_videoWindow, &VideoWindow::visibleChannelsChanged, this, [this](quint16) {
        showLayoutPressed(m_videoWindow->layoutModel().layout());
        ptzShownChannelsChanged();
    });
    connect(m_videoWindow, &VideoWindow::channelDroppedOnItself, this, [this](int channel) {
        if (m_ptz)
            m_ptz->channelChosen(channel);
    });
    connect(m_videoWindow, &VideoWindow::fullScreenLeft, this, [this] {
        if (m_shuttingDown)
            return;
        show();
        raise();
        activateWindow();
    });
    // A window made again for a site shows its recorders before their live views start anew.
    if (inSite())
        m_videoWindow->setSiteRecorders(siteRecorderCount());
    m_live.setVideoWindow(m_videoWindow);
    for (const auto& live : m_siteLive)
        live->setVideoWindow(m_videoWindow);
    m_playback->setVideoWindow(m_videoWindow);
    m_local->setVideoWindow(m_videoWindow);
    connectCellMenu();
    m_videoWindow->show();
}

// Only while no decode thread draws into it.
void MainWindow::destroyVideoWindow() {
    if (m_videoWindow == nullptr)
        return;
    m_live.setVideoWindow(nullptr);
    for (const auto& live : m_siteLive)
        live->setVideoWindow(nullptr);
    m_playback->setVideoWindow(nullptr);
    m_local->setVideoWindow(nullptr);
    if (m_videoWindow->fullScreen())
        m_videoWindow->leaveFullScreen();
    delete m_videoWindow;
    m_videoWindow = nullptr;
}

// ---- posted window messages ---------------------------------------------------------------

bool MainWindow::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (event->type() == DecoderInitErrorEvent::eventType()) {
        // The error of a decoder of a session before the last one is dropped by its tag.
        if (!m_shuttingDown &&
            handlesGeneration(static_cast<DecoderInitErrorEvent*>(event)->generation())) {
            auto* box =
                new QMessageBox(QMessageBox::Critical, windowTitle(),
                                QString::fromLatin1(kDecoderInitErrorText), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        return true;
    }
    if (type >= kFirstWindowMessage && type <= kLastWindowMessage) {
        if (auto* message = dynamic_cast<WindowMessageEvent*>(event)) {
            // A late message of a session before the last one is dropped by its tag. The
            // further recorders of a site have live view only: what their sessions post about
            // the other features (which work on link 0's session) is dropped here.
            const RecorderLink* link = linkOf(message->generation());
            if (link && link->index() != m_featureIndex && !siteLinkMessage(message->message()))
                return true;
            if (handlesGeneration(message->generation())) {
                // A repeatable message lets the session post the next change before the state
                // is read, so that no change is missed.
                message->takeLatest();
                m_router.dispatch(*message);
            }
            return true;
        }
    }
    return QWidget::event(event);
}

RecorderLink* MainWindow::linkOf(std::uint64_t generation) const {
    for (const auto& link : m_links)
        if (link->accepts(generation))
            return link.get();
    return nullptr;
}

bool MainWindow::handlesGeneration(std::uint64_t generation) const {
    return generation == 0 || linkOf(generation) != nullptr;
}

bool MainWindow::siteLinkMessage(int message) {
    switch (message) {
    // The link's connection, login and tries.
    case WindowMessage::Notification:
    case WindowMessage::DropSession:
    case WindowMessage::ConnectFailed:
    case WindowMessage::LoggedIn:
    case WindowMessage::NotServed:
    // Its part of live view.
    case WindowMessage::LiveChannels:
    case WindowMessage::VideoWindowReset:
    case WindowMessage::HiddenChannelsChanged:
    case WindowMessage::ChannelTitlesChanged:
        return true;
    default:
        return false;
    }
}

RecorderLink& MainWindow::linkOfMessage(const WindowMessageEvent& message) const {
    RecorderLink* link = linkOf(message.generation());
    return link ? *link : firstLink();
}

bool MainWindow::anyLinkActive() const {
    for (const auto& link : m_links)
        if (link->session() || link->reconnecting())
            return true;
    return false;
}

LiveViewController& MainWindow::liveOf(const RecorderLink& link) {
    const int index = link.index();
    if (index <= 0 || index > static_cast<int>(m_siteLive.size()))
        return m_live;
    return *m_siteLive[static_cast<std::size_t>(index - 1)];
}

QString MainWindow::recorderName(const RecorderLink& link) const {
    const QString address = link.lastRequest()
                                ? QString::fromStdString(link.lastRequest()->typedAddress.empty()
                                                             ? link.lastRequest()->address
                                                             : link.lastRequest()->typedAddress)
                                : QString();
    return address.isEmpty() ? tr("Recorder %1").arg(link.index() + 1)
                             : tr("Recorder %1 (%2)").arg(link.index() + 1).arg(address);
}

// ---- notifications ------------------------------------------------------------------------

void MainWindow::showNotification(Notification notification, const QString& detail) {
    if (m_shuttingDown)
        return;
    if (reconnectNotification(featureLink(), notification))
        return;
    // The connection is gone: drop the session first, even while a box is open.
    if (notification.category == 2)
        dropSession();
    openNotificationBox(notification, detail);
}

void MainWindow::siteLinkNotification(RecorderLink& link, Notification notification) {
    if (m_shuttingDown || reconnectNotification(link, notification))
        return;
    // Only what is about the link itself (its connect, connection and login) is told; the
    // further recorders' other features do not run.
    if (notification.category > 3 && notification != kNoRight)
        return;
    if (notification.category == 2)
        link.close();
    openNotificationBox(notification, recorderName(link));
}

void MainWindow::openNotificationBox(Notification notification, const QString& detail) {
    if (m_notificationBox)
        return;
    const NotificationEntry* found = findNotificationEntry(notification);
    if (found == nullptr)
        return;
    NotificationEntry entry = *found;
    // No data while a playback started from the search window: the box offers to return to the
    // search (OK) or to leave it (Cancel).
    const bool offersResume =
        entry.searchResumeVariant && session() && session()->search().resumeContext().active;
    if (offersResume) {
        entry.lines = kSearchResumeLines;
        entry.buttons = NotificationButtons::OkCancel;
    }
    auto* box = new NotificationBox(entry, m_settings.opacityOf(OpacityKind::NotificationBox), this,
                                    detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_notificationBox = box;
    connect(box, &QDialog::finished, this, [this, box, offersResume](int result) {
        m_notificationBox = nullptr;
        if (result == QDialog::Accepted)
            runNotificationAction(*box);
        else if (offersResume && session())
            session()->search().forgetRecords();
    });
    box->open();
}

void MainWindow::runNotificationAction(const NotificationBox& box) {
    switch (box.entry().onOk) {
    case NotificationAction::None:
        return;
    case NotificationAction::ResendConfiguration:
        // The same bytes again; the working copy was kept for it.
        if (session() && session()->loggedIn())
            session()->setup().resendConfigUpdate();
        return;
    case NotificationAction::RestartAfterUpgrade:
        restartAfterUpgrade();
        return;
    case NotificationAction::ShowUpgradeWindow:
        showUpgradeWindow();
        return;
    case NotificationAction::ResetConfiguration:
        resetConfiguration();
        return;
    case NotificationAction::ReopenSearch:
        // As the RSearch button does (an open search window comes to the front).
        openSearchWindow();
        return;
    }
}

// ---- session ------------------------------------------------------------------------------

void MainWindow::pressConnect() {
    if (m_removableMode || m_shuttingDown)
        return;
    // While a lost connection is being got back, Connect gives it up (every recorder's of a
    // site, and the site with them).
    for (const auto& link : m_links) {
        if (link->reconnecting()) {
            cancelReconnect();
            return;
        }
    }
    for (const auto& link : m_links) {
        if (link->session()) {
            dropAllSessions();
            return;
        }
    }
    if (m_connectDialog) {
        m_connectDialog->raise();
        return;
    }
    auto* dialog = new ConnectDialog(m_store, ConnectDialog::historyFileIn(m_settings.location),
                                     m_settings.opacityOf(OpacityKind::ConnectDialog), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_connectDialog = dialog;
    dialog->setSitesOffered(true);
    connect(dialog, &ConnectDialog::siteChosen, this, &MainWindow::connectToSite);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        m_connectDialog = nullptr;
        if (result == QDialog::Accepted)
            connectTo(dialog->request());
    });
    dialog->open();
}

void MainWindow::connectTo(const ConnectRequest& request) {
    if (m_shuttingDown)
        return;
    if (inSite()) {
        if (anyLinkActive())
            return;
        prepareLinks(1);
    }
    if (!anyLinkActive())
        m_siteName.clear();
    firstLink().open(request); // nothing while the link has a session
}

void MainWindow::connectToSite(const SiteRequest& request) {
    if (m_shuttingDown || request.recorders.empty())
        return;
    if (request.recorders.size() == 1) {
        connectTo(request.recorders.front());
        return;
    }
    if (anyLinkActive())
        return;
    const int count = std::min(static_cast<int>(request.recorders.size()), kMaxRecorders);
    prepareLinks(count);
    m_siteName = request.name;
    // The cells as the site was left, once its recorders have said how many channels they have.
    SiteBook book(m_store);
    book.load();
    if (const auto index = book.find(m_siteName); index && m_videoWindow) {
        if (const auto& arrangement = book.sites()[*index].arrangement)
            m_videoWindow->setSiteArrangement(layoutArrangement(*arrangement));
    }
    for (int index = 0; index < count; ++index)
        m_links[static_cast<std::size_t>(index)]->open(
            request.recorders[static_cast<std::size_t>(index)]);
}

void MainWindow::prepareLinks(int count) {
    count = std::clamp(count, 1, kMaxRecorders);
    // A site starts with the features on its first recorder.
    m_featureIndex = 0;
    m_live.setTakesMedia(true);
    for (const auto& live : m_siteLive)
        live->setTakesMedia(false);
    const auto wanted = static_cast<std::size_t>(count);
    // Links and live views let go have no session: no decoder of theirs runs.
    while (m_siteLive.size() + 1 > wanted) {
        m_siteLive.back()->setVideoWindow(nullptr);
        m_siteLive.pop_back();
    }
    while (m_links.size() > wanted)
        m_links.pop_back();
    while (m_links.size() < wanted) {
        const int index = static_cast<int>(m_links.size());
        m_links.push_back(
            std::make_unique<RecorderLink>(index, static_cast<RecorderLinkHost&>(*this), *this,
                                           m_reconnectSchedule, m_keepAliveStep));
        m_links.back()->setReconnectOn(m_settings.reconnect != 0);
        auto live = std::make_unique<LiveViewController>(m_decoder, this);
        live->setRecorder(index);
        live->setVideoWindow(m_videoWindow);
        live->setMediaBoards(&m_media.snapshots(), &m_media.webExport());
        live->setTakesMedia(false);
        live->setDateFormat(static_cast<int>(m_settings.dateFormat));
        // The layout buttons follow the site's layout; a recorder's part ending leaves them.
        connect(live.get(), &LiveViewController::layoutShown, this, [this](int cells) {
            if (cells != 0)
                showLayoutPressed(cells);
        });
        m_siteLive.push_back(std::move(live));
    }
    if (m_videoWindow && m_videoWindow->siteRecorders() != count)
        m_videoWindow->setSiteRecorders(count);
    updateStateLabels();
    updateReconnectNotice();
}

void MainWindow::linkSessionMade(RecorderLink& link) {
    liveOf(link).setSession(link.session());
    if (link.index() == m_featureIndex)
        attachFeatures(link);
    setButtonLook(Control::Connect, static_cast<int>(ButtonLook::Pressed));
}

void MainWindow::attachFeatures(RecorderLink& link) {
    // Without a sound output device no audio and no talk is asked for.
    m_audio->attach(link.session());
    m_playback->setRecorder(link.index());
    m_playback->setSession(link.session());
    m_infoViews->setSession(link.session());
    liveOf(link).audioChanged();
}

void MainWindow::detachFeatures() {
    m_audio->attach(nullptr);
    m_playback->setSession(nullptr);
    m_infoViews->closeAll();
    m_infoViews->setSession(nullptr);
}

bool MainWindow::featuresBusy() const {
    const RecorderSession* current = session();
    return m_searchWindow || m_backupProgress || m_setupWindow || m_firmwareWindow ||
           m_recordPrompt || m_playback->active() || m_local->active() ||
           (m_ptz && m_ptz->panel() && m_ptz->panel()->isVisible()) ||
           (current && (current->listenOn() || current->audioOn()));
}

// In a site, choosing a cell of another recorder takes the features there, when nothing of the
// features runs on the recorder they work on now.
void MainWindow::followFocusedCell(int cell) {
    if (!inSite() || !m_videoWindow || cell < 0 || m_videoWindow->mode() != StreamKind::Live)
        return;
    const int recorder = m_videoWindow->layoutModel().cellSource(cell).recorder;
    if (recorder == m_featureIndex || recorder < 0 ||
        recorder >= static_cast<int>(m_links.size()) || featuresBusy())
        return;
    if (featureLink().session())
        detachFeatures();
    liveOf(featureLink()).setTakesMedia(false);
    m_featureIndex = recorder;
    liveOf(featureLink()).setTakesMedia(true);
    if (featureLink().session())
        attachFeatures(featureLink());
    updateStateLabels();
}

// Disconnects and forgets the session, then brings the controls back to "no session".
void MainWindow::dropSession(bool keepView) {
    featureLink().close(keepView);
}

void MainWindow::dropAllSessions() {
    if (!inSite()) {
        dropSession();
        return;
    }
    keepSiteArrangement();
    for (auto link = m_links.rbegin(); link != m_links.rend(); ++link)
        (*link)->close();
    resetConnectControls();
    prepareLinks(1); // a single recorder's window again
}

// The site's cells are kept with it in the address book as the operator left them; a site that
// is not in the book (one of --connect options) keeps nothing. Live view shows the site's cells;
// a playback shows the player's, which are not the site's arrangement.
void MainWindow::keepSiteArrangement() {
    if (m_siteName.empty() || !m_videoWindow || m_videoWindow->siteRecorders() < 2 ||
        m_videoWindow->mode() != StreamKind::Live)
        return;
    SiteBook book(m_store);
    book.load();
    const auto index = book.find(m_siteName);
    if (!index)
        return;
    book.setArrangement(*index, storedArrangement(m_videoWindow->viewArrangement()));
    if (!book.save())
        qWarning("the arrangement of site %s could not be kept", m_siteName.c_str());
}

void MainWindow::linkSessionClosing(RecorderLink& link) {
    if (link.index() != m_featureIndex)
        return; // the feature windows work on another recorder
    // The search window works on the session: it goes first.
    delete m_searchWindow;
    delete m_backupProgress;
    closeDeviceWindows(true);
}

void MainWindow::linkSessionClosed(RecorderLink& link, bool keepView) {
    LiveViewController& live = liveOf(link);
    if (link.index() != m_featureIndex) {
        live.setSession(nullptr);
        if (!keepView)
            live.videoWindowReset(16); // its cells only; the others play on
        if (!anyLinkActive())
            resetConnectControls(keepView);
        return;
    }
    m_audio->attach(nullptr);
    live.setSession(nullptr);
    m_playback->setSession(nullptr);
    m_infoViews->closeAll();
    m_infoViews->setSession(nullptr);
    if (inSite() && anyLinkActive()) {
        // The other recorders of the site play on: only this recorder's part of live view ends.
        releaseRecorderControls();
        if (!keepView)
            live.videoWindowReset(16);
        return;
    }
    resetConnectControls(keepView);
    // A link that is getting its connection back keeps Connect pressed: Connect gives it up.
    if (link.reconnecting())
        setButtonLook(Control::Connect, static_cast<int>(ButtonLook::Pressed));
}

void MainWindow::resetConnectControls(bool keepView) {
    m_screenSaver.setInhibited(false);
    setButtonLook(Control::Connect, static_cast<int>(ButtonLook::Released));
    releaseRecorderControls();
    if (SkinButton* live = button(Control::Live))
        live->setEnabled(false);
    if (!keepView)
        m_live.videoWindowReset(16);
}

void MainWindow::releaseRecorderControls() {
    setButtonLook(Control::Live, static_cast<int>(ButtonLook::Released));
    setButtonLook(Control::Audio, static_cast<int>(ButtonLook::Released));
    setButtonLook(Control::Record, static_cast<int>(ButtonLook::Released));
    if (m_clock)
        m_clock->clearRecorderTime();
}

// Stops what runs (each followed by a short pause), disconnects, destroys the video window.
void MainWindow::shutdown() {
    if (m_shutDown)
        return;
    m_shuttingDown = true;
    stopReconnecting();
    m_local->stop(); // the local player goes first
    if (m_connectDialog)
        m_connectDialog->reject();
    if (m_notificationBox)
        m_notificationBox->reject();
    // The setup window ends as Cancel does (nothing is sent) while the session still exists.
    if (m_setupWindow)
        m_setupWindow->requestClose();
    bool liveStopped = false;
    for (const auto& link : m_links) {
        RecorderSession* current = link->session();
        if (current && (current->live().liveOn() || current->live().liveRequestPending())) {
            current->live().stopLive();
            liveStopped = true;
        }
    }
    if (liveStopped)
        QThread::msleep(kShutdownPauseMs);
    if (RecorderSession* current = session(); current && current->listenOn()) {
        m_audio->stopTalking();
        QThread::msleep(kShutdownPauseMs);
    }
    if (inSite())
        keepSiteArrangement();
    for (auto link = m_links.rbegin(); link != m_links.rend(); ++link)
        (*link)->close();
    destroyVideoWindow();
    QThread::msleep(kShutdownPauseMs);
    m_shutDown = true;
}

void MainWindow::quit() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    shutdown();
    event->accept();
}

} // namespace kalder
