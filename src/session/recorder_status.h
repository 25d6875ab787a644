#pragma once

#include "session/user_rights.h"
#include "wire/message_header.h"
#include "wire/status_records.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

class RecorderSession;

// What the recorder pushes about itself and the user: the channel configuration (titles, covert
// channels, archive password), live-view rights, the user rights table, SYS_ETC_INFO(_EX), the
// recording state and the DST table; the hidden channels derived from them; and the replies of
// the recording, clock and device commands. Owned by its RecorderSession, whose dispatcher runs
// the handlers on the receive thread. The readers may be called from any thread.
class RecorderStatus {
public:
    explicit RecorderStatus(RecorderSession& session);
    RecorderStatus(const RecorderStatus&) = delete;
    RecorderStatus& operator=(const RecorderStatus&) = delete;

    bool recordingOn() const { return m_recordingOn; }

    bool channelHidden(unsigned channel) const;
    ChannelFlags hiddenChannels() const;
    std::array<std::string, kChannelCount> channelTitles() const;
    std::string archivePassword() const;
    std::optional<ChannelConfigRecord> channelConfig() const;
    LiveViewRights liveViewRights() const;

    UserRightsTable rightsTable() const;
    std::size_t userIndex() const { return m_userIndex; }
    bool hasRight(UserRight right) const;
    bool mayStopRecording() const { return hasRight(UserRight::StopRecording); }
    bool maySetup() const { return hasRight(UserRight::RemoteSetup); }
    bool maySearch() const { return hasRight(UserRight::Search); }
    bool mayBackup() const { return hasRight(UserRight::Backup); }
    bool mayPtz() const { return hasRight(UserRight::Ptz); }
    bool mayCovertView() const { return hasRight(UserRight::CovertView); }
    bool mayRestart() const { return hasRight(UserRight::Restart); }

    std::vector<std::byte> sysEtcInfo() const;
    std::vector<std::byte> sysEtcInfoEx() const;
    bool sysEtcInfoExPresent() const { return m_sysEtcInfoExPresent; }
    std::vector<std::byte> dstTable() const; // as received, first word in host order

private:
    void registerDeviceReplies();
    bool RecvFn_DbChange(const MessageHeader& header);
    bool RecvFn_NetliveChChange(const MessageHeader& header);
    bool RecvFn_RightChange(const MessageHeader& header);
    bool RecvFn_SysEtcInfo(const MessageHeader& header);
    bool RecvFn_SysEtcInfoEx(const MessageHeader& header);
    bool RecvFn_RecStatus(const MessageHeader& header);
    bool RecvFn_RecOnOffAck(const MessageHeader& header, bool on);
    bool RecvFn_DstInfo(const MessageHeader& header);
    bool RecvFn_DvrTimeAck(const MessageHeader& header);

    RecorderSession& m_session;

    // Guards the records below; written by the receive thread.
    mutable std::mutex m_mutex;
    std::optional<ChannelConfigRecord> m_channelConfig;
    std::array<std::string, kChannelCount> m_channelTitles;
    std::string m_archivePassword;
    LiveViewRights m_liveViewRights;
    UserRightsTable m_rights;
    std::array<std::uint8_t, kChannelCount> m_previousCovert{};
    ChannelFlags m_previousHidden{};
    std::vector<std::byte> m_sysEtcInfo;
    std::vector<std::byte> m_sysEtcInfoEx;
    std::vector<std::byte> m_dstTable;

    // Read without a lock by the GUI and the decode threads.
    std::array<std::atomic<bool>, kChannelCount> m_hidden{};
    std::atomic<std::size_t> m_userIndex{0};
    std::atomic<bool> m_sysEtcInfoExPresent{false};
    std::atomic<bool> m_recordingOn{false};
};

} // namespace kalder
