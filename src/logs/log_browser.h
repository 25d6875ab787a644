#pragma once

#include "logs/log_play_request.h"
#include "wire/log_listing.h"

#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace kalder {

class LogMenuPanel;
class RecorderSession;

// The log mode of the recorder search: the log menu on the left and, in its place on the right,
// one list, detail or change viewer at a time. Fetches the log once per session (the session
// keeps it) and shows it from the session's copy afterwards. GUI thread; the session must
// outlive it (the owner closes it when the session ends).
//
// The main window forwards the log reply's end (WindowMessage::LogReplyComplete) to
// logReplyComplete() and closes the window on CloseWindow(RequestWindow).
class LogBrowser : public QWidget {
    Q_OBJECT
public:
    // Asks the operator for the archive password; nothing when cancelled.
    using PasswordPrompt = std::function<std::optional<QString>()>;

    LogBrowser(RecorderSession& session, int dateFormat, QWidget* parent = nullptr);

    void setPasswordPrompt(PasswordPrompt prompt) { m_passwordPrompt = std::move(prompt); }
    void setLocalPlaybackRunning(std::function<bool()> running) {
        m_localPlaybackRunning = std::move(running);
    }

    // A log menu button.
    void chooseList(LogList list);
    // The log reply ended; `result` is a LogReplyResult.
    void logReplyComplete(int result);

    LogMenuPanel* menu() const { return m_menu; }
    QWidget* content() const { return m_content; }
    const std::vector<LogRecord>& records() const { return m_records; }
    bool waitingForReply() const { return m_pendingList.has_value(); }

    // The content's place in the window.
    static constexpr QRect kContentRect{197, 83, 403, 417};

signals:
    // Play from an event: the owner starts remote playback with it and keeps the resume
    // context. The browser closes once the request is taken (a receiver is connected).
    void playRequested(const LogPlayRequest& request);

private:
    void showList(LogList list);
    void showDetails(std::size_t index, LogList from);
    void showArea(std::size_t index, LogList from);
    void setContent(QWidget* widget);
    void loadRecords();
    void play(std::size_t index, LogList from);
    LogNaming naming() const;
    LogViewer viewer() const;

    RecorderSession& m_session;
    const int m_dateFormat;
    PasswordPrompt m_passwordPrompt;
    std::function<bool()> m_localPlaybackRunning;
    LogMenuPanel* m_menu = nullptr;
    QPointer<QWidget> m_content;
    std::vector<LogRecord> m_records; // the session's log as last copied
    std::optional<LogList> m_pendingList;
};

} // namespace kalder

Q_DECLARE_METATYPE(kalder::LogPlayRequest)
