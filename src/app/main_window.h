#pragma once

#include "setup/local/client_customisation.h"
#include "files/channel_info_file.h"
#include "app/main_window_audio.h"
#include "app/message_router.h"
#include "app/recorder_link.h"
#include "app/screen_saver_inhibitor.h"
#include "live/live_view_controller.h"
#include "local/local_playback_controller.h"
#include "playback/playback_controller.h"
#include "search/backup_progress_window.h"
#include "viewer/snapshot_controller.h"
#include "info/info_views.h"
#include "setup/local/local_settings.h"
#include "ui/notification_box.h"
#include "connect/connect_dialog.h"
#include "connect/connect_request.h"
#include "setup/setup_window.h"
#include "session/reconnect_schedule.h"
#include "video/video_layout.h"
#include "wire/config_record.h"
#include "wire/notification.h"

#include <QImage>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <optional>
#include <vector>

class QLabel;
class QSettings;
class QTimer;

namespace kalder {

// The box the main window shows for a control the user has no right to.
inline constexpr Notification kNoRight{15, 0};

class ClockDisplay;
class DecoderLibrary;
class FirmwareUpgradeWindow;
struct FirmwareScanResult;
class PtzController;
class RecorderSession;
class SearchWindow;
class SkinButton;
class VideoWindow;
class WindowMessageEvent;

// What the program start hands to the main window.
struct MainWindowConfig {
    QSettings* store = nullptr; // the settings store; must outlive the window
    ClientCustomisation custom;
    LocalSettings settings;
    bool removableMode = false;
    int timeZoneOffsetSeconds = 0;
    const DecoderLibrary* decoder = nullptr; // may be null: nothing is decoded
    // Connect at start with these values instead of opening the connect dialog.
    std::optional<ConnectRequest> connectAtStart;
    // Or connect the site of these recorders at start (2-4 of them; one is connectAtStart).
    std::optional<SiteRequest> siteAtStart;
    // Open the connect dialog once at start (ignored in removable mode or with connectAtStart).
    bool connectDialogAtStart = true;
    // Look for the sound server's default sink at start; false behaves as a PC without sound.
    bool soundOutput = true;
    // The waits before the tries to get a lost connection back (tests shorten them), and the
    // sessions' keep-alive step (0: the session's own).
    ReconnectSchedule reconnectSchedule;
    std::chrono::milliseconds keepAliveStep{0};
};

// The main window: the skinned frame around the video window with the buttons, the clock and
// the notification box. It owns the recorder links (one, or one per recorder of a site), the
// video window and the live view of each link, and receives every posted window message of the
// sessions and the decode threads. Link 0 is the primary link: every feature (audio, playback,
// search, setup, PTZ, firmware, backup, the information views) works on its session; the other
// links of a site have live view only. GUI thread only; lives for the whole run.
class MainWindow : public QWidget, private RecorderLinkHost {
    Q_OBJECT
public:
    static constexpr int kWidth = 928;
    static constexpr int kHeight = 698;

    explicit MainWindow(MainWindowConfig config, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The Connect button: the connect dialog without a session, the disconnect with one.
    void pressConnect();
    // Creates and starts a session with these values (a single recorder).
    void connectTo(const ConnectRequest& request);
    // Connects a site: one link per recorder (recorder 0 first), shown together in the video
    // window. A site of one recorder is connectTo. Nothing while a link has a session.
    void connectToSite(const SiteRequest& request);
    // Orderly shutdown and close (the Quit button).
    void quit();

    // The session the features (search, playback, audio, setup, PTZ, firmware, backup, the
    // information views) work on: the recorder's whose cell was chosen last in a site, the one
    // recorder's otherwise.
    RecorderSession* session() const { return featureLink().session(); }
    // The index in the site of that recorder (0 for a single recorder).
    int featureRecorder() const { return m_featureIndex; }
    VideoWindow* videoWindow() const { return m_videoWindow; }
    ClockDisplay* clock() const { return m_clock; }
    NotificationBox* notificationBox() const { return m_notificationBox; }
    ConnectDialog* connectDialog() const { return m_connectDialog; }
    SearchWindow* searchWindow() const;
    BackupProgressWindow* backupProgressWindow() const { return m_backupProgress; }
    SetupWindow* setupWindow() const { return m_setupWindow; }
    // Remote playback: its entry point (play) for the windows that start it, and its buttons.
    PlaybackController* playback() const { return m_playback; }
    // Local search and playback of downloaded backup sets.
    LocalPlaybackController* localPlayback() const { return m_local; }
    SkinButton* button(int controlId) const;
    PtzController* ptzController() const { return m_ptz; }
    FirmwareUpgradeWindow* firmwareWindow() const;
    const LocalSettings& settings() const { return m_settings; }
    bool removableMode() const { return m_removableMode; }
    // The posted window messages handled so far that the session marked live view started
    // with (LIVE_CHANNEL_INFO); for tests and diagnostics.
    int liveChannelInfoCount() const { return m_live.liveChannelInfoCount(); }
    // The screen saver is asked to stay off (live view shows pictures).
    bool screenSaverInhibited() const { return m_screenSaver.inhibited(); }
    const MainWindowAudio& audio() const { return *m_audio; }
    ChannelInfoFileWriter& channelInfoWriter() { return m_channelInfoWriter; }
    SnapshotController& media() { return m_media; }
    // The system and status information views (opened by the search window's information
    // menu).
    InfoViews& infoViews() { return *m_infoViews; }
    // The generation of the session whose posted messages are handled (0 before the first).
    std::uint64_t acceptedSessionGeneration() const { return firstLink().acceptedGeneration(); }
    // The session's state beside the clock, and the try under way or waited for after a lost
    // connection (0: none).
    SessionState sessionState() const { return firstLink().state(); }
    QLabel* sessionStateLabel() const { return m_stateLabel; }
    unsigned reconnectAttempt() const { return firstLink().reconnectAttempt(); }
    // The recorders connected together (1 for a single connect), the link of each and, in a
    // site, each one's state label beside the clock (null in a single connect).
    int siteRecorderCount() const { return static_cast<int>(m_links.size()); }
    const RecorderLink& recorderLink(int index) const {
        return *m_links[static_cast<std::size_t>(index)];
    }
    QLabel* recorderStateLabel(int index) const;
    // Which feature handles each posted window message.
    const MessageRouter& router() const { return m_router; }
    // The main window's own message: the program start is over (posted by the constructor).
    static constexpr int kStartupFinished = 21075;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // main_window.cpp
    void loadSkin();
    void applyWindowShape();
    void createVideoWindow();
    void destroyVideoWindow();
    // `detail`: one more line for the box (the missing right, the folder searched).
    void showNotification(Notification notification, const QString& detail = QString());
    void openNotificationBox(Notification notification, const QString& detail);
    void runNotificationAction(const NotificationBox& box);
    // `keepView`: the video window keeps its stream, layout and last pictures (a lost
    // connection that is being got back).
    void dropSession(bool keepView = false);
    // Closes every link (Connect pressed, the site given up) and shows a single recorder again.
    void dropAllSessions();
    // Keeps the site's cells with it in the address book (a site of the book only).
    void keepSiteArrangement();
    // The links a connect opens: the first `count` (made as needed), each with its live view;
    // the others are let go. Only while no link has a session.
    void prepareLinks(int count);
    bool inSite() const { return m_links.size() > 1; }
    bool anyLinkActive() const;
    // The live view of a link's recorder: link 0's is m_live.
    LiveViewController& liveOf(const RecorderLink& link);
    // "Recorder 2 (10.0.0.12)": how a box or a notice names a recorder of a site.
    QString recorderName(const RecorderLink& link) const;
    // A connection or login notification of a link other than the primary one.
    void siteLinkNotification(RecorderLink& link, Notification notification);
    void resetConnectControls(bool keepView = false);
    // The Live, Audio and Record buttons released and the recorder's time off the clock.
    void releaseRecorderControls();
    void shutdown();
    // The link whose session generation is `generation` (not 0); null for a late message.
    RecorderLink* linkOf(std::uint64_t generation) const;
    // A posted message or event of `generation` is handled: it is of no session (0) or of a
    // link's; any other is late and dropped.
    bool handlesGeneration(std::uint64_t generation) const;
    // The messages of a site's further recorders that are handled: their link's and their
    // live view's.
    static bool siteLinkMessage(int message);
    // The link that posted `message`; link 0 for a message of no session.
    RecorderLink& linkOfMessage(const WindowMessageEvent& message) const;
    // Today's one recorder: the link the features work on until they get the message's link.
    RecorderLink& firstLink() const { return *m_links.front(); }
    RecorderLink& featureLink() const {
        return *m_links[std::min(static_cast<std::size_t>(m_featureIndex), m_links.size() - 1)];
    }
    // The features follow the chosen cell's recorder, unless a feature window is open or a
    // player, the sound or PTZ runs: one recorder's features at a time.
    void followFocusedCell(int cell);
    bool featuresBusy() const;
    void attachFeatures(RecorderLink& link);
    void detachFeatures();
    // RecorderLinkHost (main_window.cpp: the session's life; main_window_reconnect.cpp: the
    // tries).
    void linkSessionMade(RecorderLink& link) override;
    void linkSessionClosing(RecorderLink& link) override;
    void linkSessionClosed(RecorderLink& link, bool keepView) override;
    void linkStateChanged(RecorderLink& link) override;
    void linkFirstTryFailed(RecorderLink& link) override;
    void linkReconnected(RecorderLink& link) override;

    // main_window_routes.cpp: the posted window messages, feature by feature.
    void setUpRoutes();
    void routeSessionMessages();
    void routeLiveMessages();
    void routePlaybackMessages();
    void routeSearchMessages();
    void routeSetupMessages();
    void routeDeviceMessages();
    MessageRouter m_router;

    // main_window_reconnect.cpp: getting a lost connection back.
    void setUpReconnect();
    // A notification the reconnecting of `link` takes: true when it is handled and shows no box.
    bool reconnectNotification(RecorderLink& link, Notification notification);
    void beginReconnect(RecorderLink& link);
    void reconnectTryFailed(RecorderLink& link);
    void restoreAfterReconnect();
    // The operator gave up: every link's tries (Connect), or one link's (its box's Cancel).
    void cancelReconnect();
    void cancelReconnect(RecorderLink& link);
    void stopReconnecting();
    void stopReconnecting(RecorderLink& link);
    void showReconnectBox(RecorderLink& link);
    // The state of each recorder beside the clock.
    void updateStateLabels();
    // The cells' "Reconnecting… (next try in N s)", once a second while reconnecting.
    void updateReconnectNotice();
    // What the cells of `link`'s recorder say while it is being got back (empty: nothing).
    QString reconnectNoticeText(const RecorderLink& link) const;
    // Asks whether the interrupted playback goes on at `second`.
    void offerPlaybackContinue(std::uint32_t second, std::uint16_t channels);

    // main_window_buttons.cpp
    void createButtons();
    void createSliders();
    void onButton(int controlId);
    void onLayoutButton(int index);
    void onLiveButton();
    void onFullButton();
    void openLocalSetup();
    void applyLocalSetup(const LocalSettings& settings, bool drawModeChanged);
    void setButtonLook(int controlId, int look);
    void showLayoutPressed(int layoutCells);
    void openSearchWindow();

    // main_window_device.cpp
    void createDeviceControls();
    void onDeviceButton(int controlId);
    void onRecordButton();
    void onFirmUpButton();
    void showUpgradeWindow();
    void restartAfterUpgrade();
    void resetConfiguration();
    void closeDeviceWindows(bool sessionEnded);
    std::vector<int> ptzPaneChannels() const;
    bool ptzDomeMenuActive() const;
    void ptzShownChannelsChanged();
    void updatePtzMarks();

    // main_window_logs.cpp
    void fillLocalLogTab(LocalSearchWindow& window);
    void updatePlaybackButtons(int highlight);

    // main_window_media.cpp: snapshots (Save, timer 21027), the image viewer (Load), the web
    // export's settings, the information views.
    void setUpMedia();
    void applyMediaSettings();
    void onSaveButton();

    // main_window_keys.cpp: the operator's keys (the local settings' key map, read again after
    // the local setup's OK) in the main window and in full-screen view, and their list.
    friend class MainWindowKeys;
    void setUpKeys();
    void reloadKeys();
    class MainWindowKeys* m_keys = nullptr; // child object

    QSettings& m_store;
    const ClientCustomisation m_custom;
    LocalSettings m_settings;
    const bool m_removableMode;
    const int m_timeZoneOffsetSeconds;
    const DecoderLibrary* const m_decoder;

    std::array<QImage, 9> m_tiles;
    QImage m_logo; // LogoD.bmp; null when there is none
    // Where the logo may go: the top band left of the first row of buttons.
    static constexpr int kLogoLeft = 58, kLogoTop = 9, kLogoMaxWidth = 130, kLogoMaxHeight = 30;
    bool m_shapeApplied = false;
    std::optional<QPoint> m_dragOffset;

    // Writes "chinfo.bin" of the web export off the GUI thread, only when it changes.
    ChannelInfoFileWriter m_channelInfoWriter;
    // Outlives the live decode host's decoders, which reach its boards.
    SnapshotController m_media;
    InfoViews* m_infoViews = nullptr; // child object, made by setUpMedia
    LiveViewController m_live;
    PlaybackController* m_playback = nullptr;   // child object
    LocalPlaybackController* m_local = nullptr; // child object
    // Released by its destructor at exit.
    ScreenSaverInhibitor m_screenSaver;
    // Volume, mute, the audio players and talking; restores the PC's volume when destroyed.
    std::unique_ptr<MainWindowAudio> m_audio;
    // The recorders: link 0 is made by the constructor and stays; a site adds one per further
    // recorder. Each holds its session and the generation whose messages are handled; a message
    // of any other session is late.
    std::vector<std::unique_ptr<RecorderLink>> m_links;
    // The live view of link i (i >= 1) is m_siteLive[i - 1]; link 0's is m_live.
    std::vector<std::unique_ptr<LiveViewController>> m_siteLive;
    std::string m_siteName; // of the site connected last, to keep its arrangement by
    int m_featureIndex = 0; // the link whose session the features work on
    const ReconnectSchedule m_reconnectSchedule;
    const std::chrono::milliseconds m_keepAliveStep;
    VideoWindow* m_videoWindow = nullptr;
    ClockDisplay* m_clock = nullptr;
    std::map<int, SkinButton*> m_buttons;
    QPointer<NotificationBox> m_notificationBox;
    QPointer<ConnectDialog> m_connectDialog;
    QPointer<SearchWindow> m_searchWindow;
    QPointer<BackupProgressWindow> m_backupProgress; // while a backup transfer runs
    // The device side (main_window_device.cpp).
    PtzController* m_ptz = nullptr;     // child of this window
    QPointer<QDialog> m_firmwareWindow; // a FirmwareUpgradeWindow
    QPointer<QDialog> m_recordPrompt;
    // The last FirmUp's scan, shown when the operator agrees (shared_ptr: the type stays
    // incomplete here).
    std::shared_ptr<FirmwareScanResult> m_firmwareScan;
    // Remote setup: the working copy of the recorder's configuration record while its window
    // is open (GUI thread only).
    void onRemoteSetupButton();
    void openSetupWindow();
    SetupServices setupServices();
    std::unique_ptr<ConfigRecord> m_setupCopy;
    QPointer<SetupWindow> m_setupWindow;
    bool m_shuttingDown = false;
    bool m_shutDown = false;

    // Reconnecting (main_window_reconnect.cpp; the tries are the link's), GUI thread.
    // What the operator had when the connection was lost, put back when live view returns.
    struct ViewToRestore {
        VideoLayout::Arrangement arrangement;
        bool liveOn = false;
        bool audioOn = false;
        // A remote playback the outage interrupted: its last shown second and its channels.
        std::uint32_t playbackSecond = 0; // 0: none
        std::uint16_t playbackChannels = 0;
        // The player had the window (an instant replay): a site's cells are put back too,
        // where a reconnect leaves a site's window as the operator has it meanwhile.
        bool playerHadWindow = false;
    };
    std::optional<ViewToRestore> m_restore;
    QTimer* m_noticeTimer = nullptr; // child: counts the wait down in the cells
    QLabel* m_stateLabel = nullptr;  // child, beside the clock
    // In a site, one label per recorder there instead (children, m_stateLabel hidden).
    std::vector<QLabel*> m_recorderStateLabels;

    // main_window_cell_menu.cpp: the cell menu, instant replay and full screen of one channel.
public:
    // Instant replay of the focused cell's channel (from 30 s back; Stop returns to live view as
    // it was); nothing when it cannot start now. For the keyboard.
    void instantReplay();
    // The cell menu while it is open (a QMenu), else null.
    QWidget* cellMenu() const { return m_cellMenu; }

private:
    void connectCellMenu();
    void showCellMenu(int cell, int channel, const QPoint& globalPos);
    // Why instant replay of `channel` cannot start now (empty: it can).
    QString instantReplayRefusal(int channel) const;
    bool startInstantReplay(int channel);
    void afterInstantReplay();
    void fullScreenChannel(int channel);
    void saveZoomedView(int cell, int channel);
    std::optional<ViewToRestore> m_replayView;                // while an instant replay runs
    std::optional<VideoLayout::Arrangement> m_fullScreenView; // while one channel is full screen
    QPointer<QWidget> m_cellMenu;
};

} // namespace kalder
