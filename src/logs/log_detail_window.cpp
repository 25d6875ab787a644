#include "logs/log_detail_window.h"

#include "ui/report_list.h"
#include "resources/resource_library.h"
#include "ui/theme.h"

#include <QHeaderView>
#include <QPushButton>

namespace kalder {

LogDetailWindow::LogDetailWindow(const LogRecord& record, const LogNaming& naming, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("logDetailWindow"));
    setFixedSize(403, 417);
    m_report = new ReportList({50, 150, 200, 70, 336}, this);
    m_report->setObjectName(QStringLiteral("logDetailList"));
    m_report->setAccessibleName(resourceText(5892));
    m_report->setGeometry(2, 2, 399, 389);
    // The detail rows' columns change meaning from row to row (a heading row, then values):
    // no header names them all.
    m_report->horizontalHeader()->hide();
    const LogDetails details = logDetailRows(record, naming);
    for (const LogDetailRow& row : details.rows)
        m_report->addRow({QString::fromStdString(row.c1), QString::fromStdString(row.c2),
                          QString::fromStdString(row.c3), QString::fromStdString(row.c4),
                          QString::fromStdString(row.c5)});
    m_area = makeDialogButton(resourceText(5685), this);
    m_area->setObjectName(QStringLiteral("areaButton"));
    m_area->setAccessibleName(resourceText(5685));
    m_area->setGeometry(205, 396, 97, 22);
    m_area->setVisible(details.areaButton);
    m_back = makeDialogButton(resourceText(5583), this);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_back->setAccessibleName(resourceText(5583));
    m_back->setGeometry(304, 396, 97, 22);
    connect(m_area, &QPushButton::clicked, this, &LogDetailWindow::areaRequested);
    connect(m_back, &QPushButton::clicked, this, &LogDetailWindow::backRequested);
}

} // namespace kalder
