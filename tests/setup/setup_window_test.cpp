// The setup window on the offscreen platform: tabs, menus, the page frame, choosers and the
// ways it ends.
#include "setup/pages/account_rights_page_widget.h"
#include "setup/pages/camera_name_page_widget.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "tests/support/accessible_name.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace kalder {
namespace {

ConfigRecord sampleRecord() {
    std::vector<std::byte> bytes(8176, std::byte{0});
    bytes[0] = std::byte{4};
    bytes[1] = std::byte{8};
    ConfigRecord r = ConfigRecord::fromRecordBytes(bytes);
    for (unsigned ch = 0; ch < 16; ++ch)
        r.setText(configField("camera_title"), ch, "CH" + std::to_string(ch + 1),
                  TextFill::ClearField);
    r.setText(configField("account_name"), 0, "ADMIN", TextFill::ClearField);
    r.setText(configField("account_name"), 1, "USER", TextFill::ClearField);
    for (std::size_t k = 0; k < 8; ++k)
        r.setRight(0, k, true);
    return r;
}

QPushButton* button(QWidget& w, const char* name) {
    auto* b = w.findChild<QPushButton*>(QLatin1String(name));
    EXPECT_NE(b, nullptr) << name;
    return b;
}

class SetupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_record = sampleRecord();
        m_context.version = m_record.version();
        m_context.channelNum = 8;
        m_window = std::make_unique<SetupWindow>(m_record, m_context);
        m_window->show();
    }
    void openPage(SetupWindow::Tab tab, const QString& caption) {
        m_window->showTab(tab);
        const int item = m_window->menuItems(tab).indexOf(caption);
        ASSERT_GE(item, 0);
        m_window->openPage(item);
    }
    // Saves what the operator sees when KALDER_SCREENSHOT_DIR names a folder.
    void screenshot(const char* name) {
        if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
            m_window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }

    ConfigRecord m_record;
    SetupContext m_context;
    std::unique_ptr<SetupWindow> m_window;
};

TEST_F(SetupWindowTest, FrameHasFourTabsAndOnePageAtATimeInThePageFrame) {
    EXPECT_EQ(m_window->size(), QSize(618, 546));
    EXPECT_EQ(m_window->currentTab(), SetupWindow::Tab::Display);
    for (const char* name : {"tabDisplay", "tabRec", "tabSystem", "tabEvent", "okButton",
                             "cancelButton", "closeButton"})
        EXPECT_FALSE(test::accessibleNameOf(button(*m_window, name)).isEmpty()) << name;
    // Smart shows above record version 4.6 only.
    EXPECT_TRUE(m_window->menuItems(SetupWindow::Tab::System).contains("Smart"));
    EXPECT_EQ(m_window->menuItems(SetupWindow::Tab::Rec).size(), 8);

    openPage(SetupWindow::Tab::Display, "Camera Name");
    QPointer<QWidget> first = m_window->currentPage();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->geometry(), SetupWindow::pageRect());
    openPage(SetupWindow::Tab::System, "Client Account");
    EXPECT_FALSE(first); // the other page is gone
    EXPECT_EQ(m_window->findChildren<QWidget*>("cameraNamePage").size(), 0);
    EXPECT_EQ(m_window->findChildren<QWidget*>("accountRightsPage").size(), 1);
    EXPECT_TRUE(m_window->findChild<QWidget*>("menuSystem")->isVisible());
    EXPECT_FALSE(m_window->findChild<QWidget*>("menuDisplay")->isVisible());

    // Clicked items: only the open page's item stays pressed when its tab is left and shown again.
    auto item = [&](const char* menu, int i) {
        return m_window->findChild<QWidget*>(menu)->findChild<QPushButton*>(
            QStringLiteral("item%1").arg(i));
    };
    m_window->showTab(SetupWindow::Tab::Display);
    item("menuDisplay", 0)->click();
    m_window->showTab(SetupWindow::Tab::System);
    item("menuSystem", 1)->click();
    m_window->showTab(SetupWindow::Tab::Display);
    for (QPushButton* b :
         m_window->findChild<QWidget*>("menuDisplay")->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    EXPECT_TRUE(item("menuSystem", 1)->isChecked());
}

TEST_F(SetupWindowTest, CameraNameEditsGoIntoTheRecordAtOnce) {
    openPage(SetupWindow::Tab::Display, "Camera Name");
    auto* page = dynamic_cast<CameraNamePageWidget*>(m_window->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->titleEdit(8), nullptr); // eight channels: eight rows
    QLineEdit* edit = page->titleEdit(2);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "CH3");
    edit->selectAll();
    QTest::keyClicks(edit, "Gate");
    EXPECT_EQ(m_record.text(configField("camera_title"), 2), "Gate");
    screenshot("setup-camera-name");
}

TEST_F(SetupWindowTest, AccountPageWritesPermissionsThroughTheListChooser) {
    openPage(SetupWindow::Tab::System, "Client Account");
    auto* page = dynamic_cast<AccountRightsPageWidget*>(m_window->currentPage());
    ASSERT_NE(page, nullptr);
    QTest::mouseClick(page->accountButton(), Qt::LeftButton);
    auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->entryCount(), 6); // accounts 6 and 7 are never offered
    screenshot("setup-account-chooser");
    QTest::mouseClick(chooser->findChild<QPushButton*>("choice1"), Qt::LeftButton);
    EXPECT_EQ(page->account(), 1u);
    EXPECT_EQ(page->accountButton()->text(), "MANAGER"); // the account's label
    EXPECT_EQ(page->nameButton()->text(), "USER");

    // Box 2 is the remote-setup permission.
    page->box(2)->click();
    EXPECT_TRUE(m_record.right(1, kRemoteSetupPermission));
    // The first account keeps it: the box springs back and nothing is written.
    page->selectAccount(0);
    page->box(2)->click();
    EXPECT_TRUE(page->box(2)->isChecked());
    EXPECT_TRUE(m_record.right(0, kRemoteSetupPermission));
    screenshot("setup-account");
}

TEST_F(SetupWindowTest, ChoosersAreOneAtATimeAndKeepTheirLimits) {
    openPage(SetupWindow::Tab::Display, "Camera Name");
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << QString::number(i);
    int chosen = -1;
    m_window->openListChooser(nullptr, many, 200, true, [&](int i) { chosen = i; });
    QPointer<ListChooser> list = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entryCount(), ListChooser::kMaxEntries);
    EXPECT_EQ(list->height(), 8 * ListChooser::kRowHeight + 2); // four columns

    int number = -1;
    m_window->openNumberChooser(nullptr, 9, 0, 10, [&](int v) { number = v; });
    // The list chooser is gone (or at least hidden) once the number chooser opens.
    EXPECT_TRUE(list.isNull() || !list->isVisible());
    auto* numbers = dynamic_cast<NumberChooser*>(m_window->chooser());
    ASSERT_NE(numbers, nullptr);
    QTest::mouseClick(numbers->findChild<QPushButton*>("plus"), Qt::LeftButton);
    QTest::mouseClick(numbers->findChild<QPushButton*>("plus"), Qt::LeftButton);
    EXPECT_EQ(numbers->value(), 10);
    QTest::mouseClick(numbers->findChild<QPushButton*>("chooserOk"), Qt::LeftButton);
    EXPECT_EQ(number, 10);
    EXPECT_EQ(chosen, -1);

    // A chooser whose page has gone delivers nothing.
    int late = -1;
    m_window->openTimeChooser(nullptr, 12, 30, 0, [&](int h, int, int) { late = h; });
    QPointer<QWidget> time = m_window->chooser();
    m_window->openPage(0);
    EXPECT_FALSE(time);
    EXPECT_EQ(late, -1);
}

// Escape and a click outside close a chooser and report nothing; the click does not press the
// control under it. OK with a chooser open closes the chooser first, its pending value unapplied.
TEST_F(SetupWindowTest, ChoosersCloseOnEscapeAndOnAClickOutsideUnchanged) {
    openPage(SetupWindow::Tab::System, "ETC.");
    QPushButton* row = button(*m_window, "etcRow1");
    ASSERT_NE(row, nullptr);
    const unsigned before = m_record.value(configField("etc_choice_1"));

    QTest::mouseClick(row, Qt::LeftButton);
    QPointer<QWidget> list = m_window->chooser();
    ASSERT_TRUE(list && list->isVisible());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get(),
                    Qt::Key_Escape);
    EXPECT_TRUE(list.isNull() || !list->isVisible());
    EXPECT_EQ(m_record.value(configField("etc_choice_1")), before);
    EXPECT_TRUE(m_window->isVisible()); // Escape ended neither the chooser's page nor the window

    // A click on the other row only closes the chooser: no second chooser opens.
    QTest::mouseClick(row, Qt::LeftButton);
    list = m_window->chooser();
    ASSERT_TRUE(list && list->isVisible());
    QTest::mouseClick(button(*m_window, "etcRow2"), Qt::LeftButton);
    EXPECT_TRUE(list.isNull() || !list->isVisible());
    EXPECT_TRUE(m_window->chooser() == nullptr || !m_window->chooser()->isVisible());
    EXPECT_EQ(m_record.value(configField("etc_choice_1")), before);

    // A number moved but not taken: Escape, a click outside and OK all leave it unapplied.
    int taken = -1;
    m_window->openNumberChooser(row, 20, 10, 240, [&](int v) { taken = v; });
    auto* numbers = dynamic_cast<NumberChooser*>(m_window->chooser());
    ASSERT_NE(numbers, nullptr);
    numbers->step(5);
    QTest::keyClick(numbers, Qt::Key_Escape);
    EXPECT_EQ(taken, -1);
    m_window->openTimeChooser(row, 1, 2, 3, [&](int h, int, int) { taken = h; });
    QPointer<QWidget> time = m_window->chooser();
    QTest::mouseClick(button(*m_window, "okButton"), Qt::LeftButton);
    EXPECT_EQ(taken, -1);
    EXPECT_TRUE(time.isNull() || !time->isVisible());
    EXPECT_TRUE(m_window->isVisible()); // the click closed the chooser, not the window
    m_window->openNumberChooser(row, 20, 10, 240, [&](int v) { taken = v; });
    QPointer<QWidget> number = m_window->chooser();
    button(*m_window, "okButton")->click(); // OK reached with the keyboard
    EXPECT_EQ(taken, -1);
    EXPECT_TRUE(number.isNull() || !number->isVisible());
    EXPECT_TRUE(m_window->isVisible());
    // Enter in the number chooser takes its value.
    m_window->openNumberChooser(row, 20, 10, 240, [&](int v) { taken = v; });
    numbers = dynamic_cast<NumberChooser*>(m_window->chooser());
    ASSERT_NE(numbers, nullptr);
    numbers->step(1);
    QTest::keyClick(numbers, Qt::Key_Return);
    EXPECT_EQ(taken, 21);
    // With no chooser open OK ends the window.
    button(*m_window, "okButton")->click();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_window->result(), QDialog::Accepted);
}

TEST_F(SetupWindowTest, OnlyTheButtonsEndTheWindow) {
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    EXPECT_FALSE(m_window->close()); // the close box (Alt+F4)
    EXPECT_TRUE(m_window->isVisible());

    openPage(SetupWindow::Tab::Display, "Camera Name");
    QTest::mouseClick(button(*m_window, "okButton"), Qt::LeftButton);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_window->result(), QDialog::Accepted);
    EXPECT_EQ(m_window->currentPage(), nullptr); // pages closed before the result

    SetupWindow other(m_record, m_context);
    other.show();
    other.requestClose();
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_FALSE(other.isVisible());
}

} // namespace
} // namespace kalder
