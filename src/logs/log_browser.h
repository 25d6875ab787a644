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

// The log mode of the recorder search: the log menu in the search window's menu place and, in
// its panel place, one list, detail or change viewer at a time. The log is fetched once in the
// browser's life (the session keeps it) and, after a playback started from a log list, shown
// from the session's copy without asking again. GUI thread; the session must outlive it (the
// search window holding it goes before the session).
//
// The owner forwards the log reply's end (WindowMessage::LogReplyComplete) to
// logReplyComplete(), and ends the browser's window on closeRequested.
class LogBrowser : public QWidget {
    Q_OBJECT
public:
    // Asks the operator for the archive password; nothing when cancelled.
    using PasswordPrompt = std::function<std::optional<QString>()>;

    // With `menuHost` the menu goes there and the browser is the panel place itself (fill it
    // with the host's parent's panel rectangle); without, the browser stands alone with the menu
    // on its left and the panels at kContentRect, as in the search window.
    LogBrowser(RecorderSession& session, int dateFormat, QWidget* menuHost = nullptr,
               QWidget* parent = nullptr);

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

    // The panel place in the search window.
    static constexpr QRect kContentRect{197, 83, 403, 417};

signals:
    // Play from an event: the owner starts remote playback with it, keeps the resume context
    // and closes the window.
    void playRequested(const kalder::LogPlayRequest& request);
    // The archive was asked for by an account that may neither search nor back up.
    void closeRequested();

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
    QRect m_contentRect;
    bool m_holdsLog = false; // this browser fetched the log
};

} // namespace kalder

Q_DECLARE_METATYPE(kalder::LogPlayRequest)
