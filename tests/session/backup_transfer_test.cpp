// The backup transfer against a scripted recorder: the size request and its refusal, items the
// receive side cannot store whole, and the endings with TRANS_OFF_REQ (id 102).
#include "session_fixture.h"

#include "files/backup_set_records.h"
#include "session/backup_rules.h"
#include "wire/playback_records.h"

#include <filesystem>

namespace kalder::test {
namespace {

constexpr std::uint32_t kStart = 0x5F000000;

// One TRANS_ON_DATA item: the recording header, then block, video and audio.
std::vector<std::byte> backupItem(unsigned channel, std::uint32_t videoLength = 500,
                                  std::uint32_t magic = kFrameMagic) {
    TestFrame f;
    f.channel = channel;
    f.videoLength = videoLength;
    f.magic = magic;
    RecordingFrameHeader header;
    header.frameTime = kStart;
    header.segmentKey = 7;
    const auto head = encodeRecordingFrameHeader(header);
    std::vector<std::byte> item(head.begin(), head.end());
    const std::vector<std::byte> frame = buildFrame(f);
    item.insert(item.end(), frame.begin(), frame.end());
    return item;
}

class BackupTransferTest : public SessionFixture {
protected:
    void start() {
        ASSERT_TRUE(startSession());
        login();
        const BackupRequest request{0x0005, 0x04, kStart, kStart + 60};
        ASSERT_TRUE(m_session->backup().requestSize(request));
        EXPECT_FALSE(m_session->backup().requestSize(request)); // one at a time
        const auto asked = m_recorder.readUntil(MessageId::TRANS_ON_REQ);
        ASSERT_TRUE(asked);
        EXPECT_EQ(decodePlayOnRequest(asked->payload),
                  (PlayOnRequest{0x0005, 0x04, kStart, kStart + 60}));
        m_recorder.send(MessageId::TRANS_ON_ACK, encodePlayWord(1234));
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::BackupSizeKnown); }));
        EXPECT_EQ(m_events.last(WindowMessage::BackupSizeKnown)->wParam, 1234u);
        EXPECT_FALSE(m_session->backup().requestPending());

        m_folder = m_dataFolder / "Download";
        ASSERT_TRUE(
            m_session->backup().startTransfer({0x0005, 0, kStart, kStart + 60}, m_folder, 1234));
        EXPECT_TRUE(m_session->backupOn());
        const auto data = m_recorder.readUntil(MessageId::TRANS_DATA_REQ);
        ASSERT_TRUE(data);
        EXPECT_EQ(decodePlayOnRequest(data->payload)->kind, 0);
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::BackupProgressOpen); }));
        EXPECT_EQ(m_events.last(WindowMessage::BackupProgressOpen)->wParam, 1234u);
    }
    void sendItem(const std::vector<std::byte>& item, unsigned channel,
                  std::size_t fragment = 60000) {
        for (std::size_t at = 0; at < item.size(); at += fragment) {
            const std::size_t n = std::min(fragment, item.size() - at);
            MessageHeader header = makeHeader(MessageId::TRANS_ON_DATA, std::uint16_t(n));
            header.setFragmentChannel(channel);
            if (at + n == item.size())
                header.fragmentFlags |= kFragmentLast;
            m_recorder.send(header, std::span(item).subspan(at, n));
        }
    }
    // The ending: TRANS_OFF_REQ with id 102 goes out and the progress window closes.
    void expectEnded() {
        const auto off = m_recorder.readUntil(MessageId::TRANS_OFF_REQ);
        ASSERT_TRUE(off);
        EXPECT_EQ(off->header.messageId(), 102);
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::BackupProgressClose); }));
        EXPECT_FALSE(m_session->backup().transferRunning());
        EXPECT_FALSE(m_session->backupOn());
    }
    std::filesystem::path m_folder;
};

TEST_F(BackupTransferTest, ItemsThatCannotBeStoredWholeAreDroppedAndTheRestWritten) {
    ASSERT_NO_FATAL_FAILURE(start());
    sendItem(backupItem(2), 2);
    sendItem(backupItem(2, 500, 0x000001FE), 2); // no frame marker
    auto cut = backupItem(2);
    cut.resize(cut.size() - 1); // the block announces one byte more than came
    sendItem(cut, 2);
    // Larger than the 1,244,160-byte assembly buffer: read and dropped, never stored.
    auto huge = backupItem(0, 1'000'000);
    huge.resize(1'300'000);
    sendItem(huge, 0);
    sendItem(backupItem(0), 0);
    sync();
    EXPECT_EQ(m_session->backup().counters().frames, 2u);
    EXPECT_EQ(m_session->backup().counters().dropped, 3u);

    m_recorder.send(MessageId::TRANS_ON_DONE);
    ASSERT_NO_FATAL_FAILURE(expectEnded());
    const auto result = m_session->backup().lastResult();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->end, BackupWriteResult::End::Done);
    EXPECT_EQ(result->frames, 2u);
    EXPECT_EQ(result->bytes, 2u * (232 + 500));
    ASSERT_EQ(result->sets.size(), 1u);
    const auto files = backupSetFiles(m_folder, std::stoul(result->sets[0], nullptr, 16));
    EXPECT_EQ(std::filesystem::file_size(files.vih), 64u + 2 * 192 + 64);
}

TEST_F(BackupTransferTest, StopEndsTheTransferAndAFailureRaisesItsAlertAfterwards) {
    ASSERT_NO_FATAL_FAILURE(start());
    sendItem(backupItem(0), 0);
    sync();
    m_session->backup().stop();
    ASSERT_NO_FATAL_FAILURE(expectEnded());
    EXPECT_EQ(m_session->backup().lastResult()->end, BackupWriteResult::End::Stopped);
    // Frames still on their way after the stop are dropped.
    sendItem(backupItem(0), 0);
    sync();
    EXPECT_EQ(m_session->backup().counters().frames, 1u);

    // A second transfer, failed by the recorder: the writer closes, then the alert.
    ASSERT_TRUE(m_session->backup().startTransfer({1, 0x3F, kStart, kStart + 1}, m_folder, 1));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::TRANS_DATA_REQ));
    sendItem(backupItem(0), 0);
    m_recorder.send(MessageId::TRANS_ON_FAIL, encodePlayWord(86));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::TRANS_OFF_REQ));
    ASSERT_TRUE(waitUntil([&] { return m_events.hasNotification({6, 3}); }));
    EXPECT_EQ(m_session->backup().lastResult()->end, BackupWriteResult::End::Failed);
    EXPECT_EQ(m_session->backup().lastResult()->frames, 1u);
}

TEST_F(BackupTransferTest, SizeRefusal87KeepsTheSizePairForTheAlert) {
    ASSERT_TRUE(startSession());
    login();
    ASSERT_TRUE(m_session->backup().requestSize({1, 0x3F, kStart, kStart + 1}));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::TRANS_ON_REQ));
    std::vector<std::byte> nack;
    for (std::uint32_t word : {87u, 2048u, 1024u}) {
        const auto bytes = encodePlayWord(word);
        nack.insert(nack.end(), bytes.begin(), bytes.end());
    }
    m_recorder.send(MessageId::TRANS_ON_NACK, nack);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::BackupRefused); }));
    EXPECT_EQ(m_events.last(WindowMessage::BackupRefused)->lParam, 87);
    EXPECT_TRUE(m_events.hasNotification({6, 5}));
    EXPECT_EQ(m_session->backup().sizePair(), (std::array<std::int64_t, 2>{2048, 1024}));
    EXPECT_FALSE(m_session->backup().requestPending());
}

TEST(BackupRules, SizeTextAndUnit) {
    const struct {
        std::uint32_t kbytes;
        const char* text;
        BackupSizeUnit unit;
        std::uint32_t value;
    } cases[] = {
        {0, "0 KByte", BackupSizeUnit::Kilobyte, 0},
        {1023, "1023 KByte", BackupSizeUnit::Kilobyte, 1023},
        {1024, "1 MByte", BackupSizeUnit::Megabyte, 1},
        {1048575, "1023 MByte", BackupSizeUnit::Megabyte, 1023},
        {1048576, "1 GByte", BackupSizeUnit::Gigabyte, 1},
        {4000000000u, "3814 GByte", BackupSizeUnit::Gigabyte, 3814},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kbytes);
        const BackupSize size = backupSize(c.kbytes);
        EXPECT_EQ(size.text, c.text);
        EXPECT_EQ(size.unit, c.unit);
        EXPECT_EQ(size.value, c.value);
    }
}

TEST(BackupRules, FreeSpaceKeepsAHundredMegabytes) {
    const struct {
        std::uint64_t freeMb;
        std::uint32_t kbytes;
        bool enough;
        std::array<std::int64_t, 2> pair;
    } cases[] = {
        {1100, 1000 * 1024, true, {}},           // exactly 100 MB left
        {1099, 1000 * 1024, false, {1000, 999}}, // 99 MB left
        {1100, 1000 * 1024 + 1023, true, {}},    // the size counts in whole megabytes
        {0, 0, false, {0, -100}},                // nothing free (an optical medium)
        {50, 0, false, {0, -50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.freeMb);
        const BackupSpaceCheck check = checkBackupSpace(c.freeMb, c.kbytes);
        EXPECT_EQ(check.enough, c.enough);
        if (!c.enough) {
            EXPECT_EQ(check.sizePair, c.pair);
        }
    }
    // A real folder has its drive's numbers; one that does not exist yet its parent's.
    const DriveSpace here = driveSpace(std::filesystem::temp_directory_path() / "no" / "such");
    EXPECT_GT(here.totalMb, 0u);
    EXPECT_FALSE(here.opticalMedium);
    // A relative folder counts from the working folder (the command line's --dir).
    EXPECT_GT(driveSpace("no-such-folder/Download").totalMb, 0u);
}

} // namespace
} // namespace kalder::test
