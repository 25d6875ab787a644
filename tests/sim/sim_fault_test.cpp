// The simulator's fault knobs and model changes, driven through its admin port while a scripted
// client is connected.

#include "wire/byte_reader.h"
#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "wire/status_records.h"
#include "raw_client.h"
#include "sim_process.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <thread>

namespace kalder::test {
namespace {

using namespace std::chrono_literals;

class SimFaults : public ::testing::Test {
protected:
    void startSim(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--channels", "4"});
        ASSERT_TRUE(m_sim.start(args)) << m_sim.lastError();
    }
    // Connects and logs in as ADMIN; reads the answer and the pushes.
    void loginAdmin(RawClient& client) {
        ASSERT_TRUE(client.connect(m_sim.port()));
        ASSERT_TRUE(client.sendHello("admin", "1234"));
        ASSERT_TRUE(client.receiveId(MessageId::REC_STATUS));
        ASSERT_TRUE(m_sim.waitForLoggedIn(1));
    }
    void startLive(RawClient& client, std::uint32_t mask = 0xF) {
        ASSERT_TRUE(client.sendLiveRequest(mask));
        ASSERT_TRUE(client.receiveId(MessageId::LIVE_CHANNEL_INFO));
    }
    // Next whole frame (LIVE_DATA fragments up to the last one).
    std::vector<std::byte> nextFrame(RawClient& client) {
        std::vector<std::byte> frame;
        for (;;) {
            auto m = client.receive(10s);
            if (!m)
                return {};
            if (m->id() != MessageId::LIVE_DATA)
                continue;
            frame.insert(frame.end(), m->payload.begin(), m->payload.end());
            if (m->header.lastFragment())
                return frame;
        }
    }
    void TearDown() override {
        if (m_sim.running()) {
            EXPECT_TRUE(m_sim.stop()) << "the simulator did not end cleanly";
        }
    }
    SimProcess m_sim;
};

// Admin commands that make the recorder send one message out of the ordinary.
TEST_F(SimFaults, OddMessagesArriveWhole) {
    struct Case {
        const char* command;
        std::uint16_t code;
        std::size_t payloadSize;
    };
    const Case cases[] = {
        {"unknown-id 500 100", 500 << 7, 100},
        {"unknown-id 300 0", 300 << 7, 0},
        {"code-ffff", 0xFFFF, 8},
        {"notice257", 257 << 7, 12},
        {"push dst", MessageId::DST_INFO << 7, 1204},
        {"push sysetc", MessageId::SYS_ETC_INFO << 7, 320},
    };
    startSim();
    RawClient client;
    loginAdmin(client);
    for (const Case& c : cases) {
        ASSERT_EQ(m_sim.admin(c.command), "ok 1") << c.command;
        auto m = client.receive();
        ASSERT_TRUE(m) << c.command;
        EXPECT_EQ(m->header.code, c.code) << c.command;
        EXPECT_EQ(m->payload.size(), c.payloadSize) << c.command;
    }
    // The stream is still in step: a request is answered.
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    EXPECT_TRUE(client.receiveId(MessageId::DVR_TIME_ACK));
}

TEST_F(SimFaults, ByeWithChosenReasonThenClose) {
    startSim();
    RawClient client;
    loginAdmin(client);
    ASSERT_EQ(m_sim.admin("bye 33"), "ok 1");
    auto bye = client.receiveId(MessageId::BYE48);
    ASSERT_TRUE(bye);
    ASSERT_EQ(bye->payload.size(), 4u);
    EXPECT_EQ(be32At(bye->payload, 0), 33u);
    EXPECT_TRUE(client.waitForClose());
}

TEST_F(SimFaults, ByeAfterLoginFromTheCommandLine) {
    startSim({"--bye-after-login", "-2"});
    RawClient client;
    ASSERT_TRUE(client.connect(m_sim.port()));
    ASSERT_TRUE(client.sendHello("admin", "1234"));
    std::vector<RawMessage> before;
    auto bye = client.receiveId(MessageId::BYE48, 10s, &before);
    ASSERT_TRUE(bye);
    EXPECT_EQ(static_cast<std::int32_t>(be32At(bye->payload, 0)), -2);
    ASSERT_EQ(before.size(), 8u) << "HELLO48_ACK and the seven pushes come first";
    EXPECT_EQ(before.back().id(), MessageId::REC_STATUS);
    EXPECT_TRUE(client.waitForClose());
}

TEST_F(SimFaults, WrongProductFamilyIsAnnounced) {
    startSim({"--product-number", "3"});
    RawClient client;
    ASSERT_TRUE(client.connect(m_sim.port()));
    ASSERT_TRUE(client.sendHello("admin", "1234"));
    auto hello = client.receiveId(MessageId::HELLO48_ACK);
    ASSERT_TRUE(hello);
    EXPECT_EQ(std::to_integer<int>(hello->payload[2]), 3);
    // The admin port changes it for later logins.
    ASSERT_EQ(m_sim.admin("product 9"), "ok");
    RawClient second;
    ASSERT_TRUE(second.connect(m_sim.port()));
    ASSERT_TRUE(second.sendHello("admin", "1234"));
    hello = second.receiveId(MessageId::HELLO48_ACK);
    ASSERT_TRUE(hello);
    EXPECT_EQ(std::to_integer<int>(hello->payload[2]), 9);
}

TEST_F(SimFaults, CloseInTheMiddleOfAFragment) {
    startSim({"--max-fragment", "2000"});
    RawClient client;
    loginAdmin(client);
    startLive(client);
    ASSERT_TRUE(client.receiveId(MessageId::LIVE_DATA)); // now on a message boundary
    ASSERT_EQ(m_sim.admin("close-mid-fragment"), "ok 1");
    // Everything up to the close, then walk the messages: the last one is cut short.
    std::vector<std::byte> rest;
    std::byte chunk[65536];
    for (;;) {
        pollfd pfd{client.fd(), POLLIN, 0};
        ASSERT_GT(::poll(&pfd, 1, 10000), 0) << "no close";
        const ssize_t n = ::recv(client.fd(), chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        rest.insert(rest.end(), chunk, chunk + n);
    }
    std::size_t at = 0;
    bool cut = false;
    while (at < rest.size()) {
        if (rest.size() - at < kHeaderSize) {
            cut = true;
            break;
        }
        const MessageHeader header = decodeHeader(std::span(rest).subspan(at).first<kHeaderSize>());
        if (rest.size() - at - kHeaderSize < header.payloadLength) {
            EXPECT_EQ(header.messageId(), MessageId::LIVE_DATA);
            cut = true;
            break;
        }
        at += kHeaderSize + header.payloadLength;
    }
    EXPECT_TRUE(cut) << "the stream ended on a message boundary";
}

TEST_F(SimFaults, BadMagicAndOversizedFrames) {
    startSim();
    RawClient client;
    loginAdmin(client);
    startLive(client, 0x1);
    ASSERT_FALSE(nextFrame(client).empty());

    ASSERT_EQ(m_sim.admin("bad-magic"), "ok 1");
    bool seen = false;
    for (int i = 0; i < 5 && !seen; ++i) {
        const auto frame = nextFrame(client);
        ASSERT_GE(frame.size(), kFrameInfoBlockSize);
        seen = decodeFrameInfoBlock(frame)->frameMagic != kFrameMagic;
    }
    EXPECT_TRUE(seen);

    ASSERT_EQ(m_sim.admin("oversized-frame"), "ok 1");
    seen = false;
    for (int i = 0; i < 5 && !seen; ++i) {
        const auto frame = nextFrame(client);
        ASSERT_FALSE(frame.empty());
        seen = frame.size() > kFrameAssemblySize;
    }
    EXPECT_TRUE(seen);
    // Frames after the faults are normal again.
    const auto frame = nextFrame(client);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(decodeFrameInfoBlock(frame)->frameMagic, kFrameMagic);
    EXPECT_LE(frame.size(), kFrameAssemblySize);
}

// The floods a hostile recorder can send: repeated replies that the connection survives, and key
// frames back to back.
TEST_F(SimFaults, FloodsOfRepliesAndKeyFrames) {
    startSim();
    RawClient client;
    loginAdmin(client);
    startLive(client, 0x1);

    ASSERT_EQ(m_sim.admin("flood-bye 20"), "ok 1");
    ASSERT_EQ(m_sim.admin("flood-hello-ack 3"), "ok 1");
    ASSERT_EQ(m_sim.admin("flood-channel-info 5"), "ok 1");
    int byes = 0, acks = 0, infos = 0;
    while (byes < 20 || acks < 3 || infos < 5) {
        const auto m = client.receive(10s);
        ASSERT_TRUE(m) << byes << " " << acks << " " << infos;
        if (m->id() == MessageId::BYE48) {
            ++byes;
            ASSERT_EQ(m->payload.size(), 4u);
            EXPECT_EQ(ByteReader(m->payload).readBe32(), 99u);
        }
        acks += m->id() == MessageId::HELLO48_ACK;
        infos += m->id() == MessageId::LIVE_CHANNEL_INFO;
    }
    EXPECT_EQ(m_sim.admin("logged-in"), "ok 1"); // the connection stays

    ASSERT_EQ(m_sim.admin("keyframe-flood 1 1 50000"), "ok 1");
    int big = 0;
    for (int i = 0; i < 200 && big < 10; ++i) {
        const auto frame = nextFrame(client);
        ASSERT_GE(frame.size(), kFrameInfoBlockSize);
        const auto block = decodeFrameInfoBlock(frame);
        if (frame.size() >= 50000) {
            EXPECT_EQ(block->frameType, kFrameTypeKey);
            ++big;
        }
    }
    EXPECT_EQ(big, 10);
}

TEST_F(SimFaults, LiveNackEndsStreaming) {
    startSim();
    RawClient client;
    loginAdmin(client);
    startLive(client);
    ASSERT_EQ(m_sim.admin("live-nack 1"), "ok 1");
    auto nack = client.receiveId(MessageId::LIVE_NACK);
    ASSERT_TRUE(nack);
    EXPECT_EQ(be32At(nack->payload, 0), 1u);
    // After the refusal the recorder answers requests but sends no frame.
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    std::vector<RawMessage> between;
    ASSERT_TRUE(client.receiveId(MessageId::DVR_TIME_ACK, 10s, &between));
    for (const auto& m : between)
        EXPECT_NE(m.id(), MessageId::LIVE_DATA);
}

TEST_F(SimFaults, ModelChangesArePushed) {
    startSim();
    RawClient client;
    loginAdmin(client);

    ASSERT_EQ(m_sim.admin("right 0 login 0"), "ok");
    auto rights = client.receiveId(MessageId::RIGHT_CHANGE);
    ASSERT_TRUE(rights);
    EXPECT_FALSE(decodeUserRightsTable(rights->payload)->granted(UserRight::Login, 0));

    ASSERT_EQ(m_sim.admin("right 1 level 0"), "ok");
    rights = client.receiveId(MessageId::RIGHT_CHANGE);
    ASSERT_TRUE(rights);
    EXPECT_EQ(decodeUserRightsTable(rights->payload)->value(UserRight::AccessLevel, 1), 0);

    ASSERT_EQ(m_sim.admin("title 3 Back door"), "ok");
    auto db = client.receiveId(MessageId::DB_CHANGE);
    ASSERT_TRUE(db);
    EXPECT_EQ(decodeChannelConfigRecord(db->payload)->titles[2], "Back door");

    ASSERT_EQ(m_sim.admin("covert 2 1"), "ok");
    db = client.receiveId(MessageId::DB_CHANGE);
    ASSERT_TRUE(db);
    EXPECT_EQ(decodeChannelConfigRecord(db->payload)->covert[1], 1);

    // The live-view table goes out with a DB_CHANGE after it, which makes a client apply it.
    ASSERT_EQ(m_sim.admin("liveview 0 4 0"), "ok");
    auto live = client.receiveId(MessageId::NETLIVE_CH_CHANGE);
    ASSERT_TRUE(live);
    EXPECT_EQ(decodeLiveViewRights(live->payload)->allowed[0][3], 0);
    EXPECT_TRUE(client.receiveId(MessageId::DB_CHANGE));

    ASSERT_EQ(m_sim.admin("record off"), "ok");
    auto status = client.receiveId(MessageId::REC_STATUS);
    ASSERT_TRUE(status);
    EXPECT_FALSE(decodeRecStatus(status->payload)->recording());

    ASSERT_EQ(m_sim.admin("time 1700000000"), "ok");
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    auto time = client.receiveId(MessageId::DVR_TIME_ACK);
    ASSERT_TRUE(time);
    EXPECT_LE(be32At(time->payload, 0) - 1700000000u, 5u);
}

TEST_F(SimFaults, VideoLossIsAnnouncedAndStopsTheChannel) {
    startSim();
    RawClient client;
    loginAdmin(client);
    startLive(client, 0x3);
    ASSERT_EQ(m_sim.admin("videoloss 2 1"), "ok");
    auto info = client.receiveId(MessageId::LIVE_CHANNEL_INFO);
    ASSERT_TRUE(info);
    EXPECT_EQ(be32At(info->payload, 0), 0x00020003u);
    for (int i = 0; i < 20; ++i) {
        const auto frame = nextFrame(client);
        ASSERT_FALSE(frame.empty());
        EXPECT_EQ(decodeFrameInfoBlock(frame)->channel, 0) << "channel 2 has no signal";
    }
    ASSERT_EQ(m_sim.admin("videoloss 2"), "ok"); // toggles back
    info = client.receiveId(MessageId::LIVE_CHANNEL_INFO);
    ASSERT_TRUE(info);
    EXPECT_EQ(be32At(info->payload, 0), 0x00000003u);
}

TEST_F(SimFaults, VideoLossFromTheStartIsInTheFirstAnswer) {
    startSim({"--set", "channel4.video_loss=1"});
    RawClient client;
    loginAdmin(client);
    ASSERT_TRUE(client.sendLiveRequest(0xFFFF));
    auto info = client.receiveId(MessageId::LIVE_CHANNEL_INFO);
    ASSERT_TRUE(info);
    EXPECT_EQ(be32At(info->payload, 0), 0x0008000Fu) << "four channels, channel 4 lost";
}

TEST_F(SimFaults, AudioFlagAndSection) {
    startSim();
    RawClient client;
    loginAdmin(client);
    startLive(client, 0x1);
    ASSERT_TRUE(client.sendCode(0x0B88)); // audio on
    int withAudio = 0;
    for (int i = 0; i < 400 && withAudio < 3; ++i) {
        auto m = client.receive();
        ASSERT_TRUE(m);
        if (m->id() != MessageId::LIVE_DATA || !m->header.audioFlag())
            continue;
        // Once the flag is up, every message carries it; assemble one whole frame.
        std::vector<std::byte> frame(m->payload);
        while (!m->header.lastFragment()) {
            m = client.receive();
            ASSERT_TRUE(m);
            EXPECT_TRUE(m->header.audioFlag());
            frame.insert(frame.end(), m->payload.begin(), m->payload.end());
        }
        const auto block = decodeFrameInfoBlock(frame);
        ASSERT_TRUE(block);
        if (block->audioLength == 0) {
            EXPECT_EQ(block->audioMarker, 0);
            continue;
        }
        ++withAudio;
        EXPECT_EQ(block->audioLength, 2048u);
        EXPECT_NE(block->audioMarker, 0);
        EXPECT_EQ(block->audioChannelNibble, 0) << "audio rides on channel 1";
        const std::size_t element = kFrameInfoBlockSize + block->videoLength + kLiveAudioOffset;
        ASSERT_EQ(frame.size(), element + 512);
        int distinct = 0;
        for (std::size_t i = element + 1; i < frame.size(); ++i)
            distinct += frame[i] != frame[i - 1];
        EXPECT_GT(distinct, 0) << "the element carries a signal";
    }
    EXPECT_EQ(withAudio, 3);

    ASSERT_TRUE(client.sendCode(0x0B80)); // audio off
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    auto time = client.receiveId(MessageId::DVR_TIME_ACK);
    ASSERT_TRUE(time);
    EXPECT_FALSE(time->header.audioFlag());
}

TEST_F(SimFaults, DropAndStall) {
    startSim();
    {
        RawClient client;
        loginAdmin(client);
        ASSERT_EQ(m_sim.admin("drop"), "ok 1");
        EXPECT_TRUE(client.waitForClose());
    }
    RawClient client;
    ASSERT_TRUE(client.connect(m_sim.port()));
    ASSERT_TRUE(client.sendHello("admin", "1234"));
    ASSERT_TRUE(client.receiveId(MessageId::REC_STATUS));
    // Aimed at this client alone: the dropped one may still be on the list for a moment.
    std::string id;
    ASSERT_TRUE(waitUntil([&] {
        const std::string list = m_sim.admin("clients");
        const auto at = list.rfind(":admin:"); // the newest client is listed last
        if (at != std::string::npos)
            id = list.substr(list.rfind(' ', at) + 1, at - list.rfind(' ', at) - 1);
        return !id.empty();
    }));
    ASSERT_EQ(m_sim.admin("@" + id + " stall on"), "ok 1");
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    EXPECT_FALSE(client.receive(300ms)) << "a stalled recorder sends nothing";
    EXPECT_FALSE(client.closed());
    ASSERT_EQ(m_sim.admin("@" + id + " stall off"), "ok 1");
    ASSERT_TRUE(client.send(MessageId::DVR_TIME_REQ));
    EXPECT_TRUE(client.receiveId(MessageId::DVR_TIME_ACK));
}

TEST_F(SimFaults, SilentClientIsDropped) {
    startSim({"--idle-timeout", "1"});
    RawClient client;
    loginAdmin(client);
    EXPECT_TRUE(client.waitForClose(20s));
}

TEST_F(SimFaults, AdminRejectsBadCommands) {
    startSim();
    const char* bad[] = {"",
                         "nonsense",
                         "title 17 X",
                         "covert 1 maybe",
                         "right 8 login 0",
                         "right 0 fly 1",
                         "push everything",
                         "@x drop",
                         "videoloss 5"};
    for (const char* command : bad)
        EXPECT_EQ(m_sim.admin(command).rfind("error", 0), 0u) << "'" << command << "'";
    EXPECT_EQ(m_sim.admin("ping"), "ok pong");
    EXPECT_EQ(m_sim.admin("clients"), "ok 0");
    EXPECT_EQ(m_sim.admin("drop"), "ok 0");
}

} // namespace
} // namespace kalder::test

namespace kalder::test {
namespace {

// A simulator that refuses its options ends at once; the helper reports it instead of waiting.
TEST(SimProcessHelper, BadOptionsFailTheStart) {
    SimProcess sim;
    EXPECT_FALSE(sim.start({"--channels", "5"}, std::chrono::seconds(30)));
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(sim.lastError().empty());
    EXPECT_EQ(sim.admin("ping"), "");
}

} // namespace
} // namespace kalder::test
