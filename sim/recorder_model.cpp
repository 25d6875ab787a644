#include "sim/recorder_model.h"

#include "sim/config_store.h"

#include <chrono>
#include <ctime>

namespace kalder::sim {

RecorderModel::RecorderModel(const SimConfig& config)
    : m_config(config), m_configStore(config), m_dstTable(buildDstTable()) {
    // The factory record's time settings stand for the host's clock until an update changes them.
    // The cameras are set up as the factory record addresses them.
    const ConfigRecord factory = ConfigRecord::fromRecordBytes(
        buildFactoryRecord(config, {config.recordMajor, config.recordMinor}, config.recordLength));
    m_clockSettings = readClockSettings(factory);
    m_factoryClock = m_clockSettings;
    m_ptzCameras = readPtzLinks(factory);
    m_ptzLinks = m_ptzCameras;
    DiskLayout layout;
    layout.days = config.diskDays;
    layout.seed = config.diskSeed;
    layout.end = config.diskEnd ? config.diskEnd : recorderTime();
    layout.channelCount = config.channelCount;
    m_disk = std::make_unique<RecordedDisk>(layout);
    // A disk that ends at the clock at start goes on recording live: what the channels showed a
    // moment ago can be played back. A disk laid out to end at a given time stays as laid out.
    if (config.diskEnd == 0 && config.diskDays > 0 && config.recording)
        m_disk->recordLiveFrom(layout.end + 1, [this] { return recorderTime(); });
    m_search = std::make_unique<SearchService>(*m_disk, config.searchFragmentBytes);
}

SimConfig RecorderModel::config() const {
    std::lock_guard lock(m_mutex);
    return m_config;
}

unsigned RecorderModel::channelCount() const {
    std::lock_guard lock(m_mutex);
    return m_config.channelCount;
}

LoginResult RecorderModel::authenticate(const std::string& userId,
                                        const std::string& password) const {
    std::lock_guard lock(m_mutex);
    const std::string id = toLowerAscii(userId);
    const std::string pass = toLowerAscii(password);
    for (std::size_t i = 0; i < kAccountCount; ++i) {
        const AccountSettings& a = m_config.accounts[i];
        if (a.name.empty() || toLowerAscii(a.name) != id || toLowerAscii(a.password) != pass)
            continue;
        if (!a.rights[6] || a.level == 0)
            return {std::nullopt, m_config.noLoginRightReason};
        return {i, 0};
    }
    return {std::nullopt, m_config.loginFailReason};
}

HelloRecord RecorderModel::helloRecord(std::size_t account) const {
    std::lock_guard lock(m_mutex);
    HelloRecord r;
    r.protocol_major_ver = m_config.protocolMajor;
    r.protocol_minor_ver = m_config.protocolMinor;
    r.product_number = m_config.productNumber;
    r.product_major_ver = m_config.productMajor;
    r.product_minor_ver = m_config.productMinor;
    r.front_ver = m_config.frontVersion;
    r.channel_num = static_cast<std::uint8_t>(m_config.channelCount);
    r.account = static_cast<std::uint8_t>(account);
    r.mac = m_config.mac;
    r.sub_product_num_major = m_config.subProductMajor;
    r.sub_product_num_minor = m_config.subProductMinor;
    r.flags = m_config.flags;
    for (std::size_t i = 0; i < kFirmwareCount; ++i) {
        r.firmName[i] = m_config.firmware[i].name;
        r.firmVer[i] = m_config.firmware[i].buildTime;
    }
    return r;
}

UserRightsTable RecorderModel::rightsTable() const {
    std::lock_guard lock(m_mutex);
    UserRightsTable t;
    for (std::size_t u = 0; u < kAccountCount; ++u) {
        const AccountSettings& a = m_config.accounts[u];
        for (std::size_t r = 0; r < 8; ++r)
            t.rights[r][u] = a.rights[r] ? 1 : 0;
        t.rights[static_cast<std::size_t>(UserRight::AccessLevel)][u] = a.level;
        t.names[u] = a.name;
        t.passwords[u] = a.password;
    }
    return t;
}

LiveViewRights RecorderModel::liveViewRights() const {
    std::lock_guard lock(m_mutex);
    LiveViewRights v;
    for (std::size_t u = 0; u < kAccountCount; ++u)
        for (std::size_t c = 0; c < kChannelCount; ++c)
            v.allowed[u][c] = (m_config.accounts[u].liveViewMask >> c) & 1;
    return v;
}

ChannelConfigRecord RecorderModel::channelConfig() const {
    std::lock_guard lock(m_mutex);
    ChannelConfigRecord r;
    r.word0 = m_config.channelCount;
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        r.covert[c] = m_config.channels[c].covert ? 1 : 0;
        r.titles[c] = m_config.channels[c].title;
    }
    // The record holds the audio channel 0-based, as the client uses it for its audio mask.
    r.audioChannel =
        static_cast<std::uint8_t>(m_config.audioChannel ? m_config.audioChannel - 1 : 0);
    r.archive_pass = m_config.archivePassword;
    return r;
}

RecStatus RecorderModel::recStatus() const {
    std::lock_guard lock(m_mutex);
    RecStatus s;
    s.statusBits = m_config.recording ? 1 : 0;
    s.recordingMode = m_config.recording ? 0 : 6;
    return s;
}

bool RecorderModel::recording() const {
    std::lock_guard lock(m_mutex);
    return m_config.recording;
}

bool RecorderModel::hasRight(std::size_t account, std::size_t right) const {
    std::lock_guard lock(m_mutex);
    return account < kAccountCount && right < 8 && m_config.accounts[account].rights[right];
}

std::uint16_t RecorderModel::videoLossMask() const {
    std::lock_guard lock(m_mutex);
    std::uint16_t mask = 0;
    for (unsigned c = 0; c < m_config.channelCount; ++c)
        if (m_config.channels[c].videoLoss)
            mask = static_cast<std::uint16_t>(mask | (1u << c));
    return mask;
}

unsigned RecorderModel::audioChannel() const {
    std::lock_guard lock(m_mutex);
    return m_config.audioChannel;
}

namespace {

// The wall clock in milliseconds, read as if it were UTC: the host's local time, or, once the
// recorder's time settings were changed, UTC turned into the recorder's zone and DST.
std::int64_t localWallMilliseconds(std::int64_t offsetSeconds,
                                   const std::optional<ClockSettings>& rule,
                                   std::span<const std::byte> dstTable) {
    const auto now = std::chrono::system_clock::now();
    const std::int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::int64_t utcSeconds = ms / 1000;
    if (rule) {
        if (const auto recorder = recorderSecondsAt(utcSeconds, *rule, dstTable))
            return ms + (*recorder - utcSeconds + offsetSeconds) * 1000;
    }
    const std::time_t seconds = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    return ms + (static_cast<std::int64_t>(local.tm_gmtoff) + offsetSeconds) * 1000;
}

} // namespace

std::int64_t RecorderModel::wallMilliseconds(bool withOffset) const {
    std::int64_t offset;
    std::optional<ClockSettings> rule;
    {
        std::lock_guard lock(m_mutex);
        offset = withOffset ? m_config.clockOffsetSeconds : 0;
        rule = m_clockRule;
    }
    return localWallMilliseconds(offset, rule, m_dstTable);
}

std::uint32_t RecorderModel::recorderTime() const {
    return static_cast<std::uint32_t>(wallMilliseconds(true) / 1000);
}

void RecorderModel::recorderClock(std::uint32_t& seconds, std::uint16_t& milliseconds) const {
    const std::int64_t ms = wallMilliseconds(true);
    seconds = static_cast<std::uint32_t>(ms / 1000);
    const std::int64_t rest = ms % 1000;
    milliseconds = static_cast<std::uint16_t>(rest < 0 ? rest + 1000 : rest);
}

bool RecorderModel::setTitle(unsigned channel, const std::string& title) {
    {
        std::lock_guard lock(m_mutex);
        if (channel >= kMaxChannels)
            return false;
        m_config.channels[channel].title = title.substr(0, 31);
    }
    notify(ModelChange::Channels);
    return true;
}

bool RecorderModel::setCovert(unsigned channel, bool covert) {
    {
        std::lock_guard lock(m_mutex);
        if (channel >= kMaxChannels)
            return false;
        m_config.channels[channel].covert = covert;
    }
    notify(ModelChange::Channels);
    return true;
}

bool RecorderModel::setVideoLoss(unsigned channel, bool lost) {
    {
        std::lock_guard lock(m_mutex);
        if (channel >= m_config.channelCount)
            return false;
        m_config.channels[channel].videoLoss = lost;
    }
    notify(ModelChange::VideoLoss);
    return true;
}

bool RecorderModel::toggleVideoLoss(unsigned channel) {
    bool lost;
    {
        std::lock_guard lock(m_mutex);
        if (channel >= m_config.channelCount)
            return false;
        lost = !m_config.channels[channel].videoLoss;
    }
    return setVideoLoss(channel, lost);
}

bool RecorderModel::setRight(std::size_t account, std::size_t right, std::uint8_t value) {
    {
        std::lock_guard lock(m_mutex);
        if (account >= kAccountCount || right > 8)
            return false;
        if (right == 8)
            m_config.accounts[account].level = value;
        else
            m_config.accounts[account].rights[right] = value != 0;
    }
    notify(ModelChange::Rights);
    return true;
}

bool RecorderModel::setLiveView(std::size_t account, unsigned channel, bool allowed) {
    {
        std::lock_guard lock(m_mutex);
        if (account >= kAccountCount || channel >= kMaxChannels)
            return false;
        auto& mask = m_config.accounts[account].liveViewMask;
        mask =
            static_cast<std::uint16_t>(allowed ? mask | (1u << channel) : mask & ~(1u << channel));
    }
    notify(ModelChange::LiveView);
    return true;
}

bool RecorderModel::setAudioChannel(unsigned channel) {
    {
        std::lock_guard lock(m_mutex);
        if (channel > m_config.channelCount)
            return false;
        m_config.audioChannel = channel;
    }
    notify(ModelChange::Channels);
    return true;
}

void RecorderModel::setRecording(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_config.recording = on;
    }
    notify(ModelChange::Recording);
}

void RecorderModel::setClockOffset(std::int64_t seconds) {
    std::lock_guard lock(m_mutex);
    m_config.clockOffsetSeconds = seconds;
}

void RecorderModel::setRecorderTime(std::uint32_t time) {
    const std::int64_t now = wallMilliseconds(false) / 1000;
    setClockOffset(static_cast<std::int64_t>(time) - now);
}

void RecorderModel::setProductNumber(std::uint8_t number) {
    std::lock_guard lock(m_mutex);
    m_config.productNumber = number;
}

void RecorderModel::setFirmwareBuildTime(std::size_t entry, std::uint32_t buildTime) {
    if (entry >= kFirmwareCount)
        return;
    std::lock_guard lock(m_mutex);
    m_config.firmware[entry].buildTime = buildTime;
}

void RecorderModel::editConfig(const std::function<void(SimConfig&)>& edit, unsigned changes) {
    {
        std::lock_guard lock(m_mutex);
        edit(m_config);
    }
    notify(changes);
}

void RecorderModel::notify(unsigned changes) {
    std::lock_guard lock(m_listenerMutex);
    for (auto& [id, listener] : m_listeners)
        listener(changes);
}

int RecorderModel::addListener(Listener listener) {
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void RecorderModel::removeListener(int id) {
    std::lock_guard lock(m_listenerMutex);
    m_listeners.erase(id);
}

void RecorderModel::applyClockSettings(const ClockSettings& settings) {
    std::lock_guard lock(m_mutex);
    if (m_clockSettings && *m_clockSettings == settings)
        return;
    // Turning NTP on synchronises the clock: a time set by hand no longer counts.
    if (settings.ntp && !(m_clockSettings && m_clockSettings->ntp))
        m_config.clockOffsetSeconds = 0;
    m_clockSettings = settings;
    // The host's clock stands for the factory settings; any others rule the clock.
    if (settings == m_factoryClock)
        m_clockRule.reset();
    else
        m_clockRule = settings;
}

void RecorderModel::applyPtzLinks(const PtzLinks& links) {
    std::lock_guard lock(m_mutex);
    m_ptzLinks = links;
}

std::optional<std::string> RecorderModel::ptzMismatch(unsigned channel) const {
    std::lock_guard lock(m_mutex);
    if (channel >= kPtzChannels || !m_ptzLinks || !m_ptzCameras)
        return std::nullopt;
    return ptzLinkMismatch((*m_ptzLinks)[channel], (*m_ptzCameras)[channel]);
}

} // namespace kalder::sim
