#pragma once

#include "search/backup_period_panel.h"
#include "session/backup_transfer.h"
#include "wire/recorder_time.h"

#include <array>
#include <optional>

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
class BackupDateTimePanel : public BackupPeriodPanel {
    Q_OBJECT
public:
    BackupDateTimePanel(SearchWindow& window, QWidget* parent);

    // A change of one row; false (nothing changed) when the period would not be ordered.
    bool setEntry(int row, const CivilTime& entry);
    CivilTime entry(int row) const { return m_rows[row].value; }

    void calculate() override;

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
    std::optional<BackupRequest> request() const;

    std::array<Row, 2> m_rows;
};

} // namespace kalder
