#pragma once

#include "session_test_support.h"

#include "files/local_log.h"
#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "session/recorder_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace kalder::test {

// A recorder description the client serves: family 3, 16 channels.
HelloRecord servedHello();

struct TestFrame {
    unsigned channel = 0;
    std::uint8_t resolutionCode = 1;
    bool line625 = false;
    std::uint32_t videoLength = 1000;
    std::uint8_t frameType = kFrameTypeKey;
    std::uint32_t audioLength = 0;
    std::uint16_t audioMarker = 0;
    unsigned audioChannel = 0;
    std::uint32_t infoWord = 0x5F000000;
    std::uint16_t infoHalf = 250;
    std::uint32_t magic = kFrameMagic;
};
// Block, video (a byte pattern derived from the channel) and audio.
std::vector<std::byte> buildFrame(const TestFrame& frame);

// A session on one end of a socket pair, the scripted recorder on the other.
class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the session; returns the HELLO it sent.
    std::optional<WireMessage> startSession(const std::string& user = "admin",
                                            const std::string& password = "");
    // Answers HELLO with `hello` and waits until the session has logged in.
    void login(const HelloRecord& hello = servedHello());
    // LIVE_CHANNEL_INFO with `word`; waits until live view is on.
    void goLive(std::uint32_t word = 0x0000FFFF);
    // Sends `frame` as LIVE_DATA in fragments of at most `fragmentSize` bytes.
    void sendFrame(const std::vector<std::byte>& frame, std::size_t fragmentSize = 60000,
                   std::uint32_t clock = 0, std::uint16_t codeExtra = 0);
    // Waits until the session has handled everything sent before: a DVR_TIME_ACK whose window
    // message marks the point. `codeExtra` keeps the recorder's audio flag as it is.
    void sync(std::uint16_t codeExtra = 0);
    std::vector<LocalLogRecord> logEntries() const;

    std::filesystem::path m_dataFolder;
    EventRecorder m_events;
    FrameSinkFactory m_frames;
    AudioSinkFactory m_audio;
    ScriptedRecorder m_recorder;
    std::unique_ptr<RecorderSession> m_session;
    std::uint32_t m_syncCount = 0;
};

} // namespace kalder::test
