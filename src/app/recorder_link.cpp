#include "app/recorder_link.h"

#include "session/recorder_session.h"

#include <QTimer>

namespace kalder {

RecorderLink::RecorderLink(int index, RecorderLinkHost& host, QObject& receiver,
                           ReconnectSchedule schedule, std::chrono::milliseconds keepAliveStep)
    : m_index(index), m_host(host), m_receiver(receiver), m_schedule(std::move(schedule)),
      m_keepAliveStep(keepAliveStep) {
    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_lastRequest && !m_session && m_attempt > 0)
            open(*m_lastRequest);
        m_host.linkStateChanged(*this);
    });
}

// The host closes the session before it lets the link go; a session left over is only
// destroyed (its destructor ends its threads), no host is called any more.
RecorderLink::~RecorderLink() = default;

std::optional<int> RecorderLink::nextTryInMs() const {
    if (!m_retryTimer->isActive())
        return std::nullopt;
    return m_retryTimer->remainingTime();
}

bool RecorderLink::open(const ConnectRequest& request) {
    if (m_session)
        return false;
    m_session = std::make_unique<RecorderSession>(&m_receiver);
    m_acceptedGeneration = m_session->generation();
    m_lastRequest = request;
    m_loggedIn = false;
    if (m_keepAliveStep.count() > 0)
        m_session->setKeepAliveStep(m_keepAliveStep);
    m_session->setReconnecting(m_reconnectOn);
    m_session->setAddress(request.address);
    m_session->setPort(request.port);
    m_session->setUserId(request.userId);
    m_session->setPassword(request.password);
    m_session->setSiteText(request.siteText);
    m_host.linkSessionMade(*this);
    m_session->start();
    return true;
}

void RecorderLink::close(bool keepView) {
    if (!m_session)
        return;
    m_host.linkSessionClosing(*this);
    std::unique_ptr<RecorderSession> session = std::move(m_session);
    session->disconnect(); // every decoder of the session has ended when it returns
    m_host.linkSessionClosed(*this, keepView);
    session.reset();
    if (!keepView)
        setState(SessionState::Offline);
    // What the ended session posted (its disconnect order's released buttons and windows to
    // close, the closed connection's notification) is still handled as it arrives: its
    // generation stays the accepted one until the next session starts.
}

bool RecorderLink::mayReconnect() const {
    return m_reconnectOn && m_session && m_loggedIn && !m_session->loginRefused() && m_lastRequest;
}

void RecorderLink::beginReconnect() {
    m_failedGeneration = m_acceptedGeneration;
    m_attempt = 1;
    close(true);
    setState(SessionState::Reconnecting);
    scheduleTry();
}

void RecorderLink::tryFailed() {
    if (m_failedGeneration == m_acceptedGeneration)
        return;
    m_failedGeneration = m_acceptedGeneration;
    close(true);
    if (m_attempt == 1)
        m_host.linkFirstTryFailed(*this);
    ++m_attempt;
    scheduleTry();
}

void RecorderLink::scheduleTry() {
    m_retryTimer->start(m_schedule.delayBefore(m_attempt));
    m_host.linkStateChanged(*this);
}

void RecorderLink::loggedIn() {
    m_loggedIn = true;
    setState(SessionState::Connected);
    if (m_attempt == 0)
        return;
    m_attempt = 0;
    m_retryTimer->stop();
    m_host.linkReconnected(*this);
}

void RecorderLink::stopReconnecting() {
    const bool wasReconnecting = m_attempt > 0;
    m_attempt = 0;
    m_retryTimer->stop();
    if (wasReconnecting && !m_session)
        setState(SessionState::Offline);
    else
        m_host.linkStateChanged(*this);
}

void RecorderLink::setState(SessionState state) {
    m_state = state;
    m_host.linkStateChanged(*this);
}

} // namespace kalder
