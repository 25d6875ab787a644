// The Display and Event pages' rules without widgets: camera picture, spot output, OSD, e-mail
// and the event actions, each writing only the fields its page owns.
#include "setup/model/camera_setting_page.h"
#include "setup/model/event_action_page.h"
#include "setup/model/mail_page.h"
#include "setup/model/osd_page.h"
#include "setup/model/spot_setting_page.h"
#include "tests/setup/page_test_support.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

using test::expectOnlyFieldsChanged;
using test::patternRecord;

ChannelSelection selection(unsigned channels, std::initializer_list<unsigned> checked) {
    ChannelSelection s;
    s.channels = channels;
    for (unsigned ch : checked)
        s.checked[ch] = true;
    return s;
}

TEST(CameraSettingPage, SlidersFollowTheSelectedSetAndResetNeedsACheckedRow) {
    const ConfigRecord before = patternRecord(4, 8);
    ConfigRecord r = before;
    // An unchecked row changes alone; a checked row changes every checked row.
    EXPECT_EQ(setPictureValue(r, PictureView::Contrast, selection(8, {1, 5}), 2, 70),
              (std::vector<unsigned>{2}));
    EXPECT_EQ(setPictureValue(r, PictureView::Contrast, selection(8, {1, 5}), 5, 130),
              (std::vector<unsigned>{1, 5}));
    EXPECT_EQ(r.value(configField("contrast"), 1), 100u); // kept within 0 .. 100
    EXPECT_EQ(r.bytes()[40 + 2], std::byte{70});
    // Rows beyond the channel count do not exist.
    EXPECT_TRUE(setPictureValue(r, PictureView::Contrast, selection(8, {}), 8, 10).empty());

    // Reset with no row checked changes nothing; with rows checked, those rows become 50.
    const ConfigRecord unreset = r;
    EXPECT_TRUE(resetPicture(r, PictureView::Hue, selection(8, {})).empty());
    EXPECT_EQ(r, unreset);
    EXPECT_EQ(resetPicture(r, PictureView::Hue, selection(8, {0, 7})),
              (std::vector<unsigned>{0, 7}));
    EXPECT_EQ(r.bytes()[8 + 7], std::byte{50});
    expectOnlyFieldsChanged(before, r, {&configField("hue"), &configField("contrast")});
}

TEST(SpotSettingPage, DwellPositionsDwellViewAndModes) {
    const struct {
        int position;
        unsigned seconds;
    } dwell[] = {{0, 0}, {1, 5}, {7, 35}, {48, 240}, {49, 240}, {-3, 0}};
    for (const auto& d : dwell)
        EXPECT_EQ(spotDwellSeconds(d.position), d.seconds) << d.position;
    EXPECT_EQ(spotDwellPosition(35), 7);
    EXPECT_EQ(spotDwellPosition(255), 48);

    const struct {
        unsigned mode, channels;
        bool opens;
    } views[] = {{0, 4, true},  {1, 4, false},  {1, 8, true},   {2, 8, false},
                 {2, 16, true}, {3, 16, false}, {4, 16, false}, {6, 16, false}};
    for (const auto& v : views)
        EXPECT_EQ(spotDwellViewOpens(v.mode, v.channels), v.opens) << v.mode << "/" << v.channels;
    EXPECT_TRUE(spotModeIsSequence(3));
    EXPECT_FALSE(spotModeIsSequence(4));
}

TEST(SpotSettingPage, SplitModesShareTheFirstChannelsDwell) {
    const ConfigRecord before = patternRecord(4, 8);
    ConfigRecord r = before;
    const ConfigField& dwell = configField("spot_dwell");
    // Channel 3's own dwell is discarded for channel 1's when the four-way split is chosen.
    ASSERT_EQ(setSpotDwell(r, 0, selection(16, {}), 2, 7), (std::vector<unsigned>{2}));
    ASSERT_TRUE(chooseSpotMode(r, 16, 1));
    EXPECT_EQ(r.value(configField("spot_mode")), 1u);
    for (unsigned ch = 0; ch < 16; ++ch)
        EXPECT_EQ(r.value(dwell, ch), r.value(dwell, ch - ch % 4)) << ch;
    EXPECT_NE(r.value(dwell, 2), 35u);

    // Nine-way split: channels 2..8 take channel 1's, 10..16 channel 9's.
    ASSERT_TRUE(chooseSpotMode(r, 16, 2));
    for (unsigned ch = 0; ch < 16; ++ch)
        EXPECT_EQ(r.value(dwell, ch), r.value(dwell, ch < 8 ? 0 : 8)) << ch;
    EXPECT_FALSE(chooseSpotMode(r, 16, 7));

    // A four-channel recorder: the channels it lacks keep their bytes.
    ConfigRecord four = before;
    ASSERT_TRUE(chooseSpotMode(four, 4, 1));
    for (unsigned ch = 4; ch < 16; ++ch)
        EXPECT_EQ(four.value(dwell, ch), before.value(dwell, ch)) << ch;
    expectOnlyFieldsChanged(before, r, {&dwell, &configField("spot_mode")});
}

TEST(SpotSettingPage, GroupSlidersReachCheckedGroups) {
    ConfigRecord r = patternRecord(4, 8);
    ChannelSelection s = selection(16, {});
    // The box of a group's first channel checks the whole group; another box only itself.
    checkSpotRow(s, 1, 4, true);
    checkSpotRow(s, 1, 13, true);
    EXPECT_TRUE(s.checked[4] && s.checked[7]);
    EXPECT_TRUE(s.checked[13] && !s.checked[12]);
    checkSpotRow(s, 1, 8, true);
    // Group 1 (channels 5..8) is checked: so is group 2; group 3's first box is not.
    EXPECT_EQ(setSpotDwell(r, 1, s, 5, 2), (std::vector<unsigned>{4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(r.value(configField("spot_dwell"), 11), 10u);
    // An unchecked group changes alone.
    EXPECT_EQ(setSpotDwell(r, 1, s, 1, 3), (std::vector<unsigned>{0, 1, 2, 3}));
    // Nine-way split on sixteen channels: groups of eight.
    EXPECT_EQ(setSpotDwell(r, 2, selection(16, {}), 9, 1).size(), 8u);
    EXPECT_EQ(setSpotEnable(r, selection(16, {2, 3}), 3, false), (std::vector<unsigned>{2, 3}));
    EXPECT_EQ(r.bytes()[620 + 2], std::byte{0});
}

TEST(OsdPage, ExtraRowsByVersionAndListBounds) {
    const struct {
        std::uint8_t major, minor;
        bool extra;
    } versions[] = {{4, 2, false}, {4, 3, false}, {4, 4, true}, {5, 0, true}};
    for (const auto& v : versions) {
        SetupContext context;
        context.version = {v.major, v.minor};
        ConfigRecord r = patternRecord(v.major, v.minor);
        EXPECT_EQ(readOsd(r, context).extraRows, v.extra);
        EXPECT_EQ(setOsdChoice(r, context, 2, 3), v.extra);
        EXPECT_EQ(setOsdChoice(r, context, 4, 1), v.extra);
        EXPECT_FALSE(setOsdChoice(r, context, 3, 2)); // a list of two
        EXPECT_TRUE(setOsdChoice(r, context, 1, 6));
        EXPECT_FALSE(setOsdChoice(r, context, 1, 7));
    }
    ConfigRecord r = patternRecord(4, 8);
    EXPECT_EQ(setOsdFlag(r, 0, true, {true, false}), (std::vector<std::size_t>{0}));
    EXPECT_EQ(setOsdFlag(r, 1, false, {true, true}), (std::vector<std::size_t>{1, 0}));
    EXPECT_EQ(r.value(configField("osd_flag_1")), 0u);
    EXPECT_EQ(r.value(configField("osd_flag_2")), 0u);
}

TEST(MailPage, TestMailCarriesTheTypedBlockAndTimesStayValid) {
    const ConfigRecord before = patternRecord(5, 0);
    ConfigRecord r = before;
    ASSERT_TRUE(writeMailText(r, 1, mailTextFromInput(U"ops@example.org")));
    ASSERT_TRUE(setMailChoice(r, 2));
    EXPECT_FALSE(setMailChoice(r, 3));
    EXPECT_EQ(mailTextFromInput(std::u32string(130, U'm')).size(), kMailTextMaxChars);
    EXPECT_FALSE(writeMailText(r, 0, std::string(121, 'x')));

    // The payload is bytes 3512 .. 4027 of the copy as it stands, edits included.
    const auto payload = testMailPayload(r);
    for (std::size_t i = 0; i < kMailBlockSize; ++i)
        ASSERT_EQ(payload[i], r.bytes()[3512 + i]) << i;
    EXPECT_EQ(payload[128 + 15], std::byte{0});              // the text's NUL
    EXPECT_EQ(payload[128 + 16], before.bytes()[3640 + 16]); // then the bytes as received
    EXPECT_EQ(payload[512], std::byte{2});                   // mail_choice

    // The time rows of each choice, and times kept within a day.
    EXPECT_EQ(mailTimeRows(0).size(), 2u);
    EXPECT_EQ(mailTimeRows(1)[0].index, 6u);
    EXPECT_EQ(mailTimeRows(2)[0].kind, MailTimeRow::Kind::List);
    EXPECT_EQ(mailTimeRows(2)[1].index, 10u);
    EXPECT_TRUE(setMailTime(r, 10, {23, 59, 58}));
    EXPECT_EQ(r.bytes()[6754 + 2], std::byte{58});
    EXPECT_FALSE(setMailTime(r, 3, {24, 0, 0}));
    EXPECT_FALSE(setMailTime(r, 9, {1, 2, 3})); // the list's byte is not a time
    EXPECT_TRUE(setMailTimeList(r, 6));
    EXPECT_FALSE(setMailTimeList(r, 7));
    EXPECT_EQ(mailTimeText(mailTime(r, 10)), "23 : 59 : 58");
    EXPECT_TRUE(mailTimePageShown({5, 0}));
    EXPECT_FALSE(mailTimePageShown({4, 9}));
    expectOnlyFieldsChanged(
        before, r,
        {&configField("mail_text_2"), &configField("mail_choice"), &configField("mail_times")});
}

TEST(EventActionPages, FifthRowByVersionAndDurations) {
    const struct {
        std::uint8_t major, minor;
        std::size_t rows;
        bool channelPage;
    } versions[] = {{4, 6, 4, false}, {4, 7, 5, false}, {5, 0, 5, true}};
    for (const auto& v : versions) {
        SetupContext context;
        context.version = {v.major, v.minor};
        const ConfigRecord before = patternRecord(v.major, v.minor);
        ConfigRecord r = before;
        for (EventActionPage page : {EventActionPage::A, EventActionPage::B, EventActionPage::C}) {
            EXPECT_EQ(readEventAction(r, context, page).rowCount, v.rows);
            EXPECT_EQ(setEventAction(r, context, page, 4, true), v.rows == 5);
            EXPECT_TRUE(setEventAction(r, context, page, 3, false));
        }
        EXPECT_EQ(readEventAction(r, context, EventActionPage::A).channelPageButton, v.channelPage);
        EXPECT_FALSE(readEventAction(r, context, EventActionPage::C).channelPageButton);
        if (v.rows == 4)
            expectOnlyFieldsChanged(
                before, r,
                {&configField("notify_a"), &configField("notify_b"), &configField("notify_c")});
    }

    ConfigRecord r = patternRecord(4, 7);
    const ConfigField& timeB = configField("notify_b_time");
    const struct {
        std::int64_t typed;
        std::uint32_t stored;
    } chooser[] = {{0, 1}, {1, 1}, {500, 500}, {999, 999}, {1000, 999}, {-5, 1}};
    for (const auto& c : chooser) {
        ASSERT_TRUE(setEventDuration(r, EventActionPage::B, c.typed));
        EXPECT_EQ(r.value(timeB), c.stored) << c.typed;
    }
    for (std::size_t i = 0; i < kEventDurationPresets.size(); ++i) {
        ASSERT_TRUE(setEventDurationPreset(r, EventActionPage::C, i));
        EXPECT_EQ(r.value(configField("notify_c_time")), kEventDurationPresets[i]);
    }
    EXPECT_EQ(r.bytes()[4464 + 3], std::byte{240}); // big-endian u32
    EXPECT_FALSE(setEventDurationPreset(r, EventActionPage::C, 10));
    EXPECT_FALSE(setEventDuration(r, EventActionPage::A, 5)); // page A has no duration
    ASSERT_TRUE(clearEventDuration(r, EventActionPage::B));
    EXPECT_EQ(eventDurationText(r.value(timeB), "sec"), "");
    EXPECT_EQ(eventDurationText(30, "sec"), "30 sec");
}

} // namespace
} // namespace kalder
