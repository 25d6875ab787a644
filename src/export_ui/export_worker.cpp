#include "export_ui/export_worker.h"

#include "export/export_job.h"
#include "post/post_to_window.h"
#include "session/window_message.h"

#include <system_error>

namespace kalder {

ExportWorker::ExportWorker(QObject* parent) : QObject(parent) {}

ExportWorker::~ExportWorker() {
    // Stop, then join: the export removes what it had begun before the thread ends. Notices
    // still queued for this object go with it.
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool ExportWorker::start(ExportJob job) {
    if (m_thread.joinable())
        return false;
    // A Cancel before the start stands: the export then stops at its first frame.
    m_noticePending = false;
    {
        std::lock_guard lock(m_mutex);
        m_state = {};
    }
    const std::uint64_t generation = ++m_generation;
    m_thread = std::thread(
        [this, job = std::move(job), generation]() mutable { run(std::move(job), generation); });
    return true;
}

void ExportWorker::cancel() {
    m_stop = true;
}

ExportState ExportWorker::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void ExportWorker::run(ExportJob job, std::uint64_t generation) {
    ExportResult result =
        runExport(job.request, m_stop, [this, generation](const ExportProgress& progress) {
            {
                std::lock_guard lock(m_mutex);
                m_state.progress = progress;
            }
            notify(generation);
        });
    bool removed = false;
    std::string removeError;
    if (!job.removeAfter.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(job.removeAfter, ec);
        removed = !ec;
        if (ec)
            removeError = ec.message();
    }
    {
        std::lock_guard lock(m_mutex);
        m_state.result = std::move(result);
        m_state.setsRemoved = removed;
        m_state.removeError = std::move(removeError);
    }
    notify(generation);
}

void ExportWorker::notify(std::uint64_t generation) {
    // Coalesced: a notice that waits will read the newest state.
    if (m_noticePending.exchange(true))
        return;
    postToWindow(this, new WindowMessageEvent(kExportNoticeMessage, 0, 0, generation));
}

bool ExportWorker::event(QEvent* event) {
    if (event->type() != static_cast<QEvent::Type>(kExportNoticeMessage))
        return QObject::event(event);
    const auto* notice = static_cast<const WindowMessageEvent*>(event);
    if (notice->staleFor(m_generation))
        return true;
    // Taken before the state is read: a change made after the read posts again.
    m_noticePending = false;
    if (state().result && m_thread.joinable())
        m_thread.join(); // the thread has published its end and is leaving
    emit changed();
    return true;
}

} // namespace kalder
