#include "session/recorder_session.h"

#include "files/local_log.h"
#include "wire/message_catalogue.h"
#include "wire/nack_outcome.h"
#include "net/tcp_connector.h"
#include "net/trace.h"
#include "post/post_to_window.h"
#include "session/window_message.h"

#include <QCoreApplication>
#include <QObject>

#include <cassert>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace kalder {

namespace {

constexpr int kReceivePollMs = 100;

// The generation of the next session; 0 is never handed out (it marks messages of no session).
std::atomic<std::uint64_t> s_nextGeneration{1};

std::uint64_t takeGeneration() {
    std::uint64_t generation = s_nextGeneration.fetch_add(1);
    while (generation == 0)
        generation = s_nextGeneration.fetch_add(1);
    return generation;
}

std::string fixedField(std::string text, std::size_t width) {
    if (text.size() > width)
        text.resize(width);
    return text;
}

} // namespace

int productFamilyFor(std::uint8_t productNumber) {
    switch (productNumber) {
    case 1:
        return 1;
    case 2:
    case 3:
        return 2;
    case 4:
        return 3;
    default:
        return 0;
    }
}

RecorderSession::RecorderSession(QObject* receiver)
    : m_receiver(receiver), m_generation(takeGeneration()) {
    m_socket.setStopFlag(&m_receiveStop);
    using namespace MessageId;
    registerHandler(HELLO48_ACK, [this](const MessageHeader& h) { return RecvFn_Hello48Ack(h); });
    registerHandler(BYE48, [this](const MessageHeader& h) { return RecvFn_Bye48(h); });
    // The recorder's own keep-alives (id 511) have no handler: the dispatcher drops them
    // silently.
}

RecorderSession::~RecorderSession() {
    // The owner runs the disconnect order; whatever still runs (a session dropped without it)
    // is stopped here without the farewell, so that no thread outlives the object.
    stopThreads();
    if (!threadsEnded())
        trace("session destroyed with threads running\n");
    assert(threadsEnded());
}

void RecorderSession::setAddress(std::string address) {
    std::lock_guard lock(m_stateMutex);
    m_address = fixedField(std::move(address), 128);
}

void RecorderSession::setUserId(std::string userId) {
    std::lock_guard lock(m_stateMutex);
    m_userId = fixedField(std::move(userId), 16);
}

void RecorderSession::setPassword(std::string password) {
    std::lock_guard lock(m_stateMutex);
    m_password = fixedField(std::move(password), 16);
}

void RecorderSession::setSiteText(std::string siteText) {
    std::lock_guard lock(m_stateMutex);
    m_siteText = fixedField(std::move(siteText), 260);
}

std::string RecorderSession::address() const {
    std::lock_guard lock(m_stateMutex);
    return m_address;
}

std::string RecorderSession::userId() const {
    std::lock_guard lock(m_stateMutex);
    return m_userId;
}

std::string RecorderSession::password() const {
    std::lock_guard lock(m_stateMutex);
    return m_password;
}

std::string RecorderSession::siteText() const {
    std::lock_guard lock(m_stateMutex);
    return m_siteText;
}

HelloRecord RecorderSession::hello() const {
    std::lock_guard lock(m_stateMutex);
    return m_hello;
}

bool RecorderSession::threadsEnded() const {
    return !m_receiveRunning && !m_aliveRunning && !m_connectThread.joinable() &&
           !m_receiveThread.joinable() && !m_aliveThread.joinable();
}

void RecorderSession::send(const MessageHeader& header, std::span<const std::byte> payload) {
    sendMessage(m_socket, header, payload);
}

void RecorderSession::post(int message, std::uintptr_t wParam, std::intptr_t lParam) const {
    if (!m_receiver)
        return;
    m_postedCount.fetch_add(1);
    postToWindow(m_receiver, new WindowMessageEvent(message, wParam, lParam, m_generation));
}

std::shared_ptr<LatestValues>& RecorderSession::latestSlot(int message) {
    for (std::size_t k = 0; k < std::size(kLatestMessages); ++k)
        if (kLatestMessages[k] == message)
            return m_latest[k];
    assert(false && "not a message of newest values");
    return m_latest[0];
}

void RecorderSession::postLatest(int message, std::uintptr_t wParam, std::intptr_t lParam) {
    postCoalesced(latestSlot(message), message, wParam, lParam);
}

void RecorderSession::postCoalesced(std::shared_ptr<LatestValues>& slot, int message,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<LatestValues> latest;
    {
        std::lock_guard lock(m_latestMutex);
        if (!slot)
            slot = std::make_shared<LatestValues>();
        std::lock_guard valuesLock(slot->mutex);
        slot->wParam = wParam;
        slot->lParam = lParam;
        if (slot->posted)
            return;
        slot->posted = true;
        latest = slot;
    }
    if (m_receiver) {
        m_postedCount.fetch_add(1);
        postToWindow(m_receiver, new WindowMessageEvent(message, std::move(latest), m_generation));
    } else {
        std::lock_guard lock(latest->mutex);
        latest->posted = false;
    }
}

void RecorderSession::restartLatest(int message) {
    std::lock_guard lock(m_latestMutex);
    // The pending message keeps the old values; a fresh record takes the next ones.
    latestSlot(message).reset();
}

void RecorderSession::notify(Notification notification) const {
    post(WindowMessage::Notification, 0, static_cast<std::intptr_t>(notification.lParam()));
}

void RecorderSession::notifyNack(std::uint16_t messageId, std::int32_t code) const {
    const NackOutcome outcome = nackOutcome(messageId, code);
    if (outcome.notification)
        notify(*outcome.notification);
}

void RecorderSession::writeLogonEntry(std::uint32_t event, bool lowerCasedUser) const {
    std::string user;
    std::string address;
    {
        std::lock_guard lock(m_stateMutex);
        user = lowerCasedUser ? toLowerAscii(m_userId) : m_userId;
        address = m_address;
    }
    localLog(kLogKindLogon, event, user, address);
}

bool RecorderSession::readPayload(const MessageHeader& header, std::vector<std::byte>& payload) {
    payload.resize(header.payloadLength);
    return LoopReceive(m_socket, payload);
}

void RecorderSession::registerHandler(std::uint16_t id, MessageDispatcher::Handler handler) {
    m_dispatcher.setHandler(id, std::move(handler));
}

void RecorderSession::registerEmptyReplyHandler(std::uint16_t id,
                                                std::function<void(const MessageHeader&)> handler) {
    m_dispatcher.setEmptyReplyHandler(id, std::move(handler));
}

void RecorderSession::adoptTablePassword(std::string_view tablePassword) {
    std::lock_guard lock(m_stateMutex);
    m_password = replacePasswordPrefix(m_password, tablePassword);
}

// ---------------------------------------------------------------------------------------------
// Connect, receive and keep-alive threads.

void RecorderSession::start() {
    m_connectThread = std::jthread([this] { connectThread(); });
}

void RecorderSession::startOnConnectedSocket(int fd) {
    beginReceiving(fd);
}

// Connect thread: connects and, on success, starts the receive thread and sends HELLO.
// Failures are posted; the connect thread never waits for the GUI.
void RecorderSession::connectThread() {
    const TcpConnectResult result = connectTcp(address(), m_port, &m_connectAbort);
    if (result.noSocket) {
        post(WindowMessage::DropSession);
        notify({0, 0});
        post(WindowMessage::ConnectFailed, static_cast<std::uintptr_t>(result.error));
        return;
    }
    if (!result.connected()) {
        const int error = result.error;
        trace("connect failed : %d\n", error);
        if (error == ETIMEDOUT || error == ECONNREFUSED) {
            post(WindowMessage::DropSession);
            notify({1, static_cast<std::uint16_t>(error == ETIMEDOUT ? 0 : 1)});
        }
        // Any other error leaves the session attached without a notification.
        post(WindowMessage::ConnectFailed, static_cast<std::uintptr_t>(error));
        if (!m_reconnecting)
            writeLogonEntry(kLogEventLogonFailed, true);
        return;
    }
    beginReceiving(result.fd);
}

void RecorderSession::beginReceiving(int fd) {
    {
        std::lock_guard lock(m_socket.sendMutex());
        m_socket.reset(fd);
    }
    // Cleared here rather than by the thread itself, so that a disconnect that comes before the
    // thread runs is not lost.
    m_receiveStop = false;
    m_receiveRunning = true;
    m_receiveThread = std::jthread([this] { Thread_Connecting(); });

    HelloPayload hello;
    {
        std::lock_guard lock(m_stateMutex);
        hello.userId = m_userId;
        hello.password = m_password;
    }
    send(makeHeader(MessageId::HELLO, kHelloPayloadSize), encodeHelloPayload(hello));
}

// Receive thread: one message per pass; a close from the peer shuts the sending side and ends.
void RecorderSession::Thread_Connecting() {
    const ReceiveClock& clock = m_socket.clock();
    auto lastArrival = clock.now();
    const std::chrono::milliseconds silenceLimit =
        m_reconnecting ? 3 * kKeepAliveStepsPerPeriod * m_keepAliveStep
                       : std::chrono::milliseconds::zero();
    // A link that stalls in the middle of a message is as lost as one that stalls between two.
    m_socket.setSilenceLimit(silenceLimit);
    while (!m_receiveStop) {
        const int fd = m_socket.fd();
        if (fd < 0)
            break;
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kReceivePollMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0) {
            if (silenceLimit.count() > 0 && clock.now() - lastArrival > silenceLimit) {
                trace("recorder silent for %lld ms\n",
                      static_cast<long long>(silenceLimit.count()));
                m_fellSilent = true;
                break;
            }
            continue;
        }
        if ((pfd.revents & (POLLERR | POLLNVAL)) != 0 && (pfd.revents & POLLIN) == 0)
            break;
        // Data first, then the close: the messages the peer sent before closing are handled.
        std::byte probe;
        const ssize_t n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0) {
            m_socket.shutdownSend();
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            break;
        }
        MessageHeader header;
        if (!receiveHeader(m_socket, header))
            break;
        lastArrival = clock.now();
        onAudioFlag(header);
        if (!m_dispatcher.dispatch(header))
            break;
    }
    if (m_socket.fellSilent())
        m_fellSilent = true;
    {
        std::lock_guard lock(m_socket.sendMutex());
        m_socket.reset();
    }
    m_receiveStop = true;
    // The recorder's audio ends with the connection.
    m_audioOnAtEnd = m_audioOn.exchange(false);
    post(WindowMessage::AudioButton, static_cast<std::uintptr_t>(ButtonLook::Released));
    notify({2, 0});
    m_receiveRunning = false;
}

void RecorderSession::startKeepAlive() {
    std::lock_guard lock(m_threadMutex);
    if (m_noMoreKeepAlive || m_aliveRunning)
        return;
    if (m_aliveThread.joinable())
        m_aliveThread.join();
    {
        std::lock_guard aliveLock(m_aliveMutex);
        m_aliveStop = false;
    }
    m_aliveRunning = true;
    m_aliveThread = std::jthread([this] { keepAliveThread(); });
}

// Keep-alive thread: ALIVE_REQ, then a wait of 200 steps that the stop request cuts short.
void RecorderSession::keepAliveThread() {
    std::unique_lock lock(m_aliveMutex);
    while (!m_aliveStop) {
        lock.unlock();
        send(makeHeader(MessageId::ALIVE_REQ));
        lock.lock();
        m_aliveWake.wait_for(lock, kKeepAliveStepsPerPeriod * m_keepAliveStep,
                             [this] { return m_aliveStop.load(); });
    }
    m_aliveRunning = false;
}

// Any thread: sets the keep-alive thread's stop flag and wakes it.
void RecorderSession::requestKeepAliveStop() {
    {
        std::lock_guard lock(m_aliveMutex);
        m_aliveStop = true;
    }
    m_aliveWake.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Login and farewell.

bool RecorderSession::RecvFn_Hello48Ack(const MessageHeader& header) {
    // The log records the change to logged in, not each HELLO48_ACK the recorder sends.
    const bool wasLoggedIn = m_loggedIn.exchange(true);
    std::vector<std::byte> payload;
    if (header.payloadLength != 0 && !readPayload(header, payload))
        return false;
    HelloRecord record;
    {
        std::lock_guard lock(m_stateMutex);
        if (payload.size() == kHelloRecordSize) {
            if (auto decoded = decodeHelloRecord(payload)) {
                m_hello = *decoded;
                rearrangeFirmwareSlots(m_hello);
            }
        } else {
            trace("hello size : %zu, Payload size : %u\n", kHelloRecordSize,
                  unsigned(header.payloadLength));
        }
        record = m_hello;
    }
    const int family = productFamilyFor(record.product_number);
    m_productFamily = family;
    if (family != kServedFamily) {
        // "Not Kalder !": the front end shows it; the connection ends here and (2,0) follows.
        // No login took place, so the disconnect order must not log a logoff.
        m_loggedIn = false;
        m_loginRefused = true;
        post(WindowMessage::NotServed, static_cast<std::uintptr_t>(family), record.product_number);
        return false;
    }
    if (record.channel_num != 4 && record.channel_num != 8 && record.channel_num != 16) {
        record.channel_num = 16;
        std::lock_guard lock(m_stateMutex);
        m_hello.channel_num = 16;
    }
    m_channelNum = record.channel_num;

    const unsigned major = record.product_major_ver, minor = record.product_minor_ver;
    m_atLeastVersion11 = major > 1 || (major == 1 && minor >= 1);
    m_atLeastVersion12 = major > 1 || (major == 1 && minor >= 2);
    m_featureBit0 = (record.flags & 0x01) != 0;
    m_featureBit1 = (record.flags & 0x02) != 0;
    // A recorder that repeats its answer while the session is logged in gets the new
    // description taken, and nothing else: live view was asked for by the first answer, and a
    // flood of answers must not restart it, log or post to the window each time.
    if (wasLoggedIn)
        return true;

    post(WindowMessage::LiveButton, static_cast<std::uintptr_t>(ButtonLook::Usable));
    m_live.startLive();
    writeLogonEntry(kLogEventLogon, false);
    startKeepAlive();
    post(WindowMessage::LoggedIn);
    return true;
}

bool RecorderSession::RecvFn_Bye48(const MessageHeader& header) {
    // One logon-failure entry per refusal: the first BYE48 of a logged-in session, or of one not
    // logged in yet; the ones the recorder repeats after it change nothing.
    const bool wasLoggedIn = m_loggedIn.exchange(false);
    const bool refusedBefore = m_refusalLogged.exchange(true);
    const bool firstRefusal = wasLoggedIn || !refusedBefore;
    m_loginRefused = true;
    const std::int32_t code = readNackCode(m_socket, header);
    if (code == kNackReadFailed)
        return false;
    // A recorder may repeat its farewell at will: at most one of its notifications waits for
    // the window, and it shows the newest reason.
    if (const auto notification = nackOutcome(MessageId::BYE48, code).notification)
        postCoalesced(m_farewellNotice, WindowMessage::Notification, 0,
                      static_cast<std::intptr_t>(notification->lParam()));
    if (firstRefusal)
        writeLogonEntry(kLogEventLogonFailed, false);
    // The connection stays until the recorder closes it.
    return true;
}

// Audio flag (code-word bit 3) of every incoming header, before dispatch.
bool RecorderSession::onAudioFlag(const MessageHeader& header) {
    const bool flag = header.audioFlag();
    const bool liveOn = m_live.liveOn();
    if (flag == m_lastAudioFlag || !(liveOn || m_playbackOn))
        return false;
    m_lastAudioFlag = flag;
    if (flag) {
        m_live.audioFlagRose(liveOn ? StreamKind::Live : StreamKind::RemotePlayback);
        m_audioOn = true;
        post(WindowMessage::AudioButton, static_cast<std::uintptr_t>(ButtonLook::Pressed));
    } else {
        m_live.audioFlagFell();
        m_audioOn = false;
        post(WindowMessage::AudioButton, static_cast<std::uintptr_t>(ButtonLook::Released));
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The disconnect order (GUI thread).

void RecorderSession::disconnect() {
    if (m_disconnected.exchange(true))
        return;
    m_playback.sessionClosing();
    // A connect still in progress is abandoned first, so that the receive thread either runs
    // already or never starts while the order below proceeds.
    m_connectAbort = true;
    if (m_connectThread.joinable())
        m_connectThread.join();

    // 1. The Connect button shows released.
    post(WindowMessage::ConnectButton, static_cast<std::uintptr_t>(ButtonLook::Released));
    // 2. Stop the first activity under way.
    if (m_live.liveOn()) {
        m_live.stopLive();
    } else if (m_playbackOn) {
        send(makeHeader(MessageId::RPLAY_STOP));
    } else if (m_backupOn) {
        send(makeHeader(MessageId::TRANS_OFF_REQ));
        post(WindowMessage::CloseWindow, CloseTarget::BackupProgress);
    } else if (m_listenOn) {
        send(makeHeader(MessageId::A_LISTEN_STOP_REQ));
    }
    // 3. Close the password prompts and the request and setup windows when open.
    post(WindowMessage::CloseWindow, CloseTarget::MainPasswordPrompt);
    if (m_featureBit0)
        post(WindowMessage::CloseWindow, CloseTarget::RequestWindowPasswordPrompt);
    post(WindowMessage::CloseWindow, CloseTarget::RequestWindow);
    post(WindowMessage::CloseWindow, CloseTarget::RemoteSetup);
    // 4. The talk sender (slot 18) belongs to the audio feature, which stops it on this
    // request; the Mike button shows released.
    m_talk.dropSender();
    post(WindowMessage::MikeButton, static_cast<std::uintptr_t>(ButtonLook::Released));
    // 5. Full-screen view returns to the main window.
    post(WindowMessage::LeaveFullScreen);
    // 6. Clear the pending requests; stop the keep-alive thread and wait for it.
    m_configRequestPending = false;
    m_live.clearRequestPending();
    m_playbackRequestPending = false;
    {
        std::lock_guard lock(m_threadMutex);
        m_noMoreKeepAlive = true;
        requestKeepAliveStop();
        if (m_aliveThread.joinable())
            m_aliveThread.join();
    }
    // 7. The search window's records are kept by the search feature, which frees them when its
    // window closes (step 3).
    // 8. The farewell.
    send(makeHeader(MessageId::BYE48));
    // 9. Stop the receive thread and wait for it. The socket's stop flag is this flag, so a
    // read in the middle of a message gives up at once instead of running into its limit.
    m_receiveStop = true;
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    // A backup still running ends with the session: its writer closes the set whole.
    m_backup.sessionClosing();
    // 10. Close the socket.
    {
        std::lock_guard lock(m_socket.sendMutex());
        if (m_socket.valid()) {
            m_socket.shutdownSend();
            m_socket.reset();
        }
    }
    // 11. Close the firmware, PTZ keypad, dome-menu and PTZ windows.
    post(WindowMessage::CloseWindow, CloseTarget::FirmwareUpgrade);
    post(WindowMessage::CloseWindow, CloseTarget::PtzPresetKeypad);
    post(WindowMessage::CloseWindow, CloseTarget::DomeMenu);
    post(WindowMessage::CloseWindow, CloseTarget::PtzPanel);
    // 12. Log the logoff of a logged-in session.
    if (m_loggedIn)
        writeLogonEntry(kLogEventLogoff, false);
    m_loggedIn = false;

    // Consumers created for a live request that never became live view (and the audio player)
    // are dismantled too: nothing of the session may run past its end.
    m_live.dismantleConsumers();
    m_live.stopPlayer();
}

// Stops every thread without the farewell (destructor of a session dropped without the
// disconnect order).
void RecorderSession::stopThreads() {
    m_playback.sessionClosing();
    m_connectAbort = true;
    if (m_connectThread.joinable())
        m_connectThread.join();
    {
        std::lock_guard lock(m_threadMutex);
        m_noMoreKeepAlive = true;
        requestKeepAliveStop();
        if (m_aliveThread.joinable())
            m_aliveThread.join();
    }
    m_receiveStop = true;
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    m_backup.sessionClosing();
    m_talk.dropSender();
    m_live.dismantleConsumers();
    m_live.stopPlayer();
}

} // namespace kalder
