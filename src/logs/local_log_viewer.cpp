#include "logs/local_log_viewer.h"

#include "logs/local_log_rows.h"
#include "ui/report_list.h"
#include "resources/resource_library.h"
#include "ui/theme.h"

#include <QPushButton>

namespace kalder {

LocalLogViewer::LocalLogViewer(std::filesystem::path logFile, int dateFormat, QWidget* parent)
    : QWidget(parent), m_file(std::move(logFile)), m_dateFormat(dateFormat) {
    setWindowTitle(resourceText(5527).isEmpty() ? QStringLiteral("Local Log") : resourceText(5527));
    setFixedSize(403, 417);
    m_list = new ReportList({40, 144, 120, 70, 160}, this);
    m_list->setObjectName(QStringLiteral("localLogList"));
    m_list->setAccessibleName(windowTitle());
    m_list->setGeometry(2, 2, 399, 389);
    m_list->setHeaders({resourceText(7200), resourceText(7201), resourceText(7202),
                        resourceText(7205), resourceText(7206)});
    m_print = makeDialogButton(resourceText(5604), this);
    m_print->setObjectName(QStringLiteral("printButton"));
    m_print->setAccessibleName(resourceText(5604));
    m_print->setGeometry(2, 396, 97, 22);
    m_print->setAutoDefault(false);
    connect(m_print, &QPushButton::clicked, this, &LocalLogViewer::print);
    applyTheme(*this);
    reload();
}

void LocalLogViewer::reload() {
    m_table = readLocalLog(m_file).value_or(std::vector<LocalLogRecord>{});
    if (m_table.size() > kLocalLogSlotCount)
        m_table.erase(m_table.begin(), m_table.begin() + static_cast<std::ptrdiff_t>(
                                                             m_table.size() - kLocalLogSlotCount));
    m_list->setRowCount(0);
    for (const PrintRow& row : localLogScreenRows(m_table, m_dateFormat))
        m_list->addRow(row);
}

bool LocalLogViewer::printToPdf(const QString& path) const {
    return PagePainter(localLogPrintLayout())
        .writePdf(path, localLogPrintRows(m_table, m_dateFormat));
}

void LocalLogViewer::print() {
    m_printJob.start(localLogPrintLayout(), localLogPrintRows(m_table, m_dateFormat));
}

} // namespace kalder
