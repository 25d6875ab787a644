// How the decode thread acts on each result of the decoder module, with a stand-in module that
// returns scripted results, and what happens without any module.

#include "decode/channel_decoder.h"
#include "recording_target.h"
#include "scripted_decoder.h"
#include "test_clip.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

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
