#include "cli/cli_session.h"

#include "net/name_resolver.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kalder::cli {

namespace {

// A recorder that accepts the connection but never answers the login.
constexpr int kLoginLimitMs = 60000;
// A recorder that logged the user in but leaves a request unanswered.
constexpr int kDefaultReplyLimitMs = 60000;
// Tests shorten the reply limit with this variable; it is not part of the command-line
// contract, which has no option for it.
constexpr const char* kReplyLimitVariable = "KALDER_CLI_REPLY_TIMEOUT_MS";
// Tests shorten the back-off and the keep-alive period with these (not part of the contract).
constexpr const char* kReconnectStepsVariable = "KALDER_CLI_RECONNECT_STEPS_MS";
constexpr const char* kKeepAliveStepVariable = "KALDER_CLI_KEEPALIVE_STEP_MS";

// The keep-alive step from the environment, or nothing for the session's default.
std::optional<std::chrono::milliseconds> keepAliveStepFromEnvironment() {
    const char* text = std::getenv(kKeepAliveStepVariable);
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    char* rest = nullptr;
    const long value = std::strtol(text, &rest, 10);
    if (*rest != '\0' || value <= 0 || value > 10000)
        return std::nullopt;
    return std::chrono::milliseconds(value);
}

} // namespace

CliSession::CliSession(const CliOptions& options, CliOutput& output)
    : m_options(options), m_output(output) {
    m_loginTimer.setSingleShot(true);
    QObject::connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        m_output.error("the recorder did not answer the login (no HELLO48_ACK within " +
                       std::to_string(kLoginLimitMs) + " ms)");
        if (m_reconnect && m_everLoggedIn)
            sessionEnded(); // a retry that got no answer: the next one follows
        else
            finish(kExitConnectionLost);
    });
    m_replyTimer.setSingleShot(true);
    QObject::connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        m_output.error("the recorder did not send " + m_awaited + " (waited " +
                       std::to_string(m_awaitedMs) + " ms)");
        finish(kExitConnectionLost);
    });
    m_retryTimer.setSingleShot(true);
    QObject::connect(&m_retryTimer, &QTimer::timeout, this, [this] { startSession(); });
}

void CliSession::enableReconnect() {
    m_reconnect = ReconnectSchedule();
    if (const char* text = std::getenv(kReconnectStepsVariable); text != nullptr && *text != '\0')
        if (auto schedule = ReconnectSchedule::fromMillisecondsText(text))
            m_reconnect = *schedule;
}

int CliSession::replyLimitMs() {
    const char* text = std::getenv(kReplyLimitVariable);
    if (text == nullptr || *text == '\0')
        return kDefaultReplyLimitMs;
    char* rest = nullptr;
    const long value = std::strtol(text, &rest, 10);
    if (*rest != '\0' || value <= 0 || value > 24L * 3600 * 1000)
        return kDefaultReplyLimitMs;
    return static_cast<int>(value);
}

std::string CliSession::describeMissing(unsigned records) {
    std::string text;
    if (records & kRights)
        text = "RIGHT_CHANGE (the user's rights)";
    if (records & kRecordingState)
        text += std::string(text.empty() ? "" : " and ") + "REC_STATUS (the recording state)";
    return text + ", which follow the login";
}

void CliSession::awaitReply(std::string what, int limitMs) {
    if (m_finishing)
        return;
    m_awaited = std::move(what);
    m_awaitedMs = limitMs > 0 ? limitMs : replyLimitMs();
    m_replyTimer.start(m_awaitedMs);
}

void CliSession::replyArrived() {
    m_replyTimer.stop();
}

void CliSession::afterLoginRecords(unsigned needed, std::function<void()> then) {
    m_neededRecords = needed;
    m_afterLoginRecords = std::move(then);
    if ((m_loginRecords & needed) != needed)
        awaitReply(describeMissing(needed & ~m_loginRecords));
    loginRecordArrived(0);
}

void CliSession::loginRecordArrived(unsigned record) {
    m_loginRecords |= record;
    if (!m_afterLoginRecords || (m_loginRecords & m_neededRecords) != m_neededRecords)
        return;
    replyArrived();
    // Taken out first: `then` may wait for something of its own.
    std::function<void()> then = std::move(m_afterLoginRecords);
    m_afterLoginRecords = nullptr;
    then();
}

CliSession::~CliSession() {
    if (m_session)
        m_session->disconnect();
}

int CliSession::run() {
    int status = kExitOk;
    if (!startInLoop({}, status))
        return status;
    return QCoreApplication::exec();
}

bool CliSession::startInLoop(std::function<void(int)> finished, int& status) {
    const std::string address = resolveRecorderAddress(m_options.host);
    if (address.empty()) {
        m_output.error("cannot resolve '" + m_options.host + "'");
        status = kExitCannotConnect;
        return false;
    }
    m_finished = std::move(finished);
    m_address = address;
    startSession();
    return true;
}

void CliSession::startSession() {
    if (m_finishing)
        return;
    // The ended session has run its disconnect order already; its late messages are dropped
    // by their tag once the new one is held.
    m_session.reset();
    m_session = std::make_unique<RecorderSession>(this);
    m_session->setAddress(m_address);
    m_session->setPort(m_options.port);
    m_session->setUserId(m_options.user);
    m_session->setPassword(m_options.password);
    if (const auto step = keepAliveStepFromEnvironment())
        m_session->setKeepAliveStep(*step);
    m_session->setReconnecting(m_reconnect.has_value());
    configureSession(*m_session);
    m_loginTimer.start(kLoginLimitMs);
    m_session->start();
}

void CliSession::printReconnect(bool ok) {
    if (m_output.json())
        m_output.line("{\"event\":\"reconnect\",\"attempt\":" + std::to_string(m_attempt) +
                      ",\"ok\":" + (ok ? "true" : "false") + "}");
    else
        m_output.line("reconnect: try " + std::to_string(m_attempt) + (ok ? " ok" : " failed"));
}

void CliSession::sessionEnded() {
    if (m_finishing || m_endedGeneration == m_session->generation())
        return;
    m_endedGeneration = m_session->generation();
    m_loginTimer.stop();
    m_replyTimer.stop();
    if (m_attempt > 0)
        printReconnect(false);
    m_loggedIn = false;
    ++m_attempt;
    m_session->disconnect();
    m_retryTimer.start(static_cast<int>(m_reconnect->delayBefore(m_attempt).count()));
}

void CliSession::retryRefused(int status) {
    if (m_attempt > 0 && m_endedGeneration != m_session->generation())
        printReconnect(false);
    m_endedGeneration = m_session->generation();
    finish(status);
}

void CliSession::finish(int status) {
    if (m_finishing)
        return;
    m_finishing = true;
    m_loginTimer.stop();
    m_replyTimer.stop();
    m_retryTimer.stop();
    if (m_session)
        m_session->disconnect();
    if (m_finished)
        m_finished(status);
    else
        QCoreApplication::exit(status);
}

bool CliSession::event(QEvent* event) {
    if (auto* message = dynamic_cast<WindowMessageEvent*>(event)) {
        // A message of a session other than the one held is late: dropped by its tag.
        const bool stale = m_session && message->staleFor(m_session->generation());
        if (!m_finishing && !stale)
            handle(*message);
        return true;
    }
    return QObject::event(event);
}

void CliSession::handle(const WindowMessageEvent& message) {
    switch (message.message()) {
    case WindowMessage::Notification: {
        const Notification n =
            Notification::fromLParam(static_cast<std::uint32_t>(message.lParam()));
        m_output.notification(n);
        const bool retrying = m_reconnect && m_everLoggedIn;
        if (retrying &&
            (n.category == 0 || n.category == 1 || (n.category == 2 && !m_session->loginRefused())))
            sessionEnded();
        else if (retrying && (n.category == 3 || n == Notification{15, 0}))
            retryRefused(kExitRefused);
        else if (n.category == 0 || n.category == 1)
            finish(kExitCannotConnect);
        else if (n.category == 3 || n == Notification{15, 0})
            finish(kExitRefused);
        else if (n.category == 2)
            finish(kExitConnectionLost);
        if (!m_finishing)
            onNotification(n);
        return;
    }
    case WindowMessage::ConnectFailed:
        m_output.error(std::string("cannot connect: ") +
                       std::strerror(static_cast<int>(message.wParam())));
        if (m_reconnect && m_everLoggedIn)
            sessionEnded();
        else
            finish(kExitCannotConnect);
        return;
    case WindowMessage::NotServed:
        m_output.error("Not Kalder ! (product number " + std::to_string(message.lParam()) + ")");
        retryRefused(kExitNotServed);
        return;
    case WindowMessage::LoggedIn:
        m_loggedIn = true;
        m_loginTimer.stop();
        if (m_attempt > 0) {
            printReconnect(true);
            m_attempt = 0;
        }
        m_everLoggedIn = true;
        onLoggedIn();
        return;
    case WindowMessage::RightsArrived:
        loginRecordArrived(kRights);
        return;
    case WindowMessage::RecordButton:
        // Before a command asks for anything, only REC_STATUS shows the record button.
        loginRecordArrived(kRecordingState);
        onWindowMessage(message);
        return;
    default:
        onWindowMessage(message);
        return;
    }
}

} // namespace kalder::cli
