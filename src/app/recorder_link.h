#pragma once

#include "connect/connect_request.h"
#include "session/reconnect_schedule.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class QTimer;

namespace kalder {

class RecorderLink;
class RecorderSession;

// What the main window shows beside the clock.
enum class SessionState { Offline, Connected, Reconnecting };

// What a link asks of the window that shows it, at fixed points of its session's life. An
// interface rather than signals: the order of these calls against the session's disconnect is
// what matters (what works on the session closes before it, the features let go of it after it),
// and a host has to answer every one of them. GUI thread.
class RecorderLinkHost {
public:
    // The link's session is made and not yet started: the features attach to it.
    virtual void linkSessionMade(RecorderLink& link) = 0;
    // The session is about to disconnect: the windows that work on it close while it answers.
    virtual void linkSessionClosing(RecorderLink& link) = 0;
    // The session has disconnected (every decoder of it has ended) and is no longer the link's;
    // it is destroyed when this returns, so the features let go of it here. `keepView`: the
    // video window keeps its stream, layout and last pictures (a lost connection being got back).
    virtual void linkSessionClosed(RecorderLink& link, bool keepView) = 0;
    // The state, the try under way or the wait before the next try changed.
    virtual void linkStateChanged(RecorderLink& link) = 0;
    // The first try to get a lost connection back failed; the link keeps trying.
    virtual void linkFirstTryFailed(RecorderLink& link) = 0;
    // A try got the connection back: the new session has logged in.
    virtual void linkReconnected(RecorderLink& link) = 0;

protected:
    ~RecorderLinkHost() = default;
};

// One recorder the main window is connected to or getting back: its session, the generation
// whose posted window messages are handled, the values of the last connect, and the tries to get
// a lost connection back with their back-off and the state beside the clock. What is about the
// one shared window (the boxes, the state label, the cells' notice, the view put back) is the
// host's. GUI thread only.
class RecorderLink : public QObject {
    Q_OBJECT
public:
    // `index`: the recorder's place in its site (0 for a single-recorder connect). `receiver`
    // gets the posted window messages of the link's sessions and outlives the link.
    // `keepAliveStep` 0: the session's own.
    RecorderLink(int index, RecorderLinkHost& host, QObject& receiver, ReconnectSchedule schedule,
                 std::chrono::milliseconds keepAliveStep);
    ~RecorderLink() override;

    int index() const { return m_index; }
    RecorderSession* session() const { return m_session.get(); }
    // The generation of the session whose posted messages are handled: the current session's,
    // or after a close the ended session's until the next one starts (0 before the first), so
    // that what the ended session posted on its way out is still handled.
    std::uint64_t acceptedGeneration() const { return m_acceptedGeneration; }
    // A message of `generation` belongs to this link; messages of no session (0) belong to none.
    bool accepts(std::uint64_t generation) const {
        return generation != 0 && generation == m_acceptedGeneration;
    }
    SessionState state() const { return m_state; }
    // The try under way or waited for after a lost connection (0: not reconnecting).
    unsigned reconnectAttempt() const { return m_attempt; }
    bool reconnecting() const { return m_attempt > 0; }
    // The wait left before the next try; nothing when no try is waited for.
    std::optional<int> nextTryInMs() const;
    // The values of the last open (its address names the recorder to the operator).
    const std::optional<ConnectRequest>& lastRequest() const { return m_lastRequest; }
    // Whether the sessions made from now on get a lost connection back (the local setting).
    void setReconnectOn(bool on) { m_reconnectOn = on; }

    // Makes and starts a session with these values; false when the link has one.
    bool open(const ConnectRequest& request);
    // Disconnects and forgets the session; nothing without one. Without `keepView` the link is
    // offline afterwards.
    void close(bool keepView = false);

    // The connection of the session was lost: whether it is to be got back (reconnecting is on,
    // the session had logged in and its login was not refused).
    bool mayReconnect() const;
    // Closes the session keeping the view and waits for the first try.
    void beginReconnect();
    // A try ended without a login: closes it and waits for the next. Each session's end is
    // counted once (its connect failure and its drop both report it).
    void tryFailed();
    // The session has logged in (LoggedIn): connected, and the tries end.
    void loggedIn();
    // Gives the tries up; a link left without a session is offline.
    void stopReconnecting();

private:
    void setState(SessionState state);
    void scheduleTry();

    const int m_index;
    RecorderLinkHost& m_host;
    QObject& m_receiver;
    const ReconnectSchedule m_schedule;
    const std::chrono::milliseconds m_keepAliveStep;
    bool m_reconnectOn = false;

    std::unique_ptr<RecorderSession> m_session;
    std::uint64_t m_acceptedGeneration = 0;
    std::optional<ConnectRequest> m_lastRequest; // the values of the last open
    bool m_loggedIn = false;                     // the session held has logged in
    unsigned m_attempt = 0;                      // 0: not reconnecting
    std::uint64_t m_failedGeneration = 0;        // the session whose end was counted
    QTimer* m_retryTimer = nullptr;              // child: the wait before the next try
    SessionState m_state = SessionState::Offline;
};

} // namespace kalder
