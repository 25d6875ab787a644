#pragma once

#include "session/backup_transfer.h"

#include <QWidget>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

namespace kalder {

class SearchWindow;

// What the backup panels (date and time entry, timeline, event list) share: the size label,
// Calculate (TRANS_ON_REQ for the chosen period) and Backup (the transfer into the download
// folder), with the free-space rule between them. The size answer comes back to the panel that
// asked for it. GUI thread only; a child of its search window.
class BackupPeriodPanel : public QWidget {
    Q_OBJECT
public:
    BackupPeriodPanel(SearchWindow& window, QWidget* parent);

    // Calculate: asks for the size of the panel's period. Nothing when no period is chosen.
    virtual void calculate() = 0;
    // The recorder's answer to Calculate: the size in kilobytes, or its refusal.
    void sizeKnown(std::uint32_t kbytes);
    void sizeRefused();
    void backup();

    QPushButton* calculateButton() const { return m_calculate; }
    QPushButton* backupButton() const { return m_backup; }
    QLabel* sizeLabel() const { return m_size; }

protected:
    // TRANS_ON_REQ for `sizeRequest`; Backup later sends TRANS_DATA_REQ with `dataRequest`.
    bool requestSize(const BackupRequest& sizeRequest, const BackupRequest& dataRequest);
    // The period changed: the size goes, Calculate is offered again, Backup waits for it.
    void periodChanged();
    // The period is gone (nothing chosen): neither Calculate nor Backup.
    void periodCleared();
    // Places the size caption and label, Calculate and Backup on one row at `y`.
    void placeSizeRow(int y);
    QLabel* sizeCaption() const { return m_sizeCaption; }

    SearchWindow& m_window;

private:
    // The free-space rule against the download folder; on failure the alert (13,0) with the
    // size pair, the size cleared and Calculate enabled again.
    bool spaceEnough(std::uint32_t kbytes);

    QLabel* m_sizeCaption = nullptr;
    QLabel* m_size = nullptr;
    QPushButton* m_calculate = nullptr;
    QPushButton* m_backup = nullptr;
    // The data request and size of the last Calculate, kept for Backup.
    std::optional<BackupRequest> m_dataRequest;
    std::uint32_t m_sizedKbytes = 0;
};

} // namespace kalder
