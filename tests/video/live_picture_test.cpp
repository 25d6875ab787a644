// The video window behind a real decode thread: H.264 frames through ChannelDecoder and the
// decoder module into the window's picture buffers, drawn in their cells with their overlays, on
// both drawing paths.
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "video/video_window.h"
#include "test_clip.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kalder {
namespace {

// Composes the overlays as the main window will: the title table's entry in live view.
class OverlayHost final : public DecodeHost {
public:
    explicit OverlayHost(VideoWindow& window) : m_window(window) {}
    void composeOverlay(const OverlayFacts& facts) override {
        m_window.feed().composeOverlay(facts, "Gate", "Live", {});
    }

private:
    VideoWindow& m_window;
};

// A D1 field picture of one colour: Y 150, U 90, V 180 (an orange).
const std::vector<test::EncodedFrame>& solidClip() {
    static const std::vector<test::EncodedFrame> frames = [] {
        test::ClipParams params;
        params.width = 704;
        params.height = 480;
        params.frames = 10;
        params.keyInterval = 10;
        params.lossless = true;
        params.draw = [](int, std::uint8_t* y, int yStride, std::uint8_t* u, int uStride,
                         std::uint8_t* v, int vStride) {
            for (int row = 0; row < 480; ++row)
                std::memset(y + row * yStride, 150, 704);
            for (int row = 0; row < 240; ++row) {
                std::memset(u + row * uStride, 90, 352);
                std::memset(v + row * vStride, 180, 352);
            }
        };
        return test::encodeClip(params);
    }();
    return frames;
}

class LivePictureTest : public ::testing::TestWithParam<bool> {};

TEST_P(LivePictureTest, DecodedPictureAndTitleAppearInTheCell) {
    const bool planar = GetParam();
    auto library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    ASSERT_TRUE(library);
    const auto& frames = solidClip();
    ASSERT_FALSE(frames.empty());

    VideoWindow window;
    QImage idle(64, 48, QImage::Format_RGB32);
    idle.fill(Qt::darkBlue);
    window.setCellPictures(idle, idle);
    window.setAccelerated(planar);
    window.show();
    window.startStream(StreamKind::Live, 4);
    OverlayHost host(window);
    {
        ChannelDecoder decoder(2, StreamKind::Live, library.get(), window.feed().pictures(),
                               window.feed(), host);
        for (const test::EncodedFrame& frame : frames)
            decoder.enqueueFrame(test::makeRecord(2, frame, 704, 480, 1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return decoder.stats().drawn >= frames.size(); }, 20000));
        decoder.setDiscardAll();
        decoder.stop();
    }
    QCoreApplication::processEvents();

    const CellRect cell = window.layoutModel().cellRect(2);
    const QImage shot = window.grab().toImage();
    const QColor centre =
        shot.pixelColor((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    // BT.601 limited range: Y 150, U 90, V 180 is about (239, 129, 79).
    EXPECT_NEAR(centre.red(), 239, 8) << (planar ? "planar" : "bgr");
    EXPECT_NEAR(centre.green(), 129, 8) << (planar ? "planar" : "bgr");
    EXPECT_NEAR(centre.blue(), 79, 8) << (planar ? "planar" : "bgr");
    EXPECT_EQ(window.overlay(2).topText, "Gate 720x480");
    int green = 0;
    for (int y = cell.top; y < cell.top + 24; ++y) {
        for (int x = cell.left; x < cell.right; ++x) {
            const QColor colour = shot.pixelColor(x, y);
            green += colour.green() > 200 && colour.red() < 60 && colour.blue() < 60;
        }
    }
    EXPECT_GT(green, 20) << "the top line is drawn";
    const CellRect other = window.layoutModel().cellRect(3);
    EXPECT_EQ(shot.pixelColor((other.left + other.right) / 2, (other.top + other.bottom) / 2),
              QColor(Qt::darkBlue))
        << "a channel without pictures keeps the idle logo";
}

INSTANTIATE_TEST_SUITE_P(BothPaths, LivePictureTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Planar" : "Bgr"; });

} // namespace
} // namespace kalder
