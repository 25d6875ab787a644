// The report list's columns at a log window's width: every column but the free text shows its
// widest cell whole, wherever the row is; the free text takes the rest and ends in "…".
#include "ui/report_list.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(ReportList, FixedColumnsFitTheirWidestCellAndTheFreeTextTakesTheRest) {
    ReportList list({40, 80, 70, 70, 120});
    list.setHeaders({"No.", "Date / time", "Event", "Source", "Details"});
    list.resize(620, 300);
    list.show();
    const QString details = QStringLiteral("Remote configuration changed: ") + QString(60, 'x');
    for (int i = 0; i < 60; ++i) {
        // The long texts sit far below the rows in view.
        const bool longRow = i == 55;
        list.addRow({QStringLiteral("%1").arg(2500 - i, 5, 10, QLatin1Char('0')),
                     QStringLiteral("2026-12-10 13:37:%1").arg(i % 60, 2, 10, QLatin1Char('0')),
                     longRow ? QStringLiteral("Remote login refused") : QStringLiteral("Alarm"),
                     longRow ? QStringLiteral("192.168.100.200") : QStringLiteral("ADMIN"),
                     details});
    }
    list.fitColumns();
    const QFontMetrics metrics(list.font());
    for (int c = 0; c < 4; ++c) {
        int widest = 0;
        for (int r = 0; r < list.rowCount(); ++r)
            widest = std::max(widest, metrics.horizontalAdvance(list.cellText(r, c)));
        EXPECT_GT(list.columnWidth(c), widest) << "column " << c;
    }
    // The free text fills the row to the list's edge and is cut, not the others.
    const int used = list.columnWidth(0) + list.columnWidth(1) + list.columnWidth(2) +
                     list.columnWidth(3) + list.columnWidth(4);
    EXPECT_LE(used, list.contentsRect().width());
    EXPECT_LT(list.columnWidth(4), metrics.horizontalAdvance(details));
    EXPECT_GT(list.columnWidth(4), metrics.horizontalAdvance(QStringLiteral("Remote")));

    // Another free column: the event text gives way, the details show whole.
    list.setFreeColumn(2);
    for (int r = 0; r < list.rowCount(); ++r)
        list.item(r, 4)->setText(QStringLiteral("03 08"));
    list.item(55, 2)->setText(QStringLiteral("Remote login refused ") + QString(80, 'y'));
    list.fitColumns();
    EXPECT_GT(list.columnWidth(4), metrics.horizontalAdvance(QStringLiteral("03 08")));
    EXPECT_GT(list.columnWidth(3), metrics.horizontalAdvance(QStringLiteral("192.168.100.200")));
    EXPECT_LT(list.columnWidth(2), metrics.horizontalAdvance(list.cellText(55, 2)));
}

} // namespace
} // namespace kalder
