#pragma once

#include <QString>
#include <QTableWidget>

#include <array>
#include <vector>

namespace kalder {

// The report list of the log windows and the information views: fixed column widths, no header
// texts, grid lines, whole-row selection, bold 9-point text in the list colour; read-only.
class ReportList : public QTableWidget {
    Q_OBJECT
public:
    ReportList(const std::vector<int>& columnWidths, QWidget* parent = nullptr);

    // Appends one row of up to five texts (those past the list's columns are left out).
    void addRow(const std::array<QString, 5>& texts);
    // The selected row, or -1.
    int selectedRow() const;
    // The text of a cell ("" outside the list).
    QString cellText(int row, int column) const;
};

} // namespace kalder
