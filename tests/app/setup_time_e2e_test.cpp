// The PTZ and time pages against the recorder simulator: PTZ protocol, baud rate and level, a
// daylight-saving rule with the question on leaving, and the NTP page's preview from the
// simulator's RFC 868 time server; OK sends the record and the next fetch shows the changes.
#include "main_window_harness.h"
#include "session/recorder_session.h"
#include "setup/pages/dst_setup_page_widget.h"
#include "setup/pages/ntp_setup_page_widget.h"
#include "setup/pages/ptz_setup_page_widget.h"
#include "setup/pages/serial_page_controls.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalder {
namespace {

constexpr int kRemoteSetup = 362;

class SetupTimeE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--channels", "4", "--time-port", "0"})) << sim.lastError();
        // The NTP page asks the simulator's time server, never a public one.
        const std::string reply = sim.admin("time-server");
        ASSERT_EQ(reply.rfind("ok ", 0), 0u) << reply;
        const std::string port = reply.substr(3, reply.find(' ', 3) - 3);
        ::setenv("KALDER_TIME_SERVERS", ("127.0.0.1:" + port).c_str(), 1);
        window = std::make_unique<MainWindow>(harness.config());
        window->show();
        ConnectRequest request = test::simAdminRequest(sim.port());
        window->connectTo(request);
        WAIT_UNTIL(window->session() && window->session()->loggedIn() &&
                       window->session()->status().maySetup() &&
                       !window->session()->status().dstTable().empty(),
                   30000);
    }
    void TearDown() override {
        window.reset();
        ::unsetenv("KALDER_TIME_SERVERS");
    }
    SetupWindow* pressRemoteSetup() {
        QTest::mouseClick(window->button(kRemoteSetup), Qt::LeftButton);
        (void)QTest::qWaitFor([&] { return window->setupWindow() != nullptr; }, 10000);
        return window->setupWindow();
    }
    template <class Page> Page* openPage(SetupWindow& setup, const QString& caption) {
        setup.showTab(SetupWindow::Tab::System);
        const int item = setup.menuItems(SetupWindow::Tab::System).indexOf(caption);
        EXPECT_GE(item, 0);
        setup.openPage(item);
        return dynamic_cast<Page*>(setup.currentPage());
    }
    // Clicks entry `entry` of the list chooser that `button` opens.
    void chooseFromList(SetupWindow& setup, QPushButton* button, int entry) {
        QTest::mouseClick(button, Qt::LeftButton);
        auto* chooser = dynamic_cast<ListChooser*>(setup.chooser());
        ASSERT_NE(chooser, nullptr);
        QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("choice%1").arg(entry)),
                          Qt::LeftButton);
    }
    void screenshot(SetupWindow& setup, const char* name) {
        if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
            setup.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
    // OK, the recorder's acceptance, and a new fetch of its record.
    SetupWindow* sendAndFetchAgain(SetupWindow& setup) {
        setup.findChild<QPushButton*>("okButton")->click();
        (void)QTest::qWaitFor([&] { return window->setupWindow() == nullptr; }, 10000);
        (void)QTest::qWaitFor([&] { return !window->session()->setup().busy(); }, 10000);
        if (window->setupWindow() || window->session()->setup().busy())
            return nullptr;
        return pressRemoteSetup();
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SetupTimeE2E, PtzProtocolBaudLevelAndDstRuleReachTheRecorder) {
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    auto* ptz = openPage<PtzSetupPageWidget>(*setup, "PTZ Setup");
    ASSERT_NE(ptz, nullptr);
    // Protocol view, channels 1 and 2 selected: "Brisk-900" (fifth entry, five rates) for both.
    ptz->showView(PtzSetupPageWidget::View::Protocol);
    ptz->setChecked(0, true);
    ptz->setChecked(1, true);
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, ptz->listButton(0), 4));
    EXPECT_EQ(ptz->listButton(1)->text(), "Brisk-900");
    ptz->showView(PtzSetupPageWidget::View::Baud);
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, ptz->listButton(1), 4));
    EXPECT_EQ(ptz->listButton(1)->text(), "38400 bps");
    screenshot(*setup, "setup-ptz-baud");
    QTest::mouseClick(setup->findChild<QPushButton*>("next"), Qt::LeftButton);
    ASSERT_EQ(ptz->view(), PtzSetupPageWidget::View::PanLow);
    ptz->slider(2)->setValue(0); // moved to position 1: stored 0
    EXPECT_EQ(ptz->slider(2)->value(), 1);
    screenshot(*setup, "setup-ptz-levels");

    // DST: the recorder's clock half an hour before the end of an own rule with a one-hour
    // shift; leaving with OK asks, and the answer goes into the record.
    ASSERT_EQ(sim.admin("time 1729996200"), "ok"); // 2024-10-27 02:30:00
    auto* dst = openPage<DstSetupPageWidget>(*setup, "DST Setup");
    ASSERT_NE(dst, nullptr);
    WAIT_UNTIL(decodeRecorderTime(dst->currentTime()).year == 2024, 10000);
    int asked = 0;
    dst->setQuestion([&] {
        ++asked;
        return true;
    });
    using C = DstSetupPageWidget::Control;
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, dst->button(C::Mode), 1));
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, dst->button(C::EndMonth), 9));
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, dst->button(C::EndWeek), 4));
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, dst->button(C::EndWeekday), 6));
    dst->chooseTime(C::EndTime, 3, 0);
    dst->chooseTime(C::Shift, 1, 0);
    EXPECT_EQ(dst->button(C::EndTime)->text(), "03 : 00");
    screenshot(*setup, "setup-dst");

    setup = sendAndFetchAgain(*setup);
    EXPECT_EQ(asked, 1);
    ASSERT_NE(setup, nullptr);
    const ConfigRecord& stored = setup->record();
    EXPECT_EQ(stored.value(configField("ptz_protocol"), 0), 4u);
    EXPECT_EQ(stored.value(configField("ptz_protocol"), 1), 4u);
    EXPECT_EQ(stored.value(configField("ptz_baud"), 1), 4u);
    EXPECT_EQ(stored.value(configField("pan_low"), 2), 0u);
    EXPECT_EQ(stored.value(configField("dst"), 0), 1u);
    EXPECT_EQ(stored.value(configField("dst"), 11), 26u); // last Sunday of October 2024, 0-based
    EXPECT_EQ(stored.value(configField("dst"), 16), 1u);  // still in force
}

TEST_F(SetupTimeE2E, NtpPreviewComesFromTheTimeServerAndServerNameIsStored) {
    ASSERT_EQ(sim.admin("time-server fixed 1730937600"), "ok"); // 2024-11-07 00:00:00 UTC
    SetupWindow* setup = pressRemoteSetup();
    ASSERT_NE(setup, nullptr);
    auto* ntp = openPage<NtpSetupPageWidget>(*setup, "NTP Setup");
    ASSERT_NE(ntp, nullptr);
    // Record version 5.0: the list has the +9:30 zone in place 11.
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, ntp->zoneButton(), 11));
    EXPECT_EQ(ntp->zoneButton()->text(), "GMT+09:30");
    WAIT_UNTIL(!ntp->asking(), 10000);
    WAIT_UNTIL(ntp->base() == NtpSetupPageWidget::Base::TimeServer, 5000);
    EXPECT_TRUE(ntp->preview()->text().startsWith("2024-11-07  09:3"))
        << ntp->preview()->text().toStdString();
    screenshot(*setup, "setup-ntp-zone");

    // A server that sends two bytes only: the preview falls back to the local clock.
    ASSERT_EQ(sim.admin("time-server short on"), "ok");
    ASSERT_NO_FATAL_FAILURE(chooseFromList(*setup, ntp->zoneButton(), 1));
    WAIT_UNTIL(!ntp->asking() && ntp->base() == NtpSetupPageWidget::Base::LocalClock, 10000);
    EXPECT_FALSE(ntp->preview()->text().startsWith("2024-11-07"));
    EXPECT_EQ(sim.admin("time-server").substr(0, 3), "ok ");

    ntp->showView(NtpSetupPageWidget::View::TimeServer);
    ntp->chooseEnabled(1);
    ntp->chooseServer(1);
    ASSERT_TRUE(ntp->serverNameEdit()->isVisible());
    ntp->serverNameEdit()->selectAll();
    QTest::keyClicks(ntp->serverNameEdit(), "ntp.lan");
    screenshot(*setup, "setup-ntp-server");

    setup = sendAndFetchAgain(*setup);
    ASSERT_NE(setup, nullptr);
    const ConfigRecord& stored = setup->record();
    EXPECT_EQ(stored.value(configField("time_zone")), 1u);
    EXPECT_EQ(stored.value(configField("ntp_server_choice")), 1u);
    EXPECT_EQ(stored.text(configField("ntp_server")), "ntp.lan");
    EXPECT_EQ(stored.text(configField("ntp_server_default")), "time.example.net");
}

} // namespace
} // namespace kalder
