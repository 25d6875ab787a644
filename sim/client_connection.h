#pragma once

#include "wire/message_header.h"
#include "net/transport.h"
#include "sim/backup_stream.h"
#include "sim/device_commands.h"
#include "sim/fault_injector.h"
#include "sim/media_source.h"
#include "sim/playback_stream.h"
#include "sim/recorder_model.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kalder::sim {

// Settings a connection takes at start and keeps.
struct ConnectionSettings {
    unsigned idleTimeoutSeconds = 60;
    std::size_t maxFragmentBytes = 65535;
    std::optional<std::int32_t> byeAfterLogin;
    bool aliveReply = true;
    bool verbose = false;
    std::chrono::steady_clock::time_point epoch; // frame timeline shared by all connections
};

// One client of the recorder. The receive thread reads and answers requests; the output thread
// paces live frames and sends status pushes, live answers and admin-requested faults (carried
// out by its FaultInjector). Both send through the socket's send lock, one whole message (or one
// whole frame) at a time.
class ClientConnection {
public:
    ClientConnection(int fd, int id, std::string peer, RecorderModel& model,
                     const MediaSource& media, ConnectionSettings settings);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Server thread: starts both threads.
    void start();
    // Server thread: ends the connection and joins both threads.
    void stop();
    // True once the receive thread has ended (the server then calls stop()).
    bool ended() const { return m_ended.load(); }

    int id() const { return m_id; }
    bool loggedIn() const { return m_loggedIn.load(); }
    // "id user live=0x.... audio=0|1" for the admin's client list.
    std::string describe() const;

    // Any thread: queue an action for the output thread.
    void post(const ConnectionAction& action);
    // Any thread: stop (or resume) sending anything without closing.
    void setStalled(bool stalled);
    // Remote playback of this client (its knobs and credit report).
    PlaybackStream& playback() { return *m_playback; }
    // Backup transfers of this client (its knobs and report).
    BackupStream& backup() { return *m_backup; }

private:
    struct ChannelCursor {
        bool active = false;
        std::uint64_t frameNumber = 0; // frame k is due at epoch + k / fps
        std::uint64_t audioSamples = 0;
        unsigned audioCredit = 0; // samples owed to the client, times the frame rate
        // The loop being played and the shift of frame k into it (k + shift): the channel's
        // stagger at the start, a key frame at the next slot after a change of loop.
        std::shared_ptr<const VideoLoop> loop;
        std::uint64_t shift = 0;
    };
    // Output thread: moves the cursor onto the channel's live loop when that changed.
    void followLiveLoop(unsigned channel, ChannelCursor& cursor,
                        std::chrono::steady_clock::time_point now);

    void receiveLoop();
    void outputLoop();
    bool waitReadable();
    bool handleMessage(const MessageHeader& header, std::span<const std::byte> payload);
    bool handleHello(std::span<const std::byte> payload);
    // The requests of handleMessage that take more than a line.
    void startLive(std::span<const std::byte> payload);
    void endLive();
    void switchRecording(bool on);
    void serveDiskQuery(std::uint16_t id, std::span<const std::byte> payload);
    void sendLog();
    // talk_store.cpp: A_LISTEN_REQ, A_LISTEN_STOP_REQ and A_TALK_DATA.
    bool handleTalk(const MessageHeader& header, std::span<const std::byte> payload);
    // DB_INFO_REQ, DB_UPDATE_REQ, DB_INIT_REQ (client_config.cpp); false: not one of them.
    bool handleConfigRequest(std::uint16_t id, std::span<const std::byte> payload);
    void sendStatusPushes(unsigned changes);
    void sendLiveChannelInfo();
    void sendDueFrames(std::chrono::steady_clock::time_point now);
    void sendFrame(unsigned channel, ChannelCursor& cursor);
    // Output thread: live streaming ends without LIVE_STOP_ACK (the LIVE_NACK fault).
    void stopLive();
    // What the faults do through this connection.
    FaultInjector::Connection faultConnection();
    void closeGracefully();
    std::chrono::steady_clock::time_point dueTime(unsigned channel, std::uint64_t k) const;

    // Sends one message with the audio flag as it now stands; dropped while stalled.
    void send(std::uint16_t id, std::span<const std::byte> payload = {});
    void sendNack(std::uint16_t id, std::int32_t code);
    void sendStatusInfo(); // STATUS_INFO_REQ: the reply in pieces or the refusal
    void log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    const int m_id;
    const std::string m_peer;
    RecorderModel& m_model;
    const MediaSource& m_media;
    const ConnectionSettings m_settings;
    MessageSocket m_socket;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_loggedIn{false};
    std::atomic<bool> m_audioOn{false};
    std::atomic<std::int64_t> m_closeDeadlineMs{0}; // steady ms; 0: not closing
    std::atomic<int> m_account{-1};
    std::atomic<bool> m_talkAccepted{false}; // A_LISTEN_REQ accepted, not stopped
    std::atomic<std::uint32_t> m_liveMaskShown{0};

    mutable std::mutex m_mutex;        // guards the fields below
    std::condition_variable m_wake;    // output thread's wake-up
    unsigned m_pendingPushes = 0;      // ModelChange bits
    bool m_channelInfoPending = false; // send LIVE_CHANNEL_INFO (new LIVE_REQ or video loss)
    bool m_stopAckPending = false;     // send LIVE_STOP_ACK
    std::uint16_t m_liveMask = 0;      // requested channels; 0: live off
    bool m_liveOn = false;
    std::deque<ConnectionAction> m_actions;
    std::string m_user;

    // Output thread only.
    std::array<ChannelCursor, kMaxChannels> m_cursors{};

    FaultInjector m_faults;

    DeviceRequests m_device; // receive thread only

    int m_listenerId = 0;
    std::unique_ptr<PlaybackStream> m_playback;
    std::unique_ptr<BackupStream> m_backup;
    std::thread m_receiveThread;
    std::thread m_outputThread;
};

} // namespace kalder::sim
