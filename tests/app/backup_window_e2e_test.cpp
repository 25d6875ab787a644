// The backup mode of the remote search window from the main window against the simulator: a
// period typed as dates and times, Calculate, Backup, the progress window while the transfer
// runs, and the backup set in the download folder; a refused size and a Stop.
#include "main_window.h"
#include "main_window_harness.h"

#include "search/backup_date_time_panel.h"
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
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kalder {
namespace {

#define WAIT_UNTIL(condition, timeoutMs)                                                           \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeoutMs))          \
        << "never became true: " #condition

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
        ConnectRequest request;
        request.address = "127.0.0.1";
        request.typedAddress = request.address;
        request.port = sim.port();
        request.userId = "admin";
        request.password = "1234";
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

    // Opens the search window in backup mode with the date/time panel.
    BackupDateTimePanel* openBackupDateTime() {
        window->button(361)->click();
        QCoreApplication::processEvents();
        SearchWindow* search = window->searchWindow();
        if (!search)
            return nullptr;
        search->tabButton(SearchWindow::Tab::Backup)->click();
        search->backupMenuButton(0)->click();
        return search->backupDateTimePanel();
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

} // namespace
} // namespace kalder
