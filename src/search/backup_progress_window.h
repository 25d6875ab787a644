#pragma once

#include "backup/backup_writer.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalder {

class RecorderSession;
class WindowMessageEvent;

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

// What a backup ended in, told once its progress window closes: how it ended, the sets written
// and their folder, with OK and Open Folder (the desktop's file manager there). Not modal: the
// search window stays usable. Object name "backupResultBox". GUI thread only.
class BackupResultBox : public QDialog {
    Q_OBJECT
public:
    BackupResultBox(const BackupWriteResult& result, QWidget* parent);

    static QString describe(const BackupWriteResult& result);
    QString text() const;
    QPushButton* openFolderButton() const { return m_open; }

private:
    QLabel* m_text = nullptr;
    QPushButton* m_open = nullptr;
};

// The main window's routing of the backup messages: BackupProgressOpen (re)creates `window`
// (range 0..total, position 0), BackupProgressPosition moves it, BackupProgressClose closes it
// and shows the transfer's result in a BackupResultBox, BackupWriterEnded ends the transfer
// after a file error. False for any other message.
bool routeBackupMessage(const WindowMessageEvent& message, RecorderSession* session,
                        QPointer<BackupProgressWindow>& window, QWidget* parent);

} // namespace kalder
