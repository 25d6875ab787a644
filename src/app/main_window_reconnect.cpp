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

// Room for one recorder's state beside the clock: "4 Reconnecting…" in the label's font.
constexpr int kRecorderStateWidth = 110;

void styleStateLabel(QLabel& label) {
    label.setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    QFont font = label.font();
    font.setPixelSize(11);
    label.setFont(font);
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

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
    styleStateLabel(*m_stateLabel);
    // In the frame's band between the video window and the clock, over the clock.
    const QRect clock = m_clock ? m_clock->geometry() : QRect(60, 638, 128, 42);
    m_stateLabel->setGeometry(clock.left(), clock.top() - 16, std::max(clock.width(), 120), 14);
    linkStateChanged(firstLink());
}

void MainWindow::linkStateChanged(RecorderLink&) {
    updateStateLabels();
    updateReconnectNotice();
}

QLabel* MainWindow::recorderStateLabel(int index) const {
    if (!inSite() || index < 0 || index >= static_cast<int>(m_recorderStateLabels.size()))
        return nullptr;
    return m_recorderStateLabels[static_cast<std::size_t>(index)];
}

// A single recorder's state is one label over the clock. A site's recorders each have a short
// label ("2 Reconnecting…") of their own there, side by side over the clock and the band to its
// right, so that one recorder's outage is read at a glance.
void MainWindow::updateStateLabels() {
    if (m_stateLabel == nullptr)
        return;
    const bool site = inSite();
    m_stateLabel->setVisible(!site);
    m_stateLabel->setText(sessionStateText(firstLink().state()));
    const QRect band = m_stateLabel->geometry();
    for (std::size_t index = 0; index < m_links.size() && site; ++index) {
        if (index >= m_recorderStateLabels.size()) {
            auto* label = new QLabel(this);
            label->setObjectName(QStringLiteral("recorderState%1").arg(index + 1));
            label->setAccessibleName(tr("Recorder %1 state").arg(index + 1));
            styleStateLabel(*label);
            label->setGeometry(band.left() + static_cast<int>(index) * kRecorderStateWidth,
                               band.top(), kRecorderStateWidth - 4, band.height());
            m_recorderStateLabels.push_back(label);
        }
        QLabel* label = m_recorderStateLabels[index];
        const RecorderLink& link = *m_links[index];
        label->setText(tr("%1 %2").arg(index + 1).arg(sessionStateText(link.state())));
        // The recorder the features work on is set in bold, and says so.
        const bool features = static_cast<int>(index) == m_featureIndex;
        QFont font = label->font();
        font.setBold(features);
        label->setFont(font);
        const QString works = features ? tr("; search, playback, setup and the other features "
                                            "work on it")
                                       : QString();
        label->setToolTip(tr("%1: %2").arg(recorderName(link), sessionStateText(link.state())) +
                          works);
        label->setAccessibleDescription(works.mid(works.isEmpty() ? 0 : 2));
        label->show();
    }
    for (std::size_t index = site ? m_links.size() : 0; index < m_recorderStateLabels.size();
         ++index)
        m_recorderStateLabels[index]->hide();
}

QString MainWindow::reconnectNoticeText(const RecorderLink& link) const {
    if (link.state() != SessionState::Reconnecting || !link.reconnecting())
        return {};
    if (const std::optional<int> waitMs = link.nextTryInMs()) {
        // Rounded to the nearest second: a coarse timer may report a little more than its
        // interval right after it starts.
        const int seconds = std::max(1, (*waitMs + 500) / 1000);
        return tr("Reconnecting… (next try in %1 s)").arg(seconds);
    }
    return tr("Reconnecting…");
}

// A single recorder's notice is over every cell; in a site each recorder's is over its cells.
void MainWindow::updateReconnectNotice() {
    bool reconnecting = false;
    for (const auto& link : m_links)
        reconnecting |= !reconnectNoticeText(*link).isEmpty();
    if (m_noticeTimer) {
        if (reconnecting && !m_noticeTimer->isActive())
            m_noticeTimer->start();
        else if (!reconnecting)
            m_noticeTimer->stop();
    }
    if (!m_videoWindow)
        return;
    if (!inSite()) {
        m_videoWindow->setConnectionNotice(reconnectNoticeText(firstLink()));
        return;
    }
    m_videoWindow->setConnectionNotice({});
    for (const auto& link : m_links)
        m_videoWindow->setRecorderNotice(link->index(), reconnectNoticeText(*link));
}

bool MainWindow::reconnectNotification(RecorderLink& link, Notification notification) {
    if (link.reconnecting()) {
        // A try that did not get through: the connect failed, or the link closed again
        // before the login.
        if (notification.category <= 2) {
            reconnectTryFailed(link);
            return true;
        }
        // A refused login ends the retries; its box shows as always.
        if (notification.category == 3 || notification == kNoRight) {
            stopReconnecting(link);
            link.close();
        }
        return false;
    }
    if (notification.category != 2 || !link.mayReconnect())
        return false;
    beginReconnect(link);
    return true;
}

// The link of a logged-in session is lost: keep what the operator sees and try again. The view
// to put back is that of the recorder the features work on (a site's other recorders only get
// their cells back).
void MainWindow::beginReconnect(RecorderLink& link) {
    if (link.index() == m_featureIndex) {
        ViewToRestore restore;
        if (m_videoWindow)
            restore.arrangement = m_videoWindow->viewArrangement();
        const RecorderSession& session = *link.session();
        restore.liveOn = session.live().liveOn() || session.live().liveRequestPending();
        restore.audioOn = session.audioOnAtEnd();
        if (session.playback().playing()) {
            // Live view starts with the login; the box then offers to go on with the playback.
            restore.liveOn = true;
            restore.playbackSecond = session.playback().counters().lastTime;
            restore.playbackChannels = session.playback().playbackChannelMask();
        }
        m_restore = restore;
    }
    link.beginReconnect();
}

// A try ended without a login (the link counts each session's end once).
void MainWindow::reconnectTryFailed(RecorderLink& link) {
    if (m_shuttingDown)
        return;
    link.tryFailed();
}

void MainWindow::linkFirstTryFailed(RecorderLink& link) {
    showReconnectBox(link);
}

// The box after the first failed try: the client keeps trying; Cancel gives up (in a site,
// that recorder's tries only).
void MainWindow::showReconnectBox(RecorderLink& link) {
    if (m_notificationBox)
        return;
    const NotificationEntry* found = findNotificationEntry({2, 0});
    if (found == nullptr)
        return;
    NotificationEntry entry = *found;
    entry.buttons = NotificationButtons::OkCancel;
    entry.onOk = NotificationAction::None;
    const QString detail = inSite() ? tr("%1: trying again.").arg(recorderName(link))
                                    : tr("The client keeps trying to reconnect.");
    auto* box = new NotificationBox(entry, m_settings.opacityOf(OpacityKind::NotificationBox), this,
                                    detail);
    box->setObjectName(QStringLiteral("reconnectBox"));
    box->setProperty("recorder", link.index());
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_notificationBox = box;
    const int index = link.index();
    connect(box, &QDialog::finished, this, [this, index](int result) {
        m_notificationBox = nullptr;
        if (result == QDialog::Accepted || index >= siteRecorderCount())
            return;
        RecorderLink& boxLink = *m_links[static_cast<std::size_t>(index)];
        if (boxLink.reconnecting())
            cancelReconnect(boxLink);
    });
    box->open();
}

// The link's tries have ended with a login.
void MainWindow::linkReconnected(RecorderLink& link) {
    updateReconnectNotice();
    if (m_notificationBox && m_notificationBox->objectName() == QLatin1String("reconnectBox") &&
        m_notificationBox->property("recorder").toInt() == link.index())
        m_notificationBox->done(QDialog::Accepted);
    // The login starts live view; an operator who had it off gets it off again.
    if (link.index() == m_featureIndex && m_restore && !m_restore->liveOn && link.session()) {
        link.session()->live().stopLive();
        m_restore.reset();
    }
}

// Live view is back (its channel announcement): the layout, page, arrangement and the
// recorder's audio as they were.
void MainWindow::restoreAfterReconnect() {
    RecorderSession* session = featureLink().session();
    if (!m_restore || featureLink().reconnecting() || !session || !session->live().liveOn())
        return;
    const ViewToRestore restore = *m_restore;
    m_restore.reset();
    // A site's window kept its layout for the others meanwhile: it stays as the operator has it,
    // unless a player had taken it.
    if (m_videoWindow && (!inSite() || restore.playerHadWindow)) {
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

// The operator gave up (Connect): today's "no session", every recorder of a site with it.
void MainWindow::cancelReconnect() {
    stopReconnecting();
    if (inSite())
        dropAllSessions();
    else if (session())
        dropSession();
    else
        resetConnectControls();
}

// The Cancel of one link's box: in a site the others go on.
void MainWindow::cancelReconnect(RecorderLink& link) {
    if (!inSite()) {
        cancelReconnect();
        return;
    }
    stopReconnecting(link);
    if (link.session()) {
        link.close();
        return;
    }
    liveOf(link).videoWindowReset(16); // its cells let their last pictures go
    if (!anyLinkActive())
        resetConnectControls();
}

void MainWindow::stopReconnecting() {
    m_restore.reset();
    for (const auto& link : m_links)
        link->stopReconnecting(); // the state and the cells' notice follow
}

void MainWindow::stopReconnecting(RecorderLink& link) {
    if (link.index() == m_featureIndex)
        m_restore.reset();
    link.stopReconnecting();
}

} // namespace kalder
