#include "search/backup_period_panel.h"

#include "search/backup_progress_window.h"
#include "search/backup_flow.h"
#include "search/search_window.h"

#include "session/backup_rules.h"
#include "session/recorder_session.h"

#include <QLabel>
#include <QPushButton>

#include <cstdio>
#include <string>

namespace kalder {

namespace {
constexpr Notification kNotEnoughSpace{13, 0};

// Who the recorder is (its greeting) and who exports, for the export's manifest.
ExportIdentity backupExportIdentity(const RecorderSession& session) {
    const HelloRecord& hello = session.hello();
    auto version = [](unsigned major, unsigned minor) {
        return std::to_string(major) + "." + std::to_string(minor);
    };
    ExportIdentity id;
    id.productNumber = std::to_string(hello.product_number);
    id.productVersion = version(hello.product_major_ver, hello.product_minor_ver);
    id.protocolVersion = version(hello.protocol_major_ver, hello.protocol_minor_ver);
    id.subProduct = version(hello.sub_product_num_major, hello.sub_product_num_minor);
    char mac[24];
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", hello.mac[0], hello.mac[1],
                  hello.mac[2], hello.mac[3], hello.mac[4], hello.mac[5]);
    id.mac = mac;
    id.user = session.userId();
    return id;
}
} // namespace

BackupPeriodPanel::BackupPeriodPanel(SearchWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    m_sizeCaption = new QLabel(QStringLiteral("Size"), this);
    m_size = new QLabel(this);
    m_size->setAccessibleName(QStringLiteral("Backup size"));

    m_calculate = new QPushButton(QStringLiteral("Calculate"), this);
    m_calculate->setAccessibleName(QStringLiteral("Calculate"));
    m_calculate->setAutoDefault(false);
    connect(m_calculate, &QPushButton::clicked, this, &BackupPeriodPanel::calculate);

    m_backup = new QPushButton(QStringLiteral("Backup"), this);
    m_backup->setAccessibleName(QStringLiteral("Backup"));
    m_backup->setAutoDefault(false);
    m_backup->setEnabled(false);
    connect(m_backup, &QPushButton::clicked, this, &BackupPeriodPanel::backup);
}

void BackupPeriodPanel::placeSizeRow(int y) {
    m_sizeCaption->setGeometry(4, y, 50, 24);
    m_size->setGeometry(56, y, 170, 24);
    m_calculate->setGeometry(234, y, 80, 24);
    m_backup->setGeometry(318, y, 80, 24);
}

void BackupPeriodPanel::periodChanged() {
    m_size->clear();
    m_dataRequest.reset();
    const bool pending = m_window.session().backup().requestPending();
    m_calculate->setEnabled(!pending);
    m_calculate->setToolTip(pending ? tr("Waiting for the recorder's answer to the last request")
                                    : tr("Asks the recorder the size of this period"));
    m_backup->setEnabled(false);
}

void BackupPeriodPanel::periodCleared() {
    m_size->clear();
    m_dataRequest.reset();
    m_calculate->setEnabled(false);
    m_calculate->setToolTip(tr("Choose the start and the end of the period first"));
    m_backup->setEnabled(false);
}

bool BackupPeriodPanel::requestSize(const BackupRequest& sizeRequest,
                                    const BackupRequest& dataRequest) {
    if (!m_window.session().backup().requestSize(sizeRequest))
        return false;
    m_window.backupFlow().sizeRequested(this);
    m_dataRequest = dataRequest;
    m_sizedKbytes = 0;
    m_calculate->setEnabled(false);
    m_calculate->setToolTip(tr("The recorder is measuring the period"));
    m_backup->setEnabled(false);
    return true;
}

bool BackupPeriodPanel::spaceEnough(std::uint32_t kbytes) {
    const DriveSpace drive = driveSpace(m_window.backupFlow().folder());
    const BackupSpaceCheck space = checkBackupSpace(drive.freeMb, kbytes);
    if (space.enough)
        return true;
    // The size pair is in place before the alert that shows it.
    m_window.session().backup().setSizePair(space.sizePair);
    m_window.postNotification(kNotEnoughSpace);
    m_size->clear();
    m_calculate->setEnabled(true);
    m_backup->setEnabled(false);
    return false;
}

void BackupPeriodPanel::sizeKnown(std::uint32_t kbytes) {
    m_sizedKbytes = kbytes;
    if (!m_dataRequest || !spaceEnough(kbytes))
        return;
    m_size->setText(QString::fromStdString(backupSize(kbytes).text));
    // An empty period: nothing to back up, another period may be sized.
    m_calculate->setEnabled(kbytes == 0);
    m_backup->setEnabled(kbytes != 0 && !m_window.session().backup().transferRunning());
}

void BackupPeriodPanel::sizeRefused() {
    m_size->clear();
    m_calculate->setEnabled(true);
    m_backup->setEnabled(false);
}

void BackupPeriodPanel::backup() {
    if (!m_dataRequest || m_sizedKbytes == 0 || m_window.session().backup().transferRunning())
        return;
    // The drive may have filled since Calculate.
    if (!spaceEnough(m_sizedKbytes))
        return;
    m_backup->setEnabled(false);
    std::filesystem::path folder = m_window.backupFlow().folder();
    const BackupFormat format = m_window.backupFlow().format();
    if (format != BackupFormat::Set) {
        // Download and export in one action: the sets go to a folder of their own, so that the
        // export reads this period's sets and nothing else, and the files to the data folder's
        // Export folder.
        BackupExportPlan plan;
        ExportRequest& r = plan.request;
        r.setsFolder = freshExportFolder(folder, "export-", m_dataRequest->start);
        r.outFolder = freshExportFolder(folder.parent_path() / "Export", "", m_dataRequest->start);
        r.from = m_dataRequest->start;
        r.to = m_dataRequest->end;
        r.channelMask = m_dataRequest->channelMask;
        r.format = format == BackupFormat::Mkv ? ExportFormat::Mkv : ExportFormat::Mp4;
        r.identity = backupExportIdentity(m_window.session());
        plan.keepSets = m_window.backupFlow().keepExportedSets();
        folder = r.setsFolder;
        planBackupExport(std::move(plan));
    }
    if (!m_window.session().backup().startTransfer(*m_dataRequest, folder, m_sizedKbytes)) {
        dropBackupExportPlan();
        return;
    }
    m_window.backupFlow().started();
}

} // namespace kalder
