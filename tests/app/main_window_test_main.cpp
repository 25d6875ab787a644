// GoogleTest main for the main-window tests: one QApplication on the offscreen platform (unless
// the caller chose a platform), the resource library from the program folder.
#include "resources/resource_library.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kalder::loadResourceLibrary(QStringLiteral(KALDER_PROGRAM_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
