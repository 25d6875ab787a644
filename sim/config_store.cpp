// The recorder's configuration record: a factory record with plausible contents, the stored
// record behind DB_INFO_ACK, and the updates of DB_UPDATE_REQ taken into the model.
#include "sim/config_store.h"

#include "sim/recorder_model.h"
#include "sim/recording_reflection.h"
#include "sim/sim_config.h"

#include <algorithm>

namespace kalder::sim {

namespace {

constexpr std::size_t kChannels = 16;
constexpr std::size_t kAccounts = 8;
constexpr std::size_t kRights = 8;
constexpr std::size_t kTitleMax = 30; // characters of a camera title the recorder keeps

const ConfigField& F(std::string_view name) {
    // Names here are fixed; a missing one is a programming error caught by the tests.
    static const ConfigField none{"", 0, 0, 0, FieldClass::Byte};
    const ConfigField* f = findConfigField(name);
    return f ? *f : none;
}

void fill(ConfigRecord& r, std::string_view name, std::uint32_t value) {
    const ConfigField& f = F(name);
    for (std::size_t i = 0; i < f.count; ++i)
        r.setValue(f, i, value);
}

// The fields the model owns, written into `r` as the model now has them.
void overlayModel(ConfigRecord& r, const SimConfig& c) {
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        r.setText(F("camera_title"), ch, c.channels[ch].title.substr(0, kTitleMax),
                  TextFill::ClearField);
        r.setValue(F("covert"), ch, c.channels[ch].covert ? 1 : 0);
    }
    for (std::size_t a = 0; a < kAccounts; ++a) {
        const AccountSettings& acc = c.accounts[a];
        for (std::size_t k = 0; k < kRights; ++k)
            r.setRight(a, k, acc.rights[k]);
        r.setValue(F("account_level"), a, acc.level);
        r.setText(F("account_name"), a, acc.name, TextFill::ClearField);
        r.setText(F("account_password"), a, acc.password, TextFill::ClearField);
        for (std::size_t ch = 0; ch < kChannels; ++ch)
            r.setValue(F("live_channel"), 16 * a + ch, (acc.liveViewMask >> ch) & 1u);
    }
    r.setText(F("archive_pass"), 0, c.archivePassword, TextFill::ClearField);
    r.setValue(F("video_standard"), 0, c.pal ? 1 : 0);
}

} // namespace

std::vector<std::byte> buildFactoryRecord(const SimConfig& config, RecordVersion version,
                                          std::size_t length) {
    // Reserved bytes carry a pattern of their own, so that a client that does not carry them
    // back unchanged is caught.
    std::vector<std::byte> bytes(std::max(length, kConfigRecordCapacity));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::byte>((i * 7 + 3) & 0xFF);
    for (const ConfigField& f : configFields())
        std::fill_n(bytes.begin() + f.offset, f.size(), std::byte{0});

    ConfigRecord r = ConfigRecord::fromRecordBytes(bytes);
    r.setValue(F("record_major_ver"), 0, version.major);
    r.setValue(F("record_minor_ver"), 0, version.minor);
    for (const char* name : {"hue", "saturation", "contrast", "brightness"})
        fill(r, name, 50);
    fill(r, "spot_dwell", 5);
    fill(r, "spot_enable", 1);
    r.setValue(F("osd_choice_1"), 0, 1);
    r.setValue(F("osd_flag_1"), 0, 1);
    r.setValue(F("osd_choice_2"), 0, 2);
    r.setValue(F("rec_resolution"), 0, 2);
    r.setValue(F("rec_rate"), 0, config.pal ? 25 : 30);
    r.setValue(F("rec_time_1"), 0, 5);
    r.setValue(F("rec_time_2"), 0, 120);
    r.setValue(F("rec_choice_1"), 0, 1);
    const unsigned fullRate = config.pal ? 25 : 30;
    fill(r, "profile_a_rate", fullRate);
    fill(r, "profile_a_audio", 1);
    fill(r, "profile_b_rate", 15);
    fill(r, "profile_c_rate", fullRate);
    fill(r, "profile_c_sensitivity", 1);
    fill(r, "profile_d_rate", 7);
    fill(r, "profile_e_rate", 5);
    fill(r, "profile_e_sensitivity", 2);
    for (std::size_t ch = 0; ch < kChannels; ++ch)
        for (std::size_t row = 0; row < 8; ++row)
            for (std::size_t col = 0; col < 10; ++col)
                r.setValue(F("motion_area"), 99 * ch + 11 * row + col, 1);
    // Working hours on weekdays, the rest of the week off.
    for (std::size_t day = 1; day <= 5; ++day)
        for (std::size_t hour = 8; hour < 18; ++hour)
            r.setValue(F("schedule"), 24 * day + hour, 1);
    fill(r, "block_f_on_1", 1);
    r.setValue(F("block_f_days"), 0, 30);
    for (std::size_t row = 0; row < 5; ++row)
        r.setValue(F("output_assign"), row, static_cast<std::uint32_t>(row));
    fill(r, "sensor_type", 1);
    r.setValue(F("auto_delete_days"), 0, 0);
    for (std::size_t ch = 0; ch < kChannels; ++ch)
        r.setValue(F("ptz_id"), ch, static_cast<std::uint32_t>(ch + 1));
    fill(r, "ptz_baud", 2);
    r.setValue(F("keyboard_id"), 0, 1);
    r.setValue(F("reserved_3504"), 0, 0x00010203);
    r.setValue(F("reserved_3508"), 0, 0x0A0B0C0D);
    r.setText(F("mail_text_1"), 0, "smtp.example.net", TextFill::ClearField);
    r.setText(F("mail_text_2"), 0, "recorder@example.net", TextFill::ClearField);
    r.setText(F("mail_text_3"), 0, "guard@example.net", TextFill::ClearField);
    r.setText(F("mail_text_4"), 0, "Alarm at the recorder", TextFill::ClearField);
    fill(r, "notify_a", 1);
    fill(r, "resolution", 2);
    r.setValue(F("time_zone"), 0, 13);
    r.setValue(F("ntp_enable"), 0, 1);
    r.setText(F("ntp_server_default"), 0, "time.example.net", TextFill::ClearField);
    for (std::size_t i = 0; i < 4; ++i)
        r.setValue(F("ntp_address"), i, i == 0 ? 192 : i == 1 ? 0 : i == 2 ? 2 : 123);
    r.setValue(F("reserved_4216"), 0, 0x1234);
    r.setValue(F("reserved_4218"), 0, 0x5678);
    fill(r, "pan_low", 2);
    fill(r, "pan_high", 7);
    fill(r, "tilt_low", 1);
    fill(r, "tilt_high", 8);
    r.setValue(F("reserved_4448"), 0, 0x11121314);
    r.setValue(F("reserved_4452"), 0, 0x21222324);
    r.setValue(F("reserved_4456"), 0, 0x31323334);
    r.setValue(F("notify_b_time"), 0, 10);
    r.setValue(F("notify_c_time"), 0, 300);
    fill(r, "area_right", 43);
    fill(r, "area_bottom", 29);
    fill(r, "deinterlace", 1);
    for (std::size_t i = 0; i < 512; ++i)
        r.setValue(F("reserved_4600"), i, static_cast<std::uint32_t>(0x0100 + i));
    for (std::size_t ch = 0; ch < kChannels; ++ch)
        for (std::size_t k = 0; k < 4; ++k)
            r.setValue(F("link_value"), 4 * ch + k, static_cast<std::uint32_t>(100 + k));
    r.setValue(F("smart_value"), 0, 20);
    if (version.above(4, 6))
        r.setValue(F("notify_a_5"), 0, 1);
    fill(r, "account_logout_1", 0);
    fill(r, "account_logout_2", 2);
    describeRecording(config, r);
    overlayModel(r, config);

    std::vector<std::byte> record = r.seal();
    record.erase(record.begin(), record.begin() + kConfigCrcSize);
    record.resize(length);
    return record;
}

ConfigStore::ConfigStore(const SimConfig& config)
    : m_factory(buildFactoryRecord(config, {config.recordMajor, config.recordMinor},
                                   config.recordLength)),
      m_record(m_factory) {}

std::vector<std::byte> ConfigStore::transferPayload(const RecorderModel& model) const {
    const SimConfig config = model.config();
    const std::uint32_t now = model.recorderTime();
    std::lock_guard lock(m_mutex);
    ConfigRecord r = ConfigRecord::fromRecordBytes(m_record);
    overlayModel(r, config);
    r.setValue(F("dvr_time"), 0, now);
    std::vector<std::byte> payload = r.seal();
    if (m_badCrc && !payload.empty())
        payload[0] ^= std::byte{0x5A};
    return payload;
}

std::int32_t ConfigStore::applyUpdate(std::span<const std::byte> payload, RecorderModel& model,
                                      const std::function<void(std::int32_t)>& answer) {
    std::optional<ConfigRecord> record;
    std::int32_t code = 0;
    {
        std::lock_guard lock(m_mutex);
        if (payload.size() != m_record.size() + kConfigCrcSize || !verifyConfigTransfer(payload)) {
            code = 1;
        } else if (m_updateNack != 0) {
            code = m_updateNack;
        } else {
            m_record.assign(payload.begin() + kConfigCrcSize, payload.end());
            ++m_updatesApplied;
            record = ConfigRecord::fromRecordBytes(m_record);
        }
    }
    answer(code);
    if (record)
        applyToModel(*record, model);
    return code;
}

void ConfigStore::reset(RecorderModel& model) {
    ConfigRecord record;
    {
        std::lock_guard lock(m_mutex);
        m_record = m_factory;
        record = ConfigRecord::fromRecordBytes(m_record);
    }
    applyToModel(record, model);
}

void ConfigStore::applyToModel(const ConfigRecord& r, RecorderModel& model) const {
    // A short record lacks the fields past its end: the model keeps what it has for them.
    const auto has = [&r](std::string_view name) { return F(name).end() <= r.recordLength(); };
    model.editConfig(
        [&r, &has](SimConfig& c) {
            reflectRecording(r, c);
            if (!has("covert") || !has("camera_title"))
                return;
            for (std::size_t ch = 0; ch < kChannels; ++ch) {
                c.channels[ch].title = r.text(F("camera_title"), ch).substr(0, kTitleMax);
                c.channels[ch].covert = r.value(F("covert"), ch) != 0;
            }
            if (!has("account_password"))
                return;
            for (std::size_t a = 0; a < kAccounts; ++a) {
                AccountSettings& acc = c.accounts[a];
                for (std::size_t k = 0; k < kRights; ++k)
                    acc.rights[k] = r.right(a, k);
                acc.level = static_cast<std::uint8_t>(r.value(F("account_level"), a));
                acc.name = r.text(F("account_name"), a);
                acc.password = r.text(F("account_password"), a);
                if (!has("live_channel"))
                    continue;
                std::uint16_t mask = 0;
                for (std::size_t ch = 0; ch < kChannels; ++ch)
                    if (r.value(F("live_channel"), 16 * a + ch))
                        mask = static_cast<std::uint16_t>(mask | (1u << ch));
                acc.liveViewMask = mask;
            }
            if (has("archive_pass"))
                c.archivePassword = r.text(F("archive_pass"), 0);
        },
        ModelChange::Rights | ModelChange::LiveView | ModelChange::Channels);
    reflectDeviceSettings(r, model);
}

void ConfigStore::setBadCrc(bool bad) {
    std::lock_guard lock(m_mutex);
    m_badCrc = bad;
}

void ConfigStore::setUpdateNack(std::int32_t code) {
    std::lock_guard lock(m_mutex);
    m_updateNack = code;
}

std::size_t ConfigStore::updatesApplied() const {
    std::lock_guard lock(m_mutex);
    return m_updatesApplied;
}

} // namespace kalder::sim
