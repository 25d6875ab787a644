#pragma once

#include "session/backup_transfer.h"
#include "wire/recorder_time.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

namespace kalder {

class SearchWindow;

// The backup period must start before it ends (compared as the operator's local times).
bool backupPeriodOrdered(const CivilTime& start, const CivilTime& end);

// The backup date and time entry: start and end rows (year, month and day in the operator's date
// order, and a time), the size label, Calculate (asks the recorder for the period's size) and
// Backup (starts the transfer into the download folder). A change that would leave the start
// not before the end is refused and the field keeps its value; an accepted change clears the size
// and asks for a new Calculate. GUI thread only.
class BackupDateTimePanel : public QWidget {
    Q_OBJECT
public:
    BackupDateTimePanel(SearchWindow& window, QWidget* parent);

    // A change of one row; false (nothing changed) when the period would not be ordered.
    bool setEntry(int row, const CivilTime& entry);
    CivilTime entry(int row) const { return m_rows[row].value; }

    void calculate();
    // The recorder's answer to Calculate: the size in kilobytes, or its refusal.
    void sizeKnown(std::uint32_t kbytes);
    void sizeRefused();
    void backup();

    QPushButton* calculateButton() const { return m_calculate; }
    QPushButton* backupButton() const { return m_backup; }
    QLabel* sizeLabel() const { return m_size; }

private:
    struct Row {
        QPushButton* year = nullptr;
        QPushButton* month = nullptr;
        QPushButton* day = nullptr;
        QPushButton* time = nullptr;
        CivilTime value;
    };
    void buildRow(int index, int y, const QString& caption);
    void showRow(const Row& row);
    void periodChanged();
    std::optional<BackupRequest> request() const;
    // The free-space rule against the download folder; on failure the alert (13,0) with the
    // size pair, the size cleared and Calculate enabled again.
    bool spaceEnough(std::uint32_t kbytes);

    SearchWindow& m_window;
    std::array<Row, 2> m_rows;
    QLabel* m_size = nullptr;
    QPushButton* m_calculate = nullptr;
    QPushButton* m_backup = nullptr;
    // The request and size of the last Calculate, kept for Backup.
    std::optional<BackupRequest> m_sizedRequest;
    std::uint32_t m_sizedKbytes = 0;
};

} // namespace kalder
