#include "viewer/snapshot_controller.h"

#include "post/post_to_window.h"
#include "ui/theme.h"
#include "viewer/image_viewer_window.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>

namespace kalder {

namespace {

// A saver's thread posts this when it is done; the GUI thread then collects. A notice that
// arrives after its Save ended finds nothing to collect.
const QEvent::Type kSaverDoneEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

SnapshotController::SnapshotController(QObject* parent) : QObject(parent) {
    m_timer.setObjectName(QStringLiteral("timer21027"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &SnapshotController::tick);
    // The savers are members of m_snapshots, which joins them before this object's QObject
    // part is destroyed, so the receiver outlives every notice; Qt drops the undelivered ones.
    m_snapshots.setFinishedNotice([this] { postToWindow(this, new QEvent(kSaverDoneEvent)); });
}

SnapshotController::~SnapshotController() = default;

void SnapshotController::setSaveTarget(const QString& location, unsigned saveFormat) {
    m_dataFolder = location;
    m_savedFolder = QDir(location).filePath(QStringLiteral("Saved"));
    m_snapshots.setTarget(m_savedFolder.toStdString(), imageFormatFromSetting(saveFormat));
}

void SnapshotController::requestSnapshots(std::uint16_t visibleMask) {
    m_snapshots.request(visibleMask);
    m_roundTicks = 0;
    m_timer.start();
    emit saveEnabledChanged(false);
}

bool SnapshotController::event(QEvent* event) {
    if (event->type() != kSaverDoneEvent)
        return QObject::event(event);
    if (m_timer.isActive()) // a Save is being collected
        collect();
    return true;
}

// Timer 21027: one second more of the Save's wait.
void SnapshotController::tick() {
    // The Save ends when every channel asked for is accounted for: not when the savers started
    // so far are done, since a channel whose next picture is late starts its saver later.
    if (m_snapshots.outstanding() != 0 && ++m_roundTicks >= kWaitSeconds)
        m_round.skipped |= m_snapshots.withdrawRequests();
    collect();
}

void SnapshotController::collect() {
    for (const SnapshotResult& result : m_snapshots.collectFinished()) {
        if (result.saved) {
            ++m_saved;
            ++m_round.saved;
            m_lastFile = QString::fromStdString(result.file.string());
            m_round.lastFile = m_lastFile;
        } else {
            ++m_failed;
            m_round.failed.emplace_back(result.channel, QString::fromStdString(result.error));
        }
    }
    if (m_snapshots.outstanding() == 0)
        endRound();
}

void SnapshotController::endRound() {
    m_timer.stop();
    emit saveEnabledChanged(true);
    const QString where = m_round.saved == 1 ? m_round.lastFile : m_savedFolder;
    emit noticeReady(roundNotice(m_round, m_savedFolder, m_dataFolder, QDir::homePath()),
                     QDir::toNativeSeparators(where));
    m_round = {};
}

QString SnapshotController::shortPath(const QString& path, const QString& dataFolder,
                                      const QString& home) {
    const QString clean = QDir::cleanPath(path);
    const auto inside = [&clean](const QString& folder) {
        const QString base = QDir::cleanPath(folder);
        return !folder.isEmpty() && clean.startsWith(base + QLatin1Char('/'));
    };
    if (inside(dataFolder))
        return QDir::toNativeSeparators(QDir(dataFolder).relativeFilePath(clean));
    if (inside(home))
        return QDir::toNativeSeparators(QStringLiteral("~/") + QDir(home).relativeFilePath(clean));
    return QDir::toNativeSeparators(clean);
}

namespace {

QString channelList(const std::vector<unsigned>& channels) {
    QStringList numbers;
    for (unsigned ch : channels)
        numbers << QString::number(ch + 1);
    return (channels.size() == 1 ? QStringLiteral("channel %1") : QStringLiteral("channels %1"))
        .arg(numbers.join(QStringLiteral(", ")));
}

} // namespace

QString SnapshotController::roundNotice(const Round& round, const QString& folder,
                                        const QString& dataFolder, const QString& home) {
    QStringList parts;
    if (round.saved == 1)
        parts << QStringLiteral("Snapshot saved: %1")
                     .arg(shortPath(round.lastFile, dataFolder, home));
    else if (round.saved > 1)
        parts << QStringLiteral("%1 snapshots saved in %2")
                     .arg(round.saved)
                     .arg(shortPath(folder, dataFolder, home));
    for (const auto& [channel, why] : round.failed)
        parts << QStringLiteral("%1 not saved (%2)")
                     .arg(channelList({channel}),
                          why.isEmpty() ? QStringLiteral("the file could not be written") : why);
    std::vector<unsigned> skipped;
    for (unsigned ch = 0; ch < 16; ++ch)
        if (round.skipped & (1u << ch))
            skipped.push_back(ch);
    if (!skipped.empty())
        parts << QStringLiteral("%1 not saved: no picture came within %2 s")
                     .arg(channelList(skipped))
                     .arg(kWaitSeconds);
    if (parts.isEmpty())
        return QStringLiteral("No snapshot was saved: no channel was shown");
    return parts.join(QStringLiteral("; "));
}

void SnapshotController::openImage(QWidget* parent) {
    if (m_dialog)
        return;
    // One filter for the three kinds, as the operator knows it.
    auto* dialog =
        new QFileDialog(parent, QStringLiteral("Load snapshot"), m_savedFolder,
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
