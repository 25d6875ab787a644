#include "video/cell_renderer.h"

#include "video/video_layout.h"

#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kalder {

void CellRenderer::SwsDeleter::operator()(SwsContext* context) const {
    sws_freeContext(context);
}

CellRenderer::CellRenderer() = default;
CellRenderer::~CellRenderer() = default;

void PlanarCellPicture::FreeBytes::operator()(std::uint8_t* bytes) const {
    std::free(bytes);
}

bool PlanarCellPicture::reserve(QSize size) {
    if (size == m_size && m_bytes)
        return true;
    if (size.isEmpty())
        return false;
    // 32 pixels of padding past the row, rounded up to 64 bytes: the chroma rows (half the
    // stride) stay 32-byte aligned and hold 16 samples past their last one.
    const int lumaStride = (size.width() + 32 + 63) / 64 * 64;
    const std::size_t lumaBytes = static_cast<std::size_t>(lumaStride) * size.height();
    const std::size_t chromaBytes =
        static_cast<std::size_t>(lumaStride / 2) * ((size.height() + 1) / 2);
    const std::size_t total = lumaBytes + 2 * chromaBytes;
    auto* bytes = static_cast<std::uint8_t*>(std::aligned_alloc(64, (total + 63) / 64 * 64));
    if (!bytes)
        return false;
    // The padding is read by the converter's last block: no undefined bytes.
    std::memset(bytes, 0, total);
    m_bytes.reset(bytes);
    m_size = size;
    m_lumaStride = lumaStride;
    m_offsets[0] = 0;
    m_offsets[1] = lumaBytes;
    m_offsets[2] = lumaBytes + chromaBytes;
    return true;
}

void PlanarCellConverter::SwsDeleter::operator()(SwsContext* context) const {
    sws_freeContext(context);
}

PlanarCellConverter::PlanarCellConverter() = default;
PlanarCellConverter::~PlanarCellConverter() = default;

bool PlanarCellConverter::convertBlock(std::unique_ptr<SwsContext, SwsDeleter>& context,
                                       const PlanarCellPicture& picture, int firstColumn,
                                       int columns, int rows, std::uint8_t* target, int stride) {
    context.reset(sws_getCachedContext(context.release(), columns, rows, AV_PIX_FMT_YUV420P,
                                       columns, rows, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr,
                                       nullptr));
    if (!context)
        return false;
    // firstColumn is even: the chroma column is exact.
    const std::uint8_t* const planes[4] = {picture.plane(0) + firstColumn,
                                           picture.plane(1) + firstColumn / 2,
                                           picture.plane(2) + firstColumn / 2, nullptr};
    const int strides[4] = {picture.stride(0), picture.stride(1), picture.stride(2), 0};
    std::uint8_t* const targetPlanes[4] = {target, nullptr, nullptr, nullptr};
    const int targetStrides[4] = {stride, 0, 0, 0};
    return sws_scale(context.get(), planes, strides, 0, rows, targetPlanes, targetStrides) == rows;
}

bool PlanarCellConverter::convert(const PlanarCellPicture& picture, QSize cell,
                                  std::uint8_t* target, qsizetype stride) {
    if (cell.isEmpty() || cell.width() > picture.size().width() ||
        cell.height() > picture.size().height() || stride > 0x7FFFFFFF)
        return false;
    constexpr int kBlock = 16;
    const int whole = cell.width() / kBlock * kBlock;
    const int rows = cell.height();
    if (whole > 0 &&
        !convertBlock(m_whole, picture, 0, whole, rows, target, static_cast<int>(stride)))
        return false;
    const int left = cell.width() - whole;
    if (left == 0)
        return true;
    // The last columns: a whole block from the picture's padded rows, of which only the
    // cell's part is copied.
    m_edgeRows.resize(static_cast<std::size_t>(kBlock) * 4 * rows);
    if (!convertBlock(m_edge, picture, whole, kBlock, rows, m_edgeRows.data(), kBlock * 4))
        return false;
    for (int y = 0; y < rows; ++y)
        std::memcpy(target + y * stride + whole * 4,
                    m_edgeRows.data() + static_cast<std::size_t>(y) * kBlock * 4,
                    static_cast<std::size_t>(left) * 4);
    return true;
}

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
        return scalePlanar(picture, width, height, source, false, imageTarget(target));
    if (size.width() * size.height() <= kSampledPixelLimit)
        return sampleBottomUp(picture, width, height, source, target);
    return scaleBottomUp(picture, width, height, source, target);
}

CellRenderer::ScaleTarget CellRenderer::imageTarget(QImage& image) {
    return {AV_PIX_FMT_BGRA,
            image.size(),
            {image.bits(), nullptr, nullptr, nullptr},
            {static_cast<int>(image.bytesPerLine()), 0, 0, 0}};
}

bool CellRenderer::scale(int sourceFormat, int sourceWidth, int sourceRows,
                         const std::uint8_t* const planes[4], const int strides[4],
                         const ScaleTarget& target, int flags) {
    m_scaler.reset(sws_getCachedContext(
        m_scaler.release(), sourceWidth, sourceRows, static_cast<AVPixelFormat>(sourceFormat),
        target.size.width(), target.size.height(), static_cast<AVPixelFormat>(target.format), flags,
        nullptr, nullptr, nullptr));
    if (!m_scaler)
        return false;
    return sws_scale(m_scaler.get(), planes, strides, 0, sourceRows, target.planes,
                     target.strides) == target.size.height();
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
    return scale(AV_PIX_FMT_BGR24, source.width(), sourceRows, planes, strides, imageTarget(target),
                 SWS_BILINEAR);
}

bool CellRenderer::renderPlanarAsRgb(const std::byte* picture, int width, int height, QSize cell,
                                     QImage& target, const CellViewZoom& zoom) {
    const CellRect source = zoomedSourceRect(pictureSourceRect(width, height, false), zoom, 2,
                                             zoomRowStep(height, true));
    if (source.width() <= 0 || source.height() <= 0 ||
        !prepareTarget(picture, width, height, cell, target))
        return false;
    return scalePlanar(picture, width, height, source, true, imageTarget(target));
}

bool CellRenderer::renderPlanarScaled(const std::byte* picture, int width, int height, bool rgbCrop,
                                      QSize cell, PlanarCellPicture& target,
                                      const CellViewZoom& zoom) {
    const CellRect source = zoomedSourceRect(pictureSourceRect(width, height, !rgbCrop), zoom, 2,
                                             zoomRowStep(height, true));
    if (!picture || width <= 1 || height <= 1 || cell.isEmpty() || source.width() <= 0 ||
        source.height() <= 0 || !target.reserve(renderSize(cell)))
        return false;
    const ScaleTarget planes{AV_PIX_FMT_YUV420P,
                             target.size(),
                             {target.plane(0), target.plane(1), target.plane(2), nullptr},
                             {target.stride(0), target.stride(1), target.stride(2), 0}};
    return scalePlanar(picture, width, height, source, rgbCrop, planes);
}

bool CellRenderer::scalePlanar(const std::byte* picture, int width, int height,
                               const CellRect& source, bool secondField,
                               const ScaleTarget& target) {
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
