#include "logs/print_job.h"

namespace kalder {

PrintJob::~PrintJob() {
    if (m_thread.joinable())
        m_thread.join();
}

bool PrintJob::start(const PrintLayout& layout, std::vector<PrintRow> rows) {
    if (rows.empty() || m_busy)
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the previous job has ended (m_busy is clear)
    m_busy = true;
    m_thread = std::jthread([this, layout, rows = std::move(rows)] {
        // No default printer: nothing is printed and nobody is told.
        PagePainter(layout).printToDefaultPrinter(rows);
        m_busy = false;
    });
    return true;
}

} // namespace kalder
