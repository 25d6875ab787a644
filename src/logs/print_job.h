#pragma once

#include "ui/page_painter.h"

#include <atomic>
#include <thread>
#include <vector>

namespace kalder {

// Prints one list to the default printer on a worker thread of its own, so the GUI never waits
// for the spooler. One job at a time; the owner (a log window, GUI thread) keeps it, and its
// destructor waits for a job still printing.
class PrintJob {
public:
    PrintJob() = default;
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // GUI thread. False when a job is still printing (the press is ignored) or there is nothing
    // to print.
    bool start(const PrintLayout& layout, std::vector<PrintRow> rows);
    bool busy() const { return m_busy; }

private:
    std::jthread m_thread;
    std::atomic<bool> m_busy{false}; // set by start(), cleared by the print thread
};

} // namespace kalder
