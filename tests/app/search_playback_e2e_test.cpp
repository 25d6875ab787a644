// The operator's road from the remote search window to remote playback and back, against the
// simulator's recorded disk.
#include "main_window_harness.h"
#include "search/calendar_panel.h"
#include "search/day_timeline_panel.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "sim/sim_disk.h"
#include "sim/sim_process.h"
#include "ui/clock_display.h"
#include "ui/skin_button.h"
#include "wire/recorder_time.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

constexpr int kTimeoutMs = 30000;

// A recorded period of the disk's last day on every channel, at least twenty minutes long.
sim::DiskPeriod longPeriodOfTheLastDay() {
    const sim::RecordedDisk disk = test::simDisk(4);
    for (auto it = disk.periods().rbegin(); it != disk.periods().rend(); ++it)
        if (it->channels == 0x000F && it->end - it->start >= 20 * 60 &&
            it->start / 86400 == test::kSimDiskEnd / 86400)
            return *it;
    ADD_FAILURE() << "no long period on every channel on the last day";
    return {};
}

class SearchToPlayback : public ::testing::Test {
protected:
    test::MainWindowHarness harness;
    test::SimProcess sim;
};

// The operator's road: the search window's calendar (found by wrapping back from this year to
// the disk's), a highlighted day, a moment on its timeline, Play; playback mode with its
// clock at that moment; Stop brings the search window back.
TEST_F(SearchToPlayback, FromTheCalendarAndTimelineToPlaybackAndBack) {
    ASSERT_TRUE(harness.decoderLoaded());
    ASSERT_TRUE(sim.start(test::withSimDisk({"--channels", "4"}))) << sim.lastError();
    const sim::DiskPeriod period = longPeriodOfTheLastDay();
    MainWindow window(harness.config());
    window.show();
    ConnectRequest request = test::simAdminRequest(sim.port());
    window.connectTo(request);
    WAIT_UNTIL(window.session() && window.session()->live().liveOn(), kTimeoutMs);
    WAIT_UNTIL(window.session()->status().maySearch(), kTimeoutMs);

    window.button(361)->click(); // RSearch
    QCoreApplication::processEvents();
    SearchWindow* search = window.searchWindow();
    ASSERT_NE(search, nullptr);
    search->menuButton(3)->click(); // Calendar
    WAIT_UNTIL(search->calendarPanel() && search->calendarPanel()->isVisible(), kTimeoutMs);
    CalendarPanel* calendar = search->calendarPanel();
    const CivilTime day = decodeRecorderTime(period.start);
    ASSERT_EQ(calendar->year(), day.year);
    ASSERT_EQ(calendar->month(), day.month);
    ASSERT_TRUE(calendar->dayHighlighted(day.day));
    calendar->dayButton(day.day)->click();
    WAIT_UNTIL(search->timelinePanel() && search->timelinePanel()->isVisible(), kTimeoutMs);

    // The first five-minute column a minute or more into the period.
    const std::uint32_t second = (period.start % 86400 + 60 + 299) / 300 * 300;
    DayTimelinePanel* timeline = search->timelinePanel();
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(113 + int(second / 300), 100));
    ASSERT_TRUE(timeline->chosenTime());
    timeline->playButton()->click();
    WAIT_UNTIL(window.searchWindow() == nullptr, kTimeoutMs);

    // The clock comes with the window's start of the stream, a queued step after the
    // session knows it plays.
    WAIT_UNTIL(window.playback()->clock() != nullptr, kTimeoutMs);
    ASSERT_TRUE(window.session()->playback().playing());
    EXPECT_EQ(window.playback()->clock()->variant(), ClockVariant::Playback);
    const std::uint32_t start = period.start - period.start % 86400 + second;
    WAIT_UNTIL(window.playback()->clock()->playbackTime() >= start, kTimeoutMs);
    EXPECT_LE(window.playback()->clock()->playbackTime(), start + 60);

    // Paused: every cell shows the pause mark.
    window.button(343)->click();
    WAIT_UNTIL(window.session()->playback().state().paused, kTimeoutMs);
    QTest::qWait(600);
    if (const QByteArray dir = qgetenv("KALDER_SCREENSHOT_DIR"); !dir.isEmpty())
        window.grab().save(QString::fromUtf8(dir) + "/playback-paused.png");

    window.button(345)->click(); // Stop
    WAIT_UNTIL(!window.session()->playback().playing(), kTimeoutMs);
    WAIT_UNTIL(window.searchWindow() != nullptr, kTimeoutMs);
    EXPECT_TRUE(window.session()->search().resumeContext().active);
}

} // namespace
} // namespace kalder
