#include "logs/log_list_window.h"

#include "ui/report_list.h"
#include "resources/resource_library.h"
#include "ui/theme.h"

#include <QPushButton>

namespace kalder {

namespace {

QString fromRecorder(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

PrintLayout LogListWindow::printLayout(LogList list) {
    static const char* const kNames[] = {
        "Remote Log All",    "Remote Log Power", "Remote Log Record", "Remote Log Operation",
        "Remote Log Client", "Remote Log Event", "Remote Log Archive"};
    PrintLayout l;
    l.documentName = QLatin1String(kNames[static_cast<int>(list)]);
    l.title = resourceText(5520);
    return l;
}

LogListWindow::LogListWindow(LogList list, const std::vector<LogRecord>& records,
                             const LogNaming& naming, const LogViewer& viewer,
                             std::function<bool()> localPlaybackRunning, QWidget* parent)
    : QWidget(parent), m_list(list), m_records(records), m_naming(naming),
      m_localPlaybackRunning(std::move(localPlaybackRunning)),
      m_rows(logListIndexes(records, list, viewer)) {
    setObjectName(QStringLiteral("logListWindow"));
    setFixedSize(403, 417);
    m_report = new ReportList({50, 150, 120, 70, 336}, this);
    m_report->setObjectName(QStringLiteral("logList"));
    m_report->setAccessibleName(printLayout(list).documentName);
    m_report->setGeometry(2, 2, 399, 389);
    m_report->setHeaders({resourceText(7200), resourceText(7201), resourceText(7202),
                          resourceText(7203), resourceText(7204)});
    for (std::size_t i : m_rows) {
        const LogRow row = logRow(records[i], naming);
        m_report->addRow({fromRecorder(row.sequence), fromRecorder(row.time),
                          fromRecorder(row.description), fromRecorder(row.source),
                          fromRecorder(row.details)});
    }
    auto button = [this](int textId, const char* name, int x) {
        QPushButton* b = makeDialogButton(resourceText(textId), this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(resourceText(textId));
        b->setGeometry(x, 394, 97, 22);
        return b;
    };
    int x = 2;
    m_print = button(5604, "printButton", x);
    connect(m_print, &QPushButton::clicked, this,
            [this] { m_printJob.start(printLayout(m_list), printRows()); });
    if (list == LogList::All || list == LogList::Operation || list == LogList::Archive) {
        m_details = button(5892, "detailsButton", x += 99);
        connect(m_details, &QPushButton::clicked, this, [this] {
            if (const auto i = selectedRecord())
                emit detailsRequested(*i);
        });
    }
    if (list == LogList::All || list == LogList::Event) {
        m_play = button(5563, "playButton", x += 99);
        connect(m_play, &QPushButton::clicked, this, [this] {
            if (const auto i = selectedRecord())
                emit playRequested(*i);
        });
    }
    connect(m_report, &QTableWidget::itemSelectionChanged, this, &LogListWindow::updateButtons);
    updateButtons();
}

void LogListWindow::selectRow(int row) {
    m_report->selectRow(row);
    updateButtons();
}

std::optional<std::size_t> LogListWindow::selectedRecord() const {
    const int row = m_report->selectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return std::nullopt;
    return m_rows[static_cast<std::size_t>(row)];
}

void LogListWindow::updateButtons() {
    LogSelection s;
    if (const auto i = selectedRecord())
        s = logSelection(m_records[*i], m_list, m_localPlaybackRunning && m_localPlaybackRunning());
    if (m_details)
        m_details->setEnabled(s.details);
    if (m_play)
        m_play->setEnabled(s.play);
}

std::vector<PrintRow> LogListWindow::printRows() const {
    std::vector<PrintRow> rows;
    rows.reserve(m_rows.size());
    for (int r = 0; r < m_report->rowCount(); ++r)
        rows.push_back({m_report->cellText(r, 0), m_report->cellText(r, 1),
                        m_report->cellText(r, 2), m_report->cellText(r, 3),
                        m_report->cellText(r, 4)});
    return rows;
}

bool LogListWindow::printToPdf(const QString& path) const {
    return PagePainter(printLayout(m_list)).writePdf(path, printRows());
}

} // namespace kalder
