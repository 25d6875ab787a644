// Remote playback against a scripted recorder: PLAY_DATA with and without the recording header,
// titles, refused tags and blocks, the end of the period and the stop order.
#include "session_fixture.h"

#include "wire/playback_records.h"

#include <cstring>

namespace kalder::test {
namespace {

using Playback = SessionFixture;

// A frame of `channel` behind a recording header with `tag` and `title` (none: no header).
std::vector<std::byte> playItem(unsigned channel, std::optional<std::string> title,
                                const std::string& tag = kRecordingTag,
                                std::uint32_t titlePresent = 1, bool audio = false) {
    TestFrame f;
    f.channel = channel;
    f.videoLength = 500;
    if (audio) {
        f.audioLength = 2048;
        f.audioMarker = 1;
        f.audioChannel = channel;
    }
    std::vector<std::byte> frame = buildFrame(f);
    if (!title)
        return frame;
    RecordingFrameHeader header;
    header.tag = tag;
    header.title = *title;
    header.titlePresent = titlePresent;
    const auto head = encodeRecordingFrameHeader(header);
    std::vector<std::byte> item(head.begin(), head.end());
    item.insert(item.end(), frame.begin(), frame.end());
    return item;
}

constexpr std::uint16_t kNormalSpeed = 11;

class PlaybackStarted : public Playback {
protected:
    void start() {
        m_session->playback().setFrameConsumerFactory(&m_frames);
        ASSERT_TRUE(startSession());
        login();
        ASSERT_TRUE(m_session->playback().requestPlayback(0x5F000000, 0x5F000E10, 0x000F, 0x3F));
        const auto request = m_recorder.readUntil(MessageId::PLAY_ON_REQ);
        ASSERT_TRUE(request);
        EXPECT_EQ(decodePlayOnRequest(request->payload),
                  (PlayOnRequest{0x000F, 0x3F, 0x5F000000, 0x5F000E10}));
        m_recorder.send(MessageId::PLAY_ON_ACK);
        const auto grant = m_recorder.readUntil(MessageId::PLAY_STEP_DATA);
        ASSERT_TRUE(grant);
        EXPECT_EQ(decodePlayWord(grant->payload), 93u);
        ASSERT_TRUE(waitUntil([&] { return m_session->playback().playing(); }));
    }
    void sendItem(const std::vector<std::byte>& item, std::uint16_t speedCode = kNormalSpeed,
                  std::uint16_t codeExtra = 0) {
        m_recorder.send(MessageId::PLAY_DATA, item,
                        static_cast<std::uint16_t>(kFragmentLast | speedCode), codeExtra);
    }
    std::string lastTitle(unsigned channel) const {
        const auto frames = m_frames.frames(channel);
        return frames.empty() ? std::string("<none>")
                              : std::string(frames.back().descriptor.title.data());
    }
};

TEST_F(PlaybackStarted, TitlesComeFromTheRecordingHeaderOrTheChannel) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_FALSE(m_session->live().liveOn());
    sendItem(playItem(1, std::nullopt));
    sendItem(playItem(0, "Gate"));
    sendItem(playItem(3, "Ignored", kRecordingTag, 0));
    sync();
    EXPECT_EQ(lastTitle(1), "CH2");
    EXPECT_EQ(lastTitle(0), "Gate");
    EXPECT_EQ(lastTitle(3), "CH4");
    // The record holds the frame from its block on, the channel in the fragment flags.
    const auto frames = m_frames.frames(0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].data.size(), 540u);
    EXPECT_EQ(std::to_integer<int>(frames[0].data[0]), 0xFF);
    EXPECT_EQ(frames[0].header.fragmentChannel(), 0u);
    EXPECT_EQ(m_session->playback().position(), 0x5F000000u);
}

TEST_F(PlaybackStarted, WrongTagsAndShortBlocksAreDropped) {
    ASSERT_NO_FATAL_FAILURE(start());
    sendItem(playItem(2, "Gate", "kaldrviD"));
    sendItem(playItem(2, "Gate", "kaldrvidx"));
    auto cut = playItem(2, "Gate");
    cut.resize(cut.size() - 1); // the block claims one byte more video than there is
    sendItem(cut);
    sendItem(std::vector<std::byte>(3, std::byte{0xFF}));
    sync();
    EXPECT_TRUE(m_frames.frames(2).empty());
    EXPECT_EQ(m_session->playback().counters().droppedFrames, 4u);
    // The stream goes on.
    sendItem(playItem(2, "Gate"));
    sync();
    EXPECT_EQ(m_frames.frames(2).size(), 1u);
}

TEST_F(PlaybackStarted, EndOfPeriodPausesAndStillShowsFramesInFlight) {
    ASSERT_NO_FATAL_FAILURE(start());
    sendItem(playItem(0, "Gate"));
    m_recorder.send(MessageId::PLAY_ON_DONE);
    ASSERT_TRUE(m_recorder.readUntil(MessageId::PLAY_PAUSE));
    sendItem(playItem(1, "Yard"));
    sync();
    EXPECT_EQ(m_frames.frames(1).size(), 1u);
    const PlaybackState state = m_session->playback().state();
    EXPECT_TRUE(state.paused);
    EXPECT_EQ(state.seekState, SeekState::Streaming);
    EXPECT_TRUE(m_session->playback().counters().done);
    // Frames while paused earn no credit.
    EXPECT_EQ(state.creditCount, 1);
    EXPECT_TRUE(m_session->playback().buttonAllowed(PlayControl::StepForward));
    EXPECT_FALSE(m_session->playback().buttonAllowed(PlayControl::Pause));
}

TEST_F(PlaybackStarted, SoundOnlyAtNormalSpeedForTheChannelViewedAlone) {
    ASSERT_NO_FATAL_FAILURE(start());
    m_session->live().setSingleViewChannel(2);
    // The recorder's audio flag starts the player.
    sendItem(playItem(2, "Gate", kRecordingTag, 1, true), kNormalSpeed, kCodeAudioFlag);
    sync(kCodeAudioFlag);
    EXPECT_EQ(m_audio.started(), 1u);
    EXPECT_EQ(m_audio.elements().size(), 1u);
    // Another channel's sound, or sound at twice the speed, is not heard.
    sendItem(playItem(1, "Yard", kRecordingTag, 1, true), kNormalSpeed, kCodeAudioFlag);
    sendItem(playItem(2, "Gate", kRecordingTag, 1, true), 12, kCodeAudioFlag);
    sync(kCodeAudioFlag);
    EXPECT_EQ(m_audio.elements().size(), 1u);
    EXPECT_EQ(m_frames.frames(2).size(), 2u);
    // Twice the speed made the player discard and drop what it held; normal speed takes sound
    // again, and a control drops what is held once more.
    auto tail = [&](std::size_t n) {
        const auto all = m_audio.controls();
        return std::vector<std::string>(all.end() - std::min(n, all.size()), all.end());
    };
    EXPECT_EQ(tail(2), (std::vector<std::string>{"discard on", "flush"}));
    sendItem(playItem(2, "Gate", kRecordingTag, 1, true), kNormalSpeed, kCodeAudioFlag);
    sync(kCodeAudioFlag);
    EXPECT_EQ(tail(1), std::vector<std::string>{"discard off"});
    EXPECT_EQ(m_audio.elements().size(), 2u);
    ASSERT_TRUE(m_session->playback().control(PlayControl::Pause));
    EXPECT_EQ(tail(1), std::vector<std::string>{"flush"});
}

TEST_F(PlaybackStarted, StopSendsRplayStopAndFreesEveryDecoder) {
    ASSERT_NO_FATAL_FAILURE(start());
    sendItem(playItem(0, "Gate"));
    sync();
    EXPECT_EQ(m_frames.alive(), 16u); // one decoder per channel of the recorder
    m_session->playback().stop();
    ASSERT_TRUE(m_recorder.readUntil(MessageId::RPLAY_STOP));
    EXPECT_EQ(m_frames.alive(), 0u);
    EXPECT_FALSE(m_session->playbackOn());
    pumpEvents();
    EXPECT_TRUE(m_events.has(WindowMessage::PlaybackEnded));
    // Frames after the stop are read and dropped.
    sendItem(playItem(0, "Gate"));
    sync();
    EXPECT_EQ(m_frames.frames(0).size(), 1u);
}

} // namespace
} // namespace kalder::test
