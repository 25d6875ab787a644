#include "files/local_log.h"

#include "files/data_file.h"
#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalder {

namespace {

// Guards g_settings. Taken only to copy the settings, never across file work.
std::mutex g_settingsMutex;
LocalLogSettings g_settings = [] {
    LocalLogSettings s;
    const char* home = std::getenv("HOME");
    s.dataFolder = std::filesystem::path(home ? home : ".") / "H264";
    return s;
}();

// Serialises the writers of this process, so that two of our own threads logging at the same
// moment both get their entry in. The exclusive file lock below still keeps other processes out
// (and makes a foreign holder drop our entry).
std::mutex g_writeMutex;

// The ring position to write at. A header that cannot be trusted (file shorter than a header,
// nextIndex beyond the last slot, or a nextIndex past what the file holds) restarts the ring at
// slot 0, so no write ever lands outside the 2,500 slots; a file that already holds every slot
// stays marked as wrapped, so that readers still put the restarted entries last.
LocalLogHeader ringPosition(const DataFile& file, off_t fileSize) {
    LocalLogHeaderBytes bytes{};
    std::size_t got = 0;
    if (fileSize < off_t(kLocalLogHeaderSize) || !file.readAt(bytes, 0, got))
        got = 0;
    return localLogRingPosition(std::span<const std::byte>(bytes).first(got), std::uint64_t(fileSize));
}

} // namespace

LocalLogHeader localLogRingPosition(std::span<const std::byte> headerBytes, std::uint64_t fileSize) {
    const LocalLogHeader restart{fileSize >= kLocalLogMaxFileSize ? 1u : 0u, 0};
    if (fileSize < kLocalLogHeaderSize || headerBytes.size() < kLocalLogHeaderSize)
        return restart;
    const auto header = decodeLocalLogHeader(headerBytes.first(kLocalLogHeaderSize));
    if (!header || header->nextIndex >= kLocalLogSlotCount)
        return restart;
    const std::uint64_t slotStart = kLocalLogHeaderSize + header->nextIndex * kLocalLogRecordSize;
    if (slotStart > fileSize)
        return restart;
    return {header->wrapped != 0 ? 1u : 0u, header->nextIndex};
}

LocalLogAppend planLocalLogAppend(const LocalLogHeader& position, LocalLogRecord record) {
    LocalLogAppend plan;
    record.slot = position.nextIndex;
    record.recordSize = kLocalLogRecordSize;
    plan.record = encodeLocalLogRecord(record);
    plan.recordOffset = kLocalLogHeaderSize + std::uint64_t(position.nextIndex) * kLocalLogRecordSize;
    LocalLogHeader after = position;
    if (after.nextIndex >= kLocalLogSlotCount - 1) {
        after.wrapped = 1;
        after.nextIndex = 0;
    } else {
        ++after.nextIndex;
    }
    plan.header = encodeLocalLogHeader(after);
    return plan;
}

LocalLogRecordBytes encodeLocalLogRecord(const LocalLogRecord& record) {
    LocalLogRecordBytes bytes{};
    ByteWriter w(bytes);
    w.writeLe32(record.slot);
    w.writeLe32(record.recordSize);
    w.writeLe32(record.kind);
    w.writeLe32(record.event);
    w.writeLe32(record.time);
    w.writeLe32(0);
    w.writeText(record.address, kLocalLogAddressWidth);
    w.writeText(record.userId, kLocalLogUserIdWidth);
    return bytes;
}

std::optional<LocalLogRecord> decodeLocalLogRecord(std::span<const std::byte> bytes) {
    ByteReader r(bytes);
    LocalLogRecord record;
    record.slot = r.readLe32();
    record.recordSize = r.readLe32();
    record.kind = r.readLe32();
    record.event = r.readLe32();
    record.time = r.readLe32();
    r.skip(4);
    record.address = r.readText(kLocalLogAddressWidth);
    record.userId = r.readText(kLocalLogUserIdWidth);
    if (!r.ok())
        return std::nullopt;
    return record;
}

LocalLogHeaderBytes encodeLocalLogHeader(const LocalLogHeader& header) {
    LocalLogHeaderBytes bytes{};
    ByteWriter w(bytes);
    w.writeLe32(header.wrapped);
    w.writeLe32(header.nextIndex);
    return bytes;
}

std::optional<LocalLogHeader> decodeLocalLogHeader(std::span<const std::byte> bytes) {
    ByteReader r(bytes);
    LocalLogHeader header;
    header.wrapped = r.readLe32();
    header.nextIndex = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return header;
}

void configureLocalLog(const LocalLogSettings& settings) {
    std::lock_guard lock(g_settingsMutex);
    g_settings = settings;
}

LocalLogSettings localLogSettings() {
    std::lock_guard lock(g_settingsMutex);
    return g_settings;
}

std::filesystem::path localLogFilePath(const std::filesystem::path& dataFolder) {
    return dataFolder / "Log" / "Kalder.log";
}

bool appendLocalLogRecord(const std::filesystem::path& file, LocalLogRecord record) {
    std::lock_guard lock(g_writeMutex);

    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec)
        return false;

    int error = 0;
    std::optional<DataFile> f = DataFile::open(file, O_RDWR | O_CREAT, error);
    if (!f)
        return false;
    // No sharing: a writer of another process holding the file makes us drop the entry.
    if (::flock(f->fd(), LOCK_EX | LOCK_NB) != 0)
        return false;
    const off_t size = f->size();
    if (size < 0)
        return false;

    const LocalLogAppend plan = planLocalLogAppend(ringPosition(*f, size), std::move(record));
    if (!f->writeAt(plan.record, off_t(plan.recordOffset)))
        return false;
    if (!f->writeAt(plan.header, 0))
        return false;
    // The lock goes with the descriptor; a failed close may have lost the entry.
    return f->close();
}

std::optional<std::vector<LocalLogRecord>> readLocalLog(const std::filesystem::path& file) {
    const std::optional<std::vector<std::byte>> bytes = readDataFile(file, kLocalLogMaxFileSize);
    if (!bytes)
        return std::nullopt;
    return parseLocalLog(*bytes);
}

std::vector<LocalLogRecord> parseLocalLog(std::span<const std::byte> all) {
    all = all.first(std::min(all.size(), kLocalLogMaxFileSize));
    std::vector<LocalLogRecord> records;
    const std::optional<LocalLogHeader> header =
        all.size() >= kLocalLogHeaderSize ? decodeLocalLogHeader(all.first(kLocalLogHeaderSize))
                                          : std::nullopt;
    if (!header)
        return records; // an empty or cut file holds no entries
    const std::size_t slotsInFile = (all.size() - kLocalLogHeaderSize) / kLocalLogRecordSize;
    const std::size_t next = std::min<std::size_t>(header->nextIndex, kLocalLogSlotCount);
    // Slots past the file's end hold nothing: the loops stop at the last whole slot.
    const std::size_t last = std::min(slotsInFile, kLocalLogSlotCount);
    auto take = [&](std::size_t slot) {
        const std::size_t at = kLocalLogHeaderSize + slot * kLocalLogRecordSize;
        if (auto record = decodeLocalLogRecord(all.subspan(at, kLocalLogRecordSize)))
            records.push_back(std::move(*record));
    };
    // Oldest first: after a wrap the slots from the next index to the end come before the rest.
    if (header->wrapped != 0)
        for (std::size_t slot = next; slot < last; ++slot)
            take(slot);
    for (std::size_t slot = 0; slot < std::min(next, last); ++slot)
        take(slot);
    return records;
}

void localLog(std::uint32_t kind, std::uint32_t event, std::string_view userId,
              std::string_view address) {
    const LocalLogSettings settings = localLogSettings();
    if (settings.removableMode)
        return;

    LocalLogRecord record;
    record.kind = kind;
    record.event = event;
    const auto nowSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    // The recorder's time form: 32 bits of seconds in the client's zone.
    record.time = static_cast<std::uint32_t>(nowSeconds + settings.timeZoneOffsetSeconds);
    record.userId = std::string(userId);
    record.address = std::string(address);
    appendLocalLogRecord(localLogFilePath(settings.dataFolder), std::move(record));
}

} // namespace kalder
