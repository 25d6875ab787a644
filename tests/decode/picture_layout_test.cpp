#include "decode/picture_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

// A BGR picture as the decoder module writes it: every byte of row r holds r (mod 256).
std::vector<std::byte> taggedRows(int width, int height) {
    std::vector<std::byte> picture(static_cast<std::size_t>(width) * height * 3);
    for (int r = 0; r < height; ++r) {
        std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(r) * width * 3, width * 3,
                    static_cast<std::byte>(r & 0xFF));
    }
    return picture;
}

struct ReorderCase {
    int width;
    int height;
    // Decoder rows expected at stored rows 0, 1, 2, 3 and at the last stored row.
    std::array<int, 5> expected;
};

class Reorder : public ::testing::TestWithParam<ReorderCase> {};

TEST_P(Reorder, StoresTheLastDisplayRowFirst) {
    const auto& c = GetParam();
    const auto decoded = taggedRows(c.width, c.height);
    std::vector<std::byte> picture(decoded.size());
    reorderForBottomUp(decoded, picture, c.width, c.height);
    const auto rowTag = [&](int stored) {
        return static_cast<int>(picture[static_cast<std::size_t>(stored) * c.width * 3 + 5]);
    };
    EXPECT_EQ(rowTag(0), c.expected[0] & 0xFF);
    EXPECT_EQ(rowTag(1), c.expected[1] & 0xFF);
    EXPECT_EQ(rowTag(2), c.expected[2] & 0xFF);
    EXPECT_EQ(rowTag(3), c.expected[3] & 0xFF);
    EXPECT_EQ(rowTag(c.height - 1), c.expected[4] & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Heights, Reorder,
    ::testing::Values(
        // Field pictures: display rows 2i and 2i + 1 show second-field row i (decoder row
        // h/2 + i); stored bottom-up, so stored rows 0 and 1 show the last second-field row.
        ReorderCase{704, 480, {479, 479, 478, 478, 240}},
        ReorderCase{704, 576, {575, 575, 574, 574, 288}},
        // Frame pictures: the row order is simply reversed.
        ReorderCase{352, 240, {239, 238, 237, 236, 0}},
        ReorderCase{704, 288, {287, 286, 285, 284, 0}}));

TEST(DisplayRgb, PlanarFieldPictureShowsItsFirstFieldLineDoubled) {
    const int width = 4;
    const int height = 480;
    std::vector<std::byte> planar(width * height * 3 / 2, std::byte{128});
    // Luma: first field (upper half) rows 16 + i % 200, second field black.
    for (int r = 0; r < height; ++r) {
        const int value = r < height / 2 ? 16 + (r % 200) : 16;
        std::fill_n(planar.begin() + r * width, width, static_cast<std::byte>(value));
    }
    const auto rgb = displayRgb({0, width, height, PictureLayout::Planar, planar, 0});
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(width * height * 3));
    for (const int row : {0, 1, 2, 3, 201, 478, 479}) {
        const int field = row / 2;
        const int expected = std::clamp(((16 + field % 200) - 16) * 298 / 256, 0, 255);
        EXPECT_NEAR(rgb[static_cast<std::size_t>(row) * width * 3], expected, 1) << row;
    }
}

TEST(DisplayRgb, BottomUpBgrIsTurnedUprightAndToRgb) {
    const int width = 2;
    const int height = 2;
    // Stored row 0 is the bottom display row.
    const std::vector<std::byte> bgr = {std::byte{1}, std::byte{2}, std::byte{3}, std::byte{1},
                                        std::byte{2}, std::byte{3}, std::byte{7}, std::byte{8},
                                        std::byte{9}, std::byte{7}, std::byte{8}, std::byte{9}};
    const auto rgb = displayRgb({0, width, height, PictureLayout::BottomUpBgr, bgr, 0});
    const std::vector<std::uint8_t> expected = {9, 8, 7, 9, 8, 7, 3, 2, 1, 3, 2, 1};
    EXPECT_EQ(rgb, expected);
}

TEST(DisplayRgb, TooShortAViewGivesNothing) {
    std::vector<std::byte> bytes(100);
    EXPECT_TRUE(displayRgb({0, 352, 240, PictureLayout::Planar, bytes, 0}).empty());
}

TEST(SnapshotTime, FormatsByTheDateFormatSetting) {
    // 2024-02-29 13:05:09 UTC
    const std::int64_t leapDay = 1709211909;
    EXPECT_EQ(formatSnapshotTime(leapDay, 0), "2024-02-29  13:05:09");
    EXPECT_EQ(formatSnapshotTime(leapDay, 1), "02-29-2024  13:05:09");
    EXPECT_EQ(formatSnapshotTime(leapDay, 2), "29-02-2024  13:05:09");
    EXPECT_EQ(formatSnapshotTime(-5, 0), "1970-01-01  00:00:00");
}

} // namespace
} // namespace kalder
