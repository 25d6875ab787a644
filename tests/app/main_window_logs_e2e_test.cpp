// The logs from the main window against kalder-recorder-sim: the recorder's log behind the
// search window's Log mode, the local operation log behind the local search button.
#include "logs/local_log_viewer.h"
#include "logs/log_browser.h"
#include "logs/log_list_window.h"
#include "logs/log_menu_panel.h"
#include "logs/report_list.h"
#include "main_window_harness.h"
#include "resources/resource_library.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(MainWindowLogsE2E, RecorderLogAndLocalLogOpenFromTheMainWindow) {
    test::MainWindowHarness harness;
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4", "--set", "recorder.log_records=500"}))
        << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    ConnectRequest request;
    request.address = "127.0.0.1";
    request.typedAddress = request.address;
    request.port = sim.port();
    request.userId = "admin";
    request.password = "1234";
    window.connectTo(request);
    // The rights arrive just after the login; the button checks them.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.session() && window.session()->status().maySearch(); }, 60000));

    QTest::mouseClick(window.button(361), Qt::LeftButton); // remote search
    ASSERT_TRUE(window.searchWindow());
    window.searchWindow()->tabButton(SearchWindow::Tab::Log)->click();
    QPointer<LogBrowser> browser = window.findChild<LogBrowser*>();
    ASSERT_TRUE(browser);
    EXPECT_TRUE(browser->isVisible());
    browser->menu()->button(LogList::Event)->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return qobject_cast<LogListWindow*>(browser->content()) != nullptr; }, 30000));
    auto* events = qobject_cast<LogListWindow*>(browser->content());
    EXPECT_GT(events->reportList()->rowCount(), 50);
    // Newest first: the simulator's 500 entries end with an event within the last few.
    EXPECT_GE(events->reportList()->cellText(0, 0).toInt(), 480);
    EXPECT_GT(events->reportList()->cellText(0, 0).toInt(),
              events->reportList()->cellText(1, 0).toInt());

    QTest::mouseClick(window.button(363), Qt::LeftButton); // local search, then its Log tab
    ASSERT_TRUE(window.localPlayback()->searchWindow());
    window.localPlayback()->searchWindow()->tabButton(LocalSearchWindow::Tab::Log)->click();
    auto* local = window.findChild<LocalLogViewer*>();
    ASSERT_NE(local, nullptr);
    ASSERT_GE(local->list()->rowCount(), 1);
    EXPECT_EQ(local->list()->cellText(0, 2), resourceText(5362)); // the logon, newest
    EXPECT_EQ(local->list()->cellText(0, 3), "admin");
    EXPECT_EQ(local->list()->cellText(0, 4), "127.0.0.1");

    // Disconnecting takes the recorder's log window with the session.
    QTest::mouseClick(window.button(360), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.isNull(); }, 30000));
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
