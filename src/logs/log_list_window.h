#pragma once

#include "logs/print_job.h"
#include "wire/log_listing.h"

#include <QWidget>

#include <functional>
#include <vector>

class QPushButton;

namespace kalder {

class ReportList;

// One list of the recorder's log (All, Power, Record, Operation, Client, Event or Archive),
// newest first, with Print, and Details or Play where the list has them. The rows refer to the
// log the browser holds, which outlives the window.
class LogListWindow : public QWidget {
    Q_OBJECT
public:
    LogListWindow(LogList list, const std::vector<LogRecord>& records, const LogNaming& naming,
                  const LogViewer& viewer, std::function<bool()> localPlaybackRunning,
                  QWidget* parent = nullptr);

    LogList list() const { return m_list; }
    ReportList* reportList() const { return m_report; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* detailsButton() const { return m_details; } // null when the list has none
    QPushButton* playButton() const { return m_play; }       // null when the list has none
    // Index into the log of each row, top to bottom.
    const std::vector<std::size_t>& rowRecords() const { return m_rows; }
    void selectRow(int row);
    // The printed pages, written to a PDF file instead of the printer.
    bool printToPdf(const QString& path) const;

    static PrintLayout printLayout(LogList list);

signals:
    void detailsRequested(std::size_t recordIndex);
    void playRequested(std::size_t recordIndex);

private:
    void updateButtons();
    std::vector<PrintRow> printRows() const;
    std::optional<std::size_t> selectedRecord() const;

    const LogList m_list;
    const std::vector<LogRecord>& m_records;
    const LogNaming m_naming;
    std::function<bool()> m_localPlaybackRunning;
    std::vector<std::size_t> m_rows;
    ReportList* m_report = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_details = nullptr;
    QPushButton* m_play = nullptr;
    PrintJob m_printJob{*this};
};

} // namespace kalder
