#pragma once

// The fixture of the remote-setup tests against the recorder simulator: a main window logged in
// to a four-channel simulator as ADMIN, and the steps to open the setup window and its pages.
#include "main_window_harness.h"
#include "session/recorder_session.h"
#include "setup/setup_window.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"

#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

constexpr int kRemoteSetup = 362;

class SetupE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
        window = std::make_unique<MainWindow>(harness.config());
        window->show();
        ConnectRequest request = test::simAdminRequest(sim.port());
        window->connectTo(request);
        WAIT_UNTIL(window->session() && window->session()->loggedIn() &&
                       window->session()->status().maySetup(),
                   30000);
    }
    void TearDown() override { window.reset(); }
    SetupWindow* pressRemoteSetup() {
        QTest::mouseClick(window->button(kRemoteSetup), Qt::LeftButton);
        (void)QTest::qWaitFor([&] { return window->setupWindow() != nullptr; }, 10000);
        return window->setupWindow();
    }
    void openPage(SetupWindow& setup, SetupWindow::Tab tab, const QString& caption) {
        setup.showTab(tab);
        const int item = setup.menuItems(tab).indexOf(caption);
        ASSERT_GE(item, 0);
        setup.openPage(item);
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
    std::unique_ptr<MainWindow> window;
};

} // namespace
} // namespace kalder
