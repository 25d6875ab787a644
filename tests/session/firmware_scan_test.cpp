// The upgrade folder scan against image files built here: dates, trailers, rows, older files.
#include "session/firmware_scan.h"
#include "wire/recorder_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kalder {
namespace {

namespace fs = std::filesystem;

std::vector<std::byte> componentImage(const std::string& name, std::uint32_t time, std::size_t size,
                                      bool trailerLast) {
    std::vector<std::byte> bytes(size, std::byte{0x5A});
    const std::size_t at = trailerLast ? size - 64 : 0;
    std::memset(bytes.data() + at, 0, 64);
    bytes[at + 8] = std::byte(time >> 24);
    bytes[at + 9] = std::byte(time >> 16);
    bytes[at + 10] = std::byte(time >> 8);
    bytes[at + 11] = std::byte(time);
    std::memcpy(bytes.data() + at + 32, name.data(), std::min<std::size_t>(name.size(), 32));
    if (trailerLast) {
        const std::uint8_t magic[4] = {0x14, 0x00, 0x00, 0xEA}; // 0xEA000014, little-endian
        std::memcpy(bytes.data(), magic, 4);
    }
    return bytes;
}

std::vector<std::byte> bootImage(const std::string& text) {
    std::vector<std::byte> bytes(1000, std::byte{0});
    std::memcpy(bytes.data(), text.data(), text.size());
    return bytes;
}

class FirmwareScan : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kalder-fwscan-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        // The rearranged table: slot 0 boot, 3 app, 4 fpga, 5 front, 6 ramdisk; 1-2 and 7-19
        // cleared.
        m_hello.firmName[0] = "Boot-2.1.0 build 7"; // the file carries its first 11 bytes
        m_hello.firmVer[0] = 1000000000u;           // 2001
        m_hello.firmName[3] = "app";
        m_hello.firmVer[3] = 1700000000u;
        m_hello.firmName[4] = "fpga";
        m_hello.firmVer[4] = 1700000000u;
        m_hello.firmName[5] = "front";
        m_hello.firmVer[5] = 1700000000u;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void write(const std::string& name, const std::vector<std::byte>& bytes) {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    FirmwareScanResult scan(int offset = 0) { return scanUpgradeFolder(m_dir, m_hello, offset); }

    fs::path m_dir;
    HelloRecord m_hello;
};

TEST_F(FirmwareScan, NewestFilePerRowAndOnlyNewerThanTheRecorder) {
    write("app-old.bin", componentImage("app", 1700000500u, 300, false));
    write("app-new.bin", componentImage("app", 1700000900u, 300, false));
    write("front-same.bin", componentImage("front", 1700000000u, 300, false)); // equal: not newer
    write("front-older.bin", componentImage("front", 1600000000u, 300, false));
    write("fpga.img", componentImage("fpga", 1700000001u, 20000, true));    // trailer at the end
    write("empty-name.bin", componentImage("", 1900000000u, 300, false));   // a cleared slot
    write("kernel.bin", componentImage("kernel", 1900000000u, 300, false)); // no such slot
    write("short.bin", std::vector<std::byte>(40));
    fs::create_symlink(m_dir / "app-new.bin", m_dir / "link.bin");
    fs::create_directory(m_dir / "sub");

    const FirmwareScanResult r = scan();
    EXPECT_FALSE(r.rows[0].selected);
    ASSERT_TRUE(r.rows[1].selected); // slot 3
    EXPECT_EQ(r.rows[1].buildTime, 1700000900u);
    EXPECT_EQ(r.rows[1].componentType, 3);
    EXPECT_EQ(r.rows[1].componentName, "app");
    EXPECT_EQ(fs::path(r.rows[1].path).filename(), "app-new.bin");
    ASSERT_TRUE(r.rows[2].selected); // slot 4, found through the trailer at the end
    EXPECT_EQ(r.rows[2].buildTime, 1700000001u);
    EXPECT_FALSE(r.rows[3].selected);
    EXPECT_FALSE(r.rows[4].selected);
    // Both app files count when the older one comes first; at least the two taken rows.
    EXPECT_GE(r.taken, 2);
    EXPECT_LE(r.taken, 3);
    EXPECT_TRUE(r.anySelected());
}

TEST_F(FirmwareScan, BootImageDateIsLocalStandardTimePlusTheOffset) {
    write("boot.bin", bootImage("\x01\x02\x03VBoot-2.1.0 rel (Jan 05 2007 - 10:20:30)"));
    write("boot-other.bin", bootImage("\x01\x02\x03VBoot-9.9.9 rel (Feb 05 2008 - 10:20:30)"));
    write("boot-nodate.bin", bootImage("\x01\x02\x03VBoot-2.1.0 rel no date"));

    // In a zone one hour east of UTC, with the offset the client measures at start, the text
    // time is the wall-clock time itself.
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    const int offset = standardTimeZoneOffsetSeconds(std::time(nullptr));
    const FirmwareScanResult r = scan(offset);
    // Not newer than the recorder's boot component: not offered.
    m_hello.firmVer[0] = 1167992430u;
    const FirmwareScanResult same = scan(offset);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();

    EXPECT_EQ(offset, 3600);
    ASSERT_TRUE(r.rows[0].selected);
    EXPECT_EQ(r.rows[0].buildTime, 1167992430u); // 2007-01-05 10:20:30
    EXPECT_EQ(r.rows[0].componentType, 0);
    EXPECT_EQ(r.rows[0].componentName, std::string("\x01\x02\x03VBoot-2.1.0 ", 15));
    EXPECT_EQ(r.taken, 1);
    EXPECT_FALSE(same.rows[0].selected);
}

TEST_F(FirmwareScan, MissingFolderFindsNothing) {
    fs::remove_all(m_dir);
    const FirmwareScanResult r = scan();
    EXPECT_EQ(r.taken, 0);
    EXPECT_FALSE(r.anySelected());
}

} // namespace
} // namespace kalder
