#include "wire/search_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <chrono>
#include <cstring>

namespace kalder {

namespace {

bool validPosition(int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::size_t flagIndex(int month, int day) {
    return static_cast<std::size_t>((month - 1) * 31 + (day - 1));
}

template <typename Record, std::size_t Size, typename Decode>
std::vector<Record> decodeAll(std::span<const std::byte> reply, Decode decode) {
    std::vector<Record> records;
    records.reserve(reply.size() / Size);
    for (std::size_t at = 0; at + Size <= reply.size(); at += Size)
        if (auto record = decode(reply.subspan(at, Size)))
            records.push_back(*record);
    return records;
}

} // namespace

bool YearAvailability::dayRecorded(int month, int day) const {
    if (!validPosition(month, day) || day > daysInMonth(year, month))
        return false;
    return dayFlags[flagIndex(month, day)] != 0;
}

void YearAvailability::setDay(int month, int day, bool recorded) {
    if (validPosition(month, day))
        dayFlags[flagIndex(month, day)] = recorded ? 1 : 0;
}

int daysInMonth(int year, int month) {
    using namespace std::chrono;
    if (month < 1 || month > 12)
        return 0;
    const year_month_day_last last{std::chrono::year{year} / std::chrono::month{unsigned(month)} /
                                   std::chrono::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

std::array<std::byte, kYearAvailabilitySize> encodeYearAvailability(const YearAvailability& y) {
    std::array<std::byte, kYearAvailabilitySize> out{};
    ByteWriter w(out);
    w.writeBe32(static_cast<std::uint32_t>(y.year));
    w.writeBytes(std::as_bytes(std::span(y.dayFlags)));
    return out;
}

std::optional<YearAvailability> decodeYearAvailability(std::span<const std::byte> bytes) {
    ByteReader r(bytes);
    YearAvailability y;
    y.year = static_cast<std::int32_t>(r.readBe32());
    const std::span<const std::byte> flags = r.readBytes(kDayFlagCount);
    if (!r.ok())
        return std::nullopt;
    std::memcpy(y.dayFlags.data(), flags.data(), kDayFlagCount);
    return y;
}

std::array<std::byte, kDaySegmentSize> encodeDaySegment(const DaySegment& s) {
    std::array<std::byte, kDaySegmentSize> out{};
    ByteWriter w(out);
    w.writeBe32((std::uint32_t(s.motionContinuous) << 16) | s.channels);
    w.writeU8(s.kinds);
    w.writeZeros(11);
    w.writeBe32(s.start);
    w.writeBe32(s.end);
    return out;
}

std::optional<DaySegment> decodeDaySegment(std::span<const std::byte> bytes) {
    ByteReader r(bytes);
    DaySegment s;
    const std::uint32_t word = r.readBe32();
    s.channels = static_cast<std::uint16_t>(word & 0xFFFF);
    s.motionContinuous = static_cast<std::uint16_t>(word >> 16);
    s.kinds = r.readU8();
    r.skip(11);
    s.start = r.readBe32();
    s.end = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return s;
}

std::array<std::byte, kEventEntrySize> encodeEventEntry(const EventEntry& e) {
    std::array<std::byte, kEventEntrySize> out{};
    ByteWriter w(out);
    w.writeBe32(e.channels);
    w.writeU8(e.type);
    w.writeZeros(11);
    w.writeBe32(e.start);
    w.writeBe32(e.end);
    return out;
}

std::optional<EventEntry> decodeEventEntry(std::span<const std::byte> bytes) {
    ByteReader r(bytes);
    EventEntry e;
    e.channels = r.readBe32();
    e.type = r.readU8();
    r.skip(11);
    e.start = r.readBe32();
    e.end = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return e;
}

std::vector<YearAvailability> decodeYearAvailabilities(std::span<const std::byte> reply) {
    return decodeAll<YearAvailability, kYearAvailabilitySize>(reply, decodeYearAvailability);
}

std::vector<DaySegment> decodeDaySegments(std::span<const std::byte> reply) {
    return decodeAll<DaySegment, kDaySegmentSize>(reply, decodeDaySegment);
}

std::vector<EventEntry> decodeEventEntries(std::span<const std::byte> reply) {
    return decodeAll<EventEntry, kEventEntrySize>(reply, decodeEventEntry);
}

std::array<std::byte, 8> encodeDayQuery(int year, int month, int day) {
    std::array<std::byte, 8> out{};
    ByteWriter w(out);
    w.writeBe32(static_cast<std::uint32_t>(year));
    w.writeU8(static_cast<std::uint8_t>(month));
    w.writeU8(static_cast<std::uint8_t>(day));
    w.writeZeros(2);
    return out;
}

std::optional<DayQuery> decodeDayQuery(std::span<const std::byte> payload) {
    ByteReader r(payload);
    DayQuery q;
    q.year = static_cast<std::int32_t>(r.readBe32());
    q.month = r.readU8();
    q.day = r.readU8();
    r.skip(2);
    if (!r.ok())
        return std::nullopt;
    return q;
}

} // namespace kalder
