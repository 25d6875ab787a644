#include "net/transport.h"

#include "wire/message_catalogue.h"
#include "net/message_dispatcher.h"
#include "net/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

// A source that answers from a script: runs of bytes (handed out no faster than the reader asks),
// nothing waiting, interruptions, failures; past the script's end the peer has closed. Counts
// the waits and the pauses it is asked for.
class ScriptedSource : public ReceiveSource {
public:
    struct Step {
        Status status;
        std::vector<std::byte> bytes = {};
    };
    explicit ScriptedSource(std::vector<Step> steps) : m_steps(std::move(steps)) {}

    Taken takeAvailable(std::span<std::byte> buffer) override {
        if (m_next >= m_steps.size())
            return {Status::Closed};
        Step& step = m_steps[m_next];
        if (step.status != Status::Bytes) {
            ++m_next;
            return {step.status};
        }
        const std::size_t n = std::min(buffer.size(), step.bytes.size());
        std::copy_n(step.bytes.begin(), n, buffer.begin());
        step.bytes.erase(step.bytes.begin(), step.bytes.begin() + std::ptrdiff_t(n));
        if (step.bytes.empty())
            ++m_next;
        return {Status::Bytes, n};
    }
    bool waitForBytes(std::chrono::milliseconds slice) override {
        ++waits;
        EXPECT_EQ(slice, std::chrono::milliseconds(100));
        if (onWait)
            onWait();
        return waitSucceeds;
    }
    void pauseAfterDroppedMessage() override { ++pauses; }

    int waits = 0;
    int pauses = 0;
    bool waitSucceeds = true;
    std::function<void()> onWait;

private:
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
};

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(std::byte(v));
    return out;
}

using Status = ReceiveSource::Status;

TEST(ReceiveLoop, FillsTheBufferAcrossPiecesWaitsAndInterruptions) {
    ScriptedSource source({{Status::Bytes, bytes({1, 2})},
                           {Status::None},
                           {Status::Retry},
                           {Status::Bytes, bytes({3})},
                           {Status::None},
                           {Status::Bytes, bytes({4, 5, 6, 7})}});
    FrozenClock frozen;
    source.setClock(&frozen);
    std::array<std::byte, 6> buffer{};
    ASSERT_TRUE(LoopReceive(source, buffer));
    EXPECT_EQ(std::vector(buffer.begin(), buffer.end()), bytes({1, 2, 3, 4, 5, 6}));
    // A wait only where nothing was waiting; an interruption asks again without one.
    EXPECT_EQ(source.waits, 2);
    // The byte beyond the buffer is the next read's.
    std::array<std::byte, 1> next{};
    ASSERT_TRUE(LoopReceive(source, next));
    EXPECT_EQ(next[0], std::byte{7});
    EXPECT_FALSE(LoopReceive(source, next));
}

TEST(ReceiveLoop, AFailedClosedOrUnwaitableSourceEndsTheCallAtOnce) {
    // The frozen clock never reaches the limit: only the source's answer can end each call.
    FrozenClock frozen;
    std::array<std::byte, 4> buffer{};
    ScriptedSource failed({{Status::Bytes, bytes({1})}, {Status::Failed}});
    failed.setClock(&frozen);
    EXPECT_FALSE(LoopReceive(failed, buffer));
    ScriptedSource closed({{Status::Bytes, bytes({1, 2})}});
    closed.setClock(&frozen);
    EXPECT_FALSE(LoopReceive(closed, buffer));
    ScriptedSource unwaitable({{Status::None}, {Status::Bytes, bytes({1, 2, 3, 4})}});
    unwaitable.setClock(&frozen);
    unwaitable.waitSucceeds = false;
    EXPECT_FALSE(LoopReceive(unwaitable, buffer));
    EXPECT_EQ(unwaitable.waits, 1);
}

TEST(ReceiveLoop, ASourceThatNeverDeliversEndsAtTheLimitOrTheStopFlag) {
    std::vector<ScriptedSource::Step> nothing(10, {Status::None});
    std::array<std::byte, 4> buffer{};
    ScriptedSource stalled(nothing);
    JumpingClock clock;
    stalled.setClock(&clock);
    EXPECT_FALSE(LoopReceive(stalled, buffer));
    // Start, 60 and 120 s (a wait after each), then 180 s: the limit.
    EXPECT_EQ(clock.m_reads, 4);
    EXPECT_EQ(stalled.waits, 2);

    ScriptedSource stopped(nothing);
    FrozenClock frozen;
    stopped.setClock(&frozen);
    std::atomic<bool> stop{false};
    stopped.setStopFlag(&stop);
    stopped.onWait = [&] { stop = true; };
    EXPECT_FALSE(LoopReceive(stopped, buffer));
    EXPECT_EQ(stopped.waits, 1);
}

// A clock that moves one second each time it is read.
class SecondsClock : public ReceiveClock {
public:
    std::chrono::steady_clock::time_point now() const override {
        m_now += std::chrono::seconds(1);
        return m_now;
    }
    mutable std::chrono::steady_clock::time_point m_now{};
};

TEST(ReceiveLoop, TheSilenceLimitEndsAMessageThatStopsHalfWayButNotOneThatTrickles) {
    std::array<std::byte, 4> buffer{};
    // Two bytes, then nothing: given up three seconds after the last byte, long before the
    // whole-call limit, and the source says why.
    std::vector<ScriptedSource::Step> halfWay{{Status::Bytes, bytes({1, 2})}};
    halfWay.resize(20, {Status::None});
    ScriptedSource stalled(halfWay);
    SecondsClock clock;
    stalled.setClock(&clock);
    stalled.setSilenceLimit(std::chrono::seconds(3));
    EXPECT_FALSE(LoopReceive(stalled, buffer));
    EXPECT_TRUE(stalled.fellSilent());
    EXPECT_EQ(stalled.waits, 2);

    // A byte every two seconds never falls silent; the message is read whole.
    ScriptedSource trickle({{Status::Bytes, bytes({1})},
                            {Status::None},
                            {Status::Bytes, bytes({2})},
                            {Status::None},
                            {Status::Bytes, bytes({3})},
                            {Status::None},
                            {Status::Bytes, bytes({4})}});
    SecondsClock slow;
    trickle.setClock(&slow);
    trickle.setSilenceLimit(std::chrono::seconds(3));
    EXPECT_TRUE(LoopReceive(trickle, buffer));
    EXPECT_FALSE(trickle.fellSilent());

    // Without a limit, silence ends nothing: the call goes on until the source closes.
    ScriptedSource unlimited(halfWay);
    SecondsClock other;
    unlimited.setClock(&other);
    EXPECT_FALSE(LoopReceive(unlimited, buffer));
    EXPECT_FALSE(unlimited.fellSilent());
}

// The receive path over bytes in memory (what the fuzz target feeds): the same messages as on a
// socket, an unknown one dropped whole without the socket's pause, and the end of the bytes read
// as the peer's close.
TEST(ReceiveLoop, TheDispatcherReadsMessagesFromMemory) {
    std::vector<std::byte> wire;
    const auto append = [&wire](const MessageHeader& h, std::span<const std::byte> payload) {
        const auto head = encodeHeader(h);
        wire.insert(wire.end(), head.begin(), head.end());
        wire.insert(wire.end(), payload.begin(), payload.end());
    };
    const std::vector<std::byte> junk(5000, std::byte{0xAB}); // more than one discard piece
    append(makeHeader(99, 5000), junk);
    append(makeHeader(MessageId::LIVE_CHANNEL_INFO, 4), be32(0x0001000F));
    append(makeHeader(MessageId::LIVE_NACK, 12), std::span(junk).first(10));

    MemorySource source(wire);
    MessageDispatcher dispatcher(source);
    std::vector<std::byte> info;
    dispatcher.setHandler(MessageId::LIVE_CHANNEL_INFO, [&](const MessageHeader& h) {
        info.resize(h.payloadLength);
        return LoopReceive(source, info);
    });
    dispatcher.setHandler(MessageId::LIVE_NACK, [&](const MessageHeader& h) {
        return readNackCode(source, h) != kNackReadFailed;
    });
    MessageHeader h;
    ASSERT_TRUE(receiveHeader(source, h));
    ASSERT_TRUE(dispatcher.dispatch(h));
    ASSERT_TRUE(receiveHeader(source, h));
    ASSERT_TRUE(dispatcher.dispatch(h));
    EXPECT_EQ(info, be32(0x0001000F));
    // The negative reply's payload ends two bytes short: the read fails, as when the recorder
    // closes in the middle of it.
    ASSERT_TRUE(receiveHeader(source, h));
    EXPECT_FALSE(dispatcher.dispatch(h));
    EXPECT_EQ(source.remaining(), 0u);
    EXPECT_FALSE(receiveHeader(source, h));
}

TEST(ReceiveLoop, OnlyADroppedMessagePausesTheSource) {
    ScriptedSource source({{Status::Bytes, bytes({1, 2, 3})}});
    MessageDispatcher dispatcher(source);
    dispatcher.setHandler(MessageId::DB_CHANGE, [&](const MessageHeader& h) {
        std::vector<std::byte> payload(h.payloadLength);
        return LoopReceive(source, payload);
    });
    EXPECT_TRUE(dispatcher.dispatch(makeHeader(MessageId::DB_CHANGE, 1)));
    EXPECT_EQ(source.pauses, 0);
    EXPECT_TRUE(dispatcher.dispatch(makeHeader(300, 2)));
    EXPECT_EQ(source.pauses, 1);
    // A payload that cannot be read ends the connection without a pause.
    EXPECT_FALSE(dispatcher.dispatch(makeHeader(300, 2)));
    EXPECT_EQ(source.pauses, 1);
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
