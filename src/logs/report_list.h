#pragma once

#include <QString>
#include <QTableWidget>

#include <array>
#include <initializer_list>

namespace kalder {

// The report list of the log windows: fixed column widths, no header texts, grid lines,
// whole-row selection, bold 9-point text in the list colour; read-only.
class ReportList : public QTableWidget {
    Q_OBJECT
public:
    ReportList(std::initializer_list<int> columnWidths, QWidget* parent = nullptr);

    // Appends one row of five texts.
    void addRow(const std::array<QString, 5>& texts);
    // The selected row, or -1.
    int selectedRow() const;
    // The text of a cell ("" outside the list).
    QString cellText(int row, int column) const;
};

} // namespace kalder
