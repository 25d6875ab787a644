// The video the simulator streams is real H.264 that plain libavcodec decodes to the picture
// size its frame blocks announce.

#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "raw_client.h"
#include "sim_process.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <memory>

namespace kalder::test {
namespace {

using namespace std::chrono_literals;

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Reads LIVE_DATA until `count` frames of `channel` are assembled.
std::vector<std::vector<std::byte>> collectFrames(RawClient& client, unsigned channel,
                                                  std::size_t count, std::size_t maxFragment) {
    std::vector<std::vector<std::byte>> frames;
    std::vector<std::byte> frame;
    while (frames.size() < count) {
        auto m = client.receive(10s);
        if (!m)
            break;
        if (m->id() != MessageId::LIVE_DATA)
            continue;
        EXPECT_LE(m->payload.size(), maxFragment);
        frame.insert(frame.end(), m->payload.begin(), m->payload.end());
        if (!m->header.lastFragment())
            continue;
        const auto block = decodeFrameInfoBlock(frame);
        if (block && block->channel == channel)
            frames.push_back(std::move(frame));
        frame.clear();
    }
    return frames;
}

struct Format {
    const char* name;
    std::vector<std::string> args;
    std::uint8_t resolutionCode;
    bool pal;
    int width;
    int height;
    std::size_t maxFragment;
};

void PrintTo(const Format& format, std::ostream* out) {
    *out << format.name;
}

class SimH264 : public ::testing::TestWithParam<Format> {};

TEST_P(SimH264, LiveVideoDecodesToTheAnnouncedSize) {
    const Format& format = GetParam();
    std::vector<std::string> args = format.args;
    args.push_back("--max-fragment");
    args.push_back(std::to_string(format.maxFragment));
    SimProcess sim;
    ASSERT_TRUE(sim.start(args)) << sim.lastError();
    RawClient client;
    ASSERT_TRUE(client.connect(sim.port()));
    ASSERT_TRUE(client.sendHello("admin", "1234"));
    ASSERT_TRUE(client.receiveId(MessageId::REC_STATUS));
    constexpr unsigned kChannel = 2;
    ASSERT_TRUE(client.sendLiveRequest(1u << kChannel));
    ASSERT_TRUE(client.receiveId(MessageId::LIVE_CHANNEL_INFO));

    // Two key intervals' worth: the stream starts anywhere in the loop.
    const auto frames = collectFrames(client, kChannel, 60, format.maxFragment);
    ASSERT_EQ(frames.size(), 60u);

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    ASSERT_NE(codec, nullptr);
    std::unique_ptr<AVCodecContext, CodecFree> ctx(avcodec_alloc_context3(codec));
    ctx->thread_count = 1;
    ASSERT_EQ(avcodec_open2(ctx.get(), codec, nullptr), 0);
    std::unique_ptr<AVFrame, FrameFree> picture(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());

    bool started = false;
    int decoded = 0;
    int keyFrames = 0;
    for (const auto& frame : frames) {
        const auto block = decodeFrameInfoBlock(frame);
        ASSERT_TRUE(block);
        EXPECT_EQ(block->frameMagic, kFrameMagic);
        EXPECT_EQ(block->resolutionCode, format.resolutionCode);
        EXPECT_EQ(block->lineStandard625, format.pal);
        const PictureSize size = pictureSizeFor(block->resolutionCode, block->lineStandard625);
        EXPECT_EQ(size.width, format.width);
        EXPECT_EQ(size.height, format.height);
        if (block->frameType == kFrameTypeKey)
            ++keyFrames;
        if (!started && block->frameType != kFrameTypeKey)
            continue; // a decoder starts at a key frame
        started = true;
        ASSERT_LE(kFrameInfoBlockSize + block->videoLength, frame.size());
        // Key frames carry their parameter sets in Annex B form.
        if (block->frameType == kFrameTypeKey) {
            const auto* video = frame.data() + kFrameInfoBlockSize;
            EXPECT_EQ(std::to_integer<int>(video[0]), 0);
            EXPECT_EQ(std::to_integer<int>(video[1]), 0);
            EXPECT_EQ(std::to_integer<int>(video[3]) == 1 ? std::to_integer<int>(video[4]) & 0x1F
                                                          : std::to_integer<int>(video[3]) & 0x1F,
                      7)
                << "SPS first";
        }
        packet->data = reinterpret_cast<std::uint8_t*>(const_cast<std::byte*>(frame.data())) +
                       kFrameInfoBlockSize;
        packet->size = static_cast<int>(block->videoLength);
        ASSERT_EQ(avcodec_send_packet(ctx.get(), packet.get()), 0);
        while (avcodec_receive_frame(ctx.get(), picture.get()) == 0) {
            EXPECT_EQ(picture->width, format.width);
            EXPECT_EQ(picture->height, format.height);
            EXPECT_FALSE(picture->decode_error_flags);
            ++decoded;
        }
    }
    EXPECT_TRUE(started);
    EXPECT_GE(keyFrames, 1);
    EXPECT_GE(decoded, 30);
    EXPECT_TRUE(sim.stop());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SimH264,
    ::testing::Values(Format{"NtscD1", {}, 1, false, 704, 480, 65535},
                      Format{"PalHalfD1SmallFragments",
                             {"--channels", "4", "--standard", "pal", "--resolution", "halfd1"},
                             5,
                             true,
                             704,
                             288,
                             1000},
                      Format{"NtscCif15fps",
                             {"--channels", "4", "--resolution", "cif", "--fps", "15"},
                             0,
                             false,
                             352,
                             240,
                             4096}),
    [](const ::testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kalder::test
