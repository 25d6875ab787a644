// Screenshots of the video window's two planar drawing paths: the OpenGL surface (YUV textures,
// colour conversion and line doubling in a shader) and the software path it falls back to when
// OpenGL cannot be set up. Needs a display with OpenGL (the test script runs Xvfb, whose Mesa
// renders in software); without one the OpenGL cases skip.
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "video/gl_video_surface.h"
#include "video/video_window.h"
#include "test_clip.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace kalder {
namespace {

struct Yuv {
    std::uint8_t y, u, v;
};

// BT.601 limited-range colours, with their RGB worked out by hand.
constexpr Yuv kOrange{150, 90, 180}; // (239, 129, 79)
constexpr Yuv kRed{81, 90, 240};     // (255, 0, 0)
constexpr Yuv kBlue{41, 240, 110};   // (0, 0, 255)
constexpr Yuv kGreen{145, 54, 34};   // (0, 255, 0)
constexpr Yuv kGrey{126, 128, 128};  // (128, 128, 128)
const QColor kOrangeRgb(239, 129, 79);
const QColor kRedRgb(255, 0, 0);
const QColor kBlueRgb(0, 0, 255);
const QColor kGreenRgb(0, 255, 0);
const QColor kGreyRgb(128, 128, 128);

// Colour of a planar picture's stored row (in each plane's own rows: a field picture's first
// field is the upper half).
using RowColour = std::function<Yuv(int storedRow, int height)>;

// Fills a planar picture; the border rows and columns that drawing crops away are white in
// luma, so that a crop that is too small shows up as a light edge.
void fillPlanar(std::byte* buffer, int width, int height, const RowColour& colour) {
    auto* y = reinterpret_cast<std::uint8_t*>(buffer);
    std::uint8_t* u = y + width * height;
    std::uint8_t* v = u + (width / 2) * (height / 2);
    const bool fields = height == 480 || height == 576;
    const int cropLeft = width == 352 ? 3 : 0;
    const int cropTop = fields ? 16 : 8;
    const int cropBottom = fields ? 8 : 4;
    for (int row = 0; row < height; ++row) {
        const Yuv c = colour(row, height);
        std::memset(y + row * width, c.y, static_cast<std::size_t>(width));
        // Display row of this stored row, to whiten the cropped rows.
        const int displayRow = fields ? (row % (height / 2)) * 2 : row;
        if (displayRow < cropTop || displayRow >= height - cropBottom)
            std::memset(y + row * width, 235, static_cast<std::size_t>(width));
        std::memset(y + row * width, 235, static_cast<std::size_t>(cropLeft));
        std::memset(y + row * width + width - cropLeft, 235, static_cast<std::size_t>(cropLeft));
    }
    for (int row = 0; row < height / 2; ++row) {
        const Yuv c = colour(row * 2, height);
        std::memset(u + row * (width / 2), c.u, static_cast<std::size_t>(width / 2));
        std::memset(v + row * (width / 2), c.v, static_cast<std::size_t>(width / 2));
    }
}

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A point of a cell, as fractions of its width and height, and the colour expected there.
struct Sample {
    double x;
    double y;
    QColor colour;
};

struct PictureCase {
    const char* name;
    int width;
    int height;
    RowColour colour;
    std::vector<Sample> samples;
};

// Upper half of the shown picture in one colour, lower half in another.
RowColour halves(Yuv upper, Yuv lower) {
    return [=](int row, int height) {
        const bool fields = height == 480 || height == 576;
        const int displayRow = fields ? (row % (height / 2)) * 2 : row;
        return displayRow < height / 2 ? upper : lower;
    };
}

const std::vector<PictureCase>& pictureCases() {
    static const std::vector<PictureCase> cases = {
        // A CIF frame: cropped three columns at each side, eight rows at the top and four at
        // the bottom; the edges of the cell show the picture, not the white border.
        {"cif 352x240",
         352,
         240,
         [](int, int) { return kOrange; },
         {{0.5, 0.5, kOrangeRgb},
          {0.0, 0.5, kOrangeRgb},
          {1.0, 0.5, kOrangeRgb},
          {0.5, 0.0, kOrangeRgb},
          {0.5, 1.0, kOrangeRgb}}},
        // A D1 field picture whose second field is green: only the first field is shown, its
        // upper half red over the upper half of the cell and its lower half blue below.
        {"d1 704x480 fields",
         704,
         480,
         [](int row, int height) {
             if (row >= height / 2)
                 return kGreen;
             return row < height / 4 ? kRed : kBlue;
         },
         {{0.5, 0.2, kRedRgb},
          {0.5, 0.45, kRedRgb},
          {0.5, 0.55, kBlueRgb},
          {0.5, 0.8, kBlueRgb},
          {0.0, 0.3, kRedRgb},
          {1.0, 0.7, kBlueRgb},
          {0.5, 0.0, kRedRgb},
          {0.5, 1.0, kBlueRgb}}},
        // A 576-line field picture (PAL D1 at full width): no columns cropped.
        {"d1 720x576 fields",
         720,
         576,
         [](int row, int height) { return row >= height / 2 ? kGreen : kGrey; },
         {{0.5, 0.5, kGreyRgb}, {0.02, 0.1, kGreyRgb}, {0.98, 0.9, kGreyRgb}}},
        // A 288-line frame is no field picture: all its rows are shown.
        {"cif 352x288 frame",
         352,
         288,
         halves(kGreen, kOrange),
         {{0.5, 0.25, kGreenRgb}, {0.5, 0.75, kOrangeRgb}}},
    };
    return cases;
}

// A point inside the cell at fractions of its size (1.0 is the last pixel).
QPoint cellPoint(const CellRect& cell, double fx, double fy) {
    const int x = cell.left + static_cast<int>(fx * (cell.width() - 1));
    const int y = cell.top + static_cast<int>(fy * (cell.height() - 1));
    return {x, y};
}

// Delivers a picture as a decode thread does.
void deliver(VideoWindow& window, unsigned channel, int width, int height,
             const RowColour& colour) {
    PictureStore& pictures = window.feed().pictures();
    std::lock_guard lock(pictures.lock(channel));
    fillPlanar(pictures.buffer(channel), width, height, colour);
    pictures.setSize(channel, width, height);
    pictures.markDecoded(channel);
    window.feed().drawChannel(channel);
}

// The OpenGL painter even on a CPU rasteriser (Xvfb's llvmpipe), for the scope of the object.
struct ForceOpenGl {
    ForceOpenGl() { qputenv("KALDER_FORCE_OPENGL", "1"); }
    ~ForceOpenGl() { qunsetenv("KALDER_FORCE_OPENGL"); }
    ForceOpenGl(const ForceOpenGl&) = delete;
    ForceOpenGl& operator=(const ForceOpenGl&) = delete;
};

enum class Path { OpenGl, Software };

class GlVideoTest : public ::testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        if (GetParam() == Path::Software) {
            qputenv("KALDER_NO_OPENGL", "1");
        } else {
            qunsetenv("KALDER_NO_OPENGL");
            // Under Xvfb OpenGL is llvmpipe, which the window passes over by itself.
            qputenv("KALDER_FORCE_OPENGL", "1");
            if (!GlVideoSurface::probe())
                GTEST_SKIP() << "no OpenGL on platform '"
                             << qPrintable(QGuiApplication::platformName())
                             << "': run under Xvfb (xvfb-run -a) or on a desktop";
        }
        window = std::make_unique<VideoWindow>();
        QImage idle(64, 48, QImage::Format_RGB32);
        idle.fill(Qt::darkBlue);
        window->setCellPictures(idle, idle);
        window->setAccelerated(true);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->startStream(StreamKind::Live, 4);
    }
    void TearDown() override {
        qunsetenv("KALDER_NO_OPENGL");
        qunsetenv("KALDER_FORCE_OPENGL");
    }

    QImage shot() {
        QCoreApplication::processEvents();
        return window->grab().toImage();
    }

    std::unique_ptr<VideoWindow> window;
};

TEST_P(GlVideoTest, PathFollowsOpenGl) {
    EXPECT_TRUE(window->feed().isAccelerated()) << "decoders deliver planar pictures on both paths";
    EXPECT_EQ(window->drawsWithOpenGl(), GetParam() == Path::OpenGl);
    EXPECT_EQ(window->glSurface() != nullptr, GetParam() == Path::OpenGl);
    window->setAccelerated(false);
    EXPECT_FALSE(window->drawsWithOpenGl()) << "BGR pictures are always drawn in software";
    EXPECT_EQ(window->glSurface(), nullptr);
}

TEST_P(GlVideoTest, PicturesAreCroppedConvertedAndLineDoubled) {
    window->toggleOverlays(); // plain pictures
    const auto& cases = pictureCases();
    for (unsigned ch = 0; ch < cases.size(); ++ch)
        deliver(*window, ch, cases[ch].width, cases[ch].height, cases[ch].colour);
    const QImage image = shot();
    for (unsigned ch = 0; ch < cases.size(); ++ch) {
        const CellRect cell = window->layoutModel().cellRect(static_cast<int>(ch));
        for (const Sample& sample : cases[ch].samples) {
            const QPoint point = cellPoint(cell, sample.x, sample.y);
            const QColor seen = image.pixelColor(point);
            EXPECT_TRUE(near(seen, sample.colour, 20))
                << cases[ch].name << " at (" << sample.x << ", " << sample.y
                << "): " << qPrintable(seen.name()) << " instead of "
                << qPrintable(sample.colour.name());
        }
    }
    // Nothing of the D1 picture's second field shows anywhere in its cell.
    const CellRect fieldCell = window->layoutModel().cellRect(1);
    int green = 0;
    for (int y = fieldCell.top; y < fieldCell.bottom; y += 3)
        green += image.pixelColor((fieldCell.left + fieldCell.right) / 2, y).green() > 100;
    EXPECT_EQ(green, 0) << "rows of the second field are shown";
}

TEST_P(GlVideoTest, OverlaysAndIdleCellsAreDrawnOverThePictures) {
    // As a decode thread does: the overlay first, then the picture.
    DecodeHost::OverlayFacts facts;
    facts.channel = 0;
    facts.width = 704;
    facts.height = 480;
    facts.cell = window->feed().cellSize(0);
    window->feed().composeOverlay(facts, "Gate", "Live", {});
    deliver(*window, 0, 704, 480, [](int, int) { return kOrange; });
    const QImage image = shot();
    if (qEnvironmentVariableIsSet("KALDER_SAVE_SHOTS"))
        image.save(QStringLiteral("gl_video_overlay_%1.png").arg(static_cast<int>(GetParam())));
    const CellRect cell = window->layoutModel().cellRect(0);
    int text = 0;
    for (int y = cell.top; y < cell.top + 24; ++y) {
        for (int x = cell.left; x < cell.right; ++x) {
            const QColor colour = image.pixelColor(x, y);
            text += colour.green() > 200 && colour.red() < 60 && colour.blue() < 60;
        }
    }
    EXPECT_GT(text, 20) << "the top overlay line is drawn over the picture";
    EXPECT_TRUE(near(image.pixelColor(cellPoint(cell, 0.5, 0.6)), kOrangeRgb, 20));
    const CellRect idle = window->layoutModel().cellRect(3);
    EXPECT_EQ(image.pixelColor(cellPoint(idle, 0.5, 0.5)), QColor(Qt::darkBlue))
        << "a channel without pictures keeps the idle logo";
    // The gap between cells has the background colour.
    EXPECT_EQ(image.pixelColor(cell.right, (cell.top + cell.bottom) / 2), QColor(150, 150, 150));
}

TEST_P(GlVideoTest, PicturesSurviveFullScreenAndBack) {
    window->toggleOverlays();
    deliver(*window, 1, 704, 480, [](int, int) { return kOrange; });
    const QRect before = window->geometry();
    // Full screen makes the window a top-level one: the OpenGL surface gets a new context and
    // has to fill its textures again from the picture buffers.
    window->enterFullScreen(QRect(0, 0, 1024, 768));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QImage image = shot();
    EXPECT_TRUE(near(image.pixelColor(cellPoint(window->layoutModel().cellRect(1), 0.5, 0.5)),
                     kOrangeRgb, 20))
        << "full screen";
    window->leaveFullScreen();
    EXPECT_EQ(window->geometry(), before);
    image = shot();
    EXPECT_TRUE(near(image.pixelColor(cellPoint(window->layoutModel().cellRect(1), 0.5, 0.5)),
                     kOrangeRgb, 20))
        << "back in place";
}

// The wheel zooms the cell under the mouse about the mouse, on either painter; dragging pans
// the zoomed cell instead of moving it onto another cell.
TEST_P(GlVideoTest, TheWheelZoomsOneCellAndDraggingPansIt) {
    window->toggleOverlays();
    const RowColour redOverBlue = halves(kRed, kBlue);
    deliver(*window, 0, 704, 480, redOverBlue);
    deliver(*window, 1, 704, 480, redOverBlue);
    const CellRect cell = window->layoutModel().cellRect(0);
    const auto send = [&](QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
        QMouseEvent event(type, point, window->mapToGlobal(point),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    };
    // Four notches about a point near the top of the cell: the cell shows the upper half only.
    const QPoint upper = cellPoint(cell, 0.5, 0.1);
    QWheelEvent wheel(upper, window->mapToGlobal(upper), QPoint(), QPoint(0, 480), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.get(), &wheel);
    EXPECT_NEAR(window->digitalZoom(0), 1.25 * 1.25 * 1.25 * 1.25, 1e-6);
    EXPECT_EQ(window->digitalZoom(1), 1.0);
    QImage image = shot();
    if (qEnvironmentVariableIsSet("KALDER_SAVE_SHOTS"))
        image.save(QStringLiteral("gl_video_zoom_%1.png").arg(static_cast<int>(GetParam())));
    EXPECT_TRUE(near(image.pixelColor(cellPoint(cell, 0.5, 0.9)), kRedRgb, 20)) << "zoomed cell";
    const CellRect other = window->layoutModel().cellRect(1);
    EXPECT_TRUE(near(image.pixelColor(cellPoint(other, 0.5, 0.9)), kBlueRgb, 20))
        << "the next cell is not zoomed";
    // The zoom mark: white text in the top right corner.
    int white = 0;
    for (int y = cell.top; y < cell.top + 24; ++y)
        for (int x = cell.right - 60; x < cell.right; ++x)
            white += image.pixelColor(x, y).lightness() > 230;
    EXPECT_GT(white, 10) << "no zoom mark";
    // What the cell shows, for saving: the zoomed picture without the marks.
    const QImage view = window->cellViewImage(0);
    ASSERT_EQ(view.size(), QSize(cell.width(), cell.height()));
    EXPECT_TRUE(near(view.pixelColor(view.width() / 2, view.height() * 9 / 10), kRedRgb, 20));

    // Dragging the picture up by half a cell brings the lower half in, and swaps no cells.
    const QPoint below = upper + QPoint(0, cell.height() / 2);
    send(QEvent::MouseButtonPress, below, Qt::LeftButton);
    send(QEvent::MouseMove, upper, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, upper, Qt::NoButton);
    EXPECT_EQ(window->layoutModel().cellChannel(0), 0);
    EXPECT_EQ(window->focusedCell(), 0);
    image = shot();
    EXPECT_TRUE(near(image.pixelColor(cellPoint(cell, 0.5, 0.9)), kBlueRgb, 20)) << "panned";
    window->resetDigitalZoom();
    EXPECT_EQ(window->digitalZoom(0), 1.0);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, GlVideoTest, ::testing::Values(Path::OpenGl, Path::Software),
                         [](const auto& info) {
                             return info.param == Path::OpenGl ? "OpenGl" : "Software";
                         });

TEST(GlRendererTest, CpuRasterisersAreRecognised) {
    EXPECT_TRUE(GlVideoSurface::isSoftwareRenderer("llvmpipe (LLVM 15.0.7, 256 bits)"));
    EXPECT_TRUE(GlVideoSurface::isSoftwareRenderer("Gallium 0.4 on softpipe"));
    EXPECT_TRUE(GlVideoSurface::isSoftwareRenderer("LLVMPIPE"));
    EXPECT_FALSE(GlVideoSurface::isSoftwareRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(GlVideoSurface::isSoftwareRenderer("NVIDIA GeForce GTX 1050/PCIe/SSE2"));
    EXPECT_FALSE(GlVideoSurface::isSoftwareRenderer(""));
}

// On a CPU rasteriser the window draws planar pictures with the software painter while its
// drawing mode stays planar; KALDER_FORCE_OPENGL keeps the OpenGL painter.
TEST(GlRendererTest, CpuRasteriserGetsTheSoftwarePainter) {
    qunsetenv("KALDER_NO_OPENGL");
    qunsetenv("KALDER_FORCE_OPENGL");
    QString renderer;
    if (!GlVideoSurface::probe(&renderer))
        GTEST_SKIP() << "no OpenGL: run under Xvfb (xvfb-run -a) or on a desktop";
    if (!GlVideoSurface::isSoftwareRenderer(renderer))
        GTEST_SKIP() << "OpenGL renders on a graphics card here: " << qPrintable(renderer);
    {
        VideoWindow window;
        window.setAccelerated(true);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_TRUE(window.feed().isAccelerated());
        EXPECT_FALSE(window.drawsWithOpenGl());
        EXPECT_EQ(window.glSurface(), nullptr);
    }
    const ForceOpenGl force;
    VideoWindow window;
    window.setAccelerated(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.drawsWithOpenGl());
}

// The surface uploads a channel's picture once per frame however many arrived, and only for
// channels whose cells are visible.
TEST(GlVideoUploadTest, NewPicturesAreUploadedOncePerFrame) {
    qunsetenv("KALDER_NO_OPENGL");
    const ForceOpenGl force;
    if (!GlVideoSurface::probe())
        GTEST_SKIP() << "no OpenGL: run under Xvfb (xvfb-run -a) or on a desktop";
    VideoWindow window;
    window.setAccelerated(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.startStream(StreamKind::Live, 16);
    window.selectLayout(4); // cells 0-3 visible
    GlVideoSurface* surface = window.glSurface();
    ASSERT_NE(surface, nullptr);
    (void)window.grab();
    const auto before = surface->uploads();
    for (int i = 0; i < 5; ++i) {
        deliver(window, 1, 352, 240, [](int, int) { return kGrey; });
        deliver(window, 9, 352, 240, [](int, int) { return kGrey; }); // not visible
    }
    QCoreApplication::processEvents();
    (void)window.grab();
    EXPECT_EQ(surface->uploads() - before, 1u);
    // A repaint without new pictures uploads nothing.
    (void)window.grab();
    EXPECT_EQ(surface->uploads() - before, 1u);
}

// Real H.264 through a decode thread into the OpenGL surface: a D1 field picture whose first
// field is red and second field green shows red only.
TEST(GlVideoDecodeTest, DecodedFieldPicturesAppearLineDoubled) {
    qunsetenv("KALDER_NO_OPENGL");
    const ForceOpenGl force;
    if (!GlVideoSurface::probe())
        GTEST_SKIP() << "no OpenGL: run under Xvfb (xvfb-run -a) or on a desktop";
    auto library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    ASSERT_TRUE(library);
    test::ClipParams params;
    params.width = 704;
    params.height = 480;
    params.frames = 6;
    params.keyInterval = 6;
    params.lossless = true;
    // The encoder sees interleaved display rows: even rows are the first field.
    params.draw = [](int, std::uint8_t* y, int yStride, std::uint8_t* u, int uStride,
                     std::uint8_t* v, int vStride) {
        for (int row = 0; row < 480; ++row)
            std::memset(y + row * yStride, row % 2 == 0 ? kRed.y : kGreen.y, 704);
        for (int row = 0; row < 240; ++row) {
            std::memset(u + row * uStride, row % 2 == 0 ? kRed.u : kGreen.u, 352);
            std::memset(v + row * vStride, row % 2 == 0 ? kRed.v : kGreen.v, 352);
        }
    };
    const auto frames = test::encodeClip(params);
    ASSERT_FALSE(frames.empty());

    VideoWindow window;
    window.setAccelerated(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.startStream(StreamKind::Live, 4);
    window.toggleOverlays();
    ASSERT_TRUE(window.drawsWithOpenGl());
    DecodeHost host;
    {
        ChannelDecoder decoder(0, StreamKind::Live, library.get(), window.feed().pictures(),
                               window.feed(), host);
        for (const test::EncodedFrame& frame : frames)
            decoder.enqueueFrame(test::makeRecord(0, frame, 704, 480, 1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return decoder.stats().drawn >= frames.size(); }, 20000));
        decoder.setDiscardAll();
        decoder.stop();
    }
    QCoreApplication::processEvents();
    const QImage image = window.grab().toImage();
    const CellRect cell = window.layoutModel().cellRect(0);
    for (double fy : {0.1, 0.5, 0.9}) {
        const QColor seen = image.pixelColor(cellPoint(cell, 0.5, fy));
        // The chroma of the 4:2:0 picture mixes the two fields' colours a little.
        EXPECT_GT(seen.red(), 180) << fy << " " << qPrintable(seen.name());
        EXPECT_LT(seen.green(), 120) << fy << " " << qPrintable(seen.name());
    }
}

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    // Xvfb or a desktop gives OpenGL through GLX; without a display the window tests run on
    // the offscreen platform and the OpenGL cases skip.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
