// Status records, rights and recording replies against a scripted recorder.
#include "session_fixture.h"

#include "wire/status_records.h"

#include <cstring>

namespace kalder::test {
namespace {

using Status = SessionFixture;

std::vector<std::byte> encodeRecStatusBytes(std::uint32_t mode) {
    RecStatus status;
    status.recordingMode = mode;
    const auto bytes = encodeRecStatus(status);
    return {bytes.begin(), bytes.end()};
}

UserRightsTable everyoneMayEverything() {
    UserRightsTable t;
    for (auto& right : t.rights)
        right.fill(1);
    t.names = {"admin", "user1", "Guest", "user3", "user4", "user5", "user6", "user7"};
    t.passwords = {"AdminPassWord", "p1", "GuestPassWord", "p3", "p4", "p5", "p6", "p7"};
    return t;
}

TEST_F(Status, RightsOfTheMatchingUserApply) {
    ASSERT_TRUE(startSession("GUEST", "oldpassword12345"));
    login();
    UserRightsTable t = everyoneMayEverything();
    t.rights[static_cast<std::size_t>(UserRight::Ptz)][2] = 0;
    t.rights[static_cast<std::size_t>(UserRight::RemoteSetup)][2] = 0;
    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(t));
    sync();
    EXPECT_EQ(m_session->status().userIndex(), 2u);
    EXPECT_FALSE(m_session->status().mayPtz());
    EXPECT_FALSE(m_session->status().maySetup());
    EXPECT_TRUE(m_session->status().mayRestart());
    EXPECT_TRUE(m_session->status().maySearch());
    // The first 8 bytes of the password follow the table (lower-cased).
    EXPECT_EQ(m_session->password(), "guestpasord12345");
    const auto rights = m_events.last(WindowMessage::RightsChanged);
    ASSERT_TRUE(rights);
    EXPECT_EQ(rights->wParam, 0u);
    bool closedSetup = false, closedPtz = false;
    for (const auto& m : m_events.messages()) {
        if (m.message == WindowMessage::CloseWindow) {
            closedSetup |= m.wParam == std::uintptr_t(CloseTarget::RemoteSetup);
            closedPtz |= m.wParam == std::uintptr_t(CloseTarget::PtzPanel);
        }
    }
    EXPECT_TRUE(closedSetup);
    EXPECT_TRUE(closedPtz);

    // A table of the wrong size leaves no right granted.
    const auto bytes = encodeUserRightsTable(t);
    m_recorder.send(MessageId::RIGHT_CHANGE, std::span(bytes).first(583));
    sync();
    EXPECT_FALSE(m_session->status().mayRestart());
    EXPECT_FALSE(m_session->status().maySearch());
    EXPECT_EQ(m_session->status().userIndex(), 2u); // no name matched
    EXPECT_TRUE(m_session->receiving());
}

class WithdrawnLogin : public SessionFixture, public ::testing::WithParamInterface<UserRight> {};

TEST_P(WithdrawnLogin, EndsTheSession) {
    ASSERT_TRUE(startSession("admin"));
    login();
    UserRightsTable t = everyoneMayEverything();
    t.rights[static_cast<std::size_t>(GetParam())][0] = 0;
    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(t));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    const auto all = m_events.notifications();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], (Notification{15, 0}));
    EXPECT_EQ(all[1], (Notification{2, 0}));
    EXPECT_FALSE(m_session->receiving());
    EXPECT_TRUE(m_recorder.sessionClosed());
}

INSTANTIATE_TEST_SUITE_P(LoginOrLevel, WithdrawnLogin,
                         ::testing::Values(UserRight::Login, UserRight::AccessLevel));

TEST_F(Status, ChannelRecordKeepsTitlesPasswordAndHiddenState) {
    ASSERT_TRUE(startSession());
    login();
    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(everyoneMayEverything()));
    LiveViewRights liveView;
    for (auto& c : liveView.allowed[0])
        c = 1;
    liveView.allowed[0][9] = 0;
    m_recorder.send(MessageId::NETLIVE_CH_CHANGE, encodeLiveViewRights(liveView));
    ChannelConfigRecord config;
    config.titles[0] = "Gate";
    config.titles[15] = "Yard";
    config.covert[3] = 1;
    config.archive_pass = "12345678";
    m_recorder.send(MessageId::DB_CHANGE, encodeChannelConfigRecord(config));
    sync();
    EXPECT_EQ(m_session->status().channelTitles()[0], "Gate");
    EXPECT_EQ(m_session->status().channelTitles()[15], "Yard");
    EXPECT_EQ(m_session->status().archivePassword(), "12345678");
    // With the covert-view right only the live-view table hides.
    EXPECT_FALSE(m_session->status().channelHidden(3));
    EXPECT_TRUE(m_session->status().channelHidden(9));
    EXPECT_TRUE(m_events.has(WindowMessage::HiddenChannelsChanged));

    // A record of the wrong size changes nothing.
    const auto bytes = encodeChannelConfigRecord(ChannelConfigRecord{});
    m_recorder.send(MessageId::DB_CHANGE, std::span(bytes).first(595));
    // NETLIVE_CH_CHANGE of the wrong size clears the table.
    m_recorder.send(MessageId::NETLIVE_CH_CHANGE, std::vector<std::byte>(127, std::byte{1}));
    sync();
    EXPECT_EQ(m_session->status().channelTitles()[0], "Gate");
    EXPECT_EQ(m_session->status().liveViewRights(), LiveViewRights{});

    // Covert view withdrawn: covert channels hide, the live generation moves on.
    UserRightsTable t = everyoneMayEverything();
    t.rights[static_cast<std::size_t>(UserRight::CovertView)][0] = 0;
    const std::uint32_t generation = m_session->live().liveGeneration();
    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(t));
    sync();
    EXPECT_TRUE(m_session->status().channelHidden(3));
    EXPECT_FALSE(m_session->status().channelHidden(9));
    EXPECT_EQ(m_session->live().liveGeneration(), generation + 1);
}

TEST_F(Status, SystemRecordsAreKeptOnlyWhole) {
    ASSERT_TRUE(startSession());
    login();
    m_recorder.send(MessageId::SYS_ETC_INFO, std::vector<std::byte>(320, std::byte{7}));
    m_recorder.send(MessageId::SYS_ETC_INFO_EX, std::vector<std::byte>(3199, std::byte{7}));
    std::vector<std::byte> dst(1204, std::byte{9});
    dst[0] = std::byte{0};
    dst[1] = std::byte{0};
    dst[2] = std::byte{0};
    dst[3] = std::byte{5};
    m_recorder.send(MessageId::DST_INFO, dst);
    sync();
    EXPECT_EQ(m_session->status().sysEtcInfo().size(), 320u);
    EXPECT_TRUE(m_session->status().sysEtcInfoEx().empty());
    EXPECT_FALSE(m_session->status().sysEtcInfoExPresent());
    const auto table = m_session->status().dstTable();
    ASSERT_EQ(table.size(), 1204u);
    std::uint32_t first;
    std::memcpy(&first, table.data(), 4);
    EXPECT_EQ(first, 5u);

    m_recorder.send(MessageId::SYS_ETC_INFO, std::vector<std::byte>(10));
    m_recorder.send(MessageId::SYS_ETC_INFO_EX, std::vector<std::byte>(3200, std::byte{1}));
    m_recorder.send(MessageId::DST_INFO, std::vector<std::byte>(1203));
    sync();
    EXPECT_TRUE(m_session->status().sysEtcInfo().empty());
    EXPECT_EQ(m_session->status().sysEtcInfoEx().size(), 3200u);
    EXPECT_TRUE(m_session->status().sysEtcInfoExPresent());
    EXPECT_EQ(m_session->status().dstTable().size(), 1204u); // previous table kept
}

TEST_F(Status, RecordingStateFollowsTheReplies) {
    ASSERT_TRUE(startSession());
    login();
    struct Case {
        std::uint16_t id;
        std::vector<std::byte> payload;
        bool recording;
    };
    const Case cases[] = {
        {MessageId::REC_STATUS, encodeRecStatusBytes(5), true},
        {MessageId::REC_STATUS, encodeRecStatusBytes(6), false},
        {MessageId::REC_ON_ACK, be32Bytes(49), true},
        {MessageId::REC_OFF_ACK, be32Bytes(50), false},
        {MessageId::REC_ON_ACK, be32Bytes(51), true},
        {MessageId::REC_OFF_ACK, be32Bytes(49), true},
        {MessageId::REC_ON_ACK, be32Bytes(50), false},
        {MessageId::REC_OFF_ACK, be32Bytes(52), false},
    };
    for (const Case& c : cases) {
        m_recorder.send(c.id, c.payload);
        sync();
        EXPECT_EQ(m_session->status().recordingOn(), c.recording) << c.id;
        EXPECT_EQ(m_events.last(WindowMessage::RecordButton)->wParam,
                  std::uintptr_t(c.recording ? ButtonLook::Pressed : ButtonLook::Released));
    }
    const std::pair<std::int32_t, std::optional<Notification>> nacks[] = {{1, Notification{5, 0}},
                                                                          {65, Notification{5, 1}},
                                                                          {66, Notification{5, 2}},
                                                                          {2, std::nullopt}};
    for (const auto& [code, expected] : nacks) {
        const std::size_t before = m_events.notifications().size();
        m_recorder.send(MessageId::REC_OFF_NACK, be32Bytes(static_cast<std::uint32_t>(code)));
        sync();
        EXPECT_EQ(m_events.notifications().size(), before + (expected ? 1 : 0));
        if (expected) {
            EXPECT_EQ(m_events.notifications().back(), *expected);
        }
    }
}

} // namespace
} // namespace kalder::test
