// Snapshot and web export pictures and files: the 800 x 600 picture with its stamp, the three
// file formats read back, the file names and the web export's files.
#include "decode/image_files.h"
#include "decode/picture_layout.h"
#include "decode/snapshot_picture.h"
#include "decode/snapshot_saver.h"
#include "decode/web_exporter.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kalder {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "kalder-snap-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// A planar picture of uniform colour (Y, U, V).
std::vector<std::byte> planar(int width, int height, int y, int u, int v) {
    std::vector<std::byte> bytes(pictureBytes(PictureLayout::Planar, width, height));
    const std::size_t luma = std::size_t(width) * height;
    const std::size_t chroma = std::size_t(width / 2) * (height / 2);
    std::fill_n(bytes.begin(), luma, std::byte(y));
    std::fill_n(bytes.begin() + luma, chroma, std::byte(u));
    std::fill_n(bytes.begin() + luma + chroma, chroma, std::byte(v));
    return bytes;
}

RgbImage gradient(int width, int height) {
    RgbImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.at(x, y);
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = std::uint8_t(x + y);
        }
    return image;
}

bool isCyan(const std::uint8_t* p, int tolerance = 0) {
    return p[0] <= tolerance && p[1] >= 255 - tolerance && p[2] >= 255 - tolerance;
}

template <typename Done> void waitFor(Done done) {
    for (int i = 0; i < 1000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(SnapshotPicture, GeometryOfSourceRectsAndStamp) {
    const SourceRect small = snapshotSourceRect(352, 240);
    EXPECT_EQ(small.x, 6);
    EXPECT_EQ(small.y, 6);
    EXPECT_EQ(small.width, 341);
    EXPECT_EQ(small.height, 230);
    const SourceRect d1 = snapshotSourceRect(704, 480);
    EXPECT_EQ(d1.x, 12);
    EXPECT_EQ(d1.width, 682);
    EXPECT_EQ(d1.height, 460);
    const SourceRect web = webSourceRect(704, 480);
    EXPECT_EQ(web.y, 16);
    EXPECT_EQ(web.height, 456);
    EXPECT_EQ(webSourceRect(352, 240).height, 228);
    const Point stamp = stampPosition(20);
    EXPECT_EQ(stamp.x, 295);
    EXPECT_EQ(stamp.y, 569);
}

TEST(SnapshotPicture, ConvertsPlanarPicturesWithTheWritersFormula) {
    const auto white = planar(352, 240, 235, 128, 128);
    const RgbImage image = uprightPicture({0, 352, 240, PictureLayout::Planar, white, 0});
    ASSERT_EQ(image.width, 352);
    // (74 * 219) >> 6 = 253 in every component.
    EXPECT_EQ(image.at(10, 10)[0], 253);
    EXPECT_EQ(image.at(10, 10)[1], 253);
    EXPECT_EQ(image.at(10, 10)[2], 253);
    // Pure blue-ish chroma: U high raises blue, lowers green.
    const auto blue = planar(352, 240, 100, 240, 128);
    const RgbImage b = uprightPicture({0, 352, 240, PictureLayout::Planar, blue, 0});
    EXPECT_EQ(b.at(0, 0)[2], 255);
    EXPECT_EQ(b.at(0, 0)[1], (74 * 84 - 25 * 112) >> 6);
    // A view shorter than its size says gives nothing.
    EXPECT_TRUE(
        uprightPicture({0, 352, 240, PictureLayout::Planar, std::span(white).first(1000), 0})
            .empty());
}

TEST(SnapshotPicture, IsEightHundredBySixHundredWithACyanStamp) {
    const auto grey = planar(352, 240, 16, 128, 128); // black
    const RgbImage image =
        snapshotImage({4, 352, 240, PictureLayout::Planar, grey, 0}, "2024-02-29  13:05:09");
    ASSERT_EQ(image.width, 800);
    ASSERT_EQ(image.height, 600);
    int cyan = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (isCyan(image.at(x, y))) {
                ++cyan;
                EXPECT_GE(x, 295);
                EXPECT_GE(y, 569);
                EXPECT_LT(y, 569 + kStampFontHeight);
            }
    EXPECT_GT(cyan, 500);
}

TEST(ImageFiles, BmpHeaderIsExact) {
    const std::vector<std::uint8_t> bytes = encodeBmp(gradient(800, 600));
    const std::uint8_t expected[54] = {'B',  'M', 0x36, 0xF9, 0x15, 0x00, 0,    0,    0,
                                       0,    54,  0,    0,    0, // file header
                                       40,   0,   0,    0,    0x20, 0x03, 0,    0,    0x58,
                                       0x02, 0,   0,    1,    0,    24,   0, // size, planes, bits
                                       0,    0,   0,    0,    0x00, 0xF9, 0x15, 0x00, 0,
                                       0,    0,   0,    0,    0,    0,    0,    0,    0,
                                       0,    0,   0,    0,    0,    0};
    ASSERT_EQ(bytes.size(), 54u + 3u * 800u * 600u);
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), bytes.begin()));
    // First stored pixel: the bottom row's first, blue first.
    EXPECT_EQ(bytes[54], std::uint8_t(0 + 599));
    EXPECT_EQ(bytes[55], std::uint8_t(599));
    EXPECT_EQ(bytes[56], 0);
}

TEST(ImageFiles, EachFormatReadsBackAsWritten) {
    TempFolder folder;
    const RgbImage image = gradient(800, 600);
    for (ImageFormat format : {ImageFormat::Bmp, ImageFormat::Tiff, ImageFormat::Jpeg}) {
        const fs::path file = folder.path() / (std::string("pic") + imageExtension(format));
        std::string error;
        ASSERT_TRUE(writeImageFile(file, format, image, error)) << error;
        const auto back = readImageFile(file);
        ASSERT_TRUE(back) << file;
        EXPECT_EQ(back->width, 800);
        EXPECT_EQ(back->height, 600);
        if (format == ImageFormat::Jpeg) {
            // Lossy: close to the original.
            EXPECT_NEAR(back->at(100, 50)[0], 100, 12);
            EXPECT_NEAR(back->at(100, 50)[1], 50, 12);
        } else {
            EXPECT_EQ(back->pixels, image.pixels) << file;
        }
    }
    // Only the three files: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
}

TEST(ImageFiles, TiffIsPackBitsRgbWithOneRowAStrip) {
    TempFolder folder;
    const fs::path file = folder.path() / "a.tif";
    std::string error;
    ASSERT_TRUE(writeImageFile(file, ImageFormat::Tiff, gradient(800, 600), error));
    TIFF* tiff = TIFFOpen(file.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    std::uint32_t width = 0, height = 0, rowsPerStrip = 0;
    std::uint16_t compression = 0, photometric = 0, samples = 0, bits = 0, planar = 0, unit = 0,
                  orientation = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation);
    EXPECT_EQ(width, 800u);
    EXPECT_EQ(height, 600u);
    EXPECT_EQ(rowsPerStrip, 1u);
    EXPECT_EQ(compression, 32773);
    EXPECT_EQ(photometric, 2);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(planar, 1);
    EXPECT_EQ(unit, 1);
    EXPECT_EQ(orientation, 1);
    EXPECT_EQ(TIFFNumberOfStrips(tiff), 600u);
    TIFFClose(tiff);
}

TEST(ImageFiles, AFailedWriteLeavesNothingAndSaysWhy) {
    TempFolder folder;
    // The folder is a regular file: nothing can be created in it.
    const fs::path notAFolder = folder.path() / "file";
    std::ofstream(notAFolder) << "x";
    std::string error;
    EXPECT_FALSE(writeImageFile(notAFolder / "a.bmp", ImageFormat::Bmp, gradient(8, 8), error));
    EXPECT_FALSE(error.empty());
    // An existing file of that name stays as it was when the new one cannot be written whole.
    const fs::path old = folder.path() / "old.jpg";
    std::ofstream(old) << "old";
    EXPECT_FALSE(writeImageFile(old, ImageFormat::Jpeg, RgbImage{}, error));
    EXPECT_EQ(fs::file_size(old), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

TEST(SnapshotSaver, NamesFilesByLocalTimeAndChannel) {
    std::tm t{};
    t.tm_year = 2007 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 2;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(snapshotFileName(t, 2, ImageFormat::Jpeg), "20070302140509_0003.jpg");
    EXPECT_EQ(snapshotFileName(t, 15, ImageFormat::Tiff), "20070302140509_0016.tif");
    EXPECT_EQ(imageExtension(imageFormatFromSetting(1)), std::string(".bmp"));
    EXPECT_EQ(imageExtension(imageFormatFromSetting(7)), std::string(".jpg"));
}

TEST(SnapshotSaver, ABoardSavesRequestedChannelsOnceAndTheSameSecondReplaces) {
    TempFolder folder;
    SnapshotBoard board;
    std::tm t{};
    t.tm_year = 124;
    t.tm_mday = 1;
    board.setClock([t] { return t; });
    board.setTarget(folder.path() / "Saved", ImageFormat::Bmp);
    board.request(1u << 4);
    EXPECT_FALSE(board.takeRequest(3));
    EXPECT_TRUE(board.takeRequest(4));
    EXPECT_FALSE(board.takeRequest(4));

    // Each saver says it is done after its results are there: once both have, both collect.
    std::atomic<int> notices{0};
    board.setFinishedNotice([&notices] { ++notices; });
    const auto picture = planar(352, 240, 120, 128, 128);
    for (int i = 0; i < 2; ++i)
        board.start({4, 352, 240, PictureLayout::Planar, picture, 0}, "2024-01-01  00:00:00");
    waitFor([&] { return notices.load() == 2; });
    const std::vector<SnapshotResult> results = board.collectFinished();
    ASSERT_EQ(results.size(), 2u);
    for (const auto& r : results) {
        EXPECT_TRUE(r.saved) << r.error;
        EXPECT_EQ(r.file.filename(), "20240101000000_0005.bmp");
    }
    EXPECT_EQ(board.savers(), 0u);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(folder.path() / "Saved"), fs::directory_iterator()),
        1);
}

TEST(WebExport, SettingsAndFiles) {
    EXPECT_EQ(webLabelFontHeight(200, 320), 11);
    EXPECT_EQ(webLabelFontHeight(200, 0), 11);
    EXPECT_EQ(makeWebExportSettings(true, "x", 0, 200, 160, 320).interval, 1);
    EXPECT_EQ(makeWebExportSettings(true, "x", 25, 200, 160, 320).interval, 1);
    EXPECT_EQ(makeWebExportSettings(true, "x", 20, 200, 160, 320).interval, 20);

    WebExportBoard board;
    board.setSettings(makeWebExportSettings(true, "", 5, 200, 160, 320));
    EXPECT_FALSE(board.interval()) << "an empty folder writes nothing";
    board.setSettings(makeWebExportSettings(false, "/nonexistent", 5, 200, 160, 320));
    EXPECT_FALSE(board.interval());

    TempFolder folder;
    board.setSettings(makeWebExportSettings(true, folder.path().string(), 5, 200, 160, 320));
    ASSERT_EQ(board.interval(), 5);
    const auto picture = planar(352, 240, 16, 128, 128);
    board.exportPicture({0, 352, 240, PictureLayout::Planar, picture, 0});
    waitFor([&] { return board.written(0) == 1; });
    ASSERT_EQ(board.written(0), 1u);
    const auto back = readImageFile(folder.path() / "1.jpg");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 200);
    EXPECT_EQ(back->height, 160);
    // The "CH1" label at (7, 3) on a black picture.
    int bright = 0;
    for (int y = 3; y < 14; ++y)
        for (int x = 7; x < 30; ++x)
            bright += back->at(x, y)[1] > 128;
    EXPECT_GT(bright, 10);
    board.channelEnded(0);
    EXPECT_EQ(board.written(0), 0u);
}

} // namespace
} // namespace kalder
