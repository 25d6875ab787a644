#include "video/window_exposure.h"
#include "video/video_window.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

// The main window's frame with the video window inside, and other windows laid over it.
TEST(WindowExposure, CoveredWindowDecodesKeyFramesOnlyUntilUncovered) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "the X server reports covered windows; platform '"
                     << qPrintable(QGuiApplication::platformName()) << "' does not";
    QWidget main;
    main.setGeometry(100, 100, 928, 698);
    auto* video = new VideoWindow(&main);
    auto* watch = new WindowExposureWatch(main, *video);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_FALSE(video->feed().keyFramesOnly());

    // A window over part of it: still seen.
    QWidget part;
    part.setGeometry(150, 150, 300, 200);
    int reports = watch->visibilityReports();
    part.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch->visibilityReports() > reports; }));
    EXPECT_FALSE(watch->covered());
    EXPECT_FALSE(video->feed().keyFramesOnly());

    // One over all of it: unseen, as minimized; seen again when it goes.
    QWidget cover;
    cover.setGeometry(50, 50, 1100, 800);
    cover.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->feed().keyFramesOnly(); }));
    EXPECT_TRUE(watch->covered());
    cover.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video->feed().keyFramesOnly(); }));
    EXPECT_FALSE(watch->covered());

    // In full screen the video window is a window of its own over the main window: seen.
    reports = watch->visibilityReports();
    video->enterFullScreen(QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch->visibilityReports() > reports; }));
    EXPECT_TRUE(watch->covered());
    EXPECT_FALSE(video->feed().keyFramesOnly());
    video->leaveFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watch->covered(); }));

    // Covered while the program keeps the video window hidden: uncovering leaves it unseen.
    cover.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch->covered(); }));
    video->hide();
    reports = watch->visibilityReports();
    cover.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch->visibilityReports() > reports; }));
    EXPECT_FALSE(watch->covered());
    EXPECT_TRUE(video->feed().keyFramesOnly());
}

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    // The X server's reports are what is tested: Xvfb (the test script's) or a desktop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
