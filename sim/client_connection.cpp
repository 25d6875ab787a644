#include "sim/client_connection.h"

#include "sim/info_replies.h"
#include "wire/byte_writer.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "sim/live_frame_builder.h"
#include "sim/talk_store.h"
#include "sim/recorder_log.h"

#include <algorithm>
#include <cstdarg>
#include <utility>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>

namespace kalder::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kRecordingOnState = 49;
constexpr std::int32_t kRecordingOffState = 50;
// How long a connection that said farewell waits for the client to close before closing itself.
constexpr std::chrono::milliseconds kCloseGrace{2000};
// A paced channel that falls this far behind (slow client) skips ahead instead of bursting.
constexpr std::chrono::milliseconds kMaxLag{1000};

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

std::array<std::byte, 4> be32(std::uint32_t v) {
    std::array<std::byte, 4> out;
    ByteWriter w(out);
    w.writeBe32(v);
    return out;
}

} // namespace

ClientConnection::ClientConnection(int fd, int id, std::string peer, RecorderModel& model,
                                   const MediaSource& media, ConnectionSettings settings)
    : m_id(id), m_peer(std::move(peer)), m_model(model), m_media(media),
      m_settings(std::move(settings)), m_socket(fd),
      m_faults(model, media, m_socket, m_stop, m_settings.maxFragmentBytes,
               m_settings.byeAfterLogin, faultConnection()),
      m_device(model.device(), model) {
    m_socket.setStopFlag(&m_stop);
    m_playback = std::make_unique<PlaybackStream>(
        m_model, m_media,
        [this](std::uint16_t id, std::span<const std::byte> payload) { send(id, payload); },
        [this](std::span<const std::byte> wire) {
            if (m_faults.stalled())
                return true;
            std::lock_guard lock(m_socket.sendMutex());
            return sendAll(m_socket, wire);
        },
        m_settings.maxFragmentBytes, [this](const std::string& text) { log("%s", text.c_str()); });
    m_backup = std::make_unique<BackupStream>(
        m_model, m_media,
        [this](std::uint16_t id, std::span<const std::byte> payload) { send(id, payload); },
        [this](std::span<const std::byte> wire) {
            if (m_faults.stalled())
                return true;
            std::lock_guard lock(m_socket.sendMutex());
            return sendAll(m_socket, wire);
        },
        m_settings.maxFragmentBytes, [this](const std::string& text) { log("%s", text.c_str()); });
}

ClientConnection::~ClientConnection() {
    stop();
}

FaultInjector::Connection ClientConnection::faultConnection() {
    return {
        .send = [this](std::uint16_t id, std::span<const std::byte> payload) { send(id, payload); },
        .closeGracefully = [this] { closeGracefully(); },
        .sendStatusPushes = [this](unsigned changes) { sendStatusPushes(changes); },
        .sendLiveChannelInfo = [this] { sendLiveChannelInfo(); },
        .stopLive = [this] { stopLive(); },
        .account = [this] { return m_account.load(); },
        .log = [this](const std::string& text) { log("%s", text.c_str()); },
    };
}

void ClientConnection::start() {
    m_listenerId = m_model.addListener([this](unsigned changes) {
        std::lock_guard lock(m_mutex);
        if (changes & ModelChange::VideoLoss) {
            if (m_liveOn)
                m_channelInfoPending = true;
            changes &= ~ModelChange::VideoLoss;
        }
        // The client applies the live-view table when DB_CHANGE arrives.
        if (changes & ModelChange::LiveView)
            changes |= ModelChange::Channels;
        m_pendingPushes |= changes;
        m_wake.notify_all();
    });
    m_receiveThread = std::thread([this] { receiveLoop(); });
    m_outputThread = std::thread([this] { outputLoop(); });
    m_playback->start();
    m_backup->start();
}

void ClientConnection::stop() {
    if (m_listenerId) {
        m_model.removeListener(m_listenerId);
        m_listenerId = 0;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    m_socket.shutdownBoth();
    m_playback->stop();
    m_backup->stop();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    if (m_outputThread.joinable())
        m_outputThread.join();
    m_socket.reset();
}

std::string ClientConnection::describe() const {
    std::string user;
    {
        std::lock_guard lock(m_mutex);
        user = m_user.empty() ? "-" : m_user;
    }
    char text[160];
    std::snprintf(text, sizeof text, "%d:%s:live=0x%04x:audio=%d", m_id, user.c_str(),
                  static_cast<unsigned>(m_liveMaskShown.load()), m_audioOn.load() ? 1 : 0);
    return text;
}

void ClientConnection::post(const ConnectionAction& action) {
    std::lock_guard lock(m_mutex);
    m_actions.push_back(action);
    m_wake.notify_all();
}

void ClientConnection::setStalled(bool stalled) {
    std::lock_guard lock(m_mutex);
    m_faults.setStalled(stalled);
    m_wake.notify_all();
}

void ClientConnection::log(const char* format, ...) const {
    if (!m_settings.verbose)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "kalder.sim: client %d (%s): %s\n", m_id, m_peer.c_str(), text);
}

void ClientConnection::send(std::uint16_t id, std::span<const std::byte> payload) {
    if (m_faults.stalled() || m_faults.muted(id))
        return;
    MessageHeader header = makeHeader(id, static_cast<std::uint16_t>(payload.size()));
    if (m_audioOn)
        header.code |= kCodeAudioFlag;
    sendMessage(m_socket, header, payload);
}

void ClientConnection::sendStatusInfo() {
    if (m_faults.stalled())
        return;
    const std::vector<std::byte> wire =
        statusInfoAnswer(m_model.config().statusInfo, m_model.channelCount(), m_model.recording(),
                         m_audioOn ? kCodeAudioFlag : 0);
    std::lock_guard lock(m_socket.sendMutex());
    sendAll(m_socket, wire);
}

void ClientConnection::sendNack(std::uint16_t id, std::int32_t code) {
    send(id, be32(static_cast<std::uint32_t>(code)));
}

// ---- receive thread -----------------------------------------------------------------------

bool ClientConnection::waitReadable() {
    auto lastActivity = Clock::now();
    for (;;) {
        if (m_stop)
            return false;
        const std::int64_t closeDeadline = m_closeDeadlineMs.load();
        if (closeDeadline && steadyMs() >= closeDeadline)
            return false;
        if (m_settings.idleTimeoutSeconds &&
            Clock::now() - lastActivity >= std::chrono::seconds(m_settings.idleTimeoutSeconds)) {
            log("silent for %u s, dropped", m_settings.idleTimeoutSeconds);
            return false;
        }
        pollfd pfd{m_socket.fd(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, 100);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

void ClientConnection::receiveLoop() {
    std::vector<std::byte> payload;
    while (!m_stop) {
        if (!waitReadable())
            break;
        MessageHeader header;
        if (!receiveHeader(m_socket, header))
            break;
        payload.resize(header.payloadLength);
        if (!LoopReceive(m_socket, payload))
            break;
        if (m_closeDeadlineMs.load())
            continue; // farewell said: only wait for the client to close
        if (!handleMessage(header, payload))
            break;
    }
    log("connection ended");
    if (m_talkAccepted.exchange(false))
        talkStore().connectionEnded();
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    m_socket.shutdownBoth();
    m_ended = true;
}

void ClientConnection::closeGracefully() {
    // Shut only the sending side, so that everything sent so far reaches the client before it
    // sees the close; the receive thread then reads until the client closes or the grace ends.
    {
        std::lock_guard lock(m_socket.sendMutex());
        m_socket.shutdownSend();
    }
    m_closeDeadlineMs = steadyMs() + kCloseGrace.count();
}

bool ClientConnection::handleMessage(const MessageHeader& header,
                                     std::span<const std::byte> payload) {
    const std::uint16_t id = header.messageId();
    if (!m_loggedIn) {
        if (id == MessageId::HELLO)
            return handleHello(payload);
        return true; // nothing but HELLO counts before login
    }
    if (m_faults.muted(id)) {
        log("request id %u muted: not answered", id);
        return true;
    }
    if (m_playback->handle(header, payload) || m_backup->handle(header, payload))
        return true;
    switch (id) {
    case MessageId::BYE48:
        log("farewell");
        closeGracefully();
        return true;
    case MessageId::LIVE_REQ:
        startLive(payload);
        return true;
    case MessageId::LIVE_STOP:
        endLive();
        return true;
    case MessageId::AUDIO_ONOFF_REQ:
        m_audioOn = header.audioFlag();
        log("audio %s", header.audioFlag() ? "on" : "off");
        return true;
    case MessageId::REC_ON_REQ:
    case MessageId::REC_OFF_REQ:
        switchRecording(id == MessageId::REC_ON_REQ);
        return true;
    case MessageId::PLAY_INFO_MONTH_REQ:
    case MessageId::PLAY_INFO_DAY_REQ:
    case MessageId::EVENT_INFO_REQ:
    case MessageId::CAPA_CAL_CANCEL:
    case MessageId::TRANS_INFO_MONTH_REQ:
    case MessageId::TRANS_INFO_DAY_REQ:
        serveDiskQuery(id, payload);
        return true;
    case MessageId::A_LISTEN_REQ:
    case MessageId::A_LISTEN_STOP_REQ:
    case MessageId::A_TALK_DATA:
        return handleTalk(header, payload);
    case MessageId::DVR_TIME_REQ:
        send(MessageId::DVR_TIME_ACK, be32(m_model.recorderTime()));
        return true;
    case MessageId::LOG_INFO_REQ:
        sendLog();
        return true;
    case MessageId::STATUS_INFO_REQ:
        sendStatusInfo();
        return true;
    default:
        if (handleConfigRequest(id, payload))
            return true;
        break;
    }
    if (m_device.handle(
            static_cast<std::size_t>(m_account.load()), header, payload,
            {[this](std::uint16_t reply, std::span<const std::byte> bytes) { send(reply, bytes); },
             [this] { closeGracefully(); }}))
        return true;
    if (header.code >= kKeepAliveCode) {
        if (m_settings.aliveReply)
            send(idForCode(kKeepAliveCode));
        return true;
    }
    log("request id %u not served, %zu bytes dropped", id, payload.size());
    return true;
}

// LIVE_REQ: the channels of the mask (those the recorder has) stream from the output thread,
// after LIVE_CHANNEL_INFO. A request of another length is ignored.
void ClientConnection::startLive(std::span<const std::byte> payload) {
    if (payload.size() != 4)
        return;
    const std::uint32_t word = (std::to_integer<std::uint32_t>(payload[0]) << 24) |
                               (std::to_integer<std::uint32_t>(payload[1]) << 16) |
                               (std::to_integer<std::uint32_t>(payload[2]) << 8) |
                               std::to_integer<std::uint32_t>(payload[3]);
    const unsigned count = m_model.channelCount();
    const std::uint16_t mask =
        static_cast<std::uint16_t>(word & ((count >= 16) ? 0xFFFFu : ((1u << count) - 1)));
    log("LIVE_REQ 0x%04x", mask);
    std::lock_guard lock(m_mutex);
    m_liveMask = mask;
    m_liveOn = true;
    m_channelInfoPending = true;
    m_wake.notify_all();
}

// LIVE_STOP: the output thread stops streaming and acknowledges.
void ClientConnection::endLive() {
    log("LIVE_STOP");
    std::lock_guard lock(m_mutex);
    m_liveOn = false;
    m_liveMask = 0;
    m_channelInfoPending = false;
    m_stopAckPending = true;
    m_wake.notify_all();
}

// REC_ON_REQ / REC_OFF_REQ (off needs the account's stop-recording right). The answer goes out
// before the model change, so that the asking client sees its acknowledgement ahead of the
// REC_STATUS push that every client gets.
void ClientConnection::switchRecording(bool on) {
    if (!on && !m_model.hasRight(static_cast<std::size_t>(m_account.load()), 0)) {
        sendNack(MessageId::REC_OFF_NACK, 1);
        return;
    }
    send(on ? MessageId::REC_ON_ACK : MessageId::REC_OFF_ACK,
         be32(on ? kRecordingOnState : kRecordingOffState));
    m_model.setRecording(on);
}

// The disk queries: the replies go out in fragments, bit 14 on the last; nothing while stalled.
void ClientConnection::serveDiskQuery(std::uint16_t id, std::span<const std::byte> payload) {
    m_model.search().serve(
        id, payload, [this](std::uint16_t replyId, std::span<const std::byte> bytes, bool last) {
            if (m_faults.stalled())
                return;
            MessageHeader reply = makeHeader(replyId, static_cast<std::uint16_t>(bytes.size()));
            if (last)
                reply.fragmentFlags |= kFragmentLast;
            if (m_audioOn)
                reply.code |= kCodeAudioFlag;
            sendMessage(m_socket, reply, bytes);
        });
}

// LOG_INFO_REQ: the whole log in its wire form, or the refusal.
void ClientConnection::sendLog() {
    const LogAnswer answer = answerLogRequest(m_model.config(), m_model.recorderTime());
    log("LOG_INFO_REQ: %zu bytes%s", answer.wire.size(), answer.refusal ? ", refused" : "");
    if (answer.refusal) {
        sendNack(MessageId::LOG_INFO_NACK, *answer.refusal);
    } else if (!m_faults.stalled()) {
        std::lock_guard lock(m_socket.sendMutex());
        sendAll(m_socket, answer.wire);
    }
}

bool ClientConnection::handleHello(std::span<const std::byte> payload) {
    const auto hello = decodeHelloPayload(payload);
    if (!hello) {
        log("HELLO of %zu bytes", payload.size());
        sendNack(MessageId::BYE48, m_model.config().loginFailReason);
        closeGracefully();
        return true;
    }
    const LoginResult login = m_model.authenticate(hello->userId, hello->password);
    if (!login.account) {
        log("login of '%s' refused, BYE48 %d", hello->userId.c_str(), login.byeReason);
        sendNack(MessageId::BYE48, login.byeReason);
        closeGracefully();
        return true;
    }
    m_account = static_cast<int>(*login.account);
    {
        std::lock_guard lock(m_mutex);
        m_user = hello->userId;
    }
    log("login of '%s' as account %zu", hello->userId.c_str(), *login.account);
    const auto record = encodeHelloRecord(m_model.helloRecord(*login.account));
    send(MessageId::HELLO48_ACK, record);
    m_loggedIn = true;
    sendStatusPushes(kAllStatusPushes);
    if (const auto reason = m_faults.byeAfterLogin()) {
        sendNack(MessageId::BYE48, *reason);
        closeGracefully();
    }
    return true;
}

// ---- pushes (receive or output thread) ------------------------------------------------------

void ClientConnection::sendStatusPushes(unsigned changes) {
    // The order a recorder uses after login: the client applies the live-view table and the
    // user's row when DB_CHANGE arrives, so the rights and the live-view table go first.
    if (changes & ModelChange::Rights)
        send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(m_model.rightsTable()));
    if (changes & ModelChange::LiveView)
        send(MessageId::NETLIVE_CH_CHANGE, encodeLiveViewRights(m_model.liveViewRights()));
    if (changes & ModelChange::Channels)
        send(MessageId::DB_CHANGE, encodeChannelConfigRecord(m_model.channelConfig()));
    if (changes & ModelChange::SysEtc) {
        send(MessageId::SYS_ETC_INFO, buildSysEtcInfo());
        send(MessageId::SYS_ETC_INFO_EX, buildSysEtcInfoEx());
    }
    if (changes & ModelChange::Dst)
        send(MessageId::DST_INFO, buildDstTable());
    if (changes & ModelChange::Recording)
        send(MessageId::REC_STATUS, encodeRecStatus(m_model.recStatus()));
}

// ---- output thread ------------------------------------------------------------------------

Clock::time_point ClientConnection::dueTime(unsigned channel, std::uint64_t k) const {
    const auto& loop = m_cursors[channel].loop;
    const unsigned fps = loop ? loop->params.framesPerSecond : 30;
    return m_settings.epoch +
           std::chrono::nanoseconds(static_cast<std::int64_t>(k * 1000000000ull / fps));
}

void ClientConnection::sendLiveChannelInfo() {
    std::uint16_t mask;
    {
        std::lock_guard lock(m_mutex);
        mask = m_liveMask;
    }
    const std::uint16_t loss = m_model.videoLossMask();
    const std::uint32_t word = mask | (static_cast<std::uint32_t>(loss) << 16);
    m_liveMaskShown = mask;
    send(MessageId::LIVE_CHANNEL_INFO, be32(word));
    // Channels that start streaming join the shared timeline at the next frame slot.
    const auto now = Clock::now();
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        ChannelCursor& cursor = m_cursors[c];
        const bool wanted = (mask >> c) & 1;
        if (wanted && !cursor.active) {
            auto loop = m_media.liveLoop(c);
            if (!loop)
                continue;
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_settings.epoch)
                    .count();
            cursor.frameNumber =
                static_cast<std::uint64_t>(elapsed) * loop->params.framesPerSecond / 1000000000ull +
                1;
            cursor.audioCredit = 0;
            // Each channel runs its loop at its own offset so that the channels' key frames are
            // spread over the key interval, as a recorder's independent encoders are.
            const unsigned channels = std::max(1u, m_model.channelCount());
            cursor.shift =
                static_cast<std::uint64_t>(c) * loop->params.keyIntervalFrames / channels;
            cursor.loop = std::move(loop);
        }
        cursor.active = wanted && cursor.loop != nullptr;
    }
}

void ClientConnection::outputLoop() {
    for (;;) {
        unsigned pushes = 0;
        bool channelInfo = false;
        bool stopAck = false;
        std::deque<ConnectionAction> actions;
        {
            std::unique_lock lock(m_mutex);
            auto wake = Clock::now() + std::chrono::seconds(1);
            if (m_liveOn && !m_faults.stalled()) {
                for (unsigned c = 0; c < kMaxChannels; ++c)
                    if (m_cursors[c].active)
                        wake = std::min(wake, dueTime(c, m_cursors[c].frameNumber));
            }
            m_wake.wait_until(lock, wake, [&] {
                return m_stop.load() ||
                       (!m_faults.stalled() && (m_pendingPushes || m_channelInfoPending ||
                                                m_stopAckPending || !m_actions.empty()));
            });
            if (m_stop)
                return;
            if (m_faults.stalled())
                continue;
            // Before login the pushes go out with the login answer anyway.
            pushes = std::exchange(m_pendingPushes, 0);
            if (!m_loggedIn)
                pushes = 0;
            channelInfo = std::exchange(m_channelInfoPending, false);
            stopAck = std::exchange(m_stopAckPending, false);
            actions.swap(m_actions);
            if (!m_liveOn)
                for (auto& cursor : m_cursors)
                    cursor.active = false;
        }
        for (const ConnectionAction& action : actions)
            m_faults.run(action);
        if (pushes)
            sendStatusPushes(pushes);
        if (stopAck) {
            m_liveMaskShown = 0;
            send(MessageId::LIVE_STOP_ACK);
        }
        if (channelInfo)
            sendLiveChannelInfo();
        sendDueFrames(Clock::now());
    }
}

void ClientConnection::stopLive() {
    {
        std::lock_guard lock(m_mutex);
        m_liveOn = false;
        m_liveMask = 0;
        m_channelInfoPending = false;
    }
    for (auto& cursor : m_cursors)
        cursor.active = false;
    m_liveMaskShown = 0;
}

void ClientConnection::sendDueFrames(Clock::time_point now) {
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        ChannelCursor& cursor = m_cursors[c];
        if (!cursor.active)
            continue;
        followLiveLoop(c, cursor, now);
        const unsigned fps = cursor.loop->params.framesPerSecond;
        if (dueTime(c, cursor.frameNumber) + kMaxLag < now) {
            // The client does not keep up: skip to the present instead of bursting.
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_settings.epoch)
                    .count();
            cursor.frameNumber = static_cast<std::uint64_t>(elapsed) * fps / 1000000000ull;
        }
        while (cursor.active && dueTime(c, cursor.frameNumber) <= now && !m_stop) {
            sendFrame(c, cursor);
            ++cursor.frameNumber;
        }
    }
}

void ClientConnection::followLiveLoop(unsigned channel, ChannelCursor& cursor,
                                      Clock::time_point now) {
    auto loop = m_media.liveLoop(channel);
    if (!loop || loop == cursor.loop)
        return;
    // The recording settings changed the channel's size or rate: the new loop joins the shared
    // timeline at its own rate from the next slot on, starting with a key frame so that the
    // client's decoder gets the new SPS before any picture that needs it.
    const unsigned oldFps = cursor.loop->params.framesPerSecond;
    const unsigned fps = loop->params.framesPerSecond;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_settings.epoch).count();
    cursor.frameNumber = static_cast<std::uint64_t>(elapsed) * fps / 1000000000ull + 1;
    const std::uint64_t interval = std::max(1u, loop->params.keyIntervalFrames);
    cursor.shift = (interval - cursor.frameNumber % interval) % interval;
    cursor.audioCredit =
        static_cast<unsigned>(static_cast<std::uint64_t>(cursor.audioCredit) * fps / oldFps);
    cursor.loop = std::move(loop);
    log("channel %u live at %ux%u, %u fps", channel + 1, cursor.loop->params.width,
        cursor.loop->params.height, fps);
}

void ClientConnection::sendFrame(unsigned channel, ChannelCursor& cursor) {
    const auto& loop = cursor.loop;
    const std::uint16_t lossMask = m_model.videoLossMask();
    if ((lossMask >> channel) & 1)
        return; // no camera signal: nothing to send
    const LoopParams& p = loop->params;
    const EncodedFrame& encoded =
        loop->frames[(cursor.frameNumber + cursor.shift) % loop->frames.size()];

    FrameParts parts;
    parts.channel = static_cast<std::uint8_t>(channel);
    describeLoopPicture(parts, p);
    m_model.recorderClock(parts.timeSeconds, parts.milliseconds);
    parts.key = encoded.key;
    parts.video = encoded.data;

    std::array<std::uint8_t, kAudioElementBytes> element;
    const bool audioOn = m_audioOn;
    const unsigned audioChannel = m_model.audioChannel();
    // The audio channel's sound rides on that channel's frames while they are sent, otherwise
    // on the frames of the lowest channel sent: the client hears of the audio channel whatever
    // it watches.
    unsigned carrier = kMaxChannels;
    if (audioChannel >= 1 && audioChannel <= kMaxChannels && m_cursors[audioChannel - 1].active)
        carrier = audioChannel - 1;
    for (unsigned c = 0; c < kMaxChannels && carrier == kMaxChannels; ++c)
        if (m_cursors[c].active)
            carrier = c;
    if (audioOn && audioChannel != 0 && carrier == channel) {
        // 8000 samples a second ride in 512-sample elements on the carrier's frames; the
        // credit counts samples times the frame rate, so no rounding drifts.
        cursor.audioCredit += kAudioSampleRate;
        const unsigned elementCredit = kAudioElementBytes * p.framesPerSecond;
        if (cursor.audioCredit >= elementCredit) {
            cursor.audioCredit -= elementCredit;
            MediaSource::fillAudioElement(audioChannel - 1, cursor.audioSamples, element);
            cursor.audioSamples += kAudioElementBytes;
            parts.audioElement = element;
            parts.audioChannel = static_cast<std::uint8_t>(audioChannel - 1);
        }
    }
    m_faults.shapeNextFrame(parts);

    const std::vector<std::byte> frame = buildFrame(parts);
    const std::vector<std::byte> wire =
        buildFragmentedMessages(frame, MessageId::LIVE_DATA, audioOn ? kCodeAudioFlag : 0, channel,
                                parts.timeSeconds, m_settings.maxFragmentBytes);
    if (m_faults.stalled())
        return;
    std::lock_guard lock(m_socket.sendMutex());
    if (const auto cut = m_faults.takeFrameCut(frame.size())) {
        sendAll(m_socket, std::span(wire).first(*cut));
        log("closed in the middle of a fragment");
        m_socket.shutdownBoth();
        return;
    }
    sendAll(m_socket, wire);
}

} // namespace kalder::sim
