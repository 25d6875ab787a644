// The remote-setup exchange against a scripted recorder: reassembly, the CRC check, refusals,
// the update and its resend.
#include "session_fixture.h"

#include "session/setup_exchange.h"
#include "wire/config_record.h"

namespace kalder::test {
namespace {

std::vector<std::byte> recordTransfer(std::size_t recordLength) {
    std::vector<std::byte> record(recordLength);
    for (std::size_t i = 0; i < recordLength; ++i)
        record[i] = static_cast<std::byte>((i * 13 + 5) & 0xFF);
    record[0] = std::byte{4};
    record[1] = std::byte{8};
    return sealConfigTransfer(record, recordLength + kConfigCrcSize);
}

std::vector<std::byte> be32(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte(v >> 16), std::byte(v >> 8), std::byte(v)};
}

class SetupExchangeTest : public SessionFixture {
protected:
    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(startSession());
        login();
    }
    SetupExchange& setup() { return m_session->setup(); }
    // The recorder's transfer in pieces of `piece` bytes, the last one flagged.
    void sendTransfer(const std::vector<std::byte>& payload, std::size_t piece) {
        for (std::size_t at = 0; at < payload.size(); at += piece) {
            const std::size_t n = std::min(piece, payload.size() - at);
            const bool last = at + n == payload.size();
            m_recorder.send(MessageId::DB_INFO_ACK, std::span(payload).subspan(at, n),
                            last ? kFragmentLast : 0);
        }
    }
    std::size_t ended(ConfigExchangeEnd how) const {
        std::size_t n = 0;
        for (const auto& m : m_events.messages())
            n += m.message == WindowMessage::ConfigExchangeEnded &&
                 m.wParam == static_cast<std::uintptr_t>(how);
        return n;
    }
    std::size_t countSent(std::uint16_t id) const {
        std::size_t n = 0;
        for (const auto& m : m_recorder.seen())
            n += m.id() == id;
        return n;
    }
};

TEST_F(SetupExchangeTest, PiecesCutAnywhereAreReassembledInOrder) {
    const std::vector<std::byte> payload = recordTransfer(8176);
    std::size_t round = 0;
    for (std::size_t piece : {std::size_t(8180), std::size_t(1), std::size_t(3), std::size_t(2999),
                              std::size_t(4096)}) {
        SCOPED_TRACE(piece);
        ASSERT_TRUE(setup().RequestConfig());
        EXPECT_FALSE(setup().RequestConfig()); // a second press while busy sends nothing
        ASSERT_TRUE(m_recorder.readUntil(MessageId::DB_INFO_REQ));
        sendTransfer(payload, piece);
        ++round;
        ASSERT_TRUE(
            waitUntil([&] { return m_events.count(WindowMessage::ConfigArrived) == round; }));
        EXPECT_EQ(setup().receivedPayload(), payload);
        const auto record = setup().receivedRecord();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->version(), (RecordVersion{4, 8}));
        EXPECT_EQ(setup().receivedLength(), payload.size());
        EXPECT_TRUE(setup().busy()); // editing: still one exchange
        setup().endWithoutUpdate();  // Cancel
        EXPECT_FALSE(setup().busy());
    }
    sync();
    EXPECT_EQ(countSent(MessageId::DB_INFO_REQ), round);
}

TEST_F(SetupExchangeTest, CrcMismatchReportsAndTheNextRequestFetchesAgain) {
    std::vector<std::byte> payload = recordTransfer(6776);
    payload[500] ^= std::byte{0x10};
    ASSERT_TRUE(setup().RequestConfig());
    sendTransfer(payload, 1000);
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({9, 0}); }));
    EXPECT_FALSE(m_events.has(WindowMessage::ConfigArrived));
    EXPECT_EQ(ended(ConfigExchangeEnd::IntegrityFailed), 1u);
    EXPECT_FALSE(setup().busy());
    EXPECT_FALSE(setup().receivedRecord());
    EXPECT_EQ(setup().receivedPayload(), payload); // kept for whoever saves it as it came
    EXPECT_TRUE(setup().RequestConfig());

    // Shorter than its CRC: refused the same way.
    m_recorder.send(MessageId::DB_INFO_ACK, std::span(payload).first(3), kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return ended(ConfigExchangeEnd::IntegrityFailed) == 2; }));
}

// Pieces that would go past the reassembly buffer are never stored; the transfer is refused at
// its last piece. Pieces nobody asked for are read and dropped.
TEST_F(SetupExchangeTest, OversizedAndUnaskedTransfersAreRefused) {
    m_recorder.send(MessageId::DB_INFO_ACK, recordTransfer(100), kFragmentLast);
    sync();
    EXPECT_FALSE(m_events.has(WindowMessage::ConfigExchangeEnded));

    ASSERT_TRUE(setup().RequestConfig());
    const std::vector<std::byte> piece(60000, std::byte{1});
    const std::size_t pieces = SetupExchange::kReassemblyCapacity / piece.size() + 1;
    for (std::size_t i = 0; i < pieces; ++i)
        m_recorder.send(MessageId::DB_INFO_ACK, piece);
    m_recorder.send(MessageId::DB_INFO_ACK, piece, kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return ended(ConfigExchangeEnd::IntegrityFailed) == 1; }));
    EXPECT_TRUE(m_events.hasNotification({9, 0}));
    EXPECT_TRUE(m_session->receiving());

    // A transfer that fits the buffer but not one update message is refused too: it could
    // never be sent back whole.
    ASSERT_TRUE(setup().RequestConfig());
    sendTransfer(recordTransfer(70000), 60000);
    ASSERT_TRUE(waitUntil([&] { return ended(ConfigExchangeEnd::IntegrityFailed) == 2; }));
    EXPECT_FALSE(m_events.has(WindowMessage::ConfigArrived));
}

TEST_F(SetupExchangeTest, FetchRefusalsMapToTheirNotifications) {
    const std::pair<std::int32_t, Notification> cases[] = {
        {1, {6, 0}}, {2, {6, 1}}, {83, {4, 0}}, {86, {6, 3}}};
    std::size_t round = 0;
    for (const auto& [code, notification] : cases) {
        ASSERT_TRUE(setup().RequestConfig());
        m_recorder.send(MessageId::DB48_INFO_NACK, be32(static_cast<std::uint32_t>(code)));
        ++round;
        ASSERT_TRUE(waitUntil([&] { return ended(ConfigExchangeEnd::FetchRefused) == round; }));
        EXPECT_TRUE(m_events.hasNotification(notification)) << code;
        EXPECT_FALSE(setup().busy());
    }
    // Another code: only the end of the exchange, no box.
    const std::size_t boxes = m_events.notifications().size();
    ASSERT_TRUE(setup().RequestConfig());
    m_recorder.send(MessageId::DB48_INFO_NACK, be32(77));
    ASSERT_TRUE(waitUntil([&] { return ended(ConfigExchangeEnd::FetchRefused) == round + 1; }));
    EXPECT_EQ(m_events.notifications().size(), boxes);
    EXPECT_FALSE(setup().busy());
}

TEST_F(SetupExchangeTest, UpdateKeepsTheReceivedLengthAndResendsTheSameBytes) {
    const std::vector<std::byte> payload = recordTransfer(9000); // longer than the working copy
    ASSERT_TRUE(setup().RequestConfig());
    sendTransfer(payload, 4000);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::ConfigArrived); }));
    ConfigRecord copy = *setup().receivedRecord();
    ASSERT_TRUE(copy.setText(configField("camera_title"), 0, "Gate", TextFill::Terminate));
    ASSERT_TRUE(setup().SendConfigUpdate(copy));
    const auto first = m_recorder.readUntil(MessageId::DB_UPDATE_REQ);
    ASSERT_TRUE(first);
    ASSERT_EQ(first->payload.size(), payload.size());
    EXPECT_TRUE(verifyConfigTransfer(first->payload));
    EXPECT_TRUE(std::equal(payload.begin() + 4 + 8176, payload.end(),
                           first->payload.begin() + 4 + 8176)); // the tail as received
    EXPECT_TRUE(setup().busy());

    m_recorder.send(MessageId::DB_UPDATE_NACK, be32(81));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({7, 1}); }));
    EXPECT_FALSE(setup().busy());
    ASSERT_TRUE(setup().resendConfigUpdate());
    const auto second = m_recorder.readUntil(MessageId::DB_UPDATE_REQ);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->payload, first->payload);

    m_recorder.send(MessageId::DB_UPDATE_ACK);
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({10, 0}); }));
    EXPECT_EQ(ended(ConfigExchangeEnd::UpdateAccepted), 1u);
    EXPECT_FALSE(setup().busy());
}

// OK after the connection dropped: nothing is sent and the exchange is over.
TEST_F(SetupExchangeTest, UpdateAfterTheConnectionEndedSendsNothing) {
    ASSERT_TRUE(setup().RequestConfig());
    sendTransfer(recordTransfer(8176), 8180);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::ConfigArrived); }));
    const ConfigRecord copy = *setup().receivedRecord();
    m_recorder.close();
    ASSERT_TRUE(waitUntil([&] { return !m_session->receiving(); }));
    EXPECT_FALSE(setup().SendConfigUpdate(copy));
    EXPECT_FALSE(setup().busy());
    EXPECT_FALSE(setup().resendConfigUpdate());
}

TEST_F(SetupExchangeTest, FactoryResetClosesTheSetupWindow) {
    ASSERT_TRUE(setup().requestFactoryReset());
    ASSERT_TRUE(m_recorder.readUntil(MessageId::DB_INIT_REQ));
    ASSERT_TRUE(waitUntil([&] {
        const auto close = m_events.last(WindowMessage::CloseWindow);
        return close && close->wParam == std::uintptr_t(CloseTarget::RemoteSetup);
    }));
}

} // namespace
} // namespace kalder::test
