// The data folder's files against a hostile neighbour (planted links and special files) and a
// full disk.
#include "files/data_file.h"

#include "files/connect_history.h"
#include "files/local_log.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalder {
namespace {

namespace fs = std::filesystem;

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("kalder-data-file-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Log");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    static std::string contents(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }

    fs::path m_root;
};

TEST_F(DataFileTest, PlantedLinksAndSpecialFilesAreNeitherFollowedNorRead) {
    // An unrelated file of the operator's, and links to it where our files belong.
    const fs::path victim = m_root / "victim.txt";
    write(victim, std::string(600, 'v'));
    const fs::path logFile = localLogFilePath(m_root);
    const fs::path historyFile = m_root / "ConnectInfo100.log";
    fs::create_symlink(victim, logFile);
    fs::create_symlink(victim, historyFile);

    LocalLogRecord record;
    record.kind = kLogKindProgram;
    EXPECT_FALSE(appendLocalLogRecord(logFile, record));
    ConnectHistory history(historyFile);
    EXPECT_FALSE(history.record("10.0.0.1", 2000, "site", 1));
    EXPECT_TRUE(history.entries().empty()); // the victim is not read as a history either
    EXPECT_FALSE(readLocalLog(logFile));
    EXPECT_EQ(contents(victim), std::string(600, 'v'));

    // A FIFO where a file belongs: refused at once instead of blocking the reader.
    const fs::path fifo = m_root / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int error = 0;
    EXPECT_FALSE(DataFile::open(fifo, O_RDONLY, error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(readDataFile(fifo, 100));
}

// A file size limit stands in for a full disk: every write past it fails as it would with no
// space left, and must be reported, never taken for success.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(DataFileTest, AFullDiskIsReportedAndTheOldFileSurvivesARewrite) {
    const fs::path historyFile = m_root / "ConnectInfo100.log";
    ConnectHistory history(historyFile);
    ASSERT_TRUE(history.record("10.0.0.1", 2000, "first", 1));
    ASSERT_TRUE(history.record("10.0.0.2", 2000, "second", 2));
    const std::string before = contents(historyFile);
    {
        const FileSizeLimit full(before.size());
        // A third entry lies past the end: its write fails.
        EXPECT_FALSE(history.record("10.0.0.3", 2000, "third", 3));
        // A whole-file rewrite fails too, and leaves the old file as it was.
        EXPECT_FALSE(history.setSiteText(0, "renamed"));
        EXPECT_EQ(contents(historyFile), before);
    }
    ASSERT_EQ(history.entries().size(), 2u);
    EXPECT_EQ(history.entries()[0].siteText, "first");
    // No temporary file is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_root))
        ++files;
    EXPECT_EQ(files, 2u); // Log/ and the history

    const fs::path logFile = localLogFilePath(m_root);
    LocalLogRecord record;
    record.kind = kLogKindProgram;
    {
        const FileSizeLimit full(100);
        EXPECT_FALSE(appendLocalLogRecord(logFile, record));
    }
    EXPECT_TRUE(appendLocalLogRecord(logFile, record));
}

} // namespace
} // namespace kalder
