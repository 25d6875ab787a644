// The main window's snapshots, image viewer and web export.
#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "files/local_log.h"
#include "ui/skin_button.h"
#include "ui/transient_notice.h"
#include "video/video_window.h"

namespace kalder {

void MainWindow::setUpMedia() {
    m_infoViews = new InfoViews(this);
    m_live.setMediaBoards(&m_media.snapshots(), &m_media.webExport());
    connect(&m_media, &SnapshotController::saveEnabledChanged, this, [this](bool enabled) {
        if (SkinButton* save = button(Control::Save))
            save->setEnabled(enabled);
    });
    // Where a Save's pictures went, over the foot of the video area for a few seconds.
    auto* notice = new TransientNotice(this);
    notice->setGeometry(53, 598, 815, 22);
    connect(&m_media, &SnapshotController::noticeReady, notice, &TransientNotice::tell);
    applyMediaSettings();
}

void MainWindow::applyMediaSettings() {
    m_media.setSaveTarget(m_settings.location, m_settings.saveFormat);
    m_media.setWebExport(makeWebExportSettings(
        m_settings.webActivate == 1, m_settings.webLocation.toStdString(), m_settings.webInterval,
        m_settings.webWidthJpg, m_settings.webHeightJpg, m_settings.webWidthWeb));
}

// Save: the next picture of every channel in a visible cell, only while pictures are shown.
void MainWindow::onSaveButton() {
    if (m_videoWindow == nullptr || m_videoWindow->mode() == StreamKind::Idle)
        return;
    m_media.requestSnapshots(m_videoWindow->visibleChannelMask());
    localLog(kLogKindSetupImage, kLogEventSnapshotSaved);
}

} // namespace kalder
