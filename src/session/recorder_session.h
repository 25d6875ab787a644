#pragma once

#include "wire/audio_consumer.h"
#include "net/frame_assembler.h"
#include "wire/frame_consumer.h"
#include "wire/hello_record.h"
#include "net/message_dispatcher.h"
#include "wire/notification.h"
#include "wire/status_records.h"
#include "net/transport.h"
#include "session/user_rights.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

class QObject;

namespace kalder {

// The session's registry: slots 0-15 hold the channel consumers (decoders), 16 the audio
// player; these are worker objects the receive thread feeds and are guarded by the slot lock.
// Slot 17 (backup writer) and 18 (talk sender) belong to later features. Slots 19-26 are windows:
// the session never holds them; it asks the receiver to close them (CloseTarget).
inline constexpr std::size_t kSessionSlotCount = 27;
inline constexpr std::size_t kAudioSlot = 16;

// Product families; only kServedFamily is served.
inline constexpr int kServedFamily = 3;
int productFamilyFor(std::uint8_t productNumber);

// The client's one connection to one recorder: connect, login, keep-alive, dispatch of every
// incoming message on its own receive thread, live streaming, status records and rights, and
// the fixed disconnect order. QtCore only: everything meant for the GUI is posted to the
// receiver as a WindowMessageEvent (window_message.h). The receiver must outlive the session.
//
// Threads: the connect thread (once per session), the receive thread `Thread_Connecting` (runs
// every handler), the keep-alive thread (ALIVE_REQ every 10 s). Setters marked "before start"
// are called on the GUI thread before start(); the other public functions say their thread.
class RecorderSession {
public:
    explicit RecorderSession(QObject* receiver);
    ~RecorderSession();
    RecorderSession(const RecorderSession&) = delete;
    RecorderSession& operator=(const RecorderSession&) = delete;

    // Before start (the front end may change the sound device flag later).
    void setAddress(std::string address); // dotted-quad IPv4; names are resolved by the caller
    void setPort(std::uint16_t port) { m_port = port; }
    void setUserId(std::string userId);
    void setPassword(std::string password);
    void setSiteText(std::string siteText);
    void setFrameConsumerFactory(FrameConsumerFactory* factory) { m_frameFactory = factory; }
    void setAudioConsumerFactory(AudioConsumerFactory* factory) { m_audioFactory = factory; }
    void setSoundDeviceAvailable(bool available) { m_soundDeviceAvailable = available; }
    void setReceiveClock(const ReceiveClock* clock) { m_socket.setClock(clock); }
    // One keep-alive period is 200 of these steps (50 ms by default).
    void setKeepAliveStep(std::chrono::milliseconds step) { m_keepAliveStep = step; }

    // GUI thread. Starts the connect thread and returns at once.
    void start();
    // GUI thread. Adopts an already connected stream socket instead of connecting: starts the
    // receive thread and sends HELLO (tests, and front ends that connect by other means).
    void startOnConnectedSocket(int fd);
    // GUI thread. The disconnect order; returns when every thread of the session has ended.
    // Runs once; later calls do nothing.
    void disconnect();

    // Live view (GUI thread; startLive also runs on the receive thread after login).
    void startLive();
    void requestChannels(std::uint16_t mask);
    void stopLive();
    void setAudio(bool on);
    // The channel the video window shows alone in the single-cell layout, or -1.
    void setSingleViewChannel(int channel) { m_singleViewChannel = channel; }
    void setLocalPlayerOpen(bool open) { m_localPlayerOpen = open; }

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
    bool liveOn() const { return m_liveOn; }
    bool liveRequestPending() const { return m_liveRequestPending; }
    bool playbackOn() const { return m_playbackOn; }
    bool backupOn() const { return m_backupOn; }
    bool listenOn() const { return m_listenOn; }
    bool recordingOn() const { return m_recordingOn; }
    bool audioOn() const { return m_audioOn; }
    bool receiving() const { return m_receiveRunning; }
    bool keepAliveRunning() const { return m_aliveRunning; }
    // No thread of the session is running (after disconnect).
    bool threadsEnded() const;
    bool socketOpen() const { return m_socket.valid(); }

    std::string address() const;
    std::uint16_t port() const { return m_port; }
    std::string userId() const;
    std::string password() const;
    std::string siteText() const;

    HelloRecord hello() const;
    int productFamily() const { return m_productFamily; }
    bool atLeastVersion11() const { return m_atLeastVersion11; }
    bool atLeastVersion12() const { return m_atLeastVersion12; }
    bool featureBit0() const { return m_featureBit0; }
    bool featureBit1() const { return m_featureBit1; }

    std::uint32_t liveGeneration() const { return m_liveGeneration; }
    std::uint16_t videoLossMask() const { return m_videoLossMask; }
    std::uint16_t liveChannelMask() const { return m_liveChannelMask; }
    std::uint32_t recorderClock() const { return m_recorderClock; }
    int audioChannel() const { return m_audioChannel; } // -1: none
    std::uint16_t audioChannelMask() const { return m_audioChannelMask; }

    // Status records and rights.
    bool channelHidden(unsigned channel) const;
    ChannelFlags hiddenChannels() const;
    std::array<std::string, kChannelCount> channelTitles() const;
    std::string archivePassword() const;
    std::optional<ChannelConfigRecord> channelConfig() const;
    LiveViewRights liveViewRights() const;
    UserRightsTable rightsTable() const;
    std::size_t userIndex() const { return m_userIndex; }
    bool hasRight(UserRight right) const;
    bool mayStopRecording() const { return hasRight(UserRight::StopRecording); }
    bool maySetup() const { return hasRight(UserRight::RemoteSetup); }
    bool maySearch() const { return hasRight(UserRight::Search); }
    bool mayBackup() const { return hasRight(UserRight::Backup); }
    bool mayPtz() const { return hasRight(UserRight::Ptz); }
    bool mayCovertView() const { return hasRight(UserRight::CovertView); }
    bool mayRestart() const { return hasRight(UserRight::Restart); }
    std::vector<std::byte> sysEtcInfo() const;
    std::vector<std::byte> sysEtcInfoEx() const;
    bool sysEtcInfoExPresent() const { return m_sysEtcInfoExPresent; }
    std::vector<std::byte> dstTable() const; // as received, first word in host order

private:
    // recorder_session.cpp: lifecycle.
    void connectThread();
    void Thread_Connecting();
    void keepAliveThread();
    void startKeepAlive();
    void beginReceiving(int fd);
    void stopThreads();
    void post(int message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;
    void notify(Notification notification) const;
    void notifyNack(std::uint16_t messageId, std::int32_t code) const;
    void writeLogonEntry(std::uint32_t event, bool lowerCasedUser) const;
    void registerHandlers();
    bool onAudioFlag(const MessageHeader& header);
    bool RecvFn_Hello48Ack(const MessageHeader& header);
    bool RecvFn_Bye48(const MessageHeader& header);
    // Reads the whole payload; false when the read fails.
    bool readPayload(const MessageHeader& header, std::vector<std::byte>& payload);

    // session_live.cpp: live streaming and audio.
    void registerLiveHandlers();
    bool RecvFn_LiveChannelInfo(const MessageHeader& header);
    bool RecvFn_LiveData(const MessageHeader& header);
    bool RecvFn_LiveNack(const MessageHeader& header);
    bool RecvFn_LiveStopNack(const MessageHeader& header);
    void completeLiveFrame(const MessageHeader& lastFragment);
    void liveAudio(const FrameDescriptor& descriptor, std::span<const std::byte> frame);
    void startPlayer(AudioStreamKind kind);
    void stopPlayer();
    void dismantleConsumers();

    // session_status.cpp: status records, rights, device command replies.
    void registerStatusHandlers();
    bool RecvFn_DbChange(const MessageHeader& header);
    bool RecvFn_NetliveChChange(const MessageHeader& header);
    bool RecvFn_RightChange(const MessageHeader& header);
    bool RecvFn_SysEtcInfo(const MessageHeader& header);
    bool RecvFn_SysEtcInfoEx(const MessageHeader& header);
    bool RecvFn_RecStatus(const MessageHeader& header);
    bool RecvFn_RecOnOffAck(const MessageHeader& header, bool on);
    bool RecvFn_DstInfo(const MessageHeader& header);
    bool RecvFn_DvrTimeAck(const MessageHeader& header);

    QObject* const m_receiver;

    // Written before start, read by the worker threads afterwards.
    std::uint16_t m_port = 2000;
    FrameConsumerFactory* m_frameFactory = nullptr;
    AudioConsumerFactory* m_audioFactory = nullptr;
    std::chrono::milliseconds m_keepAliveStep{50};

    // Guards the texts, the recorder's description and the status records below.
    mutable std::mutex m_stateMutex;
    std::string m_address;  // 128-byte field
    std::string m_userId;   // 16-byte field
    std::string m_password; // 16-byte field; its first 8 bytes follow the rights table
    std::string m_siteText; // 260-byte field
    HelloRecord m_hello;
    std::optional<ChannelConfigRecord> m_channelConfig;
    std::array<std::string, kChannelCount> m_channelTitles;
    std::string m_archivePassword;
    LiveViewRights m_liveViewRights;
    UserRightsTable m_rights;
    std::array<std::uint8_t, kChannelCount> m_previousCovert{};
    ChannelFlags m_previousHidden{};
    std::vector<std::byte> m_sysEtcInfo;
    std::vector<std::byte> m_sysEtcInfoEx;
    std::vector<std::byte> m_dstTable;

    // Read without a lock by the GUI and the decode threads.
    std::array<std::atomic<bool>, kChannelCount> m_hidden{};
    std::atomic<std::size_t> m_userIndex{0};
    std::atomic<bool> m_sysEtcInfoExPresent{false};
    std::atomic<int> m_productFamily{0};
    std::atomic<bool> m_atLeastVersion11{false};
    std::atomic<bool> m_atLeastVersion12{false};
    std::atomic<bool> m_featureBit0{false};
    std::atomic<bool> m_featureBit1{false};
    std::atomic<unsigned> m_channelNum{16};

    // Activity and request flags: set and read by the GUI and the receive thread.
    std::atomic<bool> m_loggedIn{false};
    std::atomic<bool> m_liveOn{false};
    std::atomic<bool> m_playbackOn{false};
    std::atomic<bool> m_backupOn{false};
    std::atomic<bool> m_recordingOn{false};
    std::atomic<bool> m_listenOn{false};
    std::atomic<bool> m_liveRequestPending{false};
    std::atomic<bool> m_playbackRequestPending{false};
    std::atomic<bool> m_configRequestPending{false};
    std::atomic<bool> m_localPlayerOpen{false};
    std::atomic<bool> m_soundDeviceAvailable{false};

    // Live state.
    std::atomic<std::uint32_t> m_liveGeneration{0};
    std::atomic<std::uint16_t> m_videoLossMask{0};
    std::atomic<std::uint16_t> m_liveChannelMask{0};
    std::atomic<std::uint32_t> m_recorderClock{0};
    std::atomic<bool> m_audioOn{false};
    std::atomic<bool> m_lastAudioFlag{false};
    std::atomic<int> m_audioChannel{-1};
    std::atomic<std::uint16_t> m_audioChannelMask{0};
    std::atomic<int> m_singleViewChannel{-1};
    // Receive thread only.
    FrameAssembler m_assembly;
    bool m_audioStoppedByView = false;
    std::uint32_t m_lastPostedClock = 0;

    // Slots 0-16 (see kSessionSlotCount), guarded by m_slotMutex. The receive thread holds the
    // lock while it hands a frame or an audio element over, so a consumer is never destroyed
    // under it.
    mutable std::mutex m_slotMutex;
    std::array<std::unique_ptr<FrameConsumer>, kChannelCount> m_consumers;
    std::unique_ptr<AudioConsumer> m_audio;

    // Connection and threads.
    MessageSocket m_socket;
    MessageDispatcher m_dispatcher{m_socket};
    std::atomic<bool> m_receiveStop{true};     // also the socket's stop flag
    std::atomic<bool> m_receiveRunning{false}; // the receive thread's id field: false = ended
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
};

} // namespace kalder
