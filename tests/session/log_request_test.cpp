// The log request against a scripted recorder: fragments cut anywhere, refusals, oversize.
#include "session_fixture.h"

#include "wire/log_records.h"

namespace kalder::test {
namespace {

using Logs = SessionFixture;

std::vector<std::byte> logReply(std::size_t count, std::size_t size) {
    std::vector<std::byte> reply;
    for (std::size_t i = 0; i < count; ++i) {
        LogRecord r;
        r.sequence = static_cast<std::uint32_t>(i + 1);
        r.size = static_cast<std::uint32_t>(size);
        r.kindBits = LogKind::Event;
        r.subKindBits = 1;
        r.source = "ADMIN";
        const auto one = encodeLogRecord(r, size);
        reply.insert(reply.end(), one.begin(), one.end());
    }
    return reply;
}

// Sends `reply` as LOG_INFO_ACK messages of the given payload sizes, in turn, the last flagged.
void sendInPieces(ScriptedRecorder& recorder, const std::vector<std::byte>& reply,
                  std::vector<std::size_t> pieces) {
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < reply.size(); ++i) {
        const std::size_t n = std::min(pieces[i % pieces.size()], reply.size() - pos);
        const bool last = pos + n == reply.size();
        recorder.send(MessageId::LOG_INFO_ACK, std::span(reply).subspan(pos, n),
                      last ? kFragmentLast : 0);
        pos += n;
    }
}

TEST_F(Logs, ReplyCutInOddPlacesIsDecodedWhole) {
    ASSERT_TRUE(startSession());
    login();
    m_session->logs().request();
    EXPECT_TRUE(m_session->logs().requestPending());
    ASSERT_TRUE(m_recorder.readUntil(MessageId::LOG_INFO_REQ));
    // Pieces that cut the size field, the text and the record boundaries; one empty fragment.
    sendInPieces(m_recorder, logReply(40, 200), {5, 0, 199, 1, 333, 7});
    ASSERT_TRUE(
        waitUntil([&] { return m_events.last(WindowMessage::LogReplyComplete).has_value(); }));
    EXPECT_EQ(m_events.last(WindowMessage::LogReplyComplete)->wParam,
              std::uintptr_t(LogReplyResult::Decoded));
    EXPECT_FALSE(m_session->logs().requestPending());
    ASSERT_TRUE(m_session->logs().fetched());
    const auto records = m_session->logs().records();
    ASSERT_EQ(records.size(), 40u);
    EXPECT_EQ(records[39].sequence, 40u);
    EXPECT_EQ(records[17].source, "ADMIN");
}

TEST_F(Logs, UnknownSizeAndOversizeAreRefusedAndKeepTheEarlierLog) {
    ASSERT_TRUE(startSession());
    login();
    m_session->logs().request();
    sendInPieces(m_recorder, logReply(3, 184), {1000});
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::LogReplyComplete) == 1; }));
    ASSERT_EQ(m_session->logs().records().size(), 3u);

    // A first record that announces 64 bytes.
    auto bad = logReply(10, 200);
    bad[7] = std::byte{64};
    m_session->logs().request();
    sendInPieces(m_recorder, bad, {900});
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::LogReplyComplete) == 2; }));
    EXPECT_EQ(m_events.last(WindowMessage::LogReplyComplete)->wParam,
              std::uintptr_t(LogReplyResult::BadSize));
    EXPECT_EQ(m_session->logs().records().size(), 3u);

    // 2,400,001 bytes: more than the reply buffer holds.
    m_session->logs().request();
    std::vector<std::byte> huge(ReplyAssembler::kCapacity + 1);
    sendInPieces(m_recorder, huge, {65535});
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::LogReplyComplete) == 3; },
                          std::chrono::seconds(20)));
    EXPECT_EQ(m_events.last(WindowMessage::LogReplyComplete)->wParam,
              std::uintptr_t(LogReplyResult::TooLarge));
    EXPECT_EQ(m_session->logs().records().size(), 3u);
    EXPECT_TRUE(m_session->receiving());
}

TEST_F(Logs, RefusalNotifiesByReasonAndClosesTheRequestWindow) {
    ASSERT_TRUE(startSession());
    login();
    const std::pair<std::int32_t, std::optional<Notification>> cases[] = {
        {1, Notification{6, 0}}, {83, Notification{4, 0}}, {86, Notification{6, 3}}, {5, {}}};
    std::size_t closes = 0;
    for (const auto& [reason, expected] : cases) {
        m_session->logs().request();
        const std::size_t before = m_events.notifications().size();
        const std::uint32_t code = static_cast<std::uint32_t>(reason);
        const std::byte payload[4] = {std::byte(code >> 24), std::byte(code >> 16),
                                      std::byte(code >> 8), std::byte(code)};
        m_recorder.send(MessageId::LOG_INFO_NACK, payload);
        sync();
        ++closes;
        std::size_t seen = 0;
        for (const auto& m : m_events.messages())
            seen += m.message == WindowMessage::CloseWindow &&
                    m.wParam == std::uintptr_t(CloseTarget::RequestWindow);
        EXPECT_EQ(seen, closes) << reason;
        const auto all = m_events.notifications();
        if (expected) {
            ASSERT_EQ(all.size(), before + 1) << reason;
            EXPECT_EQ(all.back(), *expected);
        } else {
            EXPECT_EQ(all.size(), before) << reason;
        }
        EXPECT_FALSE(m_session->logs().requestPending());
    }
    EXPECT_FALSE(m_session->logs().fetched());

    // Replies and refusals nobody asked for change nothing and post nothing.
    const std::size_t posted = m_events.messages().size();
    const std::byte code[4] = {std::byte{0}, std::byte{0}, std::byte{0}, std::byte{1}};
    m_recorder.send(MessageId::LOG_INFO_NACK, code);
    const auto reply = logReply(2, 184);
    m_recorder.send(MessageId::LOG_INFO_ACK, reply, kFragmentLast);
    sync();
    EXPECT_EQ(m_events.messages().size(), posted + 1); // the sync marker only
    EXPECT_FALSE(m_session->logs().fetched());
}

} // namespace
} // namespace kalder::test
