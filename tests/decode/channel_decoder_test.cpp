// The decode thread on real H.264 through the decoder module: where a stream may start, what a
// size change, a stream restart and a backlog do, and how the decoders stop.

#include "decode/channel_decoder.h"
#include "decode/picture_layout.h"
#include "recording_target.h"
#include "sim/video_loop.h"
#include "test_clip.h"

#include <gtest/gtest.h>

#include <map>

namespace kalder {
namespace {

using test::makeRecord;
using test::RecordingHost;
using test::RecordingTarget;
using test::waitUntil;

// The simulator's own streams (its scene, its encoder settings), encoded once per size and key
// interval and kept in the test cache.
const std::vector<test::EncodedFrame>& clip(int width, int height, int frames, int keyInterval) {
    static std::map<std::array<int, 4>, std::vector<test::EncodedFrame>> clips;
    auto& entry = clips[{width, height, frames, keyInterval}];
    if (entry.empty()) {
        sim::LoopParams params;
        params.width = static_cast<unsigned>(width);
        params.height = static_cast<unsigned>(height);
        params.keyIntervalFrames = static_cast<unsigned>(keyInterval);
        params.frameCount = static_cast<unsigned>(frames);
        params.title = "decode test";
        bool fromCache = false;
        std::string error;
        const auto loop = sim::obtainVideoLoop(params, std::string(KALDER_TEST_CACHE_DIR) + "/sim",
                                               fromCache, error);
        if (loop) {
            for (const auto& frame : loop->frames) {
                entry.push_back({frame.data, frame.key});
            }
        }
    }
    return entry;
}

class ChannelDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
        ASSERT_TRUE(m_library);
    }

    std::unique_ptr<ChannelDecoder> makeDecoder(unsigned channel = 0) {
        return std::make_unique<ChannelDecoder>(channel, StreamKind::Live, m_library.get(),
                                                m_pictures, m_target, m_host);
    }

    // Queues frames [first, last) of a clip. Paced, the producer keeps the queue well below the
    // backlog limit, as a live stream does on an idle machine; unpaced it queues them all at once.
    void feed(ChannelDecoder& decoder, const std::vector<test::EncodedFrame>& frames, int first,
              int last, int width, int height, std::uint32_t generation, bool paced = true) {
        for (int i = first; i < last; ++i) {
            if (paced) {
                ASSERT_TRUE(waitUntil([&] { return decoder.queuedFrames() < 8; }));
            }
            decoder.enqueueFrame(makeRecord(decoder.channel(), frames[static_cast<std::size_t>(i)],
                                            width, height, generation));
        }
    }

    static void settle(const ChannelDecoder& decoder) {
        ASSERT_TRUE(waitUntil([&] { return decoder.stats().handled == decoder.stats().enqueued; }));
    }

    std::unique_ptr<DecoderLibrary> m_library;
    PictureStore m_pictures;
    RecordingTarget m_target{m_pictures, true};
    RecordingHost m_host;
};

TEST_F(ChannelDecoderTest, DecodingStartsAtAKeyFrameWithACleanPicture) {
    const auto& frames = clip(352, 240, 30, 10);
    ASSERT_EQ(frames.size(), 30u);
    auto decoder = makeDecoder(3);
    // The stream starts in the middle of a key interval: frames 5-9 depend on frame 0.
    feed(*decoder, frames, 5, 30, 352, 240, 1);
    settle(*decoder);

    const auto stats = decoder->stats();
    EXPECT_EQ(stats.waitingDropped, 5u);
    EXPECT_EQ(stats.resyncs, 1u);
    EXPECT_EQ(stats.decoded, 20u);
    EXPECT_EQ(stats.decodeErrors, 0u);
    const auto log = m_target.log(3);
    EXPECT_EQ(log.clears, 1);
    EXPECT_EQ(log.prepared, 1);
    EXPECT_EQ(log.draws, 20);
    EXPECT_EQ(log.counted, 20);
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.events.front(), "clear"); // cleared before the first picture is drawn
    EXPECT_EQ(log.width, 352);
    EXPECT_EQ(log.height, 240);
}

struct SizeChangeCase {
    int firstLargeFrame; // the D1 stream joins at this frame of its clip
    std::uint64_t dropped;
};

class SizeChange : public ChannelDecoderTest,
                   public ::testing::WithParamInterface<SizeChangeCase> {};

TEST_P(SizeChange, WaitsForAKeyFrameAndFollowsTheNewSize) {
    const auto [firstLarge, dropped] = GetParam();
    const auto& small = clip(352, 240, 20, 10);
    const auto& large = clip(704, 480, 20, 10);
    auto decoder = makeDecoder();
    feed(*decoder, small, 0, 10, 352, 240, 1);
    feed(*decoder, large, firstLarge, 20, 704, 480, 1);
    settle(*decoder);

    const auto stats = decoder->stats();
    EXPECT_EQ(stats.waitingDropped, dropped);
    EXPECT_EQ(stats.resyncs, 2u);
    // Every frame from the first D1 key frame on is decoded, not just that key frame.
    EXPECT_EQ(stats.decoded, 10u + (20u - firstLarge - dropped));
    const auto log = m_target.log(0);
    EXPECT_EQ(log.clears, 2);
    EXPECT_EQ(log.width, 704);
    EXPECT_EQ(log.height, 480);
}

INSTANTIATE_TEST_SUITE_P(
    Switch, SizeChange,
    // Mid-interval: frames 4-9 cannot start the new size. At a key frame: nothing is lost.
    ::testing::Values(SizeChangeCase{4, 6}, SizeChangeCase{0, 0}),
    [](const auto& info) { return "AtFrame" + std::to_string(info.param.firstLargeFrame); });

// The decoder of a site's third recorder keeps its channel 3 in slot 35 of a feed's store, and
// names that slot to the target; the first recorder's channel 3 is untouched.
TEST_F(ChannelDecoderTest, ARecordersDecoderWritesItsChannelsIntoItsOwnSlots) {
    const auto& frames = clip(352, 240, 10, 10);
    PictureStore slots(64);
    RecordingTarget target{slots, true};
    ChannelDecoder decoder(35, StreamKind::Live, m_library.get(), slots, target, m_host, 32);
    for (const auto& frame : frames)
        decoder.enqueueFrame(makeRecord(3, frame, 352, 240, 1));
    settle(decoder);
    EXPECT_EQ(decoder.stats().decoded, 10u);
    EXPECT_EQ(target.log(35).draws, 10);
    EXPECT_EQ(target.log(3).draws, 0);
    EXPECT_TRUE(slots.decoded(35));
    EXPECT_FALSE(slots.decoded(3));
    EXPECT_EQ(slots.size(35).width, 352);
    decoder.stop();
}

TEST_F(ChannelDecoderTest, ANewGenerationResynchronisesAtTheSameSize) {
    const auto& frames = clip(352, 240, 30, 10);
    auto decoder = makeDecoder();
    feed(*decoder, frames, 0, 15, 352, 240, 1);
    // Live view restarted: frames 15-19 belong to the new generation but depend on frame 10.
    feed(*decoder, frames, 15, 30, 352, 240, 2);
    settle(*decoder);

    const auto stats = decoder->stats();
    EXPECT_EQ(stats.waitingDropped, 5u);
    EXPECT_EQ(stats.resyncs, 2u);
    EXPECT_EQ(stats.decoded, 15u + 10u);
    EXPECT_EQ(m_target.log(0).clears, 2);
}

struct BacklogCase {
    int queued; // dependent frames queued behind the first key frame
    std::uint64_t skipped;
};

class Backlog : public ChannelDecoderTest, public ::testing::WithParamInterface<BacklogCase> {};

TEST_P(Backlog, MoreThan28QueuedFramesSkipToTheNextKeyFrame) {
    const auto [queued, skipped] = GetParam();
    const auto& frames = clip(352, 240, 60, 30);
    auto decoder = makeDecoder();
    {
        // Hold the picture lock: the thread stops at the key frame until the queue is built.
        std::unique_lock picture(m_pictures.lock(0));
        feed(*decoder, frames, 0, 1, 352, 240, 1);
        // Taken, the key frame holds the thread at the picture lock.
        ASSERT_TRUE(waitUntil([&] { return decoder->stats().taken == 1; }));
        feed(*decoder, frames, 1, 1 + queued, 352, 240, 1, false);
        ASSERT_EQ(decoder->queuedFrames(), static_cast<std::size_t>(queued));
    }
    settle(*decoder);
    EXPECT_EQ(decoder->stats().backlogSkipped, skipped);
    EXPECT_EQ(decoder->stats().decoded, 1u + queued - skipped);

    // The next key frame ends the skipping.
    feed(*decoder, frames, 30, 40, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().decoded, 1u + queued - skipped + 10u);
}

INSTANTIATE_TEST_SUITE_P(Queue, Backlog, ::testing::Values(BacklogCase{28, 0}, BacklogCase{29, 29}),
                         [](const auto& info) {
                             return std::to_string(info.param.queued) + "Queued";
                         });

TEST_F(ChannelDecoderTest, HiddenChannelsAreNotDecodedWhileLiveViewRuns) {
    const auto& frames = clip(352, 240, 30, 10);
    auto decoder = makeDecoder();
    m_host.liveOn = true;
    decoder->setVideoLoss(true);
    feed(*decoder, frames, 0, 10, 352, 240, 1);
    settle(*decoder);
    decoder->setVideoLoss(false);
    m_host.covertHidden = true;
    feed(*decoder, frames, 10, 20, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().hidden, 20u);
    EXPECT_EQ(decoder->stats().decoded, 0u);

    // Without live view nothing is hidden; the stream starts again at a key frame.
    m_host.liveOn = false;
    feed(*decoder, frames, 20, 30, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().decoded, 10u);
}

TEST_F(ChannelDecoderTest, ARecordShorterThanItsDescriptorIsDropped) {
    auto decoder = makeDecoder();
    auto record = makeRecord(0, clip(352, 240, 30, 10)[0], 352, 240, 1);
    record->descriptor.blockLength += 100; // claims bytes the record does not hold
    decoder->enqueueFrame(std::move(record));
    auto huge = makeRecord(0, clip(352, 240, 30, 10)[0], 352, 240, 1);
    huge->descriptor.width = 1920;
    huge->descriptor.height = 1080;
    decoder->enqueueFrame(std::move(huge));
    settle(*decoder);
    EXPECT_EQ(decoder->stats().invalid, 2u);
    EXPECT_EQ(decoder->stats().decodeCalls, 0u);
}

TEST_F(ChannelDecoderTest, StoppingWithQueuedFramesFreesThemAndEndsEveryThread) {
    const auto& frames = clip(352, 240, 30, 10);
    std::vector<std::unique_ptr<ChannelDecoder>> decoders;
    for (unsigned channel = 0; channel < kChannelCount; ++channel) {
        decoders.push_back(makeDecoder(channel));
    }
    {
        // Every thread is held at its first key frame while the queues fill.
        std::unique_lock first(m_pictures.lock(0));
        std::unique_lock second(m_pictures.lock(1));
        for (auto& decoder : decoders) {
            feed(*decoder, frames, 0, 30, 352, 240, 1, false);
        }
        // Both held threads have taken their first frame (channel 1's count is checked below).
        ASSERT_TRUE(waitUntil([&] {
            return decoders[0]->queuedFrames() == 29 && decoders[1]->queuedFrames() == 29;
        }));
        // The owner's order: discard everywhere, then per decoder drain, stop and destroy.
        for (auto& decoder : decoders) {
            decoder->setDiscardAll();
        }
        // Nothing is queued once discarding.
        feed(*decoders[0], frames, 0, 1, 352, 240, 1, false);
        EXPECT_EQ(decoders[0]->queuedFrames(), 29u);
        // Channel 1 is stopped without draining: destroy frees its queue.
        decoders[1]->requestStop();
    }
    for (auto& decoder : decoders) {
        // The wait ends when the queue is empty, or when the thread has ended with frames still
        // queued (channel 1: nothing would ever take them).
        decoder->waitUntilDrained();
        EXPECT_EQ(decoder->queuedFrames(), decoder->channel() == 1 ? 29u : 0u);
        decoder->stop();
        EXPECT_FALSE(decoder->threadRunning());
        decoder->destroy();
        EXPECT_EQ(decoder->queuedFrames(), 0u);
    }
    EXPECT_EQ(decoders[0]->stats().discarded, 29u);
    EXPECT_EQ(m_host.threadsEnded.load(), static_cast<int>(kChannelCount));
    decoders.clear();
}

TEST_F(ChannelDecoderTest, TheDestructorStopsARunningDecoder) {
    const auto& frames = clip(352, 240, 30, 10);
    auto decoder = makeDecoder();
    feed(*decoder, frames, 0, 30, 352, 240, 1, false);
    decoder.reset(); // frees what is left, joins the thread
    EXPECT_EQ(m_host.threadsEnded.load(), 1);
}

TEST_F(ChannelDecoderTest, ASnapshotRequestGetsTheFrameTime) {
    const auto& frames = clip(352, 240, 30, 10);
    auto decoder = makeDecoder();
    m_host.snapshotRequests = 1;
    decoder->enqueueFrame(makeRecord(0, frames[0], 352, 240, 1, 1709211909));
    settle(*decoder);
    std::lock_guard lock(m_host.snapshotLock);
    ASSERT_EQ(m_host.snapshotTimes.size(), 1u);
    EXPECT_EQ(m_host.snapshotTimes[0], "2024-02-29  13:05:09");
}

// A cell smaller than half the picture both ways skips the deblocking filter; every change
// (a larger cell, a snapshot asked for) waits for the next key frame, and the snapshot is taken
// from a fully decoded picture.
TEST_F(ChannelDecoderTest, SmallCellsSkipTheDeblockingFilterAGroupOfPicturesAtATime) {
    EXPECT_TRUE(deblockingInvisible({175, 119}, 352, 240));
    EXPECT_FALSE(deblockingInvisible({176, 119}, 352, 240));
    EXPECT_FALSE(deblockingInvisible({175, 120}, 352, 240));
    EXPECT_FALSE(deblockingInvisible({0, 0}, 352, 240)); // no window: full decoding

    const auto& frames = clip(352, 240, 30, 10); // key frames 0, 10, 20
    auto decoder = makeDecoder();
    m_target.cellWidth = 100;
    m_target.cellHeight = 60;
    feed(*decoder, frames, 0, 5, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().filterSkipped, 0u) << "only when the front end allows it";

    m_target.cheaper = true;
    feed(*decoder, frames, 5, 15, 352, 240, 1); // the group of frame 0 goes on in full
    settle(*decoder);
    EXPECT_EQ(decoder->stats().filterSkipped, 5u); // frames 10-14

    m_target.cellWidth = 352; // the cell grows in the middle of the group of frame 10
    m_target.cellHeight = 240;
    feed(*decoder, frames, 15, 30, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().filterSkipped, 10u); // frames 15-19 still, none from frame 20

    // Small again, and a snapshot is asked for: the next group is decoded fully for it.
    m_target.cellWidth = 100;
    m_target.cellHeight = 60;
    m_host.snapshotRequests = 1;
    feed(*decoder, frames, 0, 30, 352, 240, 2);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().filterSkipped, 30u); // the snapshot's group 0-9 in full
    EXPECT_EQ(decoder->stats().decodeErrors, 0u);
    std::lock_guard lock(m_host.snapshotLock);
    EXPECT_EQ(m_host.snapshotTimes.size(), 1u);
}

// While nobody sees the pictures only key frames are decoded; when they are seen again the
// stream goes on from the next key frame.
TEST_F(ChannelDecoderTest, UnseenPicturesDecodeKeyFramesOnlyAndResumeAtTheNextKeyFrame) {
    const auto& frames = clip(352, 240, 30, 10); // key frames 0, 10, 20
    auto decoder = makeDecoder();
    m_target.unseen = true;
    feed(*decoder, frames, 0, 30, 352, 240, 1);
    settle(*decoder);
    EXPECT_EQ(decoder->stats().decoded, 3u);
    EXPECT_EQ(decoder->stats().keyOnlySkipped, 27u);

    m_target.unseen = false;
    feed(*decoder, frames, 5, 30, 352, 240, 1); // 5-9 wait for key frame 10
    settle(*decoder);
    EXPECT_EQ(decoder->stats().decoded, 23u);
    EXPECT_EQ(decoder->stats().decodeErrors, 0u);
}

// The stream kind a decoder is made with decides what the overlays are told and where a
// snapshot's time comes from: the frame in live view, the player's clock in playback, none idle.
TEST_F(ChannelDecoderTest, TheStreamKindDecidesOverlaysAndSnapshotTimes) {
    struct Case {
        StreamKind kind;
        const char* time;
        std::size_t clockQuestions;
    };
    const Case cases[] = {
        {StreamKind::Live, "2024-02-29  13:05:09", 0},
        {StreamKind::RemotePlayback, "2001-09-09  01:46:40", 1},
        {StreamKind::LocalPlayback, "2001-09-09  01:46:40", 1},
        {StreamKind::Idle, "1970-01-01  00:00:00", 0},
    };
    const auto& frames = clip(352, 240, 30, 10);
    m_host.playbackSeconds = 1000000000;
    for (const Case& c : cases) {
        {
            std::lock_guard lock(m_host.snapshotLock);
            m_host.snapshotTimes.clear();
            m_host.clockKinds.clear();
            m_host.overlayKinds.clear();
        }
        ChannelDecoder decoder(0, c.kind, m_library.get(), m_pictures, m_target, m_host);
        EXPECT_EQ(decoder.kind(), c.kind);
        m_host.snapshotRequests = 1;
        decoder.enqueueFrame(makeRecord(0, frames[0], 352, 240, 1, 1709211909));
        settle(decoder);
        std::lock_guard lock(m_host.snapshotLock);
        ASSERT_EQ(m_host.snapshotTimes.size(), 1u) << static_cast<int>(c.kind);
        EXPECT_EQ(m_host.snapshotTimes[0], c.time) << static_cast<int>(c.kind);
        EXPECT_EQ(m_host.clockKinds.size(), c.clockQuestions);
        for (StreamKind asked : m_host.clockKinds)
            EXPECT_EQ(asked, c.kind);
        ASSERT_EQ(m_host.overlayKinds.size(), 1u);
        EXPECT_EQ(m_host.overlayKinds[0], c.kind);
    }
}

// The whole road of a field picture: module layout, then the RGB path's bottom-up reordering
// or the planar copy, into the channel's picture buffer.
class PictureHandOver : public ::testing::TestWithParam<bool> {};

TEST_P(PictureHandOver, FieldPictureReachesThePictureBufferInTheDrawingLayout) {
    const bool accelerated = GetParam();
    constexpr int kWidth = 704;
    constexpr int kHeight = 480;
    const auto luma = [](int row) { return static_cast<std::uint8_t>(16 + (row * 7) % 220); };
    const auto frames = test::encodeClip(
        {kWidth, kHeight, 1, 1, true,
         [&](int, std::uint8_t* y, int ys, std::uint8_t* u, int us, std::uint8_t* v, int vs) {
             for (int r = 0; r < kHeight; ++r) {
                 std::fill_n(y + r * ys, kWidth, luma(r));
             }
             for (int r = 0; r < kHeight / 2; ++r) {
                 std::fill_n(u + r * us, kWidth / 2, 128);
                 std::fill_n(v + r * vs, kWidth / 2, 128);
             }
         }});
    ASSERT_EQ(frames.size(), 1u);
    auto library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    PictureStore pictures;
    RecordingTarget target(pictures, accelerated);
    RecordingHost host;
    ChannelDecoder decoder(2, StreamKind::Live, library.get(), pictures, target, host);
    decoder.enqueueFrame(makeRecord(2, frames[0], kWidth, kHeight, 1));
    ASSERT_TRUE(waitUntil([&] { return decoder.stats().handled == 1; }));
    ASSERT_EQ(decoder.stats().drawn, 1u);
    {
        std::lock_guard lock(pictures.lock(2));
        EXPECT_EQ(pictures.planar(2), std::optional<bool>(accelerated))
            << "the store notes the layout the target asked for";
    }
    const auto picture = target.picture(2);
    const auto at = [&](int row) {
        return static_cast<int>(
            picture[static_cast<std::size_t>(row) * kWidth * (accelerated ? 1 : 3)]);
    };
    for (int row = 0; row < kHeight; ++row) {
        if (accelerated) {
            // Planar: the first field (even rows) in the upper half, the second below.
            const int source = row < kHeight / 2 ? 2 * row : 2 * (row - kHeight / 2) + 1;
            ASSERT_EQ(at(row), luma(source)) << row;
        } else {
            // Bottom-up BGR: stored row k is display row h - 1 - k, which shows second-field
            // row (h - 1 - k) / 2, that is source row 2 * ((h - 1 - k) / 2) + 1.
            const int source = 2 * ((kHeight - 1 - row) / 2) + 1;
            const int grey = std::clamp((luma(source) - 16) * 255 / 219, 0, 255);
            ASSERT_NEAR(at(row), grey, 2) << row;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, PictureHandOver, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Planar" : "Rgb"; });

} // namespace
} // namespace kalder
