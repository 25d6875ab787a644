#include "files/connect_history.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#include <unistd.h>

namespace kalder {
namespace {

class ConnectHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("kalder-history-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path file() const { return m_dir / "Log" / "ConnectInfo100.log"; }

    std::pair<std::uint32_t, std::uint32_t> header() const {
        std::ifstream in(file(), std::ios::binary);
        unsigned char b[8] = {};
        in.read(reinterpret_cast<char*>(b), 8);
        auto le = [&](int o) {
            return std::uint32_t(b[o]) | std::uint32_t(b[o + 1]) << 8 |
                   std::uint32_t(b[o + 2]) << 16 | std::uint32_t(b[o + 3]) << 24;
        };
        return {le(0), le(4)};
    }

    std::filesystem::path m_dir;
};

TEST_F(ConnectHistoryTest, SameRecorderKeepsOneEntryWithFreshTime) {
    ConnectHistory h(file());
    ASSERT_TRUE(h.record("10.0.0.5", 2000, "Shop", 100));
    ASSERT_TRUE(h.record("dvr.example", 2000, "Home", 150));
    ASSERT_TRUE(h.record("10.0.0.5", 2000, "Shop front", 200));
    const auto list = h.entries();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (ConnectEntry{"10.0.0.5", 2000, 200, 0, "Shop front"}));
    EXPECT_EQ(header(), std::make_pair(0u, 2u));
    // Another port is another recorder; the address comparison is case-sensitive.
    ASSERT_TRUE(h.record("10.0.0.5", 2001, "", 300));
    ASSERT_TRUE(h.record("DVR.example", 2000, "", 301));
    EXPECT_EQ(h.entries().size(), 4u);
    EXPECT_EQ(h.newestFirst().front().address, "DVR.example");
    EXPECT_EQ(h.find("10.0.0.5", 2000)->siteText, "Shop front");
    EXPECT_FALSE(h.find("10.0.0.6", 2000));
    EXPECT_EQ(std::filesystem::file_size(file()), 8 + 4 * 532u);
}

TEST_F(ConnectHistoryTest, HundredFirstRecorderReplacesLeastRecentlyUsed) {
    ConnectHistory h(file());
    for (std::uint32_t i = 0; i < 100; ++i)
        ASSERT_TRUE(h.record("10.0.1." + std::to_string(i), 2000, "", 1000 + i));
    EXPECT_EQ(header(), std::make_pair(1u, 0u));
    // Refresh the oldest; the second oldest (slot 1) becomes the one to go.
    ASSERT_TRUE(h.record("10.0.1.0", 2000, "", 5000));
    ASSERT_TRUE(h.record("10.0.2.1", 2000, "new", 5001));
    const auto list = h.entries();
    ASSERT_EQ(list.size(), 100u);
    EXPECT_EQ(list[1], (ConnectEntry{"10.0.2.1", 2000, 5001, 1, "new"}));
    EXPECT_EQ(list[0].address, "10.0.1.0");
    EXPECT_EQ(std::filesystem::file_size(file()), kConnectHistoryFileSize);
}

TEST_F(ConnectHistoryTest, DeleteMovesEntriesUpAndRewritesHeader) {
    ConnectHistory h(file());
    for (std::uint32_t i = 0; i < 100; ++i)
        ASSERT_TRUE(h.record("h" + std::to_string(i), 2000, "s" + std::to_string(i), i + 1));
    ASSERT_TRUE(h.remove(10));
    auto list = h.entries();
    ASSERT_EQ(list.size(), 99u);
    EXPECT_EQ(list[10].address, "h11");
    EXPECT_EQ(list[10].slot, 10u);
    EXPECT_EQ(list[98].address, "h99");
    EXPECT_EQ(header(), std::make_pair(0u, 99u));
    // The next new recorder takes the freed slot at the end.
    ASSERT_TRUE(h.record("new", 2000, "", 500));
    EXPECT_EQ(h.entries()[99].address, "new");
    EXPECT_EQ(header(), std::make_pair(1u, 0u));

    ASSERT_TRUE(h.setSiteText(0, "Front gate"));
    EXPECT_EQ(h.entries()[0].siteText, "Front gate");
    EXPECT_EQ(header(), std::make_pair(1u, 0u));
    EXPECT_FALSE(h.remove(100));
}

TEST_F(ConnectHistoryTest, MissingDamagedOrUnwritableFileIsHarmless) {
    ConnectHistory missing(file());
    EXPECT_TRUE(missing.entries().empty());
    EXPECT_FALSE(missing.remove(0));

    // A cut file: only the whole entries before the cut are read.
    ConnectHistory h(file());
    for (std::uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(h.record("h" + std::to_string(i), 2000, "", i));
    std::filesystem::resize_file(file(), 8 + 2 * 532 + 100);
    EXPECT_EQ(h.entries().size(), 2u);
    std::filesystem::resize_file(file(), 5);
    EXPECT_TRUE(h.entries().empty());

    // A damaged next index never writes past the hundred entries.
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        const unsigned char head[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
        out.write(reinterpret_cast<const char*>(head), 8);
    }
    ASSERT_TRUE(h.record("x", 2000, "", 9));
    EXPECT_LE(std::filesystem::file_size(file()), kConnectHistoryFileSize);
    EXPECT_EQ(h.entries().size(), 1u);

    ConnectHistory unwritable("/proc/kalder-no-such-dir/ConnectInfo100.log");
    EXPECT_FALSE(unwritable.record("x", 2000, "", 1));
    EXPECT_TRUE(unwritable.entries().empty());
}

// Found by fuzzing: a file whose header names a next slot behind an empty entry (a cut file
// keeps its old header). The new entry goes behind the list, where it is listed, not into the
// named slot behind the gap.
TEST_F(ConnectHistoryTest, RecordAfterHeaderPastTheListIsListed) {
    std::filesystem::create_directories(file().parent_path());
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        const unsigned char bytes[9] = {0, 0, 0, 0, 0x0a, 0, 0, 0, 0x7e};
        out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    ConnectHistory h(file());
    ASSERT_TRUE(h.entries().empty()); // the first entry is cut off
    ASSERT_TRUE(h.record("10.0.0.1", 9010, "site", 1234567));
    const auto list = h.entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (ConnectEntry{"10.0.0.1", 9010, 1234567, 0, "site"}));
    EXPECT_EQ(header(), std::make_pair(0u, 1u));

    // The same for a file cut after two of three entries.
    for (std::uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(h.record("h" + std::to_string(i), 2000, "", i));
    std::filesystem::resize_file(file(), 8 + 2 * 532);
    ASSERT_TRUE(h.record("late", 2000, "", 50));
    EXPECT_EQ(h.entries().back().address, "late");
}

// Found by fuzzing: text fields without their terminating zero. They read as the 259 bytes the
// writer keeps, so that recording the same recorder again refreshes its entry.
TEST_F(ConnectHistoryTest, UnterminatedTextsReadAsTheWriterKeepsThem) {
    std::filesystem::create_directories(file().parent_path());
    std::string bytes(8 + 532, '\0');
    bytes[0] = 1; // wrapped
    std::fill_n(bytes.begin() + 8, 260, '\xa0');
    bytes.replace(8 + 260, 4, "\x2a\x23\0\0", 4); // port 9002
    std::fill_n(bytes.begin() + 8 + 272, 260, 'E');
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    ConnectHistory h(file());
    const auto before = h.entries();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].address, std::string(259, '\xa0'));
    EXPECT_EQ(before[0].siteText, std::string(259, 'E'));
    ASSERT_TRUE(h.record(before[0].address, 9002, "site", 77));
    const auto after = h.entries();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].lastUsed, 77u);
}

// The history in memory, as the fuzz target drives it, reads and writes the same bytes as the
// file, from a damaged start through every operation.
TEST_F(ConnectHistoryTest, MemoryKeepsTheFilesBytes) {
    std::vector<std::byte> start(kConnectHistoryHeaderSize + kConnectEntrySize + 100);
    start[0] = std::byte{9};                           // a damaged wrapped flag
    start[kConnectHistoryHeaderSize] = std::byte{'x'}; // one entry, then a cut one
    std::filesystem::create_directories(file().parent_path());
    {
        std::ofstream out(file(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(start.data()), std::streamsize(start.size()));
    }
    ConnectHistoryMemory memory{start};
    ConnectHistory inMemory(memory), onDisk(file());
    auto same = [&] {
        std::ifstream in(file(), std::ios::binary);
        std::vector<char> chars((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(chars.size(), memory.bytes.size());
        EXPECT_EQ(std::memcmp(chars.data(), memory.bytes.data(), chars.size()), 0);
        EXPECT_EQ(inMemory.entries(), onDisk.entries());
    };
    same();
    for (ConnectHistory* h : {&inMemory, &onDisk}) {
        EXPECT_TRUE(h->record("10.0.0.2", 9010, "Lobby", 50));
        EXPECT_TRUE(h->record("x", 0, "", 60));
    }
    same();
    for (ConnectHistory* h : {&inMemory, &onDisk}) {
        // The damaged flag says the history is full: each record replaced the only entry.
        ASSERT_EQ(h->entries().size(), 1u);
        EXPECT_TRUE(h->setSiteText(0, "Yard"));
        EXPECT_TRUE(h->remove(0));
        EXPECT_FALSE(h->remove(5));
    }
    same();
    EXPECT_TRUE(inMemory.entries().empty());
}

} // namespace
} // namespace kalder
