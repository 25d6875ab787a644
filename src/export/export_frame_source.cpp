#include "export/export_frame_source.h"

#include "files/backup_set_records.h"
#include "local/backup_set_catalog.h"
#include "local/local_frame_reader.h"

#include <algorithm>

namespace kalder {

ExportFrameSource::ExportFrameSource(const std::filesystem::path& setsFolder, std::uint32_t from,
                                     std::uint32_t to, const BackupSetSource& source)
    : m_source(source), m_from(from), m_to(to), m_buffer(kBackupFrameMaxBytes) {
    LocalPlayRequest request;
    request.kind = LocalPlayRequest::Kind::StartAndEnd;
    request.start = from;
    // The period's last second is whole: reading stops at the first frame of the next one.
    request.end = to + 1;
    m_playlist =
        buildPlaylist(discoverBackupSets(setsFolder, SetTagSource::Data, source), request, source);
    m_entry = m_playlist.current;
    for (std::size_t i = m_entry; i < m_playlist.entries.size(); ++i) {
        const PlaylistEntry& e = m_playlist.entries[i];
        if (e.stopOffset > e.forwardStart())
            m_total += (e.stopOffset - e.forwardStart()) / kBackupFrameHeaderSize;
    }
}

bool ExportFrameSource::openEntry() {
    const PlaylistEntry& e = m_playlist.entries[m_entry];
    // Consecutive segments of one set share its files.
    if (!m_vih || !m_vid || e.vihPath != m_openVih) {
        m_vih = m_source.open(e.vihPath);
        m_vid = m_source.open(e.vidPath);
        m_openVih = e.vihPath;
    }
    m_at = e.forwardStart();
    m_stop = e.stopOffset;
    if (m_vih && m_vid)
        return true;
    m_vih.reset();
    m_at = m_stop = 0;
    return false;
}

bool ExportFrameSource::next(ExportFrame& frame) {
    for (;;) {
        if (!m_opened) {
            if (m_entry >= m_playlist.entries.size())
                return false;
            m_opened = true;
            if (!openEntry())
                m_damage.push_back({0, m_playlist.entries[m_entry].start,
                                    "the files of a backup set cannot be read"});
        }
        if (m_at + kBackupFrameHeaderSize > m_stop) {
            ++m_entry;
            m_opened = false;
            continue;
        }
        const LocalFrame local = readLocalFrame(*m_vih, *m_vid, m_at, 0, m_buffer.size());
        m_at += kBackupFrameHeaderSize;
        ++m_done;
        if (local.status == LocalFrame::Status::NoHeader) {
            // A header file cut short: the segment ends here.
            m_damage.push_back(
                {0, m_playlist.entries[m_entry].start, "the frame headers end early"});
            m_at = m_stop;
            continue;
        }
        const std::uint32_t time = local.header.frameTime;
        if (time < m_from || time > m_to)
            continue;
        if (local.status == LocalFrame::Status::Damaged ||
            !readLocalFrameBytes(*m_vid, local, m_buffer)) {
            // The block says whose frame it was when it decodes at all.
            std::array<std::byte, kFrameInfoBlockSize> blockBytes{};
            unsigned channel = 0;
            if (m_vid->read(local.header.vidOffset, blockBytes))
                if (const auto block = decodeFrameInfoBlock(blockBytes);
                    block && block->frameMagic == kFrameMagic && block->channel < 16)
                    channel = block->channel + 1u;
            m_damage.push_back({channel, time, "damaged frame"});
            continue;
        }
        const FrameDescriptor& d = local.descriptor;
        const std::span<const std::byte> bytes(m_buffer.data(), local.frameBytes);
        frame.channel = d.channel;
        frame.frameTime = time;
        frame.ms = std::int64_t(time) * 1000 + std::min<std::uint32_t>(d.infoHalf, 999);
        frame.key = d.keyFrame();
        frame.segmentKey = local.header.segmentKey;
        frame.width = d.width;
        frame.height = d.height;
        frame.title.clear();
        if (local.header.titlePresent != 0)
            frame.title = local.header.title;
        frame.video = bytes.subspan(kFrameInfoBlockSize, d.videoLength);
        frame.audio = audioElementOf(d, bytes);
        return true;
    }
}

std::vector<ExportFrameSource::Damage> ExportFrameSource::takeDamage() {
    std::vector<Damage> damage;
    damage.swap(m_damage);
    return damage;
}

} // namespace kalder
