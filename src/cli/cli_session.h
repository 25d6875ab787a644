#pragma once

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "session/reconnect_schedule.h"
#include "session/recorder_session.h"
#include "session/window_message.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kalder::cli {

// The command-line front end's receiver of the session's posted window messages: holds one
// session, prints the notifications as they arrive and turns the connection's fate into an exit
// status. A command derives from it and acts once logged in. Lives on the GUI (main) thread.
class CliSession : public QObject {
public:
    CliSession(const CliOptions& options, CliOutput& output);
    ~CliSession() override;

    // Resolves the host, starts the session and runs the event loop until finish(); returns the
    // exit status.
    int run();
    // For a command that runs several sessions in one event loop: resolves the host and starts
    // the session; finish() then hands its status to `finished` instead of ending the loop.
    // False, with the status, when the host does not resolve (nothing started).
    bool startInLoop(std::function<void(int)> finished, int& status);
    // Ends the run: the disconnect order, then the event loop returns `status` (or `finished`
    // of startInLoop receives it).
    void finish(int status);

protected:
    // The session has logged in (HELLO48_ACK accepted).
    virtual void onLoggedIn() = 0;
    // Before start: factories and flags of the command.
    virtual void configureSession(RecorderSession&) {}
    // A notification the base printed and that did not end the run.
    virtual void onNotification(Notification) {}
    // Window messages the base does not consume.
    virtual void onWindowMessage(const WindowMessageEvent&) {}

    // Records the recorder sends after the login, which a command may need before it acts.
    enum LoginRecord : unsigned {
        kRights = 1,         // RIGHT_CHANGE: the user's rights
        kRecordingState = 2, // REC_STATUS: whether the recorder records
    };
    // Runs `then` once every record of `needed` has arrived (at once when they have). Without
    // them within the reply limit the run ends as a lost connection, naming what is missing.
    void afterLoginRecords(unsigned needed, std::function<void()> then);

    // Waits at most `limitMs` (0: the reply limit) for `what`, a reply named as the protocol
    // names it together with its request ("DVR_TIME_ACK, the answer to DVR_TIME_REQ"). When
    // replyArrived() does not end the wait in time, the run ends with exit 6 and a line on
    // standard error that names it. One wait at a time: a new one replaces the last; finish()
    // ends it.
    void awaitReply(std::string what, int limitMs = 0);
    void replyArrived();
    // How long a command waits for one reply: KALDER_CLI_REPLY_TIMEOUT_MS when it is set to a
    // positive number of milliseconds, otherwise 60 seconds.
    static int replyLimitMs();

    // Before run(): after a lost connection (once logged in) the run does not end but tries
    // again after each step of the back-off, with a new session of the same account, and
    // prints {"event":"reconnect","attempt":N,"ok":B} per try. A refused login ends the
    // retries (exit 4). Tests shorten the steps with KALDER_CLI_RECONNECT_STEPS_MS (a comma list
    // of milliseconds) and the keep-alive period with KALDER_CLI_KEEPALIVE_STEP_MS.
    void enableReconnect();
    // Logged in now (false while a retry is under way).
    bool connected() const { return m_loggedIn; }

    RecorderSession& session() { return *m_session; }
    CliOutput& output() { return m_output; }
    const CliOptions& options() const { return m_options; }

    bool event(QEvent* event) override;

private:
    void startSession();
    // The session held has ended in a way that the reconnecting run retries after.
    void sessionEnded();
    // A refused login of a retry: the try failed and the retries end.
    void retryRefused(int status);
    void printReconnect(bool ok);
    void handle(const WindowMessageEvent& message);
    void loginRecordArrived(unsigned record);
    static std::string describeMissing(unsigned records);

    const CliOptions& m_options;
    CliOutput& m_output;
    std::unique_ptr<RecorderSession> m_session;
    QTimer m_loginTimer;
    QTimer m_replyTimer;
    std::string m_awaited;       // what m_replyTimer waits for
    int m_awaitedMs = 0;         // for how long
    unsigned m_loginRecords = 0; // LoginRecord bits that have arrived
    unsigned m_neededRecords = 0;
    std::function<void()> m_afterLoginRecords;
    bool m_loggedIn = false;
    bool m_finishing = false;
    std::function<void(int)> m_finished; // startInLoop's; empty: finish() ends the event loop
    std::string m_address;               // resolved once, for every session of the run
    // Reconnecting (enableReconnect): the schedule, the try under way (0: none), whether the
    // run was ever logged in, the generation whose end was handled, the wait before the try.
    std::optional<ReconnectSchedule> m_reconnect;
    unsigned m_attempt = 0;
    bool m_everLoggedIn = false;
    std::uint64_t m_endedGeneration = 0;
    QTimer m_retryTimer;
};

} // namespace kalder::cli
