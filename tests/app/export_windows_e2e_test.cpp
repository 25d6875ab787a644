// Export from both search windows against the simulator: the remote search window's Backup tab
// in MP4 downloads a period, exports it in the same action and deletes the set it fetched; the
// local search window exports the sets a plain backup left in the download folder, and a
// cancelled export keeps no file.
#include "main_window.h"
#include "main_window_harness.h"

#include "export/export_manifest.h"
#include "export_ui/export_dialog.h"
#include "export_ui/export_progress_window.h"
#include "local/local_search_window.h"
#include "search/backup_date_time_panel.h"
#include "search/backup_progress_window.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "sim/recorded_disk.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"
#include "wire/recorder_time.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace kalder {
namespace {

constexpr int kExportWaitMs = 60000;
constexpr std::uint32_t kExportDiskEnd = 1704294000; // 2024-01-03 15:00:00, seed 4
constexpr unsigned kExportSimChannels = 4;

// The names in `folder`, none when it does not exist.
std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.insert(entry.path().filename().string());
    return names;
}

// The files of an ended export are in its folder with the manifest, and nothing else is.
void expectExportedFiles(const ExportProgressWindow& window, const std::filesystem::path& out) {
    ASSERT_TRUE(window.lastState().result.has_value());
    const ExportResult& r = *window.lastState().result;
    ASSERT_EQ(r.end, ExportResult::End::Done) << r.error;
    ASSERT_FALSE(r.files.empty());
    std::set<std::string> expected{kExportManifestName};
    for (const ExportedFile& f : r.files) {
        EXPECT_GT(f.frames, 0u);
        EXPECT_EQ(std::filesystem::file_size(out / f.name), f.size) << f.name;
        expected.insert(f.name);
    }
    EXPECT_EQ(namesIn(out), expected); // no temporary file is left
    EXPECT_EQ(r.manifest, out / kExportManifestName);
    EXPECT_TRUE(window.resultLabel()->text().contains(QStringLiteral("written in")))
        << window.resultLabel()->text().toStdString();
}

class ExportWindowsE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            sim.start({"--channels", std::to_string(kExportSimChannels), "--resolution", "CIF",
                       "--disk-end", std::to_string(kExportDiskEnd), "--disk-seed", "4"}))
            << sim.lastError();
        window = std::make_unique<MainWindow>(harness.config());
        window->show();
        window->connectTo(test::simAdminRequest(sim.port()));
        WAIT_UNTIL(window->session() && window->session()->loggedIn(), kExportWaitMs);
        WAIT_UNTIL(window->session()->status().mayBackup(), kExportWaitMs);
    }
    void TearDown() override { window.reset(); }

    std::filesystem::path dataFolder() const {
        return std::filesystem::path(QFile::encodeName(harness.dataFolder()).toStdString());
    }

    // The search window's Backup tab with the date/time panel holding 10 s of the last
    // recorded period, sized.
    BackupDateTimePanel* sizedBackup(SearchWindow::BackupFormat format) {
        sim::DiskLayout layout;
        layout.end = kExportDiskEnd;
        layout.seed = 4;
        layout.channelCount = kExportSimChannels;
        const sim::RecordedDisk disk(layout);
        std::uint32_t start = 0;
        for (auto it = disk.periods().rbegin(); it != disk.periods().rend() && !start; ++it)
            if (it->end - it->start >= 20 && (it->channels & 0x000F))
                start = it->start;
        if (!start)
            return nullptr;
        window->button(361)->click();
        QCoreApplication::processEvents();
        SearchWindow* search = window->searchWindow();
        if (!search)
            return nullptr;
        search->tabButton(SearchWindow::Tab::Backup)->click();
        search->setBackupFormat(format);
        search->backupMenuButton(0)->click();
        BackupDateTimePanel* panel = search->backupDateTimePanel();
        if (!panel || !panel->setEntry(0, decodeRecorderTime(start + 2)) ||
            !panel->setEntry(1, decodeRecorderTime(start + 12)))
            return nullptr;
        periodStart = start + 2;
        panel->calculateButton()->click();
        return panel;
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
    std::unique_ptr<MainWindow> window;
    std::uint32_t periodStart = 0;
};

TEST_F(ExportWindowsE2E, BackupTabMp4DownloadsExportsAndDeletesTheSet) {
    BackupDateTimePanel* panel = sizedBackup(SearchWindow::BackupFormat::Mp4);
    ASSERT_NE(panel, nullptr);
    SearchWindow* search = window->searchWindow();
    // The setting: off deletes the set after the export, and is stored at once.
    ASSERT_TRUE(search->keepSetBox()->isEnabled());
    search->keepSetBox()->setChecked(false);
    EXPECT_EQ(harness.config().store->value("LocalSetupEx/ExportKeepSet/ExportKeepSet").toUInt(),
              0u);
    WAIT_UNTIL(panel->backupButton()->isEnabled(), kExportWaitMs);
    panel->backupButton()->click();

    WAIT_UNTIL(lastBackupExportWindow() && lastBackupExportWindow()->ended(), kExportWaitMs);
    ExportProgressWindow* exported = lastBackupExportWindow();
    EXPECT_EQ(window->backupProgressWindow(), nullptr);
    const std::filesystem::path out =
        dataFolder() / "Export" /
        (QString::fromStdString(exportFileName(periodStart, 1, ExportFormat::Mp4))
             .section(QLatin1Char('_'), 0, 1)
             .toStdString());
    expectExportedFiles(*exported, out);
    for (const ExportedFile& f : exported->lastState().result->files)
        EXPECT_EQ(std::filesystem::path(f.name).extension(), ".mp4");
    // The set fetched for the export is gone; the download folder holds no other set.
    EXPECT_TRUE(exported->lastState().setsRemoved);
    EXPECT_TRUE(namesIn(dataFolder() / "Download").empty());
    EXPECT_TRUE(exported->resultLabel()->text().contains(QStringLiteral("was deleted")));
    exported->closeButton()->click();
}

TEST_F(ExportWindowsE2E, LocalWindowExportsTheSetsAndCancelKeepsNoFile) {
    // A plain backup leaves its set in the download folder, as it always did.
    BackupDateTimePanel* panel = sizedBackup(SearchWindow::BackupFormat::Set);
    ASSERT_NE(panel, nullptr);
    WAIT_UNTIL(panel->backupButton()->isEnabled(), kExportWaitMs);
    panel->backupButton()->click();
    WAIT_UNTIL(window->session()->backup().lastResult() &&
                   !window->session()->backup().transferRunning() &&
                   !window->backupProgressWindow(),
               kExportWaitMs);
    ASSERT_EQ(window->session()->backup().lastResult()->end, BackupWriteResult::End::Done);
    EXPECT_FALSE(namesIn(dataFolder() / "Export").size());

    LocalSearchWindow local(dataFolder() / "Download", false, 0, nullptr);
    local.show();
    ASSERT_TRUE(local.exportButton()->isEnabled());
    local.exportButton()->click();
    ExportDialog* dialog = local.exportDialog();
    ASSERT_NE(dialog, nullptr);
    // The channels of the set are offered and checked; the folder is one of its own.
    const ExportChoice initial = dialog->choice();
    EXPECT_NE(initial.channelMask, 0u);
    EXPECT_EQ(initial.outFolder.parent_path(), dataFolder() / "Export");
    const std::filesystem::path out = dataFolder() / "Exported by hand";
    dialog->folderEdit()->setText(QString::fromStdString(out.string()));
    dialog->formatBox()->setCurrentIndex(1); // MKV
    QTest::keyClick(dialog, Qt::Key_Return); // Enter exports
    WAIT_UNTIL(local.exportWindow() && local.exportWindow()->ended(), kExportWaitMs);
    expectExportedFiles(*local.exportWindow(), out);
    for (const ExportedFile& f : local.exportWindow()->lastState().result->files)
        EXPECT_EQ(std::filesystem::path(f.name).extension(), ".mkv");
    const ExportChoice chosen = initial;
    QTest::keyClick(local.exportWindow(), Qt::Key_Escape); // Escape closes the ended window
    WAIT_UNTIL(!local.exportWindow(), kExportWaitMs);

    // Cancelled (before its first frame, so that it cannot have ended first): nothing is kept.
    ExportJob job;
    job.request.setsFolder = dataFolder() / "Download";
    job.request.outFolder = dataFolder() / "Cancelled";
    job.request.from = chosen.from;
    job.request.to = chosen.to;
    job.request.channelMask = chosen.channelMask;
    ExportProgressWindow cancelled(job, {}, nullptr);
    cancelled.show();
    cancelled.cancelButton()->click();
    ASSERT_TRUE(cancelled.start());
    WAIT_UNTIL(cancelled.ended(), kExportWaitMs);
    ASSERT_TRUE(cancelled.lastState().result.has_value());
    EXPECT_EQ(cancelled.lastState().result->end, ExportResult::End::Stopped);
    EXPECT_TRUE(namesIn(job.request.outFolder).empty());
    EXPECT_EQ(cancelled.resultLabel()->text(),
              QStringLiteral("Export cancelled; no file was kept."));
}

} // namespace
} // namespace kalder
