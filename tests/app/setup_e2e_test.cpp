// Remote setup against the recorder simulator: the RSetup button fetches the record, the setup
// window changes a channel title and an account's rights, OK sends the record back, and the
// recorder's DB_CHANGE and RIGHT_CHANGE bring the changes back to the live view.
#include "setup_e2e_fixture.h"
#include "session/recorder_session.h"
#include "setup/pages/account_rights_page_widget.h"
#include "setup/pages/basic_page_widget.h"
#include "setup/pages/camera_name_page_widget.h"
#include "setup/pages/channel_switch_page_widget.h"
#include "setup/pages/mail_page_widget.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "sim/sim_process.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalder {
namespace {

constexpr int kRemoteSearch = 361;

TEST_F(SetupE2E, TitleAndRightsChangedInTheSetupWindowComeBackToTheLiveView) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    // A second press while the window is open sends nothing and opens nothing.
    QTest::mouseClick(window->button(kRemoteSetup), Qt::LeftButton);
    EXPECT_TRUE(window->session()->setup().busy());
    // Nor does the search window open while the record is out.
    QTest::mouseClick(window->button(kRemoteSearch), Qt::LeftButton);
    EXPECT_EQ(window->searchWindow(), nullptr);

    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Display, "Camera Name"));
    auto* names = dynamic_cast<CameraNamePageWidget*>(setup->currentPage());
    ASSERT_NE(names, nullptr);
    QLineEdit* title = names->titleEdit(1);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "CH2");
    title->selectAll();
    QTest::keyClicks(title, "Loading bay");

    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::System, "Client Account"));
    auto* accounts = dynamic_cast<AccountRightsPageWidget*>(setup->currentPage());
    ASSERT_NE(accounts, nullptr);
    accounts->selectAccount(1);
    ASSERT_FALSE(accounts->box(2)->isChecked()); // USER lacks remote setup
    accounts->box(2)->click();
    if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
        setup->grab().save(QString::fromLocal8Bit(dir) + "/setup-e2e-account.png");

    setup->findChild<QPushButton*>("okButton")->click();
    WAIT_UNTIL(window->notificationBox() != nullptr, 10000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{10, 0}));
    WAIT_UNTIL(window->session()->status().channelTitles()[1] == "Loading bay", 10000);
    WAIT_UNTIL(window->session()->status().rightsTable().granted(UserRight::RemoteSetup, 1), 10000);
    EXPECT_FALSE(window->session()->setup().busy());
    EXPECT_EQ(window->setupWindow(), nullptr);
}

TEST_F(SetupE2E, CancelSendsNothingAndTheNextPressFetchesAgain) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Display, "Camera Name"));
    auto* names = dynamic_cast<CameraNamePageWidget*>(setup->currentPage());
    ASSERT_NE(names, nullptr);
    names->titleEdit(0)->selectAll();
    QTest::keyClicks(names->titleEdit(0), "Not saved");
    setup->findChild<QPushButton*>("cancelButton")->click();
    WAIT_UNTIL(window->setupWindow() == nullptr, 5000);
    EXPECT_FALSE(window->session()->setup().busy());

    // The next window shows the recorder's record, not the cancelled copy.
    setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Display, "Camera Name"));
    names = dynamic_cast<CameraNamePageWidget*>(setup->currentPage());
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->titleEdit(0)->text(), "CH1");

    // The factory reset closes the open window without an update.
    window->session()->setup().requestFactoryReset();
    WAIT_UNTIL(window->setupWindow() == nullptr, 5000);
    EXPECT_FALSE(window->session()->setup().busy());
    EXPECT_EQ(window->session()->status().channelTitles()[0], "CH1");
}

// The recorder refuses the update: its box offers to send again, and OK sends the same record.
TEST_F(SetupE2E, RefusedUpdateIsSentAgainFromTheNotificationBox) {
    ASSERT_EQ(sim.admin("config-nack 81"), "ok");
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Display, "Camera Name"));
    auto* names = dynamic_cast<CameraNamePageWidget*>(setup->currentPage());
    ASSERT_NE(names, nullptr);
    names->titleEdit(3)->selectAll();
    QTest::keyClicks(names->titleEdit(3), "Yard");
    setup->findChild<QPushButton*>("okButton")->click();
    WAIT_UNTIL(window->notificationBox() != nullptr, 10000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{7, 1}));
    EXPECT_EQ(window->session()->status().channelTitles()[3], "CH4");

    ASSERT_EQ(sim.admin("config-nack 0"), "ok");
    window->notificationBox()->accept();
    WAIT_UNTIL(window->notificationBox() != nullptr &&
                   window->notificationBox()->entry().notification == (Notification{10, 0}),
               10000);
    WAIT_UNTIL(window->session()->status().channelTitles()[3] == "Yard", 10000);
}

// The recorder withdraws the remote-setup right while the window is open: it closes without an
// update, and the button then tells the operator the right is missing.
TEST_F(SetupE2E, LosingTheSetupRightClosesTheWindow) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_EQ(sim.admin("right 0 setup 0"), "ok");
    WAIT_UNTIL(window->setupWindow() == nullptr, 10000);
    EXPECT_FALSE(window->session()->setup().busy());
    QTest::mouseClick(window->button(kRemoteSetup), Qt::LeftButton);
    WAIT_UNTIL(window->notificationBox() != nullptr, 5000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{15, 0}));
    EXPECT_EQ(window->setupWindow(), nullptr);
}

// The covert flag and a new account made on the pages reach the recorder, which shows them in
// the record it sends next.
TEST_F(SetupE2E, CovertFlagAndNewAccountReachTheRecorder) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Display, "Camera Covert"));
    auto* covert = dynamic_cast<ChannelSwitchPageWidget*>(setup->currentPage());
    ASSERT_NE(covert, nullptr);
    ASSERT_NE(covert->panel()->button(2, 0), nullptr);
    QTest::mouseClick(covert->panel()->button(2, 0), Qt::LeftButton); // CH3 On

    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::System, "Client Account"));
    auto* accounts = dynamic_cast<AccountRightsPageWidget*>(setup->currentPage());
    ASSERT_NE(accounts, nullptr);
    accounts->selectAccount(3);
    accounts->runNameAction(NameAction::Change);
    accounts->nameEdit()->clear();
    QTest::keyClicks(accounts->nameEdit(), "night");
    QTest::keyClicks(accounts->passwordEdit(), "8642");
    QTest::keyClicks(accounts->confirmEdit(), "8642");
    QTest::mouseClick(accounts->storeButton(), Qt::LeftButton);
    EXPECT_EQ(accounts->nameButton()->text(), "NIGHT");
    if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
        setup->grab().save(QString::fromLocal8Bit(dir) + "/setup-e2e-new-account.png");
    setup->findChild<QPushButton*>("okButton")->click();
    WAIT_UNTIL(window->notificationBox() != nullptr, 10000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{10, 0}));
    window->notificationBox()->accept();
    WAIT_UNTIL(!window->session()->setup().busy(), 10000);

    setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->record().value(configField("covert"), 2), 1u);
    EXPECT_EQ(setup->record().text(configField("account_name"), 3), "NIGHT");
    EXPECT_EQ(setup->record().text(configField("account_password"), 3), "8642");
    setup->findChild<QPushButton*>("cancelButton")->click();
}

// Send Test Mail goes to the recorder at once with the typed texts; Initialize asks first,
// then resets the recorder and closes the window without an update.
TEST_F(SetupE2E, TestMailAndInitializeFromThePages) {
    ASSERT_EQ(sim.admin("device-log-clear"), "ok");
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Event, "E-mail"));
    auto* mail = dynamic_cast<MailPageWidget*>(setup->currentPage());
    ASSERT_NE(mail, nullptr);
    mail->textEdit(0)->selectAll();
    QTest::keyClicks(mail->textEdit(0), "mail.example.org");
    QTest::mouseClick(mail->testMailButton(), Qt::LeftButton);
    WAIT_UNTIL(sim.admin("device-log").find("test-mail 516") != std::string::npos, 10000);
    // The recorder's answer shows on the page that asked.
    WAIT_UNTIL(mail->statusLabel()->text().startsWith("The recorder sent the test mail"), 10000);

    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::System, "Basic"));
    auto* basic = dynamic_cast<BasicPageWidget*>(setup->currentPage());
    ASSERT_NE(basic, nullptr);
    QTest::mouseClick(basic->initializeButton(), Qt::LeftButton);
    WAIT_UNTIL(window->notificationBox() != nullptr, 5000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{16, 0}));
    EXPECT_EQ(sim.admin("device-log").find("db-init"), std::string::npos);
    window->notificationBox()->accept();
    WAIT_UNTIL(sim.admin("device-log").find("db-init") != std::string::npos, 10000);
    WAIT_UNTIL(window->setupWindow() == nullptr, 10000);
    EXPECT_FALSE(window->session()->setup().busy());
}

// A test mail the recorder refuses: the page says so as well as the notification box.
TEST_F(SetupE2E, ARefusedTestMailSaysSoOnThePage) {
    ASSERT_EQ(sim.admin("test-mail-nack 1"), "ok");
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_NO_FATAL_FAILURE(openPage(*setup, SetupWindow::Tab::Event, "E-mail"));
    auto* mail = dynamic_cast<MailPageWidget*>(setup->currentPage());
    ASSERT_NE(mail, nullptr);
    QTest::mouseClick(mail->testMailButton(), Qt::LeftButton);
    WAIT_UNTIL(mail->statusLabel()->text().startsWith("The recorder could not send"), 10000);
    WAIT_UNTIL(window->notificationBox() != nullptr, 5000);
    EXPECT_EQ(window->notificationBox()->entry().notification, (Notification{6, 0}));
    ASSERT_EQ(sim.admin("test-mail-nack 0"), "ok");
}

} // namespace
} // namespace kalder
