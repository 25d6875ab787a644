#include "export/picture_burner.h"

#include "wire/recorder_time.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>

extern "C" {
#include <libavutil/opt.h>
}

namespace kalder {

namespace {

constexpr AVRational kBurnMsBase{1, 1000};
// The encoder's settings: quick enough for a channel faster than real time on one core, and
// no reordering, so every picture leaves the encoder as it goes in.
constexpr const char* kBurnPreset = "veryfast";
constexpr const char* kBurnQuality = "21"; // constant rate factor
constexpr int kBurnLongestGroup = 300;     // pictures; the recording's key frames come first

std::uint8_t burnClampByte(int v) {
    return std::uint8_t(std::clamp(v, 0, 255));
}

} // namespace

std::unique_ptr<PictureBurner> PictureBurner::create(std::string& error) {
    std::unique_ptr<PictureBurner> b(new PictureBurner);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        error = "libavcodec has no H.264 decoder";
        return nullptr;
    }
    b->m_decoder.reset(avcodec_alloc_context3(codec));
    b->m_packet.reset(av_packet_alloc());
    b->m_decoded.reset(av_frame_alloc());
    b->m_last.reset(av_frame_alloc());
    if (!b->m_decoder || !b->m_packet || !b->m_decoded || !b->m_last) {
        error = "out of memory";
        return nullptr;
    }
    // One thread and no reordering delay: each frame's picture comes out with its packet.
    b->m_decoder->thread_count = 1;
    b->m_decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    b->m_decoder->pkt_timebase = kBurnMsBase;
    if (const int r = avcodec_open2(b->m_decoder.get(), codec, nullptr); r < 0) {
        error = "the H.264 decoder cannot be opened: " + avErrorText(r);
        return nullptr;
    }
    return b;
}

PictureBurner::~PictureBurner() = default;

bool PictureBurner::fail(const std::string& what, int code) {
    if (m_error.empty())
        m_error = code ? what + ": " + avErrorText(code) : what;
    return false;
}

std::vector<std::byte> PictureBurner::parameterSets() const {
    if (!m_encoder || !m_encoder->extradata)
        return {};
    const auto* data = reinterpret_cast<const std::byte*>(m_encoder->extradata);
    return {data, data + m_encoder->extradata_size};
}

bool PictureBurner::openEncoder(const AVFrame* picture) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        return fail("libavcodec has no libx264 encoder", 0);
    AvCodecContextPtr c(avcodec_alloc_context3(codec));
    if (!c)
        return fail("out of memory", AVERROR(ENOMEM));
    c->width = picture->width;
    c->height = picture->height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->color_range = picture->color_range;
    c->sample_aspect_ratio = picture->sample_aspect_ratio;
    c->time_base = kBurnMsBase;
    c->max_b_frames = 0;
    c->gop_size = kBurnLongestGroup;
    // Both containers keep the parameter sets in their header.
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", kBurnPreset, 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    av_opt_set(c->priv_data, "crf", kBurnQuality, 0);
    av_opt_set(c->priv_data, "forced-idr", "1", 0);
    if (const int r = avcodec_open2(c.get(), codec, nullptr); r < 0)
        return fail("the libx264 encoder cannot be opened", r);
    m_encoder = std::move(c);
    m_width = picture->width;
    m_height = picture->height;
    return true;
}

void PictureBurner::prepareOverlay(std::uint32_t time, const std::string& title) {
    if (m_haveOverlay && m_overlayTime == time && m_overlayTitle == title)
        return;
    m_haveOverlay = true;
    m_overlayTime = time;
    m_overlayTitle = title;

    QStringList lines{QString::fromStdString(formatRecorderTime(time))};
    if (!title.empty())
        lines << QString::fromStdString(title);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(12, m_height / 18));
    const QFontMetrics metrics(font);
    const int pad = std::max(2, font.pixelSize() / 5);
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    // Even sizes and an even origin: each chroma sample covers two by two whole luma samples.
    const int margin = (font.pixelSize() / 2) & ~1;
    m_overlayWidth = std::min((textWidth + 2 * pad + 1) & ~1, (m_width - margin) & ~1);
    m_overlayHeight = std::min((int(lines.size()) * metrics.height() + 2 * pad + 1) & ~1,
                               (m_height - margin) & ~1);
    m_overlayWidth = std::max(m_overlayWidth, 0);
    m_overlayHeight = std::max(m_overlayHeight, 0);

    QImage image(std::max(m_overlayWidth, 2), std::max(m_overlayHeight, 2),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(image.rect(), QColor(0, 0, 0, 150));
        QPainterPath path;
        for (int i = 0; i < lines.size(); ++i)
            path.addText(pad, pad + metrics.ascent() + i * metrics.height(), font, lines[i]);
        p.strokePath(path, QPen(Qt::black, std::max(2.0, font.pixelSize() / 8.0), Qt::SolidLine,
                                Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(path, Qt::white);
    }

    // Premultiplied RGB to limited-range BT.601, the colour already weighted by its coverage.
    const int w = m_overlayWidth, h = m_overlayHeight;
    m_lumaAlpha.assign(std::size_t(w) * h, 0);
    m_lumaColour.assign(std::size_t(w) * h, 0);
    m_chromaAlpha.assign(std::size_t(w / 2) * (h / 2), 0);
    m_chromaU.assign(m_chromaAlpha.size(), 0);
    m_chromaV.assign(m_chromaAlpha.size(), 0);
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = qAlpha(row[x]), r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            m_lumaAlpha[std::size_t(y) * w + x] = std::uint8_t(a);
            m_lumaColour[std::size_t(y) * w + x] =
                burnClampByte((16 * a * 256 / 255 + 66 * r + 129 * g + 25 * b + 128) >> 8);
        }
    }
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x) {
            int a = 0, r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy) {
                const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(2 * y + dy));
                for (int dx = 0; dx < 2; ++dx) {
                    const QRgb px = row[2 * x + dx];
                    a += qAlpha(px);
                    r += qRed(px);
                    g += qGreen(px);
                    b += qBlue(px);
                }
            }
            a /= 4;
            r /= 4;
            g /= 4;
            b /= 4;
            const std::size_t i = std::size_t(y) * (w / 2) + x;
            m_chromaAlpha[i] = std::uint8_t(a);
            m_chromaU[i] =
                burnClampByte((128 * a * 256 / 255 - 38 * r - 74 * g + 112 * b + 128) >> 8);
            m_chromaV[i] =
                burnClampByte((128 * a * 256 / 255 + 112 * r - 94 * g - 18 * b + 128) >> 8);
        }
}

void PictureBurner::drawOverlay(AVFrame* picture, std::uint32_t time, const std::string& title) {
    prepareOverlay(time, title);
    const int margin = (std::max(12, m_height / 18) / 2) & ~1;
    const int w = m_overlayWidth, h = m_overlayHeight;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = picture->data[0] + std::ptrdiff_t(margin + y) * picture->linesize[0];
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * w + x;
            std::uint8_t& v = row[margin + x];
            v = std::uint8_t(v * (255 - m_lumaAlpha[i]) / 255 + m_lumaColour[i]);
        }
    }
    for (int plane = 1; plane <= 2; ++plane) {
        const std::vector<std::uint8_t>& colour = plane == 1 ? m_chromaU : m_chromaV;
        for (int y = 0; y < h / 2; ++y) {
            std::uint8_t* row =
                picture->data[plane] + std::ptrdiff_t(margin / 2 + y) * picture->linesize[plane];
            for (int x = 0; x < w / 2; ++x) {
                const std::size_t i = std::size_t(y) * (w / 2) + x;
                std::uint8_t& v = row[margin / 2 + x];
                v = burnClampByte(v * (255 - m_chromaAlpha[i]) / 255 + colour[i]);
            }
        }
    }
}

bool PictureBurner::encode(const AVFrame* picture, std::vector<Picture>& out) {
    if (const int r = avcodec_send_frame(m_encoder.get(), picture); r < 0)
        return fail("encoding a picture failed", r);
    AvPacketPtr packet(av_packet_alloc());
    if (!packet)
        return fail("out of memory", AVERROR(ENOMEM));
    for (;;) {
        const int r = avcodec_receive_packet(m_encoder.get(), packet.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return fail("encoding a picture failed", r);
        const auto* data = reinterpret_cast<const std::byte*>(packet->data);
        out.push_back(Picture{
            packet->pts, (packet->flags & AV_PKT_FLAG_KEY) != 0, {data, data + packet->size}});
        av_packet_unref(packet.get());
    }
}

bool PictureBurner::burn(AVFrame* decoded, std::int64_t ms, bool key, std::uint32_t time,
                         const std::string& title, std::vector<Picture>& out) {
    if (decoded->format != AV_PIX_FMT_YUV420P && decoded->format != AV_PIX_FMT_YUVJ420P)
        return fail("the recorded pictures are not 4:2:0", 0);
    if (!m_encoder && !openEncoder(decoded))
        return false;
    if (decoded->width != m_width || decoded->height != m_height)
        return fail("the picture size changes within the period", 0);
    AvFramePtr picture(av_frame_clone(decoded));
    if (!picture)
        return fail("out of memory", AVERROR(ENOMEM));
    // The decoder keeps its pictures for those that follow: draw on a copy.
    if (const int r = av_frame_make_writable(picture.get()); r < 0)
        return fail("out of memory", r);
    picture->format = AV_PIX_FMT_YUV420P; // full range stays in color_range
    drawOverlay(picture.get(), time, title);
    picture->pts = ms;
    picture->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return encode(picture.get(), out);
}

bool PictureBurner::add(std::int64_t ms, bool key, std::span<const std::byte> unit,
                        std::uint32_t time, const std::string& title, std::vector<Picture>& out) {
    AVPacket* p = m_packet.get();
    if (const int r = fillVideoPacket(p, ms, key, unit); r < 0)
        return fail("out of memory", r);
    bool pictured = false;
    // A frame the decoder refuses is not fatal: its picture repeats the one before.
    if (avcodec_send_packet(m_decoder.get(), p) >= 0) {
        while (avcodec_receive_frame(m_decoder.get(), m_decoded.get()) >= 0) {
            const std::int64_t at = m_decoded->pts == AV_NOPTS_VALUE ? ms : m_decoded->pts;
            av_frame_unref(m_last.get());
            av_frame_ref(m_last.get(), m_decoded.get());
            const bool ok =
                burn(m_decoded.get(), at, key && at == ms, std::uint32_t(at / 1000), title, out);
            av_frame_unref(m_decoded.get());
            if (!ok)
                return false;
            pictured = true;
        }
    }
    if (!pictured && m_last->data[0])
        return burn(m_last.get(), ms, key, time, title, out);
    return true;
}

bool PictureBurner::finish(std::vector<Picture>& out) {
    if (avcodec_send_packet(m_decoder.get(), nullptr) >= 0)
        while (avcodec_receive_frame(m_decoder.get(), m_decoded.get()) >= 0) {
            const std::int64_t at = m_decoded->pts;
            const bool ok =
                at != AV_NOPTS_VALUE &&
                burn(m_decoded.get(), at, false, std::uint32_t(at / 1000), m_overlayTitle, out);
            av_frame_unref(m_decoded.get());
            if (!ok && !m_error.empty())
                return false;
        }
    if (!m_encoder)
        return true;
    return encode(nullptr, out);
}

} // namespace kalder
