// The main window's side of a lost connection (the link makes the tries with their back-off): the
// box after the first failed try, the operator's view put back when live view returns, the cells'
// countdown and the session's state beside the clock.
#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "session/recorder_session.h"
#include "ui/clock_display.h"
#include "video/video_window.h"

#include "wire/recorder_time.h"

#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace kalder {

namespace {

// Every kind of recording (alarm, motion, continuous, ...), as a playback from the search
// window asks for them by default.
constexpr std::uint8_t kAllRecordingKinds = 0x3F;

QString sessionStateText(SessionState state) {
    switch (state) {
    case SessionState::Connected:
        return QObject::tr("Connected");
    case SessionState::Reconnecting:
        return QObject::tr("Reconnecting…");
    case SessionState::Offline:
        break;
    }
    return QObject::tr("Offline");
}

} // namespace

void MainWindow::setUpReconnect() {
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setInterval(1000);
    connect(m_noticeTimer, &QTimer::timeout, this, &MainWindow::updateReconnectNotice);
    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(QStringLiteral("sessionState"));
    m_stateLabel->setAccessibleName(tr("Session state"));
    m_stateLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    // In the frame's band between the video window and the clock, over the clock.
    const QRect clock = m_clock ? m_clock->geometry() : QRect(60, 638, 128, 42);
    QFont font = m_stateLabel->font();
    font.setPixelSize(11);
    m_stateLabel->setFont(font);
    m_stateLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_stateLabel->setGeometry(clock.left(), clock.top() - 16, std::max(clock.width(), 120), 14);
    linkStateChanged(firstLink());
}

void MainWindow::linkStateChanged(RecorderLink& link) {
    if (m_stateLabel)
        m_stateLabel->setText(sessionStateText(link.state()));
    updateReconnectNotice();
}

void MainWindow::updateReconnectNotice() {
    const RecorderLink& link = firstLink();
    const bool reconnecting = link.state() == SessionState::Reconnecting && link.reconnecting();
    if (m_noticeTimer) {
        if (reconnecting && !m_noticeTimer->isActive())
            m_noticeTimer->start();
        else if (!reconnecting)
            m_noticeTimer->stop();
    }
    if (!m_videoWindow)
        return;
    if (!reconnecting) {
        m_videoWindow->setConnectionNotice({});
        return;
    }
    if (const std::optional<int> waitMs = link.nextTryInMs()) {
        // Rounded to the nearest second: a coarse timer may report a little more than its
        // interval right after it starts.
        const int seconds = std::max(1, (*waitMs + 500) / 1000);
        m_videoWindow->setConnectionNotice(tr("Reconnecting… (next try in %1 s)").arg(seconds));
    } else {
        m_videoWindow->setConnectionNotice(tr("Reconnecting…"));
    }
}

bool MainWindow::reconnectNotification(Notification notification) {
    RecorderLink& link = firstLink();
    if (link.reconnecting()) {
        // A try that did not get through: the connect failed, or the link closed again
        // before the login.
        if (notification.category <= 2) {
            reconnectTryFailed();
            return true;
        }
        // A refused login ends the retries; its box shows as always.
        if (notification.category == 3 || notification == kNoRight) {
            stopReconnecting();
            dropSession();
        }
        return false;
    }
    if (notification.category != 2 || !link.mayReconnect())
        return false;
    beginReconnect();
    return true;
}

// The link of a logged-in session is lost: keep what the operator sees and try again.
void MainWindow::beginReconnect() {
    ViewToRestore restore;
    if (m_videoWindow)
        restore.arrangement = m_videoWindow->viewArrangement();
    const RecorderSession& session = *firstLink().session();
    restore.liveOn = session.live().liveOn() || session.live().liveRequestPending();
    restore.audioOn = session.audioOnAtEnd();
    if (session.playback().playing()) {
        // Live view starts with the login; the box then offers to go on with the playback.
        restore.liveOn = true;
        restore.playbackSecond = session.playback().counters().lastTime;
        restore.playbackChannels = session.playback().playbackChannelMask();
    }
    m_restore = restore;
    firstLink().beginReconnect();
}

// A try ended without a login (the link counts each session's end once).
void MainWindow::reconnectTryFailed() {
    if (m_shuttingDown)
        return;
    firstLink().tryFailed();
}

void MainWindow::linkFirstTryFailed(RecorderLink&) {
    showReconnectBox();
}

// The box after the first failed try: the client keeps trying; Cancel gives up.
void MainWindow::showReconnectBox() {
    if (m_notificationBox)
        return;
    const NotificationEntry* found = findNotificationEntry({2, 0});
    if (found == nullptr)
        return;
    NotificationEntry entry = *found;
    entry.buttons = NotificationButtons::OkCancel;
    entry.onOk = NotificationAction::None;
    auto* box = new NotificationBox(entry, m_settings.opacityOf(OpacityKind::NotificationBox), this,
                                    tr("The client keeps trying to reconnect."));
    box->setObjectName(QStringLiteral("reconnectBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_notificationBox = box;
    connect(box, &QDialog::finished, this, [this](int result) {
        m_notificationBox = nullptr;
        if (result != QDialog::Accepted && firstLink().reconnecting())
            cancelReconnect();
    });
    box->open();
}

// The link's tries have ended with a login.
void MainWindow::linkReconnected(RecorderLink& link) {
    updateReconnectNotice();
    if (m_notificationBox && m_notificationBox->objectName() == QLatin1String("reconnectBox"))
        m_notificationBox->done(QDialog::Accepted);
    // The login starts live view; an operator who had it off gets it off again.
    if (m_restore && !m_restore->liveOn && link.session()) {
        link.session()->live().stopLive();
        m_restore.reset();
    }
}

// Live view is back (its channel announcement): the layout, page, arrangement and the
// recorder's audio as they were.
void MainWindow::restoreAfterReconnect() {
    RecorderSession* session = firstLink().session();
    if (!m_restore || firstLink().reconnecting() || !session || !session->live().liveOn())
        return;
    const ViewToRestore restore = *m_restore;
    m_restore.reset();
    if (m_videoWindow) {
        m_videoWindow->restoreView(restore.arrangement);
        showLayoutPressed(m_videoWindow->layoutModel().layout());
    }
    if (restore.audioOn && !session->audioOn())
        m_audio->toggleRecorderAudio();
    if (restore.playbackSecond != 0)
        offerPlaybackContinue(restore.playbackSecond, restore.playbackChannels);
}

void MainWindow::offerPlaybackContinue(std::uint32_t second, std::uint16_t channels) {
    auto* box = new QMessageBox(
        QMessageBox::Question, windowTitle(),
        tr("The link to the recorder was lost during the playback.\nContinue it at %1?")
            .arg(QString::fromStdString(formatRecorderTime(second))),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("playbackContinueBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, second, channels] {
        if (box->clickedButton() == box->button(QMessageBox::Yes) && session())
            m_playback->play(second, 0, channels, kAllRecordingKinds);
    });
    box->open();
}

// The operator gave up (Cancel in the box, Connect): today's "no session".
void MainWindow::cancelReconnect() {
    stopReconnecting();
    if (session())
        dropSession();
    else
        resetConnectControls();
}

void MainWindow::stopReconnecting() {
    m_restore.reset();
    firstLink().stopReconnecting(); // the state and the cells' notice follow
}

} // namespace kalder
