// The Rec tab's rules without widgets: the frame-rate budget, the default distributions, the
// general recording page, the grids, the link and assignment pages, and what each page leaves
// alone in the record.
#include "setup/model/assignment_page.h"
#include "setup/model/link_page.h"
#include "setup/model/motion_area_page.h"
#include "setup/model/profile_page.h"
#include "setup/model/recording_page.h"
#include "setup/model/schedule_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <vector>

namespace kalder {
namespace {

constexpr bool kPal = true;
constexpr bool kNtsc = false;

// A record whose bytes all read 0x5A except the ones a case sets: a write to a byte the page
// does not own shows up as a changed 0x5A.
ConfigRecord patterned() {
    return ConfigRecord::fromRecordBytes(std::vector<std::byte>(8176, std::byte{0x5A}));
}

SetupContext contextOf(unsigned channels, std::uint8_t subMajor = 0, std::uint8_t subMinor = 1) {
    SetupContext c;
    c.channelNum = channels;
    c.subProductMajor = subMajor;
    c.subProductMinor = subMinor;
    return c;
}

const ConfigField& rateOf(RecProfile p) {
    switch (p) {
    case RecProfile::B:
        return configField("profile_b_rate");
    case RecProfile::C:
        return configField("profile_c_rate");
    case RecProfile::D:
        return configField("profile_d_rate");
    case RecProfile::E:
        return configField("profile_e_rate");
    default:
        return configField("profile_a_rate");
    }
}

// Sets a profile: standard, every channel's resolution and rate as given (16 elements; the
// missing ones 0).
void setProfile(ConfigRecord& r, RecProfile p, bool pal, std::initializer_list<unsigned> res,
                std::initializer_list<unsigned> rates) {
    r.setValue(configField("video_standard"), 0, pal ? 1 : 0);
    for (unsigned ch = 0; ch < 16; ++ch) {
        r.setValue(configField("resolution"), 16 * static_cast<unsigned>(p) + ch,
                   ch < res.size() ? res.begin()[ch] : res.begin()[res.size() - 1]);
        r.setValue(rateOf(p), ch, ch < rates.size() ? rates.begin()[ch] : 0);
    }
}

std::vector<unsigned> ratesOf(const ConfigRecord& r, RecProfile p, unsigned n) {
    std::vector<unsigned> v;
    for (unsigned ch = 0; ch < n; ++ch)
        v.push_back(r.value(rateOf(p), ch));
    return v;
}

// Bytes that differ between two records, outside the given fields' elements of channels < n
// (per-channel arrays) or wholly (single values).
std::vector<std::size_t> changedOutside(const ConfigRecord& before, const ConfigRecord& after,
                                        const std::set<std::size_t>& allowed) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < kConfigRecordCapacity; ++i)
        if (before.bytes()[i] != after.bytes()[i] && !allowed.count(i))
            out.push_back(i);
    return out;
}

std::set<std::size_t> bytesOf(const ConfigField& f, std::size_t firstElement,
                              std::size_t elements) {
    std::set<std::size_t> s;
    for (std::size_t e = firstElement; e < firstElement + elements; ++e)
        for (std::size_t b = 0; b < f.width; ++b)
            s.insert(f.offset + e * f.width + b);
    return s;
}

TEST(RecBudget, RateChangeKeepsTheProfileWithinTheBudget) {
    struct Case {
        const char* name;
        bool pal;
        unsigned channels;
        std::uint8_t subMinor;
        std::initializer_list<unsigned> res;
        std::initializer_list<unsigned> rates;
        ChannelSet checked;
        unsigned channel;
        unsigned position;
        unsigned rate;
        ChannelSet changed;
    };
    const Case cases[] = {
        // (100 - 3 * 6 * 4) / 4 = 7.
        {"pal 4cif alone", kPal, 4, 1, {0}, {7, 6, 6, 6}, 0, 0, 25, 7, 0x1},
        // Channels 1 and 2 checked: k = 2, S = 48, (100 - 48) / 8 = 6.
        {"pal 4cif two checked", kPal, 4, 1, {0}, {7, 6, 6, 6}, 0x3, 0, 25, 6, 0x3},
        // A checked set moves only when the moved row is itself checked.
        {"unchecked row alone", kPal, 4, 1, {0}, {7, 6, 6, 6}, 0x6, 0, 3, 3, 0x1},
        {"below the limit", kPal, 4, 1, {0}, {7, 6, 6, 6}, 0, 1, 2, 2, 0x2},
        {"the only recording channel to 0", kNtsc, 4, 1, {0}, {5}, 0, 0, 0, 1, 0x1},
        {"zero allowed when others record", kNtsc, 4, 1, {0}, {5, 1}, 0, 0, 0, 0, 0x1},
        // NTSC, 8 channels, CIF, sub-product minor 0: channels 5-8 move together,
        // (120 - 4 * 10) / 4 = 20.
        {"grouped", kNtsc, 8, 0, {2}, {10, 10, 10, 10, 10, 10, 10, 10}, 0, 5, 30, 20, 0xF0},
        {"grouped ignores boxes",
         kNtsc,
         8,
         0,
         {2},
         {10, 10, 10, 10, 10, 10, 10, 10},
         0x3,
         5,
         30,
         20,
         0xF0},
        // The same on another sub-product: per channel, (120 - 70) / 1 capped at 30.
        {"not grouped on minor 1",
         kNtsc,
         8,
         1,
         {2},
         {10, 10, 10, 10, 10, 10, 10, 10},
         0,
         5,
         30,
         30,
         0x20},
        {"not grouped at 2cif", kNtsc, 8, 0, {1}, {5, 5, 5, 5, 5, 5, 5, 5}, 0, 5, 30, 25, 0x20},
        // Mixed resolutions: S = 5 * 4 + 10 * 2 + 10 * 1 = 50, channel 4 at CIF: 70, capped at 30.
        {"mixed costs", kNtsc, 4, 1, {0, 1, 2, 2}, {5, 10, 10, 0}, 0, 3, 30, 30, 0x8},
        // S = 5 * 1 + 10 * 2 + 10 * 1 = 35, channel 4 at 4CIF: (120 - 35) / 4 = 21.
        {"mixed costs at 4cif", kNtsc, 4, 1, {2, 1, 2, 0}, {5, 10, 10, 0}, 0, 3, 30, 21, 0x8},
        // Channels that already overrun the budget leave nothing.
        {"over budget", kNtsc, 4, 1, {0}, {30, 30, 30, 30}, 0, 0, 10, 0, 0x1},
        // A row beyond the recorder's channels changes nothing.
        {"hidden channel", kNtsc, 4, 1, {2}, {5}, 0, 4, 10, 0, 0x0},
    };
    for (const Case& c : cases) {
        ConfigRecord r = patterned();
        setProfile(r, RecProfile::A, c.pal, c.res, c.rates);
        const ConfigRecord before = r;
        const SetupContext ctx = contextOf(c.channels, 0, c.subMinor);
        const RateChange got = changeRate(r, ctx, RecProfile::A, c.channel, c.position, c.checked);
        EXPECT_EQ(got.rate, c.rate) << c.name;
        EXPECT_EQ(got.changed, c.changed) << c.name;
        for (unsigned ch = 0; ch < 16; ++ch) {
            const bool moved = (c.changed >> ch) & 1;
            EXPECT_EQ(r.value(configField("profile_a_rate"), ch),
                      moved ? c.rate : before.value(configField("profile_a_rate"), ch))
                << c.name << " channel " << ch;
        }
    }
}

TEST(RecBudget, RateZeroTurnsAudioOffAndAudioNeedsARate) {
    ConfigRecord r = patterned();
    setProfile(r, RecProfile::B, kNtsc, {2}, {10, 10, 10, 10});
    const SetupContext ctx = contextOf(4);
    for (unsigned ch = 0; ch < 4; ++ch)
        r.setValue(configField("profile_b_audio"), ch, 1);
    EXPECT_EQ(changeRate(r, ctx, RecProfile::B, 1, 0, 0x6).rate, 0u);
    EXPECT_EQ(r.value(configField("profile_b_audio"), 1), 0u);
    EXPECT_EQ(r.value(configField("profile_b_audio"), 2), 0u);
    EXPECT_EQ(r.value(configField("profile_b_audio"), 0), 1u);
    // On for the checked rows writes only those that record.
    EXPECT_EQ(setAudio(r, ctx, RecProfile::B, 0, true, 0x7), 0x1);
    EXPECT_EQ(r.value(configField("profile_b_audio"), 1), 0u);
    EXPECT_EQ(setAudio(r, ctx, RecProfile::B, 3, false, 0x7), 0x8); // its row is not checked
    EXPECT_EQ(r.value(configField("profile_b_audio"), 3), 0u);
    // The Audio view turns off the audio of every channel at rate 0.
    r.setValue(configField("profile_b_audio"), 2, 1);
    EXPECT_EQ(enterAudioView(r, ctx, RecProfile::B), 0x6);
    EXPECT_EQ(r.value(configField("profile_b_audio"), 2), 0u);
}

// What the page shows of the budget: the cost of the shown channels against it, and why a
// move stored less than the slider asked.
TEST(RecBudget, BudgetUseAndWhyARateWasCut) {
    ConfigRecord r = patterned();
    setProfile(r, RecProfile::A, kNtsc, {0}, {10, 10, 10, 10}); // 4CIF: 4 units an image
    const SetupContext ctx = contextOf(4);
    for (unsigned ch = 0; ch < 4; ++ch)
        r.setValue(configField("profile_a_audio"), ch, 1);
    BudgetUse use = profileBudgetUse(r, ctx, RecProfile::A);
    EXPECT_EQ(use.used, 160u);
    EXPECT_EQ(use.budget, 120u);
    EXPECT_TRUE(use.over());

    // The others use 120 of 120: channel 1 drops to 0, loses its audio, and the page says so.
    RateChange got = changeRate(r, ctx, RecProfile::A, 0, 12, 0);
    EXPECT_EQ(got.rate, 0u);
    EXPECT_EQ(got.requested, 12u);
    EXPECT_EQ(got.limit, RateLimit::Budget);
    EXPECT_EQ(got.othersUse, 120u);
    EXPECT_TRUE(got.audioCleared);
    std::string note = rateChangeNote(got, 0);
    EXPECT_NE(note.find("CH01 set to 0 instead of 12"), std::string::npos) << note;
    EXPECT_NE(note.find("120 of the 120"), std::string::npos) << note;
    EXPECT_NE(note.find("audio recording was turned off"), std::string::npos) << note;
    use = profileBudgetUse(r, ctx, RecProfile::A);
    EXPECT_EQ(use.used, 120u);
    EXPECT_FALSE(use.over());

    // Room for 5: asked 12, given 5; asked 3, given 3 and nothing to say.
    r.setValue(configField("profile_a_rate"), 1, 5);
    got = changeRate(r, ctx, RecProfile::A, 0, 12, 0);
    EXPECT_EQ(got.rate, 5u);
    EXPECT_EQ(got.limit, RateLimit::Budget);
    EXPECT_FALSE(got.audioCleared);
    got = changeRate(r, ctx, RecProfile::A, 0, 3, 0);
    EXPECT_EQ(got.limit, RateLimit::None);
    EXPECT_TRUE(rateChangeNote(got, 0).empty());
    // Above one channel's highest rate.
    setProfile(r, RecProfile::A, kNtsc, {2}, {1, 1, 1, 1});
    got = changeRate(r, ctx, RecProfile::A, 2, 40, 0);
    EXPECT_EQ(got.rate, 30u);
    EXPECT_EQ(got.limit, RateLimit::ChannelMax);
    // The last recording channel is kept at 1.
    setProfile(r, RecProfile::A, kNtsc, {2}, {0, 0, 0, 1});
    got = changeRate(r, ctx, RecProfile::A, 3, 0, 0);
    EXPECT_EQ(got.rate, 1u);
    EXPECT_EQ(got.limit, RateLimit::KeepOneImage);
    EXPECT_NE(rateChangeNote(got, 3).find("at least one image"), std::string::npos);
}

TEST(RecBudget, ResolutionChoiceSharesOutTheDefaultDistribution) {
    struct Case {
        bool pal;
        unsigned code;
        unsigned channels;
        std::vector<unsigned> rates;
    };
    std::vector<unsigned> ntsc4cif16(16, 2), ntscCif16(16, 7);
    ntsc4cif16[14] = ntsc4cif16[15] = 1;
    std::fill_n(ntscCif16.begin(), 8, 8);
    const Case cases[] = {
        {kPal, kRes2Cif, 4, {13, 13, 12, 12}}, {kNtsc, kRes4Cif, 16, ntsc4cif16},
        {kNtsc, kResCif, 16, ntscCif16},       {kPal, kRes4Cif, 8, {4, 3, 3, 3, 3, 3, 3, 3}},
        {kNtsc, kResCif, 4, {30, 30, 30, 30}},
    };
    for (const Case& c : cases) {
        ConfigRecord r = patterned();
        setProfile(r, RecProfile::D, c.pal, {0}, {1});
        const ConfigRecord before = r;
        ASSERT_TRUE(chooseResolution(r, contextOf(c.channels), RecProfile::D, c.code));
        EXPECT_EQ(ratesOf(r, RecProfile::D, c.channels), c.rates) << c.code << "/" << c.channels;
        for (unsigned ch = 0; ch < c.channels; ++ch)
            EXPECT_EQ(profileResolution(r, RecProfile::D, ch), c.code);
        std::set<std::size_t> owned = bytesOf(configField("profile_d_rate"), 0, c.channels);
        owned.merge(bytesOf(configField("resolution"), 48, c.channels));
        EXPECT_TRUE(changedOutside(before, r, owned).empty());
    }
    // Twelve channels: the resolution row only.
    ConfigRecord r = patterned();
    setProfile(r, RecProfile::A, kNtsc, {0}, {3, 4, 5});
    ASSERT_TRUE(chooseResolution(r, contextOf(12), RecProfile::A, kRes2Cif));
    EXPECT_EQ(ratesOf(r, RecProfile::A, 3), (std::vector<unsigned>{3, 4, 5}));
    EXPECT_EQ(profileResolution(r, RecProfile::A, 11), kRes2Cif);
    EXPECT_EQ(profileResolution(r, RecProfile::A, 12), 0u); // beyond the channels: as it was
    EXPECT_FALSE(chooseResolution(r, contextOf(12), RecProfile::A, 3));
}

TEST(RecBudget, PageCOfSubProductFourCountsTheLargerOfCAndE) {
    ConfigRecord r = patterned();
    setProfile(r, RecProfile::C, kNtsc, {0}, {5, 5, 2, 2});
    setProfile(r, RecProfile::E, kNtsc, {2}, {1, 1, 6, 6});
    for (unsigned ch = 0; ch < 4; ++ch)
        r.setValue(configField("profile_c_audio"), ch, 1);
    const SetupContext ctx = contextOf(4, 4);
    ASSERT_TRUE(combinedMotionRates(ctx, RecProfile::C));
    // Channel 1 in C: S = (5 + 6 + 6) * 4 = 68, (120 - 68) / 4 = 13.
    EXPECT_EQ(changeRate(r, ctx, RecProfile::C, 0, 30, 0).rate, 13u);
    // With E shown the E rate is written at C's cost, and C's audio goes with a rate of 0.
    // E shown, channel 3: S = (13 + 5 + 6) * 4 = 96 at C's cost, (120 - 96) / 4 = 6 into E.
    EXPECT_EQ(changeRate(r, ctx, RecProfile::C, 2, 30, 0, true).rate, 6u);
    EXPECT_EQ(r.value(configField("profile_e_rate"), 2), 6u);
    EXPECT_EQ(r.value(configField("profile_c_rate"), 2), 2u);
    changeRate(r, ctx, RecProfile::C, 1, 0, 0, true);
    EXPECT_EQ(r.value(configField("profile_e_rate"), 1), 0u);
    EXPECT_EQ(r.value(configField("profile_c_audio"), 1), 0u);
    EXPECT_FALSE(combinedMotionRates(contextOf(4, 3), RecProfile::C));
}

TEST(RecBudget, SensitivitySliderAndLevels) {
    const unsigned position[] = {3, 2, 1};  // stored 0, 1, 2
    const unsigned stored[] = {2, 1, 0, 0}; // positions 0, 1, 2 and the top
    for (unsigned s = 0; s < 3; ++s)
        EXPECT_EQ(sensitivityPosition(s), position[s]);
    for (unsigned p = 0; p < 4; ++p)
        EXPECT_EQ(sensitivityFromPosition(p), stored[p]);
    ConfigRecord r = patterned();
    setProfile(r, RecProfile::E, kNtsc, {2}, {5});
    // Grouped mode (8 channels, CIF, minor 0) still takes the boxes for sensitivity.
    EXPECT_EQ(setSensitivity(r, contextOf(8, 0, 0), RecProfile::E, 1, 0, 0x3), 0x3);
    EXPECT_EQ(r.value(configField("profile_e_sensitivity"), 0), 2u);
    EXPECT_EQ(r.value(configField("profile_e_sensitivity"), 2), 0x5Au);
    EXPECT_EQ(setSensitivity(r, contextOf(8), RecProfile::A, 1, 0, 0), 0); // A has none
}

TEST(RecBudget, ProfileFOnOffDaysAndTheCifGroups) {
    const unsigned days[][2] = {{3, 5}, {89, 85}, {90, 90}, {0, 5}, {47, 45}, {255, 90}};
    for (const auto& d : days)
        EXPECT_EQ(blockFDaysFromPosition(d[0]), d[1]) << d[0];

    ConfigRecord r = patterned();
    const SetupContext ctx = contextOf(8, 0, 0);
    for (unsigned ch = 0; ch < 16; ++ch) {
        r.setValue(configField("block_f_on_1"), ch, ch == 5 ? 1 : 0);
        r.setValue(configField("block_f_on_2"), ch, 1);
    }
    // CIF on a minor-0 recorder turns on the whole group of an "on" channel.
    ASSERT_TRUE(chooseResolution(r, ctx, RecProfile::F, kResCif));
    for (unsigned ch = 0; ch < 8; ++ch)
        EXPECT_EQ(r.value(configField("block_f_on_1"), ch), ch >= 4 ? 1u : 0u) << ch;
    // The second view: off and disabled where the first is off.
    EXPECT_EQ(enterBlockFSecondView(r, ctx), 0x0F);
    EXPECT_EQ(r.value(configField("block_f_on_2"), 0), 0u);
    EXPECT_EQ(r.value(configField("block_f_on_2"), 8), 1u); // beyond the channels
    // Grouped (CIF now): a click in channel 2 writes its group; the second on/off stays off
    // where the first is off.
    EXPECT_EQ(setBlockF(r, ctx, 1, 1, true, 0), 0x0F);
    EXPECT_EQ(setBlockF(r, ctx, 2, 6, false, 0), 0xF0);
    r.setValue(configField("block_f_on_1"), 5, 0);
    EXPECT_EQ(setBlockF(r, ctx, 2, 6, true, 0), 0xD0);
    EXPECT_EQ(setBlockFDays(r, 89), 85u);
    EXPECT_EQ(r.value(configField("block_f_days")), 85u);
}

TEST(RecordingPage, RowsRatesAndLists) {
    EXPECT_EQ(recordingRows({4, 2}).size(), 8u);
    EXPECT_EQ(recordingRows({4, 3}),
              (std::vector<RecordingRow>{RecordingRow::Flag2, RecordingRow::Time2,
                                         RecordingRow::Choice1, RecordingRow::Channel}));
    EXPECT_FALSE(regionButtonShown(contextOf(4, 2)));
    EXPECT_TRUE(regionButtonShown(contextOf(4, 3)));
    struct Case {
        unsigned budget, channels, code, rate, max;
    };
    const Case cases[] = {
        {100, 4, kRes4Cif, 6, 6},  {100, 4, kRes2Cif, 12, 12}, {100, 4, kResCif, 25, 25},
        {120, 16, kRes4Cif, 1, 1}, {120, 16, kRes2Cif, 3, 3},  {120, 16, kResCif, 7, 7},
        {120, 8, kResCif, 15, 15}, {120, 12, kResCif, 7, 30},  {120, 6, kRes2Cif, 7, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recordingRateFor(c.budget, c.code, c.channels), c.rate) << c.channels;
        EXPECT_EQ(recordingRateMax(c.budget, c.code, c.channels), c.max) << c.channels;
    }

    ConfigRecord r = patterned();
    r.setValue(configField("video_standard"), 0, 1);
    r.setValue(configField("rec_resolution"), 0, kResCif);
    r.setValue(configField("rec_rate"), 0, 9);
    const ConfigRecord before = r;
    const SetupContext ctx = contextOf(4);
    EXPECT_TRUE(chooseRecordingResolution(r, ctx, kResCif)); // the same: rate kept
    EXPECT_EQ(r.value(configField("rec_rate")), 9u);
    EXPECT_TRUE(chooseRecordingResolution(r, ctx, kRes2Cif));
    EXPECT_EQ(r.value(configField("rec_rate")), 12u);
    EXPECT_FALSE(chooseRecordingRate(r, ctx, 13));
    EXPECT_TRUE(chooseRecordingRate(r, ctx, 0));
    EXPECT_TRUE(chooseRecordingTime1(r, 4));
    EXPECT_EQ(r.value(configField("rec_time_1")), 20u);
    EXPECT_FALSE(chooseRecordingTime1(r, 5));
    EXPECT_FALSE(setRecordingTime2(r, 9));
    EXPECT_FALSE(setRecordingTime2(r, 241));
    EXPECT_TRUE(setRecordingTime2(r, 240));
    EXPECT_EQ(r.value(configField("rec_time_2")), 240u);
    EXPECT_TRUE(setRecordingFlag(r, 1, true));
    EXPECT_TRUE(setRecordingFlag(r, 2, false));
    EXPECT_TRUE(chooseRecordingChoice1(r, 2));
    EXPECT_FALSE(chooseRecordingChoice1(r, 3));
    EXPECT_TRUE(chooseRecordingChannel(r, ctx, 3));
    EXPECT_FALSE(chooseRecordingChannel(r, ctx, 4));
    EXPECT_EQ(recordingChannelLabel(0), "CH01");
    EXPECT_EQ(recordingChannelLabel(15), "CH16");
    std::set<std::size_t> owned{644, 645, 646, 647, 648, 649, 650, 651, 652, 4517};
    EXPECT_TRUE(changedOutside(before, r, owned).empty());
}

TEST(RecordingPage, RegionInUnitsOfFourPixels) {
    EXPECT_EQ(regionFromPixels(40, 100, 8, 20), (RegionRect{2, 10, 5, 25}));
    EXPECT_EQ(regionFromPixels(-5, -5, 500, 500), (RegionRect{0, 44, 0, 30}));
    ConfigRecord r = patterned();
    const ConfigRecord before = r;
    ASSERT_TRUE(writeRegion(r, contextOf(4), 3, {1, 2, 3, 4}));
    EXPECT_FALSE(writeRegion(r, contextOf(4), 4, {1, 2, 3, 4}));
    EXPECT_EQ(readRegion(r, 3), (RegionRect{1, 2, 3, 4}));
    EXPECT_EQ(regionText({1, 2, 3, 4}), "LEFT: 1    RIGHT: 2    TOP: 3    BOTTOM: 4");
    EXPECT_EQ(changedOutside(before, r, {4523, 4539, 4555, 4571}).size(), 0u);
}

TEST(RecPages, VideoStandardChangeResetsResolutionsAndRates) {
    ConfigRecord r = patterned();
    r.setValue(configField("video_standard"), 0, 0);
    r.setValue(configField("rec_resolution"), 0, kRes2Cif);
    const ConfigRecord before = r;
    const SetupContext ctx = contextOf(4);
    // Another NTSC code is no change of the standard.
    ASSERT_TRUE(changeVideoStandard(r, ctx, 0));
    EXPECT_EQ(r, before);
    ASSERT_TRUE(changeVideoStandard(r, ctx, 1));
    for (RecProfile p : {RecProfile::A, RecProfile::B, RecProfile::C, RecProfile::D, RecProfile::E})
        EXPECT_EQ(ratesOf(r, p, 4), (std::vector<unsigned>{7, 6, 6, 6}));
    for (unsigned row = 0; row < 6; ++row) {
        EXPECT_EQ(r.value(configField("resolution"), 16 * row + 3), kRes4Cif);
        EXPECT_EQ(r.value(configField("resolution"), 16 * row + 4), 0x5Au);
    }
    EXPECT_EQ(r.value(configField("rec_rate")), 12u); // PAL 2CIF, 4 channels
    // Twelve channels: the rates become 0.
    ASSERT_TRUE(changeVideoStandard(r, contextOf(12), 0));
    EXPECT_EQ(ratesOf(r, RecProfile::A, 12), std::vector<unsigned>(12, 0));
    EXPECT_EQ(r.value(configField("profile_a_rate"), 12), 0x5Au);
}

TEST(RecGrids, RubberBandCellsAndTheMotionArea) {
    const auto band = cellsTouched(40, 80, 0, 10, 36, 36, 10, 8);
    ASSERT_TRUE(band);
    EXPECT_EQ(band->column0, 0u);
    EXPECT_EQ(band->column1, 1u);
    EXPECT_EQ(band->row0, 0u);
    EXPECT_EQ(band->row1, 2u);
    const auto clipped = cellsTouched(300, 250, 900, 900, 36, 36, 10, 8);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->column1, 9u);
    EXPECT_EQ(clipped->row1, 7u);
    EXPECT_FALSE(cellsTouched(400, 0, 500, 10, 36, 36, 10, 8));

    ConfigRecord r = patterned();
    const ConfigRecord before = r;
    const SetupContext ctx = contextOf(4);
    ASSERT_TRUE(fillMotionArea(r, ctx, 2, false));
    ASSERT_TRUE(toggleMotionCell(r, ctx, 2, 7, 9));
    EXPECT_TRUE(motionCell(r, 2, 7, 9));
    EXPECT_EQ(r.bytes()[768 + 99 * 2 + 11 * 7 + 9], std::byte{1});
    ASSERT_TRUE(paintMotionCells(r, ctx, 2, *clipped));
    EXPECT_FALSE(toggleMotionCell(r, ctx, 4, 0, 0));
    EXPECT_FALSE(toggleMotionCell(r, ctx, 0, 8, 0));
    // Only the 80 cells of channel 3 changed: never its row 8 or column 10.
    std::set<std::size_t> cells;
    for (unsigned row = 0; row < 8; ++row)
        for (unsigned col = 0; col < 10; ++col)
            cells.insert(768 + 99 * 2 + 11 * row + col);
    EXPECT_TRUE(changedOutside(before, r, cells).empty());
}

TEST(RecGrids, ScheduleOrdinaryAndByProfile) {
    ConfigRecord r = patterned();
    const ConfigRecord before = r;
    const SetupContext plain = contextOf(4);
    clampScheduleCells(r, plain); // 0x5A is above 1
    EXPECT_EQ(scheduleCell(r, 6, 23), 1u);
    ASSERT_TRUE(clickScheduleCell(r, plain, 6, 23));
    EXPECT_EQ(r.bytes()[2384 + 24 * 6 + 23], std::byte{0});
    ASSERT_TRUE(clickScheduleCell(r, plain, 6, 23));
    EXPECT_EQ(scheduleCell(r, 6, 23), 1u);
    ASSERT_TRUE(fillSchedule(r, plain, 0));
    ASSERT_TRUE(paintScheduleCells(r, plain, {1, 2, 8, 9}, 1));
    EXPECT_EQ(scheduleCell(r, 2, 9), 1u);
    EXPECT_EQ(scheduleCell(r, 3, 9), 0u);
    EXPECT_FALSE(paintScheduleCells(r, plain, {0, 0, 0, 0}, 2));
    EXPECT_TRUE(changedOutside(before, r, bytesOf(configField("schedule"), 0, 168)).empty());

    const SetupContext byProfile = contextOf(4, 4);
    ASSERT_TRUE(profileSchedule(byProfile));
    r.setValue(configField("schedule"), 5, 9);
    clampScheduleCells(r, byProfile);
    EXPECT_EQ(scheduleCell(r, 0, 5), 3u);
    const unsigned next[] = {1, 2, 3, 0};
    for (unsigned v = 0; v < 4; ++v) {
        r.setValue(configField("schedule"), 0, v);
        clickScheduleCell(r, byProfile, 0, 0);
        EXPECT_EQ(scheduleCell(r, 0, 0), next[v]);
    }
    ASSERT_TRUE(paintScheduleCells(r, byProfile, {0, 6, 0, 0}, 2));
    EXPECT_EQ(scheduleCell(r, 6, 0), 2u);
    EXPECT_EQ(scheduleValueName(byProfile, 3), "Motion+Normal");
    EXPECT_EQ(scheduleValueName(contextOf(4, 3), 3), "Alarm+Motion");
}

TEST(LinkPage, SourcesFlagsAndValues) {
    const unsigned long typed[][2] = {{0, 1}, {1, 1}, {999, 999}, {1000, 1}, {70000, 1}, {42, 42}};
    for (const auto& t : typed)
        EXPECT_EQ(linkValueFromInput(t[0]), t[1]) << t[0];
    EXPECT_FALSE(linkPageOffered({4, 0}));
    EXPECT_TRUE(linkPageOffered({4, 1}));

    ConfigRecord r = patterned();
    const ConfigRecord before = r;
    const SetupContext ctx = contextOf(8);
    ASSERT_TRUE(chooseLinkSource(r, ctx, 7, 0, 3));
    EXPECT_FALSE(chooseLinkSource(r, ctx, 7, 1, 3)); // held by link 1 already
    EXPECT_EQ(r.value(configField("link_source"), 29), 0x5Au);
    ASSERT_TRUE(chooseLinkSource(r, ctx, 7, 1, 0));
    ASSERT_TRUE(chooseLinkSource(r, ctx, 7, 2, 0)); // none may repeat
    ASSERT_TRUE(setLinkFlag(r, ctx, 7, 3, true));
    ASSERT_TRUE(setLinkValue(r, ctx, 7, 3, 1000));
    EXPECT_EQ(r.bytes()[6400 + 8 * 7 + 6], std::byte{0});
    EXPECT_EQ(r.bytes()[6400 + 8 * 7 + 7], std::byte{1});
    EXPECT_FALSE(setLinkValue(r, ctx, 8, 0, 5));
    const auto links = readLinks(r, 7);
    EXPECT_EQ(links[0].source, 3u);
    EXPECT_EQ(links[3].flag, 1u);
    EXPECT_EQ(linkSourceLabel(3), "Sensor 3");
    std::set<std::size_t> owned = bytesOf(configField("link_source"), 28, 4);
    owned.merge(bytesOf(configField("link_flag"), 28, 4));
    owned.merge(bytesOf(configField("link_value"), 28, 4));
    EXPECT_TRUE(changedOutside(before, r, owned).empty());
}

TEST(AssignmentPage, EachProfileInOneRowAtMost) {
    EXPECT_EQ(assignmentChoices(0), (std::vector<unsigned>{0, 1, 2, 3, 5, 6}));
    EXPECT_EQ(assignmentChoices(4), (std::vector<unsigned>{0, 1, 2, 3, 6}));
    ConfigRecord r = patterned();
    for (unsigned row = 0; row < 5; ++row)
        r.setValue(configField("output_assign"), row, row == 4 ? 4 : row);
    const ConfigRecord before = r;
    EXPECT_FALSE(chooseAssignment(r, 1, 5)); // F only in the first row
    EXPECT_FALSE(chooseAssignment(r, 0, 4)); // E is never offered
    ASSERT_TRUE(chooseAssignment(r, 3, 1));
    EXPECT_EQ(readAssignment(r), (std::array<unsigned, 5>{0, 6, 2, 1, 4}));
    ASSERT_TRUE(chooseAssignment(r, 0, 6));
    ASSERT_TRUE(chooseAssignment(r, 2, 6));
    EXPECT_EQ(readAssignment(r), (std::array<unsigned, 5>{6, 6, 6, 1, 4}));
    EXPECT_TRUE(changedOutside(before, r, bytesOf(configField("output_assign"), 0, 5)).empty());
    EXPECT_EQ(recProfileName(contextOf(4, 3), 0), "Normal");
    EXPECT_EQ(recProfileName(contextOf(4), 5), "Archive");
    EXPECT_EQ(recProfileName(contextOf(4), 6), "None");
}

// Every rate, audio and sensitivity write of the profile pages stays in its own profile's rows
// and within the recorder's channels.
TEST(RecPages, ProfileWritesStayInTheirRows) {
    struct Case {
        RecProfile page;
        const char* rate;
        const char* audio;
        const char* sensitivity;
    };
    const Case cases[] = {
        {RecProfile::A, "profile_a_rate", "profile_a_audio", nullptr},
        {RecProfile::B, "profile_b_rate", "profile_b_audio", nullptr},
        {RecProfile::C, "profile_c_rate", "profile_c_audio", "profile_c_sensitivity"},
        {RecProfile::D, "profile_d_rate", "profile_d_audio", nullptr},
        {RecProfile::E, "profile_e_rate", "profile_e_audio", "profile_e_sensitivity"}};
    for (const Case& c : cases) {
        ConfigRecord r = patterned();
        setProfile(r, c.page, kNtsc, {2}, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2});
        const ConfigRecord before = r;
        const SetupContext ctx = contextOf(8);
        changeRate(r, ctx, c.page, 7, 0, 0xFFFF);
        changeRate(r, ctx, c.page, 2, 9, 0);
        setAudio(r, ctx, c.page, 2, true, 0);
        enterAudioView(r, ctx, c.page);
        setSensitivity(r, ctx, c.page, 2, 1, 0xFFFF);
        std::set<std::size_t> owned = bytesOf(*findConfigField(c.rate), 0, 8);
        owned.merge(bytesOf(*findConfigField(c.audio), 0, 8));
        if (c.sensitivity)
            owned.merge(bytesOf(*findConfigField(c.sensitivity), 0, 8));
        EXPECT_TRUE(changedOutside(before, r, owned).empty()) << c.rate;
        EXPECT_EQ(r.value(*findConfigField(c.rate), 2), 9u) << c.rate;
    }
}

} // namespace
} // namespace kalder
