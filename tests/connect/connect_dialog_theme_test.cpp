// The connect dialog and its history window in the skin's look (resource library loaded): the
// buttons are skinned, still found by their captions, and the keyboard works as before.
#include "connect/connect_dialog.h"
#include "connect/connect_history_window.h"
#include "files/connect_history.h"

#include "resources/resource_library.h"
#include "tests/support/accessible_name.h"
#include "ui/skin_button.h"
#include "ui/theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

class ConnectThemeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
        m_historyFile =
            std::filesystem::path(m_dir.path().toStdString()) / "Log" / "ConnectInfo100.log";
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    std::filesystem::path m_historyFile;
};

// Every push button of `window` is skinned and named by its caption.
void expectSkinnedAndNamed(QWidget& window) {
    const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
    ASSERT_FALSE(buttons.isEmpty());
    for (QPushButton* b : buttons) {
        EXPECT_NE(qobject_cast<SkinButton*>(b), nullptr) << b->objectName().toStdString();
        EXPECT_FALSE(b->text().isEmpty()) << b->objectName().toStdString();
        // A caption of one sign (the history button's ">") is named for what it does.
        if (b->text().size() == 1)
            EXPECT_GT(test::accessibleNameOf(b).size(), 1) << b->objectName().toStdString();
        else
            EXPECT_EQ(test::accessibleNameOf(b), b->text()) << b->objectName().toStdString();
    }
}

TEST_F(ConnectThemeTest, ConnectDialogIsSkinnedAndEnterStillConnects) {
    ConnectDialog dialog(*m_store, m_historyFile, 255);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), kalderPalette().color(QPalette::Window));
    expectSkinnedAndNamed(dialog);

    auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("address"));
    ASSERT_NE(address, nullptr);
    dialog.show();
    address->setFocus();
    QTest::keyClicks(address, QStringLiteral("10.1.2.3"));
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << "OK is still the default button";
    EXPECT_EQ(dialog.request().typedAddress, "10.1.2.3");
}

TEST_F(ConnectThemeTest, RefusalIsReadableOnTheDarkWindow) {
    ConnectDialog dialog(*m_store, m_historyFile, 255);
    test::findByAccessibleName<QPushButton>(dialog, QStringLiteral("Modify"))->click();
    dialog.findChild<QLineEdit*>(QStringLiteral("port"))->setText(QStringLiteral("0"));
    test::findByAccessibleName<QPushButton>(dialog, QStringLiteral("OK"))->click();
    auto* message = dialog.findChild<QLabel*>(QStringLiteral("message"));
    ASSERT_NE(message, nullptr);
    EXPECT_FALSE(message->isHidden());
    const int text = message->palette().color(QPalette::WindowText).lightness();
    const int window = dialog.palette().color(QPalette::Window).lightness();
    EXPECT_GT(text - window, 100) << "the message must stand out from the frame";
}

TEST_F(ConnectThemeTest, HistoryWindowIsSkinnedAndItsButtonsFoundByName) {
    ConnectHistory(m_historyFile).record("10.0.0.5", 2100, "Front office", 100);
    ConnectHistoryWindow window(m_historyFile, 255);
    expectSkinnedAndNamed(window);
    auto* ok = test::findByAccessibleName<QPushButton>(window, QStringLiteral("OK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isEnabled()) << "nothing is selected yet";
}

} // namespace
} // namespace kalder
