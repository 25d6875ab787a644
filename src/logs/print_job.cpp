#include "logs/print_job.h"

#include "post/call_poster.h"
#include "resources/resource_library.h"
#include "ui/notification_box.h"
#include "ui/theme.h"

#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QWidget>

namespace kalder {

namespace {

QString printTitle() {
    const QString print = resourceText(5604);
    return print.isEmpty() ? QStringLiteral("Print") : print;
}

// Where the pages went, as the operator chose it.
QString destinationOf(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return QDir::toNativeSeparators(printer.outputFileName());
    return printer.printerName();
}

} // namespace

PrintJob::~PrintJob() {
    if (m_thread.joinable())
        m_thread.join();
}

bool PrintJob::start(const PrintLayout& layout, std::vector<PrintRow> rows) {
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return false;
    }
    if (m_busy)
        return false;
    if (rows.empty()) {
        tell(true, QObject::tr("Nothing was printed: the list is empty."));
        return false;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        launch(std::make_unique<QPrinter>(info, QPrinter::HighResolution), layout, std::move(rows));
        return true;
    }
    // No default printer: the operator picks a printer, or a PDF file (offered first, in the
    // documents folder, named after the list).
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    printer->setOutputFileName(QDir(folder).filePath(layout.documentName + QStringLiteral(".pdf")));
    auto* dialog = new QPrintDialog(printer.get(), m_owner);
    dialog->setObjectName(QStringLiteral("printDialog"));
    dialog->setWindowTitle(printTitle());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    applyTheme(*dialog);
    m_dialog = dialog;
    // The printer lives as long as the dialog, which the lambdas below outlive only by a
    // moment: it moves to the print thread on OK and goes with the dialog otherwise.
    QPrinter* chosen = printer.release();
    QObject::connect(dialog, &QObject::destroyed, m_owner, [chosen] { delete chosen; });
    QObject::connect(dialog, &QDialog::finished, m_owner,
                     [this, chosen, layout, rows = std::move(rows)](int result) mutable {
                         if (result != QDialog::Accepted) {
                             tell(true, QObject::tr("Nothing was printed: the system has no "
                                                    "default printer and no printer or file "
                                                    "was chosen."));
                             return;
                         }
                         // A copy of what the dialog set up; the dialog's own goes with it.
                         auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
                         printer->setPrinterName(chosen->printerName());
                         printer->setOutputFormat(chosen->outputFormat());
                         printer->setOutputFileName(chosen->outputFileName());
                         printer->setPageLayout(chosen->pageLayout());
                         printer->setCopyCount(chosen->copyCount());
                         printer->setDuplex(chosen->duplex());
                         printer->setColorMode(chosen->colorMode());
                         launch(std::move(printer), layout, std::move(rows));
                     });
    dialog->open();
    return true;
}

void PrintJob::launch(std::unique_ptr<QPrinter> printer, const PrintLayout& layout,
                      std::vector<PrintRow> rows) {
    if (m_thread.joinable())
        m_thread.join(); // the previous job has ended (m_busy is clear)
    m_busy = true;
    if (!m_ends)
        m_ends = new CallPoster(m_owner);
    m_thread = std::jthread([this, ends = m_ends, layout, rows = std::move(rows),
                             printer = std::move(printer)]() mutable {
        const bool printed = PagePainter(layout).print(*printer, rows);
        const QString where = destinationOf(*printer);
        const auto pages = static_cast<int>(PagePainter::pageCount(rows.size()));
        printer.reset();
        m_busy = false;
        // The owner outlives this thread (its job joins it), and what is posted to its
        // child goes with it.
        ends->post([this, printed, where, pages] {
            if (printed)
                tell(false, QObject::tr("%n page(s) printed to %1.", nullptr, pages).arg(where));
            else
                tell(true, QObject::tr("Printing to %1 failed: nothing was printed.")
                               .arg(where.isEmpty() ? QObject::tr("the printer") : where));
        });
    });
}

void PrintJob::tell(bool failed, const QString& text) const {
    showMessageBox(m_owner, failed ? QMessageBox::Warning : QMessageBox::Information, printTitle(),
                   text);
}

} // namespace kalder
