#include "bench_clip.h"

#include "wire/frame_info.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kalder::bench {

namespace {

const char* kDefaultClip = "bench-d1-main-2m.h264";
const char* kMakeClip =
    "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=704x480:rate=30 -t 30 "
    "-vf noise=alls=12:allf=t -c:v libx264 -profile:v main -preset veryfast -bf 0 "
    "-b:v 2M -maxrate 3M -bufsize 2M -g 30 -sc_threshold 0 -x264-params repeat-headers=1 "
    "-f h264 ";

} // namespace

std::string clipOrDefault(const std::string& clip) {
    if (!clip.empty())
        return clip;
    if (!std::ifstream(kDefaultClip)) {
        std::printf("making %s\n", kDefaultClip);
        if (std::system((std::string(kMakeClip) + kDefaultClip).c_str()) != 0) {
            std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
            return {};
        }
    }
    return kDefaultClip;
}

std::vector<AccessUnit> splitAccessUnits(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::vector<AccessUnit> units;
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    int left = static_cast<int>(bytes.size());
    for (bool flushing = false;;) {
        std::uint8_t* out = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(parser, ctx, &out, &outSize, flushing ? nullptr : data,
                                          flushing ? 0 : left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (!flushing) {
            data += used;
            left -= used;
        }
        if (outSize > 0) {
            AccessUnit unit;
            unit.data.assign(reinterpret_cast<const std::byte*>(out),
                             reinterpret_cast<const std::byte*>(out) + outSize);
            unit.key = parser->key_frame == 1;
            units.push_back(std::move(unit));
        }
        if (flushing && outSize == 0) {
            break;
        }
        if (left == 0) {
            flushing = true;
        }
    }
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return units;
}

std::unique_ptr<FrameRecord> record(unsigned channel, const AccessUnit& unit) {
    auto frame = std::make_unique<FrameRecord>();
    FrameDescriptor& d = frame->descriptor;
    d.channel = static_cast<std::uint8_t>(channel);
    d.frameType = unit.key ? kFrameTypeKey : 0;
    d.width = 704;
    d.height = 480;
    d.videoLength = static_cast<std::uint32_t>(unit.data.size());
    d.blockLength = d.videoLength + kFrameInfoBlockSize;
    d.streamGeneration = 1;
    frame->data.resize(kFrameInfoBlockSize);
    frame->data.insert(frame->data.end(), unit.data.begin(), unit.data.end());
    return frame;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double referenceLoop(const std::vector<AccessUnit>& units, int repeat, int threads,
                     double* cpuFps) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = threads;
    ctx->thread_type = threads > 1 ? FF_THREAD_FRAME : 0;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    long pictures = 0;
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    for (int r = 0; r < repeat; ++r) {
        for (const auto& unit : units) {
            av_new_packet(packet, static_cast<int>(unit.data.size()));
            std::memcpy(packet->data, unit.data.data(), unit.data.size());
            avcodec_send_packet(ctx, packet);
            av_packet_unref(packet);
            while (avcodec_receive_frame(ctx, frame) == 0) {
                ++pictures;
            }
        }
    }
    avcodec_send_packet(ctx, nullptr);
    while (avcodec_receive_frame(ctx, frame) == 0) {
        ++pictures;
    }
    const double elapsed = seconds(Clock::now() - start);
    if (cpuFps != nullptr) {
        *cpuFps = static_cast<double>(pictures) / (cpuSeconds() - cpuStart);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return static_cast<double>(pictures) / elapsed;
}

} // namespace kalder::bench
