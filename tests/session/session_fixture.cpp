#include "session_fixture.h"

#include "wire/byte_reader.h"

#include <fstream>
#include <unistd.h>

namespace kalder::test {

HelloRecord servedHello() {
    HelloRecord h;
    h.protocol_major_ver = 1;
    h.protocol_minor_ver = 2;
    h.product_number = 4;
    h.product_major_ver = 1;
    h.product_minor_ver = 1;
    h.channel_num = 16;
    h.mac = {0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
    for (std::size_t i = 0; i < kFirmwareEntries; ++i) {
        h.firmName[i] = "component" + std::to_string(i);
        h.firmVer[i] = 1000000 + static_cast<std::uint32_t>(i);
    }
    return h;
}

std::vector<std::byte> buildFrame(const TestFrame& f) {
    FrameInfoBlock block;
    block.frameMagic = f.magic;
    block.channel = static_cast<std::uint8_t>(f.channel);
    block.audioChannelNibble = static_cast<std::uint8_t>(f.audioChannel);
    block.resolutionCode = f.resolutionCode;
    block.totalLength =
        static_cast<std::uint32_t>(kFrameInfoBlockSize) + f.videoLength + f.audioLength;
    block.infoWord = f.infoWord;
    block.lineStandard625 = f.line625;
    block.videoLength = f.videoLength;
    block.audioLength = f.audioLength;
    block.audioMarker = f.audioMarker;
    block.infoHalf = f.infoHalf;
    block.frameType = f.frameType;
    const auto head = encodeFrameInfoBlock(block);
    std::vector<std::byte> bytes(head.begin(), head.end());
    for (std::uint32_t i = 0; i < f.videoLength; ++i)
        bytes.push_back(static_cast<std::byte>((i * 7 + f.channel) & 0xFF));
    for (std::uint32_t i = 0; i < f.audioLength; ++i)
        bytes.push_back(static_cast<std::byte>((i + 3) & 0xFF));
    return bytes;
}

void SessionFixture::SetUp() {
    ensureCoreApplication();
    m_dataFolder = std::filesystem::path(KALDER_TEST_CACHE_DIR) /
                   ("session-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dataFolder);
    configureLocalLog({m_dataFolder, false, 0});
    m_session = std::make_unique<RecorderSession>(&m_events);
    m_session->live().setFrameConsumerFactory(&m_frames);
    m_session->live().setAudioConsumerFactory(&m_audio);
    m_session->live().setSoundDeviceAvailable(true);
}

void SessionFixture::TearDown() {
    if (m_session) {
        m_session->disconnect();
        EXPECT_TRUE(m_session->threadsEnded());
        m_session.reset();
    }
    pumpEvents();
    std::filesystem::remove_all(m_dataFolder);
}

std::optional<WireMessage> SessionFixture::startSession(const std::string& user,
                                                        const std::string& password) {
    m_session->setAddress("127.0.0.1");
    m_session->setUserId(user);
    m_session->setPassword(password);
    m_session->startOnConnectedSocket(m_recorder.sessionEnd());
    return m_recorder.readUntil(MessageId::HELLO);
}

void SessionFixture::login(const HelloRecord& hello) {
    m_recorder.send(MessageId::HELLO48_ACK, encodeHelloRecord(hello));
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::LoggedIn); }));
    ASSERT_TRUE(m_recorder.readUntil(MessageId::LIVE_REQ));
}

void SessionFixture::goLive(std::uint32_t word) {
    m_recorder.send(MessageId::LIVE_CHANNEL_INFO, be32Bytes(word));
    const std::size_t before = m_events.count(WindowMessage::LiveChannels);
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::LiveChannels) > before; }));
    ASSERT_TRUE(m_session->live().liveOn());
}

void SessionFixture::sendFrame(const std::vector<std::byte>& frame, std::size_t fragmentSize,
                               std::uint32_t clock, std::uint16_t codeExtra) {
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(fragmentSize, frame.size() - offset);
        const bool last = offset + n == frame.size();
        m_recorder.send(MessageId::LIVE_DATA, std::span<const std::byte>(frame.data() + offset, n),
                        last ? kFragmentLast : 0, codeExtra, clock);
        offset += n;
    } while (offset < frame.size());
}

void SessionFixture::sync(std::uint16_t codeExtra) {
    ++m_syncCount;
    m_recorder.send(MessageId::DVR_TIME_ACK, be32Bytes(0xABC00000u + m_syncCount), 0, codeExtra);
    ASSERT_TRUE(waitUntil([&] {
        auto m = m_events.last(WindowMessage::RecorderTimeToTimePage);
        return m && m->wParam == 0xABC00000u + m_syncCount;
    }));
}

std::vector<LocalLogRecord> SessionFixture::logEntries() const {
    std::ifstream in(localLogFilePath(m_dataFolder), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<LocalLogRecord> records;
    if (bytes.size() < kLocalLogHeaderSize)
        return records;
    const auto* data = reinterpret_cast<const std::byte*>(bytes.data());
    const auto header = decodeLocalLogHeader(std::span(data, kLocalLogHeaderSize));
    if (!header)
        return records;
    const std::size_t count = header->wrapped ? kLocalLogSlotCount : header->nextIndex;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kLocalLogHeaderSize + i * kLocalLogRecordSize;
        if (at + kLocalLogRecordSize > bytes.size())
            break;
        if (auto r = decodeLocalLogRecord(std::span(data + at, kLocalLogRecordSize)))
            records.push_back(*r);
    }
    return records;
}

} // namespace kalder::test
