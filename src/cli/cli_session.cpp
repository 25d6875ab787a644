#include "cli/cli_session.h"

#include "net/name_resolver.h"

#include <QCoreApplication>

#include <cstring>

namespace kalder::cli {

namespace {

// A recorder that accepts the connection but never answers the login.
constexpr int kLoginLimitMs = 60000;

} // namespace

CliSession::CliSession(const CliOptions& options, CliOutput& output)
    : m_options(options), m_output(output) {
    m_loginTimer.setSingleShot(true);
    QObject::connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        m_output.error("the recorder did not answer the login");
        finish(kExitConnectionLost);
    });
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
    default:
        onWindowMessage(message);
        return;
    }
}

} // namespace kalder::cli
