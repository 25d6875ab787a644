#pragma once

#include "wire/hello_record.h"
#include "wire/status_records.h"
#include "sim/recorded_disk.h"
#include "sim/search_service.h"
#include "sim/device_commands.h"
#include "sim/config_store.h"
#include "sim/sim_config.h"
#include "sim/ptz_device.h"
#include "sim/recorder_clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kalder::sim {

// What changed in the recorder model; a connection pushes the matching status records.
namespace ModelChange {
enum : unsigned {
    Rights = 1u << 0,    // RIGHT_CHANGE
    LiveView = 1u << 1,  // NETLIVE_CH_CHANGE (+ DB_CHANGE, which makes the client apply it)
    Channels = 1u << 2,  // DB_CHANGE: titles, covert flags, audio channel
    SysEtc = 1u << 3,    // SYS_ETC_INFO, SYS_ETC_INFO_EX
    Dst = 1u << 4,       // DST_INFO
    Recording = 1u << 5, // REC_STATUS
    VideoLoss = 1u << 6, // LIVE_CHANNEL_INFO to clients watching live
};
}
inline constexpr unsigned kAllStatusPushes = ModelChange::Rights | ModelChange::LiveView |
                                             ModelChange::Channels | ModelChange::SysEtc |
                                             ModelChange::Dst | ModelChange::Recording;

// Result of a login attempt.
struct LoginResult {
    std::optional<std::size_t> account; // set on success
    std::int32_t byeReason = 0;         // on failure
};

// The recorder as every connection sees it: identity, channels, accounts and rights, titles,
// clock and recording state. Shared by all connection threads and the admin thread; every
// member is guarded by m_mutex. Changes notify the registered listeners (on the changing
// thread, under m_listenerMutex; listeners only flag work for their own threads).
class RecorderModel {
public:
    explicit RecorderModel(const SimConfig& config);

    // Snapshot of the configuration as it now stands.
    SimConfig config() const;
    unsigned channelCount() const;

    LoginResult authenticate(const std::string& userId, const std::string& password) const;

    HelloRecord helloRecord(std::size_t account) const;
    UserRightsTable rightsTable() const;
    LiveViewRights liveViewRights() const;
    ChannelConfigRecord channelConfig() const;
    RecStatus recStatus() const;
    bool recording() const;
    bool hasRight(std::size_t account, std::size_t right) const;
    std::uint16_t videoLossMask() const;
    unsigned audioChannel() const; // 1-16, 0: none

    // The recorder's wall clock: seconds since 1970 of its local time, read as if it were UTC.
    std::uint32_t recorderTime() const;
    // The recorder clock with the milliseconds within its second.
    void recorderClock(std::uint32_t& seconds, std::uint16_t& milliseconds) const;

    // Changes; each notifies the listeners with the matching ModelChange bits.
    bool setTitle(unsigned channel, const std::string& title);
    bool setCovert(unsigned channel, bool covert);
    bool setVideoLoss(unsigned channel, bool lost);
    bool toggleVideoLoss(unsigned channel);
    bool setRight(std::size_t account, std::size_t right, std::uint8_t value); // right 8: level
    bool setLiveView(std::size_t account, unsigned channel, bool allowed);
    bool setAudioChannel(unsigned channel);
    void setRecording(bool on);
    void setClockOffset(std::int64_t seconds);
    void setRecorderTime(std::uint32_t time); // sets the offset so the clock reads `time` now
    void setProductNumber(std::uint8_t number);
    // A component's build time in the recorder's firmware table (entry 0-19); later logins show it.
    void setFirmwareBuildTime(std::size_t entry, std::uint32_t buildTime);
    void notify(unsigned changes);
    // Applies `edit` to the configuration under the lock, then notifies `changes` once.
    void editConfig(const std::function<void(SimConfig&)>& edit, unsigned changes);
    // The configuration record (guarded by its own mutex).
    ConfigStore& configStore() { return m_configStore; }

    // The recorded disk (built at start, read-only) and the disk queries it answers.
    const RecordedDisk& disk() const { return *m_disk; }
    SearchService& search() { return *m_search; }

    // Restart, reset, test mail, PTZ and firmware upload: state and knobs of their own.
    DeviceSim& device() { return m_device; }

    // An accepted record's time settings: while they differ from the factory record's, the
    // clock follows their zone and DST rule (recorder_clock.h); the factory settings stand for
    // the host's local time. Turning NTP on drops the offset set by hand.
    void applyClockSettings(const ClockSettings& settings);
    // An accepted record's PTZ addresses, protocols and baud rates; the cameras keep those of
    // the factory record. Why channel `channel`'s camera does not understand the recorder, or
    // nothing when it does.
    void applyPtzLinks(const PtzLinks& links);
    std::optional<std::string> ptzMismatch(unsigned channel) const;

    using Listener = std::function<void(unsigned changes)>;
    int addListener(Listener listener);
    void removeListener(int id);

private:
    std::int64_t wallMilliseconds(bool withOffset) const;

    mutable std::mutex m_mutex;
    SimConfig m_config; // guarded by m_mutex

    std::optional<ClockSettings> m_clockSettings; // guarded by m_mutex: the last applied
    std::optional<ClockSettings> m_clockRule;     // guarded by m_mutex: set once they changed
    std::optional<ClockSettings> m_factoryClock;  // fixed after construction
    std::optional<PtzLinks> m_ptzLinks;           // guarded by m_mutex: the recorder's side
    std::optional<PtzLinks> m_ptzCameras;         // fixed after construction: the cameras' side

    std::unique_ptr<RecordedDisk> m_disk;
    std::unique_ptr<SearchService> m_search;

    std::mutex m_listenerMutex;
    std::map<int, Listener> m_listeners; // guarded by m_listenerMutex
    int m_nextListener = 1;              // guarded by m_listenerMutex

    DeviceSim m_device; // guarded by its own mutex

    ConfigStore m_configStore;
    const std::array<std::byte, kDstTableSize> m_dstTable; // the regional rules, DST_INFO
};

// The recorder's fixed tables: languages, PTZ protocols, keyboards and regional DST rules.
std::array<std::byte, kSysEtcInfoSize> buildSysEtcInfo();
std::array<std::byte, kSysEtcInfoExSize> buildSysEtcInfoEx();
std::array<std::byte, kDstTableSize> buildDstTable();

} // namespace kalder::sim
