#include "backup/backup_set_writer.h"

#include "net/trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kalder {

namespace {

namespace fs = std::filesystem;

// What every file keeps beyond its last whole record: the room of its trailer.
constexpr std::size_t kReserve = kFileTrailerSize;
constexpr std::array<std::byte, kReserve> kZeros{};
// Offsets in the files are 32-bit: a set is closed well before its .vid could pass 4 GB.
constexpr std::uint64_t kLargestRollover = 0xFFFFFFFFull - 4 * kBackupFrameMaxBytes;

std::uint32_t le32(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) | std::to_integer<std::uint32_t>(b[at + 1]) << 8 |
           std::to_integer<std::uint32_t>(b[at + 2]) << 16 |
           std::to_integer<std::uint32_t>(b[at + 3]) << 24;
}

std::uint8_t u8(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint8_t>(b[at]);
}

// Writes `a` then `b` at `offset` in one call where the kernel allows it.
bool writeParts(DataFile& file, std::span<const std::byte> a, std::span<const std::byte> b,
                std::uint64_t offset) {
    iovec parts[2] = {{const_cast<std::byte*>(a.data()), a.size()},
                      {const_cast<std::byte*>(b.data()), b.size()}};
    ssize_t n = 0;
    do {
        n = ::pwritev(file.fd(), parts, 2, off_t(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    const std::size_t done = std::size_t(n);
    if (done >= a.size() + b.size())
        return true;
    // A short write (the disk or the file-size limit is reached): the rest piece by piece, so
    // that the next call reports the error.
    if (done < a.size())
        return file.writeAt(a.subspan(done), off_t(offset + done)) &&
               file.writeAt(b, off_t(offset + a.size()));
    return file.writeAt(b.subspan(done - a.size()), off_t(offset + done));
}

} // namespace

BackupSetWriter::BackupSetWriter(std::filesystem::path folder, const BackupWriterLimits& limits)
    : m_folder(std::move(folder)),
      m_rolloverBytes(std::min(limits.rolloverBytes, kLargestRollover)),
      m_maxSegments(std::clamp<std::size_t>(limits.maxSegments, 1, kMaxSetSegments)),
      m_now(limits.now) {}

bool BackupSetWriter::fail(const std::string& what, const std::filesystem::path& file, int error) {
    if (m_error.empty())
        m_error = what + " " + file.string() + ": " + std::strerror(error);
    trace("BackupWriter... %s\n", m_error.c_str());
    return false;
}

bool BackupSetWriter::start() {
    m_set = createSet(false);
    return m_set.has_value();
}

std::optional<BackupSetWriter::OpenSet> BackupSetWriter::createSet(bool chained) {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec) {
        fail("cannot create the folder", m_folder, ec.value());
        return std::nullopt;
    }
    // The base is the current second; a value whose files exist already (an earlier set of this
    // second, another transfer) is never reused: the next free value is taken. O_EXCL makes the
    // check and the creation one step.
    std::uint32_t base = m_now ? m_now() : static_cast<std::uint32_t>(std::time(nullptr));
    for (int attempt = 0; attempt < 100000; ++attempt, ++base) {
        if (base == 0) // 0 is "no link"
            base = 1;
        OpenSet set;
        set.base = base;
        set.names = backupSetFiles(m_folder, base);
        const fs::path* names[3] = {&set.names.idx, &set.names.vih, &set.names.vid};
        std::optional<DataFile>* files[3] = {&set.idx, &set.vih, &set.vid};
        int error = 0;
        int created = 0;
        for (; created < 3; ++created) {
            *files[created] = DataFile::open(*names[created], O_RDWR | O_CREAT | O_EXCL, error);
            if (!*files[created])
                break;
        }
        auto removeCreated = [&] {
            for (int i = 0; i < created; ++i) {
                files[i]->reset();
                ::unlink(names[i]->c_str());
            }
        };
        if (created < 3) {
            removeCreated();
            if (error == EEXIST)
                continue;
            fail("cannot create", *names[created], error);
            return std::nullopt;
        }

        FileHeader header;
        // A chained set carries the link of its rollover: its own base value, which no other
        // set in the folder can carry.
        header.continuationLink = chained ? base : 0;
        std::vector<std::byte> idx(kTimeRecordsOffset + kReserve);
        std::array<std::byte, kFileHeaderSize + kReserve> data{};
        encodeFileHeader(header, idx);
        encodeFileHeader(header, data);
        const fs::path* failed = nullptr;
        if (!set.idx->writeAt(idx, 0))
            failed = &set.names.idx;
        else if (!set.vih->writeAt(data, 0))
            failed = &set.names.vih;
        else if (!set.vid->writeAt(data, 0))
            failed = &set.names.vid;
        if (failed) {
            fail("cannot write", *failed, errno);
            removeCreated();
            return std::nullopt;
        }
        trace("MakeFileOpen...%x\n", base);
        m_sets.push_back(backupBaseName(base));
        return set;
    }
    fail("no free set name", m_folder, EEXIST);
    return std::nullopt;
}

void BackupSetWriter::openSegment(std::span<const std::byte> header) {
    m_segment = {};
    m_segment.open = true;
    m_segment.key = le32(header, kFrameHeaderSegmentKeyOffset);
    m_segment.start = le32(header, kFrameHeaderTimeOffset);
    m_segment.firstTimeRecord = static_cast<std::uint32_t>(m_set->timeEnd);
    m_segment.firstParam = m_segment.lastParam = u8(header, kFrameHeaderParamsOffset + 2);
}

bool BackupSetWriter::writeEntry(OpenSet& set, std::span<const std::byte> closingHeader) {
    if (set.segmentCount >= kMaxSetSegments) // never over the time records
        return fail("segment table full in", set.names.idx, ENOSPC);
    SegmentEntry entry;
    entry.start = m_segment.start;
    entry.end = le32(closingHeader, kFrameHeaderTimeOffset);
    entry.firstTimeRecordOffset = m_segment.firstTimeRecord;
    entry.channelMask = entry.channelMaskCopy = m_segment.videoMask;
    entry.params = {u8(closingHeader, kFrameHeaderParamsOffset), u8(closingHeader, 49),
                    m_segment.firstParam, u8(closingHeader, 51)};
    entry.changeMask = m_segment.changeMask;
    entry.lastChangedParam = m_segment.lastParam;
    entry.channelBytes = m_segment.counters;
    std::array<std::byte, kSegmentEntrySize> bytes{};
    encodeSegmentEntry(entry, bytes);
    if (!set.idx->writeAt(bytes, off_t(segmentSlotOffset(set.segmentCount))))
        return fail("cannot write", set.names.idx, errno);
    set.spans.emplace_back(entry.start, entry.end);
    ++set.segmentCount;
    return true;
}

bool BackupSetWriter::closeSet(OpenSet& set, std::uint32_t nextLink,
                               std::span<const std::byte> closingHeader) {
    trace("MakeFileClose...%x\n", nextLink);
    bool ok = true;
    if (m_segment.open)
        ok = writeEntry(set, closingHeader);
    m_segment = {};

    // Each trailer goes over the reserved bytes after the last whole record; anything a failed
    // write left beyond them is cut off first.
    auto putTrailer = [&](DataFile& file, const fs::path& name, const FileTrailer& trailer,
                          std::uint64_t end) {
        std::array<std::byte, kFileTrailerSize> bytes{};
        encodeFileTrailer(trailer, bytes);
        if (::ftruncate(file.fd(), off_t(end + kReserve)) != 0 || !file.writeAt(bytes, off_t(end)))
            ok = fail("cannot write", name, errno);
    };
    FileTrailer trailer;
    trailer.lastHeaderOffset = set.lastHeaderOffset;
    putTrailer(*set.vih, set.names.vih, trailer, set.vihEnd);
    putTrailer(*set.vid, set.names.vid, trailer, set.vidEnd);

    // The earliest start and latest end over the entries; a running value of 0 counts as unset.
    SetSummary summary;
    for (const auto& [start, end] : set.spans) {
        if (summary.earliestStart == 0 || start < summary.earliestStart)
            summary.earliestStart = start;
        if (summary.latestEnd == 0 || end > summary.latestEnd)
            summary.latestEnd = end;
    }
    summary.segmentCount = static_cast<std::uint32_t>(set.segmentCount);
    std::array<std::byte, kSetSummarySize> bytes{};
    encodeSetSummary(summary, bytes);
    if (!set.idx->writeAt(bytes, off_t(kSetSummaryOffset)))
        ok = fail("cannot write", set.names.idx, errno);

    FileTrailer idxTrailer;
    idxTrailer.nextSetLink = nextLink;
    putTrailer(*set.idx, set.names.idx, idxTrailer, set.timeEnd);

    if (!set.idx->close())
        ok = fail("cannot close", set.names.idx, errno);
    if (!set.vih->close())
        ok = fail("cannot close", set.names.vih, errno);
    if (!set.vid->close())
        ok = fail("cannot close", set.names.vid, errno);
    return ok;
}

bool BackupSetWriter::chain(std::span<const std::byte> closingHeader) {
    // The chained set is created first, so that the closing set names a link only when the set
    // carrying it exists.
    std::optional<OpenSet> next = createSet(true);
    if (!next) {
        closeSet(*m_set, 0, closingHeader);
        m_set.reset();
        return false;
    }
    const bool closed = closeSet(*m_set, next->base, closingHeader);
    m_set = std::move(next);
    return closed;
}

BackupSetWriter::Outcome BackupSetWriter::write(BackupItem& item) {
    const std::uint64_t size =
        std::uint64_t(item.videoLength) + item.audioLength + kBackupFrameOverhead;
    if (item.kind != BackupItem::Kind::Data || item.channel > 15 || size != item.bytes.size() ||
        size > kBackupFrameMaxBytes) {
        trace("BackupWriter... frame dropped: %zu bytes, channel %u\n", item.bytes.size(),
              item.channel);
        ++m_dropped;
        return Outcome::Dropped;
    }
    if (!m_set)
        return Outcome::Failed;
    const std::span<std::byte> header(item.bytes.data(), kBackupFrameHeaderSize);
    const std::uint32_t key = le32(header, kFrameHeaderSegmentKeyOffset);
    const std::uint32_t time = le32(header, kFrameHeaderTimeOffset);

    // A new segment with every slot of the index taken: this frame starts a chained set.
    if (m_segment.open && key != m_segment.key && m_set->segmentCount + 1 >= m_maxSegments &&
        !chain(header))
        return Outcome::Failed;

    OpenSet& set = *m_set;
    // What a failed write must undo, so that the set describes whole frames only.
    const Segment segmentBefore = m_segment;
    const std::size_t countBefore = set.segmentCount;
    auto undo = [&] {
        m_segment = segmentBefore;
        set.segmentCount = countBefore;
        set.spans.resize(countBefore);
        return Outcome::Failed;
    };

    if (!m_segment.open) {
        openSegment(header);
    } else if (key != m_segment.key) {
        if (!writeEntry(set, header)) // this frame closes the segment before it
            return undo();
        openSegment(header);
    }
    if (item.videoLength > 0) {
        const std::uint16_t bit = std::uint16_t(1u << item.channel);
        m_segment.videoMask |= bit;
        const std::uint8_t param = u8(header, kFrameHeaderParamsOffset + 2);
        if (param != m_segment.firstParam) {
            m_segment.changeMask |= bit;
            m_segment.lastParam = param;
        }
        m_segment.counters[item.channel] +=
            static_cast<std::uint32_t>(size - kBackupFrameHeaderSize);
    }

    // Every segment's first frame gets a time record, then every frame of a new second: a
    // segment that begins within the second of the frame before it still has a first record
    // that names its own first frame, which is where a player starts the segment.
    const bool newSecond = !m_segment.haveSecond || time != m_segment.lastSecond;
    const auto headerOffset = static_cast<std::uint32_t>(set.vihEnd);
    patchFrameHeaderOffsets(header, m_previousHeader, static_cast<std::uint32_t>(set.vidEnd));
    if (!writeParts(*set.vih, header, kZeros, set.vihEnd)) {
        fail("cannot write", set.names.vih, errno);
        return undo();
    }
    if (!writeParts(*set.vid, std::span(item.bytes).subspan(kBackupFrameHeaderSize), kZeros,
                    set.vidEnd)) {
        fail("cannot write", set.names.vid, errno);
        return undo();
    }
    if (newSecond) {
        std::array<std::byte, kTimeRecordSize> record{};
        encodeTimeRecord(TimeRecord{headerOffset}, record);
        if (!writeParts(*set.idx, record, kZeros, set.timeEnd)) {
            fail("cannot write", set.names.idx, errno);
            return undo();
        }
        set.timeEnd += kTimeRecordSize;
        m_segment.haveSecond = true;
        m_segment.lastSecond = time;
    }
    set.vihEnd += kBackupFrameHeaderSize;
    set.vidEnd += size - kBackupFrameHeaderSize;
    set.lastHeaderOffset = headerOffset;
    m_previousHeader = headerOffset;
    std::copy(header.begin(), header.end(), m_lastHeader.begin());
    ++m_frames;
    m_bytes += size;
    set.bytes += size;

    if (set.bytes > m_rolloverBytes && !chain(m_lastHeader))
        return Outcome::Failed; // written, but the transfer cannot go on
    return Outcome::Written;
}

bool BackupSetWriter::finish() {
    if (!m_set)
        return m_error.empty();
    const bool closed = closeSet(*m_set, 0, m_lastHeader);
    m_set.reset();
    return closed;
}

} // namespace kalder
