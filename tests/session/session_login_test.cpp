// Login, farewell, keep-alive and the disconnect order against a scripted recorder.
#include "session_fixture.h"

#include "wire/byte_writer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder::test {
namespace {

using Login = SessionFixture;

TEST_F(Login, SendsLowerCasedCredentialsAndAcceptsFamilyThree) {
    const auto hello = startSession("AdMin", "SeCret");
    ASSERT_TRUE(hello);
    ASSERT_EQ(hello->payload.size(), kHelloPayloadSize);
    const auto sent = decodeHelloPayload(hello->payload);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->userId, "admin");
    EXPECT_EQ(sent->password, "secret");

    HelloRecord record = servedHello();
    record.channel_num = 5; // not 4, 8 or 16: treated as 16
    record.flags = 0x03;
    record.product_major_ver = 1;
    record.product_minor_ver = 1;
    m_recorder.send(MessageId::HELLO48_ACK, encodeHelloRecord(record));
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::LoggedIn); }));
    const auto liveReq = m_recorder.readUntil(MessageId::LIVE_REQ);
    ASSERT_TRUE(liveReq);
    EXPECT_EQ(liveReq->payload, be32Bytes(0x0000FFFF));

    EXPECT_TRUE(m_session->loggedIn());
    EXPECT_EQ(m_session->productFamily(), 3);
    const HelloRecord got = m_session->hello();
    EXPECT_EQ(got.channel_num, 16);
    EXPECT_TRUE(m_session->atLeastVersion11());
    EXPECT_FALSE(m_session->atLeastVersion12());
    EXPECT_TRUE(m_session->featureBit0());
    EXPECT_TRUE(m_session->featureBit1());
    // The firmware table in the client's seven slots.
    EXPECT_EQ(got.firmName[0], "component0");
    EXPECT_EQ(got.firmName[3], "component2");
    EXPECT_EQ(got.firmVer[4], 1000005u);
    EXPECT_EQ(got.firmName[1], "");
    EXPECT_EQ(got.firmName[7], "");
    // One consumer per channel after the fix-up, the video window told of 16 channels.
    EXPECT_EQ(m_frames.alive(), 16u);
    ASSERT_TRUE(m_events.last(WindowMessage::VideoWindowReset));
    EXPECT_EQ(m_events.last(WindowMessage::VideoWindowReset)->wParam, 16u);
    EXPECT_TRUE(m_session->keepAliveRunning());
    // A logon entry with the user id as entered.
    const auto log = logEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, kLogKindLogon);
    EXPECT_EQ(log[0].event, kLogEventLogon);
    EXPECT_EQ(log[0].userId, "AdMin");
    EXPECT_EQ(log[0].address, "127.0.0.1");
}

TEST(ProductFamily, OnlyProductNumberFourIsServed) {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 0}, {255, 0}};
    for (auto [number, family] : cases)
        EXPECT_EQ(productFamilyFor(static_cast<std::uint8_t>(number)), family) << number;
}

TEST_F(Login, OtherFamiliesEndTheConnection) {
    ASSERT_TRUE(startSession());
    HelloRecord record = servedHello();
    record.product_number = 3;
    m_recorder.send(MessageId::HELLO48_ACK, encodeHelloRecord(record));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    const auto notServed = m_events.last(WindowMessage::NotServed);
    ASSERT_TRUE(notServed);
    EXPECT_EQ(notServed->wParam, 2u);
    EXPECT_EQ(notServed->lParam, 3);
    EXPECT_FALSE(m_events.has(WindowMessage::LoggedIn));
    EXPECT_TRUE(m_recorder.sessionClosed());
    EXPECT_FALSE(m_session->receiving());
    // Neither a logon nor a logoff is logged for a recorder that was refused.
    EXPECT_FALSE(m_session->loggedIn());
    m_session->disconnect();
    EXPECT_TRUE(logEntries().empty());
}

TEST_F(Login, ADescriptionOfAnotherLengthIsIgnoredAndRefused) {
    ASSERT_TRUE(startSession());
    const auto bytes = encodeHelloRecord(servedHello());
    m_recorder.send(MessageId::HELLO48_ACK, std::span(bytes).first(767));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    ASSERT_TRUE(m_events.has(WindowMessage::NotServed));
    EXPECT_EQ(m_events.last(WindowMessage::NotServed)->wParam, 0u);
    EXPECT_EQ(m_session->hello().product_number, 0);
}

TEST_F(Login, FarewellReasonsBecomeNotifications) {
    ASSERT_TRUE(startSession());
    login();
    const std::pair<std::int32_t, std::optional<Notification>> cases[] = {
        {1, Notification{3, 0}},  {2, Notification{3, 1}},  {3, Notification{3, 2}},
        {33, Notification{3, 3}}, {34, Notification{3, 4}}, {35, Notification{3, 5}},
        {36, Notification{3, 6}}, {-2, Notification{3, 7}}, {37, Notification{15, 0}},
        {99, std::nullopt},
    };
    for (const auto& [code, expected] : cases) {
        const std::size_t before = m_events.notifications().size();
        std::array<std::byte, 4> payload{};
        ByteWriter w(payload);
        w.writeBe32(static_cast<std::uint32_t>(code));
        m_recorder.send(MessageId::BYE48, payload);
        sync();
        const auto all = m_events.notifications();
        if (expected) {
            ASSERT_EQ(all.size(), before + 1) << code;
            EXPECT_EQ(all.back(), *expected) << code;
        } else {
            EXPECT_EQ(all.size(), before) << code;
        }
        EXPECT_FALSE(m_session->loggedIn());
    }
    // The connection stays until the recorder closes it.
    EXPECT_TRUE(m_session->receiving());
    m_recorder.close();
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    // One farewell entry (event 4) after the logon entry: the farewells after the first change
    // nothing, so they write nothing.
    const auto log = logEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log.front().event, kLogEventLogon);
    EXPECT_EQ(log.back().event, kLogEventLogonFailed);
}

TEST_F(Login, PeerClosingMidMessageEndsTheSessionAtOnce) {
    // A receive clock that never advances: only the peer's close can end the read.
    struct FrozenClock : ReceiveClock {
        std::chrono::steady_clock::time_point now() const override { return {}; }
    } frozen;
    m_session->setReceiveClock(&frozen);
    ASSERT_TRUE(startSession());
    login();
    goLive();
    const auto frame = buildFrame({});
    // Half of one fragment, then the close.
    MessageHeader h = makeHeader(MessageId::LIVE_DATA, static_cast<std::uint16_t>(frame.size()));
    const auto head = encodeHeader(h);
    m_recorder.writeRaw(head);
    m_recorder.writeRaw(std::span(frame).first(frame.size() / 2));
    m_recorder.close();
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    EXPECT_FALSE(m_session->receiving());
    EXPECT_FALSE(m_session->socketOpen());
}

TEST_F(Login, DisconnectDoesNotWaitForAStalledMessage) {
    // A receive clock that never advances: without the stop flag the read would never end.
    struct FrozenClock : ReceiveClock {
        std::chrono::steady_clock::time_point now() const override { return {}; }
    } frozen;
    m_session->setReceiveClock(&frozen);
    ASSERT_TRUE(startSession());
    login();
    // A clock reply, then a header that announces 1,000 bytes and only 10 of them; the recorder
    // stays connected. Once the reply is handled the session is in the stalled read.
    m_recorder.send(MessageId::DVR_TIME_ACK, be32Bytes(77));
    m_recorder.writeRaw(encodeHeader(makeHeader(MessageId::DB_CHANGE, 1000)));
    m_recorder.writeRaw(std::vector<std::byte>(10));
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::RecorderTimeToTimePage); }));
    m_session->disconnect();
    EXPECT_TRUE(m_session->threadsEnded());
    EXPECT_FALSE(m_session->socketOpen());
    m_session->setReceiveClock(nullptr);
}

TEST_F(Login, KeepAliveRepeatsEveryPeriod) {
    m_session->setKeepAliveStep(std::chrono::milliseconds(1));
    ASSERT_TRUE(startSession());
    login();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_recorder.readUntil(MessageId::ALIVE_REQ)) << i;
    const auto alive = m_recorder.seen().back();
    EXPECT_EQ(alive.header.code, kKeepAliveCode);
    EXPECT_EQ(alive.header.payloadLength, 0);
}

TEST_F(Login, DisconnectWakesAWaitingKeepAlive) {
    // A period of 200 hours: only the stop request can end the keep-alive thread's wait.
    m_session->setKeepAliveStep(std::chrono::hours(1));
    ASSERT_TRUE(startSession());
    login();
    ASSERT_TRUE(m_recorder.readUntil(MessageId::ALIVE_REQ));
    ASSERT_TRUE(m_session->keepAliveRunning());
    m_session->disconnect();
    EXPECT_TRUE(m_session->threadsEnded());
}

TEST_F(Login, EverythingPostedCarriesTheSessionsGeneration) {
    const std::uint64_t generation = m_session->generation();
    EXPECT_NE(generation, 0u);
    ASSERT_TRUE(startSession());
    login();
    goLive();
    m_session->disconnect();
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    ASSERT_FALSE(m_events.messages().empty());
    for (const PostedMessage& m : m_events.messages())
        EXPECT_EQ(m.generation, generation) << m.message;

    // Every session of the process has its own.
    RecorderSession next(&m_events);
    EXPECT_NE(next.generation(), generation);
    EXPECT_NE(next.generation(), 0u);
}

TEST_F(Login, UnknownIdsAndRecorderKeepAlivesAreSkipped) {
    ASSERT_TRUE(startSession());
    login();
    std::vector<std::byte> junk(3000, std::byte{0x5A});
    m_recorder.send(300, junk);
    MessageHeader alive = makeHeader(MessageId::ALIVE_REQ, 8);
    alive.code = 0xFFFF;
    m_recorder.send(alive, std::span(junk).first(8));
    m_recorder.send(MessageId::NOTICE_257, std::span(junk).first(12));
    goLive(0x00000003);
    EXPECT_TRUE(m_session->receiving());
    EXPECT_EQ(m_session->live().liveChannelMask(), 0x0003);
}

TEST_F(Login, DisconnectStopsLiveBeforeTheFarewellAndEndsEverything) {
    ASSERT_TRUE(startSession("Admin", "pw"));
    login();
    goLive();
    m_session->disconnect();
    EXPECT_TRUE(m_session->threadsEnded());
    EXPECT_FALSE(m_session->socketOpen());
    EXPECT_FALSE(m_session->loggedIn());
    // LIVE_STOP, then BYE48, then the close.
    const auto bye = m_recorder.readUntil(MessageId::BYE48);
    ASSERT_TRUE(bye);
    std::vector<std::uint16_t> ids;
    for (const auto& m : m_recorder.seen())
        if (m.header.messageId() != MessageId::ALIVE_REQ)
            ids.push_back(m.header.messageId());
    ASSERT_GE(ids.size(), 2u);
    EXPECT_EQ(ids[ids.size() - 2], MessageId::LIVE_STOP);
    EXPECT_EQ(ids.back(), MessageId::BYE48);
    EXPECT_TRUE(m_recorder.sessionClosed());
    // Consumers: every one set to discard before the first is stopped; all destroyed.
    const auto journal = m_frames.journal();
    std::size_t lastDiscard = 0, firstStop = journal.size();
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal[i].rfind("discard", 0) == 0)
            lastDiscard = i;
        if (journal[i].rfind("stop", 0) == 0 && firstStop == journal.size())
            firstStop = i;
    }
    EXPECT_LT(lastDiscard, firstStop);
    EXPECT_EQ(m_frames.alive(), 0u);
    // The receive thread still reports the closed connection; logoff logged.
    waitUntil([&] { return m_events.hasNotification({2, 0}); });
    EXPECT_TRUE(m_events.hasNotification({2, 0}));
    const auto log = logEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].event, kLogEventLogoff);
    EXPECT_EQ(log[1].userId, "Admin");
}

TEST_F(Login, DisconnectBeforeLiveViewStillDismantlesTheConsumers) {
    ASSERT_TRUE(startSession());
    login();
    m_session->disconnect();
    EXPECT_TRUE(m_session->threadsEnded());
    EXPECT_EQ(m_frames.alive(), 0u);
    ASSERT_TRUE(m_recorder.readUntil(MessageId::BYE48));
    for (const auto& m : m_recorder.seen())
        EXPECT_NE(m.header.messageId(), MessageId::LIVE_STOP);
}

// A port on the loopback that nobody listens on.
std::uint16_t closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST_F(Login, RefusedConnectIsReportedAndLogged) {
    m_session->setAddress("127.0.0.1");
    m_session->setPort(closedPort());
    m_session->setUserId("MixedCase");
    m_session->start();
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::ConnectFailed); }));
    EXPECT_TRUE(m_events.hasNotification({1, 1}));
    EXPECT_TRUE(m_events.has(WindowMessage::DropSession));
    EXPECT_EQ(m_events.last(WindowMessage::ConnectFailed)->wParam, std::uintptr_t(ECONNREFUSED));
    const auto log = logEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event, kLogEventLogonFailed);
    EXPECT_EQ(log[0].userId, "mixedcase");
}

TEST_F(Login, NamesAreNotResolvedAndLeaveTheSessionAttached) {
    m_session->setAddress("localhost");
    m_session->start();
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::ConnectFailed); }));
    EXPECT_TRUE(m_events.notifications().empty());
    EXPECT_FALSE(m_events.has(WindowMessage::DropSession));
}

} // namespace
} // namespace kalder::test
