#pragma once

#include <QString>
#include <QStringList>
#include <QTableWidget>

#include <array>
#include <vector>

namespace kalder {

// The report list of the log windows and the information views: a header over each column,
// grid lines, whole-row selection, bold 9-point text in the window's theme; read-only. The
// columns fit their widest texts and headers (the given widths hold while the list is empty);
// the free-text column takes what is left of the list's width, and only when the others alone
// do not fit do they give way too: a text that cannot fit ends in "…" and shows whole as the
// cell's tool tip.
class ReportList : public QTableWidget {
    Q_OBJECT
public:
    ReportList(const std::vector<int>& columnWidths, QWidget* parent = nullptr);

    void setHeaders(const QStringList& headers);
    // Appends one row of up to five texts (those past the list's columns are left out).
    void addRow(const std::array<QString, 5>& texts);
    // The selected row, or -1.
    int selectedRow() const;
    // The text of a cell ("" outside the list).
    QString cellText(int row, int column) const;
    // Sets the columns' widths from their texts now (it also happens by itself after rows are
    // added and when the list is resized).
    void fitColumns();
    // The column of free text that takes the width the others leave and ends in "…" when it
    // must; the last one unless set.
    void setFreeColumn(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void scheduleFit();

    std::vector<int> m_leastWidths; // the widths of an empty list
    bool m_fitPending = false;
    int m_freeColumn = -1; // -1: the last column
};

} // namespace kalder
