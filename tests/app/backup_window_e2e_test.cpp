// The backup mode of the remote search window from the main window against the simulator: a
// period typed as dates and times, or picked on the backup calendar and timeline, or taken from
// the event list; Calculate, Backup, the progress window while the transfer runs, and the
// backup set in the download folder; a refused size and a Stop.
#include "main_window.h"
#include "main_window_harness.h"

#include "search/backup_calendar_panel.h"
#include "search/backup_date_time_panel.h"
#include "search/backup_event_list_panel.h"
#include "search/backup_timeline_panel.h"
#include "search/backup_progress_window.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "sim/recorded_disk.h"
#include "sim/sim_process.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "wire/recorder_time.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <filesystem>

namespace kalder {
namespace {

constexpr int kWaitMs = 30000;
// 2024-01-03 15:00:00, seed 4: the disk the backup tests of the command line use.
constexpr std::uint32_t kDiskEnd = 1704294000;
constexpr unsigned kChannels = 4;

class BackupWindowE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--channels", std::to_string(kChannels), "--resolution", "CIF",
                               "--disk-end", std::to_string(kDiskEnd), "--disk-seed", "4"}))
            << sim.lastError();
        window = std::make_unique<MainWindow>(harness.config());
        window->show();
        ConnectRequest request = test::simAdminRequest(sim.port());
        window->connectTo(request);
        WAIT_UNTIL(window->session() && window->session()->loggedIn(), kWaitMs);
        WAIT_UNTIL(window->session()->status().mayBackup(), kWaitMs);
    }
    void TearDown() override { window.reset(); }

    // The last recorded period of the disk that is at least 20 seconds long.
    static sim::DiskPeriod recordedPeriod() {
        sim::DiskLayout layout;
        layout.end = kDiskEnd;
        layout.seed = 4;
        layout.channelCount = kChannels;
        const sim::RecordedDisk disk(layout);
        for (auto it = disk.periods().rbegin(); it != disk.periods().rend(); ++it)
            if (it->end - it->start >= 20 && (it->channels & 0x000F))
                return *it;
        ADD_FAILURE() << "no recorded period of 20 seconds";
        return {};
    }

    // Opens the search window in backup mode and presses the backup menu's button `index`
    // (0 Date/Time, 1 Select Channel, 2 Event, 3 Calendar).
    SearchWindow* openBackupMenu(int index) {
        window->button(361)->click();
        QCoreApplication::processEvents();
        SearchWindow* search = window->searchWindow();
        if (!search)
            return nullptr;
        search->tabButton(SearchWindow::Tab::Backup)->click();
        search->backupMenuButton(index)->click();
        return search;
    }
    // Opens the search window in backup mode with the date/time panel.
    BackupDateTimePanel* openBackupDateTime() {
        SearchWindow* search = openBackupMenu(0);
        return search ? search->backupDateTimePanel() : nullptr;
    }
    std::filesystem::path downloadFolder() const {
        return std::filesystem::path(QFile::encodeName(harness.dataFolder()).toStdString()) /
               "Download";
    }
    static void screenshot(QWidget* widget, const char* name) {
        const QByteArray dir = qgetenv("KALDER_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            widget->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
    std::unique_ptr<MainWindow> window;
};

TEST_F(BackupWindowE2E, TypedPeriodCalculateBackupProgressAndSet) {
    const sim::DiskPeriod period = recordedPeriod();
    const CivilTime start = decodeRecorderTime(period.start + 2);
    const CivilTime end = decodeRecorderTime(period.start + 12);

    BackupDateTimePanel* panel = openBackupDateTime();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->backupButton()->isEnabled());
    ASSERT_TRUE(panel->setEntry(0, start));
    ASSERT_TRUE(panel->setEntry(1, end));
    // The start must stay before the end: an end at or before the start is refused and kept.
    EXPECT_FALSE(panel->setEntry(1, start));
    EXPECT_FALSE(panel->setEntry(0, end));
    EXPECT_EQ(panel->entry(0), start);
    EXPECT_EQ(panel->entry(1), end);

    panel->calculateButton()->click();
    EXPECT_FALSE(panel->calculateButton()->isEnabled());
    WAIT_UNTIL(panel->backupButton()->isEnabled(), kWaitMs);
    EXPECT_FALSE(panel->sizeLabel()->text().isEmpty());
    screenshot(window->searchWindow(), "backup-date-time");

    // Slowly enough to see the progress window.
    ASSERT_EQ(sim.admin("backup-rate 64"), "ok");
    panel->backupButton()->click();
    WAIT_UNTIL(window->backupProgressWindow() && window->backupProgressWindow()->isVisible(),
               kWaitMs);
    EXPECT_EQ(window->searchWindow(), nullptr); // the search window gives way to the transfer
    BackupProgressWindow* progress = window->backupProgressWindow();
    EXPECT_GT(progress->totalKbytes(), 0u);
    EXPECT_EQ(progress->progressBar()->minimum(), 0);
    EXPECT_EQ(progress->progressBar()->maximum(), int(progress->totalKbytes()));
    WAIT_UNTIL(!window->backupProgressWindow() ||
                   window->backupProgressWindow()->positionKbytes() > 0,
               kWaitMs);
    if (window->backupProgressWindow())
        screenshot(window->backupProgressWindow(), "backup-progress");
    ASSERT_EQ(sim.admin("backup-rate 0"), "ok");
    WAIT_UNTIL(!window->backupProgressWindow(), kWaitMs);

    const auto result = window->session()->backup().lastResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->end, BackupWriteResult::End::Done);
    ASSERT_EQ(result->sets.size(), 1u);
    EXPECT_GT(result->frames, 0u);
    for (const char* ext : {".idx", ".vih", ".vid"})
        EXPECT_TRUE(std::filesystem::exists(downloadFolder() / (result->sets[0] + ext)))
            << result->sets[0] << ext;
}

TEST_F(BackupWindowE2E, StopEndsTheTransferWithItsSetClosed) {
    const sim::DiskPeriod period = recordedPeriod();
    BackupDateTimePanel* panel = openBackupDateTime();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->setEntry(0, decodeRecorderTime(period.start)));
    ASSERT_TRUE(panel->setEntry(1, decodeRecorderTime(period.end)));
    panel->calculateButton()->click();
    WAIT_UNTIL(panel->backupButton()->isEnabled(), kWaitMs);

    ASSERT_EQ(sim.admin("backup-rate 16"), "ok");
    panel->backupButton()->click();
    WAIT_UNTIL(window->backupProgressWindow() &&
                   window->backupProgressWindow()->positionKbytes() > 0,
               kWaitMs);
    window->backupProgressWindow()->stopButton()->click();
    WAIT_UNTIL(!window->backupProgressWindow(), kWaitMs);
    ASSERT_EQ(sim.admin("backup-rate 0"), "ok");
    EXPECT_FALSE(window->session()->backup().transferRunning());
    const auto result = window->session()->backup().lastResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->end, BackupWriteResult::End::Stopped);
    ASSERT_FALSE(result->sets.empty());
    EXPECT_TRUE(std::filesystem::exists(downloadFolder() / (result->sets[0] + ".idx")));
}

TEST_F(BackupWindowE2E, NotEnoughSpaceRaisesTheAlertAndKeepsBackupOff) {
    const sim::DiskPeriod period = recordedPeriod();
    BackupDateTimePanel* panel = openBackupDateTime();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->setEntry(0, decodeRecorderTime(period.start)));
    ASSERT_TRUE(panel->setEntry(1, decodeRecorderTime(period.end)));
    // A size no drive here holds: 4,000 GB.
    ASSERT_EQ(sim.admin("backup-size 4194304000"), "ok");
    panel->calculateButton()->click();
    WAIT_UNTIL(panel->calculateButton()->isEnabled(), kWaitMs);
    ASSERT_EQ(sim.admin("backup-size 0"), "ok");
    EXPECT_FALSE(panel->backupButton()->isEnabled());
    EXPECT_TRUE(panel->sizeLabel()->text().isEmpty());
    EXPECT_EQ(window->session()->backup().sizePair()[0], 4194304000ll / 1024);
    WAIT_UNTIL(window->notificationBox() != nullptr, kWaitMs);
    EXPECT_EQ(window->notificationBox()->notification(), (Notification{13, 0}));
}

TEST_F(BackupWindowE2E, RefusedSizeRaisesItsAlertAndCalculateComesBack) {
    const sim::DiskPeriod period = recordedPeriod();
    BackupDateTimePanel* panel = openBackupDateTime();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->setEntry(0, decodeRecorderTime(period.start)));
    ASSERT_TRUE(panel->setEntry(1, decodeRecorderTime(period.end)));
    ASSERT_EQ(sim.admin("backup-nack 87 5000 3000"), "ok");
    panel->calculateButton()->click();
    WAIT_UNTIL(panel->calculateButton()->isEnabled(), kWaitMs);
    EXPECT_FALSE(panel->backupButton()->isEnabled());
    EXPECT_TRUE(panel->sizeLabel()->text().isEmpty());
    WAIT_UNTIL(window->notificationBox() != nullptr, kWaitMs);
    EXPECT_EQ(window->notificationBox()->notification(), (Notification{6, 5}));
    EXPECT_EQ(window->session()->backup().sizePair(), (std::array<std::int64_t, 2>{5000, 3000}));
}

// The period picked on the backup calendar and timeline: the start's day and time, Next, the
// end's day (nothing before the start offered) and time (never before the start), Calculate
// with its size text, and Backup into a set.
TEST_F(BackupWindowE2E, CalendarAndTimelinePickThePeriodThenCalculateAndBackup) {
    const sim::DiskPeriod period = recordedPeriod();
    const CivilTime start = decodeRecorderTime(period.start + 2);
    const CivilTime end = decodeRecorderTime(period.start + 12);
    ASSERT_EQ(start.day, end.day) << "the test period crosses midnight";

    SearchWindow* search = openBackupMenu(3);
    ASSERT_NE(search, nullptr);
    WAIT_UNTIL(search->backupCalendarPanel() && search->backupCalendarPanel()->isVisible(),
               kWaitMs);
    BackupCalendarPanel* calendar = search->backupCalendarPanel();
    EXPECT_EQ(calendar->title()->text(), QStringLiteral("Select the backup start"));
    EXPECT_FALSE(calendar->prevButton()->isVisible());
    calendar->chooseYear(start.year);
    calendar->chooseMonth(start.month);
    ASSERT_TRUE(calendar->dayHighlighted(start.day));
    screenshot(search, "backup-calendar-start");
    calendar->dayButton(start.day)->click();
    WAIT_UNTIL(search->backupTimelinePanel() && search->backupTimelinePanel()->isVisible(),
               kWaitMs);

    // Choosing the start: Next, no Calculate, no Backup; the day from its start.
    BackupTimelinePanel* timeline = search->backupTimelinePanel();
    EXPECT_TRUE(timeline->nextButton()->isVisible());
    EXPECT_FALSE(timeline->calculateButton()->isEnabled());
    EXPECT_FALSE(timeline->backupButton()->isVisible());
    EXPECT_EQ(timeline->startText(), QStringLiteral("00 : 00 : 00"));
    const int startColumn = timelineColumn(start.hour, start.minute);
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(startColumn, 200));
    EXPECT_EQ(timeline->startText(),
              QString::asprintf("%02d : %02d : 00", start.hour, start.minute / 5 * 5));
    ASSERT_TRUE(timeline->setTime(start.hour, start.minute, start.second));
    screenshot(search, "backup-timeline-start");
    timeline->nextButton()->click();

    // The end's calendar: from the start's month on, earlier days not offered, Prev shown.
    WAIT_UNTIL(calendar->isVisible(), kWaitMs);
    EXPECT_EQ(calendar->title()->text(), QStringLiteral("Select the backup end"));
    EXPECT_TRUE(calendar->prevButton()->isVisible());
    EXPECT_EQ(calendar->year(), start.year);
    EXPECT_EQ(calendar->month(), start.month);
    for (int day = 1; day < start.day; ++day)
        EXPECT_FALSE(calendar->dayButton(day)->isEnabled()) << day;
    screenshot(search, "backup-calendar-end");
    calendar->dayButton(end.day)->click();
    WAIT_UNTIL(search->backupTimelinePanel() && search->backupTimelinePanel()->period().endPhase &&
                   search->backupTimelinePanel()->isVisible(),
               kWaitMs);

    // Choosing the end on the start's date: nothing left of the start, Backup after Calculate.
    timeline = search->backupTimelinePanel();
    EXPECT_FALSE(timeline->nextButton()->isVisible());
    EXPECT_TRUE(timeline->backupButton()->isVisible());
    EXPECT_EQ(timeline->endText(), QStringLiteral("23 : 59 : 59"));
    if (startColumn > kTimelineLeft) {
        QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(startColumn - 1, 200));
        EXPECT_EQ(timeline->endText(), QStringLiteral("23 : 59 : 59"));
    }
    const int startSecond = start.hour * 3600 + start.minute * 60 + start.second;
    if (startSecond > 0) {
        const int before = startSecond - 1;
        EXPECT_FALSE(timeline->setTime(before / 3600, before % 3600 / 60, before % 60));
    }
    // Zoomed in about the end (keys), a click picks its exact second; the start's rule holds.
    ASSERT_TRUE(timeline->setTime(end.hour, end.minute, end.second));
    timeline->setFocus();
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(timeline, Qt::Key_Plus);
    ASSERT_EQ(timeline->zoom().span(), 600);
    const int endSecond = end.hour * 3600 + end.minute * 60 + end.second;
    ASSERT_TRUE(timeline->zoom().shows(endSecond));
    const int x = timeline->zoom().columnOf(endSecond);
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(x, 200));
    const int picked = timeline->zoom().secondAt(x);
    EXPECT_LE(std::abs(picked - endSecond), 2);
    EXPECT_EQ(timeline->endText(), QString::asprintf("%02d : %02d : %02d", picked / 3600,
                                                     picked % 3600 / 60, picked % 60));
    if (timeline->zoom().shows(startSecond - 10)) {
        QTest::mouseClick(timeline, Qt::LeftButton, {},
                          QPoint(timeline->zoom().columnOf(startSecond - 10), 200));
        EXPECT_EQ(timeline->endText(), QString::asprintf("%02d : %02d : %02d", picked / 3600,
                                                         picked % 3600 / 60, picked % 60))
            << "before the start on its own date";
    }
    QTest::keyClick(timeline, Qt::Key_0);
    EXPECT_TRUE(timeline->zoom().wholeDay());
    ASSERT_TRUE(timeline->setTime(end.hour, end.minute, end.second));
    EXPECT_TRUE(timeline->calculateButton()->isEnabled());
    EXPECT_FALSE(timeline->backupButton()->isEnabled());
    timeline->calculateButton()->click();
    WAIT_UNTIL(timeline->backupButton()->isEnabled(), kWaitMs);
    EXPECT_FALSE(timeline->sizeLabel()->text().isEmpty());
    EXPECT_FALSE(timeline->calculateButton()->isEnabled());
    screenshot(search, "backup-timeline-end");

    timeline->backupButton()->click();
    WAIT_UNTIL(window->searchWindow() == nullptr, kWaitMs);
    WAIT_UNTIL(!window->session()->backup().transferRunning() && !window->backupProgressWindow(),
               kWaitMs);
    const auto result = window->session()->backup().lastResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->end, BackupWriteResult::End::Done);
    ASSERT_EQ(result->sets.size(), 1u);
    EXPECT_GT(result->frames, 0u);
    EXPECT_TRUE(std::filesystem::exists(downloadFolder() / (result->sets[0] + ".vid")));
}

// An event's period: the list's tabs, a selected row sized by Calculate. The size goes to the
// list that asked, not to the date/time panel opened before it.
TEST_F(BackupWindowE2E, EventListSizesTheSelectedEvent) {
    SearchWindow* search = openBackupMenu(0);
    ASSERT_NE(search, nullptr);
    ASSERT_NE(search->backupDateTimePanel(), nullptr);
    search->backupMenuButton(2)->click();
    WAIT_UNTIL(search->backupEventListPanel() && search->backupEventListPanel()->isVisible(),
               kWaitMs);
    BackupEventListPanel* events = search->backupEventListPanel();
    EXPECT_EQ(search->eventListPanel(), nullptr); // the backup's own list, not the search's
    QTableWidget* list = events->list();
    ASSERT_GT(list->rowCount(), 0);
    EXPECT_FALSE(events->calculateButton()->isEnabled()); // no event chosen yet
    list->selectRow(0);
    EXPECT_TRUE(events->calculateButton()->isEnabled());
    events->calculateButton()->click();
    WAIT_UNTIL(events->backupButton()->isEnabled() || events->calculateButton()->isEnabled(),
               kWaitMs);
    EXPECT_FALSE(events->sizeLabel()->text().isEmpty());
    EXPECT_TRUE(search->backupDateTimePanel()->sizeLabel()->text().isEmpty());
    EXPECT_FALSE(search->backupDateTimePanel()->backupButton()->isEnabled());
    screenshot(search, "backup-event-list");
}

} // namespace
} // namespace kalder
