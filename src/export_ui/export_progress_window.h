#pragma once

#include "export_ui/export_worker.h"

#include <QDialog>
#include <QElapsedTimer>

#include <filesystem>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalder {

// The window of a running export: what is exported, a bar with the frames done against the
// period's frames and the time left, and Cancel (also Escape), which stops the export; the
// export then removes what it had begun. When the export has ended the window says how, in
// itself: the files and their folder, what was left out and why, a full disk, or that nothing
// was kept; Cancel gives way to Open Folder and Close. It owns the worker: closing it while the
// export runs cancels and joins it. GUI thread only.
class ExportProgressWindow : public QDialog {
    Q_OBJECT
public:
    // `keptSets`: the folder of backup sets a download-and-export keeps (said in the result);
    // empty when there is none or job.removeAfter removes them.
    ExportProgressWindow(ExportJob job, std::filesystem::path keptSets, QWidget* parent);

    // Starts the export; false when it could not start.
    bool start();
    bool running() const { return m_worker->running(); }
    bool ended() const { return m_ended; }
    const ExportState& lastState() const { return m_state; }

    // The operator's text for an export's end.
    static QString describe(const ExportState& state, const std::filesystem::path& outFolder,
                            const std::filesystem::path& keptSets, const QString& removedSets);
    // "About 1 min 20 s left" from the time spent so far and the share done.
    static QString timeLeftText(qint64 elapsedMs, std::uint64_t done, std::uint64_t total);

    QProgressBar* progressBar() const { return m_bar; }
    QLabel* amountLabel() const { return m_amount; }
    QLabel* resultLabel() const { return m_result; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* closeButton() const { return m_close; }

signals:
    // The export ended (done, stopped or failed); the result is in lastState().
    void finished();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onChanged();
    void showEnd();

    const ExportJob m_job;
    const std::filesystem::path m_keptSets;
    ExportWorker* m_worker = nullptr;
    ExportState m_state;
    bool m_ended = false;
    QElapsedTimer m_clock;
    QLabel* m_what = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_amount = nullptr;
    QLabel* m_timeLeft = nullptr;
    QLabel* m_result = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kalder
