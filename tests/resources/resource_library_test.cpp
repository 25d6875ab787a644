#include "resources/resource_ids.h"
#include "resources/resource_library.h"

#include <gtest/gtest.h>

#include <QColor>

#include <atomic>
#include <thread>
#include <vector>

using namespace kalder;

namespace {

class ResourceLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
};

// Every text id the client shows: notifications, log descriptions, value names, labels.
const int kNamedTextIds[] = {
    5004, 5013, 5026, 5030, 5050, 5051, 5052, 5053, 5054, 5055, 5056, 5057, 5060, 5061, 5062, 5064,
    5065, 5066, 5067, 5068, 5069, 5070, 5071, 5073, 5074, 5075, 5076, 5077, 5078, 5079, 5080, 5081,
    5082, 5083, 5084, 5085, 5086, 5087, 5090, 5092, 5093, 5110, 5111, 5112, 5113, 5114, 5115, 5116,
    5117, 5118, 5119, 5120, 5121, 5122, 5123, 5124, 5125, 5126, 5127, 5128, 5129, 5130, 5131, 5132,
    5133, 5134, 5152, 5204, 5205, 5206, 5208, 5209, 5210, 5243, 5340, 5341, 5342, 5344, 5350, 5351,
    5360, 5361, 5362, 5363, 5364, 5365, 5366, 5368, 5410, 5420, 5421, 5426, 5427, 5428, 5429, 5430,
    5431, 5432, 5451, 5452, 5462, 5465, 5466, 5467, 5468, 5469, 5470, 5471, 5489, 5492, 5520, 5527,
    5528, 5541, 5542, 5563, 5580, 5581, 5583, 5585, 5604, 5643, 5660, 5661, 5662, 5663, 5680, 5681,
    5682, 5684, 5685, 5687, 5700, 5703, 5704, 5713, 5730, 5731, 5732, 5733, 5760, 5767, 5821, 5822,
    5823, 5833, 5834, 5840, 5841, 5857, 5861, 5880, 5890, 5891, 5892, 5893, 5894, 5895, 5896, 5897,
    5898, 5899, 5934, 5936, 5937, 6050, 2160, 2161, 2162, 2163,
};

} // namespace

TEST_F(ResourceLibraryTest, EveryNamedTextHasWording) {
    for (int id : kNamedTextIds)
        EXPECT_FALSE(resourceText(id).trimmed().isEmpty()) << "text " << id;
}

TEST_F(ResourceLibraryTest, TextsById) {
    const struct {
        int id;
        const char* text;
    } cases[] = {
        {5541, "OK"},    {5542, "Cancel"},
        {5013, "Live"},  {5125, "Playback"},
        {5528, "Local"}, {5079, "The connection to the recorder has been closed."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resourceText(c.id), QString::fromUtf8(c.text)) << c.id;
    // The mode labels are drawn into 30-character slots of the channel decoders.
    for (int id : {5013, 5125, 5528})
        EXPECT_LT(resourceText(id).size(), 30) << id;
}

TEST_F(ResourceLibraryTest, MissingIdGivesEmptyText) {
    for (int id : {0, -1, 4999, 5999, 5001, 1500, 100000})
        EXPECT_TRUE(resourceText(id).isEmpty()) << id;
}

TEST_F(ResourceLibraryTest, TextAfterPrefix) {
    EXPECT_EQ(resourceTextAfter(QStringLiteral("CH01"), 5130), QStringLiteral("CH01 Alarm"));
    EXPECT_EQ(resourceTextAfter(QString(), 5131), QStringLiteral(" Motion"));
    EXPECT_EQ(resourceTextAfter(QStringLiteral("CH01"), 5999), QStringLiteral("CH01 "));
}

TEST_F(ResourceLibraryTest, LoadingAgainKeepsTheLibrary) {
    EXPECT_TRUE(loadResourceLibrary(QStringLiteral("/nonexistent-folder")));
    EXPECT_EQ(resourceText(5541), QStringLiteral("OK"));
}

TEST_F(ResourceLibraryTest, PictureSizes) {
    const struct {
        int id;
        int w, h;
    } cases[] = {
        // Background tiles on the grid x 0, 86, 841, 928 and y 0, 58, 626, 698.
        {1500, 86, 58},
        {1501, 755, 58},
        {1502, 87, 58},
        {1503, 86, 568},
        {1504, 755, 568},
        {1505, 87, 568},
        {1506, 86, 72},
        {1507, 755, 72},
        {1508, 87, 72},
        // Clock strips: cell size times cell count.
        {1590, 7 * 11, 11},
        {1591, 13 * 14, 18},
        {1592, 7 * 11, 9},
        {1593, 7 * 12, 9},
        {1594, 18 * 2, 9},
        // Notification box background.
        {1640, 308, 136},
        // Dialog button faces.
        {2100, 97, 22},
        {2102, 100, 27},
        {2170, 130, 35},
    };
    for (const auto& c : cases) {
        const QImage img = resourcePicture(c.id);
        ASSERT_FALSE(img.isNull()) << c.id;
        EXPECT_EQ(img.width(), c.w) << c.id;
        EXPECT_EQ(img.height(), c.h) << c.id;
    }
}

TEST_F(ResourceLibraryTest, IconPairsAreSixteenHighAndMatch) {
    // Play and reverse are repeated from columns 5 and 4 over up to 33 and 32 columns.
    const struct {
        int maskId;
        int minWidth;
    } pairs[] = {{1600, 16}, {1602, 38}, {1604, 36}, {1606, 16},
                 {1610, 16}, {1612, 16}, {1733, 16}, {1735, 16}};
    for (const auto& p : pairs) {
        const QImage mask = resourcePicture(p.maskId);
        const QImage image = resourcePicture(p.maskId + 1);
        ASSERT_FALSE(mask.isNull()) << p.maskId;
        ASSERT_EQ(mask.size(), image.size()) << p.maskId;
        EXPECT_EQ(mask.height(), 16) << p.maskId;
        EXPECT_GE(mask.width(), p.minWidth) << p.maskId;
        int iconPixels = 0;
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x) {
                const bool masked = (mask.pixel(x, y) & 0xFFFFFF) == 0;
                const bool drawn = qAlpha(image.pixel(x, y)) != 0;
                ASSERT_EQ(masked, drawn) << p.maskId << " at " << x << "," << y;
                if (!drawn) {
                    ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, 0u) << "image background not black";
                }
                iconPixels += drawn;
            }
        EXPECT_GT(iconPixels, 10) << p.maskId;
    }
}

TEST_F(ResourceLibraryTest, FrameCornersCarryTheCutOutColour) {
    const QRgb key = 0xFF000000u | res::kFrameKeyColour;
    EXPECT_EQ(resourcePicture(1500).pixel(0, 0), key);
    EXPECT_EQ(resourcePicture(1502).pixel(86, 0), key);
    EXPECT_EQ(resourcePicture(1506).pixel(0, 71), key);
    EXPECT_EQ(resourcePicture(1508).pixel(86, 71), key);
    // Nothing inside the frame has that colour, or the window would get holes.
    for (int id = 1500; id <= 1508; ++id) {
        const QImage tile = resourcePicture(id);
        EXPECT_NE(tile.pixel(tile.width() / 2, tile.height() / 2), key) << id;
    }
}

TEST_F(ResourceLibraryTest, TimelineColoursAndButtonSkins) {
    for (int id = res::kTimelineColourFirst; id < res::kTimelineColourFirst + 6; ++id)
        EXPECT_FALSE(resourcePicture(id).isNull()) << id;

    const int controls[] = {300, 315, 320, 328, 329, 340, 346, 355, 356, 360, 361, 362, 363,
                            364, 365, 366, 368, 369, 370, 371, 372, 373, 374, 376, 377, 378};
    for (int control : controls) {
        const QImage normal = resourcePicture(res::mainButtonSkin(control, false));
        const QImage pressed = resourcePicture(res::mainButtonSkin(control, true));
        ASSERT_FALSE(normal.isNull()) << control;
        EXPECT_EQ(normal.size(), pressed.size()) << control;
        EXPECT_NE(normal, pressed) << control;
    }
    EXPECT_EQ(res::mainButtonSkin(299, false), 0);
    EXPECT_EQ(res::mainButtonSkin(379, true), 0);
}

TEST_F(ResourceLibraryTest, MissingPictureIsNull) {
    for (int id : {0, 1499, 1509, 2199, 5079})
        EXPECT_TRUE(resourcePicture(id).isNull()) << id;
}

// Decode threads read the mode labels while the GUI thread loads skins.
TEST_F(ResourceLibraryTest, ReadsFromManyThreads) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 50; ++i) {
                if (resourceText(5013 + (t % 2) * 112).isEmpty())
                    ++failures;
                if (i % 10 == 0 && resourcePicture(1591).isNull())
                    ++failures;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
}
