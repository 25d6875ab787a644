// Device commands, PTZ and firmware upload of a session against a scripted recorder: the bytes
// that leave, and what the replies do.
#include "session_fixture.h"

#include "wire/firmware_records.h"
#include "wire/ptz_records.h"
#include "wire/status_records.h"

#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

namespace kalder::test {
namespace {

using DeviceSession = SessionFixture;

UserRightsTable rightsFor(const std::string& user, bool stopRecording, bool restart) {
    UserRightsTable t;
    for (auto& right : t.rights)
        right.fill(1);
    t.rights[static_cast<std::size_t>(UserRight::StopRecording)][0] = stopRecording ? 1 : 0;
    t.rights[static_cast<std::size_t>(UserRight::Restart)][0] = restart ? 1 : 0;
    t.names = {user, "u1", "u2", "u3", "u4", "u5", "u6", "u7"};
    t.passwords = {"secret", "p1", "p2", "p3", "p4", "p5", "p6", "p7"};
    return t;
}

std::vector<int> ints(const std::vector<std::byte>& bytes) {
    std::vector<int> out;
    for (std::byte b : bytes)
        out.push_back(std::to_integer<int>(b));
    return out;
}

TEST_F(DeviceSession, RecordButtonFollowsRightsAndThePrompt) {
    ASSERT_TRUE(startSession("admin", "secret"));
    login();
    m_recorder.send(MessageId::RIGHT_CHANGE,
                    encodeUserRightsTable(rightsFor("admin", false, true)));
    m_recorder.send(MessageId::REC_ON_ACK, be32Bytes(49));
    sync();
    ASSERT_TRUE(m_session->status().recordingOn());

    // Recording, without the stop-recording right: (15,0) and nothing sent.
    EXPECT_EQ(m_session->device().pressRecord(), RecordPress::NoRight);
    sync();
    EXPECT_TRUE(m_events.hasNotification({15, 0}));

    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(rightsFor("admin", true, true)));
    sync();
    EXPECT_EQ(m_session->device().pressRecord(), RecordPress::AskPassword);
    // Compared exactly, case included.
    EXPECT_EQ(m_session->device().answerRecordOffPrompt("Secret"), RecordOffAnswer::WrongPassword);
    EXPECT_EQ(m_session->device().answerRecordOffPrompt("secret"), RecordOffAnswer::Sent);
    // The first message after the syncs is the one REC_OFF_REQ.
    const auto off = m_recorder.readUntil(MessageId::REC_OFF_REQ);
    ASSERT_TRUE(off);
    for (const auto& m : m_recorder.seen())
        EXPECT_NE(m.id(), MessageId::REC_ON_REQ);
    m_recorder.send(MessageId::REC_OFF_ACK, be32Bytes(50));
    sync();
    EXPECT_FALSE(m_session->status().recordingOn());
    ASSERT_TRUE(m_events.last(WindowMessage::RecordReply));
    EXPECT_EQ(m_events.last(WindowMessage::RecordReply)->wParam, 0u);

    EXPECT_EQ(m_session->device().pressRecord(), RecordPress::SentOn);
    EXPECT_TRUE(m_recorder.readUntil(MessageId::REC_ON_REQ));

    // Restart needs its right.
    m_recorder.send(MessageId::RIGHT_CHANGE,
                    encodeUserRightsTable(rightsFor("admin", true, false)));
    sync();
    const std::size_t before = m_events.notifications().size();
    EXPECT_FALSE(m_session->device().requestReboot());
    sync();
    EXPECT_EQ(m_events.notifications().size(), before + 1);
    m_session->device().requestRecorderTime();
    const auto time = m_recorder.readUntil(MessageId::DVR_TIME_REQ);
    ASSERT_TRUE(time);
    EXPECT_EQ(time->header.payloadLength, 0);
    for (const auto& m : m_recorder.seen())
        EXPECT_NE(m.id(), MessageId::REBOOT_REQ);
}

TEST_F(DeviceSession, PtzMessagesAndTheChannelAnswer) {
    ASSERT_TRUE(startSession());
    login();
    PtzControl& ptz = m_session->ptz();
    ptz.selectPtzChannel(5, PtzMode::ZoomFocus);
    auto request = m_recorder.readUntil(MessageId::PTZ_CHANNEL_REQ);
    ASSERT_TRUE(request);
    EXPECT_EQ(ints(request->payload), (std::vector<int>{5, 1, 0, 0}));

    m_recorder.send(MessageId::PTZ_CHANNEL_ACK, std::vector<std::byte>{std::byte{2}});
    sync();
    EXPECT_EQ(ptz.ptzAvailable(), PtzControl::NoCamera);
    EXPECT_EQ(m_events.last(WindowMessage::PtzAvailability)->wParam, 0u);
    m_recorder.send(MessageId::PTZ_CHANNEL_ACK, std::vector<std::byte>{std::byte{1}, std::byte{7}});
    sync();
    EXPECT_EQ(ptz.ptzAvailable(), PtzControl::CameraPresent);
    EXPECT_EQ(m_events.last(WindowMessage::PtzAvailability)->wParam, 1u);

    // A held Up in zoom mode: command 4, then PTZ_MOVE_STOP with no payload.
    ptz.sendPtzMove(true, PtzDirection::Up, PtzMode::ZoomFocus);
    ptz.sendPtzMove(false, PtzDirection::Up, PtzMode::ZoomFocus);
    auto move = m_recorder.readUntil(MessageId::PTZ_MOVE_REQ);
    ASSERT_TRUE(move);
    EXPECT_EQ(ints(move->payload), (std::vector<int>{4, 0, 0, 0}));
    auto stop = m_recorder.readUntil(MessageId::PTZ_MOVE_STOP);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->header.payloadLength, 0);

    // Learning: started by the keypad, ended with command 11 and the number it started with.
    ptz.sendPresetCommand(2, 7);
    ptz.startLearning(7);
    EXPECT_TRUE(ptz.endLearning());
    EXPECT_FALSE(ptz.endLearning());
    move = m_recorder.readUntil(MessageId::PTZ_MOVE_REQ);
    ASSERT_TRUE(move);
    EXPECT_EQ(ints(move->payload), (std::vector<int>{10, 7, 0, 0}));
    move = m_recorder.readUntil(MessageId::PTZ_MOVE_REQ);
    ASSERT_TRUE(move);
    EXPECT_EQ(ints(move->payload), (std::vector<int>{11, 7, 0, 0}));
    EXPECT_FALSE(ptz.learnActive());
}

class FirmwareSession : public SessionFixture {
protected:
    std::string writeImage(std::size_t size) {
        const auto path = m_dataFolder / ("image-" + std::to_string(size) + ".bin");
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i)
            out.put(static_cast<char>(i * 7));
        return path.string();
    }
    // One candidate in row 1 (slot 3) with `path`.
    void offer(const std::string& path) {
        FirmwareScanResult scan;
        scan.rows[1] = {true, path, 1234, 3, "app"};
        m_session->firmware().setCandidates(scan);
    }
    // Requests the row, acknowledges it and starts the upload; returns the chunks the recorder
    // read up to the one with bit 14.
    std::vector<WireMessage> upload() {
        std::vector<WireMessage> chunks;
        EXPECT_EQ(m_session->firmware().requestNext(), 1);
        const auto request = m_recorder.readUntil(MessageId::FW_UPDATE_REQ);
        EXPECT_TRUE(request);
        if (!request)
            return chunks;
        EXPECT_EQ(decodeFwUpdateRequest(request->payload), (FwUpdateRequest{1234, 3, "app"}));
        m_recorder.send(MessageId::FW_UPDATE_ACK);
        EXPECT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::FirmwareUpdateAck); }));
        EXPECT_TRUE(m_session->firmware().startUpload());
        for (;;) {
            auto chunk = m_recorder.readUntil(MessageId::FW_DATA);
            if (!chunk)
                break;
            chunks.push_back(*chunk);
            if (chunk->header.fragmentFlags & kFragmentLast)
                break;
        }
        return chunks;
    }
};

TEST_F(FirmwareSession, ChunksOfAtMost8000BytesWithBit14OnTheLast) {
    ASSERT_TRUE(startSession());
    login();
    struct Case {
        std::size_t size;
        std::vector<std::size_t> chunks;
    };
    const Case cases[] = {{8000, {8000}}, {8001, {8000, 1}}, {20000, {8000, 8000, 4000}}};
    // The upload thread's notices, taken here as the upgrade window takes them.
    std::mutex noticeMutex;
    std::vector<std::uint64_t> notices;
    m_session->firmware().setUploadNotice([&](std::uint64_t ticket) {
        std::lock_guard lock(noticeMutex);
        notices.push_back(ticket);
    });
    std::uint64_t lastTicket = 0;
    for (const Case& c : cases) {
        const std::string path = writeImage(c.size);
        offer(path);
        const auto chunks = upload();
        ASSERT_EQ(chunks.size(), c.chunks.size()) << c.size;
        std::vector<std::byte> whole;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].payload.size(), c.chunks[i]);
            EXPECT_EQ(chunks[i].header.code, 0x4900);
            EXPECT_EQ(chunks[i].header.fragmentFlags, i + 1 == chunks.size() ? 0x4000 : 0);
            whole.insert(whole.end(), chunks[i].payload.begin(), chunks[i].payload.end());
        }
        for (std::size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(std::to_integer<int>(whole[i]), static_cast<int>((i * 7) & 0xFF));
        std::uint64_t thisTicket = 0;
        // Some notice tells of the thread's end: an owner that reads the state after each one
        // sees it without polling.
        ASSERT_TRUE(waitUntil([&] {
            std::vector<std::uint64_t> arrived;
            {
                std::lock_guard lock(noticeMutex);
                arrived.swap(notices);
            }
            bool ended = false;
            for (std::uint64_t ticket : arrived) {
                EXPECT_NE(ticket, lastTicket); // each upload has a ticket of its own
                if (m_session->firmware().takeUploadNotice(ticket)) {
                    ended = !m_session->firmware().uploadRunning();
                    thisTicket = ticket;
                }
            }
            return ended;
        }));
        EXPECT_EQ(m_session->firmware().rowProgress(1), 100);
        if (lastTicket != 0) {
            EXPECT_FALSE(m_session->firmware().takeUploadNotice(lastTicket)); // a stale one
        }
        lastTicket = thisTicket;

        m_recorder.send(MessageId::FW_DATA_RX_DONE);
        m_recorder.send(MessageId::FW_UPDATE_DONE);
        sync();
        EXPECT_EQ(m_session->firmware().rowState(1), UpgradeRowState::Done);
        m_session->firmware().stopUpload();
        EXPECT_EQ(m_session->firmware().requestNext(), -1); // nothing else was offered
    }
    m_session->firmware().setUploadNotice({});
}

TEST_F(FirmwareSession, EachReplyEndsTheRowItsWayAndLateRepliesAreDropped) {
    ASSERT_TRUE(startSession());
    login();
    const std::string path = writeImage(100);
    struct Case {
        std::uint16_t reply;
        bool code;
        int message;
        UpgradeRowState state;
    };
    const Case cases[] = {
        {MessageId::FW_UPDATE_NACK, true, WindowMessage::FirmwareUpdateNack,
         UpgradeRowState::Refused},
        {MessageId::FW_DATA_RX_FAIL, true, WindowMessage::FirmwareDataRxFail,
         UpgradeRowState::Failed},
        {MessageId::FW_UPDATE_FAIL, true, WindowMessage::FirmwareUpdateFail,
         UpgradeRowState::Failed},
        {MessageId::FW_UPDATE_DONE, false, WindowMessage::FirmwareUpdateDone,
         UpgradeRowState::Done},
    };
    for (const Case& c : cases) {
        offer(path);
        ASSERT_EQ(m_session->firmware().requestNext(), 1);
        ASSERT_TRUE(m_recorder.readUntil(MessageId::FW_UPDATE_REQ));
        const std::size_t before = m_events.count(c.message);
        // Twice: only the first belongs to the row in progress.
        for (int i = 0; i < 2; ++i) {
            if (c.code)
                m_recorder.send(c.reply, be32Bytes(17));
            else
                m_recorder.send(c.reply);
        }
        sync();
        EXPECT_EQ(m_events.count(c.message), before + 1) << c.reply;
        EXPECT_EQ(m_session->firmware().rowState(1), c.state);
        if (c.code) {
            EXPECT_EQ(m_session->firmware().rowCode(1), 17);
            EXPECT_EQ(m_events.last(c.message)->wParam, 17u);
        }
    }
    EXPECT_EQ(m_session->firmware().upgradedCount(), 1);
    EXPECT_FALSE(m_session->firmware().uploadRunning());
}

} // namespace
} // namespace kalder::test
