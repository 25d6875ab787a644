#include "info/info_list_view.h"

#include "ui/report_list.h"

namespace kalder {

InfoListView::InfoListView(const QString& title, std::vector<int> columnWidths, QWidget* parent,
                           bool window)
    : QWidget(parent, window ? Qt::Window : Qt::Widget), m_list(new ReportList(columnWidths, this)),
      m_columns(static_cast<int>(columnWidths.size())) {
    setWindowTitle(title);
    setAccessibleName(title);
    setFixedSize(403, 417);
    m_list->setGeometry(2, 2, 399, 413);
    m_list->setAccessibleName(title);
}

void InfoListView::setRows(const std::vector<InfoRow>& rows) {
    m_list->setRowCount(0);
    for (const InfoRow& row : rows)
        m_list->addRow({QString::fromStdString(row.label), QString::fromStdString(row.value),
                        QString::fromStdString(row.name), QString(), QString()});
}

QString InfoListView::cell(int row, int column) const {
    return m_list->cellText(row, column);
}

int InfoListView::rowCount() const {
    return m_list->rowCount();
}

} // namespace kalder
