// The session against kalder-recorder-sim over TCP on the loopback.
#include "session_test_support.h"

#include "files/local_log.h"
#include "wire/message_catalogue.h"
#include "session/recorder_session.h"
#include "net/trace.h"
#include "tests/sim/sim_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace kalder::test {
namespace {

// Four channels, small fragments: every frame arrives in many LIVE_DATA messages.
const std::vector<std::string> kSimArgs = {"--channels",     "4",   "--fps", "30",
                                           "--max-fragment", "4000"};

bool validFrame(const FrameRecord& r) {
    const auto& d = r.data;
    if (d.size() != r.descriptor.blockLength || d.size() < 45)
        return false;
    const bool magic = d[0] == std::byte{0xFF} && d[1] == std::byte{0x01} && d[2] == std::byte{0} &&
                       d[3] == std::byte{0};
    // The video starts with an H.264 start code.
    const bool startCode =
        d[40] == std::byte{0} && d[41] == std::byte{0} &&
        (d[42] == std::byte{1} || (d[42] == std::byte{0} && d[43] == std::byte{1}));
    return magic && startCode && r.descriptor.usable() &&
           r.header.fragmentChannel() == r.descriptor.channel && r.header.lastFragment();
}

class SessionE2e : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start(kSimArgs)) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }

    void SetUp() override {
        ensureCoreApplication();
        m_dataFolder = std::filesystem::path(KALDER_TEST_CACHE_DIR) /
                       ("session-e2e-" + std::to_string(::getpid()));
        configureLocalLog({m_dataFolder, false, 0});
        ASSERT_TRUE(s_sim && s_sim->running());
        m_session = std::make_unique<RecorderSession>(&m_events);
        m_session->live().setFrameConsumerFactory(&m_frames);
        m_session->setAddress("127.0.0.1");
        m_session->setPort(s_sim->port());
    }
    void TearDown() override {
        if (m_session) {
            m_session->disconnect();
            EXPECT_TRUE(m_session->threadsEnded());
            EXPECT_FALSE(m_session->socketOpen());
            m_session.reset();
        }
        pumpEvents();
        std::filesystem::remove_all(m_dataFolder);
    }

    void connectAs(const std::string& user, const std::string& password) {
        m_session->setUserId(user);
        m_session->setPassword(password);
        m_session->start();
    }
    void loginLive() {
        connectAs("AdMiN", "1234");
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::LoggedIn); }));
        ASSERT_TRUE(waitUntil([&] { return m_session->live().liveOn(); }));
    }
    bool framesGrowBy(std::size_t count) {
        const std::size_t start = m_frames.totalFrames();
        return waitUntil([&] { return m_frames.totalFrames() >= start + count; },
                         std::chrono::seconds(30));
    }
    std::vector<FrameRecord> allFrames() const {
        std::vector<FrameRecord> all;
        for (unsigned c = 0; c < 16; ++c)
            for (auto& f : m_frames.frames(c))
                all.push_back(std::move(f));
        return all;
    }

    static SimProcess* s_sim;
    std::filesystem::path m_dataFolder;
    EventRecorder m_events;
    FrameSinkFactory m_frames;
    std::unique_ptr<RecorderSession> m_session;
};
SimProcess* SessionE2e::s_sim = nullptr;

TEST_F(SessionE2e, MixedCaseLoginStreamsWholeFrames) {
    loginLive();
    EXPECT_EQ(m_session->hello().channel_num, 4);
    EXPECT_EQ(m_frames.alive(), 4u);
    ASSERT_TRUE(framesGrowBy(40));
    const auto frames = allFrames();
    std::size_t bad = 0;
    for (const FrameRecord& f : frames)
        bad += !validFrame(f);
    EXPECT_EQ(bad, 0u);
    for (const FrameRecord& f : frames) {
        EXPECT_LT(f.descriptor.channel, 4);
        EXPECT_EQ(f.descriptor.width, 704);
        EXPECT_EQ(f.descriptor.height, 480);
        EXPECT_EQ(f.descriptor.streamGeneration, 1u);
    }
    // Many frames are larger than one 4,000-byte fragment.
    std::size_t multiFragment = 0;
    for (const FrameRecord& f : frames)
        multiFragment += f.data.size() > 4000;
    EXPECT_GT(multiFragment, 0u);
    EXPECT_NE(m_session->live().recorderClock(), 0u);
}

TEST_F(SessionE2e, OversizedFrameIsDroppedAndStreamingGoesOn) {
    std::mutex traceMutex;
    std::size_t dropped = 0;
    setTraceSink([&](std::string_view text) {
        std::lock_guard lock(traceMutex);
        dropped += text.find("frame larger than") != std::string_view::npos;
    });
    auto droppedCount = [&] {
        std::lock_guard lock(traceMutex);
        return dropped;
    };
    loginLive();
    ASSERT_TRUE(framesGrowBy(8));
    ASSERT_EQ(s_sim->admin("oversized-frame").rfind("ok", 0), 0u);
    // Frames already on their way arrive first; then the session drops the big one.
    const bool sawDrop = waitUntil([&] { return droppedCount() > 0; }, std::chrono::seconds(30));
    const bool goesOn = framesGrowBy(30);
    EXPECT_TRUE(m_events.notifications().empty());
    EXPECT_TRUE(m_session->receiving());
    m_session->disconnect();
    setTraceSink(nullptr);
    ASSERT_TRUE(sawDrop);
    EXPECT_TRUE(goesOn);
    EXPECT_EQ(droppedCount(), 1u);
    std::size_t bad = 0;
    for (const FrameRecord& f : allFrames())
        bad += !validFrame(f);
    EXPECT_EQ(bad, 0u);
}

TEST_F(SessionE2e, UnknownIdsAndOddCodesAreSurvived) {
    loginLive();
    for (const char* cmd : {"unknown-id 500 100", "unknown-id 77 3000", "code-ffff", "notice257"})
        ASSERT_EQ(s_sim->admin(cmd).rfind("ok", 0), 0u) << cmd;
    ASSERT_TRUE(framesGrowBy(30));
    EXPECT_TRUE(m_session->receiving());
    EXPECT_TRUE(m_events.notifications().empty());
}

TEST_F(SessionE2e, VideoLossAndHiddenChannels) {
    loginLive();
    ASSERT_EQ(s_sim->admin("videoloss 2 1"), "ok");
    ASSERT_TRUE(waitUntil([&] { return m_session->live().videoLossMask() == 0x0002; }));
    EXPECT_TRUE(m_frames.videoLoss(1));
    EXPECT_GE(m_session->live().liveGeneration(), 2u);
    ASSERT_EQ(s_sim->admin("videoloss 2 0"), "ok");
    ASSERT_TRUE(waitUntil([&] { return m_session->live().videoLossMask() == 0; }));

    // Channel 3 is withdrawn from account 0's live view: hidden, and left out of the mask.
    ASSERT_EQ(s_sim->admin("liveview 0 3 0"), "ok");
    ASSERT_TRUE(waitUntil([&] { return m_session->status().channelHidden(2); }));
    m_session->live().requestChannels(0x000F);
    ASSERT_TRUE(waitUntil([&] { return m_session->live().liveChannelMask() == 0x000B; }));
    ASSERT_EQ(s_sim->admin("liveview 0 3 1"), "ok");
    ASSERT_TRUE(waitUntil([&] { return !m_session->status().channelHidden(2); }));
}

TEST_F(SessionE2e, FarewellReasonsBecomeCategories) {
    const std::pair<const char*, Notification> cases[] = {{"bye 33", {3, 3}}, {"bye 37", {15, 0}}};
    for (const auto& entry : cases) {
        const char* command = entry.first;
        const Notification expected = entry.second;
        SCOPED_TRACE(command);
        TearDown();
        SetUp();
        loginLive();
        ASSERT_EQ(s_sim->admin(command).rfind("ok", 0), 0u);
        ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification(expected); }));
        EXPECT_FALSE(m_session->loggedIn());
    }
}

TEST_F(SessionE2e, PeerClosingMidFragmentIsNoticedAtOnce) {
    // The receive limit cannot expire: only the close ends the read.
    struct FrozenClock : ReceiveClock {
        std::chrono::steady_clock::time_point now() const override { return {}; }
    } frozen;
    m_session->setReceiveClock(&frozen);
    loginLive();
    ASSERT_TRUE(framesGrowBy(4));
    ASSERT_EQ(s_sim->admin("close-mid-fragment").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    EXPECT_FALSE(m_session->receiving());
    m_session->disconnect();
    m_session->setReceiveClock(nullptr);
}

TEST_F(SessionE2e, WithdrawnLoginRightEndsTheSession) {
    loginLive();
    ASSERT_EQ(s_sim->admin("right 0 login 0"), "ok");
    ASSERT_EQ(s_sim->admin("push rights").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({2, 0}); }));
    ASSERT_EQ(s_sim->admin("right 0 login 1"), "ok");
    const auto all = m_events.notifications();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2], (Notification{15, 0}));
    EXPECT_EQ(all.back(), (Notification{2, 0}));
    EXPECT_FALSE(m_session->receiving());
}

TEST_F(SessionE2e, WrongFamilyIsRefused) {
    ASSERT_EQ(s_sim->admin("product 1"), "ok");
    connectAs("admin", "1234");
    const bool ended = waitUntil([&] { return m_events.hasNotification({2, 0}); });
    ASSERT_EQ(s_sim->admin("product 4"), "ok");
    ASSERT_TRUE(ended);
    ASSERT_TRUE(m_events.has(WindowMessage::NotServed));
    EXPECT_EQ(m_events.last(WindowMessage::NotServed)->wParam, 1u);
    EXPECT_FALSE(m_events.has(WindowMessage::LoggedIn));
}

TEST_F(SessionE2e, DisconnectEndsEverythingAndTheRecorderSeesTheFarewell) {
    loginLive();
    ASSERT_TRUE(s_sim->waitForLoggedIn(1));
    m_session->disconnect();
    EXPECT_TRUE(m_session->threadsEnded());
    EXPECT_FALSE(m_session->socketOpen());
    EXPECT_EQ(m_frames.alive(), 0u);
    // The recorder drops the client after the farewell.
    std::string reply;
    waitUntil([&] { return (reply = s_sim->admin("logged-in")) == "ok 0"; });
    EXPECT_EQ(reply, "ok 0");
}

TEST_F(SessionE2e, RefusedConnectIsReported) {
    SimProcess gone;
    ASSERT_TRUE(gone.start(kSimArgs)) << gone.lastError();
    m_session->setPort(gone.port());
    gone.stop();
    connectAs("admin", "1234");
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::ConnectFailed); }));
    EXPECT_TRUE(m_events.hasNotification({1, 1}));
}

// Waits without delivering events, so that whatever the session posts meanwhile stays queued.
bool waitWithoutEvents(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(SessionE2e, ChannelInfoFloodQueuesOneEventPerKind) {
    loginLive();
    pumpEvents();
    const std::uint64_t postedBefore = m_session->postedCount();
    const std::size_t deliveredBefore = m_events.count(WindowMessage::LiveChannels);
    ASSERT_EQ(s_sim->admin("flood-channel-info 20000"), "ok 1");
    // The video loss comes after the flood: once the session has it, it has handled the flood.
    ASSERT_EQ(s_sim->admin("videoloss 2 1"), "ok");
    ASSERT_TRUE(waitWithoutEvents([&] { return m_session->live().videoLossMask() == 0x0002; }));
    EXPECT_LE(m_session->postedCount() - postedBefore, 10u);
    pumpEvents();
    EXPECT_EQ(m_events.count(WindowMessage::LiveChannels), deliveredBefore + 1);
    const auto masks = m_events.last(WindowMessage::LiveChannels);
    ASSERT_TRUE(masks);
    EXPECT_EQ(masks->wParam, 0x000Fu);
    EXPECT_EQ(masks->lParam, 0x0002);
    EXPECT_EQ(m_events.last(WindowMessage::ChannelInfoFile)->wParam, 0x000Fu);

    // Once handled, the next change is posted again.
    ASSERT_EQ(s_sim->admin("videoloss 2 0"), "ok");
    ASSERT_TRUE(waitUntil([&] {
        const auto last = m_events.last(WindowMessage::LiveChannels);
        return last && last->lParam == 0;
    }));
}

TEST_F(SessionE2e, RepeatedFarewellsAndLoginsLogOnceEachChange) {
    for (int i = 0; i < 5; ++i)
        localLog(kLogKindProgram, kLogEventProgramStart);
    const auto entries = [&] {
        return readLocalLog(localLogFilePath(m_dataFolder)).value_or(std::vector<LocalLogRecord>{});
    };
    loginLive();
    ASSERT_TRUE(s_sim->waitForLoggedIn(1));

    // The recorder pushes a change of its recording state after the flood it is sending: once
    // the session has the new state, it has handled the flood.
    const auto afterFlood = [&] {
        const bool recording = !m_session->status().recordingOn();
        ASSERT_EQ(s_sim->admin(recording ? "record on" : "record off"), "ok");
        ASSERT_TRUE(waitUntil([&] { return m_session->status().recordingOn() == recording; }));
    };
    // The connection stays.
    ASSERT_EQ(s_sim->admin("flood-bye 3000"), "ok 1");
    ASSERT_NO_FATAL_FAILURE(afterFlood());
    EXPECT_FALSE(m_session->loggedIn());
    ASSERT_EQ(s_sim->admin("flood-hello-ack 100"), "ok 1");
    ASSERT_NO_FATAL_FAILURE(afterFlood());
    EXPECT_TRUE(m_session->loggedIn());
    m_session->disconnect();

    const std::vector<LocalLogRecord> log = entries();
    ASSERT_EQ(log.size(), 9u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(log[i].kind, kLogKindProgram);
    const std::uint32_t changes[] = {kLogEventLogon, kLogEventLogonFailed, kLogEventLogon,
                                     kLogEventLogoff};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(log[5 + i].kind, kLogKindLogon);
        EXPECT_EQ(log[5 + i].event, changes[i]) << "entry " << 5 + i;
    }
}

TEST_F(SessionE2e, FloodsOfFarewellsAndLoginAnswersQueueAlmostNothing) {
    loginLive();
    pumpEvents();
    // The recorder pushes a change of its recording state after the flood it is sending: once
    // the session has the new state, it has handled the flood. Events stay queued meanwhile.
    const auto afterFlood = [&] {
        const bool recording = !m_session->status().recordingOn();
        ASSERT_EQ(s_sim->admin(recording ? "record on" : "record off"), "ok");
        ASSERT_TRUE(
            waitWithoutEvents([&] { return m_session->status().recordingOn() == recording; }));
    };
    std::uint64_t posted = m_session->postedCount();
    ASSERT_EQ(s_sim->admin("flood-bye 3000 33"), "ok 1"); // a reason with a notification
    ASSERT_NO_FATAL_FAILURE(afterFlood());
    EXPECT_LE(m_session->postedCount() - posted, 3u);
    const std::size_t notifications = m_events.count(WindowMessage::Notification);
    pumpEvents();
    EXPECT_EQ(m_events.count(WindowMessage::Notification), notifications + 1);
    EXPECT_TRUE(m_events.hasNotification({3, 3}));

    // The first answer logs in again and asks for live view once; the others change nothing.
    const std::size_t resets = m_events.count(WindowMessage::VideoWindowReset);
    posted = m_session->postedCount();
    ASSERT_EQ(s_sim->admin("flood-hello-ack 2000"), "ok 1");
    ASSERT_NO_FATAL_FAILURE(afterFlood());
    EXPECT_TRUE(m_session->loggedIn());
    EXPECT_LE(m_session->postedCount() - posted, 12u);
    pumpEvents();
    EXPECT_EQ(m_events.count(WindowMessage::VideoWindowReset), resets + 1);
}

TEST_F(SessionE2e, LiveViewStoppedBeforeItsReplyStartsAgain) {
    loginLive();
    m_session->live().stopLive();
    // The recorder holds its replies: the new request stays unanswered, and is stopped.
    ASSERT_EQ(s_sim->admin("stall on").rfind("ok", 0), 0u);
    m_session->live().startLive();
    EXPECT_TRUE(m_session->live().liveRequestPending());
    m_session->live().stopLive();
    EXPECT_FALSE(m_session->live().liveRequestPending());
    ASSERT_EQ(s_sim->admin("stall off").rfind("ok", 0), 0u);

    m_session->live().startLive();
    ASSERT_TRUE(waitUntil([&] { return m_session->live().liveOn(); }));
    EXPECT_EQ(m_frames.alive(), 4u);
    EXPECT_TRUE(framesGrowBy(20));
}

} // namespace
} // namespace kalder::test
