#include "info/info_list_view.h"

#include "resources/resource_library.h"
#include "ui/report_list.h"
#include "ui/theme.h"

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
    const QStringList headers{resourceText(7207), resourceText(7208), resourceText(7209)};
    m_list->setHeaders(headers.mid(0, m_columns));
    // A view of its own takes the theme itself; a panel inherits its window's.
    if (window)
        applyTheme(*this);
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

void InfoListView::setCellToolTip(int row, int column, const QString& tip) {
    if (QTableWidgetItem* item = m_list->item(row, column))
        item->setToolTip(tip);
}

QString InfoListView::cellToolTip(int row, int column) const {
    const QTableWidgetItem* item = m_list->item(row, column);
    return item ? item->toolTip() : QString();
}

int InfoListView::rowCount() const {
    return m_list->rowCount();
}

} // namespace kalder
