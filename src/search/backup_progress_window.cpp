#include "search/backup_progress_window.h"

#include "export_ui/export_progress_window.h"
#include "session/backup_rules.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "wire/recorder_time.h"
#include "ui/theme.h"

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <system_error>

namespace kalder {

namespace {

// QProgressBar counts in int: sizes beyond its range are shown in megabytes.
bool inMegabytes(std::uint32_t totalKbytes) {
    return totalKbytes > static_cast<std::uint32_t>(std::numeric_limits<int>::max());
}

int barValue(std::uint64_t kbytes, bool megabytes) {
    const std::uint64_t v = megabytes ? kbytes / 1024 : kbytes;
    return static_cast<int>(std::min<std::uint64_t>(v, std::numeric_limits<int>::max()));
}

// GUI thread only: the plan of the transfer about to start or running, and the export window
// the last planned transfer opened.
std::optional<BackupExportPlan>& backupExportPlanSlot() {
    static std::optional<BackupExportPlan> plan;
    return plan;
}
QPointer<ExportProgressWindow>& backupExportWindowSlot() {
    static QPointer<ExportProgressWindow> window;
    return window;
}

enum class PlannedExport { None, Started, NotExported };

// The transfer of `result` was planned for export: the export starts over `parent`. Not
// exported when the operator stopped the transfer, its sets could not be written or none came
// (the sets stay where they are, and the result box says so).
PlannedExport startPlannedExport(const BackupWriteResult& result, QWidget* parent) {
    std::optional<BackupExportPlan> plan = std::move(backupExportPlanSlot());
    backupExportPlanSlot().reset();
    if (!plan || result.folder != plan->request.setsFolder)
        return PlannedExport::None;
    using End = BackupWriteResult::End;
    // A transfer the recorder ended early is exported as far as it came.
    const bool whole = result.end == End::Done || result.end == End::Failed;
    if (!whole || result.sets.empty())
        return PlannedExport::NotExported;
    ExportJob job;
    job.request = plan->request;
    if (!plan->keepSets)
        job.removeAfter = plan->request.setsFolder;
    auto* window = new ExportProgressWindow(
        std::move(job), plan->keepSets ? plan->request.setsFolder : std::filesystem::path(),
        parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    backupExportWindowSlot() = window;
    window->show();
    window->start();
    return PlannedExport::Started;
}

} // namespace

BackupProgressWindow::BackupProgressWindow(RecorderSession& session, std::uint32_t totalKbytes,
                                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      m_session(session), m_total(totalKbytes) {
    setObjectName("BackupProgressWindow");
    setWindowTitle(QStringLiteral("Backup progress"));
    setAccessibleName(QStringLiteral("Backup progress window"));
    setFixedSize(320, 100);

    m_bar = new QProgressBar(this);
    m_bar->setAccessibleName(QStringLiteral("Backup progress"));
    m_bar->setGeometry(12, 14, 296, 22);
    m_bar->setTextVisible(true);
    m_bar->setRange(0, std::max(1, barValue(totalKbytes, inMegabytes(totalKbytes))));
    m_bar->setValue(0);

    m_amount = new QLabel(this);
    m_amount->setAccessibleName(QStringLiteral("Backup amount"));
    m_amount->setGeometry(12, 42, 296, 20);

    m_stop = makeDialogButton(QStringLiteral("Stop"), this);
    m_stop->setAccessibleName(QStringLiteral("Stop"));
    m_stop->setGeometry(230, 66, 78, 26);
    connect(m_stop, &QPushButton::clicked, this, &BackupProgressWindow::stop);

    applyTheme(*this);
    setPosition(0);
}

void BackupProgressWindow::setExportFormat(ExportFormat format) {
    const QString name = QString::fromLatin1(format == ExportFormat::Mkv ? "MKV" : "MP4");
    setWindowTitle(QStringLiteral("Backup progress: downloading for the %1 export").arg(name));
    m_bar->setAccessibleName(QStringLiteral("Backup progress"));
    m_bar->setFormat(QStringLiteral("Downloading: %p%"));
}

void BackupProgressWindow::setPosition(std::uint64_t kbytes) {
    m_position = kbytes;
    const bool mb = inMegabytes(m_total);
    m_bar->setValue(std::min(barValue(kbytes, mb), m_bar->maximum()));
    const auto shown = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kbytes, std::numeric_limits<std::uint32_t>::max()));
    m_amount->setText(QString::fromStdString(backupSize(shown).text) + QStringLiteral(" / ") +
                      QString::fromStdString(backupSize(m_total).text));
}

void BackupProgressWindow::stop() {
    m_stop->setEnabled(false);
    if (m_session.backup().transferRunning())
        m_session.backup().stop();
    else
        close();
}

BackupResultBox::BackupResultBox(const BackupWriteResult& result, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("backupResultBox"));
    setWindowTitle(QStringLiteral("Backup result"));
    m_text = new QLabel(describe(result), this);
    m_text->setObjectName(QStringLiteral("backupResultText"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumWidth(360);
    m_open = makeDialogButton(QStringLiteral("Open Folder"), this);
    m_open->setObjectName(QStringLiteral("openFolderButton"));
    m_open->setToolTip(QStringLiteral("Show the backup folder in the file manager"));
    QPushButton* ok = makeDialogButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    const QString folder = QString::fromStdString(result.folder.string());
    connect(m_open, &QPushButton::clicked, this, [this, folder] {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
            m_text->setText(m_text->text() +
                            QStringLiteral("\n\nThe folder could not be opened: ") +
                            QDir::toNativeSeparators(folder));
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    m_open->setEnabled(!folder.isEmpty());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_open);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    applyTheme(*this);
}

void BackupResultBox::addNote(const QString& note) {
    m_text->setText(m_text->text() + QLatin1Char('\n') + note);
}

QString BackupResultBox::text() const {
    return m_text->text();
}

QString BackupResultBox::describe(const BackupWriteResult& result) {
    using End = BackupWriteResult::End;
    const QString folder = QDir::toNativeSeparators(QString::fromStdString(result.folder.string()));
    QStringList sets;
    for (const std::string& s : result.sets)
        sets << QString::fromStdString(s);
    const QString written = sets.isEmpty()
                                ? QStringLiteral("No set was written.")
                                : QStringLiteral("Set%1 %2 in %3.")
                                      .arg(sets.size() == 1 ? QString() : QStringLiteral("s"),
                                           sets.join(QStringLiteral(", ")), folder);
    switch (result.end) {
    case End::Done:
        return QStringLiteral("The backup is complete.\n") + written;
    case End::Stopped:
        return QStringLiteral("The backup was stopped; what arrived before is kept.\n") + written;
    case End::Failed:
        return QStringLiteral("The recorder ended the backup early.\n") + written;
    case End::FileError:
        return QStringLiteral("The backup could not be written in %1: %2\n")
                   .arg(folder, QString::fromStdString(result.error)) +
               written;
    }
    return written;
}

void planBackupExport(BackupExportPlan plan) {
    backupExportPlanSlot() = std::move(plan);
}

void dropBackupExportPlan() {
    backupExportPlanSlot().reset();
}

std::optional<BackupExportPlan> pendingBackupExportPlan() {
    return backupExportPlanSlot();
}

ExportProgressWindow* lastBackupExportWindow() {
    return backupExportWindowSlot();
}

std::filesystem::path freshExportFolder(const std::filesystem::path& base, const char* prefix,
                                        std::uint32_t time) {
    const CivilTime t = decodeRecorderTime(time);
    const std::string name =
        std::string(prefix) + QString::asprintf("%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day,
                                                t.hour, t.minute, t.second)
                                  .toStdString();
    std::filesystem::path folder = base / name;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(folder, ec) && n < 1000; ++n)
        folder = base / (name + "-" + std::to_string(n));
    return folder;
}

bool routeBackupMessage(const WindowMessageEvent& message, RecorderSession* session,
                        QPointer<BackupProgressWindow>& window, QWidget* parent) {
    switch (message.message()) {
    case WindowMessage::BackupProgressOpen:
        delete window;
        if (session) {
            window = new BackupProgressWindow(*session,
                                              static_cast<std::uint32_t>(message.wParam()), parent);
            window->setAttribute(Qt::WA_DeleteOnClose);
            if (const auto& plan = backupExportPlanSlot())
                window->setExportFormat(plan->request.format);
            window->show();
        }
        return true;
    case WindowMessage::BackupProgressPosition:
        if (window)
            window->setPosition(static_cast<std::uint64_t>(message.wParam()));
        return true;
    case WindowMessage::BackupProgressClose:
        // A transfer that opened its window ended: say how, and where the sets are.
        if (!window) {
            dropBackupExportPlan();
            return true;
        }
        window->close();
        if (session)
            if (const auto result = session->backup().lastResult()) {
                const PlannedExport planned = startPlannedExport(*result, parent);
                if (planned == PlannedExport::Started)
                    return true;
                auto* box = new BackupResultBox(*result, parent);
                if (planned == PlannedExport::NotExported)
                    box->addNote(QStringLiteral("Nothing was exported: the export starts only "
                                                "after a backup that brought its sets."));
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->show();
            }
        dropBackupExportPlan();
        return true;
    case WindowMessage::BackupWriterEnded:
        if (session)
            session->backup().writerEnded();
        return true;
    case WindowMessage::CloseWindow:
        if (message.wParam() != std::uintptr_t(CloseTarget::BackupProgress))
            return false;
        if (window)
            window->close();
        return true;
    default:
        return false;
    }
}

} // namespace kalder
