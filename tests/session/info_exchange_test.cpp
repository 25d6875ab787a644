// The status information exchange against a scripted recorder: pieces collected whole for a
// request, unasked pieces dropped, refusals.
#include "session_fixture.h"

#include "wire/status_info_record.h"

namespace kalder::test {
namespace {

using InfoExchangeTest = SessionFixture;

std::vector<std::byte> be32Bytes(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte(v >> 16), std::byte(v >> 8), std::byte(v)};
}

TEST_F(InfoExchangeTest, ARequestCollectsItsPiecesAndUnaskedOnesAreDropped) {
    ASSERT_TRUE(startSession());
    login();
    StatusInfoRecord record;
    record.rec_channel_mask = 0x00FF;
    record.disk_size_mb = 5000;
    record.diskDetails = true;
    record.disk_present = {1, 1, 1, 1};
    const std::vector<std::byte> payload = encodeStatusInfo(record);

    // Nobody asked: read and dropped, nothing posted; the connection goes on.
    m_recorder.send(MessageId::STATUS_INFO_ACK, payload, kFragmentLast);
    m_recorder.send(MessageId::SYSTEM_INFO_ACK, payload, kFragmentLast);
    sync();
    EXPECT_FALSE(m_events.has(WindowMessage::StatusInfoReady));

    m_session->info().requestStatus();
    ASSERT_TRUE(m_recorder.readUntil(MessageId::STATUS_INFO_REQ));
    EXPECT_TRUE(m_session->info().statusPending());
    const std::span<const std::byte> bytes(payload);
    m_recorder.send(MessageId::STATUS_INFO_ACK, bytes.first(10));
    m_recorder.send(MessageId::STATUS_INFO_ACK, bytes.subspan(10, 10));
    sync();
    EXPECT_FALSE(m_events.has(WindowMessage::StatusInfoReady)) << "not before the last piece";
    m_recorder.send(MessageId::STATUS_INFO_ACK, bytes.subspan(20), kFragmentLast);
    sync();
    const auto ready = m_events.last(WindowMessage::StatusInfoReady);
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->wParam, std::uintptr_t(InfoExchange::kReplyReady));
    EXPECT_FALSE(m_session->info().statusPending());
    const auto reply = m_session->info().takeStatusReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, payload);
    EXPECT_FALSE(m_session->info().takeStatusReply()) << "taken once";
}

TEST_F(InfoExchangeTest, RefusalsNotifyAndCloseTheRequestingWindow) {
    ASSERT_TRUE(startSession());
    login();
    m_session->info().requestStatus();
    ASSERT_TRUE(m_recorder.readUntil(MessageId::STATUS_INFO_REQ));
    m_recorder.send(MessageId::STATUS_INFO_NACK, be32Bytes(86));
    sync();
    EXPECT_TRUE(m_events.hasNotification({6, 3}));
    const auto ready = m_events.last(WindowMessage::StatusInfoReady);
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->wParam, std::uintptr_t(InfoExchange::kReplyRefused));
    const auto close = m_events.last(WindowMessage::CloseWindow);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->wParam, std::uintptr_t(CloseTarget::RequestWindow));
    EXPECT_FALSE(m_session->info().statusPending());

    // A refusal of the system information with no request waiting: notified, nothing else.
    m_recorder.send(MessageId::SYSTEM_INFO_NACK, be32Bytes(1));
    sync();
    EXPECT_TRUE(m_events.hasNotification({6, 0}));
    EXPECT_EQ(m_events.count(WindowMessage::StatusInfoReady), 1u);
    EXPECT_TRUE(m_session->receiving());
}

} // namespace
} // namespace kalder::test
