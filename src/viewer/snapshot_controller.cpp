#include "viewer/snapshot_controller.h"

#include "ui/theme.h"
#include "viewer/image_viewer_window.h"

#include <QDir>
#include <QFileDialog>

namespace kalder {

SnapshotController::SnapshotController(QObject* parent) : QObject(parent) {
    m_timer.setObjectName(QStringLiteral("timer21027"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &SnapshotController::collect);
}

SnapshotController::~SnapshotController() = default;

void SnapshotController::setSaveTarget(const QString& location, unsigned saveFormat) {
    m_savedFolder = QDir(location).filePath(QStringLiteral("Saved"));
    m_snapshots.setTarget(m_savedFolder.toStdString(), imageFormatFromSetting(saveFormat));
}

void SnapshotController::requestSnapshots(std::uint16_t visibleMask) {
    m_snapshots.request(visibleMask);
    m_timer.start();
    emit saveEnabledChanged(false);
}

void SnapshotController::collect() {
    for (const SnapshotResult& result : m_snapshots.collectFinished()) {
        if (result.saved) {
            ++m_saved;
            ++m_roundSaved;
            m_lastFile = QString::fromStdString(result.file.string());
        } else {
            ++m_failed;
            ++m_roundFailed;
        }
    }
    if (m_snapshots.savers() == 0) {
        m_timer.stop();
        emit saveEnabledChanged(true);
        emit noticeReady(roundNotice(m_roundSaved, m_roundFailed, m_lastFile, m_savedFolder));
        m_roundSaved = m_roundFailed = 0;
    }
}

QString SnapshotController::roundNotice(int saved, int failed, const QString& lastFile,
                                        const QString& folder) {
    const QString where = QDir::toNativeSeparators(saved == 1 ? lastFile : folder);
    QString text;
    if (saved == 1)
        text = QStringLiteral("Snapshot saved: %1").arg(where);
    else if (saved > 1)
        text = QStringLiteral("%1 snapshots saved in %2").arg(saved).arg(where);
    if (failed > 0) {
        const QString lost = QStringLiteral("%1 snapshot(s) could not be saved in %2")
                                 .arg(failed)
                                 .arg(QDir::toNativeSeparators(folder));
        text = text.isEmpty() ? lost : text + QStringLiteral("; ") + lost;
    }
    if (text.isEmpty())
        text = QStringLiteral("No snapshot was saved: no channel sent a picture");
    return text;
}

void SnapshotController::openImage(QWidget* parent) {
    if (m_dialog)
        return;
    // One filter for the three kinds, as the operator knows it.
    auto* dialog =
        new QFileDialog(parent, QString(), m_savedFolder,
                        QStringLiteral("JPEG files(*.jpg), BMP files(*.bmp), TIFF files(*.tif) "
                                       "(*.jpg *.bmp *.tif)"));
    dialog->setObjectName(QStringLiteral("openImageDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    applyFileDialogTheme(*dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, parent](const QString& file) { showImage(file, parent); });
    m_dialog = dialog;
    dialog->open();
}

void SnapshotController::showImage(const QString& file, QWidget* parent) {
    if (m_viewer)
        m_viewer->close();
    auto* viewer = new ImageViewerWindow(file, parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_viewer = viewer;
    viewer->open();
}

} // namespace kalder
