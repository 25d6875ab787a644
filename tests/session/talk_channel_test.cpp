// The talk channel against a scripted recorder: the request rules, the answers and the sender's
// life in the talk slot.
#include "session_fixture.h"

#include "wire/talk_packet.h"

#include <algorithm>
#include <atomic>

namespace kalder::test {
namespace {

using Talk = SessionFixture;

// Stands for the front end's talk sender: tells when it is destroyed.
class Sender final : public TalkSlotObject {
public:
    explicit Sender(std::atomic<int>& destroyed) : m_destroyed(destroyed) {}
    ~Sender() override { ++m_destroyed; }

private:
    std::atomic<int>& m_destroyed;
};

std::size_t countSeen(const ScriptedRecorder& recorder, std::uint16_t id) {
    return static_cast<std::size_t>(std::count_if(recorder.seen().begin(), recorder.seen().end(),
                                                  [id](const auto& m) { return m.id() == id; }));
}

TEST_F(Talk, OneRequestInTwoSecondsAndNoneWithoutASoundDevice) {
    ASSERT_TRUE(startSession());
    login();
    m_session->talk().toggleTalk();
    EXPECT_EQ(countSeen(m_recorder, MessageId::A_LISTEN_REQ), 0u);

    m_session->talk().setSoundDeviceAvailable(true);
    m_session->talk().toggleTalk();
    m_session->talk().toggleTalk(); // too soon: nothing
    sync();
    // A marker behind whatever the session sent.
    m_session->send(makeHeader(MessageId::DVR_TIME_REQ));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::DVR_TIME_REQ));
    EXPECT_EQ(countSeen(m_recorder, MessageId::A_LISTEN_REQ), 1u);
}

TEST_F(Talk, OnlyTheFirstAccountMayTalk) {
    ASSERT_TRUE(startSession());
    HelloRecord hello = servedHello();
    hello.account = 2;
    login(hello);
    m_session->talk().setSoundDeviceAvailable(true);
    m_session->talk().toggleTalk();
    sync();
    // A marker behind whatever the session sent.
    m_session->send(makeHeader(MessageId::DVR_TIME_REQ));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::DVR_TIME_REQ));
    EXPECT_EQ(countSeen(m_recorder, MessageId::A_LISTEN_REQ), 0u);
    EXPECT_TRUE(m_events.hasNotification({15, 0}));
}

TEST_F(Talk, AcceptanceThenStopSendsTheStopAndDropsTheSender) {
    ASSERT_TRUE(startSession());
    login();
    m_session->talk().setSoundDeviceAvailable(true);
    m_recorder.send(MessageId::A_LISTEN_ACK);
    sync();
    EXPECT_TRUE(m_events.has(WindowMessage::ListenAccepted));

    std::atomic<int> destroyed{0};
    m_session->talk().adoptSender(std::make_unique<Sender>(destroyed));
    EXPECT_TRUE(m_session->listenOn());
    TalkPacket packet = encodeTalkPacket(std::vector<std::byte>(512, std::byte{0x42}));
    m_session->talk().sendPacket(packet);
    const auto talk = m_recorder.readUntil(MessageId::A_TALK_DATA);
    ASSERT_TRUE(talk);
    EXPECT_EQ(talk->header.code, 0x8980);
    EXPECT_EQ(talk->header.fragmentFlags, 0x4000);
    EXPECT_EQ(talk->payload.size(), 2048u);
    EXPECT_TRUE(std::all_of(talk->payload.begin(), talk->payload.begin() + 1536,
                            [](std::byte b) { return b == std::byte{0}; }));
    EXPECT_EQ(talk->payload[1536], std::byte{0x42});

    // Mike pressed again: the stop request, the sender goes, Mike shows released.
    m_session->talk().toggleTalk();
    EXPECT_TRUE(m_recorder.readUntil(MessageId::A_LISTEN_STOP_REQ));
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(m_session->listenOn());
    sync();
    EXPECT_EQ(m_events.last(WindowMessage::MikeButton)->wParam,
              std::uintptr_t(ButtonLook::Released));
}

TEST_F(Talk, RefusalsThatEndTalkingPostTheEndBeforeTheNotification) {
    ASSERT_TRUE(startSession());
    login();
    struct Case {
        std::int32_t code;
        bool ends;
        Notification notification;
    };
    const Case cases[] = {{1, false, {6, 0}},   {2, true, {6, 1}},   {53, true, {6, 4}},
                          {54, false, {12, 0}}, {55, true, {12, 1}}, {98, true, {6, 6}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::size_t from = m_events.messages().size();
        m_recorder.send(MessageId::A_LISTEN_NACK, be32Bytes(static_cast<std::uint32_t>(c.code)));
        sync();
        const std::vector<PostedMessage> messages(m_events.messages().begin() +
                                                      static_cast<std::ptrdiff_t>(from),
                                                  m_events.messages().end());
        const auto end = std::find_if(messages.begin(), messages.end(), [](const auto& m) {
            return m.message == WindowMessage::ListenEnded;
        });
        const auto note = std::find_if(messages.begin(), messages.end(), [](const auto& m) {
            return m.message == WindowMessage::Notification;
        });
        ASSERT_NE(note, messages.end());
        EXPECT_EQ(Notification::fromLParam(static_cast<std::uint32_t>(note->lParam)),
                  c.notification);
        EXPECT_EQ(end != messages.end(), c.ends);
        if (c.ends) {
            EXPECT_LT(end, note);
        }
    }
    // A code no table lists: no notification, no end.
    const std::size_t notes = m_events.notifications().size();
    const std::size_t ends = m_events.count(WindowMessage::ListenEnded);
    m_recorder.send(MessageId::A_LISTEN_NACK, be32Bytes(7));
    sync();
    EXPECT_EQ(m_events.notifications().size(), notes);
    EXPECT_EQ(m_events.count(WindowMessage::ListenEnded), ends);
    EXPECT_TRUE(m_session->loggedIn());
}

TEST_F(Talk, DisconnectDestroysTheSender) {
    ASSERT_TRUE(startSession());
    login();
    std::atomic<int> destroyed{0};
    m_session->talk().adoptSender(std::make_unique<Sender>(destroyed));
    m_session->disconnect();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(m_session->listenOn());
}

} // namespace
} // namespace kalder::test
