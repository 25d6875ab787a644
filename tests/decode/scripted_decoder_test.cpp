// How the decode thread acts on each result of the decoder module, with a stand-in module that
// returns scripted results, and what happens without any module.

#include "decode/channel_decoder.h"
#include "recording_target.h"
#include "scripted_decoder.h"
#include "test_clip.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

namespace kalder {
namespace {

using test::RecordingHost;
using test::RecordingTarget;
using test::waitUntil;

constexpr int kInit = 0;
constexpr int kGet = 1;
constexpr int kUninit = 2;

// A key frame whose video starts with `id`.
std::unique_ptr<FrameRecord> keyFrame(std::uint32_t id) {
    std::vector<std::byte> video(16, std::byte{0});
    std::memcpy(video.data(), &id, 4);
    return test::makeRecord(0, std::move(video), kFrameTypeKey, 352, 240, 1);
}

class ScriptedDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        m_library = DecoderLibrary::open(KALDER_SCRIPTED_DECODER);
        ASSERT_TRUE(m_library);
        // The same module, opened again, for the script and the log.
        m_handle = dlopen(KALDER_SCRIPTED_DECODER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr);
        m_configure = reinterpret_cast<ScriptedConfigure_t>(dlsym(m_handle, "Scripted_Configure"));
        m_log = reinterpret_cast<ScriptedLog_t>(dlsym(m_handle, "Scripted_Log"));
        ASSERT_TRUE(m_configure && m_log);
    }
    void TearDown() override {
        if (m_handle != nullptr) {
            dlclose(m_handle);
        }
    }

    void script(const std::vector<int>& frameResults, const std::vector<int>& initResults = {}) {
        m_configure(frameResults.data(), static_cast<int>(frameResults.size()), initResults.data(),
                    static_cast<int>(initResults.size()));
    }

    std::vector<ScriptedCall> calls() {
        std::vector<ScriptedCall> out(4096);
        const int count = m_log(out.data(), static_cast<int>(out.size()));
        out.resize(static_cast<std::size_t>(std::min<int>(count, 4096)));
        return out;
    }

    // Runs frames 1..count through a decoder and returns the calls made after start-up.
    std::vector<ScriptedCall> run(int count, ChannelDecoderStats& stats) {
        {
            ChannelDecoder decoder(0, StreamKind::Live, m_library.get(), m_pictures, m_target,
                                   m_host);
            for (int id = 1; id <= count; ++id) {
                decoder.enqueueFrame(keyFrame(static_cast<std::uint32_t>(id)));
            }
            EXPECT_TRUE(waitUntil([&] { return decoder.stats().handled == std::uint64_t(count); }));
            stats = decoder.stats();
        }
        return calls();
    }

    std::unique_ptr<DecoderLibrary> m_library;
    void* m_handle = nullptr;
    ScriptedConfigure_t m_configure = nullptr;
    ScriptedLog_t m_log = nullptr;
    PictureStore m_pictures;
    RecordingTarget m_target{m_pictures, true};
    RecordingHost m_host;
};

// Entry and frame id of each call, for compact expectations.
std::vector<std::pair<int, std::uint32_t>> shape(const std::vector<ScriptedCall>& calls) {
    std::vector<std::pair<int, std::uint32_t>> out;
    for (const auto& call : calls) {
        out.emplace_back(call.entry, call.frameId);
    }
    return out;
}

// A host whose decode thread can be held at its next frame, so that the queue fills as it does
// behind a recorder that sends faster than the channel decodes.
class GatedHost final : public DecodeHost {
public:
    LiveVisibility liveVisibility(unsigned channel) override {
        std::unique_lock lock(m_mutex);
        ++m_arrivals;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        return DecodeHost::liveVisibility(channel);
    }
    // Returns once the thread waits at the gate with `arrivals` frames seen in all.
    bool waitAtGate(int arrivals) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return m_arrivals >= arrivals; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrivals = 0;
    bool m_open = false;
};

std::unique_ptr<FrameRecord> frame(std::uint32_t id, bool key, std::size_t bytes = 16) {
    std::vector<std::byte> video(bytes, std::byte{0});
    std::memcpy(video.data(), &id, 4);
    return test::makeRecord(0, std::move(video), key ? kFrameTypeKey : 0, 352, 240, 1);
}

// The recorder sends faster than the channel decodes: the queue keeps its bound in frames and
// in bytes, drops its oldest frames up to a key frame, and decoding resumes at a key frame.
TEST_F(ScriptedDecoder, AFullQueueDropsUpToTheNextKeyFrame) {
    script({});
    GatedHost host;
    ChannelDecoderStats stats;
    {
        ChannelDecoder decoder(0, StreamKind::Live, m_library.get(), m_pictures, m_target, host);
        // Whatever fails below, the thread is let go before the decoder is destroyed.
        const std::unique_ptr<GatedHost, void (*)(GatedHost*)> release(
            &host, [](GatedHost* h) { h->open(); });
        decoder.enqueueFrame(frame(1000, true)); // taken, then held at the gate
        ASSERT_TRUE(host.waitAtGate(1));
        // 300 frames, a key frame every 10, far more than the bound.
        for (std::uint32_t id = 1; id <= 300; ++id) {
            decoder.enqueueFrame(frame(id, id % 10 == 1));
            ASSERT_LE(decoder.queuedFrames(), ChannelDecoder::kMaxQueuedFrames);
        }
        // Key frames of 700 KB: the byte bound holds too.
        for (std::uint32_t id = 301; id <= 330; ++id) {
            decoder.enqueueFrame(frame(id, true, 700 * 1024));
            ASSERT_LE(decoder.queuedBytes(), ChannelDecoder::kMaxQueuedBytes);
        }
        // Then P frames only: with no key frame left to resume from, the queue empties and the
        // thread waits for the next key frame.
        for (std::uint32_t id = 331; id <= 600; ++id)
            decoder.enqueueFrame(frame(id, false));
        decoder.enqueueFrame(frame(601, true));
        decoder.enqueueFrame(frame(602, false));
        host.open();
        ASSERT_TRUE(waitUntil([&] {
            const ChannelDecoderStats s = decoder.stats();
            return s.handled == s.enqueued;
        }));
        stats = decoder.stats();
    }
    EXPECT_GT(stats.overflowDropped, 0u);
    EXPECT_EQ(stats.enqueued, 603u);
    // What was decoded after the first frame: only frames that follow a key frame unbroken,
    // ending with the last key frame and its P frame.
    std::vector<std::uint32_t> decoded;
    for (const ScriptedCall& call : calls())
        if (call.entry == kGet)
            decoded.push_back(call.frameId);
    ASSERT_GE(decoded.size(), 3u);
    EXPECT_EQ(decoded.front(), 1000u);
    EXPECT_EQ(std::vector<std::uint32_t>(decoded.end() - 2, decoded.end()),
              (std::vector<std::uint32_t>{601, 602}));
    for (std::size_t i = 1; i + 2 < decoded.size(); ++i)
        EXPECT_NE(decoded[i], 331u) << "a P frame after an emptied queue was decoded";
}

TEST_F(ScriptedDecoder, StartUpUninitsTheZeroedContextThenInits) {
    script({});
    ChannelDecoderStats stats;
    const auto log = shape(run(0, stats));
    // Start: uninit of the fresh context, init; end: uninit of the living decoder.
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {kUninit, 0}, {kInit, 0}, {kUninit, 0}};
    EXPECT_EQ(log, expected);
}

TEST_F(ScriptedDecoder, RebuildRetriesTheSameFrame) {
    script({-5, 0, 0});
    ChannelDecoderStats stats;
    const auto log = shape(run(2, stats));
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {kUninit, 0}, {kInit, 0}, {kGet, 1}, {kUninit, 0},
        {kInit, 0},   {kGet, 1},  {kGet, 2}, {kUninit, 0}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(stats.rebuilds, 1u);
    EXPECT_EQ(stats.decoded, 2u);
    EXPECT_EQ(m_target.log(0).draws, 2);
}

TEST_F(ScriptedDecoder, CallAgainRepeatsTheCallWithTheSameFrame) {
    script({1, 1, 1, 0, 0});
    ChannelDecoderStats stats;
    const auto all = run(2, stats);
    std::vector<ScriptedCall> gets;
    std::copy_if(all.begin(), all.end(), std::back_inserter(gets),
                 [](const auto& call) { return call.entry == kGet; });
    ASSERT_EQ(gets.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(gets[static_cast<std::size_t>(i)].frameId, 1u);
        EXPECT_EQ(gets[static_cast<std::size_t>(i)].videoLength, 16);
    }
    EXPECT_EQ(gets[4].frameId, 2u);
    EXPECT_EQ(stats.decoded, 2u);
}

struct DropCase {
    int result;
    bool noPicture; // counted as "no picture this time" rather than as an error
};

class ScriptedDrop : public ScriptedDecoder, public ::testing::WithParamInterface<DropCase> {};

TEST_P(ScriptedDrop, OtherResultsDropTheFrameAndGoOn) {
    const auto [result, noPicture] = GetParam();
    script({result, 0});
    ChannelDecoderStats stats;
    const auto log = shape(run(2, stats));
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {kUninit, 0}, {kInit, 0}, {kGet, 1}, {kGet, 2}, {kUninit, 0}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(stats.decoded, 1u);
    EXPECT_EQ(stats.noPicture, noPicture ? 1u : 0u);
    EXPECT_EQ(stats.decodeErrors, noPicture ? 0u : 1u);
    EXPECT_EQ(m_target.log(0).draws, 1);
    // The drawn picture is frame 2's.
    std::uint32_t drawn = 0;
    std::memcpy(&drawn, m_target.picture(0).data(), 4);
    EXPECT_EQ(drawn, 2u);
}

INSTANTIATE_TEST_SUITE_P(Results, ScriptedDrop,
                         ::testing::Values(DropCase{2, true}, DropCase{3, true}, DropCase{4, true},
                                           DropCase{-1, false}, DropCase{6, false},
                                           DropCase{-7, false}),
                         [](const auto& info) {
                             const int r = info.param.result;
                             return (r < 0 ? "Minus" : "") + std::to_string(r < 0 ? -r : r);
                         });

TEST_F(ScriptedDecoder, AModuleThatAlwaysAsksForARebuildDoesNotHoldTheChannel) {
    script(std::vector<int>(ChannelDecoder::kMaxRebuildsPerFrame + 1, -5));
    ChannelDecoderStats stats;
    run(2, stats);
    EXPECT_EQ(stats.rebuilds, static_cast<std::uint64_t>(ChannelDecoder::kMaxRebuildsPerFrame));
    EXPECT_EQ(stats.decodeErrors, 1u);
    EXPECT_EQ(stats.decoded, 1u); // frame 2 gets the script's default result
}

TEST_F(ScriptedDecoder, AFailedInitIsReportedOnceAndFramesAreDropped) {
    script({}, {1});
    ChannelDecoderStats stats;
    run(3, stats);
    EXPECT_EQ(m_host.initFailures.load(), 1);
    EXPECT_EQ(stats.decoded, 0u);
    EXPECT_EQ(stats.decodeErrors, 3u);
    EXPECT_EQ(m_target.log(0).draws, 0);
}

// A module that refuses the drawn-order BGR output is asked for top-down BGR, which the
// decode thread then reorders itself.
TEST_F(ScriptedDecoder, AModuleWithoutDrawnOrderOutputIsAskedForTopDown) {
    script({}, {-2, 0});
    RecordingTarget rgb(m_pictures, false);
    {
        ChannelDecoder decoder(0, StreamKind::Live, m_library.get(), m_pictures, rgb, m_host);
        for (std::uint32_t id = 1; id <= 3; ++id)
            decoder.enqueueFrame(keyFrame(id));
        ASSERT_TRUE(waitUntil([&] { return decoder.stats().handled == 3; }));
        EXPECT_EQ(decoder.stats().decoded, 3u);
    }
    EXPECT_EQ(m_host.initFailures.load(), 0);
    EXPECT_EQ(rgb.log(0).draws, 3);
    // The module wrote the frame id at the start of its top-down picture; reordered, that row
    // is the last one stored.
    std::uint32_t id = 0;
    const auto picture = rgb.picture(0);
    const std::size_t rowBytes = std::size_t(352) * 3;
    std::memcpy(&id, picture.data() + (240 - 1) * rowBytes, 4);
    EXPECT_EQ(id, 3u);
}

TEST(NoDecoderModule, AMissingModuleDecodesNothingAndCrashesNothing) {
    EXPECT_FALSE(DecoderLibrary::open("/nonexistent/H264_D1.so"));
    PictureStore pictures;
    RecordingTarget target(pictures, false);
    RecordingHost host;
    {
        ChannelDecoder decoder(0, StreamKind::Live, nullptr, pictures, target, host);
        for (std::uint32_t id = 1; id <= 5; ++id) {
            decoder.enqueueFrame(keyFrame(id));
        }
        ASSERT_TRUE(waitUntil([&] { return decoder.stats().handled == 5; }));
        EXPECT_EQ(decoder.stats().decoded, 0u);
        EXPECT_EQ(decoder.stats().decodeCalls, 0u);
    }
    // The channel still shows its (cleared) picture with its overlays.
    const auto picture = target.picture(0);
    EXPECT_TRUE(
        std::all_of(picture.begin(), picture.end(), [](auto b) { return b == std::byte{0}; }));
    EXPECT_EQ(target.log(0).draws, 5);
    EXPECT_EQ(host.initFailures.load(), 0);
}

} // namespace
} // namespace kalder
