// The Rec tab's pages against the recorder simulator: rates moved within the budget and a
// general recording choice go back to the recorder with OK, and the next fetch shows them.
#include "cli/cli_runner.h"
#include "setup/pages/profile_page_widget.h"
#include "setup/pages/recording_page_widget.h"
#include "setup/setup_choosers.h"
#include "setup_e2e_fixture.h"
#include "ui/notification_box.h"

#include <QPushButton>
#include <QSlider>

#include <cstdlib>
#include <map>

namespace kalder {
namespace {

TEST_F(SetupE2E, RecordingProfileEditsReachTheRecorder) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Rec, "Continuous"));
    auto* page = dynamic_cast<ProfilePageWidget*>(setup->currentPage());
    ASSERT_NE(page, nullptr);
    // 4CIF on an NTSC four-channel recorder: 30 images a second shared out as 8, 8, 7, 7.
    page->resolutionButton(0)->click();
    page->setView(ProfileView::Rate);
    EXPECT_EQ(page->slider(1)->value(), 8);
    page->slider(0)->setValue(2);
    // What the three others leave: (120 - (2 + 7 + 7) * 4) / 4 = 14.
    page->slider(1)->setValue(30);
    EXPECT_EQ(page->slider(1)->value(), 14);
    if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
        setup->grab().save(QString::fromLocal8Bit(dir) + "/setup-e2e-rec-rates.png");

    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Rec, "Recording"));
    auto* recording = dynamic_cast<RecordingPageWidget*>(setup->currentPage());
    ASSERT_NE(recording, nullptr);
    recording->valueButton(RecordingRow::Channel)->click();
    auto* chooser = dynamic_cast<ListChooser*>(setup->chooser());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->entryCount(), 4);
    chooser->findChild<QPushButton*>("choice2")->click();

    setup->findChild<QPushButton*>("okButton")->click();
    WAIT_UNTIL(window->notificationBox() != nullptr, 10000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{10, 0}));
    window->notificationBox()->accept();
    WAIT_UNTIL(!window->session()->setup().busy(), 10000);

    // The recorder's record now holds them.
    setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Rec, "Continuous"));
    page = dynamic_cast<ProfilePageWidget*>(setup->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->resolutionButton(0)->isChecked());
    page->setView(ProfileView::Rate);
    const int expected[] = {2, 14, 7, 7};
    for (unsigned ch = 0; ch < 4; ++ch)
        EXPECT_EQ(page->slider(ch)->value(), expected[ch]) << ch;
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Rec, "Recording"));
    recording = dynamic_cast<RecordingPageWidget*>(setup->currentPage());
    ASSERT_NE(recording, nullptr);
    EXPECT_EQ(recording->valueButton(RecordingRow::Channel)->text(), "CH03");
    setup->findChild<QPushButton*>("cancelButton")->click();
}

// Profile A's picture size and rates reach the recorder's live streams: 2CIF on all four
// channels (704x240 on NTSC), then channel 1 slowed to 3 images a second while the others keep
// the default 15. kalder-cli live, a client of its own, decodes what the recorder now sends.
TEST_F(SetupE2E, ProfileASizeAndRateReachTheLiveStreams) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Rec, "Continuous"));
    auto* page = dynamic_cast<ProfilePageWidget*>(setup->currentPage());
    ASSERT_NE(page, nullptr);
    page->resolutionButton(1)->click();
    page->setView(ProfileView::Rate);
    EXPECT_EQ(page->slider(1)->value(), 15);
    page->slider(0)->setValue(3);
    setup->findChild<QPushButton*>("okButton")->click();
    WAIT_UNTIL(window->notificationBox() != nullptr, 10000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{10, 0}));
    window->notificationBox()->accept();
    WAIT_UNTIL(!window->session()->setup().busy(), 10000);

    // The recorder builds the new loops off its network threads; until they are ready the
    // channels keep their old size, so look again until the new size shows.
    std::map<int, QJsonObject> channels;
    const auto newSizeShows = [&] {
        const test::CliRun run =
            test::runCli({"--port", QString::number(sim.port()), "--password", "1234", "--json",
                          "live", "--seconds", "3", "--channels", "1,2"});
        EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
        channels.clear();
        for (const QString& line : run.lines) {
            const QJsonObject o = test::json(line);
            if (o["event"].toString() == "channel")
                channels[o["channel"].toInt()] = o;
        }
        return channels.count(1) && channels.count(2) && channels[1]["height"].toInt() == 240 &&
               channels[2]["height"].toInt() == 240;
    };
    WAIT_UNTIL(newSizeShows(), 60000);
    for (int ch : {1, 2}) {
        EXPECT_EQ(channels[ch]["width"].toInt(), 704) << ch;
        EXPECT_GT(channels[ch]["decoded"].toInt(), 0) << ch;
    }
    // Same run, same period: channel 2 sends five times as many frames as channel 1.
    const int slow = channels[1]["frames"].toInt();
    const int fast = channels[2]["frames"].toInt();
    EXPECT_GT(slow, 0);
    EXPECT_GT(fast, 3 * slow) << slow << " / " << fast;
    EXPECT_LT(fast, 7 * slow + 7) << slow << " / " << fast;
}

} // namespace
} // namespace kalder
