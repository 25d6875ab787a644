// Status records and user rights pushed by the recorder, and the replies of the recording and
// clock commands.
#include "session/recorder_status.h"

#include "session/live_stream.h"
#include "session/recorder_session.h"

#include "wire/byte_reader.h"
#include "wire/device_records.h"
#include "wire/message_catalogue.h"
#include "net/trace.h"
#include "session/window_message.h"

#include <cstring>

namespace kalder {

namespace {

// A grace period, not a wait for a condition: a decode thread may be in the middle of a frame
// that it checked against the old hidden state, and nothing tells the session when that frame
// is done (decoders never report to the session). The repaint comes after the pictures begun
// before the change have been handed over, so a newly hidden cell does not show one of them
// again. The receive thread pays for it only when the hidden state really changed.
constexpr auto kHiddenRepaintDelay = std::chrono::milliseconds(50);

std::uintptr_t look(bool pressed) {
    return static_cast<std::uintptr_t>(pressed ? ButtonLook::Pressed : ButtonLook::Released);
}

} // namespace

RecorderStatus::RecorderStatus(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    auto bind = [this](std::uint16_t id, bool (RecorderStatus::*fn)(const MessageHeader&)) {
        m_session.registerHandler(id,
                                  [this, fn](const MessageHeader& h) { return (this->*fn)(h); });
    };
    bind(DB_CHANGE, &RecorderStatus::RecvFn_DbChange);
    bind(NETLIVE_CH_CHANGE, &RecorderStatus::RecvFn_NetliveChChange);
    bind(RIGHT_CHANGE, &RecorderStatus::RecvFn_RightChange);
    bind(SYS_ETC_INFO, &RecorderStatus::RecvFn_SysEtcInfo);
    bind(SYS_ETC_INFO_EX, &RecorderStatus::RecvFn_SysEtcInfoEx);
    bind(REC_STATUS, &RecorderStatus::RecvFn_RecStatus);
    bind(DST_INFO, &RecorderStatus::RecvFn_DstInfo);
    bind(DVR_TIME_ACK, &RecorderStatus::RecvFn_DvrTimeAck);
    m_session.registerHandler(
        REC_ON_ACK, [this](const MessageHeader& h) { return RecvFn_RecOnOffAck(h, true); });
    m_session.registerHandler(
        REC_OFF_ACK, [this](const MessageHeader& h) { return RecvFn_RecOnOffAck(h, false); });
    registerDeviceReplies();
}

// Replies of the device commands (recording, restart, power off, configuration reset, test
// mail) and the notice nobody uses.
void RecorderStatus::registerDeviceReplies() {
    using namespace MessageId;
    // Negative replies: the reply code becomes a notification.
    for (std::uint16_t id : {REC_ON_NACK, REC_OFF_NACK, REBOOT_NACK, POWEROFF_NACK, DB_INIT_NACK,
                             SEND_TEST_MAIL_NACK}) {
        m_session.registerHandler(id, [this, id](const MessageHeader& h) {
            const std::int32_t code = readNackCode(m_session.socket(), h);
            if (code == kNackReadFailed)
                return false;
            m_session.notifyNack(id, code);
            if (id == SEND_TEST_MAIL_NACK)
                m_session.post(WindowMessage::TestMailAnswer, 0, code);
            return true;
        });
    }
    for (std::uint16_t id : {REBOOT_ACK, POWEROFF_ACK, DB_INIT_ACK})
        m_session.registerEmptyReplyHandler(id, [](const MessageHeader&) {});
    // The e-mail page that asked says that the recorder sent the mail.
    m_session.registerEmptyReplyHandler(SEND_TEST_MAIL_ACK, [this](const MessageHeader&) {
        m_session.post(WindowMessage::TestMailAnswer, 1);
    });
    // Three words nobody uses: read and dropped.
    m_session.registerHandler(NOTICE_257, [this](const MessageHeader& h) {
        return discardPayload(m_session.socket(), h);
    });
}

bool RecorderStatus::channelHidden(unsigned channel) const {
    return channel < kChannelCount && m_hidden[channel];
}

ChannelFlags RecorderStatus::hiddenChannels() const {
    ChannelFlags flags{};
    for (std::size_t n = 0; n < kChannelCount; ++n)
        flags[n] = m_hidden[n];
    return flags;
}

std::array<std::string, kChannelCount> RecorderStatus::channelTitles() const {
    std::lock_guard lock(m_mutex);
    return m_channelTitles;
}

std::string RecorderStatus::archivePassword() const {
    std::lock_guard lock(m_mutex);
    return m_archivePassword;
}

std::optional<ChannelConfigRecord> RecorderStatus::channelConfig() const {
    std::lock_guard lock(m_mutex);
    return m_channelConfig;
}

LiveViewRights RecorderStatus::liveViewRights() const {
    std::lock_guard lock(m_mutex);
    return m_liveViewRights;
}

UserRightsTable RecorderStatus::rightsTable() const {
    std::lock_guard lock(m_mutex);
    return m_rights;
}

bool RecorderStatus::hasRight(UserRight right) const {
    std::lock_guard lock(m_mutex);
    return m_rights.granted(right, m_userIndex);
}

std::vector<std::byte> RecorderStatus::sysEtcInfo() const {
    std::lock_guard lock(m_mutex);
    return m_sysEtcInfo;
}

std::vector<std::byte> RecorderStatus::sysEtcInfoEx() const {
    std::lock_guard lock(m_mutex);
    return m_sysEtcInfoEx;
}

std::vector<std::byte> RecorderStatus::dstTable() const {
    std::lock_guard lock(m_mutex);
    return m_dstTable;
}

bool RecorderStatus::RecvFn_DbChange(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    const std::optional<ChannelConfigRecord> record = decodeChannelConfigRecord(payload);
    if (!record) {
        trace("db change size : %zu\n", payload.size());
        return true;
    }
    int changed = 0;
    bool titlesChanged = false;
    {
        std::lock_guard lock(m_mutex);
        m_channelConfig = record;
        titlesChanged = m_channelTitles != record->titles;
        m_channelTitles = record->titles;
        const ChannelFlags hidden =
            kalder::hiddenChannels(*record, m_liveViewRights, m_rights, m_userIndex);
        for (std::size_t n = 0; n < kChannelCount; ++n) {
            m_hidden[n] = hidden[n];
            if (hidden[n] != m_previousHidden[n])
                ++changed;
        }
        m_previousHidden = hidden;
        m_archivePassword = record->archive_pass;
    }
    if (changed != 0) {
        // Give the decoders a moment to see the new state before the window repaints (above).
        std::this_thread::sleep_for(kHiddenRepaintDelay);
        m_session.postLatest(WindowMessage::HiddenChannelsChanged);
    }
    if (titlesChanged)
        m_session.postLatest(WindowMessage::ChannelTitlesChanged);
    if (m_session.audioOn())
        m_session.postLatest(WindowMessage::AudioChannel, record->audioChannel);
    return true;
}

bool RecorderStatus::RecvFn_NetliveChChange(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    const std::optional<LiveViewRights> rights = decodeLiveViewRights(payload);
    std::lock_guard lock(m_mutex);
    m_liveViewRights = rights.value_or(LiveViewRights{});
    return true;
}

bool RecorderStatus::RecvFn_RightChange(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    const UserRightsTable table = decodeUserRightsTable(payload).value_or(UserRightsTable{});

    const std::optional<std::size_t> match = findUser(table, m_session.userId());
    std::size_t user;
    {
        std::lock_guard lock(m_mutex);
        m_rights = table;
        if (match && !mayLogIn(table, *match)) {
            // The user may no longer log in: the receive thread ends after this message.
            m_session.stopReceiving();
            m_session.notify({15, 0});
            return true;
        }
        if (match)
            m_userIndex = *match;
        user = m_userIndex;
    }
    if (match)
        m_session.adoptTablePassword(table.passwords[*match]);

    if (!table.granted(UserRight::RemoteSetup, user))
        m_session.post(WindowMessage::CloseWindow, CloseTarget::RemoteSetup);

    const bool search = table.granted(UserRight::Search, user);
    const SearchBackupReaction reaction = searchBackupReaction(
        search, table.granted(UserRight::Backup, user), m_session.featureBit0());
    if (reaction.closeRequestWindow) {
        m_session.post(WindowMessage::CloseWindow, CloseTarget::RequestWindow);
        m_session.post(WindowMessage::CloseWindow, m_session.featureBit0()
                                                       ? CloseTarget::RequestWindowPasswordPrompt
                                                       : CloseTarget::MainPasswordPrompt);
    }
    if (reaction.closeRequestWindowPrompt)
        m_session.post(WindowMessage::CloseWindow, CloseTarget::RequestWindowPasswordPrompt);
    if (reaction.stopPlayback && m_session.playbackOn())
        m_session.send(makeHeader(MessageId::RPLAY_STOP));
    // A transfer ends as by Stop: TRANS_OFF_REQ and the set closed whole.
    if (reaction.stopBackup && m_session.backupOn())
        m_session.backup().stop();
    if (reaction.rightsMessage >= 0)
        m_session.postLatest(WindowMessage::RightsChanged,
                             static_cast<std::uintptr_t>(reaction.rightsMessage));
    if (!search)
        m_session.postLatest(WindowMessage::ClearSearchContext);
    if (!table.granted(UserRight::Ptz, user))
        m_session.post(WindowMessage::CloseWindow, CloseTarget::PtzPanel);

    if (!table.granted(UserRight::CovertView, user)) {
        bool changed = false;
        {
            std::lock_guard lock(m_mutex);
            const std::array<std::uint8_t, kChannelCount> covert =
                m_channelConfig ? m_channelConfig->covert
                                : std::array<std::uint8_t, kChannelCount>{};
            const ChannelFlags hidden = covertChannels(covert);
            for (std::size_t n = 0; n < kChannelCount; ++n)
                m_hidden[n] = hidden[n];
            if (covert != m_previousCovert) {
                m_previousCovert = covert;
                changed = true;
            }
        }
        if (changed) {
            m_session.live().advanceGeneration();
            m_session.post(WindowMessage::VideoWindowReset, 0);
        }
    }
    // Whoever waits for the rights before acting learns that they hold now (kalder-cli).
    m_session.postLatest(WindowMessage::RightsArrived);
    return true;
}

bool RecorderStatus::RecvFn_SysEtcInfo(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    std::lock_guard lock(m_mutex);
    m_sysEtcInfo.clear();
    if (payload.size() == kSysEtcInfoSize)
        m_sysEtcInfo = std::move(payload);
    return true;
}

bool RecorderStatus::RecvFn_SysEtcInfoEx(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    std::lock_guard lock(m_mutex);
    m_sysEtcInfoEx.clear();
    if (payload.size() == kSysEtcInfoExSize) {
        m_sysEtcInfoEx = std::move(payload);
        m_sysEtcInfoExPresent = true;
    }
    return true;
}

bool RecorderStatus::RecvFn_RecStatus(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    if (const std::optional<RecStatus> status = decodeRecStatus(payload)) {
        m_recordingOn = status->recording();
        m_session.postLatest(WindowMessage::RecordButton, look(m_recordingOn));
    }
    return true;
}

bool RecorderStatus::RecvFn_RecOnOffAck(const MessageHeader& header, bool on) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    const std::optional<std::uint32_t> state = decodeRecordingState(payload);
    if (!state)
        return true;
    m_recordingOn = recordingAfterAck(on, *state);
    m_session.postLatest(WindowMessage::RecordButton, look(m_recordingOn));
    // Whoever asked learns that the answer came (the record-off prompt, kalder-cli).
    m_session.postLatest(WindowMessage::RecordReply, m_recordingOn ? 1 : 0);
    return true;
}

bool RecorderStatus::RecvFn_DstInfo(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    if (payload.size() != kDstTableSize)
        return true;
    // The first word is kept in host order; the rules from byte 4 on stay as received.
    ByteReader r(payload);
    const std::uint32_t first = r.readBe32();
    std::memcpy(payload.data(), &first, sizeof first);
    std::lock_guard lock(m_mutex);
    m_dstTable = std::move(payload);
    return true;
}

bool RecorderStatus::RecvFn_DvrTimeAck(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    if (payload.size() < 4)
        return true;
    ByteReader r(payload);
    // The main window hands it to the time page when the setup window shows it.
    m_session.postLatest(WindowMessage::RecorderTimeToTimePage, r.readBe32());
    return true;
}

} // namespace kalder
