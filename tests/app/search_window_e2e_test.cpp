// The remote search window from the main window against the simulator's recorded disk: the
// calendar, a recorded day's timeline, the time cursor, Play, the resume context, the event list,
// refusals and Cancel.
#include "main_window.h"
#include "main_window_harness.h"

#include "search/calendar_panel.h"
#include "search/day_timeline_panel.h"
#include "search/event_list_panel.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "wire/recorder_time.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

namespace kalder {
namespace {

constexpr int kWaitMs = 30000;

class SearchWindowE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // The day test plays from 09:30 of the disk's last day, so that day must hold it at
        // whatever hour the test runs: before noon the disk ends at noon (its last thirty days
        // otherwise end now).
        const std::time_t t = std::time(nullptr);
        const auto now = static_cast<std::uint32_t>(t + standardTimeZoneOffsetSeconds(t));
        const std::uint32_t noon = now - now % 86400 + 12 * 3600;
        ASSERT_TRUE(sim.start({"--channels", "4", "--disk-seed", "9", "--disk-end",
                               std::to_string(std::max(now, noon))}))
            << sim.lastError();
        window = std::make_unique<MainWindow>(harness.config());
        window->show();
        ConnectRequest request = test::simAdminRequest(sim.port());
        window->connectTo(request);
        WAIT_UNTIL(window->session() && window->session()->loggedIn(), kWaitMs);
        WAIT_UNTIL(window->session()->status().maySearch(), kWaitMs);
    }
    void TearDown() override { window.reset(); }

    SearchWindow* openSearch() {
        window->button(361)->click();
        QCoreApplication::processEvents();
        return window->searchWindow();
    }
    std::string requests() { return sim.admin("search-requests"); }
    // Saves a picture of `widget` when KALDER_SCREENSHOT_DIR is set (for looking at it).
    static void screenshot(QWidget* widget, const char* name) {
        const QByteArray dir = qgetenv("KALDER_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            widget->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SearchWindowE2E, CalendarDayTimelinePlayAndResume) {
    SearchWindow* search = openSearch();
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search->currentTab(), SearchWindow::Tab::Search);
    EXPECT_TRUE(search->tabEnabled(SearchWindow::Tab::Backup));
    EXPECT_EQ(search->searchChannelMask(), 0x000F);

    search->menuButton(3)->click(); // Calendar
    EXPECT_TRUE(search->requestPending());
    search->menuButton(3)->click(); // ignored while the request is pending
    WAIT_UNTIL(search->calendarPanel() && search->calendarPanel()->isVisible(), kWaitMs);
    EXPECT_FALSE(search->requestPending());
    EXPECT_EQ(requests(), "ok month=1 day=0 event=0 cancel=0");
    CalendarPanel* calendar = search->calendarPanel();
    // The latest month with recordings: the disk's last thirty days end now.
    const CivilTime now = decodeRecorderTime(static_cast<std::uint32_t>(
        std::time(nullptr) + standardTimeZoneOffsetSeconds(std::time(nullptr))));
    EXPECT_TRUE(calendar->year() == now.year || calendar->year() == now.year - 1);
    EXPECT_TRUE(calendar->monthButton(calendar->month())->isEnabled());
    for (int m = calendar->month() + 1; m <= 12; ++m)
        EXPECT_FALSE(calendar->monthButton(m)->isEnabled()) << m;
    // The month's last recorded day.
    CivilTime today{calendar->year(), calendar->month(), 0};
    for (int d = 1; d <= 31; ++d)
        if (calendar->dayHighlighted(d))
            today.day = d;
    ASSERT_GT(today.day, 0);
    screenshot(search, "search-calendar");

    // A day without recordings sends nothing.
    for (int d = 1; d <= daysInMonth(calendar->year(), calendar->month()); ++d)
        if (!calendar->dayHighlighted(d)) {
            calendar->chooseDay(d);
            break;
        }
    EXPECT_FALSE(search->requestPending());

    calendar->dayButton(today.day)->click();
    WAIT_UNTIL(search->timelinePanel() && search->timelinePanel()->isVisible(), kWaitMs);
    EXPECT_EQ(requests(), "ok month=1 day=1 event=0 cancel=0");
    DayTimelinePanel* timeline = search->timelinePanel();
    EXPECT_FALSE(search->daySegments().empty());
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(113 + 12 * 9 + 6, 100));
    ASSERT_TRUE(timeline->chosenTime());
    EXPECT_EQ(*timeline->chosenTime(), (TimeOfDay{9, 30, 0}));
    EXPECT_EQ(timeline->timeText(), "09 : 30 : 00");
    screenshot(search, "search-timeline");

    std::optional<SearchPlayRequest> played;
    QObject::connect(search, &SearchWindow::playRequested,
                     [&](const SearchPlayRequest& r) { played = r; });
    timeline->playButton()->click();
    ASSERT_TRUE(played);
    const auto expectedStart =
        encodeOperatorTime({today.year, today.month, today.day, 9, 30, 0},
                           standardTimeZoneOffsetSeconds(std::time(nullptr)));
    EXPECT_EQ(played->start, *expectedStart);
    EXPECT_EQ(formatRecorderTime(played->start).substr(11), "09:30:00");
    EXPECT_EQ(played->end, 0u);
    EXPECT_EQ(played->channelMask, 0x000F);
    EXPECT_EQ(played->kindSelector, 0);
    WAIT_UNTIL(window->searchWindow() == nullptr, 5000);
    const SearchResumeContext context = window->session()->search().resumeContext();
    EXPECT_TRUE(context.active);
    EXPECT_EQ(context.source, SearchResumeContext::Source::DayTimeline);
    EXPECT_EQ(context.start, played->start);

    // Reopened, Calendar goes straight back to the timeline at the saved time.
    search = openSearch();
    ASSERT_NE(search, nullptr);
    search->menuButton(3)->click();
    ASSERT_TRUE(search->timelinePanel());
    ASSERT_TRUE(search->timelinePanel()->chosenTime());
    EXPECT_EQ(*search->timelinePanel()->chosenTime(), (TimeOfDay{9, 30, 0}));
    EXPECT_EQ(requests(), "ok month=1 day=1 event=0 cancel=0");

    // Event starts a new search: the context is cleared and the recorder asked.
    search->menuButton(1)->click();
    screenshot(search, "search-channels");
    search->menuButton(0)->click();
    screenshot(search, "search-datetime");
    search->menuButton(2)->click();
    WAIT_UNTIL(search->eventListPanel() && search->eventListPanel()->isVisible(), kWaitMs);
    EXPECT_FALSE(window->session()->search().resumeContext().active);
    EventListPanel* events = search->eventListPanel();
    const int tab = events->tab();
    ASSERT_GT(events->list()->rowCount(), 0);
    EXPECT_FALSE(events->playButton()->isEnabled());
    events->list()->selectRow(0);
    EXPECT_TRUE(events->playButton()->isEnabled());
    screenshot(search, "search-events");
    played.reset();
    QObject::connect(search, &SearchWindow::playRequested,
                     [&](const SearchPlayRequest& r) { played = r; });
    const EventEntry first = events->lists().byTab[tab][0];
    // The recorder finds nothing for it this time.
    ASSERT_EQ(sim.admin("play-nack 83"), "ok 1");
    events->playButton()->click();
    ASSERT_TRUE(played);
    EXPECT_EQ(played->kindSelector, 1u << first.type);
    EXPECT_EQ(played->start, first.start);
    EXPECT_EQ(played->end, 0u) << "version 1.2 recorder: no end";
    WAIT_UNTIL(window->searchWindow() == nullptr, 5000);
    EXPECT_EQ(window->session()->search().resumeContext().source,
              SearchResumeContext::Source::EventList);

    // No data: the box offers to return to the search; Cancel leaves it, and the context with
    // its records goes.
    WAIT_UNTIL(window->notificationBox() != nullptr, kWaitMs);
    NotificationBox* box = window->notificationBox();
    EXPECT_EQ(box->notification(), (Notification{4, 0}));
    auto* cancel = box->findChild<SkinButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(box->lines().size(), 2);
    cancel->click();
    WAIT_UNTIL(window->notificationBox() == nullptr, 5000);
    EXPECT_FALSE(window->session()->search().resumeContext().active);
    EXPECT_TRUE(window->session()->search().events().empty());
    EXPECT_EQ(window->searchWindow(), nullptr);
}

TEST_F(SearchWindowE2E, RefusedDayAndCancel) {
    SearchWindow* search = openSearch();
    ASSERT_NE(search, nullptr);
    search->menuButton(3)->click();
    WAIT_UNTIL(search->calendarPanel() && search->calendarPanel()->isVisible(), kWaitMs);
    CalendarPanel* calendar = search->calendarPanel();
    int day = 0;
    for (int d = 1; d <= 31 && !day; ++d)
        if (calendar->dayHighlighted(d))
            day = d;
    ASSERT_GT(day, 0);
    ASSERT_EQ(sim.admin("search-fault day 53"), "ok");
    calendar->chooseDay(day);
    EXPECT_TRUE(search->requestPending());
    WAIT_UNTIL(!search->requestPending(), kWaitMs);
    WAIT_UNTIL(window->notificationBox() != nullptr, kWaitMs);
    EXPECT_EQ(window->notificationBox()->entry().notification.category, 6);
    EXPECT_EQ(window->notificationBox()->entry().notification.detail, 4);
    EXPECT_FALSE(search->timelinePanel());
    window->notificationBox()->accept();

    QPushButton* cancel = nullptr;
    for (QPushButton* b : search->findChildren<QPushButton*>())
        if (b->accessibleName() == "Cancel")
            cancel = b;
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    WAIT_UNTIL(window->searchWindow() == nullptr, 5000);
    WAIT_UNTIL(requests().find("cancel=1") != std::string::npos, 5000);
    EXPECT_FALSE(window->session()->search().windowOpen());
}

TEST_F(SearchWindowE2E, WithoutSearchOrBackupRightTheWindowDoesNotOpen) {
    ASSERT_EQ(sim.admin("right 0 search 0"), "ok");
    ASSERT_EQ(sim.admin("right 0 backup 0"), "ok");
    WAIT_UNTIL(!window->session()->status().maySearch() && !window->session()->status().mayBackup(),
               kWaitMs);
    EXPECT_EQ(openSearch(), nullptr);
    WAIT_UNTIL(window->notificationBox() != nullptr, kWaitMs);
    EXPECT_EQ(window->notificationBox()->entry().notification.category, 15);
}

} // namespace
} // namespace kalder
