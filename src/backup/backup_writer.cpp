#include "backup/backup_writer.h"

#include "backup/backup_set_writer.h"
#include "net/trace.h"

#include <pthread.h>

namespace kalder {

BackupWriter::BackupWriter(std::filesystem::path folder, BackupWriterEvents events,
                           BackupWriterLimits limits)
    : m_folder(std::move(folder)), m_events(std::move(events)), m_limits(std::move(limits)) {
    m_thread = std::thread([this] { run(); });
}

BackupWriter::~BackupWriter() {
    stop();
}

void BackupWriter::push(BackupItem item) {
    std::unique_lock lock(m_lock);
    // A writer that falls behind holds the producer here (and so the recorder, through TCP).
    m_drained.wait(lock, [&] {
        return m_stop || m_ended.load() || m_queue.empty() ||
               m_queuedBytes < m_limits.maxQueuedBytes;
    });
    if (m_stop || m_ended.load())
        return; // the transfer is over: nothing more is written
    m_queuedBytes += item.bytes.size();
    m_queue.push_back(std::move(item));
    m_wake.notify_one();
}

void BackupWriter::waitUntilDrained() {
    std::unique_lock lock(m_lock);
    m_drained.wait(lock, [&] { return m_queue.empty() || m_ended.load(); });
}

void BackupWriter::stop() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_drained.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

BackupWriteResult BackupWriter::result() const {
    std::lock_guard lock(m_lock);
    return m_result;
}

// The writer thread: opens the first set, then writes frame after frame until the transfer is
// done or failed, the stop flag is set or a file operation fails, and closes the set whole.
void BackupWriter::run() {
    ::pthread_setname_np(::pthread_self(), "backup-writer");
    BackupSetWriter sets(m_folder, m_limits);
    BackupWriteResult::End end = BackupWriteResult::End::FileError;
    if (sets.start()) {
        for (;;) {
            BackupItem item;
            {
                std::unique_lock lock(m_lock);
                m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
                if (m_stop) {
                    end = BackupWriteResult::End::Stopped;
                    break;
                }
                m_seen = m_queue.size();
                item = std::move(m_queue.front());
                m_queue.pop_front();
                m_queuedBytes -= item.bytes.size();
            }
            m_drained.notify_all();
            if (item.kind == BackupItem::Kind::Done) {
                end = BackupWriteResult::End::Done;
                break;
            }
            if (item.kind == BackupItem::Kind::Fail) {
                end = BackupWriteResult::End::Failed;
                break;
            }
            const std::uint64_t before = sets.bytes();
            const auto outcome = sets.write(item);
            if (sets.bytes() != before && m_events.progress)
                m_events.progress(sets.bytes() / 1024);
            if (outcome == BackupSetWriter::Outcome::Failed)
                break; // a file error
        }
    }
    // A set that cannot be closed whole is a file error too, whatever ended the transfer.
    if (!sets.finish() || !sets.error().empty())
        end = BackupWriteResult::End::FileError;

    BackupWriteResult result;
    result.end = end;
    result.sets = sets.sets();
    result.folder = m_folder;
    result.frames = sets.frames();
    result.bytes = sets.bytes();
    result.dropped = sets.dropped();
    result.error = sets.error();
    {
        std::lock_guard lock(m_lock);
        m_result = result;
        m_stop = true;
        m_queue.clear(); // what came after the end is not written
        m_queuedBytes = 0;
        m_ended = true;
    }
    m_drained.notify_all();
    trace("Transfer end...\n");
    if (m_events.ended)
        m_events.ended(result);
}

} // namespace kalder
