#include "app/search_modes.h"

#include "info/info_menu_panel.h"
#include "info/info_views.h"
#include "local/local_search_window.h"
#include "logs/local_log_viewer.h"
#include "logs/log_browser.h"
#include "search/search_window.h"

#include <QPointer>

namespace kalder {

void installLogMode(SearchWindow& window, RecorderSession& session, int dateFormat,
                    std::function<bool()> localPlaybackRunning) {
    SearchWindow* const owner = &window;
    window.setModeContent(SearchWindow::Tab::Log,
                          [owner, &session, dateFormat, running = std::move(localPlaybackRunning)](
                              QWidget* menuArea, QWidget* panelArea) -> SearchWindow::ModeBusy {
                              auto* browser =
                                  new LogBrowser(session, dateFormat, menuArea, panelArea);
                              browser->setGeometry(panelArea->rect());
                              if (running)
                                  browser->setLocalPlaybackRunning(running);
                              QObject::connect(browser, &LogBrowser::playRequested, owner,
                                               [owner](const LogPlayRequest& r) {
                                                   SearchPlayRequest request;
                                                   request.start = r.start;
                                                   request.end = r.end;
                                                   request.channelMask = r.channelMask;
                                                   request.kindSelector =
                                                       static_cast<std::uint8_t>(r.kindSelector);
                                                   SearchResumeContext context;
                                                   context.fromLogList = true;
                                                   owner->play(request, std::move(context));
                                               });
                              QObject::connect(browser, &LogBrowser::closeRequested, owner,
                                               [owner] { owner->closeFromMode(); });
                              browser->show();
                              // The fetch holds the tabs, as the search's own requests do.
                              QPointer<LogBrowser> guard(browser);
                              return [guard] { return guard && guard->waitingForReply(); };
                          });
}

void installInfoMode(SearchWindow& window, InfoViews& views) {
    InfoViews* const info = &views;
    window.setModeContent(
        SearchWindow::Tab::Info,
        [info](QWidget* menuArea, QWidget* panelArea) -> SearchWindow::ModeBusy {
            info->setHost(panelArea);
            auto* menu = new InfoMenuPanel(menuArea);
            QObject::connect(menu, &InfoMenuPanel::systemChosen, info, &InfoViews::openSystemInfo);
            QObject::connect(menu, &InfoMenuPanel::statusChosen, info, &InfoViews::openStatusInfo);
            menu->show();
            return {};
        });
}

void installLocalLogMode(LocalSearchWindow& window, std::filesystem::path logFile, int dateFormat) {
    window.setLogContent(
        [file = std::move(logFile), dateFormat](QWidget* panelArea) -> LocalSearchWindow::LogShown {
            auto* viewer = new LocalLogViewer(file, dateFormat, panelArea);
            viewer->setGeometry(panelArea->rect());
            viewer->show();
            // The viewer reads the file as it is built; each later choice of the tab reads it
            // again.
            return [viewer, fresh = true]() mutable {
                if (!fresh)
                    viewer->reload();
                fresh = false;
            };
        });
}

} // namespace kalder
