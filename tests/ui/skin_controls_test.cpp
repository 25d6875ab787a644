#include "ui/skin_button.h"
#include "ui/skin_check_button.h"
#include "ui/skin_progress_bar.h"
#include "ui/skin_slider.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

QImage solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(SkinButton, ReportsPressAndReleaseOnlyWhenAsked) {
    SkinButton button(360, 0, 0);
    button.setPictures(solid(64, 24, Qt::blue), solid(64, 24, Qt::red));
    button.show();
    EXPECT_EQ(button.size(), QSize(64, 24));
    QSignalSpy reports(&button, &SkinButton::pressReport);
    QSignalSpy clicks(&button, &SkinButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(reports.count(), 0) << "reporting is off by default";
    EXPECT_EQ(clicks.count(), 1);

    button.setPressReporting(true);
    QTest::mousePress(&button, Qt::LeftButton);
    ASSERT_EQ(reports.count(), 1);
    EXPECT_EQ(reports[0][0].value<SkinButton*>(), &button);
    EXPECT_EQ(reports[0][1].value<SkinButton::PressPhase>(), SkinButton::PressPhase::Pressed);
    EXPECT_TRUE(button.showsPressed());
    QTest::mouseRelease(&button, Qt::LeftButton);
    ASSERT_EQ(reports.count(), 2);
    EXPECT_EQ(reports[1][1].value<SkinButton::PressPhase>(), SkinButton::PressPhase::Released);
    EXPECT_EQ(clicks.count(), 2) << "the ordinary command still comes";
    EXPECT_FALSE(button.showsPressed());

    QTest::mouseClick(&button, Qt::RightButton);
    EXPECT_EQ(reports.count(), 2) << "only the left button reports";
}

TEST(SkinButton, OwnerHoldsThePressedLook) {
    SkinButton button(369, 0, 0);
    const QImage normal = solid(20, 10, Qt::blue);
    const QImage pressed = solid(20, 10, Qt::red);
    button.setPictures(normal, pressed);
    button.setPressedLook(true);
    EXPECT_TRUE(button.showsPressed());
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::red));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.showsPressed()) << "a click does not clear the owner's look";
    button.setPressedLook(false);
    EXPECT_EQ(button.grab().toImage().pixelColor(5, 5), QColor(Qt::blue));
}

TEST(SkinButton, CheckButtonShowsPressedWhileChecked) {
    SkinCheckButton button(370, 0, 0);
    button.setPictures(solid(20, 10, Qt::blue), solid(20, 10, Qt::red));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isChecked());
    EXPECT_TRUE(button.showsPressed());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.showsPressed());
}

TEST(SkinSlider, ReportsPressMovesAndReleaseWithIdAndPosition) {
    SkinSlider slider(421, 0, 0);
    slider.setPictures(solid(110, 8, Qt::black), solid(10, 16, Qt::white));
    slider.setRange(0, 100);
    slider.show();
    ASSERT_EQ(slider.size(), QSize(110, 16));
    QSignalSpy pressed(&slider, &SkinSlider::sliderPressed);
    QSignalSpy moved(&slider, &SkinSlider::sliderMoved);
    QSignalSpy released(&slider, &SkinSlider::sliderReleased);

    // On the thumb (position 0, columns 0-9): no jump.
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(5, 8));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].toInt(), 421);
    EXPECT_EQ(pressed[0][1].toInt(), 0);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_TRUE(slider.held());

    QTest::mouseMove(&slider, QPoint(55, 8));
    QTest::mouseMove(&slider, QPoint(55, 9)); // same column: no new position
    QTest::mouseMove(&slider, QPoint(200, 8));
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(moved[0][0].toInt(), 421);
    EXPECT_EQ(moved[0][1].toInt(), 50);
    EXPECT_EQ(moved[1][1].toInt(), 100) << "clamped at the end";

    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(200, 8));
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][0].toInt(), 421);
    EXPECT_EQ(released[0][1].toInt(), 100);
    EXPECT_FALSE(slider.held());
    EXPECT_EQ(slider.position(), 100);

    QTest::mouseMove(&slider, QPoint(30, 8));
    EXPECT_EQ(moved.count(), 2) << "no report once released";
}

TEST(SkinSlider, PressOnTheGrooveJumpsAndCodeMovesSilently) {
    SkinSlider slider(420, 0, 0);
    slider.setPictures(solid(110, 8, Qt::black), solid(10, 16, Qt::white));
    slider.setRange(0, 1000);
    slider.show();
    QSignalSpy pressed(&slider, &SkinSlider::sliderPressed);
    QSignalSpy moved(&slider, &SkinSlider::sliderMoved);

    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(105, 8));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][1].toInt(), 0) << "the press reports where the thumb was";
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][1].toInt(), 1000);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(105, 8));

    slider.setPosition(250);
    slider.setPosition(5000);
    EXPECT_EQ(slider.position(), 1000);
    slider.setRange(0, 400);
    EXPECT_EQ(slider.position(), 400);
    EXPECT_EQ(moved.count(), 1);
}

TEST(SkinProgressBar, ShowsAClampedPercentage) {
    SkinProgressBar bar(0, 0);
    bar.setPictures(solid(200, 18, Qt::black), solid(200, 18, Qt::green));
    bar.setPercent(40);
    EXPECT_EQ(bar.filledWidth(), 80);
    const QImage shot = bar.grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::green));
    EXPECT_EQ(shot.pixelColor(197, 2), QColor(Qt::black));
    bar.setPercent(140);
    EXPECT_EQ(bar.percent(), 100);
    bar.setPercent(-3);
    EXPECT_EQ(bar.percent(), 0);
}

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
