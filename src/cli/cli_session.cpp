#include "cli/cli_session.h"

#include "net/name_resolver.h"

#include <QCoreApplication>

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

} // namespace

CliSession::CliSession(const CliOptions& options, CliOutput& output)
    : m_options(options), m_output(output) {
    m_loginTimer.setSingleShot(true);
    QObject::connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        m_output.error("the recorder did not answer the login (no HELLO48_ACK within " +
                       std::to_string(kLoginLimitMs) + " ms)");
        finish(kExitConnectionLost);
    });
    m_replyTimer.setSingleShot(true);
    QObject::connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        m_output.error("the recorder did not send " + m_awaited + " (waited " +
                       std::to_string(m_awaitedMs) + " ms)");
        finish(kExitConnectionLost);
    });
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
    const std::string address = resolveRecorderAddress(m_options.host);
    if (address.empty()) {
        m_output.error("cannot resolve '" + m_options.host + "'");
        return kExitCannotConnect;
    }
    m_session = std::make_unique<RecorderSession>(this);
    m_session->setAddress(address);
    m_session->setPort(m_options.port);
    m_session->setUserId(m_options.user);
    m_session->setPassword(m_options.password);
    configureSession(*m_session);
    m_loginTimer.start(kLoginLimitMs);
    m_session->start();
    return QCoreApplication::exec();
}

void CliSession::finish(int status) {
    if (m_finishing)
        return;
    m_finishing = true;
    m_loginTimer.stop();
    m_replyTimer.stop();
    if (m_session)
        m_session->disconnect();
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
        if (n.category == 0 || n.category == 1)
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
        finish(kExitCannotConnect);
        return;
    case WindowMessage::NotServed:
        m_output.error("Not Kalder ! (product number " + std::to_string(message.lParam()) + ")");
        finish(kExitNotServed);
        return;
    case WindowMessage::LoggedIn:
        m_loggedIn = true;
        m_loginTimer.stop();
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
