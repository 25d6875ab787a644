// One ClientConnection in process over a socket pair, with other threads changing the model
// and posting admin actions while it streams: what the ThreadSanitizer stage looks at.

#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "raw_client.h"
#include "sim/client_connection.h"
#include "sim/media_source.h"
#include "small_recorder_config.h"
#include "sim/recorder_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/socket.h>
#include <thread>

namespace kalder::sim {
namespace {

using namespace std::chrono_literals;
using test::RawClient;
using test::RawMessage;

class ConnectionInProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_config = new SimConfig(smallRecorderConfig(4));
        s_media = new MediaSource;
        std::string error;
        ASSERT_TRUE(s_media->build(*s_config, 2, error)) << error;
    }
    static void TearDownTestSuite() {
        delete s_media;
        delete s_config;
    }

    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        m_model = std::make_unique<RecorderModel>(*s_config);
        ConnectionSettings settings;
        settings.maxFragmentBytes = 1000; // frames of several fragments
        settings.epoch = std::chrono::steady_clock::now();
        m_connection =
            std::make_unique<ClientConnection>(fds[0], 1, "pair", *m_model, *s_media, settings);
        m_connection->start();
        m_client.adopt(fds[1]);
        ASSERT_TRUE(m_client.sendHello("admin", "1234"));
        ASSERT_TRUE(m_client.receiveId(MessageId::REC_STATUS));
        ASSERT_TRUE(m_client.sendLiveRequest(0xF));
        ASSERT_TRUE(m_client.receiveId(MessageId::LIVE_CHANNEL_INFO));
    }
    void TearDown() override {
        if (m_connection)
            m_connection->stop();
    }

    static SimConfig* s_config;
    static MediaSource* s_media;
    std::unique_ptr<RecorderModel> m_model;
    std::unique_ptr<ClientConnection> m_connection;
    RawClient m_client;
};
SimConfig* ConnectionInProcess::s_config = nullptr;
MediaSource* ConnectionInProcess::s_media = nullptr;

// While other threads change the model and post actions, every frame still arrives as one
// unbroken run of fragments and every record arrives whole.
TEST_F(ConnectionInProcess, FramesStayWholeWhileOtherThreadsPush) {
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int i = 0; !done && i < 400; ++i) {
            m_model->setTitle(i % 4, "T" + std::to_string(i));
            m_model->setRecording(i % 2 == 0);
            m_model->setCovert(i % 4, i % 3 == 0);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::thread poster([&] {
        for (int i = 0; !done && i < 200; ++i) {
            m_connection->post({ConnectionAction::Kind::Notice257});
            m_connection->post(
                {ConnectionAction::Kind::Push, static_cast<std::int32_t>(ModelChange::Rights)});
            std::this_thread::sleep_for(2ms);
        }
    });
    std::thread reader([&] {
        // The admin thread's view while all this goes on.
        for (int i = 0; !done && i < 500; ++i)
            (void)m_connection->describe();
    });

    int frames = 0;
    int records = 0;
    std::vector<std::byte> frame;
    bool inFrame = false;
    while (frames < 60) {
        auto m = m_client.receive(10s);
        ASSERT_TRUE(m);
        if (m->id() == MessageId::LIVE_DATA) {
            inFrame = true;
            frame.insert(frame.end(), m->payload.begin(), m->payload.end());
            if (m->header.lastFragment()) {
                const auto block = decodeFrameInfoBlock(frame);
                ASSERT_TRUE(block);
                EXPECT_EQ(block->frameMagic, kFrameMagic);
                EXPECT_EQ(frame.size(), block->totalLength);
                frame.clear();
                inFrame = false;
                ++frames;
            }
            continue;
        }
        EXPECT_FALSE(inFrame) << "message " << m->id() << " inside a frame";
        if (m->id() == MessageId::DB_CHANGE) {
            EXPECT_EQ(m->payload.size(), 596u);
        }
        ++records;
    }
    done = true;
    changer.join();
    poster.join();
    reader.join();
    EXPECT_GT(records, 0);
}

// The server ends a connection while it streams and while a client request is being answered.
TEST_F(ConnectionInProcess, StopWhileStreaming) {
    ASSERT_TRUE(m_client.receiveId(MessageId::LIVE_DATA));
    std::thread requester([&] {
        for (int i = 0; i < 50; ++i)
            if (!m_client.send(MessageId::DVR_TIME_REQ))
                break;
    });
    m_connection->stop();
    requester.join();
    EXPECT_TRUE(m_client.waitForClose());
    EXPECT_TRUE(m_connection->ended());
    m_connection.reset();
}

// A BYE48 posted from another thread ends the stream with a whole message, then the close.
TEST_F(ConnectionInProcess, PostedFarewellEndsTheConnection) {
    m_connection->post({ConnectionAction::Kind::Bye, 36});
    std::vector<RawMessage> skipped;
    auto bye = m_client.receiveId(MessageId::BYE48, 10s, &skipped);
    ASSERT_TRUE(bye);
    ASSERT_EQ(bye->payload.size(), 4u);
    EXPECT_EQ(std::to_integer<int>(bye->payload[3]), 36);
    EXPECT_TRUE(m_client.waitForClose());
}

} // namespace
} // namespace kalder::sim
