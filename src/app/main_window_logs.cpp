// The main window's part of the logs: the local operation log, and the messages meant for the
// recorder's log in the search window.
#include "app/main_window.h"

#include "files/local_log.h"
#include "logs/local_log_viewer.h"
#include "logs/log_browser.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "session/window_message.h"

namespace kalder {

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
