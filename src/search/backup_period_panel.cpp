#include "search/backup_period_panel.h"

#include "search/search_window.h"

#include "session/backup_rules.h"
#include "session/recorder_session.h"

#include <QLabel>
#include <QPushButton>

namespace kalder {

namespace {
constexpr Notification kNotEnoughSpace{13, 0};
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
    m_window.backupSizeRequested(this);
    m_dataRequest = dataRequest;
    m_sizedKbytes = 0;
    m_calculate->setEnabled(false);
    m_calculate->setToolTip(tr("The recorder is measuring the period"));
    m_backup->setEnabled(false);
    return true;
}

bool BackupPeriodPanel::spaceEnough(std::uint32_t kbytes) {
    const DriveSpace drive = driveSpace(m_window.backupFolder());
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
    if (!m_window.session().backup().startTransfer(*m_dataRequest, m_window.backupFolder(),
                                                   m_sizedKbytes))
        return;
    m_window.backupStarted();
}

} // namespace kalder
