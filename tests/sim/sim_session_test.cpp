// The simulator from the outside: login, status pushes, live answers, several clients.

#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "wire/status_records.h"
#include "raw_client.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <thread>

namespace kalder::test {
namespace {

using namespace std::chrono_literals;

class SimSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start()) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        EXPECT_TRUE(s_sim->stop()) << "the simulator did not end cleanly on SIGTERM";
        delete s_sim;
        s_sim = nullptr;
    }
    // Logs in and reads the answer and the seven pushes.
    std::vector<RawMessage> login(RawClient& client, const std::string& user,
                                  const std::string& password) {
        std::vector<RawMessage> messages;
        if (!client.connect(s_sim->port()) || !client.sendHello(user, password))
            return messages;
        for (int i = 0; i < 8; ++i) {
            auto m = client.receive();
            if (!m)
                break;
            messages.push_back(std::move(*m));
            if (messages.back().id() == MessageId::BYE48)
                break;
        }
        return messages;
    }
    static SimProcess* s_sim;
};
SimProcess* SimSession::s_sim = nullptr;

TEST_F(SimSession, LoginAnswersHelloRecordThenPushesStatusInOrder) {
    RawClient client;
    const auto messages = login(client, "ADMIN", "1234");
    ASSERT_EQ(messages.size(), 8u);

    const RawMessage& hello = messages[0];
    EXPECT_EQ(hello.header.code, 0x0280);
    ASSERT_EQ(hello.payload.size(), 768u);
    // protocol 1.2, product 4, version 1.2, front 1, 16 channels, account 0, MAC, sub-product
    // 0.0, flags 0.
    const std::array<std::uint8_t, 17> head = {1,    2,    4,    1,    2,    1, 16, 0, 0x00,
                                               0x1C, 0x4B, 0x10, 0x20, 0x30, 0, 0,  0};
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(std::to_integer<std::uint8_t>(hello.payload[i]), head[i]) << "byte " << i;
    const auto record = decodeHelloRecord(hello.payload);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->firmName[0], "boot");
    EXPECT_NE(record->firmVer[0], 0u);

    struct Push {
        std::uint16_t id;
        std::size_t size;
    };
    const Push expected[] = {
        {MessageId::RIGHT_CHANGE, 584},     {MessageId::NETLIVE_CH_CHANGE, 128},
        {MessageId::DB_CHANGE, 596},        {MessageId::SYS_ETC_INFO, 320},
        {MessageId::SYS_ETC_INFO_EX, 3200}, {MessageId::DST_INFO, 1204},
        {MessageId::REC_STATUS, 16}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(messages[i + 1].id(), expected[i].id) << "push " << i;
        EXPECT_EQ(messages[i + 1].payload.size(), expected[i].size) << "push " << i;
        EXPECT_EQ(messages[i + 1].header.fragmentFlags, 0);
    }

    const auto rights = decodeUserRightsTable(messages[1].payload);
    ASSERT_TRUE(rights);
    EXPECT_EQ(rights->names[0], "ADMIN");
    EXPECT_EQ(rights->names[1], "USER");
    for (std::size_t r = 0; r < 8; ++r)
        EXPECT_TRUE(rights->granted(static_cast<UserRight>(r), 0)) << "right " << r;
    EXPECT_TRUE(rights->granted(UserRight::Search, 1));
    EXPECT_TRUE(rights->granted(UserRight::Backup, 1));
    EXPECT_TRUE(rights->granted(UserRight::CovertView, 1));
    EXPECT_FALSE(rights->granted(UserRight::RemoteSetup, 1));
    EXPECT_FALSE(rights->granted(UserRight::StopRecording, 1));
    EXPECT_FALSE(rights->granted(UserRight::Restart, 1));

    const auto channels = decodeChannelConfigRecord(messages[3].payload);
    ASSERT_TRUE(channels);
    EXPECT_EQ(channels->titles[0], "CH1");
    EXPECT_EQ(channels->titles[15], "CH16");

    const auto status = decodeRecStatus(messages[7].payload);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->recording());
}

TEST_F(SimSession, UserIdAndPasswordCompareWithoutCase) {
    RawClient client;
    const auto messages = login(client, "uSeR", "1111");
    ASSERT_FALSE(messages.empty());
    ASSERT_EQ(messages[0].id(), MessageId::HELLO48_ACK);
    EXPECT_EQ(std::to_integer<int>(messages[0].payload[7]), 1) << "account number of USER";
}

TEST_F(SimSession, RefusedLoginGetsBye48ThenClose) {
    const std::pair<std::string, std::string> cases[] = {
        {"admin", "4321"}, {"nobody", "1234"}, {"", ""}, {"user", "1234"}};
    for (const auto& [user, password] : cases) {
        RawClient client;
        const auto messages = login(client, user, password);
        ASSERT_EQ(messages.size(), 1u) << user << "/" << password;
        EXPECT_EQ(messages[0].id(), MessageId::BYE48);
        ASSERT_EQ(messages[0].payload.size(), 4u);
        EXPECT_EQ(be32At(messages[0].payload, 0), 2u);
        EXPECT_TRUE(client.waitForClose()) << user << "/" << password;
    }
}

TEST_F(SimSession, LiveRequestStreamsTheRequestedChannels) {
    RawClient client;
    ASSERT_EQ(login(client, "admin", "1234").size(), 8u);
    ASSERT_TRUE(client.sendLiveRequest(0x00000005));
    auto info = client.receiveId(MessageId::LIVE_CHANNEL_INFO);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->payload.size(), 4u);
    EXPECT_EQ(be32At(info->payload, 0), 0x00000005u);

    std::map<unsigned, int> framesPerChannel;
    std::vector<std::byte> frame;
    while (framesPerChannel[0] < 10 || framesPerChannel[2] < 10) {
        auto m = client.receive();
        ASSERT_TRUE(m);
        if (m->id() != MessageId::LIVE_DATA)
            continue;
        frame.insert(frame.end(), m->payload.begin(), m->payload.end());
        if (!m->header.lastFragment())
            continue;
        const auto block = decodeFrameInfoBlock(frame);
        ASSERT_TRUE(block);
        EXPECT_EQ(block->frameMagic, kFrameMagic);
        EXPECT_EQ(block->resolutionCode, 1);
        EXPECT_FALSE(block->lineStandard625);
        EXPECT_EQ(frame.size(), kFrameInfoBlockSize + block->videoLength + block->audioLength);
        EXPECT_EQ(block->totalLength, frame.size());
        EXPECT_LE(block->infoWord - m->header.headerWord3 + 1, 2u) << "frame time vs clock";
        framesPerChannel[block->channel]++;
        frame.clear();
    }
    EXPECT_EQ(framesPerChannel.size(), 2u) << "only channels 1 and 3 stream";

    // A new request changes the set and is answered again.
    ASSERT_TRUE(client.sendLiveRequest(0x00008000));
    info = client.receiveId(MessageId::LIVE_CHANNEL_INFO);
    ASSERT_TRUE(info);
    EXPECT_EQ(be32At(info->payload, 0), 0x00008000u);
    ASSERT_TRUE(client.send(MessageId::LIVE_STOP));
    auto ack = client.receiveId(MessageId::LIVE_STOP_ACK);
    ASSERT_TRUE(ack);
    EXPECT_TRUE(ack->payload.empty());
}

TEST_F(SimSession, KeyFramesOfTheChannelsAreSpread) {
    RawClient client;
    ASSERT_EQ(login(client, "admin", "1234").size(), 8u);
    ASSERT_TRUE(client.sendLiveRequest(0xFFFF));
    ASSERT_TRUE(client.receiveId(MessageId::LIVE_CHANNEL_INFO));
    // Frames of all channels start at the same frame slot; where each channel's first key
    // frame falls in its own sequence shows its place in the key interval.
    std::array<int, 16> seen{};
    std::array<int, 16> firstKey;
    firstKey.fill(-1);
    std::vector<std::byte> frame;
    int missing = 16;
    while (missing > 0) {
        auto m = client.receiveId(MessageId::LIVE_DATA);
        ASSERT_TRUE(m);
        frame.insert(frame.end(), m->payload.begin(), m->payload.end());
        if (!m->header.lastFragment())
            continue;
        const auto block = decodeFrameInfoBlock(frame);
        frame.clear();
        ASSERT_TRUE(block);
        const unsigned c = block->channel;
        if (block->frameType == kFrameTypeKey && firstKey[c] < 0) {
            firstKey[c] = seen[c];
            --missing;
        }
        ++seen[c];
        ASSERT_LT(seen[c], 100) << "channel " << c + 1 << " sends no key frame";
    }
    std::set<int> places(firstKey.begin(), firstKey.end());
    EXPECT_GE(places.size(), 12u) << "key frames of most channels fall on different frames";
}

TEST_F(SimSession, AnswersKeepAliveTimeAndRecordingRequests) {
    RawClient client;
    ASSERT_EQ(login(client, "admin", "1234").size(), 8u);

    ASSERT_TRUE(client.send(511));
    auto alive = client.receive();
    ASSERT_TRUE(alive);
    EXPECT_EQ(alive->id(), 511);

    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    auto time = client.receiveId(MessageId::DVR_TIME_ACK);
    ASSERT_TRUE(time);
    ASSERT_EQ(time->payload.size(), 4u);
    EXPECT_GT(be32At(time->payload, 0), 1600000000u);

    ASSERT_TRUE(client.send(MessageId::REC_OFF_REQ));
    std::vector<RawMessage> other;
    auto off = client.receiveId(MessageId::REC_OFF_ACK, 10s, &other);
    ASSERT_TRUE(off);
    EXPECT_EQ(be32At(off->payload, 0), 50u);
    auto status = client.receiveId(MessageId::REC_STATUS);
    ASSERT_TRUE(status);
    EXPECT_FALSE(decodeRecStatus(status->payload)->recording());

    ASSERT_TRUE(client.send(MessageId::REC_ON_REQ));
    auto on = client.receiveId(MessageId::REC_ON_ACK);
    ASSERT_TRUE(on);
    EXPECT_EQ(be32At(on->payload, 0), 49u);
}

TEST_F(SimSession, UserWithoutStopRightCannotStopRecording) {
    RawClient client;
    ASSERT_EQ(login(client, "user", "1111").size(), 8u);
    ASSERT_TRUE(client.send(MessageId::REC_OFF_REQ));
    auto nack = client.receiveId(MessageId::REC_OFF_NACK);
    ASSERT_TRUE(nack);
    EXPECT_EQ(be32At(nack->payload, 0), 1u);
}

TEST_F(SimSession, ServesSeveralClientsAtOnce) {
    constexpr int kClients = 4;
    std::array<RawClient, kClients> clients;
    for (auto& client : clients) {
        ASSERT_EQ(login(client, "admin", "1234").size(), 8u);
        ASSERT_TRUE(client.sendLiveRequest(0xFFFF));
    }
    EXPECT_TRUE(s_sim->waitForLoggedIn(kClients));
    for (auto& client : clients) {
        ASSERT_TRUE(client.receiveId(MessageId::LIVE_CHANNEL_INFO));
        int lastFragments = 0;
        while (lastFragments < 20) {
            auto m = client.receiveId(MessageId::LIVE_DATA);
            ASSERT_TRUE(m);
            lastFragments += m->header.lastFragment() ? 1 : 0;
        }
    }
    // The farewell: the recorder closes after the client's BYE48.
    ASSERT_TRUE(clients[0].send(MessageId::BYE48));
    EXPECT_TRUE(clients[0].waitForClose());
}

} // namespace
} // namespace kalder::test
