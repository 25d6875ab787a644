#include "video/cell_renderer.h"

#include "video/video_layout.h"

#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <vector>

namespace kalder {

void CellRenderer::SwsDeleter::operator()(SwsContext* context) const {
    sws_freeContext(context);
}

CellRenderer::CellRenderer() = default;
CellRenderer::~CellRenderer() = default;

namespace {

using Tap = CellRenderer::Tap;

// Cells of at most this many pixels are sampled directly from a BGR picture: libswscale spends
// most of its time turning every packed source pixel into its working format, which costs more
// than reading the few pixels a small cell needs (about 0.2 against 0.6 ms for a 16-cell cell of
// a D1 picture); larger cells go through libswscale, whose inner loops are faster per pixel.
constexpr int kSampledPixelLimit = 80000;

// Where each of `outputs` pixels falls among `inputs` pixels, sampling at pixel centres.
void computeTaps(int inputs, int outputs, std::vector<Tap>& taps) {
    taps.resize(static_cast<std::size_t>(outputs));
    for (int i = 0; i < outputs; ++i) {
        // (i + 0.5) · inputs / outputs - 0.5, in 1/256 steps.
        const long long position = ((2LL * i + 1) * inputs * 256) / (2LL * outputs) - 128;
        const long long clamped = std::clamp<long long>(position, 0, (inputs - 1) * 256LL);
        Tap& tap = taps[static_cast<std::size_t>(i)];
        tap.first = static_cast<int>(clamped >> 8);
        tap.second = std::min(tap.first + 1, inputs - 1);
        tap.weight = static_cast<int>(clamped & 255);
    }
}

// Rows a zoomed crop moves by: a field picture is read by field rows (and a line-doubled BGR
// one from every other row), planar chroma covers two rows.
int zoomRowStep(int height, bool planar) {
    const bool fields = height == 480 || height == 576;
    return (fields ? 2 : 1) * (planar ? 2 : 1);
}

} // namespace

bool CellRenderer::prepareTarget(const std::byte* picture, int width, int height, QSize cell,
                                 QImage& target) {
    if (!picture || width <= 1 || height <= 1 || cell.isEmpty())
        return false;
    const QSize size = renderSize(cell);
    if (target.size() != size || target.format() != QImage::Format_RGB32)
        target = QImage(size, QImage::Format_RGB32);
    return !target.isNull();
}

bool CellRenderer::render(const std::byte* picture, int width, int height, bool planar, QSize cell,
                          QImage& target, const CellViewZoom& zoom) {
    // A zoomed cell scales a smaller part of the same picture: the scaler reads fewer source
    // pixels for the same cell, nothing is copied.
    const CellRect source = zoomedSourceRect(pictureSourceRect(width, height, planar), zoom,
                                             planar ? 2 : 1, zoomRowStep(height, planar));
    if (source.width() <= 0 || source.height() <= 0 ||
        !prepareTarget(picture, width, height, cell, target))
        return false;
    const QSize size = target.size();
    if (planar)
        return scalePlanar(picture, width, height, source, false, target);
    if (size.width() * size.height() <= kSampledPixelLimit)
        return sampleBottomUp(picture, width, height, source, target);
    return scaleBottomUp(picture, width, height, source, target);
}

bool CellRenderer::scale(int sourceFormat, int sourceWidth, int sourceRows,
                         const std::uint8_t* const planes[4], const int strides[4], QImage& target,
                         int flags) {
    m_scaler.reset(sws_getCachedContext(
        m_scaler.release(), sourceWidth, sourceRows, static_cast<AVPixelFormat>(sourceFormat),
        target.width(), target.height(), AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr));
    if (!m_scaler)
        return false;
    std::uint8_t* const targetPlanes[4] = {target.bits(), nullptr, nullptr, nullptr};
    const int targetStrides[4] = {static_cast<int>(target.bytesPerLine()), 0, 0, 0};
    return sws_scale(m_scaler.get(), planes, strides, 0, sourceRows, targetPlanes, targetStrides) ==
           target.height();
}

bool CellRenderer::sampleBottomUp(const std::byte* picture, int width, int height,
                                  const CellRect& source, QImage& target) {
    // A 480- or 576-line picture holds its second field line-doubled (display rows 2i and
    // 2i + 1 are equal) and its crop starts on an even row: reading every other row gives the
    // same picture for half the work.
    const bool doubled =
        (height == 480 || height == 576) && source.top % 2 == 0 && source.height() % 2 == 0;
    const int rowStep = doubled ? 2 : 1;
    const int sourceRows = source.height() / rowStep;
    const int rowBytes = width * 3;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture);
    // The picture is stored bottom-up: logical row r of the kept part (top first) lies at
    // stored row height - 1 - (top + r · step).
    const auto rowAt = [&](int row) {
        return bytes +
               static_cast<std::ptrdiff_t>(height - 1 - source.top - row * rowStep) * rowBytes +
               source.left * 3;
    };

    // A bilinear sample of the 2 × 2 source pixels around each cell pixel's centre.
    computeTaps(source.width(), target.width(), m_columnTaps);
    computeTaps(sourceRows, target.height(), m_rowTaps);
    for (int y = 0; y < target.height(); ++y) {
        const Tap& rowTap = m_rowTaps[static_cast<std::size_t>(y)];
        const std::uint8_t* upper = rowAt(rowTap.first);
        const std::uint8_t* lower = rowAt(rowTap.second);
        const int wy = rowTap.weight;
        auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const Tap& tap = m_columnTaps[static_cast<std::size_t>(x)];
            const int wx = tap.weight;
            const std::uint8_t* a = upper + tap.first * 3;
            const std::uint8_t* b = upper + tap.second * 3;
            const std::uint8_t* c = lower + tap.first * 3;
            const std::uint8_t* d = lower + tap.second * 3;
            std::uint32_t pixel = 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                const int top = a[k] * (256 - wx) + b[k] * wx;
                const int bottom = c[k] * (256 - wx) + d[k] * wx;
                const int value = (top * (256 - wy) + bottom * wy + (1 << 15)) >> 16;
                // Bytes are blue, green, red: blue lands in the low byte of RGB32.
                pixel |= static_cast<std::uint32_t>(value) << (8 * k);
            }
            out[x] = pixel;
        }
    }
    return true;
}

bool CellRenderer::scaleBottomUp(const std::byte* picture, int width, int height,
                                 const CellRect& source, QImage& target) {
    const bool doubled =
        (height == 480 || height == 576) && source.top % 2 == 0 && source.height() % 2 == 0;
    const int sourceRows = doubled ? source.height() / 2 : source.height();
    // The picture is stored bottom-up: start at the stored row of the crop's top display row
    // and walk the rows backwards.
    const int rowBytes = width * 3;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture);
    const std::uint8_t* first =
        bytes + static_cast<std::ptrdiff_t>(height - 1 - source.top) * rowBytes + source.left * 3;
    const std::uint8_t* const planes[4] = {first, nullptr, nullptr, nullptr};
    const int strides[4] = {doubled ? -2 * rowBytes : -rowBytes, 0, 0, 0};
    // Plain bilinear: the two-tap scaler reads a pixel past the right end of each source row,
    // which for the top display row of a bottom-up picture lies past the buffer.
    return scale(AV_PIX_FMT_BGR24, source.width(), sourceRows, planes, strides, target,
                 SWS_BILINEAR);
}

bool CellRenderer::renderPlanarAsRgb(const std::byte* picture, int width, int height, QSize cell,
                                     QImage& target, const CellViewZoom& zoom) {
    const CellRect source = zoomedSourceRect(pictureSourceRect(width, height, false), zoom, 2,
                                             zoomRowStep(height, true));
    if (source.width() <= 0 || source.height() <= 0 ||
        !prepareTarget(picture, width, height, cell, target))
        return false;
    return scalePlanar(picture, width, height, source, true, target);
}

bool CellRenderer::scalePlanar(const std::byte* picture, int width, int height,
                               const CellRect& source, bool secondField, QImage& target) {
    // A 480- or 576-line picture holds its two fields one after the other in each plane; it
    // is shown from one field, each row twice, so the crop is taken in field rows.
    const bool fields = height == 480 || height == 576;
    const int top = fields ? source.top / 2 : source.top;
    const int rows = fields ? source.height() / 2 : source.height();
    if (rows <= 0)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture);
    const int chromaWidth = width / 2;
    const std::uint8_t* luma = bytes;
    const std::uint8_t* u = luma + static_cast<std::ptrdiff_t>(width) * height;
    const std::uint8_t* v = u + static_cast<std::ptrdiff_t>(chromaWidth) * (height / 2);
    if (fields && secondField) {
        // The second field's rows follow the first's in each plane.
        luma += static_cast<std::ptrdiff_t>(width) * (height / 2);
        u += static_cast<std::ptrdiff_t>(chromaWidth) * (height / 4);
        v += static_cast<std::ptrdiff_t>(chromaWidth) * (height / 4);
    }
    // Chroma is sampled every other column and row; an odd crop edge takes the chroma sample
    // that covers it.
    const std::uint8_t* const planes[4] = {
        luma + static_cast<std::ptrdiff_t>(top) * width + source.left,
        u + static_cast<std::ptrdiff_t>(top / 2) * chromaWidth + source.left / 2,
        v + static_cast<std::ptrdiff_t>(top / 2) * chromaWidth + source.left / 2, nullptr};
    const int strides[4] = {width, chromaWidth, chromaWidth, 0};
    // Two-tap bilinear, as the OpenGL path samples its textures: libswscale's filtered
    // bilinear spreads each cell pixel over all the source pixels it covers, which made the
    // scaling most of the window's own cost per picture (108 against 78 µs for a 16-cell cell
    // of a D1 field). The two-tap scaler reads one pixel past the last source column it is
    // given (and its chroma one sample past), so a crop that reaches the picture's right edge
    // leaves its last two columns out; that narrows the picture by under half a percent.
    int columns = std::min(source.width(), width - source.left - 2);
    while (columns > 8 && source.left / 2 + (columns + 1) / 2 >= chromaWidth)
        --columns;
    if (columns <= 8) // too narrow to leave anything out
        return scale(AV_PIX_FMT_YUV420P, source.width(), rows, planes, strides, target,
                     SWS_BILINEAR);
    return scale(AV_PIX_FMT_YUV420P, columns, rows, planes, strides, target, SWS_FAST_BILINEAR);
}

void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan, const QFont& font,
                      const IconPictureSet& icons) {
    painter.save();
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int lineHeight = painter.fontMetrics().height();
    for (const OverlayTextItem& item : plan.texts) {
        painter.setPen(QColor(item.colour.red, item.colour.green, item.colour.blue));
        painter.drawText(
            QRect(item.x, item.y, 4096, lineHeight), Qt::AlignLeft | Qt::AlignTop,
            QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size())));
    }
    for (const IconPiece& piece : plan.icons) {
        // The image carries its transparency: drawing it over the cell keeps the background as
        // the mask would.
        const auto found = icons.find(piece.pictures.imageId);
        if (found == icons.end() || found->second.isNull())
            continue;
        const QImage& image = found->second;
        const int width = std::min(piece.width, image.width() - piece.sourceX);
        if (width <= 0)
            continue;
        painter.drawImage(QPoint(piece.x, piece.y), image,
                          QRect(piece.sourceX, 0, width, std::min(image.height(), kIconSize)));
    }
    painter.restore();
}

} // namespace kalder
