#include "files/local_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kalder;

namespace {

// A fresh folder per test, removed afterwards.
class LocalLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        m_root = fs::temp_directory_path() / ("kalder-local-log-" + std::to_string(::getpid()) +
                                              "-" + std::to_string(counter++));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_file = localLogFilePath(m_root);
    }
    void TearDown() override {
        configureLocalLog(LocalLogSettings{});
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::vector<std::byte> fileBytes() const {
        std::ifstream in(m_file, std::ios::binary);
        std::vector<char> chars((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::byte> bytes(chars.size());
        for (std::size_t i = 0; i < chars.size(); ++i)
            bytes[i] = std::byte(static_cast<unsigned char>(chars[i]));
        return bytes;
    }
    LocalLogHeader header() const {
        const auto bytes = fileBytes();
        return decodeLocalLogHeader(bytes).value_or(LocalLogHeader{0xDEAD, 0xDEAD});
    }
    LocalLogRecord slot(std::size_t n) const {
        const auto bytes = fileBytes();
        const std::size_t at = kLocalLogHeaderSize + n * kLocalLogRecordSize;
        if (bytes.size() < at + kLocalLogRecordSize)
            return LocalLogRecord{0xDEAD, 0, 0, 0, 0, {}, {}};
        return decodeLocalLogRecord(std::span(bytes).subspan(at, kLocalLogRecordSize))
            .value_or(LocalLogRecord{});
    }
    void writeRaw(const std::vector<std::byte>& bytes) const {
        fs::create_directories(m_file.parent_path());
        std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    bool append(std::uint32_t event) const {
        LocalLogRecord r;
        r.kind = kLogKindProgram;
        r.event = event;
        return appendLocalLogRecord(m_file, r);
    }
    static std::uint32_t nowSeconds() {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count());
    }

    fs::path m_root;
    fs::path m_file;
};

std::vector<std::byte> headerBytes(std::uint32_t wrapped, std::uint32_t nextIndex) {
    const auto h = encodeLocalLogHeader({wrapped, nextIndex});
    return {h.begin(), h.end()};
}

} // namespace

TEST(LocalLogRecord, EncodesTheDocumentedLayout) {
    LocalLogRecord r;
    r.slot = 0x01020304;
    r.kind = kLogKindLogon;
    r.event = 0x4;
    r.time = 0xA1B2C3D4;
    r.address = "192.168.0.10";
    r.userId = "admin";
    const auto bytes = encodeLocalLogRecord(r);
    const std::vector<std::uint8_t> head = {4, 3, 2, 1, 184,  0,    0,    0,    2, 0, 0, 0,
                                            4, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(std::to_integer<std::uint8_t>(bytes[i]), head[i]) << "byte " << i;
    EXPECT_EQ(std::memcmp(bytes.data() + 24, "192.168.0.10", 12), 0);
    EXPECT_EQ(bytes[24 + 12], std::byte{0});
    EXPECT_EQ(std::memcmp(bytes.data() + 152, "admin", 5), 0);
    for (std::size_t i = 152 + 5; i < 184; ++i)
        EXPECT_EQ(bytes[i], std::byte{0}) << "byte " << i;

    const auto back = decodeLocalLogRecord(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->slot, r.slot);
    EXPECT_EQ(back->recordSize, 184u);
    EXPECT_EQ(back->time, r.time);
    EXPECT_EQ(back->address, r.address);
    EXPECT_EQ(back->userId, r.userId);
    EXPECT_FALSE(decodeLocalLogRecord(std::span(bytes).first(183)));
}

TEST(LocalLogRecord, CutsTextsAtTheirFieldWidths) {
    LocalLogRecord r;
    r.address = std::string(200, 'a');
    r.userId = std::string(40, 'u');
    const auto back = decodeLocalLogRecord(encodeLocalLogRecord(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->address, std::string(128, 'a'));
    EXPECT_EQ(back->userId, std::string(32, 'u'));
}

TEST_F(LocalLogTest, RingPositionAfterEntries) {
    struct Case {
        int entries;
        std::uint32_t wrapped, nextIndex;
        std::uintmax_t fileSize;
    };
    const Case checkpoints[] = {
        {1, 0, 1, 192},       {2, 0, 2, 376},       {2499, 0, 2499, 8 + 2499 * 184},
        {2500, 1, 0, 460008}, {2501, 1, 1, 460008}, {5000, 1, 0, 460008},
        {5002, 1, 2, 460008},
    };
    int written = 0;
    for (const Case& c : checkpoints) {
        while (written < c.entries)
            ASSERT_TRUE(append(std::uint32_t(++written)));
        SCOPED_TRACE(c.entries);
        EXPECT_EQ(header().wrapped, c.wrapped);
        EXPECT_EQ(header().nextIndex, c.nextIndex);
        EXPECT_EQ(fs::file_size(m_file), c.fileSize);
        // The newest entry sits in the slot before nextIndex and carries its slot number.
        const std::uint32_t newest = c.nextIndex == 0 ? 2499 : c.nextIndex - 1;
        EXPECT_EQ(slot(newest).event, std::uint32_t(c.entries));
        EXPECT_EQ(slot(newest).slot, newest);
        // The reader gives the last 2,500 entries oldest first, across the wrap.
        const auto all = readLocalLog(m_file);
        ASSERT_TRUE(all);
        const int kept = std::min(c.entries, int(kLocalLogSlotCount));
        ASSERT_EQ(all->size(), std::size_t(kept));
        EXPECT_EQ(all->front().event, std::uint32_t(c.entries - kept + 1));
        EXPECT_EQ(all->back().event, std::uint32_t(c.entries));
    }
}

TEST_F(LocalLogTest, FirstEntryThroughLocalLog) {
    const fs::path dataFolder = m_root / "nested" / "H264";
    configureLocalLog({dataFolder, false, 3600});
    const std::uint32_t before = nowSeconds();
    localLog(kLogKindProgram, 0x1);
    const std::uint32_t after = nowSeconds();

    m_file = localLogFilePath(dataFolder);
    ASSERT_TRUE(fs::exists(m_file));
    EXPECT_EQ(fs::file_size(m_file), 192u);
    EXPECT_EQ(header().wrapped, 0u);
    EXPECT_EQ(header().nextIndex, 1u);
    const LocalLogRecord r = slot(0);
    EXPECT_EQ(r.slot, 0u);
    EXPECT_EQ(r.recordSize, 184u);
    EXPECT_EQ(r.kind, kLogKindProgram);
    EXPECT_EQ(r.event, 0x1u);
    EXPECT_GE(r.time, before + 3600);
    EXPECT_LE(r.time, after + 3600);
    EXPECT_EQ(r.address, "");
    EXPECT_EQ(r.userId, "");
}

TEST_F(LocalLogTest, LogonEntryCarriesUserAndAddress) {
    configureLocalLog({m_root, false, 0});
    localLog(kLogKindLogon, kLogEventLogon, "Admin", "10.0.0.7");
    localLog(kLogKindLogon, kLogEventLogonFailed, "admin", "10.0.0.8");
    localLog(kLogKindSetupImage, kLogEventSnapshotSaved);
    EXPECT_EQ(slot(0).userId, "Admin");
    EXPECT_EQ(slot(0).address, "10.0.0.7");
    EXPECT_EQ(slot(1).event, kLogEventLogonFailed);
    EXPECT_EQ(slot(1).address, "10.0.0.8");
    EXPECT_EQ(slot(2).kind, kLogKindSetupImage);
    EXPECT_EQ(slot(2).userId, "");
    EXPECT_EQ(header().nextIndex, 3u);
}

TEST_F(LocalLogTest, RemovableModeWritesNothing) {
    configureLocalLog({m_root / "H264", true, 0});
    localLog(kLogKindProgram, kLogEventProgramStart);
    localLog(kLogKindProgram, kLogEventProgramExit);
    EXPECT_FALSE(fs::exists(m_root / "H264"));
}

TEST_F(LocalLogTest, DamagedFileRestartsTheRingInsideTheSlots) {
    std::vector<std::byte> fullRing(kLocalLogMaxFileSize);
    auto withHeader = [](std::vector<std::byte> bytes, std::uint32_t wrapped, std::uint32_t next) {
        const auto h = headerBytes(wrapped, next);
        std::copy(h.begin(), h.end(), bytes.begin());
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<std::byte> contents;
        std::uint32_t wrappedAfter;
        std::uintmax_t sizeAfter;
    };
    const Case cases[] = {
        {"empty file", {}, 0, 192},
        {"header cut short", {std::byte{5}, std::byte{0}, std::byte{0}}, 0, 192},
        {"nextIndex 2500", withHeader(fullRing, 1, 2500), 1, kLocalLogMaxFileSize},
        {"nextIndex far beyond", withHeader(fullRing, 1, 0xFFFFFFFF), 1, kLocalLogMaxFileSize},
        {"nextIndex past the file's end", headerBytes(0, 40), 0, 192},
        {"wrapped not 0 or 1", withHeader(fullRing, 7, 2500), 1, kLocalLogMaxFileSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeRaw(c.contents);
        ASSERT_TRUE(append(77));
        EXPECT_EQ(header().nextIndex, 1u);
        EXPECT_EQ(header().wrapped, c.wrappedAfter);
        EXPECT_EQ(slot(0).event, 77u);
        EXPECT_EQ(slot(0).slot, 0u);
        EXPECT_EQ(fs::file_size(m_file), c.sizeAfter);
    }
}

TEST_F(LocalLogTest, HeldFileDropsTheEntry) {
    ASSERT_TRUE(append(1));
    const auto before = fileBytes();
    const int holder = ::open(m_file.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(append(2));
    configureLocalLog({m_root, false, 0});
    localLog(kLogKindProgram, 3);
    EXPECT_EQ(fileBytes(), before);
    ::close(holder);
    EXPECT_TRUE(append(4));
    EXPECT_EQ(header().nextIndex, 2u);
    EXPECT_EQ(slot(1).event, 4u);
}

TEST_F(LocalLogTest, UncreatableFolderFailsSilently) {
    // The data folder is a plain file, so the Log folder cannot be made.
    std::ofstream(m_root / "blocked") << "x";
    configureLocalLog({m_root / "blocked", false, 0});
    localLog(kLogKindProgram, kLogEventProgramStart);
    EXPECT_FALSE(appendLocalLogRecord(localLogFilePath(m_root / "blocked"), {}));
    EXPECT_TRUE(fs::is_regular_file(m_root / "blocked"));
}

// Threads of this process never lose entries to each other: the GUI, the session threads and
// the local player may all log at the same moment.
TEST_F(LocalLogTest, ConcurrentWritersOfOneProcessKeepEveryEntry) {
    configureLocalLog({m_root, false, 0});
    constexpr int kThreads = 4, kEach = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i)
                localLog(kLogKindLocalPlay, std::uint32_t(t + 1));
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(header().nextIndex, std::uint32_t(kThreads * kEach));
    int perThread[kThreads] = {};
    for (int n = 0; n < kThreads * kEach; ++n) {
        const LocalLogRecord r = slot(n);
        EXPECT_EQ(r.slot, std::uint32_t(n));
        if (r.event >= 1 && r.event <= kThreads)
            ++perThread[r.event - 1];
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(perThread[t], kEach);
}

// The byte seam the fuzz target drives must read and append exactly as the file functions do,
// damaged rings included.
TEST_F(LocalLogTest, BytesReadAndAppendAsTheFile) {
    std::vector<std::byte> wrappedRing(kLocalLogMaxFileSize);
    for (std::size_t s = 0; s < kLocalLogSlotCount; ++s) {
        LocalLogRecord r;
        r.slot = std::uint32_t(s);
        r.time = std::uint32_t(1000 + s);
        const auto bytes = encodeLocalLogRecord(r);
        std::copy(bytes.begin(), bytes.end(),
                  wrappedRing.begin() +
                      std::ptrdiff_t(kLocalLogHeaderSize + s * kLocalLogRecordSize));
    }
    const auto h = headerBytes(1, 7);
    std::copy(h.begin(), h.end(), wrappedRing.begin());
    std::vector<std::byte> longFile = wrappedRing;
    longFile.resize(kLocalLogMaxFileSize + 500); // bytes past the ring are not slots

    const std::vector<std::vector<std::byte>> contents = {{},
                                                          {std::byte{1}, std::byte{0}},
                                                          headerBytes(0, 40),
                                                          headerBytes(0, 0xFFFFFFFF),
                                                          wrappedRing,
                                                          longFile};
    for (const std::vector<std::byte>& c : contents) {
        SCOPED_TRACE(c.size());
        writeRaw(c);
        const auto fromFile = readLocalLog(m_file);
        const std::vector<LocalLogRecord> fromBytes = parseLocalLog(c);
        ASSERT_TRUE(fromFile);
        ASSERT_EQ(fromBytes.size(), fromFile->size());
        for (std::size_t i = 0; i < fromBytes.size(); ++i)
            EXPECT_EQ(fromBytes[i].time, (*fromFile)[i].time);

        ASSERT_TRUE(append(77));
        std::vector<std::byte> ring = c;
        LocalLogRecord r;
        r.kind = kLogKindProgram;
        r.event = 77;
        const LocalLogAppend plan = planLocalLogAppend(localLogRingPosition(ring, ring.size()), r);
        ring.resize(std::max<std::size_t>(ring.size(), plan.recordOffset + kLocalLogRecordSize));
        std::copy(plan.record.begin(), plan.record.end(),
                  ring.begin() + std::ptrdiff_t(plan.recordOffset));
        std::copy(plan.header.begin(), plan.header.end(), ring.begin());
        EXPECT_EQ(ring, fileBytes());
    }
}
