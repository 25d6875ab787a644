// The logs from the main window against kalder-recorder-sim: the recorder's log and its status
// information in the search window's Log and Info modes, the local operation log behind the
// local search button.
#include "info/info_list_view.h"
#include "info/info_menu_panel.h"
#include "info/info_views.h"
#include "logs/local_log_viewer.h"
#include "logs/log_browser.h"
#include "logs/log_detail_window.h"
#include "logs/log_list_window.h"
#include "logs/log_menu_panel.h"
#include "ui/report_list.h"
#include "main_window_harness.h"
#include "ui/theme.h"
#include "logs/schedule_change_viewer.h"
#include "resources/resource_library.h"
#include "search/search_window.h"
#include "session/info_rows.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

// With KALDER_SCREENSHOT_DIR set, the window as the operator sees it.
void saveScreenshot(QWidget& window, const char* name) {
    if (qEnvironmentVariableIsEmpty("KALDER_SCREENSHOT_DIR"))
        return;
    QTest::qWait(200);
    window.grab().save(qEnvironmentVariable("KALDER_SCREENSHOT_DIR") + "/" + name);
}

TEST(MainWindowLogsE2E, RecorderLogAndLocalLogOpenFromTheMainWindow) {
    test::MainWindowHarness harness;
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4", "--set", "recorder.log_records=500"}))
        << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    ConnectRequest request = test::simAdminRequest(sim.port());
    window.connectTo(request);
    // The rights arrive just after the login; the button checks them.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.session() && window.session()->status().maySearch(); }, 60000));

    QTest::mouseClick(window.button(361), Qt::LeftButton); // remote search
    QPointer<SearchWindow> search = window.searchWindow();
    ASSERT_TRUE(search);
    search->tabButton(SearchWindow::Tab::Log)->click();
    QPointer<LogBrowser> browser = search->findChild<LogBrowser*>();
    ASSERT_TRUE(browser);
    EXPECT_TRUE(browser->isVisible());
    EXPECT_TRUE(browser->menu()->isVisible());
    browser->menu()->button(LogList::Event)->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return qobject_cast<LogListWindow*>(browser->content()) != nullptr; }, 30000));
    auto* events = qobject_cast<LogListWindow*>(browser->content());
    EXPECT_GT(events->reportList()->rowCount(), 50);
    // Newest first: the simulator's 500 entries end with an event within the last few.
    EXPECT_GE(events->reportList()->cellText(0, 0).toInt(), 480);
    EXPECT_GT(events->reportList()->cellText(0, 0).toInt(),
              events->reportList()->cellText(1, 0).toInt());
    // The list stands in the window's panel place.
    EXPECT_EQ(events->mapTo(search, QPoint(0, 0)), QPoint(197, 83));
    saveScreenshot(*search, "search-log-list.png");

    // The Operation list: the details of the newest entry that has them.
    browser->menu()->button(LogList::Operation)->click();
    auto* operations = qobject_cast<LogListWindow*>(browser->content());
    ASSERT_NE(operations, nullptr);
    int withDetails = -1;
    for (int row = 0; row < operations->reportList()->rowCount() && withDetails < 0; ++row) {
        operations->selectRow(row);
        if (operations->detailsButton()->isEnabled())
            withDetails = row;
    }
    ASSERT_GE(withDetails, 0);
    operations->detailsButton()->click();
    QWidget* details = browser->content();
    ASSERT_TRUE(qobject_cast<LogDetailWindow*>(details) ||
                qobject_cast<ScheduleChangeViewer*>(details));
    EXPECT_TRUE(details->isVisible());
    saveScreenshot(*search, "search-log.png");

    // The Info mode: the log gives way to the status view.
    search->tabButton(SearchWindow::Tab::Info)->click();
    EXPECT_FALSE(browser->isVisible());
    auto* infoMenu = search->findChild<InfoMenuPanel*>();
    ASSERT_NE(infoMenu, nullptr);
    infoMenu->statusButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.infoViews().statusView() != nullptr; }, 30000));
    InfoListView* status = window.infoViews().statusView();
    EXPECT_TRUE(search->isAncestorOf(status));
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->mapTo(search, QPoint(0, 0)), QPoint(197, 83));
    EXPECT_EQ(status->cell(0, 0), resourceText(InfoText::TotalSpace));
    EXPECT_GE(status->rowCount(), 3 + 1 + 4);
    // The lists take the dark theme's text, with grid lines.
    EXPECT_EQ(status->list()->palette().color(QPalette::Text),
              kalderPalette().color(QPalette::Text));
    EXPECT_TRUE(status->list()->showGrid());
    saveScreenshot(*search, "search-info.png");
    // Back on the Log tab the details are where the operator left them.
    search->tabButton(SearchWindow::Tab::Log)->click();
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(browser->content(), details);
    EXPECT_TRUE(details->isVisible());
    // Close ends the window, the log and the information views with it.
    for (auto* b : search->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (b->accessibleName() == QStringLiteral("Close"))
            b->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.isNull() && browser.isNull(); }, 30000));
    EXPECT_EQ(window.infoViews().statusView(), nullptr);

    QTest::mouseClick(window.button(363), Qt::LeftButton); // local search, then its Log tab
    ASSERT_TRUE(window.localPlayback()->searchWindow());
    LocalSearchWindow* localSearch = window.localPlayback()->searchWindow();
    localSearch->tabButton(LocalSearchWindow::Tab::Log)->click();
    auto* local = localSearch->findChild<LocalLogViewer*>();
    ASSERT_NE(local, nullptr);
    EXPECT_TRUE(local->isVisible());
    EXPECT_EQ(local->mapTo(localSearch, QPoint(0, 0)), QPoint(197, 83));
    ASSERT_GE(local->list()->rowCount(), 1);
    EXPECT_EQ(local->list()->cellText(0, 2), resourceText(5362)); // the logon, newest
    EXPECT_EQ(local->list()->cellText(0, 3), "admin");
    EXPECT_EQ(local->list()->cellText(0, 4), "127.0.0.1");
    saveScreenshot(*localSearch, "local-log.png");

    // Disconnecting takes the search window with the session.
    QTest::mouseClick(window.button(361), Qt::LeftButton);
    search = window.searchWindow();
    ASSERT_TRUE(search);
    search->tabButton(SearchWindow::Tab::Log)->click();
    QTest::mouseClick(window.button(360), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }, 30000));
}

// From removable media nothing is logged, so there is no local log to show.
TEST(MainWindowLogsE2E, NoLocalLogFromRemovableMedia) {
    test::MainWindowHarness harness;
    MainWindowConfig config = harness.config();
    config.removableMode = true;
    MainWindow window(std::move(config));
    window.show();
    QTest::mouseClick(window.button(363), Qt::LeftButton);
    EXPECT_EQ(window.findChild<LocalLogViewer*>(), nullptr);
    // Nor is the recorder's log reachable without a session.
    QTest::mouseClick(window.button(361), Qt::LeftButton);
    EXPECT_EQ(window.findChild<LogBrowser*>(), nullptr);
}

} // namespace
} // namespace kalder
