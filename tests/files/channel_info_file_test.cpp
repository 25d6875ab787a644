#include "files/channel_info_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kalder {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A recorder repeating LIVE_CHANNEL_INFO must not turn into a stream of file writes: equal
// requests are written once, a burst is written as its newest request.
TEST(ChannelInfoFile, RepeatedRequestsWriteOnceAndTheNewestWins) {
    const fs::path folder =
        fs::temp_directory_path() / ("kalder-chinfo-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    {
        ChannelInfoFileWriter writer;
        for (int i = 0; i < 3000; ++i)
            writer.submit(folder, {0x00FF, 352, 240, 5});
        writer.flush();
        EXPECT_EQ(writer.writes(), 1u);
        EXPECT_EQ(contents(folder / "chinfo.bin"), "255\r\n352\r\n240\r\n5\r\n");

        for (std::uint16_t mask = 1; mask <= 500; ++mask)
            writer.submit(folder, {mask, 352, 240, 5});
        writer.flush();
        EXPECT_GE(writer.writes(), 2u);
        EXPECT_LE(writer.writes(), 501u);
        EXPECT_EQ(contents(folder / "chinfo.bin"), "500\r\n352\r\n240\r\n5\r\n");

        // A missing folder is not created and counts as a failure.
        writer.submit(folder / "gone", {1, 2, 3, 4});
        writer.flush();
        EXPECT_EQ(writer.failures(), 1u);
        EXPECT_FALSE(fs::exists(folder / "gone"));

        // The last request still waiting when the writer ends is written.
        writer.submit(folder, {0xFFFF, 704, 480, 1});
    }
    EXPECT_EQ(contents(folder / "chinfo.bin"), "65535\r\n704\r\n480\r\n1\r\n");
    fs::remove_all(folder);
}

// The file holds the mask, the export picture's width and height and the interval, each a
// decimal line ended by CR LF; an empty or missing folder is a failure, not a file elsewhere.
TEST(ChannelInfoFile, FourCrLfLinesAndUnwritableFolders) {
    EXPECT_EQ(encodeChannelInfo({0x00F3, 640, 480, 7}), "243\r\n640\r\n480\r\n7\r\n");
    EXPECT_EQ(encodeChannelInfo({0, 640, 480, 7}).rfind("0\r\n640\r\n", 0), 0u);

    const fs::path folder =
        fs::temp_directory_path() / ("kalder-chinfo-lines-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    ChannelInfoFileWriter writer;
    writer.submit(folder, {0x00F3, 640, 480, 7});
    writer.flush();
    EXPECT_EQ(contents(folder / "chinfo.bin"), "243\r\n640\r\n480\r\n7\r\n");
    writer.submit("", {1, 640, 480, 7});
    writer.flush();
    writer.submit("/proc/no-such-folder", {1, 640, 480, 7});
    writer.flush();
    EXPECT_EQ(writer.failures(), 2u);
    EXPECT_EQ(writer.writes(), 1u);
    fs::remove_all(folder);
}

} // namespace
} // namespace kalder
