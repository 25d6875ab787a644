#include "video/full_screen_bar.h"
#include "video/video_window.h"
#include "ui/skin_button.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(FullScreen, MonitorHoldingTheMainWindowsCentre) {
    const QList<QRect> workAreas = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 984)};
    EXPECT_EQ(VideoWindow::monitorFor(workAreas, QPoint(500, 400)), 0);
    EXPECT_EQ(VideoWindow::monitorFor(workAreas, QPoint(2500, 400)), 1);
    EXPECT_EQ(VideoWindow::monitorFor(workAreas, QPoint(2500, 1010)), 0) << "on no work area";
    EXPECT_EQ(VideoWindow::monitorFor({}, QPoint(0, 0)), -1);
}

TEST(FullScreen, SecondMonitorWithBarAndExactReturn) {
    QWidget main;
    main.resize(928, 698);
    auto* window = new VideoWindow(&main);
    main.show();
    const QRect before = window->geometry();
    ASSERT_EQ(before, QRect(53, 72, 815, 548));
    QSignalSpy left(window, &VideoWindow::fullScreenLeft);

    const QRect second(1920, 0, 1280, 1024);
    window->enterFullScreen(second);
    EXPECT_TRUE(window->fullScreen());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->geometry(), second);
    EXPECT_EQ(window->layoutModel().width(), 1280);
    FullScreenBar* bar = window->fullScreenBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(1920 + 465, 980, 350, 44)) << "bottom centre of monitor";
    EXPECT_TRUE(QTest::qWaitFor([bar] { return bar->isVisible(); }))
        << "the bar shows itself shortly after creation";

    SkinButton* fourCells = nullptr;
    for (SkinButton* button : bar->findChildren<SkinButton*>()) {
        if (button->controlId() == 401)
            fourCells = button;
    }
    ASSERT_NE(fourCells, nullptr);
    QTest::mouseClick(fourCells, Qt::LeftButton);
    EXPECT_EQ(window->layoutModel().layout(), 4);

    window->enterFullScreen(QRect(0, 0, 640, 480));
    EXPECT_EQ(window->geometry(), second) << "a second request changes nothing";

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->fullScreen());
    EXPECT_EQ(window->parentWidget(), &main);
    EXPECT_EQ(window->geometry(), before);
    EXPECT_EQ(window->layoutModel().width(), 815);
    EXPECT_EQ(window->fullScreenBar(), nullptr);
    EXPECT_EQ(left.count(), 1);
}

TEST(FullScreen, BarEscButtonLeaves) {
    QWidget main;
    main.resize(928, 698);
    auto* window = new VideoWindow(&main);
    main.show();
    window->enterFullScreen(QRect(0, 0, 1024, 768));
    for (SkinButton* button : window->fullScreenBar()->findChildren<SkinButton*>()) {
        if (button->controlId() == FullScreenBar::kLeaveButtonId) {
            QTest::mouseClick(button, Qt::LeftButton);
            break;
        }
    }
    EXPECT_FALSE(window->fullScreen());
    EXPECT_EQ(window->geometry(), QRect(53, 72, 815, 548));
}

} // namespace
} // namespace kalder
