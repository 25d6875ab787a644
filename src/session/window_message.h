#pragma once

#include <QEvent>

#include <cstdint>
#include <memory>
#include <mutex>

namespace kalder {

// Posted window messages. Worker threads (connect, receive, keep-alive, decode) never touch a
// window object: everything they need done on the GUI thread travels as a WindowMessageEvent
// posted to one receiver object (the main window, or the command-line front end's receiver),
// which lives for the whole run and forwards a message meant for another window when that
// window still exists. The event type is the message number itself.
namespace WindowMessage {
enum : int {
    // Numbers shared by the whole client.
    Notification = 21030,           // lParam = category << 16 | detail
    ConfigArrived = 21031,          // the configuration record arrived whole, CRC checked
    LogReplyComplete = 21050,       // the log reply ended; wParam: LogReplyResult
    PlaybackClock = 21074,          // remote playback started: playback mode, buttons and its
                                    // clock; wParam = the recorder's channel count
    StatusInfoReady = 21052,        // the status information reply ended; wParam: InfoExchange
    RecorderTimeToTimePage = 21076, // wParam = the recorder's clock (DVR_TIME_ACK)
    RightsChanged = 21077,          // to the search window; wParam 0, 1 or 2
    ListenAccepted = 21053,         // A_LISTEN_ACK: create the talk sender
    ListenEnded = 21054,            // the recorder ended or refused talking: destroy the sender
    // Firmware upload replies, to the upgrade window (FirmwareUpgrade posts them only for the
    // row in progress). wParam = the reply code for the three negative ones.
    FirmwareUpdateAck = 21034,
    FirmwareUpdateNack = 21035,
    FirmwareDataRxDone = 21036,
    FirmwareDataRxFail = 21037,
    FirmwareUpdateDone = 21038,
    FirmwareUpdateFail = 21039,
    PtzMove = 21049,   // PTZ panel: wParam 0 press / 1 release, lParam 0-3 direction, 4 preset
    PtzPreset = 21055, // PTZ keypad's OK: wParam = preset action code, lParam = number
    // Backup transfer, to the progress window (session/backup_transfer.h).
    BackupProgressOpen = 21064,     // a transfer starts: wParam = its size in kilobytes
    BackupProgressPosition = 21065, // wParam = kilobytes written so far (newest values)
    BackupProgressClose = 21066,    // the transfer ended; its outcome is the session's

    // 21100-21149: the session's own requests to the receiver. These replace the few things the
    // session would otherwise do to the main window's controls from a worker thread; the
    // receiver acts on them on the GUI thread.
    LiveButton = 21100,            // wParam: ButtonLook
    AudioButton = 21101,           // wParam: ButtonLook
    RecordButton = 21102,          // wParam: ButtonLook (pressed = recording)
    ConnectButton = 21103,         // wParam: ButtonLook
    MikeButton = 21104,            // wParam: ButtonLook
    NotServed = 21105,             // the recorder is of a product family this client does not serve
                                   // ("Not Kalder !"); wParam = productFamily, lParam =
                                   // product_number. The connection ends; (2,0) follows.
    DropSession = 21106,           // the connect thread failed: disconnect and forget the session
    LoggedIn = 21107,              // HELLO48_ACK accepted; the recorder's description is readable
    ConnectFailed = 21108,         // any connect failure; wParam = errno (posted besides the
                                   // notification, if any; the desktop ignores it)
    RecorderClock = 21109,         // lParam = the recorder's clock (seconds, UTC) of live frames;
                                   // posted when the second changes
    LiveChannels = 21110,          // LIVE_CHANNEL_INFO: wParam = streaming channel mask (hidden
                                   // channels removed), lParam = video-loss mask
    VideoWindowReset = 21111,      // clear and repaint the video window; wParam = the
                                   // recorder's channel count (4, 8, 16), whose layout the window
                                   // selects, or 0 to keep the layout; live start and stop also
                                   // release the nine layout buttons
    HiddenChannelsChanged = 21112, // the hidden state of channels changed: repaint
    AudioChannel = 21113,          // wParam = the recorder's audio channel (DB_CHANGE byte 540)
    CloseWindow = 21114,           // wParam: CloseTarget; close that window when it is open
    LeaveFullScreen = 21115,       // return the video window from full-screen view
    ChannelInfoFile = 21116,     // wParam = channel mask to record in the channel information file
                                 // when the local settings ask for it; 0 when live view stops
    ClearSearchContext = 21117,  // the search right was withdrawn: clear the search resume context
    TalkRefused = 21118,         // A_LISTEN_NACK, whatever its code; wParam = the code (the
                                 // desktop acts on 21054 and the notification instead)
    ConfigExchangeEnded = 21124, // wParam: ConfigExchangeEnd (setup_exchange.h), lParam: the
                                 // recorder's reply code (front ends that wait for the exchange)
    // Backup transfer (session/backup_transfer.h).
    BackupSizeKnown = 21125,   // TRANS_ON_ACK: wParam = the period's size in kilobytes
    BackupRefused = 21126,     // TRANS_ON_NACK (or an unreadable size): lParam = the reason
    BackupWriterEnded = 21127, // the writer's thread ended; the receiver calls writerEnded()
    // Remote playback (session/playback.h); the receiver reads the state from the session.
    PlaybackEnded = 21120,    // back to live mode: clock gone, buttons reset, 16-picture layout
    PlaybackButtons = 21121,  // the buttons' rules changed; wParam = button to highlight or 0
    PlaybackRefused = 21122,  // PLAY_ON_NACK: the request ended; lParam = the reason
    PlaybackPosition = 21123, // the shown frame's second or the speed mark changed
    // The facts the live overlays show changed; the receiver reads the new ones from the session
    // and pushes them to whoever draws (the decode threads never pull them per picture).
    ChannelTitlesChanged = 21140, // DB_CHANGE brought other channel titles
    AudioFactsChanged = 21141,    // the channel that carries the live audio changed
    RightsArrived = 21142,        // a RIGHT_CHANGE was applied: the user's rights are known
    // Device commands and PTZ.
    RecordReply = 21134,     // REC_ON_ACK or REC_OFF_ACK handled; wParam 1 = recording
    PtzAvailability = 21135, // PTZ_CHANNEL_ACK: wParam 1 = the channel has a camera
    TestMailAnswer = 21136,  // SEND_TEST_MAIL_ACK (wParam 1) or _NACK (wParam 0, lParam = its
                             // reply code), for the setup window's e-mail page
};
} // namespace WindowMessage

// Every message above, for the receivers that must say what they do with each (a new message
// goes here too).
inline constexpr int kAllWindowMessages[] = {
    WindowMessage::Notification,
    WindowMessage::ConfigArrived,
    WindowMessage::LogReplyComplete,
    WindowMessage::PlaybackClock,
    WindowMessage::StatusInfoReady,
    WindowMessage::RecorderTimeToTimePage,
    WindowMessage::RightsChanged,
    WindowMessage::ListenAccepted,
    WindowMessage::ListenEnded,
    WindowMessage::FirmwareUpdateAck,
    WindowMessage::FirmwareUpdateNack,
    WindowMessage::FirmwareDataRxDone,
    WindowMessage::FirmwareDataRxFail,
    WindowMessage::FirmwareUpdateDone,
    WindowMessage::FirmwareUpdateFail,
    WindowMessage::PtzMove,
    WindowMessage::PtzPreset,
    WindowMessage::BackupProgressOpen,
    WindowMessage::BackupProgressPosition,
    WindowMessage::BackupProgressClose,
    WindowMessage::LiveButton,
    WindowMessage::AudioButton,
    WindowMessage::RecordButton,
    WindowMessage::ConnectButton,
    WindowMessage::MikeButton,
    WindowMessage::NotServed,
    WindowMessage::DropSession,
    WindowMessage::LoggedIn,
    WindowMessage::ConnectFailed,
    WindowMessage::RecorderClock,
    WindowMessage::LiveChannels,
    WindowMessage::VideoWindowReset,
    WindowMessage::HiddenChannelsChanged,
    WindowMessage::AudioChannel,
    WindowMessage::CloseWindow,
    WindowMessage::LeaveFullScreen,
    WindowMessage::ChannelInfoFile,
    WindowMessage::ClearSearchContext,
    WindowMessage::TalkRefused,
    WindowMessage::ConfigExchangeEnded,
    WindowMessage::BackupSizeKnown,
    WindowMessage::BackupRefused,
    WindowMessage::BackupWriterEnded,
    WindowMessage::PlaybackEnded,
    WindowMessage::PlaybackButtons,
    WindowMessage::PlaybackRefused,
    WindowMessage::PlaybackPosition,
    WindowMessage::ChannelTitlesChanged,
    WindowMessage::AudioFactsChanged,
    WindowMessage::RightsArrived,
    WindowMessage::RecordReply,
    WindowMessage::PtzAvailability,
    WindowMessage::TestMailAnswer,
};

// The messages that carry state the recorder can push again and again: the session posts them
// coalesced (RecorderSession::postLatest); the receiver sees the newest values.
inline constexpr int kLatestMessages[] = {
    WindowMessage::LiveChannels,           WindowMessage::ChannelInfoFile,
    WindowMessage::RecorderClock,          WindowMessage::HiddenChannelsChanged,
    WindowMessage::AudioChannel,           WindowMessage::RightsChanged,
    WindowMessage::ClearSearchContext,     WindowMessage::RecorderTimeToTimePage,
    WindowMessage::RecordButton,           WindowMessage::ChannelTitlesChanged,
    WindowMessage::AudioFactsChanged,      WindowMessage::RecordReply,
    WindowMessage::PtzAvailability,        WindowMessage::PlaybackPosition,
    WindowMessage::BackupProgressPosition, WindowMessage::RightsArrived,
};

enum class ButtonLook : int { Released = 0, Pressed = 1, Usable = 2 };

// Windows the session asks the receiver to close.
namespace CloseTarget {
enum : int {
    FirmwareUpgrade = 19,
    RequestWindow = 20, // the window that made the current search, backup or log request
    RemoteSetup = 21,
    RemotePlayback = 22,
    PtzPanel = 23,
    PtzPresetKeypad = 24,
    DomeMenu = 25,
    BackupProgress = 26,
    MainPasswordPrompt = 100,
    RequestWindowPasswordPrompt = 101,
};
} // namespace CloseTarget

// The newest values of a message the recorder can repeat at will (channel masks, clock, status
// pushes). The session keeps one per kind and posts a message of that kind only when none is
// pending; the pending message reads the newest values when the receiver handles it. So a flood
// of such messages queues at most one event per kind, and the newest values win.
struct LatestValues {
    std::mutex mutex;
    bool posted = false; // a message of this kind waits in the receiver's queue
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// A posted window message: QEvent::Type is the message number. Everything a session posts
// carries the session's generation (unique and non-zero for each session of the process), so
// that a receiver can tell a late message of an ended session from one of the session it now
// holds; generation 0 marks a message bound to no session (the program's own, the decoders').
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(int message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::uint64_t generation = 0)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam),
          m_generation(generation) {}
    // A message that carries the newest values of `latest` (already marked posted).
    WindowMessageEvent(int message, std::shared_ptr<LatestValues> latest, std::uint64_t generation)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(0), m_lParam(0),
          m_generation(generation), m_latest(std::move(latest)) {}
    ~WindowMessageEvent() override { takeLatest(); }
    WindowMessageEvent(const WindowMessageEvent&) = delete;
    WindowMessageEvent& operator=(const WindowMessageEvent&) = delete;

    int message() const { return static_cast<int>(type()); }
    std::uintptr_t wParam() const {
        takeLatest();
        return m_wParam;
    }
    std::intptr_t lParam() const {
        takeLatest();
        return m_lParam;
    }
    // For a message of newest values: reads them and lets the sender post the next change.
    // Receivers of messages without parameters call it before they read the session's state.
    // Done at the latest when the event is destroyed; does nothing for other messages.
    void takeLatest() const {
        if (!m_latest)
            return;
        {
            std::lock_guard lock(m_latest->mutex);
            m_latest->posted = false;
            m_wParam = m_latest->wParam;
            m_lParam = m_latest->lParam;
        }
        m_latest.reset();
    }
    std::uint64_t generation() const { return m_generation; }

    // The message belongs to a session other than the one of `currentGeneration`: the receiver
    // drops it. Messages of no session are never stale.
    bool staleFor(std::uint64_t currentGeneration) const {
        return m_generation != 0 && m_generation != currentGeneration;
    }

private:
    // Receiver's thread only once posted.
    mutable std::uintptr_t m_wParam;
    mutable std::intptr_t m_lParam;
    std::uint64_t m_generation;
    mutable std::shared_ptr<LatestValues> m_latest;
};

} // namespace kalder
