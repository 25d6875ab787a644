#include "export_ui/export_progress_window.h"

#include "export/export_manifest.h"
#include "ui/theme.h"
#include "wire/recorder_time.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace kalder {

namespace {

QString exportPathText(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path.string())));
}

QString exportTimeText(std::uint32_t time) {
    return QString::fromStdString(formatRecorderTime(time));
}

// QProgressBar counts in int.
int exportBarValue(std::uint64_t frames) {
    return static_cast<int>(std::min<std::uint64_t>(frames, std::numeric_limits<int>::max()));
}

} // namespace

ExportProgressWindow::ExportProgressWindow(ExportJob job, std::filesystem::path keptSets,
                                           QWidget* parent)
    : QDialog(parent), m_job(std::move(job)), m_keptSets(std::move(keptSets)) {
    setObjectName(QStringLiteral("ExportProgressWindow"));
    setWindowTitle(QStringLiteral("Export progress"));
    setAccessibleName(QStringLiteral("Export progress window"));
    setMinimumWidth(520);

    m_worker = new ExportWorker(this);
    connect(m_worker, &ExportWorker::changed, this, &ExportProgressWindow::onChanged);

    const ExportRequest& r = m_job.request;
    int channels = 0;
    for (unsigned i = 0; i < 16; ++i)
        channels += (r.channelMask >> i) & 1u;
    m_what = new QLabel(
        QStringLiteral("%1 to %2: %3 to %4, %5 channel%6%7")
            .arg(m_job.removeAfter.empty() && m_keptSets.empty() ? QStringLiteral("Exporting")
                                                                 : QStringLiteral("Exporting the "
                                                                                  "backup"),
                 QString::fromLatin1(r.format == ExportFormat::Mkv ? "MKV" : "MP4"),
                 exportTimeText(r.from), exportTimeText(r.to))
            .arg(channels)
            .arg(channels == 1 ? QString() : QStringLiteral("s"))
            .arg(r.burnIn ? QStringLiteral(", time and title burnt in") : QString()),
        this);
    m_what->setObjectName(QStringLiteral("exportWhat"));
    m_what->setWordWrap(true);

    m_bar = new QProgressBar(this);
    m_bar->setAccessibleName(QStringLiteral("Export progress"));
    m_bar->setRange(0, 0); // busy until the frames of the period are counted
    m_bar->setTextVisible(true);
    m_amount = new QLabel(QStringLiteral("Reading the sets"), this);
    m_amount->setAccessibleName(QStringLiteral("Export amount"));
    m_timeLeft = new QLabel(this);
    m_timeLeft->setAccessibleName(QStringLiteral("Time left"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("exportResultText"));
    m_result->setAccessibleName(QStringLiteral("Export result"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->hide();

    m_cancel = makeDialogButton(QStringLiteral("Cancel"), this);
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cancel->setToolTip(QStringLiteral("Stop the export; nothing of it is kept"));
    m_open = makeDialogButton(QStringLiteral("Open Folder"), this);
    m_open->setAccessibleName(QStringLiteral("Open Folder"));
    m_open->setToolTip(QStringLiteral("Show the exported files in the file manager"));
    m_open->hide();
    m_close = makeDialogButton(QStringLiteral("Close"), this);
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_amount->setText(QStringLiteral("Cancelling: removing what was begun"));
        m_worker->cancel();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_open, &QPushButton::clicked, this, [this] {
        const QString folder =
            QFile::decodeName(QByteArray::fromStdString(m_job.request.outFolder.string()));
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
            m_result->setText(m_result->text() +
                              QStringLiteral("\n\nThe folder could not be opened: ") +
                              QDir::toNativeSeparators(folder));
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_open);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_what);
    layout->addWidget(m_bar);
    layout->addWidget(m_amount);
    layout->addWidget(m_timeLeft);
    layout->addWidget(m_result);
    layout->addLayout(buttons);
    applyTheme(*this);
}

bool ExportProgressWindow::start() {
    m_clock.start();
    return m_worker->start(m_job);
}

void ExportProgressWindow::onChanged() {
    m_state = m_worker->state();
    if (m_state.result) {
        showEnd();
        return;
    }
    const ExportProgress& p = m_state.progress;
    if (p.total == 0)
        return;
    m_bar->setRange(0, std::max(1, exportBarValue(p.total)));
    m_bar->setValue(std::min(exportBarValue(p.done), m_bar->maximum()));
    if (m_worker->cancelled())
        return;
    const QLocale locale;
    m_amount->setText(
        QStringLiteral("%1 of %2 frames")
            .arg(locale.toString(qulonglong(p.done)), locale.toString(qulonglong(p.total))));
    m_timeLeft->setText(timeLeftText(m_clock.elapsed(), p.done, p.total));
}

void ExportProgressWindow::showEnd() {
    if (m_ended)
        return;
    m_ended = true;
    QString removed;
    if (!m_job.removeAfter.empty())
        removed = m_state.setsRemoved
                      ? QStringLiteral("The backup set fetched for the export was deleted.")
                      : QStringLiteral("The backup set in %1 could not be deleted: %2")
                            .arg(exportPathText(m_job.removeAfter),
                                 QString::fromStdString(m_state.removeError));
    m_result->setText(describe(m_state, m_job.request.outFolder, m_keptSets, removed));
    m_result->show();
    const bool done = m_state.result->end == ExportResult::End::Done;
    if (done) {
        m_bar->setRange(0, 1);
        m_bar->setValue(1);
    }
    m_bar->setVisible(done);
    m_amount->hide();
    m_timeLeft->hide();
    m_cancel->hide();
    m_open->setVisible(done && !m_state.result->files.empty());
    m_close->show();
    m_close->setDefault(true);
    m_close->setFocus();
    setWindowTitle(done ? QStringLiteral("Export complete")
                   : m_state.result->end == ExportResult::End::Stopped
                       ? QStringLiteral("Export cancelled")
                       : QStringLiteral("Export failed"));
    adjustSize();
    emit finished();
}

QString ExportProgressWindow::describe(const ExportState& state,
                                       const std::filesystem::path& outFolder,
                                       const std::filesystem::path& keptSets,
                                       const QString& removedSets) {
    QStringList lines;
    const QString folder = exportPathText(outFolder);
    if (!state.result)
        return {};
    const ExportResult& r = *state.result;
    switch (r.end) {
    case ExportResult::End::Done:
        if (r.files.empty()) {
            lines << QStringLiteral("Nothing was exported: the period holds no whole recording "
                                    "of the chosen channels.");
        } else {
            lines << QStringLiteral("%1 file%2 written in %3:")
                         .arg(r.files.size())
                         .arg(r.files.size() == 1 ? QString() : QStringLiteral("s"))
                         .arg(folder);
            for (const ExportedFile& f : r.files) {
                // The last frame's date only when it is another day than the first's.
                const QString first = exportTimeText(f.first);
                QString last = exportTimeText(f.last);
                if (last.left(10) == first.left(10))
                    last = last.mid(11);
                lines << QStringLiteral("  %1: channel %2, %3 frames, %4 to %5")
                             .arg(QString::fromStdString(f.name))
                             .arg(f.channel)
                             .arg(f.frames)
                             .arg(first, last);
            }
            if (!r.manifest.empty())
                lines << QStringLiteral("The manifest %1 beside them holds every file's SHA-256.")
                             .arg(QString::fromLatin1(kExportManifestName));
        }
        break;
    case ExportResult::End::Stopped:
        lines << QStringLiteral("Export cancelled; no file was kept.");
        break;
    case ExportResult::End::Failed:
        if (r.diskFull)
            lines << QStringLiteral("The export stopped: the disk of %1 is full. No file was "
                                    "kept; free some space or choose another folder and export "
                                    "again.")
                         .arg(folder);
        else
            lines << QStringLiteral("The export failed: %1. No file was kept.")
                         .arg(QString::fromStdString(r.error));
        break;
    }
    if (!r.leftOut.empty() && r.end == ExportResult::End::Done) {
        lines << QStringLiteral("Left out:");
        for (const ExportGap& g : r.leftOut)
            lines << QStringLiteral("  %1, %2 to %3: %4")
                         .arg(g.channel == 0 ? QStringLiteral("every channel")
                                             : QStringLiteral("channel %1").arg(g.channel),
                              exportTimeText(g.from), exportTimeText(g.to),
                              QString::fromStdString(g.reason));
    }
    if (!keptSets.empty())
        lines << QStringLiteral("The backup set is kept in %1.").arg(exportPathText(keptSets));
    if (!removedSets.isEmpty())
        lines << removedSets;
    return lines.join(QLatin1Char('\n'));
}

QString ExportProgressWindow::timeLeftText(qint64 elapsedMs, std::uint64_t done,
                                           std::uint64_t total) {
    if (done == 0 || total <= done || elapsedMs <= 0)
        return done >= total && total > 0 ? QStringLiteral("Finishing the files")
                                          : QStringLiteral("Time left: being measured");
    const double leftMs = double(elapsedMs) * double(total - done) / double(done);
    const auto seconds = static_cast<qint64>(leftMs / 1000.0 + 0.999);
    if (seconds < 60)
        return QStringLiteral("About %1 s left").arg(std::max<qint64>(seconds, 1));
    if (seconds < 3600)
        return QStringLiteral("About %1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("About %1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

void ExportProgressWindow::reject() {
    // Escape: cancels a running export, closes an ended one.
    if (!m_ended) {
        if (m_cancel->isEnabled())
            m_cancel->click();
        return;
    }
    QDialog::reject();
}

void ExportProgressWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close cancels first; the window closes once the export has ended.
    if (!m_ended) {
        event->ignore();
        if (m_cancel->isEnabled())
            m_cancel->click();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace kalder
