#include "net/transport.h"

#include "wire/message_catalogue.h"
#include "net/message_dispatcher.h"
#include "net/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kalder {
namespace {

// A connected pair of stream sockets: `client` is what the code under test uses, `peer` plays
// the recorder with raw bytes.
struct SocketPair {
    MessageSocket client;
    int peer = -1;
    SocketPair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        client.reset(fds[0]);
        peer = fds[1];
    }
    ~SocketPair() {
        if (peer >= 0)
            ::close(peer);
    }
    void peerWrite(std::span<const std::byte> bytes) const {
        ASSERT_EQ(::write(peer, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void peerSend(const MessageHeader& h, std::span<const std::byte> payload = {}) const {
        peerWrite(encodeHeader(h));
        if (!payload.empty())
            peerWrite(payload);
    }
    std::vector<std::byte> peerRead(std::size_t count) const {
        std::vector<std::byte> bytes(count);
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::read(peer, bytes.data() + got, count - got);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        bytes.resize(got);
        return bytes;
    }
};

std::vector<std::byte> be32(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte(v >> 16), std::byte(v >> 8), std::byte(v)};
}

TEST(Transport, SendMessageWritesHeaderAndPayloadTogether) {
    SocketPair s;
    const auto payload = be32(0x0000FFFF);
    sendMessage(s.client, makeHeader(MessageId::LIVE_REQ, 4), payload);
    sendMessage(s.client, makeHeader(MessageId::BYE48));
    const auto bytes = s.peerRead(16 + 4 + 16);
    ASSERT_EQ(bytes.size(), 36u);
    EXPECT_EQ(decodeHeader(std::span<const std::byte, 16>(bytes.data(), 16)),
              makeHeader(MessageId::LIVE_REQ, 4));
    EXPECT_EQ(std::to_integer<int>(bytes[18]), 0xFF);
    EXPECT_EQ(decodeHeader(std::span<const std::byte, 16>(bytes.data() + 20, 16)),
              makeHeader(MessageId::BYE48));
}

TEST(Transport, MessagesFromManyThreadsNeverInterleave) {
    SocketPair s;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    constexpr std::size_t kPayload = 60000; // larger than a socket buffer: sends go in pieces
    std::vector<std::jthread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&s, t] {
            std::vector<std::byte> payload(kPayload, std::byte(t + 1));
            for (int i = 0; i < kPerThread / 20; ++i)
                sendMessage(s.client, makeHeader(MessageId::A_TALK_DATA, kPayload), payload);
        });
    }
    for (int m = 0; m < kThreads * kPerThread / 20; ++m) {
        const auto head = s.peerRead(16);
        ASSERT_EQ(head.size(), 16u);
        const MessageHeader h = decodeHeader(std::span<const std::byte, 16>(head.data(), 16));
        ASSERT_EQ(h.payloadLength, kPayload);
        const auto body = s.peerRead(kPayload);
        ASSERT_EQ(body.size(), kPayload);
        for (std::byte b : body)
            ASSERT_EQ(b, body[0]) << "message " << m << " was interleaved";
    }
}

TEST(Transport, MessageSplitAcrossSmallWritesArrivesWhole) {
    SocketPair s;
    std::vector<std::byte> message;
    const auto head = encodeHeader(makeHeader(MessageId::DB_CHANGE, 596));
    message.insert(message.end(), head.begin(), head.end());
    for (int i = 0; i < 596; ++i)
        message.push_back(std::byte(i & 0xFF));
    std::jthread writer([&] {
        for (std::size_t i = 0; i < message.size(); i += 7) {
            const std::size_t n = std::min<std::size_t>(7, message.size() - i);
            s.peerWrite(std::span(message).subspan(i, n));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    MessageHeader h;
    ASSERT_TRUE(receiveHeader(s.client, h));
    EXPECT_EQ(h.messageId(), MessageId::DB_CHANGE);
    std::vector<std::byte> payload(h.payloadLength);
    ASSERT_TRUE(LoopReceive(s.client, payload));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), message.begin() + 16));
}

class FrozenClock : public ReceiveClock {
public:
    std::chrono::steady_clock::time_point now() const override { return {}; }
};

TEST(Transport, PeerClosingMidMessageFailsAtOnce) {
    SocketPair s;
    const auto head = encodeHeader(makeHeader(MessageId::LIVE_DATA, 100));
    s.peerWrite(std::span(head).first(10));
    ::close(s.peer);
    s.peer = -1;
    // With a clock that never advances the 180-s limit can never end the call: only noticing
    // the close does.
    FrozenClock frozen;
    s.client.setClock(&frozen);
    MessageHeader h;
    EXPECT_FALSE(receiveHeader(s.client, h));
}

// A clock that jumps a minute every time it is read: a stalled peer reaches the limit at once.
class JumpingClock : public ReceiveClock {
public:
    std::chrono::steady_clock::time_point now() const override {
        m_now += std::chrono::seconds(60);
        ++m_reads;
        return m_now;
    }
    mutable std::chrono::steady_clock::time_point m_now{};
    mutable int m_reads = 0;
};

TEST(Transport, StalledPeerFailsAtTheWholeCallLimit) {
    SocketPair s;
    JumpingClock clock;
    s.client.setClock(&clock);
    const auto head = encodeHeader(makeHeader(MessageId::LIVE_DATA, 100));
    s.peerWrite(std::span(head).first(5));
    MessageHeader h;
    EXPECT_FALSE(receiveHeader(s.client, h));
    // Start, then 60, 120 (still waiting), then 180: the limit is reached on the fourth read.
    EXPECT_EQ(clock.m_reads, 4);
}

TEST(Transport, StopFlagEndsAWaitingReceive) {
    SocketPair s;
    std::atomic<bool> stop{false};
    s.client.setStopFlag(&stop);
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop = true;
    });
    MessageHeader h;
    EXPECT_FALSE(receiveHeader(s.client, h));
}

TEST(Transport, ReadNackCodeResults) {
    SocketPair s;
    // Empty payload: -100, nothing read.
    EXPECT_EQ(readNackCode(s.client, makeHeader(MessageId::LIVE_NACK, 0)), kNackEmpty);

    // Twelve bytes with and without a detail area.
    std::vector<std::byte> twelve = be32(87);
    for (auto w : {be32(5), be32(6)})
        twelve.insert(twelve.end(), w.begin(), w.end());
    s.peerWrite(twelve);
    std::array<std::uint32_t, 2> detail{};
    EXPECT_EQ(readNackCode(s.client, makeHeader(MessageId::TRANS_ON_NACK, 12), &detail), 87);
    EXPECT_EQ(detail[0], 5u);
    EXPECT_EQ(detail[1], 6u);
    s.peerWrite(twelve);
    EXPECT_EQ(readNackCode(s.client, makeHeader(MessageId::TRANS_ON_NACK, 12)), 87);

    // Two bytes: the missing two are zero.
    const std::byte two[] = {std::byte{0x00}, std::byte{0x01}};
    s.peerWrite(two);
    EXPECT_EQ(readNackCode(s.client, makeHeader(MessageId::LIVE_NACK, 2)), 0x00010000);

    // A failed read: -99.
    ::close(s.peer);
    s.peer = -1;
    EXPECT_EQ(readNackCode(s.client, makeHeader(MessageId::LIVE_NACK, 4)), kNackReadFailed);
}

TEST(Dispatcher, UnknownIdsAreConsumedAndTraced) {
    SocketPair s;
    std::vector<std::string> traces;
    setTraceSink([&](std::string_view text) { traces.emplace_back(text); });
    MessageDispatcher dispatcher(s.client);
    std::vector<std::uint16_t> handled;
    dispatcher.setHandler(MessageId::LIVE_CHANNEL_INFO, [&](const MessageHeader& h) {
        std::array<std::byte, 4> word;
        handled.push_back(h.messageId());
        return LoopReceive(s.client, word);
    });
    dispatcher.setEmptyReplyHandler(MessageId::LIVE_STOP_ACK, [&](const MessageHeader& h) {
        handled.push_back(h.messageId());
    });

    const std::vector<std::byte> junk(300, std::byte{0xAB});
    s.peerSend(makeHeader(99, 300), junk); // no handler: traced, dropped
    MessageHeader alive;
    alive.code = 0xFFFF; // id 511 with low bits set
    alive.payloadLength = 3;
    s.peerSend(alive, std::span(junk).first(3)); // dropped silently
    s.peerSend(makeHeader(MessageId::LIVE_STOP_ACK, 5), std::span(junk).first(5));
    s.peerSend(makeHeader(MessageId::LIVE_CHANNEL_INFO, 4), be32(0x0001000F));

    for (int i = 0; i < 4; ++i) {
        MessageHeader h;
        ASSERT_TRUE(receiveHeader(s.client, h));
        ASSERT_TRUE(dispatcher.dispatch(h));
    }
    EXPECT_EQ(handled,
              (std::vector<std::uint16_t>{MessageId::LIVE_STOP_ACK, MessageId::LIVE_CHANNEL_INFO}));
    // Each message is traced as it arrives; only the unknown id is also named unknown, and the
    // recorder's own keep-alive is not.
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "Unknown message...0x63\n"), 1);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "<- LIVE_STOP_ACK (21) 5 bytes\n"), 1);
    EXPECT_EQ(traces.size(), 5u);
    setTraceSink(nullptr);
}

TEST(Dispatcher, HandlerFailureEndsTheConnection) {
    SocketPair s;
    MessageDispatcher dispatcher(s.client);
    dispatcher.setHandler(MessageId::DB_CHANGE, [](const MessageHeader&) { return false; });
    EXPECT_FALSE(dispatcher.dispatch(makeHeader(MessageId::DB_CHANGE, 0)));
    // Unknown id whose payload cannot be read: false.
    ::close(s.peer);
    s.peer = -1;
    EXPECT_FALSE(dispatcher.dispatch(makeHeader(200, 10)));
}

} // namespace
} // namespace kalder
