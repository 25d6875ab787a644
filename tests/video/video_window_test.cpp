#include "resources/resource_library.h"
#include "video/cell_renderer.h"
#include "video/video_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace kalder {
namespace {

constexpr std::uint16_t kAll = 0xFFFF;

// A bottom-up BGR picture: red outside the part the RGB path keeps, a blue frame on the edge of
// that part, green inside. Field pictures come line-doubled, as the decode thread leaves them.
std::vector<std::byte> framedPicture(int width, int height) {
    const CellRect kept = pictureSourceRect(width, height, false);
    const bool fields = height == 480 || height == 576;
    std::vector<std::byte> picture(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const int top = fields ? kept.top + 1 : kept.top;
        const int bottom = fields ? kept.bottom - 2 : kept.bottom - 1;
        const std::size_t row = static_cast<std::size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            QColor colour = Qt::green;
            if (!kept.contains(x, y))
                colour = Qt::red;
            else if (x == kept.left || x == kept.right - 1 || y <= top || y >= bottom)
                colour = Qt::blue;
            std::byte* pixel = picture.data() + row + static_cast<std::size_t>(x) * 3;
            pixel[0] = static_cast<std::byte>(colour.blue());
            pixel[1] = static_cast<std::byte>(colour.green());
            pixel[2] = static_cast<std::byte>(colour.red());
        }
    }
    return picture;
}

// Scaling may round a colour channel by one.
bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
           std::abs(a.blue() - b.blue()) <= 1;
}

TEST(CellRenderer, CropsTheRecordersBordersOnTheRgbPath) {
    struct Case {
        int width;
        int height;
        QSize cell;
    };
    const Case cases[] = {
        // A 352 × 240 picture is drawn from (3, 8), 349 wide and 228 high.
        {352, 240, {349, 228}},
        {352, 240, {201, 135}},
        // 480-line pictures lose 16 lines at the top and 8 at the bottom.
        {704, 480, {704, 456}},
        {704, 480, {811, 544}},
        {704, 288, {405, 271}},
    };
    for (const Case& c : cases) {
        std::vector<std::byte> picture = framedPicture(c.width, c.height);
        CellRenderer renderer;
        QImage cell;
        ASSERT_TRUE(renderer.render(picture.data(), c.width, c.height, false, c.cell, cell));
        ASSERT_EQ(cell.size(), CellRenderer::renderSize(c.cell));
        int red = 0;
        for (int y = 0; y < c.cell.height(); ++y) {
            for (int x = 0; x < c.cell.width(); ++x)
                red += cell.pixelColor(x, y).red() > 60;
        }
        EXPECT_EQ(red, 0) << "nothing outside the kept part, " << c.width << "x" << c.height;
        const QPoint corners[] = {{0, 0}, {cell.width() - 1, cell.height() - 1}};
        for (QPoint corner : corners) {
            EXPECT_GT(cell.pixelColor(corner).blue(), 60)
                << "the kept part's edge is drawn, " << c.width << "x" << c.height;
        }
        EXPECT_TRUE(near(cell.pixelColor(c.cell.width() / 2, c.cell.height() / 2), Qt::green));
    }
}

// A planar picture: luma 200 in the part the planar path keeps (of the first field for field
// pictures), 0 elsewhere and in the whole second field; neutral chroma.
std::vector<std::byte> framedPlanarPicture(int width, int height) {
    const CellRect kept = pictureSourceRect(width, height, true);
    const bool fields = height == 480 || height == 576;
    std::vector<std::byte> picture(static_cast<std::size_t>(width) * height * 3 / 2,
                                   std::byte{128});
    for (int row = 0; row < height; ++row) {
        // Display row of this stored row: field rows are shown twice.
        const bool secondField = fields && row >= height / 2;
        const int display = fields ? 2 * row : row;
        for (int x = 0; x < width; ++x) {
            const bool bright = !secondField && kept.contains(x, display) &&
                                (!fields || kept.contains(x, display + 1));
            picture[static_cast<std::size_t>(row) * width + x] =
                static_cast<std::byte>(bright ? 200 : 0);
        }
    }
    return picture;
}

TEST(CellRenderer, PlanarPathShowsTheFirstFieldWithoutTheBorders) {
    const std::pair<int, int> sizes[] = {{352, 240}, {704, 480}, {704, 576}, {352, 288}};
    for (auto [width, height] : sizes) {
        std::vector<std::byte> picture = framedPlanarPicture(width, height);
        CellRenderer renderer;
        QImage cell;
        ASSERT_TRUE(renderer.render(picture.data(), width, height, true, {201, 135}, cell));
        int dark = 0;
        for (int y = 0; y < 135; ++y) {
            for (int x = 0; x < 201; ++x)
                dark += cell.pixelColor(x, y).green() < 150;
        }
        EXPECT_EQ(dark, 0) << width << "x" << height;
    }
}

// A planar picture bright where the RGB drawing mode shows it (the second field of a field
// picture, the RGB path's crop), dark in the first field and outside.
std::vector<std::byte> rgbFramedPlanarPicture(int width, int height) {
    const CellRect kept = pictureSourceRect(width, height, false);
    const bool fields = height == 480 || height == 576;
    std::vector<std::byte> picture(static_cast<std::size_t>(width) * height * 3 / 2,
                                   std::byte{128});
    for (int row = 0; row < height; ++row) {
        const bool secondField = fields && row >= height / 2;
        // Display rows of this stored row: both rows of its pair for a field.
        const int display = secondField ? 2 * (row - height / 2) : row;
        for (int x = 0; x < width; ++x) {
            const bool bright = (!fields || secondField) && kept.contains(x, display) &&
                                (!fields || kept.contains(x, display + 1));
            picture[static_cast<std::size_t>(row) * width + x] =
                static_cast<std::byte>(bright ? 200 : 0);
        }
    }
    return picture;
}

// The RGB drawing mode converts planar pictures straight into the cell, showing what it showed
// of a bottom-up BGR picture: the second field of a field picture, and the RGB path's crop (a
// CIF picture keeps its right edge). The picture is bright where that part shows it, dark in
// the first field and outside, so that the wrong field or crop leaves dark pixels in the cell.
TEST(CellRenderer, RgbDrawingOfAPlanarPictureShowsTheSecondFieldAndTheRgbCrop) {
    const std::pair<int, int> sizes[] = {{352, 240}, {704, 480}, {704, 576}, {352, 288}};
    for (auto [width, height] : sizes) {
        const CellRect kept = pictureSourceRect(width, height, false);
        const bool fields = height == 480 || height == 576;
        const std::vector<std::byte> picture = rgbFramedPlanarPicture(width, height);
        const QSize cells[] = {{201, 135}, {kept.width(), kept.height()}};
        for (QSize size : cells) {
            CellRenderer renderer;
            QImage cell;
            ASSERT_TRUE(renderer.renderPlanarAsRgb(picture.data(), width, height, size, cell));
            ASSERT_EQ(cell.size(), CellRenderer::renderSize(size));
            int dark = 0;
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x)
                    dark += cell.pixelColor(x, y).green() < 150;
            }
            EXPECT_EQ(dark, 0) << width << "x" << height << " into " << size.width() << "x"
                               << size.height();
        }
        if (fields) {
            CellRenderer renderer;
            QImage cell;
            ASSERT_TRUE(renderer.render(picture.data(), width, height, true, {201, 135}, cell));
            EXPECT_LT(cell.pixelColor(100, 67).green(), 60)
                << "the planar mode shows the other field, " << width << "x" << height;
        }
    }
}

// Large cells are scaled planar and converted where they are painted: the same part and field
// as the one-step scaling, and exactly the cell's columns written, although the converter works
// in blocks of 16 pixels.
TEST(CellRenderer, LargeCellsConvertedInTwoStepsShowWhatOneStepShows) {
    EXPECT_FALSE(CellRenderer::scalesInTwoSteps({204, 137})) << "a 16-cell layout's cell";
    EXPECT_TRUE(CellRenderer::scalesInTwoSteps({815, 548})) << "the 1-cell layout's";
    const std::pair<int, int> sizes[] = {{704, 480}, {352, 240}, {704, 576}};
    const QSize cells[] = {{815, 548}, {816, 548}, {417, 281}, {1201, 905}};
    constexpr int kGuard = 40; // pixels past the cell in each row
    for (const auto& size : sizes) {
        // Plain names, not a structured binding: the message's lambda below captures them.
        const int width = size.first;
        const int height = size.second;
        for (const bool rgbCrop : {false, true}) {
            const std::vector<std::byte> picture = rgbCrop ? rgbFramedPlanarPicture(width, height)
                                                           : framedPlanarPicture(width, height);
            for (QSize cell : cells) {
                CellRenderer renderer;
                QImage oneStep;
                ASSERT_TRUE(
                    rgbCrop
                        ? renderer.renderPlanarAsRgb(picture.data(), width, height, cell, oneStep)
                        : renderer.render(picture.data(), width, height, true, cell, oneStep));
                PlanarCellPicture planar;
                ASSERT_TRUE(renderer.renderPlanarScaled(picture.data(), width, height, rgbCrop,
                                                        cell, planar));
                const int stride = (cell.width() + kGuard) * 4;
                std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * cell.height(),
                                               0xAB);
                PlanarCellConverter converter;
                ASSERT_TRUE(converter.convert(planar, cell, rows.data(), stride));
                int guardWritten = 0;
                int differing = 0;
                for (int y = 0; y < cell.height(); ++y) {
                    const std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * stride;
                    for (int x = cell.width() * 4; x < stride; ++x)
                        guardWritten += row[x] != 0xAB;
                    const auto* pixels = reinterpret_cast<const QRgb*>(row);
                    const auto* expected = reinterpret_cast<const QRgb*>(oneStep.constScanLine(y));
                    for (int x = 0; x < cell.width(); ++x)
                        differing += std::abs(qGreen(pixels[x]) - qGreen(expected[x])) > 3;
                }
                const auto what = [&] {
                    std::ostringstream out;
                    out << width << "x" << height << (rgbCrop ? " rgb crop" : " planar crop")
                        << " into " << cell.width() << "x" << cell.height();
                    return out.str();
                };
                EXPECT_EQ(guardWritten, 0) << what();
                EXPECT_EQ(differing, 0) << what();
            }
        }
    }
}

class VideoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setCellPictures(solid(Qt::darkBlue), solid(Qt::darkRed));
        window.show();
    }

    static QImage solid(QColor colour) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    QPoint cellCentre(int cell) const {
        const CellRect rect = window.layoutModel().cellRect(cell);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

    // A decoded picture of one colour for `channel`, as a decode thread hands it over.
    void decodePicture(unsigned channel, QColor colour) {
        PictureStore& pictures = window.feed().pictures();
        std::lock_guard lock(pictures.lock(channel));
        std::byte* buffer = pictures.buffer(channel);
        for (int i = 0; i < 352 * 240; ++i) {
            buffer[3 * i] = static_cast<std::byte>(colour.blue());
            buffer[3 * i + 1] = static_cast<std::byte>(colour.green());
            buffer[3 * i + 2] = static_cast<std::byte>(colour.red());
        }
        pictures.setSize(channel, 352, 240);
        pictures.markDecoded(channel);
        window.feed().drawChannel(channel);
    }

    // A planar D1 picture of upright bars, 32 columns bright and 32 dark, neutral chroma.
    void decodePlanarBars(unsigned channel) {
        PictureStore& pictures = window.feed().pictures();
        std::lock_guard lock(pictures.lock(channel));
        std::byte* buffer = pictures.buffer(channel);
        constexpr int kWidth = 704, kHeight = 480;
        std::fill(buffer, buffer + kWidth * kHeight * 3 / 2, std::byte{128});
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                buffer[y * kWidth + x] = static_cast<std::byte>((x / 32) % 2 ? 200 : 40);
        }
        pictures.setSize(channel, kWidth, kHeight);
        pictures.setPlanar(channel, true);
        pictures.markDecoded(channel);
        window.feed().drawChannel(channel);
    }

    VideoWindow window;
};

TEST_F(VideoWindowTest, NineCellLayoutTwiceShowsChannelsEightToSixteen) {
    window.setPresentChannels(kAll, false);
    QSignalSpy masks(&window, &VideoWindow::visibleChannelsChanged);
    window.selectLayout(9);
    window.selectLayout(9);
    ASSERT_EQ(masks.count(), 2);
    EXPECT_EQ(masks[0][0].value<quint16>(), 0x01FF);
    EXPECT_EQ(masks[1][0].value<quint16>(), 0xFF80);
    EXPECT_EQ(window.layoutModel().cellChannel(7), 7);
    EXPECT_EQ(window.layoutModel().positionOfCell(7), 0) << "channel 8 top left";
    EXPECT_EQ(window.drawableChannels(), 0) << "drawing waits for the next pictures";
}

TEST_F(VideoWindowTest, StreamStartChoosesTheLayoutAndSkipsEmptyPages) {
    QSignalSpy masks(&window, &VideoWindow::visibleChannelsChanged);
    window.startStream(StreamKind::Live, 12);
    EXPECT_EQ(window.layoutModel().layout(), 16);
    EXPECT_EQ(masks.count(), 0) << "the stream's starter makes its own request";

    window.stopStream();
    EXPECT_EQ(window.layoutModel().layout(), 16);
    EXPECT_EQ(window.presentChannels(), 0);
    window.startStream(StreamKind::Live, 4);
    EXPECT_EQ(window.layoutModel().layout(), 4);
    EXPECT_EQ(window.layoutModel().pageCount(4), 1);
}

// The recorder streams only the channels of the visible cells: every press of the current
// layout must still turn its page, over every channel of the recorder.
TEST_F(VideoWindowTest, PressingTheLayoutAgainPagesThroughChannelsThatDoNotStreamYet) {
    window.startStream(StreamKind::Live, 16);
    const struct {
        int layout;
        std::vector<quint16> masks;
    } cases[] = {
        {1, {0x0002, 0x0004, 0x0008}}, {4, {0x00F0, 0x0F00, 0xF000, 0x000F, 0x00F0}},
        {6, {0x0FC0, 0xF000, 0x003F}}, {7, {0x3F80, 0xC000, 0x007F}},
        {13, {0xE000, 0x1FFF}},
    };
    for (const auto& c : cases) {
        window.selectLayout(c.layout);
        // What the recorder answers to the request: the channels shown stream.
        window.setPresentChannels(window.visibleChannelMask(), false);
        QSignalSpy masks(&window, &VideoWindow::visibleChannelsChanged);
        for (quint16 expected : c.masks) {
            window.selectLayout(c.layout);
            window.setPresentChannels(window.visibleChannelMask(), false);
            ASSERT_EQ(masks.takeLast()[0].value<quint16>(), expected) << c.layout << " cells";
        }
    }

    // A screen reader hears what the window shows.
    EXPECT_EQ(window.accessibleName(), QStringLiteral("Video"));
    window.selectLayout(4);
    window.selectLayout(4);
    EXPECT_EQ(window.accessibleDescription(),
              QStringLiteral("4 cells, page 2 of 4, channels 5, 6, 7, 8"));

    // A channel button shows a channel that does not stream yet.
    window.selectLayout(1);
    window.setPresentChannels(window.visibleChannelMask(), false);
    window.showChannel(9);
    EXPECT_EQ(window.visibleChannelMask(), 0x0200);
    window.showChannel(15);
    EXPECT_EQ(window.visibleChannelMask(), 0x8000);
}

// A playback of only some channels skips the pages where none of them would show, and the
// channel buttons refuse the others.
TEST_F(VideoWindowTest, APlaybackOfSomeChannelsSkipsThePagesWithoutThem) {
    QSignalSpy masks(&window, &VideoWindow::visibleChannelsChanged);
    window.startStream(StreamKind::RemotePlayback, 12);
    window.setStreamChannels(0x0F00);
    window.selectLayout(4);
    ASSERT_EQ(masks.count(), 1);
    EXPECT_EQ(masks[0][0].value<quint16>(), 0x0F00) << "straight to the page of channels 9-12";
    window.selectLayout(4);
    EXPECT_EQ(masks.last()[0].value<quint16>(), 0x0F00) << "the only page with a channel";
    window.selectLayout(1);
    window.showChannel(2);
    EXPECT_EQ(window.visibleChannelMask(), 0x0100) << "channel 3 is not in the playback";
}

TEST_F(VideoWindowTest, DragCellZeroOntoCellFiveSwapsUntilArrange) {
    window.setPresentChannels(kAll, false);
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(&window, cellCentre(5) + QPoint(20 - cellCentre(0).x(), 0) +
                                  QPoint(0, 20 - cellCentre(0).y()));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, cellCentre(5));
    EXPECT_EQ(window.layoutModel().cellChannel(0), 5);
    EXPECT_EQ(window.layoutModel().cellChannel(5), 0);

    window.selectLayout(4);
    EXPECT_EQ(window.layoutModel().cellChannel(0), 5) << "the swap survives a layout change";
    window.resetArrangement();
    EXPECT_EQ(window.layoutModel().cellChannel(0), 0);
}

TEST_F(VideoWindowTest, DoubleClickZoomsAndReturnsToTheSamePage) {
    window.setPresentChannels(kAll, false);
    window.selectLayout(4);
    window.selectLayout(4);
    QSignalSpy masks(&window, &VideoWindow::visibleChannelsChanged);
    // A real double-click starts with a press and release; QTest sends only the second press.
    QTest::mouseClick(&window, Qt::LeftButton, {}, cellCentre(6));
    QTest::mouseDClick(&window, Qt::LeftButton, {}, cellCentre(6));
    ASSERT_EQ(masks.count(), 1);
    EXPECT_EQ(masks[0][0].value<quint16>(), 1u << 6);
    EXPECT_EQ(window.layoutModel().layout(), 1);

    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseDClick(&window, Qt::LeftButton, {}, QPoint(300, 300));
    ASSERT_EQ(masks.count(), 2);
    EXPECT_EQ(masks[1][0].value<quint16>(), 0x00F0);
    EXPECT_EQ(window.layoutModel().layout(), 4);
    EXPECT_EQ(window.layoutModel().page(), 1);
}

// A click focuses a cell, the arrows move the focus, the right button or the Menu key asks for
// the cell's menu; a digital zoom lasts while the cell shows the same channel in the layout.
TEST_F(VideoWindowTest, FocusMenuAndTheLifeOfADigitalZoom) {
    window.setPresentChannels(kAll, false);
    window.selectLayout(4);
    QSignalSpy focus(&window, &VideoWindow::focusedCellChanged);
    QSignalSpy menus(&window, &VideoWindow::cellMenuRequested);
    QTest::mouseClick(&window, Qt::LeftButton, {}, cellCentre(1));
    EXPECT_EQ(window.focusedCell(), 1);
    window.moveCellFocus(0, 1);
    EXPECT_EQ(window.focusedCell(), 3) << "down from the top right";
    window.moveCellFocus(-1, 0);
    EXPECT_EQ(window.focusedCell(), 2);
    window.moveCellFocus(-1, 0);
    EXPECT_EQ(window.focusedCell(), 2) << "nothing further left";
    ASSERT_EQ(focus.count(), 3);
    EXPECT_EQ(focus.last()[0].toInt(), 2);

    QContextMenuEvent mouse(QContextMenuEvent::Mouse, cellCentre(0),
                            window.mapToGlobal(cellCentre(0)));
    QApplication::sendEvent(&window, &mouse);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), window.mapToGlobal(QPoint()));
    QApplication::sendEvent(&window, &key);
    ASSERT_EQ(menus.count(), 2);
    EXPECT_EQ(menus[0][0].toInt(), 0);
    EXPECT_EQ(menus[0][1].toInt(), 0);
    EXPECT_EQ(menus[1][0].toInt(), 0) << "the Menu key opens the focused cell's menu";
    EXPECT_EQ(window.cellAtPoint(cellCentre(3)), 3);

    window.setCellViewZoom(0, {3.0, 0.2, 0.2});
    window.setCellViewZoom(2, {2.0, 0.5, 0.5});
    EXPECT_EQ(window.digitalZoom(0), 3.0);
    EXPECT_NE(window.accessibleDescription().indexOf(QStringLiteral("zoomed 3.0 times")), -1);
    // Dragging cell 1 onto cell 0 changes cell 0's channel: its zoom goes, cell 2 keeps its own.
    QTest::mousePress(&window, Qt::LeftButton, {}, cellCentre(1));
    QTest::mouseMove(&window, cellCentre(0));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, cellCentre(0));
    EXPECT_EQ(window.layoutModel().cellChannel(0), 1);
    EXPECT_EQ(window.digitalZoom(0), 1.0);
    EXPECT_EQ(window.digitalZoom(2), 2.0);
    // A double-click in a zoomed cell still shows it alone, unzoomed.
    QTest::mouseClick(&window, Qt::LeftButton, {}, cellCentre(2));
    QTest::mouseDClick(&window, Qt::LeftButton, {}, cellCentre(2));
    EXPECT_EQ(window.layoutModel().layout(), 1);
    EXPECT_EQ(window.digitalZoom(2), 1.0);
}

TEST_F(VideoWindowTest, CellsShowPicturesIdleLogoAndVideoLoss) {
    window.startStream(StreamKind::Live, 16);
    window.setPresentChannels(0x0003, false);
    window.feed().setVideoLossMask(0x0004);
    decodePicture(0, QColor(10, 200, 30));
    QCoreApplication::processEvents();

    const QImage shot = window.grab().toImage();
    EXPECT_TRUE(near(shot.pixelColor(cellCentre(0)), QColor(10, 200, 30))) << "decoded picture";
    EXPECT_EQ(shot.pixelColor(cellCentre(1)), QColor(Qt::darkBlue)) << "present, no picture yet";
    EXPECT_EQ(shot.pixelColor(cellCentre(2)), QColor(Qt::darkRed)) << "video loss";
    EXPECT_EQ(shot.pixelColor(cellCentre(3)), QColor(Qt::darkBlue)) << "absent channel";
    EXPECT_EQ(shot.pixelColor(QPoint(0, 0)), QColor(150, 150, 150)) << "margin";
}

// A hidden (or minimized) window asks for key frames only and draws nothing; shown again it
// draws the picture that came meanwhile.
TEST_F(VideoWindowTest, AHiddenWindowDecodesKeyFramesOnlyAndDrawsThemWhenShown) {
    window.startStream(StreamKind::Live, 16);
    window.setPresentChannels(0x0001, false);
    decodePicture(0, QColor(10, 200, 30));
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.feed().keyFramesOnly());

    window.hide();
    EXPECT_TRUE(window.feed().keyFramesOnly());
    decodePicture(0, QColor(200, 30, 10));
    EXPECT_EQ(window.feed().takeDirty(), 0) << "nothing drawn while hidden";

    window.show();
    EXPECT_FALSE(window.feed().keyFramesOnly());
    QCoreApplication::processEvents();
    const QImage shot = window.grab().toImage();
    EXPECT_TRUE(near(shot.pixelColor(cellCentre(0)), QColor(200, 30, 10)));
}

// Green pixels of the top text in a cell's top strip.
int greenTextPixels(const QImage& shot, const CellRect& cell) {
    int count = 0;
    for (int y = cell.top; y < cell.top + 24; ++y) {
        for (int x = cell.left; x < cell.right; ++x) {
            const QColor colour = shot.pixelColor(x, y);
            count += colour.green() > 200 && colour.red() < 60 && colour.blue() < 60;
        }
    }
    return count;
}

TEST_F(VideoWindowTest, OsdSwitchHidesOverlaysAndVideoLossText) {
    window.startStream(StreamKind::Live, 16);
    window.setPresentChannels(0x0001, false);
    window.feed().setVideoLossMask(0x0002);
    DecodeHost::OverlayFacts facts;
    facts.channel = 0;
    facts.width = 352;
    facts.height = 240;
    facts.cell = window.feed().cellSize(0);
    window.feed().composeOverlay(facts, "Gate", "Live", {});
    EXPECT_EQ(window.overlay(0).topText, "Gate 360x240");
    decodePicture(0, Qt::black);
    QCoreApplication::processEvents();

    const CellRect picture = window.layoutModel().cellRect(0);
    const CellRect loss = window.layoutModel().cellRect(1);
    QImage shot = window.grab().toImage();
    EXPECT_GT(greenTextPixels(shot, picture), 20);
    EXPECT_GT(greenTextPixels(shot, loss), 20);

    window.toggleOverlays();
    shot = window.grab().toImage();
    EXPECT_EQ(greenTextPixels(shot, picture), 0);
    EXPECT_EQ(greenTextPixels(shot, loss), 0);
    EXPECT_TRUE(near(shot.pixelColor(cellCentre(0)), Qt::black)) << "the picture stays";
}

// A cell keeps its drawn overlay while it stays the same: a changed title must not leave the
// old one over the next pictures.
TEST_F(VideoWindowTest, AChangedOverlayReachesTheNextPicture) {
    window.startStream(StreamKind::Live, 16);
    DecodeHost::OverlayFacts facts;
    facts.channel = 0;
    facts.width = 352;
    facts.height = 240;
    facts.cell = window.feed().cellSize(0);
    const CellRect cell = window.layoutModel().cellRect(0);
    const QRect strip(cell.left, cell.top, cell.width(), 24);
    const auto topStrip = [&](std::string_view title) {
        window.feed().composeOverlay(facts, title, "Live", {});
        decodePicture(0, Qt::black);
        QCoreApplication::processEvents();
        return window.grab().toImage().copy(strip);
    };
    const QImage gate = topStrip("Gate");
    const QImage yard = topStrip("Yard and car park");
    EXPECT_GT(greenTextPixels(window.grab().toImage(), cell), 20);
    EXPECT_NE(gate, yard) << "the new title is drawn";
    EXPECT_EQ(topStrip("Gate"), gate) << "and the old one again";
}

// The 1-cell layout's planar picture is converted into the painted image itself, its overlays
// laid over it there; a paint of part of the cell converts it beside and draws it, to the same
// pixels. Neither writes past the cell, although the converter works in blocks of 16 pixels.
TEST_F(VideoWindowTest, ALargeCellIsConvertedWhereItIsPainted) {
    window.resize(840, 560);
    window.startStream(StreamKind::Live, 16);
    window.selectLayout(1);
    window.setPresentChannels(0x0001, false);
    DecodeHost::OverlayFacts facts;
    facts.channel = 0;
    facts.width = 704;
    facts.height = 480;
    facts.cell = window.feed().cellSize(0);
    window.feed().composeOverlay(facts, "Gate", "Live", {});
    decodePlanarBars(0);
    QCoreApplication::processEvents();
    const CellRect cell = window.layoutModel().cellRect(0);
    ASSERT_TRUE(CellRenderer::scalesInTwoSteps({cell.width(), cell.height()}));
    ASSERT_LT(cell.right, window.width()) << "a margin right of the cell";

    // Painted at an offset, as into a top-level window's backing store.
    const QPoint offset(10, 7);
    QImage whole(window.size() + QSize(offset.x(), offset.y()), QImage::Format_RGB32);
    window.render(&whole, offset);
    whole = whole.copy(QRect(offset, window.size()));
    QImage part(window.size(), QImage::Format_RGB32);
    part.fill(Qt::magenta);
    const QRect left(cell.left, cell.top, cell.width() / 2, cell.height());
    // The region's top left lands at the offset given.
    window.render(&part, left.topLeft(), QRegion(left));
    int differing = 0, bright = 0, dark = 0;
    for (int y = left.top(); y <= left.bottom(); ++y) {
        for (int x = left.left(); x <= left.right(); ++x) {
            differing += whole.pixel(x, y) != part.pixel(x, y);
            const int green = qGreen(whole.pixel(x, y));
            bright += green > 190;
            dark += green < 40;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(bright, left.width() * left.height() / 4) << "the bars";
    EXPECT_GT(dark, left.width() * left.height() / 4);
    EXPECT_GT(greenTextPixels(whole, cell), 20) << "the overlays";
    const int middle = (cell.top + cell.bottom) / 2;
    EXPECT_EQ(whole.pixelColor(cell.right, middle), QColor(150, 150, 150)) << "the margin";
    EXPECT_EQ(part.pixelColor(left.right() + 1, middle), QColor(Qt::magenta))
        << "nothing outside the part painted";
}

// Decode threads draw their cells while the GUI thread changes layouts, swaps cells and
// repaints; afterwards every cell shows its own channel's picture.
TEST_F(VideoWindowTest, DecodeThreadsDrawWhileTheLayoutChanges) {
    window.startStream(StreamKind::Live, 4);
    const QColor colours[4] = {QColor(200, 0, 0), QColor(0, 200, 0), QColor(0, 0, 200),
                               QColor(200, 200, 0)};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (unsigned ch = 0; ch < 4; ++ch) {
        threads.emplace_back([&, ch] {
            DecodeHost::OverlayFacts facts;
            facts.channel = ch;
            facts.width = 352;
            facts.height = 240;
            while (!stop.load()) {
                facts.cell = window.feed().cellSize(ch);
                window.feed().composeOverlay(facts, "Channel", "Live", {});
                window.feed().countFrame(ch);
                decodePicture(ch, colours[ch]);
                std::this_thread::yield();
            }
        });
    }
    for (int round = 0; round < 40; ++round) {
        window.selectLayout(round % 3 == 0 ? 1 : 4);
        if (round % 5 == 0)
            QTest::mouseClick(&window, Qt::LeftButton, {}, cellCentre(0));
        if (round % 7 == 0)
            window.toggleOverlays();
        window.repaint();
        QCoreApplication::processEvents();
    }
    stop.store(true);
    for (std::thread& thread : threads)
        thread.join();
    QCoreApplication::processEvents();

    window.selectLayout(4);
    for (unsigned ch = 0; ch < 4; ++ch)
        decodePicture(ch, colours[ch]);
    QCoreApplication::processEvents();
    const QImage shot = window.grab().toImage();
    for (int cell = 0; cell < 4; ++cell) {
        const int ch = window.layoutModel().cellChannel(cell);
        EXPECT_TRUE(near(shot.pixelColor(cellCentre(cell)), colours[ch]))
            << "cell " << cell << " " << qPrintable(shot.pixelColor(cellCentre(cell)).name());
    }
}

// A paint shows a cell's last image without the channel's picture lock, which its decode
// thread holds for as long as it decodes: the GUI thread never waits for a decoding.
TEST_F(VideoWindowTest, APaintDoesNotWaitForADecodingChannel) {
    window.startStream(StreamKind::Live, 4);
    decodePicture(1, QColor(0, 0, 200));
    std::mutex handOver;
    std::condition_variable changed;
    bool held = false, painted = false, released = false;
    std::thread decoding([&] {
        std::lock_guard picture(window.feed().pictures().lock(1));
        std::unique_lock lock(handOver);
        held = true;
        changed.notify_all();
        // Released when the paint is done, or at last after a while should it wait for us.
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return painted; });
        released = true;
    });
    {
        std::unique_lock lock(handOver);
        changed.wait(lock, [&] { return held; });
    }
    const QImage shot = window.grab().toImage();
    bool releasedBeforePaint = false;
    {
        std::lock_guard lock(handOver);
        releasedBeforePaint = released;
        painted = true;
    }
    changed.notify_all();
    decoding.join();
    EXPECT_FALSE(releasedBeforePaint) << "the paint waited for the picture lock";
    EXPECT_TRUE(near(shot.pixelColor(cellCentre(1)), QColor(0, 0, 200)));
}

// The figures the benchmark reads: each picture counts as shown once, by the first paint of its
// cell after it arrived, with its delay in 1-ms steps (the last step takes every longer one).
TEST(VideoPaintStats, EachPictureIsShownOnceWithItsDelay) {
    using namespace std::chrono_literals;
    VideoPaintStats stats;
    const auto t0 = VideoPaintStats::Clock::now();
    stats.pictureReceived(0, t0);
    stats.pictureReceived(2, t0);
    stats.painted(0x0001, t0 + 5ms, 1ms); // channel 0 shown after 5 ms
    stats.painted(0x0001, t0 + 9ms, 1ms); // nothing new
    stats.pictureReceived(0, t0 + 10ms);
    stats.pictureReceived(0, t0 + 20ms);   // replaced before a paint: never shown
    stats.painted(0x0005, t0 + 22ms, 1ms); // channel 0 after 2 ms, channel 2 after 22 ms
    stats.pictureReceived(3, t0);
    stats.painted(0x0008, t0 + 10s, 1ms); // past the last step
    const std::string line = stats.line();
    std::istringstream in(line);
    std::string tag, delays;
    long long monotonic = 0, cpu = 0, rss = 0, peak = 0, received = 0, shown = 0, paints = 0,
              paintNs = 0;
    in >> tag >> monotonic >> cpu >> rss >> peak >> received >> shown >> paints >> paintNs >>
        delays;
    EXPECT_EQ(tag, "kalder-video-stats");
    EXPECT_EQ(received, 5);
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(paints, 4);
    EXPECT_EQ(paintNs, 4000000);
    EXPECT_EQ(delays, "delays");
    std::string steps;
    std::getline(in, steps);
    EXPECT_EQ(steps, " 2:1 5:1 22:1 " + std::to_string(VideoPaintStats::kDelaySteps - 1) + ":1");
}

// Frame rates on a clock of the test's own: `perStep` pictures of channel 4 spread over each
// half-second step.
class VideoWindowFrameRate : public VideoWindowTest {
protected:
    void SetUp() override {
        VideoWindowTest::SetUp();
        window.setFrameRateClock([this] { return nowMs; });
    }
    void countSteps(int steps, int perStep) {
        for (int s = 0; s < steps; ++s) {
            for (int i = 0; i < perStep; ++i) {
                nowMs += 500 / perStep;
                window.feed().countFrame(4);
            }
            nowMs = (nowMs / 500 + 1) * 500;
            window.updateFrameRates();
        }
    }
    std::int64_t nowMs = 10000;
};

TEST_F(VideoWindowFrameRate, IsTheLastTwoSecondsPerSecondRoundedUp) {
    // Steady 15 pictures a second: 7 and 8 in alternate half seconds.
    for (int s = 0; s < 8; ++s)
        countSteps(1, s % 2 ? 8 : 7);
    EXPECT_EQ(window.framesPerSecond(4), 15);
    // 7 pictures in two seconds: half the count, rounded up.
    countSteps(3, 0);
    countSteps(1, 7);
    EXPECT_EQ(window.framesPerSecond(4), 4);
    countSteps(4, 0);
    EXPECT_EQ(window.framesPerSecond(4), 0);
    EXPECT_EQ(window.framesPerSecond(5), 0);
}

// A page turn asks for channels that were not streaming: their rate shows within half a
// second instead of "00" for a whole period, and never above what they send.
TEST_F(VideoWindowFrameRate, AChannelThatStartsStreamingShowsItsRateAtOnce) {
    countSteps(4, 0);
    nowMs += 200; // the first picture comes 200 ms into a step
    window.feed().countFrame(4);
    for (int i = 0; i < 8; ++i) {
        nowMs += 33;
        window.feed().countFrame(4);
    }
    nowMs = 10000 + 5 * 500;
    window.updateFrameRates();
    EXPECT_GE(window.framesPerSecond(4), 27);
    EXPECT_LE(window.framesPerSecond(4), 33);
    countSteps(5, 15);
    EXPECT_EQ(window.framesPerSecond(4), 30);
}

// The speed mark's icons come from the resource library, which the window reads when it is
// built: the library is loaded before any window of these tests exists.
class VideoWindowSpeedMark : public VideoWindowTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
};

// A paused cell gets no new picture: a changed speed must reach its drawn overlays by itself.
TEST_F(VideoWindowSpeedMark, ASpeedChangeRepaintsACellThatGetsNoNewPicture) {
    window.startStream(StreamKind::RemotePlayback, 4);
    DecodeHost::OverlayFacts facts;
    facts.kind = StreamKind::RemotePlayback;
    facts.channel = 0;
    facts.width = 352;
    facts.height = 240;
    facts.cell = window.feed().cellSize(0);
    ASSERT_GT(facts.cell.width, 190) << "the mark is drawn in cells wider than 190 only";
    window.feed().composeOverlay(facts, "", "Play", {});
    decodePicture(0, Qt::black);
    const CellRect cell = window.layoutModel().cellRect(0);
    // The bottom line of the cell, where the mark sits.
    const QRect strip(cell.left, cell.bottom - 24, cell.width(), 24);
    const auto shown = [&](int speedCode) {
        window.feed().setSpeedCode(speedCode);
        QCoreApplication::processEvents();
        return window.grab().toImage().copy(strip);
    };
    const QImage none = shown(99);
    const QImage paused = shown(0);
    const QImage forward = shown(1);
    const QImage fast = shown(3);
    EXPECT_NE(paused, none) << "the pause mark is drawn";
    EXPECT_NE(forward, paused);
    EXPECT_NE(fast, forward);
    EXPECT_EQ(shown(99), none) << "and taken away again";
    EXPECT_EQ(shown(0), paused);
}

// Four recorders of four channels in one 16-cell layout: each recorder's pictures reach its own
// cells, its masks and its notice are its own, and one recorder's end leaves the others alone.
TEST_F(VideoWindowTest, ASiteOfFourRecordersShowsEachInItsOwnCells) {
    QSignalSpy site(&window, &VideoWindow::siteChannelsChanged);
    window.setSiteRecorders(4);
    for (int recorder = 0; recorder < 4; ++recorder)
        window.startRecorderStream(recorder, 4);
    EXPECT_EQ(window.layoutModel().cellCount(), 16);
    EXPECT_EQ(window.layoutModel().layout(), 16);
    EXPECT_GE(site.count(), 1);
    for (int recorder = 0; recorder < 4; ++recorder) {
        EXPECT_EQ(window.visibleChannelMask(recorder), 0x000F) << recorder;
        window.setPresentChannels(0x000F, false, recorder);
    }
    EXPECT_EQ(window.layoutModel().cellSource(9), (CellSource{2, 1}));

    const QColor colours[] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200),
                              QColor(200, 200, 30)};
    for (int recorder = 0; recorder < 4; ++recorder)
        decodePicture(slotOf(recorder, 1), colours[recorder]);
    QCoreApplication::processEvents();
    QImage shot = window.grab().toImage();
    for (int recorder = 0; recorder < 4; ++recorder) {
        EXPECT_TRUE(near(shot.pixelColor(cellCentre(recorder * 4 + 1)), colours[recorder]))
            << "recorder " << recorder;
        EXPECT_EQ(shot.pixelColor(cellCentre(recorder * 4)), QColor(Qt::darkBlue))
            << "recorder " << recorder << " channel 1 has no picture yet";
    }

    window.setRecorderNotice(2, QStringLiteral("Reconnecting…"));
    for (int cell = 0; cell < 16; ++cell)
        EXPECT_EQ(window.cellNoticeAt(cell).startsWith(QStringLiteral("Reconnecting…")),
                  cell / 4 == 2)
            << cell;
    window.setPresentChannels(0x000E, false, 3);
    window.feed().setVideoLossMask(0x0001, 3);
    window.stopRecorderStream(2);
    EXPECT_EQ(window.presentChannels(), 0x000F) << "recorder 0 plays on";
    EXPECT_EQ(window.feed().present(2), 0);
    EXPECT_EQ(window.feed().cellContent(slotOf(3, 0)), CellContent::VideoLoss);
    EXPECT_EQ(window.feed().cellContent(slotOf(2, 1)), CellContent::Idle);
    EXPECT_EQ(window.mode(), StreamKind::Live);

    window.setSiteRecorders(1);
    EXPECT_EQ(window.layoutModel().cellCount(), 16);
    EXPECT_EQ(window.layoutModel().cellSource(9), (CellSource{0, 9}));
    EXPECT_EQ(window.cellNoticeAt(9), QString());
}

// A site's stored arrangement waits until the recorders' channel counts make its sources, then
// shows as it was left.
TEST_F(VideoWindowTest, ASiteArrangementReturnsOnceItsRecordersReportTheirChannels) {
    window.setSiteRecorders(2);
    VideoLayout::Arrangement left;
    left.layoutIndex = layoutIndex(4);
    left.page = 1;
    for (int cell = 0; cell < 8; ++cell)
        left.cellSource[static_cast<std::size_t>(cell)] = {1 - cell / 4, 3 - cell % 4};
    window.setSiteArrangement(left);
    window.startRecorderStream(0, 4);
    EXPECT_EQ(window.layoutModel().cellCount(), 20) << "recorder 1 has not said yet";
    EXPECT_EQ(window.layoutModel().layout(), 16);

    window.startRecorderStream(1, 4);
    EXPECT_EQ(window.viewArrangement(), left);
    EXPECT_EQ(window.visibleChannelMask(0), 0x000F);
    EXPECT_EQ(window.visibleChannelMask(1), 0x0000);

    window.setRecorderChannelCount(1, 2);
    EXPECT_EQ(window.layoutModel().cellCount(), 6);
    EXPECT_EQ(window.layoutModel().cellSource(5), (CellSource{1, 1})) << "in order again";
}

// A player started in a site's window plays into recorder 0's slots and the cells show those
// alone; the other recorders' live view goes on unseen, and the site's cells come back with the
// player's end.
TEST_F(VideoWindowTest, APlayerInASiteShowsRecorderZerosChannelsUntilItEnds) {
    window.setSiteRecorders(2);
    window.startRecorderStream(0, 4);
    window.startRecorderStream(1, 4);
    ASSERT_EQ(window.layoutModel().cellCount(), 8);

    window.startStream(StreamKind::RemotePlayback, 16);
    EXPECT_EQ(window.layoutModel().cellCount(), 16);
    EXPECT_EQ(window.layoutModel().cellSource(5), (CellSource{0, 5}));
    EXPECT_EQ(window.mode(), StreamKind::RemotePlayback);
    window.setPresentChannels(0x0003, false);
    // Recorder 0's live view ending, or recorder 1's coming back, leaves the player alone.
    window.stopRecorderStream(0);
    window.startRecorderStream(1, 4);
    EXPECT_EQ(window.presentChannels(), 0x0003);
    EXPECT_EQ(window.mode(), StreamKind::RemotePlayback);
    EXPECT_EQ(window.visibleChannelMask(1), 0);

    window.stopStream();
    EXPECT_EQ(window.layoutModel().cellCount(), 8);
    EXPECT_EQ(window.layoutModel().cellSource(5), (CellSource{1, 1}));
    window.startRecorderStream(0, 4);
    EXPECT_EQ(window.mode(), StreamKind::Live);
    EXPECT_EQ(window.visibleChannelMask(1), 0x000F);
}

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
