#include "info/info_list_view.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace kalder {

InfoListView::InfoListView(const QString& title, std::vector<int> columnWidths, QWidget* parent,
                           bool window)
    : QWidget(parent, window ? Qt::Window : Qt::Widget), m_list(new QTreeWidget(this)),
      m_columns(static_cast<int>(columnWidths.size())) {
    setWindowTitle(title);
    setAccessibleName(title);
    setFixedSize(403, 417);
    m_list->setGeometry(2, 2, 399, 413);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    m_list->setColumnCount(m_columns);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAccessibleName(title);
    for (int c = 0; c < m_columns; ++c)
        m_list->setColumnWidth(c, columnWidths[static_cast<std::size_t>(c)]);
}

void InfoListView::setRows(const std::vector<InfoRow>& rows) {
    m_list->clear();
    for (const InfoRow& row : rows) {
        auto* item = new QTreeWidgetItem(m_list);
        const std::string* cells[] = {&row.label, &row.value, &row.name};
        for (int c = 0; c < m_columns && c < 3; ++c)
            item->setText(c, QString::fromStdString(*cells[c]));
    }
}

QString InfoListView::cell(int row, int column) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int InfoListView::rowCount() const {
    return m_list->topLevelItemCount();
}

} // namespace kalder
