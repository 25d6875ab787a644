// The configuration record's layout and the factory record, checked against the record's
// documented layout typed here by hand: the field table the pages and the simulator share is
// not trusted to check itself.
#include "sim/config_store.h"
#include "sim/sim_config.h"
#include "wire/config_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {
namespace {

struct DocumentedField {
    std::string_view name;
    std::uint16_t offset;
    std::uint16_t width; // bytes of one element
    std::uint16_t count; // elements
    FieldClass kind;
};

using C = FieldClass;

// Every field of the record, from the record's layout tables. The reserved multi-byte fields
// have no name of their own there ("reserved u32, converted, never edited"); they are named
// "reserved_<offset>" so that the byte-order conversion and the accessors can reach them.
constexpr DocumentedField kDocumented[] = {
    // 0 .. 639: general and camera picture.
    {"record_major_ver", 0, 1, 1, C::Byte},
    {"record_minor_ver", 1, 1, 1, C::Byte},
    {"video_standard", 2, 1, 1, C::Byte},
    {"basic_option_3", 3, 1, 1, C::Byte},
    {"dvr_time", 4, 4, 1, C::Be32},
    {"hue", 8, 1, 16, C::Byte},
    {"saturation", 24, 1, 16, C::Byte},
    {"contrast", 40, 1, 16, C::Byte},
    {"brightness", 56, 1, 16, C::Byte},
    {"covert", 72, 1, 16, C::Byte},
    {"camera_title", 88, 32, 16, C::Text},
    {"spot_mode", 600, 1, 1, C::Byte},
    {"spot_dwell", 604, 1, 16, C::Byte},
    {"spot_enable", 620, 1, 16, C::Byte},
    {"osd_choice_1", 636, 1, 1, C::Byte},
    {"osd_flag_1", 637, 1, 1, C::Byte},
    {"osd_flag_2", 638, 1, 1, C::Byte},
    {"osd_choice_2", 639, 1, 1, C::Byte},
    // 644 .. 2661: recording and basic options.
    {"rec_resolution", 644, 1, 1, C::Byte},
    {"rec_flag_1", 645, 1, 1, C::Byte},
    {"rec_flag_2", 646, 1, 1, C::Byte},
    {"rec_rate", 647, 1, 1, C::Byte},
    {"rec_time_1", 648, 2, 1, C::Be16},
    {"rec_time_2", 650, 2, 1, C::Be16},
    {"rec_choice_1", 652, 1, 1, C::Byte},
    {"profile_a_rate", 656, 1, 16, C::Byte},
    {"profile_a_audio", 672, 1, 16, C::Byte},
    {"profile_b_rate", 688, 1, 16, C::Byte},
    {"profile_b_audio", 704, 1, 16, C::Byte},
    {"profile_c_rate", 720, 1, 16, C::Byte},
    {"profile_c_audio", 736, 1, 16, C::Byte},
    {"profile_c_sensitivity", 752, 1, 16, C::Byte},
    {"motion_area", 768, 1, 1584, C::Byte}, // 16 x 9 x 11
    {"profile_d_rate", 2352, 1, 16, C::Byte},
    {"profile_d_audio", 2368, 1, 16, C::Byte},
    {"schedule", 2384, 1, 168, C::Byte}, // 7 x 24
    {"profile_e_rate", 2552, 1, 16, C::Byte},
    {"profile_e_audio", 2568, 1, 16, C::Byte},
    {"profile_e_sensitivity", 2584, 1, 16, C::Byte},
    {"block_f_on_1", 2616, 1, 16, C::Byte},
    {"block_f_on_2", 2632, 1, 16, C::Byte},
    {"block_f_days", 2648, 1, 1, C::Byte},
    {"output_assign", 2652, 1, 5, C::Byte},
    {"language", 2660, 1, 1, C::Byte},
    {"date_format", 2661, 1, 1, C::Byte},
    // 3088 .. 4599: sensors, PTZ, time, e-mail, event actions and resolutions.
    {"sensor_type", 3088, 1, 16, C::Byte},
    {"auto_delete_days", 3104, 1, 1, C::Byte},
    {"ptz_id", 3108, 1, 16, C::Byte},
    {"ptz_protocol", 3124, 1, 16, C::Byte},
    {"ptz_baud", 3140, 1, 16, C::Byte},
    {"keyboard_id", 3156, 1, 1, C::Byte},
    {"keyboard_protocol", 3172, 1, 1, C::Byte},
    {"keyboard_baud", 3188, 1, 1, C::Byte},
    {"dst", 3204, 1, 17, C::Byte}, // 3204 .. 3220
    {"reserved_3504", 3504, 4, 1, C::Be32},
    {"reserved_3508", 3508, 4, 1, C::Be32},
    {"mail_text_1", 3512, 128, 1, C::Text},
    {"mail_text_2", 3640, 128, 1, C::Text},
    {"mail_text_3", 3768, 128, 1, C::Text},
    {"mail_text_4", 3896, 128, 1, C::Text},
    {"mail_choice", 4024, 1, 1, C::Byte},
    {"notify_a", 4028, 1, 4, C::Byte},
    {"notify_b", 4032, 1, 4, C::Byte},
    {"notify_c", 4036, 1, 4, C::Byte},
    {"resolution", 4044, 1, 96, C::Byte}, // 6 profiles x 16 channels
    {"time_zone", 4140, 1, 1, C::Byte},
    {"ntp_enable", 4141, 1, 1, C::Byte},
    {"ntp_server_choice", 4144, 1, 1, C::Byte},
    {"ntp_server_default", 4148, 32, 1, C::Text},
    {"ntp_address", 4180, 1, 4, C::Byte},
    {"ntp_server", 4184, 32, 1, C::Text},
    {"reserved_4216", 4216, 2, 1, C::Be16},
    {"reserved_4218", 4218, 2, 1, C::Be16},
    {"pan_low", 4320, 2, 16, C::Be16},
    {"pan_high", 4352, 2, 16, C::Be16},
    {"tilt_low", 4384, 2, 16, C::Be16},
    {"tilt_high", 4416, 2, 16, C::Be16},
    {"reserved_4448", 4448, 4, 1, C::Be32},
    {"reserved_4452", 4452, 4, 1, C::Be32},
    {"reserved_4456", 4456, 4, 1, C::Be32},
    {"notify_b_time", 4460, 4, 1, C::Be32},
    {"notify_c_time", 4464, 4, 1, C::Be32},
    {"rec_channel", 4517, 1, 1, C::Byte},
    {"etc_choice_1", 4518, 1, 1, C::Byte},
    {"etc_choice_2", 4519, 1, 1, C::Byte},
    {"area_left", 4520, 1, 16, C::Byte},
    {"area_right", 4536, 1, 16, C::Byte},
    {"area_top", 4552, 1, 16, C::Byte},
    {"area_bottom", 4568, 1, 16, C::Byte},
    {"deinterlace", 4584, 1, 16, C::Byte},
    {"reserved_4600", 4600, 2, 512, C::Be16},
    // 5624 .. 6207: accounts, laid out as the recorder's RIGHT_CHANGE payload.
    {"right", 5624, 1, 64, C::Byte}, // 8 permissions x 8 accounts
    {"account_level", 5688, 1, 8, C::Byte},
    {"account_name", 5696, 32, 8, C::Text},
    {"account_password", 5952, 32, 8, C::Text},
    // 6272 .. 6775: further fields.
    {"link_source", 6272, 1, 64, C::Byte}, // 16 channels x 4 links
    {"link_flag", 6336, 1, 64, C::Byte},
    {"link_value", 6400, 2, 64, C::Be16},
    {"smart_flag_1", 6528, 1, 1, C::Byte},
    {"smart_value", 6529, 1, 1, C::Byte},
    {"smart_flag_2", 6530, 1, 1, C::Byte},
    {"notify_a_5", 6531, 1, 1, C::Byte},
    {"notify_b_5", 6532, 1, 1, C::Byte},
    {"notify_c_5", 6533, 1, 1, C::Byte},
    {"osd_choice_3", 6536, 1, 1, C::Byte},
    {"osd_choice_4", 6537, 1, 1, C::Byte},
    {"osd_choice_5", 6538, 1, 1, C::Byte},
    {"archive_pass", 6540, 32, 1, C::Text},
    {"account_logout_1", 6596, 1, 8, C::Byte},
    {"account_logout_2", 6604, 1, 8, C::Byte},
    {"live_channel", 6616, 1, 128, C::Byte}, // 8 accounts x 16 channels
    {"mail_times", 6744, 1, 13, C::Byte},
    {"notify_a_channel", 6760, 1, 16, C::Byte},
};

// The multi-byte stretches the conversion to host order swaps, in its order.
constexpr ByteOrderRun kDocumentedRuns[] = {
    {4, 4, 1},     {648, 2, 2},  {3504, 4, 2},   {4216, 2, 2},
    {4320, 2, 64}, {4448, 4, 5}, {4600, 2, 512}, {6400, 2, 64},
};

TEST(ConfigLayoutGolden, EveryFieldHasItsDocumentedOffsetWidthCountAndKind) {
    for (const DocumentedField& d : kDocumented) {
        SCOPED_TRACE(std::string(d.name));
        const ConfigField* f = findConfigField(d.name);
        ASSERT_NE(f, nullptr) << "missing from the field table";
        EXPECT_EQ(f->offset, d.offset);
        EXPECT_EQ(f->width, d.width);
        EXPECT_EQ(f->count, d.count);
        EXPECT_EQ(f->kind, d.kind);
    }
    // Nothing the layout does not have: every byte outside it is reserved and carried back.
    std::set<std::string_view> documented;
    for (const DocumentedField& d : kDocumented)
        documented.insert(d.name);
    for (const ConfigField& f : configFields())
        EXPECT_TRUE(documented.contains(f.name)) << f.name << " is not in the record's layout";
    EXPECT_EQ(configFields().size(), std::size(kDocumented));
}

TEST(ConfigLayoutGolden, ByteOrderRunsAreTheDocumentedOnesInTheirOrder) {
    const auto runs = configByteOrderRuns();
    ASSERT_EQ(runs.size(), std::size(kDocumentedRuns));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        EXPECT_EQ(runs[i].offset, kDocumentedRuns[i].offset);
        EXPECT_EQ(runs[i].width, kDocumentedRuns[i].width);
        EXPECT_EQ(runs[i].count, kDocumentedRuns[i].count);
    }
}

// ---- The factory record, read at the documented offsets (never through the field table) ----

std::uint32_t crc32Bitwise(std::span<const std::byte> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::byte b : bytes) {
        crc ^= std::to_integer<std::uint32_t>(b);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

class FactoryRecord : public ::testing::Test {
protected:
    void SetUp() override { m_record = sim::buildFactoryRecord(m_config, {4, 8}, 8176); }

    unsigned byte(std::size_t offset) const {
        return std::to_integer<unsigned>(m_record.at(offset));
    }
    unsigned be16(std::size_t offset) const { return byte(offset) << 8 | byte(offset + 1); }
    std::string text(std::size_t offset, std::size_t size) const {
        std::string s;
        for (std::size_t i = 0; i < size && byte(offset + i) != 0; ++i)
            s += static_cast<char>(byte(offset + i));
        return s;
    }
    // Every element of a byte array lies in low .. high.
    void expectBytesWithin(const char* name, std::size_t offset, std::size_t count, unsigned low,
                           unsigned high) const {
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_TRUE(byte(offset + i) >= low && byte(offset + i) <= high)
                << name << "[" << i << "] = " << byte(offset + i);
    }

    sim::SimConfig m_config = sim::defaultConfig();
    std::vector<std::byte> m_record;
};

TEST_F(FactoryRecord, HasTheRequestedLengthAndTravelsBehindItsCrc) {
    for (const std::size_t length : {std::size_t{6776}, std::size_t{8176}, std::size_t{9000}}) {
        SCOPED_TRACE(length);
        const std::vector<std::byte> record = sim::buildFactoryRecord(m_config, {5, 0}, length);
        ASSERT_EQ(record.size(), length);
        const std::vector<std::byte> payload = ConfigRecord::fromRecordBytes(record).seal();
        ASSERT_EQ(payload.size(), length + 4);
        const std::uint32_t sent = std::to_integer<std::uint32_t>(payload[0]) << 24 |
                                   std::to_integer<std::uint32_t>(payload[1]) << 16 |
                                   std::to_integer<std::uint32_t>(payload[2]) << 8 |
                                   std::to_integer<std::uint32_t>(payload[3]);
        EXPECT_EQ(sent, crc32Bitwise(std::span(payload).subspan(4)));
        EXPECT_TRUE(std::equal(record.begin(), record.end(), payload.begin() + 4));
    }
}

TEST_F(FactoryRecord, CarriesTheRecorderSettingsAtTheirOffsets) {
    EXPECT_EQ(byte(0), 4u); // record_major_ver
    EXPECT_EQ(byte(1), 8u); // record_minor_ver
    EXPECT_EQ(byte(2), 0u); // video_standard: NTSC
    for (std::size_t ch = 0; ch < 16; ++ch) {
        EXPECT_EQ(text(88 + 32 * ch, 32), m_config.channels[ch].title) << "camera_title " << ch;
        EXPECT_EQ(byte(72 + ch), m_config.channels[ch].covert ? 1u : 0u) << "covert " << ch;
    }
    // The account block: permission k of account a at 5624 + 8 k + a.
    for (std::size_t a = 0; a < 8; ++a) {
        const sim::AccountSettings& account = m_config.accounts[a];
        SCOPED_TRACE("account " + std::to_string(a));
        for (std::size_t k = 0; k < 8; ++k)
            EXPECT_EQ(byte(5624 + 8 * k + a), account.rights[k] ? 1u : 0u) << "right " << k;
        EXPECT_EQ(byte(5688 + a), account.level);
        EXPECT_EQ(text(5696 + 32 * a, 32), account.name);
        EXPECT_EQ(text(5952 + 32 * a, 32), account.password);
        for (std::size_t ch = 0; ch < 16; ++ch)
            EXPECT_EQ(byte(6616 + 16 * a + ch), (account.liveViewMask >> ch) & 1u);
    }
    EXPECT_EQ(text(6540, 32), m_config.archivePassword);

    const sim::SimConfig pal = [] {
        sim::SimConfig c = sim::defaultConfig();
        c.pal = true;
        return c;
    }();
    EXPECT_NE(std::to_integer<unsigned>(sim::buildFactoryRecord(pal, {5, 0}, 8176).at(2)), 0u);
}

TEST_F(FactoryRecord, EveryValueLiesInItsDocumentedRange) {
    expectBytesWithin("hue .. brightness", 8, 64, 0, 100);
    expectBytesWithin("covert", 72, 16, 0, 1);
    for (std::size_t ch = 0; ch < 16; ++ch)
        EXPECT_LE(text(88 + 32 * ch, 32).size(), 30u) << "camera_title " << ch;
    expectBytesWithin("spot_mode", 600, 1, 0, 6);
    for (std::size_t ch = 0; ch < 16; ++ch)
        EXPECT_TRUE(byte(604 + ch) <= 240 && byte(604 + ch) % 5 == 0) << "spot_dwell " << ch;
    expectBytesWithin("spot_enable", 620, 16, 0, 1);
    expectBytesWithin("osd_choice_1", 636, 1, 0, 3);
    expectBytesWithin("osd_flag_1, osd_flag_2", 637, 2, 0, 1);
    expectBytesWithin("osd_choice_2", 639, 1, 0, 6);
    expectBytesWithin("rec_resolution", 644, 1, 0, 2);
    expectBytesWithin("rec_flag_1, rec_flag_2", 645, 2, 0, 1);
    const unsigned recTime1 = be16(648);
    EXPECT_TRUE(recTime1 % 5 == 0 && recTime1 <= 20) << "rec_time_1 " << recTime1;
    EXPECT_TRUE(be16(650) >= 10 && be16(650) <= 240) << "rec_time_2 " << be16(650);
    expectBytesWithin("rec_choice_1", 652, 1, 0, 2);
    // Rates of profiles A .. E: at most 30 images a second (NTSC); audio 1/0.
    for (const std::size_t rate : {656, 688, 720, 2352, 2552})
        expectBytesWithin("profile rate", rate, 16, 0, 30);
    for (const std::size_t audio : {672, 704, 736, 2368, 2568})
        expectBytesWithin("profile audio", audio, 16, 0, 1);
    expectBytesWithin("profile_c_sensitivity", 752, 16, 0, 2);
    expectBytesWithin("profile_e_sensitivity", 2584, 16, 0, 2);
    expectBytesWithin("motion_area", 768, 1584, 0, 1);
    // Row 8 and column 10 of every channel's motion grid are not used.
    for (std::size_t ch = 0; ch < 16; ++ch)
        for (std::size_t cell = 0; cell < 99; ++cell)
            if (cell / 11 == 8 || cell % 11 == 10) {
                EXPECT_EQ(byte(768 + 99 * ch + cell), 0u) << "motion_area " << ch << "/" << cell;
            }
    expectBytesWithin("schedule", 2384, 168, 0, 1);
    expectBytesWithin("block_f_on_1, block_f_on_2", 2616, 32, 0, 1);
    EXPECT_TRUE(byte(2648) >= 5 && byte(2648) <= 90 && byte(2648) % 5 == 0)
        << "block_f_days " << byte(2648);
    // No profile in more than one row of the assignment.
    std::set<unsigned> assigned;
    for (std::size_t row = 0; row < 5; ++row) {
        EXPECT_LE(byte(2652 + row), 6u) << "output_assign " << row;
        if (byte(2652 + row) != 6) {
            EXPECT_TRUE(assigned.insert(byte(2652 + row)).second) << "output_assign " << row;
        }
    }
    expectBytesWithin("date_format", 2661, 1, 0, 2);
    expectBytesWithin("sensor_type", 3088, 16, 0, 2);
    expectBytesWithin("auto_delete_days", 3104, 1, 0, 99);
    expectBytesWithin("notify_a .. notify_c", 4028, 12, 0, 1);
    expectBytesWithin("resolution", 4044, 96, 0, 2);
    expectBytesWithin("time_zone", 4140, 1, 0, 24);
    expectBytesWithin("ntp_enable", 4141, 1, 0, 1);
    expectBytesWithin("ntp_server_choice", 4144, 1, 0, 2);
    for (const std::size_t level : {4320, 4352, 4384, 4416})
        for (std::size_t ch = 0; ch < 16; ++ch)
            EXPECT_LE(be16(level + 2 * ch), 9u) << "PTZ level at " << level << " channel " << ch;
    expectBytesWithin("deinterlace", 4584, 16, 0, 1);
    // account_level is not checked against the two-entry level list here: the simulator's
    // accounts take their level from its settings (the default second account has level 2).
    for (std::size_t a = 0; a < 8; ++a) {
        EXPECT_LE(text(5696 + 32 * a, 32).size(), 8u) << "account_name " << a;
        EXPECT_LE(text(5952 + 32 * a, 32).size(), 8u) << "account_password " << a;
    }
    for (std::size_t link = 0; link < 64; ++link) {
        const unsigned value = be16(6400 + 2 * link);
        EXPECT_TRUE(value >= 1 && value <= 999) << "link_value " << link << " = " << value;
    }
    expectBytesWithin("link_flag", 6336, 64, 0, 1);
    expectBytesWithin("smart_flag_1", 6528, 1, 0, 1);
    expectBytesWithin("smart_value", 6529, 1, 0, 99);
    expectBytesWithin("smart_flag_2", 6530, 1, 0, 1);
    expectBytesWithin("osd_choice_3", 6536, 1, 0, 3);
    expectBytesWithin("osd_choice_4, osd_choice_5", 6537, 2, 0, 1);
    EXPECT_LE(text(6540, 32).size(), 8u) << "archive_pass";
    expectBytesWithin("account_logout_1, account_logout_2", 6596, 16, 0, 3);
    expectBytesWithin("live_channel", 6616, 128, 0, 1);
}

} // namespace
} // namespace kalder
