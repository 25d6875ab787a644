// The menu of a video cell (the right button or the Menu key over it): full screen of its
// channel, a snapshot of it, the digital zoom, its sound, instant replay and its PTZ panel.
#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "decode/image_files.h"
#include "decode/snapshot_saver.h"
#include "files/local_log.h"
#include "ptz/ptz_controller.h"
#include "session/recorder_session.h"
#include "ui/theme.h"
#include "ui/transient_notice.h"
#include "video/video_window.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include <cstring>

#include <utility>

namespace kalder {

namespace {

// How far back instant replay starts.
constexpr int kReplaySeconds = 30;

// An entry of the cell menu: its caption is its accessible name; a disabled entry says why in
// its tooltip.
QAction* addCellAction(QMenu& menu, const QString& caption, const QString& refusal) {
    QAction* action = menu.addAction(caption);
    action->setObjectName(caption);
    action->setEnabled(refusal.isEmpty());
    if (!refusal.isEmpty()) {
        action->setToolTip(refusal);
        action->setStatusTip(refusal);
    }
    return action;
}

// "YYYYMMDDhhmmss_00CC_zoom" + extension: a snapshot's name, marked as the zoomed view.
std::string zoomedViewFileName(unsigned channel, ImageFormat format) {
    std::string name = snapshotFileName(localTimeNow(), channel, format);
    const std::size_t dot = name.rfind('.');
    name.insert(dot == std::string::npos ? name.size() : dot, "_zoom");
    return name;
}

RgbImage rgbOf(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    RgbImage out;
    out.width = rgb.width();
    out.height = rgb.height();
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        std::memcpy(out.at(0, y), rgb.constScanLine(y), static_cast<std::size_t>(out.width) * 3);
    return out;
}

} // namespace

// Save zoomed view: what the cell shows now, zoom included, beside the snapshots (a snapshot
// keeps the whole picture: that is the evidence). A small file written at once, without the
// flush to the disk that snapshots have.
void MainWindow::saveZoomedView(int cell, int channel) {
    if (m_videoWindow == nullptr)
        return;
    const QImage view = m_videoWindow->cellViewImage(cell);
    auto* notice = findChild<TransientNotice*>();
    if (view.isNull()) {
        if (notice)
            notice->tell(tr("The zoomed view was not saved: the cell shows no picture"));
        return;
    }
    const QString folder = QDir(m_settings.location).filePath(QStringLiteral("Saved"));
    const ImageFormat format = imageFormatFromSetting(m_settings.saveFormat);
    const QString file = QDir(folder).filePath(
        QString::fromStdString(zoomedViewFileName(static_cast<unsigned>(channel), format)));
    std::string error;
    const bool saved = QDir().mkpath(folder) &&
                       writeImageFile(file.toStdString(), format, rgbOf(view), error, false);
    if (!notice)
        return;
    const QString shown =
        SnapshotController::shortPath(file, m_settings.location, QDir::homePath());
    if (saved)
        notice->tell(tr("Zoomed view of channel %1 saved to %2").arg(channel + 1).arg(shown), file);
    else
        notice->tell(tr("The zoomed view of channel %1 was not saved: %2")
                         .arg(channel + 1)
                         .arg(error.empty() ? tr("the folder %1 cannot be made").arg(folder)
                                            : QString::fromStdString(error)),
                     file);
}

// Once for each video window (it is made again when the drawing path changes).
void MainWindow::connectCellMenu() {
    // In a site the features follow the chosen cell's recorder.
    connect(m_videoWindow, &VideoWindow::focusedCellChanged, this, &MainWindow::followFocusedCell);
    connect(m_videoWindow, &VideoWindow::cellMenuRequested, this,
            [this](int cell, int channel, QPoint globalPos) {
                showCellMenu(cell, channel, globalPos);
            });
    // Full screen of one channel ends in the layout the operator had.
    connect(m_videoWindow, &VideoWindow::fullScreenLeft, this, [this] {
        if (m_fullScreenView && m_videoWindow) {
            m_videoWindow->restoreView(*m_fullScreenView);
            showLayoutPressed(m_videoWindow->layoutModel().layout());
        }
        m_fullScreenView.reset();
    });
    connect(m_playback, &PlaybackController::replayEnded, this, &MainWindow::afterInstantReplay,
            Qt::UniqueConnection);
}

QString MainWindow::instantReplayRefusal(int channel) const {
    if (!session() || !session()->loggedIn())
        return tr("Not connected to a recorder");
    if (!session()->status().maySearch())
        return tr("This account has no right to play back recordings");
    if (m_playback->active() || session()->playback().requestPending())
        return tr("A playback is already running");
    if (m_local->active())
        return tr("The local player is running");
    if (!session()->live().liveOn() || session()->live().recorderClock() == 0)
        return tr("Live view is not running: the recorder's time is not known");
    if (channel < 0 || channel >= static_cast<int>(session()->channelNum()))
        return tr("The recorder has no such channel");
    return QString();
}

// A refusal is told over the foot of the video area, as the menu's tooltips tell it.
void MainWindow::instantReplay() {
    if (m_videoWindow == nullptr)
        return;
    const int cell = m_videoWindow->focusedCell();
    const int channel = cell < 0 ? -1 : m_videoWindow->layoutModel().cellChannel(cell);
    QString refusal =
        cell < 0 ? tr("No cell is chosen (click one first)") : instantReplayRefusal(channel);
    if (refusal.isEmpty() && !startInstantReplay(channel))
        refusal = tr("The recorder could not be asked");
    if (refusal.isEmpty())
        return;
    if (auto* notice = findChild<TransientNotice*>())
        notice->tell(tr("Instant replay: %1").arg(refusal));
}

bool MainWindow::startInstantReplay(int channel) {
    if (!instantReplayRefusal(channel).isEmpty() || m_videoWindow == nullptr)
        return false;
    // What Stop brings back: the layout, page and arrangement, live view and its sound.
    ViewToRestore view;
    view.arrangement = m_videoWindow->viewArrangement();
    view.liveOn = true;
    view.audioOn = session()->audioOn();
    view.playerHadWindow = true;
    if (!m_playback->replay(channel, kReplaySeconds))
        return false;
    m_replayView = view;
    // The playback time bar is drawn again for the replay.
    update(QRect(QPoint(250, 630), QPoint(677, 644)));
    return true;
}

// The replay has ended: live view comes back, and once it runs (LIVE_CHANNEL_INFO) the view
// the operator had (restoreAfterReconnect puts it back).
void MainWindow::afterInstantReplay() {
    const std::optional<ViewToRestore> view = std::exchange(m_replayView, std::nullopt);
    if (!view || m_shuttingDown || !session() || !session()->loggedIn() || m_local->active() ||
        featureLink().reconnecting())
        return;
    m_restore = view;
    if (!session()->live().liveOn() && !session()->live().liveRequestPending())
        session()->live().startLive();
}

void MainWindow::fullScreenChannel(int channel) {
    if (m_videoWindow == nullptr || m_videoWindow->fullScreen())
        return;
    const VideoLayout::Arrangement before = m_videoWindow->viewArrangement();
    m_videoWindow->showChannel(channel);
    showLayoutPressed(m_videoWindow->layoutModel().layout());
    onFullButton();
    if (m_videoWindow->fullScreen())
        m_fullScreenView = before;
    else
        m_videoWindow->restoreView(before);
}

void MainWindow::showCellMenu(int cell, int channel, const QPoint& globalPos) {
    // The cell chosen again takes the features to its recorder, as a newly chosen one does.
    followFocusedCell(cell);
    if (m_shuttingDown || m_videoWindow == nullptr || cell < 0)
        return;
    if (m_cellMenu)
        m_cellMenu->close();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("cellMenu"));
    menu->setAccessibleName(tr("Channel %1").arg(channel + 1));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setToolTipsVisible(true);
    // A menu is a window of its own: it takes the skin's colours like the dialogs.
    applyTheme(*menu);
    m_cellMenu = menu;

    const bool pictures = m_videoWindow->mode() != StreamKind::Idle;
    // The cell's own features work on the recorder the features follow (a cell chosen takes
    // them to its recorder unless a feature runs); a cell of another shows its picture only.
    const int recorder = m_videoWindow->layoutModel().cellSource(cell).recorder;
    const QString otherRecorder =
        recorder != m_featureIndex
            ? tr("Recorder %1's features are in use: close its windows first")
                  .arg(m_featureIndex + 1)
            : QString();
    const bool connected = recorder == m_featureIndex && session() && session()->loggedIn();
    const bool zoomed = m_videoWindow->digitalZoom(cell) > 1.0;
    const QString noPictures = tr("No pictures are shown");
    const QString notZoomed = tr("The cell is not zoomed");

    QAction* full =
        addCellAction(*menu, tr("Full screen"),
                      m_videoWindow->fullScreen() ? tr("Already in full screen") : QString());
    connect(full, &QAction::triggered, this, [this, channel] { fullScreenChannel(channel); });

    QAction* snapshot =
        addCellAction(*menu, tr("Snapshot"), !pictures ? noPictures : otherRecorder);
    connect(snapshot, &QAction::triggered, this, [this, channel] {
        if (m_videoWindow == nullptr || m_videoWindow->mode() == StreamKind::Idle)
            return;
        m_media.requestSnapshots(static_cast<std::uint16_t>(1u << channel));
        localLog(kLogKindSetupImage, kLogEventSnapshotSaved);
    });

    QAction* zoomedView = addCellAction(*menu, tr("Save zoomed view"),
                                        !pictures ? noPictures : (zoomed ? QString() : notZoomed));
    connect(zoomedView, &QAction::triggered, this,
            [this, cell, channel] { saveZoomedView(cell, channel); });

    QAction* reset = addCellAction(*menu, tr("Reset zoom"), zoomed ? QString() : notZoomed);
    connect(reset, &QAction::triggered, this, [this, cell] {
        if (m_videoWindow)
            m_videoWindow->resetDigitalZoom(cell);
    });

    menu->addSeparator();
    // The recorder has one sound channel; it is heard while that channel is shown alone.
    QString listenRefusal;
    if (!otherRecorder.isEmpty())
        listenRefusal = otherRecorder;
    else if (!connected)
        listenRefusal = tr("Not connected to a recorder");
    else if (!m_audio->soundDeviceAvailable())
        listenRefusal = tr("This computer has no sound output");
    else if (m_audio->audioChannel() != channel)
        listenRefusal = tr("This channel carries no sound");
    QAction* listen = addCellAction(*menu, tr("Listen to this channel"), listenRefusal);
    connect(listen, &QAction::triggered, this, [this, channel] {
        if (!session() || m_videoWindow == nullptr)
            return;
        m_videoWindow->showChannel(channel);
        showLayoutPressed(m_videoWindow->layoutModel().layout());
        if (!session()->audioOn())
            m_audio->toggleRecorderAudio();
    });

    QAction* replay =
        addCellAction(*menu, tr("Instant replay (%1 s)").arg(kReplaySeconds),
                      otherRecorder.isEmpty() ? instantReplayRefusal(channel) : otherRecorder);
    connect(replay, &QAction::triggered, this, [this, channel] { startInstantReplay(channel); });

    // The camera's presence is known once the recorder answered for the channel.
    QString ptzRefusal;
    if (!otherRecorder.isEmpty())
        ptzRefusal = otherRecorder;
    else if (!connected || !session()->live().liveOn())
        ptzRefusal = tr("Live view is not running");
    else if (!session()->status().mayPtz())
        ptzRefusal = tr("This account has no PTZ right");
    else if (session()->ptz().ptzChannel() == channel &&
             session()->ptz().ptzAvailable() == PtzControl::NoCamera)
        ptzRefusal = tr("This channel has no PTZ camera");
    QAction* ptz = addCellAction(*menu, tr("PTZ…"), ptzRefusal);
    connect(ptz, &QAction::triggered, this, [this, channel] {
        if (!m_ptz)
            return;
        if (!m_ptz->panel() || m_ptz->panel()->isHidden())
            m_ptz->panZoomButton(0);
        m_ptz->channelChosen(channel);
    });

    // The grids of 25 and 36 cells, which the layout buttons do not have, for a site of more
    // than sixteen channels.
    if (m_videoWindow->layoutModel().layoutOffered(25)) {
        menu->addSeparator();
        for (const int cells : {25, 36}) {
            const int side = cells == 25 ? 5 : 6;
            QAction* layout = addCellAction(
                *menu, tr("Layout of %1 cells (%2 × %2)").arg(cells).arg(side), QString());
            layout->setCheckable(true);
            layout->setChecked(m_videoWindow->layoutModel().layout() == cells);
            connect(layout, &QAction::triggered, this, [this, cells] {
                if (m_videoWindow == nullptr || ptzDomeMenuActive())
                    return;
                m_videoWindow->selectLayout(cells); // again: the next page
                showLayoutPressed(m_videoWindow->layoutModel().layout());
            });
        }
    }

    menu->popup(globalPos);
}

} // namespace kalder
