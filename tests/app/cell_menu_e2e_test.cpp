// The cell menu against the simulator: full screen of one channel and back to the layout; instant
// replay of the channel from 30 s back, the position slider's jumps during it, and Stop back to
// live view as the operator had it.
#include "main_window_harness.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/clock_display.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"
#include "video/video_window.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kalder {
namespace {

constexpr int kTimeoutMs = 30000;
constexpr int kPlayStop = 345;

QAction* menuEntry(QWidget* menu, const QString& name) {
    return menu ? menu->findChild<QAction*>(name) : nullptr;
}

// Releases the slider's thumb over the pixel that stands for `position`.
void releaseSliderAt(SkinSlider* slider, int position) {
    int x = 0;
    while (x < slider->width() - 1 && slider->positionAt(x) < position)
        ++x;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
}

TEST(CellMenu, InstantReplayShowsTheChannelFromThirtySecondsBackAndStopReturnsToLive) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    // The simulator's disk ends at its start and records live from then on.
    ASSERT_TRUE(sim.start({"--channels", "4", "--fps", "30"})) << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    window.connectTo(test::simAdminRequest(sim.port()));
    WAIT_UNTIL(window.session() && window.session()->live().liveOn(), kTimeoutMs);
    WAIT_UNTIL(window.session()->live().recorderClock() != 0, kTimeoutMs);
    // Forty seconds on: what the channels showed thirty seconds ago is the live recording.
    const std::uint32_t started = window.session()->live().recorderClock();
    ASSERT_EQ(sim.admin("time " + std::to_string(started + 40)), "ok");
    WAIT_UNTIL(window.session()->live().recorderClock() >= started + 40, kTimeoutMs);

    VideoWindow* video = window.videoWindow();
    video->selectLayout(4);
    const VideoLayout::Arrangement before = video->viewArrangement();
    const int cell = 1;
    const int channel = video->layoutModel().cellChannel(cell);
    const QPoint inCell(video->layoutModel().cellRect(cell).left + 20,
                        video->layoutModel().cellRect(cell).top + 20);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, inCell, video->mapToGlobal(inCell));
    QApplication::sendEvent(video, &rightClick);
    WAIT_UNTIL(window.cellMenu() && window.cellMenu()->isVisible(), kTimeoutMs);
    for (const char* name : {"Full screen", "Snapshot", "Save zoomed view", "Reset zoom",
                             "Listen to this channel", "Instant replay (30 s)", "PTZ…"})
        EXPECT_NE(menuEntry(window.cellMenu(), QString::fromUtf8(name)), nullptr) << name;
    EXPECT_FALSE(menuEntry(window.cellMenu(), QStringLiteral("Reset zoom"))->isEnabled());
    // Full screen shows the channel alone; leaving it brings the layout back.
    menuEntry(window.cellMenu(), QStringLiteral("Full screen"))->trigger();
    WAIT_UNTIL(video->fullScreen(), kTimeoutMs);
    EXPECT_EQ(video->layoutModel().layout(), 1);
    EXPECT_EQ(video->visibleChannelMask(), 1u << channel);
    video->leaveFullScreen();
    WAIT_UNTIL(video->viewArrangement() == before, kTimeoutMs);
    QApplication::sendEvent(video, &rightClick);
    WAIT_UNTIL(window.cellMenu() && window.cellMenu()->isVisible(), kTimeoutMs);
    QAction* replay = menuEntry(window.cellMenu(), QStringLiteral("Instant replay (30 s)"));
    ASSERT_NE(replay, nullptr);
    ASSERT_TRUE(replay->isEnabled()) << replay->toolTip().toStdString();

    const std::uint32_t pressed = window.session()->live().recorderClock();
    const auto pressedAt = std::chrono::steady_clock::now();
    replay->trigger();
    window.cellMenu()->close();
    // A playback frame went to the decoder and the cell has its picture.
    WAIT_UNTIL(video->mode() == StreamKind::RemotePlayback &&
                   window.session()->playback().counters().shownFrames > 0 &&
                   (video->decodedChannels() >> channel & 1u),
               kTimeoutMs);
    const auto delayMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - pressedAt)
                             .count();
    std::printf("instant replay: first picture %lld ms after the menu entry\n",
                static_cast<long long>(delayMs));
    // The pictures are those of thirty seconds before, of that channel alone.
    const PlaybackCounters counters = window.session()->playback().counters();
    EXPECT_GE(counters.firstTime + 2, pressed - 30);
    EXPECT_LE(counters.firstTime, pressed - 30 + 2);
    EXPECT_EQ(window.session()->playback().playbackChannelMask(), 1u << channel);
    WAIT_UNTIL(window.playback()->clock() != nullptr, kTimeoutMs);
    EXPECT_LE(window.playback()->clock()->playbackTime(), pressed - 30 + 3);
    if (const QByteArray dir = qgetenv("KALDER_SCREENSHOT_DIR"); !dir.isEmpty())
        window.grab().save(QString::fromUtf8(dir) + "/instant-replay.png");

    // The position slider covers the replayed period and jumps forward, then back.
    auto* slider = window.findChild<SkinSlider*>(QStringLiteral("slider420"));
    ASSERT_NE(slider, nullptr);
    WAIT_UNTIL(slider->isEnabled(), kTimeoutMs);
    const std::uint32_t periodStart = window.playback()->periodStart();
    EXPECT_EQ(periodStart, pressed - 30);
    const auto playbackTime = [&] { return window.playback()->clock()->playbackTime(); };
    releaseSliderAt(slider, 25);
    WAIT_UNTIL(playbackTime() >= periodStart + 24, kTimeoutMs);
    releaseSliderAt(slider, 3);
    // The clock follows at once; the frames of the old place still under way never show.
    EXPECT_LE(playbackTime(), periodStart + 4);
    const std::uint64_t shownAtJump = window.session()->playback().counters().shownFrames;
    WAIT_UNTIL(window.session()->playback().counters().shownFrames > shownAtJump + 30, kTimeoutMs);
    EXPECT_GE(playbackTime(), periodStart + 1);
    EXPECT_LE(playbackTime(), periodStart + 8);
    // Page Up on the slider jumps a tenth of the period on.
    const int page = std::max(1, (slider->maximum() - slider->minimum()) / 10);
    const std::uint32_t target =
        periodStart + static_cast<std::uint32_t>(slider->position() + page);
    // Over the window's Page Up (the next page of cells) while the slider has the focus.
    window.activateWindow();
    slider->setFocus();
    WAIT_UNTIL(QApplication::focusWidget() == slider, kTimeoutMs);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_GE(playbackTime(), target);
    EXPECT_LE(playbackTime(), target + 1);
    // A few seconds on: the old place, three seconds before, does not come back.
    const std::uint64_t shownAtPage = window.session()->playback().counters().shownFrames;
    WAIT_UNTIL(window.session()->playback().counters().shownFrames > shownAtPage + 30, kTimeoutMs);
    EXPECT_GE(playbackTime(), target - 1);
    EXPECT_LE(playbackTime(), target + 5);

    // Stop: live view as it was. The session has live view on again before the window has
    // handled the playback's end: the window is back once live view's channel announcement,
    // posted after both, has reached it.
    const int announcements = window.liveChannelInfoCount();
    window.button(kPlayStop)->click();
    WAIT_UNTIL(!window.session()->playback().playing(), kTimeoutMs);
    WAIT_UNTIL(window.liveChannelInfoCount() > announcements, kTimeoutMs);
    EXPECT_TRUE(window.session()->live().liveOn());
    EXPECT_EQ(video->viewArrangement(), before);
    EXPECT_EQ(video->mode(), StreamKind::Live);
    EXPECT_FALSE(slider->isEnabled());
}

} // namespace
} // namespace kalder
