#include "ui/report_list.h"

#include "ui/theme.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace kalder {

ReportList::ReportList(const std::vector<int>& columnWidths, QWidget* parent)
    : QTableWidget(parent), m_leastWidths(columnWidths) {
    setColumnCount(static_cast<int>(columnWidths.size()));
    int c = 0;
    for (int width : columnWidths)
        setColumnWidth(c++, width);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    // The columns share the list's width: no sideways scrolling.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont listFont(QStringLiteral("Arial"), 9);
    listFont.setBold(true);
    setFont(listFont);
    // The window's theme, set here as well: a list made before its window takes the theme, or
    // in a window that does not, is still not a white sheet on the dark frame.
    if (skinAvailable())
        setPalette(kalderPalette());
    setGridStyle(Qt::SolidLine);
}

void ReportList::setHeaders(const QStringList& headers) {
    setHorizontalHeaderLabels(headers);
    scheduleFit();
}

void ReportList::addRow(const std::array<QString, 5>& texts) {
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < columnCount() && c < 5; ++c) {
        const QString& text = texts[static_cast<std::size_t>(c)];
        auto* item = new QTableWidgetItem(text);
        // A text cut short by its column is read whole here.
        item->setToolTip(text);
        setItem(row, c, item);
    }
    scheduleFit();
}

void ReportList::scheduleFit() {
    if (m_fitPending)
        return;
    m_fitPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_fitPending)
            fitColumns();
    });
}

void ReportList::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    scheduleFit();
}

void ReportList::fitColumns() {
    m_fitPending = false;
    const int columns = columnCount();
    if (columns == 0)
        return;
    // The room inside the frame, less a vertical scroll bar's when one is (or may be) shown.
    const int room =
        std::max(columns, contentsRect().width() - verticalScrollBar()->sizeHint().width());
    std::vector<int> least(static_cast<std::size_t>(columns));
    std::vector<int> wanted(static_cast<std::size_t>(columns));
    QHeaderView* header = horizontalHeader();
    // A cell's text plus the delegate's margins on both sides and the grid line: the width at
    // which it shows whole. Every row counts, not only those in view.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QFontMetrics cellMetrics(font());
    std::vector<int> textWidths(static_cast<std::size_t>(columns), 0);
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columns; ++c)
            if (const QTableWidgetItem* cell = item(r, c))
                textWidths[static_cast<std::size_t>(c)] =
                    std::max(textWidths[static_cast<std::size_t>(c)],
                             cellMetrics.horizontalAdvance(cell->text()) + 2 * margin + 2);
    for (int c = 0; c < columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        // A column never gets narrower than its header's text.
        const QTableWidgetItem* head = horizontalHeaderItem(c);
        const int headerWidth = header->isHidden() || head == nullptr
                                    ? 0
                                    : header->fontMetrics().horizontalAdvance(head->text()) + 12;
        least[i] = std::max(headerWidth, 12);
        // An empty list keeps the widths it was made with (its headers still show).
        const int given = i < m_leastWidths.size() ? m_leastWidths[i] : 0;
        wanted[i] =
            std::max(least[i], rowCount() == 0 ? std::min(given, room / columns)
                                               : std::max(textWidths[i], sizeHintForColumn(c)));
    }
    const auto free = static_cast<std::size_t>(
        m_freeColumn >= 0 && m_freeColumn < columns ? m_freeColumn : columns - 1);
    int fixedSum = 0;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        fixedSum += i == free ? 0 : wanted[i];
    const int wantedSum = std::accumulate(wanted.begin(), wanted.end(), 0);
    const int leastSum = std::accumulate(least.begin(), least.end(), 0);
    std::vector<int> widths = wanted;
    if (wantedSum <= room) {
        widths[free] += room - wantedSum; // the free-text column takes what is left
    } else if (fixedSum + least[free] <= room) {
        // The free text (a log entry's details, an event's text) alone gives way: every other
        // column shows its widest text whole.
        widths[free] = room - fixedSum;
    } else if (const auto widest = static_cast<std::size_t>(
                   std::distance(wanted.begin(), std::max_element(wanted.begin(), wanted.end())));
               wantedSum - wanted[widest] + least[widest] <= room) {
        // The widest text (a log entry's details) alone gives way: the others stay whole.
        widths[widest] = room - (wantedSum - wanted[widest]);
    } else if (leastSum < room) {
        // Then the widest columns together: every column is held to one common cap (never
        // below its least width), the largest cap at which they all fit. Short columns stay
        // whole; the long texts end in "…".
        auto sumAt = [&](int cap) {
            int sum = 0;
            for (std::size_t i = 0; i < wanted.size(); ++i)
                sum += std::min(wanted[i], std::max(least[i], cap));
            return sum;
        };
        int low = 0;
        int high = *std::max_element(wanted.begin(), wanted.end());
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (sumAt(mid) <= room)
                low = mid;
            else
                high = mid - 1;
        }
        int used = 0;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::min(wanted[i], std::max(least[i], low));
            used += widths[i];
        }
        // What the cap leaves goes to the last column.
        widths.back() += room - used;
    } else {
        widths = least;
    }
    for (int c = 0; c < columns; ++c)
        setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

void ReportList::setFreeColumn(int column) {
    m_freeColumn = column;
    scheduleFit();
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
