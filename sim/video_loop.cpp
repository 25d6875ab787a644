#include "sim/video_loop.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "sim/bitmap_font.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace kalder::sim {

namespace {

// Bump when the scene, the encoder settings or the file layout change: old cache files then
// stop matching and are encoded anew.
// 3: the labels moved from the corners to the lower middle, clear of the client's overlays.
constexpr std::uint32_t kLoopFormatVersion = 3;
constexpr char kLoopMagic[8] = {'K', 'S', 'I', 'M', 'L', 'O', 'O', 'P'};

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::uint64_t fnv1a64(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

void fillRect(std::uint8_t* plane, int stride, int width, int height, int x0, int y0, int w, int h,
              std::uint8_t value) {
    const int x1 = std::min(width, x0 + w);
    const int y1 = std::min(height, y0 + h);
    for (int y = std::max(0, y0); y < y1; ++y)
        for (int x = std::max(0, x0); x < x1; ++x)
            plane[y * stride + x] = value;
}

// Bounces 0 → range → 0 over `period` steps.
int triangle(unsigned step, unsigned period, int range) {
    if (period == 0)
        return 0;
    const unsigned half = period / 2 ? period / 2 : 1;
    const unsigned t = step % period;
    const unsigned up = t < half ? t : period - t;
    return static_cast<int>(static_cast<long long>(range) * up / half);
}

} // namespace

std::string LoopParams::key() const {
    char text[512];
    std::snprintf(text, sizeof text, "v%u|%ux%u|%ufps|%ukbps|gop%u|n%u|ch%u|%s|%s",
                  kLoopFormatVersion, width, height, framesPerSecond, bitrateKbps,
                  keyIntervalFrames, frameCount, channel, preset.c_str(), title.c_str());
    return text;
}

void drawScene(const LoopParams& p, unsigned index, std::uint8_t* yPlane, int yStride,
               std::uint8_t* uPlane, int uStride, std::uint8_t* vPlane, int vStride) {
    const int w = static_cast<int>(p.width);
    const int h = static_cast<int>(p.height);
    // Background: a panning pattern of tiles and ramps, plus grain that changes every frame.
    const int pan = static_cast<int>(index) * 3;
    std::uint32_t seed = 0x9E3779B9u * (index + 1) ^ (p.channel * 0x85EBCA6Bu);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = yPlane + y * yStride;
        for (int x = 0; x < w; ++x) {
            const int xs = x + pan;
            const int tile = (((xs >> 5) + (y >> 5)) & 1) * 28;
            const int ramp = ((xs + 2 * y) & 127) >> 2;
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>((seed >> 24) & 15) - 8;
            row[x] = static_cast<std::uint8_t>(std::clamp(70 + tile + ramp + grain, 16, 235));
        }
    }
    // A tint per channel in the chroma planes, so that the channels look different.
    const std::uint8_t tintU = static_cast<std::uint8_t>(96 + (p.channel * 37) % 64);
    const std::uint8_t tintV = static_cast<std::uint8_t>(160 - (p.channel * 23) % 64);
    for (int y = 0; y < h / 2; ++y) {
        std::fill_n(uPlane + y * uStride, w / 2, tintU);
        std::fill_n(vPlane + y * vStride, w / 2, tintV);
    }

    // The moving element: a box bouncing across the picture once per loop, above the labels
    // (their plates cover only the luma).
    const SceneLabelLayout labels = sceneLabelLayout(p);
    const int box = labels.numberScale * 5;
    const int boxTop = h / 6;
    const int bx = triangle(index, p.frameCount, w - box) & ~1;
    const int by =
        (boxTop + triangle(index * 2, p.frameCount, std::max(0, labels.area.y - boxTop - box))) &
        ~1;
    fillRect(yPlane, yStride, w, h, bx, by, box, box, 225);
    fillRect(uPlane, uStride, w / 2, h / 2, bx / 2, by / 2, box / 2, box / 2, 40);
    fillRect(vPlane, vStride, w / 2, h / 2, bx / 2, by / 2, box / 2, box / 2, 220);

    drawSceneLabels(p, index, yPlane, yStride);
}

SceneLabelLayout sceneLabelLayout(const LoopParams& p) {
    const int w = static_cast<int>(p.width);
    const int h = static_cast<int>(p.height);
    SceneLabelLayout l;
    l.numberScale = std::max(2, h / 40); // 12 at 480 lines, 6 at 240
    l.textScale = std::max(1, h / 120);  // 4 at 480 lines, 2 at 240
    const std::string number = std::to_string(p.channel + 1);
    const int numberWidth = BitmapFont::textWidth(number, l.numberScale);
    // The number's plate: half a glyph scale of margin around it.
    const int numberPlateHeight = (BitmapFont::kGlyphHeight + 1) * l.numberScale;
    const int numberPlateWidth = numberWidth + l.numberScale;
    l.numberPlate = {(w - numberPlateWidth) / 2, h * 2 / 5, numberPlateWidth, numberPlateHeight};
    l.numberX = l.numberPlate.x + l.numberScale / 2;
    l.numberY = l.numberPlate.y + l.numberScale / 2;
    // The title and the position in the loop, on one plate across the picture below the number.
    const int textPlateHeight = (BitmapFont::kGlyphHeight + 4) * l.textScale;
    l.textPlate = {0, l.numberPlate.y + numberPlateHeight + l.textScale * 2, w, textPlateHeight};
    l.textY = l.textPlate.y + 2 * l.textScale;
    const int top = l.numberPlate.y;
    l.area = {0, top, w, l.textPlate.y + textPlateHeight - top};
    return l;
}

SceneRect sceneLabelArea(const LoopParams& params) {
    return sceneLabelLayout(params).area;
}

void drawSceneLabels(const LoopParams& p, unsigned index, std::uint8_t* yPlane, int yStride) {
    const int w = static_cast<int>(p.width);
    const int h = static_cast<int>(p.height);
    const SceneLabelLayout l = sceneLabelLayout(p);
    auto plate = [&](const SceneRect& r, std::uint8_t value) {
        fillRect(yPlane, yStride, w, h, r.x, r.y, r.width, r.height, value);
    };
    // The channel number, large, on a dark plate.
    plate(l.numberPlate, 24);
    BitmapFont::drawText(yPlane, yStride, w, h, l.numberX, l.numberY, l.numberScale,
                         std::to_string(p.channel + 1), 235);
    // The title and the position in the loop (seconds:frame), smaller, centred together.
    char counter[32];
    const unsigned fps = p.framesPerSecond ? p.framesPerSecond : 1;
    std::snprintf(counter, sizeof counter, "%02u:%02u", index / fps, index % fps);
    const std::string gap = p.title.empty() ? std::string() : "  ";
    const int lineWidth = BitmapFont::textWidth(p.title + gap + counter, l.textScale);
    const int titleX = std::max(l.textScale * 2, (w - lineWidth) / 2);
    const int counterX = titleX + BitmapFont::textWidth(p.title + gap, l.textScale);
    plate(l.textPlate, 32);
    BitmapFont::drawText(yPlane, yStride, w, h, titleX, l.textY, l.textScale, p.title, 230);
    BitmapFont::drawText(yPlane, yStride, w, h, counterX, l.textY, l.textScale, counter, 200);
}

std::optional<VideoLoop> encodeVideoLoop(const LoopParams& params, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "libavcodec has no libx264 encoder";
        return std::nullopt;
    }
    std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        error = "cannot allocate the encoder";
        return std::nullopt;
    }
    ctx->width = static_cast<int>(params.width);
    ctx->height = static_cast<int>(params.height);
    ctx->time_base = AVRational{1, static_cast<int>(params.framesPerSecond)};
    ctx->framerate = AVRational{static_cast<int>(params.framesPerSecond), 1};
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->gop_size = static_cast<int>(params.keyIntervalFrames);
    ctx->keyint_min = static_cast<int>(params.keyIntervalFrames);
    ctx->max_b_frames = 0;
    ctx->bit_rate = static_cast<std::int64_t>(params.bitrateKbps) * 1000;
    ctx->rc_max_rate = ctx->bit_rate * 3 / 2;
    ctx->rc_buffer_size = static_cast<int>(ctx->bit_rate);
    ctx->thread_count = 1;
    // SPS and PPS in front of every key frame (no global header), no scene-cut key frames, so
    // that key frames fall exactly every key interval and the loop can restart at frame 0.
    av_opt_set(ctx->priv_data, "preset", params.preset.c_str(), 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx->priv_data, "profile", "baseline", 0);
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:repeat-headers=1:log=-1", 0);
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        error = "cannot open the libx264 encoder";
        return std::nullopt;
    }
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!frame || !packet) {
        error = "out of memory";
        return std::nullopt;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = ctx->width;
    frame->height = ctx->height;
    if (av_frame_get_buffer(frame.get(), 32) < 0) {
        error = "cannot allocate a picture";
        return std::nullopt;
    }

    VideoLoop loop;
    loop.params = params;
    loop.frames.reserve(params.frameCount);
    auto drain = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_packet(ctx.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            EncodedFrame out;
            out.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            const auto* bytes = reinterpret_cast<const std::byte*>(packet->data);
            out.data.assign(bytes, bytes + packet->size);
            loop.frames.push_back(std::move(out));
            av_packet_unref(packet.get());
        }
    };
    for (unsigned i = 0; i < params.frameCount; ++i) {
        if (av_frame_make_writable(frame.get()) < 0) {
            error = "cannot write the picture";
            return std::nullopt;
        }
        drawScene(params, i, frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                  frame->data[2], frame->linesize[2]);
        frame->pts = i;
        // Force the key frames where the loop needs them (frame 0 and every interval).
        frame->pict_type =
            i % params.keyIntervalFrames == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        frame->key_frame = i % params.keyIntervalFrames == 0;
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0 || !drain()) {
            error = "encoding failed";
            return std::nullopt;
        }
    }
    if (avcodec_send_frame(ctx.get(), nullptr) < 0 || !drain()) {
        error = "encoding failed at the end";
        return std::nullopt;
    }
    if (loop.frames.size() != params.frameCount || loop.frames.empty() || !loop.frames[0].key) {
        error = "encoder gave " + std::to_string(loop.frames.size()) + " frames for " +
                std::to_string(params.frameCount);
        return std::nullopt;
    }
    return loop;
}

std::string loopCachePath(const std::string& cacheDir, const LoopParams& params) {
    char name[64];
    std::snprintf(name, sizeof name, "loop-%016llx.h264loop",
                  static_cast<unsigned long long>(fnv1a64(params.key())));
    return cacheDir + "/" + name;
}

bool saveVideoLoop(const VideoLoop& loop, const std::string& path) {
    const std::string key = loop.params.key();
    std::size_t size = sizeof kLoopMagic + 4 + 4 + key.size() + 4;
    for (const EncodedFrame& f : loop.frames)
        size += 1 + 4 + f.data.size();
    std::vector<std::byte> bytes(size);
    ByteWriter w(bytes);
    w.writeBytes(std::as_bytes(std::span(kLoopMagic)));
    w.writeLe32(kLoopFormatVersion);
    w.writeLe32(static_cast<std::uint32_t>(key.size()));
    w.writeBytes(std::as_bytes(std::span(key.data(), key.size())));
    w.writeLe32(static_cast<std::uint32_t>(loop.frames.size()));
    for (const EncodedFrame& f : loop.frames) {
        w.writeU8(f.key ? 1 : 0);
        w.writeLe32(static_cast<std::uint32_t>(f.data.size()));
        w.writeBytes(f.data);
    }
    if (!w.ok())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    // Several simulators may fill the same cache at once: write a private file, then rename it
    // into place, which replaces any copy another process wrote meanwhile in one step.
    const std::string temp =
        path + ".tmp." + std::to_string(::getpid()) + "." +
        std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

std::optional<VideoLoop> loadVideoLoop(const LoopParams& params, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length <= 0 || length > (std::streamoff(1) << 30))
        return std::nullopt;
    in.seekg(0);
    std::vector<std::byte> bytes(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(bytes.data()), length);
    if (!in)
        return std::nullopt;
    ByteReader r(bytes);
    const auto magic = r.readBytes(sizeof kLoopMagic);
    if (!r.ok() || std::memcmp(magic.data(), kLoopMagic, sizeof kLoopMagic) != 0)
        return std::nullopt;
    if (r.readLe32() != kLoopFormatVersion)
        return std::nullopt;
    const std::uint32_t keyLength = r.readLe32();
    if (keyLength > r.remaining())
        return std::nullopt;
    const auto keyBytes = r.readBytes(keyLength);
    const std::string key(reinterpret_cast<const char*>(keyBytes.data()), keyBytes.size());
    if (!r.ok() || key != params.key())
        return std::nullopt;
    const std::uint32_t count = r.readLe32();
    if (count != params.frameCount)
        return std::nullopt;
    VideoLoop loop;
    loop.params = params;
    loop.frames.resize(count);
    for (EncodedFrame& f : loop.frames) {
        f.key = r.readU8() != 0;
        const std::uint32_t size = r.readLe32();
        if (!r.ok() || size > r.remaining())
            return std::nullopt;
        const auto data = r.readBytes(size);
        f.data.assign(data.begin(), data.end());
    }
    if (!r.ok() || r.remaining() != 0 || loop.frames.empty() || !loop.frames[0].key)
        return std::nullopt;
    return loop;
}

std::shared_ptr<const VideoLoop> obtainVideoLoop(const LoopParams& params,
                                                 const std::string& cacheDir, bool& fromCache,
                                                 std::string& error) {
    const std::string path = loopCachePath(cacheDir, params);
    if (auto loop = loadVideoLoop(params, path)) {
        fromCache = true;
        return std::make_shared<const VideoLoop>(std::move(*loop));
    }
    fromCache = false;
    auto loop = encodeVideoLoop(params, error);
    if (!loop)
        return nullptr;
    // A cache that cannot be written only costs the next start its encoding time.
    saveVideoLoop(*loop, path);
    return std::make_shared<const VideoLoop>(std::move(*loop));
}

} // namespace kalder::sim
