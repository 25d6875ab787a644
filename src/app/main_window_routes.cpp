// The main window's table of posted window messages, feature by feature: what each message of
// the session, the decode threads and the program start does here.
#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "firmware/firmware_upgrade_window.h"
#include "local/local_search_window.h"
#include "logs/log_browser.h"
#include "ptz/ptz_controller.h"
#include "search/backup_progress_window.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "setup/setup_window.h"
#include "ui/clock_display.h"
#include "video/video_window.h"

#include <QMessageBox>

#include <filesystem>

namespace kalder {

void MainWindow::setUpRoutes() {
    routeSessionMessages();
    routeLiveMessages();
    routePlaybackMessages();
    routeSearchMessages();
    routeSetupMessages();
    routeDeviceMessages();
    // Read where they are needed, or only the command-line client acts on them.
    m_router.ignore(WindowMessage::AudioChannel, "the status keeps the audio channel");
    m_router.ignore(WindowMessage::TalkRefused, "ListenEnded follows a refused talk");
    m_router.ignore(WindowMessage::ConfigExchangeEnded, "the setup window reads the exchange");
    m_router.ignore(WindowMessage::PlaybackRefused, "the playback's end message follows");
    m_router.ignore(WindowMessage::RightsArrived, "RightsChanged carries the rights");
    m_router.ignore(WindowMessage::RecordReply, "RecordButton carries the state");
}

void MainWindow::routeSessionMessages() {
    m_router.route(WindowMessage::Notification, "session", [this](const WindowMessageEvent& m) {
        const Notification notification =
            Notification::fromLParam(static_cast<std::uint32_t>(m.lParam()));
        RecorderLink& link = linkOfMessage(m);
        if (link.index() != m_featureIndex)
            siteLinkNotification(link, notification);
        else
            showNotification(notification, inSite() ? recorderName(link) : QString());
    });
    m_router.route(kStartupFinished, "program", [this](const WindowMessageEvent&) {
        // Started from removable media (a disc with backups), the local search window opens.
        if (m_removableMode)
            m_local->openSearchWindow(m_settings.location, m_settings.dateFormat);
    });
    m_router.route(WindowMessage::DropSession, "session", [this](const WindowMessageEvent& m) {
        // A failed try of a reconnect keeps the operator's view.
        RecorderLink& link = linkOfMessage(m);
        if (link.reconnecting())
            reconnectTryFailed(link);
        else
            link.close();
    });
    m_router.route(WindowMessage::ConnectFailed, "reconnect", [this](const WindowMessageEvent& m) {
        RecorderLink& link = linkOfMessage(m);
        if (link.reconnecting())
            reconnectTryFailed(link);
    });
    m_router.route(WindowMessage::LoggedIn, "reconnect",
                   [this](const WindowMessageEvent& m) { linkOfMessage(m).loggedIn(); });
    m_router.route(WindowMessage::NotServed, "session", [this](const WindowMessageEvent& m) {
        // A recorder of another family is not tried again.
        stopReconnecting(linkOfMessage(m));
        if (m_shuttingDown)
            return;
        auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("Not Kalder !"), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    m_router.route(WindowMessage::ConnectButton, "session", [this](const WindowMessageEvent& m) {
        setButtonLook(Control::Connect, static_cast<int>(m.wParam()));
    });
}

void MainWindow::routeLiveMessages() {
    m_router.route(WindowMessage::LiveButton, "live", [this](const WindowMessageEvent& m) {
        const auto look = static_cast<ButtonLook>(m.wParam());
        setButtonLook(Control::Live, static_cast<int>(look));
        if (look == ButtonLook::Released && m_clock)
            m_clock->clearRecorderTime();
        if (look == ButtonLook::Released)
            closeDeviceWindows(false); // live view stopped: the PTZ windows close
        // The screen saver stays off while live pictures show (pressed: live view runs).
        if (look != ButtonLook::Usable)
            m_screenSaver.setInhibited(look == ButtonLook::Pressed);
    });
    m_router.route(WindowMessage::RecorderClock, "live", [this](const WindowMessageEvent& m) {
        if (m_clock && session() && session()->live().liveOn())
            m_clock->setRecorderTime(static_cast<std::uint32_t>(m.lParam()));
    });
    // Each recorder of a site has its own live view, which the message's link names.
    m_router.route(WindowMessage::LiveChannels, "live", [this](const WindowMessageEvent& m) {
        RecorderLink& link = linkOfMessage(m);
        liveOf(link).liveChannels(static_cast<std::uint16_t>(m.wParam()),
                                  static_cast<std::uint16_t>(m.lParam()));
        if (link.index() == m_featureIndex)
            restoreAfterReconnect();
    });
    m_router.route(WindowMessage::VideoWindowReset, "live", [this](const WindowMessageEvent& m) {
        // The lost session's live stop leaves the cells with their last pictures while the
        // connection is being got back; the next session's live start resets them.
        RecorderLink& link = linkOfMessage(m);
        if (link.reconnecting() && !(link.session() && link.session()->loggedIn()))
            return;
        liveOf(link).videoWindowReset(static_cast<int>(m.wParam()));
    });
    m_router.route(
        WindowMessage::HiddenChannelsChanged, "live",
        [this](const WindowMessageEvent& m) { liveOf(linkOfMessage(m)).hiddenChannelsChanged(); });
    m_router.route(
        WindowMessage::ChannelTitlesChanged, "live",
        [this](const WindowMessageEvent& m) { liveOf(linkOfMessage(m)).channelTitlesChanged(); });
    m_router.route(WindowMessage::LeaveFullScreen, "live", [this](const WindowMessageEvent&) {
        if (m_videoWindow && m_videoWindow->fullScreen())
            m_videoWindow->leaveFullScreen();
    });
    m_router.route(WindowMessage::ChannelInfoFile, "web export",
                   [this](const WindowMessageEvent& m) {
                       if (m_settings.webActivate != 0 && !m_settings.webLocation.isEmpty())
                           m_channelInfoWriter.submit(
                               std::filesystem::path(m_settings.webLocation.toStdString()),
                               {static_cast<std::uint16_t>(m.wParam()),
                                static_cast<int>(m_settings.webWidthWeb),
                                static_cast<int>(m_settings.webHeightWeb),
                                static_cast<int>(m_settings.webInterval)});
                   });
    // Audio: the recorder's sound, talking and the microphone button.
    m_router.route(WindowMessage::AudioButton, "audio", [this](const WindowMessageEvent& m) {
        setButtonLook(Control::Audio, static_cast<int>(m.wParam()));
        liveOf(featureLink()).audioChanged();
    });
    m_router.route(WindowMessage::AudioFactsChanged, "audio",
                   [this](const WindowMessageEvent&) { liveOf(featureLink()).audioChanged(); });
    m_router.route(WindowMessage::MikeButton, "audio", [this](const WindowMessageEvent& m) {
        setButtonLook(Control::Mike, static_cast<int>(m.wParam()));
    });
    m_router.route(WindowMessage::ListenAccepted, "audio",
                   [this](const WindowMessageEvent&) { m_audio->startTalking(); });
    m_router.route(WindowMessage::ListenEnded, "audio", [this](const WindowMessageEvent&) {
        m_audio->endTalking();
        setButtonLook(Control::Mike, static_cast<int>(ButtonLook::Released));
    });
}

void MainWindow::routePlaybackMessages() {
    m_router.route(WindowMessage::PlaybackClock, "playback", [this](const WindowMessageEvent& m) {
        m_playback->started(static_cast<int>(m.wParam()));
        if (ClockDisplay* clock = m_playback->clock())
            clock->setDateOrder(dateOrderFromSetting(static_cast<int>(m_settings.dateFormat)));
    });
    m_router.route(WindowMessage::PlaybackButtons, "playback", [this](const WindowMessageEvent& m) {
        m_playback->buttonsChanged(static_cast<int>(m.wParam()));
    });
    m_router.route(WindowMessage::PlaybackPosition, "playback",
                   [this](const WindowMessageEvent&) { m_playback->positionChanged(); });
    m_router.route(WindowMessage::PlaybackEnded, "playback",
                   [this](const WindowMessageEvent&) { m_playback->ended(); });
}

void MainWindow::routeSearchMessages() {
    // The search window's replies and rights; the session keeps its resume context.
    m_router.route({WindowMessage::SearchYearsReady, WindowMessage::SearchEventsReady,
                    WindowMessage::SearchDaySegmentsReady, WindowMessage::BackupYearsReady,
                    WindowMessage::BackupDaySegmentsReady, WindowMessage::BackupSizeKnown,
                    WindowMessage::BackupRefused},
                   "search", [this](const WindowMessageEvent& m) {
                       if (m_searchWindow)
                           m_searchWindow->handleWindowMessage(m.message(), m.wParam(), m.lParam());
                   });
    m_router.route(WindowMessage::RightsChanged, "search", [this](const WindowMessageEvent& m) {
        if (m_searchWindow)
            m_searchWindow->handleWindowMessage(m.message(), m.wParam(), m.lParam());
        // The local search window follows the account's rights as the remote one does.
        if (m_local->searchWindow())
            m_local->searchWindow()->rightsChanged(m.wParam());
    });
    m_router.route(WindowMessage::ClearSearchContext, "search", [this](const WindowMessageEvent&) {
        if (session())
            session()->search().clearResumeContext();
    });
    m_router.routeClose(CloseTarget::RequestWindow, "search", [this] { delete m_searchWindow; });
    // The recorder's log lives in the search window's Log mode.
    m_router.route(WindowMessage::LogReplyComplete, "logs", [this](const WindowMessageEvent& m) {
        if (LogBrowser* browser =
                m_searchWindow ? m_searchWindow->findChild<LogBrowser*>() : nullptr)
            browser->logReplyComplete(static_cast<int>(m.wParam()));
    });
    m_router.route(WindowMessage::StatusInfoReady, "information",
                   [this](const WindowMessageEvent& m) {
                       m_infoViews->statusReplyReady(static_cast<int>(m.wParam()));
                   });
    // A backup transfer's progress window and its writer.
    const auto backup = [this](const WindowMessageEvent& m) {
        routeBackupMessage(m, session(), m_backupProgress, this);
    };
    m_router.route({WindowMessage::BackupProgressOpen, WindowMessage::BackupProgressPosition,
                    WindowMessage::BackupProgressClose, WindowMessage::BackupWriterEnded},
                   "backup", backup);
    m_router.routeClose(CloseTarget::BackupProgress, "backup", [this] {
        if (m_backupProgress)
            m_backupProgress->close();
    });
}

void MainWindow::routeSetupMessages() {
    m_router.route(WindowMessage::ConfigArrived, "setup",
                   [this](const WindowMessageEvent&) { openSetupWindow(); });
    m_router.route(
        WindowMessage::RecorderTimeToTimePage, "setup", [this](const WindowMessageEvent& m) {
            if (m_setupWindow)
                m_setupWindow->recorderTimeArrived(static_cast<std::uint32_t>(m.wParam()));
        });
    m_router.route(WindowMessage::TestMailAnswer, "setup", [this](const WindowMessageEvent& m) {
        if (!m_setupWindow)
            return;
        const bool accepted = m.wParam() != 0;
        m_setupWindow->testMailAnswered(accepted,
                                        accepted ? QString()
                                                 : tr("the recorder refused it (reply code %1)")
                                                       .arg(static_cast<long long>(m.lParam())));
    });
    m_router.routeClose(CloseTarget::RemoteSetup, "setup", [this] {
        if (m_setupWindow)
            m_setupWindow->requestClose();
    });
}

void MainWindow::routeDeviceMessages() {
    m_router.route(WindowMessage::RecordButton, "recording", [this](const WindowMessageEvent& m) {
        setButtonLook(Control::Record, static_cast<int>(m.wParam()));
    });
    m_router.routeClose(CloseTarget::MainPasswordPrompt, "recording", [this] {
        if (m_recordPrompt)
            m_recordPrompt->reject();
    });
    m_router.route(WindowMessage::PtzMove, "ptz", [this](const WindowMessageEvent& m) {
        m_ptz->handleMove(m.wParam(), m.lParam());
    });
    m_router.route(WindowMessage::PtzPreset, "ptz", [this](const WindowMessageEvent& m) {
        m_ptz->handlePreset(static_cast<int>(m.wParam()), static_cast<int>(m.lParam()));
    });
    m_router.route(WindowMessage::PtzAvailability, "ptz",
                   [this](const WindowMessageEvent& m) { m_ptz->cameraAnswer(m.wParam() != 0); });
    m_router.routeClose(CloseTarget::PtzPanel, "ptz", [this] { m_ptz->closePtzPanel(); });
    m_router.routeClose(CloseTarget::PtzPresetKeypad, "ptz", [this] { m_ptz->closeKeypad(); });
    m_router.routeClose(CloseTarget::DomeMenu, "ptz", [this] { m_ptz->closeDomeMenu(); });
    m_router.route({WindowMessage::FirmwareUpdateAck, WindowMessage::FirmwareUpdateNack,
                    WindowMessage::FirmwareDataRxDone, WindowMessage::FirmwareDataRxFail,
                    WindowMessage::FirmwareUpdateDone, WindowMessage::FirmwareUpdateFail},
                   "firmware", [this](const WindowMessageEvent& m) {
                       if (FirmwareUpgradeWindow* window = firmwareWindow())
                           window->handleReply(m.message(), m.wParam());
                   });
    m_router.routeClose(CloseTarget::FirmwareUpgrade, "firmware", [this] {
        if (m_firmwareWindow)
            m_firmwareWindow->done(QDialog::Rejected);
    });
}

} // namespace kalder
