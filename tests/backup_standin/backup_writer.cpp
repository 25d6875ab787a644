#include "backup/backup_writer.h"

namespace kalder {

BackupWriter::BackupWriter(std::filesystem::path, BackupWriterEvents events, BackupWriterLimits)
    : m_events(std::move(events)) {}

BackupWriter::~BackupWriter() {
    stop();
}

void BackupWriter::push(BackupItem item) {
    if (m_ended)
        return;
    if (item.kind != BackupItem::Kind::Data) {
        finish(item.kind == BackupItem::Kind::Done ? BackupWriteResult::End::Done
                                                   : BackupWriteResult::End::Failed);
        return;
    }
    std::uint64_t total;
    {
        std::lock_guard lock(m_mutex);
        ++m_result.frames;
        m_result.bytes += item.bytes.size();
        total = m_result.bytes;
    }
    if (m_events.progress)
        m_events.progress(total / 1024);
}

void BackupWriter::stop() {
    if (!m_ended)
        finish(BackupWriteResult::End::Stopped);
}

void BackupWriter::finish(BackupWriteResult::End end) {
    BackupWriteResult result;
    {
        std::lock_guard lock(m_mutex);
        m_result.end = end;
        result = m_result;
    }
    m_ended = true;
    if (m_events.ended)
        m_events.ended(result);
}

BackupWriteResult BackupWriter::result() const {
    std::lock_guard lock(m_mutex);
    return m_result;
}

} // namespace kalder
