// The session's device commands against kalder-recorder-sim: reset, test mail and restart, with
// the simulator's knobs turning each answer negative.
#include "session_test_support.h"
#include "tests/sim/sim_process.h"

#include "files/local_log.h"
#include "session/recorder_session.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace kalder::test {
namespace {

class DeviceE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        ASSERT_TRUE(m_sim.start({"--channels", "4"})) << m_sim.lastError();
        m_dataFolder = std::filesystem::path(KALDER_TEST_CACHE_DIR) /
                       ("device-e2e-" + std::to_string(::getpid()));
        configureLocalLog({m_dataFolder, false, 0});
        m_session = std::make_unique<RecorderSession>(&m_events);
        m_session->setAddress("127.0.0.1");
        m_session->setPort(m_sim.port());
        m_session->setUserId("admin");
        m_session->setPassword("1234");
        m_session->start();
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::LoggedIn); }));
        // The rights table follows the login: until it is in, a restart is refused.
        ASSERT_TRUE(waitUntil([&] { return m_session->status().mayRestart(); }));
    }
    void TearDown() override {
        if (m_session)
            m_session->disconnect();
        m_session.reset();
        pumpEvents();
        std::filesystem::remove_all(m_dataFolder);
    }
    bool logged(const std::string& line) {
        return (m_sim.admin("device-log") + "|").find("|" + line + "|") != std::string::npos;
    }

    SimProcess m_sim;
    std::filesystem::path m_dataFolder;
    EventRecorder m_events;
    std::unique_ptr<RecorderSession> m_session;
};

TEST_F(DeviceE2e, ResetAndTestMailAndTheirRefusals) {
    m_session->device().requestDbInit();
    ASSERT_TRUE(waitUntil([&] { return logged("db-init"); }));
    std::array<std::byte, kTestMailRequestSize> mail{};
    m_session->device().sendTestMail(mail);
    ASSERT_TRUE(waitUntil([&] { return logged("test-mail 516"); }));

    // Refusals reach the operator as notifications.
    ASSERT_EQ(m_sim.admin("db-init-nack 97"), "ok");
    ASSERT_EQ(m_sim.admin("test-mail-nack 1"), "ok");
    m_session->device().requestDbInit();
    m_session->device().sendTestMail(mail);
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({6, 7}); }));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({6, 0}); }));
    EXPECT_TRUE(m_session->loggedIn());
}

TEST_F(DeviceE2e, RestartIsAcknowledgedThenTheRecorderCloses) {
    ASSERT_EQ(m_sim.admin("reboot-nack 2"), "ok");
    EXPECT_TRUE(m_session->device().requestReboot());
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({6, 1}); }));
    ASSERT_EQ(m_sim.admin("reboot-nack 0"), "ok");
    EXPECT_TRUE(m_session->device().requestReboot());
    ASSERT_TRUE(waitUntil([&] { return logged("reboot"); }));
    // The recorder drops the connection: the session learns it has ended.
    ASSERT_TRUE(waitUntil([&] { return !m_session->receiving(); }));
}

} // namespace
} // namespace kalder::test
