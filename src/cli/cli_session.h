#pragma once

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "session/recorder_session.h"
#include "session/window_message.h"

#include <QObject>
#include <QTimer>

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
    // Ends the run: the disconnect order, then the event loop returns `status`.
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

    RecorderSession& session() { return *m_session; }
    CliOutput& output() { return m_output; }
    const CliOptions& options() const { return m_options; }

    bool event(QEvent* event) override;

private:
    void handle(const WindowMessageEvent& message);

    const CliOptions& m_options;
    CliOutput& m_output;
    std::unique_ptr<RecorderSession> m_session;
    QTimer m_loginTimer;
    bool m_loggedIn = false;
    bool m_finishing = false;
};

} // namespace kalder::cli
