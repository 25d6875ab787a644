#pragma once

#include "decode/snapshot_saver.h"
#include "decode/web_exporter.h"
#include "viewer/image_viewer_window.h"

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <utility>
#include <vector>

namespace kalder {

// The main window's snapshots and web export: the Save button's requests and the savers the
// decode threads start, collected as each saver's thread posts that it is done, while the
// 1-second timer 21027 counts the seconds a Save may wait for its pictures; the Load
// button's file dialog and image viewer; the web export's settings for the decode threads.
//
// GUI thread. The boards are read by the decode threads (through the live decode host) and
// live as long as the main window.
class SnapshotController : public QObject {
    Q_OBJECT
public:
    explicit SnapshotController(QObject* parent = nullptr);
    ~SnapshotController() override;

    SnapshotBoard& snapshots() { return m_snapshots; }
    WebExportBoard& webExport() { return m_webExport; }

    // The data folder (files go to its "Saved" folder) and the save-format setting.
    void setSaveTarget(const QString& location, unsigned saveFormat);
    void setWebExport(const WebExportSettings& settings) { m_webExport.setSettings(settings); }

    // Save: requests a snapshot of each channel of `visibleMask` and starts timer 21027; the
    // Save button is disabled until the timer finds no saver left.
    void requestSnapshots(std::uint16_t visibleMask);
    bool timerRunning() const { return m_timer.isActive(); }

    // Load: the open-file dialog in the Saved folder, then the viewer of the chosen file.
    void openImage(QWidget* parent);
    QFileDialog* fileDialog() const { return m_dialog; }
    ImageViewerWindow* viewer() const { return m_viewer; }
    // Opens the viewer of `file` (the dialog's choice).
    void showImage(const QString& file, QWidget* parent);

    // Snapshots saved and failed since start, for diagnostics and tests.
    int savedCount() const { return m_saved; }
    int failedCount() const { return m_failed; }
    QString lastFile() const { return m_lastFile; }

    // How one Save ended.
    struct Round {
        int saved = 0;
        QString lastFile;                                 // the last file written
        std::vector<std::pair<unsigned, QString>> failed; // channel, why its file is missing
        std::uint16_t skipped = 0; // channels that sent no picture while the Save waited
    };
    // A Save waits this long for the requested channels' pictures; a channel whose picture has
    // not come by then is skipped and named.
    static constexpr int kWaitSeconds = 5;

    // What a Save ended in, for the operator: the file (one snapshot) or the folder (several),
    // each channel not saved and why. Paths are shown short (shortPath).
    static QString roundNotice(const Round& round, const QString& folder, const QString& dataFolder,
                               const QString& home);
    // `path` for a one-line notice: relative to the data folder when inside it, else with "~"
    // for the home folder; as it is otherwise.
    static QString shortPath(const QString& path, const QString& dataFolder, const QString& home);

signals:
    void saveEnabledChanged(bool enabled);
    // A Save has ended (every channel asked for is saved, failed or skipped): the text says
    // where the pictures went, the tip the full path. The main window shows it briefly,
    // without a box to click away.
    void noticeReady(const QString& text, const QString& toolTip);

protected:
    bool event(QEvent* event) override;

private:
    void collect();
    void tick();
    void endRound();

    SnapshotBoard m_snapshots;
    WebExportBoard m_webExport;
    QString m_savedFolder;
    QTimer m_timer; // timer 21027
    QPointer<QFileDialog> m_dialog;
    QPointer<ImageViewerWindow> m_viewer;
    int m_saved = 0;
    int m_failed = 0;
    Round m_round; // of the Save being collected
    int m_roundTicks = 0;
    QString m_dataFolder;
    QString m_lastFile;
};

} // namespace kalder
