#include "test_clip.h"

#include "wire/frame_info.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <cstring>

namespace kalder::test {

namespace {

void drawPattern(int index, int width, int height, std::uint8_t* y, int yStride, std::uint8_t* u,
                 int uStride, std::uint8_t* v, int vStride) {
    for (int r = 0; r < height; ++r) {
        for (int x = 0; x < width; ++x) {
            y[r * yStride + x] = static_cast<std::uint8_t>(16 + ((x + r + index * 4) & 0x7F));
        }
    }
    for (int r = 0; r < height / 2; ++r) {
        for (int x = 0; x < width / 2; ++x) {
            u[r * uStride + x] = static_cast<std::uint8_t>(96 + ((x + index) & 0x3F));
            v[r * vStride + x] = static_cast<std::uint8_t>(96 + ((r + index) & 0x3F));
        }
    }
}

} // namespace

std::vector<EncodedFrame> encodeClip(const ClipParams& params) {
    std::vector<EncodedFrame> out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        return out;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = params.width;
    ctx->height = params.height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = AVRational{1, 30};
    ctx->framerate = AVRational{30, 1};
    ctx->gop_size = params.keyInterval;
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    if (params.lossless) {
        av_opt_set(ctx->priv_data, "qp", "0", 0);
    } else {
        ctx->bit_rate = 2000000;
        av_opt_set(ctx->priv_data, "profile", "baseline", 0);
    }
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:repeat-headers=1:log=-1", 0);
    if (params.deblock) {
        av_opt_set(ctx->priv_data, "deblock", "0:0", 0);
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
        return out;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = params.width;
    frame->height = params.height;
    av_frame_get_buffer(frame, 0);

    const auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            EncodedFrame encoded;
            encoded.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            encoded.data.resize(static_cast<std::size_t>(packet->size));
            std::memcpy(encoded.data.data(), packet->data, encoded.data.size());
            out.push_back(std::move(encoded));
            av_packet_unref(packet);
        }
    };
    for (int i = 0; i < params.frames; ++i) {
        av_frame_make_writable(frame);
        if (params.draw) {
            params.draw(i, frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                        frame->data[2], frame->linesize[2]);
        } else {
            drawPattern(i, params.width, params.height, frame->data[0], frame->linesize[0],
                        frame->data[1], frame->linesize[1], frame->data[2], frame->linesize[2]);
        }
        frame->pts = i;
        frame->pict_type = (i % params.keyInterval == 0) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        avcodec_send_frame(ctx, frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

std::unique_ptr<FrameRecord> makeRecord(unsigned channel, std::vector<std::byte> video,
                                        std::uint8_t frameType, int width, int height,
                                        std::uint32_t generation, std::uint32_t frameTime) {
    auto record = std::make_unique<FrameRecord>();
    FrameDescriptor& d = record->descriptor;
    d.channel = static_cast<std::uint8_t>(channel);
    d.frameType = frameType;
    d.width = static_cast<std::uint16_t>(width);
    d.height = static_cast<std::uint16_t>(height);
    d.videoLength = static_cast<std::uint32_t>(video.size());
    d.blockLength = d.videoLength + static_cast<std::uint32_t>(kFrameInfoBlockSize);
    d.streamGeneration = generation;
    d.infoWord = frameTime;
    record->header.headerWord3 = frameTime;
    record->header.setFragmentChannel(channel);
    FrameInfoBlock block;
    block.channel = static_cast<std::uint8_t>(channel);
    block.videoLength = d.videoLength;
    block.frameType = frameType;
    block.infoWord = frameTime;
    const auto encoded = encodeFrameInfoBlock(block);
    record->data.assign(encoded.begin(), encoded.end());
    record->data.insert(record->data.end(), video.begin(), video.end());
    return record;
}

std::unique_ptr<FrameRecord> makeRecord(unsigned channel, const EncodedFrame& frame, int width,
                                        int height, std::uint32_t generation,
                                        std::uint32_t frameTime) {
    return makeRecord(channel, frame.data, frame.key ? kFrameTypeKey : 0, width, height, generation,
                      frameTime);
}

} // namespace kalder::test
