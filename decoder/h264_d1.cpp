// H264_D1.so: the client's H.264 decoder module, a thin layer over libavcodec. One libavcodec
// decoder per context; the caller (one decode thread per channel) never uses a context from two
// threads at once, so a decoder needs no lock of its own. The table of live decoders is shared
// by all contexts and guarded by g_decodersLock.

#include "decoder/h264_d1_api.h"
#include "decoder/parameter_sets.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#define KALDER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

struct StreamDecoder {
    std::unique_ptr<AVCodecContext, CodecContextFree> codec;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<AVFrame, FrameFree> frame;
    std::unique_ptr<AVFrame, FrameFree> latest;
    // Conversion of one field (or of the whole picture) into the output format; rebuilt only
    // when the source size or pixel format changes.
    SwsContext* convert = nullptr;
    std::uint32_t format = kH264FormatPlanar;
    // Input buffers of one size, padded as libavcodec requires, reused from frame to frame
    // instead of a fresh allocation per frame; a larger frame makes a pool of larger buffers
    // (the old pool goes once its last buffer is back).
    AVBufferPool* packetPool = nullptr;
    std::size_t packetPoolSize = 0;
    // The last sequence parameter set seen announced a picture larger than the client draws:
    // that set and the frames after it never reach libavcodec, until a set of a usable size
    // comes (the recorders send one in front of every key frame).
    bool refusingStream = false;

    ~StreamDecoder() {
        av_buffer_pool_uninit(&packetPool);
        sws_freeContext(convert);
    }
};

constexpr std::size_t kSmallestPacketBuffer = 64 * 1024;

// Fills `packet` with a copy of the frame's bytes in a pooled buffer; false when out of memory.
bool fillPacket(StreamDecoder& decoder, AVPacket* packet, const std::uint8_t* video, int length) {
    const std::size_t size = static_cast<std::size_t>(length);
    if (decoder.packetPool == nullptr ||
        size + AV_INPUT_BUFFER_PADDING_SIZE > decoder.packetPoolSize) {
        std::size_t poolSize = std::max(kSmallestPacketBuffer, decoder.packetPoolSize);
        while (poolSize < size + AV_INPUT_BUFFER_PADDING_SIZE) {
            poolSize *= 2;
        }
        av_buffer_pool_uninit(&decoder.packetPool);
        decoder.packetPool = av_buffer_pool_init(poolSize, nullptr);
        decoder.packetPoolSize = decoder.packetPool != nullptr ? poolSize : 0;
        if (decoder.packetPool == nullptr) {
            return false;
        }
    }
    AVBufferRef* buffer = av_buffer_pool_get(decoder.packetPool);
    if (buffer == nullptr) {
        return false;
    }
    std::memcpy(buffer->data, video, size);
    std::memset(buffer->data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    packet->buf = buffer;
    packet->data = buffer->data;
    packet->size = length;
    return true;
}

std::mutex g_decodersLock;
// Decoders by handle (context word 4). Guarded by g_decodersLock.
std::map<std::uint32_t, std::unique_ptr<StreamDecoder>> g_decoders;
std::uint32_t g_nextHandle = 1; // guarded by g_decodersLock; 0 is never handed out

StreamDecoder* findDecoder(std::uint32_t handle) {
    std::lock_guard lock(g_decodersLock);
    auto it = g_decoders.find(handle);
    return it == g_decoders.end() ? nullptr : it->second.get();
}

constexpr std::int64_t kLargestPicturePixels = 720 * 576;

bool isFieldPicture(int height) {
    return height == 480 || height == 576;
}

// Copies `rows` rows of `width` bytes into a packed plane. A field picture's even rows go to
// the upper half and its odd rows to the lower half.
void copyPlane(std::uint8_t* dst, int width, int rows, const std::uint8_t* src, int srcStride,
               bool fields) {
    if (!fields) {
        for (int r = 0; r < rows; ++r) {
            std::memcpy(dst + static_cast<std::size_t>(r) * width,
                        src + static_cast<std::ptrdiff_t>(r) * srcStride, width);
        }
        return;
    }
    const int half = rows / 2;
    for (int r = 0; r < half * 2; ++r) {
        const int target = (r % 2 == 0) ? r / 2 : half + r / 2;
        std::memcpy(dst + static_cast<std::size_t>(target) * width,
                    src + static_cast<std::ptrdiff_t>(r) * srcStride, width);
    }
}

AVPixelFormat plainFormat(AVPixelFormat format, int& fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = 1;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = 1;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = 1;
        return AV_PIX_FMT_YUV444P;
    default:
        return format;
    }
}

// Bottom-up blue-green-red as drawn: libswscale writes the picture (or only its second field,
// rows taken with a doubled stride) upwards from the last row of the buffer; for a field
// picture every converted row lands on the lower row of its display pair and is copied to the
// upper one.
bool convertBottomUp(StreamDecoder& decoder, const AVFrame& frame, std::uint8_t* picture,
                     bool fields) {
    const int height = frame.height;
    const int rows = fields ? height / 2 : height;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(frame.width) * 3;
    const std::uint8_t* src[4] = {};
    int srcStride[4] = {};
    const int firstRow = fields ? 1 : 0;
    for (int p = 0; p < 4 && frame.data[p] != nullptr; ++p) {
        src[p] = frame.data[p] + static_cast<std::ptrdiff_t>(firstRow) * frame.linesize[p];
        srcStride[p] = frame.linesize[p] * (fields ? 2 : 1);
    }
    std::uint8_t* last = picture + static_cast<std::ptrdiff_t>(height - 1) * rowBytes;
    std::uint8_t* dst[4] = {last};
    int dstStride[4] = {static_cast<int>(-rowBytes * (fields ? 2 : 1))};
    if (sws_scale(decoder.convert, src, srcStride, 0, rows, dst, dstStride) != rows) {
        return false;
    }
    if (fields) {
        for (int i = 0; i < rows; ++i) {
            std::uint8_t* lower = last - 2 * i * rowBytes;
            std::memcpy(lower - rowBytes, lower, static_cast<std::size_t>(rowBytes));
        }
    }
    return true;
}

// Converts the picture (or each of its fields, rows taken with a doubled stride) with
// libswscale into the caller's buffer.
bool convertPicture(StreamDecoder& decoder, const AVFrame& frame, std::uint8_t* picture) {
    const int width = frame.width;
    const int height = frame.height;
    const bool fields = isFieldPicture(height);
    const int rows = fields ? height / 2 : height;
    int fullRange = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    const AVPixelFormat source = plainFormat(static_cast<AVPixelFormat>(frame.format), fullRange);
    const bool bgr = decoder.format != kH264FormatPlanar;
    const AVPixelFormat target = bgr ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_YUV420P;
    decoder.convert = sws_getCachedContext(decoder.convert, width, rows, source, width, rows,
                                           target, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (decoder.convert == nullptr) {
        return false;
    }
    int* inverse = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(decoder.convert, &inverse, &srcRange, &table, &dstRange,
                                 &brightness, &contrast, &saturation) >= 0 &&
        srcRange != fullRange) {
        const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(decoder.convert, coefficients, fullRange, coefficients, 0,
                                 brightness, contrast, saturation);
    }

    if (decoder.format == kH264FormatBgrBottomUp) {
        return convertBottomUp(decoder, frame, picture, fields);
    }
    const int fieldCount = fields ? 2 : 1;
    for (int field = 0; field < fieldCount; ++field) {
        const std::uint8_t* src[4] = {};
        int srcStride[4] = {};
        for (int p = 0; p < 4 && frame.data[p] != nullptr; ++p) {
            src[p] = frame.data[p] + static_cast<std::ptrdiff_t>(field) * frame.linesize[p];
            srcStride[p] = frame.linesize[p] * fieldCount;
        }
        std::uint8_t* dst[4] = {};
        int dstStride[4] = {};
        if (target == AV_PIX_FMT_BGR24) {
            dst[0] = picture + static_cast<std::size_t>(field) * rows * width * 3;
            dstStride[0] = width * 3;
        } else {
            const std::size_t lumaSize = static_cast<std::size_t>(width) * height;
            const std::size_t chromaSize = lumaSize / 4;
            const int chromaRows = rows / 2;
            dst[0] = picture + static_cast<std::size_t>(field) * rows * width;
            dst[1] =
                picture + lumaSize + static_cast<std::size_t>(field) * chromaRows * (width / 2);
            dst[2] = picture + lumaSize + chromaSize +
                     static_cast<std::size_t>(field) * chromaRows * (width / 2);
            dstStride[0] = width;
            dstStride[1] = dstStride[2] = width / 2;
        }
        if (sws_scale(decoder.convert, src, srcStride, 0, rows, dst, dstStride) != rows) {
            return false;
        }
    }
    return true;
}

int writePicture(StreamDecoder& decoder, const AVFrame& frame, std::uint8_t* picture) {
    const int width = frame.width;
    const int height = frame.height;
    if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) {
        return kH264BadFrame;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    const std::size_t needed = decoder.format != kH264FormatPlanar ? pixels * 3 : pixels * 3 / 2;
    if (needed > kH264PictureBufferSize) {
        return kH264TooLarge;
    }
    const bool fields = isFieldPicture(height);
    const bool plain420 = frame.format == AV_PIX_FMT_YUV420P || frame.format == AV_PIX_FMT_YUVJ420P;
    if (decoder.format == kH264FormatPlanar && plain420) {
        // Straight copy: the common case needs no conversion at all.
        copyPlane(picture, width, height, frame.data[0], frame.linesize[0], fields);
        std::uint8_t* u = picture + pixels;
        std::uint8_t* v = u + pixels / 4;
        copyPlane(u, width / 2, height / 2, frame.data[1], frame.linesize[1], fields);
        copyPlane(v, width / 2, height / 2, frame.data[2], frame.linesize[2], fields);
        return kH264Picture;
    }
    return convertPicture(decoder, frame, picture) ? kH264Picture : kH264BadFrame;
}

std::unique_ptr<StreamDecoder> openDecoder(std::uint32_t format, std::uint32_t threads) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        return nullptr;
    }
    auto decoder = std::make_unique<StreamDecoder>();
    decoder->format = format;
    decoder->codec.reset(avcodec_alloc_context3(codec));
    decoder->packet.reset(av_packet_alloc());
    decoder->frame.reset(av_frame_alloc());
    decoder->latest.reset(av_frame_alloc());
    if (!decoder->codec || !decoder->packet || !decoder->frame || !decoder->latest) {
        return nullptr;
    }
    // One decode thread per channel already spreads the channels over the cores; frame
    // threads only add latency (a picture comes out threads - 1 frames late).
    decoder->codec->thread_count = threads > 1 ? static_cast<int>(threads) : 1;
    decoder->codec->thread_type = threads > 1 ? FF_THREAD_FRAME : 0;
    // The stream comes from an untrusted recorder: a picture larger than the biggest the client
    // draws (720 x 576, the picture buffer) is refused when its slice header is read, before
    // libavcodec allocates its frames, instead of being decoded in full and then dropped.
    decoder->codec->max_pixels = kLargestPicturePixels;
    if (avcodec_open2(decoder->codec.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return decoder;
}

} // namespace

KALDER_EXPORT int PT_H264dec_Uninit(std::uint32_t* context) {
    if (context == nullptr) {
        return 0;
    }
    const std::uint32_t handle = context[kH264WordDecoder];
    context[kH264WordDecoder] = 0;
    if (handle == 0) {
        return 0;
    }
    std::unique_ptr<StreamDecoder> gone;
    {
        std::lock_guard lock(g_decodersLock);
        auto it = g_decoders.find(handle);
        if (it != g_decoders.end()) {
            gone = std::move(it->second);
            g_decoders.erase(it);
        }
    }
    return 0; // `gone` is released outside the lock
}

KALDER_EXPORT int PT_H264dec_Init(std::uint32_t* context) {
    if (context == nullptr) {
        return -1;
    }
    if (context[kH264WordDecoder] != 0) {
        PT_H264dec_Uninit(context);
    }
    const std::uint32_t format = context[kH264WordFormat];
    if (format != kH264FormatPlanar && format != kH264FormatBgr &&
        format != kH264FormatBgrBottomUp) {
        return -2;
    }
    // libavcodec reports damaged frames on stderr; the client shows nothing of that kind.
    if (av_log_get_level() == AV_LOG_INFO) {
        av_log_set_level(AV_LOG_FATAL);
    }
    std::unique_ptr<StreamDecoder> decoder = openDecoder(format, context[kH264WordThreads]);
    if (!decoder) {
        return -1;
    }
    std::lock_guard lock(g_decodersLock);
    std::uint32_t handle = g_nextHandle++;
    if (handle == 0) {
        handle = g_nextHandle++;
    }
    g_decoders.emplace(handle, std::move(decoder));
    context[kH264WordDecoder] = handle;
    return 0;
}

KALDER_EXPORT int PT_H264dec_GetOneFrame(std::uint32_t* context, const std::uint8_t* video,
                                         int videoLength, std::uint8_t* picture) {
    if (context == nullptr) {
        return kH264NoDecoder;
    }
    StreamDecoder* decoder = findDecoder(context[kH264WordDecoder]);
    if (decoder == nullptr) {
        return kH264NoDecoder;
    }
    if (video == nullptr || picture == nullptr || videoLength <= 0) {
        return kH264BadFrame;
    }
    // The size check comes before libavcodec sees the frame: it would allocate its tables for
    // the announced size first (max_pixels below only refuses the picture itself). The coded
    // size is compared, so a set whose cropping would bring it under the limit is refused too;
    // every picture the client draws is a whole number of macroblocks.
    const auto announced =
        kalder::h264::largestAnnouncedPicture({video, static_cast<std::size_t>(videoLength)});
    if (announced) {
        decoder->refusingStream = *announced > kLargestPicturePixels;
    }
    if (decoder->refusingStream) {
        return kH264TooLarge;
    }
    decoder->codec->skip_loop_filter =
        context[kH264WordSkipLoopFilter] != 0 ? AVDISCARD_ALL : AVDISCARD_DEFAULT;
    AVPacket* packet = decoder->packet.get();
    if (!fillPacket(*decoder, packet, video, videoLength)) {
        return kH264BadFrame;
    }
    const int sent = avcodec_send_packet(decoder->codec.get(), packet);
    av_packet_unref(packet);
    if (sent == AVERROR_EOF || sent == AVERROR(ENOMEM) || sent == AVERROR(EINVAL)) {
        // The decoder is in a state a fresh one does not have.
        return kH264Rebuild;
    }
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        // A refused picture size leaves the size the stream announced in the context.
        const AVCodecContext& codec = *decoder->codec;
        const bool tooLarge =
            std::int64_t(codec.width) * std::int64_t(codec.height) > kLargestPicturePixels;
        return tooLarge ? kH264TooLarge : kH264BadFrame;
    }
    // Normally one picture per frame; should the decoder hold more, the newest is shown.
    bool got = false;
    for (;;) {
        const int received = avcodec_receive_frame(decoder->codec.get(), decoder->frame.get());
        if (received < 0) {
            break;
        }
        av_frame_unref(decoder->latest.get());
        av_frame_move_ref(decoder->latest.get(), decoder->frame.get());
        got = true;
    }
    if (!got) {
        return kH264NoPicture;
    }
    const AVFrame& frame = *decoder->latest;
    const int result = writePicture(*decoder, frame, picture);
    if (result == kH264Picture) {
        context[kH264WordWidth] = static_cast<std::uint32_t>(frame.width);
        context[kH264WordHeight] = static_cast<std::uint32_t>(frame.height);
    }
    av_frame_unref(decoder->latest.get());
    return result;
}
