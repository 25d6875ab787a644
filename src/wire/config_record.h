#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// The recorder's whole configuration: one flat big-endian record behind a 4-byte CRC-32.
//
// Transfer payload (DB_INFO_ACK reassembled, DB_UPDATE_REQ):
//   0   u32 big-endian  CRC-32 (ISO-HDLC, zlib's crc32) of bytes 4 .. end
//   4   N bytes         the record; the recorder chooses N
// The client keeps at most the first 8176 bytes of the record and always answers with a payload
// of the length it received. It never interprets a byte no page shows: such bytes go back as
// they came.

inline constexpr std::size_t kConfigRecordCapacity = 8176; // the working copy, fixed
inline constexpr std::size_t kConfigCrcSize = 4;

// How a field travels; every multi-byte integer is big-endian on the wire.
enum class FieldClass : std::uint8_t {
    Byte, // single bytes (flags, indexes, values 0..255, byte arrays)
    Be16, // u16 elements
    Be32, // u32 elements
    Text, // fixed-size NUL-terminated single-byte strings, `width` bytes each
};

// One field of the record: `count` elements of `width` bytes from `offset` (record offsets,
// payload offset minus 4). Per-channel arrays have 16 elements whatever the channel count.
struct ConfigField {
    std::string_view name;
    std::uint16_t offset;
    std::uint16_t width;
    std::uint16_t count;
    FieldClass kind;

    constexpr std::size_t size() const { return std::size_t(width) * count; }
    constexpr std::size_t end() const { return offset + size(); }
};

namespace config_detail {
using F = ConfigField;
using C = FieldClass;
inline constexpr ConfigField kFields[] = {
    // General and camera picture.
    {"record_major_ver", 0, 1, 1, C::Byte},
    {"record_minor_ver", 1, 1, 1, C::Byte},
    {"video_standard", 2, 1, 1, C::Byte},
    {"basic_option_3", 3, 1, 1, C::Byte},
    {"dvr_time", 4, 4, 1, C::Be32},
    {"hue", 8, 1, 16, C::Byte},
    {"saturation", 24, 1, 16, C::Byte},
    {"contrast", 40, 1, 16, C::Byte},
    {"brightness", 56, 1, 16, C::Byte},
    {"covert", 72, 1, 16, C::Byte},
    {"camera_title", 88, 32, 16, C::Text},
    {"spot_mode", 600, 1, 1, C::Byte},
    {"spot_dwell", 604, 1, 16, C::Byte},
    {"spot_enable", 620, 1, 16, C::Byte},
    {"osd_choice_1", 636, 1, 1, C::Byte},
    {"osd_flag_1", 637, 1, 1, C::Byte},
    {"osd_flag_2", 638, 1, 1, C::Byte},
    {"osd_choice_2", 639, 1, 1, C::Byte},
    // Recording and basic options.
    {"rec_resolution", 644, 1, 1, C::Byte},
    {"rec_flag_1", 645, 1, 1, C::Byte},
    {"rec_flag_2", 646, 1, 1, C::Byte},
    {"rec_rate", 647, 1, 1, C::Byte},
    {"rec_time_1", 648, 2, 1, C::Be16},
    {"rec_time_2", 650, 2, 1, C::Be16},
    {"rec_choice_1", 652, 1, 1, C::Byte},
    {"profile_a_rate", 656, 1, 16, C::Byte},
    {"profile_a_audio", 672, 1, 16, C::Byte},
    {"profile_b_rate", 688, 1, 16, C::Byte},
    {"profile_b_audio", 704, 1, 16, C::Byte},
    {"profile_c_rate", 720, 1, 16, C::Byte},
    {"profile_c_audio", 736, 1, 16, C::Byte},
    {"profile_c_sensitivity", 752, 1, 16, C::Byte},
    {"motion_area", 768, 1, 16 * 99, C::Byte}, // 768 + 99 ch + 11 row + column
    {"profile_d_rate", 2352, 1, 16, C::Byte},
    {"profile_d_audio", 2368, 1, 16, C::Byte},
    {"schedule", 2384, 1, 7 * 24, C::Byte}, // 2384 + 24 day + hour
    {"profile_e_rate", 2552, 1, 16, C::Byte},
    {"profile_e_audio", 2568, 1, 16, C::Byte},
    {"profile_e_sensitivity", 2584, 1, 16, C::Byte},
    {"block_f_on_1", 2616, 1, 16, C::Byte},
    {"block_f_on_2", 2632, 1, 16, C::Byte},
    {"block_f_days", 2648, 1, 1, C::Byte},
    {"output_assign", 2652, 1, 5, C::Byte},
    {"language", 2660, 1, 1, C::Byte},
    {"date_format", 2661, 1, 1, C::Byte},
    // Sensors, PTZ, time, e-mail, event actions and resolutions.
    {"sensor_type", 3088, 1, 16, C::Byte},
    {"auto_delete_days", 3104, 1, 1, C::Byte},
    {"ptz_id", 3108, 1, 16, C::Byte},
    {"ptz_protocol", 3124, 1, 16, C::Byte},
    {"ptz_baud", 3140, 1, 16, C::Byte},
    {"keyboard_id", 3156, 1, 1, C::Byte},
    {"keyboard_protocol", 3172, 1, 1, C::Byte},
    {"keyboard_baud", 3188, 1, 1, C::Byte},
    {"dst", 3204, 1, 17, C::Byte},
    {"reserved_3504", 3504, 4, 1, C::Be32},
    {"reserved_3508", 3508, 4, 1, C::Be32},
    {"mail_text_1", 3512, 128, 1, C::Text},
    {"mail_text_2", 3640, 128, 1, C::Text},
    {"mail_text_3", 3768, 128, 1, C::Text},
    {"mail_text_4", 3896, 128, 1, C::Text},
    {"mail_choice", 4024, 1, 1, C::Byte},
    {"notify_a", 4028, 1, 4, C::Byte},
    {"notify_b", 4032, 1, 4, C::Byte},
    {"notify_c", 4036, 1, 4, C::Byte},
    {"resolution", 4044, 1, 6 * 16, C::Byte}, // profiles A..E and block F, 16 channels each
    {"time_zone", 4140, 1, 1, C::Byte},
    {"ntp_enable", 4141, 1, 1, C::Byte},
    {"ntp_server_choice", 4144, 1, 1, C::Byte},
    {"ntp_server_default", 4148, 32, 1, C::Text},
    {"ntp_address", 4180, 1, 4, C::Byte},
    {"ntp_server", 4184, 32, 1, C::Text},
    {"reserved_4216", 4216, 2, 1, C::Be16},
    {"reserved_4218", 4218, 2, 1, C::Be16},
    {"pan_low", 4320, 2, 16, C::Be16},
    {"pan_high", 4352, 2, 16, C::Be16},
    {"tilt_low", 4384, 2, 16, C::Be16},
    {"tilt_high", 4416, 2, 16, C::Be16},
    {"reserved_4448", 4448, 4, 1, C::Be32},
    {"reserved_4452", 4452, 4, 1, C::Be32},
    {"reserved_4456", 4456, 4, 1, C::Be32},
    {"notify_b_time", 4460, 4, 1, C::Be32},
    {"notify_c_time", 4464, 4, 1, C::Be32},
    {"rec_channel", 4517, 1, 1, C::Byte},
    {"etc_choice_1", 4518, 1, 1, C::Byte},
    {"etc_choice_2", 4519, 1, 1, C::Byte},
    {"area_left", 4520, 1, 16, C::Byte},
    {"area_right", 4536, 1, 16, C::Byte},
    {"area_top", 4552, 1, 16, C::Byte},
    {"area_bottom", 4568, 1, 16, C::Byte},
    {"deinterlace", 4584, 1, 16, C::Byte},
    {"reserved_4600", 4600, 2, 512, C::Be16},
    // Accounts: the layout of the RIGHT_CHANGE payload.
    {"right", 5624, 1, 64, C::Byte}, // permission k of account a at 5624 + 8 k + a
    {"account_level", 5688, 1, 8, C::Byte},
    {"account_name", 5696, 32, 8, C::Text},
    {"account_password", 5952, 32, 8, C::Text},
    // Further fields.
    {"link_source", 6272, 1, 64, C::Byte},
    {"link_flag", 6336, 1, 64, C::Byte},
    {"link_value", 6400, 2, 64, C::Be16},
    {"smart_flag_1", 6528, 1, 1, C::Byte},
    {"smart_value", 6529, 1, 1, C::Byte},
    {"smart_flag_2", 6530, 1, 1, C::Byte},
    {"notify_a_5", 6531, 1, 1, C::Byte},
    {"notify_b_5", 6532, 1, 1, C::Byte},
    {"notify_c_5", 6533, 1, 1, C::Byte},
    {"osd_choice_3", 6536, 1, 1, C::Byte},
    {"osd_choice_4", 6537, 1, 1, C::Byte},
    {"osd_choice_5", 6538, 1, 1, C::Byte},
    {"archive_pass", 6540, 32, 1, C::Text},
    {"account_logout_1", 6596, 1, 8, C::Byte},
    {"account_logout_2", 6604, 1, 8, C::Byte},
    {"live_channel", 6616, 1, 128, C::Byte}, // account a, channel ch at 6616 + 16 a + ch
    {"mail_times", 6744, 1, 13, C::Byte},
    {"notify_a_channel", 6760, 1, 16, C::Byte},
};
} // namespace config_detail

// Every field of the record, in offset order. Bytes no field covers are reserved.
constexpr std::span<const ConfigField> configFields() {
    return config_detail::kFields;
}

// The field named `name`, found at compile time: a misspelt name does not build.
consteval const ConfigField& configField(std::string_view name) {
    for (const ConfigField& f : config_detail::kFields)
        if (f.name == name)
            return f;
    // Not found: reading past the table is not a constant expression.
    return config_detail::kFields[std::size(config_detail::kFields)];
}
// The same at run time (names typed by an operator); null when there is none.
const ConfigField* findConfigField(std::string_view name);

// The multi-byte stretches that change byte order, in the order they are converted: exactly
// the Be16 and Be32 fields of the table above.
struct ByteOrderRun {
    std::uint16_t offset;
    std::uint16_t width; // 2 or 4
    std::uint16_t count;
};
std::span<const ByteOrderRun> configByteOrderRuns();

// Converts the multi-byte fields of `record` in place between network and host order. Elements
// that do not lie wholly inside `record` are left alone. On a big-endian host both are no-ops.
void configToHostOrder(std::span<std::byte> record);
void configToNetworkOrder(std::span<std::byte> record);

// CRC-32 (reflected 0xEDB88320, all-ones start and final complement).
std::uint32_t configCrc32(std::span<const std::byte> bytes);

// A transfer payload's first four bytes (big-endian) equal the CRC of the rest. A payload too
// short to hold a CRC fails.
bool verifyConfigTransfer(std::span<const std::byte> payload);

// Builds a transfer payload of `length` bytes (at least 4): the record bytes at 4 .. from
// `record` (as many as it has and the length takes), the rest from `tail` (the record bytes
// beyond `record`, as received) or zero, then the CRC of bytes 4 .. length in bytes 0 .. 3.
std::vector<std::byte> sealConfigTransfer(std::span<const std::byte> record, std::size_t length,
                                          std::span<const std::byte> tail = {});

struct RecordVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    auto operator<=>(const RecordVersion&) const = default;
    bool above(std::uint8_t maj, std::uint8_t min) const { return *this > RecordVersion{maj, min}; }
};

// How a text is written into its field.
enum class TextFill : std::uint8_t {
    ClearField, // NUL up to the field's size, then the text (NTP server, archive password,
                // a deleted account's name)
    Terminate,  // the text and one NUL; the bytes after it stay as they were
};

// The working copy of a received record. The bytes stay in wire order; the typed accessors
// convert the field they touch, so the record can be sent back at any time and bytes no page
// writes are carried back bit for bit. Plain data, no locks: one thread owns a copy.
class ConfigRecord {
public:
    ConfigRecord() = default;

    // A received transfer payload whose CRC matches; nothing when it does not (or is shorter
    // than the CRC). The working copy keeps the first 8176 record bytes; the rest of a longer
    // record is kept aside and sent back as received.
    static std::optional<ConfigRecord> fromTransfer(std::span<const std::byte> payload);
    // The same without the CRC check (a saved file shown offline, a test's record).
    static ConfigRecord fromRecordBytes(std::span<const std::byte> record);

    // The payload length received (CRC included); the update has exactly this length.
    std::size_t transferLength() const { return m_transferLength; }
    // The record bytes the recorder sent (at most 8176 of them kept in the working copy).
    std::size_t recordLength() const { return m_transferLength - kConfigCrcSize; }
    std::span<const std::byte> bytes() const { return m_bytes; }
    // The update payload: CRC + record, transferLength() bytes.
    std::vector<std::byte> seal() const;

    RecordVersion version() const { return {byteAt(0), byteAt(1)}; }

    // Element `index` of an integer field in host order; 0 for an index out of range.
    std::uint32_t value(const ConfigField& field, std::size_t index = 0) const;
    // False, and nothing written, for an index out of range, a text field or a value that
    // does not fit the element.
    bool setValue(const ConfigField& field, std::size_t index, std::uint32_t value);
    // Element `index` of a text field: the bytes up to the first NUL.
    std::string text(const ConfigField& field, std::size_t index = 0) const;
    // The text is cut to width - 1 bytes so that a NUL always ends it.
    bool setText(const ConfigField& field, std::size_t index, std::string_view text, TextFill fill);

    // Accounts: permission k (0..7) of account a (0..7).
    bool right(std::size_t account, std::size_t permission) const;
    bool setRight(std::size_t account, std::size_t permission, bool granted);

    bool operator==(const ConfigRecord& other) const {
        return m_transferLength == other.m_transferLength && m_tail == other.m_tail &&
               std::memcmp(m_bytes.data(), other.m_bytes.data(), m_bytes.size()) == 0;
    }

private:
    std::uint8_t byteAt(std::size_t offset) const {
        return std::to_integer<std::uint8_t>(m_bytes[offset]);
    }

    std::array<std::byte, kConfigRecordCapacity> m_bytes{};
    std::vector<std::byte> m_tail; // record bytes beyond the working copy, as received
    std::size_t m_transferLength = kConfigCrcSize;
};

} // namespace kalder
