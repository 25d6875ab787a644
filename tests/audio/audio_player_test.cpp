// The audio player against a playback device of the test's own: chunking, the start after four
// chunks, underruns, discarding and the bounds of what the network can pile up.
#include "audio/audio_player.h"
#include "audio/audio_player_factory.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder {
namespace {

using test::waitUntil;

// Keeps what it is given; each write takes a moment, as a sound server's would.
struct DeviceLog {
    std::mutex mutex;
    std::vector<std::byte> written;
    int resets = 0;
    std::vector<std::byte> snapshot() {
        std::lock_guard lock(mutex);
        return written;
    }
};

class FakeDevice final : public PlaybackDevice {
public:
    explicit FakeDevice(DeviceLog& log) : m_log(log) {}
    bool write(std::span<const std::byte> bytes) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(m_log.mutex);
        m_log.written.insert(m_log.written.end(), bytes.begin(), bytes.end());
        return true;
    }
    void reset() override {
        std::lock_guard lock(m_log.mutex);
        ++m_log.resets;
    }

private:
    DeviceLog& m_log;
};

std::vector<std::byte> element(int value) {
    return std::vector<std::byte>(kAudioElementSize, std::byte(value));
}

TEST(AudioPlayer, PlaysChunksInOrderOnlyOnceFourWaitThenSilence) {
    DeviceLog log;
    auto counts = std::make_shared<AudioPlayerCounts>();
    {
        AudioPlayer player(2, std::make_unique<FakeDevice>(log), counts);
        for (int k = 1; k <= 6; ++k)
            player.enqueueAudio(element(k));
        // Three chunks of two elements wait: nothing plays yet.
        ASSERT_TRUE(waitUntil([&] { return player.waitingChunks() == 3; }));
        EXPECT_TRUE(log.snapshot().empty());

        player.enqueueAudio(element(7));
        player.enqueueAudio(element(8));
        // The fourth chunk starts the output: all four, then silence buffers. The counts are
        // taken once a buffer has gone to the device whole, so two silent buffers counted mean
        // six buffers written, however fast the device takes them.
        ASSERT_TRUE(waitUntil([&] { return counts->underruns >= 2; }));
        const std::vector<std::byte> played = log.snapshot();
        ASSERT_GE(played.size(), 6u * 1024u);
        for (int k = 1; k <= 8; ++k) {
            SCOPED_TRACE(k);
            const auto begin = played.begin() + (k - 1) * 512;
            EXPECT_TRUE(
                std::all_of(begin, begin + 512, [k](std::byte b) { return b == std::byte(k); }));
        }
        // Silence is mu-law silence (0xFF), never zero bytes, which would be full negative swing.
        EXPECT_TRUE(std::all_of(played.begin() + 8 * 512, played.begin() + 6 * 1024,
                                [](std::byte b) { return b == std::byte{0xFF}; }));
        EXPECT_EQ(counts->chunks, 4u);
    }
    // Destroyed: the output stopped and the stream was reset.
    EXPECT_GE(log.resets, 1);
    EXPECT_EQ(counts->bytes, log.snapshot().size());
}

TEST(AudioPlayer, ChunksFollowTheBufferMultiple) {
    DeviceLog log;
    AudioPlayer player(5, std::make_unique<FakeDevice>(log));
    EXPECT_EQ(player.chunkBytes(), 5u * 512u);
    for (int k = 0; k < 9; ++k)
        player.enqueueAudio(element(k));
    // Nine elements make one chunk of five and leave four in the chunk buffer.
    ASSERT_TRUE(waitUntil([&] { return player.queuedBuffers() == 0; }));
    ASSERT_TRUE(waitUntil([&] { return player.waitingChunks() == 1; }));
}

TEST(AudioPlayer, DiscardingDropsEverythingAndAShortElementIsPadded) {
    DeviceLog log;
    AudioPlayer player(1, std::make_unique<FakeDevice>(log));
    player.setDiscardAll(true);
    for (int k = 0; k < 10; ++k)
        player.enqueueAudio(element(k));
    EXPECT_EQ(player.queuedBuffers(), 0u);
    player.setDiscardAll(false);
    for (int k = 0; k < 3; ++k)
        player.enqueueAudio(element(k));
    player.enqueueAudio(std::vector<std::byte>(100, std::byte{0x33}));
    ASSERT_TRUE(waitUntil([&] { return log.snapshot().size() >= 4 * 512; }));
    const auto played = log.snapshot();
    EXPECT_EQ(played[3 * 512 + 99], std::byte{0x33});
    EXPECT_EQ(played[3 * 512 + 100], std::byte{0xFF});
}

TEST(AudioPlayer, FlushDropsWhatIsHeldAndLaterSoundStillPlays) {
    DeviceLog log;
    AudioPlayer player(1, std::make_unique<FakeDevice>(log));
    for (int k = 0; k < 6; ++k)
        player.enqueueAudio(element(0x10 + k));
    ASSERT_TRUE(waitUntil([&] { return !log.snapshot().empty(); }));
    player.flush();
    EXPECT_EQ(player.queuedBuffers(), 0u);
    EXPECT_EQ(player.waitingChunks(), 0u);
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(log.mutex);
        return log.resets > 0;
    }));
    // Sound after the flush is heard: four new chunks restart nothing (the output still runs)
    // and reach the device.
    for (int k = 0; k < 4; ++k)
        player.enqueueAudio(element(0x60));
    ASSERT_TRUE(waitUntil([&] {
        const auto played = log.snapshot();
        return std::count(played.begin(), played.end(), std::byte{0x60}) >= 512;
    }));
}

TEST(AudioPlayer, WithoutAStreamNothingFeedsAndTheQueueStaysBounded) {
    AudioPlayer player(2, nullptr);
    EXPECT_FALSE(player.feeding());
    for (std::size_t k = 0; k < AudioPlayer::kMaxQueuedElements + 10; ++k)
        player.enqueueAudio(element(1));
    EXPECT_EQ(player.queuedBuffers(), AudioPlayer::kMaxQueuedElements);
    // Nothing will drain it: the wait returns at once instead of hanging the stop order.
    player.waitUntilDrained();
}

TEST(AudioPlayerFactory, EachKindTakesItsBufferMultiple) {
    std::vector<std::size_t> opened;
    AudioPlayerFactory factory([&](std::size_t bytes) -> std::unique_ptr<PlaybackDevice> {
        opened.push_back(bytes);
        return nullptr;
    });
    factory.setBufferMultiples({3, 40, 0});
    EXPECT_NE(factory.startPlayer(StreamKind::Live), nullptr);
    factory.startPlayer(StreamKind::RemotePlayback);
    factory.startPlayer(StreamKind::LocalPlayback);
    EXPECT_EQ(opened, (std::vector<std::size_t>{3 * 512, 40 * 512, 512}));
}

} // namespace
} // namespace kalder
