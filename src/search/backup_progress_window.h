#pragma once

#include "backup/backup_writer.h"
#include "export/export_request.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <filesystem>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalder {

class ExportProgressWindow;
class RecorderSession;
class WindowMessageEvent;

// A backup that is exported once it is downloaded (the Backup tab's MP4 and MKV): the sets go
// to `request.setsFolder`, a folder of their own, and when the transfer has ended the period is
// exported from them to `request.outFolder` in a progress window; then the sets are kept or
// deleted.
struct BackupExportPlan {
    ExportRequest request;
    bool keepSets = true;
};
// GUI thread, just before the transfer starts: the plan of the next transfer (at most one
// transfer runs at a time). A transfer that could not start drops it with
// dropBackupExportPlan().
void planBackupExport(BackupExportPlan plan);
void dropBackupExportPlan();
std::optional<BackupExportPlan> pendingBackupExportPlan();
// `base`/<prefix><YYYYMMDD_hhmmss of `time`>, with "-2", "-3"... when that name is taken.
std::filesystem::path freshExportFolder(const std::filesystem::path& base, const char* prefix,
                                        std::uint32_t time);

// The small window of a running backup transfer: the kilobytes written against the period's
// size, and Stop, which ends the transfer as the session's Stop does (TRANS_OFF_REQ, the sets
// closed whole). It closes when the session posts the transfer's end. GUI thread only; the
// session must outlive it.
class BackupProgressWindow : public QDialog {
    Q_OBJECT
public:
    BackupProgressWindow(RecorderSession& session, std::uint32_t totalKbytes,
                         QWidget* parent = nullptr);

    void setPosition(std::uint64_t kbytes);
    std::uint32_t totalKbytes() const { return m_total; }
    std::uint64_t positionKbytes() const { return m_position; }
    QProgressBar* progressBar() const { return m_bar; }
    QPushButton* stopButton() const { return m_stop; }
    // The transfer downloads for an export: said in the window.
    void setExportFormat(ExportFormat format);

    // Stop: the transfer ends; the window closes on the end message that follows.
    void stop();

private:
    RecorderSession& m_session;
    const std::uint32_t m_total;
    std::uint64_t m_position = 0;
    QProgressBar* m_bar = nullptr;
    QLabel* m_amount = nullptr;
    QPushButton* m_stop = nullptr;
};

// The export window a planned transfer opened last (for tests and the screenshots).
ExportProgressWindow* lastBackupExportWindow();

// What a backup ended in, told once its progress window closes: how it ended, the sets written
// and their folder, with OK and Open Folder (the desktop's file manager there). Not modal: the
// search window stays usable. Object name "backupResultBox". GUI thread only.
class BackupResultBox : public QDialog {
    Q_OBJECT
public:
    BackupResultBox(const BackupWriteResult& result, QWidget* parent);

    static QString describe(const BackupWriteResult& result);
    QString text() const;
    void addNote(const QString& note);
    QPushButton* openFolderButton() const { return m_open; }

private:
    QLabel* m_text = nullptr;
    QPushButton* m_open = nullptr;
};

// The main window's routing of the backup messages: BackupProgressOpen (re)creates `window`
// (range 0..total, position 0), BackupProgressPosition moves it, BackupProgressClose closes it
// and shows the transfer's result in a BackupResultBox, or, for a transfer planned for export
// that brought its sets, starts the export in an ExportProgressWindow (a child of `parent`);
// BackupWriterEnded ends the transfer after a file error. False for any other message.
bool routeBackupMessage(const WindowMessageEvent& message, RecorderSession* session,
                        QPointer<BackupProgressWindow>& window, QWidget* parent);

} // namespace kalder
