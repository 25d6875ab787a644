// The main window's part of the logs: the local operation log's tab in the local search window.
// (The recorder's log replies reach the search window through the message table.)
#include "app/main_window.h"

#include "files/local_log.h"
#include "app/search_modes.h"
#include "local/local_search_window.h"

namespace kalder {

void MainWindow::fillLocalLogTab(LocalSearchWindow& window) {
    installLocalLogMode(window, localLogFilePath(m_settings.location.toStdString()),
                        static_cast<int>(m_settings.dateFormat));
}

} // namespace kalder
