#pragma once

#include "net/message_dispatcher.h"
#include "net/transport.h"
#include "session/backup_transfer.h"
#include "session/device_commands.h"
#include "session/firmware_upgrade.h"
#include "session/info_exchange.h"
#include "session/live_stream.h"
#include "session/ptz_control.h"
#include "session/log_request.h"
#include "session/playback.h"
#include "session/recorder_status.h"
#include "session/search_exchange.h"
#include "session/session_slots.h"
#include "session/talk_channel.h"
#include "session/setup_exchange.h"
#include "session/window_message.h"
#include "wire/hello_record.h"
#include "wire/message_header.h"
#include "wire/notification.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class QObject;

namespace kalder {

// Product families; only kServedFamily is served.
inline constexpr int kServedFamily = 3;
int productFamilyFor(std::uint8_t productNumber);

// The client's one connection to one recorder: connect, login, keep-alive, dispatch of every
// incoming message on its own receive thread, the slot registry and the fixed disconnect order.
// QtCore only: everything meant for the GUI is posted to the receiver as a WindowMessageEvent
// (window_message.h). The receiver must outlive the session.
//
// The features of a session are classes of their own that register their message handlers with
// this core and reach the connection, the slots and the receiver through the "feature
// interface" below: live() (live view, live audio, the channel consumers) and status() (status
// records, rights, device command replies). Later features (playback, backup, logs, PTZ,
// firmware, setup, talk) join the same way.
//
// Threads: the connect thread (once per session), the receive thread `Thread_Connecting` (runs
// every handler), the keep-alive thread (ALIVE_REQ every 200 keep-alive steps). Setters marked
// "before start" are called on the GUI thread before start(); the other public functions say
// their thread.
class RecorderSession {
public:
    explicit RecorderSession(QObject* receiver);
    ~RecorderSession();
    RecorderSession(const RecorderSession&) = delete;
    RecorderSession& operator=(const RecorderSession&) = delete;

    // Before start.
    void setAddress(std::string address); // dotted-quad IPv4; names are resolved by the caller
    void setPort(std::uint16_t port) { m_port = port; }
    void setUserId(std::string userId);
    void setPassword(std::string password);
    void setSiteText(std::string siteText);
    void setReceiveClock(const ReceiveClock* clock) { m_socket.setClock(clock); }
    // One keep-alive period is 200 of these steps (50 ms by default).
    void setKeepAliveStep(std::chrono::milliseconds step) { m_keepAliveStep = step; }
    // A front end that reconnects: the connection counts as lost when nothing at all has
    // arrived for three keep-alive periods (the recorder answers every keep-alive), and a
    // failed connect of a retry writes no logon-failure entry (the loss was logged once).
    // Off by default: a silent recorder then keeps the session, as without reconnecting.
    void setReconnecting(bool retry) { m_reconnecting = retry; }
    static constexpr int kKeepAliveStepsPerPeriod = 200;

    // GUI thread. Starts the connect thread and returns at once.
    void start();
    // GUI thread. Adopts an already connected stream socket instead of connecting: starts the
    // receive thread and sends HELLO (tests, and front ends that connect by other means).
    void startOnConnectedSocket(int fd);
    // GUI thread. The disconnect order; returns when every thread of the session has ended.
    // Runs once; later calls do nothing.
    void disconnect();

    // Unique and non-zero for each session of the process; tags everything the session posts.
    std::uint64_t generation() const { return m_generation; }

    // The features.
    LiveStream& live() { return m_live; }
    const LiveStream& live() const { return m_live; }
    RecorderStatus& status() { return m_status; }
    const RecorderStatus& status() const { return m_status; }
    SearchExchange& search() { return m_search; }
    const SearchExchange& search() const { return m_search; }
    TalkChannel& talk() { return m_talk; }
    DeviceCommands& device() { return m_device; }
    PtzControl& ptz() { return m_ptz; }
    FirmwareUpgrade& firmware() { return m_firmware; }
    SetupExchange& setup() { return m_setup; }
    const SetupExchange& setup() const { return m_setup; }
    LogRequest& logs() { return m_logs; }
    const LogRequest& logs() const { return m_logs; }
    RemotePlayback& playback() { return m_playback; }
    const RemotePlayback& playback() const { return m_playback; }
    InfoExchange& info() { return m_info; }
    BackupTransfer& backup() { return m_backup; }
    const BackupTransfer& backup() const { return m_backup; }

    // Activities of later features, read by the disconnect order and the rights handling.
    void setPlaybackOn(bool on) { m_playbackOn = on; }
    void setBackupOn(bool on) { m_backupOn = on; }
    void setListenOn(bool on) { m_listenOn = on; }
    void setConfigRequestPending(bool on) { m_configRequestPending = on; }
    void setPlaybackRequestPending(bool on) { m_playbackRequestPending = on; }

    // Any thread: sends one whole message on the session's connection.
    void send(const MessageHeader& header, std::span<const std::byte> payload = {});

    // State (any thread).
    bool loggedIn() const { return m_loggedIn; }
    bool playbackOn() const { return m_playbackOn; }
    bool backupOn() const { return m_backupOn; }
    bool listenOn() const { return m_listenOn; }
    bool configRequestPending() const { return m_configRequestPending; }
    bool playbackRequestPending() const { return m_playbackRequestPending; }
    // The recorder's audio flag, as last echoed in a header during live view or playback.
    bool audioOn() const { return m_audioOn; }
    // The audio flag as it was when the connection ended (a front end that reconnects turns
    // the recorder's audio on again).
    bool audioOnAtEnd() const { return m_audioOnAtEnd; }
    bool receiving() const { return m_receiveRunning; }
    bool keepAliveRunning() const { return m_aliveRunning; }
    // No thread of the session is running (after disconnect).
    bool threadsEnded() const;
    bool socketOpen() const { return m_socket.valid(); }
    // The recorder refused the login (BYE48) or serves another product family: a retry with
    // the same account would be refused again.
    bool loginRefused() const { return m_loginRefused; }
    // The receive thread ended because the recorder fell silent (see setReconnecting).
    bool fellSilent() const { return m_fellSilent; }

    std::string address() const;
    std::uint16_t port() const { return m_port; }
    std::string userId() const;
    std::string password() const;
    std::string siteText() const;

    HelloRecord hello() const;
    // The recorder's channel_num (4, 8 or 16; 16 until logged in).
    unsigned channelNum() const { return m_channelNum; }
    int productFamily() const { return m_productFamily; }
    bool atLeastVersion11() const { return m_atLeastVersion11; }
    bool atLeastVersion12() const { return m_atLeastVersion12; }
    bool featureBit0() const { return m_featureBit0; }
    bool featureBit1() const { return m_featureBit1; }

    // ---- Feature interface: for the feature classes of this folder. ----
    // Constructor of a feature: installs the receive handler of message `id`.
    void registerHandler(std::uint16_t id, MessageDispatcher::Handler handler);
    void registerEmptyReplyHandler(std::uint16_t id,
                                   std::function<void(const MessageHeader&)> handler);
    // Any thread: a window message to the receiver.
    void post(int message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;
    // Any thread: a message the recorder can repeat at will. At most one of each kind waits in
    // the receiver's queue; it carries the newest values when handled. `message` must be one of
    // kLatestMessages.
    void postLatest(int message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Any thread: the next postLatest of `message` posts a message of its own even when one is
    // pending, which keeps the values it had (live view starts or stops between the two).
    void restartLatest(int message);
    // Events posted to the receiver so far (diagnostics and tests).
    std::uint64_t postedCount() const { return m_postedCount; }
    void notify(Notification notification) const;
    // The notification of a negative reply's code, if the code has one.
    void notifyNack(std::uint16_t messageId, std::int32_t code) const;
    // Receive thread: reads the whole payload; false when the read fails.
    bool readPayload(const MessageHeader& header, std::vector<std::byte>& payload);
    // Receive thread: the connection, for the transport's readers (readNackCode, discardPayload).
    MessageSocket& socket() { return m_socket; }
    // Slots 0-16 and their lock.
    SessionSlots& slotRegistry() { return m_slots; }
    // Receive thread: ends the receive thread after the message being handled.
    void stopReceiving() { m_receiveStop = true; }
    // Receive thread: the recorder withdrew the login (a negative live reply).
    void markLoggedOut() { m_loggedIn = false; }
    // A new live request: the next audio flag seen in a header counts as a change from off.
    void resetAudioFlag() { m_lastAudioFlag = false; }
    // Receive thread: the rights table's password for this user replaces the first 8 bytes of
    // the session's password field.
    void adoptTablePassword(std::string_view tablePassword);

private:
    void connectThread();
    void Thread_Connecting();
    void keepAliveThread();
    void startKeepAlive();
    void requestKeepAliveStop();
    void beginReceiving(int fd);
    void stopThreads();
    void writeLogonEntry(std::uint32_t event, bool lowerCasedUser) const;
    bool onAudioFlag(const MessageHeader& header);
    bool RecvFn_Hello48Ack(const MessageHeader& header);
    bool RecvFn_Bye48(const MessageHeader& header);

    std::shared_ptr<LatestValues>& latestSlot(int message);
    // Posts `message` unless one posted through `slot` still waits; the waiting one then carries
    // these newest values. `slot` is guarded by m_latestMutex.
    void postCoalesced(std::shared_ptr<LatestValues>& slot, int message, std::uintptr_t wParam,
                       std::intptr_t lParam);

    QObject* const m_receiver;
    const std::uint64_t m_generation;
    mutable std::atomic<std::uint64_t> m_postedCount{0};

    // The newest values of the messages posted with postLatest; the pointers are guarded by
    // m_latestMutex, the values by their own mutex.
    std::mutex m_latestMutex;
    std::array<std::shared_ptr<LatestValues>, std::size(kLatestMessages)> m_latest;
    std::shared_ptr<LatestValues> m_farewellNotice; // the notifications of BYE48

    // Written before start, read by the worker threads afterwards.
    std::uint16_t m_port = 2000;
    std::chrono::milliseconds m_keepAliveStep{50};
    bool m_reconnecting = false;

    // Guards the texts and the recorder's description.
    mutable std::mutex m_stateMutex;
    std::string m_address;  // 128-byte field
    std::string m_userId;   // 16-byte field
    std::string m_password; // 16-byte field; its first 8 bytes follow the rights table
    std::string m_siteText; // 260-byte field
    HelloRecord m_hello;

    // Read without a lock by every thread.
    std::atomic<int> m_productFamily{0};
    std::atomic<bool> m_atLeastVersion11{false};
    std::atomic<bool> m_atLeastVersion12{false};
    std::atomic<bool> m_featureBit0{false};
    std::atomic<bool> m_featureBit1{false};
    std::atomic<unsigned> m_channelNum{16};

    // Activity and request flags: set and read by the GUI and the receive thread.
    std::atomic<bool> m_loggedIn{false};
    // A refusal (BYE48) was logged; after it only a new login makes the next one count.
    std::atomic<bool> m_refusalLogged{false};
    std::atomic<bool> m_loginRefused{false}; // BYE48 or a family not served
    std::atomic<bool> m_fellSilent{false};
    std::atomic<bool> m_playbackOn{false};
    std::atomic<bool> m_backupOn{false};
    std::atomic<bool> m_listenOn{false};
    std::atomic<bool> m_playbackRequestPending{false};
    std::atomic<bool> m_configRequestPending{false};
    // The audio-flag hook: written by the receive thread.
    std::atomic<bool> m_audioOn{false};
    std::atomic<bool> m_lastAudioFlag{false};
    std::atomic<bool> m_audioOnAtEnd{false};

    SessionSlots m_slots;

    // Connection and threads.
    MessageSocket m_socket;
    MessageDispatcher m_dispatcher{m_socket};
    std::atomic<bool> m_receiveStop{true};     // also the socket's stop flag
    std::atomic<bool> m_receiveRunning{false}; // the receive thread's id field: false = ended
    // The keep-alive thread waits on m_aliveWake; m_aliveStop is set under m_aliveMutex.
    std::mutex m_aliveMutex;
    std::condition_variable m_aliveWake;
    std::atomic<bool> m_aliveStop{true};
    std::atomic<bool> m_aliveRunning{false}; // the keep-alive thread's id field
    std::atomic<bool> m_connectAbort{false};
    std::atomic<bool> m_disconnected{false};
    std::jthread m_connectThread; // started and joined by the GUI thread
    std::jthread m_receiveThread; // started by the connect thread, joined after it
    // The keep-alive thread is started by the receive thread and joined by the GUI thread:
    // both under m_threadMutex, which also keeps a late login from starting it once the
    // disconnect order has begun.
    std::mutex m_threadMutex;
    std::jthread m_aliveThread;
    bool m_noMoreKeepAlive = false;

    // The features: built last (their constructors register handlers with m_dispatcher).
    LiveStream m_live{*this};
    RecorderStatus m_status{*this};
    SearchExchange m_search{*this};
    TalkChannel m_talk{*this};
    DeviceCommands m_device{*this};
    PtzControl m_ptz{*this};
    FirmwareUpgrade m_firmware{*this};
    SetupExchange m_setup{*this};
    LogRequest m_logs{*this};
    RemotePlayback m_playback{*this};
    InfoExchange m_info{*this};
    BackupTransfer m_backup{*this};
};

} // namespace kalder
