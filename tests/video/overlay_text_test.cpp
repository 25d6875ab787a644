#include "video/overlay_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kalder {
namespace {

// A fixed-pitch stand-in for the window's font: every character 7 pixels wide.
int sevenPixelText(std::string_view text) {
    return static_cast<int>(text.size()) * 7;
}

TEST(OverlayText, FontMetricsOfTheDefaultFont) {
    EXPECT_EQ(overlayFontHeight(kOverlayFontPoints), -17);
    EXPECT_EQ(overlayCharWidth(-17), 10);
}

TEST(OverlayText, TopAndBottomLines) {
    struct Case {
        std::string title;
        int width;
        int height;
        std::string top;
    };
    const Case cases[] = {
        {"Gate", 352, 288, "Gate 360x288"},
        {"CH1", 704, 480, "CH1 720x480"},
        {"Yard", 704, 240, "Yard 720x240"},
        {std::string("Dock\0junk", 9), 352, 240, "Dock 360x240"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(topOverlayText(c.title, c.width, c.height), c.top);

    EXPECT_EQ(bottomOverlayText("Live", 7), "Live  07");
    EXPECT_EQ(bottomOverlayText("Play", 30), "Play  30");
    EXPECT_EQ(videoLossText(0), "CH1  Video Loss");
    EXPECT_EQ(videoLossText(15), "CH16  Video Loss");
}

TEST(OverlayText, TitleLimitByCellWidth) {
    const std::pair<int, int> cases[] = {{198, 0},   {199, 69},  {266, 69},  {267, 121},
                                         {401, 121}, {402, 212}, {537, 212}, {538, 0}};
    for (auto [cellWidth, limit] : cases)
        EXPECT_EQ(titleWidthLimit(cellWidth), limit) << cellWidth;
}

TEST(OverlayText, TitleFitting) {
    const std::string forty(40, 'W');
    struct Case {
        const char* name;
        std::string title;
        int cellWidth;
        std::string fitted;
    };
    const Case cases[] = {
        // 9 characters measure 63 pixels, the most that fits in 69.
        {"cut at a 230-pixel cell", forty, 230, std::string(9, 'W') + "..."},
        {"short title unchanged", "Gate", 230, "Gate"},
        {"exactly at the limit", std::string(17, 'x'), 300, std::string(17, 'x')},
        {"one over the limit", std::string(18, 'x'), 300, std::string(17, 'x') + "..."},
        {"wide cells have no limit but the field length", forty, 600, std::string(31, 'W')},
        {"narrow cells have no limit", forty, 150, std::string(31, 'W')},
        {"cut title with dots stays within 31", forty, 500, std::string(28, 'W') + "..."},
    };
    for (const Case& c : cases) {
        const std::string fitted = fitTitle(c.title, c.cellWidth, sevenPixelText);
        EXPECT_EQ(fitted, c.fitted) << c.name;
        EXPECT_LE(fitted.size(), kMaxTitleLength) << c.name;
    }
}

TEST(OverlayText, ComposerRefitsOnlyWhenTitleOrCellChanges) {
    int measured = 0;
    const TextWidthFn counting = [&measured](std::string_view text) {
        ++measured;
        return sevenPixelText(text);
    };
    OverlayComposer composer;
    OverlayComposer::Picture picture;
    picture.width = 352;
    picture.height = 288;
    picture.title = "Front entrance gate";
    picture.modeLabel = "Live";
    picture.framesPerSecond = 7;
    picture.cellWidth = 230;

    ChannelOverlay overlay = composer.compose(picture, counting);
    EXPECT_EQ(overlay.topText, "Front ent... 360x288");
    EXPECT_EQ(overlay.bottomText, "Live  07");
    EXPECT_EQ(overlay.topColour, kTopTextColour);
    EXPECT_EQ(overlay.bottomColour, kBottomTextColour);
    EXPECT_EQ(overlay.speedIconX, 8 * 10 + 5);
    EXPECT_EQ(overlay.audioMarkX, 8 * 10 + 40);
    const int afterFirst = measured;

    composer.compose(picture, counting);
    EXPECT_EQ(measured, afterFirst) << "same title, same cell";

    picture.cellWidth = 815;
    EXPECT_EQ(composer.compose(picture, counting).topText, "Front entrance gate 360x288");
    picture.title = "Gate";
    EXPECT_EQ(composer.compose(picture, counting).topText, "Gate 360x288");
}

TEST(OverlayText, AudioMarkRules) {
    struct Case {
        const char* name;
        StreamKind mode;
        AudioFacts audio;
        int mark;
    };
    const Case cases[] = {
        {"live, this channel's audio", StreamKind::Live, {true, 3, false}, 0},
        {"live, another channel's audio", StreamKind::Live, {true, 4, false}, -1},
        {"live without audio", StreamKind::Live, {false, 3, false}, -1},
        {"playback at normal speed", StreamKind::RemotePlayback, {true, 3, true}, 0},
        {"playback fast or backward", StreamKind::RemotePlayback, {true, 3, false}, -1},
        {"local player at normal speed", StreamKind::LocalPlayback, {true, 3, true}, 0},
        {"idle", StreamKind::Idle, {true, 3, true}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseAudioMark(c.mode, 3, c.audio), c.mark) << c.name;
}

TEST(OverlayText, SpeedIconComposition) {
    EXPECT_EQ(speedIconPieces(0), (std::vector<IconPiece>{{kPauseIcon, 0, 0, 0, 16}}));
    EXPECT_EQ(speedIconPieces(1), (std::vector<IconPiece>{{kPlayIcon, 0, 0, 0, 16}}));
    EXPECT_EQ(speedIconPieces(-1), (std::vector<IconPiece>{{kReverseIcon, 0, 0, 0, 16}}));
    EXPECT_EQ(speedIconPieces(4), (std::vector<IconPiece>{{kPlayIcon, 5, 5, 0, 12},
                                                          {kPlayIcon, 5, 12, 0, 19},
                                                          {kPlayIcon, 5, 19, 0, 26},
                                                          {kPlayIcon, 5, 26, 0, 33}}));
    EXPECT_EQ(speedIconPieces(-3), (std::vector<IconPiece>{{kReverseIcon, 4, 4, 0, 11},
                                                           {kReverseIcon, 4, 11, 0, 18},
                                                           {kReverseIcon, 4, 18, 0, 25}}));
    EXPECT_EQ(speedIconPieces(2).size(), 2u);
    EXPECT_TRUE(speedIconPieces(5).empty());
    EXPECT_TRUE(speedIconPieces(-5).empty());
}

TEST(OverlayPlan, PositionsInACell) {
    ChannelOverlay overlay;
    overlay.topText = "Gate 360x288";
    overlay.bottomText = "Live  07";
    overlay.audioMark = 0;
    overlay.audioMarkX = 120;
    CellOverlayFacts cell;
    cell.mode = StreamKind::Live;
    cell.channel = 2;
    cell.x = 204;
    cell.y = 138;
    cell.width = 201;
    cell.height = 135;
    cell.ptzState = 2;
    cell.ptzChannel = 2;

    const OverlayPlan plan = planCellOverlay(cell, overlay);
    ASSERT_EQ(plan.texts.size(), 2u);
    EXPECT_EQ(plan.texts[0].text, "Gate 360x288");
    EXPECT_EQ(plan.texts[0].x, 211);
    EXPECT_EQ(plan.texts[0].y, 141);
    EXPECT_EQ(plan.texts[0].colour, kTopTextColour);
    EXPECT_EQ(plan.texts[1].x, 211);
    EXPECT_EQ(plan.texts[1].y, 138 + 135 - 22);
    EXPECT_EQ(plan.texts[1].colour, kBottomTextColour);
    EXPECT_EQ(plan.icons, (std::vector<IconPiece>{{kAudioIcons[0], 0, 324, 255, 16},
                                                  {kPtzIcons[1], 0, 304, 255, 16}}));

    cell.soundDevice = false;
    cell.ptzChannel = 3;
    EXPECT_TRUE(planCellOverlay(cell, overlay).icons.empty())
        << "no sound device, PTZ on another channel";
}

TEST(OverlayPlan, SpeedIconOnlyInPlaybackCellsWiderThan190) {
    ChannelOverlay overlay;
    overlay.speedIconX = 85;
    struct Case {
        StreamKind mode;
        int width;
        bool drawn;
    };
    const Case cases[] = {{StreamKind::RemotePlayback, 190, false},
                          {StreamKind::RemotePlayback, 191, true},
                          {StreamKind::LocalPlayback, 191, true},
                          {StreamKind::Live, 400, false}};
    for (const Case& c : cases) {
        CellOverlayFacts cell;
        cell.mode = c.mode;
        cell.width = c.width;
        cell.height = 100;
        cell.speedCode = 1;
        const OverlayPlan plan = planCellOverlay(cell, overlay);
        EXPECT_EQ(plan.icons.size(), c.drawn ? 1u : 0u) << c.width;
        if (c.drawn) {
            EXPECT_EQ(plan.icons[0].x, 85);
            EXPECT_EQ(plan.icons[0].y, 82);
        }
    }
}

TEST(OverlayPlan, OsdSwitchHidesEverything) {
    ChannelOverlay overlay;
    overlay.topText = "Gate 360x288";
    overlay.audioMark = 0;
    CellOverlayFacts cell;
    cell.osdEnabled = false;
    cell.mode = StreamKind::RemotePlayback;
    cell.width = 400;
    const OverlayPlan plan = planCellOverlay(cell, overlay);
    EXPECT_TRUE(plan.texts.empty());
    EXPECT_TRUE(plan.icons.empty());
    EXPECT_TRUE(planVideoLossOverlay(false, 0, 0, 0).texts.empty());

    const OverlayPlan loss = planVideoLossOverlay(true, 0, 610, 412);
    ASSERT_EQ(loss.texts.size(), 1u);
    EXPECT_EQ(loss.texts[0].text, "CH1  Video Loss");
    EXPECT_EQ(loss.texts[0].x, 617);
    EXPECT_EQ(loss.texts[0].y, 415);
    EXPECT_EQ(loss.texts[0].colour, kTopTextColour);
}

} // namespace
} // namespace kalder
