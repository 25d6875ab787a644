// The simulator's recorder log: every kind and sub-kind, both layouts, fragments, refusals.
#include "net/reply_assembler.h"
#include "wire/log_records.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "sim/recorder_log.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace kalder::sim {
namespace {

// Splits the answer's messages and reassembles them as the client does.
std::pair<std::size_t, ReplyAssembler::Step> reassemble(const std::vector<std::byte>& wire,
                                                        ReplyAssembler& assembler) {
    std::size_t messages = 0;
    ReplyAssembler::Step step = ReplyAssembler::Step::NeedMore;
    std::size_t pos = 0;
    while (pos + kHeaderSize <= wire.size()) {
        const MessageHeader h =
            decodeHeader(std::span<const std::byte, kHeaderSize>(wire.data() + pos, kHeaderSize));
        EXPECT_EQ(h.messageId(), MessageId::LOG_INFO_ACK);
        pos += kHeaderSize;
        step = assembler.append(std::span(wire).subspan(pos, h.payloadLength), h.lastFragment());
        pos += h.payloadLength;
        ++messages;
    }
    EXPECT_EQ(pos, wire.size());
    return {messages, step};
}

TEST(SimRecorderLog, CoversEveryKindAndSubKindInSeveralFragments) {
    SimConfig config = defaultConfig();
    config.logFragmentBytes = 1001; // cuts records in odd places
    const LogAnswer answer = answerLogRequest(config, 1800000000);
    ASSERT_FALSE(answer.refusal);
    ReplyAssembler assembler;
    const auto [messages, step] = reassemble(answer.wire, assembler);
    EXPECT_EQ(step, ReplyAssembler::Step::Complete);
    EXPECT_GT(messages, 100u);
    const LogReply reply = decodeLogReply(assembler.bytes());
    EXPECT_EQ(assembler.fill(), 3000u * 200u);
    ASSERT_EQ(reply.records.size(), 2500u); // the client keeps the first 2,500
    EXPECT_EQ(reply.records.front().sequence, 1u);
    std::set<std::pair<std::uint32_t, int>> seen;
    std::set<int> profiles;
    bool zeroKind = false;
    for (const LogRecord& r : reply.records) {
        zeroKind |= r.kindBits == 0;
        seen.insert({r.kindBits, lowestBit(r.subKindBits)});
        if (r.kindBits == LogKind::Operation && r.subKindBits == 1u << 17)
            profiles.insert(r.oldValue[0]);
    }
    EXPECT_TRUE(zeroKind);
    EXPECT_EQ(seen.size(), 3u + 5u + 18u + 8u + 5u + 1u);
    EXPECT_EQ(profiles, (std::set<int>{0, 1, 2, 3, 4, 5, 0x80}));
}

TEST(SimRecorderLog, ShortLayoutAndRefusal) {
    SimConfig config = defaultConfig();
    config.logRecordSize = 184;
    config.logRecords = 50;
    const LogAnswer answer = answerLogRequest(config, 1800000000);
    ReplyAssembler assembler;
    reassemble(answer.wire, assembler);
    EXPECT_EQ(assembler.fill(), 50u * 184u);
    const LogReply reply = decodeLogReply(assembler.bytes());
    ASSERT_EQ(reply.records.size(), 50u);
    for (const LogRecord& r : reply.records)
        EXPECT_EQ(r.extra, decltype(r.extra){});

    // A log of events only, besides the kind-less entries.
    config.logKinds = LogKind::Event;
    for (const LogRecord& r : buildRecorderLog(config, 1800000000))
        EXPECT_TRUE(r.kindBits == LogKind::Event || r.kindBits == 0);
    config.logKinds = 0;
    for (const LogRecord& r : buildRecorderLog(config, 1800000000))
        EXPECT_EQ(r.kindBits, 0u);

    config.logRefusal = 83;
    const LogAnswer refused = answerLogRequest(config, 1800000000);
    EXPECT_EQ(refused.refusal, 83);
    EXPECT_TRUE(refused.wire.empty());
}

} // namespace
} // namespace kalder::sim
