#pragma once

#include "ui/page_painter.h"

#include <QPointer>
#include <QPrintDialog>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QPrinter;
class QWidget;

namespace kalder {

class CallPoster;

// Prints one list on a worker thread of its own, so the GUI never waits for the spooler: to
// the default printer, or, when the system has none, to the printer or PDF file the operator
// picks in the print dialog. Every press ends in a message over the owner window: where the
// pages went, or why nothing was printed. One job at a time; the owner (a log window, GUI
// thread) keeps it, and its destructor waits for a job still printing.
class PrintJob {
public:
    explicit PrintJob(QWidget& owner) : m_owner(&owner) {}
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // GUI thread. False when a job is still printing or its print dialog is open (the press
    // brings the dialog to the front) or there is nothing to print (that is said too).
    bool start(const PrintLayout& layout, std::vector<PrintRow> rows);
    bool busy() const { return m_busy || m_dialog; }
    // The print dialog while it is open (no default printer), else null.
    QPrintDialog* dialog() const { return m_dialog; }

private:
    // GUI thread: hands `printer` to the worker thread.
    void launch(std::unique_ptr<QPrinter> printer, const PrintLayout& layout,
                std::vector<PrintRow> rows);
    void tell(bool failed, const QString& text) const;

    QWidget* m_owner;
    // Child of the owner, made by the first launch: the print thread's end goes through it.
    CallPoster* m_ends = nullptr;
    QPointer<QPrintDialog> m_dialog;
    std::jthread m_thread;
    std::atomic<bool> m_busy{false}; // set by launch(), cleared by the print thread
};

} // namespace kalder
