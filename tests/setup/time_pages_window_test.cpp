// The PTZ and time pages in the setup window on the offscreen platform: every page opens from
// the System menu with named controls, the controller's lists follow the keyboard table, and the
// DST page asks its question when it is left, not on Cancel, and ignores a recorder time of 0.
#include "setup/pages/dst_setup_page_widget.h"
#include "setup/pages/ntp_setup_page_widget.h"
#include "setup/pages/ptz_controller_page_widget.h"
#include "setup/pages/ptz_setup_page_widget.h"
#include "setup/pages/serial_page_controls.h"
#include "setup/pages/time_server_ask.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "tests/support/accessible_name.h"
#include "ui/ipv4_address_edit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace kalder {
namespace {

class TimePagesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::byte> bytes(8176, std::byte{0});
        bytes[0] = std::byte{4};
        bytes[1] = std::byte{8};
        m_record = ConfigRecord::fromRecordBytes(bytes);
        m_context.version = m_record.version();
        m_context.channelNum = 4;
        m_context.tables.sysEtcInfo.assign(320, std::byte{0});
        m_context.tables.sysEtcInfo[192] = std::byte{1}; // keyboard "Brisk-900", 3 rates
        m_context.tables.sysEtcInfo[193] = std::byte{3};
        m_context.requestRecorderTime = [this] { ++m_timeRequests; };
        m_window = std::make_unique<SetupWindow>(m_record, m_context);
        m_window->show();
    }
    QWidget* openSystemPage(const QString& caption) {
        m_window->showTab(SetupWindow::Tab::System);
        const int item = m_window->menuItems(SetupWindow::Tab::System).indexOf(caption);
        EXPECT_GE(item, 0) << caption.toStdString();
        m_window->openPage(item);
        return m_window->currentPage();
    }
    void screenshot(const char* name) {
        if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
            m_window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }

    ConfigRecord m_record;
    SetupContext m_context;
    int m_timeRequests = 0;
    std::unique_ptr<SetupWindow> m_window;
};

TEST_F(TimePagesWindowTest, EveryPageOpensFromTheSystemMenuWithNamedControls) {
    for (const char* caption : {"PTZ Setup", "PTZ Controller", "DST Setup", "NTP Setup"}) {
        QWidget* page = openSystemPage(QString::fromLatin1(caption));
        ASSERT_NE(page, nullptr) << caption;
        EXPECT_NE(page->objectName(), "pendingPage") << caption;
        EXPECT_EQ(page->geometry(), SetupWindow::pageRect());
        for (QWidget* control : page->findChildren<QWidget*>()) {
            // A spin box's own edit field is named through the spin box.
            const bool inSpinBox = qobject_cast<QSpinBox*>(control->parentWidget()) != nullptr;
            const bool named = qobject_cast<QAbstractButton*>(control) ||
                               qobject_cast<QSlider*>(control) ||
                               (qobject_cast<QLineEdit*>(control) && !inSpinBox) ||
                               qobject_cast<QSpinBox*>(control);
            if (named && control->isVisibleTo(page)) {
                EXPECT_FALSE(test::accessibleNameOf(control).isEmpty())
                    << caption << ": " << control->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(m_timeRequests, 1); // DVR_TIME_REQ when the DST page opened

    // Record version 4.8: the zone list has the +9:30 zone, 25 entries in four columns.
    auto* ntp = dynamic_cast<NtpSetupPageWidget*>(m_window->currentPage());
    ASSERT_NE(ntp, nullptr);
    QTest::mouseClick(ntp->zoneButton(), Qt::LeftButton);
    auto* zones = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_NE(zones, nullptr);
    EXPECT_EQ(zones->entryCount(), 25);
    screenshot("setup-ntp-zones");
    m_window->closeChooser();
}

// A query's answer comes back as one posted message: the answer of a query that a newer one
// replaced is never shown, and an asker whose page went while its call hangs deletes itself once
// the call has ended, so the page's end never waits for the resolver.
TEST(TimeServerAskTest, ShowsOnlyTheNewestAnswerAndOutlivesItsPage) {
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    bool release = false;
    // The port stands for the answer; "slow" hangs until the test releases it.
    auto asker = [&](const std::vector<TimeServerAddress>& servers,
                     int) -> std::optional<std::uint32_t> {
        std::unique_lock lock(mutex);
        ++calls;
        changed.notify_all();
        if (servers.front().host == "slow")
            changed.wait(lock, [&] { return release; });
        return servers.front().port;
    };
    auto waitForCalls = [&](int n) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return calls == n; });
    };
    auto setRelease = [&](bool value) {
        std::lock_guard lock(mutex);
        release = value;
        changed.notify_all();
    };
    QObject keeper;
    auto* page = new QObject;
    QPointer<TimeServerAsk> ask = new TimeServerAsk(page, asker);
    std::vector<std::uint32_t> answers;
    QObject::connect(ask, &TimeServerAsk::answered,
                     [&](std::uint32_t time) { answers.push_back(time); });

    ask->start({{"slow", 1}});
    waitForCalls(1);
    ask->start({{"fast", 2}});
    EXPECT_TRUE(ask->running());
    setRelease(true);
    // Posted messages arrive in order: the first answer shown is the last there can be.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, 10000));
    EXPECT_EQ(answers, std::vector<std::uint32_t>{2});
    EXPECT_FALSE(ask->running());

    setRelease(false);
    ask->start({{"slow", 3}});
    waitForCalls(3);
    ASSERT_TRUE(ask->busy());
    ask->outliveOwner(&keeper);
    delete page; // does not wait for the hanging call
    ASSERT_FALSE(ask.isNull());
    setRelease(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ask.isNull(); }, 10000));
    EXPECT_EQ(answers, std::vector<std::uint32_t>{2}); // an orphan answers nobody
}

// The time server's address is typed as people type addresses: a dot moves to the next part;
// a part over 255 is refused on screen and nothing of it reaches the record.
TEST_F(TimePagesWindowTest, NtpAddressTakesDigitsAndDots) {
    auto* page = dynamic_cast<NtpSetupPageWidget*>(openSystemPage("NTP Setup"));
    ASSERT_NE(page, nullptr);
    page->showView(NtpSetupPageWidget::View::TimeServer);
    page->chooseEnabled(1);
    page->chooseServer(2);
    Ipv4AddressEdit* edit = page->addressEdit();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisibleTo(page));
    EXPECT_EQ(test::accessibleNameOf(edit), "Time server address");
    const ConfigField& field = configField("ntp_address");
    auto stored = [&] {
        return std::vector<unsigned>{m_record.value(field, 0), m_record.value(field, 1),
                                     m_record.value(field, 2), m_record.value(field, 3)};
    };
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "10.1.2.3");
    EXPECT_EQ(stored(), (std::vector<unsigned>{10, 1, 2, 3}));
    EXPECT_FALSE(edit->showsProblem());

    edit->selectAll();
    QTest::keyClicks(edit, "192.168.0.999");
    EXPECT_EQ(edit->text(), "192.168.0.999"); // the digit is not dropped silently
    EXPECT_TRUE(edit->showsProblem());
    EXPECT_FALSE(edit->styleSheet().isEmpty()); // the red frame
    EXPECT_TRUE(page->addressStatus()->text().contains("255"));
    EXPECT_EQ(edit->toolTip(), edit->problem());
    // 192.168.0.99 was whole on the way and stored; the refused part changed nothing after it.
    EXPECT_EQ(stored(), (std::vector<unsigned>{192, 168, 0, 99}));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_FALSE(edit->showsProblem());
    EXPECT_TRUE(page->addressStatus()->text().isEmpty());

    // Half an address is marked when the operator leaves the field, and not stored.
    edit->selectAll();
    QTest::keyClicks(edit, "172.16");
    emit edit->editingFinished();
    EXPECT_TRUE(edit->showsProblem());
    EXPECT_EQ(stored(), (std::vector<unsigned>{192, 168, 0, 99}));
}

TEST_F(TimePagesWindowTest, ControllerListsFollowTheKeyboardTable) {
    auto* page = dynamic_cast<PtzControllerPageWidget*>(openSystemPage("PTZ Controller"));
    ASSERT_NE(page, nullptr);
    m_record.setValue(configField("keyboard_baud"), 0, 5);
    page->chooseFromList(PtzControllerPageWidget::Row::Protocol, 0);
    EXPECT_EQ(page->listButton(PtzControllerPageWidget::Row::Protocol)->text(), "Brisk-900");
    EXPECT_EQ(m_record.value(configField("keyboard_baud")), 2u); // 3 rates: the last one
    QTest::mouseClick(page->listButton(PtzControllerPageWidget::Row::Baud), Qt::LeftButton);
    auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->entryCount(), 3);
    m_window->closeChooser();
    page->chooseFromList(PtzControllerPageWidget::Row::Id, 7); // "+1"
    page->chooseFromList(PtzControllerPageWidget::Row::Id, 7);
    EXPECT_EQ(page->slider()->value(), 2);
    page->slider()->setValue(200);
    EXPECT_EQ(m_record.value(configField("keyboard_id")), 200u);
    EXPECT_EQ(page->listButton(PtzControllerPageWidget::Row::Id)->text(), "200");
    screenshot("setup-ptz-controller");
}

TEST_F(TimePagesWindowTest, PtzRowsAndLevelsFollowTheSelectedSet) {
    auto* page = dynamic_cast<PtzSetupPageWidget*>(openSystemPage("PTZ Setup"));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->listButton(3) != nullptr, true);
    EXPECT_EQ(page->listButton(4), nullptr); // four channels: four rows
    QTest::mouseClick(m_window->findChild<QPushButton*>("allCheck"), Qt::LeftButton);
    page->slider(1)->setValue(42);
    for (std::size_t ch = 0; ch < 4; ++ch)
        EXPECT_EQ(m_record.value(configField("ptz_id"), ch), 42u);
    EXPECT_EQ(m_record.value(configField("ptz_id"), 4), 0u);
    page->chooseFromList(0, 6); // "-1" on the checked set
    EXPECT_EQ(m_record.value(configField("ptz_id"), 3), 41u);
    // Next: the level page; the view switch cleared the selection boxes.
    QTest::mouseClick(m_window->findChild<QPushButton*>("next"), Qt::LeftButton);
    EXPECT_TRUE(page->levelPage());
    page->slider(0)->setValue(7);
    EXPECT_EQ(m_record.value(configField("pan_low"), 0), 6u);
    EXPECT_EQ(m_record.value(configField("pan_low"), 1), 0u);
    screenshot("setup-ptz-level");
    QTest::mouseClick(m_window->findChild<QPushButton*>("prev"), Qt::LeftButton);
    EXPECT_EQ(page->view(), PtzSetupPageWidget::View::Id);
}

TEST_F(TimePagesWindowTest, DstQuestionOnLeavingButNotOnCancel) {
    auto* page = dynamic_cast<DstSetupPageWidget*>(openSystemPage("DST Setup"));
    ASSERT_NE(page, nullptr);
    page->recorderTimeArrived(1729996200); // 2024-10-27 02:30:00
    page->recorderTimeArrived(0);          // no time: ignored
    EXPECT_EQ(decodeRecorderTime(page->currentTime()).year, 2024);
    int asked = 0;
    page->setQuestion([&] {
        ++asked;
        return false;
    });
    using C = DstSetupPageWidget::Control;
    page->choose(C::Mode, 1);
    page->choose(C::EndMonth, 9);
    page->choose(C::EndWeek, 4);
    page->choose(C::EndWeekday, 6);
    page->chooseTime(C::EndTime, 3, 0);
    page->chooseTime(C::Shift, 1, 0);
    m_record.setValue(configField("dst"), 16, 1);
    screenshot("setup-dst-page");
    openSystemPage("NTP Setup"); // leaving the page asks; Cancel stores 0
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(m_record.value(configField("dst"), 16), 0u);

    page = dynamic_cast<DstSetupPageWidget*>(openSystemPage("DST Setup"));
    ASSERT_NE(page, nullptr);
    page->recorderTimeArrived(1729996200);
    page->setQuestion([&] {
        ++asked;
        return true;
    });
    page->chooseTime(C::Shift, 1, 0);
    m_window->findChild<QPushButton*>("cancelButton")->click();
    EXPECT_EQ(asked, 1); // Cancel discards the copy: nothing to ask
}

} // namespace
} // namespace kalder
