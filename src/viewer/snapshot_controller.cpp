#include "viewer/snapshot_controller.h"

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
    // A failed save drops its picture without a message to the operator; it is counted.
    for (const SnapshotResult& result : m_snapshots.collectFinished()) {
        if (result.saved) {
            ++m_saved;
            m_lastFile = QString::fromStdString(result.file.string());
        } else {
            ++m_failed;
        }
    }
    if (m_snapshots.savers() == 0) {
        m_timer.stop();
        emit saveEnabledChanged(true);
    }
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
    dialog->setOption(QFileDialog::DontUseNativeDialog);
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
