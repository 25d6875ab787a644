#pragma once

#include "session/info_rows.h"

#include <QWidget>

#include <vector>

namespace kalder {

class ReportList;

// One information view: a report list (the log lists' look) over the whole view, 403 x 417
// with the list inset by 2 pixels. The column widths are the view's. A window of its own, or
// (`window` false) a panel of its parent.
class InfoListView : public QWidget {
public:
    InfoListView(const QString& title, std::vector<int> columnWidths, QWidget* parent,
                 bool window = true);

    void setRows(const std::vector<InfoRow>& rows);
    ReportList* list() const { return m_list; }
    // The text of a cell, for tests.
    QString cell(int row, int column) const;
    // The tip of one cell (a value said in other words); nothing for a cell not there.
    void setCellToolTip(int row, int column, const QString& tip);
    QString cellToolTip(int row, int column) const;
    int rowCount() const;

private:
    ReportList* m_list;
    const int m_columns;
};

} // namespace kalder
