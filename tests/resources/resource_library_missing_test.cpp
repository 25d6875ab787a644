#include "resources/resource_library.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kalder;

namespace {

void expectNothingLoaded() {
    for (int id : {5079, 5541, 5013})
        EXPECT_TRUE(resourceText(id).isEmpty()) << id;
    EXPECT_EQ(resourceTextAfter(QStringLiteral("CH01"), 5130), QStringLiteral("CH01 "));
    for (int id : {1500, 1591, 1640})
        EXPECT_TRUE(resourcePicture(id).isNull()) << id;
}

} // namespace

TEST(ResourceLibraryMissing, NoFileGivesEmptyTextsAndNoPictures) {
    expectNothingLoaded(); // before any load
    EXPECT_FALSE(loadResourceLibrary(QStringLiteral("/nonexistent-folder")));
    EXPECT_FALSE(loadResourceLibrary(QString()));
    expectNothingLoaded();
}

TEST(ResourceLibraryMissing, DamagedFileIsRefusedAndTheRightOneLoadsLater) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct {
        const char* what;
        QByteArray contents;
    } damaged[] = {{"empty", {}},
                   {"garbage", QByteArray(4096, 'x')},
                   {"magic only", "qres"},
                   // A header whose tree, data and names offsets point past the file.
                   {"offsets past the end",
                    QByteArray::fromHex("717265730000000300ffffff00ffffff00ffffff00000000")}};
    for (const auto& d : damaged) {
        QFile f(QDir(dir.path()).filePath(QStringLiteral("KalderRes.rcc")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(d.contents);
        f.close();
        EXPECT_FALSE(loadResourceLibrary(dir.path())) << d.what;
        expectNothingLoaded();
    }
    EXPECT_TRUE(loadResourceLibrary(QStringLiteral(KALDER_PROGRAM_DIR)));
    EXPECT_EQ(resourceText(5542), QStringLiteral("Cancel"));
    EXPECT_FALSE(resourcePicture(1640).isNull());
}
