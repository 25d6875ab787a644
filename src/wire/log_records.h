#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// The recorder's log as LOG_INFO_ACK carries it: fixed-size big-endian records whose size is
// announced in bytes 4-7 of the first record. Two layouts exist: 184 bytes (a 128-byte text) and
// 200 bytes (a 64-byte text, the setting before and after a change, eight extra bytes and an
// archive period).
inline constexpr std::size_t kLogRecordShortSize = 184;
inline constexpr std::size_t kLogRecordLongSize = 200;
// The client keeps at most this many records of one reply.
inline constexpr std::size_t kMaxLogRecords = 2500;
inline constexpr std::size_t kLogTextWidth = 128;
inline constexpr std::size_t kLogShortTextWidth = 64;
inline constexpr std::size_t kLogSourceWidth = 32;
inline constexpr std::size_t kLogValueBlockWire = 32; // bytes the record carries
inline constexpr std::size_t kLogValueBlockSize = 48; // bytes the client keeps (rest zero)
inline constexpr std::size_t kLogExtraSize = 8;

// Kind bits.
namespace LogKind {
enum : std::uint32_t {
    Power = 0x01,
    Record = 0x02,
    Operation = 0x04,
    Client = 0x08,
    Event = 0x10,
};
inline constexpr std::uint32_t kAll = Power | Record | Operation | Client | Event;
} // namespace LogKind

// Operation sub-kinds (bit numbers) that carry details.
namespace LogOperation {
enum : int {
    SetupChange = 4,
    Archive = 9,
    CameraTitle = 13,
    Streaming = 14,
    ScheduleChange = 15,
    RecordingModes = 16,
    CameraRecording = 17,
};
} // namespace LogOperation

// One record in host order, decoded from either layout. A 184-byte record leaves the value
// blocks, the extra bytes and the archive period zero.
struct LogRecord {
    std::uint32_t sequence = 0;
    std::uint32_t size = 0;
    std::uint32_t kindBits = 0;
    std::uint32_t subKindBits = 0;
    std::uint32_t time = 0;         // RecorderTime
    std::uint32_t channelValue = 0; // events: channel mask; operations 13/17: camera number
    std::string text;               // up to the first zero of the text field
    std::array<std::uint8_t, kLogValueBlockSize> oldValue{};
    std::array<std::uint8_t, kLogValueBlockSize> newValue{};
    std::string source; // user or host
    std::array<std::uint8_t, kLogExtraSize> extra{};
    std::uint32_t archiveStart = 0; // RecorderTime
    std::uint32_t archiveEnd = 0;   // RecorderTime

    bool operator==(const LogRecord&) const = default;
};

// Decodes one record of `bytes` (exactly one record's stride). A stride of 184 selects the short
// layout; any other stride the long one, where a field that does not lie wholly inside the
// record stays zero. Never reads past `bytes`.
LogRecord decodeLogRecord(std::span<const std::byte> bytes);

// Encodes `record` in the layout of `size` (184, else 200); the size field is written as
// `record.size` (so a test or the simulator can announce another size).
std::vector<std::byte> encodeLogRecord(const LogRecord& record, std::size_t size);

struct LogReply {
    std::vector<LogRecord> records; // in reply order, at most kMaxLogRecords
    std::size_t recordSize = 0;     // the announced size; 0 when the reply is too short
    bool rejected = false;          // the announced size is not one this client reads
};

// Decodes a whole reassembled LOG_INFO_ACK reply. The first record's size field sets the stride
// of all records; a stride below 184 or above 200 rejects the reply (no records). A trailing
// partial record is not one; records beyond kMaxLogRecords are dropped.
LogReply decodeLogReply(std::span<const std::byte> reply);

// The lowest set bit of `bits`, or -1.
int lowestBit(std::uint32_t bits);

} // namespace kalder
