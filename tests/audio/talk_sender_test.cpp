// The talk sender: packets in arrival order, the 200-packet list and its oldest-first drop.
#include "audio/talk_sender.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace kalder {
namespace {

using test::waitUntil;

// The connection: keeps the first sound byte of every packet; can hold the sender thread inside
// a send until released.
struct Wire {
    std::mutex mutex;
    std::condition_variable released;
    bool hold = true;
    std::vector<int> sent;
    void send(const TalkPacket& packet) {
        std::unique_lock lock(mutex);
        sent.push_back(std::to_integer<int>(packet[kTalkSoundOffset]));
        released.wait(lock, [this] { return !hold; });
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            hold = false;
        }
        released.notify_all();
    }
    std::vector<int> got() {
        std::lock_guard lock(mutex);
        return sent;
    }
};

std::vector<std::byte> sound(int value) {
    return std::vector<std::byte>(512, std::byte(value));
}

TEST(TalkSender, AFullListDropsTheOldestPacketForEachNewOne) {
    Wire wire;
    {
        TalkSender sender([&](const TalkPacket& p) { wire.send(p); });
        sender.addCaptured(sound(0));
        // The sender thread now sits in the send of packet 0.
        ASSERT_TRUE(waitUntil([&] { return wire.got().size() == 1; }));
        for (int k = 1; k <= 202; ++k)
            sender.addCaptured(sound(k % 256));
        EXPECT_EQ(sender.waitingPackets(), TalkSender::kMaxPackets);
        EXPECT_EQ(sender.packetsDropped(), 2u);
        wire.release();
        // Packets 1 and 2 went: the next one out is packet 3.
        ASSERT_TRUE(waitUntil([&] { return wire.got().size() >= 2; }));
        EXPECT_EQ(wire.got()[1], 3);
    }
    // Destroyed with packets still waiting: they are freed, not sent.
    EXPECT_LT(wire.got().size(), 10u);
}

TEST(TalkSender, PacketsLeaveInArrivalOrder) {
    Wire wire;
    wire.release();
    TalkSender sender([&](const TalkPacket& p) { wire.send(p); });
    for (int k = 1; k <= 3; ++k)
        sender.addCaptured(sound(k));
    ASSERT_TRUE(waitUntil([&] { return sender.packetsSent() == 3; }));
    EXPECT_EQ(wire.got(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(sender.waitingPackets(), 0u);
    // Without a capture device nothing records.
    EXPECT_FALSE(sender.startCapture(nullptr));
}

} // namespace
} // namespace kalder
