// The main window's part of the logs: opening the recorder's log and the local operation log,
// and the messages meant for them.
#include "app/main_window.h"

#include "files/local_log.h"
#include "logs/local_log_viewer.h"
#include "logs/log_browser.h"
#include "session/recorder_session.h"
#include "session/window_message.h"

namespace kalder {

void MainWindow::openRemoteLog() {
    if (!m_session || !m_session->loggedIn())
        return;
    if (m_logBrowser) {
        m_logBrowser->show();
        m_logBrowser->raise();
        m_logBrowser->activateWindow();
        return;
    }
    auto* browser = new LogBrowser(*m_session, static_cast<int>(m_settings.dateFormat), this);
    browser->setWindowFlag(Qt::Window);
    browser->setAttribute(Qt::WA_DeleteOnClose);
    // Where the search window stands: over the middle of the main window.
    browser->move(frameGeometry().center() - browser->rect().center());
    m_logBrowser = browser;
    // Play from a log entry: the search window reopens on the Log mode after playback.
    connect(browser, &LogBrowser::playRequested, this, [this](const LogPlayRequest& r) {
        if (!m_session)
            return;
        SearchResumeContext context;
        context.active = true;
        context.fromLogList = true;
        context.start = r.start;
        m_session->search().setResumeContext(std::move(context));
        update(QRect(QPoint(250, 630), QPoint(677, 644)));
        m_playback->play(r.start, r.end, r.channelMask, static_cast<std::uint8_t>(r.kindSelector));
    });
    browser->show();
}

void MainWindow::closeRemoteLog() {
    // Deleted now, not later: it refers to the session that is about to go.
    delete m_logBrowser.data();
}

void MainWindow::openLocalLog() {
    if (m_removableMode)
        return; // nothing is logged from removable media, and there is no Log tab
    if (auto* viewer = qobject_cast<LocalLogViewer*>(m_localLogViewer.data())) {
        viewer->reload();
        viewer->show();
        viewer->raise();
        viewer->activateWindow();
        return;
    }
    auto* viewer = new LocalLogViewer(localLogFilePath(m_settings.location.toStdString()),
                                      static_cast<int>(m_settings.dateFormat), this);
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_localLogViewer = viewer;
    viewer->show();
}

bool MainWindow::forwardLogMessage(const WindowMessageEvent& message) {
    auto* browser = qobject_cast<LogBrowser*>(m_logBrowser.data());
    switch (message.message()) {
    case WindowMessage::LogReplyComplete:
        if (browser)
            browser->logReplyComplete(static_cast<int>(message.wParam()));
        return true;
    case WindowMessage::CloseWindow:
        // The window of the refused request; other windows may close on it too.
        if (browser && message.wParam() == std::uintptr_t(CloseTarget::RequestWindow))
            browser->close();
        return false;
    default:
        return false;
    }
}

} // namespace kalder
