// The main window's local side, offscreen and without any recorder: LSearch opens the local
// search window built from the download folder, a day's Play starts the local player with the
// playback buttons and the position slider, the buttons drive it, Stop ends it; from removable
// media the window opens at start without its Log tab.
#include "main_window.h"
#include "main_window_harness.h"

#include "local/backup_set_builder.h"
#include "local/local_search_panels.h"
#include "test_clip.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"
#include "video/video_window.h"
#include "session/window_message.h"
#include "wire/recorder_time.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

constexpr std::uint32_t kStart = 1714557600; // 2024-05-01 10:00:00

// Four channels for four seconds of real pictures, 10 frames a second.
void writeSets(const std::filesystem::path& folder) {
    test::ClipParams params;
    params.frames = 40;
    params.keyInterval = 10;
    const auto clip = test::encodeClip(params);
    ASSERT_EQ(clip.size(), 40u);
    std::vector<test::SetFrame> frames;
    for (int i = 0; i < 40; ++i) {
        for (unsigned c : {0u, 1u, 2u, 3u}) {
            test::SetFrame f;
            f.channel = c;
            f.time = kStart + static_cast<std::uint32_t>(i / 10);
            f.ms = static_cast<std::uint16_t>((i % 10) * 100);
            f.key = clip[static_cast<std::size_t>(i)].key;
            f.kind = 2; // motion
            f.video = clip[static_cast<std::size_t>(i)].data;
            frames.push_back(std::move(f));
        }
    }
    test::writeBackupSet(folder, 0x6632a000, frames);
}

TEST(MainWindowLocal, SearchPlayControlAndStop) {
    test::MainWindowHarness harness;
    writeSets(std::filesystem::path(harness.dataFolder().toStdString()) / "Download");
    MainWindow window(harness.config());
    window.show();
    LocalPlaybackController* local = window.localPlayback();

    QTest::mouseClick(window.button(363), Qt::LeftButton);
    LocalSearchWindow* search = local->searchWindow();
    ASSERT_NE(search, nullptr);
    EXPECT_TRUE(search->tabButton(LocalSearchWindow::Tab::Log)->isVisibleTo(search));
    // The account's rights reach the local search window too.
    for (std::uintptr_t rights : {1u, 0u}) {
        QCoreApplication::postEvent(
            &window, new WindowMessageEvent(WindowMessage::RightsChanged, rights, 0));
        QCoreApplication::processEvents();
        EXPECT_EQ(search->tabButton(LocalSearchWindow::Tab::Search)->isEnabled(), rights == 0);
    }
    auto* calendar = qobject_cast<LocalCalendarPanel*>(search->panelWidget());
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->year(), 2024);
    EXPECT_EQ(calendar->month(), 5);
    EXPECT_TRUE(calendar->dayRecorded(1));
    EXPECT_FALSE(calendar->dayRecorded(2));
    // The event list lists the motion segment.
    search->showPanel(LocalSearchWindow::Panel::Event);
    auto* events = qobject_cast<LocalEventListPanel*>(search->panelWidget());
    ASSERT_NE(events, nullptr);
    EXPECT_TRUE(events->anyEvent());

    // The day's timeline from 10:00:02 on.
    search->showPanel(LocalSearchWindow::Panel::Calendar);
    QTest::mouseClick(qobject_cast<LocalCalendarPanel*>(search->panelWidget())->dayButton(1),
                      Qt::LeftButton);
    ASSERT_EQ(search->panel(), LocalSearchWindow::Panel::Timeline);
    auto* timeline = qobject_cast<LocalTimelinePanel*>(search->panelWidget());
    ASSERT_NE(timeline, nullptr);
    timeline->setTime(10, 0, 2);
    QTest::mouseClick(timeline->playButton(), Qt::LeftButton);

    ASSERT_TRUE(local->active());
    EXPECT_TRUE(QTest::qWaitFor([&] { return local->searchWindow() == nullptr; }));
    EXPECT_EQ(window.videoWindow()->mode(), StreamKind::LocalPlayback);
    for (int id : {340, 341, 342, 343, 345, 346})
        EXPECT_TRUE(window.button(id)->isEnabled()) << id;
    auto* slider = window.findChild<SkinSlider*>(QStringLiteral("slider420"));
    ASSERT_NE(slider, nullptr);
    // Four channels: the four-picture layout; pictures are decoded; the slider spans the run.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.videoWindow()->layoutModel().layout() == 4; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return local->player()->counters().shownFrames > 0; }));
    EXPECT_EQ(local->player()->counters().firstTime, kStart + 2);
    EXPECT_TRUE(slider->isEnabled());
    EXPECT_EQ(slider->maximum(), 3);

    // Play again: speed 2; pause; play resumes at speed 1.
    QTest::mouseClick(window.button(342), Qt::LeftButton);
    EXPECT_EQ(local->player()->speed(), 2);
    QTest::mouseClick(window.button(343), Qt::LeftButton);
    EXPECT_EQ(local->player()->mode(), LocalMode::Pause);
    // The slider at 1 s while paused: one step shows 10:00:01.
    emit slider->sliderReleased(420, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return local->player()->currentTime() == kStart + 1; }));
    QTest::mouseClick(window.button(342), Qt::LeftButton);
    EXPECT_EQ(local->player()->speed(), 1);
    // The end of the data pauses.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return local->player()->mode() == LocalMode::Pause; }, 15000));

    QTest::mouseClick(window.button(345), Qt::LeftButton);
    EXPECT_FALSE(local->active());
    EXPECT_EQ(window.videoWindow()->mode(), StreamKind::Idle);
    EXPECT_FALSE(window.button(342)->isEnabled());
    EXPECT_FALSE(slider->isEnabled());
}

TEST(MainWindowLocal, NoDataAndRemovableMedia) {
    test::MainWindowHarness harness;
    // Nothing downloaded: a play request gives the no-data notification.
    {
        MainWindow window(harness.config());
        window.show();
        LocalPlaybackController* local = window.localPlayback();
        EXPECT_FALSE(local->play({LocalPlayRequest::Kind::StartOnly, kStart, 0},
                                 local->downloadFolder(harness.dataFolder())));
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.notificationBox() != nullptr; }));
    }
    // From removable media the download folder is the current directory's; the window opens
    // at start and has no Log tab.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(harness.dataFolder() + "/..");
    MainWindowConfig config = harness.config();
    config.removableMode = true;
    MainWindow window(config);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.localPlayback()->searchWindow() != nullptr; }));
    LocalSearchWindow* search = window.localPlayback()->searchWindow();
    EXPECT_FALSE(search->tabButton(LocalSearchWindow::Tab::Log)->isVisibleTo(search));
    EXPECT_EQ(window.localPlayback()->downloadFolder(harness.dataFolder()),
              std::filesystem::path(QDir::currentPath().toStdString()) / "Download");
    QDir::setCurrent(previous);
}

} // namespace
} // namespace kalder
