#include "wire/message_catalogue.h"
#include "wire/nack_outcome.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kalder {
namespace {

TEST(MessageCatalogue, IdsAreNineBitsAndUniquePerDirection) {
    std::set<std::pair<std::uint16_t, int>> seen;
    for (const MessageInfo& info : messageCatalogue()) {
        EXPECT_LT(info.id, 512) << info.name;
        const auto key = std::make_pair(info.id, static_cast<int>(info.direction));
        EXPECT_TRUE(seen.insert(key).second) << "duplicate " << info.name;
    }
    EXPECT_EQ(messageCatalogue().size(), 118u);
}

TEST(MessageCatalogue, SharedIdsResolvePerDirection) {
    EXPECT_STREQ(findMessage(102, Direction::ToRecorder)->name, "TRANS_OFF_REQ");
    EXPECT_STREQ(findMessage(102, Direction::ToClient)->name, "TRANS_ON_NACK");
    EXPECT_EQ(findMessage(4, Direction::ToRecorder)->payload, PayloadRule::None);
    EXPECT_EQ(findMessage(4, Direction::ToClient)->payload, PayloadRule::Nack);
    EXPECT_STREQ(findMessage(511, Direction::ToClient)->name, "ALIVE_REQ");
    EXPECT_STREQ(findMessage(511, Direction::ToRecorder)->name, "ALIVE_REQ");
    EXPECT_EQ(findMessage(6, Direction::ToClient), nullptr);
}

TEST(MessageCatalogue, FixedSizesOfStatusRecords) {
    const std::pair<std::uint16_t, std::uint32_t> sizes[] = {
        {MessageId::HELLO48_ACK, 768},  {MessageId::SYS_ETC_INFO_EX, 3200},
        {MessageId::DST_INFO, 1204},    {MessageId::NETLIVE_CH_CHANGE, 128},
        {MessageId::REC_STATUS, 16},    {MessageId::DB_CHANGE, 596},
        {MessageId::SYS_ETC_INFO, 320}, {MessageId::RIGHT_CHANGE, 584},
        {MessageId::NOTICE_257, 12},    {MessageId::LIVE_CHANNEL_INFO, 4},
    };
    for (auto [id, size] : sizes) {
        const MessageInfo* info = findMessage(id, Direction::ToClient);
        ASSERT_NE(info, nullptr) << id;
        EXPECT_EQ(info->payload, PayloadRule::Fixed) << info->name;
        EXPECT_EQ(info->payloadSize, size) << info->name;
    }
}

struct NackCase {
    std::uint16_t id;
    std::int32_t code;
    int category; // -1: no notification
    int detail;
};

TEST(NackOutcome, MapsCodesToNotifications) {
    const NackCase cases[] = {
        {MessageId::BYE48, 1, 3, 0},
        {MessageId::BYE48, 33, 3, 3},
        {MessageId::BYE48, -2, 3, 7},
        {MessageId::BYE48, 37, 15, 0},
        {MessageId::BYE48, 4, -1, 0},
        {MessageId::LIVE_NACK, 1, 5, 0},
        {MessageId::LIVE_NACK, -99, -1, 0},
        {MessageId::LIVE_NACK, -100, -1, 0},
        {MessageId::REC_OFF_NACK, 66, 5, 2},
        {MessageId::DB_INIT_NACK, 97, 6, 7},
        {MessageId::DB_INIT_NACK, 98, 6, 6},
        {MessageId::TRANS_OFF_NACK, 2, 6, 1},
        {MessageId::PLAY_INFO_MONTH_NACK, 83, -1, 0},
        {MessageId::EVENT_INFO_NACK, 83, 4, 0},
        {MessageId::TRANS_ON_NACK, 87, 6, 5},
        {MessageId::DB_UPDATE_NACK, 51, 7, 2},
        {MessageId::STATUS_INFO_NACK, 86, 6, 3},
        {MessageId::A_LISTEN_NACK, 54, 12, 0},
        {MessageId::A_LISTEN_NACK, 55, 12, 1},
        {MessageId::FW_UPDATE_NACK, 1, -1, 0},
    };
    for (const NackCase& c : cases) {
        const NackOutcome out = nackOutcome(c.id, c.code);
        SCOPED_TRACE(std::to_string(c.id) + " code " + std::to_string(c.code));
        if (c.category < 0) {
            EXPECT_FALSE(out.notification);
        } else {
            ASSERT_TRUE(out.notification);
            EXPECT_EQ(out.notification->category, c.category);
            EXPECT_EQ(out.notification->detail, c.detail);
        }
    }
}

TEST(NackOutcome, WindowMessagesAndSideEffects) {
    EXPECT_EQ(nackOutcome(MessageId::PLAY_INFO_MONTH_NACK, 83).windowMessage, 21044);
    EXPECT_EQ(nackOutcome(MessageId::TRANS_INFO_MONTH_NACK, 83).windowMessage, 21046);
    EXPECT_EQ(nackOutcome(MessageId::PLAY_INFO_MONTH_NACK, 1).windowMessage, 0);
    EXPECT_EQ(nackOutcome(MessageId::EVENT_INFO_NACK, 12345).windowMessage, 21045);
    EXPECT_TRUE(nackOutcome(MessageId::A_LISTEN_NACK, 55).listeningStopped);
    EXPECT_FALSE(nackOutcome(MessageId::A_LISTEN_NACK, 54).listeningStopped);
    EXPECT_TRUE(nackOutcome(MessageId::TRANS_ON_NACK, 87).keepsDetail);
    EXPECT_TRUE(nackOutcome(MessageId::FW_UPDATE_FAIL, 7).toUpgradeWindow);
    EXPECT_EQ(Notification::fromLParam(Notification{15, 0}.lParam()), (Notification{15, 0}));
    EXPECT_EQ((Notification{3, 7}.lParam()), 0x00030007u);
}

} // namespace
} // namespace kalder
