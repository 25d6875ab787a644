#include "setup/local/client_customisation.h"
#include "setup/local/local_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace kalder {
namespace {

TEST(ClientCustomisation, LinesOverrideDefaults) {
    // Line feeds are ignored; an empty line keeps its default.
    const auto c = parseClientCustomisation("Acme DVR\r\nVideo\r\n\r\nRGB\r\nignored\r\n");
    EXPECT_EQ(c.oemTitle, "Acme DVR");
    EXPECT_EQ(c.oemFolderName, "Video");
    EXPECT_EQ(c.oemDateFormat, "YYYY-MM-DD");
    EXPECT_EQ(c.defaultDrawMode(), 1);
    EXPECT_EQ(c.defaultDateFormat(), 0);
    EXPECT_EQ(parseClientCustomisation("\r\n\rDD-MM-YYYY\r").defaultDateFormat(), 2);
    EXPECT_EQ(parseClientCustomisation("\r\r MM-DD-YYYY\r").defaultDateFormat(), 0);
    EXPECT_EQ(parseClientCustomisation("").oemTitle, "H264");
    EXPECT_EQ(parseClientCustomisation(QByteArray(400, 'x')).oemTitle.size(), 259);
}

TEST(ClientCustomisation, TheDataFolderStaysOneFolderUnderHome) {
    for (const char* planted : {"/etc", "..", ".", "../../tmp", "a/b", "/", "x/.."})
        EXPECT_EQ(parseClientCustomisation(QByteArray("T\r") + planted + "\r").oemFolderName,
                  "H264")
            << planted;
    EXPECT_EQ(parseClientCustomisation("T\r..Video..\r").oemFolderName, "..Video..");
}

TEST(ClientCustomisation, FirstFolderWithTheFileWins) {
    QTemporaryDir a, b;
    QFile f(b.filePath("ClientD1.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("T\rVideo\r");
    f.close();
    EXPECT_EQ(loadClientCustomisation({a.path(), b.path()}).oemFolderName, "Video");
    EXPECT_EQ(loadClientCustomisation({a.path()}).oemFolderName, "H264");
}

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QSettings store() { return QSettings(m_dir.filePath("kalder.ini"), QSettings::IniFormat); }
};

TEST_F(SettingsTest, FreshUserGetsCustomisedDefaults) {
    auto s = store();
    const auto c = parseClientCustomisation("T\rVideo\r");
    const LocalSettings loaded = loadSettings(s, c, "/home/op");
    EXPECT_EQ(loaded.location, "/home/op/Video");
    EXPECT_EQ(loaded.drawMode, 0u);
    EXPECT_EQ(loaded.opacity[8], 255);
    EXPECT_EQ(loaded.audioBuf, (std::array<std::uint8_t, 3>{2, 64, 2}));
    EXPECT_EQ(loaded.webInterval, 5u);
    EXPECT_EQ(loaded, defaultLocalSettings(c, "/home/op"));
}

TEST_F(SettingsTest, SavedValuesComeBackUnderTheirOwnPaths) {
    LocalSettings s = defaultLocalSettings({}, "/home/op");
    s.drawMode = 1;
    s.dateFormat = 2;
    s.location = "/data/cctv";
    s.opacity[0] = 100;
    s.opacity[8] = 180;
    s.audioBuf[1] = 32;
    s.webActivate = 1;
    s.webLocation = "/srv/www";
    {
        auto st = store();
        saveSettings(st, s);
    }
    auto st = store();
    EXPECT_EQ(st.value("LocalSetup/DrawMode/DrawMode").toUInt(), 1u);
    EXPECT_EQ(st.value("LocalSetup/Opacity/09/09").toUInt(), 180u);
    EXPECT_EQ(st.value("LocalSetup/AudioBuf/02/02").toUInt(), 32u);
    EXPECT_EQ(st.value("LocalSetupEx/WebLocation/WebLocation").toString(), "/srv/www");
    EXPECT_EQ(loadSettings(st, {}, "/home/op"), s);
}

TEST_F(SettingsTest, OutOfRangeStoredValuesAreKeptAndReadersApplyTheirRange) {
    auto st = store();
    st.setValue("LocalSetup/DateFormat/DateFormat", 7);
    st.setValue("LocalSetupEx/WebInterval/WebInterval", 25);
    st.setValue("LocalSetup/Opacity/03/03", 999); // not a byte: default
    LocalSettings s = loadSettings(st, {}, "/home/op");
    EXPECT_EQ(s.dateFormat, 7u);
    EXPECT_EQ(s.effectiveWebInterval(), 1u);
    EXPECT_EQ(s.opacity[2], 255);
    s.webInterval = 0;
    EXPECT_EQ(s.effectiveWebInterval(), 1u);
    s.webInterval = 20;
    EXPECT_EQ(s.effectiveWebInterval(), 20u);
}

TEST_F(SettingsTest, DataSubfoldersAndDiskSpace) {
    const QString saved = ensureDataSubfolder(m_dir.filePath("a/b"), "Saved");
    EXPECT_TRUE(QDir(saved).exists());
    const auto space = diskSpace(m_dir.filePath("not/yet/there"));
    ASSERT_TRUE(space);
    EXPECT_GT(space->totalMiB, 0u);
    EXPECT_LE(space->freeMiB, space->totalMiB);
}

} // namespace
} // namespace kalder
