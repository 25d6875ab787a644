#include "ui/report_list.h"

#include <QHeaderView>

namespace kalder {

ReportList::ReportList(const std::vector<int>& columnWidths, QWidget* parent)
    : QTableWidget(parent) {
    setColumnCount(static_cast<int>(columnWidths.size()));
    int c = 0;
    for (int width : columnWidths)
        setColumnWidth(c++, width);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // The columns are narrow: show as much of a text as fits rather than an ellipsis.
    setTextElideMode(Qt::ElideNone);
    setStyleSheet(QStringLiteral("QTableView::item { padding: 0px 1px; }"));
    QFont listFont(QStringLiteral("Arial"), 9);
    listFont.setBold(true);
    setFont(listFont);
    // Dark blue text on a light list, whatever the window's theme.
    QPalette p = palette();
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    p.setColor(QPalette::AlternateBase, QColor(240, 240, 248));
    p.setColor(QPalette::Text, QColor(60, 60, 120));
    p.setColor(QPalette::Highlight, QColor(60, 60, 120));
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    setPalette(p);
    setGridStyle(Qt::SolidLine);
}

void ReportList::addRow(const std::array<QString, 5>& texts) {
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < columnCount() && c < 5; ++c)
        setItem(row, c, new QTableWidgetItem(texts[static_cast<std::size_t>(c)]));
}

int ReportList::selectedRow() const {
    const auto rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList{};
    return rows.isEmpty() ? -1 : rows.front().row();
}

QString ReportList::cellText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

} // namespace kalder
