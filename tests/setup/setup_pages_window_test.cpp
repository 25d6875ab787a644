// The display, event and system pages in the setup window on the offscreen platform: every
// page is reachable and named for assistive technology, and the pages with the most rules are
// wired to them.
#include "setup/pages/account_rights_page_widget.h"
#include "setup/pages/basic_page_widget.h"
#include "setup/pages/channel_switch_page_widget.h"
#include "setup/pages/profile_page_widget.h"
#include "setup/pages/event_action_page_widget.h"
#include "setup/pages/mail_page_widget.h"
#include "setup/pages/osd_page_widget.h"
#include "setup/pages/spot_setting_page_widget.h"
#include "setup/pages/system_value_page_widgets.h"
#include "resources/resource_library.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "tests/setup/page_test_support.h"
#include "tests/support/accessible_name.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalder {
namespace {

class SetupPagesTest : public ::testing::Test {
protected:
    void open(std::uint8_t major, std::uint8_t minor, unsigned channels, std::size_t user = 0) {
        m_record = test::patternRecord(major, minor);
        const char* names[] = {"ADMIN", "MANAGER", "GUARD", "NIGHT", "", "DAY", "SIX", "SEVEN"};
        for (std::size_t a = 0; a < 8; ++a) {
            m_record.setText(configField("account_name"), a, names[a], TextFill::ClearField);
            m_record.setText(configField("account_password"), a, std::to_string(1111 * (a + 1)),
                             TextFill::ClearField);
        }
        m_context.version = m_record.version();
        m_context.channelNum = channels;
        m_context.userIndex = user;
        m_context.featureBit0 = m_context.featureBit1 = true;
        m_window = std::make_unique<SetupWindow>(m_record, m_context);
        SetupServices services;
        services.connected = [this] { return m_connected; };
        services.sendTestMail = [this](std::span<const std::byte> block) {
            m_sent.assign(block.begin(), block.end());
        };
        m_window->setServices(services);
        m_window->show();
    }
    template <typename Page> Page* openPage(SetupWindow::Tab tab, const QString& caption) {
        m_window->showTab(tab);
        const int item = m_window->menuItems(tab).indexOf(caption);
        EXPECT_GE(item, 0) << caption.toStdString();
        m_window->openPage(item);
        return dynamic_cast<Page*>(m_window->currentPage());
    }
    void chooseEntry(int entry) {
        auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
        ASSERT_NE(chooser, nullptr);
        auto* b = chooser->findChild<QPushButton*>(QStringLiteral("choice%1").arg(entry));
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void screenshot(const char* name) {
        if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
            m_window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }

    ConfigRecord m_record;
    SetupContext m_context;
    std::unique_ptr<SetupWindow> m_window;
    bool m_connected = true;
    std::vector<std::byte> m_sent;
};

TEST_F(SetupPagesTest, EveryPageOfTheseTabsOpensAndNamesItsControls) {
    open(5, 0, 16);
    const struct {
        SetupWindow::Tab tab;
        const char* name;
    } tabs[] = {{SetupWindow::Tab::Display, "Display"},
                {SetupWindow::Tab::System, "System"},
                {SetupWindow::Tab::Event, "Event"}};
    const QStringList elsewhere = {"PTZ Setup", "PTZ Controller", "DST Setup", "NTP Setup"};
    for (const auto& t : tabs) {
        const QStringList items = m_window->menuItems(t.tab);
        for (int i = 0; i < items.size(); ++i) {
            if (elsewhere.contains(items[i]))
                continue;
            SCOPED_TRACE(items[i].toStdString());
            m_window->showTab(t.tab);
            m_window->openPage(i);
            QWidget* page = m_window->currentPage();
            ASSERT_NE(page, nullptr);
            EXPECT_NE(page->objectName(), "pendingPage");
            for (QWidget* w : page->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QAbstractButton*>(w) ||
                                     qobject_cast<QLineEdit*>(w) || qobject_cast<QSlider*>(w);
                if (control && w->isVisibleTo(page)) {
                    EXPECT_FALSE(test::accessibleNameOf(w).isEmpty())
                        << w->metaObject()->className() << " " << w->objectName().toStdString();
                }
            }
            // Nothing of the page reaches beyond the page frame.
            EXPECT_LE(page->minimumSizeHint().height(), SetupWindow::pageRect().height());
            screenshot(("page-" + items[i].toStdString()).c_str());
        }
    }
}

TEST_F(SetupPagesTest, SpotModeChoiceGroupsTheDwellSliders) {
    open(4, 8, 16);
    auto* page = openPage<SpotSettingPageWidget>(SetupWindow::Tab::Display, "Spot Setting");
    ASSERT_NE(page, nullptr);
    auto* quad = page->content()->findChild<QPushButton*>("mode1");
    ASSERT_NE(quad, nullptr);
    QTest::mouseClick(quad, Qt::LeftButton);
    EXPECT_EQ(m_record.value(configField("spot_mode")), 1u);
    EXPECT_FALSE(page->viewButton(SpotSettingPageWidget::View::Enable)->isVisibleTo(page));

    page->showView(SpotSettingPageWidget::View::Dwell);
    ASSERT_EQ(page->view(), SpotSettingPageWidget::View::Dwell);
    QWidget* dwell = page->content();
    EXPECT_EQ(dwell->findChild<QSlider*>("slider2"), nullptr); // one slider per group of four
    QSlider* second = dwell->findChild<QSlider*>("slider5");
    ASSERT_NE(second, nullptr);
    second->setValue(9);
    for (unsigned ch = 4; ch < 8; ++ch)
        EXPECT_EQ(m_record.value(configField("spot_dwell"), ch), 45u) << ch;
    EXPECT_EQ(dwell->findChild<QLabel*>("value5")->text(), "45 sec");
    screenshot("spot-dwell");

    // The mode view shows, beside each mode, what it does with the stored values: the quad
    // sequence's dwell range over its groups, the event modes' channel count.
    page->showView(SpotSettingPageWidget::View::Mode);
    auto* quadValue = page->content()->findChild<QPushButton*>("modeExtra1");
    ASSERT_NE(quadValue, nullptr);
    unsigned low = 240, high = 0;
    for (unsigned ch : {0u, 4u, 8u, 12u}) {
        low = std::min(low, m_record.value(configField("spot_dwell"), ch));
        high = std::max(high, m_record.value(configField("spot_dwell"), ch));
    }
    ASSERT_LT(low, high);
    EXPECT_EQ(quadValue->text(), QStringLiteral("Dwell %1-%2 sec").arg(low).arg(high));
    EXPECT_EQ(page->content()->findChild<QPushButton*>("modeExtra3")->text(),
              "All channels at once");
    for (unsigned ch = 0; ch < 16; ++ch)
        m_record.setValue(configField("spot_enable"), ch, ch < 3 ? 1 : 0);
    page->showView(SpotSettingPageWidget::View::Mode);
    EXPECT_EQ(page->content()->findChild<QPushButton*>("modeExtra4")->text(),
              "3 of 16 channels on");

    // An event-driven mode: the enable view replaces the dwell view.
    page->showView(SpotSettingPageWidget::View::Mode);
    QTest::mouseClick(page->content()->findChild<QPushButton*>("mode5"), Qt::LeftButton);
    EXPECT_FALSE(page->viewButton(SpotSettingPageWidget::View::Dwell)->isVisibleTo(page));
    EXPECT_TRUE(page->viewButton(SpotSettingPageWidget::View::Enable)->isVisibleTo(page));
}

TEST_F(SetupPagesTest, TestMailSendsTheTypedBlockOnlyWhenConnected) {
    open(5, 0, 4);
    auto* page = openPage<MailPageWidget>(SetupWindow::Tab::Event, "E-mail");
    ASSERT_NE(page, nullptr);
    page->textEdit(2)->selectAll();
    QTest::keyClicks(page->textEdit(2), "night@example.org");
    QTest::mouseClick(page->testMailButton(), Qt::LeftButton);
    ASSERT_EQ(m_sent.size(), kMailBlockSize);
    EXPECT_TRUE(std::equal(m_sent.begin(), m_sent.end(), m_record.bytes().begin() + 3512));
    EXPECT_EQ(m_record.text(configField("mail_text_3")), "night@example.org");

    m_sent.clear();
    m_connected = false;
    QTest::mouseClick(page->testMailButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sent.empty());

    // The time page follows the mail choice; Prev returns.
    QTest::mouseClick(page->choiceButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(1));
    QTest::mouseClick(page->timeButton(), Qt::LeftButton);
    ASSERT_NE(page->timePage(), nullptr);
    EXPECT_EQ(page->timePage()->findChildren<QPushButton*>().size(), 2); // one time and Prev
    screenshot("mail-time");
}

// Every press of Send Test Mail ends visibly on the page: not sent and why, asked of the
// recorder, and the recorder's answer; a server address with a part over 255 is refused.
TEST_F(SetupPagesTest, TestMailAndServerAddressAnswerOnThePage) {
    open(5, 0, 4);
    auto* page = openPage<MailPageWidget>(SetupWindow::Tab::Event, "E-mail");
    ASSERT_NE(page, nullptr);
    QLabel* status = page->statusLabel();
    ASSERT_NE(status, nullptr);
    page->textEdit(0)->selectAll();
    QTest::keyClick(page->textEdit(0), Qt::Key_Delete);
    QTest::mouseClick(page->testMailButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(status->text().contains("SMTP server")) << status->text().toStdString();

    QTest::keyClicks(page->textEdit(0), "10.0.0.300");
    EXPECT_TRUE(status->text().contains("255")) << status->text().toStdString();
    EXPECT_FALSE(page->textEdit(0)->styleSheet().isEmpty());
    EXPECT_EQ(m_record.text(configField("mail_text_1")), "10.0.0.30"); // the last whole one
    page->textEdit(0)->selectAll();
    QTest::keyClicks(page->textEdit(0), "mail.example.org");
    EXPECT_EQ(m_record.text(configField("mail_text_1")), "mail.example.org");
    page->textEdit(2)->selectAll();
    QTest::keyClicks(page->textEdit(2), "night@example.org");

    m_connected = false;
    QTest::mouseClick(page->testMailButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(status->text().contains("not sent")) << status->text().toStdString();
    m_connected = true;
    QTest::mouseClick(page->testMailButton(), Qt::LeftButton);
    EXPECT_EQ(m_sent.size(), kMailBlockSize);
    EXPECT_TRUE(status->text().contains("night@example.org")) << status->text().toStdString();
    m_window->testMailAnswered(false, "the mail server did not answer");
    EXPECT_TRUE(status->text().contains("the mail server did not answer"));
    m_window->testMailAnswered(true, {});
    EXPECT_TRUE(status->text().contains("sent the test mail")) << status->text().toStdString();
}

// A duplicate name or password is refused with its reason on the page, nothing stored.
TEST_F(SetupPagesTest, AccountStoreSaysWhatItDidOrWhyNot) {
    open(5, 0, 8, 0);
    auto* page = openPage<AccountRightsPageWidget>(SetupWindow::Tab::System, "Client Account");
    ASSERT_NE(page, nullptr);
    auto* status = page->findChild<QLabel*>("accountStatus");
    ASSERT_NE(status, nullptr);
    QTest::mouseClick(page->accountButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(3)); // account 3 (NIGHT)
    QTest::mouseClick(page->nameButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(0)); // Change
    page->nameEdit()->clear();
    QTest::keyClicks(page->nameEdit(), "yard");
    QTest::keyClicks(page->passwordEdit(), "2222"); // account 1's password
    QTest::keyClicks(page->confirmEdit(), "2222");
    ASSERT_TRUE(page->storeButton()->isEnabled());
    QTest::mouseClick(page->storeButton(), Qt::LeftButton);
    EXPECT_EQ(m_record.text(configField("account_name"), 3), "NIGHT");
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().contains("password")) << status->text().toStdString();
    EXPECT_TRUE(status->text().contains("Nothing was stored")) << status->text().toStdString();
    page->passwordEdit()->clear();
    page->confirmEdit()->clear();
    QTest::keyClicks(page->passwordEdit(), "4321");
    QTest::keyClicks(page->confirmEdit(), "4321");
    QTest::mouseClick(page->storeButton(), Qt::LeftButton);
    EXPECT_EQ(m_record.text(configField("account_name"), 3), "YARD");
    EXPECT_TRUE(status->text().contains("YARD")) << status->text().toStdString();
}

TEST_F(SetupPagesTest, EventActionRowsDurationAndChannelPage) {
    open(4, 6, 8);
    auto* b = openPage<EventActionPageWidget>(SetupWindow::Tab::Event, "Motion Event");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->row(4).on, nullptr); // 4.6: no fifth row
    QTest::mouseClick(b->presetButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(3));
    EXPECT_EQ(m_record.value(configField("notify_b_time")), 60u);
    EXPECT_EQ(b->durationButton()->text(), "60 sec");
    QTest::mouseClick(b->noDurationButton(), Qt::LeftButton);
    EXPECT_EQ(m_record.value(configField("notify_b_time")), 0u);
    EXPECT_EQ(b->durationButton()->text(), "");
    QTest::mouseClick(b->row(2).off, Qt::LeftButton);
    EXPECT_EQ(m_record.value(configField("notify_b"), 2), 0u);
    EXPECT_EQ(b->channelPageButton(), nullptr);

    open(5, 0, 8);
    auto* a = openPage<EventActionPageWidget>(SetupWindow::Tab::Event, "Sensor Event");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->row(4).on, nullptr);
    ASSERT_NE(a->channelPageButton(), nullptr);
    QTest::mouseClick(a->channelPageButton(), Qt::LeftButton);
    ChannelSwitchPageWidget* channels = a->channelPage();
    ASSERT_NE(channels, nullptr);
    QTest::mouseClick(channels->panel()->allCheckButton(), Qt::LeftButton);
    QTest::mouseClick(channels->panel()->button(7, 1), Qt::LeftButton); // Off on CH8
    for (unsigned ch = 0; ch < 16; ++ch)
        EXPECT_EQ(m_record.value(configField("notify_a_channel"), ch),
                  ch < 8 ? 0u
                         : test::patternRecord(5, 0).value(configField("notify_a_channel"), ch))
            << ch;
    screenshot("event-channels");
    QTest::mouseClick(channels->prevButton(), Qt::LeftButton);
    EXPECT_EQ(a->channelPage(), nullptr);
}

TEST_F(SetupPagesTest, AccountPageChangesNamesUnderTheExtendedRules) {
    open(5, 0, 8, 1); // logged in as account 1
    auto* page = openPage<AccountRightsPageWidget>(SetupWindow::Tab::System, "Client Account");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->account(), 1u);
    // Account 1 changes nothing of its own under the extended rules.
    page->box(0)->click();
    EXPECT_EQ(page->box(0)->isChecked(), m_record.right(1, 0));
    QTest::mouseClick(page->nameButton(), Qt::LeftButton);
    EXPECT_EQ(m_window->chooser(), nullptr);
    EXPECT_FALSE(page->viewButton(AccountView::ArchiveLog)->isEnabled());

    QTest::mouseClick(page->accountButton(), Qt::LeftButton);
    auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->entryCount(), 5);     // accounts 1 .. 5
    ASSERT_NO_FATAL_FAILURE(chooseEntry(3)); // account 4
    EXPECT_EQ(page->account(), 4u);
    EXPECT_EQ(page->nameButton()->text(), "USER3"); // no name: the label
    EXPECT_FALSE(page->nameEdit()->isEnabled());

    QTest::mouseClick(page->nameButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(0)); // Change
    ASSERT_TRUE(page->nameEdit()->isEnabled());
    page->nameEdit()->clear();
    QTest::keyClicks(page->nameEdit(), "guard");
    EXPECT_EQ(page->nameEdit()->text(), "GUARD");
    QTest::keyClicks(page->passwordEdit(), "7593");
    QTest::keyClicks(page->confirmEdit(), "7593");
    EXPECT_FALSE(page->storeButton()->isEnabled()); // a reserved password
    page->passwordEdit()->clear();
    page->confirmEdit()->clear();
    QTest::keyClicks(page->passwordEdit(), "4321");
    QTest::keyClicks(page->confirmEdit(), "4321");
    ASSERT_TRUE(page->storeButton()->isEnabled());
    QTest::mouseClick(page->storeButton(), Qt::LeftButton);
    EXPECT_EQ(m_window->focusWidget(), page->nameEdit()); // GUARD is account 2's name
    EXPECT_EQ(m_record.text(configField("account_name"), 4), "");
    page->nameEdit()->clear();
    QTest::keyClicks(page->nameEdit(), "yard");
    QTest::mouseClick(page->storeButton(), Qt::LeftButton);
    EXPECT_EQ(m_record.text(configField("account_name"), 4), "YARD");
    EXPECT_EQ(m_record.text(configField("account_password"), 4), "4321");
    EXPECT_EQ(page->nameButton()->text(), "YARD");
    EXPECT_FALSE(page->storeButton()->isEnabled());
    screenshot("account");

    page->showView(AccountView::AutoLogout);
    QTest::mouseClick(page->logoutButton(0), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(2));
    EXPECT_EQ(m_record.value(configField("account_logout_1"), 4), 2u);
    EXPECT_EQ(page->logoutButton(0)->text(), "30m");
}

TEST_F(SetupPagesTest, BasicRulesShowTheAccountViewAloneAndKeepAccountZero) {
    open(4, 7, 4, 0);
    auto* page = openPage<AccountRightsPageWidget>(SetupWindow::Tab::System, "Client Account");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->viewButton(AccountView::Account), nullptr);
    EXPECT_EQ(page->liveChannelButton(), nullptr);
    EXPECT_FALSE(page->archiveEdit()->isVisibleTo(page));
    QTest::mouseClick(page->nameButton(), Qt::LeftButton); // account 0's name stays
    EXPECT_EQ(m_window->chooser(), nullptr);
    page->box(2)->click(); // account 0's remote-setup box
    EXPECT_TRUE(page->box(2)->isChecked());
    EXPECT_TRUE(m_record.right(0, kRemoteSetupPermission) ||
                !test::patternRecord(4, 7).right(0, kRemoteSetupPermission));
    page->selectAccount(2);
    QTest::mouseClick(page->nameButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(1)); // Delete
    EXPECT_EQ(m_record.text(configField("account_name"), 2), "");
    EXPECT_EQ(page->nameButton()->text(), "");
}

TEST_F(SetupPagesTest, BasicPageLanguagesStandardAndDeinterlace) {
    m_context.tables.sysEtcInfo.assign(320, std::byte{0});
    m_context.tables.sysEtcInfo[0] = std::byte{1};  // English
    m_context.tables.sysEtcInfo[2] = std::byte{12}; // Portuguese, after a place without a language
    open(4, 8, 4);
    m_record.setValue(configField("video_standard"), 0, 0);
    auto* page = openPage<BasicPageWidget>(SetupWindow::Tab::System, "Basic");
    ASSERT_NE(page, nullptr);
    QTest::mouseClick(page->row(0).button, Qt::LeftButton);
    auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->entryCount(), 2);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(1));
    EXPECT_EQ(m_record.value(configField("language")), 2u);
    EXPECT_EQ(page->row(0).button->text(), "Portuguese");

    QTest::mouseClick(page->row(2).button, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(1)); // PAL
    EXPECT_EQ(page->row(2).button->text(), "PAL");
    EXPECT_EQ(m_record.value(configField("profile_e_rate"), 0), 7u);
    EXPECT_EQ(m_record.value(configField("profile_a_rate"), 3), 6u);

    QTest::mouseClick(page->deinterlaceButton(), Qt::LeftButton);
    ChannelSwitchPageWidget* sub = page->deinterlacePage();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->panel()->button(4, 0), nullptr); // four channels: four rows
    QTest::mouseClick(sub->panel()->button(3, 0), Qt::LeftButton);
    EXPECT_EQ(m_record.value(configField("deinterlace"), 3), 1u);
    screenshot("deinterlace");
}

// The Smart value reads in the unit the status view gives the disks' readings (text 6408), and
// the slider writes what it shows.
TEST_F(SetupPagesTest, SmartValueUsesTheDiskReadingUnit) {
    open(5, 0, 16);
    m_record.setValue(configField("smart_value"), 0, 7);
    auto* page = openPage<SmartPageWidget>(SetupWindow::Tab::System, "Smart");
    ASSERT_NE(page, nullptr);
    const QString library = resourceText(6408);
    const QString unit =
        library.isEmpty() || library == QLatin1String("C") ? QStringLiteral("\u00B0C") : library;
    EXPECT_EQ(page->valueLabel()->text(), "07 " + unit);
    page->slider()->setValue(45);
    EXPECT_EQ(m_record.value(configField("smart_value")), 45u);
    EXPECT_EQ(page->valueLabel()->text(), "45 " + unit);
    page->slider()->setValue(0);
    EXPECT_EQ(page->valueLabel()->text(), "Off");
}

TEST_F(SetupPagesTest, OsdRowsFollowTheRecordVersion) {
    open(4, 3, 4);
    auto* old = openPage<OsdPageWidget>(SetupWindow::Tab::Display, "OSD On/Off");
    ASSERT_NE(old, nullptr);
    EXPECT_TRUE(old->choiceRow(1).button->isVisibleTo(old));
    EXPECT_FALSE(old->choiceRow(2).button->isVisibleTo(old));
    open(4, 4, 4);
    auto* page = openPage<OsdPageWidget>(SetupWindow::Tab::Display, "OSD On/Off");
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->choiceRow(4).button->isVisibleTo(page));
    QTest::mouseClick(page->choiceRow(4).button, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(1));
    EXPECT_EQ(m_record.value(configField("osd_choice_5")), 1u);
    // Both rows checked: On in one row turns the other on too.
    page->flagBox(0)->setChecked(true);
    page->flagBox(1)->setChecked(true);
    QTest::mouseClick(page->flagRow(1).on, Qt::LeftButton);
    EXPECT_EQ(m_record.value(configField("osd_flag_1")), 1u);
    EXPECT_EQ(m_record.value(configField("osd_flag_2")), 1u);
    EXPECT_TRUE(page->flagRow(0).on->isChecked());
}

// Values read as what they are: a position, a level, the mail times' own row, the unit of a
// number being chosen; a channel row's box under its "Select" header.
TEST_F(SetupPagesTest, ValuesSayWhatTheyAre) {
    open(5, 0, 8);
    auto* osd = openPage<OsdPageWidget>(SetupWindow::Tab::Display, "OSD On/Off");
    ASSERT_NE(osd, nullptr);
    m_record.setValue(configField("osd_choice_2"), 0, 2);
    QTest::mouseClick(osd->choiceRow(1).button, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(chooseEntry(2));
    EXPECT_EQ(osd->choiceRow(1).button->text(), "Position 2");
    EXPECT_EQ(osd->flagBox(0)->text(), "Status display");
    EXPECT_EQ(osd->flagBox(1)->text(), "Camera title");

    auto* mail = openPage<MailPageWidget>(SetupWindow::Tab::Event, "E-mail");
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->timeButton()->text(), "Set...");
    EXPECT_EQ(test::accessibleNameOf(mail->timeButton()), "Mail times");

    m_record.setValue(configField("account_level"), 0, 1);
    auto* account = openPage<AccountRightsPageWidget>(SetupWindow::Tab::System, "Client Account");
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(account->levelButton()->text(), "Level 1 (may log in)");

    auto* cameras = openPage<ChannelSwitchPageWidget>(SetupWindow::Tab::Display, "Camera Covert");
    ASSERT_NE(cameras, nullptr);
    auto* header = cameras->findChild<QLabel*>("selectHeader");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text(), "Select");
    auto* box = cameras->findChild<QCheckBox*>("select3");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(test::accessibleNameOf(box), "Select CH03");
    EXPECT_LT(header->geometry().bottom(), box->geometry().top());
    EXPECT_EQ(header->geometry().left(), box->geometry().left());

    auto* motion = openPage<EventActionPageWidget>(SetupWindow::Tab::Event, "Motion Event");
    ASSERT_NE(motion, nullptr);
    QTest::mouseClick(motion->durationButton(), Qt::LeftButton);
    auto* number = dynamic_cast<NumberChooser*>(m_window->chooser());
    ASSERT_NE(number, nullptr);
    auto* shown = number->findChild<QLabel*>("shown0");
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->text().endsWith(QStringLiteral(" sec"))) << shown->text().toStdString();
}

// Before a page is chosen the empty frame says what to do; a page replaces the hint.
TEST_F(SetupPagesTest, EmptyFrameSaysWhereThePagesAre) {
    open(5, 0, 8);
    auto* hint = m_window->findChild<QLabel*>("pageHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisibleTo(m_window.get()));
    EXPECT_TRUE(hint->text().contains(QStringLiteral("page on the left")));
    openPage<OsdPageWidget>(SetupWindow::Tab::Display, "OSD On/Off");
    EXPECT_FALSE(hint->isVisibleTo(m_window.get()));
}

} // namespace
} // namespace kalder

namespace kalder {
namespace {

// A caption standing in for a name: a word of the kind a field has ("option", "switch",
// "profile" ...) and a bare number or letter, or a flag named by its state.
bool placeholder(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("\\b(?i:option|choice|switch|source|profile|time|on/off|event "
                       "action)\\s?[0-9A-F]\\b|"
                       "^(?i:output)\\s?[0-9]\\b|" // a row named by its number alone
                       "\\bFlag[: ]"));
    return pattern.match(text).hasMatch();
}

// Only digits, or one letter: a number or letter where a name belongs.
bool bare(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*([0-9]+|[A-Za-z])\\s*$"));
    return pattern.match(text).hasMatch();
}

// Every caption, name and tooltip the operator (or a screen reader) meets on `page` as shown.
void expectNamedCaptions(QWidget& page, const std::string& where) {
    for (QWidget* w : page.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&page))
            continue;
        const std::string what =
            where + ": " + w->metaObject()->className() + " " + w->objectName().toStdString() + " ";
        const QString name = test::accessibleNameOf(w);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_FALSE(placeholder(label->text())) << what << label->text().toStdString();
            if (label->buddy()) {
                EXPECT_FALSE(bare(label->text())) << what << label->text().toStdString();
            }
            continue;
        }
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QSlider*>(w);
        if (!control)
            continue;
        EXPECT_FALSE(name.isEmpty()) << what;
        EXPECT_FALSE(placeholder(name)) << what << name.toStdString();
        EXPECT_FALSE(bare(name)) << what << name.toStdString();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_FALSE(placeholder(b->text())) << what << b->text().toStdString();
            // Dots stand in for a value or a caption the button does not show.
            EXPECT_NE(b->text().trimmed(), QStringLiteral("...")) << what;
        }
        // A box without a caption of its own says what checking it does.
        if (auto* box = qobject_cast<QCheckBox*>(w); box && box->text().isEmpty()) {
            EXPECT_FALSE(box->toolTip().isEmpty()) << what << "a box with no caption";
        }
        if (!w->toolTip().isEmpty()) {
            EXPECT_NE(w->toolTip(), name) << what << "the tooltip repeats the caption";
        }
    }
}

class SetupCaptionsTest : public ::testing::Test {
protected:
    void walkEveryPage(std::uint8_t major, std::uint8_t minor) {
        ConfigRecord record = test::patternRecord(major, minor);
        SetupContext context;
        context.version = record.version();
        context.channelNum = 8;
        context.featureBit0 = context.featureBit1 = true;
        SetupWindow window(record, context);
        window.show();
        const std::string version = std::to_string(major) + "." + std::to_string(minor);
        expectNamedCaptions(window, version + " frame");
        for (auto tab : {SetupWindow::Tab::Display, SetupWindow::Tab::Rec, SetupWindow::Tab::System,
                         SetupWindow::Tab::Event}) {
            window.showTab(tab);
            const QStringList items = window.menuItems(tab);
            for (int i = 0; i < items.size(); ++i) {
                EXPECT_FALSE(placeholder(items[i]) || bare(items[i])) << items[i].toStdString();
                window.showTab(tab);
                window.openPage(i);
                QWidget* page = window.currentPage();
                ASSERT_NE(page, nullptr);
                const std::string where = version + " " + items[i].toStdString();
                expectNamedCaptions(*page, where);
                // Every view of the page: its checkable view buttons, one after another.
                for (QPushButton* view : page->findChildren<QPushButton*>()) {
                    const QString id = view->objectName();
                    const bool viewButton =
                        id.startsWith(QLatin1String("view")) ||
                        (id.startsWith(QLatin1String("button47")) && id.size() == 9);
                    if (!viewButton || !view->isVisibleTo(page) || !view->isEnabled())
                        continue;
                    view->click();
                    expectNamedCaptions(*page, where + " / " + view->text().toStdString());
                }
            }
        }
    }
};

TEST_F(SetupCaptionsTest, EveryPageNamesWhatItsFieldsDo) {
    walkEveryPage(4, 2); // the general recording page's eight rows
    walkEveryPage(5, 0); // the sub-page buttons and the extended account views
}

} // namespace
} // namespace kalder
