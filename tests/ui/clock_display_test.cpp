#include "ui/clock_display.h"

#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

// A strip whose glyph i is filled with the colour (10 i, strip id % 256, 200).
QImage codedStrip(int id, int glyphWidth, int glyphHeight, int glyphs) {
    QImage strip(glyphWidth * glyphs, glyphHeight, QImage::Format_RGB32);
    for (int i = 0; i < glyphs; ++i) {
        for (int y = 0; y < glyphHeight; ++y) {
            for (int x = 0; x < glyphWidth; ++x)
                strip.setPixelColor(i * glyphWidth + x, y, QColor(10 * i, id % 256, 200));
        }
    }
    return strip;
}

std::map<int, QImage> codedStrips() {
    return {{kMainDateStrip, codedStrip(kMainDateStrip, 7, 11, 11)},
            {kMainTimeStrip, codedStrip(kMainTimeStrip, 13, 18, 14)},
            {kPlaybackDateStrip, codedStrip(kPlaybackDateStrip, 7, 9, 11)},
            {kPlaybackTimeStrip, codedStrip(kPlaybackTimeStrip, 7, 9, 12)},
            {kPlaybackHalfStrip, codedStrip(kPlaybackHalfStrip, 18, 9, 2)}};
}

// Glyph index drawn at a point of the main window, -1 when it is not from `stripId`.
int glyphAt(const QImage& window, int x, int y, int stripId) {
    const QColor colour = window.pixelColor(x, y);
    return colour.green() == stripId % 256 && colour.blue() == 200 ? colour.red() / 10 : -1;
}

TEST(ClockDisplay, MainClockShowsTheRecorderClockWhileLive) {
    QWidget main;
    main.resize(928, 698);
    auto* clock = new ClockDisplay(ClockVariant::Main, &main);
    clock->setStrips(codedStrips());
    clock->setLocalClock([] { return CivilTime{2026, 12, 9, 8, 7, 6}; });
    clock->setDateOrder(DateOrder::DayFirst);
    clock->tick();
    EXPECT_EQ(clock->shownTime(), (CivilTime{2026, 12, 9, 8, 7, 6})) << "local time when idle";

    clock->setRecorderTime(1172840709); // 2007-03-02 13:05:09 on the recorder's clock
    clock->tick();
    const QImage shot = main.grab().toImage();
    struct Expect {
        int x;
        int y;
        int strip;
        int glyph;
    };
    const Expect glyphs[] = {
        {66, 643, kMainTimeStrip, 11},  // PM
        {79, 643, kMainTimeStrip, 13},  // blank tens of the hour
        {92, 643, kMainTimeStrip, 1},   // 1
        {105, 643, kMainTimeStrip, 12}, // :
        {131, 643, kMainTimeStrip, 5},  {170, 643, kMainTimeStrip, 9},
        {111, 663, kMainDateStrip, 0}, // 02-03-2007
        {118, 663, kMainDateStrip, 2},  {125, 663, kMainDateStrip, 10},
        {174, 663, kMainDateStrip, 7},
    };
    for (const Expect& e : glyphs) {
        EXPECT_EQ(glyphAt(shot, e.x + 3, e.y + 3, e.strip), e.glyph) << "at x " << e.x;
    }

    clock->clearRecorderTime();
    clock->tick();
    EXPECT_EQ(clock->shownTime().year, 2026);
}

TEST(ClockDisplay, PlaybackClockShowsThePlayersTime) {
    QWidget main;
    main.resize(928, 698);
    auto* clock = new ClockDisplay(ClockVariant::Playback, &main);
    clock->setStrips(codedStrips());
    clock->setPlaybackTime(-20);
    clock->tick();
    EXPECT_EQ(clock->shownTime(), (CivilTime{1970, 1, 1, 0, 0, 0})) << "negative counts as 0";
    clock->setPlaybackTime(1172840709);
    clock->tick();
    const QImage shot = main.grab().toImage();
    EXPECT_EQ(glyphAt(shot, 520, 634, kPlaybackHalfStrip), 1) << "PM";
    EXPECT_EQ(glyphAt(shot, 539, 634, kPlaybackTimeStrip), 11) << "blank";
    EXPECT_EQ(glyphAt(shot, 546, 634, kPlaybackTimeStrip), 1);
    EXPECT_EQ(glyphAt(shot, 601, 634, kPlaybackDateStrip), 2) << "2007 first";
    EXPECT_EQ(glyphAt(shot, 660, 634, kPlaybackDateStrip), 2) << "day 02 last";
}

} // namespace
} // namespace kalder
