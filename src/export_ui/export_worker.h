#pragma once

#include "export/export_request.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace kalder {

// The message the export thread posts to its worker object: "look at the state again". Tagged
// with the run's generation, so that a notice of an earlier run is dropped by its tag.
inline constexpr int kExportNoticeMessage = 21150;

// One export a window asks for: the request, and a folder to remove once the export has ended
// (the backup sets a download-and-export fetched for it and does not keep; empty: none).
struct ExportJob {
    ExportRequest request;
    std::filesystem::path removeAfter;
};

// What the export thread has told so far; the GUI thread pulls a copy after each notice.
struct ExportState {
    ExportProgress progress;
    std::optional<ExportResult> result; // set once, when the export has ended
    bool setsRemoved = false;           // removeAfter was removed
    std::string removeError;            // why removeAfter could not be removed
};

// Runs one export at a time on a thread of its own (runExport) and tells the GUI thread how it
// goes: the thread writes the state under m_mutex and posts a tagged notice to this object, at
// most one untaken at a time; the GUI thread takes the notice, reads state() and hears
// changed(). Cancel sets the stop flag the export reads once per frame; the export then
// removes what it had begun. The owner's destructor (this object's) stops and joins the thread.
// Every function but the thread's own is called on the GUI thread.
class ExportWorker : public QObject {
    Q_OBJECT
public:
    explicit ExportWorker(QObject* parent = nullptr);
    ~ExportWorker() override;
    ExportWorker(const ExportWorker&) = delete;
    ExportWorker& operator=(const ExportWorker&) = delete;

    // False while an export runs. One export per worker: a cancel() before it stands.
    bool start(ExportJob job);
    void cancel();
    bool running() const { return m_thread.joinable(); }
    bool cancelled() const { return m_stop.load(); }
    ExportState state() const;

signals:
    // The state changed (progress, or the end: state().result is then set and the thread is
    // joined).
    void changed();

protected:
    bool event(QEvent* event) override;

private:
    void run(ExportJob job, std::uint64_t generation); // the export thread
    void notify(std::uint64_t generation);             // the export thread

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_noticePending{false};
    std::uint64_t m_generation = 0; // GUI thread: the run whose notices count
    mutable std::mutex m_mutex;     // guards m_state
    ExportState m_state;
};

} // namespace kalder
