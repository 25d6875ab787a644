// The main window's part of the logs: the local operation log, and the messages meant for the
// recorder's log in the search window.
#include "app/main_window.h"

#include "files/local_log.h"
#include "app/search_modes.h"
#include "local/local_search_window.h"
#include "logs/log_browser.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "session/window_message.h"

namespace kalder {

void MainWindow::fillLocalLogTab(LocalSearchWindow& window) {
    installLocalLogMode(window, localLogFilePath(m_settings.location.toStdString()),
                        static_cast<int>(m_settings.dateFormat));
}

bool MainWindow::forwardLogMessage(const WindowMessageEvent& message) {
    // The recorder's log lives in the search window's Log mode.
    LogBrowser* browser = m_searchWindow ? m_searchWindow->findChild<LogBrowser*>() : nullptr;
    switch (message.message()) {
    case WindowMessage::LogReplyComplete:
        if (browser)
            browser->logReplyComplete(static_cast<int>(message.wParam()));
        return true;
    default:
        return false;
    }
}

} // namespace kalder
