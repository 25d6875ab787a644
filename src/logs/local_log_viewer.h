#pragma once

#include "files/local_log.h"
#include "logs/print_job.h"

#include <QWidget>

#include <filesystem>
#include <vector>

class QPushButton;

namespace kalder {

class ReportList;

// The local operation log: every entry of the ring file, newest first, and its Print button.
// It lives in the panel place of the local search window's Log tab (one per window), so Enter,
// Escape and the window manager's close reach the window, which ignores them. GUI thread.
class LocalLogViewer : public QWidget {
    Q_OBJECT
public:
    LocalLogViewer(std::filesystem::path logFile, int dateFormat, QWidget* parent = nullptr);

    // Reads the file again and rebuilds the list (a missing or busy file lists nothing).
    void reload();
    std::size_t entryCount() const { return m_table.size(); }
    ReportList* list() const { return m_list; }
    QPushButton* printButton() const { return m_print; }
    // The pages the Print button sends to the printer, written to a PDF file instead.
    bool printToPdf(const QString& path) const;

private:
    void print();

    const std::filesystem::path m_file;
    const int m_dateFormat;
    std::vector<LocalLogRecord> m_table; // oldest first
    ReportList* m_list = nullptr;
    QPushButton* m_print = nullptr;
    PrintJob m_printJob{*this};
};

} // namespace kalder
